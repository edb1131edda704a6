#include "plugin/dialogs/sketch_page.h"

#include "core/p3d_scene.h"
#include "shapes/profiled_surface.h"
#include "core/registry_store.h"
#include "shapes/scene_frame.h"
#include "shapes/sketch_curve.h"
#include "core/scene_object.h"
#include "modes/profile_edit_mode.h"
#include "modes/shapes_view.h"
#include "overlay/prop_tree_number.h"
#include "plugin/dialogs/profile_edit_panel.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "resources/pictures.h"
#include "resources/shapes_dialog.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <limits>

BEGIN_MESSAGE_MAP(CSubProfileDlg, CSubDlgBase)
ON_COMMAND(IDC_SKETCH_MESH_POINTS, &CSubProfileDlg::OnMeshPointsButton)
ON_COMMAND(IDC_SKETCH_CLEAR_ALL, &CSubProfileDlg::OnClearAllButton)
ON_COMMAND_RANGE(IDC_SKETCH_LINE, IDC_SKETCH_FREE_FORM, &CSubProfileDlg::OnToolButton)
ON_COMMAND(IDC_SKETCH_SNAPPING, &CSubProfileDlg::OnSnappingButton)
ON_COMMAND(IDC_SKETCH_CONTROL_POINTS, &CSubProfileDlg::OnControlPointsButton)
ON_CONTROL(CBN_SELCHANGE, IDC_SKETCH_SNAP_DISTANCE, &CSubProfileDlg::OnSnapDistanceChange)
ON_CONTROL(CBN_SELCHANGE, IDC_SKETCH_SNAP_ANGLE, &CSubProfileDlg::OnSnapAngleChange)
ON_CONTROL(EN_CHANGE, IDC_SKETCH_DISTANCE, &CSubProfileDlg::OnDistanceChange)
ON_CONTROL(EN_KILLFOCUS, IDC_SKETCH_DISTANCE, &CSubProfileDlg::OnDistanceKillFocus)
ON_WM_SHOWWINDOW()
END_MESSAGE_MAP()

namespace
{

constexpr const wchar_t* kSnapSection = L"Preferences";
constexpr UINT kToolButtons[5] = {IDC_SKETCH_SELECT, IDC_SKETCH_LINE, IDC_SKETCH_TANGENT_ARC, IDC_SKETCH_ARC,
                                  IDC_SKETCH_FREE_FORM};
constexpr UINT kToolIcons[5] = {IDI_PIC_MODIFY, IDI_PIC_SKETCH_LINE, IDI_PIC_TANGENT_ARC, IDI_PIC_ARC, IDI_PIC_ADD_CURVE};
constexpr const wchar_t* kToolTips[5] = {L"Select / Fit / Move", L"Line", L"Tangent Arc from 2 lines", L"Arc",
                                         L"Free form curve"};

UINT ToolCommand(UINT button)
{
    switch (button)
    {
    case IDC_SKETCH_SELECT: return kCmdProfileSelect;
    case IDC_SKETCH_LINE: return kCmdProfileLine;
    case IDC_SKETCH_TANGENT_ARC: return kCmdProfileTangentArc;
    case IDC_SKETCH_ARC: return kCmdProfileArc;
    case IDC_SKETCH_FREE_FORM: return kCmdProfileFreeForm;
    default: return 0;
    }
}

ST_IProfiledSurface* CurrentProfiledSurface(CCreatePrimitiveDialog* dialog)
{
    ISceneObject* object = dialog ? dialog->CurrentShapeObject() : nullptr;
    return object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
}

} // namespace

int ClampSnapIndex(int index)
{
    return std::clamp(index, 0, kSnapStepCount - 1);
}

CSubProfileDlg::CSubProfileDlg(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* settings)
    : CSubDlgBase(IDD_SKETCH_PAGE, owner, view), m_settings(settings)
{
    if (owner)
        m_controlPoints = owner->GetScene().m_switch2 != 0;
    RegisterProfileEditPage(this, view);
}

CSubProfileDlg::~CSubProfileDlg()
{
    UnregisterProfileEditPage(this);
    ClearUndoStates();
}

void CSubProfileDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Check(dx, IDC_SKETCH_MESH_POINTS, m_meshPoints);
    DDX_Check(dx, IDC_SKETCH_SNAPPING, m_snapping);
    DDX_Check(dx, IDC_SKETCH_CONTROL_POINTS, m_controlPoints);
    DDX_Text(dx, IDC_SKETCH_DISTANCE, m_distanceText);
}

BOOL CSubProfileDlg::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    for (UINT combo : {UINT(IDC_SKETCH_SNAP_DISTANCE), UINT(IDC_SKETCH_SNAP_ANGLE)})
        for (const wchar_t* text : kSnapStepTexts)
            SendDlgItemMessageW(m_hWnd, int(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (m_settings)
    {
        // A stored index also indexes the snap table: out of range it is
        // brought back into it.
        if (m_settings->ReadInt(kSnapSection, kSnapDistanceIndexValue, &m_snapDistanceIndex))
            m_snapDistanceIndex = ClampSnapIndex(m_snapDistanceIndex);
        if (m_settings->ReadInt(kSnapSection, kSnapAngleIndexValue, &m_snapAngleIndex))
            m_snapAngleIndex = ClampSnapIndex(m_snapAngleIndex);
    }
    m_snapDistanceIndex = ClampSnapIndex(m_snapDistanceIndex);
    m_snapAngleIndex = ClampSnapIndex(m_snapAngleIndex);
    SendDlgItemMessageW(m_hWnd, IDC_SKETCH_SNAP_DISTANCE, CB_SETCURSEL, WPARAM(m_snapDistanceIndex), 0);
    SendDlgItemMessageW(m_hWnd, IDC_SKETCH_SNAP_ANGLE, CB_SETCURSEL, WPARAM(m_snapAngleIndex), 0);
    for (std::size_t i = 0; i < m_toolButtons.size(); ++i)
        if (::GetDlgItem(m_hWnd, int(kToolButtons[i])) && m_toolButtons[i].SubclassDlgItem(kToolButtons[i], this))
        {
            m_toolButtons[i].SetWindowText(L"");
            m_toolButtons[i].SetIconFromResource(kToolIcons[i]);
        }
    m_tooltipMade = m_tooltip.Create(this) != FALSE;
    if (m_tooltipMade)
    {
        for (int i = 0; i < 5; ++i)
            if (CWnd* button = GetDlgItem(int(kToolButtons[i])))
                m_tooltip.AddTool(button, kToolTips[i]);
        m_tooltip.Activate(TRUE);
    }
    m_snapping = 1;
    SetDistanceRadiusField(-1.0, false);
    const wchar_t* unit = Owner() ? Owner()->GetUnitText() : L"";
    SetDlgItemTextW(m_hWnd, IDC_SKETCH_DISTANCE_UNIT, unit);
    SetDlgItemTextW(m_hWnd, IDC_SKETCH_SNAP_UNIT, unit);
    UpdateData(FALSE);
    PressToolButton(IDC_SKETCH_SELECT);
    return TRUE;
}

BOOL CSubProfileDlg::PreTranslateMessage(MSG* msg)
{
    if (msg && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE) &&
        ::IsChild(m_hWnd, msg->hwnd))
        if (cCPView* view = View(); view && view->GetSafeHwnd())
            ::SetFocus(view->GetSafeHwnd());
    return CSubDlgBase::PreTranslateMessage(msg);
}

void CSubProfileDlg::PressToolButton(UINT id)
{
    for (UINT button : kToolButtons)
        SendDlgItemMessageW(m_hWnd, int(button), BM_SETSTATE, button == id ? TRUE : FALSE, 0);
}

void CSubProfileDlg::OnToolButton(UINT id)
{
    const UINT command = ToolCommand(id);
    if (!command)
        return;
    PressToolButton(id);
    SendToView(command, false);
}

void CSubProfileDlg::OnShowWindow(BOOL show, UINT)
{
    if (show)
        SendToView(kCmdProfileSelect, false);
}

