// GL drawing of host geometry-library data: NURBS curves, trim curves and
// surfaces through the GLU NURBS tessellator, brep faces (their render
// meshes, or their surfaces), meshes, wires and the curve collections of
// sections and networks. Host data is double precision with arbitrary knot
// values; GLU takes floats, so knots are shifted to the domain start and
// scaled into a range where float spacing stays well resolved.
//
// Every routine restores the GL state it changes.
#pragma once

#include "core/polyline.h"
#include "core/vertex.h"
#include "platform/wgl/wgl.h"

#include <cstdint>
#include <vector>

class cDecoratorObject;
class cGLRenderer;
class ON_Brep;
class ON_Curve;
class ON_Mesh;
class ON_NurbsSurface;
class ST_IWire;

// The drawing routines of shapes reach the frame's renderer through this.
class cGeometriesGLRenderer
{
public:
    explicit cGeometriesGLRenderer(cGLRenderer* renderer = nullptr) : m_renderer(renderer) {}
    cGLRenderer* GetRenderer() const { return m_renderer; }
    void SetRenderer(cGLRenderer* renderer) { m_renderer = renderer; }

private:
    cGLRenderer* m_renderer;
};

// How knots were mapped for GLU: u becomes (u - shift) x factor.
struct stKnotScale
{
    double shift = 0.0;
    double factor = 1.0;
};

// A new GLU NURBS renderer with culling on and the error reporter below
// registered; null when GLU cannot make one.
GLUnurbs* NewNurbsRenderer();
// GLU reports NURBS errors (bad nesting, open trim loops, ...) only to a
// callback. Every renderer made by NewNurbsRenderer counts them here.
std::uint32_t GluNurbsErrorCount();
GLenum LastGluNurbsError();
void ResetGluNurbsErrors();

// The start (or end) knot that the host's knot vector leaves out: the
// outermost knot repeated for a clamped end, else the next span repeated.
double SuperfluousKnot(int order, int cvCount, const double* hostKnots, bool atEnd);
// The GLU knot vector (cvCount + order floats) of a host knot vector of
// cvCount + order - 2 values.
void ToGluKnots(int order, int cvCount, const double* hostKnots, float* out, stKnotScale* scale = nullptr);
// One control point (dimension 2 or 3, weight last when rational) into
// floats, through an optional row-major 4x4 transform of (x, y, z, w).
void ToGluControlPoint(int dimension, bool rational, const double* point, const double* transform, float* out);

// One gluNurbsCurve of raw data; `type` 0 picks the type from dimension and
// rationality. A space curve is wrapped in gluBeginCurve/gluEndCurve, a
// trim curve is not (the caller is inside a trim). False when the data
// cannot form a curve (nothing is sent to GLU then).
bool DrawNurbsCurveGlu(int dimension, bool rational, int order, int cvCount, const double* hostKnots, int stride,
                       const double* points, GLUnurbs* nurbs, GLenum type, const double* transform);
// Any host curve kind as a trim curve in (u, v) through the transform.
void DrawTrimCurveGlu(const ON_Curve& curve, GLUnurbs* nurbs, GLenum type, const double* transform);
// One gluNurbsSurface; false (nothing sent) for a surface that is not a
// valid, finite NURBS surface.
bool DrawNurbsSurfaceGlu(const ON_NurbsSurface& surface, GLUnurbs* nurbs, GLenum type, stKnotScale* uScale,
                         stKnotScale* vScale);
// Every face: its render mesh, or its surface as its own GLU surface cut by
// the face's trimming loops (the first bounds the face, the others are
// holes).
void DrawTrimmedBrepFace(const ON_Brep& brep, GLUnurbs* nurbs);
// The mesh as triangles; quads split along their shorter diagonal.
void DrawOnMeshGL(const ON_Mesh& mesh);
// The two triangles a quad (p0..p3) is split into: true for (0, 1, 2) and
// (2, 3, 0), false for (1, 2, 3) and (3, 0, 1).
bool SplitQuadAlongFirstDiagonal(const float p0[3], const float p1[3], const float p2[3], const float p3[3]);

// A surface filled and outlined in the decorator's colours, inside the
// renderer's view transform when no NURBS renderer is given.
void DrawNurbsSurfaceGL(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, const ON_NurbsSurface& surface,
                        const cDecoratorObject& decorator, bool selected);
void DrawBrepGL(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, const ON_Brep& brep,
                const cDecoratorObject& decorator, bool selected);

// A wire: its curve sampled at the pixel size and its control points, both
// mapped through the 3x4 frame.
void DrawWireGL(const ST_IWire& wire, const double frame[12], float pixelSize, const cDecoratorObject& decorator);

// One curve of a section or network as drawn: its points (flag words carry
// the marks), its control polygon when it has one, the wire it samples
// from, and its flag byte (selected).
struct stDrawnCurve
{
    const tPolyline<cVertex>* points = nullptr;
    const tPolyline<cVertex>* controlPolygon = nullptr;
    const ST_IWire* wire = nullptr;
    std::uint8_t selected = 0;
};

// Curves in a 3x4 frame (local to world).
struct stDrawnCurveCollection
{
    stDrawnCurveCollection();
    double frame[12];
    std::vector<stDrawnCurve> curves;
};

// How much nearer the eye, in pixels, curves tested against the depth of
// the surfaces they lie on are drawn.
inline constexpr int kCurveDepthOffsetPixels = 4;

// The curves of a section or network with their point markers; the caller
// has pushed the view transform. With the depth test they are drawn
// kCurveDepthOffsetPixels nearer the eye.
void DrawPolylineCollectionGL(cGeometriesGLRenderer* drawer, const stDrawnCurveCollection& collection,
                              float pixelSize, const cDecoratorObject& decorator, bool depthTest);

// The wire sampled at the tolerance and mapped through the frame.
tPolyline<cVertex> SampleWireInFrame(const ST_IWire& wire, const double frame[12], double tolerance);
// Points mapped through the frame (flag words kept).
tPolyline<cVertex> MapThroughFrame(const tPolyline<cVertex>& points, const double frame[12]);

// The see-through stipple, 32 x 32 bits.
const GLubyte* SeeThroughStipple();
