// The shapes dialog's image buttons: the selection tools, the front-facing
// switch, the align buttons and Reset show pictures beside their captions.
#include "plugin/dialogs/shapes_dialog.h"

#include "platform/mfc/win_app.h"
#include "platform/win32/device_context.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/icons.h"
#include "platform/win32/resource.h"
#include "plugin/module_state.h"
#include "resources/pictures.h"
#include "resources/shapes_dialog.h"

namespace
{

constexpr int kSelectionIds[4] = {IDC_SHAPES_MAGIC_WAND, IDC_SHAPES_PAINT_FILLED, IDC_SHAPES_PAINT, IDC_SHAPES_LINE};
constexpr UINT kSelectionPictures[4] = {IDB_PIC_MAGIC_WAND, IDB_PIC_PAINT_FILLED, IDB_PIC_PAINT, IDB_PIC_SELECT_LINE};
constexpr int kAlignIds[4] = {IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_ALIGN_RIGHT, IDC_SHAPES_ALIGN_FRONT,
                              IDC_SHAPES_ALIGN_ORIGIN};
constexpr UINT kPlanePictures[3] = {IDB_PIC_ALIGN_BOTTOM, IDB_PIC_ALIGN_RIGHT, IDB_PIC_ALIGN_FRONT};
constexpr UINT kAxisPictures[3] = {IDB_PIC_ALIGN_X, IDB_PIC_ALIGN_Y, IDB_PIC_ALIGN_Z};

// A fresh bitmap of the plug-in's resources (the button owns it), or null.
HBITMAP LoadPicture(UINT id)
{
    // The pictures are the plug-in's, whoever sent the message that changes them.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    const LPCWSTR name = MAKEINTRESOURCEW(id);
    return static_cast<HBITMAP>(::LoadImageW(AfxFindResourceHandle(name, RT_BITMAP), name, IMAGE_BITMAP, 0, 0,
                                             LR_DEFAULTCOLOR));
}

// The button draws a picture through a mask: white where the button's face
// shows through (the picture's background, the colour of its corner), black
// under the ink, whose background then turns black in the picture.
HBITMAP MakeMask(HBITMAP picture)
{
    BITMAP info{};
    if (!picture || !::GetObjectW(picture, sizeof info, &info))
        return nullptr;
    HBITMAP mask = ::CreateBitmap(info.bmWidth, info.bmHeight, 1, 32, nullptr);
    HDC image = ::CreateCompatibleDC(nullptr), masking = ::CreateCompatibleDC(nullptr);
    HGDIOBJ oldImage = ::SelectObject(image, picture), oldMask = ::SelectObject(masking, mask);
    const COLORREF background = ::GetPixel(image, 0, 0);
    for (int y = 0; y < info.bmHeight; ++y)
        for (int x = 0; x < info.bmWidth; ++x)
        {
            const bool clear = ::GetPixel(image, x, y) == background;
            ::SetPixel(masking, x, y, clear ? RGB(255, 255, 255) : RGB(0, 0, 0));
            if (clear)
                ::SetPixel(image, x, y, RGB(0, 0, 0));
        }
    ::SelectObject(image, oldImage);
    ::SelectObject(masking, oldMask);
    ::DeleteDC(image);
    ::DeleteDC(masking);
    return mask;
}

void ShowPicture(CButtonST& button, UINT id)
{
    if (!button.GetSafeHwnd())
        return;
    HBITMAP picture = LoadPicture(id);
    button.SetBitmaps(picture, MakeMask(picture), nullptr, nullptr);
}

// Each button one pixel right of the one before, at the first one's top.
void LayOutRow(HWND dialog, std::initializer_list<int> ids)
{
    RECT first{}, previous{};
    bool started = false;
    for (int id : ids)
    {
        HWND button = ::GetDlgItem(dialog, id);
        if (!button)
            continue;
        RECT r{};
        ::GetWindowRect(button, &r);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        if (started)
            ::SetWindowPos(button, nullptr, previous.right + 1, first.top, 0, 0,
                           SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        else
            first = r;
        ::GetWindowRect(button, &previous);
        ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&previous), 2);
        started = true;
    }
}

} // namespace

void CCreatePrimitiveDialog::SetUpImageButtons()
{
    for (std::size_t i = 0; i < m_alignButtons.size(); ++i)
        m_alignButtons[i].SubclassDlgItem(UINT(kAlignIds[i]), this);
    m_resetButton.SubclassDlgItem(IDC_SHAPES_RESET, this);
    SetAlignPictures(false);
    ShowPicture(m_alignButtons[3], IDB_PIC_ALIGN_ORIGIN);
    ShowPicture(m_resetButton, IDB_PIC_RESET);
    LayOutRow(m_hWnd, {IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_ALIGN_RIGHT, IDC_SHAPES_ALIGN_FRONT, IDC_SHAPES_ALIGN_ORIGIN});

    for (std::size_t i = 0; i < m_selectionButtons.size(); ++i)
    {
        m_selectionButtons[i].SubclassDlgItem(UINT(kSelectionIds[i]), this);
        ShowPicture(m_selectionButtons[i], kSelectionPictures[i]);
    }
    m_frontOnlyButton.SubclassDlgItem(IDC_SHAPES_FRONT_ONLY, this);
    SetFrontOnlyPicture();
    LayOutRow(m_hWnd, {IDC_SHAPES_PAINT_FILLED, IDC_SHAPES_PAINT, IDC_SHAPES_LINE, IDC_SHAPES_FRONT_ONLY});
}

void CCreatePrimitiveDialog::SetAlignPictures(bool axes)
{
    for (std::size_t i = 0; i < 3; ++i)
        ShowPicture(m_alignButtons[i], axes ? kAxisPictures[i] : kPlanePictures[i]);
}

void CCreatePrimitiveDialog::SetFrontOnlyPicture()
{
    ShowPicture(m_frontOnlyButton, m_frontFacingOnly ? IDB_PIC_FRONT_ON : IDB_PIC_FRONT_OFF);
}
