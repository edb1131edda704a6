#include "core/decorator_object.h"
#include "core/mesh_object.h"
#include "core/vertex_grid.h"
#include "render/gl_draw_cache.h"
#include "render/grid_gl_renderer.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

using namespace testrender;

namespace
{

constexpr LONG kSize = 64;

// A scene object whose geometry is a scan grid.
class GridObject : public cMeshObject
{
public:
    GridObject() : grid(9, 9)
    {
        for (std::uint32_t r = 0; r < 9; ++r)
            for (std::uint32_t c = 0; c < 9; ++c)
            {
                cVertex* v = grid.GetVertex(grid.IndexOf(r, c));
                v->x = -0.5f + float(c) / 8.0f;
                v->y = -0.5f + float(r) / 8.0f;
                v->z = 0.0f;
                v->nx = v->ny = 0.0f;
                v->nz = 1.0f;
            }
    }
    void* QueryInterface(const GUID& iid) override
    {
        if (iid == IID_cVertexGrid)
            return &grid;
        return cMeshObject::QueryInterface(iid);
    }
    using cMeshObject::QueryInterface;

    cVertexGrid grid;
};

class GridDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        cDecoratorObject& decorator = object.GetDecorator();
        decorator.m_mode = kDisplayFlat;
        decorator.SetColour(kDecoratorFront, 1.0f, 0.0f, 0.0f, 1.0f);
        decorator.SetColour(kDecoratorWireframe, 1.0f, 1.0f, 1.0f, 1.0f);
        context.renderer = &window.Renderer();
    }

    wgl::PixelImage Frame(const std::string& name)
    {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DITHER);
        glDisable(GL_LIGHT0);
        const GLfloat ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        cGridGLRenderer drawer;
        EXPECT_TRUE(drawer.AttachObject(&object));
        drawer.Render(context);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        Snapshot(image, "grid_" + name);
        return image;
    }

    RendererWindow window{kSize, kSize};
    GridObject object;
    stDrawContext context;
};

TEST_F(GridDrawing, CellsFillTheGridAndEmptyCellsLeaveHoles)
{
    EXPECT_EQ(wgl::CountPixels(Frame("solid"), wgl::Rgb(255, 0, 0)), 32u * 32u);
    object.grid.GetVertex(object.grid.IndexOf(4, 4))->flags |= kVertexFlagExcluded;
    // Four cells around the empty vertex go: 4 x 4 x 4 pixels, from a
    // freshly recorded list.
    auto* cache = dynamic_cast<cGLObjectDrawCache*>(object.FindAttachedProperty(cGridGLRenderer::kSolidCache));
    ASSERT_NE(cache, nullptr);
    cache->Delete();
    EXPECT_EQ(wgl::CountPixels(Frame("hole"), wgl::Rgb(255, 0, 0)), 32u * 32u - 64u);
}

TEST_F(GridDrawing, PassesAreReplayedFromTheirListsUntilTheRendererGoes)
{
    const wgl::PixelImage first = Frame("first");
    auto* cache = dynamic_cast<cGLObjectDrawCache*>(object.FindAttachedProperty(cGridGLRenderer::kSolidCache));
    ASSERT_NE(cache, nullptr);
    const GLuint list = cache->GetListId();
    EXPECT_TRUE(glIsList(list));
    // Moving a vertex does not show while the list is valid.
    object.grid.GetVertex(0)->x = -0.9f;
    EXPECT_EQ(wgl::CountDifferences(Frame("replayed"), first), 0u);
    window.Renderer().Release();
    EXPECT_EQ(cache->GetListId(), 0u);

    context.useGridCache = 0;
    RendererWindow other(kSize, kSize);
    ASSERT_TRUE(other.Ok());
    context.renderer = &other.Renderer();
    EXPECT_GT(wgl::CountDifferences(Frame("uncached"), first), 0u);
}

TEST_F(GridDrawing, WireframeAndTheObjectTransform)
{
    object.GetDecorator().m_mode = kDisplayWireframe;
    const wgl::PixelImage wire = Frame("wireframe");
    const auto box = wgl::BoundingBoxOf(wire, wgl::Rgb(255, 255, 255));
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->left, 16, 1);
    EXPECT_NEAR(box->right, 49, 1);

    // The grid's frame moves every pass when the frame asks for it.
    double* frame = const_cast<double*>(object.grid.GetScanFrame());
    frame[3] = 0.25;
    context.objectTransform = 1;
    context.useGridCache = 0;
    const auto moved = wgl::BoundingBoxOf(Frame("transformed"), wgl::Rgb(255, 255, 255));
    ASSERT_TRUE(moved.has_value());
    EXPECT_NEAR(moved->left, 24, 1);
}

} // namespace
