#include "render/triangle_selection.h"

#include "core/mesh.h"
#include "platform/wgl/wgl.h"
#include "render/base_renderer.h"

#include <algorithm>
#include <vector>

namespace
{

struct Region
{
    LONG left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
};

Region Intersect(const Region& a, const Region& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

const std::uint32_t* MaskRow(const stSelectionMask& mask, int row)
{
    return reinterpret_cast<const std::uint32_t*>(reinterpret_cast<const std::uint8_t*>(mask.pixels) +
                                                  std::size_t(row) * std::size_t(mask.stride));
}

// The bounding box of the mask's non-zero pixels in client coordinates.
Region PaintedBox(const stSelectionMask& mask, LONG originX, LONG originY)
{
    LONG left = 0x7FFFFFFF, top = 0x7FFFFFFF, right = -0x7FFFFFFF, bottom = -0x7FFFFFFF;
    for (int y = 0; y < mask.height; ++y)
    {
        const std::uint32_t* row = MaskRow(mask, y);
        for (int x = 0; x < mask.width; ++x)
        {
            if (!row[x])
                continue;
            left = std::min<LONG>(left, x);
            right = std::max<LONG>(right, x + 1);
            top = std::min<LONG>(top, y);
            bottom = std::max<LONG>(bottom, y + 1);
        }
    }
    if (right < left)
        return {};
    return {left + originX, top + originY, right + originX, bottom + originY};
}

// Projects world points to client pixels the way the renderer draws them.
class ClientProjection
{
public:
    explicit ClientProjection(cBase3DRenderer& renderer) : m_renderer(renderer)
    {
        renderer.GetViewport(&m_viewport);
        m_perspective = renderer.IsPerspective();
    }

    POINT operator()(const float world[3]) const
    {
        float view[3];
        m_renderer.ProjectPoint(view, world, true);
        POINT p{};
        if (m_perspective)
            m_renderer.WorldToScreen(view[0], view[1], &p);
        else
            m_renderer.WorldToRectPoint(m_viewport, view[0], view[1], &p);
        return p;
    }

    const RECT& Viewport() const { return m_viewport; }

private:
    cBase3DRenderer& m_renderer;
    RECT m_viewport{};
    bool m_perspective = false;
};

} // namespace

bool SelectTrianglesInFrameBuffer(cMesh& mesh, const stSelectionMask& mask, const RECT* clip,
                                  cBase3DRenderer& renderer, std::uint8_t flagBits, bool frontOnly,
                                  std::uint32_t first, std::uint32_t span)
{
    const std::uint32_t triangleCount = mesh.GetTriangleCount();
    if (!mask.pixels || mask.width <= 0 || mask.height <= 0 || mask.stride < 4 * mask.width || flagBits == 0 ||
        first >= triangleCount)
        return false;
    // The ids the window names: no more than the triangles from its first.
    const std::uint32_t ids = std::min({span, kMaxColourIdTriangles, triangleCount - first});

    const LONG originX = LONG(mask.originX);
    const LONG originY = LONG(mask.originY);
    const Region maskRect{originX, originY, originX + mask.width, originY + mask.height};
    Region region = clip ? Intersect(Region{clip->left, clip->top, clip->right, clip->bottom}, maskRect)
                         : PaintedBox(mask, originX, originY);
    // Pixels outside the viewport hold no ids of this frame.
    const ClientProjection project(renderer);
    const RECT& viewport = project.Viewport();
    const LONG clientHeight = viewport.bottom;
    region = Intersect(region, Region{viewport.left, 0, viewport.right, clientHeight - viewport.top});
    if (region.Empty())
        return false;

    const int width = int(region.right - region.left);
    const int height = int(region.bottom - region.top);
    std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * 3);
    {
        const GLenum names[5] = {GL_PACK_SWAP_BYTES, GL_PACK_ALIGNMENT, GL_PACK_SKIP_PIXELS, GL_PACK_SKIP_ROWS,
                                 GL_PACK_ROW_LENGTH};
        const GLint values[5] = {0, 1, 0, 0, 0};
        GLint saved[5] = {};
        GLint readBuffer = GL_BACK;
        glGetIntegerv(GL_READ_BUFFER, &readBuffer);
        for (int i = 0; i < 5; ++i)
        {
            glGetIntegerv(names[i], &saved[i]);
            glPixelStorei(names[i], values[i]);
        }
        glReadBuffer(GL_BACK);
        // GL rows count from the bottom of the window.
        glReadPixels(region.left, clientHeight - region.bottom, width, height, GL_RGB, GL_UNSIGNED_BYTE,
                     pixels.data());
        glReadBuffer(GLenum(readBuffer));
        for (int i = 0; i < 5; ++i)
            glPixelStorei(names[i], saved[i]);
    }

