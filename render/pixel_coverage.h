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
    // The clip row of z, its term sizes, and the depth range.
    double depthRow[4] = {};
    double depthTermSize[4] = {};
    double depthRange[2] = {0.0, 1.0};

    bool operator==(const stWindowMap&) const = default;
};

// What GL's current state does with a filled triangle's fragments that lets
// a mesh's drawing leave out more of its triangles: the faces it culls, and
// whether the nearest fragment at each pixel is the one that stays (depth
// tested less or equal, depth written, nothing blended, offset, alpha or
// stencil tested, no clip plane, no depth clamp).
struct stFragmentRules
{
    std::uint32_t cull = 0; // 0, or the culled faces (GL_BACK, GL_FRONT, GL_FRONT_AND_BACK)
    bool frontCounterClockwise = true;
    bool nearestStays = false;
    double depthStep = 0.0; // a step of the depth buffer

    bool operator==(const stFragmentRules&) const = default;
};
void CurrentFragmentRules(stFragmentRules& rules);

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

// Of the triangles `coversNoPixel` leaves in, sets bit i for every one that
// surely leaves no fragment under the rules: culled, or (when the nearest
// fragment stays) farther, at every pixel centre it may cover, than what a
// triangle of the mesh that surely covers that centre (or one of two that
// share an edge and surely cover it between them) draws there. The one that
// covers it is never left out, so leaving them out changes no pixel and no
// depth, in any order of drawing, as long as every triangle that neither
// set leaves out is drawn. `behind` tells whether any triangle was left out
// as lying behind; none is when a triangle that may cover a centre is
// hidden. Runs on the shared pool; the bits are the same without one.
void FindTrianglesDrawingNothing(const cMesh& mesh, const stWindowMap& map, const stFragmentRules& rules,
                                 const std::vector<std::uint64_t>& coversNoPixel,
                                 std::vector<std::uint64_t>& bits, bool& behind);

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
    // Whether the bits of that view are kept, so that Find reads no mesh.
    bool Holds(const cMesh& mesh, const stWindowMap& map) const { return Valid(mesh, map); }
    // The triangles that draw nothing under the rules in that view, kept
    // for the last two sets of rules (a see-through and an opaque look);
    // `behind` as FindTrianglesDrawingNothing tells it.
    const std::vector<std::uint64_t>& FindDrawingNothing(const cMesh& mesh, const stWindowMap& map,
                                                         const stFragmentRules& rules, bool& behind);
    void OnOwnerTransformed(const double*) override { Drop(); }

private:
    void OnOwnerGeometryChanged(ISceneObject*) { Drop(); }
    bool Valid(const cMesh& mesh, const stWindowMap& map) const;
    void Keep(const cMesh& mesh, const stWindowMap& map);
    void Drop()
    {
        m_valid = false;
        for (stRuled& ruled : m_ruled)
            ruled.valid = false;
    }

    bool m_valid = false;
    const cMesh* m_mesh = nullptr;
    std::uint32_t m_triangles = 0, m_vertices = 0;
    stWindowMap m_map;
    std::vector<std::uint64_t> m_bits;
    struct stRuled
    {
        bool valid = false;
        bool behind = false;
        stFragmentRules rules;
        std::vector<std::uint64_t> bits;
    };
    stRuled m_ruled[2];
    // Of the triangles that may cover a centre, those surely turning
    // counter-clockwise and clockwise in the window.
    std::vector<std::uint64_t> m_facing[2];
    bool m_turnsFound = false;
    std::uint32_t m_nextRuled = 0;
    tEventDelegate<ISceneObject, cPixelCoverageCache> m_geometryChanged;
};
