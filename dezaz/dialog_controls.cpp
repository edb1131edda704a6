#include "dezaz/dialog_controls.h"

#include "platform/win32/controls.h"

#include <cwctype>
#include <functional>
#include <vector>

namespace dezaz
{

namespace
{

// Every descendant of the window, depth first in z-order.
void VisitDescendants(HWND window, const std::function<void(HWND)>& visit)
{
    for (HWND child = ::GetWindow(window, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
    {
        visit(child);
        VisitDescendants(child, visit);
    }
}

// The caption as it reads: "&" marks a mnemonic and is not part of it.
std::wstring Folded(const std::wstring& text)
{
    std::wstring folded;
    for (wchar_t c : text)
        if (c != L'&')
            folded += wchar_t(towlower(c));
    return folded;
}

} // namespace

HWND FindDialogControl(HWND window, int id, std::wstring& problem)
{
    problem.clear();
    HWND own = ::GetDlgItem(window, id);
    const bool ownShown = own && ::IsWindowVisible(own);
    if (ownShown && ::IsWindowEnabled(own))
        return own;
    std::vector<HWND> visible, enabled;
    bool hidden = false;
    VisitDescendants(window,
                     [&](HWND h)
                     {
                         if (h == own || ::GetDlgCtrlID(h) != id)
                             return;
                         if (!::IsWindowVisible(h))
                         {
                             hidden = true;
                             return;
                         }
                         visible.push_back(h);
                         if (::IsWindowEnabled(h))
                             enabled.push_back(h);
                     });
    // A click lands on the control that takes it: a disabled one of the
    // window's own (the shapes dialog's "Reset") gives way to the one enabled
    // control of its id on the shown page (the Sketch page's "Clear All").
    if (enabled.size() == 1)
        return enabled.front();
    if (ownShown)
        return own;
    if (visible.size() == 1)
        return visible.front();
    // A hidden control of the window's own is what scripts have always reached.
    if (own && visible.empty())
        return own;
    const std::wstring number = std::to_wstring(id);
    if (visible.size() > 1)
        problem = L"shows " + std::to_wstring(visible.size()) + L" controls " + number +
                  L" (on different pages or panels): which one is meant is unclear.";
    else if (hidden)
        problem = L"has control " + number + L" only on a page that is not shown (choose its tab first).";
    else
        problem = L"has no control " + number + L".";
    return nullptr;
}

HWND FindDialogTab(HWND window, const std::wstring& caption, int& index, std::wstring& captions)
{
    HWND found = nullptr;
    index = -1;
    captions.clear();
    const std::wstring wanted = Folded(caption);
    VisitDescendants(window,
                     [&](HWND h)
                     {
                         wchar_t kind[64] = {};
                         ::GetClassNameW(h, kind, 64);
                         if (found || std::wstring(kind) != WC_TABCONTROLW || !::IsWindowVisible(h))
                             return;
                         const LRESULT count = ::SendMessageW(h, TCM_GETITEMCOUNT, 0, 0);
                         for (int i = 0; i < int(count) && !found; ++i)
                         {
                             wchar_t text[128] = {};
                             TCITEMW item{};
                             item.mask = TCIF_TEXT;
                             item.pszText = text;
                             item.cchTextMax = 128;
                             if (!::SendMessageW(h, TCM_GETITEMW, WPARAM(i), LPARAM(&item)))
                                 continue;
                             captions += (captions.empty() ? L"\"" : L", \"") + std::wstring(text) + L"\"";
                             if (Folded(text) == wanted)
                                 found = h, index = i;
                         }
                     });
    return found;
}

} // namespace dezaz