    auto maskAt = [&](LONG x, LONG y) { return MaskRow(mask, int(y - originY))[x - originX] != 0; };

    bool marked = false;
    std::vector<cMeshTriangle*> stack;
    for (int row = 0; row < height; ++row)
    {
        // Buffer row 0 is the region's bottom row.
        const LONG y = region.bottom - 1 - row;
        const std::uint8_t* rgb = pixels.data() + std::size_t(row) * std::size_t(width) * 3;
        for (int column = 0; column < width; ++column, rgb += 3)
        {
            const LONG x = region.left + column;
            if (!maskAt(x, y))
                continue;
            const std::uint32_t id = std::uint32_t(rgb[0]) | std::uint32_t(rgb[1]) << 8 | std::uint32_t(rgb[2]) << 16;
            if (id == 0 || id > ids)
                continue;
            cMeshTriangle* triangle = mesh.GetTriangle(first + id - 1);
            if ((triangle->flags & flagBits) == flagBits)
                continue;
            triangle->flags |= flagBits;
            marked = true;
            stack.push_back(triangle);
        }
    }

    const double* view = renderer.GetViewTransform();
    const float towardsEye[3] = {float(view[8]), float(view[9]), float(view[10])};
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    while (!stack.empty())
    {
        cMeshTriangle* triangle = stack.back();
        stack.pop_back();
        for (cMeshTriangle* neighbour : triangle->neighbour)
        {
            // Hidden triangles are never marked, not even by growth.
            if (!neighbour || (neighbour->flags & flagBits) == flagBits || (neighbour->flags & kTriangleFlagHidden))
                continue;
            if (frontOnly && neighbour->nx * towardsEye[0] + neighbour->ny * towardsEye[1] +
                                     neighbour->nz * towardsEye[2] <
                                 0.0f)
                continue;
            float centre[3] = {0.0f, 0.0f, 0.0f};
            bool inside = true;
            for (std::uint32_t index : neighbour->vertexIndex)
            {
                if (index >= vertexCount)
                {
                    inside = false;
                    break;
                }
                const cVertex* v = mesh.GetVertex(index);
                centre[0] += v->x, centre[1] += v->y, centre[2] += v->z;
            }
            if (!inside)
                continue;
            for (float& c : centre)
                c *= 0.3333333432674408f;
            const POINT p = project(centre);
            if (p.x <= region.left || p.x >= region.right || p.y <= region.top || p.y >= region.bottom ||
                !maskAt(p.x, p.y))
                continue;
            neighbour->flags |= flagBits;
            marked = true;
            stack.push_back(neighbour);
        }
    }
    return marked;
}

void DrawMeshIdColoured(const cMesh& mesh, cBase3DRenderer& renderer)
{
    renderer.StampBackBuffer();
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT |
                 GL_DEPTH_BUFFER_BIT);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glDisable(GL_POLYGON_SMOOTH);
    glDisable(GL_POLYGON_STIPPLE);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glShadeModel(GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    renderer.PushViewTransform();
    const std::uint32_t count = std::min(mesh.GetTriangleCount(), kMaxColourIdTriangles);
    const std::uint32_t vertexCount = mesh.GetVertexCount();
    glBegin(GL_TRIANGLES);
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cMeshTriangle* triangle = mesh.GetTriangle(i);
        if ((triangle->flags & kTriangleFlagHidden) || triangle->vertexIndex[0] >= vertexCount ||
            triangle->vertexIndex[1] >= vertexCount || triangle->vertexIndex[2] >= vertexCount)
            continue;
        const std::uint32_t id = i + 1;
        glColor3ub(GLubyte(id & 0xFF), GLubyte((id >> 8) & 0xFF), GLubyte((id >> 16) & 0xFF));
        for (std::uint32_t index : triangle->vertexIndex)
        {
            const cVertex* v = mesh.GetVertex(index);
            glVertex3f(v->x, v->y, v->z);
        }
    }
    glEnd();
    renderer.PopViewTransform();
    glPopAttrib();
}
