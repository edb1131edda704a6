#include "plugin/dialogs/curve_option_panels.h"

#include "core/profiled_surface.h"
#include "core/registry_store.h"
#include "core/section_curve_classes.h"
#include "modes/curve_network_operations.h"
#include "modes/shapes_view.h"
#include "plugin/dialogs/curve_setting_values.h"
#include "plugin/dialogs/curves_page.h"
#include "plugin/dialogs/image_button_row.h"
#include "plugin/dialogs/section_curve_guide.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "resources/curves.h"
#include "resources/pictures.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cwchar>

namespace
{

constexpr const wchar_t* kPreferences = L"Preferences";

void WriteSettingText(cRegistryStore* store, const wchar_t* name, const wchar_t* text)
{
    if (store)
        store->WriteValue(kPreferences, name, REG_SZ, text, DWORD((std::wcslen(text) + 1) * 2));
}

void WriteSettingFloat(cRegistryStore* store, const wchar_t* name, double value)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%g", value);
    WriteSettingText(store, name, text);
}

// A stored length read into the field; a value out of range (or not finite)
// leaves the default.
void ReadLengthSetting(cRegistryStore* store, const wchar_t* name, float& field)
{
    float value = field;
    if (store && store->ReadFloat(kPreferences, name, &value) && std::isfinite(value) && value > 0.0f &&
        value <= kMaxSectionLength)
        field = value;
}

void ReadFlagSetting(cRegistryStore* store, const wchar_t* name, int& field)
{
    int value = 0;
    if (store && store->ReadInt(kPreferences, name, &value))
        field = value != 0 ? 1 : 0;
}

bool IsStacked(cCPView* view, std::uint32_t id)
{
    return view && view->FindMode(id) != nullptr;
}

void SetPressed(CWnd* panel, int id, bool pressed)
{
    if (HWND item = panel ? ::GetDlgItem(panel->GetSafeHwnd(), id) : nullptr)
    {
        ::SendMessageW(item, BM_SETCHECK, pressed ? BST_CHECKED : BST_UNCHECKED, 0);
        ::InvalidateRect(item, nullptr, TRUE);
    }
}

} // namespace

CCurvesPanelBase::CCurvesPanelBase(UINT templateId, CSubNetworkDlg* page)
    : CSubDlgBase(templateId, page ? page->Owner() : nullptr, page ? page->View() : nullptr), m_page(page)
{
}

bool CCurvesPanelBase::CreatePanel(CWnd* parent)
{
    return Create(TemplateId(), parent) != FALSE;
}

CString CCurvesPanelBase::EditText(int id) const
{
    wchar_t text[128] = L"";
    if (m_hWnd)
        ::GetDlgItemTextW(m_hWnd, id, text, 128);
    return CString(text);
}

CString CCurvesPanelBase::NumberText(double value)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%g", value);
    return CString(text);
}

void CCurvesPanelBase::SetEditNumber(int id, double value)
{
    if (m_hWnd)
        ::SetDlgItemTextW(m_hWnd, id, NumberText(value));
}

// Section panel.

BEGIN_MESSAGE_MAP(CDSubInteractiveSection, CCurvesPanelBase)
ON_COMMAND(IDC_SECTION_ALIGN_BOTTOM, &CDSubInteractiveSection::OnAlignBottom)
ON_COMMAND(IDC_SECTION_ALIGN_RIGHT, &CDSubInteractiveSection::OnAlignRight)
ON_COMMAND(IDC_SECTION_ALIGN_FRONT, &CDSubInteractiveSection::OnAlignFront)
ON_COMMAND(IDC_SECTION_ACCEPT, &CDSubInteractiveSection::AcceptSections)
ON_COMMAND(IDC_SECTION_SELECTION_ONLY, &CDSubInteractiveSection::OnSectionOptionChanged)
ON_COMMAND(IDC_SECTION_TOLERANCED, &CDSubInteractiveSection::OnSectionOptionChanged)
ON_COMMAND(IDC_SECTION_WITH_POINTS, &CDSubInteractiveSection::OnSectionOptionChanged)
ON_CONTROL(EN_KILLFOCUS, IDC_SECTION_POINTS, &CDSubInteractiveSection::OnPointsKillFocus)
ON_COMMAND(IDC_SECTION_INTERACTIVE, &CDSubInteractiveSection::OnInteractiveSectionPlane)
ON_COMMAND(IDC_SECTION_MERGE, &CDSubInteractiveSection::OnMergeCurves)
ON_CONTROL(EN_KILLFOCUS, IDC_SECTION_MERGE_TOLERANCE, &CDSubInteractiveSection::OnMergeToleranceKillFocus)
ON_COMMAND(IDC_SECTION_MULTI, &CDSubInteractiveSection::OnMultisections)
ON_CONTROL(EN_KILLFOCUS, IDC_SECTION_SPACING, &CDSubInteractiveSection::OnSpacingKillFocus)
ON_COMMAND(IDC_SECTION_PREVIEW, &CDSubInteractiveSection::OnPreview)
ON_CONTROL(EN_KILLFOCUS, IDC_SECTION_POSITION, &CDSubInteractiveSection::OnPositionKillFocus)
ON_CONTROL(EN_KILLFOCUS, IDC_SECTION_TOLERANCE, &CDSubInteractiveSection::OnToleranceKillFocus)
ON_COMMAND(IDC_SECTION_CURVE_GUIDED, &CDSubInteractiveSection::OnCurveGuidedSectionPlane)
END_MESSAGE_MAP()

