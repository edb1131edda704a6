// Growable array with 32-bit signed count and capacity. Indexing out of
// range is the caller's fault (asserted); At() is the checked access.
#pragma once

#include <cassert>
#include <utility>
#include <vector>

template <class T> class ON_SimpleArray
{
public:
    ON_SimpleArray() = default;
    explicit ON_SimpleArray(int initial_capacity) { SetCapacity(initial_capacity); }

    int Count() const { return static_cast<int>(m_a.size()); }
    int Capacity() const { return static_cast<int>(m_a.capacity()); }
    unsigned int UnsignedCount() const { return static_cast<unsigned int>(m_a.size()); }

    T& operator[](int i)
    {
        assert(i >= 0 && i < Count());
        return m_a[static_cast<std::size_t>(i)];
    }
    const T& operator[](int i) const
    {
        assert(i >= 0 && i < Count());
        return m_a[static_cast<std::size_t>(i)];
    }
    T* At(int i) { return i >= 0 && i < Count() ? &m_a[static_cast<std::size_t>(i)] : nullptr; }
    const T* At(int i) const { return i >= 0 && i < Count() ? &m_a[static_cast<std::size_t>(i)] : nullptr; }
    T* Array() { return m_a.empty() ? nullptr : m_a.data(); }
    // The storage's start, up to the capacity past the count: for one who
    // prepares reserved memory before it is filled.
    T* Storage() { return m_a.data(); }
    const T* Array() const { return m_a.empty() ? nullptr : m_a.data(); }
    T* First() { return At(0); }
    const T* First() const { return At(0); }
    T* Last() { return At(Count() - 1); }
    const T* Last() const { return At(Count() - 1); }

    void Append(const T& x) { m_a.push_back(x); }
    void Append(int count, const T* p)
    {
        for (int i = 0; i < count; ++i)
            m_a.push_back(p[i]);
    }
    T& AppendNew()
    {
        m_a.emplace_back();
        return m_a.back();
    }
    // Inserts before index i (0 <= i <= Count()); other indices are ignored.
    void Insert(int i, const T& x)
    {
        if (i >= 0 && i <= Count())
            m_a.insert(m_a.begin() + i, x);
    }
    void Remove() { Remove(Count() - 1); }
    void Remove(int i)
    {
        if (i >= 0 && i < Count())
            m_a.erase(m_a.begin() + i);
    }
    // Count 0, storage kept.
    void Empty() { m_a.clear(); }
    // Count and capacity 0, storage freed.
    void Destroy() { std::vector<T>().swap(m_a); }
    void Reserve(int capacity)
    {
        if (capacity > Capacity())
            m_a.reserve(static_cast<std::size_t>(capacity));
    }
    // Grows or shrinks the storage; shrinking below the count drops elements.
    void SetCapacity(int capacity)
    {
        if (capacity <= 0)
        {
            Destroy();
            return;
        }
        if (capacity < Count())
            m_a.resize(static_cast<std::size_t>(capacity));
        if (capacity > Capacity())
            m_a.reserve(static_cast<std::size_t>(capacity));
        else if (capacity < Capacity())
        {
            std::vector<T> v;
            v.reserve(static_cast<std::size_t>(capacity));
            for (auto& x : m_a)
                v.push_back(std::move(x));
            m_a.swap(v);
        }
    }
    // New elements are value-initialised; negative counts give 0.
    void SetCount(int count) { m_a.resize(count > 0 ? static_cast<std::size_t>(count) : 0u); }
    void Zero()
    {
        for (auto& x : m_a)
            x = T();
    }
    void Reverse()
    {
        for (std::size_t i = 0, j = m_a.size(); i + 1 < j; ++i, --j)
            std::swap(m_a[i], m_a[j - 1]);
    }

    T* begin() { return m_a.data(); }
    T* end() { return m_a.data() + m_a.size(); }
    const T* begin() const { return m_a.data(); }
    const T* end() const { return m_a.data() + m_a.size(); }

private:
    std::vector<T> m_a;
};
