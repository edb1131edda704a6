#include "dezaz/script_commands.h"

#include "platform/geometry/plane_surface.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_command.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"

#include <cmath>
#include <cwchar>
#include <memory>
#include <sstream>
#include <vector>

namespace dezaz
{

namespace
{

// Points written as "x,y,z" and separated by blanks; false for anything
// else, or a coordinate that is not a finite number.
bool ParsePoints(const std::wstring& text, std::vector<ON_3dPoint>& points)
{
    std::wistringstream words(text);
    std::wstring word;
    while (words >> word)
    {
        double xyz[3];
        const wchar_t* at = word.c_str();
        for (int k = 0; k < 3; ++k)
        {
            wchar_t* end = nullptr;
            xyz[k] = std::wcstod(at, &end);
            if (end == at || !std::isfinite(xyz[k]) || *end != (k < 2 ? L',' : L'\0'))
                return false;
            at = end + (k < 2 ? 1 : 0);
        }
        points.emplace_back(xyz[0], xyz[1], xyz[2]);
    }
    return true;
}

class cGeometryCommand : public CDezazCommand
{
public:
    using Run = result (*)(const CDezazCommandContext&);
    cGeometryCommand(const wchar_t* name, ON_UUID id, Run run) : m_name(name), m_id(id), m_run(run) {}
    ON_UUID CommandUUID() override { return m_id; }
    const wchar_t* EnglishCommandName() override { return m_name; }
    result RunCommand(const CDezazCommandContext& context) override { return m_run(context); }

private:
    const wchar_t* m_name;
    ON_UUID m_id;
    Run m_run;
};

CDezazCommand::result Polyline(const CDezazCommandContext& context)
{
    std::vector<ON_3dPoint> points;
    if (!ParsePoints(context.Arguments(), points) || points.size() < 2)
    {
        DezazApp().Print(L"Polyline needs two points or more, each as x,y,z.\n");
        return CDezazCommand::failure;
    }
    ON_SimpleArray<ON_3dPoint> list;
    for (const ON_3dPoint& p : points)
        list.Append(p);
    auto curve = std::make_unique<ON_PolylineCurve>(list);
    CDezazDoc& doc = context.Document();
    const CDezazObject* added = doc.AddObject(std::make_unique<CDezazCurveObject>(std::move(curve)));
    if (!added)
    {
        DezazApp().Print(L"These points make no curve (two of them in a row are the same).\n");
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"Added a polyline of %zu points (object %u).\n", points.size(), added->RuntimeSerialNumber());
    doc.Redraw();
    return CDezazCommand::success;
}

CDezazCommand::result PlaneSurface(const CDezazCommandContext& context)
{
    std::vector<ON_3dPoint> points;
    if (!ParsePoints(context.Arguments(), points) || points.size() != 3)
    {
        DezazApp().Print(L"PlaneSurface needs three points as x,y,z: a corner and the ends of its two sides.\n");
        return CDezazCommand::failure;
    }
    const ON_3dVector x = points[1] - points[0];
    const ON_3dVector y = points[2] - points[0];
    const ON_Plane plane(points[0], x, y);
    const double width = x.Length();
    const double height = ON_DotProduct(y, plane.yaxis);
    auto surface = std::make_unique<ON_PlaneSurface>(plane);
    if (!plane.IsValid() || !(width > 0.0) || !(height > 0.0) ||
        !surface->SetExtents(0, ON_Interval(0.0, width), true) || !surface->SetExtents(1, ON_Interval(0.0, height), true))
    {
        DezazApp().Print(L"The three points of PlaneSurface lie on one line.\n");
        return CDezazCommand::failure;
    }
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* s = surface.release();
    if (!brep->Create(s))
    {
        delete s;
        DezazApp().Print(L"The plane surface could not be made.\n");
        return CDezazCommand::failure;
    }
    CDezazDoc& doc = context.Document();
    const CDezazObject* added = doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
    if (!added)
        return CDezazCommand::failure;
    DezazApp().Print(L"Added a plane surface of %g x %g (object %u).\n", width, height, added->RuntimeSerialNumber());
    doc.Redraw();
    return CDezazCommand::success;
}

const wchar_t* KindOf(const CDezazObject& object)
{
    switch (object.ObjectType())
    {
    case DezazObjectType::point:
        return L"point";
    case DezazObjectType::curve:
        return L"curve";
    case DezazObjectType::surface:
        return L"surface";
    case DezazObjectType::brep:
        return L"polysurface";
    case DezazObjectType::mesh:
        return L"mesh";
    case DezazObjectType::text_dot:
        return L"text dot";
    default:
        return L"object";
    }
}

CDezazCommand::result List(const CDezazCommandContext& context)
{
    const CDezazDoc& doc = context.Document();
    const std::vector<const CDezazObject*> objects = doc.Objects();
    DezazApp().Print(L"The document holds %zu %ls.\n", objects.size(), objects.size() == 1 ? L"object" : L"objects");
    for (const CDezazObject* object : objects)
    {
        const int layer = object->Attributes().m_layer_index;
        const wchar_t* layerName = L"?";
        if (layer >= 0 && layer < doc.LayerTable().LayerCount())
            layerName = doc.LayerTable()[layer].Name();
        DezazApp().Print(L"  %u %ls", object->RuntimeSerialNumber(), KindOf(*object));
        if (const auto* brep = dynamic_cast<const CDezazBrepObject*>(object); brep && brep->Brep())
        {
            int trimmed = 0;
            for (int f = 0; f < brep->Brep()->FaceCount(); ++f)
                trimmed += brep->Brep()->Face(f)->IsTrimmed() ? 1 : 0;
            DezazApp().Print(L", %d %ls (%d trimmed)", brep->Brep()->FaceCount(),
                             brep->Brep()->FaceCount() == 1 ? L"face" : L"faces", trimmed);
        }
        else if (const auto* mesh = dynamic_cast<const CDezazMeshObject*>(object); mesh && mesh->Mesh())
            DezazApp().Print(L", %d faces", mesh->Mesh()->FaceCount());
        else if (const auto* dot = dynamic_cast<const CDezazTextDot*>(object))
            DezazApp().Print(L" \"%ls\"", dot->Text());
        const ON_BoundingBox box = object->BoundingBox();
        if (box.IsValid())
            DezazApp().Print(L", from (%g, %g, %g) to (%g, %g, %g)", box.m_min.x, box.m_min.y, box.m_min.z, box.m_max.x,
                             box.m_max.y, box.m_max.z);
        DezazApp().Print(L", layer \"%ls\"%ls\n", layerName, object->IsHidden() ? L", hidden" : L"");
    }
    return CDezazCommand::success;
}

constexpr ON_UUID GeometryCommandId(unsigned char n)
{
    // {6F1C2B84-97D3-4E5A-B0C6-1D2E3F40000n}
    return {0x6F1C2B84, 0x97D3, 0x4E5A, {0xB0, 0xC6, 0x1D, 0x2E, 0x3F, 0x40, 0x00, n}};
}

} // namespace

void RegisterScriptCommands()
{
    static std::vector<std::unique_ptr<cGeometryCommand>> commands;
    if (!commands.empty())
        return;
    commands.push_back(std::make_unique<cGeometryCommand>(L"Polyline", GeometryCommandId(1), &Polyline));
    commands.push_back(std::make_unique<cGeometryCommand>(L"PlaneSurface", GeometryCommandId(2), &PlaneSurface));
    commands.push_back(std::make_unique<cGeometryCommand>(L"List", GeometryCommandId(3), &List));
}

} // namespace dezaz
