// The user's actions of the random sessions: each one goes in as the user's
// input does (clicks and drags injected at screen points, keys to the
// focused window, the menus and questions answered as they come), aimed at
// what the screen shows.
#include "support/user_session_driver.h"

#include "core/mesh.h"
#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "modes/network_edit_mode.h"
#include "modes/profile_edit_mode.h"
#include "modes/profile_sketch_selection.h"
#include "modes/section_plane_picker.h"
#include "modes/shapes_view.h"
#include "modes/surface_extension_mode.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/win32/clock.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window.h"
#include "plugin/dialogs/curves_page.h"
#include "plugin/dialogs/guide_curve_page.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/sketch_page.h"
#include "plugin/vtl_plugin.h"
#include "render/base_renderer.h"
#include "render/view_3d.h"
#include "resources/curves.h"
#include "resources/shape_list.h"
#include "resources/shapes_dialog.h"
#include "shapes/entities_history.h"
#include "shapes/session_surface.h"

#include <algorithm>
#include <cmath>

namespace usersession
{

namespace
{

constexpr UINT kEditingModes[] = {kModeExtendSurface, kModeDrawCurveOnMesh, kModeEditProfile, kModeEditNetwork,
                                  kModeDeviation};

// The editing mode under any navigation mode stacked on it.
cUserInteractiveMode<C3DView>* EditingMode(cCPView* view)
{
    if (!view)
        return nullptr;
    for (UINT id : kEditingModes)
        if (auto* mode = view->FindMode(id))
            return mode;
    return nullptr;
}

template <class T> T* Editing(cCPView* view)
{
    return dynamic_cast<T*>(EditingMode(view));
}

std::string Text(POINT p)
{
    return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
}

bool Usable(HWND control)
{
    return control && ::IsWindowVisible(control) && ::IsWindowEnabled(control);
}

} // namespace

// ------------------------------------------------------------ input

RECT cUserSessionDriver::ViewRect() const
{
    RECT r{0, 0, 0, 0};
    if (cCPView* view = View())
        ::GetClientRect(view->GetSafeHwnd(), &r);
    return r;
}

POINT cUserSessionDriver::ToScreen(POINT client) const
{
    if (cCPView* view = View())
        ::ClientToScreen(view->GetSafeHwnd(), &client);
    return client;
}

void cUserSessionDriver::Mouse(UINT message, POINT client, bool pump)
{
    const POINT screen = ToScreen(client);
    if (message == WM_MOUSEMOVE)
        win32::InjectMouseMove(screen);
    else
        win32::InjectMouseButton(message, screen);
    if (pump)
        Pump();
}

void cUserSessionDriver::Key(BYTE vk)
{
    win32::InjectKey(vk, true);
    win32::InjectKey(vk, false);
    Pump();
}

void cUserSessionDriver::KeyWith(BYTE modifier, BYTE vk)
{
    win32::InjectKey(modifier, true);
    win32::InjectKey(vk, true);
    win32::InjectKey(vk, false);
    win32::InjectKey(modifier, false);
    Pump();
}

void cUserSessionDriver::Click(POINT client)
{
    win32::AdvanceClock(1000); // never a double click with the last one
    Mouse(WM_MOUSEMOVE, client);
    Mouse(WM_LBUTTONDOWN, client);
    Mouse(WM_LBUTTONUP, client);
}

void cUserSessionDriver::DoubleClick(POINT client)
{
    Click(client);
    win32::AdvanceClock(50);
    Mouse(WM_LBUTTONDOWN, client);
    Mouse(WM_LBUTTONUP, client);
}

void cUserSessionDriver::Drag(POINT from, POINT to, int moves, UINT button)
{
    const UINT down = button == 0 ? WM_LBUTTONDOWN : button == 1 ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    win32::AdvanceClock(1000);
    Mouse(WM_MOUSEMOVE, from);
    Mouse(down, from);
    for (int i = 1; i <= moves; ++i)
    {
        win32::AdvanceClock(20);
        Mouse(WM_MOUSEMOVE, POINT{from.x + (to.x - from.x) * i / moves, from.y + (to.y - from.y) * i / moves});
    }
    Mouse(down + 1, to);
}

void cUserSessionDriver::NotOffered()
{
    Note(" (not offered)");
    m_notOffered = true;
}

double cUserSessionDriver::DragAway(POINT from, int reach)
{
    std::uniform_int_distribution<int> d(-reach, reach);
    const POINT to{from.x + d(m_random), from.y + d(m_random)};
    Note(" " + Text(from) + Text(to));
    Drag(from, to, 5);
    return std::hypot(double(to.x - from.x), double(to.y - from.y));
}

// A click on a control as the user makes it: only where the control shows
// and takes input.
void cUserSessionDriver::Button(int id)
{
    CCreatePrimitiveDialog* dialog = Dialog();
    if (dialog)
        PageButton(dialog->GetSafeHwnd(), id);
}

void cUserSessionDriver::ClickOn(HWND window, const RECT& part, UINT down)
{
    POINT p{(part.left + part.right) / 2, (part.top + part.bottom) / 2};
    ::ClientToScreen(window, &p);
    win32::AdvanceClock(1000);
    win32::InjectMouseMove(p);
    win32::InjectMouseButton(down, p);
    win32::InjectMouseButton(down + 1, p);
    Pump();
}

void cUserSessionDriver::PageButton(HWND page, int id)
{
    const HWND control = page ? ::GetDlgItem(page, id) : nullptr;
    if (!Usable(control) || !::IsWindowVisible(page))
    {
        NotOffered();
        return;
    }
    RECT r{};
    ::GetWindowRect(control, &r);
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    if (::WindowFromPoint(centre) != control)
    {
        // Covered by another window: the button's own click.
        ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(control));
        Pump();
        return;
    }
    RECT client{};
    ::GetClientRect(control, &client);
    ClickOn(control, client);
}

