#include "render/mesh_gl_renderer.h"

#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/scene_object.h"
#include "core/triangle_colour_property.h"
#include "platform/win32/clock.h"
#include "render/gl_draw_cache.h"
#include "render/gl_renderer.h"
#include "render/gl_state_cache.h"
#include "render/pixel_coverage.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cstring>
#include <exception>
#include <system_error>
#include <thread>

DWORD stDrawContext::Now() const { return clock ? clock() : GetTickCount(); }

namespace
{

// Draws a triangle of no area through the client arrays in the state the
// solid pass is about to draw in: GL makes its programs for that state now
// (a first frame's first batch waited 5 ms for them), and a triangle of no
// area covers no pixel. The current colour, normal and materials the arrays
// leave behind are put back.
void PrepareSolidPassState(bool vertexColours, bool triangleColours)
{
    static constexpr float kCorners[9] = {};
    static constexpr float kNormals[9] = {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f};
    static constexpr std::uint8_t kColours[12] = {};
    glPushAttrib(GL_CURRENT_BIT | GL_LIGHTING_BIT);
    glVertexPointer(3, GL_FLOAT, 0, kCorners);
    glNormalPointer(GL_FLOAT, 0, kNormals);
    // As the batches give their colours.
    if (triangleColours)
        glColorPointer(4, GL_UNSIGNED_BYTE, 4, kColours);
    else if (vertexColours)
        glColorPointer(3, GL_UNSIGNED_BYTE, 4, kColours);
    glDrawArrays(GL_TRIANGLES, 0, 3);
    glPopAttrib();
}

// Finding what a new view leaves out takes the pool tens of milliseconds on
// a big scan: it runs on a thread of its own meanwhile, while the GL thread
// prepares the pass's state. What it throws is thrown here.
template <class Find> void FindWhilePreparingGL(const Find& find, bool vertexColours, bool triangleColours)
{
    std::exception_ptr thrown;
    std::thread finder;
    try
    {
        finder = std::thread([&] {
            try
            {
                find();
            }
            catch (...)
            {
                thrown = std::current_exception();
            }
        });
    }
    catch (const std::system_error&)
    {
        find(); // no thread to be had
        PrepareSolidPassState(vertexColours, triangleColours);
        return;
    }
    PrepareSolidPassState(vertexColours, triangleColours);
    finder.join();
    if (thrown)
        std::rethrow_exception(thrown);
}

// Vertices that no pass draws: excluded ones (bit 1) and those the ring walk
// has marked (bit 8).
constexpr std::uint32_t kVertexSkipBits = 1 | 8;
constexpr std::uint32_t kVertexSelected = 2;

void SetMaterial(GLenum face, const float colour[4]) { glMaterialfv(face, GL_AMBIENT_AND_DIFFUSE, colour); }

std::uint8_t ToByte(float v)
{
    return std::uint8_t(std::clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

std::array<std::uint8_t, 4> ToBytes(const float colour[4])
{
    return {ToByte(colour[0]), ToByte(colour[1]), ToByte(colour[2]), ToByte(colour[3])};
}

// Tag colours far from each other, from the usual mesh greys and from the
// red and yellow of selections.
constexpr std::uint8_t kTagColours[cMeshGLRenderer::kTagColourCount][3] = {
    {110, 160, 230}, {235, 150, 60}, {175, 110, 215}, {60, 185, 170},
    {225, 205, 70},  {230, 115, 155}, {160, 115, 75}, {140, 175, 110},
};

// FNV-1a over the bytes fed to it.
struct ContentHash
{
    std::uint64_t value = 1469598103934665603ull;
    void Add(std::uint8_t byte) { value = (value ^ byte) * 1099511628211ull; }
    void Add(std::uint32_t word)
    {
        for (int i = 0; i < 4; ++i)
            Add(std::uint8_t(word >> (8 * i)));
    }
    void Add(const float colour[4])
    {
        for (int i = 0; i < 4; ++i)
        {
            std::uint32_t bits;
            std::memcpy(&bits, &colour[i], sizeof bits);
            Add(bits);
        }
    }
};

} // namespace

const std::uint8_t* cMeshGLRenderer::TagColour(std::uint8_t tag)
{
    return kTagColours[(tag == 0 ? 0 : tag - 1) % kTagColourCount];
}

void cMeshGLRenderer::PrepareTriangleColouring(const float front[4])
{
    m_triangleColoured = false;
    const CTriangleColourProperties* tags = TriangleTags();
    if (!tags || !tags->HasColours() || tags->GetCount() == 0)
        return;
    m_colouring.tags = tags->GetData();
    m_colouring.tagCount = std::min(tags->GetCount(), m_mesh->GetTriangleCount());
    const std::array<std::uint8_t, 4> plain = ToBytes(front);
    m_colouring.byTag[0] = plain;
    for (std::uint32_t tag = 1; tag < m_colouring.byTag.size(); ++tag)
    {
        const std::uint8_t* rgb = TagColour(std::uint8_t(tag));
        m_colouring.byTag[tag] = {rgb[0], rgb[1], rgb[2], plain[3]};
    }
    // Marks keep the solid's own alpha: a selection colour without one must
    // not make the marked triangles vanish from a see-through solid.
    m_colouring.selected = ToBytes(m_decorator->m_colours[kDecoratorSelection]);
    m_colouring.selected[3] = plain[3];
    m_triangleColoured = true;
}

std::uint64_t cMeshGLRenderer::SolidContentKey(bool flat, const float front[4]) const
{
    ContentHash hash;
    hash.Add(std::uint8_t(flat));
    hash.Add(std::uint8_t(UsesVertexColours()));
    hash.Add(std::uint8_t(m_triangleColoured));
    hash.Add(front);
    hash.Add(m_decorator->m_colours[kDecoratorBack]);
    hash.Add(m_decorator->m_colours[kDecoratorSelection]);
    const std::uint32_t count = m_mesh->GetTriangleCount();
    hash.Add(count);
    hash.Add(m_mesh->GetVertexCount());
    const std::uint8_t* tags = m_triangleColoured ? m_colouring.tags : nullptr;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        hash.Add(std::uint8_t(m_mesh->GetTriangle(i)->flags & (kTriangleFlagSelected | kTriangleFlagHidden)));
        if (tags)
            hash.Add(i < m_colouring.tagCount ? tags[i] : std::uint8_t(0));
    }
    // A deviation pass writes new colours straight into the vertices.
    if (UsesVertexColours())
        for (std::uint32_t i = 0; i < m_mesh->GetVertexCount(); ++i)
        {
            const cVertex* v = m_mesh->GetVertex(i);
            for (int c = 0; c < 3; ++c)
                hash.Add(v->extra[c]);
        }
    return hash.value;
}

void cMeshGLRenderer::BeginSolid()
{
    if (!UsesVertexColours() && !m_triangleColoured)
        return;
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
}

void cMeshGLRenderer::EndSolid()
{
    if (UsesVertexColours() || m_triangleColoured)
        glDisable(GL_COLOR_MATERIAL);
}

std::uint32_t cMeshGLRenderer::ProgressiveOffset(std::uint32_t k)
{
    return std::uint32_t((std::uint64_t(k) * 38u) % kProgressiveSpacing);
}

bool cMeshGLRenderer::AttachObject(ISceneObject* object)
{
    cMesh* mesh = object ? static_cast<cMesh*>(object->QueryInterface(IID_cMesh)) : nullptr;
    if (!mesh)
        return false;
    m_object = object;
    m_mesh = mesh;
    m_decorator = &object->GetDecoratorConst();
    return true;
}

std::uint32_t cMeshGLRenderer::Render(const stDrawContext& context)
{
    if (!m_mesh || !m_decorator || m_mesh->GetVertexCount() == 0)
        return 0;
    m_context = context;
    const std::uint32_t flags = m_decorator->m_flags, mode = m_decorator->m_mode;
    std::uint8_t complete = 1;
    std::uint32_t result = 0;

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT);
    if (flags & kDecoratorSeeThrough)
    {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
    }
    const bool offset = (flags & kDecoratorBoundaries) || (mode & kDisplayWireframe);
    if (offset)
    {
        glPolygonOffset(1.0f, 1.0f);
        glEnable(GL_POLYGON_OFFSET_FILL);
    }
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    if (mode & (kDisplayFlat | kDisplaySmooth))
        glShadeModel((mode & kDisplayFlat) ? GL_FLAT : GL_SMOOTH);
    // Two-sided opaque objects show their back faces; blended ones never do.
    if ((flags & kDecoratorTwoSided) && !(flags & kDecoratorSeeThrough))
        glDisable(GL_CULL_FACE);
    else
        glEnable(GL_CULL_FACE);

