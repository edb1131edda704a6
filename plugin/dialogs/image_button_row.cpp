#include "plugin/dialogs/image_button_row.h"

bool SetupImageButton(CImageButton& button, CWnd* dialog, int id, UINT icon, bool alwaysDrawFace)
{
    if (!dialog || !::GetDlgItem(dialog->GetSafeHwnd(), id))
        return false;
    if (!button.GetSafeHwnd() && !button.SubclassDlgItem(UINT(id), dialog))
        return false;
    button.SetWindowText(L"");
    if (icon != UINT(-1))
        button.SetIconFromResource(icon);
    button.SetFlat(true);
    button.SetColour(kColourBackRest, RGB(255, 255, 255));
    button.SetColour(kColourBackHot, RGB(255, 255, 255));
    button.SetAlwaysTrack(alwaysDrawFace);
    return true;
}

void LayOutImageButtonRow(HWND dialog, const int* ids, std::size_t count)
{
    bool first = true;
    RECT previous{};
    for (std::size_t i = 0; i < count; ++i)
    {
        HWND item = ::GetDlgItem(dialog, ids[i]);
        if (!item)
            continue;
        RECT r{};
        ::GetWindowRect(item, &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        if (!first)
        {
            const LONG width = r.right - r.left, height = r.bottom - r.top;
            r = RECT{previous.right + 1, previous.top, previous.right + 1 + width, previous.top + height};
            ::SetWindowPos(item, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        previous = r;
        first = false;
    }
}
