#include "core/p3d_scene.h"
#include "core/registry_store.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "support/fake_scene_objects.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace
{

// Records "<event>:<object name>" for every scene or container event.
template <class TSender> struct tEventLog : tObserverEx<TSender, ISceneObject*>
{
    tEventLog(std::vector<std::string>* log, std::string tag) : log(log), tag(std::move(tag)) {}
    void OnEvent(TSender*, ISceneObject* object) override
    {
        std::wstring name = object ? object->GetName() : L"-";
        log->push_back(tag + ":" + std::string(name.begin(), name.end()));
    }
    std::vector<std::string>* log;
    std::string tag;
};

struct SceneLog
{
    explicit SceneLog(I3DScene& scene)
    {
        const char* tags[5] = {"added", "removed", "attributes", "geometry", "cleared"};
        for (int i = 0; i < 5; ++i)
        {
            observers.push_back(std::make_unique<tEventLog<I3DScene>>(&log, tags[i]));
            scene.GetEvent(static_cast<I3DScene::EventIndex>(i)).Subscribe(observers.back().get());
        }
    }
    std::vector<std::string> log;
    std::vector<std::unique_ptr<tEventLog<I3DScene>>> observers;
};

TEST(Scene, RelaysContainerEventsInTheScenesOrderWhileEnabled)
{
    cBase3DScene scene(nullptr);
    SceneLog events(scene);
    auto* a = new FakeSceneObject(nullptr, L"a");
    EXPECT_TRUE(scene.AddObject(a));
    a->Select();
    a->ApplyTransform(std::vector<double>{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0}.data());
    scene.EnableEvents(false);
    a->Deselect();
    scene.EnableEvents(true);
    EXPECT_TRUE(scene.RemoveObject(a));
    scene.Clear();
    EXPECT_EQ(events.log, (std::vector<std::string>{"added:a", "attributes:a", "geometry:a", "removed:a", "cleared:-"}));
    EXPECT_FALSE(scene.AddObject(nullptr));
    EXPECT_FALSE(scene.RemoveObject(nullptr));
    EXPECT_FALSE(scene.DetachObject(nullptr));
}

TEST(Scene, DetachHandsTheObjectBackAndStopsRelayingIt)
{
    cBase3DScene scene(nullptr);
    SceneLog events(scene);
    auto a = std::make_unique<FakeSceneObject>(nullptr, L"a");
    scene.AddObject(a.get());
    EXPECT_TRUE(scene.DetachObject(a.get()));
    EXPECT_FALSE(scene.DetachObject(a.get()));
    a->Select();
    EXPECT_EQ(events.log, (std::vector<std::string>{"added:a", "removed:a"}));
    EXPECT_EQ(scene.GetObjectCount(), 0u);
}

TEST(Scene, RemovingTheLastMemberRemovesTheGroupFirst)
{
    std::vector<std::wstring> destroyed;
    cBase3DScene scene(nullptr);
    auto* group = new FakeGroupObject(&destroyed, L"g");
    auto* m1 = new FakeSceneObject(&destroyed, L"m1");
    auto* m2 = new FakeSceneObject(&destroyed, L"m2");
    group->AddMember(m1);
    group->AddMember(m2);
    scene.AddObject(group);
    scene.AddObject(m1);
    scene.AddObject(m2);
    SceneLog events(scene);

    scene.RemoveObject(m1);
    // Leaving the group resets the member's group id, which is an attribute
    // change of its own.
    EXPECT_EQ(events.log, (std::vector<std::string>{"attributes:m1", "removed:m1"}));
    scene.RemoveObject(m2);
    EXPECT_EQ(events.log, (std::vector<std::string>{"attributes:m1", "removed:m1", "attributes:m2", "removed:g",
                                                    "removed:m2"}));
    EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"m1", L"g", L"m2"}));
    EXPECT_EQ(scene.GetObjectCount(), 0u);
}