void cUserSessionDriver::ViewCommand(UINT id)
{
    if (cCPView* view = View())
        ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, id, 0);
    Pump();
}

POINT cUserSessionDriver::RandomViewPoint()
{
    const RECT r = ViewRect();
    std::uniform_int_distribution<int> x(int(r.left) + 2, std::max(int(r.left) + 2, int(r.right) - 3));
    std::uniform_int_distribution<int> y(int(r.top) + 2, std::max(int(r.top) + 2, int(r.bottom) - 3));
    return POINT{x(m_random), y(m_random)};
}

std::optional<POINT> cUserSessionDriver::Project(const float world[3]) const
{
    cCPView* view = View();
    cBase3DRenderer* camera = view ? view->GetCamera() : nullptr;
    if (!camera)
        return std::nullopt;
    const double* t = camera->GetViewTransform();
    const float* c = camera->GetSceneCentre();
    const double d[3] = {double(world[0]) - c[0], double(world[1]) - c[1], double(world[2]) - c[2]};
    POINT out{};
    camera->WorldToScreen(float(t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3]),
                          float(t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7]), &out);
    const RECT r = ViewRect();
    if (out.x < r.left + 1 || out.y < r.top + 1 || out.x >= r.right - 1 || out.y >= r.bottom - 1)
        return std::nullopt;
    return out;
}

void cUserSessionDriver::AddCurveBody(ST_ISectionCurve& curve, std::vector<POINT>& targets) const
{
    for (double f : {0.25, 0.5, 0.75})
    {
        t3DPoint<double> p{};
        if (!curve.EvaluateInWorld(f, &p, nullptr, nullptr))
            continue;
        const float w[3] = {float(p.x), float(p.y), float(p.z)};
        if (const auto at = Project(w))
            targets.push_back(*at);
    }
}

POINT cUserSessionDriver::MeshPoint()
{
    CCreatePrimitiveDialog* dialog = Dialog();
    cMesh* mesh = dialog ? dialog->FirstMesh() : nullptr;
    cCPView* view = View();
    if (!mesh || !view || mesh->GetTriangleCount() == 0)
        return RandomViewPoint();
    const double* t = view->GetCamera()->GetViewTransform();
    std::uniform_int_distribution<std::uint32_t> pick(0, mesh->GetTriangleCount() - 1);
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        const cMeshTriangle& tri = *mesh->GetTriangle(pick(m_random));
        // Facing the viewer: the view's z row points out of the screen.
        if (t[8] * tri.nx + t[9] * tri.ny + t[10] * tri.nz <= 0.1)
            continue;
        float centre[3] = {0, 0, 0};
        for (std::uint32_t k : tri.vertexIndex)
        {
            const cVertex* v = mesh->GetVertex(k);
            centre[0] += v->x / 3.0f, centre[1] += v->y / 3.0f, centre[2] += v->z / 3.0f;
        }
        if (const auto p = Project(centre))
            return *p;
    }
    return RandomViewPoint();
}

