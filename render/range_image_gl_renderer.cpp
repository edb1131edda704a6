#include "render/range_image_gl_renderer.h"

#include "core/decorator_object.h"
#include "core/geometry_iterators.h"
#include "core/mesh_triangle.h"
#include "core/scene_object.h"
#include "render/gl_draw_cache.h"
#include "render/gl_renderer.h"

bool cRIDataGLRenderer::AttachObject(ISceneObject* object)
{
    auto* data = object ? static_cast<IRangeImageData*>(object->QueryInterface(IID_IRangeImageData)) : nullptr;
    if (!data)
        return false;
    m_object = object;
    m_data = data;
    m_decorator = &object->GetDecoratorConst();
    return true;
}

std::uint32_t cRIDataGLRenderer::Render(const stDrawContext& context)
{
    if (!m_data || !m_decorator)
        return 0;
    m_context = context;
    const std::uint32_t flags = m_decorator->m_flags, mode = m_decorator->m_mode;
    const bool cache = context.useRangeImageCache && context.renderer;
    std::uint32_t result = 0;
    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_POLYGON_BIT | GL_LIGHTING_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_CURRENT_BIT | GL_LINE_BIT | GL_POINT_BIT);
    if (flags & kDecoratorSeeThrough)
    {
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glEnable(GL_BLEND);
        glDepthMask(GL_FALSE);
    }
    if ((flags & kDecoratorBoundaries) || (mode & kDisplayWireframe))
    {
        glPolygonOffset(1.0f, 1.0f);
        glEnable(GL_POLYGON_OFFSET_FILL);
    }
    glEnable(GL_LIGHTING);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel((mode & kDisplayFlat) ? GL_FLAT : GL_SMOOTH);
    if (mode & (kDisplayFlat | kDisplaySmooth))
        result = RunCachedPass(m_object, kSolidCache, context.renderer, cache,
                               [&](std::uint8_t& done) { return DrawSolid(context.timeBudget, &done); });
    else if (mode & kDisplayPoints)
        result = RunCachedPass(m_object, kPointsCache, context.renderer, cache,
                               [&](std::uint8_t& done) { return DrawPoints(context.timeBudget, &done); });
    if (flags & kDecoratorBoundaries)
        RunCachedPass(m_object, kBoundariesCache, context.renderer, cache,
                      [&](std::uint8_t& done) { return DrawBoundaries(context.timeBudget, &done); });
    if (mode & kDisplayWireframe)
        RunCachedPass(m_object, kWireframeCache, context.renderer, cache,
                      [&](std::uint8_t& done) { return DrawWireframe(context.timeBudget, &done); });
    glPopAttrib();
    return result;
}

std::uint32_t cRIDataGLRenderer::DrawSolid(std::uint32_t budget, std::uint8_t* complete)
{
    *complete = 1;
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, m_decorator->m_colours[kDecoratorFront]);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, m_decorator->m_colours[kDecoratorBack]);
    std::unique_ptr<ITriIterator> triangles = m_data->CreateTriIterator();
    if (!triangles)
        return 0;
    const DWORD start = m_context.Now();
    const bool flat = (m_decorator->m_mode & kDisplayFlat) != 0;
    std::uint32_t index = 0;
    DWORD elapsed = 0;
    bool stopped = false;
    glBegin(GL_TRIANGLES);
    for (triangles->First(); !triangles->IsDone(); triangles->Next(), ++index)
    {
        if (index % kTriangleCheckInterval == 0)
        {
            elapsed = m_context.Now() - start;
            if (elapsed > budget)
            {
                stopped = true;
                break;
            }
        }
        const tTriangle<cVertex>* triangle = triangles->GetTriangle();
        if (flat)
            glNormal3f(triangle->nx, triangle->ny, triangle->nz);
        for (const cVertex* corner : triangle->corner)
        {
            if (!flat)
                glNormal3fv(corner->Normal());
            glVertex3fv(corner->Position());
        }
    }
    glEnd();
    if (stopped)
    {
        *complete = 0;
        return elapsed;
    }
    return 0;
}

std::uint32_t cRIDataGLRenderer::DrawPoints(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    std::unique_ptr<IPointsIterator> points = m_data->CreatePointsIterator();
    if (!points)
        return 0;
    glDisable(GL_LIGHTING);
    glPointSize(m_decorator->m_pointSize < 0.0f ? 1.5f : m_decorator->m_pointSize);
    glColor4fv(m_decorator->m_colours[kDecoratorFront]);
    glBegin(GL_POINTS);
    for (points->First(); !points->IsDone(); points->Next())
        glVertex3fv(points->GetVertex()->Position());
    glEnd();
    return 0;
}

std::uint32_t cRIDataGLRenderer::DrawBoundaries(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    return 0;
}

std::uint32_t cRIDataGLRenderer::DrawWireframe(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    std::unique_ptr<ITriIterator> triangles = m_data->CreateTriIterator();
    if (!triangles)
        return 0;
    glDisable(GL_LIGHTING);
    glLineWidth(m_decorator->m_lineWidths[0]);
    glColor4fv(m_decorator->m_colours[kDecoratorWireframe]);
    glBegin(GL_LINES);
    for (triangles->First(); !triangles->IsDone(); triangles->Next())
    {
        const tTriangle<cVertex>* triangle = triangles->GetTriangle();
        for (int k = 0; k < 3; ++k)
        {
            glVertex3fv(triangle->corner[k]->Position());
            glVertex3fv(triangle->corner[(k + 1) % 3]->Position());
        }
    }
    glEnd();
    return 0;
}
