// Breps and surfaces pass through the document's geometry records.
#include "platform/geometry/geometry.h"
#include "platform/host/geometry_records.h"

#include <gtest/gtest.h>

#include <memory>

TEST(BrepRecords, BrepsAndSurfacesRoundTripThroughTheirRecordKinds)
{
    ON_Brep brep;
    ON_Surface* sphere = ON_Sphere(ON_3dPoint(1, 2, 3), 4.0).RevSurfaceForm(true);
    ASSERT_TRUE(brep.Create(sphere));
    const dezaz::GeometryRecord* kind = dezaz::FindGeometryRecordFor(brep);
    ASSERT_NE(kind, nullptr);
    EXPECT_EQ(kind->type, DezazObjectType::brep);
    ON_MemoryArchive out;
    ASSERT_TRUE(kind->write(brep, out));
    ON_MemoryArchive in(out.Buffer().data(), out.Buffer().size());
    std::wstring error;
    std::unique_ptr<ON_Geometry> back = dezaz::FindGeometryRecord(kind->id)->read(in, error);
    ASSERT_NE(back, nullptr);
    const auto* read = dynamic_cast<const ON_Brep*>(back.get());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->FaceCount(), 1);
    EXPECT_EQ(read->BoundingBox().m_max.z, 7.0);
    auto object = dezaz::MakeDocumentObject(kind->type, std::move(back), {});
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->ObjectType(), DezazObjectType::brep);

    ON_PlaneSurface plane(ON_Plane::World_xy);
    const dezaz::GeometryRecord* surfaceKind = dezaz::FindGeometryRecordFor(plane);
    ASSERT_NE(surfaceKind, nullptr);
    EXPECT_EQ(surfaceKind->type, DezazObjectType::surface);
    ON_MemoryArchive cut;
    ASSERT_TRUE(surfaceKind->write(plane, cut));
    ON_MemoryArchive shortIn(cut.Buffer().data(), cut.Buffer().size() - 1);
    EXPECT_EQ(surfaceKind->read(shortIn, error), nullptr);
    EXPECT_FALSE(error.empty());
}
