#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/update_notice.h"
#include "plugin/dialogs/help_topics.h"
#include "plugin/dialogs/quick_pickers.h"
#include "plugin/registered_messages.h"
#include "plugin/commands.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/registry_store.h"
#include "core/scene_object_container.h"
#include "modes/mode_support.h"
#include "modes/shapes_view.h"
#include "modes/surface_extension_mode.h"
#include "overlay/dialog_anchor_layout.h"
#include "overlay/prop_tree.h"
#include "platform/host/app_settings.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/win32/controls.h"
#include "plugin/dialogs/curves_page.h"
#include "plugin/dialogs/guide_curve_page.h"
#include "plugin/dialogs/magic_wand.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/sketch_page.h"
#include "plugin/plugin_info.h"
#include "plugin/vtl_plugin.h"
#include "plugin/tools/sub_deviation_dlg.h"
#include "render/base_renderer.h"
#include "resources/resource.h"
#include "resources/shapes_dialog.h"
#include "shapes/entities_history.h"
#include "shapes/extracted_record.h"
#include "shapes/region_triangles.h"
#include "shapes/session_surface.h"

#include <cstring>
#include <cwchar>
#include <cwctype>

BEGIN_MESSAGE_MAP(CCreatePrimitiveDialog, CBaseVTLDialog)
ON_COMMAND(IDC_SHAPES_NEW_SHAPE, &CCreatePrimitiveDialog::OnNewShape)
ON_CONTROL(CBN_SELCHANGE, IDC_SHAPES_KIND, &CCreatePrimitiveDialog::OnKindSelChange)
ON_COMMAND(IDC_SHAPES_DELETE, &CCreatePrimitiveDialog::OnDeleteShape)
ON_CONTROL(LBN_SELCHANGE, IDC_SHAPES_LIST, &CCreatePrimitiveDialog::OnListSelChange)
ON_NOTIFY(TCN_SELCHANGE, IDC_SHAPES_TABS, &CCreatePrimitiveDialog::OnTabChange)
ON_COMMAND(IDC_SHAPES_MAGIC_WAND, &CCreatePrimitiveDialog::OnMagicWand)
ON_COMMAND(IDC_SHAPES_PAINT_FILLED, &CCreatePrimitiveDialog::OnFreeHandFilled)
ON_COMMAND(IDC_SHAPES_PAINT, &CCreatePrimitiveDialog::OnFreeHand)
ON_COMMAND(IDC_SHAPES_LINE, &CCreatePrimitiveDialog::OnLineSelection)
ON_COMMAND(IDC_SHAPES_FRONT_ONLY, &CCreatePrimitiveDialog::OnSelectFrontFacingOnly)
ON_COMMAND(IDC_SHAPES_DESELECT_ALL, &CCreatePrimitiveDialog::OnDeselectAll)
ON_COMMAND(IDC_SHAPES_SELECT_ALL, &CCreatePrimitiveDialog::OnSelectAll)
ON_COMMAND(IDC_SHAPES_UNDO_SELECTION, &CCreatePrimitiveDialog::OnUndoLastSelection)
ON_COMMAND(IDC_SHAPES_RESET, &CCreatePrimitiveDialog::OnReset)
ON_COMMAND(IDC_SHAPES_CREATE, &CCreatePrimitiveDialog::OnCreateInDezaz)
ON_COMMAND(IDC_SHAPES_CREATE_ALL, &CCreatePrimitiveDialog::OnCreateAll)
ON_COMMAND(IDC_SHAPES_HOW_TO, &CCreatePrimitiveDialog::OnHowTo)
ON_COMMAND(IDC_SHAPES_DELETE_ALL, &CCreatePrimitiveDialog::OnDeleteAll)
ON_REGISTERED_MESSAGE(WM_RBUTTON_ON_ENTITIES_LIST, &CCreatePrimitiveDialog::OnListRightClick)
ON_COMMAND(IDC_SHAPES_HOST_SAME_PLACE, &CCreatePrimitiveDialog::OnHostSamePlace)
ON_COMMAND_RANGE(IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_ALIGN_FRONT, &CCreatePrimitiveDialog::OnAlignButton)
ON_COMMAND_RANGE(IDC_SHAPES_ALIGN_ORIGIN, IDC_SHAPES_ALIGN_ORIGIN, &CCreatePrimitiveDialog::OnAlignButton)
ON_CONTROL(EN_KILLFOCUS, IDC_SHAPES_CREASE, &CCreatePrimitiveDialog::OnCreaseKillFocus)
ON_WM_HSCROLL()
ON_WM_GETMINMAXINFO()
ON_WM_DESTROY()
END_MESSAGE_MAP()

namespace
{

constexpr double kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

CCreatePrimitiveDialog::HostMeshMover& Mover()
{
    static CCreatePrimitiveDialog::HostMeshMover mover;
    return mover;
}

CCreatePrimitiveDialog::ShapeTransfer& Transfer()
{
    static CCreatePrimitiveDialog::ShapeTransfer transfer;
    return transfer;
}

void WriteText(cRegistryStore& store, const wchar_t* section, const wchar_t* name, const wchar_t* text)
{
    // Registry sizes count two bytes a character.
    store.WriteValue(section, name, REG_SZ, text, DWORD((std::wcslen(text) + 1) * 2));
}

// Whether a triangle of a scene mesh has its selected bit other than given.
bool AnySceneTriangleSelectedOtherThan(I3DScene& scene, bool selected)
{
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    if (!it)
        return false;
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
        {
            cMesh& mesh = *object->GetMesh();
            const std::uint32_t count = mesh.GetTriangleCount();
            for (std::uint32_t i = 0; i < count; ++i)
                if (((mesh.GetTriangle(i)->flags & kTriangleFlagSelected) != 0) != selected)
                    return true;
        }
    return false;
}

const wchar_t* UnitText(DezazUnitSystem units)
{
    switch (int(units))
    {
    case 2: return L"mm";
    case 3: return L"cm";
    case 4: return L"m";
    case 5: return L"km";
    case 8: return L"in";
    case 9: return L"ft";
    case 10: return L"ml";
    case 19: return L"yd";
    default: return L"";
    }
}

} // namespace

void CCreatePrimitiveDialog::SetHostMeshMover(HostMeshMover mover)
{
    Mover() = std::move(mover);
}

