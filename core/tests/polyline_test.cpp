#include "core/polyline.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <vector>

#include "core/polyline_collection.h"
#include "core/section_curve.h"
#include "stub_section_curve.h"
#include "core/vector_math.h"

namespace
{

cVertex MakeVertex(float x, float y, float z, float nx = 0, float ny = 0, float nz = 0)
{
    cVertex v;
    v.x = x;
    v.y = y;
    v.z = z;
    v.nx = nx;
    v.ny = ny;
    v.nz = nz;
    return v;
}

// A translation by t with a rotation of 90 degrees about z (x -> y).
void MakeRotatedFrame(double m[12], double tx, double ty, double tz)
{
    const double frame[12] = {0, -1, 0, tx, 1, 0, 0, ty, 0, 0, 1, tz};
    std::copy(frame, frame + 12, m);
}

std::vector<float> Box(const float b[6])
{
    return std::vector<float>(b, b + 6);
}

TEST(Polyline, BoundingBoxIsValidOnlyWithPoints)
{
    tPolyline<cVertex> polyline;
    EXPECT_EQ(polyline.boxValid, 0);
    polyline.UpdateBoundingBox();
    EXPECT_EQ(polyline.boxValid, 0);
    EXPECT_EQ(polyline.box[0], FLT_MAX);
    EXPECT_EQ(polyline.box[3], -FLT_MAX);

    polyline.AddVertex(MakeVertex(1, 2, 3));
    EXPECT_EQ(polyline.boxValid, 0) << "adding marks the box stale without growing it";
    polyline.UpdateBoundingBox();
    EXPECT_EQ(polyline.boxValid, 1);
    EXPECT_EQ(Box(polyline.box), (std::vector<float>{1, 2, 3, 1, 2, 3}));

    // Every point counts, whatever its flags; an unset point makes the box
    // invalid instead of stretching it silently.
    cVertex unset = MakeVertex(FLT_MAX, 0, 0);
    unset.flags = kVertexFlagExcluded;
    polyline.AddVertex(unset);
    polyline.UpdateBoundingBox();
    EXPECT_EQ(polyline.boxValid, 0);
}

TEST(Polyline, LengthSumsTheSegments)
{
    tPolyline<cVertex> polyline;
    EXPECT_EQ(polyline.GetLength(), 0.0);
    polyline.AddVertex(MakeVertex(0, 0, 0));
    EXPECT_EQ(polyline.GetLength(), 0.0);
    polyline.AddVertex(MakeVertex(3, 4, 0));
    polyline.AddVertex(MakeVertex(3, 4, 12));
    EXPECT_DOUBLE_EQ(polyline.GetLength(), 17.0);

    tPolyline<t3DPoint<double>> doubles;
    const double a[3] = {0, 0, 0};
    const double b[3] = {1e8, 0, 1e-3};
    doubles.AddPoint3d(a);
    doubles.AddPoint3d(b);
    EXPECT_DOUBLE_EQ(doubles.GetLength(), std::sqrt(1e16 + 1e-6)) << "double points keep their precision";
}

TEST(Polyline, AddedPointsHaveOnlyAPosition)
{
    tPolyline<cVertex> polyline;
    const double d[3] = {1.5, -2.0, 0.25};
    const float f[3] = {7, 8, 9};
    const cVertex* fromDouble = polyline.AddPoint3d(d);
    const cVertex* fromFloat = polyline.AddFloatPoint(f);
    EXPECT_EQ(fromDouble->x, 1.5f);
    EXPECT_EQ(fromDouble->flags, 0u);
    EXPECT_EQ(fromDouble->nz, 0.0f);
    EXPECT_EQ(fromFloat->z, 9.0f);
    EXPECT_EQ(fromFloat->index, 0u);
    EXPECT_EQ(polyline.GetLastVertex(), fromFloat);
}

TEST(Polyline, InsertAndRemoveAtAnIndex)
{
    tPolyline<cVertex> polyline;
    const float p[3] = {5, 0, 0};
    polyline.InsertFloatPointAt(3, p); // empty: appends
    polyline.InsertVertexAt(0, MakeVertex(1, 0, 0));
    polyline.InsertVertexAt(1, MakeVertex(2, 0, 0));
    polyline.InsertVertexAt(99, MakeVertex(9, 0, 0));
    std::vector<float> xs;
    for (const cVertex& v : polyline.vertices)
        xs.push_back(v.x);
    EXPECT_EQ(xs, (std::vector<float>{1, 2, 5, 9}));

    polyline.UpdateBoundingBox();
    polyline.RemoveVertexAt(1);
    EXPECT_EQ(polyline.boxValid, 0);
    polyline.RemoveVertexAt(0);
    polyline.RemoveVertexAt(1);
    polyline.RemoveVertexAt(7); // past the end: nothing
    ASSERT_EQ(polyline.GetVertexCount(), 1u);
    EXPECT_EQ(polyline.GetFirstVertex()->x, 5.0f);
    polyline.RemoveVertexAt(0);
    polyline.RemoveVertexAt(0); // empty: nothing
    EXPECT_TRUE(polyline.IsEmpty());
}

TEST(Polyline, TransformMovesPointsAndTurnsNormals)
{
    tPolyline<cVertex> polyline;
    polyline.AddVertex(MakeVertex(1, 0, 0, 1, 0, 0));
    polyline.UpdateBoundingBox();

    double translation[12];
    MakeIdentity3x4(translation);
    translation[3] = 10;
    polyline.Transform(translation);
    EXPECT_EQ(polyline.boxValid, 0);
    EXPECT_EQ(polyline.GetVertex(0)->x, 11.0f);
    EXPECT_EQ(polyline.GetVertex(0)->nx, 1.0f) << "a translation leaves normals alone";

    double rotation[12];
    MakeRotatedFrame(rotation, 0, 0, 0);
    polyline.Transform(rotation);
    EXPECT_FLOAT_EQ(polyline.GetVertex(0)->y, 11.0f);
    EXPECT_NEAR(polyline.GetVertex(0)->nx, 0.0f, 1e-7);
    EXPECT_FLOAT_EQ(polyline.GetVertex(0)->ny, 1.0f);
}

TEST(Polyline, CopyAndClearCoverEveryField)
{
    tPolyline<cVertex> source;
    source.AddVertex(MakeVertex(1, 1, 1));
    source.UpdateBoundingBox();
    source.selectedIndex = 0;
    source.cachedValue = 42;
    tPolyline<cVertex> copy(source);
    EXPECT_EQ(copy.GetVertexCount(), 1u);
    EXPECT_EQ(copy.selectedIndex, 0);
    EXPECT_EQ(copy.firstFlag, 1);
    EXPECT_EQ(copy.boxValid, 1);
    EXPECT_EQ(copy.cachedValue, 42u);

    copy.Clear();
    EXPECT_TRUE(copy.IsEmpty());
    EXPECT_EQ(copy.selectedIndex, -1);
    EXPECT_EQ(copy.firstFlag, 0);
    EXPECT_EQ(copy.boxValid, 0);
    EXPECT_EQ(copy.cachedValue, 0u);
    EXPECT_EQ(copy.box[0], FLT_MAX);
    EXPECT_EQ(source.GetVertexCount(), 1u);
}

TEST(FramePolyline, CopyFromPolylineTakesPointsButNotTheFrame)
{
    tFramePolyline<cVertex> framed;
    MakeRotatedFrame(framed.frame, 1, 2, 3);
    framed.userData = 7;
    framed.AddVertex(MakeVertex(4, 5, 6));

    const tFramePolyline<cVertex> copy(static_cast<const tPolyline<cVertex>&>(framed));
    double identity[12];
    MakeIdentity3x4(identity);
    EXPECT_EQ(std::vector<double>(copy.frame, copy.frame + 12), std::vector<double>(identity, identity + 12));
    EXPECT_EQ(copy.userData, 0u);
    EXPECT_EQ(copy.GetVertex(0)->y, 5.0f);

    const tFramePolyline<cVertex> full(framed);
    EXPECT_EQ(full.frame[3], 1.0);
    EXPECT_EQ(full.userData, 7u);
}

TEST(FramePolyline, VerticesInFrameCoordinates)
{
    tFramePolyline<cVertex> polyline;
    MakeRotatedFrame(polyline.frame, 1, 2, 3);
    cVertex atOrigin = MakeVertex(1, 2, 3, 0, 1, 0);
    atOrigin.flags = 0x30;
    atOrigin.index = 17;
    polyline.AddVertex(atOrigin);
    polyline.AddVertex(MakeVertex(1, 4, 3)); // two units along the frame's x axis

    const cVertex local0 = polyline.GetVertexInFrame(0);
    EXPECT_EQ(local0.x, 0.0f);
    EXPECT_EQ(local0.y, 0.0f);
    EXPECT_EQ(local0.z, 0.0f);
    EXPECT_FLOAT_EQ(local0.nx, 1.0f) << "the world y axis is the frame's x axis";
    EXPECT_EQ(local0.flags, 0x30u);
    EXPECT_EQ(local0.index, 17u);
    const cVertex local1 = polyline.GetVertexInFrame(1);
    EXPECT_FLOAT_EQ(local1.x, 2.0f);
    EXPECT_NEAR(local1.y, 0.0f, 1e-6);
}

TEST(FramePolyline, LocalBoundingBox)
{
    tFramePolyline<cVertex> polyline;
    float box[6];
    polyline.GetLocalBoundingBox(box);
    EXPECT_EQ(Box(box), (std::vector<float>{FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX}));

    polyline.frame[3] = 1;
    polyline.frame[7] = 2;
    polyline.frame[11] = 3;
    polyline.AddVertex(MakeVertex(1, 2, 3));
    polyline.AddVertex(MakeVertex(5, 0, 4));
    polyline.GetLocalBoundingBox(box);
    EXPECT_EQ(Box(box), (std::vector<float>{0, -2, 0, 4, 0, 1}));
    EXPECT_EQ(polyline.boxValid, 0) << "the cached world box is neither used nor changed";
}

TEST(FramePolyline, SwapExchangesEverything)
{
    tFramePolyline<cVertex> a;
    tFramePolyline<cVertex> b;
    a.AddVertex(MakeVertex(1, 0, 0));
    a.frame[3] = 5;
    b.userData = 9;
    a.Swap(b);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.userData, 9u);
    EXPECT_EQ(a.frame[3], 0.0);
    EXPECT_EQ(b.GetVertexCount(), 1u);
    EXPECT_EQ(b.frame[3], 5.0);
    b.Swap(b);
    EXPECT_EQ(b.GetVertexCount(), 1u);
}

