#include "render/host_geometry_gl.h"

#include "core/decorator_object.h"
#include "core/frame_math.h"
#include "core/wire.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/nurbs_curve.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/poly_curve.h"
#include "platform/geometry/polyline_curve.h"
#include "render/gl_renderer.h"
#include "render/gl_widgets.h"
#include "render/surface_sampling_gl.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <map>
#include <utility>

namespace
{

// The longest tessellation edge GLU may draw, in pixels: silhouettes of
// curved surfaces stay within a fraction of a pixel at the sizes a view
// shows.
constexpr float kSamplingTolerancePixels = 8.0f;

std::atomic<std::uint32_t> g_gluErrors{0};
std::atomic<GLenum> g_lastGluError{0};

void GLAPIENTRY CountNurbsError(GLenum error)
{
    g_gluErrors.fetch_add(1);
    g_lastGluError.store(error);
}

// Everything the surface, wire and curve passes change.
constexpr GLbitfield kDrawingAttributes = GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT |
                                          GL_LINE_BIT | GL_POINT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                                          GL_HINT_BIT | GL_POLYGON_STIPPLE_BIT;

bool AllFinite(const double* values, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
    {
        if (!std::isfinite(values[i]))
            return false;
    }
    return true;
}

// Knots that GLU can take: the right count, non-decreasing, finite, and a
// domain that is not empty.
bool UsableKnots(int order, int cvCount, const double* hostKnots)
{
    if (order < 2 || cvCount < order || !hostKnots)
        return false;
    const int count = cvCount + order - 2;
    if (!AllFinite(hostKnots, std::size_t(count)))
        return false;
    for (int i = 1; i < count; ++i)
    {
        if (hostKnots[i] < hostKnots[i - 1])
            return false;
    }
    return hostKnots[cvCount - 1] > hostKnots[order - 2];
}

std::uint8_t ToByte(float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); }

void ColourBytes(const float colour[4], std::uint8_t out[3])
{
    for (int i = 0; i < 3; ++i)
        out[i] = ToByte(colour[i]);
}

void MapPoint(const double frame[12], const cVertex& in, cVertex& out)
{
    out = in;
    const float p[3] = {in.x, in.y, in.z};
    float q[3];
    TransformPoint3f(frame, q, p);
    out.x = q[0], out.y = q[1], out.z = q[2];
}

// Edges of the mesh's faces that only one face uses.
void DrawMeshBoundaryEdges(const ON_Mesh& mesh)
{
    std::map<std::pair<int, int>, int> uses;
    const int vertexCount = mesh.VertexCount();
    for (int f = 0; f < mesh.FaceCount(); ++f)
    {
        const ON_MeshFace& face = mesh.m_F[f];
        if (!face.IsValid(vertexCount))
            continue;
        const int corners = face.IsQuad() ? 4 : 3;
        for (int k = 0; k < corners; ++k)
        {
            const int a = face.vi[k], b = face.vi[(k + 1) % corners];
            ++uses[{std::min(a, b), std::max(a, b)}];
        }
    }
    glBegin(GL_LINES);
    for (const auto& [edge, count] : uses)
    {
        if (count != 1)
            continue;
        const ON_3fPoint& a = mesh.m_V[edge.first];
        const ON_3fPoint& b = mesh.m_V[edge.second];
        glVertex3f(a.x, a.y, a.z);
        glVertex3f(b.x, b.y, b.z);
    }
    glEnd();
}

