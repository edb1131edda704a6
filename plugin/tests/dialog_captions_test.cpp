// Every caption of every dialog in the plug-in's resource script fits its
// control, measured with the dialog's own font the way the controls draw
// it: a push button's text inside its edges, a check box's beside its box,
// a group box's label between its frame's corners, a label's words wrapped
// within its width and its lines within its height.
#include "platform/win32/controls.h"
#include "platform/win32/device_context.h"
#include "platform/win32/dialog.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/resource.h"
#include "plugin/resource_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace
{

// The dialog's font, as the dialog makes it from its template.
HFONT TemplateFont(const win32::DialogTemplate& t)
{
    const int points = t.fontFace.empty() ? 8 : t.pointSize;
    const int height = -((points * 96 + 36) / 72);
    return CreateFontW(height, 0, 0, 0, t.fontFace.empty() ? FW_NORMAL : t.weight, t.italic ? TRUE : FALSE, FALSE,
                       FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, t.fontFace.empty() ? L"MS Shell Dlg" : t.fontFace.c_str());
}

// Why a caption does not fit its control's pixels, or nothing when it does.
std::optional<std::string> Misfit(HDC dc, const win32::DialogItemTemplate& item, const RECT& control)
{
    const int width = control.right - control.left, height = control.bottom - control.top;
    RECT need{0, 0, width, 0};
    const auto singleLine = [&](int room) -> std::optional<std::string> {
        need = RECT{0, 0, 0, 0};
        DrawTextW(dc, item.text.c_str(), -1, &need, DT_SINGLELINE | DT_CALCRECT);
        if (need.right <= room)
            return std::nullopt;
        return "needs " + std::to_string(need.right) + " px of " + std::to_string(room);
    };
    if (item.className == L"Button")
    {
        const DWORD type = item.style & BS_TYPEMASK;
        const bool box = (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                          type == BS_AUTORADIOBUTTON || type == BS_3STATE || type == BS_AUTO3STATE) &&
                         !(item.style & BS_PUSHLIKE);
        if (type == BS_GROUPBOX)
            return singleLine(width - 20); // 8 px in from each corner, 2 px clear around the label
        if (box)
            return singleLine(width - 17); // the 13 px box and its gap
        return singleLine(width - 6);      // the raised edges and the default frame
    }
    if (item.className == L"Static")
    {
        const DWORD type = item.style & SS_TYPEMASK;
        if (type == SS_LEFTNOWORDWRAP || (item.style & SS_CENTERIMAGE))
            return singleLine(width);
        if (type != SS_LEFT && type != SS_CENTER && type != SS_RIGHT)
            return std::nullopt; // frames and lines show no text
        DrawTextW(dc, item.text.c_str(), -1, &need, DT_WORDBREAK | DT_CALCRECT);
        if (need.right > width)
            return "a word needs " + std::to_string(need.right) + " px of " + std::to_string(width);
        if (need.bottom > height)
            return "its lines need " + std::to_string(need.bottom) + " px of " + std::to_string(height);
    }
    return std::nullopt;
}

TEST(DialogCaptions, EveryCaptionOfEveryDialogFitsItsControl)
{
    const auto include = [](const std::string& name) -> std::optional<std::string> {
        for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
            if (name == header->name)
                return std::string(header->text);
        return std::nullopt;
    };
    win32::ResourceScript script;
    std::string error;
    ASSERT_TRUE(win32::ParseResourceScript(kVtlResourceScript, include, script, error)) << error;
    ASSERT_GT(script.dialogs.size(), 10u);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 32, nullptr);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    int measured = 0;
    for (const auto& [key, dialog] : script.dialogs)
    {
        HFONT font = TemplateFont(dialog);
        HGDIOBJ oldFont = SelectObject(dc, font);
        for (const win32::DialogItemTemplate& item : dialog.items)
        {
            if (item.text.empty())
                continue;
            const RECT control = win32::DialogUnitsToPixels(dialog, item.x, item.y, item.cx, item.cy);
            ++measured;
            if (const std::optional<std::string> why = Misfit(dc, item, control))
                ADD_FAILURE() << "dialog " << key.id << ", control " << item.id << " \""
                              << std::string(item.text.begin(), item.text.end()) << "\": " << *why;
        }
        SelectObject(dc, oldFont);
        DeleteObject(font);
    }
    EXPECT_GT(measured, 100);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

} // namespace