TEST(PolylineCollection, TransformMovesPointsAndFrames)
{
    tPolylineCollection<tFramePolyline<cVertex>> sections;
    tFramePolyline<cVertex> section;
    section.frame[3] = 1; // the frame's origin is at x = 1
    section.AddVertex(MakeVertex(1, 0, 0));
    sections.Add(section);
    sections.Add(section);

    double m[12];
    MakeRotatedFrame(m, 0, 0, 10);
    sections.Transform(m);
    for (std::uint32_t i = 0; i < sections.GetCount(); ++i)
    {
        const tFramePolyline<cVertex>& moved = sections[i];
        EXPECT_FLOAT_EQ(moved.GetVertex(0)->y, 1.0f);
        EXPECT_FLOAT_EQ(moved.GetVertex(0)->z, 10.0f);
        // The point still sits at the frame's origin.
        const cVertex local = moved.GetVertexInFrame(0);
        EXPECT_NEAR(local.x, 0.0f, 1e-6);
        EXPECT_NEAR(local.y, 0.0f, 1e-6);
        EXPECT_NEAR(local.z, 0.0f, 1e-6);
    }

    tPolylineCollection<tFramePolyline<cVertex>> copy(sections);
    ClearPolylineDeque(sections);
    EXPECT_EQ(sections.GetCount(), 0u);
    EXPECT_EQ(copy.GetCount(), 2u);
}

