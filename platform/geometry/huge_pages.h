// Big arrays of a mesh made afresh: their pages taken 2 MB at a time where
// the system grants huge pages, instead of a page fault per 4 KB as they are
// first written (a 10M-face mesh's normals are 120 MB).
#pragma once

#include "platform/geometry/simple_array.h"

#include <cstddef>

// Asks for huge pages under the whole 2 MB pages of [start, start + bytes),
// memory that is reserved but not yet written. Nothing else changes.
void ON_AdviseHugePages(void* start, std::size_t bytes);

// Sizes an array to `count` value-initialised elements. An array whose
// storage has no room for them yet is given fresh storage of its own size
// first, and big fresh storage huge pages, so that clearing it takes a
// fault per 2 MB.
template <class T> void ON_SetCountOnFreshPages(ON_SimpleArray<T>& array, int count)
{
    constexpr std::size_t kBigBytes = std::size_t{4} << 20;
    if (count > array.Capacity() && static_cast<std::size_t>(count) * sizeof(T) >= kBigBytes)
    {
        array.Reserve(count);
        ON_AdviseHugePages(array.Storage(), static_cast<std::size_t>(count) * sizeof(T));
    }
    array.SetCount(count);
}
