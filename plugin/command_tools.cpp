// "vtlAnalyzer", "vtlSegmentation" and "vtlMeasureFillet": the commands that
// open the mesh analysis tools.
#include "plugin/commands.h"
#include "plugin/tool_interfaces.h"
#include "plugin/tools/analyzer_dialog.h"
#include "plugin/tools/measure_fillet_dialog.h"
#include "plugin/tools/segmentation_dialog.h"
#include "plugin/vtl_plugin.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/win32/window.h"

namespace
{

vtl::SegmentationRunner& Segmentation()
{
    static vtl::SegmentationRunner runner = &vtl::RunSegmentationDialog;
    return runner;
}

// Brings the holder's dialog back from the task bar and gives it the focus.
void Restore(cDialogHolder& holder)
{
    const HWND window = holder.Dialog()->DialogWindow();
    ShowWindow(window, SW_RESTORE);
    SetFocus(window);
}

bool AnyVisibleMesh(const CDezazDoc& doc)
{
    CDezazObjectIterator it(doc, dezaz_normal_objects | dezaz_locked_objects | dezaz_hidden_objects,
                            dezaz_active_objects | dezaz_reference_objects);
    it.SetObjectFilter(static_cast<unsigned int>(DezazObjectType::mesh));
    it.EnableVisibleFilter();
    return it.First() != nullptr;
}

CDezazCommand::result PickResult(CDezazGet::result picked)
{
    return picked == CDezazGet::cancel ? CDezazCommand::cancel : CDezazCommand::nothing;
}

class CCommand_vtl_Analyzer : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {2E7C51A4-93D0-4F6B-8A15-C04B7E3D9A21}
        return {0x2E7C51A4, 0x93D0, 0x4F6B, {0x8A, 0x15, 0xC0, 0x4B, 0x7E, 0x3D, 0x9A, 0x21}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlAnalyzer"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        if (!context.IsInteractive())
        {
            DezazApp().Print(vtl::kOnlyInteractiveText);
            return success;
        }
        cDialogHolder& holder = ThePlugIn().AnalyzerDialog();
        if (!holder.IsAvailable())
            holder.SetFactory(MakeFloatingAnalyzerDialog);
        if (holder.IsVisible())
            Restore(holder);
        else if (!AnyVisibleMesh(context.Document()))
        {
            DezazApp().Print(L"You need to have a reference mesh visible.");
            return success;
        }
        else if (!holder.Open(DezazApp().MainWnd()))
            return holder.IsAvailable() ? failure : success;
        ShowWindow(holder.Dialog()->DialogWindow(), SW_SHOW);
        if (auto* analyzer = dynamic_cast<IAnalyzerTool*>(holder.Dialog()))
        {
            analyzer->ApplySurfaceVisibility();
            analyzer->Recalculate();
        }
        return success;
    }
};

class CCommand_vtl_Segmentation : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {B5D09E37-6C2A-4E81-9F40-1A7D3C5E8B62}
        return {0xB5D09E37, 0x6C2A, 0x4E81, {0x9F, 0x40, 0x1A, 0x7D, 0x3C, 0x5E, 0x8B, 0x62}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlSegmentation"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        if (!context.IsInteractive())
        {
            DezazApp().Print(vtl::kOnlyInteractiveText);
            return success;
        }
        if (!Segmentation())
        {
            // Asking for a mesh first would only waste the user's pick.
            DezazApp().Print(L"The Segmentation dialog is not available in this version.\n");
            return success;
        }
        CDezazGetObject go;
        go.SetCommandPrompt(L"Select mesh object");
        go.SetGeometryFilter(CDezazGetObject::mesh_object);
        const CDezazGet::result picked = go.GetObjects(1, 1);
        if (picked != CDezazGet::object)
            return PickResult(picked);
        CDezazObjRef mesh;
        for (int i = 0; i < go.ObjectCount(); ++i)
            if (go.Object(i).Mesh())
                mesh = go.Object(i);
        const CDezazObject* object = mesh.Object();
        if (!object)
            return nothing;
        // The dialog paints the mesh itself; the host's selection look would
        // cover its colours.
        const_cast<CDezazObject*>(object)->Select(false);
        Segmentation()(mesh, DezazApp().MainWnd());
        return success;
    }
};

class CCommand_vtl_MeasureFillet : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {4F18A6C2-0D3B-47E5-B96A-58E21C7F0D93}
        return {0x4F18A6C2, 0x0D3B, 0x47E5, {0xB9, 0x6A, 0x58, 0xE2, 0x1C, 0x7F, 0x0D, 0x93}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlMeasureFillet"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        if (!context.IsInteractive())
        {
            DezazApp().Print(vtl::kOnlyInteractiveText);
            return success;
        }
        cDialogHolder& holder = ThePlugIn().FilletDialog();
        if (holder.IsVisible())
        {
            Restore(holder);
            return success;
        }
        if (!holder.IsAvailable())
            holder.SetFactory(MakeMeasureFilletDialog);
        CDezazGetObject go;
        go.SetCommandPrompt(L"Pick an edge ");
        go.EnablePreSelect(false);
        go.SetGeometryFilter(CDezazGetObject::curve_object);
        go.SetGeometryAttributeFilter(CDezazGetObject::edge_curve);
        const CDezazGet::result picked = go.GetObjects(1, 1);
        if (picked != CDezazGet::object)
            return PickResult(picked);
        const ON_Curve* edge = go.Object(0).Curve();
        if (!edge)
            return nothing;
        if (!holder.Open(DezazApp().MainWnd()))
            return failure;
        if (auto* fillet = dynamic_cast<IFilletTool*>(holder.Dialog()))
            fillet->SetPickedEdge(*edge, go.Object(0).RuntimeSerialNumber());
        context.Document().Regen();
        return success;
    }
};

CCommand_vtl_Analyzer theAnalyzerCommand;
CCommand_vtl_Segmentation theSegmentationCommand;
CCommand_vtl_MeasureFillet theMeasureFilletCommand;

} // namespace

CDezazCommand& vtl::AnalyzerCommand()
{
    return theAnalyzerCommand;
}

CDezazCommand& vtl::SegmentationCommand()
{
    return theSegmentationCommand;
}

CDezazCommand& vtl::MeasureFilletCommand()
{
    return theMeasureFilletCommand;
}

void vtl::SetSegmentationRunner(SegmentationRunner runner)
{
    Segmentation() = runner ? std::move(runner) : vtl::SegmentationRunner(&vtl::RunSegmentationDialog);
}
