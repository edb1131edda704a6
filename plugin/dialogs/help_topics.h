// The shapes dialog's "How To" menu: each item opens an online help page of
// its topic on the maker's web site.
#pragma once

#include "platform/win32/types.h"

#include <string>

// The topic keyword of a "How To" item; null for any other command.
const wchar_t* HowToTopic(UINT command);
// The help page of a topic below the site (which ends with '/').
std::wstring HowToAddress(const std::wstring& site, const wchar_t* topic);
// Shows the menu right-aligned under the button (pressed meanwhile) and
// opens the chosen topic's page; returns the chosen command, 0 for none.
UINT ShowHowToMenu(HWND owner, HWND button, const std::wstring& site);