// ------------------------------------------------------------ choosing

bool cUserSessionDriver::Allowed(eAction action) const
{
    CCreatePrimitiveDialog* dialog = Dialog();
    cCPView* view = View();
    if (!dialog || !view)
        return false;
    const HWND window = dialog->GetSafeHwnd();
    const bool extend = Editing<CUIM_ExtendSurface>(view) != nullptr;
    const bool sketch = Editing<CUIM_EditProfile>(view) != nullptr;
    const bool curves = Editing<CUIM_EditNetwork>(view) != nullptr;
    switch (action)
    {
    case eAction::kind: return Usable(::GetDlgItem(window, IDC_SHAPES_KIND));
    case eAction::tab: return ::SendDlgItemMessageW(window, IDC_SHAPES_TABS, TCM_GETITEMCOUNT, 0, 0) > 1;
    case eAction::listSelect:
    case eAction::listMenu: return !dialog->ListedSessions().empty();
    case eAction::deleteShape: return Usable(::GetDlgItem(window, IDC_SHAPES_DELETE));
    case eAction::deleteAll: return Usable(::GetDlgItem(window, IDC_SHAPES_DELETE_ALL));
    case eAction::stroke:
    case eAction::wand:
    case eAction::crease: return extend;
    case eAction::undoSelection: return extend || Usable(::GetDlgItem(window, IDC_SHAPES_UNDO_SELECTION));
    case eAction::handle: return extend && dialog->GetCurrentSession();
    case eAction::rebuild:
    case eAction::vertical:
    case eAction::horizontal: return dialog->GetCurrentSession() && dialog->GetSelectedTab() == 0;
    case eAction::align: return dialog->GetCurrentSession();
    case eAction::reset: return Usable(::GetDlgItem(window, IDC_SHAPES_RESET));
    case eAction::sameLocation: return Usable(::GetDlgItem(window, IDC_SHAPES_HOST_SAME_PLACE));
    case eAction::create: return dialog->GetCurrentSession();
    case eAction::createAll: return Usable(::GetDlgItem(window, IDC_SHAPES_CREATE_ALL));
    case eAction::sketchTool:
    case eAction::sketchClick:
    case eAction::sketchDrag:
    case eAction::sketchUndo:
    case eAction::sketchClearAll:
    case eAction::sketchDelete: return sketch;
    case eAction::curvesDrag:
    case eAction::curvesUndo: return curves;
    case eAction::curvesButton: return curves || view->FindMode(kModeDrawCurveOnMesh);
    case eAction::curvesClick:
        return curves || view->FindMode(kModeDrawCurveOnMesh) || view->FindMode(kModeDeviation);
    default: return true;
    }
}

