// The primitives' scene objects: their query chain, display values, and the
// stream records sessions keep in the document.
#include "core/bin_stream.h"
#include "shapes/primitive_scene_objects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{

// A stream over bytes in memory; reads fail once `limit` bytes were served.
class MemoryStream : public IBinStream
{
public:
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    std::size_t limit = SIZE_MAX;
    int writeCalls = 0;

    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override
    {
        const bool ok = at + size <= bytes.size() && at + size <= limit;
        if (ok)
        {
            std::memcpy(buffer, bytes.data() + at, size);
            at += size;
        }
        if (count)
            *count = ok ? size : 0;
        return ok;
    }
    bool Write(const void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override
    {
        ++writeCalls;
        if (bytes.size() + size > limit)
            return false;
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), p, p + size);
        if (count)
            *count = size;
        return true;
    }
    bool Rewind() override { return at = 0, true; }
    std::int64_t Tell() override { return static_cast<std::int64_t>(at); }
    bool Seek(std::int64_t p) override { return at = static_cast<std::size_t>(p), true; }
    bool IsEof() override { return at >= bytes.size(); }
};

double F64At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    double v;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at)
{
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}

void FillPlane(Dezaz_PlaneObject& object)
{
    Dezaz_Plane& p = *object.GetGeometry();
    const double n[3] = {0, 0.6, 0.8}, o[3] = {1000.5, -2, 3}, x[3] = {1, 0, 0};
    p.SetOriginAndNormal(n, o, x, 2.5, 1.25);
    p.SetRms(0.0125);
    p.SetMode(7);
    p.GetSeeds() = {5, 17, 4000000000u};
}

} // namespace

TEST(PrimitiveSceneObjects, PlaneRecordBytesAndRoundTrip)
{
    Dezaz_PlaneObject object;
    FillPlane(object);
    MemoryStream stream;
    ASSERT_TRUE(object.Write(&stream));
    ASSERT_EQ(stream.bytes.size(), 104u + 12u);
    // One block, then one call per seed.
    EXPECT_EQ(stream.writeCalls, 4);
    const auto& b = stream.bytes;
    EXPECT_EQ(F64At(b, 0), 0.0125);
    EXPECT_EQ(U32At(b, 8), 7u);
    EXPECT_EQ(U32At(b, 12), 3u);
    EXPECT_EQ(F64At(b, 24), 0.6);
    EXPECT_EQ(F64At(b, 40), 1000.5);
    EXPECT_EQ(F64At(b, 64), 1.0);
    EXPECT_EQ(F64At(b, 88), 2.5);
    EXPECT_EQ(F64At(b, 96), 1.25);
    EXPECT_EQ(U32At(b, 104), 5u);
    EXPECT_EQ(U32At(b, 112), 4000000000u);

    Dezaz_PlaneObject back;
    back.GetGeometry()->GetSeeds() = {1};
    ASSERT_TRUE(back.Read(&stream));
    const cPlane& a = object.GetGeometry()->GetPlane();
    const cPlane& r = back.GetGeometry()->GetPlane();
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(r.normal[i], a.normal[i]);
        EXPECT_EQ(r.origin[i], a.origin[i]);
        EXPECT_EQ(r.xAxis[i], a.xAxis[i]);
    }
    EXPECT_EQ(r.d, a.d);
    EXPECT_EQ(back.GetGeometry()->GetSeeds(), object.GetGeometry()->GetSeeds());
    EXPECT_EQ(back.GetGeometry()->GetMode(), 7);
    EXPECT_EQ(back.GetGeometry()->GetRms(), 0.0125);
}

TEST(PrimitiveSceneObjects, SymmetryPlaneWritesThePlaneRecord)
{
    Dezaz_PlaneObject plane;
    Dezaz_SymmetryPlaneObject symmetry;
    FillPlane(plane);
    FillPlane(symmetry);
    MemoryStream a, b;
    ASSERT_TRUE(plane.Write(&a));
    ASSERT_TRUE(symmetry.Write(&b));
    EXPECT_EQ(a.bytes, b.bytes);
}

