#include "platform/geometry/fresh_pages.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

void ON_AdviseHugePages(void* start, std::size_t bytes)
{
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(kHugePage - 1);
#ifdef MADV_HUGEPAGE
    if (start && end > begin)
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

void ON_MakePagesSideBySide(void* start, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (start == nullptr || pageSize <= 0)
        return;
    const auto page = static_cast<std::uintptr_t>(pageSize);
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
    const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
    if (end <= begin)
        return;
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
    const std::uintptr_t slice = ((end - begin) / threads + page - 1) / page * page;
    const auto make = [&](unsigned k) {
        const std::uintptr_t from = begin + k * slice;
        if (from < end)
            ::madvise(reinterpret_cast<void*>(from), std::min(slice, end - from), MADV_POPULATE_WRITE);
    };
    std::vector<std::thread> helpers;
    try
    {
        for (unsigned k = 1; k < threads; ++k)
            helpers.emplace_back(make, k);
    }
    catch (const std::system_error&)
    {
        // Fewer helpers: the rest is made as it is written.
    }
    make(0);
    for (std::thread& helper : helpers)
        helper.join();
#else
    (void)start;
    (void)bytes;
#endif
}
