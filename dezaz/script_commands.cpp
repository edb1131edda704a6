#include "dezaz/script_commands.h"
#include "dezaz/counted_noun.h"

#include "dezaz/dialog_controls.h"

#include "platform/geometry/brep.h"
#include "platform/geometry/plane_surface.h"
#include "platform/geometry/surface.h"
#include "platform/geometry/polyline_curve.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_command.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/script_view_points.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "platform/win32/window.h"

#include <algorithm>
#include <cwctype>

#include <cmath>
#include <cwchar>
#include <memory>
#include <sstream>
#include <vector>

namespace dezaz
{

namespace
{

// Points written as "x,y,z" and separated by blanks; false for anything
// else, or a coordinate that is not a finite number.
bool ParsePoints(const std::wstring& text, std::vector<ON_3dPoint>& points)
{
    std::wistringstream words(text);
    std::wstring word;
    while (words >> word)
    {
        double xyz[3];
        const wchar_t* at = word.c_str();
        for (int k = 0; k < 3; ++k)
        {
            wchar_t* end = nullptr;
            xyz[k] = std::wcstod(at, &end);
            if (end == at || !std::isfinite(xyz[k]) || *end != (k < 2 ? L',' : L'\0'))
                return false;
            at = end + (k < 2 ? 1 : 0);
        }
        points.emplace_back(xyz[0], xyz[1], xyz[2]);
    }
    return true;
}

class cGeometryCommand : public CDezazCommand
{
public:
    using Run = result (*)(const CDezazCommandContext&);
    cGeometryCommand(const wchar_t* name, ON_UUID id, Run run) : m_name(name), m_id(id), m_run(run) {}
    ON_UUID CommandUUID() override { return m_id; }
    const wchar_t* EnglishCommandName() override { return m_name; }
    result RunCommand(const CDezazCommandContext& context) override { return m_run(context); }

private:
    const wchar_t* m_name;
    ON_UUID m_id;
    Run m_run;
};

CDezazCommand::result Polyline(const CDezazCommandContext& context)
{
    std::vector<ON_3dPoint> points;
    if (!ParsePoints(context.Arguments(), points) || points.size() < 2)
    {
        DezazApp().Print(L"Polyline needs two points or more, each as x,y,z.\n");
        return CDezazCommand::failure;
    }
    ON_SimpleArray<ON_3dPoint> list;
    for (const ON_3dPoint& p : points)
        list.Append(p);
    auto curve = std::make_unique<ON_PolylineCurve>(list);
    CDezazDoc& doc = context.Document();
    const CDezazObject* added = doc.AddObject(std::make_unique<CDezazCurveObject>(std::move(curve)));
    if (!added)
    {
        DezazApp().Print(L"These points make no curve (two of them in a row are the same).\n");
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"Added a polyline of %ls (object %u).\n",
                     Counted(points.size(), L"point", L"points").c_str(), added->RuntimeSerialNumber());
    doc.Redraw();
    return CDezazCommand::success;
}

CDezazCommand::result PlaneSurface(const CDezazCommandContext& context)
{
    std::vector<ON_3dPoint> points;
    if (!ParsePoints(context.Arguments(), points) || points.size() != 3)
    {
        DezazApp().Print(L"PlaneSurface needs three points as x,y,z: a corner and the ends of its two sides.\n");
        return CDezazCommand::failure;
    }
    const ON_3dVector x = points[1] - points[0];
    const ON_3dVector y = points[2] - points[0];
    const ON_Plane plane(points[0], x, y);
    const double width = x.Length();
    const double height = ON_DotProduct(y, plane.yaxis);
    auto surface = std::make_unique<ON_PlaneSurface>(plane);
    if (!plane.IsValid() || !(width > 0.0) || !(height > 0.0) ||
        !surface->SetExtents(0, ON_Interval(0.0, width), true) || !surface->SetExtents(1, ON_Interval(0.0, height), true))
    {
        DezazApp().Print(L"The three points of PlaneSurface lie on one line.\n");
        return CDezazCommand::failure;
    }
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* s = surface.release();
    if (!brep->Create(s))
    {
        delete s;
        DezazApp().Print(L"The plane surface could not be made.\n");
        return CDezazCommand::failure;
    }
    CDezazDoc& doc = context.Document();
    const CDezazObject* added = doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
    if (!added)
        return CDezazCommand::failure;
    DezazApp().Print(L"Added a plane surface of %g x %g (object %u).\n", width, height, added->RuntimeSerialNumber());
    doc.Redraw();
    return CDezazCommand::success;
}

const wchar_t* KindOf(const CDezazObject& object)
{
    switch (object.ObjectType())
    {
    case DezazObjectType::point:
        return L"point";
    case DezazObjectType::curve:
        return L"curve";
    case DezazObjectType::surface:
        return L"surface";
    case DezazObjectType::brep:
        return L"polysurface";
    case DezazObjectType::mesh:
        return L"mesh";
    case DezazObjectType::text_dot:
        return L"text dot";
    default:
        return L"object";
    }
}

CDezazCommand::result List(const CDezazCommandContext& context)
{
    const CDezazDoc& doc = context.Document();
    const std::vector<const CDezazObject*> objects = doc.Objects();
    DezazApp().Print(L"The document holds %ls.\n", Counted(objects.size(), L"object", L"objects").c_str());
    for (const CDezazObject* object : objects)
    {
        const int layer = object->Attributes().m_layer_index;
        const wchar_t* layerName = L"?";
        if (layer >= 0 && layer < doc.LayerTable().LayerCount())
            layerName = doc.LayerTable()[layer].Name();
        DezazApp().Print(L"  %u %ls", object->RuntimeSerialNumber(), KindOf(*object));
        if (const auto* brep = dynamic_cast<const CDezazBrepObject*>(object); brep && brep->Brep())
        {
            int trimmed = 0;
            for (int f = 0; f < brep->Brep()->FaceCount(); ++f)
                trimmed += brep->Brep()->Face(f)->IsTrimmed() ? 1 : 0;
            DezazApp().Print(L", %ls (%d trimmed)", Counted(brep->Brep()->FaceCount(), L"face", L"faces").c_str(), trimmed);
        }
        else if (const auto* mesh = dynamic_cast<const CDezazMeshObject*>(object); mesh && mesh->Mesh())
            DezazApp().Print(L", %ls", Counted(mesh->Mesh()->FaceCount(), L"face", L"faces").c_str());
        else if (const auto* dot = dynamic_cast<const CDezazTextDot*>(object))
            DezazApp().Print(L" \"%ls\"", dot->Text());
        const ON_BoundingBox box = object->BoundingBox();
        if (box.IsValid())
            DezazApp().Print(L", from (%g, %g, %g) to (%g, %g, %g)", box.m_min.x, box.m_min.y, box.m_min.z, box.m_max.x,
                             box.m_max.y, box.m_max.z);
        DezazApp().Print(L", layer \"%ls\"%ls\n", layerName, object->IsHidden() ? L", hidden" : L"");
    }
    return CDezazCommand::success;
}

// The visible top-level window of that title (compared without case), or
// null.
HWND FindTopLevel(const std::wstring& title)
{
    struct Search
    {
        std::wstring title;
        HWND found = nullptr;
    } search{title, nullptr};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL
        {
            auto* s = reinterpret_cast<Search*>(data);
            wchar_t text[256] = {};
            ::GetWindowTextW(window, text, 256);
            if (!::IsWindowVisible(window) || std::wcslen(text) != s->title.size())
                return TRUE;
            for (std::size_t i = 0; i < s->title.size(); ++i)
                if (towlower(text[i]) != towlower(s->title[i]))
                    return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Splits "<title> <rest>": the title quoted, or one word.
bool SplitTitle(const std::wstring& arguments, std::wstring& title, std::wstring& rest)
{
    std::size_t at = arguments.find_first_not_of(L" \t");
    if (at == std::wstring::npos)
        return false;
    std::size_t end;
    if (arguments[at] == L'"')
    {
        end = arguments.find(L'"', at + 1);
        if (end == std::wstring::npos)
            return false;
        title = arguments.substr(at + 1, end - at - 1);
        ++end;
    }
    else
    {
        end = std::min(arguments.find_first_of(L" \t", at), arguments.size());
        title = arguments.substr(at, end - at);
    }
    rest = arguments.substr(end);
    rest.erase(0, std::min(rest.find_first_not_of(L" \t"), rest.size()));
    rest.erase(rest.find_last_not_of(L" \t") + 1);
    return !title.empty();
}

// "<title> <control id> <text>": the window and its control.
HWND FindControl(const CDezazCommandContext& context, const wchar_t* usage, std::wstring& text)
{
    std::wstring title, rest;
    if (!SplitTitle(context.Arguments(), title, rest))
    {
        DezazApp().Print(L"%ls\n", usage);
        return nullptr;
    }
    HWND window = FindTopLevel(title);
    if (!window)
    {
        DezazApp().Print(L"There is no window titled \"%ls\".\n", title.c_str());
        return nullptr;
    }
    wchar_t* end = nullptr;
    const unsigned long id = std::wcstoul(rest.c_str(), &end, 10);
    if (end == rest.c_str() || id > 0xFFFF)
    {
        DezazApp().Print(L"%ls\n", usage);
        return nullptr;
    }
    text = end;
    text.erase(0, std::min(text.find_first_not_of(L" \t"), text.size()));
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        text = text.substr(1, text.size() - 2);
    std::wstring problem;
    HWND control = FindDialogControl(window, int(id), problem);
    if (!control)
        DezazApp().Print(L"The window \"%ls\" %ls\n", title.c_str(), problem.c_str());
    return control;
}

// "DialogCombo <title> <control id> <item text>": chooses the item of a
// drop-down list as the user would, which tells the dialog.
CDezazCommand::result DialogCombo(const CDezazCommandContext& context)
{
    std::wstring item;
    HWND combo = FindControl(context, L"DialogCombo needs a window title, a combo box id and an item text.", item);
    if (!combo)
        return CDezazCommand::failure;
    const LRESULT index = ::SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(item.c_str()));
    if (index == CB_ERR)
    {
        DezazApp().Print(L"The combo box has no item \"%ls\".\n", item.c_str());
        return CDezazCommand::failure;
    }
    ::SendMessageW(combo, CB_SETCURSEL, WPARAM(index), 0);
    ::SendMessageW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE), LPARAM(combo));
    return CDezazCommand::success;
}

// "DialogText <title> <control id> <text>": types the text into an edit
// box and leaves it, so the dialog applies it.
CDezazCommand::result DialogText(const CDezazCommandContext& context)
{
    std::wstring text;
    HWND edit = FindControl(context, L"DialogText needs a window title, an edit box id and a text.", text);
    if (!edit)
        return CDezazCommand::failure;
    ::SetWindowTextW(edit, text.c_str());
    ::SendMessageW(::GetParent(edit), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(edit), EN_KILLFOCUS), LPARAM(edit));
    return CDezazCommand::success;
}