TEST(PrimitiveSceneObjects, CylinderAndSphereRecords)
{
    Dezaz_CylinderObject cylinder;
    const double base[3] = {1, 2, 3}, axis[3] = {0, 0, 1};
    cylinder.GetGeometry()->SetAxis(base, axis, 4.0, 9.0);
    MemoryStream stream;
    ASSERT_TRUE(cylinder.Write(&stream));
    ASSERT_EQ(stream.bytes.size(), 80u);
    EXPECT_EQ(F64At(stream.bytes, 64), 4.0);
    EXPECT_EQ(F64At(stream.bytes, 72), 9.0);
    // A non-unit axis in the file reads back unit; the rest unchanged.
    const double longAxis[3] = {0, 3, 4};
    std::memcpy(stream.bytes.data() + 40, longAxis, 24);
    Dezaz_CylinderObject back;
    ASSERT_TRUE(back.Read(&stream));
    const cCylinder& c = back.GetGeometry()->GetCylinder();
    EXPECT_DOUBLE_EQ(c.axis[1], 0.6);
    EXPECT_DOUBLE_EQ(c.axis[2], 0.8);
    EXPECT_EQ(c.axisPoint[2], 3.0);
    EXPECT_EQ(c.radius, 4.0);
    EXPECT_EQ(c.height, 9.0);
    // An axis made unit on reading is written and read again bit for bit,
    // so saving a reopened document gives the same bytes.
    const double slanted[3] = {31, 1, 0};
    MemoryStream slantedRecord;
    slantedRecord.bytes = stream.bytes;
    std::memcpy(slantedRecord.bytes.data() + 40, slanted, 24);
    Dezaz_CylinderObject once;
    ASSERT_TRUE(once.Read(&slantedRecord));
    MemoryStream first;
    ASSERT_TRUE(once.Write(&first));
    Dezaz_CylinderObject twice;
    ASSERT_TRUE(twice.Read(&first));
    MemoryStream second;
    ASSERT_TRUE(twice.Write(&second));
    EXPECT_EQ(second.bytes, first.bytes);
    // So is an axis whose squared length underflows.
    const double tiny[3] = {-3.4e-161, -3.4e-161, -3.4e-161};
    std::memcpy(slantedRecord.bytes.data() + 40, tiny, 24);
    slantedRecord.at = 0;
    ASSERT_TRUE(once.Read(&slantedRecord));
    EXPECT_NEAR(once.GetGeometry()->GetCylinder().axis[0], -1.0 / std::sqrt(3.0), 1e-15);
    MemoryStream third, fourth;
    ASSERT_TRUE(once.Write(&third));
    ASSERT_TRUE(twice.Read(&third));
    ASSERT_TRUE(twice.Write(&fourth));
    EXPECT_EQ(fourth.bytes, third.bytes);

    Dezaz_SphereObject sphere;
    const double centre[3] = {-1, 0.5, 7};
    sphere.GetGeometry()->SetCentreAndRadius(centre, 2.0);
    sphere.GetGeometry()->GetSeeds() = {1};
    MemoryStream s;
    ASSERT_TRUE(sphere.Write(&s));
    ASSERT_EQ(s.bytes.size(), 48u + 4u);
    EXPECT_EQ(F64At(s.bytes, 16), -1.0);
    EXPECT_EQ(F64At(s.bytes, 40), 2.0);
    Dezaz_SphereObject sphereBack;
    ASSERT_TRUE(sphereBack.Read(&s));
    EXPECT_EQ(sphereBack.GetGeometry()->GetSphere().radius, 2.0);
    EXPECT_EQ(sphereBack.GetGeometry()->GetSeeds().size(), 1u);
}

TEST(PrimitiveSceneObjects, ZeroOrNegativeSeedCountsReadNoSeeds)
{
    for (std::int32_t n : {0, -1, -2147483647})
    {
        Dezaz_SphereObject sphere;
        MemoryStream s;
        ASSERT_TRUE(sphere.Write(&s));
        std::memcpy(s.bytes.data() + 12, &n, 4);
        s.bytes.push_back(0xAB); // a following byte that must not be read
        Dezaz_SphereObject back;
        back.GetGeometry()->GetSeeds() = {9, 9};
        ASSERT_TRUE(back.Read(&s));
        EXPECT_TRUE(back.GetGeometry()->GetSeeds().empty());
        EXPECT_EQ(s.at, 48u);
    }
}

