#include "platform/host/dock_bar.h"

#include "platform/host/dezaz_app.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CDezazUiDockBarDialog, CDezazUiDialog)

CDezazUiDockBarDialog::CDezazUiDockBarDialog(UINT templateId, CWnd* parent)
    : CDezazUiDialog(templateId, parent), m_Resize(this)
{
}

CDezazUiDockBarDialog::~CDezazUiDockBarDialog() = default;

LRESULT CDezazUiDockBarDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT result = CDezazUiDialog::WindowProc(message, wParam, lParam);
    if (message == WM_SIZE && wParam != SIZE_MINIMIZED)
        m_Resize.Resize(LOWORD(lParam), HIWORD(lParam));
    return result;
}

IMPLEMENT_DYNAMIC(CDezazUiDockBar, CControlBar)

CDezazUiDockBar::CDezazUiDockBar() = default;

CDezazUiDockBar::~CDezazUiDockBar()
{
    SetClientWindow(nullptr);
    if (m_dialog && m_dialog->m_hWnd)
        m_dialog->DestroyWindow();
    m_dialog.reset();
    if (m_hWnd)
        DestroyWindow();
}

bool CDezazUiDockBar::CreateDockBarClientDialog(UINT template_id, UINT client_id, CRuntimeClass* dialog_class,
                                                AFX_MODULE_STATE* module_state)
{
    if (!m_hWnd || m_dialog || !dialog_class || !dialog_class->IsDerivedFrom(RUNTIME_CLASS(CDezazUiDockBarDialog)))
        return false;
    // The dialog's class and template belong to the plug-in: both are looked
    // up in its module.
    AFX_MANAGE_STATE(module_state ? module_state : AfxGetModuleState());
    CObject* object = dialog_class->CreateObject();
    auto* dialog = dynamic_cast<CDezazUiDockBarDialog*>(object);
    if (!dialog)
    {
        delete object;
        return false;
    }
    m_dialog.reset(dialog);
    if (!m_dialog->Create(template_id, this))
    {
        m_dialog.reset();
        return false;
    }
    // A client dialog is a child whatever its template says, framed by the bar.
    ::SetWindowLongPtrW(m_dialog->m_hWnd, GWL_STYLE,
                        static_cast<LONG_PTR>((m_dialog->GetStyle() & ~(WS_POPUP | WS_CAPTION)) | WS_CHILD));
    ::SetParent(m_dialog->m_hWnd, m_hWnd);
    if (client_id != 0)
        ::SetWindowLongPtrW(m_dialog->m_hWnd, GWLP_ID, static_cast<LONG_PTR>(client_id));
    m_dialog->ShowWindow(SW_SHOW);
    SetClientWindow(m_dialog.get());
    return true;
}

namespace
{

std::vector<std::unique_ptr<CDezazUiDockBar>>& Bars()
{
    static std::vector<std::unique_ptr<CDezazUiDockBar>> bars;
    return bars;
}

} // namespace

CDezazUiDockBar* CDezazDockBarManager::CreateDockBar(CRuntimeClass* bar_class, HWND frame, int x, int y)
{
    if (!bar_class || !bar_class->IsDerivedFrom(RUNTIME_CLASS(CDezazUiDockBar)))
        return nullptr;
    std::unique_ptr<CObject> object(bar_class->CreateObject());
    auto* raw = dynamic_cast<CDezazUiDockBar*>(object.get());
    if (!raw)
        return nullptr;
    object.release();
    std::unique_ptr<CDezazUiDockBar> bar(raw);
    const ON_UUID id = bar->DockBarID();
    if (ON_UuidIsNil(id))
        return nullptr;
    if (CDezazUiDockBar* existing = FindDockBar(id))
        return existing;
    if (!frame)
        frame = DezazApp().MainWindowHandle();
    const wchar_t* name = bar->DockBarName();
    const DWORD style = (frame ? WS_CHILD : WS_POPUP | WS_CAPTION) | WS_VISIBLE | WS_CLIPCHILDREN;
    const RECT rect{x, y, x + 220, y + 360};
    if (!bar->Create(AfxRegisterWndClass(0), name ? name : L"", style, rect, CWnd::FromHandle(frame), 0))
        return nullptr;
    if (!bar->CreateDockBarControls())
        return nullptr;
    Bars().push_back(std::move(bar));
    return Bars().back().get();
}

CDezazUiDockBar* CDezazDockBarManager::FindDockBar(const ON_UUID& id)
{
    for (const auto& bar : Bars())
        if (bar->DockBarID() == id)
            return bar.get();
    return nullptr;
}

bool CDezazDockBarManager::ShowDockBar(const ON_UUID& id, bool show)
{
    CDezazUiDockBar* bar = FindDockBar(id);
    if (!bar || !bar->m_hWnd)
        return false;
    bar->ShowWindow(show ? SW_SHOW : SW_HIDE);
    return true;
}

bool CDezazDockBarManager::IsDockBarVisible(const ON_UUID& id)
{
    CDezazUiDockBar* bar = FindDockBar(id);
    return bar && bar->m_hWnd && bar->IsWindowVisible();
}

bool CDezazDockBarManager::DestroyDockBar(const ON_UUID& id)
{
    auto& bars = Bars();
    const auto it =
        std::find_if(bars.begin(), bars.end(), [&](const auto& bar) { return bar->DockBarID() == id; });
    if (it == bars.end())
        return false;
    // Out of the list first: destroying the bar may run plug-in code that
    // asks for the bars.
    std::unique_ptr<CDezazUiDockBar> bar = std::move(*it);
    bars.erase(it);
    bar.reset();
    return true;
}

void CDezazDockBarManager::DestroyAllDockBars()
{
    while (!Bars().empty())
        DestroyDockBar(Bars().back()->DockBarID());
}

std::vector<CDezazUiDockBar*> CDezazDockBarManager::DockBars()
{
    std::vector<CDezazUiDockBar*> bars;
    for (const auto& bar : Bars())
        bars.push_back(bar.get());
    return bars;
}
