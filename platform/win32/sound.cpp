#include "platform/win32/sound.h"
#include "platform/win32/window.h"

#include <mutex>

namespace
{

struct SoundLog
{
    std::mutex lock;
    std::vector<win32::PlayedSound> played;
};

SoundLog& Log()
{
    static auto* log = new SoundLog;
    return *log;
}

} // namespace

BOOL PlaySoundW(LPCWSTR sound, HMODULE module, DWORD flags)
{
    win32::PlayedSound entry;
    entry.module = module;
    entry.flags = flags;
    if (sound == nullptr)
        entry.stop = true;
    else if ((flags & SND_RESOURCE) == SND_RESOURCE && IS_INTRESOURCE(sound))
        entry.resourceId = reinterpret_cast<ULONG_PTR>(sound);
    else
        entry.name = sound;
    SoundLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    log.played.push_back(std::move(entry));
    return TRUE;
}

namespace win32
{

std::vector<PlayedSound> PlayedSounds()
{
    SoundLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    return log.played;
}

void ClearPlayedSounds()
{
    SoundLog& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    log.played.clear();
}

} // namespace win32