void CSubProfileDlg::StoreComboIndex(UINT comboId, const wchar_t* value, int& index)
{
    UpdateData(TRUE);
    const LRESULT selection = SendDlgItemMessageW(m_hWnd, int(comboId), CB_GETCURSEL, 0, 0);
    if (selection == CB_ERR)
        return;
    index = ClampSnapIndex(int(selection));
    if (m_settings)
        m_settings->WriteInt(kSnapSection, value, index);
    SendDlgItemMessageW(m_hWnd, int(comboId), CB_SETCURSEL, WPARAM(index), 0);
}

void CSubProfileDlg::OnSnapDistanceChange()
{
    StoreComboIndex(IDC_SKETCH_SNAP_DISTANCE, kSnapDistanceIndexValue, m_snapDistanceIndex);
}

void CSubProfileDlg::OnSnapAngleChange()
{
    StoreComboIndex(IDC_SKETCH_SNAP_ANGLE, kSnapAngleIndexValue, m_snapAngleIndex);
}

void CSubProfileDlg::SetDistanceRadiusField(double value, bool isDistance)
{
    const bool enable = value >= 0.0;
    SetDlgItemTextW(m_hWnd, IDC_SKETCH_DISTANCE_LABEL,
                    !enable ? L"Distance/Radius" : isDistance ? L"Distance" : L"Radius");
    for (int id : {IDC_SKETCH_DISTANCE_LABEL, IDC_SKETCH_DISTANCE, IDC_SKETCH_DISTANCE_UNIT})
        if (HWND control = ::GetDlgItem(m_hWnd, id))
            ::EnableWindow(control, enable ? TRUE : FALSE);
    if (enable)
    {
        wchar_t text[64];
        std::swprintf(text, 64, L"%.3f", value);
        m_distanceText = text;
    }
    else
        m_distanceText = L"";
    UpdateData(FALSE);
}

double CSubProfileDlg::GetDistanceRadiusValue()
{
    UpdateData(TRUE);
    // The whole text must be a number: "12,5" read as far as it goes is 12,
    // and "7mm" or "0x10" would give a length nobody typed. Anything else
    // is no value (NaN), which the editor does not apply.
    return proptree::ScanReal(static_cast<const wchar_t*>(m_distanceText))
        .value_or(std::numeric_limits<double>::quiet_NaN());
}

void CSubProfileDlg::OnDistanceChange()
{
    GetDistanceRadiusValue();
}

void CSubProfileDlg::OnDistanceKillFocus()
{
    // Only a value the user typed is applied. The editor shows a length or
    // radius to three decimals: applied as it stands, it would move the
    // element by the rounding, a line's end off the point it was drawn onto.
    const HWND edit = ::GetDlgItem(m_hWnd, IDC_SKETCH_DISTANCE);
    if (!edit || !::SendMessageW(edit, EM_GETMODIFY, 0, 0))
        return;
    ::SendMessageW(edit, EM_SETMODIFY, FALSE, 0);
    // Applied at once, to the element it was typed for: applied later, it
    // came after whatever took the focus had run (Create built the old
    // length, another tab ended the editor and the value was lost).
    cCPView* view = View();
    if (!view || !view->GetSafeHwnd() || !::IsWindowVisible(m_hWnd))
        return;
    if (auto* editor = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode()))
        editor->ApplyTypedValue(view);
}

void CSubProfileDlg::OnSnapping()
{
    UpdateData(TRUE);
    SendToView(m_snapping ? kCmdProfileSnapOn : kCmdProfileSnapOff, false);
    for (int id : {IDC_SKETCH_SNAP_DISTANCE_LABEL, IDC_SKETCH_SNAP_DISTANCE, IDC_SKETCH_SNAP_ANGLE_LABEL,
                   IDC_SKETCH_SNAP_ANGLE, IDC_SKETCH_DEG_LABEL, IDC_SKETCH_CTRL_HINT})
        if (HWND control = ::GetDlgItem(m_hWnd, id))
            ::EnableWindow(control, m_snapping ? TRUE : FALSE);
}

void CSubProfileDlg::OnMeshPoints()
{
    UpdateData(TRUE);
    if (Owner())
    {
        std::uint32_t& shown = Owner()->GetScene().m_displayWord2;
        shown = m_meshPoints ? (shown | kSectionShowMeshPoints) : (shown & ~kSectionShowMeshPoints);
    }
    if (cCPView* view = View(); view && view->GetSafeHwnd())
        view->RequestRedraw(0);
}

