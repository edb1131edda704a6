// The root interface of the program's objects: a query by 128-bit interface
// id that returns the matching interface pointer or null. Results of a query
// are not reference-counted.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <cstring>

// {9AD89F7D-10DA-40C0-BB17-FB0B4C14F96D}
inline constexpr GUID IID_IBase = {0x9AD89F7D, 0x10DA, 0x40C0, {0xBB, 0x17, 0xFB, 0x0B, 0x4C, 0x14, 0xF9, 0x6D}};

// Interface ids compare as two 64-bit words.
inline bool IsEqualInterfaceId(const GUID& a, const GUID& b)
{
    static_assert(sizeof(GUID) == 16);
    std::uint64_t wa[2];
    std::uint64_t wb[2];
    std::memcpy(wa, &a, sizeof wa);
    std::memcpy(wb, &b, sizeof wb);
    return wa[0] == wb[0] && wa[1] == wb[1];
}

class IBase
{
public:
    virtual ~IBase() = default;

    // The interface with the given id, or null.
    virtual void* QueryInterface(const GUID& iid) = 0;

    // The same query on a const object. Implementers override the non-const
    // query only; classes that hide this overload re-expose it with
    // `using IBase::QueryInterface;`.
    const void* QueryInterface(const GUID& iid) const { return const_cast<IBase*>(this)->QueryInterface(iid); }
};

// An object that lives inside an outer object (a shape's analytic surface, a
// shape inside its scene object). Its query goes to the outer object when one
// is set, so one query on the inner object also answers the outer object's
// ids; the outer object hands ids it does not know to the inner object's
// non-delegating query, never back to the delegating one.
class IBaseAggregate : public virtual IBase
{
public:
    IBaseAggregate() = default;
    // A copy is a new object with no outer object until its owner sets one:
    // a copied outer pointer would send its queries to the original's owner,
    // which may be gone. Assignment keeps the object's own outer pointer.
    IBaseAggregate(const IBaseAggregate&) : IBase() {}
    IBaseAggregate& operator=(const IBaseAggregate&) { return *this; }

    void* QueryInterface(const GUID& iid) override
    {
        return m_outer != nullptr ? m_outer->QueryInterface(iid) : NonDelegatingQueryInterface(iid);
    }
    using IBase::QueryInterface;

    // The object's own answer, whatever its outer object.
    virtual void* NonDelegatingQueryInterface(const GUID& iid)
    {
        return IsEqualInterfaceId(iid, IID_IBase) ? static_cast<IBase*>(this) : nullptr;
    }

    // An object cannot be its own outer object, directly or through a chain
    // of aggregated outer objects: its query would never end. Such an outer
    // object is refused and the object is left without one.
    void SetOuter(IBase* outer)
    {
        for (IBase* o = outer; o != nullptr;)
        {
            if (o == static_cast<IBase*>(this))
            {
                m_outer = nullptr;
                return;
            }
            const auto* aggregate = dynamic_cast<const IBaseAggregate*>(o);
            o = aggregate != nullptr ? aggregate->m_outer : nullptr;
        }
        m_outer = outer;
    }
    IBase* GetOuter() const { return m_outer; }

private:
    IBase* m_outer = nullptr;
};
