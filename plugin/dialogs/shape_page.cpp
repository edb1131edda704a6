#include "plugin/dialogs/shape_page.h"

#include "core/bucket_search_tree_prop.h"
#include "core/freed_memory.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "core/point_cloud.h"
#include "shapes/sketch_curve.h"
#include "core/scene_object_container.h"
#include "core/thread_pool.h"
#include "core/frame_math.h"
#include "modes/shapes_view.h"
#include "modes/surface_extension_mode.h"
#include "platform/host/dezaz_app.h"
#include "platform/win32/input.h"
#include "plugin/dialogs/shape_kinds.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/plugin_info.h"
#include "render/base_renderer.h"
#include "resources/shapes_dialog.h"
#include "shapes/extracted_record.h"
#include "shapes/session_kinds.h"
#include "shapes/session_surface.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstring>
#include <memory>
#include <utility>

BEGIN_MESSAGE_MAP(CSubSurfaceDlg, CSubDlgBase)
ON_NOTIFY(PTN_ITEMCHANGED, IDC_SHAPE_PAGE_TREE, &CSubSurfaceDlg::OnTreeNotify)
ON_COMMAND(IDC_SHAPES_DESELECT_ALL, &CSubSurfaceDlg::OnDeselectAllButton)
ON_COMMAND(IDC_SHAPES_SELECT_ALL, &CSubSurfaceDlg::OnSelectAllButton)
ON_COMMAND(IDC_SHAPE_PAGE_REBUILD, &CSubSurfaceDlg::OnRebuildButton)
ON_COMMAND(IDC_SHAPE_PAGE_VERTICAL, &CSubSurfaceDlg::OnVerticalButton)
ON_COMMAND(IDC_SHAPE_PAGE_HORIZONTAL, &CSubSurfaceDlg::OnHorizontalButton)
ON_COMMAND(IDC_SHAPES_UNDO_SELECTION, &CSubSurfaceDlg::OnUndoSelectionButton)
ON_WM_SIZE()
END_MESSAGE_MAP()

namespace
{

// Vertices per job of the shared pool when the marked points are collected.
constexpr std::uint32_t kCollectBlockVertices = 65536;

// Fewest points of a fit that first hands the memory freed before it back
// to the system.
constexpr std::size_t kReturnFreedMemoryPoints = std::size_t{1} << 20;

constexpr const wchar_t* kSketchQuestion = L"Changing the direction will destroy existing sketch.\nDo you want to continue?";
constexpr const wchar_t* kDeleteCaption = L"Delete selected surface";

// A wait cursor for the length of a fit.
class cWaitCursor
{
public:
    cWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
    ~cWaitCursor() { ::SetCursor(m_previous); }
    cWaitCursor(const cWaitCursor&) = delete;
    cWaitCursor& operator=(const cWaitCursor&) = delete;

private:
    HCURSOR m_previous;
};

ISceneObject* FirstSceneObject(I3DScene& scene)
{
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    if (!it)
        return nullptr;
    for (it->First(); !it->IsDone(); it->Next())
        if (ISceneObject* object = it->Current().Get(); object && object->QueryInterface(IID_ISceneObject))
            return object;
    return nullptr;
}

// Drops the vertex search trees of the scene's point clouds (a symmetry
// plane's fit builds one over every vertex of the scan).
void DropVertexTrees(I3DScene& scene)
{
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    if (it)
        for (it->First(); !it->IsDone(); it->Next())
            if (ISceneObject* object = it->Current().Get(); object && object->QueryInterface(IID_cPointCloud))
                object->DetachProperty(kBucketSearchTreePropertyName);
}

ST_IProfiledSurface* ProfiledShape(ISceneObject* object)
{
    if (!object || (!object->QueryInterface(IID_ExtrudedSurface) && !object->QueryInterface(IID_RevolvedSurface)))
        return nullptr;
    return static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface));
}

} // namespace

