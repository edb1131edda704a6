#include "render/render_engine_info_dlg.h"

#include "platform/win32/controls.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/win32.h"
#include "render/gl_renderer.h"

namespace
{

constexpr const wchar_t* kCaption = L"Render engine";

LRESULT DialogProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    if (message == WM_COMMAND && LOWORD(w) == IDOK)
    {
        if (auto* dialog = reinterpret_cast<cRenderEngineInfoDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
            dialog->OnOK();
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

const wchar_t* DialogClass()
{
    static const wchar_t* name = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &DialogProc;
        wc.lpszClassName = L"RenderEngineInfoDialog";
        RegisterClassW(&wc);
        return L"RenderEngineInfoDialog";
    }();
    return name;
}

} // namespace

cRenderEngineInfoDlg::cRenderEngineInfoDlg(I3DSceneRenderer* renderer, HWND parent)
    : m_renderer(renderer), m_parent(parent)
{
}

cRenderEngineInfoDlg::~cRenderEngineInfoDlg()
{
    if (m_window && IsWindow(m_window))
        DestroyWindow(m_window);
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

bool cRenderEngineInfoDlg::BuildWindow(HWND parent)
{
    // The layout of dialog resource 18023: a multi-line field over an OK
    // button.
    m_window = CreateWindowExW(0, DialogClass(), kCaption, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, 0, 420, 360,
                               parent, nullptr, nullptr, nullptr);
    if (!m_window)
        return false;
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    CreateWindowExW(0, WC_EDITW, L"",
                    WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 8, 8, 396, 290,
                    m_window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_RENDER_ENGINE_TEXT)), nullptr,
                    nullptr);
    CreateWindowExW(0, WC_BUTTONW, L"OK", WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON, 166, 306, 80, 24, m_window,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), nullptr, nullptr);
    return true;
}

BOOL cRenderEngineInfoDlg::OnInitDialog()
{
    std::wstring text;
    if (m_renderer)
        m_renderer->GetInfoText(&text);
    SetWindowTextW(GetDlgItem(m_window, IDC_RENDER_ENGINE_TEXT), ToFieldText(text).c_str());
    return TRUE;
}

void cRenderEngineInfoDlg::OnOK()
{
    if (m_window)
        ShowWindow(m_window, SW_HIDE);
}

BOOL cRenderEngineInfoDlg::Create(UINT resourceId, HWND parent)
{
    if (resourceId != IDD_RENDER_ENGINE_INFO || m_window || !BuildWindow(parent))
        return FALSE;
    OnInitDialog();
    ShowWindow(m_window, SW_SHOW);
    return TRUE;
}

INT_PTR cRenderEngineInfoDlg::DoModal()
{
    if (m_window || !BuildWindow(m_parent))
        return -1;
    OnInitDialog();
    ShowWindow(m_window, SW_SHOW);
    INT_PTR result = IDOK;
    try
    {
        result = win32::AnswerPrompt(win32::kDialogPrompt, kCaption, m_window);
    }
    catch (...)
    {
        DestroyWindow(m_window);
        m_window = nullptr;
        throw;
    }
    if (result == IDOK)
        OnOK();
    DestroyWindow(m_window);
    m_window = nullptr;
    return result;
}

INT_PTR ShowRenderEngineInfo(cGLRenderer* renderer, HWND parent)
{
    if (!renderer)
        return -1;
    const bool wasCurrent = renderer->IsCurrent();
    if (!wasCurrent)
        renderer->MakeCurrent();
    INT_PTR result = -1;
    try
    {
        cRenderEngineInfoDlg dialog(renderer, parent);
        result = dialog.DoModal();
    }
    catch (...)
    {
        if (!wasCurrent)
            renderer->RestoreCurrent();
        throw;
    }
    if (!wasCurrent)
        renderer->RestoreCurrent();
    return result;
}
