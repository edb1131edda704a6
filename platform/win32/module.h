// Modules and their version resources.
//
// A module (the program or a shared library) is named by its load address.
// Its version resource is a record in the ELF section ".vtl_version" of the
// module file, placed there with VTL_MODULE_VERSION_RESOURCE; the version
// functions read it back from the file as the original platform reads the
// resource of an executable file.
#pragma once

#include "platform/win32/types.h"

inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_PIN = 0x00000001;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT = 0x00000002;
inline constexpr DWORD GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS = 0x00000004;

inline constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
inline constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
inline constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;

// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, moduleName is an address
// inside the module; without it only a null name (the program) is known.
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);
// Copies the module's full path (the program's for a null module), cut to
// size - 1 characters and terminated; returns the characters copied, size
// with ERROR_INSUFFICIENT_BUFFER when cut, 0 on failure.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

struct VS_FIXEDFILEINFO
{
    DWORD dwSignature; // 0xFEEF04BD
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS; // major << 16 | minor
    DWORD dwFileVersionLS; // build << 16 | revision
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

inline constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;
inline constexpr DWORD VS_FFI_STRUCVERSION = 0x00010000;
inline constexpr DWORD VOS_NT_WINDOWS32 = 0x00040004;
inline constexpr DWORD VFT_DLL = 0x00000002;

// Size of the file's version-information block, 0 when it has none.
DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
// Copies the block; fails when length is smaller than the block.
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD length, LPVOID data);
// Only the root block "\\" (the fixed file information) is kept.
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, UINT* length);

namespace win32
{

// The version-information block as it is stored in a module file.
struct VersionResource
{
    DWORD length; // bytes of the whole block
    DWORD reserved;
    VS_FIXEDFILEINFO fixed;
};

constexpr VersionResource MakeVersionResource(WORD major, WORD minor, WORD build, WORD revision)
{
    const DWORD ms = MAKELONG(minor, major);
    const DWORD ls = MAKELONG(revision, build);
    return VersionResource{sizeof(VersionResource),
                           0,
                           {VS_FFI_SIGNATURE, VS_FFI_STRUCVERSION, ms, ls, ms, ls, 0x3F, 0, VOS_NT_WINDOWS32, VFT_DLL,
                            0, 0, 0}};
}

} // namespace win32

// Places the module's version resource in its file. Use once per module, in a
// source file that the module always links.
#define VTL_MODULE_VERSION_RESOURCE(major, minor, build, revision)                                          \
    __attribute__((used, section(".vtl_version"))) static const win32::VersionResource                      \
        g_vtlModuleVersionResource = win32::MakeVersionResource(major, minor, build, revision)
