#include "platform/host/dezaz_text_dot.h"

CDezazTextDot::CDezazTextDot() : CDezazObject(std::make_unique<ON_TextDot>(), {}) {}

CDezazTextDot::CDezazTextDot(const ON_3dPoint& point, const wchar_t* text, const ON_3dmObjectAttributes& attributes)
    : CDezazObject(std::make_unique<ON_TextDot>(point, text), attributes)
{
}

std::unique_ptr<CDezazObject> CDezazTextDot::DuplicateDezazObject() const
{
    auto copy = std::make_unique<CDezazTextDot>(Point(), Text(), Attributes());
    copy->m_always_on_top = m_always_on_top;
    return copy;
}

ON_TextDot* CDezazTextDot::WritableDot()
{
    if (Document())
        return nullptr;
    auto dot = std::make_unique<ON_TextDot>(TextDot());
    ON_TextDot* raw = dot.get();
    SetGeometry(std::move(dot));
    return raw;
}

bool CDezazTextDot::SetText(const wchar_t* text)
{
    ON_TextDot* dot = WritableDot();
    if (!dot)
        return false;
    dot->m_text = text ? text : L"";
    return true;
}

bool CDezazTextDot::SetPoint(const ON_3dPoint& point)
{
    ON_TextDot* dot = WritableDot();
    if (!dot)
        return false;
    dot->m_point = point;
    return true;
}