std::size_t CollectMarkedPoints(I3DScene& scene, std::deque<stFitPoint>& out, bool over)
{
    std::unique_ptr<cSceneObjectIterator> it(scene.GetObjectIterator());
    if (!it)
    {
        if (over)
            out.clear();
        return 0;
    }
    const std::size_t before = over ? 0 : out.size();
    // The records written so far; those after them are only room.
    std::size_t written = before;
    for (it->First(); !it->IsDone(); it->Next())
    {
        auto* object = dynamic_cast<cMeshObject*>(it->Current().Get());
        const cMesh* mesh = object ? object->GetMesh() : nullptr;
        if (!mesh)
            continue;
        // The marks are counted a block of vertices at a time on the pool,
        // the queue sized once, and each block's points written from where
        // its count starts: the queue's order, a whole scan's millions of
        // points not pushed one by one.
        const std::uint32_t count = mesh->GetVertexCount();
        const std::size_t blocks = (std::size_t{count} + kCollectBlockVertices - 1) / kCollectBlockVertices;
        const auto marked = [mesh](std::uint32_t i) { return (mesh->GetVertex(i)->flags & 2u) != 0; };
        std::vector<std::size_t> firstOf(blocks + 1, 0);
        // The count notes the marked vertices, a bit each (a block is whole
        // words), so that the writing reads only their records.
        static_assert(kCollectBlockVertices % 64 == 0);
        std::vector<std::uint64_t> markedBits((std::size_t{count} + 63) / 64, 0);
        auto countBlock = [&](std::size_t block) {
            const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(block + 1) * kCollectBlockVertices);
            std::size_t n = 0;
            for (std::uint32_t i = std::uint32_t(block) * kCollectBlockVertices; i < end; ++i)
                if (marked(i))
                {
                    ++n;
                    markedBits[i >> 6] |= std::uint64_t{1} << (i & 63);
                }
            firstOf[block + 1] = n;
        };
        ParallelForEach(SharedThreadPool(), blocks, 1, countBlock);
        for (std::size_t block = 0; block < blocks; ++block)
            firstOf[block + 1] += firstOf[block];
        const std::size_t start = written;
        written += firstOf[blocks];
        if (out.size() < written)
            out.resize(written);
        auto writeBlock = [&](std::size_t block) {
            const std::uint32_t end = std::min<std::uint32_t>(count, std::uint32_t(block + 1) * kCollectBlockVertices);
            auto to = out.begin() + static_cast<std::ptrdiff_t>(start + firstOf[block]);
            for (std::size_t word = std::size_t(block) * (kCollectBlockVertices / 64);
                 word < (std::size_t{end} + 63) / 64; ++word)
                for (std::uint64_t bits = markedBits[word]; bits != 0; bits &= bits - 1)
                {
                    const auto i = static_cast<std::uint32_t>(
                        word * 64 + static_cast<std::size_t>(std::countr_zero(bits)));
                    const cVertex* v = mesh->GetVertex(i);
                    stFitPoint& p = *to++;
                    std::memcpy(p.position, v->Position(), sizeof p.position);
                    p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
                    p.active = 1;
                    p.residual = double(FLT_MAX);
                }
        };
        ParallelForEach(SharedThreadPool(), blocks, 1, writeBlock);
    }
    out.resize(written);
    return written - before;
}

bool RefitActiveSurface(CSubSurfaceDlg* page, CSessionSurface* session)
{
    if (!FitActiveSurface(page, session))
        return false;
    if (cCPView* view = page->View(); view && view->GetSafeHwnd())
        view->RequestRedraw(0);
    return true;
}

bool FitActiveSurface(CSubSurfaceDlg* page, CSessionSurface* session)
{
    if (!session || !session->GetRecord() || !page || !page->Owner())
        return false;
    CCreatePrimitiveDialog* dialog = page->Owner();
    I3DScene& scene = dialog->GetScene();
    // The last refit's records are written over: on a whole scan making
    // its 5M records one by one again took 40-90 ms, and freeing them 8 ms.
    tFitPointQueue points = std::move(page->FitPointRoom());
    CollectMarkedPoints(scene, points, true);
    // Only a symmetry plane's fit searches the scan's vertex tree: the fit
    // of another kind does not hold it beside its own temporaries (35 MB
    // for a scan of 5M vertices). A symmetry plane fitted later builds it
    // again, the same tree.
    if (ShapeKindOfSession(session) != eShapeKind::SymmetryPlane)
        DropVertexTrees(scene);
    // The fit of a whole scan makes hundreds of megabytes of temporaries:
    // what the steps before it freed (their temporaries, the frames drawn)
    // would otherwise stay resident beside them, between blocks in use.
    if (points.size() >= kReturnFreedMemoryPoints)
        ReturnFreedMemory();
    ISceneObject* reference = FirstSceneObject(scene);
    bool fitted = false;
    {
        cWaitCursor wait;
        cFitContainer container(std::move(points));
        fitted = session->GetRecord()->Refit(container, 1.1, reference, page) != 0;
        page->FitPointRoom() = std::move(container.Points());
    }
    if (!fitted)
        return false;
    if (reference)
        session->TakeSelection(reference); // the region, with its colours
    return true;
}

CSubSurfaceDlg::CSubSurfaceDlg(CCreatePrimitiveDialog* owner, cCPView* view)
    : CSubDlgBase(IDD_SHAPE_PAGE, owner, view)
{
}