    if (mode & (kDisplayFlat | kDisplaySmooth))
        result = DrawSolid(context.timeBudget, &complete);
    else if (mode & kDisplayPoints)
        result = DrawPoints(context.timeBudget, &complete);

    if (flags & kDecoratorSeeThrough)
    {
        glDisable(GL_BLEND);
        glEnable(GL_DEPTH_TEST);
    }
    if (offset)
        glDisable(GL_POLYGON_OFFSET_FILL);
    if (mode & kDisplayWireframe)
        result = DrawWireframe(context.timeBudget, &complete);
    if (flags & kDecoratorBoundaries)
        result = DrawBoundaries(context.timeBudget, &complete);
    if (flags & kDecoratorBoundingBox)
    {
        if (!m_mesh->IsBoxValid())
            m_mesh->UpdateBoundingBox();
        const float* box = m_mesh->GetBoundingBox();
        glDisable(GL_LIGHTING);
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_LINES);
        for (int edge = 0; edge < 12; ++edge)
        {
            // The 12 edges of the box: along x, y and z from the 4 corners
            // of the other two axes.
            const int axis = edge / 4, a = (axis + 1) % 3, b = (axis + 2) % 3;
            float p[3], q[3];
            p[a] = q[a] = (edge & 1) ? box[3 + a] : box[a];
            p[b] = q[b] = (edge & 2) ? box[3 + b] : box[b];
            p[axis] = box[axis];
            q[axis] = box[3 + axis];
            glVertex3fv(p);
            glVertex3fv(q);
        }
        glEnd();
    }
    glPopAttrib();
    return result;
}

