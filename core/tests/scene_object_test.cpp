#include "core/bounding_box.h"
#include "core/scene_object.h"
#include "support/memory_stream.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

struct FakeGeometry
{
    int transforms = 0;
    void Transform(const double*) { ++transforms; }
};

constexpr GUID kFakeClass = {0x11111111, 0x2222, 0x3333, {1, 2, 3, 4, 5, 6, 7, 8}};

class FakeObject : public tSceneObject<FakeGeometry>
{
public:
    explicit FakeObject(bool withGeometry = true)
    {
        if (withGeometry)
            m_geometry = new FakeGeometry;
    }
    bool SaveProperties(IKeyValueStore*) override { return false; }
    bool LoadProperties(IKeyValueStore*, IProcProgress*) override { return false; }
    bool UpdateGeometry() override { return true; }
    GUID GetClassGuid() const override { return kFakeClass; }
    void GetBoundingBox(float box[6]) override { MakeEmptyBox3f(box); }
};

struct TransformProbe : IAttachedProperty
{
    TransformProbe(std::wstring_view name, ISceneObject* owner, int* calls) : IAttachedProperty(name, owner), calls(calls)
    {
    }
    void OnOwnerTransformed(const double*) override { ++*calls; }
    int* calls;
};

TEST(SceneObject, NewObjectIsVisibleUnselectedWithAFreshIdAndNoGroup)
{
    FakeObject a;
    FakeObject b;
    EXPECT_EQ(a.GetState(), kStateVisible);
    EXPECT_EQ(a.GetTag(), 0xFFFFFFFFu);
    EXPECT_TRUE(IsNullGuid(a.GetGroupGuid()));
    EXPECT_FALSE(IsNullGuid(a.GetObjectId()));
    EXPECT_FALSE(a.GetObjectId() == b.GetObjectId());
    EXPECT_STREQ(a.GetName(), L"");
    EXPECT_TRUE(a.HasStateFlags(0));
    EXPECT_EQ(a.GetDecorator().m_colours[kDecoratorWireframe][3], 1.0f);
    EXPECT_EQ(a.GetDecorator().m_colours[kDecoratorSelection][0], 0.0f);
    EXPECT_LT(a.GetDecorator().m_pointSize, 0.0f);
}

TEST(SceneObject, StateSettersFireExceptForBit8)
{
    FakeObject object;
    tEventCounter<ISceneObject> changed;
    object.GetAttributeChangedEvent().Subscribe(&changed);

    object.SetStateFlag8();
    object.ToggleStateFlag8();
    object.SetStateFlag8To(true);
    EXPECT_TRUE(object.HasStateFlag8());
    EXPECT_EQ(changed.count, 0);

    object.SetStateFlag1(); // already set: fires all the same
    EXPECT_EQ(changed.count, 1);
    object.ToggleSelected();
    object.ToggleSelected();
    EXPECT_EQ(changed.count, 3);
    EXPECT_FALSE(object.IsSelected());
    object.SetStateFlag4To(true);
    EXPECT_TRUE(object.HasStateFlags(kStateFlag4 | kStateVisible | kStateFlag8));
    object.SetSelected(true);
    EXPECT_TRUE(object.IsSelected());
    object.SetName(L"x");
    object.SetGroupGuid(kFakeClass);
    EXPECT_EQ(changed.count, 7);
    object.ClearState();
    EXPECT_EQ(object.GetState(), 0u);
    EXPECT_EQ(changed.count, 7);
}

TEST(SceneObject, LongNamesAreCutTo127Characters)
{
    FakeObject object;
    std::wstring name(300, L'n');
    object.SetName(name.c_str());
    EXPECT_EQ(std::wstring(object.GetName()), std::wstring(127, L'n'));
}