// "DialogList <title> <control id>": prints the items of a list box, one a
// line, with the selected one marked.
CDezazCommand::result DialogList(const CDezazCommandContext& context)
{
    std::wstring unused;
    HWND list = FindControl(context, L"DialogList needs a window title and a list box id.", unused);
    if (!list)
        return CDezazCommand::failure;
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    const LRESULT selected = ::SendMessageW(list, LB_GETCURSEL, 0, 0);
    DezazApp().Print(L"%ls:\n", Counted(count, L"item", L"items").c_str());
    for (LRESULT i = 0; i < count; ++i)
    {
        std::wstring text(std::size_t(std::max<LRESULT>(0, ::SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0))) + 1, L'\0');
        ::SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text.data()));
        DezazApp().Print(L"  %ls%ls\n", text.c_str(), i == selected ? L" (selected)" : L"");
    }
    return CDezazCommand::success;
}

// The row of the list box that shows exactly that text (-1, and said, when
// none does; the first of several).
int FindListRow(HWND list, const std::wstring& text)
{
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
    {
        std::wstring row(std::size_t(std::max<LRESULT>(0, ::SendMessageW(list, LB_GETTEXTLEN, WPARAM(i), 0))) + 1, L'\0');
        ::SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(row.data()));
        row.resize(std::wcslen(row.c_str()));
        if (row == text)
            return int(i);
    }
    DezazApp().Print(L"The list has no item \"%ls\".\n", text.c_str());
    return -1;
}

