// The host-mesh drawer's solid coloured by triangle tags, and solid display
// lists that follow what they show: marks and tags written straight into
// the triangles, and moved geometry.
#include "core/decorator_object.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"
#include "render/gl_draw_cache.h"
#include "render/mesh_gl_renderer.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

using namespace testrender;

namespace
{

constexpr LONG kSize = 64;

// An 8 x 8 cell square over [-0.5, 0.5]^2 facing +z (16 triangles a row,
// rows bottom up), seen through [-1, 1]^2 with lighting that returns the
// material colour exactly: the square covers pixels 16 to 47, a row of
// cells 4 pixels.
class TaggedMesh : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        object = std::make_unique<cMeshObject>();
        cMesh& mesh = *object->GetMesh();
        constexpr std::uint32_t n = 8;
        for (std::uint32_t r = 0; r <= n; ++r)
            for (std::uint32_t c = 0; c <= n; ++c)
            {
                const float p[3] = {-0.5f + float(c) / float(n), -0.5f + float(r) / float(n), 0.0f};
                mesh.AddVertex(p);
            }
        for (std::uint32_t r = 0; r < n; ++r)
            for (std::uint32_t c = 0; c < n; ++c)
            {
                const std::uint32_t a = r * (n + 1) + c;
                mesh.AddTriangle(a, a + 1, a + n + 2);
                mesh.AddTriangle(a, a + n + 2, a + n + 1);
            }
        mesh.Update(); // leaves area scalars in the vertices' colour slot
        tags = CTriangleColourProperties::GetOrCreate(object.get());
        ASSERT_NE(tags, nullptr);
        ASSERT_TRUE(tags->Resize(mesh.GetTriangleCount()));
        cDecoratorObject& decorator = object->GetDecorator();
        decorator.m_mode = kDisplaySmooth;
        decorator.m_flags = 0;
        decorator.SetColour(kDecoratorFront, 1.0f, 0.0f, 0.0f, 1.0f);
        decorator.SetColour(kDecoratorBack, 0.0f, 0.0f, 1.0f, 1.0f);
        decorator.SetColour(kDecoratorSelection, 0.0f, 1.0f, 0.0f, 1.0f);
        context.renderer = &window.Renderer();
        drawer.SetTriangleColours(tags);
    }

    void TagRows(std::uint32_t firstRow, std::uint32_t rows, std::uint8_t tag)
    {
        for (std::uint32_t i = firstRow * 16; i < (firstRow + rows) * 16; ++i)
            tags->Set(i, tag);
        tags->RecomputeHasColours();
    }

    wgl::PixelImage Frame(const std::string& name)
    {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-1, 1, -1, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DITHER);
        glEnable(GL_DEPTH_TEST);
        glDisable(GL_LIGHT0);
        const GLfloat ambient[4] = {1.0f, 1.0f, 1.0f, 1.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
        glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, 1);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        EXPECT_TRUE(drawer.AttachObject(object.get()));
        drawer.Render(context);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL)) << "restored after the solid";
        wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        Snapshot(image, "mesh_tags_" + name);
        return image;
    }

    cGLObjectDrawCache* Cache() const
    {
        return dynamic_cast<cGLObjectDrawCache*>(object->FindAttachedProperty(cMeshGLRenderer::kSolidCacheName));
    }

    static std::uint32_t TagRgb(std::uint8_t tag)
    {
        const std::uint8_t* c = cMeshGLRenderer::TagColour(tag);
        return wgl::Rgb(c[0], c[1], c[2]);
    }

    RendererWindow window{kSize, kSize};
    std::unique_ptr<cMeshObject> object;
    CTriangleColourProperties* tags = nullptr;
    cDezazMeshGLRenderer drawer;
    stDrawContext context;
};

