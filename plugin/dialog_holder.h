// The plug-in object keeps at most one of each modeless tool dialog. The
// holder owns the dialog object: a dialog never deletes itself, so the
// holder's pointer can never dangle, and the pointer is cleared only once
// the dialog's window is really gone (a dialog may refuse to close).
#pragma once

#include "platform/mfc/wnd.h"

#include <functional>
#include <memory>
#include <string>

// What a tool dialog offers its holder.
class IToolDialog
{
public:
    virtual ~IToolDialog() = default;
    // The dialog's window (null before it is created).
    virtual HWND DialogWindow() const = 0;
    // Creates the modeless window from the dialog resource; false on failure.
    virtual bool CreateModeless(UINT resource, CWnd* parent) = 0;
    // The dialog's cancel. forced: the document or the plug-in is going
    // away, so the dialog must close and may ask only yes/no questions.
    virtual void CancelDialog(bool forced) = 0;
};

class cDialogHolder
{
public:
    using Factory = std::function<std::unique_ptr<IToolDialog>()>;

    cDialogHolder(UINT resource, std::wstring name) : m_resource(resource), m_name(std::move(name)) {}
    ~cDialogHolder();
    cDialogHolder(const cDialogHolder&) = delete;
    cDialogHolder& operator=(const cDialogHolder&) = delete;

    UINT Resource() const { return m_resource; }
    IToolDialog* Dialog() const { return m_dialog.get(); }
    // How the dialog is made; until a dialog class is given the holder opens
    // nothing and says so on the command line.
    void SetFactory(Factory factory) { m_factory = std::move(factory); }
    // Whether a dialog class was given.
    bool IsAvailable() const { return static_cast<bool>(m_factory); }

    // The pointer is set, the window exists and is visible.
    bool IsVisible() const;
    // Brings an open dialog forward, or creates, shows and focuses a new
    // one. False when the window cannot be created (the holder stays empty).
    bool Open(CWnd* parent);
    // Cancels an open dialog; the holder empties once its window is gone.
    // True when no dialog is open afterwards. A forced close always ends
    // the dialog: one that stays open after its forced cancel is destroyed.
    bool Close(bool forced);

private:
    bool WindowExists() const;

    UINT m_resource;
    std::wstring m_name;
    std::unique_ptr<IToolDialog> m_dialog;
    Factory m_factory;
};
