#include "shapes/primitive_support.h"

#include "core/vector_math.h"
#include "shapes/primitive_geometry.h"

#include <cfloat>
#include <cmath>

namespace primitive_support
{

void ChooseAlignmentDirection(const double s[3], int axis, bool flip, float m[3])
{
    float e[3] = {0.0f, 0.0f, 0.0f};
    e[axis] = 1.0f;
    for (int i = 0; i < 3; ++i)
        m[i] = static_cast<float>(s[i]);
    double toPlus = 0.0, toMinus = 0.0;
    for (int i = 0; i < 3; ++i)
    {
        toPlus += (double{m[i]} - e[i]) * (double{m[i]} - e[i]);
        toMinus += (double{m[i]} + e[i]) * (double{m[i]} + e[i]);
    }
    bool negate = flip;
    if (toPlus < FLT_EPSILON)
        negate = true;
    else if (toMinus < FLT_EPSILON)
        negate = false;
    if (negate)
        for (int i = 0; i < 3; ++i)
            m[i] = static_cast<float>(-s[i]);
}

void PerpendicularInPlaneOf(const double s[3], const double d[3], double out[3])
{
    double sxd[3];
    Cross3d(s, d, sxd);
    Cross3d(sxd, d, out);
}

ON_wString RmsLine(double rms)
{
    ON_wString text;
    text.Format(L"RMS: %.5f", static_cast<double>(static_cast<float>(rms)));
    return text;
}

void AppendVectorLine(ON_wString& text, const wchar_t* label, const double v[3])
{
    ON_wString line;
    line.Format(L"\n%ls: %.5f, %.5f, %.5f", label, v[0], v[1], v[2]);
    text += line;
}

void SetIdentityFrame(double frame[12])
{
    for (int i = 0; i < 12; ++i)
        frame[i] = (i % 5 == 0) ? 1.0 : 0.0;
}

} // namespace primitive_support

void BuildAxisFrame(double frame[12], const float direction[3], int axis)
{
    float m[3] = {direction[0], direction[1], direction[2]};
    NormaliseVector3f(m);
    const int i = axis, j = (axis + 1) % 3, k = (axis + 2) % 3;
    const double md[3] = {m[0], m[1], m[2]};
    double ej[3] = {0, 0, 0}, ek[3] = {0, 0, 0};
    ej[j] = 1.0;
    ek[k] = 1.0;
    double rowJ[3], rowK[3];
    if (std::fabs(md[k]) <= std::fabs(md[j]))
    {
        Cross3d(ek, md, rowJ);
        NormaliseVector3d(rowJ);
        Cross3d(md, rowJ, rowK);
        NormaliseVector3d(rowK);
    }
    else
    {
        Cross3d(md, ej, rowK);
        NormaliseVector3d(rowK);
        Cross3d(rowK, md, rowJ);
        NormaliseVector3d(rowJ);
    }
    for (int c = 0; c < 3; ++c)
    {
        frame[4 * i + c] = md[c];
        frame[4 * j + c] = rowJ[c];
        frame[4 * k + c] = rowK[c];
    }
}
