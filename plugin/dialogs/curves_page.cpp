#include "plugin/dialogs/curves_page.h"

#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/profiled_surface.h"
#include "core/registry_store.h"
#include "core/scene.h"
#include "core/section_curve_classes.h"
#include "fitting/multi_plane_sectioning.h"
#include "modes/curve_network_operations.h"
#include "modes/guiding_curve_picker.h"
#include "modes/mode_support.h"
#include "modes/network_edit_mode.h"
#include "modes/section_plane_picker.h"
#include "modes/shapes_view.h"
#include "plugin/dialogs/guide_curve_receiver.h"
#include "plugin/dialogs/image_button_row.h"
#include "plugin/dialogs/section_curve_guide.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "resources/curves.h"
#include "resources/pictures.h"
#include "shapes/network_surface.h"
#include "shapes/session_surface.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <memory>

namespace
{

// The box around the bounded boxes of the view's meshes; false when none
// has one.
bool MeshesBox(cCPView* view, float out[6])
{
    cSceneObjectIterator* raw = nullptr;
    if (view)
        view->GetObjectIterator(&raw);
    const std::unique_ptr<cSceneObjectIterator> it(raw);
    if (!it)
        return false;
    bool any = false;
    for (it->First(); !it->IsDone(); it->Next())
    {
        auto* object = dynamic_cast<cMeshObject*>(it->Current().Get());
        if (!object || !object->GetMesh())
            continue;
        float box[6];
        object->GetBoundingBox(box);
        bool bounded = true;
        for (int k = 0; k < 3; ++k)
            bounded = bounded && box[k] <= box[k + 3] && box[k] > -FLT_MAX && box[k + 3] < FLT_MAX;
        if (!bounded)
            continue;
        for (int k = 0; k < 3; ++k)
        {
            out[k] = any ? std::min(out[k], box[k]) : box[k];
            out[k + 3] = any ? std::max(out[k + 3], box[k + 3]) : box[k + 3];
        }
        any = true;
    }
    return any;
}

} // namespace

BEGIN_MESSAGE_MAP(CSubNetworkDlg, CSubDlgBase)
ON_WM_SHOWWINDOW()
ON_COMMAND(IDC_CURVES_UNDO, &CSubNetworkDlg::Undo)
ON_COMMAND(IDC_CURVES_MODIFY, &CSubNetworkDlg::EnterModifyCurves)
ON_COMMAND(IDC_CURVES_EXTRAPOLATE, &CSubNetworkDlg::OnExtrapolate)
ON_COMMAND(IDC_CURVES_ADD, &CSubNetworkDlg::OnAddCurve)
ON_COMMAND(IDC_CURVES_SECTION, &CSubNetworkDlg::OnSectionPlane)
ON_COMMAND(IDC_CURVES_TRANSPARENT, &CSubNetworkDlg::OnTransparentMesh)
ON_COMMAND(IDC_CURVES_DRAW_MESH, &CSubNetworkDlg::OnDrawMesh)
END_MESSAGE_MAP()

CSubNetworkDlg::CSubNetworkDlg(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* settings)
    : CSubDlgBase(IDD_CURVES_PAGE, owner, view), m_settings(settings), m_sectionPanel(this), m_modifyPanel(this),
      m_addPanel(this)
{
    RegisterSectionPlanePicker();
    RegisterGuidingCurvePicker();
    SetSectionPlaneHost(view, static_cast<ISectionPlaneHost*>(this));
    // The network editing mode is made for this view and finds the page.
    SetNetworkEditPage(view, this);
    // The dialog takes the guide curves drawn in its view.
    InstallGuideCurveReceiver(owner, view);
}

CSubNetworkDlg::~CSubNetworkDlg()
{
    if (SectionPlaneHostOf(View()) == static_cast<ISectionPlaneHost*>(this))
        SetSectionPlaneHost(View(), nullptr);
    if (NetworkEditPageOf(View()) == this)
        SetNetworkEditPage(View(), nullptr);
    RemoveGuideCurveReceiver(View());
    ClearUndoStates();
}

void CSubNetworkDlg::DoDataExchange(CDataExchange* dx)
{
    DDX_Check(dx, IDC_CURVES_TRANSPARENT, m_transparentMesh);
    DDX_Check(dx, IDC_CURVES_DRAW_MESH, m_drawMesh);
}

