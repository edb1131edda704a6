// The element array of a bucket k-d tree: every leaf's elements side by side
// as one range of it. Pointer elements that all lie within 4 GiB above the
// lowest one are kept as 32-bit byte offsets from it (half the memory of the
// pointers); otherwise the array holds the elements themselves.
//
// A leaf that grows while it is not the last range moves to the end first;
// the slots it leaves are counted as garbage, and once garbage outweighs the
// live elements the owner compacts (Compact), so a run of inserts keeps the
// array within about twice its live size.
#pragma once

#include "core/thread_pool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

template <class T> class tBucketKDTreeElements
{
public:
    tBucketKDTreeElements() = default;
    ~tBucketKDTreeElements() { Free(); }
    tBucketKDTreeElements(const tBucketKDTreeElements&) = delete;
    tBucketKDTreeElements& operator=(const tBucketKDTreeElements&) = delete;

    void Free()
    {
        delete[] m_values;
        m_values = nullptr;
        delete[] m_offsets;
        m_offsets = nullptr;
        m_base = 0;
        m_count = 0;
        m_capacity = 0;
        m_garbage = 0;
    }

    // Slots in use, garbage included.
    std::uint32_t GetCount() const { return m_count; }
    std::uint32_t GetGarbage() const { return m_garbage; }
    bool KeepsOffsets() const { return m_offsets != nullptr; }
    std::uintptr_t GetBase() const { return m_base; }
    const std::uint32_t* GetOffsets() const { return m_offsets; }
    const T* GetValues() const { return m_values; }

    T Get(std::uint32_t i) const { return m_offsets != nullptr ? FromOffset(m_base, m_offsets[i]) : m_values[i]; }

    // Only for an element that came from this array (so that it fits).
    void Set(std::uint32_t i, T element)
    {
        if (m_offsets != nullptr)
            m_offsets[i] = ToOffset(element);
        else
            m_values[i] = element;
    }

    // The element at a byte offset from base (offsets are only kept for
    // pointer elements).
    static T FromOffset(std::uintptr_t base, std::uint32_t offset)
    {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(base + offset);
        else
            return T();
    }

    // Makes room for the range [first, first + count) plus `extra` more
    // elements at the end of the array: returns where the range now starts
    // (first itself when it already ends the array), or kNoRoom with the
    // array unchanged when no memory could be had.
    static constexpr std::uint32_t kNoRoom = 0xFFFFFFFF;
    std::uint32_t MakeRoomAtEnd(std::uint32_t first, std::uint32_t count, std::uint32_t extra)
    {
        const bool atEnd = first + count == m_count;
        const std::uint64_t needed = std::uint64_t{m_count} + (atEnd ? 0u : count) + extra;
        if (needed > 0xFFFFFFF0u)
            return kNoRoom;
        if (needed > m_capacity && !Grow(static_cast<std::uint32_t>(needed)))
            return kNoRoom;
        if (atEnd)
            return first;
        const std::uint32_t moved = m_count;
        if (m_offsets != nullptr)
            std::copy(m_offsets + first, m_offsets + first + count, m_offsets + moved);
        else
            std::copy(m_values + first, m_values + first + count, m_values + moved);
        m_count += count;
        m_garbage += count;
        return moved;
    }

    // Appends an element after MakeRoomAtEnd made room for it. An element
    // that does not fit an offset turns the whole array into elements.
    bool Append(T element)
    {
        if (m_offsets != nullptr && !FitsOffset(element) && !StoreValues())
            return false;
        if (m_offsets == nullptr && m_values == nullptr)
            return false;
        Set(m_count, element);
        ++m_count;
        return true;
    }

    // Takes an array of n elements (new[]-allocated, the array's new
    // content), then keeps offsets when they fit and memory allows; a big
    // array is measured and packed a block at a time on the pool.
    void Adopt(T* values, std::uint32_t n, cThreadPool* pool = nullptr)
    {
        Free();
        m_values = values;
        m_count = n;
        m_capacity = n;
        PackAsOffsets(n >= kPackOnPoolMinimum ? pool : nullptr);
    }

    // Takes an array of n byte offsets from base (new[]-allocated) as the
    // content of a pointer array, as Adopt keeps elements that fit.
    void AdoptOffsets(std::uint32_t* offsets, std::uint32_t n, std::uintptr_t base)
    {
        Free();
        m_offsets = offsets;
        m_base = base;
        m_count = n;
        m_capacity = n;
    }

    // Copies the ranges the visitor names into a fresh array without gaps:
    // visit(move) calls move(first, count) for every live range in turn and
    // stores the returned new start. False (nothing changed) without memory.
    template <class Visit> bool Compact(Visit&& visit)
    {
        const std::uint32_t live = m_count - m_garbage;
        const std::uint32_t capacity = std::max<std::uint32_t>(live + live / 2, 16);
        if (m_offsets != nullptr)
        {
            std::uint32_t* fresh = new (std::nothrow) std::uint32_t[capacity];
            if (fresh == nullptr)
                return false;
            std::uint32_t at = 0;
            visit([&](std::uint32_t first, std::uint32_t count) {
                std::copy(m_offsets + first, m_offsets + first + count, fresh + at);
                at += count;
                return at - count;
            });
            delete[] m_offsets;
            m_offsets = fresh;
            m_count = at;
        }
        else
        {
            T* fresh = new (std::nothrow) T[capacity];
            if (fresh == nullptr)
                return false;
            std::uint32_t at = 0;
            visit([&](std::uint32_t first, std::uint32_t count) {
                std::copy(m_values + first, m_values + first + count, fresh + at);
                at += count;
                return at - count;
            });
            delete[] m_values;
            m_values = fresh;
            m_count = at;
        }
        m_capacity = capacity;
        m_garbage = 0;
        return true;
    }

private:
    bool FitsOffset(T element) const
    {
        if constexpr (std::is_pointer_v<T>)
        {
            const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(element);
            return at >= m_base && at - m_base <= std::uintptr_t{0xFFFFFFFF};
        }
        else
            return false;
    }

    std::uint32_t ToOffset(T element) const
    {
        if constexpr (std::is_pointer_v<T>)
            return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(element) - m_base);
        else
            return 0;
    }

    // Grows the capacity to at least `needed` (by half again at least, so
    // that a run of appends moves the array O(log n) times).
    bool Grow(std::uint32_t needed)
    {
        const std::uint64_t wanted = std::max<std::uint64_t>(
            {std::uint64_t{needed}, std::uint64_t{m_capacity} + m_capacity / 2, std::uint64_t{16}});
        const std::uint32_t capacity = static_cast<std::uint32_t>(std::min<std::uint64_t>(wanted, 0xFFFFFFF0u));
        if (m_offsets != nullptr)
        {
            std::uint32_t* fresh = new (std::nothrow) std::uint32_t[capacity];
            if (fresh == nullptr)
                return false;
            std::copy(m_offsets, m_offsets + m_count, fresh);
            delete[] m_offsets;
            m_offsets = fresh;
        }
        else
        {
            T* fresh = new (std::nothrow) T[capacity];
            if (fresh == nullptr)
                return false;
            std::copy(m_values, m_values + m_count, fresh);
            delete[] m_values;
            m_values = fresh;
        }
        m_capacity = capacity;
        return true;
    }

    // Offsets to elements, in place of the offsets (same capacity).
    bool StoreValues()
    {
        T* fresh = new (std::nothrow) T[m_capacity];
        if (fresh == nullptr)
            return false;
        for (std::uint32_t i = 0; i < m_count; ++i)
            fresh[i] = FromOffset(m_base, m_offsets[i]);
        delete[] m_offsets;
        m_offsets = nullptr;
        m_values = fresh;
        m_base = 0;
        return true;
    }

    // Replaces the elements by 32-bit offsets from the lowest one when every
    // element lies within 4 GiB of it and the offsets' array can be had.
    void PackAsOffsets(cThreadPool* pool)
    {
        if constexpr (std::is_pointer_v<T>)
        {
            if (m_count == 0)
                return;
            constexpr std::uint32_t kBlock = 1u << 16;
            const std::size_t blocks = (std::size_t{m_count} + kBlock - 1) / kBlock;
            const auto end = [&](std::size_t block) { return std::min(m_count, std::uint32_t(block + 1) * kBlock); };
            std::vector<std::pair<std::uintptr_t, std::uintptr_t>> range(blocks);
            auto measure = [&](std::size_t block) {
                std::uintptr_t low = reinterpret_cast<std::uintptr_t>(m_values[block * kBlock]);
                std::uintptr_t high = low;
                for (std::uint32_t i = std::uint32_t(block) * kBlock + 1; i < end(block); ++i)
                {
                    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(m_values[i]);
                    low = std::min(low, at);
                    high = std::max(high, at);
                }
                range[block] = {low, high};
            };
            ParallelForEach(pool, blocks, 1, measure);
            std::uintptr_t low = range[0].first, high = range[0].second;
            for (const auto& r : range)
            {
                low = std::min(low, r.first);
                high = std::max(high, r.second);
            }
            if (high - low > std::uintptr_t{0xFFFFFFFF})
                return;
            std::uint32_t* offsets = new (std::nothrow) std::uint32_t[m_capacity];
            if (offsets == nullptr)
                return;
            auto pack = [&](std::size_t block) {
                for (std::uint32_t i = std::uint32_t(block) * kBlock; i < end(block); ++i)
                    offsets[i] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(m_values[i]) - low);
            };
            ParallelForEach(pool, blocks, 1, pack);
            delete[] m_values;
            m_values = nullptr;
            m_offsets = offsets;
            m_base = low;
        }
    }

    // Fewest elements an adoption packs on the pool.
    static constexpr std::uint32_t kPackOnPoolMinimum = 1u << 16;

    T* m_values = nullptr;
    std::uint32_t* m_offsets = nullptr;
    std::uintptr_t m_base = 0;
    std::uint32_t m_count = 0;
    std::uint32_t m_capacity = 0;
    std::uint32_t m_garbage = 0;
};