CSubSurfaceDlg::~CSubSurfaceDlg() = default;

BOOL CSubSurfaceDlg::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    m_tooltipMade = m_tooltip.Create(this) != FALSE;
    if (m_tooltipMade)
        m_tooltip.Activate(TRUE);
    RECT r{0, 0, 100, 100};
    if (HWND placeholder = ::GetDlgItem(m_hWnd, IDC_SHAPE_PAGE_TREE))
    {
        ::GetWindowRect(placeholder, &r);
        ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r.left));
        ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r.right));
        ::ShowWindow(placeholder, SW_HIDE);
        ::SetWindowLongPtrW(placeholder, GWLP_ID, 0);
    }
    m_tree.Create(WS_CHILD | WS_VISIBLE | PTS_NOTIFY, r, this, IDC_SHAPE_PAGE_TREE);
    m_tree.DeleteAllItems();
    // The template's spacing: the buttons' row below the tree, the page's
    // edge below the row.
    RECT page{}, row{};
    ::GetClientRect(m_hWnd, &page);
    if (ButtonRow(row))
    {
        m_rowGap = std::max<LONG>(0, row.top - r.bottom);
        m_bottomMargin = std::max<LONG>(0, page.bottom - row.bottom);
    }
    LayOutPage(page.right, page.bottom);
    return TRUE;
}

bool CSubSurfaceDlg::ButtonRow(RECT& row) const
{
    row = RECT{0, 0, 0, 0};
    bool any = false;
    for (int id : {IDC_SHAPE_PAGE_REBUILD, IDC_SHAPE_PAGE_VERTICAL, IDC_SHAPE_PAGE_HORIZONTAL})
        if (HWND button = ::GetDlgItem(m_hWnd, id))
        {
            RECT r{};
            ::GetWindowRect(button, &r);
            ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
            if (any)
                ::UnionRect(&row, &row, &r);
            else
                row = r;
            any = true;
        }
    return any;
}

void CSubSurfaceDlg::OnSize(UINT type, int cx, int cy)
{
    CSubDlgBase::OnSize(type, cx, cy);
    LayOutPage(cx, cy);
}

void CSubSurfaceDlg::LayOutPage(int cx, int cy)
{
    // The tree takes the page's width and all its height above the buttons'
    // row, which keeps to the page's bottom: the shapes dialog gives its
    // pages the room of its largest one.
    if (!m_tree.GetSafeHwnd())
        return;
    RECT row{};
    LONG treeBottom = cy;
    if (ButtonRow(row))
    {
        const LONG shift = (cy - m_bottomMargin) - row.bottom;
        for (int id : {IDC_SHAPE_PAGE_REBUILD, IDC_SHAPE_PAGE_VERTICAL, IDC_SHAPE_PAGE_HORIZONTAL})
            if (HWND button = ::GetDlgItem(m_hWnd, id))
            {
                RECT r{};
                ::GetWindowRect(button, &r);
                ::MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&r), 2);
                ::SetWindowPos(button, nullptr, r.left, r.top + shift, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            }
        treeBottom = row.top + shift - m_rowGap;
    }
    m_tree.MoveWindow(0, 0, cx, std::max<LONG>(0, treeBottom));
}

void CSubSurfaceDlg::PostNcDestroy()
{
    if (m_tree.GetSafeHwnd())
        m_tree.DeleteAllItems();
    m_fitPointRoom = tFitPointQueue();
    CSubDlgBase::PostNcDestroy();
}

void CSubSurfaceDlg::OnTreeNotify(NMHDR* header, LRESULT* result)
{
    if (result)
        *result = 0;
    auto* notify = reinterpret_cast<NMPROPTREE*>(header);
    OnPropertyChanged(notify ? notify->pItem : nullptr);
}

void CSubSurfaceDlg::OnDeselectAllButton()
{
    if (Owner())
        Owner()->OnDeselectAll();
}

void CSubSurfaceDlg::OnSelectAllButton()
{
    if (Owner())
        Owner()->OnSelectAll();
}

void CSubSurfaceDlg::OnUndoSelectionButton()
{
    SendToView(kCmdUndoSelection);
}

void CSubSurfaceDlg::StartNewShape()
{
    CCreatePrimitiveDialog* dialog = Owner();
    if (!dialog)
        return;
    DropVertexTrees(dialog->GetScene());
    dialog->SetCurrentShape(nullptr);
    dialog->OnDeselectAll();
}

void CSubSurfaceDlg::OnRebuild()
{
    // Refreshing the current shape draws the view: the refit's own frame
    // would show the old handles and cost a frame of the scan.
    CCreatePrimitiveDialog* dialog = Owner();
    if (dialog && FitActiveSurface(this, dialog->GetCurrentSession()))
        dialog->RefreshCurrentShape();
}

