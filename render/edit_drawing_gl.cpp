#include "render/edit_drawing_gl.h"

#include "core/decorator_object.h"
#include "core/wire.h"
#include "render/gl_renderer.h"
#include "render/gl_widgets.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

constexpr GLbitfield kEditAttributes = GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT |
                                       GL_LINE_BIT | GL_POINT_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT |
                                       GL_HINT_BIT;

const float kUp[3] = {0.0f, 0.0f, 1.0f};

bool HandleDrawn(const float direction[3])
{
    return direction[0] * direction[0] + direction[1] * direction[1] + direction[2] * direction[2] >= FLT_EPSILON;
}

float PixelsToWorld(cGeometriesGLRenderer* drawer, int pixels)
{
    cGLRenderer* renderer = drawer ? drawer->GetRenderer() : nullptr;
    return renderer ? renderer->PixelsToWorld(pixels) : 0.0f;
}

// Pushes the view transform of the drawer's renderer for the scope.
class ViewScope
{
public:
    explicit ViewScope(cGLRenderer* renderer) : m_renderer(renderer)
    {
        if (m_renderer)
            m_renderer->PushViewTransform();
    }
    ~ViewScope()
    {
        if (m_renderer)
            m_renderer->PopViewTransform();
    }
    ViewScope(const ViewScope&) = delete;
    ViewScope& operator=(const ViewScope&) = delete;

private:
    cGLRenderer* m_renderer;
};

cGLRenderer* RendererOf(cGeometriesGLRenderer* drawer) { return drawer ? drawer->GetRenderer() : nullptr; }

// The state of every picking pass: nothing may change an id colour.
void BeginIdState()
{
    glPushAttrib(kEditAttributes);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_POINT_SMOOTH);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_DITHER);
    glDisable(GL_TEXTURE_2D);
    glShadeModel(GL_FLAT);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

bool IsMarked(const cVertex& v) { return (v.flags & 4u) && !(v.flags & 1u); }

void DrawLineStrip(const tPolyline<cVertex>& polyline)
{
    glBegin(GL_LINE_STRIP);
    for (const cVertex& v : polyline.vertices)
        glVertex3f(v.x, v.y, v.z);
    glEnd();
}

const float* Colour(const cDecoratorObject& decorator, int slot) { return decorator.m_colours[slot]; }

float MarkerSize(const cDecoratorObject& decorator)
{
    return decorator.m_pointSize < 0.0f ? 1.5f : decorator.m_pointSize;
}

} // namespace

void SetIdColour(std::uint32_t id) { glColor3ub(GLubyte(id & 0xFF), GLubyte((id >> 8) & 0xFF), GLubyte((id >> 16) & 0xFF)); }

std::uint32_t IdOfColour(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return std::uint32_t(r) | std::uint32_t(g) << 8 | std::uint32_t(b) << 16;
}

void DrawCubeHandlesGL(cGeometriesGLRenderer* drawer, const float (*positions)[3], const float (*directions)[3],
                       std::uint32_t count, const cDecoratorObject& decorator)
{
    ViewScope view(RendererOf(drawer));
    glPushAttrib(kEditAttributes);
    glShadeModel(GL_FLAT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glColor3f(1.0f, 0.9098039f, 0.5294118f);
    const float fillSize = PixelsToWorld(drawer, 9);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        if (HandleDrawn(directions[i]))
            DrawOrientedCubeGL(positions[i], directions[i], fillSize);
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    const float* selection = Colour(decorator, kDecoratorSelection);
    glColor4f(selection[0] * 0.8f, selection[1] * 0.8f, selection[2] * 0.8f, 1.0f);
    const float outlineSize = PixelsToWorld(drawer, 10);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        if (HandleDrawn(directions[i]))
            DrawOrientedCubeGL(positions[i], directions[i], outlineSize);
    }
    glPopAttrib();
}

void DrawCubeHandlesIdColoured(cGeometriesGLRenderer* drawer, const float (*positions)[3],
                               const float (*directions)[3], std::uint32_t count)
{
    ViewScope view(RendererOf(drawer));
    BeginIdState();
    const float size = PixelsToWorld(drawer, 15);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        if (!HandleDrawn(directions[i]))
            continue;
        SetIdColour(i + 1);
        DrawOrientedCubeGL(positions[i], directions[i], size);
    }
    glPopAttrib();
}

