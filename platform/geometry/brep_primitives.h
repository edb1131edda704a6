// One-face breps of the analytic surfaces: a sphere, and the side of a
// cylinder, each over its surface of revolution.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/cylinder.h"
#include "platform/geometry/sphere.h"

// The sphere's brep, filled into brep when given (emptied first) or new
// (the caller's); null for an invalid sphere.
ON_Brep* ON_BrepSphere(const ON_Sphere& sphere, ON_Brep* brep = nullptr);

// The side of a finite cylinder. End caps are not made by this library:
// asking for one gives null, as does an invalid or infinite cylinder.
ON_Brep* ON_BrepCylinder(const ON_Cylinder& cylinder, bool cap_bottom, bool cap_top, ON_Brep* brep = nullptr);
