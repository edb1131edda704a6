// A small modal dialog that shows what the GL renderer reports about itself:
// vendor, renderer, version, extensions, viewport limits, the frame-level
// cache and the canvas. Built on its template of the plug-in's resources.
#pragma once

#include "platform/mfc/dialog.h"
#include "resources/render_engine_info.h"

#include <string>

class I3DSceneRenderer;
class cGLRenderer;

class cRenderEngineInfoDlg : public CDialog
{
    DECLARE_DYNAMIC(cRenderEngineInfoDlg)

public:
    explicit cRenderEngineInfoDlg(I3DSceneRenderer* renderer, CWnd* parent = nullptr);

    // The base initialisation, then the renderer's information text in the
    // multi-line field.
    BOOL OnInitDialog() override;

    // Line breaks as the multi-line field wants them ("\r\n").
    static std::wstring ToFieldText(const std::wstring& text);

    I3DSceneRenderer* renderer; // not owned
};

// Command 32780 of a 3D view: the renderer's context current while the
// dialog reads it (given back afterwards when it was not), then the dialog,
// modal; returns how it ended (-1 when it could not be shown).
INT_PTR ShowRenderEngineInfo(cGLRenderer* renderer, CWnd* parent);