TEST_F(TaggedMesh, TaggedTrianglesShowTheirTagColourAndTheOthersTheMaterialInBothPasses)
{
    TagRows(0, 2, 2); // pixel rows 16 to 23
    TagRows(6, 2, 5); // pixel rows 40 to 47
    cMesh& mesh = *object->GetMesh();
    mesh.GetTriangle(3 * 16)->flags |= kTriangleFlagSelected;
    mesh.GetTriangle(3 * 16 + 1)->flags |= kTriangleFlagSelected; // the first cell of row 3
    for (const std::uint8_t lists : {0, 1})
        for (const std::uint32_t mode : {kDisplaySmooth, kDisplayFlat})
        {
            SCOPED_TRACE(testing::Message() << "lists " << int(lists) << " mode " << mode);
            context.useDisplayLists = lists;
            object->GetDecorator().m_mode = mode;
            const wgl::PixelImage image = Frame(std::string(lists ? "list_" : "immediate_") +
                                                (mode == kDisplayFlat ? "flat" : "smooth"));
            // Smooth triangles on both sides of a tag border keep their own
            // colours: no blend between them.
            EXPECT_EQ(wgl::CountPixels(image, TagRgb(2)), 32u * 8u);
            EXPECT_EQ(wgl::CountPixels(image, TagRgb(5)), 32u * 8u);
            EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(0, 255, 0)), 4u * 4u) << "a selected cell wins over its tag";
            EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(255, 0, 0)), 32u * 16u - 16u) << "untagged: the material";
        }
}

TEST_F(TaggedMesh, WithoutAnyTagTheSolidKeepsItsMaterialsWhateverTheVertexSlotsHold)
{
    drawer.SetVertexColours(true); // the slots hold area scalars here
    for (const std::uint8_t lists : {0, 1})
    {
        context.useDisplayLists = lists;
        EXPECT_EQ(wgl::CountPixels(Frame(lists ? "untagged_list" : "untagged_immediate"), wgl::Rgb(255, 0, 0)),
                  32u * 32u);
    }
    drawer.SetTriangleColours(nullptr);
    drawer.SetVertexColours(false);
    context.useDisplayLists = 0;
    EXPECT_EQ(wgl::CountPixels(Frame("no_tags"), wgl::Rgb(255, 0, 0)), 32u * 32u);
}

TEST_F(TaggedMesh, TheSolidListFollowsMarksAndTagsWrittenIntoTheTriangles)
{
    context.useDisplayLists = 1;
    EXPECT_EQ(wgl::CountPixels(Frame("list_plain"), wgl::Rgb(255, 0, 0)), 32u * 32u);
    ASSERT_NE(Cache(), nullptr);
    const GLuint list = Cache()->GetListId();
    EXPECT_EQ(wgl::CountPixels(Frame("list_again"), wgl::Rgb(255, 0, 0)), 32u * 32u);
    EXPECT_EQ(Cache()->GetListId(), list) << "nothing changed: the list is called, not recorded again";

    // A stroke marks the bottom row straight in the triangles' flags.
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < 16; ++i)
        mesh.GetTriangle(i)->flags |= kTriangleFlagSelected;
    EXPECT_EQ(wgl::CountPixels(Frame("list_selected"), wgl::Rgb(0, 255, 0)), 32u * 4u);
    // Undo takes the marks back.
    for (std::uint32_t i = 0; i < 16; ++i)
        mesh.GetTriangle(i)->flags &= ~kTriangleFlagSelected;
    EXPECT_EQ(wgl::CountPixels(Frame("list_deselected"), wgl::Rgb(255, 0, 0)), 32u * 32u);
    // A session paints its region.
    TagRows(4, 4, 1);
    EXPECT_EQ(wgl::CountPixels(Frame("list_painted"), TagRgb(1)), 32u * 16u);
    // Hiding.
    for (std::uint32_t i = 4 * 16; i < 8 * 16; ++i)
        mesh.GetTriangle(i)->flags |= kTriangleFlagHidden;
    const wgl::PixelImage hidden = Frame("list_hidden");
    EXPECT_EQ(wgl::CountPixels(hidden, TagRgb(1)), 0u);
    EXPECT_EQ(wgl::CountPixels(hidden, wgl::Rgb(255, 0, 0)), 32u * 16u);
    // A new material colour, then a new selection colour.
    object->GetDecorator().SetColour(kDecoratorFront, 1.0f, 1.0f, 0.0f, 1.0f);
    EXPECT_EQ(wgl::CountPixels(Frame("list_recoloured"), wgl::Rgb(255, 255, 0)), 32u * 16u);
    mesh.GetTriangle(0)->flags |= kTriangleFlagSelected;
    mesh.GetTriangle(1)->flags |= kTriangleFlagSelected;
    EXPECT_EQ(wgl::CountPixels(Frame("list_one_marked"), wgl::Rgb(0, 255, 0)), 4u * 4u);
    object->GetDecorator().SetColour(kDecoratorSelection, 0.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(wgl::CountPixels(Frame("list_new_selection_colour"), wgl::Rgb(0, 255, 255)), 4u * 4u);
}