void CCreatePrimitiveDialog::SetShapeTransfer(ShapeTransfer transfer)
{
    Transfer() = std::move(transfer);
}

CCreatePrimitiveDialog::CCreatePrimitiveDialog(cRegistryStore* settings, CWnd* parent)
    : CBaseVTLDialog(IDD_CREATE_PRIMITIVE, parent, settings), m_store(settings)
{
    std::memcpy(m_meshFrame, kIdentity, sizeof m_meshFrame);
    if (m_store)
    {
        m_store->WriteInt(L"Preferences\\MouseNavigation", L"ReverseWheelZooming", 1);
        WriteText(*m_store, L"Preferences\\MouseNavigation", L"ActiveProfile", L"Dezaz");
    }
    m_shapesView = new cCPView(this, this);
    SetView(m_shapesView);
    m_tooltip = new CToolTipCtrl;
    SetToolTip(m_tooltip);
    m_shapePage = std::make_unique<CSubSurfaceDlg>(this, m_shapesView);
    m_sketchPage = std::make_unique<CSubProfileDlg>(this, m_shapesView, settings);
    m_curvesPage = std::make_unique<CSubNetworkDlg>(this, m_shapesView, settings);
    m_deviationPage = MakeDeviationPage(this, m_shapesView, settings);
    m_guidePage = std::make_unique<CSubGuideCurveDlg>(this, m_shapesView);
}

struct CCreatePrimitiveDialog::stWandSave
{
    const cMesh* mesh = nullptr;
    cMeshTriangle* seed = nullptr;
    bool seedSelected = false;
    stTriangleFlagBlocks seen;
};

CCreatePrimitiveDialog::~CCreatePrimitiveDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
    ShowSessionObject(m_session, false);
    m_session = nullptr;
}

bool CCreatePrimitiveDialog::CreateModeless(UINT resource, CWnd* parent)
{
    return Create(resource, parent) != FALSE;
}

void CCreatePrimitiveDialog::CancelDialog(bool forced)
{
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    if (!forced)
    {
        OnCancel();
        return;
    }
    // The document or the plug-in is going: no way to stay open.
    if (IsMeshMoved())
    {
        const int answer = DezazMessageBox(m_hWnd, kMovedMeshQuestion, vtl::kPlugInName, MB_YESNO | MB_ICONQUESTION);
        if (answer != IDYES || !MoveHostMeshOrSaySo())
            ReturnSessionsToHostMesh();
    }
    SaveSettings();
    CloseWindow();
}

bool CCreatePrimitiveDialog::LoadHostMesh(const CDezazObjRef& mesh, cHostMeshCopy* copy)
{
    const auto* object = dynamic_cast<const CDezazMeshObject*>(mesh.Object());
    if (!object)
        return false;
    if (m_shapesView)
        m_shapesView->ClearActiveObject();
    return CBaseVTLDialog::LoadHostMesh(*object, copy);
}

void CCreatePrimitiveDialog::SetEntry(CObjectSurfaces* entry)
{
    SetCurrentShape(nullptr);
    m_entry = entry;
    std::memcpy(m_placement, kIdentity, sizeof m_placement);
    if (m_list.GetSafeHwnd())
        m_list.ResetContent();
    m_listed.clear();
    if (!entry)
        return;
    cMeshObject* meshObject = FirstMeshObject();
    std::vector<CSessionSurface*> sessions;
    for (std::size_t i = 0; i < entry->SessionCount(); ++i)
        sessions.push_back(entry->Session(i));
    const std::unique_ptr<cRegionTriangles> triangles = RegionTrianglesFor(sessions);
    for (CSessionSurface* session : sessions)
        AddListItem(session);
    if (meshObject)
        CSessionSurface::PaintMeshRegions(sessions, meshObject, triangles.get(), &ThePlugIn().ThreadPool());
    EnableShapeControls();
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->InvalidateView(0);
}

cMeshObject* CCreatePrimitiveDialog::FirstMeshObject()
{
    std::unique_ptr<cSceneObjectIterator> it(GetScene().GetObjectIterator());
    if (!it)
        return nullptr;
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
            return object;
    return nullptr;
}

cMesh* CCreatePrimitiveDialog::FirstMesh()
{
    cMeshObject* object = FirstMeshObject();
    return object ? object->GetMesh() : nullptr;
}

std::unique_ptr<cRegionTriangles> CCreatePrimitiveDialog::RegionTrianglesFor(const std::vector<CSessionSurface*>& sessions)
{
    constexpr std::uint32_t kManyRegionPoints = 1u << 16;
    cMesh* mesh = FirstMesh();
    if (!mesh)
        return nullptr;
    // The regions' walks are cut where their anchors lie, found as the
    // centroids are made.
    std::vector<const cRegionPoints*> regions;
    for (const CSessionSurface* session : sessions)
        if (session)
            regions.push_back(&session->GetRegionPoints());
    for (const CSessionSurface* session : sessions)
        if (session && session->GetRegionPoints().GetCount() >= kManyRegionPoints)
            return std::make_unique<cRegionTriangles>(*mesh, &ThePlugIn().ThreadPool(), regions);
    return nullptr;
}

CUIM_ExtendSurface* CCreatePrimitiveDialog::GetExtendMode() const
{
    return m_shapesView ? dynamic_cast<CUIM_ExtendSurface*>(m_shapesView->FindMode(kModeExtendSurface)) : nullptr;
}

