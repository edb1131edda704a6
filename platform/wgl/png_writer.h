// PNG files of what windows show: for screenshots of the host program and
// for tests that keep the picture of a failed pixel check.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace wgl
{

// Writes a top-down image of 0xAARRGGBB pixels (straight alpha). False, with
// the reason in *error when given, for an empty image or a failed write.
bool WritePng(const std::filesystem::path& path, LONG width, LONG height, const std::uint32_t* pixels,
              std::string* error = nullptr);

// The window's client image as a PNG file.
bool WriteWindowPng(HWND window, const std::filesystem::path& path, std::string* error = nullptr);

} // namespace wgl
