// Axis-aligned boxes as six numbers: min x, min y, min z, max x, max y, max z.
// An empty box has its minimum at +MAX and its maximum at -MAX of its type, so
// that the first point grown into it becomes both corners.
#pragma once

#include <cfloat>

// Sets the box to the empty box.
inline void MakeEmptyBox3f(float box[6])
{
    box[0] = box[1] = box[2] = FLT_MAX;
    box[3] = box[4] = box[5] = -FLT_MAX;
}
inline void MakeEmptyBox3d(double box[6])
{
    box[0] = box[1] = box[2] = DBL_MAX;
    box[3] = box[4] = box[5] = -DBL_MAX;
}

// Grows a float box so that it holds the point.
inline void GrowBox3f(float box[6], const float p[3])
{
    for (int i = 0; i < 3; ++i)
    {
        if (box[i] > p[i])
            box[i] = p[i];
        if (p[i] > box[i + 3])
            box[i + 3] = p[i];
    }
}

// Grows a double box so that it holds a float point (widened to double). The
// search trees over float points keep their node boxes in double.
inline void IncludePointInBoundingBox3d(double box[6], const float p[3])
{
    for (int i = 0; i < 3; ++i)
    {
        const double c = p[i];
        if (box[i] > c)
            box[i] = c;
        if (c > box[i + 3])
            box[i + 3] = c;
    }
}
// The same growth under the name the vertex search tree and the fitters use.
inline void ExtendBoxByPoint3f(double box[6], const float p[3]) { IncludePointInBoundingBox3d(box, p); }

// True when the box holds at least one point: min <= max on every axis and
// every bound strictly inside -FLT_MAX..FLT_MAX (so empty boxes, boxes grown
// by "unset" FLT_MAX points and NaN bounds are all invalid).
inline bool IsValidBoundingBox3f(const float box[6])
{
    for (int i = 0; i < 3; ++i)
    {
        if (!(box[i] <= box[i + 3]))
            return false;
        if (!(box[i] > -FLT_MAX && box[i] < FLT_MAX && box[i + 3] > -FLT_MAX && box[i + 3] < FLT_MAX))
            return false;
    }
    return true;
}

// The largest of the three extents of a float box, in double.
inline double BoxMaxExtent(const float box[6])
{
    const double dx = static_cast<double>(box[3]) - box[0];
    const double dy = static_cast<double>(box[4]) - box[1];
    const double dz = static_cast<double>(box[5]) - box[2];
    double m = dx;
    if (dy > m)
        m = dy;
    if (dz > m)
        m = dz;
    return m;
}
