// Sounds. Nothing is heard on this machine: PlaySoundW records what would
// have been played, so that tests can ask for it.
#pragma once

#include "platform/win32/types.h"

#include <string>
#include <vector>

inline constexpr DWORD SND_SYNC = 0x00000000;
inline constexpr DWORD SND_ASYNC = 0x00000001;
inline constexpr DWORD SND_NODEFAULT = 0x00000002;
inline constexpr DWORD SND_MEMORY = 0x00000004;
inline constexpr DWORD SND_LOOP = 0x00000008;
inline constexpr DWORD SND_NOSTOP = 0x00000010;
inline constexpr DWORD SND_PURGE = 0x00000040;
inline constexpr DWORD SND_ALIAS = 0x00010000;
inline constexpr DWORD SND_FILENAME = 0x00020000;
inline constexpr DWORD SND_RESOURCE = 0x00040004;

// A null name stops what plays (recorded as a stop).
BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags);

namespace win32
{

struct PlayedSound
{
    std::wstring name; // empty for a resource id or a stop
    ULONG_PTR resourceId = 0;
    HMODULE module = nullptr;
    DWORD flags = 0;
    bool stop = false;
};
std::vector<PlayedSound> PlayedSounds();
void ClearPlayedSounds();

} // namespace win32