// Sets up the shared fill state of surfaces and breps and draws the fill
// and outline passes given as callables, inside the view transform and with
// a NURBS renderer of their own when none is given.
template <class Fill, class Outline>
void DrawFilledAndOutlined(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, const cDecoratorObject& decorator,
                           bool selected, Fill&& fill, Outline&& outline)
{
    cGLRenderer* renderer = drawer ? drawer->GetRenderer() : nullptr;
    const bool own = nurbs == nullptr;
    if (own)
    {
        if (renderer)
            renderer->PushViewTransform();
        nurbs = NewNurbsRenderer();
        if (!nurbs)
        {
            if (renderer)
                renderer->PopViewTransform();
            return;
        }
    }
    glPushAttrib(kDrawingAttributes);
    if (!selected && (decorator.m_flags & kDecoratorSeeThrough))
    {
        glEnable(GL_POLYGON_STIPPLE);
        glPolygonStipple(SeeThroughStipple());
    }
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_AUTO_NORMAL);
    glEnable(GL_NORMALIZE);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glColor4fv(decorator.m_colours[selected ? kDecoratorSelection : kDecoratorFront]);
    gluNurbsProperty(nurbs, GLU_DISPLAY_MODE, GLU_FILL);
    fill(nurbs);
    glDisable(GL_POLYGON_STIPPLE);

    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glColor4fv(decorator.m_colours[kDecoratorBoundary]);
    glLineWidth(1.3f);
    glPolygonOffset(1.0f, 1.0f);
    outline(nurbs);
    gluNurbsProperty(nurbs, GLU_DISPLAY_MODE, GLU_FILL);
    glPopAttrib();

    if (own)
    {
        gluDeleteNurbsRenderer(nurbs);
        if (renderer)
            renderer->PopViewTransform();
    }
}

// A NURBS curve's data as a trim curve: (x, y) of its control points, with
// the weight when rational.
void DrawNurbsTrimCurve(const ON_NurbsCurve& curve, GLUnurbs* nurbs, GLenum type, const double* transform)
{
    const int count = curve.CVCount();
    const bool rational = curve.IsRational();
    std::vector<double> points(std::size_t(count) * 3);
    for (int i = 0; i < count; ++i)
    {
        const ON_3dPoint p = curve.CV(i);
        const double w = rational ? curve.Weight(i) : 1.0;
        points[std::size_t(i) * 3] = p.x * w;
        points[std::size_t(i) * 3 + 1] = p.y * w;
        points[std::size_t(i) * 3 + 2] = w;
    }
    if (curve.KnotCount() != count + curve.Order())
        return;
    DrawNurbsCurveGlu(2, rational, curve.Order(), count, curve.KnotArray() + 1, rational ? 3 : 2, points.data(),
                      nurbs, type, transform);
}

// A degree-1 trim curve through points at the given parameters.
void DrawLinearTrimCurve(const std::vector<ON_3dPoint>& points, const std::vector<double>& parameters,
                         GLUnurbs* nurbs, GLenum type, const double* transform)
{
    const int count = int(points.size());
    if (count < 2 || parameters.size() != points.size())
        return;
    std::vector<double> data(std::size_t(count) * 2);
    for (int i = 0; i < count; ++i)
    {
        data[std::size_t(i) * 2] = points[std::size_t(i)].x;
        data[std::size_t(i) * 2 + 1] = points[std::size_t(i)].y;
    }
    // Order 2 keeps cvCount host knots: the parameters themselves.
    DrawNurbsCurveGlu(2, false, 2, count, parameters.data(), 2, data.data(), nurbs, type, transform);
}

// A face's trimming loop as GLU takes it: the points without repeats, at
// least three and all finite; empty when the loop cannot bound anything.
std::vector<ON_3dPoint> UsableLoop(const std::vector<ON_3dPoint>& loop)
{
    std::vector<ON_3dPoint> points;
    for (const ON_3dPoint& p : loop)
    {
        if (!std::isfinite(p.x) || !std::isfinite(p.y))
            return {};
        if (points.empty() || points.back().x != p.x || points.back().y != p.y)
            points.push_back(p);
    }
    // A loop written closed ends where it starts.
    while (points.size() > 1 && points.back().x == points.front().x && points.back().y == points.front().y)
        points.pop_back();
    if (points.size() < 3)
        return {};
    return points;
}

// Twice the signed area of the closed polygon (positive counter-clockwise).
double TwiceSignedArea(const std::vector<ON_3dPoint>& points)
{
    double area = 0.0;
    for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++)
        area += (points[j].x - points[i].x) * (points[j].y + points[i].y);
    return area;
}

