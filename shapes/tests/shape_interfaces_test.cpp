// Every id of the query table against every primitive shape and its inner
// value: the ids a shape answers, the pointer each one gives, and null for
// all the others, whether the query starts at the shape or at its value.
#include "shapes/primitive_geometry.h"
#include "support/test_shapes.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <type_traits>
#include <vector>

namespace
{

struct NamedId
{
    const char* name;
    GUID id;
};

const std::vector<NamedId>& AllIds()
{
    static const std::vector<NamedId> ids = {
        {"IBase", IID_IBase},
        {"ST_IGeometry", IID_ST_IGeometry},
        {"ST_CPlane", IID_ST_CPlane},
        {"ST_CSphere", IID_ST_CSphere},
        {"ST_CCylinder", IID_ST_CCylinder},
        {"Dezaz_Plane", IID_Dezaz_Plane},
        {"Dezaz_Sphere", IID_Dezaz_Sphere},
        {"ON_ISurface", IID_ON_ISurface},
        {"revolved", IID_RevolvedSurface},
        {"extruded", IID_ExtrudedSurface},
        {"cPlane", IID_cPlane},
        {"cSphere", IID_cSphere},
        {"cCylinder", IID_cCylinder},
        {"IMathSurface", IID_IMathSurface},
        // Not in the table at all.
        {"unknown", {0x01234567, 0x89AB, 0xCDEF, {0, 1, 2, 3, 4, 5, 6, 7}}},
        // The IBase id with its two 64-bit halves swapped.
        {"swapped", {0x4C14F96D, 0xFB0B, 0xBB17, {0xC0, 0x40, 0xDA, 0x10, 0x7D, 0x7F, 0xD8, 0x9A}}},
    };
    return ids;
}

// Checks that `object` answers exactly the expected ids, with the expected
// pointers, and null for every other id of the table.
void ExpectAnswers(IBase& object, const std::map<std::string, const void*>& expected, const char* what)
{
    for (const NamedId& entry : AllIds())
    {
        SCOPED_TRACE(std::string(what) + " asked for " + entry.name);
        const auto it = expected.find(entry.name);
        const void* want = it == expected.end() ? nullptr : it->second;
        EXPECT_EQ(object.QueryInterface(entry.id), want);
    }
}

template <class Shape, class Value>
void ExpectShapeTable(Shape& shape, Value& value, const char* ownId, const char* valueId)
{
    ST_IGeometry* primary = &shape;
    std::map<std::string, const void*> answers = {
        {"IBase", static_cast<IBase*>(&shape)},
        {"ST_IGeometry", primary},
        {ownId, primary},
        {valueId, &value},
    };
    constexpr bool isMathSurface = std::is_base_of_v<IMathSurface, Value>;
    if constexpr (isMathSurface)
        answers["IMathSurface"] = static_cast<IMathSurface*>(&value);
    ExpectAnswers(shape, answers, "shape");
    // The value delegates to its shape: the same answers from either end.
    ExpectAnswers(value, answers, "inner value");

    // A copy of the value has no shape: it knows only itself.
    Value alone(value);
    std::map<std::string, const void*> own = {{"IBase", static_cast<IBase*>(&alone)}, {valueId, &alone}};
    if constexpr (isMathSurface)
        own["IMathSurface"] = static_cast<IMathSurface*>(&alone);
    ExpectAnswers(alone, own, "copied value");
}

} // namespace

TEST(ShapeInterfaces, EveryShapeAnswersItsIdsAndNullOtherwise)
{
    TestPlane plane;
    ExpectShapeTable(plane, plane.GetPlane(), "ST_CPlane", "cPlane");
    TestSphere sphere;
    ExpectShapeTable(sphere, sphere.GetSphere(), "ST_CSphere", "cSphere");
    TestCylinder cylinder;
    ExpectShapeTable(cylinder, cylinder.GetCylinder(), "ST_CCylinder", "cCylinder");
}

TEST(ShapeInterfaces, CopiedShapesAnswerForThemselves)
{
    TestSphere original;
    TestSphere copy(original);
    ExpectShapeTable(copy, copy.GetSphere(), "ST_CSphere", "cSphere");
    TestCylinder cylinder;
    TestCylinder assigned;
    assigned = cylinder;
    ExpectShapeTable(assigned, assigned.GetCylinder(), "ST_CCylinder", "cCylinder");
}

TEST(ShapeInterfaces, ClearResetsTheSharedData)
{
    TestCylinder cylinder;
    cylinder.SetRms(1.5);
    cylinder.SetMode(2);
    cylinder.GetSeeds() = {4, 9};
    ST_IGeometry& geometry = cylinder;
    geometry.Clear();
    EXPECT_EQ(cylinder.GetRms(), 0.0);
    EXPECT_EQ(cylinder.GetMode(), -1);
    EXPECT_TRUE(cylinder.GetSeeds().empty());
}
