#include "core/attached_property.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct Log
{
    std::vector<std::wstring> destroyed;
    std::vector<std::wstring> transformed;
};

// Stands in for a scene object: the two operations the accessor pattern uses.
struct Owner
{
    IAttachedProperty* FindAttachedProperty(std::wstring_view name) const { return list.Find(name); }
    IAttachedProperty* AttachProperty(IAttachedProperty* p, bool replace) { return list.Attach(p, replace); }
    cAttachedPropertyList list;
};

class OtherProperty : public IAttachedProperty
{
public:
    using IAttachedProperty::IAttachedProperty;
};

class TestProperty : public IAttachedProperty
{
public:
    TestProperty(std::wstring_view name, ISceneObject* owner, Log* log) : IAttachedProperty(name, owner), m_log(log) {}
    // The stand-in owner is no scene object; the property keeps no owner then.
    TestProperty(std::wstring_view name, Owner*, Log* log) : TestProperty(name, static_cast<ISceneObject*>(nullptr), log)
    {
    }
    ~TestProperty() override { m_log->destroyed.push_back(GetName()); }
    void OnOwnerTransformed(const double* transform) override
    {
        m_log->transformed.push_back(GetName());
        lastTx = transform[3];
    }
    double lastTx = 0;

private:
    Log* m_log;
};


cRCObject<TestProperty>* Make(const wchar_t* name, Log* log) { return new cRCObject<TestProperty>(name, static_cast<ISceneObject*>(nullptr), log); }

TEST(AttachedProperty, DefaultTransformNotificationDoesNothing)
{
    cRCObject<OtherProperty> p(L"Plain", nullptr);
    const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    p.OnOwnerTransformed(identity);
    EXPECT_EQ(p.GetName(), L"Plain");
    EXPECT_EQ(p.GetOwner(), nullptr);
}

TEST(AttachedPropertyList, HoldsOneReferenceAndFindsByExactName)
{
    Log log;
    auto* p = Make(L"TriangleColoursProperty", &log);
    {
        cAttachedPropertyList list;
        EXPECT_EQ(list.Attach(p, false), p);
        EXPECT_EQ(p->GetRefCount(), 1u);
        EXPECT_EQ(list.Find(L"TriangleColoursProperty"), p);
        EXPECT_TRUE(list.Has(L"TriangleColoursProperty"));
        EXPECT_EQ(list.Find(L"trianglecoloursproperty"), nullptr) << "names are case-sensitive";
        EXPECT_EQ(list.Find(L"TriangleColours"), nullptr);
        EXPECT_EQ(list.Attach(nullptr, true), nullptr);
    }
    EXPECT_EQ(log.destroyed, std::vector<std::wstring>{L"TriangleColoursProperty"}) << "owner's list dies, property dies";
}

TEST(AttachedPropertyList, OwnerDeathReleasesInListOrder)
{
    Log log;
    {
        cAttachedPropertyList list;
        list.Attach(Make(L"first", &log), false);
        list.Attach(Make(L"second", &log), false);
        list.Attach(Make(L"third", &log), false);
    }
    EXPECT_EQ(log.destroyed, (std::vector<std::wstring>{L"first", L"second", L"third"}));
}

TEST(AttachedPropertyList, ReplaceDropsTheOldPropertyOnlyWhenAsked)
{
    Log log;
    cAttachedPropertyList list;
    auto* first = Make(L"A", &log);
    auto* second = Make(L"A", &log);
    ASSERT_EQ(list.Attach(first, true), first);

    tSafePtr<cRCObject<TestProperty>> keep(second);
    EXPECT_EQ(list.Attach(second, false), nullptr);
    EXPECT_EQ(list.Find(L"A"), first);
    EXPECT_EQ(second->GetRefCount(), 1u);

    EXPECT_EQ(list.Attach(second, true), second);
    EXPECT_EQ(log.destroyed, std::vector<std::wstring>{L"A"});
    EXPECT_EQ(list.Find(L"A"), second);
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(second->GetRefCount(), 2u);

    // Re-attaching the same property must not release it on the way, even
    // when the list is its only owner (as after get-or-create): released
    // first, it would die before it was added again.
    keep.Reset();
    ASSERT_EQ(second->GetRefCount(), 1u);
    EXPECT_EQ(list.Attach(second, true), second);
    EXPECT_EQ(log.destroyed.size(), 1u);
    EXPECT_EQ(second->GetRefCount(), 1u);
    EXPECT_EQ(list.GetCount(), 1u);
}

