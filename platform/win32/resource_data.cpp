#include "platform/win32/resource_data.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

namespace
{

struct ResourceBytes
{
    std::vector<std::uint8_t> bytes;
};

struct DataKey
{
    HMODULE module;
    win32::ResourceKey type;
    win32::ResourceKey name;
    bool operator<(const DataKey& o) const
    {
        return std::tie(module, type, name) < std::tie(o.module, o.type, o.name);
    }
};

struct DataTable
{
    std::mutex lock;
    std::map<DataKey, std::shared_ptr<ResourceBytes>> resources;
};

DataTable& Table()
{
    static auto* table = new DataTable;
    return *table;
}

// A found resource handle and a loaded resource handle are the address of
// the record itself: resources live until their module unregisters them,
// and the platform's handles need no freeing either.
ResourceBytes* Known(const void* handle)
{
    DataTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const auto& [key, record] : table.resources)
        if (record.get() == handle)
            return record.get();
    return nullptr;
}

} // namespace

HRSRC FindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    DataTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    const DataKey key{module, win32::ResourceKey::From(type), win32::ResourceKey::From(name)};
    auto it = table.resources.find(key);
    if (it == table.resources.end())
    {
        bool typeKnown = false;
        for (const auto& entry : table.resources)
            typeKnown = typeKnown || (entry.first.module == module && entry.first.type == key.type);
        SetLastError(typeKnown ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HRSRC>(it->second.get());
}

DWORD SizeofResource(HMODULE, HRSRC resource)
{
    ResourceBytes* record = Known(resource);
    if (!record)
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(record->bytes.size());
}

HGLOBAL LoadResource(HMODULE, HRSRC resource)
{
    if (!Known(resource))
    {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return reinterpret_cast<HGLOBAL>(resource);
}

LPVOID LockResource(HGLOBAL loaded)
{
    ResourceBytes* record = Known(loaded);
    if (!record || record->bytes.empty())
        return nullptr;
    return record->bytes.data();
}

namespace win32
{

void RegisterResourceData(HMODULE module, LPCWSTR type, LPCWSTR name, std::vector<std::uint8_t> bytes)
{
    DataTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    auto record = std::make_shared<ResourceBytes>();
    record->bytes = std::move(bytes);
    table.resources[DataKey{module, ResourceKey::From(type), ResourceKey::From(name)}] = std::move(record);
}

void UnregisterResourceData(HMODULE module, LPCWSTR type, LPCWSTR name)
{
    DataTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    table.resources.erase(DataKey{module, ResourceKey::From(type), ResourceKey::From(name)});
}

} // namespace win32
