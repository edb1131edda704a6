// Opening documents and addresses through the shell. Nothing is ever run on
// this machine: ShellExecuteExW records the request, so that tests can ask
// for it, and answers as the shell does when the open succeeded.
#pragma once

#include "platform/win32/types.h"

#include <string>
#include <vector>

inline constexpr ULONG SEE_MASK_DEFAULT = 0x00000000;
inline constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
inline constexpr ULONG SEE_MASK_FLAG_NO_UI = 0x00000400;

struct SHELLEXECUTEINFOW
{
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCWSTR lpVerb;
    LPCWSTR lpFile;
    LPCWSTR lpParameters;
    LPCWSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp;
    void* lpIDList;
    LPCWSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    HANDLE hIconOrMonitor;
    HANDLE hProcess;
};

// False with ERROR_INVALID_PARAMETER for a missing structure, a wrong size or
// no file; otherwise recorded, hInstApp set to 33 (success) and no process.
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);

namespace win32
{

struct ShellRequest
{
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    ULONG mask = 0;
    int show = 0;
    HWND window = nullptr;
};
std::vector<ShellRequest> ShellRequests();
void ClearShellRequests();

} // namespace win32