BOOL CSubNetworkDlg::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    RECT place{0, 0, 0, 0};
    if (HWND placeholder = ::GetDlgItem(m_hWnd, IDC_CURVES_PANEL_PLACE))
    {
        ::GetWindowRect(placeholder, &place);
        ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&place));
    }
    for (CCurvesPanelBase* panel : {static_cast<CCurvesPanelBase*>(&m_sectionPanel),
                                    static_cast<CCurvesPanelBase*>(&m_modifyPanel),
                                    static_cast<CCurvesPanelBase*>(&m_addPanel)})
        if (panel->CreatePanel(this))
            // In front of the placeholder, which would otherwise paint over them.
            ::SetWindowPos(panel->GetSafeHwnd(), HWND_TOP, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    const int modeButtons[4] = {IDC_CURVES_MODIFY, IDC_CURVES_EXTRAPOLATE, IDC_CURVES_ADD, IDC_CURVES_SECTION};
    const UINT modeIcons[4] = {IDI_PIC_MODIFY, IDI_PIC_EXTRAPOLATE, IDI_PIC_ADD_CURVE, IDI_PIC_SECTION_PLANE};
    for (std::size_t i = 0; i < m_modeButtons.size(); ++i)
        SetupImageButton(m_modeButtons[i], this, modeButtons[i], modeIcons[i], false);
    LayOutImageButtonRow(m_hWnd, modeButtons, 4);
    if (CreateToolTip())
    {
        const std::pair<int, const wchar_t*> tips[] = {{IDC_CURVES_MODIFY, L"Modify Curves"},
                                                       {IDC_CURVES_EXTRAPOLATE, L"Extrapolate Curve End Points"},
                                                       {IDC_CURVES_ADD, L"Add curve"},
                                                       {IDC_CURVES_SECTION, L"Section Plane"}};
        for (const auto& [id, text] : tips)
            if (CWnd* button = GetDlgItem(id))
                m_tooltip.AddTool(button, text);
        m_tooltip.Activate(TRUE);
    }
    m_modifyPanel.ShowWindow(SW_HIDE);
    m_sectionPanel.ShowWindow(SW_HIDE);
    m_addPanel.ShowWindow(SW_SHOW);
    for (int id : {IDC_CURVES_MODIFY, IDC_CURVES_EXTRAPOLATE, IDC_CURVES_SECTION})
        ::SendDlgItemMessageW(m_hWnd, id, BM_SETCHECK, BST_UNCHECKED, 0);
    ::SendDlgItemMessageW(m_hWnd, IDC_CURVES_ADD, BM_SETCHECK, BST_CHECKED, 0);
    m_sectionPanel.UpdateModeButtons();
    m_modifyPanel.ApplyPreserveG1();
    int transparent = 0;
    if (m_settings && m_settings->ReadInt(L"Preferences", L"DrawTransparentMeshForCurves", &transparent))
        m_transparentMesh = transparent != 0 ? 1 : 0;
    UpdateData(FALSE);
    return TRUE;
}

void CSubNetworkDlg::OnShowWindow(BOOL show, UINT status)
{
    CSubDlgBase::OnShowWindow(show, status);
    // The plane starts across the middle of the mesh the page first shows.
    if (show && !m_plane.IsActive())
        ResetSectionPlane();
    if (show && View())
        SendToView(ID_CURVES_MODIFY, false);
}

ST_IProfiledSurface* CSubNetworkDlg::CurrentNetwork() const
{
    ISceneObject* object = View() ? View()->QueryCurrentObjectInterface() : nullptr;
    return object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
}

ST_ISectionCurve* CSubNetworkDlg::ActiveProfile()
{
    ST_IProfiledSurface* network = CurrentNetwork();
    return network ? network->GetProfileCurve() : nullptr;
}

void CSubNetworkDlg::PushUndoState()
{
    ST_IProfiledSurface* network = CurrentNetwork();
    ST_ISectionCurve* container = network ? network->GetProfileCurve() : nullptr;
    if (!container)
        return;
    std::unique_ptr<ST_ISectionCurve> copy = container->Clone();
    if (!copy)
        return;
    copy->Assign(*container);
    m_undo.push_back(std::move(copy));
}

void CSubNetworkDlg::ClearUndoStates()
{
    m_undo.clear();
}

void CSubNetworkDlg::MoveUndoStates(const double m[12])
{
    for (const std::unique_ptr<ST_ISectionCurve>& copy : m_undo)
        MoveNetworkCurves(*copy, m);
}

void CSubNetworkDlg::MoveDrawnCurve(const double m[12])
{
    cCPView* view = View();
    if (auto* mode = view ? dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)) : nullptr)
        if (ST_ISectionCurve* drawn = mode->GetDrawnCurve())
            MoveNetworkCurve(*drawn, m);
}