void cMeshGLRenderer::RecordSolidTriangles(bool flat, const float marks[4])
{
    // Display lists take the triangles one call at a time: recorded from
    // client arrays, the list would lose the material change between the
    // plain and the selected triangles.
    const std::uint32_t count = m_mesh->GetTriangleCount();
    const bool colours = UsesVertexColours();
    bool sawSelected = false;
    BeginSolid();
    glBegin(GL_TRIANGLES);
    for (int pass = 0; pass < 2; ++pass)
    {
        if (pass == 1)
        {
            if (!sawSelected)
                break;
            // Materials may change between glBegin and glEnd; the vertices
            // already sent keep theirs.
            SetMaterial(GL_FRONT_AND_BACK, marks);
        }
        for (std::uint32_t i = 0; i < count; ++i)
        {
            const cMeshTriangle* triangle = m_mesh->GetTriangle(i);
            if (triangle->flags & kTriangleFlagHidden)
                continue;
            const bool selected = (triangle->flags & kTriangleFlagSelected) != 0;
            sawSelected = sawSelected || selected;
            if (selected != (pass == 1))
                continue;
            const std::uint32_t vertices = m_mesh->GetVertexCount();
            if (triangle->vertexIndex[0] >= vertices || triangle->vertexIndex[1] >= vertices ||
                triangle->vertexIndex[2] >= vertices)
                continue;
            if (m_triangleColoured)
                glColor4ubv(m_colouring.ColourOf(i, selected));
            if (flat)
                glNormal3fv(triangle->Normal());
            for (int k = 0; k < 3; ++k)
            {
                const cVertex* vertex = m_mesh->GetVertex(triangle->vertexIndex[k]);
                if (!flat)
                    glNormal3fv(vertex->Normal());
                if (colours)
                    glColor3ub(vertex->extra[0], vertex->extra[1], vertex->extra[2]);
                glVertex3fv(vertex->Position());
            }
        }
    }
    glEnd();
    EndSolid();
}