TEST(PrimitiveSceneObjects, ShortReadsLeaveTheObjectUnchanged)
{
    Dezaz_PlaneObject source;
    FillPlane(source);
    MemoryStream full;
    ASSERT_TRUE(source.Write(&full));
    for (std::size_t cut = 0; cut < full.bytes.size(); ++cut)
    {
        MemoryStream s;
        s.bytes.assign(full.bytes.begin(), full.bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        Dezaz_PlaneObject target;
        Dezaz_Plane& g = *target.GetGeometry();
        const double n[3] = {1, 0, 0}, o[3] = {5, 5, 5}, x[3] = {0, 1, 0};
        g.SetOriginAndNormal(n, o, x, 1, 1);
        g.GetSeeds() = {42};
        ASSERT_NE(g.GetBreps(), nullptr);
        EXPECT_FALSE(target.Read(&s)) << cut;
        EXPECT_EQ(g.GetPlane().origin[0], 5.0) << cut;
        EXPECT_EQ(g.GetSeeds(), std::vector<std::uint32_t>{42}) << cut;
        EXPECT_EQ(g.GetMode(), -1) << cut;
        EXPECT_EQ(g.CachedBrepCount(), 1) << cut;
    }
    // A huge seed count in a short record fails without allocating for it.
    MemoryStream huge;
    huge.bytes.assign(full.bytes.begin(), full.bytes.begin() + 104);
    const std::int32_t n = 0x7FFFFFFF;
    std::memcpy(huge.bytes.data() + 12, &n, 4);
    Dezaz_PlaneObject target;
    EXPECT_FALSE(target.Read(&huge));
}

TEST(PrimitiveSceneObjects, BadValuesFromAFileLeaveAnInvalidShapeWithoutHostGeometry)
{
    Dezaz_CylinderObject cylinder;
    MemoryStream s;
    ASSERT_TRUE(cylinder.Write(&s));
    const double nanRadius = std::nan(""), zeroAxis[3] = {0, 0, 0};
    std::memcpy(s.bytes.data() + 40, zeroAxis, 24);
    std::memcpy(s.bytes.data() + 64, &nanRadius, 8);
    Dezaz_CylinderObject back;
    ASSERT_TRUE(back.Read(&s));
    const cCylinder& c = back.GetGeometry()->GetCylinder();
    EXPECT_FALSE(std::isnan(c.axis[0]));
    EXPECT_FALSE(back.GetGeometry()->IsValid());
    EXPECT_EQ(back.GetGeometry()->GetBreps(), nullptr);

    Dezaz_SphereObject sphere;
    MemoryStream t;
    ASSERT_TRUE(sphere.Write(&t));
    const double negative = -3.0;
    std::memcpy(t.bytes.data() + 40, &negative, 8);
    Dezaz_SphereObject sphereBack;
    ASSERT_TRUE(sphereBack.Read(&t));
    EXPECT_FALSE(sphereBack.GetGeometry()->IsValid());
    EXPECT_EQ(sphereBack.GetGeometry()->GetBreps(), nullptr);
    float box[6];
    static_cast<ON_ISurface*>(sphereBack.GetGeometry())->GetBoundingBox(box);
    EXPECT_EQ(box[0], FLT_MAX);
}

TEST(PrimitiveSceneObjects, WithoutGeometryOrStreamNothingIsReadOrWritten)
{
    Dezaz_SphereObject sphere;
    EXPECT_FALSE(sphere.Write(nullptr));
    EXPECT_FALSE(sphere.Read(nullptr));
    MemoryStream failing;
    failing.limit = 10;
    EXPECT_FALSE(sphere.Write(&failing));
    Dezaz_PlaneObject plane;
    FillPlane(plane);
    MemoryStream seedsFail;
    seedsFail.limit = 108; // the block and one seed
    EXPECT_FALSE(plane.Write(&seedsFail));
    EXPECT_FALSE(plane.SaveProperties(nullptr));
    EXPECT_FALSE(plane.LoadProperties(nullptr));
}

TEST(PrimitiveSceneObjects, QueriesReachTheShapeAndTheShapeReachesTheObject)
{
    Dezaz_SymmetryPlaneObject symmetry;
    IBase& base = symmetry;
    EXPECT_EQ(base.QueryInterface(CLSID_Dezaz_SymmetryPlaneObject), static_cast<void*>(static_cast<ISceneObject*>(&symmetry)));
    EXPECT_EQ(base.QueryInterface(CLSID_Dezaz_PlaneObject), static_cast<void*>(static_cast<ISceneObject*>(&symmetry)));
    EXPECT_EQ(base.QueryInterface(IID_ISceneObject), static_cast<void*>(static_cast<ISceneObject*>(&symmetry)));
    Dezaz_Plane* shape = symmetry.GetGeometry();
    EXPECT_EQ(base.QueryInterface(IID_ON_ISurface), static_cast<void*>(static_cast<ON_ISurface*>(shape)));
    EXPECT_EQ(base.QueryInterface(IID_ST_IGeometry), static_cast<void*>(static_cast<ST_IGeometry*>(shape)));
    EXPECT_EQ(base.QueryInterface(IID_cPlane), static_cast<void*>(&shape->GetPlane()));
    // From the shape's inner value up to the scene object.
    EXPECT_EQ(shape->GetPlane().QueryInterface(IID_ISceneObject), static_cast<void*>(static_cast<ISceneObject*>(&symmetry)));
    EXPECT_EQ(base.QueryInterface(CLSID_Dezaz_SphereObject), nullptr);

    Dezaz_CylinderObject cylinder;
    EXPECT_EQ(cylinder.GetClassGuid().Data1, 0x53CBA956u);
    EXPECT_EQ(cylinder.QueryInterface(IID_IMathSurface), nullptr);
}

TEST(PrimitiveSceneObjects, DisplayValuesAndBox)
{
    Dezaz_SphereObject sphere;
    const cDecoratorObject& d = sphere.GetDecoratorConst();
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorFront][0], 0.72156864f);
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorFront][1], 0.5568628f);
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorSelection][0], 0.84313726f);
    EXPECT_FLOAT_EQ(d.m_colours[kDecoratorBoundary][2], 0.039215688f);
    EXPECT_EQ(d.m_mode, kDisplaySmooth);
    EXPECT_EQ(d.m_flags, 0u);
    EXPECT_EQ(sphere.GetFloatBox()[0], FLT_MAX);
    const double c[3] = {1, 2, 3};
    sphere.GetGeometry()->SetCentreAndRadius(c, 0.5);
    float box[6];
    sphere.GetBoundingBox(box);
    EXPECT_FLOAT_EQ(box[0], 0.5f);
    EXPECT_FLOAT_EQ(box[5], 3.5f);
    EXPECT_EQ(sphere.GetFloatBox()[5], box[5]);
    const stHitRecord hit = sphere.PickSurfacePoint(1, 1, stScreenProjection{});
    EXPECT_FALSE(hit.IsHit());
    EXPECT_EQ(hit.flags, 1u);
    EXPECT_FALSE(IsValidPoint(sphere.AveragePointInWindow(stScreenProjection{}, 5, 5)));
}