BOOL CCreatePrimitiveDialog::OnInitDialog()
{
    if (!CBaseVTLDialog::OnInitDialog())
        return FALSE;
    m_tabs.SubclassDlgItem(IDC_SHAPES_TABS, this);
    m_kindCombo.SubclassDlgItem(IDC_SHAPES_KIND, this);
    m_list.SubclassDlgItem(IDC_SHAPES_LIST, this);
    m_list.SetShapesView(m_shapesView);
    m_slider.SubclassDlgItem(IDC_SHAPES_SENSITIVITY, this);
    m_unitText = UnitText(DezazApp().ActiveDoc().UnitSystem());

    // Pages: all hidden but Shape, which is the first tab.
    for (CSubDlgBase* page : {static_cast<CSubDlgBase*>(m_shapePage.get()), static_cast<CSubDlgBase*>(m_sketchPage.get()),
                              m_curvesPage.get(), m_deviationPage.get(), static_cast<CSubDlgBase*>(m_guidePage.get())})
        page->CreatePage(&m_tabs);
    AddTab(eShapesPage::Shape);
    SetDlgItemTextW(m_hWnd, IDC_SHAPES_ALIGN_ORIGIN, L"Origin");
    SetUpImageButtons();
    LayOutPages();
    // The tab control has grown to its pages: resizing starts from here.
    if (cDialogAnchorLayout* layout = GetAnchorLayout())
    {
        layout->Attach(m_hWnd);
        SetupControlAnchors();
    }
    m_selectedTab = 0;
    m_shapePage->ShowWindow(SW_SHOW);

    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_RESET), FALSE);
    if (m_store)
    {
        int front = 0;
        if (m_store->ReadInt(kFrontFacingSection, kFrontFacingValue, &front))
            m_frontFacingOnly = front != 0;
    }
    SendDlgItemMessageW(m_hWnd, IDC_SHAPES_FRONT_ONLY, BM_SETCHECK, m_frontFacingOnly ? BST_CHECKED : BST_UNCHECKED, 0);
    SetFrontOnlyPicture();

    if (m_tooltip && m_tooltip->Create(this))
    {
        const struct
        {
            int id;
            const wchar_t* text;
        } tips[] = {{IDC_SHAPES_NEW_SHAPE, L"Ctrl+N"},
                    {IDC_SHAPES_CREATE, L"Ctrl+R"},
                    {IDC_SHAPES_PAINT_FILLED, L"Free Hand (Filled) Selection"},
                    {IDC_SHAPES_PAINT, L"Free Hand Selection"},
                    {IDC_SHAPES_LINE, L"Select by drawing a line"},
                    {IDC_SHAPES_FRONT_ONLY, L"Select front facing only"},
                    {IDC_SHAPES_MAGIC_WAND, L"Magic Wand"},
                    {IDC_SHAPES_HOW_TO, L"Online YouTube videos"},
                    {IDC_SHAPES_RESET, L"Set mesh back to original position"},
                    {IDC_SHAPES_ALIGN_BOTTOM, L""},
                    {IDC_SHAPES_ALIGN_RIGHT, L""},
                    {IDC_SHAPES_ALIGN_FRONT, L""},
                    {IDC_SHAPES_ALIGN_ORIGIN, L"Align to Origin"}};
        for (const auto& tip : tips)
            if (CWnd* control = GetDlgItem(tip.id))
                m_tooltip->AddTool(control, tip.text);
        m_tooltip->Activate(TRUE);
    }
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_HOST_SAME_PLACE), FALSE);

    if (m_shapesView && m_shapesView->GetSafeHwnd())
    {
        // One frame for both, when the window is next painted (by then with
        // the mesh): each drew a frame of its own at once.
        m_shapesView->LockUpdate();
        m_shapesView->SetStandardView(2);
        m_shapesView->SetModeById(kModeExtendSurface, 0, 0);
        m_shapesView->UnlockUpdate();
        m_shapesView->InvalidateView(0);
        StartUpdateCheckOnce(m_shapesView->GetSafeHwnd(), vtl::MakerWebSite());
    }
    for (int i = 0; i < kShapeKindCount; ++i)
    {
        const int index = m_kindCombo.AddString(ShapeKindTitle(eShapeKind(i)));
        m_kindCombo.SetItemData(index, DWORD_PTR(i));
    }
    SetCurrentShape(nullptr);

    if (m_store)
    {
        int wcs = 0;
        if (m_store->ReadInt(kDrawWcsSection, kDrawWcsValue, &wcs))
            SetDrawWorldAxes(wcs != 0);
        float crease = kDefaultCreaseAngle;
        if (m_store->ReadFloat(kCreaseAngleSection, kCreaseAngleValue, &crease))
            m_creaseAngle = ClampCreaseAngle(crease);
    }
    m_slider.SetRange(0, kCreaseSliderMax);
    m_slider.SetLineSize(5);
    m_slider.SetPos(CreaseAngleToSlider(m_creaseAngle));
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", double(m_creaseAngle));
    SetDlgItemTextW(m_hWnd, IDC_SHAPES_CREASE, text);

    EnableShapeControls();
    GetWindowRect(&m_initialRect);
    RestoreWindowPlacement(kShapesDialogSection);
    if (m_shapesView)
        m_shapesView->turntableRotation = DezazAppSettings().ViewSettings().m_rotate_about_view_axes == 0 ? 1 : 0;
    ChooseSelectionTool(m_kind == eShapeKind::SymmetryPlane ? IDC_SHAPES_LINE : IDC_SHAPES_MAGIC_WAND);
    return TRUE;
}

void CCreatePrimitiveDialog::SetupControlAnchors()
{
    cDialogAnchorLayout* layout = GetAnchorLayout();
    for (int id : {IDC_SHAPES_NEW_SHAPE, IDC_SHAPES_TYPE_LABEL, IDC_SHAPES_KIND, IDC_SHAPES_DELETE, IDC_SHAPES_DELETE_ALL,
                   IDC_SHAPES_SENSITIVITY, IDC_SHAPES_CREASE, IDC_SHAPES_MAGIC_WAND, IDC_SHAPES_PAINT_FILLED,
                   IDC_SHAPES_PAINT, IDC_SHAPES_LINE, IDC_SHAPES_FRONT_ONLY, IDC_SHAPES_SENSITIVITY_LABEL,
                   IDC_SHAPES_DEGREES_LABEL, IDC_SHAPES_DESELECT_ALL, IDC_SHAPES_SELECT_ALL, IDC_SHAPES_UNDO_SELECTION})
        layout->SetAnchor(id, 3, 3);
    layout->SetAnchor(IDC_SHAPES_LIST, 3, 6);
    for (int id : {IDC_SHAPES_TABS, IDC_SHAPES_RESET, IDC_SHAPES_ALIGN_LABEL, IDC_SHAPES_ALIGN_BOTTOM,
                   IDC_SHAPES_ALIGN_RIGHT, IDC_SHAPES_ALIGN_FRONT, IDC_SHAPES_ALIGN_ORIGIN, IDC_SHAPES_HOST_SAME_PLACE,
                   IDC_SHAPES_CREATE, IDC_SHAPES_CREATE_ALL})
        layout->SetAnchor(id, 3, 5);
    layout->SetAnchor(IDC_SHAPES_HOW_TO, 5, 3);
    layout->SetAnchor(IDCANCEL, 5, 5);
}

