// 4x4 homogeneous transformation, row-major: a point p maps to
// (m[0] . (p,1), m[1] . (p,1), m[2] . (p,1)) / (m[3] . (p,1)).
#pragma once

#include "platform/geometry/point.h"

class ON_Xform
{
public:
    double m_xform[4][4];

    // The identity.
    ON_Xform();
    // Diagonal d, zero elsewhere (d = 1 is the identity, 0 the zero transform).
    explicit ON_Xform(double diagonal);
    explicit ON_Xform(const double m[4][4]);

    double* operator[](int i) { return m_xform[i]; }
    const double* operator[](int i) const { return m_xform[i]; }

    static ON_Xform IdentityTransformation();
    static ON_Xform TranslationTransformation(const ON_3dVector& delta);
    static ON_Xform ScaleTransformation(const ON_3dPoint& fixed_point, double scale);
    // Rotation by angle (radians) about the axis through center; the zero
    // axis gives the identity.
    static ON_Xform RotationTransformation(double angle, const ON_3dVector& axis, const ON_3dPoint& center);

    bool IsIdentity(double tolerance = 0.0) const;
    bool IsValid() const;
    double Determinant() const;
    // Inverts in place; false (and unchanged) when singular.
    bool Invert();
    ON_Xform Inverse() const;

    ON_Xform operator*(const ON_Xform& rhs) const;
    ON_3dPoint operator*(const ON_3dPoint& p) const;
    // Vectors use the upper 3x3 part only.
    ON_3dVector operator*(const ON_3dVector& v) const;
};
