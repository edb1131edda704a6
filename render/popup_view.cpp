#include "render/popup_view.h"

#include "platform/win32/shell_message_box.h"
#include "render/navigation_modes.h"

namespace
{
const UINT kNewSoftwareAvailable = RegisterWindowMessageW(L"_NEW_VTL_SOFTWARE_AVAILABLE");
} // namespace

UINT NewSoftwareAvailableMessage() { return kNewSoftwareAvailable; }

IMPLEMENT_DYNCREATE(cPopupView, C3DView)

BEGIN_MESSAGE_MAP(cPopupView, C3DView)
ON_WM_MOUSEACTIVATE()
END_MESSAGE_MAP()

cPopupView::Mode* cPopupView::CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM)
{
    if (rotationLocked && id == kRotateModeId)
        id = kTranslateModeId;
    switch (id)
    {
    case kFreeNavigationModeId: return new CUIM_RotateTranslate(id, temporary);
    case kRotateModeId: return new CUIM_Rotate(id, temporary);
    case kTranslateModeId: return new CUIM_Translate(id, temporary);
    case kZoomModeId: return new CUIM_Zoom(id, temporary);
    case kZoomRectModeId: return new CUIM_ZoomRect(id, temporary);
    default: return nullptr;
    }
}

int cPopupView::OnMouseActivate(CWnd* desktop, UINT hitTest, UINT message)
{
    const int result = C3DView::OnMouseActivate(desktop, hitTest, message);
    if (result != MA_NOACTIVATE && result != MA_NOACTIVATEANDEAT)
        OnActivateView(TRUE, this, this);
    return result;
}

IMPLEMENT_DYNCREATE(cP3DView, cPopupView)

BEGIN_MESSAGE_MAP(cP3DView, cPopupView)
ON_WM_CREATE()
ON_COMMAND(kCmdMenuZoomAll, &cP3DView::OnMenuZoomAll)
ON_COMMAND_RANGE(kCmdMenuFrontView, kCmdMenuBottomView, &cP3DView::OnMenuView)
ON_REGISTERED_MESSAGE(kNewSoftwareAvailable, &cP3DView::OnNewSoftwareAvailable)
END_MESSAGE_MAP()

int cP3DView::OnCreate(CREATESTRUCTW* cs)
{
    if (CView::OnCreate(cs) == -1)
        return -1;
    if (I3DSceneRenderer* renderer = GetRenderer())
    {
        HWND window = m_hWnd;
        if (static_cast<int>(renderer->Initialize(&window)) == -1)
            return -1;
    }
    SetModeById(GetDefaultModeId(), 0, 0);
    return 0;
}

void cP3DView::OnMenuView(UINT id)
{
    static const int kViews[] = {kFrontView, kBackView, kLeftView, kRightView, kTopView, kBottomView};
    SetStandardView(kViews[id - kCmdMenuFrontView]);
}

LRESULT cP3DView::ShowUpdateNotice()
{
    SHMessageBoxCheckW(m_hWnd, kUpdateNoticeText, kUpdateNoticeCaption, MB_OK, IDOK, kUpdateNoticeValue);
    return 0;
}
