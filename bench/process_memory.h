// The process's resident memory for benchmarks that report what a piece of
// work needs at its peak.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace benchmemory
{

// A field of /proc/self/status in bytes ("VmRSS", "VmHWM").
inline std::size_t StatusBytes(const char* field)
{
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return 0;
    char line[256];
    std::size_t kb = 0;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, field, length) == 0 && line[length] == ':')
            kb = std::strtoull(line + length + 1, nullptr, 10);
    std::fclose(status);
    return kb * 1024;
}

// Starts the high-water mark again from the resident bytes now, without
// handing freed memory back first: the steps of one measurement each
// measured on their own.
inline void ResetPeak()
{
    if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w"))
    {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

// Starts a measurement: memory freed before goes back to the system (so
// that reusing it does not hide what the work needs), the high-water mark
// is reset, and the resident bytes now are returned.
inline std::size_t StartPeakMeasurement()
{
    ::malloc_trim(0);
    const std::size_t before = StatusBytes("VmRSS");
    ResetPeak();
    return before;
}

// The bytes the program's allocations hold now (freed memory the allocator
// keeps for reuse not counted).
inline std::size_t AllocatedBytes()
{
    const struct mallinfo2 info = ::mallinfo2();
    return info.uordblks + info.hblkhd;
}

// The peak resident bytes since the measurement started above `before`.
inline std::size_t PeakSince(std::size_t before)
{
    const std::size_t peak = StatusBytes("VmHWM");
    return peak > before ? peak - before : 0;
}

// The peak resident memory the work adds to what the process held before
// (every allocation counts, heap or mapped).
template <class Work> std::size_t PeakMemoryOf(Work&& work)
{
    const std::size_t before = StartPeakMeasurement();
    work();
    return PeakSince(before);
}

} // namespace benchmemory
