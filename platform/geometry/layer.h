// A layer of a document: a named, coloured group of objects that can be
// hidden or locked as a whole.
#pragma once

#include "platform/geometry/color.h"
#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"

class ON_Layer
{
public:
    ON_UUID m_layer_id = ON_nil_uuid;

    const ON_wString& Name() const { return m_name; }
    void SetName(const wchar_t* name) { m_name = name; }
    ON_Color Color() const { return m_color; }
    void SetColor(ON_Color color) { m_color = color; }
    bool IsVisible() const { return m_visible; }
    void SetVisible(bool visible) { m_visible = visible; }
    bool IsLocked() const { return m_locked; }
    void SetLocked(bool locked) { m_locked = locked; }

    friend bool operator==(const ON_Layer&, const ON_Layer&) = default;

private:
    ON_wString m_name;
    ON_Color m_color;
    bool m_visible = true;
    bool m_locked = false;
};
