// "vtlShapes": picks a mesh and opens the shapes dialog on it.
#include "plugin/vtl_plugin.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_command.h"
#include "platform/host/dezaz_get_object.h"

namespace
{

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
            DezazApp().Print(L"The function works only intereactivelly");
            return success;
        }
        CDezazGetObject go;
        go.SetCommandPrompt(L"Select mesh");
        go.SetGeometryFilter(CDezazGetObject::mesh_object);
        go.EnablePreSelect(true);
        const CDezazGet::result picked = go.GetObjects(1, 1);
        if (picked == CDezazGet::cancel)
            return cancel;
        if (picked != CDezazGet::object || !go.Object(0).Mesh())
            return nothing;
        ThePlugIn().ShapesDialog().Open(DezazApp().MainWnd());
        return success;
    }
};

CCommand_vtl_CreatePlane theCreatePlaneCommand;

} // namespace