void cUserSessionDriver::Run(eAction action)
{
    CCreatePrimitiveDialog* dialog = Dialog();
    // The user works in the shapes dialog over any tool window left open.
    const bool tool = action == eAction::analyzer || action == eAction::segmentation ||
                      action == eAction::fillet || action == eAction::primitivePanel;
    if (!tool && dialog)
        ::SetWindowPos(dialog->GetSafeHwnd(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    switch (action)
    {
    case eAction::kind: RunKind(); break;
    case eAction::tab: RunTab(); break;
    case eAction::listSelect: RunListSelect(); break;
    case eAction::listMenu: RunListMenu(); break;
    case eAction::deleteShape: Button(IDC_SHAPES_DELETE); break;
    case eAction::deleteAll: Button(IDC_SHAPES_DELETE_ALL); break;
    case eAction::newShape:
        if (m_random() % 2)
            Button(IDC_SHAPES_NEW_SHAPE);
        else
        {
            Note(" ctrl+n");
            ::SetFocus(View()->GetSafeHwnd());
            KeyWith(VK_CONTROL, 'N');
        }
        break;
    case eAction::turn:
    case eAction::pan:
    case eAction::zoom:
    case eAction::standardView: RunNavigation(action); break;
    case eAction::stroke: RunStroke(); break;
    case eAction::wand: RunWand(); break;
    case eAction::selectAll: Button(IDC_SHAPES_SELECT_ALL); break;
    case eAction::deselectAll: Button(IDC_SHAPES_DESELECT_ALL); break;
    case eAction::undoSelection:
        if (m_random() % 2 || !Editing<CUIM_ExtendSurface>(View()))
        {
            Note(" button");
            Button(IDC_SHAPES_UNDO_SELECTION);
        }
        else
        {
            Note(" ctrl+z");
            ::SetFocus(View()->GetSafeHwnd());
            KeyWith(VK_CONTROL, 'Z');
        }
        break;
    case eAction::crease:
    {
        const HWND slider = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_SENSITIVITY);
        if (!Usable(slider))
        {
            NotOffered();
            break;
        }
        const int position = int(m_random() % 101);
        Note(" " + std::to_string(position));
        ::SendMessageW(slider, TBM_SETPOS, TRUE, position);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position), LPARAM(slider));
        Pump();
        break;
    }
    case eAction::handle: RunHandle(); break;
    case eAction::rebuild:
    case eAction::vertical:
    case eAction::horizontal:
        if (CSubSurfaceDlg* page = dialog->GetShapePage())
            PageButton(page->GetSafeHwnd(), action == eAction::rebuild    ? IDC_SHAPE_PAGE_REBUILD
                                            : action == eAction::vertical ? IDC_SHAPE_PAGE_VERTICAL
                                                                          : IDC_SHAPE_PAGE_HORIZONTAL);
        break;
    case eAction::align: RunAlign(); break;
    case eAction::reset: Button(IDC_SHAPES_RESET); break;
    case eAction::sameLocation: Button(IDC_SHAPES_HOST_SAME_PLACE); break;
    case eAction::create:
        if (m_random() % 2)
            Button(IDC_SHAPES_CREATE);
        else
        {
            Note(" ctrl+r");
            ::SetFocus(View()->GetSafeHwnd());
            KeyWith(VK_CONTROL, 'R');
        }
        break;
    case eAction::createAll: Button(IDC_SHAPES_CREATE_ALL); break;
    case eAction::ok: RunClose(true); break;
    case eAction::cancel: RunClose(false); break;
    case eAction::escape:
        ::SetFocus(View()->GetSafeHwnd());
        Key(VK_ESCAPE);
        break;
    case eAction::sketchTool:
    case eAction::sketchClick:
    case eAction::sketchDrag:
    case eAction::sketchUndo:
    case eAction::sketchClearAll:
    case eAction::sketchDelete: RunSketch(action); break;
    case eAction::curvesButton:
    case eAction::curvesClick:
    case eAction::curvesDrag:
    case eAction::curvesUndo: RunCurves(action); break;
    case eAction::saveReopen: RunSaveReopen(); break;
    case eAction::analyzer: RunAnalyzer(); break;
    case eAction::segmentation: RunSegmentation(); break;
    case eAction::fillet: RunFillet(); break;
    case eAction::primitivePanel: RunPrimitivePanel(); break;
    default: break;
    }
}

// ------------------------------------------------------------ the dialog

void cUserSessionDriver::RunKind()
{
    CCreatePrimitiveDialog* dialog = Dialog();
    if (Editing<CUIM_ExtendSurface>(View()) && m_random() % 3 == 0)
    {
        // The middle button's quick picker: a kind, or New shape and Delete
        // for the current shape.
        const POINT p = MeshPoint();
        win32::AdvanceClock(1000);
        Mouse(WM_MOUSEMOVE, p);
        Mouse(WM_MBUTTONDOWN, p);
        Mouse(WM_MBUTTONUP, p);
        const bool current = dialog->GetCurrentSession() != nullptr;
        const HWND picker = dialog->QuickShapePicker(current);
        if (!picker || !::IsWindowVisible(picker))
        {
            Note(" (no quick picker)");
            return;
        }
        static const int kinds[] = {IDC_QUICK_PLANE,    IDC_QUICK_SPHERE,   IDC_QUICK_CYLINDER,
                                    IDC_QUICK_SYMMETRY, IDC_QUICK_REVOLVED, IDC_QUICK_EXTRUDED,
                                    IDC_QUICK_FREE_FORM, IDC_QUICK_CURVES};
        const int id = current ? (m_random() % 2 ? IDC_QUICK_NEW_SHAPE : IDC_QUICK_DELETE) : kinds[m_random() % 8];
        Note(" quick " + Text(p) + " " + std::to_string(id));
        PageButton(picker, id);
        return;
    }
    const int kind = int(m_random() % 8);
    Note(" " + std::to_string(kind));
    const HWND combo = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_KIND);
    ::SetFocus(combo);
    ::SendMessageW(combo, CB_SETCURSEL, WPARAM(kind), 0);
    ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_KIND, CBN_SELCHANGE), LPARAM(combo));
    Pump();
}

