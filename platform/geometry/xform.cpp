#include "platform/geometry/xform.h"

#include <cmath>
#include <utility>

ON_Xform::ON_Xform() : ON_Xform(1.0) {}

ON_Xform::ON_Xform(double diagonal)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_xform[i][j] = i == j ? diagonal : 0.0;
}

ON_Xform::ON_Xform(const double m[4][4])
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_xform[i][j] = m[i][j];
}

ON_Xform ON_Xform::IdentityTransformation()
{
    return ON_Xform(1.0);
}

ON_Xform ON_Xform::TranslationTransformation(const ON_3dVector& delta)
{
    ON_Xform t;
    t.m_xform[0][3] = delta.x;
    t.m_xform[1][3] = delta.y;
    t.m_xform[2][3] = delta.z;
    return t;
}

ON_Xform ON_Xform::ScaleTransformation(const ON_3dPoint& fixed_point, double scale)
{
    ON_Xform s;
    for (int i = 0; i < 3; ++i)
    {
        s.m_xform[i][i] = scale;
        s.m_xform[i][3] = (1.0 - scale) * fixed_point[i];
    }
    return s;
}

ON_Xform ON_Xform::RotationTransformation(double angle, const ON_3dVector& axis, const ON_3dPoint& center)
{
    ON_3dVector u = axis;
    if (!u.Unitize())
        return ON_Xform();
    const double c = std::cos(angle), s = std::sin(angle), t = 1.0 - c;
    ON_Xform r;
    r.m_xform[0][0] = t * u.x * u.x + c;
    r.m_xform[0][1] = t * u.x * u.y - s * u.z;
    r.m_xform[0][2] = t * u.x * u.z + s * u.y;
    r.m_xform[1][0] = t * u.x * u.y + s * u.z;
    r.m_xform[1][1] = t * u.y * u.y + c;
    r.m_xform[1][2] = t * u.y * u.z - s * u.x;
    r.m_xform[2][0] = t * u.x * u.z - s * u.y;
    r.m_xform[2][1] = t * u.y * u.z + s * u.x;
    r.m_xform[2][2] = t * u.z * u.z + c;
    // Keep the centre fixed: translation = c - R c.
    for (int i = 0; i < 3; ++i)
        r.m_xform[i][3] = center[i] - (r.m_xform[i][0] * center.x + r.m_xform[i][1] * center.y +
                                       r.m_xform[i][2] * center.z);
    return r;
}

bool ON_Xform::IsIdentity(double tolerance) const
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!(std::fabs(m_xform[i][j] - (i == j ? 1.0 : 0.0)) <= tolerance))
                return false;
    return true;
}

bool ON_Xform::IsValid() const
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (!ON_IsValid(m_xform[i][j]))
                return false;
    return true;
}

double ON_Xform::Determinant() const
{
    ON_Xform a(*this);
    double det = 1.0;
    for (int col = 0; col < 4; ++col)
    {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a.m_xform[r][col]) > std::fabs(a.m_xform[pivot][col]))
                pivot = r;
        if (a.m_xform[pivot][col] == 0.0)
            return 0.0;
        if (pivot != col)
        {
            std::swap(a.m_xform[pivot], a.m_xform[col]);
            det = -det;
        }
        det *= a.m_xform[col][col];
        for (int r = col + 1; r < 4; ++r)
        {
            const double f = a.m_xform[r][col] / a.m_xform[col][col];
            for (int c = col; c < 4; ++c)
                a.m_xform[r][c] -= f * a.m_xform[col][c];
        }
    }
    return det;
}

bool ON_Xform::Invert()
{
    double a[4][8];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            a[i][j] = m_xform[i][j];
            a[i][j + 4] = i == j ? 1.0 : 0.0;
        }
    for (int col = 0; col < 4; ++col)
    {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(a[r][col]) > std::fabs(a[pivot][col]))
                pivot = r;
        if (!(std::fabs(a[pivot][col]) > 0.0) || !std::isfinite(a[pivot][col]))
            return false;
        if (pivot != col)
            std::swap(a[pivot], a[col]);
        const double inv = 1.0 / a[col][col];
        for (int c = 0; c < 8; ++c)
            a[col][c] *= inv;
        for (int r = 0; r < 4; ++r)
        {
            if (r == col)
                continue;
            const double f = a[r][col];
            for (int c = 0; c < 8; ++c)
                a[r][c] -= f * a[col][c];
        }
    }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m_xform[i][j] = a[i][j + 4];
    return true;
}

ON_Xform ON_Xform::Inverse() const
{
    ON_Xform inv(*this);
    if (!inv.Invert())
        return ON_Xform(0.0);
    return inv;
}

ON_Xform ON_Xform::operator*(const ON_Xform& rhs) const
{
    ON_Xform p(0.0);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            double s = 0.0;
            for (int k = 0; k < 4; ++k)
                s += m_xform[i][k] * rhs.m_xform[k][j];
            p.m_xform[i][j] = s;
        }
    return p;
}

ON_3dPoint ON_Xform::operator*(const ON_3dPoint& p) const
{
    const double* m0 = m_xform[0];
    const double* m1 = m_xform[1];
    const double* m2 = m_xform[2];
    const double* m3 = m_xform[3];
    ON_3dPoint q(m0[0] * p.x + m0[1] * p.y + m0[2] * p.z + m0[3], m1[0] * p.x + m1[1] * p.y + m1[2] * p.z + m1[3],
                 m2[0] * p.x + m2[1] * p.y + m2[2] * p.z + m2[3]);
    const double w = m3[0] * p.x + m3[1] * p.y + m3[2] * p.z + m3[3];
    if (w != 1.0 && w != 0.0)
        q /= w;
    return q;
}

ON_3dVector ON_Xform::operator*(const ON_3dVector& v) const
{
    return {m_xform[0][0] * v.x + m_xform[0][1] * v.y + m_xform[0][2] * v.z,
            m_xform[1][0] * v.x + m_xform[1][1] * v.y + m_xform[1][2] * v.z,
            m_xform[2][0] * v.x + m_xform[2][1] * v.y + m_xform[2][2] * v.z};
}
