// Which shapes can be made coincident, parallel or perpendicular to which:
// every pair of kinds, asked from both sides.
#include "shapes/extruded_surface.h"
#include "shapes/host_primitives.h"
#include "shapes/loft_surface.h"
#include "shapes/network_surface.h"
#include "shapes/revolved_surface.h"

#include <gtest/gtest.h>

#include <array>

namespace
{

enum eKind
{
    kPlane,
    kSphere,
    kCylinder,
    kExtruded,
    kRevolved,
    kLoft,
    kNetwork,
    kKinds
};

const char* const kKindNames[kKinds] = {"plane", "sphere", "cylinder", "extruded", "revolved", "loft", "network"};

using tRelation = std::array<std::array<bool, kKinds>, kKinds>;

// Row: the shape asked; column: the other shape. The axial shapes
// (cylinder, extrusion, revolution) answer alike.
constexpr bool T = true;
constexpr bool F = false;
constexpr tRelation kCoincident = {{
    {T, F, F, F, F, F, F},
    {F, T, F, F, F, F, F},
    {F, F, T, F, T, F, F},
    {F, F, T, F, T, F, F},
    {F, F, T, F, T, F, F},
    {F, F, F, F, F, F, F},
    {F, F, F, F, F, F, F},
}};
constexpr tRelation kParallel = {{
    {T, F, F, F, F, F, F},
    {F, F, F, F, F, F, F},
    {F, F, T, T, T, F, F},
    {F, F, T, T, T, F, F},
    {F, F, T, T, T, F, F},
    {F, F, F, F, F, F, F},
    {F, F, F, F, F, F, F},
}};
constexpr tRelation kPerpendicular = {{
    {F, F, T, T, T, F, F},
    {F, F, F, F, F, F, F},
    {T, F, F, F, F, F, F},
    {T, F, F, F, F, F, F},
    {T, F, F, F, F, F, F},
    {F, F, F, F, F, F, F},
    {F, F, F, F, F, F, F},
}};

} // namespace

TEST(ShapeRelations, EveryPairOfKindsAnswersItsRowOfTheTable)
{
    Dezaz_Plane plane;
    Dezaz_Sphere sphere;
    Dezaz_Cylinder cylinder;
    Dezaz_Extruded extruded;
    Dezaz_Revolved revolved;
    Dezaz_LoftSurface loft;
    Dezaz_NetworkSurface network;
    ST_IGeometry* all[kKinds] = {&plane, &sphere, &cylinder, &extruded, &revolved, &loft, &network};
    for (int i = 0; i < kKinds; ++i)
    {
        for (int j = 0; j < kKinds; ++j)
        {
            SCOPED_TRACE(std::string(kKindNames[i]) + " asked about " + kKindNames[j]);
            EXPECT_EQ(all[i]->CanBeCoincidentWith(all[j]), kCoincident[i][j]);
            EXPECT_EQ(all[i]->CanBeParallelTo(all[j]), kParallel[i][j]);
            EXPECT_EQ(all[i]->CanBePerpendicularTo(all[j]), kPerpendicular[i][j]);
        }
        EXPECT_FALSE(all[i]->CanBeCoincidentWith(nullptr)) << kKindNames[i];
        EXPECT_FALSE(all[i]->CanBeParallelTo(nullptr)) << kKindNames[i];
        EXPECT_FALSE(all[i]->CanBePerpendicularTo(nullptr)) << kKindNames[i];
    }
}

TEST(ShapeRelations, ParallelAndPerpendicularHoldBothWays)
{
    // Coincidence is the one relation the extrusion asks one-sidedly: it can
    // lie on a cylinder or revolution, which never lie on a general
    // extrusion.
    for (int i = 0; i < kKinds; ++i)
        for (int j = 0; j < kKinds; ++j)
        {
            EXPECT_EQ(kParallel[i][j], kParallel[j][i]) << kKindNames[i] << " " << kKindNames[j];
            EXPECT_EQ(kPerpendicular[i][j], kPerpendicular[j][i]) << kKindNames[i] << " " << kKindNames[j];
        }
}
