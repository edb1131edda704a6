#include "plugin/dialogs/quick_pickers.h"

#include "modes/shapes_view.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/module_state.h"
#include "platform/win32/controls.h"
#include "platform/win32/window.h"
#include "resources/shape_list.h"
#include "resources/shapes_dialog.h"

#include <map>
#include <memory>

namespace
{

struct stPicker
{
    UINT button;
    UINT icon;
    const wchar_t* tip;
    int kind; // the shapes dialog's combo code
};

// In the order of the message map.
constexpr stPicker kPickers[8] = {
    {IDC_QUICK_PLANE, 3003, L"Fit plane", 0},
    {IDC_QUICK_CYLINDER, 3004, L"Fit cylinder", 2},
    {IDC_QUICK_SPHERE, 3002, L"Fit sphere", 1},
    {IDC_QUICK_FREE_FORM, 3038, L"Fit free form surface", 6},
    {IDC_QUICK_REVOLVED, 3039, L"Fit revolved surface", 4},
    {IDC_QUICK_EXTRUDED, 3055, L"Fit extruded surface", 5},
    {IDC_QUICK_SYMMETRY, 3076, L"Define symmetry plane", 3},
    {IDC_QUICK_CURVES, 3077, L"Draw curves on the mesh", 7},
};

struct stPickers
{
    std::unique_ptr<CQuickSurfaceDialog> kinds;
    std::unique_ptr<CQuickCurrentSurfaceDialog> current;
};

std::map<const CCreatePrimitiveDialog*, stPickers>& Pickers()
{
    static std::map<const CCreatePrimitiveDialog*, stPickers> pickers;
    return pickers;
}

void Hide(CWnd* window)
{
    if (window && window->GetSafeHwnd())
        window->ShowWindow(SW_HIDE);
}

// A picker used or closed with Escape gives the keyboard back to the shapes
// view it was opened from, when it had it: hidden with it, it left nothing
// with the keyboard, and the view's keys (Escape, Ctrl+Z, Delete) did
// nothing until the next click in the view.
void HideAfterUse(CWnd* window, CCreatePrimitiveDialog* shapes)
{
    const HWND picker = window ? window->GetSafeHwnd() : nullptr;
    const HWND focus = ::GetFocus();
    const bool held = picker && focus && (focus == picker || ::IsChild(picker, focus));
    Hide(window);
    cCPView* view = shapes ? shapes->GetShapesView() : nullptr;
    if (held && view && view->GetSafeHwnd() && ::IsWindowVisible(view->GetSafeHwnd()))
        ::SetFocus(view->GetSafeHwnd());
}

// The picker given the keyboard hands it on to one of its buttons: that is
// no leaving.
void HideUnlessFocusStaysIn(CWnd* window, CWnd* next)
{
    const HWND to = next ? next->GetSafeHwnd() : nullptr;
    if (!window || !to || !::IsChild(window->GetSafeHwnd(), to))
        Hide(window);
}

// The keyboard is mostly on one of the picker's buttons, not on the picker:
// a click elsewhere (the shapes dialog, its list, another window) takes the
// activation away from the picker, which is when the user has left it.
void HideWhenLeft(CWnd* window, UINT state)
{
    if (state == WA_INACTIVE)
        Hide(window);
}

} // namespace

int SelectQuickKind(HWND combo, int kind)
{
    const LRESULT count = combo ? ::SendMessageW(combo, CB_GETCOUNT, 0, 0) : 0;
    for (LRESULT i = 0; i < count; ++i)
        if (::SendMessageW(combo, CB_GETITEMDATA, WPARAM(i), 0) == LRESULT(kind))
            return int(i);
    return -1;
}

// ------------------------------------------------------------ kind picker

BEGIN_MESSAGE_MAP(CQuickSurfaceDialog, CDezazDialog)
ON_COMMAND_RANGE(IDC_QUICK_SPHERE, IDC_QUICK_PLANE, &CQuickSurfaceDialog::OnPicker)
ON_COMMAND_RANGE(IDC_QUICK_FREE_FORM, IDC_QUICK_SYMMETRY, &CQuickSurfaceDialog::OnPicker)
ON_WM_KILLFOCUS()
ON_WM_ACTIVATE()
END_MESSAGE_MAP()

CQuickSurfaceDialog::CQuickSurfaceDialog(CCreatePrimitiveDialog* shapes)
    : CDezazDialog(IDD_QUICK_SURFACE, shapes), m_shapes(shapes), m_tooltip(new CToolTipCtrl)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    Create(IDD_QUICK_SURFACE, shapes);
}

CQuickSurfaceDialog::~CQuickSurfaceDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
    delete m_tooltip;
}

BOOL CQuickSurfaceDialog::OnInitDialog()
{
    CDezazDialog::OnInitDialog();
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
    {
        if (!::GetDlgItem(m_hWnd, int(kPickers[i].button)))
            continue;
        CImageButton& button = m_buttons[i];
        button.SubclassDlgItem(kPickers[i].button, this);
        button.SetWindowText(L"");
        button.SetIconFromResource(kPickers[i].icon);
        button.SetColour(kColourBackRest, RGB(255, 255, 255));
        button.SetColour(kColourBackHot, RGB(255, 255, 255));
        if (kPickers[i].button == IDC_QUICK_SYMMETRY)
        {
            button.SetFlat(true);
            button.SetAlwaysTrack(true);
        }
    }
    // Without tooltips the picker still works.
    if (m_tooltip && m_tooltip->Create(this))
    {
        for (const stPicker& p : kPickers)
            if (CWnd* control = GetDlgItem(int(p.button)))
                m_tooltip->AddTool(control, p.tip);
        m_tooltip->Activate(TRUE);
    }
    return TRUE;
}