CDSubInteractiveSection::CDSubInteractiveSection(CSubNetworkDlg* page)
    : CCurvesPanelBase(IDD_CURVES_SECTION_PANEL, page)
{
}

void CDSubInteractiveSection::DoDataExchange(CDataExchange* dx)
{
    DDX_Check(dx, IDC_SECTION_SELECTION_ONLY, throughSelectionOnly);
    DDX_Radio(dx, IDC_SECTION_TOLERANCED, buildMode);
    DDX_Check(dx, IDC_SECTION_MERGE, mergeCurves);
    DDX_Check(dx, IDC_SECTION_MULTI, multisections);
    if (!dx->m_bSaveAndValidate)
    {
        SetEditNumber(IDC_SECTION_TOLERANCE, sectionTolerance);
        SetEditNumber(IDC_SECTION_POINTS, pointsPerCurve);
        SetEditNumber(IDC_SECTION_MERGE_TOLERANCE, mergeTolerance);
        SetEditNumber(IDC_SECTION_SPACING, spacing);
        SetEditNumber(IDC_SECTION_POSITION, position);
    }
}

void CDSubInteractiveSection::ReadCheckStates()
{
    UpdateData(TRUE);
}

BOOL CDSubInteractiveSection::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    cRegistryStore* store = m_page ? m_page->Settings() : nullptr;
    ReadLengthSetting(store, L"SectionPlaneTolerance", sectionTolerance);
    ReadFlagSetting(store, L"SectionPlaneMergeCurves", mergeCurves);
    ReadLengthSetting(store, L"SectionPlaneMergeTolerance", mergeTolerance);
    ReadLengthSetting(store, L"SectionPlaneMultipleSectionsSpacing", spacing);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SECTION_MERGE_TOLERANCE), mergeCurves != 0);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SECTION_SPACING), multisections != 0);
    SetUnitLabels();
    const int buttons[5] = {IDC_SECTION_ALIGN_BOTTOM, IDC_SECTION_ALIGN_RIGHT, IDC_SECTION_ALIGN_FRONT,
                            IDC_SECTION_INTERACTIVE, IDC_SECTION_CURVE_GUIDED};
    const UINT icons[5] = {IDI_PIC_ALIGN_BOTTOM, IDI_PIC_ALIGN_RIGHT, IDI_PIC_ALIGN_FRONT, IDI_PIC_INTERACTIVE_SECTION,
                           IDI_PIC_CURVE_GUIDED_SECTION};
    for (std::size_t i = 0; i < m_imageButtons.size(); ++i)
        SetupImageButton(m_imageButtons[i], this, buttons[i], icons[i], false);
    LayOutImageButtonRow(m_hWnd, buttons, 5);
    if (CreateToolTip())
    {
        const std::pair<int, const wchar_t*> tips[] = {
            {IDC_SECTION_ALIGN_BOTTOM, L"Align to Bottom Plane "},
            {IDC_SECTION_ALIGN_RIGHT, L"Align to Right Plane "},
            {IDC_SECTION_ALIGN_FRONT, L"Align to Front Plane "},
            {IDC_SECTION_INTERACTIVE, L"Interactive Section Plane"},
            {IDC_SECTION_CURVE_GUIDED, L"Curve guided Section Plane"}};
        for (const auto& [id, text] : tips)
            if (CWnd* button = GetDlgItem(id))
                m_tooltip.AddTool(button, text);
        m_tooltip.Activate(TRUE);
    }
    UpdateData(FALSE);
    return TRUE;
}

