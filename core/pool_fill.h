// Big scratch arrays of a pass over the pool, their values first written on
// the pool a block at a time: the kernel then makes their fresh pages side
// by side, where an array cleared or copied on the calling thread had them
// made one after another (tens of milliseconds for each 20 MB array of a
// 10M-triangle scan).
#pragma once

#include "core/thread_pool.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <type_traits>

// Writes value into first[0, n) on the pool.
template <class T> void FillOnPool(cThreadPool* pool, T* first, std::size_t n, const T& value)
{
    static_assert(std::is_trivially_copyable_v<T>);
    constexpr std::size_t kBlock = std::max<std::size_t>((std::size_t{1} << 20) / sizeof(T), 1);
    auto fill = [&](std::size_t b) { std::fill(first + b * kBlock, first + std::min(n, (b + 1) * kBlock), value); };
    ParallelForEach(pool, (n + kBlock - 1) / kBlock, 1, fill);
}

// n copies of value, written on the pool. Throws std::bad_alloc as new does.
template <class T> std::unique_ptr<T[]> MakeFilledOnPool(cThreadPool* pool, std::size_t n, const T& value)
{
    static_assert(std::is_trivially_default_constructible_v<T>, "the records are first written by the fill");
    std::unique_ptr<T[]> array(new T[n]);
    FillOnPool(pool, array.get(), n, value);
    return array;
}