TEST(SceneObject, RecordLayoutMatchesHandBuiltBytes)
{
    FakeObject object;
    object.SetName(L"Mesh \u00E9");
    object.SetGroupGuid(kFakeClass);
    cDecoratorObject& d = object.GetDecorator();
    for (int slot = 0; slot < 5; ++slot)
        d.SetColour(slot, slot + 0.25f, slot + 0.5f, slot + 0.75f, static_cast<float>(slot));
    object.Select();

    std::unique_ptr<cBINFile> stream(NewStreamOver({}));
    ASSERT_TRUE(object.Write(stream.get()));
    std::vector<std::uint8_t> bytes = StreamBytes(*stream);
    ASSERT_EQ(bytes.size(), 504u);

    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 6), "Mesh \xE9");
    for (int i = 6; i < 128; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    GUID id = object.GetObjectId();
    EXPECT_EQ(bytes[128], id.Data1 & 0xFF);
    EXPECT_EQ(bytes[131], id.Data1 >> 24);
    EXPECT_EQ(bytes[133], id.Data2 >> 8);
    EXPECT_EQ(bytes[136], id.Data4[0]);
    EXPECT_EQ(bytes[144], kStateVisible | kStateSelected);
    EXPECT_EQ(bytes[148], 0xFF);
    EXPECT_EQ(bytes[151], 0xFF);
    EXPECT_EQ(bytes[152], 0x11);
    EXPECT_EQ(bytes[160], 1);
    auto colourAt = [&](int offset) {
        float f;
        std::memcpy(&f, bytes.data() + offset, 4);
        return f;
    };
    EXPECT_EQ(colourAt(168), 0.25f);      // colour 0
    EXPECT_EQ(colourAt(184), 1.25f);      // colour 1
    EXPECT_EQ(colourAt(200), 3.25f);      // colour 3 before colour 2
    EXPECT_EQ(colourAt(216), 2.25f);      // colour 2
    EXPECT_EQ(colourAt(232 + 12), 4.0f);  // colour 4's alpha
    for (int i = 248; i < 504; ++i)
        ASSERT_EQ(bytes[i], 0) << i;

    // Read back into another object: everything returns, colours in their
    // own slots, and the decorator learns that its colours were restored.
    FakeObject copy;
    tEventCounter<ISceneObject> changed;
    copy.GetAttributeChangedEvent().Subscribe(&changed);
    std::unique_ptr<cBINFile> in(NewStreamOver(bytes));
    ASSERT_TRUE(copy.Read(in.get()));
    EXPECT_STREQ(copy.GetName(), L"Mesh \u00E9");
    EXPECT_TRUE(copy.GetObjectId() == object.GetObjectId());
    EXPECT_TRUE(copy.GetGroupGuid() == kFakeClass);
    EXPECT_EQ(copy.GetState(), object.GetState());
    EXPECT_EQ(copy.GetTag(), 0xFFFFFFFFu);
    EXPECT_EQ(std::memcmp(copy.GetDecorator().m_colours, d.m_colours, sizeof d.m_colours), 0);
    EXPECT_EQ(copy.GetDecorator().m_refresh & kDecoratorColoursRestored, kDecoratorColoursRestored);
    EXPECT_EQ(changed.count, 1);
}

TEST(SceneObject, ShortOrUnterminatedRecords)
{
    FakeObject object;
    object.SetName(L"keep");
    GUID id = object.GetObjectId();
    std::vector<std::uint8_t> bytes(503, 'A');
    std::unique_ptr<cBINFile> shortStream(NewStreamOver(bytes));
    EXPECT_FALSE(object.Read(shortStream.get()));
    EXPECT_STREQ(object.GetName(), L"keep");
    EXPECT_TRUE(object.GetObjectId() == id);
    EXPECT_FALSE(object.Read(nullptr));

    // A name field with no zero byte at all is read as its first 127 bytes.
    bytes.assign(504, 'A');
    std::unique_ptr<cBINFile> full(NewStreamOver(bytes));
    ASSERT_TRUE(object.Read(full.get()));
    EXPECT_EQ(std::wstring(object.GetName()), std::wstring(127, L'A'));
}

TEST(SceneObject, AttachingByNameReplacingAndSelfReplacement)
{
    FakeObject object;
    int calls = 0;
    auto* first = new cRCObject<TransformProbe>(L"P", &object, &calls);
    auto* second = new cRCObject<TransformProbe>(L"P", &object, &calls);
    tSafePtr<cRCObject<TransformProbe>> hold(second);
    EXPECT_EQ(object.AttachProperty(first, false), first);
    EXPECT_EQ(object.AttachProperty(second, false), nullptr);
    EXPECT_EQ(object.FindAttachedProperty(L"P"), first);
    EXPECT_EQ(object.AttachProperty(second, true), second); // first is released and gone
    EXPECT_EQ(object.FindAttachedProperty(L"P"), second);
    EXPECT_EQ(object.AttachProperty(second, true), second); // itself: kept alive
    EXPECT_EQ(second->GetRefCount(), 2u);
    EXPECT_TRUE(object.HasAttachedProperty(L"P"));
    object.DetachProperty(L"P");
    EXPECT_FALSE(object.HasAttachedProperty(L"P"));
    EXPECT_EQ(second->GetRefCount(), 1u);
}

TEST(SceneObject, TransformReachesGeometryAndEveryProperty)
{
    const double shift[12] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0};
    for (bool withGeometry : {true, false})
    {
        FakeObject object(withGeometry);
        int calls = 0;
        object.AttachProperty(new cRCObject<TransformProbe>(L"A", &object, &calls), false);
        object.AttachProperty(new cRCObject<TransformProbe>(L"B", &object, &calls), false);
        tEventCounter<ISceneObject> geometryChanged;
        object.GetGeometryChangedEvent().Subscribe(&geometryChanged);
        object.ApplyTransform(shift);
        EXPECT_EQ(calls, 2);
        EXPECT_EQ(geometryChanged.count, withGeometry ? 1 : 0);
        if (withGeometry)
        {
            EXPECT_EQ(object.GetGeometry()->transforms, 1);
        }
    }
}

TEST(SceneObject, DefaultPicksFindNothing)
{
    FakeObject object;
    stScreenProjection view;
    EXPECT_FALSE(IsValidPoint(object.AveragePointInWindow(view, 10, 10)));
    stHitRecord hit = object.PickSurfacePoint(0, 0, view);
    EXPECT_FALSE(hit.IsHit());
    EXPECT_EQ(hit.flags, kHitNothing);
    EXPECT_FALSE(object.PickNearestVertex(0, 0, view, true, 5, &hit));
    EXPECT_EQ(object.QueryInterface(IID_ISceneObject), nullptr);
}

} // namespace
