// The shapes dialog's alignment: the mesh and every session are moved into
// the current shape's frame, the mesh frame keeps what was applied, and
// Reset (or closing without moving the host mesh) applies its inverse.
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/curves_page.h"
#include "plugin/dialogs/guide_curve_page.h"
#include "plugin/dialogs/sketch_page.h"

#include "core/frame_math.h"
#include "core/scene_object_container.h"
#include "modes/shapes_view.h"
#include "platform/host/dezaz_app.h"
#include "plugin/plugin_info.h"
#include "plugin/tools/sub_deviation_dlg.h"
#include "resources/shapes_dialog.h"
#include "shapes/entities_history.h"
#include "shapes/session_surface.h"
#include "shapes/shape_interfaces.h"

#include <cfloat>
#include <cmath>
#include <cstring>

namespace
{

constexpr double kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

} // namespace

bool CCreatePrimitiveDialog::IsMeshMoved() const
{
    for (int i = 0; i < 12; ++i)
        if (std::fabs(m_meshFrame[i] - kIdentity[i]) > double(FLT_EPSILON))
            return true;
    return false;
}

void CCreatePrimitiveDialog::TransformMeshAndSessions(const double m[12])
{
    // The scene moves the mesh and the shown shape; the sessions move their
    // regions, records and the objects the scene does not show.
    ISceneObject* shown = CurrentShapeObject();
    auto* curves = dynamic_cast<CSubNetworkDlg*>(m_curvesPage.get());
    // A node drag running in the network mode is put back where it began
    // before the network moves (not after, over the moved network).
    if (curves)
        curves->ReleaseNetworkHolds();
    bool inScene = false;
    {
        std::unique_ptr<cSceneObjectIterator> it(GetScene().GetObjectIterator());
        if (it)
            for (it->First(); !it->IsDone(); it->Next())
                inScene = inScene || (shown && it->Current().Get() == shown);
    }
    // The regions are the mesh's triangle centroids: they are taken from the
    // moved triangles again, not only moved beside them.
    const auto moveMesh = [this, m] { GetScene().TransformObjects(m); };
    if (const cMesh* mesh = FirstMesh(); m_entry && mesh)
        m_entry->TransformSessionsWithMesh(m, inScene ? m_session : nullptr, *mesh, moveMesh);
    else
    {
        moveMesh();
        if (m_entry)
            m_entry->TransformSessions(m, inScene ? m_session : nullptr);
    }
    // The current shape's record lists the other shapes' directions and
    // points to take from: they are listed again where the shapes now are.
    if (m_session)
        BuildReferenceLists(m_session);
    // The Sketch and Curves pages' undo copies were saved where the shapes
    // were: unmoved, an Undo would put a profile or a network back where the
    // mesh no longer is.
    if (m_sketchPage)
    {
        m_sketchPage->MoveUndoStates(m);
        m_sketchPage->MoveEditorCopies(m);
    }
    if (m_guidePage)
        m_guidePage->MoveDrawnGuide(m);
    if (auto* deviation = dynamic_cast<CSubDeviationDlg*>(m_deviationPage.get()))
        deviation->MoveLabels(m);
    if (curves)
    {
        curves->MoveUndoStates(m);
        curves->MoveDrawnCurve(m);
        curves->MoveSectionPlane(m);
    }
}

void CCreatePrimitiveDialog::OnAlignButton(UINT id)
{
    OnAlign(id);
}

void CCreatePrimitiveDialog::OnAlign(UINT buttonId)
{
    ClearAnnotation();
    ISceneObject* object = CurrentShapeObject();
    auto* geometry = object ? static_cast<ST_IGeometry*>(object->QueryInterface(IID_ST_IGeometry)) : nullptr;
    if (!geometry)
        return;
    int mode = 0, axis = 0;
    if (buttonId == IDC_SHAPES_ALIGN_ORIGIN)
    {
        if (!geometry->SupportsOperation(kGeometryMoveToOrigin))
            return;
        mode = kGeometryMoveToOrigin;
    }
    else
    {
        const int index = int(buttonId) - IDC_SHAPES_ALIGN_BOTTOM;
        if (index < 0 || index > 2)
            return;
        static constexpr int kNormalAxes[3] = {2, 0, 1};
        if (geometry->SupportsOperation(kGeometryAlignNormal))
            mode = kGeometryAlignNormal, axis = kNormalAxes[index];
        else if (geometry->SupportsOperation(kGeometryAlignAxis))
            mode = kGeometryAlignAxis, axis = index;
        else
            return;
    }
    if (m_entry && m_entry->HasProfiles())
    {
        if (DezazMessageBox(m_hWnd, kProfilesQuestion, vtl::kPlugInName, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        m_entry->ResetProfiles();
        // The user let the sketches go; an Undo must not bring one back.
        if (m_sketchPage)
            m_sketchPage->ClearUndoStates();
    }
    double frame[12];
    std::memcpy(frame, kIdentity, sizeof frame);
    geometry->GetLocalFrame(frame, mode, axis, false);
    TransformMeshAndSessions(frame);
    double accumulated[12];
    MultiplyTransform3x4(frame, accumulated, m_meshFrame);
    std::memcpy(m_meshFrame, accumulated, sizeof m_meshFrame);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_HOST_SAME_PLACE), TRUE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_RESET), TRUE);
    RefreshCurrentShape();
    // The mesh may have moved far (a scan away from the origin comes to it):
    // the view is zoomed to where it now is, as Reset does, instead of
    // showing the place it left.
    if (GetShapesView() && GetShapesView()->GetSafeHwnd())
        GetShapesView()->ZoomAll();
}

void CCreatePrimitiveDialog::OnReset()
{
    OnResetPosition();
}

void CCreatePrimitiveDialog::OnResetPosition()
{
    if (IsMeshMoved())
    {
        double inverse[12];
        std::memcpy(inverse, m_meshFrame, sizeof inverse);
        InvertRigidTransform3x4(inverse);
        TransformMeshAndSessions(inverse);
        std::memcpy(m_meshFrame, kIdentity, sizeof m_meshFrame);
    }
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_HOST_SAME_PLACE), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_RESET), FALSE);
    RefreshCurrentShape();
    if (GetShapesView() && GetShapesView()->GetSafeHwnd())
        GetShapesView()->ZoomAll();
}

void CCreatePrimitiveDialog::ReturnSessionsToHostMesh()
{
    if (!IsMeshMoved())
        return;
    double inverse[12];
    std::memcpy(inverse, m_meshFrame, sizeof inverse);
    InvertRigidTransform3x4(inverse);
    TransformMeshAndSessions(inverse);
    std::memcpy(m_meshFrame, kIdentity, sizeof m_meshFrame);
}
