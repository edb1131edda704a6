#include "plugin/base_vtl_dialog.h"
#include "plugin/vtl_plugin.h"

#include "core/freed_memory.h"
#include "core/host_mesh_import.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/registry_store.h"
#include "core/thread_pool.h"
#include "core/used_flags.h"
#include "overlay/dialog_anchor_layout.h"
#include "platform/host/dezaz_object.h"
#include "platform/mfc/tooltip_ctrl.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/input.h"
#include "platform/win32/tooltip.h"
#include "render/popup_view.h"
#include "resources/dialog_base.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwctype>
#include <memory>

IMPLEMENT_DYNAMIC(CBaseVTLDialog, CDezazDialog)

BEGIN_MESSAGE_MAP(CBaseVTLDialog, CDezazDialog)
ON_WM_SIZE()
ON_WM_DESTROY()
ON_COMMAND(kCmdDelete, &CBaseVTLDialog::OnDeleteCommand)
END_MESSAGE_MAP()

namespace
{

HACCEL LoadTable(UINT id)
{
    const LPCWSTR name = MAKEINTRESOURCEW(id);
    return ::LoadAcceleratorsW(AfxFindResourceHandle(name, RT_ACCELERATOR), name);
}

constexpr double kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};

} // namespace

CBaseVTLDialog::CBaseVTLDialog(UINT templateId, CWnd* parent, cRegistryStore* settings)
    : CDezazDialog(templateId, parent), m_maskBit(BorrowTriangleFlag()), m_settings(settings), m_scene(settings)
{
    std::memcpy(m_placement, kIdentity, sizeof m_placement);
    m_anchors = std::make_unique<cDialogAnchorLayout>();
    m_viewAccelerators = LoadTable(IDR_VIEW_ACCELERATORS);
    m_toolAccelerators = LoadTable(IDR_TOOL_ACCELERATORS);
}

CBaseVTLDialog::~CBaseVTLDialog()
{
    delete m_tooltip;
    m_anchors.reset();
    if (m_viewAccelerators)
        ::DestroyAcceleratorTable(m_viewAccelerators);
    if (m_toolAccelerators)
        ::DestroyAcceleratorTable(m_toolAccelerators);
    // A view whose window was never made is still ours.
    if (m_view && !m_view->GetSafeHwnd())
        delete m_view;
    m_view = nullptr;
    m_scene.Clear();
    if (m_maskBit)
        ReturnTriangleFlag(m_maskBit);
}

void CBaseVTLDialog::SetView(cP3DView* view)
{
    if (m_view && !m_view->GetSafeHwnd() && m_view != view)
        delete m_view;
    m_view = view;
}

void CBaseVTLDialog::SetToolTip(CToolTipCtrl* tooltip)
{
    if (m_tooltip != tooltip)
        delete m_tooltip;
    m_tooltip = tooltip;
}

bool CBaseVTLDialog::CreateViewWindow()
{
    HWND placeholder = ::GetDlgItem(m_hWnd, IDC_VIEW_PLACEHOLDER);
    if (!placeholder)
        return false;
    RECT r{};
    ::GetWindowRect(placeholder, &r);
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r.left));
    ::ScreenToClient(m_hWnd, reinterpret_cast<POINT*>(&r.right));
    ::InflateRect(&r, -2, -2);
    const LPCWSTR windowClass = AfxRegisterWndClass(CS_OWNDC | CS_DBLCLKS);
    if (!m_view->CreateEx(0, windowClass, L"", WS_CHILD | WS_VISIBLE, r.left, r.top, r.right - r.left,
                          r.bottom - r.top, m_hWnd, nullptr))
        return false;
    m_view->SendMessage(WM_INITIALUPDATE);
    ::ShowWindow(placeholder, SW_HIDE);
    ::SetWindowPos(m_view->GetSafeHwnd(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_SHOWWINDOW);
    return true;
}

BOOL CBaseVTLDialog::OnInitDialog()
{
    int stored = m_halfBrushSize;
    if (m_settings && m_settings->ReadInt(kBrushSizeSection, kBrushSizeValue, &stored))
        // The stored value sizes the stroke canvas: out-of-range text (an
        // edited registry, another version) is brought into range.
        m_halfBrushSize = std::clamp(stored, kMinHalfBrushSize, kMaxDialogHalfBrushSize);
    if (m_view)
    {
        // The renderer first: attaching the scene reads the saved views
        // (the user-defined and the mapped top view) into its camera.
        m_view->SetRenderer(&m_renderer);
        m_view->AttachScene(&m_scene);
        if (!CreateViewWindow())
        {
            // A modeless dialog outlives EndDialog: it is at least not shown
            // as a tool without its view.
            EndDialog(IDCANCEL);
            ShowWindow(SW_HIDE);
            return FALSE;
        }
    }
    CDezazDialog::OnInitDialog();
    m_anchors->Attach(m_hWnd);
    SetupControlAnchors();
    return TRUE;
}

