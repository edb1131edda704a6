// The commands of the primitive panel's controls: the three fits, "Rebuild",
// "Clear", the preview's size, the edited rows, the direction constraints,
// "Profile Curve ..." and the mesh visibility.
#include "fitting/fit_drivers.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object_iterator.h"
#include "platform/mfc/data_exchange.h"
#include "plugin/module_state.h"
#include "plugin/tools/curve_edit_dialog.h"
#include "plugin/tools/define_primitive_dlg.h"
#include "plugin/tools/direction_object_getter.h"
#include "plugin/vtl_plugin.h"
#include "resources/primitive_panel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

// A direction closer to zero than this gives no constraint.
constexpr double kMinConstraintLengthSquared = 1e-7;

// Ends the wait cursor on every way out of a handler.
class cWaitCursor
{
public:
    explicit cWaitCursor(CCmdTarget& target) : m_target(target) { m_target.BeginWaitCursor(); }
    ~cWaitCursor() { m_target.EndWaitCursor(); }
    cWaitCursor(const cWaitCursor&) = delete;
    cWaitCursor& operator=(const cWaitCursor&) = delete;

private:
    CCmdTarget& m_target;
};

} // namespace

int CDefinePrimitiveDlg::SetCurrentPrimitive(ST_IExtracted* record)
{
    DezazApp().Print(L"\n");
    const bool changed = record != m_current;
    m_current = record;
    if (!record)
        m_tree.DeleteAllItems();
    else if (changed)
        record->BuildRows();
    else
        record->RefreshRows();
    UpdateControls();
    m_writingSize = true;
    const int result = UpdateData(FALSE);
    m_writingSize = false;
    return result;
}

ST_IExtracted* CDefinePrimitiveDlg::RecordOf(eKind kind)
{
    switch (kind)
    {
    case eKind::Plane:
        return &m_planeRecord;
    case eKind::Sphere:
        return &m_sphereRecord;
    case eKind::Cylinder:
        return &m_cylinderRecord;
    }
    return nullptr;
}

bool CDefinePrimitiveDlg::FitIntoGeometry(eKind kind)
{
    ST_IGeometry* geometry = RecordOf(kind)->GetSessionObject();
    if (!geometry)
        return false;
    double rms = 0.0;
    bool fitted = false;
    // The drivers write the primitive only when they succeed.
    switch (kind)
    {
    case eKind::Plane:
        if (auto* plane = static_cast<cPlane*>(geometry->QueryInterface(IID_cPlane)))
            fitted = ::FitPlane(m_points, *plane, rms, true, 0.0);
        break;
    case eKind::Sphere:
        if (auto* sphere = static_cast<cSphere*>(geometry->QueryInterface(IID_cSphere)))
            fitted = ::FitSphere(m_points, *sphere, rms);
        break;
    case eKind::Cylinder:
        if (auto* cylinder = static_cast<cCylinder*>(geometry->QueryInterface(IID_cCylinder)))
            // Large selections are summed on the plug-in's threads (same result).
            fitted = ::FitCylinder(m_points, *cylinder, rms, 0.0, &ThePlugIn().ThreadPool());
        break;
    }
    if (!fitted)
        return false;
    geometry->Invalidate();
    geometry->SetRms(rms);
    return true;
}

void CDefinePrimitiveDlg::FitKind(eKind kind)
{
    CollectPoints();
    if (m_points.Points().empty())
    {
        if (kind == eKind::Plane)
        {
            DezazApp().Print(L"No points to extract\n");
            SetCurrentPrimitive(nullptr);
        }
        else
        {
            SetCurrentPrimitive(nullptr);
            DezazApp().Print(L"No points to extract\n");
        }
        OnCancel();
        return;
    }
    if (kind == eKind::Cylinder)
        DezazApp().Print(L"Detecting. Please wait...\n");
    if (!FitIntoGeometry(kind))
    {
        SetCurrentPrimitive(nullptr);
        DezazApp().Print(kind == eKind::Plane    ? L"Can not fit Plane\n"
                         : kind == eKind::Sphere ? L"Can not fit Sphere\n"
                                                 : L"Can not fit Cylinder\n");
        return;
    }
    SetCurrentPrimitive(RecordOf(kind));
    UpdatePreview();
}

void CDefinePrimitiveDlg::FitPlane()
{
    FitKind(eKind::Plane);
}

void CDefinePrimitiveDlg::FitSphere()
{
    FitKind(eKind::Sphere);
}

void CDefinePrimitiveDlg::FitCylinder()
{
    FitKind(eKind::Cylinder);
}

void CDefinePrimitiveDlg::OnRebuild()
{
    Rebuild();
}

bool CDefinePrimitiveDlg::Rebuild()
{
    cWaitCursor wait(*this);
    if (!m_current || !m_current->GetSessionObject())
        return false;
    CollectPoints();
    if (m_points.Points().empty())
    {
        SetCurrentPrimitive(nullptr);
        DezazApp().Print(L"No points to extract\n");
        OnCancel();
        return false;
    }
    if (m_current->Refit(m_points, 0.0, nullptr, this) == 0)
    {
        // A result the user turned down (a sphere's radius questioned and
        // answered No) was fitted: the answer is the user's own, not a
        // failure to report.
        if (!m_current->resultTurnedDown)
            DezazApp().Print(L"Can not fit\n");
        return false;
    }
    SetCurrentPrimitive(m_current);
    UpdatePreview();
    return true;
}

void CDefinePrimitiveDlg::OnPropertyChanged(NMHDR* header, LRESULT* result)
{
    if (result)
        *result = 0;
    auto* notify = reinterpret_cast<NMPROPTREE*>(header);
    CPropTreeItem* item = notify ? notify->pItem : nullptr;
    if (item && m_current && m_current->CommitRow(item))
        OnRebuild();
}