BOOL CCreatePrimitiveDialog::PreTranslateMessage(MSG* msg)
{
    // A lone Alt press would open the system menu and take the focus from
    // the view, where Alt means "deselect".
    if (msg && (msg->message == WM_SYSKEYDOWN || msg->message == WM_KEYDOWN) && msg->wParam == VK_MENU)
        return TRUE;
    return CBaseVTLDialog::PreTranslateMessage(msg);
}

void CCreatePrimitiveDialog::OnGetMinMaxInfo(MINMAXINFO* info)
{
    if (info && m_initialRect.right > m_initialRect.left)
    {
        info->ptMinTrackSize.x = m_initialRect.right - m_initialRect.left;
        info->ptMinTrackSize.y = m_initialRect.bottom - m_initialRect.top;
    }
}

// ------------------------------------------------------------ view owner

ISceneObject* CCreatePrimitiveDialog::CurrentShapeObject()
{
    return m_session ? m_session->GetSceneObject() : nullptr;
}

void CCreatePrimitiveDialog::SetDrawWorldAxes(bool on)
{
    m_drawWcs = on ? 1 : 0;
    GetScene().m_switch1 = on ? 1 : 0;
}

HWND CCreatePrimitiveDialog::QuickShapePicker(bool forCurrentShape)
{
    return QuickPickerOf(*this, forCurrentShape);
}

void CCreatePrimitiveDialog::HideQuickPickers()
{
    HideQuickPickersOf(*this);
}

void CCreatePrimitiveDialog::StartNewShape()
{
    if (m_shapePage)
        m_shapePage->StartNewShape();
}

void CCreatePrimitiveDialog::OnNewShape()
{
    // Without a shape there is nothing to leave: the marks stay for the
    // shape the user is about to choose.
    ClearAnnotation();
    if (m_session)
        StartNewShape();
}

bool CCreatePrimitiveDialog::OnViewCommand(UINT id)
{
    switch (id)
    {
    case kCmdPrimitiveVertical: m_shapePage->OnVertical(); return true;
    case kCmdPrimitiveHorizontal: m_shapePage->OnHorizontal(); return true;
    case kCmdUndoLastSelection: OnUndoLastSelection(); return true;
    case kCmdDeselectAll: OnDeselectAll(); return true;
    case kCmdFreeFormFilled: OnFreeHandFilled(); return true;
    case kCmdFreeForm: OnFreeHand(); return true;
    case kCmdLineSelection: OnLineSelection(); return true;
    case kCmdMagicWand: OnMagicWand(); return true;
    case kCmdSelectFrontFacingOnly:
        SendDlgItemMessageW(m_hWnd, IDC_SHAPES_FRONT_ONLY, BM_SETCHECK,
                            m_frontFacingOnly ? BST_UNCHECKED : BST_CHECKED, 0);
        OnSelectFrontFacingOnly();
        return true;
    case kCmdNewShape: OnNewShape(); return true;
    case kCmdTransferToHost: OnCreateInDezaz(); return true;
    default: return false;
    }
}

// ------------------------------------------------------------ annotation

void CCreatePrimitiveDialog::ClearAnnotation()
{
    if (m_hintText.empty())
        return;
    m_hintText.clear();
    SendToView(kCmdUpdateAnnotation);
}

void CCreatePrimitiveDialog::ShowAnnotation(const wchar_t* text)
{
    m_hintText = text ? text : L"";
    SendToView(kCmdUpdateAnnotation);
}

void CCreatePrimitiveDialog::SendToView(UINT command)
{
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        ::SendMessageW(m_shapesView->GetSafeHwnd(), WM_COMMAND, command, 0);
}

void CCreatePrimitiveDialog::FocusView()
{
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        ::SetFocus(m_shapesView->GetSafeHwnd());
}

// ------------------------------------------------------------ selection

std::uint32_t CCreatePrimitiveDialog::GetCurrentSelectionTool() const
{
    switch (m_selectionTool)
    {
    case IDC_SHAPES_MAGIC_WAND: return kCmdPaintWand;
    case IDC_SHAPES_PAINT_FILLED: return kCmdPaintFilled;
    case IDC_SHAPES_PAINT: return kCmdPaintDrawing;
    case IDC_SHAPES_LINE: return kCmdPaintLine;
    default: return 0;
    }
}

void CCreatePrimitiveDialog::SwitchToExtendMode()
{
    if (!m_shapesView || !m_shapesView->GetSafeHwnd())
        return;
    auto* active = m_shapesView->GetActiveMode();
    if (!active || active->GetId() != kModeExtendSurface)
        m_shapesView->SetModeById(kModeExtendSurface, 0, reinterpret_cast<LPARAM>(static_cast<IBase*>(CurrentShapeObject())));
}

void CCreatePrimitiveDialog::ChooseSelectionTool(UINT buttonId)
{
    // Selecting ends the network's tools: their panels go and their
    // buttons come up, whichever tab is shown.
    if (auto* curves = dynamic_cast<CSubNetworkDlg*>(m_curvesPage.get()))
        curves->ReleaseTools();
    ClearAnnotation();
    PressSelectionButton(buttonId);
    SwitchToExtendMode();
    SendToView(GetCurrentSelectionTool());
    FocusView();
}

void CCreatePrimitiveDialog::PressSelectionButton(UINT buttonId)
{
    m_selectionTool = buttonId;
    for (int id : {IDC_SHAPES_MAGIC_WAND, IDC_SHAPES_PAINT_FILLED, IDC_SHAPES_PAINT, IDC_SHAPES_LINE})
        SendDlgItemMessageW(m_hWnd, id, BM_SETSTATE, UINT(id) == buttonId ? TRUE : FALSE, 0);
    const BOOL wand = buttonId == IDC_SHAPES_MAGIC_WAND;
    for (int id : {IDC_SHAPES_CREASE, IDC_SHAPES_SENSITIVITY_LABEL, IDC_SHAPES_DEGREES_LABEL, IDC_SHAPES_SENSITIVITY})
        ::EnableWindow(::GetDlgItem(m_hWnd, id), wand);
}

