// Lifetime of the program's objects. Objects with one owner derive from
// cNULLRCObject: reference calls do nothing and the owner deletes them.
// Shared objects are made as cRCObject<T>: an atomic count that starts at 0,
// and the Release that takes it from 1 to 0 deletes the object.
#pragma once

#include <atomic>
#include <cassert>
#include <cstdint>
#include <utility>

// Always inherited virtually, so that one object has one count however many
// interfaces lead to it. Deleting through this interface destroys the whole
// object.
class IRCObject
{
public:
    virtual ~IRCObject() = default;
    virtual void AddRef() = 0;
    virtual void Release() = 0;
};

class cNULLRCObject : public virtual IRCObject
{
public:
    void AddRef() override {}
    void Release() override {}
};

template <class T> class cRCObject : public T, public virtual IRCObject
{
public:
    template <class... Args> explicit cRCObject(Args&&... args) : T(std::forward<Args>(args)...) {}

    cRCObject(const cRCObject&) = delete;
    cRCObject& operator=(const cRCObject&) = delete;

    void AddRef() override { m_refCount.fetch_add(1, std::memory_order_relaxed); }

    void Release() override
    {
        const std::uint32_t before = m_refCount.fetch_sub(1, std::memory_order_acq_rel);
        assert(before != 0 && "Release without a matching AddRef");
        if (before == 1)
            delete static_cast<IRCObject*>(this);
    }

    std::uint32_t GetRefCount() const { return m_refCount.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint32_t> m_refCount{0};
};

// Holds one reference to an object with an IRCObject base.
template <class T> class tSafePtr
{
public:
    tSafePtr() = default;
    tSafePtr(T* object) : m_object(object) { AddRefOf(m_object); }
    tSafePtr(const tSafePtr& other) : m_object(other.m_object) { AddRefOf(m_object); }
    tSafePtr(tSafePtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
    ~tSafePtr() { Reset(); }

    tSafePtr& operator=(T* object)
    {
        // Take the new reference first: the old and new object may be the same.
        AddRefOf(object);
        T* old = std::exchange(m_object, object);
        ReleaseOf(old);
        return *this;
    }
    tSafePtr& operator=(const tSafePtr& other) { return *this = other.m_object; }
    tSafePtr& operator=(tSafePtr&& other) noexcept
    {
        if (this != &other)
        {
            T* old = std::exchange(m_object, std::exchange(other.m_object, nullptr));
            ReleaseOf(old);
        }
        return *this;
    }

    // Releases the held object (if any) and clears the holder. The pointer is
    // cleared first, so a destructor that reaches this holder sees it empty.
    void Reset() { ReleaseOf(std::exchange(m_object, nullptr)); }

    T* Get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }

private:
    static void AddRefOf(T* object)
    {
        if (object != nullptr)
            static_cast<IRCObject*>(object)->AddRef();
    }
    static void ReleaseOf(T* object)
    {
        if (object != nullptr)
            static_cast<IRCObject*>(object)->Release();
    }

    T* m_object = nullptr;
};
