#include "render/grid_gl_renderer.h"

#include "core/decorator_object.h"
#include "core/scene_object.h"
#include "core/vertex_grid.h"
#include "render/gl_draw_cache.h"
#include "render/gl_renderer.h"

namespace
{

const cVertex* At(const cVertexGrid* grid, std::uint32_t r, std::uint32_t c)
{
    return grid->GetVertex(grid->IndexOf(r, c));
}

} // namespace

bool cGridGLRenderer::AttachObject(ISceneObject* object)
{
    auto* grid = object ? static_cast<cVertexGrid*>(object->QueryInterface(IID_cVertexGrid)) : nullptr;
    if (!grid)
        return false;
    m_object = object;
    m_grid = grid;
    m_decorator = &object->GetDecoratorConst();
    return true;
}

template <class TPass> std::uint32_t cGridGLRenderer::Pass(const wchar_t* cache, TPass&& pass)
{
    if (m_context.objectTransform)
    {
        const double* t = m_grid->GetScanFrame();
        const GLdouble matrix[16] = {t[0], t[4], t[8], 0.0, t[1], t[5], t[9],  0.0,
                                     t[2], t[6], t[10], 0.0, t[3], t[7], t[11], 1.0};
        glPushMatrix();
        glMultMatrixd(matrix);
    }
    const std::uint32_t result =
        RunCachedPass(m_object, cache, m_context.renderer, m_context.useGridCache && m_context.renderer, pass);
    if (m_context.objectTransform)
        glPopMatrix();
    return result;
}

std::uint32_t cGridGLRenderer::Render(const stDrawContext& context)
{
    if (!m_grid || !m_decorator || m_grid->GetRows() < 1 || m_grid->GetCols() < 1)
        return 0;
    m_context = context;
    const std::uint32_t flags = m_decorator->m_flags, mode = m_decorator->m_mode;
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
        result = Pass(kSolidCache, [&](std::uint8_t& done) { return DrawSolid(context.timeBudget, &done); });
    else if (mode & kDisplayPoints)
        result = Pass(kPointsCache, [&](std::uint8_t& done) { return DrawPoints(context.timeBudget, &done); });
    if (flags & kDecoratorBoundaries)
        Pass(kBoundariesCache, [&](std::uint8_t& done) { return DrawBoundaries(context.timeBudget, &done); });
    if (mode & kDisplayWireframe)
        Pass(kWireframeCache, [&](std::uint8_t& done) { return DrawWireframe(context.timeBudget, &done); });
    glPopAttrib();
    return result;
}

std::uint32_t cGridGLRenderer::DrawSolid(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    glMaterialfv(GL_FRONT, GL_AMBIENT_AND_DIFFUSE, m_decorator->m_colours[kDecoratorFront]);
    glMaterialfv(GL_BACK, GL_AMBIENT_AND_DIFFUSE, m_decorator->m_colours[kDecoratorBack]);
    const std::uint32_t rows = m_grid->GetRows(), cols = m_grid->GetCols();
    for (std::uint32_t c = 0; c + 1 < cols; ++c)
    {
        // A strip runs down a pair of columns and breaks at empty cells.
        bool open = false;
        for (std::uint32_t r = 0; r < rows; ++r)
        {
            const cVertex* a = At(m_grid, r, c);
            const cVertex* b = At(m_grid, r, c + 1);
            if (a->IsExcluded() || b->IsExcluded())
            {
                if (open)
                    glEnd();
                open = false;
                continue;
            }
            if (!open)
            {
                glBegin(GL_QUAD_STRIP);
                open = true;
            }
            glNormal3fv(a->Normal());
            glVertex3fv(a->Position());
            glNormal3fv(b->Normal());
            glVertex3fv(b->Position());
        }
        if (open)
            glEnd();
    }
    return 0;
}

std::uint32_t cGridGLRenderer::DrawPoints(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    glDisable(GL_LIGHTING);
    glPointSize(m_decorator->m_pointSize < 0.0f ? 1.5f : m_decorator->m_pointSize);
    glColor4fv(m_decorator->m_colours[kDecoratorFront]);
    glBegin(GL_POINTS);
    const std::uint32_t count = m_grid->GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex* v = m_grid->GetVertex(i);
        if (!v->IsExcluded())
            glVertex3fv(v->Position());
    }
    glEnd();
    return 0;
}

std::uint32_t cGridGLRenderer::DrawBoundaries(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    return 0;
}

std::uint32_t cGridGLRenderer::DrawWireframe(std::uint32_t, std::uint8_t* complete)
{
    *complete = 1;
    glDisable(GL_LIGHTING);
    glLineWidth(m_decorator->m_lineWidths[0]);
    glColor4fv(m_decorator->m_colours[kDecoratorWireframe]);
    const std::uint32_t rows = m_grid->GetRows(), cols = m_grid->GetCols();
    glBegin(GL_LINES);
    for (std::uint32_t c = 0; c < cols; ++c)
        for (std::uint32_t r = 0; r < rows; ++r)
        {
            const cVertex* a = At(m_grid, r, c);
            if (a->IsExcluded())
                continue;
            if (r + 1 < rows && !At(m_grid, r + 1, c)->IsExcluded())
            {
                glVertex3fv(a->Position());
                glVertex3fv(At(m_grid, r + 1, c)->Position());
            }
            if (c + 1 < cols && !At(m_grid, r, c + 1)->IsExcluded())
            {
                glVertex3fv(a->Position());
                glVertex3fv(At(m_grid, r, c + 1)->Position());
            }
        }
    glEnd();
    return 0;
}