// "DialogListSelect <title> <list id> <item text>": chooses the row that
// shows the text, as a click on it would, which tells the dialog.
CDezazCommand::result DialogListSelect(const CDezazCommandContext& context)
{
    std::wstring item;
    HWND list = FindControl(context, L"DialogListSelect needs a window title, a list box id and an item text.", item);
    const int row = list ? FindListRow(list, item) : -1;
    if (row < 0)
        return CDezazCommand::failure;
    ::SendMessageW(list, LB_SETCURSEL, WPARAM(row), 0);
    ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(list), LBN_SELCHANGE), LPARAM(list));
    return CDezazCommand::success;
}

// "DialogListRightClick <title> <list id> <item text>": the right mouse
// button on the middle of the row that shows the text (scrolled into view
// first); a menu it opens takes its answer from a "> Menu <id>" line.
CDezazCommand::result DialogListRightClick(const CDezazCommandContext& context)
{
    std::wstring item;
    HWND list =
        FindControl(context, L"DialogListRightClick needs a window title, a list box id and an item text.", item);
    const int row = list ? FindListRow(list, item) : -1;
    if (row < 0)
        return CDezazCommand::failure;
    RECT r{}, client{};
    ::SendMessageW(list, LB_GETITEMRECT, WPARAM(row), LPARAM(&r));
    ::GetClientRect(list, &client);
    if (r.top < client.top || r.bottom > client.bottom)
    {
        ::SendMessageW(list, LB_SETTOPINDEX, WPARAM(row), 0);
        ::SendMessageW(list, LB_GETITEMRECT, WPARAM(row), LPARAM(&r));
    }
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::SendMessageW(list, WM_RBUTTONDOWN, MK_RBUTTON, at);
    ::SendMessageW(list, WM_RBUTTONUP, 0, at);
    mfc::PumpUntilIdle();
    return CDezazCommand::success;
}

