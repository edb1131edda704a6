#include "core/mesh_object.h"
#include "render/rgb_image.h"
#include "render/texture_map.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

using namespace testrender;

namespace
{

// A scene object that shows an RGB image.
class ImageObject : public cMeshObject, public IRGBImageObject
{
public:
    void* QueryInterface(const GUID& iid) override
    {
        if (iid == IID_IRGBImageObject)
            return static_cast<IRGBImageObject*>(this);
        return cMeshObject::QueryInterface(iid);
    }
    using cMeshObject::QueryInterface;
    const cRGBImage* GetImage() const override { return &image; }
    bool ShowsOutlines() const override { return outlines; }

    cRGBImage image;
    bool outlines = false;
};

TEST(TextureMap, ImagesAreCutInto512PixelTilesFromTheTopLeft)
{
    RendererWindow window(16, 16);
    ASSERT_TRUE(window.Ok());
    ImageObject object;
    ASSERT_TRUE(object.image.Resize(1000, 700, 4));
    cTextureMap* map = GetOrCreateAttachedProperty<cTextureMap>(&object, cTextureMap::kName);
    ASSERT_NE(map, nullptr);
    map->SetRenderer(&window.Renderer());
    const auto& tiles = map->CreateTiles(&object.image);
    ASSERT_EQ(tiles.size(), 4u);
    EXPECT_EQ(tiles[1].x0, 512);
    EXPECT_EQ(tiles[1].x1, 1000);
    EXPECT_FLOAT_EQ(tiles[1].s1, 488.0f / 512.0f);
    EXPECT_FLOAT_EQ(tiles[0].t0, 0.0f);
    EXPECT_EQ(tiles[2].y0, 512);
    EXPECT_FLOAT_EQ(tiles[2].t0, 1.0f - 188.0f / 512.0f);
    EXPECT_FLOAT_EQ(tiles[3].t1, 1.0f);
    for (const auto& tile : tiles)
        EXPECT_TRUE(glIsTexture(tile.texture));

    // The renderer's release takes the textures with it.
    const GLuint first = tiles[0].texture;
    window.Renderer().MakeCurrent();
    window.Renderer().m_releaseEvent.Fire(&window.Renderer());
    EXPECT_FALSE(glIsTexture(first));
    EXPECT_EQ(map->FindTiles(&object.image), nullptr);
}

TEST(TextureMap, TheImageDrawerShowsEveryPixelExactlyWithRowZeroAtTheTop)
{
    const LONG width = 40, height = 30;
    RendererWindow window(width, height);
    ASSERT_TRUE(window.Ok());
    ImageObject object;
    ASSERT_TRUE(object.image.Resize(width, height, 4));
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x)
        {
            std::uint8_t* p = object.image.Row(std::uint32_t(y)) + x * 3;
            p[0] = std::uint8_t(6 * x);   // blue
            p[1] = std::uint8_t(8 * y);   // green
            p[2] = std::uint8_t(250 - x); // red
        }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.5, width - 0.5, height - 0.5, -0.5, -2, 2);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    cRGBImageGLRenderer drawer;
    ASSERT_TRUE(drawer.AttachObject(&object));
    cMeshObject plain;
    EXPECT_FALSE(cRGBImageGLRenderer().AttachObject(&plain));
    stDrawContext context;
    context.renderer = &window.Renderer();
    drawer.Render(context);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    SwapBuffers(window.Renderer().GetDeviceContext());
    const wgl::PixelImage shown = wgl::ReadWindowImage(window.Window());
    Snapshot(shown, "rgb_image_tiles");
    std::size_t wrong = 0;
    for (LONG y = 0; y < height; ++y)
        for (LONG x = 0; x < width; ++x)
            wrong += !wgl::SameColour(shown.At(x, y), wgl::Rgb(std::uint8_t(250 - x), std::uint8_t(8 * y),
                                                                std::uint8_t(6 * x)));
    EXPECT_EQ(wrong, 0u);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

} // namespace