using RecordingCurve = cStubSectionCurve;

TEST(SectionCurve, StartsInItsInitialState)
{
    RecordingCurve curve;
    EXPECT_EQ(curve.cachedRms, -FLT_MAX);
    EXPECT_EQ(curve.id, 0u);
    EXPECT_EQ(curve.mergeMode, 3u);
    EXPECT_EQ(curve.sections.GetCount(), 0u);
    EXPECT_EQ(curve.frame[0], 1.0);
    EXPECT_EQ(curve.frame[3], 0.0);
    EXPECT_EQ(curve.userValue, 0u);
}

TEST(SectionCurve, AssignReplacesTheSectionsThenCopiesTheClassPart)
{
    RecordingCurve source;
    for (int i = 0; i < 3; ++i)
        source.sections.Add(tFramePolyline<cVertex>());
    source.cachedRms = 0.5f;
    source.id = 4;
    source.mergeMode = 1;
    source.frame[7] = 2.5;
    source.cachedEnd[2] = -1.0;
    source.userValue = 1;
    source.ownValue = 99;

    auto copy = source.Clone();
    auto* target = static_cast<RecordingCurve*>(copy.get());
    for (int i = 0; i < 5; ++i)
        target->sections.Add(tFramePolyline<cVertex>());
    EXPECT_EQ(&target->Assign(source), target);

    EXPECT_EQ(target->sections.GetCount(), 3u);
    EXPECT_EQ(target->sectionsSeenByCopyFrom, 3u);
    EXPECT_EQ(target->cachedRms, 0.5f);
    EXPECT_EQ(target->id, 4u);
    EXPECT_EQ(target->mergeMode, 1u);
    EXPECT_EQ(target->frame[7], 2.5);
    EXPECT_EQ(target->cachedEnd[2], -1.0);
    EXPECT_EQ(target->userValue, 1u);
    EXPECT_EQ(target->ownValue, 99);

    target->Assign(*target);
    EXPECT_EQ(target->sections.GetCount(), 3u);
}

} // namespace