void CCreatePrimitiveDialog::OnMagicWand()
{
    ChooseSelectionTool(IDC_SHAPES_MAGIC_WAND);
}

void CCreatePrimitiveDialog::OnFreeHandFilled()
{
    ChooseSelectionTool(IDC_SHAPES_PAINT_FILLED);
}

void CCreatePrimitiveDialog::OnFreeHand()
{
    ChooseSelectionTool(IDC_SHAPES_PAINT);
}

void CCreatePrimitiveDialog::OnLineSelection()
{
    ChooseSelectionTool(IDC_SHAPES_LINE);
}

void CCreatePrimitiveDialog::OnSelectFrontFacingOnly()
{
    m_frontFacingOnly = SendDlgItemMessageW(m_hWnd, IDC_SHAPES_FRONT_ONLY, BM_GETCHECK, 0, 0) == BST_CHECKED;
    SendDlgItemMessageW(m_hWnd, IDC_SHAPES_FRONT_ONLY, BM_SETSTATE, m_frontFacingOnly ? TRUE : FALSE, 0);
    SetFrontOnlyPicture();
    if (m_store)
        m_store->WriteInt(kFrontFacingSection, kFrontFacingValue, m_frontFacingOnly);
    FocusView();
}

void CCreatePrimitiveDialog::OnDeselectAll()
{
    // Nothing to deselect is no step: the undo step stays the last real one.
    if (AnySceneTriangleSelectedOtherThan(GetScene(), false))
        SaveSelectionToMask();
    std::unique_ptr<cSceneObjectIterator> it(GetScene().GetObjectIterator());
    if (it)
        for (it->First(); !it->IsDone(); it->Next())
            if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
                DeselectAllTriangles(*object->GetMesh());
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->RequestRedraw(0);
    FocusView();
}

void CCreatePrimitiveDialog::OnSelectAll()
{
    ClearAnnotation();
    if (AnySceneTriangleSelectedOtherThan(GetScene(), true))
        SaveSelectionToMask();
    std::unique_ptr<cSceneObjectIterator> it(GetScene().GetObjectIterator());
    if (it)
        for (it->First(); !it->IsDone(); it->Next())
            if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
                SelectAllTriangles(*object->GetMesh());
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->RequestRedraw(0);
    FocusView();
}

void CCreatePrimitiveDialog::OnUndoLastSelection()
{
    // The selection mode takes the command; any other editing mode reads it
    // as its own undo (the Curves tab's Ctrl+Z), which would take back a
    // curve instead of the selection the button names.
    if (m_shapesView && m_shapesView->GetActiveMode() == GetExtendMode())
        SendToView(kCmdUndoSelection);
    else if (RestoreSelectionFromMask() && m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->RequestRedraw(0);
    FocusView();
}

void CCreatePrimitiveDialog::SaveSelectionForUndoInWand(const cMesh& mesh, const cMeshTriangle& seed,
                                                        stTriangleFlagBlocks&& seen)
{
    // The fill that follows reads every triangle of the mesh first: the
    // save is made in that pass instead of one of its own.
    const bool selected = (seed.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected;
    m_wandSave.reset(new stWandSave{&mesh, const_cast<cMeshTriangle*>(&seed), selected, std::move(seen)});
}

void CCreatePrimitiveDialog::FinishWandSave()
{
    if (std::unique_ptr<stWandSave> save = std::move(m_wandSave))
        SaveSelectionBeforeWand(*save, nullptr);
}

void CCreatePrimitiveDialog::SaveSelectionBeforeWand(const stWandSave& save, const cMesh* savedApart)
{
    SaveSelectionToMaskBeside(savedApart);
    // Taking the seed aims its selection bit before the fill: the bit saved
    // is the one the click found.
    if (const std::uint8_t bit = GetSelectionMaskBit())
        save.seed->flags = save.seedSelected ? std::uint8_t(save.seed->flags | bit) : std::uint8_t(save.seed->flags & ~bit);
}

void CCreatePrimitiveDialog::RunMagicWand(bool toggleSeed)
{
    // A wand click's save waits for this fill; every way out makes it.
    std::unique_ptr<stWandSave> save = std::move(m_wandSave);
    cMeshTriangle* seed = m_shapesView ? m_shapesView->GetActiveObject() : nullptr;
    if (!seed)
    {
        if (save)
            SaveSelectionBeforeWand(*save, nullptr);
        return;
    }
    // The seed was picked on one of the view's meshes: the wand grows over
    // that one (grown over another, it would follow the seed's links out of
    // the mesh it marks and set that mesh's vertices by the seed's indices).
    cMesh* mesh = nullptr;
    std::unique_ptr<cSceneObjectIterator> it(GetScene().GetObjectIterator());
    if (it)
        for (it->First(); !it->IsDone() && !mesh; it->Next())
            if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get());
                object && object->GetMesh() && MeshHoldsTriangle(*object->GetMesh(), seed))
                mesh = object->GetMesh();
    // The fill saves its own mesh's selection when it grows from the seed
    // clicked, unseen by the toggling below; otherwise the save comes first.
    const std::uint8_t maskBit = GetSelectionMaskBit();
    const bool saveInFill = save && mesh && save->mesh == mesh && save->seed == seed && !toggleSeed &&
                            !(maskBit & (kTriangleFlagSelected | kTriangleFlagHidden | kTriangleFlagScratch));
    if (save && !saveInFill)
        SaveSelectionBeforeWand(*save, nullptr);
    if (!mesh)
        return;
    if (toggleSeed)
    {
        if (!(seed->flags & kTriangleFlagSelected) || (seed->flags & kTriangleFlagHidden))
            seed->flags |= kTriangleFlagSelected;
        else
            seed->flags &= std::uint8_t(~kTriangleFlagSelected);
    }
    if (!saveInFill)
    {
        GrowMagicWandSelection(*mesh, seed, m_creaseAngle);
        return;
    }
    GrowMagicWandSelection(*mesh, seed, m_creaseAngle, maskBit, &save->seen);
    SaveSelectionBeforeWand(*save, mesh);
}

