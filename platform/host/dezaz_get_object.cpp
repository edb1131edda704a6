#include "platform/host/dezaz_get_object.h"

#include "platform/host/brep_edges.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/geometry/surface.h"
#include "platform/win32/codepage.h"
#include "platform/win32/prompt_script.h"

#include <algorithm>
#include <optional>

namespace dezaz
{
namespace
{

// Only the user-interface thread asks for objects.
std::optional<ON_3dPoint>& AnsweredPoint()
{
    static std::optional<ON_3dPoint> point;
    return point;
}

bool PointOnBrep(const ON_Brep& brep, ON_3dPoint& point)
{
    const ON_BrepFace* face = brep.Face(0);
    const ON_Surface* surface = face ? face->SurfaceOf() : nullptr;
    if (!surface)
        return false;
    // The middle of the domain, or the first point of a finer and finer
    // grid that lies on a trimmed face.
    for (int n = 1; n <= 64; n *= 2)
        for (int i = 1; i < 2 * n; i += 2)
            for (int j = 1; j < 2 * n; j += 2)
            {
                const double s = surface->Domain(0).ParameterAt(i / (2.0 * n));
                const double t = surface->Domain(1).ParameterAt(j / (2.0 * n));
                if (face->IsParameterOnFace(s, t))
                {
                    point = surface->PointAt(s, t);
                    return point.IsValid();
                }
            }
    return false;
}

} // namespace

void SetAnsweredSelectionPoint(const ON_3dPoint& point)
{
    AnsweredPoint() = point;
}

bool PointOnObject(const CDezazObject& object, ON_3dPoint& point)
{
    const ON_Geometry* geometry = object.Geometry();
    if (const auto* brep = dynamic_cast<const ON_Brep*>(geometry))
        return PointOnBrep(*brep, point);
    if (const auto* surface = dynamic_cast<const ON_Surface*>(geometry))
    {
        point = surface->PointAt(surface->Domain(0).Mid(), surface->Domain(1).Mid());
        return point.IsValid();
    }
    if (const ON_Mesh* mesh = ON_Mesh::Cast(geometry); mesh && mesh->FaceCount() > 0)
    {
        const ON_MeshFace& f = mesh->m_F[0];
        const int corners = f.IsTriangle() ? 3 : 4;
        point = ON_3dPoint(0, 0, 0);
        for (int k = 0; k < corners; ++k)
            point += ON_3dVector(mesh->m_V[f.vi[k]].x, mesh->m_V[f.vi[k]].y, mesh->m_V[f.vi[k]].z) / corners;
        return true;
    }
    if (const auto* curve = dynamic_cast<const ON_Curve*>(geometry))
    {
        point = curve->PointAt(curve->Domain().Mid());
        return point.IsValid();
    }
    if (const auto* p = dynamic_cast<const ON_Point*>(geometry))
    {
        point = p->point;
        return true;
    }
    return false;
}

} // namespace dezaz

namespace
{

std::vector<std::shared_ptr<const ON_Curve>> EdgesOf(const CDezazObject& object)
{
    const ON_Geometry* geometry = object.Geometry();
    if (const auto* brep = dynamic_cast<const ON_Brep*>(geometry))
        return dezaz::BrepEdgeCurves(*brep);
    if (const auto* surface = dynamic_cast<const ON_Surface*>(geometry))
        return dezaz::SurfaceEdgeCurves(*surface);
    return {};
}

} // namespace

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
    // Edges of breps are parts of objects, never objects of their own: an
    // edge is picked by clicking its brep next to it.
    if (m_attribute_filter & edge_curve)
        return (object.ObjectType() == DezazObjectType::brep && (m_geometry_filter & curve_object) != 0 &&
                !EdgesOf(object).empty()) &&
               CustomGeometryFilter(&object, object.Geometry());
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
            // An edge is never pre-selected: only a click tells which one.
            if (!object->IsSelected() || (m_attribute_filter & edge_curve))
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
        dezaz::AnsweredPoint().reset();
        const INT_PTR answer = win32::AnswerPrompt(dezaz::kObjectPrompt, prompt);
        std::optional<ON_3dPoint> clicked;
        clicked.swap(dezaz::AnsweredPoint());
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
        ON_3dPoint at;
        const bool pointed = clicked || dezaz::PointOnObject(*object, at);
        if (clicked)
            at = *clicked;
        if (m_attribute_filter & edge_curve)
            m_objects.emplace_back(object, pointed ? dezaz::NearestEdge(EdgesOf(*object), at) : nullptr);
        else
            m_objects.emplace_back(object);
        if (pointed)
            m_objects.back().SetSelectionPoint(at);
        if (maximum_number > 0 && static_cast<int>(m_objects.size()) >= maximum_number)
            return CDezazGet::object;
        if (maximum_number == 1)
            return CDezazGet::object;
    }
}