std::uint32_t cMeshGLRenderer::DrawSolidTriangles(std::uint32_t budget, std::uint8_t* complete, bool flat,
                                                  const float marks[4])
{
    cSolidPassPipeline::stRequest request;
    request.mesh = m_mesh;
    request.flat = flat;
    request.colours = UsesVertexColours();
    request.triangleColours = m_triangleColoured ? &m_colouring : nullptr;
    request.budget = budget;
    request.checkInterval = kTriangleCheckInterval;
    request.now = [this] { return std::uint32_t(m_context.Now()); };
    request.start = std::uint32_t(m_context.Now());
    request.beforeSelected = [marks] { SetMaterial(GL_FRONT_AND_BACK, marks); };
    // Most triangles of a big scan fall between pixel centres: GL would set
    // each up only to find it draws nothing.
    stWindowMap view;
    cPixelCoverageCache* cache = nullptr;
    stFragmentRules rules;
    if (CurrentWindowMap(view))
    {
        cache = GetOrCreateAttachedProperty<cPixelCoverageCache>(m_object, cPixelCoverageCache::kName);
        if (budget == 0xFFFFFFFFu)
            CurrentFragmentRules(rules);
    }
    const auto find = [&]
    {
        // Of those that cover one, a closed scan shows its near side only:
        // its far side is culled, or lies behind the near one.
        if (budget == 0xFFFFFFFFu)
            request.drawsNothing = cache->FindDrawingNothing(*m_mesh, view, rules, request.behindOthers).data();
        request.coversNoPixel = cache->Find(*m_mesh, view).data();
    };
    BeginSolid();
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (request.colours || request.triangleColours)
        glEnableClientState(GL_COLOR_ARRAY);
    else
        glDisableClientState(GL_COLOR_ARRAY);
    try
    {
        if (cache && !cache->Holds(*m_mesh, view))
            FindWhilePreparingGL(find, request.colours, request.triangleColours != nullptr);
        else if (cache)
            find();
    }
    catch (...)
    {
        glPopClientAttrib();
        EndSolid();
        throw;
    }
    const std::uint32_t result = m_pipeline.Run(request, complete);
    glPopClientAttrib();
    EndSolid();
    return result;
}

std::uint32_t cMeshGLRenderer::DrawSolid(std::uint32_t budget, std::uint8_t* complete)
{
    *complete = 1;
    float front[4];
    std::copy_n(m_decorator->m_colours[kDecoratorFront], 4, front);
    if (m_decorator->m_flags & kDecoratorSeeThrough)
        front[3] *= 0.5f;
    SetMaterial(GL_FRONT, front);
    SetMaterial(GL_BACK, m_decorator->m_colours[kDecoratorBack]);
    // Marks keep the solid's own alpha, as the tag colouring's do: a
    // selection colour without one would make the marked triangles vanish
    // from a see-through solid.
    float marks[4];
    std::copy_n(m_decorator->m_colours[kDecoratorSelection], 3, marks);
    marks[3] = front[3];
    glDisable(GL_TEXTURE_2D);
    const bool flat = (m_decorator->m_mode & kDisplayFlat) != 0;
    PrepareTriangleColouring(front);

    const bool lists = m_context.useDisplayLists && m_mesh->GetTriangleCount() < kMaxListTriangles &&
                       m_context.renderer != nullptr;
    if (!lists)
    {
        if (auto* cache = dynamic_cast<cGLObjectDrawCache*>(m_object->FindAttachedProperty(kSolidCacheName)))
            cache->Delete();
        return DrawSolidTriangles(budget, complete, flat, marks);
    }
    // The list is recorded without a budget: a partial list would be
    // replayed as the whole object.
    // Marks and tags are written straight into the triangles by the
    // selection tools and sessions, so the list is keyed on them.
    const std::uint64_t key = SolidContentKey(flat, front);
    return RunCachedPass(m_object, kSolidCacheName, m_context.renderer, true, key, [&](std::uint8_t& done) {
        SetMaterial(GL_FRONT, front);
        SetMaterial(GL_BACK, m_decorator->m_colours[kDecoratorBack]);
        RecordSolidTriangles(flat, marks);
        done = 1;
        return std::uint32_t(0);
    });
}

