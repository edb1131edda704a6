#include "dezaz/main_window.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/win32/device_context.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/menu.h"
#include "platform/win32/message.h"
#include "platform/win32/window.h"

#include <string>
#include <vector>

namespace dezaz
{

namespace
{

constexpr int kLine = 18;
constexpr int kMargin = 10;

const wchar_t* TypeName(DezazObjectType type)
{
    switch (type)
    {
    case DezazObjectType::mesh:
        return L"Mesh";
    case DezazObjectType::brep:
    case DezazObjectType::surface:
        return L"Surface";
    case DezazObjectType::curve:
        return L"Curve";
    case DezazObjectType::point:
        return L"Point";
    default:
        return L"Object";
    }
}

std::wstring Describe(const CDezazObject& object, const CDezazDoc& doc)
{
    std::wstring text = TypeName(object.ObjectType());
    if (object.Attributes().m_name.IsNotEmpty())
        text += L" \"" + object.Attributes().m_name.Str() + L"\"";
    if (const auto* mesh = dynamic_cast<const CDezazMeshObject*>(&object); mesh && mesh->Mesh())
        text += L": " + std::to_wstring(mesh->Mesh()->FaceCount()) + L" faces, " +
                std::to_wstring(mesh->Mesh()->VertexCount()) + L" vertices";
    text += L"  (layer " + doc.LayerTable()[object.Attributes().m_layer_index].Name().Str() + L")";
    if (object.IsHidden())
        text += L", hidden";
    if (object.IsSelected())
        text += L", selected";
    return text;
}

void Text(HDC dc, int x, int y, int width, const std::wstring& text)
{
    RECT r{x, y, x + width, y + kLine};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
}

void Paint(HWND window)
{
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(window, &ps);
    if (!dc)
        return;
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left - 2 * kMargin;

    HBRUSH background = CreateSolidBrush(RGB(250, 250, 250));
    HBRUSH band = CreateSolidBrush(RGB(225, 228, 232));
    FillRect(dc, &client, background);
    RECT bar{0, 0, client.right, kLine + 6};
    FillRect(dc, &bar, band);
    HGDIOBJ old_font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(20, 20, 20));

    // The menu bar: the titles of its popups.
    std::wstring titles;
    if (HMENU menu = HostMenu())
        for (int i = 0; i < GetMenuItemCount(menu); ++i)
        {
            wchar_t title[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), title, 64, MF_BYPOSITION);
            titles += std::wstring(title) + L"     ";
        }
    Text(dc, kMargin, 3, width, titles);

    const CDezazDoc& doc = DezazApp().ActiveDoc();
    int y = kLine + 16;
    const std::wstring name = doc.FileName().empty() ? L"Untitled" : doc.FileName();
    const int count = doc.ObjectCount();
    Text(dc, kMargin, y, width,
         L"Document: " + name + L" - " + std::to_wstring(count) + (count == 1 ? L" object" : L" objects"));
    y += kLine + 4;
    const int command_top = client.bottom - 14 * kLine;
    for (const CDezazObject* object : doc.Objects())
    {
        if (y + 2 * kLine > command_top)
        {
            Text(dc, kMargin + 16, y, width, L"...");
            break;
        }
        Text(dc, kMargin + 16, y, width, Describe(*object, doc));
        y += kLine;
    }

    // The command line: its last lines, the newest at the bottom.
    RECT box{0, command_top, client.right, client.bottom};
    FillRect(dc, &box, band);
    std::vector<std::wstring> lines;
    const std::wstring text = DezazApp().CommandLineText();
    std::size_t start = 0;
    while (start < text.size())
    {
        const std::size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    const std::size_t shown = std::min<std::size_t>(lines.size(), 13);
    y = command_top + 6;
    for (std::size_t i = lines.size() - shown; i < lines.size(); ++i, y += kLine)
        Text(dc, kMargin, y, width, lines[i]);

    SelectObject(dc, old_font);
    DeleteObject(background);
    DeleteObject(band);
    EndPaint(window, &ps);
}

LRESULT MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_PAINT)
    {
        Paint(window);
        return 0;
    }
    if (message == WM_ERASEBKGND)
        return 1;
    return DefWindowProcW(window, message, wparam, lparam);
}

} // namespace

HWND CreateMainWindow()
{
    static const ATOM registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &MainWindowProc;
        wc.lpszClassName = L"DezazMainWindow";
        return RegisterClassW(&wc);
    }();
    (void)registered;
    HWND window = CreateWindowExW(0, L"DezazMainWindow", L"Dezaz", WS_OVERLAPPEDWINDOW, 0, 0, 1024, 768, nullptr,
                                  nullptr, nullptr, nullptr);
    if (window)
        ShowWindow(window, SW_SHOW);
    return window;
}

void RefreshMainWindow(HWND window)
{
    if (window && IsWindow(window))
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

} // namespace dezaz
