#include "dezaz/host_commands.h"
#include "dezaz/counted_noun.h"

#include "dezaz/script_commands.h"
#include "dezaz/dialog_controls.h"
#include "dezaz/main_window.h"
#include "dezaz/mesh_import.h"
#include "dezaz/plugin_loader.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_command.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dock_bar.h"
#include "platform/host/document_io.h"
#include "platform/win32/codepage.h"
#include "platform/win32/window.h"
#include "platform/win32/window_snapshot.h"

#include <algorithm>
#include <cmath>
#include <cwctype>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

namespace dezaz
{

namespace
{

std::wstring Objects(long long count)
{
    return Counted(count, L"object", L"objects");
}

std::filesystem::path ToPath(const std::wstring& argument)
{
    return std::filesystem::path(win32::WideToUtf8(Unquote(argument)));
}

// A host command given by its name, id and run function.
class cHostCommand : public CDezazCommand
{
public:
    using Run = result (*)(const CDezazCommandContext&);
    cHostCommand(const wchar_t* name, ON_UUID id, Run run) : m_name(name), m_id(id), m_run(run) {}
    ON_UUID CommandUUID() override { return m_id; }
    const wchar_t* EnglishCommandName() override { return m_name; }
    result RunCommand(const CDezazCommandContext& context) override { return m_run(context); }

private:
    const wchar_t* m_name;
    ON_UUID m_id;
    Run m_run;
};

CDezazCommand::result NeedsArgument(const wchar_t* what)
{
    DezazApp().Print(L"%ls\n", what);
    return CDezazCommand::failure;
}

// A command without arguments refuses words after its name rather than
// ignoring them: "SelAll meshes" must not select everything.
bool RefusesArguments(const CDezazCommandContext& context, const wchar_t* name)
{
    if (Unquote(context.Arguments()).find_first_not_of(L" \t") == std::wstring::npos)
        return false;
    DezazApp().Print(L"%ls takes no arguments.\n", name);
    return true;
}

CDezazCommand::result Import(const CDezazCommandContext& context)
{
    const std::wstring argument = Unquote(context.Arguments());
    if (argument.empty())
        return NeedsArgument(L"Import needs the name of a mesh file (STL, OBJ or PLY).");
    const std::filesystem::path path = ToPath(argument);
    auto mesh = std::make_unique<ON_Mesh>();
    std::wstring error;
    MeshImportStats stats;
    bool progress_shown = false;
    const ImportProgress progress = [&](int percent) {
        if (!progress_shown)
            DezazApp().Print(L"Importing %ls:", path.filename().wstring().c_str());
        progress_shown = true;
        DezazApp().Print(percent < 100 ? L" %d%%" : L" %d%%\n", percent);
    };
    if (!ImportMeshFile(path.string(), *mesh, error, &stats, progress))
    {
        DezazApp().Print(L"Cannot import \"%ls\": %ls\n", argument.c_str(), error.c_str());
        return CDezazCommand::failure;
    }
    CDezazDoc& doc = context.Document();
    ON_3dmObjectAttributes attributes = doc.GetDefaultObjectAttributes();
    attributes.m_name = path.stem().wstring().c_str();
    const CDezazMeshObject* object = doc.AddMeshObject(std::move(mesh), &attributes);
    if (!object)
    {
        DezazApp().Print(L"Cannot add the mesh of \"%ls\" to the document.\n", argument.c_str());
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"Imported %ls and %ls from %ls", Counted(object->Mesh()->FaceCount(), L"triangle", L"triangles").c_str(),
                     Counted(object->Mesh()->VertexCount(), L"vertex", L"vertices").c_str(),
                     path.filename().wstring().c_str());
    if (stats.faces_dropped)
        DezazApp().Print(L" (%ls left out)",
                         Counted(stats.faces_dropped, L"degenerate face", L"degenerate faces").c_str());
    DezazApp().Print(L".\n");
    doc.Redraw();
    return CDezazCommand::success;
}

// Prints "<what> <file>: 0% 10% ... 100%" on the command line as a long
// transfer goes on, as the import does.
FileProgress PrintedProgress(const wchar_t* what, const std::wstring& path)
{
    return [what, name = std::filesystem::path(path).filename().wstring()](int percent) {
        if (percent == 0)
            DezazApp().Print(L"%ls %ls:", what, name.c_str());
        DezazApp().Print(percent < 100 ? L" %d%%" : L" %d%%\n", percent);
    };
}

CDezazCommand::result Open(const CDezazCommandContext& context)
{
    const std::wstring path = Unquote(context.Arguments());
    if (path.empty())
        return NeedsArgument(L"Open needs the name of a document.");
    std::wstring error;
    if (!OpenDocument(context.Document(), path, false, error, PrintedProgress(L"Reading", path)))
    {
        DezazApp().Print(L"%ls\n", error.c_str());
        return CDezazCommand::failure;
    }
    const int count = context.Document().ObjectCount();
    DezazApp().Print(L"Opened %ls: %ls.\n", path.c_str(), Objects(count).c_str());
    return CDezazCommand::success;
}

CDezazCommand::result Insert(const CDezazCommandContext& context)
{
    const std::wstring path = Unquote(context.Arguments());
    if (path.empty())
        return NeedsArgument(L"Insert needs the name of a document.");
    std::wstring error;
    const int before = context.Document().ObjectCount();
    if (!OpenDocument(context.Document(), path, true, error))
    {
        DezazApp().Print(L"%ls\n", error.c_str());
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"Inserted %ls from %ls.\n", Objects(context.Document().ObjectCount() - before).c_str(), path.c_str());
    return CDezazCommand::success;
}

CDezazCommand::result Save(const CDezazCommandContext& context)
{
    std::wstring path = Unquote(context.Arguments());
    if (path.empty())
        path = context.Document().FileName();
    if (path.empty())
        return NeedsArgument(L"Save needs the name of a document.");
    std::wstring error;
    if (!SaveDocument(context.Document(), path, CDezazFileWriteOptions(), error, PrintedProgress(L"Saving", path)))
    {
        DezazApp().Print(L"%ls\n", error.c_str());
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"Saved %ls.\n", path.c_str());
    return CDezazCommand::success;
}

CDezazCommand::result New(const CDezazCommandContext& context)
{
    if (RefusesArguments(context, L"New"))
        return CDezazCommand::failure;
    NewDocument(context.Document());
    return CDezazCommand::success;
}

CDezazCommand::result SelAll(const CDezazCommandContext& context)
{
    if (RefusesArguments(context, L"SelAll"))
        return CDezazCommand::failure;
    const int count = context.Document().SelectAll();
    DezazApp().Print(L"%ls selected.\n", Objects(count).c_str());
    return CDezazCommand::success;
}

CDezazCommand::result SelNone(const CDezazCommandContext& context)
{
    if (RefusesArguments(context, L"SelNone"))
        return CDezazCommand::failure;
    context.Document().UnselectAll();
    return CDezazCommand::success;
}

// "SelMeshAt x,y,z [x,y,z ...]": for each point, the visible mesh with a
// vertex nearest to it is selected, as a click on the scan there picks the
// mesh it lands on; a point with no mesh vertex within 1 unit picks nothing
// and fails the command, so a script never goes on with a wrong selection.
CDezazCommand::result SelMeshAt(const CDezazCommandContext& context)
{
    constexpr double kReach = 1.0;
    std::vector<ON_3dPoint> points;
    std::wistringstream words(Unquote(context.Arguments()));
    for (std::wstring word; words >> word;)
    {
        double xyz[3];
        const wchar_t* from = word.c_str();
        wchar_t* end = nullptr;
        for (int i = 0; i < 3; ++i)
        {
            xyz[i] = std::wcstod(from, &end);
            if (end == from || !std::isfinite(xyz[i]) || *end != (i < 2 ? L',' : L'\0'))
                return NeedsArgument(L"SelMeshAt needs points written x,y,z.");
            from = end + 1;
        }
        points.emplace_back(xyz[0], xyz[1], xyz[2]);
    }
    if (points.empty())
        return NeedsArgument(L"SelMeshAt needs points written x,y,z.");
    std::vector<const CDezazObject*> chosen;
    for (const ON_3dPoint& point : points)
    {
        const CDezazObject* nearest = nullptr;
        double best = kReach;
        for (const CDezazObject* object : context.Document().Objects())
        {
            const auto* mesh = object->ObjectType() == DezazObjectType::mesh && object->IsVisible()
                                   ? static_cast<const CDezazMeshObject*>(object)->Mesh()
                                   : nullptr;
            for (int v = 0; mesh && v < mesh->VertexCount(); ++v)
            {
                const ON_3fPoint& p = mesh->m_V[v];
                const double d = point.DistanceTo(ON_3dPoint(p.x, p.y, p.z));
                if (d <= best)
                    best = d, nearest = object;
            }
        }
        if (!nearest)
            return DezazApp().Print(L"No mesh passes within %g of %g,%g,%g.\n", kReach, point.x, point.y, point.z),
                   CDezazCommand::failure;
        chosen.push_back(nearest);
    }
    // The document hands out its objects read-only; selecting is what
    // the command is for.
    for (const CDezazObject* object : chosen)
        const_cast<CDezazObject*>(object)->Select(true);
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    DezazApp().Print(L"%ls selected.\n", Objects(static_cast<long long>(chosen.size())).c_str());
    return CDezazCommand::success;
}

CDezazCommand::result Screenshot(const CDezazCommandContext& context)
{
    const std::wstring folder = Unquote(context.Arguments());
    if (folder.empty())
        return NeedsArgument(L"Screenshot needs a folder.");
    RefreshMainWindow(DezazApp().MainWindowHandle());
    std::wstring error;
    const int written = WriteScreenshots(ToPath(folder), error);
    if (written < 0)
    {
        DezazApp().Print(L"%ls\n", error.c_str());
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"%ls written to %ls.\n", Counted(written, L"screenshot", L"screenshots").c_str(),
                     folder.c_str());
    return CDezazCommand::success;
}

CDezazCommand::result Menu(const CDezazCommandContext& context)
{
    wchar_t* end = nullptr;
    const std::wstring text = Unquote(context.Arguments());
    const unsigned long id = std::wcstoul(text.c_str(), &end, 10);
    if (text.empty() || !end || *end != 0 || id == 0 || id > 0xFFFF)
        return NeedsArgument(L"Menu needs the id of a menu item.");
    std::wstring error;
    if (!cPlugInManager::DispatchMenuCommand(static_cast<unsigned int>(id), error))
    {
        DezazApp().Print(L"%ls\n", error.c_str());
        return CDezazCommand::failure;
    }
    return CDezazCommand::success;
}

// "<name> <control id>" after a command's name: the name may be quoted.
bool ParseNameAndControl(const std::wstring& text, std::wstring& name, unsigned long& id)
{
    std::size_t at = text.find_first_not_of(L" \t");
    name.clear();
    if (at != std::wstring::npos && text[at] == L'"')
    {
        const std::size_t close = text.find(L'"', at + 1);
        if (close == std::wstring::npos)
            return false;
        name = text.substr(at + 1, close - at - 1);
        at = close + 1;
    }
    else if (at != std::wstring::npos)
    {
        const std::size_t end = std::min(text.find_first_of(L" \t", at), text.size());
        name = text.substr(at, end - at);
        at = end;
    }
    std::wstring idText = at < text.size() ? text.substr(at) : std::wstring();
    idText.erase(0, std::min(idText.find_first_not_of(L" \t"), idText.size()));
    idText.erase(idText.find_last_not_of(L" \t") + 1);
    idText = Unquote(idText);
    wchar_t* end = nullptr;
    id = std::wcstoul(idText.c_str(), &end, 10);
    return !name.empty() && !idText.empty() && end && *end == 0 && id <= 0xFFFF;
}

bool SameNoCase(const std::wstring& a, const wchar_t* b)
{
    const std::wstring other = b ? b : L"";
    return a.size() == other.size() &&
           std::equal(a.begin(), a.end(), other.begin(), [](wchar_t x, wchar_t y) { return towlower(x) == towlower(y); });
}

// Clicks the button as the mouse would: a disabled button refuses.
CDezazCommand::result ClickButton(HWND button, const std::wstring& where, unsigned long id)
{
    if (!button)
    {
        DezazApp().Print(L"The %ls has no control %lu.\n", where.c_str(), id);
        return CDezazCommand::failure;
    }
    if (!::IsWindowEnabled(button))
    {
        DezazApp().Print(L"Control %lu of the %ls is disabled.\n", id, where.c_str());
        return CDezazCommand::failure;
    }
    ::SendMessageW(button, BM_CLICK, 0, 0);
    return CDezazCommand::success;
}

// "DockBarButton <bar name> <control id>": presses a button of a dock bar's
// panel as a click would (a disabled button refuses, as it would refuse the
// mouse). The name may be quoted and is compared without case.
CDezazCommand::result DockBarButton(const CDezazCommandContext& context)
{
    std::wstring name;
    unsigned long id = 0;
    if (!ParseNameAndControl(context.Arguments(), name, id))
        return NeedsArgument(L"DockBarButton needs the name of a dock bar and the id of a button.");
    for (CDezazUiDockBar* bar : CDezazDockBarManager::DockBars())
    {
        if (!SameNoCase(name, bar->DockBarName()))
            continue;
        CDezazUiDockBarDialog* panel = bar->ClientDialog();
        HWND button = panel && panel->GetSafeHwnd() ? ::GetDlgItem(panel->GetSafeHwnd(), int(id)) : nullptr;
        return ClickButton(button, L"dock bar \"" + name + L"\"", id);
    }
    DezazApp().Print(L"There is no dock bar named \"%ls\".\n", name.c_str());
    return CDezazCommand::failure;
}

BOOL CollectVisibleTopLevel(HWND window, LPARAM list);

// "DialogButton <window title> <control id>": presses a button of an open
// tool window (a modeless dialog) the same way.
CDezazCommand::result DialogButton(const CDezazCommandContext& context)
{
    std::wstring name;
    unsigned long id = 0;
    if (!ParseNameAndControl(context.Arguments(), name, id))
        return NeedsArgument(L"DialogButton needs the title of a window and the id of a button.");
    std::vector<HWND> windows;
    EnumWindows(&CollectVisibleTopLevel, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows)
    {
        wchar_t title[256] = {};
        ::GetWindowTextW(window, title, 256);
        if (!SameNoCase(name, title))
            continue;
        std::wstring problem;
        if (HWND button = FindDialogControl(window, int(id), problem))
            return ClickButton(button, L"window \"" + name + L"\"", id);
        DezazApp().Print(L"The window \"%ls\" %ls\n", name.c_str(), problem.c_str());
        return CDezazCommand::failure;
    }
    DezazApp().Print(L"There is no window titled \"%ls\".\n", name.c_str());
    return CDezazCommand::failure;
}

constexpr ON_UUID HostCommandId(unsigned short n)
{
    // {0D5A7E10-3C61-4B0F-8E2A-00000000000n}
    return {0x0D5A7E10, 0x3C61, 0x4B0F, {0x8E, 0x2A, 0, 0, 0, 0, 0, static_cast<unsigned char>(n)}};
}

BOOL CollectVisibleTopLevel(HWND window, LPARAM list)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

} // namespace

std::wstring Unquote(const std::wstring& argument)
{
    if (argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"')
        return argument.substr(1, argument.size() - 2);
    return argument;
}

std::string ScreenshotFileName(const std::wstring& title)
{
    std::wstring name;
    for (wchar_t c : title)
        name += (c < 32 || c == L'/' || c == L'\\' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
                 c == L'>' || c == L'|')
                    ? L'_'
                    : c;
    while (!name.empty() && (name.back() == L' ' || name.back() == L'.'))
        name.pop_back();
    if (name.empty() || name.front() == L'.')
        name.insert(0, L"window");
    return win32::WideToUtf8(name);
}

int WriteScreenshots(const std::filesystem::path& folder, std::wstring& error)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
    {
        error = L"Cannot make the folder " + folder.wstring() + L": " + win32::Utf8ToWide(ec.message());
        return -1;
    }
    std::vector<HWND> windows;
    EnumWindows(&CollectVisibleTopLevel, reinterpret_cast<LPARAM>(&windows));
    std::set<std::string> used;
    int written = 0;
    for (HWND window : windows)
    {
        const int length = GetWindowTextLengthW(window);
        std::wstring title(static_cast<std::size_t>(length) + 1, L'\0');
        GetWindowTextW(window, title.data(), length + 1);
        title.resize(static_cast<std::size_t>(length));
        // Two windows of one title keep both pictures.
        std::string base = ScreenshotFileName(title), name = base;
        for (int n = 2; used.count(name); ++n)
            name = base + " (" + std::to_string(n) + ")";
        used.insert(name);
        std::string reason;
        if (!win32::WriteComposedPng(window, folder / (name + ".png"), &reason))
        {
            error = L"Cannot write the screenshot of \"" + title + L"\": " + win32::Utf8ToWide(reason);
            return -1;
        }
        ++written;
    }
    return written;
}

void RegisterHostCommands()
{
    static std::vector<std::unique_ptr<cHostCommand>> commands;
    if (!commands.empty())
        return;
    commands.push_back(std::make_unique<cHostCommand>(L"Import", HostCommandId(1), &Import));
    commands.push_back(std::make_unique<cHostCommand>(L"Open", HostCommandId(2), &Open));
    commands.push_back(std::make_unique<cHostCommand>(L"Insert", HostCommandId(3), &Insert));
    commands.push_back(std::make_unique<cHostCommand>(L"Save", HostCommandId(4), &Save));
    commands.push_back(std::make_unique<cHostCommand>(L"New", HostCommandId(5), &New));
    commands.push_back(std::make_unique<cHostCommand>(L"SelAll", HostCommandId(6), &SelAll));
    commands.push_back(std::make_unique<cHostCommand>(L"SelNone", HostCommandId(7), &SelNone));
    commands.push_back(std::make_unique<cHostCommand>(L"Screenshot", HostCommandId(8), &Screenshot));
    commands.push_back(std::make_unique<cHostCommand>(L"Menu", HostCommandId(9), &Menu));
    commands.push_back(std::make_unique<cHostCommand>(L"DockBarButton", HostCommandId(10), &DockBarButton));
    commands.push_back(std::make_unique<cHostCommand>(L"DialogButton", HostCommandId(11), &DialogButton));
    commands.push_back(std::make_unique<cHostCommand>(L"SelMeshAt", HostCommandId(12), &SelMeshAt));
    RegisterScriptCommands();
}

} // namespace dezaz
