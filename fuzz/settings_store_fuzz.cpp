// Settings come back from a registry file that anything may have written:
// a value of any type and any bytes under a name the program reads. The
// input is a type byte, two bytes of caller buffer size, then the value's
// stored bytes. Invariants: a value is read exactly when it fits the
// caller's buffer (text counted as the wide characters it becomes) and then
// arrives as stored, text decoded; a number setting changes only to what
// its text says; whatever the number parsers accept formats back to text
// they parse to the same number.
#include "core/registry_store.h"
#include "platform/win32/codepage.h"
#include "platform/win32/registry_hive.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

// Two registry directories used in turn: the registry reads its file again
// whenever the path changed, so no run sees the one before it.
struct Scratch
{
    std::filesystem::path root;
    Scratch()
    {
        const char* tmp = std::getenv("TMPDIR");
        root = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / ("settings_store_fuzz_" + std::to_string(::getpid()));
        std::filesystem::create_directories(root / "a");
        std::filesystem::create_directories(root / "b");
    }
    ~Scratch()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
};

bool WriteHive(const std::vector<std::uint8_t>& bytes)
{
    static Scratch scratch;
    static bool second = false;
    second = !second;
    const std::string dir = (scratch.root / (second ? "b" : "a")).string();
    ::setenv("DEZAZ_REGISTRY", dir.c_str(), 1);
    std::ofstream out(win32::CurrentUserHivePath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

void CheckNumberParsers(const wchar_t* text)
{
    int i = 0;
    if (ParseSettingInt(text, &i))
    {
        int again = i + 1;
        if (!ParseSettingInt(std::to_wstring(i).c_str(), &again) || again != i)
            std::abort();
    }
    float f = 0;
    if (ParseSettingFloat(text, &f))
    {
        wchar_t formatted[64];
        std::swprintf(formatted, 64, L"%.9g", static_cast<double>(f));
        float again = 0;
        if (!std::isfinite(f) || !ParseSettingFloat(formatted, &again) || std::memcmp(&again, &f, sizeof f) != 0)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    static const DWORD kTypes[] = {REG_SZ, REG_BINARY, REG_DWORD, REG_NONE, 7};
    const DWORD type = kTypes[data[0] % 5];
    const DWORD capacity = data[1] | (static_cast<DWORD>(data[2]) << 8);
    const std::vector<std::uint8_t> stored(data + 3, data + size);

    win32::RegistryHive hive;
    hive.CreateKey(L"SOFTWARE\\Fuzz\\Product\\Section").SetValue(L"Value", type, stored);
    if (!WriteHive(hive.Serialize()))
        return 0;
    cRegistryStore store;
    store.Init(L"Fuzz", L"Product");

    // Exactly the caller's buffer, so a copy past it is caught.
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[capacity == 0 ? 1 : capacity]);
    DWORD length = capacity;
    DWORD readType = 99;
    const bool read = store.ReadValue(L"Section", L"Value", &readType, buffer.get(), &length);
    const std::size_t needed = type == REG_SZ ? stored.size() / 2 * sizeof(wchar_t) : stored.size();
    if (read != (needed <= capacity))
        std::abort();
    const std::wstring text = win32::DecodeUtf16Le(stored.data(), stored.size());
    if (read)
    {
        if (readType != type || length != stored.size())
            std::abort();
        if (type == REG_SZ ? std::memcmp(buffer.get(), text.data(), text.size() * sizeof(wchar_t)) != 0
                           : (!stored.empty() && std::memcmp(buffer.get(), stored.data(), stored.size()) != 0))
            std::abort();
    }

    // A number setting: the text up to its first zero, cut to the store's
    // text buffer.
    const bool isText = type == REG_SZ && needed <= cRegistryStore::kPathLength * sizeof(wchar_t);
    std::wstring setting(text.c_str());
    if (setting.size() > cRegistryStore::kPathLength - 1)
        setting.resize(cRegistryStore::kPathLength - 1);
    int i = 0x12345678;
    int expectedInt = i;
    ParseSettingInt(setting.c_str(), &expectedInt);
    if (store.ReadInt(L"Section", L"Value", &i) != isText || (isText && i != expectedInt) || (!isText && i != 0x12345678))
        std::abort();
    float f = -0.5f;
    float expectedFloat = f;
    ParseSettingFloat(setting.c_str(), &expectedFloat);
    if (store.ReadFloat(L"Section", L"Value", &f) != isText || (isText && std::memcmp(&f, &expectedFloat, sizeof f) != 0) ||
        (!isText && f != -0.5f))
        std::abort();

    CheckNumberParsers(text.c_str());
    return 0;
}