void CDSubInteractiveSection::SetUnitLabels()
{
    const wchar_t* unit = m_page && m_page->Owner() ? m_page->Owner()->GetUnitText() : L"";
    for (int id : {IDC_SECTION_UNIT1, IDC_SECTION_UNIT2, IDC_SECTION_UNIT3, IDC_SECTION_UNIT4})
        ::SetDlgItemTextW(m_hWnd, id, unit);
}

void CDSubInteractiveSection::Align(int button, float x, float y, float z)
{
    if (IsStacked(View(), kModeSectionPlanePicker))
        View()->EndModeById(kModeSectionPlanePicker);
    if (IsStacked(View(), kModeGuidingCurvePicker))
        View()->EndModeById(kModeGuidingCurvePicker);
    ST_CInteractiveSectionPlane& plane = *m_page->SectionPlane();
    plane.SetSectionCurve(nullptr);
    plane.SetNormal({x, y, z});
    for (int id : {IDC_SECTION_ALIGN_BOTTOM, IDC_SECTION_ALIGN_RIGHT, IDC_SECTION_ALIGN_FRONT})
        SetPressed(this, id, id == button);
    UpdatePositionField();
    m_page->Recompute();
}

void CDSubInteractiveSection::OnAlignBottom() { Align(IDC_SECTION_ALIGN_BOTTOM, 0.0f, 0.0f, 1.0f); }
void CDSubInteractiveSection::OnAlignRight() { Align(IDC_SECTION_ALIGN_RIGHT, 1.0f, 0.0f, 0.0f); }
void CDSubInteractiveSection::OnAlignFront() { Align(IDC_SECTION_ALIGN_FRONT, 0.0f, 1.0f, 0.0f); }

void CDSubInteractiveSection::OnInteractiveSectionPlane()
{
    if (!View())
        return;
    if (IsStacked(View(), kModeGuidingCurvePicker))
        View()->EndModeById(kModeGuidingCurvePicker);
    if (IsStacked(View(), kModeSectionPlanePicker))
        View()->EndModeById(kModeSectionPlanePicker);
    else
        View()->StartToolMode(kModeSectionPlanePicker, nullptr);
    UpdateModeButtons();
}

void CDSubInteractiveSection::OnCurveGuidedSectionPlane()
{
    if (!View())
        return;
    if (IsStacked(View(), kModeGuidingCurvePicker))
        View()->EndModeById(kModeGuidingCurvePicker);
    else
        View()->StartToolMode(kModeGuidingCurvePicker, nullptr);
    UpdateModeButtons();
}

void CDSubInteractiveSection::UpdateModeButtons()
{
    SetPressed(this, IDC_SECTION_INTERACTIVE, IsStacked(View(), kModeSectionPlanePicker));
    SetPressed(this, IDC_SECTION_CURVE_GUIDED, IsStacked(View(), kModeGuidingCurvePicker));
}

double CDSubInteractiveSection::PlanePosition() const
{
    const ST_CInteractiveSectionPlane& plane = *m_page->SectionPlane();
    const cSectionCurveGuide guide(plane.GetSectionCurve());
    if (guide.IsUsable())
        return guide.GetLengthBetween(0.0, m_page->GetGuideParameter());
    // The plane's signed distance from the origin along its normal, which
    // may be stored at any length.
    const cPlane& p = plane.GetPlane();
    const double length =
        std::sqrt(p.normal[0] * p.normal[0] + p.normal[1] * p.normal[1] + p.normal[2] * p.normal[2]);
    return length > 0.0 ? -p.d / length : 0.0;
}

void CDSubInteractiveSection::UpdatePositionField()
{
    position = float(PlanePosition());
    SetEditNumber(IDC_SECTION_POSITION, position);
}