BOOL CQuickSurfaceDialog::PreTranslateMessage(MSG* msg)
{
    if (m_tooltip && m_tooltip->GetSafeHwnd())
        m_tooltip->RelayEvent(msg);
    return CDezazDialog::PreTranslateMessage(msg);
}

void CQuickSurfaceDialog::OnCancel()
{
    HideAfterUse(this, m_shapes);
}

void CQuickSurfaceDialog::OnKillFocus(CWnd* next)
{
    CDezazDialog::OnKillFocus(next);
    HideUnlessFocusStaysIn(this, next);
}

void CQuickSurfaceDialog::OnActivate(UINT state, CWnd* other, BOOL minimized)
{
    CDezazDialog::OnActivate(state, other, minimized);
    HideWhenLeft(this, state);
}

void CQuickSurfaceDialog::OnPicker(UINT id)
{
    for (const stPicker& p : kPickers)
        if (p.button == id)
            return ChooseKind(p.kind);
}

void CQuickSurfaceDialog::ChooseKind(int kind)
{
    HideAfterUse(this, m_shapes);
    if (!m_shapes || !m_shapes->GetSafeHwnd())
        return;
    const HWND combo = ::GetDlgItem(m_shapes->GetSafeHwnd(), IDC_SHAPES_KIND);
    ::SendMessageW(combo, CB_SETCURSEL, WPARAM(SelectQuickKind(combo, kind)), 0);
    // The dialog ignores a change without a chosen kind.
    m_shapes->OnKindChange();
}

// ------------------------------------------------------------ current shape

BEGIN_MESSAGE_MAP(CQuickCurrentSurfaceDialog, CDezazDialog)
ON_COMMAND(IDC_QUICK_NEW_SHAPE, &CQuickCurrentSurfaceDialog::OnNewShape)
ON_COMMAND(IDC_QUICK_DELETE, &CQuickCurrentSurfaceDialog::OnDeleteShape)
ON_WM_KILLFOCUS()
ON_WM_ACTIVATE()
END_MESSAGE_MAP()

CQuickCurrentSurfaceDialog::CQuickCurrentSurfaceDialog(CCreatePrimitiveDialog* shapes)
    : CDezazDialog(IDD_QUICK_CURRENT_SURFACE, shapes), m_shapes(shapes), m_tooltip(new CToolTipCtrl)
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    Create(IDD_QUICK_CURRENT_SURFACE, shapes);
}

CQuickCurrentSurfaceDialog::~CQuickCurrentSurfaceDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
    delete m_tooltip;
}

BOOL CQuickCurrentSurfaceDialog::OnInitDialog()
{
    CDezazDialog::OnInitDialog();
    if (m_tooltip && m_tooltip->Create(this))
    {
        if (CWnd* control = GetDlgItem(IDC_QUICK_NEW_SHAPE))
            m_tooltip->AddTool(control, L"New shape");
        if (CWnd* control = GetDlgItem(IDC_QUICK_DELETE))
            m_tooltip->AddTool(control, L"Delete current shape");
        m_tooltip->Activate(TRUE);
    }
    return TRUE;
}

BOOL CQuickCurrentSurfaceDialog::PreTranslateMessage(MSG* msg)
{
    if (m_tooltip && m_tooltip->GetSafeHwnd())
        m_tooltip->RelayEvent(msg);
    return CDezazDialog::PreTranslateMessage(msg);
}

void CQuickCurrentSurfaceDialog::OnCancel()
{
    HideAfterUse(this, m_shapes);
}

void CQuickCurrentSurfaceDialog::OnKillFocus(CWnd* next)
{
    CDezazDialog::OnKillFocus(next);
    HideUnlessFocusStaysIn(this, next);
}

void CQuickCurrentSurfaceDialog::OnActivate(UINT state, CWnd* other, BOOL minimized)
{
    CDezazDialog::OnActivate(state, other, minimized);
    HideWhenLeft(this, state);
}

void CQuickCurrentSurfaceDialog::OnNewShape()
{
    HideAfterUse(this, m_shapes);
    if (m_shapes && m_shapes->GetCurrentSession() && m_shapes->GetShapePage())
        m_shapes->GetShapePage()->StartNewShape();
}

void CQuickCurrentSurfaceDialog::OnDeleteShape()
{
    HideAfterUse(this, m_shapes);
    if (m_shapes && m_shapes->GetShapePage())
        m_shapes->GetShapePage()->ConfirmDeleteShape();
}

// ------------------------------------------------------------ per dialog

HWND QuickPickerOf(CCreatePrimitiveDialog& shapes, bool forCurrentShape)
{
    if (!shapes.GetSafeHwnd())
        return nullptr;
    stPickers& p = Pickers()[&shapes];
    if (forCurrentShape)
    {
        if (!p.current)
            p.current = std::make_unique<CQuickCurrentSurfaceDialog>(&shapes);
        return p.current->GetSafeHwnd();
    }
    if (!p.kinds)
        p.kinds = std::make_unique<CQuickSurfaceDialog>(&shapes);
    return p.kinds->GetSafeHwnd();
}

void HideQuickPickersOf(const CCreatePrimitiveDialog& shapes)
{
    const auto it = Pickers().find(&shapes);
    if (it == Pickers().end())
        return;
    Hide(it->second.kinds.get());
    Hide(it->second.current.get());
}

void DestroyQuickPickersOf(const CCreatePrimitiveDialog& shapes)
{
    Pickers().erase(&shapes);
}
