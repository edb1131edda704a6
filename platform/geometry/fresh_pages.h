// Big arrays of a mesh made afresh: the kernel makes their pages a slice
// per thread, side by side, before the array is cleared on the thread that
// sizes it, instead of one page fault after another as it is first written
// (a 10M-face mesh's normals are 120 MB).
#pragma once

#include "platform/geometry/simple_array.h"

#include <cstddef>

// Has the kernel make the pages of [start, start + bytes), memory that is
// reserved but not yet written, a slice per thread. Memory it cannot make
// now is made when it is first written, as usual.
void ON_MakePagesSideBySide(void* start, std::size_t bytes);

// Asks for huge pages under the whole 2 MB pages of [start, start + bytes),
// a large block not yet touched: a fault per 2 MB instead of per 4 KB as it
// is first written, and far fewer TLB misses where writes land all over it.
void ON_AdviseHugePages(void* start, std::size_t bytes);

// Sizes an array to `count` value-initialised elements. An array whose
// storage has no room for them yet is given fresh storage of its own size
// first, and big fresh storage has its pages made side by side.
template <class T> void ON_SetCountOnFreshPages(ON_SimpleArray<T>& array, int count)
{
    constexpr std::size_t kBigBytes = std::size_t{4} << 20;
    if (count > array.Capacity() && static_cast<std::size_t>(count) * sizeof(T) >= kBigBytes)
    {
        array.Reserve(count);
        ON_MakePagesSideBySide(array.Storage(), static_cast<std::size_t>(count) * sizeof(T));
    }
    array.SetCount(count);
}