void cUserSessionDriver::RunTab()
{
    CCreatePrimitiveDialog* dialog = Dialog();
    const HWND tabs = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_TABS);
    const int count = int(::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
    int index = int(m_random() % std::uint32_t(std::max(count, 1)));
    const std::vector<std::wstring> titles = dialog->TabTitles();
    // Mostly the page that edits the shape (Sketch, Curves, Guide curve).
    if (count > 2 && m_random() % 3)
        index = 1;
    Note(" " + (std::size_t(index) < titles.size() ? std::string(titles[std::size_t(index)].begin(),
                                                                   titles[std::size_t(index)].end())
                                                     : std::to_string(index)));
    RECT r{};
    if (::SendMessageW(tabs, TCM_GETITEMRECT, WPARAM(index), LPARAM(&r)))
        ClickOn(tabs, r);
}

void cUserSessionDriver::RunListSelect()
{
    CCreatePrimitiveDialog* dialog = Dialog();
    const HWND list = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_LIST);
    const int count = int(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    if (count <= 0)
        return;
    const int index = int(m_random() % std::uint32_t(count));
    Note(" " + std::to_string(index));
    RECT r{};
    if (::SendMessageW(list, LB_GETITEMRECT, WPARAM(index), LPARAM(&r)) == LB_ERR)
        return;
    RECT client{};
    ::GetClientRect(list, &client);
    if (r.top < client.top || r.bottom > client.bottom)
    {
        // Out of sight: the keys bring it (the list scrolls to it).
        ::SetFocus(list);
        ::SendMessageW(list, LB_SETCURSEL, WPARAM(index), 0);
        ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
        Pump();
        return;
    }
    ClickOn(list, r);
}

void cUserSessionDriver::RunListMenu()
{
    CCreatePrimitiveDialog* dialog = Dialog();
    const HWND list = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_LIST);
    const int count = int(::SendMessageW(list, LB_GETCOUNT, 0, 0));
    RECT client{};
    ::GetClientRect(list, &client);
    RECT part{client.left, client.bottom - 5, client.right, client.bottom - 1}; // below the items, or on one
    if (count > 0 && m_random() % 4)
    {
        RECT r{};
        const int index = int(m_random() % std::uint32_t(count));
        if (::SendMessageW(list, LB_GETITEMRECT, WPARAM(index), LPARAM(&r)) != LB_ERR && r.top >= client.top &&
            r.bottom <= client.bottom)
            part = r;
    }
    const int choice = int(m_random() % 3);
    const UINT command = choice == 0 ? 0 : choice == 1 ? 32881 : 32882;
    Note(std::string(" ") + (command == 0 ? "none" : command == 32881 ? "Delete ..." : "Delete All"));
    win32::QueuePromptAnswer({win32::kPopupMenuPrompt, L"Delete", INT_PTR(command), nullptr});
    ClickOn(list, part, WM_RBUTTONDOWN);
    if (win32::PendingPromptAnswers() > 0)
    {
        win32::ClearPromptAnswers();
        m_failure = "a right click on the shape list showed no menu";
    }
}

