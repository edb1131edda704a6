// Code-page conversion of the stand-in platform layer.
//
// In memory wide text is wchar_t (UTF-32 on Linux). Byte formats that carry
// 16-bit characters convert to and from UTF-16LE at their boundary with the
// helpers in namespace win32. The system's "ANSI" code page (CP_ACP) is fixed
// to Windows-1252 so that names written into files come out the same bytes on
// every machine, whatever the process locale.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;
inline constexpr UINT CP_WINDOWS_1252 = 1252;

inline constexpr DWORD MB_PRECOMPOSED = 0x00000001;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;

// wideCount -1 converts up to and including the terminating zero. With
// outBytes 0 the result is the size the output needs. Characters that the
// code page cannot hold become the default character ("?" unless given) and
// set *usedDefault. Returns the number of bytes written, 0 on failure
// (ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER).
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out, int outBytes,
                        LPCSTR defaultChar, BOOL* usedDefault);

// mbCount -1 converts up to and including the terminating zero. With outCount
// 0 the result is the number of wide characters the output needs. Bytes that
// are not valid in the code page become U+FFFD (or fail the call with
// ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR mb, int mbCount, LPWSTR out, int outCount);

inline constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

namespace win32
{

// Number of UTF-16 code units that count wide characters take (characters
// beyond U+FFFF take two).
std::size_t Utf16UnitCount(const wchar_t* text, std::size_t count);

// Appends count wide characters to out as UTF-16LE.
void AppendUtf16Le(std::vector<std::uint8_t>& out, const wchar_t* text, std::size_t count);

// Decodes UTF-16LE bytes (an odd last byte is ignored; an unpaired surrogate
// is kept as its own code unit).
std::wstring DecodeUtf16Le(const std::uint8_t* bytes, std::size_t byteCount);

// Wide text to UTF-8 and back, for file names handed to the C library.
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

} // namespace win32
