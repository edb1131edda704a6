#include "platform/win32/registry_hive.h"

#include "platform/win32/codepage.h"

#include <cstring>
#include <set>

namespace win32
{

namespace
{

constexpr char kMagic[8] = {'D', 'Z', 'R', 'E', 'G', 'H', 'V', '1'};

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutText(std::vector<std::uint8_t>& out, const std::wstring& text)
{
    std::vector<std::uint8_t> utf16;
    AppendUtf16Le(utf16, text.data(), text.size());
    PutU32(out, static_cast<std::uint32_t>(utf16.size() / 2));
    out.insert(out.end(), utf16.begin(), utf16.end());
}

// Bounds-checked reader over the file bytes.
class Reader
{
public:
    Reader(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}

    std::size_t Remaining() const { return size_ - pos_; }

    bool U32(std::uint32_t& v)
    {
        if (Remaining() < 4)
            return false;
        v = 0;
        for (int i = 0; i < 4; ++i)
            v |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
        pos_ += 4;
        return true;
    }

    bool Bytes(std::size_t count, const std::uint8_t*& start)
    {
        if (Remaining() < count)
            return false;
        start = bytes_ + pos_;
        pos_ += count;
        return true;
    }

    bool Text(std::size_t maxUnits, std::wstring& text)
    {
        std::uint32_t units = 0;
        const std::uint8_t* start = nullptr;
        if (!U32(units) || units > maxUnits || !Bytes(std::size_t{units} * 2, start))
            return false;
        text = DecodeUtf16Le(start, std::size_t{units} * 2);
        return true;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Longest path the file may name: the platform's limit on a full key path.
constexpr std::size_t kMaxPathUnits = 32767;

} // namespace

std::wstring FoldRegistryName(const std::wstring& name)
{
    std::wstring folded = name;
    for (wchar_t& c : folded)
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    return folded;
}

std::wstring NormaliseRegistryPath(const std::wstring& path)
{
    std::wstring result;
    std::size_t start = 0;
    while (start <= path.size())
    {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
        {
            if (!result.empty())
                result += L'\\';
            result.append(path, start, end - start);
        }
        start = end + 1;
    }
    return result;
}

RegistryValue* RegistryKey::FindValue(const std::wstring& name)
{
    std::wstring folded = FoldRegistryName(name);
    for (RegistryValue& v : values)
        if (FoldRegistryName(v.name) == folded)
            return &v;
    return nullptr;
}

const RegistryValue* RegistryKey::FindValue(const std::wstring& name) const
{
    return const_cast<RegistryKey*>(this)->FindValue(name);
}

void RegistryKey::SetValue(const std::wstring& name, DWORD type, std::vector<std::uint8_t> data)
{
    if (RegistryValue* existing = FindValue(name))
    {
        existing->type = type;
        existing->data = std::move(data);
        return;
    }
    values.push_back(RegistryValue{name, type, std::move(data)});
}

RegistryHive::RegistryHive() { keys_.emplace(std::wstring(), RegistryKey{}); }

RegistryKey* RegistryHive::FindKey(const std::wstring& path)
{
    auto it = keys_.find(FoldRegistryName(NormaliseRegistryPath(path)));
    return it == keys_.end() ? nullptr : &it->second;
}

const RegistryKey* RegistryHive::FindKey(const std::wstring& path) const
{
    return const_cast<RegistryHive*>(this)->FindKey(path);
}

RegistryKey& RegistryHive::CreateKey(const std::wstring& path, bool* created)
{
    std::wstring normal = NormaliseRegistryPath(path);
    bool any = false;
    RegistryKey* key = &keys_.begin()->second; // the root
    std::size_t pos = 0;
    while (pos < normal.size())
    {
        std::size_t end = normal.find(L'\\', pos);
        if (end == std::wstring::npos)
            end = normal.size();
        std::wstring prefix = normal.substr(0, end);
        auto [it, inserted] = keys_.try_emplace(FoldRegistryName(prefix));
        if (inserted)
        {
            it->second.path = prefix;
            any = true;
        }
        key = &it->second;
        pos = end + 1;
    }
    if (created)
        *created = any;
    return *key;
}

std::vector<std::uint8_t> RegistryHive::Serialize() const
{
    std::vector<std::uint8_t> out(kMagic, kMagic + sizeof kMagic);
    PutU32(out, static_cast<std::uint32_t>(keys_.size()));
    for (const auto& [folded, key] : keys_)
    {
        PutText(out, key.path);
        PutU32(out, static_cast<std::uint32_t>(key.values.size()));
        for (const RegistryValue& v : key.values)
        {
            PutText(out, v.name);
            PutU32(out, v.type);
            PutU32(out, static_cast<std::uint32_t>(v.data.size()));
            out.insert(out.end(), v.data.begin(), v.data.end());
        }
    }
    return out;
}

bool RegistryHive::Parse(const std::uint8_t* bytes, std::size_t size)
{
    keys_.clear();
    keys_.emplace(std::wstring(), RegistryKey{});
    auto fail = [this] {
        keys_.clear();
        keys_.emplace(std::wstring(), RegistryKey{});
        return false;
    };

    if (bytes == nullptr || size < sizeof kMagic || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        return fail();
    Reader in(bytes + sizeof kMagic, size - sizeof kMagic);

    std::uint32_t keyCount = 0;
    // A key takes at least 8 bytes (two lengths), which bounds any count
    // before anything is allocated for it.
    if (!in.U32(keyCount) || keyCount > in.Remaining() / 8)
        return fail();
    std::set<std::wstring> seenKeys;
    for (std::uint32_t k = 0; k < keyCount; ++k)
    {
        std::wstring path;
        std::uint32_t valueCount = 0;
        if (!in.Text(kMaxPathUnits, path) || !in.U32(valueCount) || valueCount > in.Remaining() / 12)
            return fail();
        if (NormaliseRegistryPath(path) != path || !seenKeys.insert(FoldRegistryName(path)).second)
            return fail();
        RegistryKey& key = CreateKey(path);
        key.path = path;
        std::set<std::wstring> seenValues;
        for (std::uint32_t v = 0; v < valueCount; ++v)
        {
            RegistryValue value;
            std::uint32_t dataSize = 0;
            const std::uint8_t* data = nullptr;
            if (!in.Text(kMaxRegistryValueNameLength, value.name) || !in.U32(value.type) || !in.U32(dataSize) ||
                !in.Bytes(dataSize, data))
                return fail();
            if (!seenValues.insert(FoldRegistryName(value.name)).second)
                return fail();
            value.data.assign(data, data + dataSize);
            key.values.push_back(std::move(value));
        }
    }
    if (in.Remaining() != 0)
        return fail();
    return true;
}

} // namespace win32
