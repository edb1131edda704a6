// A table of live objects reached through opaque handle values, shared by the
// kernel handles and the GDI objects. Values step by 4 from a starting value
// and are never reused, so a stale handle stays invalid for the life of the
// process instead of naming a newer object. Thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace win32
{

template <class T> class tHandleTable
{
public:
    explicit tHandleTable(std::uintptr_t firstValue) : m_next(firstValue) {}

    // A fresh handle value for the object; 0 for a null object.
    std::uintptr_t Register(std::shared_ptr<T> object)
    {
        if (!object)
            return 0;
        std::lock_guard<std::mutex> guard(m_lock);
        const std::uintptr_t value = m_next;
        m_next += 4;
        m_objects.emplace(value, std::move(object));
        return value;
    }

    // The object behind a live handle, or null.
    std::shared_ptr<T> Lookup(std::uintptr_t value) const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_objects.find(value);
        return it == m_objects.end() ? nullptr : it->second;
    }

    // Takes the object out of the table and hands it back (null for an
    // unknown handle), so that the caller lets it die outside the lock.
    std::shared_ptr<T> Remove(std::uintptr_t value)
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_objects.find(value);
        if (it == m_objects.end())
            return nullptr;
        std::shared_ptr<T> object = std::move(it->second);
        m_objects.erase(it);
        return object;
    }

    std::size_t Count() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_objects.size();
    }

private:
    mutable std::mutex m_lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<T>> m_objects;
    std::uintptr_t m_next;
};

} // namespace win32
