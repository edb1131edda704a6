// Closed-form constructions of the fitters and the profile editor:
// circumcentres, line/circle and circle/circle intersections in the XY plane,
// tangent points and the closest points of two lines. All in double.
//
// The tangency and parallel tests compare against fixed absolute thresholds
// (DBL_EPSILON on squared quantities, FLT_EPSILON on a determinant), so they
// are tuned to model units of millimetres to metres.
#pragma once

// Circumcentre of the triangle A, B, C by barycentric weights. A degenerate
// (collinear) triangle gives the centroid and false.
bool TriangleCircumcentre(const double a[3], const double b[3], const double c[3], double out[3]);

// Intersections of the line through p0 and p1 with the circle (centre, radius)
// in the XY plane; the points take the centre's z. Both outputs are zeroed
// first. Returns 0, 1 (tangent: both outputs hold the point) or 2. A line
// whose two points coincide has no direction and gives 0.
int IntersectLineCircle2d(const double p0[3], const double p1[3], const double centre[3], double radius,
                          double out1[3], double out2[3]);

// The points where the tangents from p touch the circle (centre, radius), in
// the XY plane with the centre's z. Returns 0 when p lies inside; 1 when p
// lies on the circle (out1 = p, out2 = p plus one unit along the tangent);
// otherwise the result of IntersectCircles2d with the circle on the diameter
// from p to the centre.
int CircleTangentPoints2d(const double p[3], const double centre[3], double radius, double out1[3],
                          double out2[3]);

// Intersections of two circles in the XY plane; the points take c1's z. Both
// outputs are zeroed first. Returns 0, 1 (touching: both outputs hold the
// point) or 2. Concentric circles (equal centres) give 0.
int IntersectCircles2d(const double c1[3], double r1, const double c2[3], double r2, double out1[3], double out2[3]);

// The closest points of the lines p0 + s.d0 and p1 + t.d1. False for
// (nearly) parallel lines, with the outputs untouched.
bool ClosestPointsOfLines(const double p0[3], const double d0[3], const double p1[3], const double d1[3],
                          double out0[3], double out1[3]);
