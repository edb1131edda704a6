// What a person would see of a window: its client image with every visible
// child's image drawn over it at the child's place (front children last;
// a child's fully transparent pixels show what lies beneath),
// and PNG files of it for the host program's screenshots and for tests that
// keep pictures of what they checked.
#pragma once

#include "platform/win32/window.h"

#include <filesystem>
#include <string>

namespace win32
{

// The composed client area of the window (empty for an invalid window).
// Paints still pending in the window or its visible descendants are done
// first, as the screen would show them once the queue ran.
ClientImage ComposeWindowImage(HWND window);

// Writes the composed image as a PNG. False, with the reason in *error, for
// an empty image or a failed write.
bool WriteComposedPng(HWND window, const std::filesystem::path& path, std::string* error = nullptr);

// When VTL_SNAPSHOT_DIR is set, writes <dir>/<name>.png of the window and
// returns true when written; without the variable does nothing.
bool WriteSnapshotIfRequested(HWND window, const std::string& name);

} // namespace win32