void CDSubInteractiveSection::OnPositionKillFocus()
{
    const CString text = EditText(IDC_SECTION_POSITION);
    // The field shows the position rounded: the text of where the plane is,
    // left as it was (tabbing through the panel), leaves the plane there.
    // Typed over, even as shown, it is the position the user asks for.
    const HWND edit = ::GetDlgItem(m_hWnd, IDC_SECTION_POSITION);
    const bool edited = edit && ::SendMessageW(edit, EM_GETMODIFY, 0, 0) != 0;
    if (edit)
        ::SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    if (!edited && text == NumberText(float(PlanePosition())))
        return;
    double typed = 0.0;
    if (!ParseFiniteNumber(text, &typed) || std::fabs(typed) > 1e30)
    {
        SetEditNumber(IDC_SECTION_POSITION, position);
        return;
    }
    position = float(typed);
    ST_CInteractiveSectionPlane& plane = *m_page->SectionPlane();
    const cSectionCurveGuide guide(plane.GetSectionCurve());
    if (plane.GetSectionCurve())
    {
        // Along a guiding curve the position is a length along it.
        double t = 0.0, point[3], tangent[3];
        // A length off the guide moves nothing: the field shows the plane
        // where it stays.
        if (!guide.GetParameterAtLength(position, FLT_EPSILON, t) || !guide.Evaluate(t, point, tangent))
        {
            UpdatePositionField();
            return;
        }
        plane.MoveTo({float(point[0]), float(point[1]), float(point[2])});
        plane.SetNormal({float(tangent[0]), float(tangent[1]), float(tangent[2])});
        m_page->SetGuideParameter(t);
        if (!multisections)
            m_page->Recompute();
        return;
    }
    const cPlane& p = plane.GetPlane();
    const double length = std::sqrt(p.normal[0] * p.normal[0] + p.normal[1] * p.normal[1] + p.normal[2] * p.normal[2]);
    if (!(length > 0.0))
        return;
    const double n[3] = {p.normal[0] / length, p.normal[1] / length, p.normal[2] / length};
    const double o[3] = {p.origin[0], p.origin[1], p.origin[2]};
    // Along the normal to the typed signed distance from the origin.
    const double shift = position - (n[0] * o[0] + n[1] * o[1] + n[2] * o[2]);
    if (!plane.MoveTo({float(o[0] + shift * n[0]), float(o[1] + shift * n[1]), float(o[2] + shift * n[2])}))
        return;
    if (!multisections)
        m_page->Recompute();
}

void CDSubInteractiveSection::OnSectionOptionChanged()
{
    ReadCheckStates();
    m_page->Recompute();
}

void CDSubInteractiveSection::OnPreview()
{
    m_page->Recompute();
}

void CDSubInteractiveSection::OnPointsKillFocus()
{
    ParseClampedCount(EditText(IDC_SECTION_POINTS), 2, kMaxSectionCurvePoints, &pointsPerCurve);
    SetEditNumber(IDC_SECTION_POINTS, pointsPerCurve);
}

void CDSubInteractiveSection::OnMergeCurves()
{
    ReadCheckStates();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SECTION_MERGE_TOLERANCE), mergeCurves != 0);
    if (m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"SectionPlaneMergeCurves", mergeCurves ? 1 : 0);
    if (!multisections)
        m_page->Recompute();
}

void CDSubInteractiveSection::OnMultisections()
{
    ReadCheckStates();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SECTION_SPACING), multisections != 0);
    if (!multisections)
        m_page->Recompute();
}

void CDSubInteractiveSection::ReadLength(int id, float& field, const wchar_t* setting)
{
    if (ParsePositiveLength(EditText(id), &field))
        WriteSettingFloat(m_page->Settings(), setting, field);
    SetEditNumber(id, field);
}

void CDSubInteractiveSection::OnToleranceKillFocus()
{
    ReadLength(IDC_SECTION_TOLERANCE, sectionTolerance, L"SectionPlaneTolerance");
}

void CDSubInteractiveSection::OnMergeToleranceKillFocus()
{
    ReadLength(IDC_SECTION_MERGE_TOLERANCE, mergeTolerance, L"SectionPlaneMergeTolerance");
}

void CDSubInteractiveSection::OnSpacingKillFocus()
{
    ReadLength(IDC_SECTION_SPACING, spacing, L"SectionPlaneMultipleSectionsSpacing");
}