void CCreatePrimitiveDialog::ReapplyMagicWand(bool toggleSeed, bool redraw)
{
    RunMagicWand(toggleSeed);
    if (redraw && m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->RequestRedraw(0);
}

void CCreatePrimitiveDialog::OnCreaseSlider(int position)
{
    ReapplyMagicWand(true, false);
    m_creaseAngle = SliderToCreaseAngle(position);
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", double(m_creaseAngle));
    SetDlgItemTextW(m_hWnd, IDC_SHAPES_CREASE, text);
    ReapplyMagicWand(false, true);
}

void CCreatePrimitiveDialog::OnCreaseEdited(double degrees)
{
    // The value sizes the slider and the wand's cosine: anything typed is
    // brought into 0..8 first.
    const float angle = ClampCreaseAngle(degrees);
    ReapplyMagicWand(true, false);
    m_creaseAngle = angle;
    m_slider.SetPos(CreaseAngleToSlider(angle));
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", double(angle));
    SetDlgItemTextW(m_hWnd, IDC_SHAPES_CREASE, text);
    ReapplyMagicWand(false, true);
}

void CCreatePrimitiveDialog::OnHScroll(UINT, UINT, CScrollBar* bar)
{
    if (bar && reinterpret_cast<CWnd*>(bar)->GetSafeHwnd() != m_slider.GetSafeHwnd())
        return;
    OnCreaseSlider(m_slider.GetPos());
}

bool CCreatePrimitiveDialog::CreaseFieldNumber(double* degrees) const
{
    wchar_t text[64] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_SHAPES_CREASE, text, 64);
    wchar_t* end = nullptr;
    const double value = std::wcstod(text, &end);
    const bool number = end != text;
    while (number && std::iswspace(*end))
        ++end;
    // No number, or more after it ("1,5" is no 1).
    if (!number || *end != L'\0')
        return false;
    *degrees = value;
    return true;
}

void CCreatePrimitiveDialog::OnCreaseKillFocus()
{
    double value = 0.0;
    // Text that is no angle: the old value comes back.
    if (!CreaseFieldNumber(&value))
        return OnCreaseEdited(m_creaseAngle);
    if (float(value) != m_creaseAngle)
        OnCreaseEdited(value);
}

// ------------------------------------------------------------ shapes

void CCreatePrimitiveDialog::BuildReferenceLists(CSessionSurface* session)
{
    ST_IExtracted* record = session ? session->GetRecord() : nullptr;
    if (!record)
        return;
    std::vector<stReferenceEntry> directions, points;
    stReferenceEntry view;
    view.label = L"as Current View";
    view.z = 1.0;
    if (auto* camera = m_shapesView ? dynamic_cast<cBase3DRenderer*>(m_shapesView->GetRenderer()) : nullptr)
    {
        const double* t = camera->GetViewTransform();
        view.x = t[8], view.y = t[9], view.z = t[10];
    }
    directions.push_back(view);
    if (m_entry)
    {
        m_entry->CollectDirectionRefs(directions, session);
        m_entry->CollectPointRefs(points, session);
    }
    const auto convert = [](const std::vector<stReferenceEntry>& from, std::vector<stExtractedReference>& to)
    {
        to.clear();
        for (const stReferenceEntry& e : from)
        {
            stExtractedReference r;
            r.label = static_cast<const wchar_t*>(e.label);
            r.value[0] = e.x, r.value[1] = e.y, r.value[2] = e.z;
            to.push_back(r);
        }
    };
    convert(directions, record->directionReferences);
    convert(points, record->pointReferences);
}

void CCreatePrimitiveDialog::OnKindSelChange()
{
    OnKindChange();
}

void CCreatePrimitiveDialog::OnKindChange()
{
    const int selection = m_kindCombo.GetCurSel();
    if (selection == CB_ERR)
        return; // nothing chosen: nothing to make
    const eShapeKind kind = ShapeKindFromItemData(std::intptr_t(m_kindCombo.GetItemData(selection)));
    const GUID* sessionClass = ShapeKindSessionClass(kind);
    if (!sessionClass || !m_entry)
        return;
    // A symmetry plane is marked with the line tool. The Deviation tab stays
    // for this kind: shown, it keeps its display, and the tool waits for the
    // Shape tab, which puts the view into it.
    if (kind == eShapeKind::SymmetryPlane)
    {
        if (IsPageShown(eShapesPage::Deviation))
            PressSelectionButton(IDC_SHAPES_LINE);
        else
            OnLineSelection();
    }
    CSessionSurface* session = m_entry->CreateSession(*sessionClass, false);
    if (!session)
    {
        // A kind this version cannot make: the combo shows the current one.
        SetCurrentShape(m_session);
        return;
    }
    // Saved before its first fit is kept (a question may be open during the
    // fit), the shape would be written with nothing fitted.
    session->SetBeingMade(true);
    BuildReferenceLists(session);
    // The fit reads the user's choices from the record's rows.
    session->GetRecord()->tree = &m_shapePage->GetPropertyTree();
    session->GetRecord()->BuildRows();
    session->SetParameter(DezazApp().ActiveDoc().AbsoluteTolerance());
    AddListItem(session);
    SelectListItem(session);
    // Fitted without the refit's own redraw: that frame would show the
    // region without its shape, and on a large scan drawing it takes as long
    // as the fit. The view is drawn once, below, with the shape current.
    if (!FitActiveSurface(m_shapePage.get(), session))
    {
        // A result the user turned down was fitted to what is marked: the
        // hint to mark an area would tell them otherwise.
        const bool turnedDown = session->GetRecord()->resultTurnedDown;
        SetCurrentShape(nullptr);
        RemoveListItem(session);
        m_shapePage->GetPropertyTree().DeleteAllItems();
        session->GetRecord()->tree = nullptr;
        m_entry->DeleteSession(session);
        EnableShapeControls();
        if (!turnedDown)
            ShowAnnotation(kNoSelectionHint);
        return;
    }
    session->SetBeingMade(false);
    ClearAnnotation();
    SetCurrentShape(session);
    if (kind == eShapeKind::CurveNetwork)
        SelectTab(1);
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->RequestRedraw(0);
}