// The 3D view of the top-level window of that title: its largest visible
// child without a control id. Null (and said) when there is none.
HWND FindDialogView(const std::wstring& title)
{
    HWND window = FindTopLevel(title);
    HWND view = nullptr;
    long largest = 0;
    for (HWND child = window ? ::GetWindow(window, GW_CHILD) : nullptr; child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        RECT r{};
        ::GetClientRect(child, &r);
        const long area = long(r.right - r.left) * long(r.bottom - r.top);
        if (::GetDlgCtrlID(child) == 0 && ::IsWindowVisible(child) && area > largest)
            view = child, largest = area;
    }
    if (!view)
        DezazApp().Print(L"There is no window titled \"%ls\" with a view.\n", title.c_str());
    return view;
}

// "DialogViewCommand <title> <command id>": a command of the view's menus
// (a standard view, zoom all), as its context menu would send it.
CDezazCommand::result DialogViewCommand(const CDezazCommandContext& context)
{
    std::wstring title, rest;
    wchar_t* end = nullptr;
    const unsigned long id = SplitTitle(context.Arguments(), title, rest) ? std::wcstoul(rest.c_str(), &end, 10) : 0;
    if (!end || end == rest.c_str() || *end || id == 0 || id > 0xFFFF)
        return DezazApp().Print(L"DialogViewCommand needs a window title and a command id.\n"), CDezazCommand::failure;
    HWND view = FindDialogView(title);
    if (!view)
        return CDezazCommand::failure;
    ::SendMessageW(view, WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return CDezazCommand::success;
}

// The mouse buttons a script presses in a view, by name.
struct stMouseButton
{
    const wchar_t* name;
    UINT down, up;
    WPARAM held;
};
constexpr stMouseButton kMouseButtons[] = {{L"left", WM_LBUTTONDOWN, WM_LBUTTONUP, MK_LBUTTON},
                                           {L"middle", WM_MBUTTONDOWN, WM_MBUTTONUP, MK_MBUTTON},
                                           {L"right", WM_RBUTTONDOWN, WM_RBUTTONUP, MK_RBUTTON}};

// "DialogViewClick <title> [left|middle|right|double] fx,fy [fx,fy ...]": a
// mouse button (the left one unless named) in the window's 3D view (its
// largest child without a control id) at fractions of its width and height:
// a click at one point, a drag through several. "double" is a double click
// of the left button at one point, sent as a window that takes double
// clicks receives it: press, release, the double-click press, release. A
// menu the click opens takes its answer from a "> Menu <id>" line.
CDezazCommand::result DialogViewClick(const CDezazCommandContext& context)
{
    std::wstring title, rest;
    std::vector<std::pair<double, double>> at;
    const stMouseButton* button = &kMouseButtons[0];
    bool doubleClick = false;
    if (SplitTitle(context.Arguments(), title, rest))
    {
        std::wistringstream words(rest);
        std::wstring word;
        bool first = true;
        while (words >> word)
        {
            if (first)
            {
                first = false;
                if (word == L"double")
                {
                    doubleClick = true;
                    continue;
                }
                const auto named = std::find_if(std::begin(kMouseButtons), std::end(kMouseButtons),
                                                [&](const stMouseButton& b) { return word == b.name; });
                if (named != std::end(kMouseButtons))
                {
                    button = named;
                    continue;
                }
            }
            wchar_t* end = nullptr;
            const double x = std::wcstod(word.c_str(), &end);
            if (*end != L',')
                return DezazApp().Print(L"DialogViewClick needs points written fx,fy.\n"), CDezazCommand::failure;
            const wchar_t* second = end + 1;
            const double y = std::wcstod(second, &end);
            if (end == second || *end || !(x >= 0 && x <= 1 && y >= 0 && y <= 1))
                return DezazApp().Print(L"DialogViewClick needs fractions between 0 and 1.\n"), CDezazCommand::failure;
            at.emplace_back(x, y);
        }
    }
    if (at.empty())
        return DezazApp().Print(L"DialogViewClick needs a window title and points fx,fy.\n"), CDezazCommand::failure;
    if (doubleClick && at.size() != 1)
        return DezazApp().Print(L"DialogViewClick double needs one point fx,fy.\n"), CDezazCommand::failure;
    HWND view = FindDialogView(title);
    if (!view)
        return CDezazCommand::failure;
    RECT r{};
    ::GetClientRect(view, &r);
    const auto lparam = [&](const std::pair<double, double>& f)
    {
        const int x = int(std::lround(f.first * (r.right - 1))), y = int(std::lround(f.second * (r.bottom - 1)));
        return MAKELPARAM(x, y);
    };
    ::SendMessageW(view, WM_MOUSEMOVE, 0, lparam(at.front()));
    ::SendMessageW(view, button->down, button->held, lparam(at.front()));
    for (std::size_t i = 1; i < at.size(); ++i)
        ::SendMessageW(view, WM_MOUSEMOVE, button->held, lparam(at[i]));
    ::SendMessageW(view, button->up, 0, lparam(at.back()));
    if (doubleClick)
    {
        ::SendMessageW(view, WM_LBUTTONDBLCLK, MK_LBUTTON, lparam(at.back()));
        ::SendMessageW(view, WM_LBUTTONUP, 0, lparam(at.back()));
    }
    mfc::PumpUntilIdle();
    return CDezazCommand::success;
}

// "DialogSketchClick <title> x,y [x,y ...]": one left click after another
// in the window's 3D view, each where the point (x, y) of the sketch being
// edited shows, as a user clicks a profile's points on the Sketch tab. A
// point written x,y,z is one of the scan, taken straight onto the sketch's
// plane (where a user reads it off the scan's outline).
CDezazCommand::result DialogSketchClick(const CDezazCommandContext& context)
{
    std::wstring title, rest;
    std::vector<stScriptPlanePoint> at;
    if (SplitTitle(context.Arguments(), title, rest))
    {
        std::wistringstream words(rest);
        std::wstring word;
        while (words >> word)
        {
            stScriptPlanePoint point;
            double* coordinates[3] = {&point.x, &point.y, &point.z};
            const wchar_t* from = word.c_str();
            wchar_t* end = nullptr;
            int count = 0;
            bool written = true;
            while (written && count < 3)
            {
                *coordinates[count] = std::wcstod(from, &end);
                written = end != from && std::isfinite(*coordinates[count]);
                ++count;
                if (!written || *end != L',')
                    break;
                from = end + 1;
            }
            if (!written || *end || count < 2)
                return DezazApp().Print(L"DialogSketchClick needs sketch points written x,y (or scan points x,y,z).\n"),
                       CDezazCommand::failure;
            point.world = count == 3;
            at.push_back(point);
        }
    }
    if (at.empty())
        return DezazApp().Print(L"DialogSketchClick needs a window title and sketch points x,y.\n"),
               CDezazCommand::failure;
    HWND view = FindDialogView(title);
    if (!view)
        return CDezazCommand::failure;
    static const UINT planePoint = ::RegisterWindowMessageW(kScriptPlanePointMessage);
    for (stScriptPlanePoint& request : at)
    {
        RECT r{};
        ::GetClientRect(view, &r);
        if (!::SendMessageW(view, planePoint, 0, reinterpret_cast<LPARAM>(&request)))
            return DezazApp().Print(L"The view of \"%ls\" shows no sketch to click on.\n", title.c_str()),
                   CDezazCommand::failure;
        if (request.client.x < 0 || request.client.y < 0 || request.client.x >= r.right || request.client.y >= r.bottom)
        {
            if (request.world)
                DezazApp().Print(L"The scan point %g,%g,%g lies outside the view of \"%ls\".\n", request.x, request.y,
                                 request.z, title.c_str());
            else
                DezazApp().Print(L"The sketch point %g,%g lies outside the view of \"%ls\".\n", request.x, request.y,
                                 title.c_str());
            return CDezazCommand::failure;
        }
        const LPARAM where = MAKELPARAM(request.client.x, request.client.y);
        ::SendMessageW(view, WM_MOUSEMOVE, 0, where);
        ::SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, where);
        ::SendMessageW(view, WM_LBUTTONUP, 0, where);
    }
    mfc::PumpUntilIdle();
    return CDezazCommand::success;
}

