// Dock bars: panels the host docks beside its viewports. A plug-in derives a
// dynamically creatable bar from CDezazUiDockBar and a dynamically creatable
// client dialog from CDezazUiDockBarDialog; the host makes the bar through
// its runtime class (CDezazDockBarManager::CreateDockBar), asks it for its
// id and name, and lets it create its controls, which makes the client
// dialog through its runtime class under the plug-in's module state.
#pragma once

#include "platform/geometry/uuid.h"
#include "platform/host/dezaz_dialog.h"
#include "platform/host/dialog_item_resizer.h"
#include "platform/mfc/control_bar.h"
#include "platform/mfc/win_app.h"

#include <memory>
#include <vector>

class CDezazUiDockBarDialog : public CDezazUiDialog
{
    DECLARE_DYNAMIC(CDezazUiDockBarDialog)

public:
    explicit CDezazUiDockBarDialog(UINT templateId, CWnd* parent = nullptr);
    ~CDezazUiDockBarDialog() override;

    // Keeps the controls registered with it in place as the bar is resized.
    CDezazUiDialogItemResizer m_Resize;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};

class CDezazUiDockBar : public CControlBar
{
    DECLARE_DYNAMIC(CDezazUiDockBar)

public:
    CDezazUiDockBar();
    // Destroys the client dialog's window and deletes the dialog.
    ~CDezazUiDockBar() override;

    // The bar's identity (unique among the host's bars) and the name its
    // caption shows.
    virtual ON_UUID DockBarID() const = 0;
    virtual const wchar_t* DockBarName(int language_id = 1033) const = 0;
    // Makes the bar's controls once its window exists; false makes the host
    // drop the bar.
    virtual bool CreateDockBarControls() = 0;

    // Makes the client dialog: an object of dialog_class (a dynamically
    // creatable CDezazUiDockBarDialog) created from the dialog template
    // template_id of the module, as a child filling the bar. client_id is
    // the dialog window's id (0: none). The bar owns the dialog. False (and
    // no dialog) for a class that cannot be created or is no dock-bar
    // dialog, or a template the module lacks.
    bool CreateDockBarClientDialog(UINT template_id, UINT client_id, CRuntimeClass* dialog_class,
                                   AFX_MODULE_STATE* module_state);
    CDezazUiDockBarDialog* ClientDialog() const { return m_dialog.get(); }

    // The bar's title strip above the client dialog, in pixels.
    static constexpr int kCaptionHeight = 18;

protected:
    int CaptionHeight() const override { return kCaptionHeight; }

private:
    std::unique_ptr<CDezazUiDockBarDialog> m_dialog;
};

// The host's dock bars, by id.
class CDezazDockBarManager
{
public:
    // Makes a bar from its runtime class inside the frame window (null:
    // the host's main window, or a floating bar without one), 220 x 360
    // pixels at (x, y) of the frame's client area: created, asked for its id
    // and name, then for its controls. A bar whose id is already shown
    // gives the bar that exists (the new one is dropped). Null when the
    // class is not a dynamically creatable dock bar, its id is nil, or its
    // controls could not be made.
    static CDezazUiDockBar* CreateDockBar(CRuntimeClass* bar_class, HWND frame = nullptr, int x = 0, int y = 0);
    static CDezazUiDockBar* FindDockBar(const ON_UUID& id);
    static bool ShowDockBar(const ON_UUID& id, bool show);
    static bool IsDockBarVisible(const ON_UUID& id);
    // Destroys the bar (its window, client dialog and object).
    static bool DestroyDockBar(const ON_UUID& id);
    // Before a plug-in's library goes away: every bar its classes made.
    static void DestroyAllDockBars();
    static std::vector<CDezazUiDockBar*> DockBars();
};