void CSubSurfaceDlg::ConstrainDirection(bool vertical)
{
    CCreatePrimitiveDialog* dialog = Owner();
    CSessionSurface* session = dialog ? dialog->GetCurrentSession() : nullptr;
    if (!session || !session->GetRecord() || !session->GetSceneObject())
        return;
    ISceneObject* object = session->GetSceneObject();
    static constexpr double kFreeXY[3] = {double(FLT_MAX), double(FLT_MAX), 0.0};
    static constexpr double kUp[3] = {0.0, 0.0, 1.0};
    if (object->QueryInterface(IID_ST_CPlane))
    {
        // A vertical plane has a horizontal normal.
        session->GetRecord()->LeaveKeptOffsetToTheFit();
        session->GetRecord()->RunRowAction(vertical ? kFreeXY : kUp);
        if (FitActiveSurface(this, session))
            dialog->RefreshCurrentShape();
    }
    if (object->QueryInterface(IID_ST_CCylinder) || object->QueryInterface(IID_ST_IProfiledSurface))
    {
        session->GetRecord()->RunRowAction(vertical ? kUp : kFreeXY);
        if (FitActiveSurface(this, session))
            dialog->RefreshCurrentShape();
    }
}

void CSubSurfaceDlg::OnVertical()
{
    ConstrainDirection(true);
}

void CSubSurfaceDlg::OnHorizontal()
{
    ConstrainDirection(false);
}

void CSubSurfaceDlg::OnPropertyChanged(CPropTreeItem* item)
{
    CCreatePrimitiveDialog* dialog = Owner();
    CSessionSurface* session = dialog ? dialog->GetCurrentSession() : nullptr;
    if (!item || !session || !session->GetRecord())
        return;
    ST_IExtracted* record = session->GetRecord();
    if (record->IsStateId(item->GetCtrlID()))
        if (ST_IProfiledSurface* surface = ProfiledShape(session->GetSceneObject()))
        {
            const ST_ISectionCurve* old = surface->GetProfileCurve();
            if (old && old->GetClassGuid() == CLSID_ST_TSketch && old->GetSegmentCount() > 0)
            {
                if (DezazMessageBox(m_hWnd, kSketchQuestion, vtl::kPlugInName, MB_YESNO | MB_ICONQUESTION) == IDNO)
                    return;
                if (std::unique_ptr<ST_ISectionCurve> sketch = surface->CreateCurveByClassGuid(CLSID_ST_TSketch))
                {
                    sketch->RebuildWire(old->frame, old->sections, 0.0f, nullptr);
                    surface->SetProfile(sketch.get(), 1);
                }
            }
        }
    // "as Current View" follows the camera.
    if (cCPView* view = View(); view && !record->directionReferences.empty())
        if (auto* camera = dynamic_cast<cBase3DRenderer*>(view->GetRenderer()))
        {
            double inverse[12];
            std::memcpy(inverse, camera->GetViewTransform(), sizeof inverse);
            inverse[3] = inverse[7] = inverse[11] = 0.0;
            InvertRigidTransform3x4(inverse);
            for (int k = 0; k < 3; ++k)
                record->directionReferences.front().value[k] = inverse[4 * k + 2];
        }
    const bool isName = item->GetCtrlID() == record->nameRowId;
    const bool direction = record->IsStateId(item->GetCtrlID());
    if (!session->CommitRow(item))
        return;
    if (direction)
        record->LeaveKeptOffsetToTheFit();
    if (isName)
        dialog->RenameCurrentShape();
    else if (session->ClassId() == CLSID_CSessionSymmetryPlane)
    {
        if (cCPView* view = View(); view && view->GetSafeHwnd())
            view->RequestRedraw(0);
    }
    else
        OnRebuild();
    if (cCPView* view = View(); view && view->GetSafeHwnd())
        ::SetFocus(view->GetSafeHwnd());
}

void CSubSurfaceDlg::ConfirmDeleteShape()
{
    CCreatePrimitiveDialog* dialog = Owner();
    CSessionSurface* session = dialog ? dialog->GetCurrentSession() : nullptr;
    if (!session)
        return;
    // The question names the shape whole, however long its name.
    ON_wString text;
    text.Format(L"Are you sure you want to delete '%ls' ?", static_cast<const wchar_t*>(session->GetName()));
    // Only a yes deletes: a box closed any other way keeps the shape.
    if (DezazMessageBox(m_hWnd, text, kDeleteCaption, MB_YESNO | MB_ICONQUESTION) == IDYES)
        dialog->DeleteCurrentShape();
}
