#include "platform/host/dezaz_get_object.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/win32/codepage.h"
#include "platform/win32/prompt_script.h"

#include <algorithm>

const CDezazObjRef& CDezazGetObject::Object(int index) const
{
    static const CDezazObjRef none;
    return index >= 0 && index < ObjectCount() ? m_objects[static_cast<std::size_t>(index)] : none;
}

bool CDezazGetObject::CustomGeometryFilter(const CDezazObject*, const ON_Geometry*) const
{
    return true;
}

bool CDezazGetObject::Accepts(const CDezazObject& object) const
{
    if (object.IsDeleted() || !object.IsVisible() || !object.Geometry())
        return false;
    if (m_geometry_filter != 0)
    {
        unsigned int type = static_cast<unsigned int>(object.ObjectType());
        // A brep of one face is a surface too, and its face can stand for it.
        if (type == static_cast<unsigned int>(DezazObjectType::brep))
            type |= surface_object | polysrf_face;
        if ((type & m_geometry_filter) == 0)
            return false;
    }
    return CustomGeometryFilter(&object, object.Geometry());
}

CDezazGet::result CDezazGetObject::GetObjects(int minimum_number, int maximum_number)
{
    m_objects.clear();
    CDezazDoc& doc = DezazApp().ActiveDoc();
    if (m_preselect)
    {
        std::vector<CDezazObjRef> chosen;
        bool refused = false;
        for (const CDezazObject* object : doc.Objects())
        {
            if (!object->IsSelected())
                continue;
            if (Accepts(*object))
                chosen.emplace_back(object);
            else
                refused = true;
        }
        const bool enough = static_cast<int>(chosen.size()) >= std::max(minimum_number, 1);
        const bool not_too_many = maximum_number <= 0 || static_cast<int>(chosen.size()) <= maximum_number;
        if (enough && not_too_many && (!refused || m_ignore_unacceptable))
        {
            m_objects = std::move(chosen);
            return CDezazGet::object;
        }
    }
    if (!m_postselect && m_preselect)
        return CDezazGet::nothing;

    const std::wstring prompt = m_prompt.empty() ? std::wstring(L"Select objects") : m_prompt;
    for (;;)
    {
        const INT_PTR answer = win32::AnswerPrompt(dezaz::kObjectPrompt, prompt);
        if (answer == 0)
            return CDezazGet::cancel;
        if (answer == dezaz::kAnswerNothing)
        {
            if (static_cast<int>(m_objects.size()) >= minimum_number && !m_objects.empty())
                return CDezazGet::object;
            return CDezazGet::nothing;
        }
        const CDezazObject* object = doc.LookupObjectByRuntimeSerialNumber(static_cast<unsigned int>(answer));
        if (!object || !Accepts(*object))
            throw win32::UnexpectedPrompt("the object given for \"" + win32::WideToUtf8(prompt) +
                                          "\" is not one the command accepts");
        m_objects.emplace_back(object);
        if (maximum_number > 0 && static_cast<int>(m_objects.size()) >= maximum_number)
            return CDezazGet::object;
        if (maximum_number == 1)
            return CDezazGet::object;
    }
}
