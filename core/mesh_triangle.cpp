#include "core/mesh_triangle.h"

#include <cmath>

void TriangleCrossProduct(const float a[3], const float b[3], const float c[3], double out[3])
{
    const double u[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
    const double v[3] = {double(c[0]) - a[0], double(c[1]) - a[1], double(c[2]) - a[2]};
    out[0] = u[1] * v[2] - u[2] * v[1];
    out[1] = u[2] * v[0] - u[0] * v[2];
    out[2] = u[0] * v[1] - u[1] * v[0];
}

double TriangleArea(const float a[3], const float b[3], const float c[3])
{
    double n[3];
    TriangleCrossProduct(a, b, c, n);
    return 0.5 * std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
}
