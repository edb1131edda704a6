#include "core/decorator_object.h"
#include "core/geometry_iterators.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "render/range_image_gl_renderer.h"
#include "render/textured_mesh_gl_renderer.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using namespace testrender;

namespace
{

constexpr LONG kSize = 32;

// The square [-1, 1]^2 as two triangles.
void BuildSquare(cMesh& mesh)
{
    const float corners[4][3] = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    for (const auto& corner : corners)
        mesh.AddVertex(corner);
    mesh.AddTriangle(0, 1, 2);
    mesh.AddTriangle(0, 2, 3);
    mesh.Update();
}

class TexturedObject : public cMeshObject, public ITexturedMeshObject
{
public:
    TexturedObject()
    {
        BuildSquare(*GetMesh());
        records.resize(1);
        records[0].image.Resize(2, 2, 4);
        const std::uint8_t texels[2][2][3] = {{{0, 0, 255}, {0, 255, 0}}, {{255, 0, 0}, {255, 255, 255}}};
        for (std::uint32_t y = 0; y < 2; ++y)
            for (std::uint32_t x = 0; x < 2; ++x)
                std::copy_n(texels[y][x], 3, records[0].image.Row(y) + x * 3);
        coordinates = {0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f, 0.0f, 1.0f};
        triangles = {{{0, 1, 2}, 0}, {{0, 2, 3}, 1}};
        parts = {{0, 0, 1}};
        GetDecorator().m_mode = kDisplayFlat;
        GetDecorator().SetColour(kDecoratorFront, 1.0f, 1.0f, 1.0f, 1.0f);
    }
    void* QueryInterface(const GUID& iid) override
    {
        if (iid == IID_ITexturedMeshObject)
            return static_cast<ITexturedMeshObject*>(this);
        return cMeshObject::QueryInterface(iid);
    }
    using cMeshObject::QueryInterface;
    bool HasTexture() const override { return true; }
    std::vector<stTextureRecord>& GetTextureRecords() override { return records; }
    const std::vector<stTexturePart>& GetTextureParts() const override { return parts; }
    const std::vector<stTexturedTriangle>& GetTexturedTriangles() const override { return triangles; }
    const std::vector<float>& GetTextureCoordinates() const override { return coordinates; }
    I3DSceneRenderer* GetTextureRenderer() const override { return renderer; }
    void SetTextureRenderer(I3DSceneRenderer* r) override { renderer = r; }

    std::vector<stTextureRecord> records;
    std::vector<stTexturePart> parts;
    std::vector<stTexturedTriangle> triangles;
    std::vector<float> coordinates;
    I3DSceneRenderer* renderer = nullptr;
};

class RangeImageObject : public cMeshObject, public IRangeImageData
{
public:
    void* QueryInterface(const GUID& iid) override
    {
        if (iid == IID_IRangeImageData)
            return static_cast<IRangeImageData*>(this);
        return cMeshObject::QueryInterface(iid);
    }
    using cMeshObject::QueryInterface;
    std::unique_ptr<IPointsIterator> CreatePointsIterator() override { return GetMesh()->CreatePointsIterator(); }
    std::unique_ptr<ITriIterator> CreateTriIterator() override { return GetMesh()->CreateTriIterator(); }
};

void SetUpView()
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
}

