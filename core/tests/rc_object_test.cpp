#include "core/base.h"
#include "core/rc_object.h"

#include <gtest/gtest.h>

namespace
{

// {11111111-2222-3333-4444-555566667777}
constexpr GUID IID_Probe = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x66, 0x66, 0x77, 0x77}};

struct Probe : public virtual IBase
{
    explicit Probe(int* destroyed) : destroyed(destroyed) {}
    ~Probe() override { ++*destroyed; }
    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_Probe))
            return static_cast<Probe*>(this);
        if (IsEqualInterfaceId(iid, IID_IBase))
            return static_cast<IBase*>(this);
        return nullptr;
    }
    int* destroyed;
};

// A single-owner object that still goes through the reference interface.
struct Owned : public cNULLRCObject
{
    explicit Owned(int* destroyed) : destroyed(destroyed) {}
    ~Owned() override { ++*destroyed; }
    int* destroyed;
};

TEST(RCObject, TheReleaseThatReachesZeroDeletes)
{
    int destroyed = 0;
    auto* p = new cRCObject<Probe>(&destroyed);
    EXPECT_EQ(p->GetRefCount(), 0u);
    p->AddRef();
    p->AddRef();
    p->Release();
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(p->GetRefCount(), 1u);
    static_cast<IRCObject*>(p)->Release();
    EXPECT_EQ(destroyed, 1);
}

TEST(RCObject, NullObjectsIgnoreReferenceCalls)
{
    int destroyed = 0;
    {
        Owned owned(&destroyed);
        IRCObject* rc = &owned;
        for (int i = 0; i < 5; ++i)
            rc->Release();
        rc->AddRef();
        rc->Release();
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(RCObject, QueriesAnswerByInterfaceId)
{
    int destroyed = 0;
    tSafePtr<cRCObject<Probe>> p(new cRCObject<Probe>(&destroyed));
    IBase* base = p.Get();
    EXPECT_EQ(base->QueryInterface(IID_Probe), static_cast<Probe*>(p.Get()));
    EXPECT_EQ(base->QueryInterface(IID_IBase), base);
    const IBase* constBase = base;
    EXPECT_EQ(constBase->QueryInterface(IID_Probe), static_cast<const Probe*>(p.Get()));
    GUID other = IID_Probe;
    other.Data4[7] ^= 1;
    EXPECT_EQ(base->QueryInterface(other), nullptr);
}

TEST(SafePtr, HoldsOneReferenceAndReleasesOnResetOrDestruction)
{
    int destroyed = 0;
    auto* p = new cRCObject<Probe>(&destroyed);
    {
        tSafePtr<cRCObject<Probe>> a(p);
        EXPECT_EQ(p->GetRefCount(), 1u);
        tSafePtr<cRCObject<Probe>> b = a;
        EXPECT_EQ(p->GetRefCount(), 2u);
        tSafePtr<cRCObject<Probe>> c = std::move(b);
        EXPECT_FALSE(b);
        EXPECT_EQ(p->GetRefCount(), 2u);
        c = p; // storing the same object keeps it alive
        EXPECT_EQ(p->GetRefCount(), 2u);
        c.Reset();
        EXPECT_FALSE(c);
        EXPECT_EQ(p->GetRefCount(), 1u);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);

    tSafePtr<cRCObject<Probe>> empty;
    empty.Reset();
    EXPECT_EQ(empty.Get(), nullptr);

    // The only holder storing its own object again: dropped before it was
    // taken again, the object would die on the way.
    int alone = 0;
    {
        tSafePtr<cRCObject<Probe>> only(new cRCObject<Probe>(&alone));
        only = only.Get();
        EXPECT_EQ(alone, 0);
        EXPECT_EQ(only->GetRefCount(), 1u);
        const tSafePtr<cRCObject<Probe>>& same = only;
        only = same;
        EXPECT_EQ(alone, 0);
        EXPECT_EQ(only->GetRefCount(), 1u);
    }
    EXPECT_EQ(alone, 1);
}

// {AAAAAAAA-0000-0000-0000-000000000001}
constexpr GUID IID_Outer = {0xAAAAAAAA, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
// {AAAAAAAA-0000-0000-0000-000000000002}
constexpr GUID IID_Inner = {0xAAAAAAAA, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};

struct Inner : public virtual IBaseAggregate
{
    void* NonDelegatingQueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_Inner))
            return this;
        return IBaseAggregate::NonDelegatingQueryInterface(iid);
    }
};

struct Outer : public virtual IBase
{
    Outer() { inner.SetOuter(this); }
    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_Outer))
            return this;
        return inner.NonDelegatingQueryInterface(iid);
    }
    Inner inner;
};

TEST(BaseAggregate, InnerObjectsAnswerForTheirOuterObject)
{
    Outer outer;
    EXPECT_EQ(outer.QueryInterface(IID_Inner), &outer.inner);
    EXPECT_EQ(outer.inner.QueryInterface(IID_Outer), &outer) << "delegates to the outer object";
    EXPECT_EQ(outer.inner.QueryInterface(IID_Inner), &outer.inner);
    EXPECT_EQ(outer.inner.QueryInterface(IID_Probe), nullptr);

    Inner alone;
    EXPECT_EQ(alone.QueryInterface(IID_Inner), &alone);
    EXPECT_EQ(alone.QueryInterface(IID_Outer), nullptr);
    alone.SetOuter(&alone);
    EXPECT_EQ(alone.GetOuter(), nullptr) << "an object is never its own outer object";

    // Nor through a chain: a -> b -> a would send every query round forever.
    Inner a, b;
    a.SetOuter(&b);
    b.SetOuter(&a);
    EXPECT_EQ(a.GetOuter(), &b);
    EXPECT_EQ(b.GetOuter(), nullptr);
    EXPECT_EQ(a.QueryInterface(IID_Probe), nullptr);
}

TEST(BaseAggregate, CopiesStartWithoutAnOuterObject)
{
    auto* outer = new Outer;
    Inner copy(outer->inner);
    Outer other;
    other.inner = outer->inner;
    delete outer;
    EXPECT_EQ(copy.GetOuter(), nullptr) << "a copied outer pointer would outlive the original's owner";
    EXPECT_EQ(copy.QueryInterface(IID_Outer), nullptr);
    EXPECT_EQ(other.inner.QueryInterface(IID_Outer), &other) << "assignment keeps the object's own outer";
}

} // namespace
