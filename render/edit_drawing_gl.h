// GL drawing shared by the editing modes and the frame: cube handles, curves
// with their handles, the same in identifier colours for picking, a polyline
// over everything, a plane rectangle with its normal, and a grid quad. Each
// routine restores the GL state it changes and, unless said otherwise, draws
// inside the renderer's view transform.
//
// Identifier colours: id i is drawn as (i & 255, (i >> 8) & 255, (i >> 16) &
// 255); ids start at 1, so black means nothing.
#pragma once

#include "core/polyline.h"
#include "core/vertex.h"
#include "render/host_geometry_gl.h"

#include <cstdint>

class cDecoratorObject;
class cGLRenderer;

// Curve ids of the picking pass start here; point and handle ids below it.
inline constexpr std::uint32_t kCurveIdBase = 10000;

// A plane rectangle: normal n, origin o, first axis a (not normalised) and
// the half sizes along a and along n x a.
struct stPlaneRecord
{
    double n[3] = {0.0, 0.0, 1.0};
    double o[3] = {0.0, 0.0, 0.0};
    double a[3] = {1.0, 0.0, 0.0};
    double w = 1.0;
    double h = 1.0;
};

// Sends the identifier colour of id.
void SetIdColour(std::uint32_t id);
// The id a read-back RGB pixel names.
std::uint32_t IdOfColour(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// Handles are skipped (keeping their ids) when their direction is shorter
// than FLT_EPSILON squared.
void DrawCubeHandlesGL(cGeometriesGLRenderer* drawer, const float (*positions)[3], const float (*directions)[3],
                       std::uint32_t count, const cDecoratorObject& decorator);
void DrawCubeHandlesIdColoured(cGeometriesGLRenderer* drawer, const float (*positions)[3],
                               const float (*directions)[3], std::uint32_t count);

// Curves with point markers, or with their control polygons and cube
// handles when handles are asked for.
void DrawCurvesWithHandlesGL(cGeometriesGLRenderer* drawer, const stDrawnCurveCollection* collection,
                             bool handles, const cDecoratorObject& decorator);
// Curve i as id kCurveIdBase + i; points (or handles) numbered from 1 over
// the whole collection.
void DrawCurvesWithHandlesIdColoured(cGeometriesGLRenderer* drawer, const stDrawnCurveCollection* collection,
                                     bool handles);

void DrawPolylineOnTopGL(cGLRenderer* renderer, const tPolyline<cVertex>& polyline,
                         const cDecoratorObject& decorator);

// Corners o - A + B, o + A + B, o + A - B, o - A - B with A = w a and B = h
// unit(n x a) (left unnormalised when n x a vanishes).
void PlaneRectCorners(const stPlaneRecord& plane, float c0[3], float c1[3], float c2[3], float c3[3]);
// The rectangle as one filled quad (the caller has set the transform).
void DrawPlaneQuadGL(const stPlaneRecord& plane);
void DrawPlaneWithNormalGL(cGLRenderer* renderer, const stPlaneRecord& plane);

// A quad with its border and, for divisions n > 1, n - 1 grid lines each
// way; filled with the decorator's colour 0 when asked. The caller sets the
// transform.
void DrawGridQuadGL(bool filled, int divisions, const float c0[3], const float c1[3], const float c2[3],
                    const float c3[3], const float normal[3], const cDecoratorObject& decorator);