void CCreatePrimitiveDialog::ShowSessionObject(CSessionSurface* session, bool show)
{
    ISceneObject* object = session ? session->GetSceneObject() : nullptr;
    if (!object)
        return;
    // The session owns its object: the scene only shows it, and hands it
    // back before it could destroy it.
    std::unique_ptr<cSceneObjectIterator> it(GetScene().GetObjectIterator());
    bool shown = false;
    if (it)
        for (it->First(); !it->IsDone(); it->Next())
            shown = shown || it->Current().Get() == object;
    if (show && !shown)
        GetScene().AddObject(object);
    else if (!show && shown)
        GetScene().DetachObject(object);
}

void CCreatePrimitiveDialog::SetCurrentShape(CSessionSurface* session)
{
    CSessionSurface* old = m_session;
    // Editing state belongs to one shape: the profile editor (an element
    // being drawn, a drag, the Sketch page's undo list) ends on the old shape
    // before another becomes current, and starts afresh on the new one.
    const bool restartSketching = session != old && IsPageShown(eShapesPage::Sketch) && m_shapesView;
    if (restartSketching)
        m_shapesView->EndToolMode(kModeEditProfile);
    if (session != old && m_guidePage)
        m_guidePage->DropDrawnGuide();
    // The Curves page's undo copies are the old shape's network. The network
    // editor starts its list afresh when it follows the new shape; with a
    // selection tool in its place on the Curves tab no editor follows, and
    // the page's Undo would put the old shape's curves into the new one.
    if (session != old && m_shapesView && !m_shapesView->FindMode(kModeEditNetwork))
        if (auto* curves = dynamic_cast<CSubNetworkDlg*>(m_curvesPage.get()))
            curves->ClearUndoStates();
    if (CUIM_ExtendSurface* mode = GetExtendMode())
        mode->SetActiveShape(nullptr);
    // The shape left behind keeps what its fit found: its record's choices
    // go back to the ones that hold the shape where it is.
    if (old && old->GetRecord())
        old->GetRecord()->SetDefaultModes();
    if (old && old != session)
        ShowSessionObject(old, false);
    if (m_shapePage && m_shapePage->GetPropertyTree().GetSafeHwnd())
        m_shapePage->GetPropertyTree().DeleteAllItems();
    m_session = session;
    if (!session)
    {
        if (m_list.GetSafeHwnd())
            m_list.SetCurSel(-1);
        if (m_kindCombo.GetSafeHwnd())
            m_kindCombo.SetCurSel(-1);
        m_kind = eShapeKind::None;
    }
    else
    {
        if (session != old)
            BuildReferenceLists(session);
        if (ST_IExtracted* record = session->GetRecord())
        {
            record->tree = &m_shapePage->GetPropertyTree();
            if (record->tree->GetSafeHwnd())
                record->BuildRows();
        }
        m_kind = ShapeKindOfSession(session);
        if (m_kindCombo.GetSafeHwnd())
            m_kindCombo.SetCurSel(m_kind == eShapeKind::None ? -1 : int(m_kind));
        SelectListItem(session);
        ShowSessionObject(session, true);
    }
    if (!m_hWnd)
        return;
    SetupTabsForKind();
    if (restartSketching && IsPageShown(eShapesPage::Sketch))
        OnTabActivated(m_selectedTab, m_selectedTab);
    SendToView(kCmdClearFeaturePoints);
    SendToView(kCmdReinitializePrimitive);
    ClearAnnotation();
}

void CCreatePrimitiveDialog::RefreshCurrentShape()
{
    if (!m_session)
        return;
    if (ST_IExtracted* record = m_session->GetRecord(); record && record->tree && record->tree->GetSafeHwnd())
        record->RefreshRows();
    SendToView(kCmdReinitializePrimitive);
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->RequestRedraw(0);
}

void CCreatePrimitiveDialog::CurrentShapeMoved()
{
    // The Shape page's rows show the shape as the drag left it (a cylinder's
    // base point and axis); the view is drawn by the mode.
    if (ST_IExtracted* record = m_session ? m_session->GetRecord() : nullptr;
        record && record->tree && record->tree->GetSafeHwnd())
        record->RefreshRows();
}

void CCreatePrimitiveDialog::AddListItem(CSessionSurface* session)
{
    if (!session)
        return;
    m_listed.push_back(session);
    if (!m_list.GetSafeHwnd())
        return;
    const ON_wString name = session->GetName();
    const int index = m_list.AddString(static_cast<const wchar_t*>(name));
    m_list.SetItemData(index, DWORD_PTR(session->GetKindCode()));
}

void CCreatePrimitiveDialog::RemoveListItem(CSessionSurface* session)
{
    for (std::size_t i = 0; i < m_listed.size(); ++i)
        if (m_listed[i] == session)
        {
            m_listed.erase(m_listed.begin() + std::ptrdiff_t(i));
            if (m_list.GetSafeHwnd())
                m_list.DeleteString(UINT(i));
            return;
        }
}

void CCreatePrimitiveDialog::SelectListItem(CSessionSurface* session)
{
    if (!m_list.GetSafeHwnd())
        return;
    for (std::size_t i = 0; i < m_listed.size(); ++i)
        if (m_listed[i] == session)
        {
            m_list.SetCurSel(int(i));
            return;
        }
    m_list.SetCurSel(-1);
}

void CCreatePrimitiveDialog::RenameCurrentShape()
{
    for (std::size_t i = 0; i < m_listed.size() && m_list.GetSafeHwnd(); ++i)
        if (m_listed[i] == m_session)
        {
            const ON_wString name = m_session->GetName();
            m_list.DeleteString(UINT(i));
            m_list.InsertString(int(i), static_cast<const wchar_t*>(name));
            m_list.SetItemData(int(i), DWORD_PTR(m_session->GetKindCode()));
            m_list.SetCurSel(int(i));
            return;
        }
}

void CCreatePrimitiveDialog::OnListSelChange()
{
    MakeListedShapeCurrent(*this, m_list.GetCurSel());
}

void CCreatePrimitiveDialog::OnDeleteShape()
{
    if (m_shapePage)
        m_shapePage->ConfirmDeleteShape();
}

