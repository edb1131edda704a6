// "vtlTestTapered": extrudes picked planar curves upwards with a draft, the
// wall leaning inwards whichever way the curves run.
#include "plugin/command_tapered.h"
#include "plugin/commands.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/geometry_services_sweeps.h"

#include <cmath>
#include <memory>
#include <vector>

bool CDzGetClosedPlanarCurve::CustomGeometryFilter(const CDezazObject* object, const ON_Geometry* geometry) const
{
    const auto* curve = dynamic_cast<const ON_Curve*>(geometry);
    if (!curve || !object || !object->Document())
        return false;
    return curve->IsPlanar(nullptr, object->Document()->AbsoluteTolerance());
}

ON_3dVector WindingNormal(const ON_Curve& curve)
{
    // Newell's sum over a fine polygon of the curve (closed by its last
    // side): the normal about which the curve turns anticlockwise, scaled
    // by twice the enclosed area.
    constexpr int kSamples = 512;
    const ON_Interval domain = curve.Domain();
    std::vector<ON_3dPoint> points;
    for (int i = 0; i < kSamples; ++i)
        points.push_back(curve.PointAt(domain.ParameterAt(static_cast<double>(i) / kSamples)));
    ON_3dVector normal(0, 0, 0);
    for (int i = 0; i < kSamples; ++i)
    {
        const ON_3dPoint& a = points[static_cast<std::size_t>(i)];
        const ON_3dPoint& b = points[static_cast<std::size_t>((i + 1) % kSamples)];
        normal.x += (a.y - b.y) * (a.z + b.z);
        normal.y += (a.z - b.z) * (a.x + b.x);
        normal.z += (a.x - b.x) * (a.y + b.y);
    }
    return normal;
}

namespace
{

constexpr double kHeight = 5.0;
constexpr double kDraftDegrees = -5.0;

class CScriptCommand_DebugCommands : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {5A92C0E1-3F7B-4D68-A2E5-9C81B4D07F36}
        return {0x5A92C0E1, 0x3F7B, 0x4D68, {0xA2, 0xE5, 0x9C, 0x81, 0xB4, 0xD0, 0x7F, 0x36}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlTestTapered"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        CDzGetClosedPlanarCurve go;
        go.SetCommandPrompt(L"Select planar closed curve to extrude");
        const CDezazGet::result picked = go.GetObjects(1, 0);
        if (picked != CDezazGet::object)
            return picked == CDezazGet::cancel ? cancel : nothing;

        CDezazDoc& doc = context.Document();
        const double tolerance = doc.AbsoluteTolerance();
        ON_SimpleArray<const ON_Curve*> curves;
        for (int i = 0; i < go.ObjectCount(); ++i)
            if (const auto* curve = dynamic_cast<const ON_Curve*>(go.Object(i).Geometry()))
                curves.Append(curve);
        ON_SimpleArray<ON_Curve*> joined;
        const bool merged = DezazMergeCurves(curves, joined, tolerance, 0, nullptr);
        std::vector<std::unique_ptr<ON_Curve>> owned;
        for (int i = 0; i < joined.Count(); ++i)
            owned.emplace_back(joined[i]);
        if (!merged || owned.empty() || !owned.front())
        {
            DezazApp().Print(L"The curves could not be joined.\n");
            return failure;
        }

        ON_Curve& curve = *owned.front();
        const ON_3dVector direction = ON_zaxis;
        const ON_3dPoint base = ON_origin;
        // The draft leans the wall inwards only for a curve that runs
        // anticlockwise about the direction.
        if (curve.IsPlanar(nullptr, tolerance) && WindingNormal(curve).IsParallelTo(direction) == -1)
            curve.Reverse();
        ON_SimpleArray<ON_Brep*> breps;
        if (!ExtrudeTapered(&curve, kHeight, direction, base, kDraftDegrees * ON_PI / 180.0, 0, breps))
        {
            DezazApp().Print(L"The curve could not be extruded with a draft.\n");
            return failure;
        }
        for (int i = 0; i < breps.Count(); ++i)
        {
            auto object = std::make_unique<CDezazBrepObject>();
            object->SetBrep(std::unique_ptr<ON_Brep>(breps[i]));
            doc.AddObject(std::move(object));
        }
        doc.Redraw();
        return success;
    }
};

CScriptCommand_DebugCommands theTaperedCommand;

} // namespace

TaperedExtrudeService ExtrudeTapered = DezazCreateTaperedExtrude;

CDezazCommand& vtl::TestTaperedCommand()
{
    return theTaperedCommand;
}