template <class F> void CBaseVTLDialog::ForEachSceneMesh(F&& f)
{
    std::unique_ptr<cSceneObjectIterator> it(m_scene.GetObjectIterator());
    if (!it)
        return;
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
            f(*object->GetMesh());
}

cHostMeshCopy::cHostMeshCopy(const ON_Mesh& host) : m_host(&host)
{
    try
    {
        m_thread = std::thread([this] { Copy(); });
    }
    catch (const std::system_error&)
    {
        // Copied when taken.
    }
}

cHostMeshCopy::~cHostMeshCopy()
{
    if (m_thread.joinable())
        m_thread.join();
}

void cHostMeshCopy::Copy()
{
    m_copied = true;
    try
    {
        auto object = std::make_unique<cMeshObject>();
        AddHostMeshFaces(*object, *m_host, &ThePlugIn().ThreadPool());
        m_object = std::move(object);
    }
    catch (...)
    {
        m_error = std::current_exception();
    }
}

std::unique_ptr<cMeshObject> cHostMeshCopy::Take()
{
    if (m_thread.joinable())
        m_thread.join();
    else if (!m_copied)
        Copy();
    if (m_error)
        std::rethrow_exception(std::exchange(m_error, nullptr));
    return std::move(m_object);
}

bool CBaseVTLDialog::LoadHostMesh(const CDezazMeshObject& hostObject, cHostMeshCopy* copy)
{
    const ON_Mesh* hostMesh = hostObject.Mesh();
    if (!hostMesh)
        return false;
    std::unique_ptr<cMeshObject> object =
        copy != nullptr && &copy->Host() == hostMesh ? copy->Take() : std::unique_ptr<cMeshObject>();
    if (!object)
    {
        object = std::make_unique<cMeshObject>();
        AddHostMeshFaces(*object, *hostMesh, &ThePlugIn().ThreadPool());
    }
    object->GetDecorator().m_mode = 8;
    // The scene owns what it takes; what it refuses is freed here.
    if (!m_scene.AddObject(object.get()))
        return false;
    object.release();
    m_scene.InitDisplayProperties();
    m_scene.GetColourSettings().Load();
    m_scene.ApplyDisplayProperties();
    if (m_view)
    {
        // The frame is drawn when the messages are next handled: the command
        // that loads the mesh may paint more into it first (the sessions'
        // regions), and a big scan's frame is worth drawing once.
        m_view->Flush();
    }
    m_hostObjectId = hostObject.Attributes().m_uuid;
    m_hostObjectSerial = hostObject.RuntimeSerialNumber();
    return true;
}

bool CBaseVTLDialog::ChangeBrushSize(int step)
{
    const int next = int(double(m_halfBrushSize) + 1.5 * double(step));
    if (next == m_halfBrushSize || next < kMinHalfBrushSize || next > kMaxDialogHalfBrushSize)
        return false;
    m_halfBrushSize = next;
    if (m_settings)
        m_settings->WriteInt(kBrushSizeSection, kBrushSizeValue, next);
    return true;
}

void CBaseVTLDialog::ClearSelectionMask()
{
    m_selectionSaved = false;
    if (!m_maskBit)
        return;
    const std::uint8_t keep = std::uint8_t(~m_maskBit);
    ForEachSceneTriangleOnPool([keep](cMeshTriangle& t) { t.flags &= keep; });
}

template <class F> void CBaseVTLDialog::ForEachSceneTriangleOnPool(F&& f, const cMesh* skip)
{
    // A block of triangles at a time on the shared pool: a big scan's
    // 10M triangles took a few tens of milliseconds on one thread.
    ForEachSceneMesh([&](cMesh& mesh) {
        if (&mesh == skip)
            return;
        constexpr std::size_t kBlock = 1u << 16;
        const std::uint32_t count = mesh.GetTriangleCount();
        auto each = [&](std::size_t b) {
            const auto first = static_cast<std::uint32_t>(b * kBlock);
            for (std::uint32_t i = first; i < std::min<std::size_t>(count, first + kBlock); ++i)
                f(*mesh.GetTriangle(i));
        };
        ParallelForEach(SharedThreadPool(), (std::size_t{count} + kBlock - 1) / kBlock, 1, each);
    });
}

