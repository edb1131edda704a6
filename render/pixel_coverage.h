// The triangles of a mesh that surely cover no pixel centre in GL's current
// view, found before they are handed to it. A scan of millions of triangles
// shown in a view of a few hundred thousand pixels is mostly triangles
// smaller than a pixel, most of which lie between pixel centres; a software
// rasteriser still transforms, lights and sets up every one of them, and
// that setup is most of a frame. A triangle that covers no centre gives no
// fragment, so leaving it out changes no pixel and no depth. A triangle only
// counts when no centre of the viewport lies within its window box widened
// by every rounding GL may apply on its way there (float matrices and
// vertices, the snapping of window coordinates to sub-pixels).
#pragma once

#include "core/attached_property.h"
#include "core/events.h"

#include <cstdint>
#include <string_view>
#include <vector>

class cMesh;

struct stWindowMap
{
    // Clip coordinates of an object point, projection x model-view, rows
    // first: x, y and w (the row of z is not needed).
    double rows[3][4] = {};
    // The same rows of |projection| x |model-view|: how large the numbers
    // GL rounds on the way to each can be.
    double termSize[3][4] = {};
    double viewport[4] = {}; // x, y, width, height in pixels

    bool operator==(const stWindowMap&) const = default;
};

// The map that GL's current state draws filled triangles with; false when a
// triangle may give fragments away from the pixel centres it covers
// (multisampling or smoothed polygons) or the viewport is empty.
bool CurrentWindowMap(stWindowMap& map);

// Sets bit i (word i / 64, bit i % 64) for every triangle that surely covers
// no pixel centre of the viewport; triangles naming a vertex outside the
// mesh, or with a corner at or behind the eye, are left clear. Runs on the
// shared pool; the bits are the same without one.
void FindTrianglesCoveringNoPixel(const cMesh& mesh, const stWindowMap& map,
                                  std::vector<std::uint64_t>& bits);

// The bits of a scene object's mesh kept from frame to frame: a repaint in
// the same view (a kind change recolours the scan; nothing moves) finds them
// again. Another view or another size of mesh finds them anew, and so does
// any change of the owner's geometry (a move, a mesh read anew), as the
// object's display lists are dropped then.
class cPixelCoverageCache : public IAttachedProperty
{
public:
    static constexpr const wchar_t* kName = L"MeshPixelCoverage";

    cPixelCoverageCache(std::wstring_view name, ISceneObject* owner);
    ~cPixelCoverageCache() override;

    const std::vector<std::uint64_t>& Find(const cMesh& mesh, const stWindowMap& map);
    void OnOwnerTransformed(const double*) override { m_valid = false; }

private:
    void OnOwnerGeometryChanged(ISceneObject*) { m_valid = false; }

    bool m_valid = false;
    const cMesh* m_mesh = nullptr;
    std::uint32_t m_triangles = 0, m_vertices = 0;
    stWindowMap m_map;
    std::vector<std::uint64_t> m_bits;
    tEventDelegate<ISceneObject, cPixelCoverageCache> m_geometryChanged;
};