void cUserSessionDriver::RunNavigation(eAction action)
{
    cCPView* view = View();
    const POINT from = RandomViewPoint();
    std::uniform_int_distribution<int> d(-120, 120);
    const POINT to{from.x + d(m_random), from.y + d(m_random)};
    switch (action)
    {
    case eAction::turn:
        if (m_random() % 2)
        {
            Note(" drag " + Text(from) + Text(to));
            Drag(from, to, 4, 1);
        }
        else
        {
            const UINT id = kCmdTurnLeft + UINT(m_random() % 4);
            Note(" " + std::to_string(id));
            ViewCommand(id);
        }
        break;
    case eAction::pan:
        Note(" " + Text(from) + Text(to));
        win32::InjectKey(VK_SHIFT, true);
        Drag(from, to, 4, 1);
        win32::InjectKey(VK_SHIFT, false);
        Pump();
        break;
    case eAction::zoom:
    {
        const int steps = int(m_random() % 5) - 2;
        Note(" " + std::to_string(steps) + " at " + Text(from));
        ::SetFocus(view->GetSafeHwnd());
        win32::InjectMouseMove(ToScreen(from));
        win32::InjectMouseWheel(ToScreen(from), 120 * (steps == 0 ? 1 : steps));
        Pump();
        break;
    }
    default:
    {
        static const UINT commands[] = {kCmdFrontView, kCmdBackView,  kCmdTopView,      kCmdBottomView,
                                        kCmdLeftView,  kCmdRightView, kCmdDiagonalView, kCmdZoomAll};
        const UINT id = commands[m_random() % 8];
        Note(" " + std::to_string(id));
        ViewCommand(id);
        break;
    }
    }
}

void cUserSessionDriver::RunStroke()
{
    static const int tools[] = {IDC_SHAPES_PAINT_FILLED, IDC_SHAPES_PAINT, IDC_SHAPES_LINE};
    const int tool = tools[m_random() % 3];
    Note(" tool " + std::to_string(tool));
    Button(tool);
    if (!Editing<CUIM_ExtendSurface>(View()))
        return;
    const POINT from = MeshPoint();
    const POINT to = m_random() % 3 ? MeshPoint() : RandomViewPoint();
    const bool deselect = m_random() % 4 == 0;
    Note(std::string(deselect ? " alt " : " ") + Text(from) + Text(to));
    if (deselect)
        win32::InjectKey(VK_MENU, true);
    Drag(from, to, 6);
    if (deselect)
    {
        win32::InjectKey(VK_MENU, false);
        Pump();
    }
}

void cUserSessionDriver::RunWand()
{
    Button(IDC_SHAPES_MAGIC_WAND);
    if (!Editing<CUIM_ExtendSurface>(View()))
        return;
    const POINT p = MeshPoint();
    Note(" " + Text(p));
    Click(p);
}

void cUserSessionDriver::RunHandle()
{
    auto* mode = Editing<CUIM_ExtendSurface>(View());
    const int count = mode ? mode->GetHandleCount() : 0;
    POINT at = MeshPoint();
    if (count > 0)
    {
        const int index = int(m_random() % std::uint32_t(count));
        if (const auto p = Project(mode->GetHandlePoints()[index]))
            at = *p;
        Note(" " + std::to_string(index));
    }
    win32::AdvanceClock(1000);
    Mouse(WM_MOUSEMOVE, at);
    Paint();
    Mouse(WM_MOUSEMOVE, POINT{at.x + 1, at.y});
    Mouse(WM_MOUSEMOVE, at);
    if (m_random() % 4 == 0)
    {
        Note(" hover " + Text(at));
        return;
    }
    DragAway(at, 60);
}

void cUserSessionDriver::RunAlign()
{
    static const int buttons[] = {IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_ALIGN_RIGHT, IDC_SHAPES_ALIGN_FRONT,
                                  IDC_SHAPES_ALIGN_ORIGIN};
    const int id = buttons[m_random() % 4];
    Note(" " + std::to_string(id));
    Button(id);
}

void cUserSessionDriver::RunClose(bool ok)
{
    CCreatePrimitiveDialog* dialog = Dialog();
    if (ok)
    {
        // Enter in the dialog presses its default button; OK itself has no
        // button and comes as the dialog's command.
        if (m_random() % 2)
        {
            ::SetFocus(::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_LIST));
            Key(VK_RETURN);
        }
        else
        {
            Note(" command");
            ::SendMessageW(dialog->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            Pump();
        }
        return;
    }
    if (m_random() % 2)
        Button(IDCANCEL);
    else
    {
        ::SetFocus(::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_KIND));
        Key(VK_ESCAPE);
    }
}

// ------------------------------------------------------------ sketch