std::uint32_t cMeshGLRenderer::DrawPoints(std::uint32_t budget, std::uint8_t* complete)
{
    *complete = 1;
    const DWORD start = m_context.Now();
    GLfloat previousSize = 1.0f;
    glGetFloatv(GL_POINT_SIZE, &previousSize);
    const float size = m_decorator->m_pointSize < 0.0f ? 1.5f : m_decorator->m_pointSize;
    if (size != previousSize)
        glPointSize(size);
    glPushAttrib(GL_ENABLE_BIT | GL_LIGHTING_BIT | GL_CURRENT_BIT);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    const bool facing = m_context.HasViewDirection();
    if (facing)
        glEnable(GL_LIGHTING);
    else
        glDisable(GL_LIGHTING);
    glColor4fv(m_decorator->m_colours[kDecoratorFront]);
    const bool twoSided = (m_decorator->m_flags & kDecoratorTwoSided) != 0;
    const std::uint32_t stride = m_context.pointStride >= 2 ? std::uint32_t(m_context.pointStride) : 1;
    const float* view = m_context.viewDirection;
    std::uint32_t counted = 0;
    DWORD elapsed = 0;
    bool stopped = false;
    glBegin(GL_POINTS);
    const std::uint32_t vertices = m_mesh->GetVertexCount();
    // The k-th drawn position of the stride's sequence is vertex k x stride.
    const std::uint32_t steps = vertices / stride + (vertices % stride != 0 ? 1 : 0);
    const std::uint32_t spacing = m_context.progressivePoints ? kProgressiveSpacing : 1;
    for (std::uint32_t pass = 0; pass < spacing && !stopped; ++pass)
    {
        for (std::uint32_t step = ProgressiveOffset(pass) % spacing; step < steps; step += spacing)
        {
            const cVertex* vertex = m_mesh->GetVertex(step * stride);
            if (vertex->flags & kVertexSkipBits)
                continue;
            if (m_context.selectedOnly && !(vertex->flags & kVertexSelected))
                continue;
            if (++counted % kPointCheckInterval == 0)
            {
                elapsed = m_context.Now() - start;
                if (elapsed > budget)
                {
                    stopped = true;
                    break;
                }
            }
            if (twoSided)
                glNormal3fv(vertex->Normal());
            else if (facing)
            {
                const float* n = vertex->Normal();
                if (n[0] * view[0] + n[1] * view[1] + n[2] * view[2] <= 0.0f)
                    continue;
                glNormal3fv(n);
            }
            glVertex3fv(vertex->Position());
        }
    }
    glEnd();
    glPopAttrib();
    if (size != previousSize)
        glPointSize(previousSize);
    if (stopped)
    {
        *complete = 0;
        return elapsed;
    }
    return 0;
}

std::uint32_t cMeshGLRenderer::DrawBoundaries(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    cLineWidthCache width;
    width.Load();
    const GLboolean lighting = glIsEnabled(GL_LIGHTING);
    glDisable(GL_LIGHTING);
    width.Set(m_decorator->m_lineWidths[1]);
    glBegin(GL_LINES);
    const std::uint32_t count = m_mesh->GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cMeshTriangle* triangle = m_mesh->GetTriangle(i);
        const bool selected = (triangle->flags & kTriangleFlagSelected) && !(triangle->flags & kTriangleFlagHidden);
        for (int k = 0; k < 3; ++k)
        {
            if (triangle->neighbour[k])
                continue;
            glColor4fv(m_decorator->m_colours[selected ? kDecoratorSelection : kDecoratorBoundary]);
            glVertex3fv(m_mesh->GetVertex(triangle->vertexIndex[k])->Position());
            glVertex3fv(m_mesh->GetVertex(triangle->vertexIndex[(k + 1) % 3])->Position());
        }
    }
    glEnd();
    width.Restore();
    glDepthMask(GL_TRUE);
    if (lighting)
        glEnable(GL_LIGHTING);
    return 0;
}

std::uint32_t cMeshGLRenderer::DrawWireframe(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    const std::uint32_t count = m_mesh->GetTriangleCount();
    if (count == 0)
        return 0;
    glPushAttrib(GL_LINE_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_ENABLE_BIT | GL_CURRENT_BIT);
    glLineWidth(m_decorator->m_lineWidths[0]);
    glShadeModel(GL_FLAT);
    glPolygonMode(GL_FRONT, GL_LINE);
    glDisable(GL_LIGHTING);
    glBegin(GL_LINES);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cMeshTriangle* triangle = m_mesh->GetTriangle(i);
        const bool selected = (triangle->flags & kTriangleFlagSelected) != 0;
        for (int k = 0; k < 3; ++k)
        {
            // Each edge once: from the triangle at the higher address (or
            // the only one on a border).
            const cMeshTriangle* other = triangle->neighbour[k];
            if (other && other > triangle)
                continue;
            const bool edgeSelected = selected || (other && (other->flags & kTriangleFlagSelected));
            glColor4fv(m_decorator->m_colours[edgeSelected ? kDecoratorSelection : kDecoratorWireframe]);
            glVertex3fv(m_mesh->GetVertex(triangle->vertexIndex[k])->Position());
            glVertex3fv(m_mesh->GetVertex(triangle->vertexIndex[(k + 1) % 3])->Position());
        }
    }
    glEnd();
    glPopAttrib();
    return 0;
}

