#include "plugin/tools/segmentation_dialog.h"

#include "analysis/segmentation.h"
#include "analysis/segmentation_split.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/registry_store.h"
#include "core/thread_pool.h"
#include "modes/segmentation_view.h"
#include "overlay/dialog_anchor_layout.h"
#include "platform/geometry/mesh.h"
#include "platform/host/app_settings.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/mfc/tooltip_ctrl.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/icons.h"
#include "plugin/module_state.h"
#include "plugin/plugin_info.h"
#include "plugin/vtl_plugin.h"
#include "render/mouse_navigation_profiles.h"
#include "resources/segmentation.h"

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

IMPLEMENT_DYNAMIC(CSegmentationDialog, CBaseVTLDialog)

BEGIN_MESSAGE_MAP(CSegmentationDialog, CBaseVTLDialog)
ON_COMMAND(IDC_SEGMENTATION_SPLIT, &CSegmentationDialog::OnSplitButton)
ON_COMMAND(IDC_SEGMENTATION_DETECT, &CSegmentationDialog::OnDetectButton)
ON_COMMAND(IDC_SEGMENTATION_PAINT_FILLED, &CSegmentationDialog::OnPaintFilled)
ON_COMMAND(IDC_SEGMENTATION_PAINT, &CSegmentationDialog::OnPaint)
ON_COMMAND(IDC_SEGMENTATION_LINE, &CSegmentationDialog::OnLine)
ON_WM_HSCROLL()
ON_COMMAND(IDC_SEGMENTATION_UNDO, &CSegmentationDialog::OnUndoSelection)
ON_COMMAND(IDC_SEGMENTATION_FRONT_ONLY, &CSegmentationDialog::OnSelectFrontFacingOnly)
END_MESSAGE_MAP()

namespace
{

// Win32's stop icon of a message box.
constexpr unsigned int kStopIcon = 0x10;

// Calls f(mesh) for every scene object that is a mesh.
template <class F> void ForEachMeshOf(cP3DScene& scene, F&& f)
{
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    if (!it)
        return;
    for (it->First(); !it->IsDone(); it->Next())
        if (ISceneObject* object = it->Current().Get())
            if (auto* mesh = static_cast<cMesh*>(object->QueryInterface(IID_cMesh)))
                f(*mesh);
}

// The triangles of a host mesh whose three corners are three different
// points (each quad as its two triangles), as the dialog's copy takes them:
// every one of them is in the copy unless its weld merged two corners. By
// index, from the faces alone, the count is an upper bound of that by
// position.
std::uint64_t TrianglesOfDistinctCorners(const ON_Mesh& host, bool byPosition)
{
    const int vertexCount = host.VertexCount();
    const auto faceCount = static_cast<std::size_t>(std::max(host.FaceCount(), 0));
    const auto apart = [&](int a, int b, int c)
    {
        if (!byPosition)
            return a != b && b != c && c != a;
        const ON_3fPoint &p = host.m_V[a], &q = host.m_V[b], &r = host.m_V[c];
        const auto same = [](const ON_3fPoint& u, const ON_3fPoint& v)
        { return u.x == v.x && u.y == v.y && u.z == v.z; };
        return !same(p, q) && !same(q, r) && !same(r, p);
    };
    constexpr std::size_t kBlock = 1u << 16;
    std::vector<std::uint64_t> counted((faceCount + kBlock - 1) / kBlock, 0);
    auto count = [&](std::size_t b)
    {
        std::uint64_t n = 0;
        for (std::size_t f = b * kBlock; f < std::min(faceCount, (b + 1) * kBlock); ++f)
        {
            const ON_MeshFace& face = host.m_F[static_cast<int>(f)];
            const int corners = face.IsQuad() ? 4 : 3;
            bool inside = true;
            for (int k = 0; k < corners; ++k)
                inside = inside && face.vi[k] >= 0 && face.vi[k] < vertexCount;
            if (!inside)
                continue;
            n += apart(face.vi[0], face.vi[1], face.vi[2]) ? 1 : 0;
            if (corners == 4)
                n += apart(face.vi[0], face.vi[2], face.vi[3]) ? 1 : 0;
        }
        counted[b] = n;
    };
    ParallelForEach(SharedThreadPool(), counted.size(), 1, count);
    std::uint64_t total = 0;
    for (const std::uint64_t n : counted)
        total += n;
    return total;
}

struct stToolButton
{
    UINT id;
    UINT icon;
    const wchar_t* tooltip;
};
constexpr stToolButton kToolButtons[] = {
    {IDC_SEGMENTATION_PAINT_FILLED, IDI_SEGMENTATION_PAINT_FILLED, L"Free Hand (Filled) Selection"},
    {IDC_SEGMENTATION_PAINT, IDI_SEGMENTATION_PAINT, L"Free Hand Selection"},
    {IDC_SEGMENTATION_LINE, IDI_SEGMENTATION_LINE, L"Select by drawing a line"},
    {IDC_SEGMENTATION_FRONT_ONLY, IDI_SEGMENTATION_FRONT_ONLY, L"Select front facing only"},
};

} // namespace