// One trimming loop as a closed degree-1 trim curve, mapped into the knot
// scale GLU got for the surface. GLU keeps what lies left of a trim: the
// outer loop runs counter-clockwise and holes clockwise, however the face
// stores them.
void DrawTrimLoop(std::vector<ON_3dPoint> points, bool outer, GLUnurbs* nurbs, const stKnotScale& u,
                  const stKnotScale& v)
{
    const double area = TwiceSignedArea(points);
    if ((area > 0.0) != outer)
        std::reverse(points.begin(), points.end());
    points.push_back(points.front());
    std::vector<double> parameters(points.size());
    for (std::size_t i = 0; i < parameters.size(); ++i)
        parameters[i] = double(i);
    const double toGlu[16] = {u.factor, 0, 0, -u.shift * u.factor, 0, v.factor, 0, -v.shift * v.factor,
                              0,        0, 1, 0,                   0, 0,        0, 1};
    gluBeginTrim(nurbs);
    DrawLinearTrimCurve(points, parameters, nurbs, GLU_MAP1_TRIM_2, toGlu);
    gluEndTrim(nurbs);
}

} // namespace

GLUnurbs* NewNurbsRenderer()
{
    GLUnurbs* nurbs = gluNewNurbsRenderer();
    if (!nurbs)
        return nullptr;
    gluNurbsProperty(nurbs, GLU_CULLING, 1.0f);
    // GLU's default edge length of 50 pixels turns a sphere into an octagon.
    gluNurbsProperty(nurbs, GLU_SAMPLING_TOLERANCE, kSamplingTolerancePixels);
    gluNurbsCallback(nurbs, GLU_ERROR, reinterpret_cast<void(GLAPIENTRY*)()>(&CountNurbsError));
    return nurbs;
}

std::uint32_t GluNurbsErrorCount() { return g_gluErrors.load(); }
GLenum LastGluNurbsError() { return g_lastGluError.load(); }
void ResetGluNurbsErrors()
{
    g_gluErrors.store(0);
    g_lastGluError.store(0);
}

double SuperfluousKnot(int order, int cvCount, const double* hostKnots, bool atEnd)
{
    const int count = cvCount + order - 2;
    if (count < 1)
        return 0.0;
    if (count == 1)
        return hostKnots[0];
    if (!atEnd)
    {
        // A clamped start repeats its first knot order - 1 times.
        if (order <= 2 || hostKnots[0] == hostKnots[order - 2])
            return hostKnots[0];
        return hostKnots[0] - (hostKnots[1] - hostKnots[0]);
    }
    const double last = hostKnots[count - 1];
    if (order <= 2 || last == hostKnots[count - order + 1])
        return last;
    return last + (last - hostKnots[count - 2]);
}

void ToGluKnots(int order, int cvCount, const double* hostKnots, float* out, stKnotScale* scale)
{
    const int count = cvCount + order - 2;
    const double shift = count > order - 2 && order >= 2 ? hostKnots[order - 2] : 0.0;
    double dmin = 1.0, dmax = 1.0;
    for (int i = 1; i < count; ++i)
    {
        const double d = hostKnots[i] - hostKnots[i - 1];
        if (!(d > 0.0))
            continue;
        if (d < dmin)
            dmin = d;
        else if (d > dmax)
            dmax = d;
    }
    double factor = 1.0;
    if (dmin > 0.0 && dmax >= dmin)
    {
        if (dmin < 0.01)
            factor = 0.01 / dmin;
        else if (dmax > 10000.0 && dmin * 10000.0 >= dmax * 0.01)
            factor = 10000.0 / dmax;
    }
    out[0] = float((SuperfluousKnot(order, cvCount, hostKnots, false) - shift) * factor);
    for (int i = 0; i < count; ++i)
        out[i + 1] = float((hostKnots[i] - shift) * factor);
    out[count + 1] = float((SuperfluousKnot(order, cvCount, hostKnots, true) - shift) * factor);
    if (scale)
        *scale = {shift, factor};
}

void ToGluControlPoint(int dimension, bool rational, const double* point, const double* transform, float* out)
{
    if (!transform)
    {
        for (int i = 0; i < dimension + (rational ? 1 : 0); ++i)
            out[i] = float(point[i]);
        return;
    }
    const double v[4] = {point[0], point[1], dimension == 3 ? point[2] : 0.0,
                         rational ? point[dimension] : 1.0};
    auto row = [&](int r) {
        return transform[r * 4] * v[0] + transform[r * 4 + 1] * v[1] + transform[r * 4 + 2] * v[2] +
               transform[r * 4 + 3] * v[3];
    };
    out[0] = float(row(0));
    out[1] = float(row(1));
    if (dimension == 3)
        out[2] = float(row(2));
    if (rational)
        out[dimension] = float(row(3));
}

