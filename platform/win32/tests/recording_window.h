// A window class for tests that records every message its windows receive
// and lets a test answer selected messages itself.
#pragma once

#include "platform/win32/win32.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testwin
{

struct Received
{
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

// Registers the class once (with CS_DBLCLKS) and clears the log and handlers.
void Reset();
// Class name of the recording windows.
LPCWSTR ClassName();
HWND CreateTop(int x, int y, int w, int h, DWORD style = WS_OVERLAPPED | WS_VISIBLE);
HWND CreateChild(HWND parent, int id, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE);
void SetHandler(HWND hwnd, Handler handler);

// Received messages, optionally only those of the given kinds.
std::vector<Received> Log(std::vector<UINT> only = {});
void ClearLog();

} // namespace testwin
