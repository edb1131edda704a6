#include "render/gl_state_cache.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

using namespace testrender;

namespace
{

int g_calls = 0;
int g_value = 0;

TEST(GLStateCache, OnlyRealChangesReachGl)
{
    g_value = 5;
    g_calls = 0;
    tGLStateCache<int> cache([] { return g_value; }, [](const int& v) {
        ++g_calls;
        g_value = v;
    });
    cache.Load();
    cache.Set(5);
    EXPECT_EQ(g_calls, 0) << "the value GL already has";
    cache.Set(7);
    cache.Set(7);
    EXPECT_EQ(g_calls, 1);
    cache.Restore();
    EXPECT_EQ(g_value, 5);
    EXPECT_EQ(g_calls, 2);
    cache.Restore();
    EXPECT_EQ(g_calls, 2);

    tGLStateCache<int> unloaded([] { return g_value; }, [](const int& v) {
        ++g_calls;
        g_value = v;
    });
    unloaded.Set(0);
    EXPECT_EQ(g_calls, 3) << "without a loaded value the first set always goes to GL";
}

TEST(GLStateCache, RecordsReadAndRestoreTheirGlState)
{
    RendererWindow window(8, 8);
    ASSERT_TRUE(window.Ok());
    glShadeModel(GL_FLAT);
    glLineWidth(2.5f);
    glPolygonMode(GL_FRONT, GL_LINE);
    glPolygonMode(GL_BACK, GL_POINT);
    glPixelTransferf(GL_GREEN_BIAS, 0.25f);

    cShadeModelCache shade;
    cLineWidthCache width;
    cPolygonModeCache polygon;
    cPixelTransferCache transfer;
    cDepthFuncCache depth;
    cBlendFuncCache blend;
    cPolygonOffsetCache offset;
    cDepthMaskCache mask;
    cMatrixModeCache matrix;
    shade.Load();
    width.Load();
    polygon.Load();
    transfer.Load();
    depth.Load();
    blend.Load();
    offset.Load();
    mask.Load();
    matrix.Load();
    EXPECT_EQ(shade.GetSaved(), GLenum(GL_FLAT));
    EXPECT_EQ(polygon.GetSaved().second, GLenum(GL_POINT));
    EXPECT_FLOAT_EQ(transfer.GetSaved()[5], 0.25f);

    shade.Set(GL_SMOOTH);
    width.Set(1.0f);
    polygon.Set({GL_FILL, GL_FILL});
    transfer.Set({1, 1, 1, 1, 0, 0, 0, 0});
    depth.Set(GL_ALWAYS);
    blend.Set({GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA});
    offset.Set({1.0f, 1.0f});
    mask.Set(GL_FALSE);
    matrix.Set(GL_PROJECTION);
    EXPECT_EQ(glstate::GetInt(GL_SHADE_MODEL), GL_SMOOTH);
    EXPECT_EQ(glstate::GetInt(GL_DEPTH_FUNC), GL_ALWAYS);

    shade.Restore();
    width.Restore();
    polygon.Restore();
    transfer.Restore();
    depth.Restore();
    blend.Restore();
    offset.Restore();
    mask.Restore();
    matrix.Restore();
    EXPECT_EQ(glstate::GetInt(GL_SHADE_MODEL), GL_FLAT);
    EXPECT_FLOAT_EQ(glstate::GetFloat(GL_LINE_WIDTH), 2.5f);
    GLint modes[2] = {};
    glGetIntegerv(GL_POLYGON_MODE, modes);
    EXPECT_EQ(modes[0], GL_LINE);
    EXPECT_EQ(modes[1], GL_POINT);
    EXPECT_FLOAT_EQ(glstate::GetFloat(GL_GREEN_BIAS), 0.25f);
    EXPECT_EQ(glstate::GetInt(GL_DEPTH_FUNC), GL_LEQUAL);
    EXPECT_EQ(glstate::GetInt(GL_MATRIX_MODE), GL_MODELVIEW);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