void CDefinePrimitiveDlg::OnHScroll(UINT code, UINT position, CScrollBar* bar)
{
    // The drag already moved the size; the closing notifications add nothing.
    if (code == SB_THUMBPOSITION || code == SB_ENDSCROLL)
        return;
    ReadSizeFromSlider();
    UpdatePreview();
    CDezazUiDockBarDialog::OnHScroll(code, position, bar);
}

void CDefinePrimitiveDlg::SetSliderFromSize()
{
    if (!m_slider.GetSafeHwnd())
        return;
    // Limited in double before the conversion, so that no typed size can
    // overflow the position.
    const double position = std::clamp(std::trunc(m_size * 100.0), 0.0, double(kPrimitiveSizeSliderMax));
    m_slider.SetPos(static_cast<int>(position));
}

void CDefinePrimitiveDlg::OnSizeEditChange()
{
    // The panel's own writes of the size (after a slider step) are no typing:
    // read back, they would set the slider one step short of where it is.
    if (m_writingSize)
        return;
    CWnd* edit = GetDlgItem(IDC_PRIMITIVE_SIZE_EDIT);
    if (!edit)
        return;
    CString text;
    edit->GetWindowText(text);
    // Half-typed text ("", "-", "1e") is left alone until it is a number.
    const std::optional<double> value = mfc::ParseDouble(std::wstring_view(text.GetString()));
    if (!value)
        return;
    m_size = *value;
    SetSliderFromSize();
    UpdatePreview();
}

void CDefinePrimitiveDlg::OnSizeEditKillFocus()
{
    CWnd* edit = GetDlgItem(IDC_PRIMITIVE_SIZE_EDIT);
    if (!edit)
        return;
    CString text;
    edit->GetWindowText(text);
    // Text that never became a number gives way to the size in use.
    if (!mfc::ParseDouble(std::wstring_view(text.GetString())))
        WriteSizeToEdit();
}

void CDefinePrimitiveDlg::OnClear()
{
    m_conduit.SetObject(nullptr);
    DezazApp().ActiveDoc().Regen();
    DeletePreview();
    SetCurrentPrimitive(nullptr);
}

bool CDefinePrimitiveDlg::PickDirection(bool parallel)
{
    CDzGetDirectoinObject go;
    go.SetCommandPrompt(L"Select surface or line");
    go.SetGeometryFilter(CDezazGetObject::curve_object | CDezazGetObject::surface_object);
    go.EnablePreSelect(false, true);
    if (go.GetObjects(1, 1) != CDezazGet::object || go.ObjectCount() != 1)
        return false;

    double direction[3] = {FLT_MAX, 0.0, 0.0};
    bool isPlane = false;
    ReferenceDirectionOf(go.Object(0).Geometry(), direction, isPlane);
    auto isSet = [&] { return std::fabs(static_cast<float>(direction[0]) - FLT_MAX) >= FLT_EPSILON; };
    ST_IGeometry* geometry = m_current ? m_current->GetSessionObject() : nullptr;
    if (isSet() && geometry)
    {
        double constrained[3] = {0.0, 0.0, 0.0};
        if (parallel)
            geometry->ConstrainParallel(constrained, direction, isPlane);
        else
            geometry->ConstrainPerpendicular(constrained, direction, isPlane);
        std::copy(constrained, constrained + 3, direction);
    }
    const double lengthSquared =
        direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2];
    if (!isSet() || !(lengthSquared > kMinConstraintLengthSquared))
        return false;
    // The refit keeps the primitive's direction (a plane's normal, a
    // cylinder's axis) at the constrained one; a sphere has none to keep.
    if (m_current)
    {
        const double length = std::sqrt(lengthSquared);
        const double unit[3] = {direction[0] / length, direction[1] / length, direction[2] / length};
        m_current->RunRowAction(unit);
    }
    // A refit that fails keeps the primitive as it was, so its rows go back
    // to it too: left "Custom" with the picked direction, they would show a
    // direction the primitive does not have (and the next Rebuild would
    // take it).
    if (!Rebuild() && m_current)
        m_current->BuildRows();
    return true;
}

void CDefinePrimitiveDlg::OnPerpendicular()
{
    PickDirection(false);
}

void CDefinePrimitiveDlg::OnParallel()
{
    PickDirection(true);
}

void CDefinePrimitiveDlg::OnProfileCurve()
{
    // The dialog's template is the plug-in's.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CCurveEditDialog dialog(this);
    dialog.DoModal();
}

void CDefinePrimitiveDlg::ShowAllMeshes(bool show)
{
    CDezazDoc& doc = DezazApp().ActiveDoc();
    CDezazObjectIterator it(doc, dezaz_normal_objects | dezaz_locked_objects | dezaz_hidden_objects,
                            dezaz_active_objects | dezaz_reference_objects);
    it.SetObjectFilter(static_cast<unsigned>(DezazObjectType::mesh));
    int changed = 0;
    for (const CDezazObject* object = it.First(); object; object = it.Next())
    {
        const bool hidden = object->Attributes().Mode() == ON_3dmObjectAttributes::object_mode::hidden_object;
        if (show == hidden && (show ? doc.ShowObject(CDezazObjRef(object)) : doc.HideObject(CDezazObjRef(object))))
            ++changed;
    }
    if (changed > 0)
        doc.Redraw();
}

void CDefinePrimitiveDlg::OnHideAllMeshes()
{
    ShowAllMeshes(false);
}

void CDefinePrimitiveDlg::OnShowAllMeshes()
{
    ShowAllMeshes(true);
}
