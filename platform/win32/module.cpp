// Module paths through the dynamic loader; version resources read from the
// module file's ELF section.
#include "platform/win32/module.h"
#include "platform/win32/codepage.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <link.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

constexpr char kVersionSection[] = ".vtl_version";
// A version block is small; anything larger is not one of ours.
constexpr std::uint64_t kMaxVersionBlock = 64 * 1024;

// The lowest mapped address of the program itself (its module handle).
struct ProgramBase
{
    std::uintptr_t base = 0;
    bool found = false;
};

int FindProgramBase(dl_phdr_info* info, std::size_t, void* data)
{
    auto* result = static_cast<ProgramBase*>(data);
    // The program comes first and has an empty name.
    std::uintptr_t lowest = UINTPTR_MAX;
    for (int i = 0; i < info->dlpi_phnum; ++i)
        if (info->dlpi_phdr[i].p_type == PT_LOAD)
            lowest = std::min<std::uintptr_t>(lowest, info->dlpi_phdr[i].p_vaddr & ~std::uintptr_t{0xFFF});
    result->base = info->dlpi_addr + (lowest == UINTPTR_MAX ? 0 : lowest);
    result->found = true;
    return 1;
}

std::uintptr_t ProgramModuleBase()
{
    ProgramBase program;
    dl_iterate_phdr(FindProgramBase, &program);
    return program.found ? program.base : 0;
}

std::string ProgramPath()
{
    std::vector<char> buffer(4096);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    return n > 0 ? std::string(buffer.data(), static_cast<std::size_t>(n)) : std::string();
}

// Reads `size` bytes at `offset`; false when the file is shorter.
bool ReadAt(std::ifstream& in, std::uint64_t offset, void* out, std::size_t size)
{
    in.clear();
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(static_cast<char*>(out), static_cast<std::streamsize>(size));
    return in.good() && static_cast<std::size_t>(in.gcount()) == size;
}

// The version block of a module file: every offset and size is checked
// against the file before it is used.
bool ReadVersionBlock(LPCWSTR fileName, std::vector<std::uint8_t>& block)
{
    if (fileName == nullptr || fileName[0] == L'\0')
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::ifstream in(win32::WideToUtf8(fileName), std::ios::binary);
    if (!in)
    {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    in.seekg(0, std::ios::end);
    const auto fileSize = static_cast<std::uint64_t>(in.tellg());

    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    Elf64_Ehdr header{};
    if (!ReadAt(in, 0, &header, sizeof header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB ||
        header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shstrndx >= header.e_shnum)
        return false;
    if (header.e_shoff > fileSize || std::uint64_t{header.e_shnum} * sizeof(Elf64_Shdr) > fileSize - header.e_shoff)
        return false;
    std::vector<Elf64_Shdr> sections(header.e_shnum);
    if (!ReadAt(in, header.e_shoff, sections.data(), sections.size() * sizeof(Elf64_Shdr)))
        return false;
    const Elf64_Shdr& names = sections[header.e_shstrndx];
    if (names.sh_offset > fileSize || names.sh_size > fileSize - names.sh_offset || names.sh_size > (1u << 24))
        return false;
    std::vector<char> nameTable(names.sh_size + 1, '\0');
    if (!ReadAt(in, names.sh_offset, nameTable.data(), names.sh_size))
        return false;

    for (const Elf64_Shdr& s : sections)
    {
        if (s.sh_name >= names.sh_size || std::strcmp(&nameTable[s.sh_name], kVersionSection) != 0)
            continue;
        if (s.sh_type != SHT_PROGBITS || s.sh_size < sizeof(win32::VersionResource) ||
            s.sh_size > kMaxVersionBlock || s.sh_offset > fileSize || s.sh_size > fileSize - s.sh_offset)
            return false;
        // Only the first record counts when several objects brought one.
        block.resize(sizeof(win32::VersionResource));
        if (!ReadAt(in, s.sh_offset, block.data(), block.size()))
            return false;
        win32::VersionResource resource{};
        std::memcpy(&resource, block.data(), sizeof resource);
        if (resource.length != sizeof resource || resource.fixed.dwSignature != VS_FFI_SIGNATURE)
            return false;
        SetLastError(ERROR_SUCCESS);
        return true;
    }
    return false;
}

} // namespace

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module)
{
    if (module == nullptr)
    {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *module = nullptr;
    if ((flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) != 0)
    {
        Dl_info info{};
        if (dladdr(reinterpret_cast<const void*>(moduleName), &info) == 0 || info.dli_fbase == nullptr)
        {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return FALSE;
        }
        *module = static_cast<HMODULE>(info.dli_fbase);
        return TRUE;
    }
    if (moduleName == nullptr)
    {
        *module = reinterpret_cast<HMODULE>(ProgramModuleBase());
        return *module != nullptr;
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size)
{
    if (fileName == nullptr || size == 0)
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::string path;
    if (module == nullptr || reinterpret_cast<std::uintptr_t>(module) == ProgramModuleBase())
        path = ProgramPath();
    else
    {
        Dl_info info{};
        if (dladdr(module, &info) == 0 || info.dli_fbase != module || info.dli_fname == nullptr)
        {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = info.dli_fname;
    }
    if (path.empty())
    {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    const std::wstring wide = win32::Utf8ToWide(path);
    const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(wide.size(), size - 1));
    std::wmemcpy(fileName, wide.data(), copied);
    fileName[copied] = L'\0';
    if (copied < wide.size())
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    SetLastError(ERROR_SUCCESS);
    return copied;
}

DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle)
{
    if (handle != nullptr)
        *handle = 0;
    std::vector<std::uint8_t> block;
    return ReadVersionBlock(fileName, block) ? static_cast<DWORD>(block.size()) : 0;
}

BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD, DWORD length, LPVOID data)
{
    std::vector<std::uint8_t> block;
    if (data == nullptr || !ReadVersionBlock(fileName, block))
        return FALSE;
    if (length < block.size())
    {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    std::memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length)
{
    if (block == nullptr || subBlock == nullptr || buffer == nullptr || length == nullptr)
        return FALSE;
    const auto* resource = static_cast<const win32::VersionResource*>(block);
    if (std::wcscmp(subBlock, L"\\") != 0 || resource->length < sizeof(win32::VersionResource) ||
        resource->fixed.dwSignature != VS_FFI_SIGNATURE)
    {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    *buffer = const_cast<VS_FIXEDFILEINFO*>(&resource->fixed);
    *length = sizeof(VS_FIXEDFILEINFO);
    return TRUE;
}
