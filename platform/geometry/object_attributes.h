// What a document keeps about an object besides its geometry: its id, name,
// layer, visibility mode and display colour.
#pragma once

#include "platform/geometry/color.h"
#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"

class ON_3dmObjectAttributes
{
public:
    enum class object_mode : int
    {
        normal_object = 0,
        hidden_object = 1,
        locked_object = 2,
    };
    enum class color_source : int
    {
        color_from_layer = 0,
        color_from_object = 1,
    };
    // Display decorations of curves (arrow heads); none by default.
    enum class object_decoration : int
    {
        no_object_decoration = 0,
        start_arrowhead = 1,
        end_arrowhead = 2,
        both_arrowhead = 3,
    };

    ON_UUID m_uuid = ON_nil_uuid;
    ON_wString m_name;
    int m_layer_index = 0;
    ON_Color m_color;

    object_mode Mode() const { return m_mode; }
    void SetMode(object_mode mode) { m_mode = mode; }
    color_source ColorSource() const { return m_color_source; }
    void SetColorSource(color_source source) { m_color_source = source; }
    object_decoration ObjectDecoration() const { return m_decoration; }
    void SetObjectDecoration(object_decoration decoration) { m_decoration = decoration; }
    bool IsVisible() const { return m_mode != object_mode::hidden_object; }

    friend bool operator==(const ON_3dmObjectAttributes&, const ON_3dmObjectAttributes&) = default;

private:
    object_mode m_mode = object_mode::normal_object;
    color_source m_color_source = color_source::color_from_layer;
    object_decoration m_decoration = object_decoration::no_object_decoration;
};
