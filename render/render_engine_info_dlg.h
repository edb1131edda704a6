// A small modal dialog that shows what the GL renderer reports about itself:
// vendor, renderer, version, extensions, viewport limits, the frame-level
// cache and the canvas.
#pragma once

#include "platform/win32/types.h"

#include <string>

class I3DSceneRenderer;
class cGLRenderer;

inline constexpr UINT IDD_RENDER_ENGINE_INFO = 18023;
inline constexpr int IDC_RENDER_ENGINE_TEXT = 16014;
inline constexpr UINT ID_VIEW_RENDER_ENGINE_INFO = 32780;

class cRenderEngineInfoDlg
{
public:
    explicit cRenderEngineInfoDlg(I3DSceneRenderer* renderer, HWND parent = nullptr);
    virtual ~cRenderEngineInfoDlg();
    cRenderEngineInfoDlg(const cRenderEngineInfoDlg&) = delete;
    cRenderEngineInfoDlg& operator=(const cRenderEngineInfoDlg&) = delete;

    // Runs the dialog modally (through the prompt answers of tests and
    // scripts); returns how it ended (IDOK).
    INT_PTR DoModal();
    // The dialog without the modal run, for modeless use.
    BOOL Create(UINT resourceId, HWND parent);
    // Fills the text field with the renderer's information text.
    virtual BOOL OnInitDialog();
    virtual void OnOK();

    HWND GetSafeHwnd() const { return m_window; }
    // Line breaks as the multi-line field wants them ("\r\n").
    static std::wstring ToFieldText(const std::wstring& text);

private:
    bool BuildWindow(HWND parent);

    I3DSceneRenderer* m_renderer; // not owned
    HWND m_parent;
    HWND m_window = nullptr;
};

// Command 32780 of a 3D view: the renderer's context current while the
// dialog reads it (given back afterwards when it was not), then the dialog.
INT_PTR ShowRenderEngineInfo(cGLRenderer* renderer, HWND parent);