void DrawCurvesWithHandlesGL(cGeometriesGLRenderer* drawer, const stDrawnCurveCollection* collection,
                             bool handles, const cDecoratorObject& decorator)
{
    if (!collection)
        return;
    ViewScope view(RendererOf(drawer));
    glPushAttrib(kEditAttributes);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glColor4fv(Colour(decorator, kDecoratorWireframe));

    bool anyMarked = false;
    for (const stDrawnCurve& curve : collection->curves)
    {
        for (const tPolyline<cVertex>* points : {curve.points, curve.controlPolygon})
        {
            if (points)
                anyMarked = anyMarked || std::any_of(points->vertices.begin(), points->vertices.end(), IsMarked);
        }
    }

    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_LINE_SMOOTH);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const float tolerance = PixelsToWorld(drawer, 1);
    for (const stDrawnCurve& curve : collection->curves)
    {
        if (curve.wire)
        {
            const tPolyline<cVertex> sampled = SampleWireInFrame(*curve.wire, collection->frame, tolerance);
            if (sampled.GetVertexCount() >= 2)
            {
                glColor4fv(Colour(decorator, curve.selected && !anyMarked ? kDecoratorSelection : kDecoratorWireframe));
                glLineWidth(decorator.m_lineWidths[0]);
                glNormal3f(0.0f, 0.0f, 1.0f);
                DrawLineStrip(sampled);
            }
        }
        if (handles && curve.controlPolygon && !curve.controlPolygon->IsEmpty())
        {
            glColor4f(0.3f, 0.3f, 0.3f, 1.0f);
            glLineWidth(1.0f);
            DrawLineStrip(MapThroughFrame(*curve.controlPolygon, collection->frame));
        }
    }

    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    const float s = MarkerSize(decorator);
    for (const stDrawnCurve& curve : collection->curves)
    {
        const bool cubes = handles && curve.controlPolygon && !curve.controlPolygon->IsEmpty();
        if (cubes)
        {
            for (const cVertex& v : MapThroughFrame(*curve.controlPolygon, collection->frame).vertices)
            {
                const float p[3] = {v.x, v.y, v.z};
                if (IsMarked(v))
                {
                    glColor4fv(Colour(decorator, kDecoratorSelection));
                    DrawOrientedCubeGL(p, kUp, 2.5f * s);
                }
                else
                {
                    glColor4fv(Colour(decorator, (v.flags & 2u) ? kDecoratorFront : kDecoratorWireframe));
                    DrawOrientedCubeGL(p, kUp, 2.0f * s);
                }
            }
            continue;
        }
        if (!curve.points)
            continue;
        for (const cVertex& v : MapThroughFrame(*curve.points, collection->frame).vertices)
        {
            int slot = kDecoratorWireframe;
            if (curve.selected || IsMarked(v))
                slot = kDecoratorSelection;
            else if (v.flags & 2u)
                slot = kDecoratorFront;
            glColor4fv(Colour(decorator, slot));
            const float p[3] = {v.x, v.y, v.z};
            DrawSphereMarkerGL(p, s);
        }
    }
    glPopAttrib();
}

void DrawCurvesWithHandlesIdColoured(cGeometriesGLRenderer* drawer, const stDrawnCurveCollection* collection,
                                     bool handles)
{
    if (!collection)
        return;
    ViewScope view(RendererOf(drawer));
    BeginIdState();
    const float tolerance = PixelsToWorld(drawer, 1);
    glLineWidth(15.0f);
    for (std::size_t i = 0; i < collection->curves.size(); ++i)
    {
        const stDrawnCurve& curve = collection->curves[i];
        if (!curve.wire)
            continue;
        const tPolyline<cVertex> sampled = SampleWireInFrame(*curve.wire, collection->frame, tolerance);
        if (sampled.GetVertexCount() < 2)
            continue;
        SetIdColour(kCurveIdBase + std::uint32_t(i));
        DrawLineStrip(sampled);
    }
    const float size = PixelsToWorld(drawer, 25);
    std::uint32_t id = 1;
    for (const stDrawnCurve& curve : collection->curves)
    {
        const bool cubes = handles && curve.controlPolygon && !curve.controlPolygon->IsEmpty();
        const tPolyline<cVertex>* points = cubes ? curve.controlPolygon : curve.points;
        if (!points)
            continue;
        for (const cVertex& v : MapThroughFrame(*points, collection->frame).vertices)
        {
            SetIdColour(id++);
            const float p[3] = {v.x, v.y, v.z};
            DrawOrientedCubeGL(p, kUp, size);
        }
    }
    glPopAttrib();
}