TEST(AttachedPropertyList, DetachReleasesAndAbsentNamesAreRefused)
{
    Log log;
    cAttachedPropertyList list;
    list.Attach(Make(L"A", &log), false);
    list.Attach(Make(L"B", &log), false);
    EXPECT_FALSE(list.Detach(L"C"));
    EXPECT_TRUE(list.Detach(L"A"));
    EXPECT_EQ(log.destroyed, std::vector<std::wstring>{L"A"});
    EXPECT_EQ(list.GetCount(), 1u);
    EXPECT_EQ(list.GetAt(0)->GetName(), L"B");
    EXPECT_EQ(list.GetAt(1), nullptr);
}

// A property that removes another one when the owner moves.
class Remover : public IAttachedProperty
{
public:
    Remover(std::wstring_view name, ISceneObject* owner, cAttachedPropertyList* list, std::wstring victim)
        : IAttachedProperty(name, owner), m_list(list), m_victim(std::move(victim))
    {
    }
    void OnOwnerTransformed(const double*) override { m_list->Detach(m_victim); }

private:
    cAttachedPropertyList* m_list;
    std::wstring m_victim;
};

TEST(AttachedPropertyList, TransformReachesEveryPropertyInOrderEvenWhenOneDetaches)
{
    Log log;
    cAttachedPropertyList list;
    list.Attach(Make(L"first", &log), false);
    list.Attach(new cRCObject<Remover>(L"remover", static_cast<ISceneObject*>(nullptr), &list, L"remover"), false);
    list.Attach(Make(L"gone", &log), false);
    list.Attach(new cRCObject<Remover>(L"remover2", static_cast<ISceneObject*>(nullptr), &list, L"gone"), false);
    list.Attach(Make(L"last", &log), false);

    double transform[12] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0};
    list.NotifyOwnerTransformed(transform);
    // "remover" detached itself safely; "gone" was notified before it went.
    EXPECT_EQ(log.transformed, (std::vector<std::wstring>{L"first", L"gone", L"last"}));
    EXPECT_EQ(log.destroyed, std::vector<std::wstring>{L"gone"});
    EXPECT_EQ(list.GetCount(), 3u);
    EXPECT_DOUBLE_EQ(static_cast<TestProperty*>(list.Find(L"last"))->lastTx, 5.0);
}

TEST(AttachedPropertyList, GetOrCreateMakesOnePropertyOwnedByTheList)
{
    Log log;
    Owner owner;
    TestProperty* a = GetOrCreateAttachedProperty<TestProperty>(&owner, L"BucketSearchTreeProperty", &log);
    ASSERT_NE(a, nullptr);
    TestProperty* b = GetOrCreateAttachedProperty<TestProperty>(&owner, L"BucketSearchTreeProperty", &log);
    EXPECT_EQ(a, b);
    EXPECT_EQ(static_cast<cRCObject<TestProperty>*>(a)->GetRefCount(), 1u);
    EXPECT_EQ(owner.list.GetCount(), 1u);

    owner.list.Attach(new cRCObject<OtherProperty>(L"Other", nullptr), false);
    EXPECT_EQ(GetOrCreateAttachedProperty<TestProperty>(&owner, L"Other", &log), nullptr)
        << "a property of another class under that name is not handed out as this class";
    EXPECT_EQ(GetOrCreateAttachedProperty<TestProperty>(static_cast<Owner*>(nullptr), L"X", &log), nullptr);

    owner.list.Clear();
    EXPECT_EQ(log.destroyed, std::vector<std::wstring>{L"BucketSearchTreeProperty"});
}

} // namespace