void CSubProfileDlg::OnCurveControlPoints()
{
    UpdateData(TRUE);
    if (Owner())
        Owner()->GetScene().m_switch2 = m_controlPoints ? 1 : 0;
    if (cCPView* view = View(); view && view->GetSafeHwnd())
        view->RequestRedraw(0);
}

void CSubProfileDlg::SetChecksFromSession()
{
    // The display checks show the scene's switches they set; snapping is
    // the page's own and the editor reads it from the check.
    if (Owner())
    {
        m_controlPoints = Owner()->GetScene().m_switch2 != 0;
        m_meshPoints = (Owner()->GetScene().m_displayWord2 & kSectionShowMeshPoints) != 0;
    }
    if (m_hWnd)
        UpdateData(FALSE);
}

void CSubProfileDlg::PushUndoState()
{
    ST_IProfiledSurface* surface = CurrentProfiledSurface(Owner());
    const ST_ISectionCurve* profile = surface ? surface->GetProfileCurve() : nullptr;
    if (profile)
        if (std::unique_ptr<ST_ISectionCurve> copy = profile->Clone())
        {
            // Clone makes an empty twin; the undo step needs the curves too.
            copy->Assign(*profile);
            m_undo.push_back(std::move(copy));
        }
}

void CSubProfileDlg::ClearUndoStates()
{
    m_undo.clear();
}

void CSubProfileDlg::MoveUndoStates(const double m[12])
{
    for (const std::unique_ptr<ST_ISectionCurve>& copy : m_undo)
        copy->Transform(m);
}

void CSubProfileDlg::MoveEditorCopies(const double m[12])
{
    if (cCPView* view = View())
        if (auto* editor = dynamic_cast<CUIM_EditProfile*>(view->FindMode(kModeEditProfile)))
            editor->MoveWithShapes(m);
}

void CSubProfileDlg::ShowSketchAsKeptForWrite(bool writing)
{
    if (cCPView* view = View())
        if (auto* editor = dynamic_cast<CUIM_EditProfile*>(view->FindMode(kModeEditProfile)))
            editor->ShowSketchAsKeptForWrite(writing);
}

std::unique_ptr<ST_ISectionCurve> CSubProfileDlg::PopUndoState()
{
    if (m_undo.empty())
        return nullptr;
    std::unique_ptr<ST_ISectionCurve> last = std::move(m_undo.back());
    m_undo.pop_back();
    return last;
}

void CSubProfileDlg::OnClearAll()
{
    ST_IProfiledSurface* surface = CurrentProfiledSurface(Owner());
    const ST_ISectionCurve* old = surface ? surface->GetProfileCurve() : nullptr;
    // A sketch with nothing drawn has nothing to clear; while it stands in
    // for the fitted profile, leaving the tab gives that profile back.
    if (!old || (old->GetClassGuid() == CLSID_ST_TSketch && old->GetSegmentCount() == 0))
        return;
    if (std::unique_ptr<ST_ISectionCurve> sketch = surface->CreateCurveByClassGuid(CLSID_ST_TSketch))
    {
        sketch->RebuildWire(old->frame, old->sections, 0.0f, nullptr);
        // The old sketch goes with its curves: the profile editor lets go of
        // them first, a tangent arc being drawn giving its lines back their
        // ends.
        auto* editor = View() ? dynamic_cast<CUIM_EditProfile*>(View()->FindMode(kModeEditProfile)) : nullptr;
        if (editor)
        {
            editor->AbandonElement();
            editor->ForgetSketch();
        }
        // Like every other edit, clearing can be undone.
        PushUndoState();
        surface->SetProfile(sketch.get(), 1);
        if (editor)
            editor->SketchReplaced(old);
        // No element is left for the Distance/Radius field to show.
        SetDistanceRadiusField(-1.0, false);
    }
    if (cCPView* view = View(); view && view->GetSafeHwnd())
        view->RequestRedraw(0);
}