bool DrawNurbsCurveGlu(int dimension, bool rational, int order, int cvCount, const double* hostKnots, int stride,
                       const double* points, GLUnurbs* nurbs, GLenum type, const double* transform)
{
    const int cvSize = dimension + (rational ? 1 : 0);
    if ((dimension != 2 && dimension != 3) || stride < cvSize || !points || !nurbs ||
        !UsableKnots(order, cvCount, hostKnots))
        return false;
    if (!AllFinite(points, std::size_t(cvCount - 1) * std::size_t(stride) + std::size_t(cvSize)))
        return false;
    if (rational)
    {
        for (int i = 0; i < cvCount; ++i)
        {
            if (!(points[std::size_t(i) * stride + dimension] > 0.0))
                return false;
        }
    }
    std::vector<float> knots(std::size_t(cvCount + order));
    ToGluKnots(order, cvCount, hostKnots, knots.data());
    std::vector<float> data(std::size_t(cvCount) * std::size_t(stride), 0.0f);
    for (int i = 0; i < cvCount; ++i)
        ToGluControlPoint(dimension, rational, points + std::size_t(i) * stride, transform,
                          data.data() + std::size_t(i) * stride);

    const bool trim = type == GLU_MAP1_TRIM_2 || type == GLU_MAP1_TRIM_3 || (type == 0 && dimension == 2);
    if (trim)
    {
        const GLenum trimType = rational ? GLU_MAP1_TRIM_3 : GLU_MAP1_TRIM_2;
        gluNurbsCurve(nurbs, cvCount + order, knots.data(), stride, data.data(), order, trimType);
        return true;
    }
    const GLenum spaceType = type != 0 ? type : (rational ? GL_MAP1_VERTEX_4 : GL_MAP1_VERTEX_3);
    gluBeginCurve(nurbs);
    gluNurbsCurve(nurbs, cvCount + order, knots.data(), stride, data.data(), order, spaceType);
    gluEndCurve(nurbs);
    return true;
}

void DrawTrimCurveGlu(const ON_Curve& curve, GLUnurbs* nurbs, GLenum type, const double* transform)
{
    switch (curve.CurveKind())
    {
    case ON_Curve::Kind::polycurve: {
        const auto& chain = static_cast<const ON_PolyCurve&>(curve);
        for (int i = 0; i < chain.Count(); ++i)
        {
            if (const ON_Curve* segment = chain.SegmentCurve(i))
                DrawTrimCurveGlu(*segment, nurbs, type, transform);
        }
        return;
    }
    case ON_Curve::Kind::nurbs:
        DrawNurbsTrimCurve(static_cast<const ON_NurbsCurve&>(curve), nurbs, type, transform);
        return;
    case ON_Curve::Kind::line: {
        const auto& line = static_cast<const ON_LineCurve&>(curve);
        const ON_Interval domain = line.Domain();
        DrawLinearTrimCurve({line.m_line.from, line.m_line.to}, {domain[0], domain[1]}, nurbs, type, transform);
        return;
    }
    case ON_Curve::Kind::polyline: {
        const auto& polyline = static_cast<const ON_PolylineCurve&>(curve);
        std::vector<ON_3dPoint> points;
        std::vector<double> parameters;
        for (int i = 0; i < polyline.PointCount() && i < polyline.m_t.Count(); ++i)
        {
            points.push_back(polyline.m_pline[i]);
            parameters.push_back(polyline.m_t[i]);
        }
        DrawLinearTrimCurve(points, parameters, nurbs, type, transform);
        return;
    }
    default:
        // Arcs have no NURBS form in the geometry library yet.
        return;
    }
}

