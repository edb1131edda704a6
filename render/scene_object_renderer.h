// The per-object drawers of the GL frame: each draws one kind of scene
// object as its display attributes ask (points, flat or smooth solid,
// wireframe, boundaries, bounding box), within a time budget.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

class ISceneObject;
class cGLRenderer;

// What the frame tells its drawers.
struct stDrawContext
{
    // The direction the eye looks along, for the facing test of points; x =
    // FLT_MAX when the frame has none.
    float viewDirection[3] = {3.402823466e+38F, 0.0f, 0.0f};
    std::uint8_t useDisplayLists = 1;
    std::int32_t pointStride = 1; // draw every k-th vertex when 2 or more
    // Points in the spread-out order of an interaction frame, so that a pass
    // its budget stops still covers the whole mesh.
    std::uint8_t progressivePoints = 0;
    std::uint8_t objectTransform = 0;
    std::uint8_t selectedOnly = 0;
    std::uint8_t useRangeImageCache = 1;
    std::uint8_t useGridCache = 1;
    cGLRenderer* renderer = nullptr;
    // Milliseconds an immediate pass may take before it stops and reports
    // the picture incomplete.
    std::uint32_t timeBudget = 0xFFFFFFFFu;
    // The clock the budget reads (GetTickCount when null).
    DWORD (*clock)() = nullptr;

    bool HasViewDirection() const { return viewDirection[0] != 3.402823466e+38F; }
    DWORD Now() const;
};

class ISceneObjectRenderer
{
public:
    virtual ~ISceneObjectRenderer() = default;
    // 0 when the picture is complete, else the milliseconds spent when a
    // pass stopped at its budget.
    virtual std::uint32_t Render(const stDrawContext& context) = 0;
    // True when the drawer supports the object and is now bound to it.
    virtual bool AttachObject(ISceneObject* object) = 0;
};

// Kind ids of the per-object drawers the renderer hands out.
inline constexpr GUID kMeshRendererKind = {0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x01}};
inline constexpr GUID kTexturedMeshRendererKind = {
    0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x02}};
inline constexpr GUID kRangeImageRendererKind = {
    0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x03}};
inline constexpr GUID kGridRendererKind = {0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x04}};
