#include "plugin/dialogs/help_topics.h"

#include "platform/host/dezaz_app.h"
#include "platform/mfc/menu.h"
#include "plugin/module_state.h"
#include "platform/win32/controls.h"
#include "platform/win32/menu.h"
#include "platform/win32/shell.h"
#include "platform/win32/window.h"
#include "resources/shape_list.h"

namespace
{

struct stHowToTopic
{
    UINT command;
    const wchar_t* topic;
};

constexpr stHowToTopic kTopics[] = {
    {ID_HOW_TO_SELECTION, L"useselection"}, {ID_HOW_TO_ALIGN, L"alignmesh"},
    {ID_HOW_TO_CREATE, L"createshape"},     {ID_HOW_TO_CONSTRAINT, L"constraintshape"},
    {ID_HOW_TO_CURVES, L"usecurves"},       {ID_HOW_TO_ANALYZER, L"useanalyzer"},
    {ID_HOW_TO_OTHER, L"othertutorials"},
};

} // namespace

const wchar_t* HowToTopic(UINT command)
{
    for (const stHowToTopic& t : kTopics)
        if (t.command == command)
            return t.topic;
    return nullptr;
}

std::wstring HowToAddress(const std::wstring& site, const wchar_t* topic)
{
    std::wstring address = site;
    if (address.empty() || address.back() != L'/')
        address += L'/';
    return address + L"onlinehelp/howto?what=" + (topic ? topic : L"");
}

UINT ShowHowToMenu(HWND owner, HWND button, const std::wstring& site)
{
    // The menus are the plug-in's resources, whoever calls.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CMenu menu;
    if (!owner || !menu.LoadMenu(IDR_HOW_TO_MENU))
        return 0;
    UINT command = 0;
    if (CMenu* popup = menu.GetSubMenu(0))
    {
        RECT r{0, 0, 0, 0};
        if (button)
        {
            ::GetWindowRect(button, &r);
            ::SendMessageW(button, BM_SETSTATE, TRUE, 0);
        }
        command = UINT(::TrackPopupMenuEx(popup->GetSafeHmenu(), TPM_RIGHTALIGN | TPM_RETURNCMD | TPM_NONOTIFY,
                                          r.right, r.bottom, owner, nullptr));
        if (button)
            ::SendMessageW(button, BM_SETSTATE, FALSE, 0);
    }
    menu.DestroyMenu();
    if (const wchar_t* topic = HowToTopic(command))
    {
        const std::wstring page = HowToAddress(site, topic);
        SHELLEXECUTEINFOW open{};
        open.cbSize = sizeof(open);
        open.fMask = SEE_MASK_DEFAULT;
        open.lpVerb = L"open";
        open.lpFile = page.c_str();
        open.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&open))
            DezazApp().Print(L"The help page %ls could not be opened.\n", page.c_str());
    }
    return command;
}