bool DrawNurbsSurfaceGlu(const ON_NurbsSurface& surface, GLUnurbs* nurbs, GLenum type, stKnotScale* uScale,
                         stKnotScale* vScale)
{
    if (!nurbs || !surface.IsValid() || surface.m_dim != 3)
        return false;
    const int cvSize = surface.CVSize();
    const std::size_t cvCount = std::size_t(surface.m_cv_count[0]) * std::size_t(surface.m_cv_count[1]);
    if (surface.m_cv.size() < cvCount * std::size_t(cvSize) || !AllFinite(surface.m_cv.data(), cvCount * cvSize))
        return false;
    for (int dir = 0; dir < 2; ++dir)
    {
        if (int(surface.m_knot[dir].size()) != surface.KnotCount(dir) ||
            !UsableKnots(surface.m_order[dir], surface.m_cv_count[dir], surface.m_knot[dir].data() + 1))
            return false;
    }
    std::vector<float> knots[2];
    stKnotScale scales[2];
    for (int dir = 0; dir < 2; ++dir)
    {
        knots[dir].resize(std::size_t(surface.KnotCount(dir)));
        ToGluKnots(surface.m_order[dir], surface.m_cv_count[dir], surface.m_knot[dir].data() + 1, knots[dir].data(),
                   &scales[dir]);
    }
    std::vector<float> points(cvCount * std::size_t(cvSize));
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = float(surface.m_cv[i]);
    const GLenum surfaceType = surface.m_is_rat ? GL_MAP2_VERTEX_4 : GL_MAP2_VERTEX_3;
    (void)type; // the data decides between 3 and 4 coordinates
    gluNurbsSurface(nurbs, GLint(knots[0].size()), knots[0].data(), GLint(knots[1].size()), knots[1].data(),
                    surface.m_cv_count[1] * cvSize, cvSize, points.data(), surface.m_order[0], surface.m_order[1],
                    surfaceType);
    if (uScale)
        *uScale = scales[0];
    if (vScale)
        *vScale = scales[1];
    return true;
}

void DrawTrimmedBrepFace(const ON_Brep& brep, GLUnurbs* nurbs)
{
    for (int f = 0; f < brep.FaceCount(); ++f)
    {
        const ON_BrepFace* face = brep.Face(f);
        if (!face)
            continue;
        if (const ON_Mesh* mesh = face->RenderMesh())
        {
            DrawOnMeshGL(*mesh);
            continue;
        }
        const ON_Surface* surface = face->SurfaceOf();
        ON_NurbsSurface nurbsForm;
        if (!surface || !surface->GetNurbForm(nurbsForm) || !nurbsForm.IsValid())
            continue;
        // A trimmed face whose outer loop bounds nothing shows nothing; a
        // hole that cannot be drawn is left out.
        std::vector<std::vector<ON_3dPoint>> loops;
        for (const std::vector<ON_3dPoint>& loop : face->m_loops)
        {
            loops.push_back(UsableLoop(loop));
            if (loops.size() > 1 && loops.back().empty())
                loops.pop_back();
        }
        if (!loops.empty() && loops.front().empty())
            continue;
        const cSurfaceSamplingScope sampling(nurbs, nurbsForm, kSamplingTolerancePixels);
        gluBeginSurface(nurbs);
        stKnotScale u, v;
        if (DrawNurbsSurfaceGlu(nurbsForm, nurbs, 0, &u, &v))
        {
            for (std::size_t i = 0; i < loops.size(); ++i)
                DrawTrimLoop(loops[i], i == 0, nurbs, u, v);
        }
        gluEndSurface(nurbs);
    }
}

bool SplitQuadAlongFirstDiagonal(const float p0[3], const float p1[3], const float p2[3], const float p3[3])
{
    auto distance2 = [](const float a[3], const float b[3]) {
        const double d[3] = {double(a[0]) - b[0], double(a[1]) - b[1], double(a[2]) - b[2]};
        return d[0] * d[0] + d[1] * d[1] + d[2] * d[2];
    };
    return distance2(p1, p3) >= distance2(p0, p2);
}

