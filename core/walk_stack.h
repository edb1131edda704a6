// The explicit stack of the depth-first walks over geometry (never recursion,
// so large regions cannot exhaust the call stack): pointers in a chunked
// array whose chunks are added and given back as the stack grows and shrinks.
#pragma once

#include <cstdint>

#include "core/chunked_array.h"

template <class T> class tWalkStack
{
public:
    bool IsEmpty() const { return m_items.GetCount() == 0; }
    std::uint32_t GetCount() const { return m_items.GetCount(); }

    // A push that cannot get memory is dropped; the walk then misses that
    // branch but still ends.
    void Push(T* item) { m_items.PushBack(item); }

    // The caller checks IsEmpty first.
    T* Pop()
    {
        const std::uint32_t count = m_items.GetCount() - 1;
        T* item = m_items[count];
        m_items.SetCount(count);
        // Give chunks back with some slack, so that a stack moving around a
        // chunk boundary does not allocate and free on every step.
        if (count + 2 * kArrayChunkSize <= m_items.GetCapacity())
            m_items.Resize(count + kArrayChunkSize);
        return item;
    }

private:
    tArray<T*> m_items;
};
