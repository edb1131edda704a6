// Marks the mesh triangles under a screen region by reading back a rendering
// of the mesh in which every triangle's colour is its index + 1 (red the low
// byte, blue the high byte), then grows the marked set over neighbours whose
// centres project into the region, so that triangles too small to own a
// pixel are not missed.
//
// Client coordinates count rows from the top of the view; the mask's row 0
// is its top row.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

class cMesh;
class cBase3DRenderer;

// The region painted by the user: 32 bits per pixel, non-zero inside.
struct stSelectionMask
{
    const std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    // Bytes from one row to the next; at least 4 x width.
    int stride = 0;
    // Client position of the mask's pixel (0, 0); truncated to whole pixels.
    float originX = 0.0f;
    float originY = 0.0f;
};

// The largest triangle count whose ids fit in 24 bits of colour.
inline constexpr std::uint32_t kMaxColourIdTriangles = 0xFFFFFFu;

// Sets flagBits on the triangles under the mask (within the clip rectangle
// when one is given, and always within the viewport), reading the renderer's
// back buffer. With frontOnly, grown neighbours that face away from the
// viewer are left out. True when at least one triangle was marked. A
// malformed mask or a region outside the view marks nothing.
//
// The ids read are those of a window of the triangles: id k names triangle
// first + k - 1, for k up to span (kMaxColourIdTriangles at most); a mesh of
// more triangles than 24 bits can name is read a window at a time, each
// from its own id pass. None is read for a window past the last triangle.
bool SelectTrianglesInFrameBuffer(cMesh& mesh, const stSelectionMask& mask, const RECT* clip,
                                  cBase3DRenderer& renderer, std::uint8_t flagBits, bool frontOnly,
                                  std::uint32_t first = 0, std::uint32_t span = kMaxColourIdTriangles);

// Draws the mesh in id colours inside the renderer's view transform, with
// everything off that could change a colour (lighting, blending, smoothing,
// dithering, texturing). Hidden triangles are left out.
void DrawMeshIdColoured(const cMesh& mesh, cBase3DRenderer& renderer);