void DrawOnMeshGL(const ON_Mesh& mesh)
{
    const int vertexCount = mesh.VertexCount();
    const bool normals = mesh.HasVertexNormals();
    auto corner = [&](int v) {
        if (normals)
        {
            const ON_3fVector& n = mesh.m_N[v];
            glNormal3f(n.x, n.y, n.z);
        }
        const ON_3fPoint& p = mesh.m_V[v];
        glVertex3f(p.x, p.y, p.z);
    };
    glBegin(GL_TRIANGLES);
    for (int f = 0; f < mesh.FaceCount(); ++f)
    {
        const ON_MeshFace& face = mesh.m_F[f];
        if (!face.IsValid(vertexCount))
            continue;
        const int* v = face.vi;
        if (!face.IsQuad())
        {
            corner(v[0]), corner(v[1]), corner(v[2]);
            continue;
        }
        const float* p[4];
        for (int k = 0; k < 4; ++k)
            p[k] = &mesh.m_V[v[k]].x;
        if (SplitQuadAlongFirstDiagonal(p[0], p[1], p[2], p[3]))
        {
            corner(v[0]), corner(v[1]), corner(v[2]);
            corner(v[2]), corner(v[3]), corner(v[0]);
        }
        else
        {
            corner(v[1]), corner(v[2]), corner(v[3]);
            corner(v[3]), corner(v[0]), corner(v[1]);
        }
    }
    glEnd();
}

void DrawNurbsSurfaceGL(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, const ON_NurbsSurface& surface,
                        const cDecoratorObject& decorator, bool selected)
{
    // An invalid surface would leave GLU inside an empty surface block.
    if (!surface.IsValid())
        return;
    auto drawSurface = [&](GLUnurbs* n) {
        const cSurfaceSamplingScope sampling(n, surface, kSamplingTolerancePixels);
        gluBeginSurface(n);
        DrawNurbsSurfaceGlu(surface, n, 0, nullptr, nullptr);
        gluEndSurface(n);
    };
    DrawFilledAndOutlined(drawer, nurbs, decorator, selected, drawSurface, [&](GLUnurbs* n) {
        gluNurbsProperty(n, GLU_DISPLAY_MODE, GLU_OUTLINE_PATCH);
        drawSurface(n);
    });
}

void DrawBrepGL(cGeometriesGLRenderer* drawer, GLUnurbs* nurbs, const ON_Brep& brep,
                const cDecoratorObject& decorator, bool selected)
{
    // Each face opens its own GLU surface, so the brep is not wrapped in
    // one: GLU refuses nested surfaces, and the render meshes are plain GL.
    DrawFilledAndOutlined(
        drawer, nurbs, decorator, selected, [&](GLUnurbs* n) { DrawTrimmedBrepFace(brep, n); },
        [&](GLUnurbs*) {
            for (int f = 0; f < brep.FaceCount(); ++f)
            {
                const ON_BrepFace* face = brep.Face(f);
                if (face && face->RenderMesh())
                    DrawMeshBoundaryEdges(*face->RenderMesh());
            }
        });
}

tPolyline<cVertex> SampleWireInFrame(const ST_IWire& wire, const double frame[12], double tolerance)
{
    tPolyline<cVertex> local;
    wire.ToPolyline(local, tolerance);
    return MapThroughFrame(local, frame);
}

tPolyline<cVertex> MapThroughFrame(const tPolyline<cVertex>& points, const double frame[12])
{
    tPolyline<cVertex> out;
    for (const cVertex& v : points.vertices)
    {
        cVertex mapped;
        MapPoint(frame, v, mapped);
        out.AddVertex(mapped);
    }
    return out;
}

void DrawWireGL(const ST_IWire& wire, const double frame[12], float pixelSize, const cDecoratorObject& decorator)
{
    const tPolyline<cVertex> curve = SampleWireInFrame(wire, frame, pixelSize);
    tPolyline<cVertex> controlLocal;
    wire.GetControlPoints(controlLocal);
    const tPolyline<cVertex> control = MapThroughFrame(controlLocal, frame);

    glPushAttrib(kDrawingAttributes);
    glDisable(GL_LIGHTING);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    std::uint8_t rgb[3];
    ColourBytes(decorator.m_colours[kDecoratorFront], rgb);
    glColor3ub(rgb[0], rgb[1], rgb[2]);
    if (decorator.m_pointSize > FLT_EPSILON)
    {
        glPointSize(decorator.m_pointSize);
        glBegin(GL_POINTS);
        for (const cVertex& v : control.vertices)
            glVertex3f(v.x, v.y, v.z);
        glEnd();
    }
    DrawPolylineGL(curve, rgb[0], rgb[1], rgb[2], decorator.m_lineWidths[0], false, 1.0f);
    glPopAttrib();
}

stDrawnCurveCollection::stDrawnCurveCollection() { MakeIdentity3x4(frame); }

