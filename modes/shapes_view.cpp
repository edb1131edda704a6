#include "modes/shapes_view.h"

#include "core/mesh_triangle.h"
#include "core/section_curve.h"
#include "core/scene_object.h"
#include "modes/mode_support.h"
#include "modes/profile_edit_mode.h"
#include "modes/shapes_view_owner.h"
#include "modes/surface_extension_mode.h"
#include "overlay/view_3d_overlay.h"
#include "platform/host/script_view_points.h"

#include <array>
#include <new>

namespace
{

constexpr std::array<std::uint32_t, 7> kToolModeIds = {kModeDeviation,   kModeExtendSurface,      kModeDrawCurveOnMesh,
                                                       kModeEditProfile, kModeEditNetwork,        kModeSectionPlanePicker,
                                                       kModeGuidingCurvePicker};

std::array<ShapesViewModeMaker, 7>& Makers()
{
    static std::array<ShapesViewModeMaker, 7> makers{};
    return makers;
}

int ToolModeIndex(std::uint32_t id)
{
    for (std::size_t i = 0; i < kToolModeIds.size(); ++i)
        if (kToolModeIds[i] == id)
            return int(i);
    return -1;
}

} // namespace

bool IsShapesViewToolMode(std::uint32_t id)
{
    return ToolModeIndex(id) >= 0;
}

ShapesViewModeMaker SetShapesViewModeMaker(std::uint32_t id, ShapesViewModeMaker maker)
{
    const int index = ToolModeIndex(id);
    if (index < 0)
        return nullptr;
    ShapesViewModeMaker old = Makers()[std::size_t(index)];
    Makers()[std::size_t(index)] = maker;
    return old;
}

cCPView::cCPView(CWnd* ownerWindow, IShapesViewOwner* owner) : m_ownerWindow(ownerWindow), m_owner(owner)
{
    SetScreenObjectManager(std::make_unique<C3DViewOverlay>(this));
    BuildToolbar();
    BuildAnnotations();
}

cCPView::Mode* cCPView::CreateModeById(std::uint32_t id, std::uint32_t temporary, IBase* initial)
{
    const int index = ToolModeIndex(id);
    if (index < 0)
        return cPopupView::CreateMode(id, temporary, 0);
    m_currentToolModeId = id;
    if (id == kModeExtendSurface)
        return new (std::nothrow) CUIM_ExtendSurface(id, temporary, initial, this);
    if (ShapesViewModeMaker maker = Makers()[std::size_t(index)])
        return maker(id, temporary, initial, this);
    return nullptr;
}

cCPView::Mode* cCPView::CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra)
{
    return CreateModeById(id, temporary, reinterpret_cast<IBase*>(extra));
}

bool cCPView::CanCreateToolMode(std::uint32_t id) const
{
    const int index = ToolModeIndex(id);
    return index >= 0 && (id == kModeExtendSurface || Makers()[std::size_t(index)] != nullptr);
}

bool cCPView::StartToolMode(std::uint32_t id, IBase* initial)
{
    if (!CanCreateToolMode(id) || !GetSafeHwnd())
        return false;
    SetModeById(id, 0, reinterpret_cast<LPARAM>(initial));
    return GetActiveMode() && GetActiveMode()->GetId() == id;
}

LRESULT cCPView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    static const UINT planePoint = RegisterWindowMessageW(kScriptPlanePointMessage);
    if (message != planePoint)
        return cP3DView::WindowProc(message, wParam, lParam);
    auto* request = reinterpret_cast<stScriptPlanePoint*>(lParam);
    auto* editor = dynamic_cast<CUIM_EditProfile*>(FindMode(kModeEditProfile));
    ST_ISectionCurve* sketch = editor ? editor->GetActiveProfile() : nullptr;
    if (!request || !sketch)
        return 0;
    const double* f = sketch->frame;
    float local[3] = {static_cast<float>(request->x), static_cast<float>(request->y), 0.0f};
    if (request->world)
    {
        const double d[3] = {request->x - f[3], request->y - f[7], request->z - f[11]};
        for (int c = 0; c < 2; ++c)
            local[c] = static_cast<float>(f[c] * d[0] + f[4 + c] * d[1] + f[8 + c] * d[2]);
    }
    return SketchToScreenPoint(this, f, local, &request->client) ? 1 : 0;
}

void cCPView::EndToolMode(std::uint32_t id)
{
    // Modes rest only on modes of a higher level, so the first one at or
    // below its level from the bottom is the mode itself.
    if (IsShapesViewToolMode(id) && FindMode(id))
        PopToLevel(id, this);
}

UINT cCPView::GetContextMenuResource()
{
    return m_currentToolModeId == kModeDrawCurveOnMesh ? kDrawOnMeshMenu : kShapesViewMenu;
}

void cCPView::SetActiveObject(cMeshTriangle* triangle)
{
    cP3DView::SetActiveObject(triangle);
    if (!triangle)
        return;
    m_restoreFlag = SeedClickSelects(*triangle) ? 1 : 0;
    if (m_owner)
        m_owner->ReapplyMagicWand(false, true);
}

cMeshTriangle* cCPView::GetActiveObject()
{
    return AimSeedTriangle(cP3DView::GetActiveObject(), m_restoreFlag != 0);
}

ISceneObject* cCPView::QueryCurrentObjectInterface()
{
    ISceneObject* object = m_owner ? m_owner->CurrentShapeObject() : nullptr;
    if (!object)
        return nullptr;
    return static_cast<ISceneObject*>(object->QueryInterface(IID_ISceneObject));
}

void cCPView::ToggleCoordinateSystem()
{
    if (!m_owner)
        return;
    m_owner->SetDrawWorldAxes(!m_owner->DrawWorldAxes());
    RequestRedraw(1);
}