void CSubNetworkDlg::MoveSectionPlane(const double m[12])
{
    m_plane.Transform(m);
    m_preview.Transform(m);
    if (m_sectionPanel.GetSafeHwnd())
        m_sectionPanel.UpdatePositionField();
}

void CSubNetworkDlg::ReleaseNetworkHolds()
{
    cCPView* view = View();
    if (auto* mode = view ? dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)) : nullptr)
        mode->LetGoOfNetwork();
}

void CSubNetworkDlg::ShowNetworkAsKeptForWrite(bool writing)
{
    cCPView* view = View();
    auto* mode = view ? dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)) : nullptr;
    if (writing)
    {
        // A curve being drawn, or a node drag, has changed the network since
        // the copy it saved as it began: the document keeps that copy.
        const bool editing = mode && (mode->IsDrawingSinceLastCopy() || mode->IsDraggingSinceLastCopy());
        ST_IProfiledSurface* network = editing ? mode->GetEditedSurface() : nullptr;
        ST_ISectionCurve* live = network ? network->GetProfileCurve() : nullptr;
        if (!live || m_undo.empty() || m_networkOutForWrite)
            return;
        m_networkOutForWrite = live->Clone();
        std::unique_ptr<ST_ISectionCurve> began = m_undo.back()->Clone();
        if (!m_networkOutForWrite || !began)
        {
            m_networkOutForWrite.reset();
            return;
        }
        m_networkOutForWrite->Assign(*live);
        began->Assign(*m_undo.back());
        // As Undo puts it back: in the frame the network has now.
        std::copy(live->frame, live->frame + 12, began->frame);
        mode->LetGoOfNetworkForWrite();
        m_networkWritten = network;
        network->SetProfile(began.get(), 0);
        return;
    }
    if (!m_networkOutForWrite)
        return;
    if (mode)
        mode->LetGoOfNetworkForWrite();
    m_networkWritten->SetProfile(m_networkOutForWrite.get(), 0);
    m_networkOutForWrite.reset();
    m_networkWritten = nullptr;
}

void CSubNetworkDlg::Undo()
{
    UndoOn(CurrentNetwork());
}

void CSubNetworkDlg::UndoOn(ST_IProfiledSurface* network)
{
    if (m_undo.empty())
        return;
    cCPView* view = View();
    if (auto* mode = view ? dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)) : nullptr)
        mode->LetGoOfNetworkForUndo();
    std::unique_ptr<ST_ISectionCurve> entry = std::move(m_undo.back());
    m_undo.pop_back();
    if (network)
    {
        if (ST_ISectionCurve* current = network->GetProfileCurve())
            std::copy(current->frame, current->frame + 12, entry->frame);
        network->SetProfile(entry.get(), 0);
    }
    RedrawView();
}

void CSubNetworkDlg::ClearAllCurves()
{
    if (ST_IProfiledSurface* network = CurrentNetwork())
    {
        ReleaseNetworkHolds();
        // A curve being drawn goes too, as Escape would take it back: begun
        // on the curves cleared and finished afterwards, it would come in
        // without an undo step of its own.
        cCPView* view = View();
        if (auto* mode = view ? dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)) : nullptr)
            mode->TakeBackDrawing();
        // Like every other edit, clearing can be undone; a network with no
        // curve left has nothing to clear, and no step to leave.
        const ST_ISectionCurve* curves = network->GetProfileCurve();
        if (!curves || curves->GetClassGuid() != CLSID_ST_TSketch || curves->GetSegmentCount() != 0)
        {
            PushUndoState();
            ClearNetwork(*network);
        }
    }
    RedrawView();
}

void CSubNetworkDlg::StartNetworkMode(UINT command)
{
    cCPView* view = View();
    if (!view)
        return;
    if (view->FindMode(kModeSectionPlanePicker))
        view->EndModeById(kModeSectionPlanePicker);
    if (!view->FindMode(kModeEditNetwork))
        view->StartToolMode(kModeEditNetwork, nullptr);
    SendToView(command);
}

void CSubNetworkDlg::EnterModifyCurves() { StartNetworkMode(ID_CURVES_MODIFY); }
void CSubNetworkDlg::OnExtrapolate() { StartNetworkMode(ID_CURVES_EXTRAPOLATE); }
void CSubNetworkDlg::OnAddCurve() { StartNetworkMode(ID_CURVES_ADD); }