CSegmentationDialog::CSegmentationDialog(CWnd* parent, cRegistryStore* settings)
    : CBaseVTLDialog(IDD_SEGMENTATION, parent, settings), m_settings(settings), m_areaLimit(FLT_MAX)
{
    m_segmentationView = new cSegmentationView(this);
    SetView(m_segmentationView);
    if (m_settings)
    {
        m_settings->WriteInt(kMouseNavigationSettings, L"ReverseWheelZooming", 1);
        const std::wstring profile = L"Dezaz";
        m_settings->WriteValue(kMouseNavigationSettings, L"ActiveProfile", REG_SZ, profile.c_str(),
                               DWORD((profile.size() + 1) * 2));
    }
}

CSegmentationDialog::~CSegmentationDialog() = default;

void CSegmentationDialog::DoDataExchange(CDataExchange* dx)
{
    CBaseVTLDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_SEGMENTATION_PAINT_FILLED, m_paintFilled);
    DDX_Control(dx, IDC_SEGMENTATION_PAINT, m_paint);
    DDX_Control(dx, IDC_SEGMENTATION_LINE, m_line);
    DDX_Control(dx, IDC_SEGMENTATION_SENSITIVITY, m_slider);
    DDX_Control(dx, IDC_SEGMENTATION_FRONT_ONLY, m_frontOnly);
    DDX_Check(dx, IDC_SEGMENTATION_FRONT_ONLY, m_frontFacing);
}

BOOL CSegmentationDialog::OnInitDialog()
{
    if (!CBaseVTLDialog::OnInitDialog())
        return FALSE;
    m_slider.SetRange(kSensitivityMin, kSensitivityMax);
    m_slider.SetPos(kSensitivityStart);
    m_slider.EnableWindow(FALSE);

    if (cP3DView* view = GetView())
    {
        view->turntableRotation = DezazAppSettings().ViewSettings().m_rotate_about_view_axes == 0 ? 1 : 0;
        view->SetStandardView(kTopView);
        view->SetModeById(kSegmentationModeId, 0, 0);
    }

    auto tooltip = std::make_unique<CToolTipCtrl>();
    const bool tips = tooltip->Create(this);
    for (const stToolButton& b : kToolButtons)
    {
        auto* button = dynamic_cast<CButtonST*>(GetDlgItem(int(b.id)));
        if (!button)
            continue;
        const LPCWSTR name = MAKEINTRESOURCEW(b.icon);
        auto icon = static_cast<HICON>(::LoadImageW(AfxFindResourceHandle(name, RT_GROUP_ICON), name, IMAGE_ICON, 0, 0,
                                                    LR_DEFAULTSIZE));
        // Without its icon a tool keeps its caption, so it can still be told apart.
        if (icon)
        {
            button->SetWindowText(L"");
            button->SetIcon(icon);
        }
        button->SetFlat(true);
        button->SetColour(kColourBackRest, 0xFFFFFF);
        button->SetAlwaysTrack(false);
        if (tips)
            tooltip->AddTool(button, b.tooltip);
    }
    if (tips)
        tooltip->Activate(TRUE);
    SetToolTip(tooltip.release());

    RestoreWindowPlacement(kSegmentationPlacementSection);
    ComputeCleanupLimit();
    if (cP3DView* view = GetView())
        view->RedrawWindow();

    CheckTool(IDC_SEGMENTATION_PAINT_FILLED);
    ApplySelectionTool();

    int frontFacing = 1;
    if (m_settings)
        m_settings->ReadInt(kFrontFacingSection, kFrontFacingValue, &frontFacing);
    // Shared with the shapes dialog, which takes any value but 0 as on: an
    // edited or older value reads the same here and is stored back as 1.
    m_frontFacing = frontFacing != 0 ? 1 : 0;
    m_frontOnly.SetCheck(m_frontFacing == 1 ? BST_CHECKED : BST_UNCHECKED);
    if (m_settings)
        m_settings->WriteInt(kFrontFacingSection, kFrontFacingValue, m_frontFacing);
    return TRUE;
}

