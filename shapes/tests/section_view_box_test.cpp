#include "shapes/section_view_box.h"

#include "core/frame_math.h"
#include "core/p3d_scene.h"
#include "core/profiled_surface.h"
#include "core/tests/stub_section_curve.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{

class FakeProfiledSurface : public ST_IProfiledSurface
{
public:
    std::unique_ptr<cStubSectionCurve> profile;

    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, IID_ST_IProfiledSurface))
            return static_cast<ST_IProfiledSurface*>(this);
        return IsEqualInterfaceId(iid, IID_IBase) ? static_cast<IBase*>(this) : nullptr;
    }
    bool BuildHostSurface() override { return false; }
    bool SetProfileFromSections(const GUID&, const double[12], std::uint32_t,
                                const tPolylineCollection<tFramePolyline<cVertex>>&, float, std::uint8_t,
                                std::uint32_t, std::uint8_t, float) override
    {
        return false;
    }
    bool SetProfile(const ST_ISectionCurve*, std::uint8_t) override { return false; }
    void CloseProfile(std::uint8_t) override {}
    void OpenProfile(std::uint8_t) override {}
    ST_ISectionCurve* GetProfileCurve() override { return profile.get(); }
    void GetProfileFrame(double frame[12]) const override { MakeIdentity3x4(frame); }
    t3DPoint<double> GetAxis() const override { return {}; }
    t3DPoint<double> GetProfileOrigin() const override { return {}; }
    void SetDirection(const void*) override {}
    void* GetDirectionPtr() override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> CreateCurveByClassGuid(const GUID&) const override { return nullptr; }
    void Transform(const double[12]) override {}
};

class NotASurface : public IBase
{
public:
    void* QueryInterface(const GUID&) override { return nullptr; }
};

// A polyline cut in the plane z = height (frame translated up), with its
// points in world coordinates.
tFramePolyline<cVertex> Section(double height, std::initializer_list<t3DPoint<double>> local)
{
    tFramePolyline<cVertex> section;
    section.frame[11] = height;
    for (const auto& p : local)
    {
        const double w[3] = {p.x, p.y, p.z + height};
        section.AddPoint3d(w);
    }
    return section;
}

std::vector<float> Box(cP3DScene& scene)
{
    float box[6];
    scene.GetBoundingBox(box);
    return std::vector<float>(box, box + 6);
}

} // namespace

TEST(SectionViewBox, IsTheProfileSectionsLocalBoxEnlarged)
{
    cP3DScene scene(nullptr);
    scene.m_boxMode = kBoxModeSectionView;
    FakeProfiledSurface surface;
    SetSceneReferenceObject(scene, &surface);
    EXPECT_EQ(scene.m_referenceObject, &surface);
    EXPECT_EQ(Box(scene)[0], FLT_MAX); // no profile curve

    surface.profile = std::make_unique<cStubSectionCurve>();
    EXPECT_EQ(Box(scene)[0], FLT_MAX); // a curve without section points

    // Two sections cut in planes 100 and 200 up: each is boxed in its own
    // plane, so both lie at local z = 0.
    surface.profile->sections.Add(Section(100, {{0, 0, 0}, {10, 5, 0}}));
    surface.profile->sections.Add(Section(200, {{-10, 0, 0}, {0, 15, 0}}));
    const std::vector<float> box = Box(scene);
    EXPECT_EQ(box, (std::vector<float>{-12, -1.5f, 0, 12, 16.5f, 0}));
    float object_box[6];
    scene.GetObjectBoundingBox(nullptr, object_box);
    EXPECT_EQ(std::vector<float>(object_box, object_box + 6), box);

    // Objects without the interface and no object give the empty box.
    NotASurface other;
    SetSceneReferenceObject(scene, &other);
    EXPECT_EQ(Box(scene)[3], -FLT_MAX);
    SetSceneReferenceObject(scene, nullptr);
    EXPECT_EQ(Box(scene)[0], FLT_MAX);
    float untouched[6] = {1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(GetProfileSectionsBox(&other, untouched));
    EXPECT_EQ(untouched[0], 1.0f);
    SetSectionCurveBoxResolver(nullptr);
}
