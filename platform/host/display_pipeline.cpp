#include "platform/host/display_pipeline.h"

#include "platform/geometry/curve.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/point_geometry.h"
#include "platform/geometry/xform.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/host/object_meshes.h"
#include "platform/host/visual_analysis_mode.h"
#include "platform/wgl/wgl.h"

#include <algorithm>
#include <vector>

namespace
{

const ON_Color kDefaultMaterial(190, 190, 190);
// Straight pieces per span of a curve of degree two or more.
constexpr int kSegmentsPerSpan = 24;

void LoadMatrix(const ON_Xform& xform)
{
    GLdouble m[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[j * 4 + i] = xform[i][j];
    glLoadMatrixd(m);
}

void MultMatrix(const ON_Xform& xform)
{
    GLdouble m[16];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            m[j * 4 + i] = xform[i][j];
    glMultMatrixd(m);
}

void Colour(ON_Color c)
{
    glColor3ub(static_cast<GLubyte>(c.Red()), static_cast<GLubyte>(c.Green()), static_cast<GLubyte>(c.Blue()));
}

// The corners of face f as triangles (a quad split along its 0-2 diagonal).
template <class Emit> void ForEachTriangle(const ON_Mesh& mesh, Emit emit)
{
    const int n = mesh.VertexCount();
    for (int f = 0; f < mesh.FaceCount(); ++f)
    {
        const ON_MeshFace& face = mesh.m_F[f];
        if (!face.IsValid(n))
            continue;
        emit(f, face.vi[0], face.vi[1], face.vi[2]);
        if (face.IsQuad())
            emit(f, face.vi[0], face.vi[2], face.vi[3]);
    }
}

ON_3fVector FaceNormal(const ON_Mesh& mesh, int a, int b, int c)
{
    const ON_3fPoint& p = mesh.m_V[a];
    const ON_3fPoint& q = mesh.m_V[b];
    const ON_3fPoint& r = mesh.m_V[c];
    const float ux = q.x - p.x, uy = q.y - p.y, uz = q.z - p.z;
    const float vx = r.x - p.x, vy = r.y - p.y, vz = r.z - p.z;
    return ON_3fVector(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx);
}

// Lighting of shaded meshes (see the header); everything else turns it off.
void BeginLighting()
{
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);
    const GLfloat ambient[4] = {CDezazDisplayPipeline::kSceneAmbient, CDezazDisplayPipeline::kSceneAmbient,
                                CDezazDisplayPipeline::kSceneAmbient, 1.0f};
    const GLfloat diffuse[4] = {CDezazDisplayPipeline::kHeadlightDiffuse, CDezazDisplayPipeline::kHeadlightDiffuse,
                                CDezazDisplayPipeline::kHeadlightDiffuse, 1.0f};
    const GLfloat none[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    const GLfloat towards_viewer[4] = {0.0f, 0.0f, 1.0f, 0.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, none);
    // A headlight: its direction is given in eye coordinates.
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, towards_viewer);
    glPopMatrix();
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, none);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

void EndLighting()
{
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHT0);
    glDisable(GL_LIGHTING);
}

} // namespace

CDezazDisplayPipeline::CDezazDisplayPipeline(CDezazViewport& viewport, const CDezazDoc* doc,
                                             const CDisplayPipelineAttributes& attrs)
    : m_viewport(viewport), m_doc(doc), m_attrs(attrs)
{
}

const ON_Viewport& CDezazDisplayPipeline::VP() const
{
    return m_viewport.VP();
}

void CDezazDisplayPipeline::LoadCamera() const
{
    ON_Xform projection, model_view;
    VP().GetXform(ON_Viewport::coordinate_system::camera_cs, ON_Viewport::coordinate_system::clip_cs, projection);
    VP().GetXform(ON_Viewport::coordinate_system::world_cs, ON_Viewport::coordinate_system::camera_cs, model_view);
    glMatrixMode(GL_PROJECTION);
    LoadMatrix(projection);
    glMatrixMode(GL_MODELVIEW);
    LoadMatrix(model_view);
}