// "DialogTab <title> <caption>": clicks the tab of that caption, as a user
// would, so that the window shows its page.
CDezazCommand::result DialogTab(const CDezazCommandContext& context)
{
    std::wstring title, caption;
    if (!SplitTitle(context.Arguments(), title, caption) || caption.empty())
        return DezazApp().Print(L"DialogTab needs a window title and a tab caption.\n"), CDezazCommand::failure;
    if (caption.size() >= 2 && caption.front() == L'"' && caption.back() == L'"')
        caption = caption.substr(1, caption.size() - 2);
    HWND window = FindTopLevel(title);
    if (!window)
        return DezazApp().Print(L"There is no window titled \"%ls\".\n", title.c_str()), CDezazCommand::failure;
    int index = -1;
    std::wstring captions;
    HWND tabs = FindDialogTab(window, caption, index, captions);
    if (!tabs)
    {
        DezazApp().Print(L"The window \"%ls\" has no tab \"%ls\" (its tabs: %ls).\n", title.c_str(), caption.c_str(),
                         captions.empty() ? L"none" : captions.c_str());
        return CDezazCommand::failure;
    }
    if (!::IsWindowEnabled(tabs))
        return DezazApp().Print(L"The tabs of \"%ls\" are disabled.\n", title.c_str()), CDezazCommand::failure;
    RECT r{};
    ::SendMessageW(tabs, TCM_GETITEMRECT, WPARAM(index), LPARAM(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::SendMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(tabs, WM_LBUTTONUP, 0, at);
    if (::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) != index)
        return DezazApp().Print(L"The window \"%ls\" kept its page.\n", title.c_str()), CDezazCommand::failure;
    return CDezazCommand::success;
}

// A key by its name: a letter or digit, or one of a few named keys; 0 for
// anything else.
UINT VirtualKey(const std::wstring& name)
{
    if (name.size() == 1 && std::iswalnum(name[0]) && name[0] < 0x80)
        return UINT(std::towupper(name[0]));
    static const std::pair<const wchar_t*, UINT> named[] = {
        {L"Escape", VK_ESCAPE}, {L"Delete", VK_DELETE}, {L"Enter", VK_RETURN}, {L"Space", VK_SPACE}};
    for (const auto& [text, key] : named)
        if (name.size() == std::wcslen(text) &&
            std::equal(name.begin(), name.end(), text, [](wchar_t a, wchar_t b) { return towlower(a) == towlower(b); }))
            return key;
    return 0;
}

// "DialogViewKey <title> <key>": the key pressed and released while the
// window's 3D view has the focus; it goes through the message loop, so the
// window's accelerators and its own key handling see it as they see a user's.
CDezazCommand::result DialogViewKey(const CDezazCommandContext& context)
{
    std::wstring title, name;
    const UINT key = SplitTitle(context.Arguments(), title, name) ? VirtualKey(name) : 0;
    if (!key)
        return DezazApp().Print(L"DialogViewKey needs a window title and a key: a letter, a digit, Escape, Delete, "
                                L"Enter or Space.\n"),
               CDezazCommand::failure;
    HWND view = FindDialogView(title);
    if (!view)
        return CDezazCommand::failure;
    ::SetFocus(view);
    ::PostMessageW(view, WM_KEYDOWN, WPARAM(key), 1);
    ::PostMessageW(view, WM_KEYUP, WPARAM(key), LPARAM(0xC0000001u));
    mfc::PumpUntilIdle();
    return CDezazCommand::success;
}

// "SurfacePoints": for every brep face, one line "<serial> face <i>:" and a
// 9 x 9 grid of its surface's points "x,y,z", so that a script can measure
// the surfaces against known shapes.
CDezazCommand::result SurfacePoints(const CDezazCommandContext&)
{
    for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
    {
        const auto* brepObject = dynamic_cast<const CDezazBrepObject*>(object);
        ON_Brep* brep = brepObject ? const_cast<ON_Brep*>(brepObject->Brep()) : nullptr;
        for (int f = 0; brep && f < brep->FaceCount(); ++f)
        {
            const ON_Surface* surface = brep->Face(f)->SurfaceOf();
            if (!surface)
                continue;
            DezazApp().Print(L"surface %u face %d:", object->RuntimeSerialNumber(), f);
            const ON_Interval u = surface->Domain(0), v = surface->Domain(1);
            for (int i = 0; i <= 8; ++i)
                for (int j = 0; j <= 8; ++j)
                {
                    const ON_3dPoint p = surface->PointAt(u.ParameterAt(i / 8.0), v.ParameterAt(j / 8.0));
                    DezazApp().Print(L" %.9g,%.9g,%.9g", p.x, p.y, p.z);
                }
            DezazApp().Print(L"\n");
        }
    }
    return CDezazCommand::success;
}

constexpr ON_UUID GeometryCommandId(unsigned char n)
{
    // {6F1C2B84-97D3-4E5A-B0C6-1D2E3F40000n}
    return {0x6F1C2B84, 0x97D3, 0x4E5A, {0xB0, 0xC6, 0x1D, 0x2E, 0x3F, 0x40, 0x00, n}};
}

} // namespace