void DrawPolylineOnTopGL(cGLRenderer* renderer, const tPolyline<cVertex>& polyline,
                         const cDecoratorObject& decorator)
{
    ViewScope view(renderer);
    glPushAttrib(kEditAttributes);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    const float* c = Colour(decorator, kDecoratorFront);
    auto byte = [](float v) { return std::uint8_t(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    DrawPolylineGL(polyline, byte(c[0]), byte(c[1]), byte(c[2]), decorator.m_lineWidths[0],
                   decorator.m_pointSize > 0.0f, decorator.m_pointSize);
    glPopAttrib();
}

void PlaneRectCorners(const stPlaneRecord& plane, float c0[3], float c1[3], float c2[3], float c3[3])
{
    const double* n = plane.n;
    const double* a = plane.a;
    double b[3] = {n[1] * a[2] - n[2] * a[1], n[2] * a[0] - n[0] * a[2], n[0] * a[1] - n[1] * a[0]};
    if (std::fabs(b[0]) + std::fabs(b[1]) + std::fabs(b[2]) >= FLT_EPSILON)
    {
        const double length = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
        for (double& v : b)
            v /= length;
    }
    for (int i = 0; i < 3; ++i)
    {
        const double A = plane.w * a[i], B = plane.h * b[i];
        c0[i] = float(plane.o[i] - A + B);
        c1[i] = float(plane.o[i] + A + B);
        c2[i] = float(plane.o[i] + A - B);
        c3[i] = float(plane.o[i] - A - B);
    }
}

void DrawPlaneQuadGL(const stPlaneRecord& plane)
{
    float c[4][3];
    PlaneRectCorners(plane, c[0], c[1], c[2], c[3]);
    glPushAttrib(GL_POLYGON_BIT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBegin(GL_QUADS);
    glNormal3d(plane.n[0], plane.n[1], plane.n[2]);
    for (const float* corner : c)
        glVertex3fv(corner);
    glEnd();
    glPopAttrib();
}

void DrawPlaneWithNormalGL(cGLRenderer* renderer, const stPlaneRecord& plane)
{
    ViewScope view(renderer);
    glPushAttrib(kEditAttributes);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);
    float c[4][3];
    PlaneRectCorners(plane, c[0], c[1], c[2], c[3]);
    cDecoratorObject white;
    white.SetColour(kDecoratorFront, 1.0f, 1.0f, 1.0f, 1.0f);
    white.m_lineWidths[0] = 2.0f;
    const float normal[3] = {float(plane.n[0]), float(plane.n[1]), float(plane.n[2])};
    DrawGridQuadGL(true, 0, c[0], c[1], c[2], c[3], normal, white);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_SMOOTH);
    const float origin[3] = {float(plane.o[0]), float(plane.o[1]), float(plane.o[2])};
    const float size = renderer ? renderer->PixelsToWorld(60) : 1.0f;
    DrawArrowGL(origin, normal, size);
    glPopAttrib();
}

void DrawGridQuadGL(bool filled, int divisions, const float c0[3], const float c1[3], const float c2[3],
                    const float c3[3], const float normal[3], const cDecoratorObject& decorator)
{
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_POLYGON_BIT | GL_LINE_BIT | GL_COLOR_BUFFER_BIT);
    const float* colour = Colour(decorator, kDecoratorFront);
    if (filled)
    {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4fv(colour);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glEnable(GL_BLEND);
        glBegin(GL_QUADS);
        glNormal3fv(normal);
        for (const float* c : {c0, c1, c2, c3})
            glVertex3fv(c);
        glEnd();
        glDisable(GL_BLEND);
    }
    glColor4f(std::min(colour[0] * 0.7f, 1.0f), std::min(colour[1] * 0.7f, 1.0f), std::min(colour[2] * 0.7f, 1.0f),
              colour[3]);
    glLineWidth(decorator.m_lineWidths[0]);
    glBegin(GL_LINE_STRIP);
    for (const float* c : {c0, c1, c2, c3, c0})
        glVertex3fv(c);
    glEnd();
    if (divisions > 0)
    {
        glLineWidth(1.0f);
        // Steps along the two edges that leave c0.
        float u[3], v[3];
        for (int i = 0; i < 3; ++i)
        {
            u[i] = (c1[i] - c0[i]) / float(divisions);
            v[i] = (c3[i] - c0[i]) / float(divisions);
        }
        glBegin(GL_LINES);
        for (int k = 1; k < divisions; ++k)
        {
            // Across the quad at k / n along c0-c1, parallel to c0-c3, and
            // at k / n along c0-c3, parallel to c0-c1.
            const float across[3] = {c0[0] + u[0] * k, c0[1] + u[1] * k, c0[2] + u[2] * k};
            glVertex3fv(across);
            const float acrossEnd[3] = {across[0] + (c3[0] - c0[0]), across[1] + (c3[1] - c0[1]),
                                        across[2] + (c3[2] - c0[2])};
            glVertex3fv(acrossEnd);
            const float from[3] = {c0[0] + v[0] * k, c0[1] + v[1] * k, c0[2] + v[2] * k};
            glVertex3fv(from);
            const float to[3] = {from[0] + (c1[0] - c0[0]), from[1] + (c1[1] - c0[1]), from[2] + (c1[2] - c0[2])};
            glVertex3fv(to);
        }
        glEnd();
    }
    glPopAttrib();
}
