#include "platform/win32/resource.h"
#include "platform/win32/input.h"
#include "platform/win32/picture_decode.h"
#include "platform/win32/resource_data.h"

#include <algorithm>
#include <cwctype>
#include <memory>
#include <mutex>

namespace
{

struct ModuleTable
{
    std::mutex lock;
    std::map<HINSTANCE, std::shared_ptr<const win32::ResourceScript>> modules;
};

ModuleTable& Modules()
{
    static ModuleTable* table = new ModuleTable; // modules register during static initialisation
    return *table;
}

std::shared_ptr<const win32::ResourceScript> ScriptOf(HINSTANCE module)
{
    ModuleTable& t = Modules();
    std::lock_guard<std::mutex> guard(t.lock);
    auto it = t.modules.find(module);
    return it == t.modules.end() ? nullptr : it->second;
}

std::wstring TypeName(LPCWSTR type)
{
    if (!IS_INTRESOURCE(type))
    {
        std::wstring s = type;
        for (auto& c : s)
            c = static_cast<wchar_t>(std::towupper(c));
        return s;
    }
    switch (reinterpret_cast<ULONG_PTR>(type))
    {
    case 1:
    case 12:
        return L"CURSOR";
    case 2:
        return L"BITMAP";
    case 3:
    case 14:
        return L"ICON";
    case 5:
        return L"DIALOG";
    case 10:
        return L"RCDATA";
    default:
        return L"";
    }
}

} // namespace

namespace win32
{

ResourceKey ResourceKey::From(LPCWSTR nameOrId)
{
    ResourceKey key;
    if (!nameOrId)
        return key;
    if (IS_INTRESOURCE(nameOrId))
    {
        key.id = reinterpret_cast<ULONG_PTR>(nameOrId);
        return key;
    }
    if (nameOrId[0] == L'#')
    {
        key.id = static_cast<ULONG_PTR>(std::wcstoul(nameOrId + 1, nullptr, 10));
        return key;
    }
    key.name = nameOrId;
    for (auto& c : key.name)
        c = static_cast<wchar_t>(std::towupper(c));
    return key;
}

namespace
{

// The name to look a resource up by: its number, or its text.
LPCWSTR NameOf(const ResourceKey& key)
{
    return key.name.empty() ? MAKEINTRESOURCEW(key.id) : key.name.c_str();
}

} // namespace

bool RegisterResourceScript(HINSTANCE module, const std::string& text, const ResourceIncludeResolver& include,
                            std::string* error)
{
    auto script = std::make_shared<ResourceScript>();
    std::string message;
    if (!ParseResourceScript(text, include, *script, message))
    {
        if (error)
            *error = message;
        SetLastError(ERROR_INVALID_DATA);
        return false;
    }
    for (const auto& [type, key] : script->others)
        if (type == L"CURSOR" && key.id)
            RegisterCursorResource(module, key.id);
    for (const ResourceScript::Picture& picture : script->pictures)
    {
        const LPCWSTR name = NameOf(picture.key);
        if (picture.type == L"BITMAP")
            RegisterResourceData(module, RT_BITMAP, name, picture.bytes);
        else if (picture.type == L"ICON" && picture.key.id)
            if (std::optional<IconImage> image = DecodeIconFile(picture.bytes, 1))
                RegisterIconResource(module, picture.key.id, std::move(*image));
    }
    ModuleTable& t = Modules();
    std::lock_guard<std::mutex> guard(t.lock);
    t.modules[module] = std::move(script);
    return true;
}

void UnregisterResources(HINSTANCE module)
{
    if (auto script = ScriptOf(module))
        for (const ResourceScript::Picture& picture : script->pictures)
            if (picture.type == L"BITMAP")
                UnregisterResourceData(module, RT_BITMAP, NameOf(picture.key));
    ModuleTable& t = Modules();
    std::lock_guard<std::mutex> guard(t.lock);
    t.modules.erase(module);
}

const ResourceScript* FindModuleResources(HINSTANCE module)
{
    return ScriptOf(module).get();
}

bool ModuleHasResource(HINSTANCE module, LPCWSTR type, LPCWSTR name)
{
    auto script = ScriptOf(module);
    if (!script || !type || !name)
        return false;
    ResourceKey key = ResourceKey::From(name);
    if (IS_INTRESOURCE(type))
        switch (reinterpret_cast<ULONG_PTR>(type))
        {
        case 4:
            return script->menus.count(key) != 0;
        case 9:
            return script->accelerators.count(key) != 0;
        case 6:
            return key.id && script->strings.count(static_cast<UINT>(key.id)) != 0;
        default:
            break;
        }
    std::wstring wanted = TypeName(type);
    return std::any_of(script->others.begin(), script->others.end(),
                       [&](const auto& entry)
                       {
                           return entry.second == key &&
                                  (entry.first == wanted ||
                                   (wanted == L"DIALOG" && entry.first == L"DIALOGEX"));
                       });
}

std::optional<DialogTemplate> FindDialogTemplate(HINSTANCE module, LPCWSTR name)
{
    auto script = ScriptOf(module);
    if (!script || !name)
        return std::nullopt;
    auto it = script->dialogs.find(ResourceKey::From(name));
    if (it == script->dialogs.end())
        return std::nullopt;
    return it->second;
}

} // namespace win32

int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int maxCount)
{
    auto script = ScriptOf(module);
    if (!script)
    {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return 0;
    }
    auto it = script->strings.find(id);
    if (it == script->strings.end())
    {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    if (!buffer || maxCount <= 0)
        return 0;
    int n = std::min(static_cast<int>(it->second.size()), maxCount - 1);
    std::copy_n(it->second.begin(), n, buffer);
    buffer[n] = 0;
    return n;
}