void cUserSessionDriver::RunSketch(eAction action)
{
    CCreatePrimitiveDialog* dialog = Dialog();
    cCPView* view = View();
    auto* mode = Editing<CUIM_EditProfile>(view);
    CSubProfileDlg* page = dialog->GetSketchPage();
    const HWND pageWindow = page ? page->GetSafeHwnd() : nullptr;
    // Targets: the sketch's points, the section points, anywhere.
    ST_ISectionCurve* sketch = mode ? mode->GetActiveProfile() : nullptr;
    std::vector<POINT> targets;
    if (sketch)
    {
        const auto add = [&](const double* f, const cVertex& v)
        {
            const float w[3] = {float(f[0] * v.x + f[1] * v.y + f[2] * v.z + f[3]),
                                float(f[4] * v.x + f[5] * v.y + f[6] * v.z + f[7]),
                                float(f[8] * v.x + f[9] * v.y + f[10] * v.z + f[11])};
            if (const auto p = Project(w))
                targets.push_back(*p);
        };
        for (std::uint32_t i = 0; i < sketch->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* curve = sketch->GetSegment(i))
            {
                if (const tPolyline<cVertex>* points = SketchPointsOf(*curve, false))
                    for (const cVertex& v : points->vertices)
                        add(sketch->frame, v);
                AddCurveBody(*curve, targets);
            }
        for (const tFramePolyline<cVertex>& section : sketch->sections.items)
        {
            const std::size_t n = section.vertices.size();
            for (std::size_t k = 0; k < n && targets.size() < 400; k += std::max<std::size_t>(1, n / 12))
                add(section.frame, section.vertices[k]);
        }
    }
    const auto target = [&]() -> POINT
    {
        if (!targets.empty() && m_random() % 4)
        {
            POINT p = targets[m_random() % targets.size()];
            std::uniform_int_distribution<int> jitter(-3, 3);
            return POINT{p.x + jitter(m_random), p.y + jitter(m_random)};
        }
        return RandomViewPoint();
    };
    switch (action)
    {
    case eAction::sketchTool:
    {
        static const int tools[] = {IDC_SKETCH_SELECT, IDC_SKETCH_LINE,     IDC_SKETCH_TANGENT_ARC,
                                    IDC_SKETCH_ARC,    IDC_SKETCH_FREE_FORM, IDC_SKETCH_SNAPPING,
                                    IDC_SKETCH_CONTROL_POINTS, IDC_SKETCH_MESH_POINTS, IDC_SKETCH_DISTANCE};
        const int id = tools[m_random() % 9];
        Note(" " + std::to_string(id));
        if (id != IDC_SKETCH_DISTANCE)
        {
            PageButton(pageWindow, id);
            break;
        }
        // A length or radius typed for the selected element.
        const HWND edit = ::GetDlgItem(pageWindow, IDC_SKETCH_DISTANCE);
        if (!Usable(edit))
        {
            NotOffered();
            break;
        }
        const double value = double(m_random() % 4000) / 100.0;
        Note(" " + std::to_string(value));
        ::SetFocus(edit);
        ::SetWindowTextW(edit, std::to_wstring(value).c_str());
        // As typing it does.
        ::SendMessageW(edit, EM_SETMODIFY, TRUE, 0);
        Key(VK_RETURN);
        ::SetFocus(view->GetSafeHwnd());
        Pump();
        break;
    }
    case eAction::sketchClick:
    {
        const POINT p = target();
        const int how = int(m_random() % 6);
        Note(std::string(how == 0 ? " double " : how == 1 ? " ctrl " : " ") + Text(p));
        if (how == 0)
            DoubleClick(p);
        else if (how == 1)
        {
            win32::InjectKey(VK_CONTROL, true);
            Click(p);
            win32::InjectKey(VK_CONTROL, false);
            Pump();
        }
        else
            Click(p);
        // The cursor goes on moving, as the user's hand does.
        Mouse(WM_MOUSEMOVE, target());
        break;
    }
    case eAction::sketchDrag: DragAway(target(), 50); break;
    case eAction::sketchUndo:
        ::SetFocus(view->GetSafeHwnd());
        if (m_random() % 2)
            KeyWith(VK_CONTROL, 'Z');
        else
            ViewCommand(kCmdUndoSelection);
        Mouse(WM_MOUSEMOVE, target());
        break;
    case eAction::sketchClearAll:
        PageButton(pageWindow, IDC_SKETCH_CLEAR_ALL);
        Mouse(WM_MOUSEMOVE, target());
        break;
    case eAction::sketchDelete:
        ::SetFocus(view->GetSafeHwnd());
        Key(VK_DELETE);
        break;
    default: break;
    }
}

