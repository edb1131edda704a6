#include "render/arb_cache.h"
#include "render/sw_frame_buffer_cache.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <string>

using namespace testrender;

namespace
{

// Runs each test once with the buffer-region extension and once without
// (the software tile cache).
class FrameBufferCache : public ::testing::TestWithParam<wgl::BufferRegionSupport>
{
protected:
    void SetUp() override { wgl::SetBufferRegionSupport(GetParam()); }
    void TearDown() override { wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available); }
    bool UsesArb() const { return GetParam() == wgl::BufferRegionSupport::Available; }
};

void Poison()
{
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    glClearDepth(0.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

TEST_P(FrameBufferCache, ARestoredLevelEqualsAFullRedraw)
{
    const LONG width = 600, height = 530; // two tiles each way for the software cache
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    ASSERT_NE(renderer.GetLevelCache(), nullptr);
    EXPECT_EQ(dynamic_cast<cARBCache*>(renderer.GetLevelCache()) != nullptr, UsesArb());

    DrawTestScene(width, height);
    const wgl::PixelImage drawn = wgl::ReadGlPixels(0, 0, width, height);
    const double depthInside = wgl::ReadGlDepth(150, 150);
    renderer.SaveLevel(0, true);
    EXPECT_EQ(renderer.GetLevelCache()->GetValidLevelCount(), 1u);

    Poison();
    renderer.RestoreLevel(0, true);
    const wgl::PixelImage restored = wgl::ReadGlPixels(0, 0, width, height);
    Snapshot(restored, std::string("level_restore_") + (UsesArb() ? "arb" : "software"));
    EXPECT_EQ(wgl::CountDifferences(drawn, restored), 0u);
    if (UsesArb())
    {
        EXPECT_DOUBLE_EQ(wgl::ReadGlDepth(150, 150), depthInside) << "regions keep depth too";
    }

    // The restored picture is the level: drawing it again gives the same.
    DrawTestScene(width, height);
    EXPECT_EQ(wgl::CountDifferences(wgl::ReadGlPixels(0, 0, width, height), restored), 0u);
}

TEST_P(FrameBufferCache, ARestoreAfterAResizeIsRefused)
{
    RendererWindow window(200, 150);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    DrawTestScene(200, 150);
    renderer.SaveLevel(0, true);
    renderer.SaveLevel(1, true);
    EXPECT_EQ(renderer.GetLevelCache()->GetValidLevelCount(), 2u);

    window.Resize(180, 150);
    EXPECT_EQ(renderer.GetLevelCache()->GetValidLevelCount(), 0u);
    Poison();
    renderer.RestoreLevel(0, true);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, 180, 150);
    EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 0, 255)), 180u * 150u) << "a stale level must not be drawn";
}

TEST_P(FrameBufferCache, ValidLevelsCountFromLevelZeroAndLevelsBeyondTheCountAreIgnored)
{
    RendererWindow window(64, 64);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    IFrameBufferCache* cache = renderer.GetLevelCache();
    DrawTestScene(64, 64);
    renderer.SaveLevel(1, true);
    EXPECT_EQ(cache->GetValidLevelCount(), 0u) << "level 1 alone does not count";
    renderer.SaveLevel(0, true);
    EXPECT_EQ(cache->GetValidLevelCount(), 2u);
    renderer.SaveLevel(5, true);
    renderer.RestoreLevel(5, true);
    EXPECT_EQ(cache->GetValidLevelCount(), 2u);

    const std::wstring name = UsesArb() ? L"ARBCache" : L"SWFrameBufferCache";
    EXPECT_EQ(cache->GetInfoText(), name + L"\nOverlays: 2\nCurrent cached level: 2");
    std::wstring info;
    renderer.GetInfoText(&info);
    EXPECT_NE(info.find(L"Cache implementation: " + name + L"\n"), std::wstring::npos);
    EXPECT_NE(info.find(L"Canvas object: 256x256\n\n"), std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(BothCaches, FrameBufferCache,
                         ::testing::Values(wgl::BufferRegionSupport::Available,
                                           wgl::BufferRegionSupport::Unavailable),
                         [](const auto& info) {
                             return info.param == wgl::BufferRegionSupport::Available ? "BufferRegions"
                                                                                      : "TextureTiles";
                         });

TEST(ARBCache, AFailedSaveLeavesTheLevelInvalid)
{
    RendererWindow window(64, 64);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    ASSERT_NE(dynamic_cast<cARBCache*>(renderer.GetLevelCache()), nullptr);
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::FailingSaves);
    renderer.SaveLevel(0, true);
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
    EXPECT_EQ(renderer.GetLevelCache()->GetValidLevelCount(), 0u);
    renderer.SaveLevel(0, true);
    EXPECT_EQ(renderer.GetLevelCache()->GetValidLevelCount(), 1u);
}

TEST(ARBCache, InitFailsWithoutTheExtension)
{
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Unavailable);
    EXPECT_FALSE(HasBufferRegionExtension());
    cARBCache cache;
    EXPECT_FALSE(cache.Init(nullptr, 2));
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
    EXPECT_TRUE(HasBufferRegionExtension());
}

TEST(SWFrameBufferCache, TilesCoverTheViewportAndTooManyAreRefused)
{
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Unavailable);
    RendererWindow window(1000, 600);
    wgl::SetBufferRegionSupport(wgl::BufferRegionSupport::Available);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    auto* cache = dynamic_cast<cSWFrameBufferCache*>(renderer.GetLevelCache());
    ASSERT_NE(cache, nullptr);
    renderer.SaveLevel(0, true);
    ASSERT_NE(cache->GetLevelCache(0), nullptr);
    EXPECT_EQ(cache->GetLevelCache(0)->GetTextureCount(), 4u);

    // A viewport of 32 x 9 tiles would overrun the 256 texture ids: the
    // level is refused and counts as invalid.
    renderer.SetViewport(0, 0, 16384, 4608);
    renderer.SaveLevel(0, true);
    EXPECT_EQ(cache->GetLevelCache(0)->GetTextureCount(), 0u);
    EXPECT_EQ(cache->GetValidLevelCount(), 0u);
}

} // namespace