ON_Color CDezazDisplayPipeline::ObjectColour(const CDezazObject& object) const
{
    const ON_3dmObjectAttributes& attributes = object.Attributes();
    if (attributes.ColorSource() == ON_3dmObjectAttributes::color_source::color_from_object)
        return attributes.m_color;
    const CDezazDoc* doc = object.Document() ? object.Document() : m_doc;
    if (doc && attributes.m_layer_index >= 0 && attributes.m_layer_index < doc->LayerTable().LayerCount())
        return doc->LayerTable()[attributes.m_layer_index].Color();
    return ON_Color(0, 0, 0);
}

bool CDezazDisplayPipeline::DrawObject(const CDezazObject* object, const ON_Xform* xform)
{
    if (!object || object->IsDeleted() || !object->Geometry())
        return false;
    if (xform)
    {
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        MultMatrix(*xform);
    }
    m_xform = xform;
    DrawDocumentObject(*object);
    m_xform = nullptr;
    if (xform)
    {
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
    return true;
}

void CDezazDisplayPipeline::DrawDocumentObject(const CDezazObject& object)
{
    const ON_Color colour = ObjectColour(object);
    const ON_Geometry* geometry = object.Geometry();
    if (const auto* dot = dynamic_cast<const CDezazTextDot*>(&object))
    {
        DrawDot(dot->Point(), dot->Text(), colour, ON_Color(255, 255, 255), dot->AlwaysOnTop());
        return;
    }
    if (const auto* curve = dynamic_cast<const ON_Curve*>(geometry))
    {
        DrawCurve(*curve, colour);
        return;
    }
    if (const auto* point = dynamic_cast<const ON_Point*>(geometry))
    {
        DrawPoint(point->point, colour);
        return;
    }
    // Objects in a false-colour analysis mode show the mode's colours on
    // their analysis meshes; the mode fills them first.
    for (const ON_UUID& id : object.AnalysisModes())
    {
        const CDezazVisualAnalysisMode* mode = CDezazVisualAnalysisMode::Mode(id);
        if (!mode || mode->Style() != DezazAnalysisStyle::false_colour_style)
            continue;
        ON_SimpleArray<ON_Mesh*> meshes = dezaz::WritableAnalysisMeshes(object);
        mode->SetAnalysisModeDisplayAttributes(&object, *this);
        mode->UpdateVertexColors(&object, meshes);
        for (int i = 0; i < meshes.Count(); ++i)
            if (meshes[i] && !DrawFalseColourMesh(*meshes[i]))
                DrawMeshGeometry(object, *meshes[i]);
        return;
    }
    if (const ON_Mesh* mesh = ON_Mesh::Cast(geometry))
    {
        DrawMeshGeometry(object, *mesh);
        return;
    }
    if (const auto mesh = dezaz::JoinedRenderMesh(object))
        DrawMeshGeometry(object, *mesh);
}

void CDezazDisplayPipeline::DrawMeshGeometry(const CDezazObject& object, const ON_Mesh& mesh)
{
    const ON_Color colour = ObjectColour(object);
    if (!m_attrs.m_shade_surfaces)
    {
        DrawMeshWires(mesh, colour);
        return;
    }
    // Black is the colour of layers nobody coloured; surfaces show the
    // default material then, as a shaded view of a fresh document does.
    const CDisplayPipelineMaterial material((colour & 0xFFFFFFu) == 0 ? kDefaultMaterial : colour);
    DrawShadedMesh(mesh, &material);
    if (m_attrs.m_show_mesh_wires)
        DrawMeshWires(mesh, colour);
}

void CDezazDisplayPipeline::DrawShadedMesh(const ON_Mesh& mesh, const CDisplayPipelineMaterial* material)
{
    const ON_Color colour = material ? material->m_diffuse : kDefaultMaterial;
    const bool vertex_normals = mesh.HasVertexNormals();
    BeginLighting();
    const bool transparent = material && material->m_transparency > 0.0;
    if (transparent)
    {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4ub(static_cast<GLubyte>(colour.Red()), static_cast<GLubyte>(colour.Green()),
                   static_cast<GLubyte>(colour.Blue()),
                   static_cast<GLubyte>(255.0 * (1.0 - std::clamp(material->m_transparency, 0.0, 1.0))));
    }
    else
        Colour(colour);
    glBegin(GL_TRIANGLES);
    ForEachTriangle(mesh, [&](int, int a, int b, int c) {
        const ON_3fVector n = FaceNormal(mesh, a, b, c);
        for (const int v : {a, b, c})
        {
            const ON_3fVector& vn = vertex_normals ? mesh.m_N[v] : n;
            glNormal3f(vn.x, vn.y, vn.z);
            glVertex3f(mesh.m_V[v].x, mesh.m_V[v].y, mesh.m_V[v].z);
        }
    });
    glEnd();
    if (transparent)
        glDisable(GL_BLEND);
    EndLighting();
}

bool CDezazDisplayPipeline::DrawFalseColourMesh(const ON_Mesh& mesh)
{
    if (!mesh.HasVertexColors())
        return false;
    EndLighting();
    glShadeModel(GL_SMOOTH);
    glBegin(GL_TRIANGLES);
    ForEachTriangle(mesh, [&](int, int a, int b, int c) {
        for (const int v : {a, b, c})
        {
            Colour(mesh.m_C[v]);
            glVertex3f(mesh.m_V[v].x, mesh.m_V[v].y, mesh.m_V[v].z);
        }
    });
    glEnd();
    return true;
}

void CDezazDisplayPipeline::DrawMeshWires(const ON_Mesh& mesh, ON_Color colour)
{
    EndLighting();
    Colour(colour);
    const int n = mesh.VertexCount();
    glBegin(GL_LINES);
    for (int f = 0; f < mesh.FaceCount(); ++f)
    {
        const ON_MeshFace& face = mesh.m_F[f];
        if (!face.IsValid(n))
            continue;
        const int corners = face.IsQuad() ? 4 : 3;
        for (int i = 0; i < corners; ++i)
        {
            const ON_3fPoint& p = mesh.m_V[face.vi[i]];
            const ON_3fPoint& q = mesh.m_V[face.vi[(i + 1) % corners]];
            glVertex3f(p.x, p.y, p.z);
            glVertex3f(q.x, q.y, q.z);
        }
    }
    glEnd();
}

void CDezazDisplayPipeline::DrawCurve(const ON_Curve& curve, ON_Color colour, int thickness)
{
    const int spans = curve.SpanCount();
    if (spans <= 0)
        return;
    std::vector<double> bounds(static_cast<std::size_t>(spans) + 1);
    if (!curve.GetSpanVector(bounds.data()))
        return;
    const int pieces = curve.Degree() <= 1 ? 1 : kSegmentsPerSpan;
    EndLighting();
    glLineWidth(static_cast<GLfloat>(std::max(1, thickness)));
    Colour(colour);
    glBegin(GL_LINE_STRIP);
    for (int s = 0; s < spans; ++s)
        for (int i = s == 0 ? 0 : 1; i <= pieces; ++i)
        {
            const double t = bounds[s] + (bounds[s + 1] - bounds[s]) * i / pieces;
            const ON_3dPoint p = curve.PointAt(t);
            glVertex3d(p.x, p.y, p.z);
        }
    glEnd();
    glLineWidth(1.0f);
}

void CDezazDisplayPipeline::DrawLine(const ON_3dPoint& from, const ON_3dPoint& to, ON_Color colour, int thickness)
{
    EndLighting();
    glLineWidth(static_cast<GLfloat>(std::max(1, thickness)));
    Colour(colour);
    glBegin(GL_LINES);
    glVertex3d(from.x, from.y, from.z);
    glVertex3d(to.x, to.y, to.z);
    glEnd();
    glLineWidth(1.0f);
}

void CDezazDisplayPipeline::DrawPoint(const ON_3dPoint& point, ON_Color colour, int size)
{
    EndLighting();
    glPointSize(static_cast<GLfloat>(std::max(1, size)));
    Colour(colour);
    glBegin(GL_POINTS);
    glVertex3d(point.x, point.y, point.z);
    glEnd();
    glPointSize(1.0f);
}

void CDezazDisplayPipeline::DrawDot(const ON_3dPoint& point, const wchar_t* text, ON_Color dot_colour,
                                    ON_Color text_colour, bool always_on_top)
{
    if (!text || !*text)
        return;
    m_dots.push_back({m_xform ? *m_xform * point : point, text, dot_colour, text_colour, always_on_top});
}
