// Axis-aligned box. The empty box has m_min above m_max and is invalid;
// growing it by a point makes it that point.
#pragma once

#include "platform/geometry/point.h"

class ON_Xform;

class ON_BoundingBox
{
public:
    ON_3dPoint m_min{1.0, 0.0, 0.0};
    ON_3dPoint m_max{-1.0, 0.0, 0.0};

    ON_BoundingBox() = default;
    ON_BoundingBox(const ON_3dPoint& min_pt, const ON_3dPoint& max_pt) : m_min(min_pt), m_max(max_pt) {}

    static const ON_BoundingBox EmptyBoundingBox;

    void Destroy() { *this = ON_BoundingBox(); }
    // True when m_min <= m_max on every axis and all coordinates are values.
    bool IsValid() const;
    bool IsEmpty() const { return !IsValid(); }
    void Set(const ON_3dPoint& min_pt, const ON_3dPoint& max_pt) { m_min = min_pt, m_max = max_pt; }
    // Grows the box (or, with grow false or an invalid box, resets it) to the point.
    bool Set(const ON_3dPoint& p, bool grow_box);
    bool Union(const ON_BoundingBox& other);
    ON_3dPoint Center() const;
    ON_3dVector Diagonal() const { return m_max - m_min; }
    // The corner with index bits x (1), y (2), z (4): 0 is m_min, 7 is m_max.
    ON_3dPoint Corner(int index) const;
    bool IsPointIn(const ON_3dPoint& p, bool strictly_in = false) const;
    // The box of the eight transformed corners.
    bool Transform(const ON_Xform& xform);
};
