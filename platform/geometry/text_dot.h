// A text dot: a short text in a rounded frame pinned to a point in space.
// The text keeps its size on screen whatever the zoom, so only the point has
// a place in the model.
#pragma once

#include "platform/geometry/object.h"
#include "platform/geometry/point.h"
#include "platform/geometry/wide_string.h"

class ON_TextDot : public ON_Geometry
{
public:
    ON_3dPoint m_point;
    ON_wString m_text;
    // Height of the text in pixels.
    int m_height = 14;

    ON_TextDot() = default;
    ON_TextDot(const ON_3dPoint& point, const wchar_t* text) : m_point(point), m_text(text) {}

    static ON_TextDot* Cast(ON_Object* object) { return dynamic_cast<ON_TextDot*>(object); }
    static const ON_TextDot* Cast(const ON_Object* object) { return dynamic_cast<const ON_TextDot*>(object); }

    // A finite point, a text that is not empty and a positive height.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    // The point alone.
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;
};
