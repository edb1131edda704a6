#include "render/render_engine_info_dlg.h"

#include "render/gl_renderer.h"

IMPLEMENT_DYNAMIC(cRenderEngineInfoDlg, CDialog)

cRenderEngineInfoDlg::cRenderEngineInfoDlg(I3DSceneRenderer* infoRenderer, CWnd* parent)
    : CDialog(IDD_RENDER_ENGINE_INFO, parent), renderer(infoRenderer)
{
}

std::wstring cRenderEngineInfoDlg::ToFieldText(const std::wstring& text)
{
    std::wstring out;
    out.reserve(text.size() + text.size() / 8);
    for (wchar_t c : text)
    {
        if (c == L'\n')
            out += L"\r\n";
        else
            out.push_back(c);
    }
    return out;
}

BOOL cRenderEngineInfoDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    std::wstring text;
    if (renderer)
        renderer->GetInfoText(&text);
    ::SetDlgItemTextW(m_hWnd, IDC_RENDER_ENGINE_TEXT, ToFieldText(text).c_str());
    return TRUE;
}

INT_PTR ShowRenderEngineInfo(cGLRenderer* renderer, CWnd* parent)
{
    if (!renderer)
        return -1;
    const bool wasCurrent = renderer->IsCurrent();
    if (!wasCurrent)
        renderer->MakeCurrent();
    // The caller's context comes back however the dialog ends, an
    // unanswered prompt of a script included.
    struct Restore
    {
        cGLRenderer* renderer;
        bool wasCurrent;
        ~Restore()
        {
            if (!wasCurrent)
                renderer->RestoreCurrent();
        }
    } restore{renderer, wasCurrent};
    cRenderEngineInfoDlg dialog(renderer, parent);
    return dialog.DoModal();
}
