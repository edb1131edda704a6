// Brep services of the host: gathering breps into one, splitting a brep by
// another, and joining breps that meet edge to edge. The results are new
// heap objects that the caller owns.
#pragma once

#include "platform/geometry/brep.h"
#include "platform/geometry/simple_array.h"

// One brep holding copies of every face of the inputs (faces keep their
// trimming loops). Null for no breps, a null brep or one that is not valid.
ON_Brep* DezazMergeBreps(const ON_SimpleArray<const ON_Brep*>& breps, double tolerance);

// Splits the brep where the cutter's faces cross it and appends the pieces:
// faces that a cut runs through are divided along it (each part trimmed by
// a loop in its surface's parameters), and faces that meet along an edge
// the cutter does not touch stay in one piece. A cutter that misses the
// brep, or only dents a face without dividing it, gives one piece. False,
// appending nothing, for an invalid brep or cutter, a non-positive
// tolerance, or a split the kernel cannot make.
bool DezazBrepSplit(const ON_Brep& brep, const ON_Brep& cutter, double tolerance, ON_SimpleArray<ON_Brep*>& pieces);

// Joins the breps into groups whose boundaries meet within the tolerance
// (along a stretch, not at a single point), each group as one brep with all
// its faces; a brep that meets none comes back as a copy. Every input is in
// exactly one output. False, appending nothing, for no breps or a null or
// invalid brep.
bool DezazJoinBreps(const ON_SimpleArray<const ON_Brep*>& breps, ON_SimpleArray<ON_Brep*>& joined, double tolerance);

// Whether the point lies on one of the brep's faces within the tolerance:
// its closest point on a face's surface is that near and inside the face's
// trimming loops.
bool DezazIsPointOnBrep(const ON_Brep& brep, const ON_3dPoint& point, double tolerance);
