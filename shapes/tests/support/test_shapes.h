// The primitive shapes made concrete for tests: the host-bound shapes decide
// what can be constrained to what, which the geometry tests do not need.
#pragma once

#include "shapes/primitive_geometry.h"

template <class Base> class tTestShape : public Base
{
public:
    bool CanBeCoincidentWith(ST_IGeometry*) override { return false; }
    bool CanBeParallelTo(ST_IGeometry*) override { return false; }
    bool CanBePerpendicularTo(ST_IGeometry*) override { return false; }
};
using TestPlane = tTestShape<ST_CPlane>;
using TestSphere = tTestShape<ST_CSphere>;
using TestCylinder = tTestShape<ST_CCylinder>;