void DrawPolylineCollectionGL(cGeometriesGLRenderer* drawer, const stDrawnCurveCollection& collection,
                              float pixelSize, const cDecoratorObject& decorator, bool depthTest)
{
    glPushAttrib(kDrawingAttributes);
    glDisable(GL_LIGHTING);
    if (depthTest)
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glPolygonOffset(-1.0f, -2.0f);
    glEnable(GL_POLYGON_OFFSET_LINE);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    cGLRenderer* renderer = drawer ? drawer->GetRenderer() : nullptr;
    if (collection.curves.empty() || !renderer)
    {
        glPopAttrib();
        return;
    }
    // Curves lie on the scan: where its facets come nearer than a curve by a
    // rounding, a chord or the scan's noise, the depth test would break the
    // curve into pieces, and a polygon offset reaches no line. So the curves
    // are drawn a few pixels nearer the eye, which moves them on the screen
    // not at all in a parallel view and a fraction of a pixel in perspective.
    GLint matrixMode = GL_MODELVIEW;
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    if (depthTest)
    {
        const float origin[3] = {0.0f, 0.0f, 0.0f}, eye[3] = {0.0f, 0.0f, 1.0f};
        float a[3], b[3];
        renderer->ViewToWorld(a, origin);
        renderer->ViewToWorld(b, eye);
        const double d[3] = {double(b[0]) - a[0], double(b[1]) - a[1], double(b[2]) - a[2]};
        const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
        const double nearer = renderer->PixelsToWorld(kCurveDepthOffsetPixels);
        if (length > 0.0 && std::isfinite(length) && std::isfinite(nearer))
            glTranslated(d[0] / length * nearer, d[1] / length * nearer, d[2] / length * nearer);
    }
    const float radius = renderer->PixelsToWorld(5);
    const float* colours = &decorator.m_colours[0][0];
    auto colourOf = [&](int slot) { return colours + slot * 4; };
    auto marker = [&](const cVertex& v, const float* colour, float r) {
        glColor4fv(colour);
        const float p[3] = {v.x, v.y, v.z};
        DrawSphereMarkerGL(p, r);
    };

    for (const stDrawnCurve& curve : collection.curves)
    {
        const float* colour = colourOf(curve.selected ? kDecoratorSelection : kDecoratorFront);
        std::uint8_t rgb[3];
        ColourBytes(colour, rgb);
        if (curve.wire)
            DrawPolylineGL(SampleWireInFrame(*curve.wire, collection.frame, pixelSize), rgb[0], rgb[1], rgb[2],
                           decorator.m_lineWidths[0], false, 1.0f);
        if (!curve.points || curve.points->GetVertexCount() < 3)
            continue;
        const tPolyline<cVertex> points = MapThroughFrame(*curve.points, collection.frame);
        glEnable(GL_LIGHTING);
        for (std::uint32_t i = 1; i + 1 < points.GetVertexCount(); ++i)
        {
            const cVertex& v = points.vertices[i];
            if (v.flags & 2u)
                marker(v, colourOf(kDecoratorSelection), radius);
            else
                marker(v, colour, 0.8f * radius);
        }
        glDisable(GL_LIGHTING);
    }
    for (const stDrawnCurve& curve : collection.curves)
    {
        if (!curve.points || curve.points->IsEmpty())
            continue;
        const tPolyline<cVertex> points = MapThroughFrame(*curve.points, collection.frame);
        for (const cVertex* v : {&points.vertices.front(), &points.vertices.back()})
        {
            const bool marked = curve.selected || (v->flags & 2u);
            marker(*v, colourOf(marked ? kDecoratorSelection : kDecoratorBack), radius);
        }
    }
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GLenum(matrixMode));
    glPopAttrib();
}

const GLubyte* SeeThroughStipple()
{
    static const std::array<GLubyte, 128> pattern = [] {
        std::array<GLubyte, 128> bytes{};
        const GLubyte rows[4] = {0xAA, 0x55, 0xAA, 0x11};
        for (int row = 0; row < 32; ++row)
            for (int b = 0; b < 4; ++b)
                bytes[std::size_t(row * 4 + b)] = rows[row % 4];
        return bytes;
    }();
    return pattern.data();
}