TEST(Scene, RemovingAGroupRemovesItsMembers)
{
    std::vector<std::wstring> destroyed;
    cBase3DScene scene(nullptr);
    auto* group = new FakeGroupObject(&destroyed, L"g");
    auto* m1 = new FakeSceneObject(&destroyed, L"m1");
    auto* other = new FakeSceneObject(&destroyed, L"other");
    group->AddMember(m1);
    scene.AddObject(group);
    scene.AddObject(m1);
    scene.AddObject(other);
    scene.RemoveObject(group);
    EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"m1", L"g"}));
    EXPECT_EQ(scene.GetFirstObject(), other);
}

TEST(Scene, GroupsNeverKeepARemovedObjectNorLoseOneTheyDoNotHold)
{
    std::vector<std::wstring> destroyed;
    cBase3DScene scene(nullptr);
    auto* group = new FakeGroupObject(&destroyed, L"g");
    auto* member = new FakeSceneObject(&destroyed, L"m");
    group->AddMember(member);
    // A record read back gave the member another group id: the group still
    // lists it.
    member->SetGroupGuid(kNullGuid);
    auto* claimant = new FakeSceneObject(&destroyed, L"claimant");
    scene.AddObject(group);
    scene.AddObject(member);
    scene.AddObject(claimant);

    EXPECT_TRUE(scene.RemoveObject(member));
    EXPECT_EQ(group->GetMemberCount(), 0u) << "the destroyed member is off the group's list";

    // An object that names the empty group without being a member does not
    // take the group with it.
    claimant->SetGroupGuid(group->GetObjectId());
    EXPECT_TRUE(scene.RemoveObject(claimant));
    EXPECT_EQ(scene.GetFirstObject(), group);
    EXPECT_TRUE(scene.RemoveObject(group));
    EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"m", L"claimant", L"g"}));
}

TEST(Scene, AnObjectNamingItselfAsGroupIsRemovedOnce)
{
    std::vector<std::wstring> destroyed;
    cBase3DScene scene(nullptr);
    auto* odd = new FakeGroupObject(&destroyed, L"odd");
    odd->SetGroupGuid(odd->GetObjectId());
    scene.AddObject(odd);
    EXPECT_TRUE(scene.RemoveObject(odd));
    EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"odd"}));
}

TEST(Container, ClearAndDetachAllEvents)
{
    std::vector<std::string> log;
    cSceneObjectContainer container;
    tEventLog<cSceneObjectContainer> cleared(&log, "cleared");
    container.GetEvent(cSceneObjectContainer::kCleared).Subscribe(&cleared);
    container.DetachAll();
    EXPECT_TRUE(log.empty());
    container.Clear();
    EXPECT_EQ(log, std::vector<std::string>{"cleared:-"});
}

TEST(Container, ClearWithGroupsDestroysEverythingOnce)
{
    std::vector<std::wstring> destroyed;
    {
        cSceneObjectContainer container;
        auto* group = new FakeGroupObject(&destroyed, L"g");
        auto* m1 = new FakeSceneObject(&destroyed, L"m1");
        group->AddMember(m1);
        container.Add(group);
        container.Add(m1);
        container.Add(new FakeSceneObject(&destroyed, L"x"));
        container.Clear(); // the group goes first; its member must not ask it for anything afterwards
        EXPECT_EQ(container.GetCount(), 0u);
        container.Add(new FakeSceneObject(&destroyed, L"last"));
    }
    EXPECT_EQ(destroyed, (std::vector<std::wstring>{L"g", L"m1", L"x", L"last"}));
}

TEST(Container, MoveAllToKeepsGroupsTogetherAndLosesNothing)
{
    std::vector<std::wstring> destroyed;
    cSceneObjectContainer source;
    cSceneObjectContainer target;
    auto* loose = new FakeSceneObject(&destroyed, L"loose");
    auto* orphan = new FakeSceneObject(&destroyed, L"orphan");
    GUID missingGroup;
    CreateNewGuid(&missingGroup);
    orphan->SetGroupGuid(missingGroup); // its group is not in this container
    auto* group = new FakeGroupObject(&destroyed, L"g");
    auto* member = new FakeSceneObject(&destroyed, L"m");
    group->AddMember(member);
    source.Add(loose);
    source.Add(member);
    source.Add(orphan);
    source.Add(group);

    EXPECT_EQ(source.MoveAllTo(source), 0u);
    EXPECT_EQ(source.GetCount(), 4u);
    EXPECT_EQ(source.MoveAllTo(target), 4u);
    EXPECT_EQ(source.GetCount(), 0u);
    std::vector<std::wstring> order;
    for (ISceneObject* object : target.GetObjects())
        order.push_back(object->GetName());
    EXPECT_EQ(order, (std::vector<std::wstring>{L"g", L"m", L"loose", L"orphan"}));
}

