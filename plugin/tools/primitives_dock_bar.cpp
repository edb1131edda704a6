#include "plugin/tools/primitives_dock_bar.h"

#include "platform/host/dezaz_app.h"
#include "platform/win32/dialog.h"
#include "plugin/module_state.h"
#include "plugin/tools/define_primitive_dlg.h"
#include "resources/primitive_panel.h"

#include <algorithm>

IMPLEMENT_DYNCREATE(CVivoZededDezazDockBar, CDezazUiDockBar)


namespace
{

// The panel's dialog units, as the template gives them.
constexpr int kPanelWidthUnits = 186;
constexpr int kPanelHeightUnits = 241;
// Room between the bar and the main window's edges.
constexpr int kBarMargin = 4;
constexpr int kBarTop = 48;

} // namespace

const wchar_t* CVivoZededDezazDockBar::DockBarName(int) const
{
    return L"Primitives";
}

bool CVivoZededDezazDockBar::CreateDockBarControls()
{
    CreateDockBarClientDialog(IDD_DEFINE_PRIMITIVE, 0, RUNTIME_CLASS(CDefinePrimitiveDlg), AfxGetStaticModuleState());
    return true;
}

CDefinePrimitiveDlg* CVivoZededDezazDockBar::Panel() const
{
    return dynamic_cast<CDefinePrimitiveDlg*>(ClientDialog());
}

CVivoZededDezazDockBar* CreatePrimitivesDockBar()
{
    auto* bar = dynamic_cast<CVivoZededDezazDockBar*>(
        CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CVivoZededDezazDockBar)));
    if (!bar || !bar->GetSafeHwnd())
        return bar;
    CDefinePrimitiveDlg* panel = bar->Panel();
    if (!panel || !panel->GetSafeHwnd())
        return bar;
    // The bar takes the panel's whole template, so that no control is
    // squeezed, and stands at the right edge of the main window.
    RECT units{0, 0, kPanelWidthUnits, kPanelHeightUnits};
    MapDialogRect(panel->GetSafeHwnd(), &units);
    const int width = units.right;
    const int height = units.bottom + CDezazUiDockBar::kCaptionHeight;
    int x = 0;
    if (HWND frame = ::GetParent(bar->GetSafeHwnd()))
    {
        RECT client{};
        ::GetClientRect(frame, &client);
        x = std::max(0, static_cast<int>(client.right) - width - kBarMargin);
    }
    // Above the main window's viewport, which it docks over.
    ::SetWindowPos(bar->GetSafeHwnd(), HWND_TOP, x, kBarTop, width, height, SWP_SHOWWINDOW);
    return bar;
}

void DestroyPrimitivesDockBar()
{
    CDezazDockBarManager::DestroyDockBar(kPrimitivesDockBarId);
}
