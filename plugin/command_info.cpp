// "vtlOnlineHelp" and "vtlAbout", and the two commands that are kept as
// names only ("vtlExtractSubmesh", "vtlSymmetry").
#include "plugin/commands.h"
#include "plugin/plugin_info.h"
#include "plugin/vtl_plugin.h"

#include "platform/host/dezaz_app.h"
#include "platform/win32/codepage.h"
#include "platform/win32/controls.h"
#include "platform/win32/shell.h"
#include "platform/win32/window.h"

#include <cstdlib>

namespace
{

constexpr const wchar_t* kMakerNotice = L"Copyright (c) Pellmark. All rights reserved.";

class CCommand_vtl_OnlineHelp : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {91C3E5B7-2A4D-4F60-8E1B-D7A2F4C6B835}
        return {0x91C3E5B7, 0x2A4D, 0x4F60, {0x8E, 0x1B, 0xD7, 0xA2, 0xF4, 0xC6, 0xB8, 0x35}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlOnlineHelp"; }

    result RunCommand(const CDezazCommandContext&) override
    {
        const std::wstring page = vtl::MakerWebSite() + L"onlinehelp";
        SHELLEXECUTEINFOW open{};
        open.cbSize = sizeof(open);
        open.fMask = SEE_MASK_DEFAULT;
        open.lpVerb = L"open";
        open.lpFile = page.c_str();
        open.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&open))
            DezazApp().Print(L"The help page %ls could not be opened.\n", page.c_str());
        return success;
    }
};

class CCommand_vtl_About : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {C7A4F290-58E1-4B3D-A6C9-0E5B8D2F1A74}
        return {0xC7A4F290, 0x58E1, 0x4B3D, {0xA6, 0xC9, 0x0E, 0x5B, 0x8D, 0x2F, 0x1A, 0x74}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlAbout"; }

    result RunCommand(const CDezazCommandContext& context) override
    {
        const std::wstring text = std::wstring(vtl::kPlugInName) + L" " + ThePlugIn().PlugInVersion() + L"\n" +
                                  kMakerNotice + L"\nFor more information visit: " + vtl::MakerWebSite();
        if (context.IsInteractive())
            DezazMessageBox(nullptr, text.c_str(), vtl::kPlugInName, MB_OK | MB_ICONINFORMATION);
        else
            DezazApp().Print(L"%ls\n", text.c_str());
        return success;
    }
};

class CCommand_vtl_ExtractSubMesh : public CDezazScriptCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {0B6E2D48-F1A7-4C95-83D2-6E9C4A1B7F05}
        return {0x0B6E2D48, 0xF1A7, 0x4C95, {0x83, 0xD2, 0x6E, 0x9C, 0x4A, 0x1B, 0x7F, 0x05}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlExtractSubmesh"; }
    result RunCommand(const CDezazCommandContext&) override { return success; }
};

class CCommand_vtl_Symmetry : public CDezazCommand
{
public:
    ON_UUID CommandUUID() override
    {
        // {E3F85A1C-7B40-4D2E-9C68-B14D0E7A3C59}
        return {0xE3F85A1C, 0x7B40, 0x4D2E, {0x9C, 0x68, 0xB1, 0x4D, 0x0E, 0x7A, 0x3C, 0x59}};
    }
    const wchar_t* EnglishCommandName() override { return L"vtlSymmetry"; }
    result RunCommand(const CDezazCommandContext&) override { return success; }
};

CCommand_vtl_OnlineHelp theOnlineHelpCommand;
CCommand_vtl_About theAboutCommand;
CCommand_vtl_ExtractSubMesh theExtractSubMeshCommand;
CCommand_vtl_Symmetry theSymmetryCommand;

} // namespace

std::wstring vtl::MakerWebSite()
{
    std::wstring site = kDeveloperWebsite;
    if (const char* configured = std::getenv("VTL_WEB_SITE"); configured && *configured)
        site = win32::Utf8ToWide(configured);
    if (site.back() != L'/')
        site += L'/';
    return site;
}

CDezazCommand& vtl::OnlineHelpCommand()
{
    return theOnlineHelpCommand;
}

CDezazCommand& vtl::AboutCommand()
{
    return theAboutCommand;
}

CDezazCommand& vtl::ExtractSubmeshCommand()
{
    return theExtractSubMeshCommand;
}

CDezazCommand& vtl::SymmetryCommand()
{
    return theSymmetryCommand;
}