TEST(Scene, IteratorFindsObjectsByClassAndMovingInKeepsThem)
{
    const GUID kind = {7, 7, 7, {7, 7, 7, 7, 7, 7, 7, 7}};
    cBase3DScene scene(nullptr);
    auto* a = new FakeSceneObject(nullptr, L"a");
    auto* b = new FakeSceneObject(nullptr, L"b");
    auto* c = new FakeSceneObject(nullptr, L"c");
    b->m_class = kind;
    c->m_class = kind;
    scene.AddObject(a);
    scene.AddObject(b);
    scene.AddObject(c);
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    it->FindFirstOfClass(kind);
    EXPECT_EQ(it->Current().Get(), b);
    it->FindNextOfClass(kind);
    EXPECT_EQ(it->Current().Get(), c);
    it->FindNextOfClass(kind);
    EXPECT_TRUE(it->IsDone());
    EXPECT_EQ(it->Current().Get(), nullptr);

    cSceneObjectContainer other;
    other.Add(new FakeSceneObject(nullptr, L"d"));
    SceneLog events(scene);
    EXPECT_EQ(scene.MoveObjectsFrom(other), 1u);
    EXPECT_EQ(scene.GetObjectCount(), 4u);
    EXPECT_EQ(other.GetCount(), 0u);
    EXPECT_EQ(events.log, std::vector<std::string>{"added:d"});
    EXPECT_EQ(scene.MoveObjectsFrom(scene.GetContainer()), 0u);
}

TEST(Scene, BoxIsTheUnionOfVisibleValidBoxes)
{
    cBase3DScene scene(nullptr);
    float box[6];
    scene.GetBoundingBox(box);
    EXPECT_EQ(box[0], FLT_MAX);
    EXPECT_EQ(box[3], -FLT_MAX);

    auto* a = new FakeSceneObject(nullptr, L"a");
    a->SetBox(0, 0, 0, 1, 1, 1);
    auto* hidden = new FakeSceneObject(nullptr, L"hidden");
    hidden->SetBox(-5, -5, -5, 5, 5, 5);
    hidden->ClearStateFlag1();
    auto* empty = new FakeSceneObject(nullptr, L"empty");
    auto* b = new FakeSceneObject(nullptr, L"b");
    b->SetBox(2, -1, 0, 3, 0, 4);
    for (ISceneObject* object : {static_cast<ISceneObject*>(a), static_cast<ISceneObject*>(hidden),
                                 static_cast<ISceneObject*>(empty), static_cast<ISceneObject*>(b)})
        scene.AddObject(object);
    scene.GetBoundingBox(box);
    EXPECT_EQ(std::vector<float>(box, box + 6), (std::vector<float>{0, -1, 0, 3, 1, 4}));
    scene.GetObjectBoundingBox(b, box);
    EXPECT_EQ(box[5], 4.0f);

    scene.ShowOnly(hidden);
    EXPECT_TRUE(hidden->HasStateFlag1());
    EXPECT_FALSE(a->HasStateFlag1());
    scene.GetBoundingBox(box);
    EXPECT_EQ(box[0], -5.0f);
}

