// Text dots as host objects: added to a document they stay as annotations;
// held by a display conduit they are drawn through the pipeline each frame
// without being in any document.
#pragma once

#include "platform/geometry/text_dot.h"
#include "platform/host/dezaz_object.h"

class CDezazTextDot : public CDezazObject
{
public:
    CDezazTextDot();
    CDezazTextDot(const ON_3dPoint& point, const wchar_t* text, const ON_3dmObjectAttributes& attributes = {});

    DezazObjectType ObjectType() const override { return DezazObjectType::text_dot; }
    std::unique_ptr<CDezazObject> DuplicateDezazObject() const override;

    const ON_TextDot& TextDot() const { return *static_cast<const ON_TextDot*>(Geometry()); }
    const wchar_t* Text() const { return TextDot().m_text.Array(); }
    ON_3dPoint Point() const { return TextDot().m_point; }

    // Text and place change only while the dot is outside a document (a
    // conduit's dot); a dot in a document is changed by replacing it.
    bool SetText(const wchar_t* text);
    bool SetPoint(const ON_3dPoint& point);

    // Drawn over everything else, ignoring depth.
    bool AlwaysOnTop() const { return m_always_on_top; }
    void SetAlwaysOnTop(bool on) { m_always_on_top = on; }

private:
    ON_TextDot* WritableDot();

    bool m_always_on_top = false;
};