// ------------------------------------------------------------ curves

void cUserSessionDriver::RunCurves(eAction action)
{
    cCPView* view = View();
    auto* mode = Editing<CUIM_EditNetwork>(view);
    auto* page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(view));
    ST_ISectionCurve* network = mode ? mode->GetNetwork() : nullptr;
    std::vector<POINT> nodes;
    if (network)
        for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* curve = network->GetSegment(i))
            {
                if (const tPolyline<cVertex>* points = curve->GetDefiningPoints())
                    for (const cVertex& v : points->vertices)
                    {
                        const float w[3] = {v.x, v.y, v.z};
                        if (const auto p = Project(w))
                            nodes.push_back(*p);
                    }
                AddCurveBody(*curve, nodes);
            }
    const auto target = [&]() -> POINT
    {
        if (!nodes.empty() && m_random() % 3 == 0)
            return nodes[m_random() % nodes.size()];
        return MeshPoint();
    };
    switch (action)
    {
    case eAction::curvesButton:
    {
        if (!mode)
        {
            // The Guide curve page: a new shape, or drawing again.
            CSubGuideCurveDlg* guide = Dialog()->GetGuidePage();
            const int id = m_random() % 2 ? IDC_GUIDE_DRAW : IDC_GUIDE_NEW_SHAPE;
            Note(" guide " + std::to_string(id));
            PageButton(guide ? guide->GetSafeHwnd() : nullptr, id);
            break;
        }
        if (!page || !page->GetSafeHwnd())
            break;
        struct
        {
            HWND window;
            int id;
        } const buttons[] = {
            {page->GetSafeHwnd(), IDC_CURVES_MODIFY},
            {page->GetSafeHwnd(), IDC_CURVES_ADD},
            {page->GetSafeHwnd(), IDC_CURVES_SECTION},
            {page->GetSafeHwnd(), IDC_CURVES_EXTRAPOLATE},
            {page->GetSafeHwnd(), IDC_CURVES_TRANSPARENT},
            {page->SectionPanel().GetSafeHwnd(), IDC_SECTION_ACCEPT},
            {page->SectionPanel().GetSafeHwnd(), IDC_SECTION_PREVIEW},
            {page->SectionPanel().GetSafeHwnd(), IDC_SECTION_ALIGN_BOTTOM},
            {page->SectionPanel().GetSafeHwnd(), IDC_SECTION_MULTI},
            {page->ModifyPanel().GetSafeHwnd(), IDC_MODIFY_CLEAR_ALL},
            {page->ModifyPanel().GetSafeHwnd(), IDC_MODIFY_SELECT_ALL},
            {page->ModifyPanel().GetSafeHwnd(), IDC_MODIFY_FIT_ON_MESH},
            {page->ModifyPanel().GetSafeHwnd(), IDC_MODIFY_PRESERVE_G1},
            {page->AddPanel().GetSafeHwnd(), IDC_ADD_SUB_SAMPLING},
        };
        const auto& b = buttons[m_random() % (sizeof buttons / sizeof buttons[0])];
        Note(" " + std::to_string(b.id));
        PageButton(b.window, b.id);
        break;
    }
    case eAction::curvesClick:
    {
        const POINT p = target();
        const bool twice = m_random() % 4 == 0;
        Note(std::string(twice ? " double " : " ") + Text(p));
        if (twice)
            DoubleClick(p);
        else
            Click(p);
        Mouse(WM_MOUSEMOVE, target());
        break;
    }
    case eAction::curvesDrag:
    {
        const double worldPerPixel = double(view->GetRenderer()->PixelsToWorld(1));
        m_curveDragReach += DragAway(target(), 50) * worldPerPixel;
        break;
    }
    case eAction::curvesUndo:
        if (page && m_random() % 2)
            PageButton(page->GetSafeHwnd(), IDC_CURVES_UNDO);
        else
        {
            ::SetFocus(view->GetSafeHwnd());
            KeyWith(VK_CONTROL, 'Z');
        }
        break;
    default: break;
    }
}

} // namespace usersession