void CDSubInteractiveSection::AcceptSections()
{
    if (ST_IProfiledSurface* network = m_page->CurrentNetwork())
    {
        ST_ISectionCurve* container = network->GetProfileCurve();
        if (!container || container->GetClassGuid() != CLSID_ST_TSketch)
        {
            m_page->ReleaseNetworkHolds();
            container = EnsureNetworkSketch(*network);
        }
        bool pushed = false;
        if (container && container->GetClassGuid() == CLSID_ST_TSketch)
            for (const tFramePolyline<cVertex>& polyline : m_page->PreviewPolylines().items)
            {
                if (polyline.IsEmpty())
                    continue;
                tPolyline<cVertex> points(polyline);
                std::unique_ptr<ST_ISectionCurve> spline = network->CreateCurveByClassGuid(CLSID_ST_TSplineCurve);
                const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
                if (!spline || !spline->FitToPolyline(identity, points, 0.0, 0))
                    continue;
                if (!pushed)
                {
                    m_page->PushUndoState();
                    pushed = true;
                }
                if (container->AddCurve(spline.get()) != 0xFFFFFFFFu)
                    spline.release();
            }
    }
    m_page->ClearPreview();
    m_page->EnterModifyCurves();
}

// Modify panel.

BEGIN_MESSAGE_MAP(CDSubModifyCurves, CCurvesPanelBase)
ON_COMMAND(IDC_MODIFY_CLEAR_ALL, &CDSubModifyCurves::OnClearAllCurves)
ON_COMMAND(IDC_MODIFY_PRESERVE_G1, &CDSubModifyCurves::OnPreserveG1)
ON_CONTROL(EN_KILLFOCUS, IDC_MODIFY_ANGLE, &CDSubModifyCurves::OnTangencyAngleKillFocus)
ON_COMMAND(IDC_MODIFY_SELECT_ALL, &CDSubModifyCurves::OnSelectAll)
ON_COMMAND(IDC_MODIFY_FIT_ON_MESH, &CDSubModifyCurves::OnFitOnMesh)
ON_COMMAND(IDC_MODIFY_KEEP_PROJECTED, &CDSubModifyCurves::OnKeepProjected)
END_MESSAGE_MAP()

CDSubModifyCurves::CDSubModifyCurves(CSubNetworkDlg* page) : CCurvesPanelBase(IDD_CURVES_MODIFY_PANEL, page)
{
}

void CDSubModifyCurves::DoDataExchange(CDataExchange* dx)
{
    DDX_Check(dx, IDC_MODIFY_PRESERVE_G1, preserveG1);
    DDX_Check(dx, IDC_MODIFY_KEEP_PROJECTED, keepProjected);
    if (!dx->m_bSaveAndValidate)
        SetEditNumber(IDC_MODIFY_ANGLE, tangencyAngle);
}

BOOL CDSubModifyCurves::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    cRegistryStore* store = m_page ? m_page->Settings() : nullptr;
    float angle = tangencyAngle;
    if (store && store->ReadFloat(kPreferences, L"TangencyCreaseAngle", &angle) && std::isfinite(angle) &&
        angle >= 0.0f && angle <= 180.0f)
        tangencyAngle = angle;
    ReadFlagSetting(store, L"EnableTangencyControl", preserveG1);
    ReadFlagSetting(store, L"KeepProjected", keepProjected);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_MODIFY_FIT_ON_MESH), SW_HIDE);
    UpdateData(FALSE);
    OnKeepProjected();
    return TRUE;
}

void CDSubModifyCurves::ApplyPreserveG1()
{
    for (int id : {IDC_MODIFY_ANGLE, IDC_MODIFY_ANGLE_UNIT})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), preserveG1 != 0);
    if (m_page && m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"EnableTangencyControl", preserveG1 ? 1 : 0);
}

void CDSubModifyCurves::OnPreserveG1()
{
    UpdateData(TRUE);
    ApplyPreserveG1();
    SendToView(ID_CURVES_TANGENCY, false);
}

void CDSubModifyCurves::TogglePreserveG1()
{
    preserveG1 = preserveG1 ? 0 : 1;
    if (m_hWnd)
        UpdateData(FALSE);
    ApplyPreserveG1();
    SendToView(ID_CURVES_TANGENCY, false);
}

void CDSubModifyCurves::ToggleKeepProjected()
{
    keepProjected = keepProjected ? 0 : 1;
    if (m_hWnd)
        UpdateData(FALSE);
    if (m_page && m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"KeepProjected", keepProjected ? 1 : 0);
}

