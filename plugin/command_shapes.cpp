// "vtlShapes": picks a mesh and opens the shapes dialog on it.
#include "plugin/base_vtl_dialog.h"
#include "plugin/commands.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/plugin_info.h"
#include "plugin/tool_interfaces.h"
#include "plugin/vtl_plugin.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/win32/controls.h"
#include "platform/win32/window.h"

#include <cwchar>
#include <optional>
#include <string>

namespace
{

std::unique_ptr<IToolDialog> MakeShapesDialog();

constexpr const wchar_t* kOwnLayerQuestion =
    L"For the best results it is recommended to place the mesh in a separate layer.\n"
    L"Would you like to place the mesh in it's own layer?";
constexpr const wchar_t* kMeshLayerName = L"VTL Mesh";

// "VTL Mesh", or the first of "VTL Mesh (1)", "VTL Mesh (2)", ... that no
// layer bears.
std::wstring FreeMeshLayerName(const CDezazLayerTable& layers)
{
    if (layers.FindLayerFromUniqueName(kMeshLayerName) < 0)
        return kMeshLayerName;
    for (int n = 1;; ++n)
    {
        wchar_t name[64];
        std::swprintf(name, 64, L"%ls (%d)", kMeshLayerName, n);
        if (layers.FindLayerFromUniqueName(name) < 0)
            return name;
    }
}

// Offers to move a mesh that lies on the default layer to a layer of its
// own, and does so when the user agrees.
void OfferOwnLayer(CDezazDoc& doc, const CDezazObject& mesh)
{
    const int defaultLayer = doc.LayerTable().FindLayerFromUniqueName(L"Default");
    if (defaultLayer < 0 || mesh.Attributes().m_layer_index != defaultLayer)
        return;
    if (DezazMessageBox(nullptr, kOwnLayerQuestion, vtl::kPlugInName, MB_YESNO) != IDYES)
        return;
    ON_Layer layer;
    const std::wstring name = FreeMeshLayerName(doc.LayerTable());
    layer.SetName(name.c_str());
    layer.SetColor(ON_Color(191, 63, 63));
    const int index = doc.LayerTable().AddLayer(layer);
    if (index < 0)
        return;
    ON_3dmObjectAttributes attributes = mesh.Attributes();
    attributes.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_layer);
    attributes.m_layer_index = index;
    doc.ModifyObjectAttributes(CDezazObjRef(&mesh), attributes);
    doc.Regen();
}

class CCommand_vtl_CreatePlane : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {6A1D3F0E-52B7-4C89-9E21-7B3C5D8E4F10}
        return {0x6A1D3F0E, 0x52B7, 0x4C89, {0x9E, 0x21, 0x7B, 0x3C, 0x5D, 0x8E, 0x4F, 0x10}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlShapes"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        if (!context.IsInteractive())
        {
            DezazApp().Print(vtl::kOnlyInteractiveText);
            return success;
        }
        cDialogHolder& holder = ThePlugIn().ShapesDialog();
        const bool wasVisible = holder.IsVisible();

        CDezazGetObject go;
        go.SetCommandPrompt(L"Select mesh object");
        go.SetGeometryFilter(CDezazGetObject::mesh_object);
        switch (go.GetObjects(1, 1))
        {
        case CDezazGet::object:
            break;
        case CDezazGet::cancel:
            return cancel;
        default:
            return nothing;
        }
        const CDezazObject* mesh = nullptr;
        for (int i = 0; i < go.ObjectCount(); ++i)
            if (go.Object(i).Mesh())
                mesh = go.Object(i).Object();
        if (!mesh)
            return nothing;

        CDezazDoc& doc = context.Document();
        OfferOwnLayer(doc, *mesh);

        if (wasVisible)
        {
            auto* shown = dynamic_cast<IShapesTool*>(holder.Dialog());
            if (shown && shown->HostObjectUuid() == mesh->ModelObjectId())
            {
                const HWND window = holder.Dialog()->DialogWindow();
                ShowWindow(window, SW_RESTORE);
                SetFocus(window);
                return success;
            }
            // The user may keep the open dialog (its sessions unsaved):
            // then the other mesh waits.
            if (!holder.Close(false))
                return cancel;
        }
        if (!holder.IsAvailable())
            holder.SetFactory(MakeShapesDialog);
        // The mesh is copied while the dialog's window and view are made.
        std::optional<cHostMeshCopy> copy;
        if (const auto* object = dynamic_cast<const CDezazMeshObject*>(mesh); object && object->Mesh())
            copy.emplace(*object->Mesh());
        if (!holder.Open(DezazApp().MainWnd()))
            return failure;

        wchar_t caption[128];
        std::swprintf(caption, 128, L"%ls %ls", vtl::kPlugInName, ThePlugIn().PlugInVersion());
        SetWindowTextW(holder.Dialog()->DialogWindow(), caption);
        auto* tool = dynamic_cast<IShapesTool*>(holder.Dialog());
        const CDezazObjRef ref(mesh);
        if (!tool || !tool->LoadHostMesh(ref, copy ? &*copy : nullptr))
        {
            holder.Close(true);
            return failure;
        }
        tool->SetEntry(ThePlugIn().EntitiesHistory().GetOrCreate(mesh->ModelObjectId()));
        return success;
    }
};

// The shapes dialog of the plug-in's holder, with the plug-in's settings.
std::unique_ptr<IToolDialog> MakeShapesDialog()
{
    InstallShapeTransfer();
    return std::make_unique<CCreatePrimitiveDialog>(&ThePlugIn().Settings());
}

CCommand_vtl_CreatePlane theCreatePlaneCommand;

} // namespace

CDezazCommand& vtl::ShapesCommand()
{
    return theCreatePlaneCommand;
}