void CSegmentationDialog::SetupControlAnchors()
{
    cDialogAnchorLayout* anchors = GetAnchorLayout();
    if (!anchors)
        return;
    if (cP3DView* view = GetView(); view && view->GetSafeHwnd())
        anchors->SetAnchor(::GetDlgCtrlID(view->GetSafeHwnd()), 6, 6);
    for (UINT id : {IDC_SEGMENTATION_DETECT, IDC_SEGMENTATION_SENSITIVITY_LABEL, IDC_SEGMENTATION_SENSITIVITY,
                    IDC_SEGMENTATION_PAINT_FILLED, IDC_SEGMENTATION_PAINT, IDC_SEGMENTATION_LINE,
                    IDC_SEGMENTATION_FRONT_ONLY, IDC_SEGMENTATION_UNDO})
        anchors->SetAnchor(id, 3, 3);
    anchors->SetAnchor(IDC_SEGMENTATION_SPLIT, 3, 5);
    anchors->SetAnchor(IDCANCEL, 5, 5);
}

void CSegmentationDialog::ComputeCleanupLimit()
{
    float box[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
    bool any = false;
    ForEachMeshOf(GetScene(),
                     [&](cMesh& mesh)
                     {
                         const float* b = mesh.GetBoundingBox();
                         if (!b || !(b[0] <= b[3] && b[1] <= b[4] && b[2] <= b[5]))
                             return;
                         for (int k = 0; k < 3; ++k)
                         {
                             box[k] = std::min(box[k], b[k]);
                             box[k + 3] = std::max(box[k + 3], b[k + 3]);
                         }
                         any = true;
                     });
    m_areaLimit = any ? SegmentationAreaLimit(box) : FLT_MAX;
}

bool CSegmentationDialog::OnDetect()
{
    const float threshold = float(m_slider.GetSafeHwnd() ? m_slider.GetPos() : kSensitivityStart);
    // Whether anything was marked before and the clearing of the selection
    // mask go with the marking's pass over the triangles.
    bool markedBefore = false;
    bool marked = false;
    // The marking also readies each mesh for the clean-up where there is
    // one.
    const bool cleanUp = m_areaLimit != 0.0 && m_areaLimit != FLT_MAX;
    std::map<const cMesh*, stCleanUpReadied> readied;
    ForEachMeshOf(GetScene(),
                     [&](cMesh& mesh)
                     {
                         if (!mesh.AreValuesReady())
                         {
                             ComputeSegmentationValues(mesh);
                             mesh.SetValuesReady(true);
                         }
                         stMarkingAlso also;
                         also.clear = GetSelectionMaskBit();
                         also.wasMarked = &markedBefore;
                         if (cleanUp)
                             also.cleanUp = &readied[&mesh];
                         marked = MarkSharpTriangles(mesh, threshold, also) || marked;
                     });
    ForEachMeshOf(GetScene(),
                     [&](cMesh& mesh)
                     {
                         // The vertex bits are refreshed in the clean-up's last
                         // pass over the triangles.
                         const auto ready = readied.find(&mesh);
                         RemoveSmallRegions(mesh, m_areaLimit, ready != readied.end() ? &ready->second : nullptr,
                                            true);
                     });
    SelectionMaskCleared();
    if (m_slider.GetSafeHwnd())
        m_slider.EnableWindow(TRUE);
    // Marks that went must leave the screen too: a view still showing them
    // would disagree with a Split that finds none.
    if (cP3DView* view = GetView())
    {
        if (markedBefore || AnyVisibleMarked())
            view->RequestRedraw(0);
    }
    return marked;
}

void CSegmentationDialog::OnDetectButton()
{
    OnDetect();
}

void CSegmentationDialog::OnHScroll(UINT code, UINT position, CScrollBar* bar)
{
    CBaseVTLDialog::OnHScroll(code, position, bar);
    // The scroll bar is the control's window object.
    auto* control = reinterpret_cast<CWnd*>(bar);
    if (!control || !m_slider.GetSafeHwnd() || control->GetSafeHwnd() != m_slider.GetSafeHwnd())
        return;
    UpdateData(TRUE);
    // Dragging the thumb only moves it; the detection follows its release
    // and the keyboard and page steps.
    if (code != SB_THUMBTRACK)
        OnDetect();
    UpdateData(FALSE);
}

void CSegmentationDialog::CheckTool(UINT id)
{
    for (CImageButton* button : {&m_paintFilled, &m_paint, &m_line})
        if (button->GetSafeHwnd())
            button->SetCheck(::GetDlgCtrlID(button->GetSafeHwnd()) == int(id) ? BST_CHECKED : BST_UNCHECKED);
}

void CSegmentationDialog::ApplySelectionTool()
{
    cP3DView* view = GetView();
    if (!view || !view->GetSafeHwnd())
        return;
    UINT command = 0;
    if (m_paintFilled.GetSafeHwnd() && m_paintFilled.GetCheck() == BST_CHECKED)
        command = kCmdPaintFilled;
    else if (m_paint.GetSafeHwnd() && m_paint.GetCheck() == BST_CHECKED)
        command = kCmdPaintFreeHand;
    else if (m_line.GetSafeHwnd() && m_line.GetCheck() == BST_CHECKED)
        command = kCmdPaintLine;
    if (command)
        view->SendMessage(WM_COMMAND, command, 0);
}

void CSegmentationDialog::OnPaintFilled()
{
    CheckTool(IDC_SEGMENTATION_PAINT_FILLED);
    ApplySelectionTool();
}

void CSegmentationDialog::OnPaint()
{
    CheckTool(IDC_SEGMENTATION_PAINT);
    ApplySelectionTool();
}

void CSegmentationDialog::OnLine()
{
    CheckTool(IDC_SEGMENTATION_LINE);
    ApplySelectionTool();
}

void CSegmentationDialog::OnUndoSelection()
{
    if (cP3DView* view = GetView(); view && view->GetSafeHwnd())
        view->SendMessage(WM_COMMAND, kCmdUndoSelection, 0);
}

void CSegmentationDialog::OnSelectFrontFacingOnly()
{
    UpdateData(TRUE);
    if (m_frontOnly.GetSafeHwnd())
    {
        m_frontOnly.SetCheck(m_frontFacing == 1 ? BST_CHECKED : BST_UNCHECKED);
        m_frontOnly.Invalidate();
    }
    if (m_settings)
        m_settings->WriteInt(kFrontFacingSection, kFrontFacingValue, m_frontFacing);
}

bool CSegmentationDialog::AnyVisibleMarked()
{
    // Blocks of triangles are searched on the shared pool; once a mark is
    // found, the blocks not yet started are passed over.
    std::atomic<bool> any{false};
    ForEachMeshOf(GetScene(),
                     [&](cMesh& mesh)
                     {
                         constexpr std::size_t kBlock = 1u << 16;
                         const std::uint32_t count = mesh.GetTriangleCount();
                         auto search = [&](std::size_t b) {
                             const auto first = static_cast<std::uint32_t>(b * kBlock);
                             const auto last = static_cast<std::uint32_t>(std::min<std::size_t>(count, first + kBlock));
                             for (std::uint32_t i = first; i < last && !any.load(std::memory_order_relaxed); ++i)
                                 if (IsVisibleSelected(*mesh.GetTriangle(i)))
                                     any.store(true, std::memory_order_relaxed);
                         };
                         if (!any.load())
                             ParallelForEach(SharedThreadPool(), (std::size_t{count} + kBlock - 1) / kBlock, 1, search);
                     });
    return any.load();
}

bool CSegmentationDialog::OnSplitIntoSubMeshes()
{
    CDezazDoc* doc = m_doc ? m_doc : &DezazApp().ActiveDoc();
    // The copy welds corners closer together than the import's tolerance
    // (kImportMergeTolerance), and the split writes the copy: triangles
    // smaller than that (a part modelled in metres, say) would be gone from
    // the document. A few needles here and there (up to one triangle in a
    // thousand; a big scan has some) are the weld's usual clean-up, and the
    // split goes on without them.
    const auto* host =
        dynamic_cast<const CDezazMeshObject*>(doc ? doc->LookupObject(GetHostObjectId()) : nullptr);
    if (host && host->Mesh() && host->RuntimeSerialNumber() == GetHostObjectSerial())
    {
        std::uint64_t copied = 0;
        ForEachMeshOf(GetScene(), [&](cMesh& mesh) { copied += mesh.GetTriangleCount(); });
        // The positions are read only where the faces leave room for a loss.
        const std::uint64_t held = copied < TrianglesOfDistinctCorners(*host->Mesh(), false)
                                       ? TrianglesOfDistinctCorners(*host->Mesh(), true)
                                       : copied;
        if (copied < held && held - copied > held / 1000)
        {
            const std::wstring text =
                L"The mesh has triangles whose corners lie closer together than 0.0001, "
                L"which this window merges (" +
                std::to_wstring(held - copied) + L" of " + std::to_wstring(held) +
                L" triangles): a split would lose them, so nothing was split.";
            DezazMessageBox(m_hWnd, text.c_str(), vtl::kPlugInName, kStopIcon);
            return false;
        }
    }
    cSegmentationSplitter splitter(doc, GetHostObjectId(), vtl::kPlugInName, GetHostObjectSerial());
    return splitter.OnSplitIntoSubMeshes(&GetScene());
}

void CSegmentationDialog::SavePlacementUnlessMinimisedOrMaximised()
{
    if (GetSizeState() == kSizeNormal)
        SaveWindowPlacement(kSegmentationPlacementSection);
}

void CSegmentationDialog::OnSplitButton()
{
    if (!AnyVisibleMarked())
    {
        DezazMessageBox(m_hWnd, L"Nothing to split. Select triangles first.", vtl::kPlugInName, kStopIcon);
        return;
    }
    if (!OnSplitIntoSubMeshes())
        return;
    SavePlacementUnlessMinimisedOrMaximised();
    CDezazDialog::OnOK();
}

void CSegmentationDialog::OnCancel()
{
    SavePlacementUnlessMinimisedOrMaximised();
    CDezazDialog::OnCancel();
}

void vtl::RunSegmentationDialog(const CDezazObjRef& mesh, CWnd* parent)
{
    const auto* object = dynamic_cast<const CDezazMeshObject*>(mesh.Object());
    if (!object)
        return;
    // The dialog's template, menus and icons are the plug-in's resources.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CSegmentationDialog dialog(parent, &ThePlugIn().Settings());
    // The mesh goes into the scene before the dialog's window exists, so the
    // view opens on it.
    if (!dialog.LoadHostMesh(*object))
        return;
    dialog.DoModal();
}
