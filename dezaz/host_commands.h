// The host program's own commands: import, open, save, new, select all,
// screenshots, plug-in menu items and the buttons of dock-bar panels,
// registered with the command table.
#pragma once

#include <filesystem>
#include <string>

namespace dezaz
{

class cPlugInManager;

// Constructs the commands once (later calls do nothing).
void RegisterHostCommands();

// Writes a PNG of every visible top-level window into the folder (made when
// missing), named after the window's title; returns how many were written,
// -1 with a message when the folder cannot be made or a file not written.
int WriteScreenshots(const std::filesystem::path& folder, std::wstring& error);

// A file name for a window title: characters that cannot stand in a file
// name become '_'; an empty title becomes "window".
std::string ScreenshotFileName(const std::wstring& title);

// A command argument with surrounding quotes taken off.
std::wstring Unquote(const std::wstring& argument);

} // namespace dezaz
