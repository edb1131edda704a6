#include "platform/win32/guid.h"

#include <mutex>
#include <random>

HRESULT CoCreateGuid(GUID* guid)
{
    if (guid == nullptr)
        return E_INVALIDARG;
    // One engine for the process, seeded from the system's entropy source;
    // guarded because ids are created from worker threads too.
    static std::mutex lock;
    static std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    std::uint64_t hi;
    std::uint64_t lo;
    {
        std::lock_guard<std::mutex> guard(lock);
        hi = engine();
        lo = engine();
    }
    guid->Data1 = static_cast<std::uint32_t>(hi >> 32);
    guid->Data2 = static_cast<std::uint16_t>(hi >> 16);
    // Version 4 in the top nibble of Data3, the RFC variant in Data4[0].
    guid->Data3 = static_cast<std::uint16_t>((hi & 0x0FFF) | 0x4000);
    for (int i = 0; i < 8; ++i)
        guid->Data4[i] = static_cast<std::uint8_t>(lo >> (56 - 8 * i));
    guid->Data4[0] = static_cast<std::uint8_t>((guid->Data4[0] & 0x3F) | 0x80);
    return S_OK;
}
