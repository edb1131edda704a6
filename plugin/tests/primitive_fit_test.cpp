#include "plugin/primitive_fit.h"

#include "platform/host/dezaz_app.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

stFitPoint At(double x, double y, double z)
{
    stFitPoint p;
    p.position[0] = static_cast<float>(x);
    p.position[1] = static_cast<float>(y);
    p.position[2] = static_cast<float>(z);
    p.normal[2] = 1.0f;
    return p;
}

TEST(PrimitiveFit, TellsTheUserWhenThereIsNothingToFitOrTheFitFails)
{
    stPrimitiveFit result;
    DezazApp().ClearCommandLineText();
    EXPECT_FALSE(FitPrimitiveToPoints(ePrimitiveKind::Plane, cFitContainer(tFitPointQueue{}), result));
    EXPECT_EQ(DezazApp().CommandLineText(), L"No points to extract\n");

    tFitPointQueue line;
    for (int i = 0; i < 12; ++i)
        line.push_back(At(i, 0, 0));
    const cFitContainer collinear(line);
    DezazApp().ClearCommandLineText();
    EXPECT_FALSE(FitPrimitiveToPoints(ePrimitiveKind::Plane, collinear, result));
    EXPECT_FALSE(FitPrimitiveToPoints(ePrimitiveKind::Sphere, collinear, result));
    EXPECT_FALSE(FitPrimitiveToPoints(ePrimitiveKind::Cylinder, collinear, result));
    EXPECT_EQ(DezazApp().CommandLineText(),
              L"Can not fit Plane\nCan not fit Sphere\nDetecting. Please wait...\nCan not fit Cylinder\n");
}

TEST(PrimitiveFit, FittedPlaneSaysNothing)
{
    tFitPointQueue grid;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j)
            grid.push_back(At(i, j, 3));
    stPrimitiveFit result;
    DezazApp().ClearCommandLineText();
    ASSERT_TRUE(FitPrimitiveToPoints(ePrimitiveKind::Plane, cFitContainer(grid), result));
    EXPECT_NEAR(std::fabs(result.plane.normal[2]), 1.0, 1e-9);
    EXPECT_NEAR(result.rms, 0.0, 1e-9);
    EXPECT_TRUE(DezazApp().CommandLineText().empty());
}

} // namespace
