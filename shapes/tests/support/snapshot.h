// Writes what a pixel test checked to $VTL_SNAPSHOT_DIR/<name>.png when that
// is set.
#pragma once

#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/png_writer.h"

#include <cstdlib>
#include <filesystem>
#include <string>

inline void SnapshotImage(const wgl::PixelImage& image, const std::string& name)
{
    const char* directory = std::getenv("VTL_SNAPSHOT_DIR");
    if (!directory || !*directory || image.Empty())
        return;
    std::filesystem::create_directories(directory);
    wgl::WritePng(std::filesystem::path(directory) / (name + ".png"), image.width, image.height,
                  image.pixels.data());
}