void CSubNetworkDlg::OnSectionPlane()
{
    cCPView* view = View();
    if (view && !view->FindMode(kModeEditNetwork))
        view->StartToolMode(kModeEditNetwork, nullptr);
    SendToView(ID_CURVES_SECTION);
}

cMeshObject* CSubNetworkDlg::FirstMeshObject() const
{
    return ::FirstMeshObject(View());
}

void CSubNetworkDlg::RedrawView()
{
    if (View())
        View()->RequestRedraw(0);
}

void CSubNetworkDlg::ResetSectionPlane()
{
    // The plane starts across the middle of everything the view shows.
    t3DPoint<float> centre{0.0f, 0.0f, 0.0f};
    double half = 1.0;
    float box[6];
    if (MeshesBox(View(), box))
    {
        centre = {(box[0] + box[3]) / 2.0f, (box[1] + box[4]) / 2.0f, (box[2] + box[5]) / 2.0f};
        const double dx = centre.x - box[0], dy = centre.y - box[1], dz = centre.z - box[2];
        half = std::sqrt(dx * dx + dy * dy + dz * dz);
        if (!(half > 0.0))
            half = 1.0;
    }
    m_plane.Begin(centre, half);
    m_plane.MoveTo(centre);
    m_plane.SetNormal({1.0f, 0.0f, 0.0f});
    m_sectionPanel.UpdatePositionField();
}

void CSubNetworkDlg::ApplyTransparentMesh()
{
    if (m_settings)
        m_settings->WriteInt(L"Preferences", L"DrawTransparentMeshForCurves", m_transparentMesh ? 1 : 0);
    cMeshObject* object = FirstMeshObject();
    if (!object)
        return;
    cDecoratorObject* decorator = &object->GetDecorator();
    const std::uint32_t flags = m_transparentMesh ? (decorator->m_flags | kDecoratorSeeThrough)
                                                  : (decorator->m_flags & ~kDecoratorSeeThrough);
    if (flags != decorator->m_flags)
    {
        decorator->m_flags = flags;
        RedrawView();
    }
}

void CSubNetworkDlg::OnTransparentMesh()
{
    UpdateData(TRUE);
    ApplyTransparentMesh();
}

void CSubNetworkDlg::OnDrawMesh()
{
    UpdateData(TRUE);
    ApplyDrawMesh();
}

void CSubNetworkDlg::ApplyDrawMesh()
{
    cMeshObject* object = FirstMeshObject();
    if (!object)
        return;
    const bool visible = (object->GetState() & kStateVisible) != 0;
    if (visible != (m_drawMesh != 0))
    {
        object->SetStateFlag1To(m_drawMesh != 0);
        RedrawView();
    }
}

void CSubNetworkDlg::DiscardSectionPolylines()
{
    m_guideParameter = 0.0;
    ClearPreview();
    // A picker placed the plane: the Position field shows it there, so that
    // tabbing through the field keeps it.
    m_sectionPanel.UpdatePositionField();
}

void CSubNetworkDlg::SectionPlanePreviewed()
{
    // The sections of the plane as it was are no longer its own: they go,
    // and the editing mode computes the plane's when it resumes. The
    // Position field shows where the preview put the plane: tabbing through
    // it leaves the plane there.
    ClearPreview();
    m_sectionPanel.UpdatePositionField();
}

void CSubNetworkDlg::ClearPreview()
{
    m_previewValid = 0;
    m_preview.Clear();
}

namespace
{

bool AnyVisibleTriangleSelected(cMesh& mesh)
{
    bool any = false;
    mesh.ForEachTriangle([&any](const cMeshTriangle& t) {
        any = any || IsTakenBySelection(t);
    });
    return any;
}

} // namespace