void RegisterScriptCommands()
{
    static std::vector<std::unique_ptr<cGeometryCommand>> commands;
    if (!commands.empty())
        return;
    commands.push_back(std::make_unique<cGeometryCommand>(L"Polyline", GeometryCommandId(1), &Polyline));
    commands.push_back(std::make_unique<cGeometryCommand>(L"PlaneSurface", GeometryCommandId(2), &PlaneSurface));
    commands.push_back(std::make_unique<cGeometryCommand>(L"List", GeometryCommandId(3), &List));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogCombo", GeometryCommandId(4), &DialogCombo));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogText", GeometryCommandId(5), &DialogText));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogViewClick", GeometryCommandId(6), &DialogViewClick));
    commands.push_back(std::make_unique<cGeometryCommand>(L"SurfacePoints", GeometryCommandId(7), &SurfacePoints));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogViewCommand", GeometryCommandId(8), &DialogViewCommand));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogList", GeometryCommandId(9), &DialogList));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogTab", GeometryCommandId(10), &DialogTab));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogViewKey", GeometryCommandId(11), &DialogViewKey));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogListSelect", GeometryCommandId(12), &DialogListSelect));
    commands.push_back(
        std::make_unique<cGeometryCommand>(L"DialogListRightClick", GeometryCommandId(13), &DialogListRightClick));
    commands.push_back(std::make_unique<cGeometryCommand>(L"DialogSketchClick", GeometryCommandId(14), &DialogSketchClick));
}

} // namespace dezaz