TEST(TexturedMesh, TexturesAreUploadedOnceAndDrawnThroughTheTexturedDrawer)
{
    RendererWindow window(kSize, kSize);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    TexturedObject object;
    EXPECT_EQ(renderer.GetObjectRenderer(&object, kTexturedMeshRendererKind), nullptr) << "not bound yet";
    BindTexturesToCache(&object, &renderer);
    const std::uint32_t name = object.records[0].name;
    ASSERT_NE(name, kNoTextureName);
    EXPECT_EQ(object.GetTextureRenderer(), &renderer);
    BindTexturesToCache(&object, &renderer);
    EXPECT_EQ(object.records[0].name, name) << "a record with a name keeps it";

    ISceneObjectRenderer* drawer = renderer.GetObjectRenderer(&object, kTexturedMeshRendererKind);
    ASSERT_NE(drawer, nullptr);
    SetUpView();
    stDrawContext context;
    context.renderer = &renderer;
    drawer->Render(context);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
    Snapshot(image, "textured_mesh");
    // Row 0 of the image is at t = 0 (the bottom); nearest filtering.
    EXPECT_TRUE(wgl::SameColour(image.At(4, kSize - 5), wgl::Rgb(255, 0, 0)));
    EXPECT_TRUE(wgl::SameColour(image.At(kSize - 5, kSize - 5), wgl::Rgb(0, 255, 0)));
    EXPECT_TRUE(wgl::SameColour(image.At(4, 4), wgl::Rgb(0, 0, 255)));
    EXPECT_TRUE(wgl::SameColour(image.At(kSize - 5, 4), wgl::Rgb(255, 255, 255)));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST(TexturedMesh, ARecordWithoutPixelsKeepsNoNameAndTheDrawerIsNotHandedOut)
{
    RendererWindow window(kSize, kSize);
    ASSERT_TRUE(window.Ok());
    TexturedObject object;
    object.records.resize(2); // the second has no image
    BindTexturesToCache(&object, &window.Renderer());
    EXPECT_NE(object.records[0].name, kNoTextureName);
    EXPECT_EQ(object.records[1].name, kNoTextureName);
    EXPECT_EQ(window.Renderer().GetObjectRenderer(&object, kTexturedMeshRendererKind), nullptr);

    // A drawer bound anyway draws nothing.
    cTexturedMeshGLRenderer drawer;
    ASSERT_TRUE(drawer.AttachObject(&object));
    SetUpView();
    stDrawContext context;
    context.renderer = &window.Renderer();
    EXPECT_EQ(drawer.Render(context), 0u);
    EXPECT_EQ(wgl::CountPixels(wgl::ReadGlPixels(0, 0, kSize, kSize), wgl::Rgb(0, 0, 0)), std::size_t(kSize * kSize));
}

TEST(TexturedMesh, RunsAndIndicesOutsideTheArraysAreSkipped)
{
    RendererWindow window(kSize, kSize);
    ASSERT_TRUE(window.Ok());
    TexturedObject object;
    object.parts = {{0, 0, 0xFFFFFFFFu}, {7, 0, 1}};
    object.triangles.push_back({{0, 1, 99}, 0});
    object.triangles.push_back({{0, 1, 2}, 12345});
    BindTexturesToCache(&object, &window.Renderer());
    cTexturedMeshGLRenderer drawer;
    ASSERT_TRUE(drawer.AttachObject(&object));
    SetUpView();
    stDrawContext context;
    context.renderer = &window.Renderer();
    context.useDisplayLists = 0;
    drawer.Render(context);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(wgl::CountPixels(wgl::ReadGlPixels(0, 0, kSize, kSize), wgl::Rgb(0, 0, 0)), 0u);
}

TEST(RangeImage, PassesWalkTheIteratorsAndTheSolidPassWatchesItsBudget)
{
    RendererWindow window(kSize, kSize);
    ASSERT_TRUE(window.Ok());
    cGLRenderer& renderer = window.Renderer();
    RangeImageObject object;
    cMesh& mesh = *object.GetMesh();
    // 1200 thin triangles, all covering the view's left half.
    for (int i = 0; i < 1200; ++i)
    {
        const float z = 0.0001f * float(i);
        const std::uint32_t a = mesh.AddVertex(std::array<float, 3>{-1, -1, z}.data());
        const std::uint32_t b = mesh.AddVertex(std::array<float, 3>{0, -1, z}.data());
        const std::uint32_t c = mesh.AddVertex(std::array<float, 3>{-1, 1, z}.data());
        mesh.AddTriangle(a, b, c);
    }
    mesh.Update();
    object.GetDecorator().m_mode = kDisplayFlat;
    object.GetDecorator().SetColour(kDecoratorFront, 1.0f, 1.0f, 0.0f, 1.0f);
    object.GetDecorator().SetColour(kDecoratorBack, 1.0f, 1.0f, 0.0f, 1.0f);
    ISceneObjectRenderer* drawer = renderer.GetObjectRenderer(&object, kRangeImageRendererKind);
    ASSERT_NE(drawer, nullptr);
    cMeshObject plain;
    EXPECT_EQ(renderer.GetObjectRenderer(&plain, kRangeImageRendererKind), nullptr);

    static DWORD ticks = 0;
    stDrawContext context;
    context.renderer = &renderer;
    context.useRangeImageCache = 0;
    context.clock = [] { return ++ticks; };
    context.timeBudget = 1; // the check at triangle 500 finds 2 ms
    SetUpView();
    EXPECT_EQ(drawer->Render(context), 2u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    context.timeBudget = 0xFFFFFFFFu;
    context.useRangeImageCache = 1;
    SetUpView();
    EXPECT_EQ(drawer->Render(context), 0u);
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
    Snapshot(image, "range_image");
    EXPECT_GT(wgl::CountPixels(image, wgl::Rgb(255, 255, 0)), 200u);
    EXPECT_TRUE(object.HasAttachedProperty(cRIDataGLRenderer::kSolidCache));

    object.GetDecorator().m_mode = kDisplayPoints;
    object.GetDecorator().m_pointSize = 1.0f;
    SetUpView();
    drawer->Render(context);
    EXPECT_GT(wgl::CountPixels(wgl::ReadGlPixels(0, 0, kSize, kSize), wgl::Rgb(255, 255, 0)), 0u);
    EXPECT_TRUE(object.HasAttachedProperty(cRIDataGLRenderer::kPointsCache));
}

} // namespace
