// The scene objects of the profiled shapes: what they answer to queries, the
// shape they own, and the records they refuse without a stream or a shape.
#include "shapes/extruded_surface.h"
#include "shapes/loft_surface.h"
#include "shapes/network_surface.h"
#include "shapes/revolved_surface.h"
#include "shapes/tests/support/memory_stream.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <typeinfo>

namespace
{

template <class TObject> void ExpectTheSharedPlumbing(const GUID& classId)
{
    SCOPED_TRACE(typeid(TObject).name());
    TObject object;
    ISceneObject* scene = &object;
    EXPECT_EQ(object.QueryInterface(classId), static_cast<void*>(scene));
    EXPECT_EQ(object.QueryInterface(IID_ISceneObject), static_cast<void*>(scene));
    EXPECT_EQ(object.QueryInterface(IID_IBase), static_cast<void*>(static_cast<IBase*>(scene)));
    // The shape's own interfaces are reached through the object, and the
    // shape answers to the object as its outer object.
    ASSERT_NE(object.GetGeometry(), nullptr);
    EXPECT_NE(object.QueryInterface(IID_ST_IProfiledSurface), nullptr);
    EXPECT_EQ(object.GetGeometry()->QueryInterface(classId), static_cast<void*>(scene));
    EXPECT_FALSE(object.SaveProperties(nullptr));
    EXPECT_FALSE(object.LoadProperties(nullptr));

    // No stream: nothing is written or read.
    EXPECT_FALSE(object.Write(nullptr));
    EXPECT_FALSE(object.Read(nullptr));
    EXPECT_FALSE(object.Read(nullptr, 0, 7));

    // Without a shape: no record, an empty box, nothing to answer for it.
    object.SetGeometry(nullptr);
    EXPECT_EQ(object.QueryInterface(IID_ST_IProfiledSurface), nullptr);
    cTestMemoryStream out;
    EXPECT_FALSE(object.Write(&out));
    EXPECT_TRUE(out.bytes.empty());
    cTestMemoryStream in(std::vector<std::uint8_t>(64, 0));
    EXPECT_FALSE(object.Read(&in, 0, 7));
    EXPECT_EQ(in.at, 0u);
    float box[6] = {0, 0, 0, 0, 0, 0};
    object.GetBoundingBox(box);
    EXPECT_GT(box[0], box[3]);
    EXPECT_FALSE(object.UpdateGeometry());
}

} // namespace

TEST(ProfiledSceneObjects, ShareTheirQueriesRecordsAndShapeOwnership)
{
    ExpectTheSharedPlumbing<Dezaz_ExtrudedObject>(CLSID_Dezaz_ExtrudedObject);
    ExpectTheSharedPlumbing<Dezaz_RevolvedObject>(CLSID_Dezaz_RevolvedObject);
    ExpectTheSharedPlumbing<Dezaz_LoftSurfaceObject>(CLSID_Dezaz_LoftSurfaceObject);
    ExpectTheSharedPlumbing<Dezaz_NetworkSurfaceObject>(CLSID_Dezaz_NetworkSurfaceObject);
}

TEST(ProfiledSceneObjects, AShapeWithoutAProfileWritesTheNilClassIdAndReadsItBack)
{
    Dezaz_RevolvedObject revolved;
    cTestMemoryStream out;
    ASSERT_TRUE(revolved.Write(&out));
    EXPECT_EQ(out.bytes, std::vector<std::uint8_t>(16, 0));
    Dezaz_NetworkSurfaceObject network;
    cTestMemoryStream in(out.bytes);
    EXPECT_TRUE(network.Read(&in, 0, 7));
    EXPECT_EQ(network.GetGeometry()->GetProfileCurve(), nullptr);
    EXPECT_EQ(in.at, 16u);
}