void CCreatePrimitiveDialog::DeleteCurrentShape()
{
    CSessionSurface* session = m_session;
    if (!session || !m_entry)
        return;
    SetCurrentShape(nullptr);
    if (cMeshObject* mesh = FirstMeshObject())
        session->ClearMeshRegion(mesh, RegionTrianglesFor({session}).get());
    RemoveListItem(session);
    if (session->GetRecord())
        session->GetRecord()->tree = nullptr;
    m_entry->DeleteSession(session);
    EnableShapeControls();
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->InvalidateView(0);
}

// ------------------------------------------------------------ closing

void CCreatePrimitiveDialog::SaveSettings()
{
    if (!m_store)
        return;
    if (!::IsIconic(m_hWnd) && !::IsZoomed(m_hWnd))
        SaveWindowPlacement(kShapesDialogSection);
    m_store->WriteInt(kDrawWcsSection, kDrawWcsValue, m_drawWcs);
    // An angle typed and not yet left (the close box, a new document) is
    // the one the user sees: it is kept as the Close button, which takes
    // the keyboard first, keeps it. The dialog is going, so no wand runs.
    double typed = 0.0;
    if (m_hWnd && CreaseFieldNumber(&typed))
        m_creaseAngle = ClampCreaseAngle(typed);
    wchar_t text[32];
    std::swprintf(text, 32, L"%g", double(m_creaseAngle));
    WriteText(*m_store, kCreaseAngleSection, kCreaseAngleValue, text);
}

void CCreatePrimitiveDialog::CloseWindow()
{
    HideQuickPickers();
    m_closed = true;
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
}

void CCreatePrimitiveDialog::OnOK()
{
    // The sessions must match the host mesh they are stored with: a moved
    // mesh is settled first, as Close does.
    if (IsMeshMoved())
    {
        const int answer =
            DezazMessageBox(m_hWnd, kMovedMeshQuestion, vtl::kPlugInName, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return;
        if (answer != IDYES || !MoveHostMeshOrSaySo())
            ReturnSessionsToHostMesh();
    }
    SaveSettings();
    OnCreateInDezaz();
    CloseWindow();
}

void CCreatePrimitiveDialog::OnCancel()
{
    if (IsMeshMoved())
    {
        const int answer =
            DezazMessageBox(m_hWnd, kMovedMeshQuestion, vtl::kPlugInName, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return;
        // Without a way to move the host mesh, the sessions go back to it.
        if (answer != IDYES || !MoveHostMeshOrSaySo())
            ReturnSessionsToHostMesh();
    }
    SaveSettings();
    CloseWindow();
}

void CCreatePrimitiveDialog::OnCreateInDezaz()
{
    if (Transfer() && m_session)
        Transfer()(*this, m_session);
}

void CCreatePrimitiveDialog::OnCreateAll()
{
    TransferAllShapesToHost(*this);
}

void CCreatePrimitiveDialog::OnHowTo()
{
    ShowHowToMenu(m_hWnd, ::GetDlgItem(m_hWnd, IDC_SHAPES_HOW_TO), vtl::MakerWebSite());
}

void CCreatePrimitiveDialog::OnDeleteAll()
{
    DeleteAllShapes(*this);
}

LRESULT CCreatePrimitiveDialog::OnListRightClick(WPARAM, LPARAM)
{
    RunShapeListMenu(*this);
    return 0;
}

void CCreatePrimitiveDialog::OnHostSamePlace()
{
    if (IsMeshMoved() && !MoveHostMeshHere())
        DezazMessageBox(m_hWnd, kHostMeshNotMovedMessage, vtl::kPlugInName, MB_OK | MB_ICONEXCLAMATION);
}

bool CCreatePrimitiveDialog::MoveHostMeshOrSaySo()
{
    // The user asked for the move: a host mesh deleted or no longer a mesh
    // since the dialog opened is not moved, and the user hears why.
    if (!Mover())
        return false;
    if (MoveHostMeshHere())
        return true;
    DezazMessageBox(m_hWnd, kHostMeshNotMovedMessage, vtl::kPlugInName, MB_OK | MB_ICONEXCLAMATION);
    return false;
}

bool CCreatePrimitiveDialog::MoveHostMeshHere()
{
    // The frames say where the sessions are: they are reset only once the
    // host mesh really moved there, and then they must be, or a shape
    // created afterwards would be mapped back through a move the host mesh
    // has already made.
    if (!Mover() || !Mover()(*this, m_meshFrame))
        return false;
    std::memcpy(m_meshFrame, kIdentity, sizeof m_meshFrame);
    std::memcpy(m_placement, kIdentity, sizeof m_placement);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_RESET), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_HOST_SAME_PLACE), FALSE);
    return true;
}

void CCreatePrimitiveDialog::ShowShapesAsKeptForWrite(bool writing)
{
    if (m_sketchPage)
        m_sketchPage->ShowSketchAsKeptForWrite(writing);
    if (auto* curves = dynamic_cast<CSubNetworkDlg*>(m_curvesPage.get()))
        curves->ShowNetworkAsKeptForWrite(writing);
}

void CCreatePrimitiveDialog::OnDestroy()
{
    // The profile editor ends while its shape is still current, so that it
    // gives that shape back what it holds of it (the fitted profile an empty
    // sketch stood in for, the lines a half-drawn tangent arc trimmed).
    if (m_shapesView && m_shapesView->GetSafeHwnd())
        m_shapesView->EndToolMode(kModeEditProfile);
    if (CUIM_ExtendSurface* mode = GetExtendMode())
        mode->SetActiveShape(nullptr);
    ShowSessionObject(m_session, false);
    if (m_entry)
        for (std::size_t i = 0; i < m_entry->SessionCount(); ++i)
            if (ST_IExtracted* record = m_entry->Session(i)->GetRecord(); record && record->tree == &m_shapePage->GetPropertyTree())
                record->tree = nullptr;
    m_session = nullptr;
    for (CSubDlgBase* page : {static_cast<CSubDlgBase*>(m_shapePage.get()), static_cast<CSubDlgBase*>(m_sketchPage.get()),
                              m_curvesPage.get(), m_deviationPage.get(), static_cast<CSubDlgBase*>(m_guidePage.get())})
        if (page && page->GetSafeHwnd())
            page->DestroyWindow();
    DestroyQuickPickersOf(*this);
    CBaseVTLDialog::OnDestroy();
}