TEST_F(TaggedMesh, MarksStayVisibleOnASeeThroughSolidWhateverTheSelectionAlpha)
{
    // The host mesh's selection colour carries no alpha; a see-through solid
    // halves the material's.
    cDecoratorObject& decorator = object->GetDecorator();
    decorator.m_flags = kDecoratorSeeThrough;
    decorator.SetColour(kDecoratorSelection, 0.0f, 1.0f, 0.0f, 0.0f);
    TagRows(0, 8, 3);
    cMesh& mesh = *object->GetMesh();
    for (std::uint32_t i = 0; i < 16; ++i)
        mesh.GetTriangle(i)->flags |= kTriangleFlagSelected;
    for (const std::uint8_t lists : {0, 1})
    {
        context.useDisplayLists = lists;
        const wgl::PixelImage image = Frame(lists ? "see_through_list" : "see_through_immediate");
        // Half the selection colour over the black background.
        EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(0, 128, 0), 1), 32u * 4u);
        const std::uint8_t* tag = cMeshGLRenderer::TagColour(3);
        EXPECT_EQ(wgl::CountPixels(image, wgl::Rgb(tag[0] / 2, tag[1] / 2, tag[2] / 2), 1), 32u * 28u);
    }
}

TEST_F(TaggedMesh, MovingTheObjectDropsItsSolidList)
{
    context.useDisplayLists = 1;
    Frame("list_before_move");
    ASSERT_NE(Cache(), nullptr);
    EXPECT_NE(Cache()->GetListId(), 0u);
    const double shift[12] = {1, 0, 0, 0.25, 0, 1, 0, 0, 0, 0, 1, 0};
    object->ApplyTransform(shift);
    EXPECT_EQ(Cache()->GetListId(), 0u) << "the list showed the object where it was";
    const wgl::PixelImage moved = Frame("list_after_move");
    const auto box = wgl::BoundingBoxOf(moved, wgl::Rgb(255, 0, 0));
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->left, 24);
    EXPECT_EQ(box->right, 56);
}

TEST(TagColours, EveryTagHasAColourApartFromTheOthersAndTheyRepeat)
{
    for (std::uint32_t a = 1; a <= cMeshGLRenderer::kTagColourCount; ++a)
        for (std::uint32_t b = a + 1; b <= cMeshGLRenderer::kTagColourCount; ++b)
        {
            const std::uint8_t* x = cMeshGLRenderer::TagColour(std::uint8_t(a));
            const std::uint8_t* y = cMeshGLRenderer::TagColour(std::uint8_t(b));
            EXPECT_GT(std::abs(x[0] - y[0]) + std::abs(x[1] - y[1]) + std::abs(x[2] - y[2]), 60) << a << " " << b;
        }
    EXPECT_EQ(cMeshGLRenderer::TagColour(1), cMeshGLRenderer::TagColour(1 + cMeshGLRenderer::kTagColourCount));
}

} // namespace