void CBaseVTLDialog::SaveSelectionToMask()
{
    SaveSelectionToMaskBeside(nullptr);
}

void CBaseVTLDialog::SaveSelectionToMaskBeside(const cMesh* savedApart)
{
    if (!m_maskBit)
        return;
    const std::uint8_t bit = m_maskBit;
    // A flag byte is written only where the bit changes: most records are
    // read and not written back.
    ForEachSceneTriangleOnPool(
        [bit](cMeshTriangle& t)
        {
            const std::uint8_t was = t.flags;
            const bool selected = (was & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected;
            const std::uint8_t now = selected ? std::uint8_t(was | bit) : std::uint8_t(was & ~bit);
            if (now != was)
                t.flags = now;
        },
        savedApart);
    m_selectionSaved = true;
}

bool CBaseVTLDialog::RestoreSelectionFromMask()
{
    if (!m_maskBit)
        return false;
    const std::uint8_t bit = m_maskBit;
    if (!m_selectionSaved)
    {
        // A mask set by someone else's save (a dialog of the same bit
        // before) still counts, as it always did.
        bool any = false;
        ForEachSceneMesh([&](cMesh& mesh)
                         { mesh.ForEachTriangle([&](cMeshTriangle& t) { any = any || (t.flags & bit) != 0; }); });
        if (!any)
            return false;
    }
    ForEachSceneMesh(
        [&](cMesh& mesh)
        {
            mesh.ForEachTriangle(
                [&](cMeshTriangle& t)
                {
                    t.flags = (t.flags & bit) ? std::uint8_t(t.flags | kTriangleFlagSelected)
                                              : std::uint8_t(t.flags & ~kTriangleFlagSelected);
                });
            const std::uint32_t vertexCount = mesh.GetVertexCount();
            for (std::uint32_t i = 0; i < vertexCount; ++i)
                mesh.GetVertex(i)->flags &= ~std::uint32_t(2);
            mesh.ForEachTriangle(
                [&](cMeshTriangle& t)
                {
                    if ((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) != kTriangleFlagSelected)
                        return;
                    for (std::uint32_t index : t.vertexIndex)
                        if (index < vertexCount)
                            mesh.GetVertex(index)->flags |= 2u;
                });
        });
    return true;
}

namespace
{

std::wstring PlacementSection(const wchar_t* section)
{
    return section ? std::wstring(section) : std::wstring();
}

} // namespace

void CBaseVTLDialog::RestoreWindowPlacement(const wchar_t* section)
{
    const std::wstring key = PlacementSection(section);
    const wchar_t* k = section ? key.c_str() : nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    const bool all = m_settings && m_settings->ReadInt(k, L"XPos", &x) && m_settings->ReadInt(k, L"YPos", &y) &&
                     m_settings->ReadInt(k, L"Width", &width) && m_settings->ReadInt(k, L"Height", &height);
    if (!all)
    {
        CenterWindow();
        return;
    }
    // Values from the registry may be anything: the window keeps a usable
    // size and stays on the screen nearest to where it was.
    RECT wanted{x, y, int(std::min<long long>(INT_MAX, (long long)x + std::max(width, 0))),
                int(std::min<long long>(INT_MAX, (long long)y + std::max(height, 0)))};
    MONITORINFO info{};
    info.cbSize = sizeof info;
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    if (HMONITOR monitor = ::MonitorFromRect(&wanted, MONITOR_DEFAULTTONEAREST); monitor &&
        ::GetMonitorInfoW(monitor, &info) && info.rcWork.right > info.rcWork.left &&
        info.rcWork.bottom > info.rcWork.top)
        work = info.rcWork;
    const int workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    // Nor smaller than the window lets the user make it (a dialog whose
    // controls need their room says so through its minimum tracking size).
    MINMAXINFO limits{};
    ::SendMessageW(m_hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    const int leastWidth = std::max<int>(kMinPlacementWidth, limits.ptMinTrackSize.x);
    const int leastHeight = std::max<int>(kMinPlacementHeight, limits.ptMinTrackSize.y);
    width = std::clamp(width, std::min(leastWidth, workWidth), std::max(workWidth, 1));
    height = std::clamp(height, std::min(leastHeight, workHeight), std::max(workHeight, 1));
    x = int(std::clamp<long long>(x, work.left, (long long)work.right - width));
    y = int(std::clamp<long long>(y, work.top, (long long)work.bottom - height));
    ::SetWindowPos(m_hWnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_SHOWWINDOW);
}

void CBaseVTLDialog::SaveWindowPlacement(const wchar_t* section)
{
    if (!m_settings || !m_hWnd)
        return;
    RECT r{};
    ::GetWindowRect(m_hWnd, &r);
    const std::wstring key = PlacementSection(section);
    const wchar_t* k = section ? key.c_str() : nullptr;
    m_settings->WriteInt(k, L"XPos", int(r.left));
    m_settings->WriteInt(k, L"YPos", int(r.top));
    m_settings->WriteInt(k, L"Width", int(r.right - r.left));
    m_settings->WriteInt(k, L"Height", int(r.bottom - r.top));
}

void CBaseVTLDialog::OnSize(UINT type, int cx, int cy)
{
    CDezazDialog::OnSize(type, cx, cy);
    m_sizeState = type == SIZE_MINIMIZED ? kSizeMinimised : type == SIZE_MAXIMIZED ? kSizeMaximised : kSizeNormal;
    if (m_anchors)
        m_anchors->ApplyLayout();
}

void CBaseVTLDialog::OnDestroy()
{
    CDezazDialog::OnDestroy();
    // The view window goes with the dialog and deletes its object.
    if (m_view && m_view->GetSafeHwnd())
        m_view = nullptr;
}

void CBaseVTLDialog::PostNcDestroy()
{
    m_scene.Clear();
    ReturnFreedMemory();
    CDezazDialog::PostNcDestroy();
}

void CBaseVTLDialog::OnDeleteCommand()
{
    if (m_view && m_view->GetSafeHwnd())
        m_view->SendMessage(WM_COMMAND, kCmdDelete, 0);
}

namespace
{

bool IsWritableEdit(HWND window)
{
    wchar_t className[16] = {};
    return window && ::GetClassNameW(window, className, 16) > 0 && std::wcscmp(className, L"Edit") == 0 &&
           (::GetWindowLongW(window, GWL_STYLE) & ES_READONLY) == 0;
}

} // namespace

BOOL TranslateDialogAccelerator(HWND window, HACCEL table, MSG* msg, BOOL* result)
{
    *result = 0;
    if (IsWritableEdit(window))
    {
        // A key typed into a writable edit is text, never a command.
        if (CWnd* edit = CWnd::FromHandlePermanent(window) ? CWnd::FromHandlePermanent(window) : CWnd::FromHandle(window))
            *result = edit->PreTranslateMessage(msg);
        else if (auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandlePermanent(::GetParent(window))))
            // The dialog's own navigation, never its full key handling:
            // that would ask this function again for the same key.
            *result = dialog->CDialog::PreTranslateMessage(msg);
        return TRUE;
    }
    if (table && window && ::TranslateAcceleratorW(window, table, msg))
    {
        *result = 1;
        return TRUE;
    }
    return FALSE;
}

BOOL CBaseVTLDialog::PreTranslateMessage(MSG* msg)
{
    if (msg && msg->message == WM_KEYDOWN)
    {
        const WPARAM key = msg->wParam;
        if (key != VK_DELETE)
        {
            BOOL result = 0;
            if (TranslateDialogAccelerator(msg->hwnd, m_toolAccelerators, msg, &result) ||
                TranslateDialogAccelerator(msg->hwnd, m_viewAccelerators, msg, &result))
                return result;
        }
        // Delete typed into a writable edit (the value a drawn element's
        // length or radius has just put there, selected for typing over) is
        // text too: sent to the view as well it would delete the selected
        // element as the user cleared the field.
        else if (m_view && m_view->GetSafeHwnd() && !IsWritableEdit(msg->hwnd))
            m_view->SendMessage(WM_COMMAND, kCmdDelete, 0);
        if (key == VK_ESCAPE && m_view && m_view->GetSafeHwnd())
        {
            cP3DView::DispatchScope scope(*m_view);
            if (auto* mode = m_view->GetActiveMode())
                mode->OnEscape(m_view);
        }
        if (key == VK_ESCAPE || key == VK_RETURN)
            msg->wParam = 0;
    }
    if (m_tooltip && m_tooltip->GetSafeHwnd())
        m_tooltip->SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    return CDezazDialog::PreTranslateMessage(msg);
}