TEST(Scene, PickKeepsTheGreatestThirdCoordinateAndTheFirstOnTies)
{
    cBase3DScene scene(nullptr);
    auto* a = new FakeSceneObject(nullptr, L"a");
    auto* b = new FakeSceneObject(nullptr, L"b");
    auto* c = new FakeSceneObject(nullptr, L"c");
    a->m_pick.point = {0, 0, 1};
    a->m_pick.flags = 0;
    b->m_pick.point = {5, 5, 1};
    b->m_pick.flags = 0;
    scene.AddObject(c); // no hit
    scene.AddObject(a);
    scene.AddObject(b);
    stScreenProjection view;
    ISceneObject* picked = nullptr;
    stHitRecord hit;
    ASSERT_TRUE(scene.PickObject(0, 0, view, &picked, &hit));
    EXPECT_EQ(picked, a);
    b->m_pick.point.z = 2;
    ASSERT_TRUE(scene.PickObject(0, 0, view, &picked, &hit));
    EXPECT_EQ(picked, b);
    EXPECT_EQ(hit.point.x, 5.0f);
    b->ClearStateFlag1();
    a->ClearStateFlag1();
    picked = nullptr;
    EXPECT_FALSE(scene.PickObject(0, 0, view, &picked, &hit));
    EXPECT_EQ(picked, nullptr);
}

TEST(Scene, AveragePointAveragesTheValidObjectAverages)
{
    cBase3DScene scene(nullptr);
    auto* a = new FakeSceneObject(nullptr, L"a");
    auto* b = new FakeSceneObject(nullptr, L"b");
    auto* c = new FakeSceneObject(nullptr, L"c");
    a->m_average = {0, 0, 0};
    b->m_average = {2, 4, 6};
    scene.AddObject(a);
    scene.AddObject(b);
    scene.AddObject(c);
    t3DPoint<float> p;
    ASSERT_TRUE(scene.AveragePointInWindow(stScreenProjection{}, 5, 5, &p));
    EXPECT_EQ(p, (t3DPoint<float>{1, 2, 3}));
    a->ClearStateFlag1();
    b->ClearStateFlag1();
    EXPECT_FALSE(scene.AveragePointInWindow(stScreenProjection{}, 5, 5, &p));
}

TEST(P3DScene, RefusesObjectsWithoutGeometryAndSetsDisplayOnTheMainObjectOnly)
{
    cP3DScene scene(nullptr);
    auto bare = std::make_unique<FakeSceneObject>(nullptr, L"bare", false);
    EXPECT_FALSE(scene.AddObject(bare.get()));
    EXPECT_EQ(scene.GetObjectCount(), 0u);
    EXPECT_FALSE(scene.IsWireframeShown());

    auto* main = new FakeSceneObject(nullptr, L"main");
    auto* second = new FakeSceneObject(nullptr, L"second");
    scene.AddObject(main);
    scene.AddObject(second);
    scene.ShowWireframe(true);
    scene.ShowBoundaries(true);
    EXPECT_TRUE(scene.IsWireframeShown());
    EXPECT_TRUE(scene.IsBoundariesShown());
    EXPECT_EQ(second->GetDecorator().m_mode, 0u);
    scene.SetDisplayMode(kDisplayFlat);
    EXPECT_EQ(main->GetDecorator().m_mode, kDisplayFlat);
    scene.SetTwoSided(true); // every object and the scene
    EXPECT_TRUE(scene.IsTwoSided());
    EXPECT_NE(second->GetDecorator().m_flags & kDecoratorTwoSided, 0u);

    cBase3DScene base(nullptr);
    base.ShowWireframe(true);
    EXPECT_FALSE(base.IsWireframeShown()); // needs a solid mode bit too
    base.SetDisplayMode(kDisplayWireframe | kDisplayFlat);
    EXPECT_TRUE(base.IsWireframeShown());
}

TEST(ColourTable, ConversionIsExactForEveryChannelValue)
{
    for (int v = 0; v < 256; ++v)
    {
        float rgba[4] = {v / 255.0f, v / 255.0f, v / 255.0f, 0.5f};
        std::uint32_t value = ColourToRegistryValue(rgba);
        ASSERT_EQ(value, static_cast<std::uint32_t>(v | (v << 8) | (v << 16))) << v;
        float back[4] = {0, 0, 0, 0.25f};
        RegistryValueToColour(value, back);
        EXPECT_EQ(back[0], rgba[0]);
        EXPECT_EQ(back[2], rgba[2]);
        EXPECT_EQ(back[3], 0.25f);
    }
}