void CSubNetworkDlg::Recompute()
{
    ClearPreview();
    cMeshObject* object = FirstMeshObject();
    const cSectionCurveGuide guide(m_plane.GetSectionCurve());
    // Why nothing could be cut, for the view; null when it could.
    const wchar_t* hint = nullptr;
    if (object && m_plane.IsActive())
    {
        stSectionPanelData data;
        data.mesh = object->GetMesh();
        stSectionSettings& s = data.settings;
        const CDSubInteractiveSection& panel = m_sectionPanel;
        s.throughSelectionOnly = panel.throughSelectionOnly != 0;
        s.useJoinTolerance = panel.mergeCurves != 0;
        s.joinTolerance = panel.mergeTolerance;
        s.multipleSections = panel.multisections != 0;
        s.spacing = panel.spacing;
        s.buildWithPoints = panel.buildMode == 1;
        s.pointCount = panel.pointsPerCurve;
        s.simplificationTolerance = panel.buildMode == 0 ? panel.sectionTolerance : 0.0f;
        const cPlane& plane = m_plane.GetPlane();
        for (int k = 0; k < 3; ++k)
        {
            s.origin[k] = plane.origin[k];
            s.normal[k] = plane.normal[k];
            s.reference[k] = plane.xAxis[k];
        }
        // With a guiding curve the planes follow it from the current one.
        if (guide.IsUsable())
        {
            s.guide = &guide;
            s.guideParameter = m_guideParameter;
        }
        const eSectionResult result = ComputeSectionPolylines(data);
        if (result == eSectionResult::done)
        {
            for (tFramePolyline<cVertex>& polyline : data.preview.items)
                if (!polyline.IsEmpty())
                    m_preview.items.push_back(std::move(polyline));
            m_previewValid = 1;
        }
        // A spacing too fine for the mesh, or sections through the
        // selection only with nothing selected (as after a reopen), cut
        // nothing: the view says why.
        if (result == eSectionResult::tooManyPlanes)
            hint = kTooManySectionPlanesHint;
        else if (s.throughSelectionOnly && !AnyVisibleTriangleSelected(*data.mesh))
            hint = kNoSelectionHint;
    }
    // The next run that cuts takes away the hint the page showed.
    if (CCreatePrimitiveDialog* owner = Owner())
    {
        if (hint)
            owner->ShowAnnotation(hint);
        else if (m_sectionHint && owner->HintText() == m_sectionHint)
            owner->ClearAnnotation();
    }
    m_sectionHint = hint;
    if (View() && View()->GetSafeHwnd())
        ::InvalidateRect(View()->GetSafeHwnd(), nullptr, TRUE);
}

void CSubNetworkDlg::ShowSubState(std::uint32_t subState)
{
    const std::pair<CCurvesPanelBase*, std::uint32_t> panels[] = {
        {&m_modifyPanel, kNetworkModifyCurves}, {&m_addPanel, kNetworkAddCurve}, {&m_sectionPanel, kNetworkSectionPlane}};
    for (const auto& [panel, state] : panels)
        if (panel->GetSafeHwnd())
            ::ShowWindow(panel->GetSafeHwnd(), state == subState ? SW_SHOW : SW_HIDE);
    const std::pair<int, std::uint32_t> buttons[] = {{IDC_CURVES_MODIFY, kNetworkModifyCurves},
                                                     {IDC_CURVES_EXTRAPOLATE, kNetworkExtrapolateEnds},
                                                     {IDC_CURVES_ADD, kNetworkAddCurve},
                                                     {IDC_CURVES_SECTION, kNetworkSectionPlane}};
    if (m_hWnd)
        for (const auto& [id, state] : buttons)
            if (HWND button = ::GetDlgItem(m_hWnd, id))
            {
                ::SendMessageW(button, BM_SETCHECK, state == subState ? BST_CHECKED : BST_UNCHECKED, 0);
                ::InvalidateRect(button, nullptr, TRUE);
            }
    RefreshSectionButtons();
    m_modifyPanel.ApplyPreserveG1();
}

void CSubNetworkDlg::RefreshSectionButtons()
{
    if (m_sectionPanel.GetSafeHwnd())
        m_sectionPanel.UpdateModeButtons();
}

void CSubNetworkDlg::BeginNetworkDisplay()
{
    m_drawMesh = 1;
    if (m_hWnd)
        UpdateData(FALSE);
    ApplyDrawMesh();
    ApplyTransparentMesh();
}

void CSubNetworkDlg::EndNetworkDisplay()
{
    // The mesh is shown plainly again for the other tabs. The check goes
    // off with it, so the next visit of the tab starts opaque and stores
    // "DrawTransparentMeshForCurves" as 0.
    if (m_transparentMesh)
    {
        m_transparentMesh = 0;
        if (cMeshObject* object = FirstMeshObject())
        {
            object->GetDecorator().m_flags &= ~kDecoratorSeeThrough;
            RedrawView();
        }
    }
    if (!m_drawMesh)
    {
        m_drawMesh = 1;
        ApplyDrawMesh();
    }
    if (m_hWnd)
        UpdateData(FALSE);
}

bool CSubNetworkDlg::HasWindow() const
{
    return m_hWnd && ::IsWindow(m_hWnd);
}

std::int32_t CSubNetworkDlg::SectionPointCount() const
{
    return m_sectionPanel.buildMode == 1 ? m_sectionPanel.pointsPerCurve : 0;
}