void CDSubModifyCurves::OnTangencyAngleKillFocus()
{
    const float old = tangencyAngle;
    if (ParseTangencyAngle(EditText(IDC_MODIFY_ANGLE), &tangencyAngle))
        WriteSettingFloat(m_page->Settings(), L"TangencyCreaseAngle", tangencyAngle);
    SetEditNumber(IDC_MODIFY_ANGLE, tangencyAngle);
    if (std::fabs(tangencyAngle - old) > FLT_EPSILON)
        SendToView(ID_CURVES_TANGENCY, false);
}

void CDSubModifyCurves::OnKeepProjected()
{
    UpdateData(TRUE);
    if (m_page && m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"KeepProjected", keepProjected ? 1 : 0);
}

void CDSubModifyCurves::OnSelectAll()
{
    if (ST_IProfiledSurface* network = m_page->CurrentNetwork())
        if (ST_ISectionCurve* container = network->GetProfileCurve())
            for (std::uint32_t i = 0; i < container->GetSegmentCount(); ++i)
                if (ST_ISectionCurve* curve = container->GetSegment(i))
                    curve->selected = 1;
    if (View() && View()->GetSafeHwnd())
    {
        ::InvalidateRect(View()->GetSafeHwnd(), nullptr, TRUE);
        ::SetFocus(View()->GetSafeHwnd());
    }
}

void CDSubModifyCurves::OnFitOnMesh()
{
    SendToView(ID_CURVES_FIT_ON_MESH, false);
}

void CDSubModifyCurves::OnClearAllCurves()
{
    if (::MessageBoxW(m_hWnd, L"Are you sure you want to delete all curves?", nullptr, MB_YESNO | MB_ICONQUESTION) ==
        IDNO)
        return;
    m_page->ClearAllCurves();
}

// Add panel.

BEGIN_MESSAGE_MAP(CDSubAddCurves, CCurvesPanelBase)
ON_CONTROL(EN_KILLFOCUS, IDC_ADD_POINTS, &CDSubAddCurves::OnSubSectionsKillFocus)
ON_COMMAND(IDC_ADD_SUB_SAMPLING, &CDSubAddCurves::OnSubSampling)
ON_CONTROL(EN_CHANGE, IDC_ADD_POINTS, &CDSubAddCurves::OnSubSectionsChange)
END_MESSAGE_MAP()

CDSubAddCurves::CDSubAddCurves(CSubNetworkDlg* page) : CCurvesPanelBase(IDD_CURVES_ADD_PANEL, page) {}

void CDSubAddCurves::DoDataExchange(CDataExchange* dx)
{
    DDX_Check(dx, IDC_ADD_SUB_SAMPLING, subSampling);
    if (!dx->m_bSaveAndValidate)
        SetEditNumber(IDC_ADD_POINTS, pointCount);
}

BOOL CDSubAddCurves::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    cRegistryStore* store = m_page ? m_page->Settings() : nullptr;
    int count = pointCount;
    if (store && store->ReadInt(kPreferences, L"SubSections", &count))
        pointCount = std::clamp<std::int32_t>(count, 1, kMaxSubSectionPoints);
    ReadFlagSetting(store, L"Enable SubSections", subSampling);
    UpdateData(FALSE);
    OnSubSampling();
    return TRUE;
}

void CDSubAddCurves::OnSubSampling()
{
    UpdateData(TRUE);
    for (int id : {IDC_ADD_POINTS, IDC_ADD_POINTS_LABEL})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), subSampling != 0);
    if (m_page && m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"Enable SubSections", subSampling ? 1 : 0);
}

void CDSubAddCurves::ToggleSubSampling()
{
    subSampling = subSampling ? 0 : 1;
    if (m_hWnd)
    {
        UpdateData(FALSE);
        OnSubSampling();
    }
    else if (m_page && m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"Enable SubSections", subSampling ? 1 : 0);
}

void CDSubAddCurves::OnSubSectionsKillFocus()
{
    ParseClampedCount(EditText(IDC_ADD_POINTS), 1, kMaxSubSectionPoints, &pointCount);
    SetEditNumber(IDC_ADD_POINTS, pointCount);
    if (m_page && m_page->Settings())
        m_page->Settings()->WriteInt(kPreferences, L"SubSections", pointCount);
}

void CDSubAddCurves::OnSubSectionsChange()
{
    // While typing the count is only kept in range; it is shown and stored
    // when the edit loses the focus.
    ParseClampedCount(EditText(IDC_ADD_POINTS), 1, kMaxSubSectionPoints, &pointCount);
}