TEST(ColourTable, ColoursNoIntegerHoldsGiveEmptyChannels)
{
    // Such colours come from damaged scene-object records.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const float rgba[4] = {nan, inf, 1e30f, 1.0f};
    EXPECT_EQ(ColourToRegistryValue(rgba), 0u);
    const float mixed[4] = {1.0f, -inf, 0.0f, 1.0f};
    EXPECT_EQ(ColourToRegistryValue(mixed), 0xFFu);
}

TEST(ColourTable, EntriesFollowTheMainObjectAndRoundTrip)
{
    cP3DScene empty(nullptr);
    empty.InitDisplayProperties();
    ASSERT_EQ(empty.GetColourSettings().Entries().size(), 2u);
    EXPECT_EQ(empty.GetColourSettings().Entries()[0].currentValue, 0x9F9F9Fu);
    EXPECT_EQ(empty.GetColourSettings().Entries()[1].key, L"BackgroundBottom");

    cP3DScene scene(nullptr);
    auto* main = new FakeSceneObject(nullptr, L"main");
    main->GetDecorator().SetColour(kDecoratorBoundary, 1.0f, 0.0f, 0.0f, 1.0f);
    scene.AddObject(main);
    scene.InitDisplayProperties();
    ASSERT_EQ(scene.GetColourSettings().Entries().size(), 6u);
    EXPECT_EQ(scene.GetColourSettings().Find(kColourMeshBoundaries)->currentValue, 0x0000FFu);
    EXPECT_EQ(scene.GetColourSettings().Find(kColourSelection)->currentValue, 0u);

    scene.GetColourSettings().Find(kColourSelection)->currentValue = 0x00009D;
    scene.GetColourSettings().Find(kColourBackgroundTop)->currentValue = 0xFF0000;
    scene.ApplyDisplayProperties();
    EXPECT_EQ(main->GetDecorator().m_colours[kDecoratorSelection][0], 157 / 255.0f);
    EXPECT_EQ(scene.GetDecorator().m_colours[kDecoratorFront][2], 1.0f);
    EXPECT_EQ(scene.GetDecorator().m_colours[kDecoratorFront][0], 0.0f);
}

TEST(ColourTable, LoadTakesTextValuesAndFallsBackToDefaults)
{
    TempRegistry temp;
    cRegistryStore store;
    store.Init(L"Pellmark", L"VTL_4 For Dezaz");
    store.WriteInt(cDisplayColourSettings::kSection, L"BackgroundTop", 0x123456);
    DWORD binary = 7;
    store.WriteValue(cDisplayColourSettings::kSection, L"BackgroundBottom", REG_DWORD, &binary, 4);

    cP3DScene scene(&store);
    scene.GetDecorator().SetColour(kDecoratorBack, 1, 1, 1, 1);
    scene.InitDisplayProperties();
    scene.GetColourSettings().Load();
    EXPECT_EQ(scene.GetColourSettings().Find(kColourBackgroundTop)->currentValue, 0x123456u);
    EXPECT_EQ(scene.GetColourSettings().Find(kColourBackgroundBottom)->currentValue, 0x9F9F9Fu);
}

bool FakeSectionBox(IBase*, float box[6])
{
    const float section[6] = {0, 0, 0, 10, 20, 0};
    std::copy(section, section + 6, box);
    return true;
}

TEST(P3DScene, SectionViewBoxIsTheCurveBoxEnlarged)
{
    cP3DScene scene(nullptr);
    auto* a = new FakeSceneObject(nullptr, L"a");
    a->SetBox(0, 0, 0, 1, 1, 1);
    scene.AddObject(a);
    scene.m_boxMode = kBoxModeSectionView;
    float box[6];
    scene.GetBoundingBox(box);
    EXPECT_EQ(box[0], FLT_MAX); // no reference object
    SetSectionCurveBoxResolver(&FakeSectionBox);
    FakeSceneObject reference;
    scene.m_referenceObject = &reference;
    scene.GetObjectBoundingBox(a, box);
    EXPECT_EQ(std::vector<float>(box, box + 6), (std::vector<float>{-1, -2, 0, 11, 22, 0}));
    scene.m_boxMode = kBoxModeNormal;
    scene.GetBoundingBox(box);
    EXPECT_EQ(box[3], 1.0f);
    SetSectionCurveBoxResolver(nullptr);
}

} // namespace