TEST(PrimitiveSceneObjects, TransformingTheObjectMovesTheShapeAndDropsItsBreps)
{
    Dezaz_CylinderObject object;
    const double b[3] = {0, 0, 0}, a[3] = {0, 0, 1};
    object.GetGeometry()->SetAxis(b, a, 1.0, 2.0);
    ASSERT_NE(object.GetGeometry()->GetBreps(), nullptr);
    const double shift[12] = {1, 0, 0, 5, 0, 1, 0, 0, 0, 0, 1, 0};
    object.ApplyTransform(shift);
    EXPECT_EQ(object.GetGeometry()->CachedBrepCount(), 0);
    float box[6];
    object.GetBoundingBox(box);
    EXPECT_FLOAT_EQ(box[0], 4.0f);
    EXPECT_FLOAT_EQ(box[3], 6.0f);
}

TEST(PrimitiveSceneObjects, ACylinderMovedByAnAlignmentFrameReadsBackAsItWasWritten)
{
    // Alignment frames are built from float directions, so their rotation
    // is orthonormal only to about 1e-8.
    Dezaz_CylinderObject object;
    const double b[3] = {2500, -1300, 700}, a[3] = {0.48, 0.6, 0.64};
    object.GetGeometry()->SetAxis(b, a, 6.0, 16.0);
    const double c = 0.6f, s = 0.8f;
    const double turn[12] = {c, 0, -s, 10, 0, 1, 0, -20, s, 0, c, 30};
    object.ApplyTransform(turn);
    MemoryStream written;
    ASSERT_TRUE(object.Write(&written));
    Dezaz_CylinderObject back;
    ASSERT_TRUE(back.Read(&written));
    MemoryStream again;
    ASSERT_TRUE(back.Write(&again));
    EXPECT_EQ(again.bytes, written.bytes);
}
