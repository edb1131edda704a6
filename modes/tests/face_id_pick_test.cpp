// Colour-coded picking on a real GL frame: the face-id pass and the one-pixel
// read-back agree with the CPU pick at every triangle of a grid, leave GL as
// they found it, answer "no id" off the viewport and honour hiding and
// culling.
#include "core/mesh.h"
#include "modes/mode_support.h"
#include "support/gl_test_renderer.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr LONG kWidth = 420, kHeight = 280;
// The grid: 24 x 16 unit cells from (1000, 2000), 10 pixels each, seen
// turned and tilted.
constexpr float kX0 = 1000.0f, kY0 = 2000.0f, kZ = 50.0f;

// A rotation about z, then a tilt about the axis (1, 1, 0), and a pan.
void TurnedView(double m[12])
{
    const double a = 0.35, b = 0.3;
    const double rz[9] = {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1};
    const double k[3] = {std::sqrt(0.5), std::sqrt(0.5), 0.0};
    const double c = std::cos(b), s = std::sin(b), t = 1.0 - c;
    const double rk[9] = {t * k[0] * k[0] + c,        t * k[0] * k[1] - s * k[2], t * k[0] * k[2] + s * k[1],
                          t * k[0] * k[1] + s * k[2], t * k[1] * k[1] + c,        t * k[1] * k[2] - s * k[0],
                          t * k[0] * k[2] - s * k[1], t * k[1] * k[2] + s * k[0], t * k[2] * k[2] + c};
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col)
        {
            double sum = 0.0;
            for (int q = 0; q < 3; ++q)
                sum += rk[3 * r + q] * rz[3 * q + col];
            m[4 * r + col] = sum;
        }
    m[3] = 1.5;
    m[7] = -0.8;
    m[11] = 0.0;
}

class FaceIdPick : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(window.Ok());
        cGLRenderer& renderer = window.Renderer();
        const float min[3] = {kX0 - 9.0f, kY0 - 6.0f, 0.0f}, max[3] = {kX0 + 33.0f, kY0 + 22.0f, 100.0f};
        renderer.SetSceneBox(min, max);
        double view[12];
        TurnedView(view);
        renderer.SetViewTransform(view);
        renderer.SetAspect(double(kWidth) / kHeight);
        renderer.SetupProjection(nullptr);
        // Two triangles per cell, a little relief so depths differ, and a
        // small sheet above part of it that hides what lies under it.
        for (int j = 0; j <= 16; ++j)
            for (int i = 0; i <= 24; ++i)
            {
                const float p[3] = {kX0 + i, kY0 + j, kZ + 0.3f * std::sin(0.7f * i) * std::cos(0.5f * j)};
                mesh.AddVertex(p);
            }
        for (int j = 0; j < 16; ++j)
            for (int i = 0; i < 24; ++i)
            {
                const std::uint32_t v = std::uint32_t(j * 25 + i);
                mesh.AddTriangle(v, v + 1, v + 26);
                mesh.AddTriangle(v, v + 26, v + 25);
            }
        const float a[3] = {kX0 + 3.0f, kY0 + 3.0f, kZ + 5.0f}, b[3] = {kX0 + 9.0f, kY0 + 3.0f, kZ + 5.0f},
                    c[3] = {kX0 + 3.0f, kY0 + 9.0f, kZ + 5.0f};
        mesh.AddTriangle(mesh.AddVertex(a), mesh.AddVertex(b), mesh.AddVertex(c));
        mesh.Update();
    }

    // The client pixel whose area holds the world point.
    POINT PixelOf(const float p[3])
    {
        cGLRenderer& renderer = window.Renderer();
        const double* t = renderer.GetViewTransform();
        const float* c = renderer.GetSceneCentre();
        const double d[3] = {double(p[0]) - c[0], double(p[1]) - c[1], double(p[2]) - c[2]};
        const float vx = float(t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3]);
        const float vy = float(t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7]);
        POINT out{};
        renderer.WorldToScreen(vx, vy, &out);
        return out;
    }

    // The CPU pick at the centre of a client pixel, where GL samples it: the
    // triangle number or -1.
    long CpuPick(POINT pixel)
    {
        cGLRenderer& renderer = window.Renderer();
        float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
        renderer.ScreenToWorld(pixel, &x0, &y0);
        renderer.ScreenToWorld(POINT{pixel.x + 1, pixel.y + 1}, &x1, &y1);
        const cMeshTriangle* hit = nullptr;
        const cVertex v = PickMeshPointUnderCursor(mesh, 0.5f * (x0 + x1), 0.5f * (y0 + y1),
                                                   renderer.GetViewTransform(), renderer.GetSceneCentre(), &hit);
        if (v.flags & kPickedNothing)
            return -1;
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
            if (mesh.GetTriangle(i) == hit)
                return long(i);
        return -2;
    }

    long IdPick(POINT pixel) { return long(ReadPickIdUnderCursor(window.Renderer(), pixel)) - 1; }

    testrender::RendererWindow window{kWidth, kHeight};
    cMesh mesh;
};

TEST_F(FaceIdPick, TheColourIdAndTheCpuPickAgreeAtEveryTriangleCentroid)
{
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, true));
    testrender::Snapshot(wgl::ReadGlPixels(0, 0, kWidth, kHeight), "modes_face_ids");
    int sheet = 0, seen = 0;
    for (std::uint32_t i = 0; i + 1 < mesh.GetTriangleCount(); ++i)
    {
        float centroid[3] = {0, 0, 0};
        for (std::uint32_t v : mesh.GetTriangle(i)->vertexIndex)
            for (int k = 0; k < 3; ++k)
                centroid[k] += mesh.GetVertex(v)->Position()[k] / 3.0f;
        const POINT pixel = PixelOf(centroid);
        if (pixel.x < 0 || pixel.y < 0 || pixel.x >= kWidth || pixel.y >= kHeight)
            continue;
        ++seen;
        const long cpu = CpuPick(pixel);
        ASSERT_GE(cpu, 0) << i;
        EXPECT_EQ(IdPick(pixel), cpu) << "triangle " << i << " at " << pixel.x << "," << pixel.y;
        if (cpu == long(mesh.GetTriangleCount() - 1))
            ++sheet;
        else
            EXPECT_EQ(cpu, long(i)) << "an uncovered triangle is its own pick";
    }
    EXPECT_GT(sheet, 20) << "the raised sheet hides the triangles under it in both picks";
    EXPECT_GT(seen, 600) << "most of the grid is in the view";
}

TEST_F(FaceIdPick, TheReadBackRestoresThePixelStoreAndAnswersNothingOffTheViewport)
{
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, true));
    glPixelStorei(GL_PACK_ALIGNMENT, 8);
    glPixelStorei(GL_PACK_ROW_LENGTH, 7);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 3);
    glPixelStorei(GL_PACK_SKIP_ROWS, 2);
    const float inside[3] = {kX0 + 20.3f, kY0 + 1.2f, kZ};
    EXPECT_EQ(IdPick(PixelOf(inside)), CpuPick(PixelOf(inside)));
    GLint values[4] = {};
    glGetIntegerv(GL_PACK_ALIGNMENT, &values[0]);
    glGetIntegerv(GL_PACK_ROW_LENGTH, &values[1]);
    glGetIntegerv(GL_PACK_SKIP_PIXELS, &values[2]);
    glGetIntegerv(GL_PACK_SKIP_ROWS, &values[3]);
    EXPECT_EQ(values[0], 8);
    EXPECT_EQ(values[1], 7);
    EXPECT_EQ(values[2], 3);
    EXPECT_EQ(values[3], 2);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);

    for (POINT off : {POINT{-1, 5}, POINT{kWidth, 5}, POINT{5, kHeight}, POINT{5, -1}, POINT{-100000, 100000}})
        EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), off), kNoPickId) << off.x << "," << off.y;
    // The corner pixels of the client area are inside: the back buffer
    // cleared to id 5 reads 5 there.
    glClearColor(5.0f / 255.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), POINT{0, 0}), 5u);
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), POINT{kWidth - 1, kHeight - 1}), 5u);
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), POINT{kWidth - 1, 0}), 5u);
}

TEST_F(FaceIdPick, TheIdPassSwitchesOffWhatWouldCorruptIdsAndPutsItBack)
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_DITHER);
    glEnable(GL_POLYGON_SMOOTH);
    glEnable(GL_FOG);
    glEnable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glShadeModel(GL_SMOOTH);
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, false));
    for (GLenum state : {GLenum(GL_BLEND), GLenum(GL_DITHER), GLenum(GL_POLYGON_SMOOTH), GLenum(GL_FOG),
                         GLenum(GL_LIGHTING), GLenum(GL_TEXTURE_2D)})
        EXPECT_TRUE(glIsEnabled(state)) << std::hex << state;
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    GLint shade = 0;
    glGetIntegerv(GL_SHADE_MODEL, &shade);
    EXPECT_EQ(shade, GL_SMOOTH);
    // Every id still reads back exactly.
    const float p[3] = {kX0 + 15.2f, kY0 + 12.7f, kZ};
    EXPECT_EQ(IdPick(PixelOf(p)), CpuPick(PixelOf(p)));
    for (GLenum state : {GLenum(GL_BLEND), GLenum(GL_DITHER), GLenum(GL_POLYGON_SMOOTH), GLenum(GL_FOG),
                         GLenum(GL_LIGHTING), GLenum(GL_TEXTURE_2D)})
        glDisable(state);
    glShadeModel(GL_FLAT);
}

TEST_F(FaceIdPick, HiddenAndCulledTrianglesLeaveTheBackgroundAndIdsStopAt24Bits)
{
    const float p[3] = {kX0 + 20.2f, kY0 + 14.3f, kZ};
    const POINT pixel = PixelOf(p);
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, true));
    const long id = IdPick(pixel);
    ASSERT_GE(id, 0);
    mesh.GetTriangle(std::uint32_t(id))->flags |= kTriangleFlagHidden;
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, true));
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), pixel), kNoPickId);
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), pixel) - 1, 0xFFFFFFFFu) << "background: no triangle";
    mesh.GetTriangle(std::uint32_t(id))->flags &= ~kTriangleFlagHidden;

    // The same triangle turned away: culled with culling on, drawn without.
    std::swap(mesh.GetTriangle(std::uint32_t(id))->vertexIndex[1], mesh.GetTriangle(std::uint32_t(id))->vertexIndex[2]);
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, true));
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), pixel), kNoPickId);
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, false));
    EXPECT_EQ(IdPick(pixel), id);

    // A triangle whose corner index is past the vertices is left out.
    mesh.GetTriangle(std::uint32_t(id))->vertexIndex[1] = mesh.GetVertexCount();
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, false));
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), pixel), kNoPickId);
    EXPECT_EQ(CpuPick(pixel), -1);

    EXPECT_TRUE(FaceIdPassSupports(0xFFFFFFu));
    EXPECT_FALSE(FaceIdPassSupports(0x1000000u)) << "id 2^24 would alias triangle 0";
}

TEST_F(FaceIdPick, AWindowOfIdsNamesItsOwnTrianglesAndTheOthersStillHideWhatLiesBehindThem)
{
    // A point of the sheet (the last triangle, 768) above the grid.
    const float onSheet[3] = {kX0 + 4.0f, kY0 + 4.0f, kZ + 5.0f};
    const POINT pixel = PixelOf(onSheet);
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, false));
    ASSERT_EQ(IdPick(pixel), 768);
    // The grid's window: the sheet, drawn as the background, hides the grid.
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, false, 0, 768));
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), pixel), kNoPickId);
    // The sheet's window: its first id names it.
    ASSERT_TRUE(RenderFaceIdPass(window.Renderer(), mesh, false, 768, 500));
    EXPECT_EQ(ReadPickIdUnderCursor(window.Renderer(), pixel), 1u);
}

// The id image of a scan finer than the pixels: the pass leaves out what
// covers no pixel centre and still writes every id and depth that handing
// GL every triangle writes.
TEST_F(FaceIdPick, AFineScanGivesTheIdsOfEveryTriangleDrawn)
{
    cMesh fine;
    constexpr int kColumns = 240, kRows = 160;
    for (int j = 0; j <= kRows; ++j)
        for (int i = 0; i <= kColumns; ++i)
        {
            const float x = 0.1f * i, y = 0.1f * j;
            const float p[3] = {kX0 + x, kY0 + y, kZ + 2.0f * std::sin(0.9f * x) * std::cos(0.6f * y)};
            fine.AddVertex(p);
        }
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i)
        {
            const auto v = std::uint32_t(j * (kColumns + 1) + i);
            fine.AddTriangle(v, v + 1, v + kColumns + 2);
            fine.AddTriangle(v, v + kColumns + 2, v + kColumns + 1);
        }
    fine.Update();
    cGLRenderer& renderer = window.Renderer();
    for (bool cull : {true, false})
    {
        ASSERT_TRUE(RenderFaceIdPass(renderer, fine, cull));
        const wgl::PixelImage pass = wgl::ReadGlPixels(0, 0, kWidth, kHeight);
        testrender::Snapshot(pass, cull ? "modes_fine_face_ids_culled" : "modes_fine_face_ids");

        renderer.PushViewTransform();
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LESS);
        glDisable(GL_LIGHTING);
        glDisable(GL_DITHER);
        glShadeModel(GL_FLAT);
        if (cull)
            glEnable(GL_CULL_FACE);
        else
            glDisable(GL_CULL_FACE);
        glBegin(GL_TRIANGLES);
        for (std::uint32_t i = 0; i < fine.GetTriangleCount(); ++i)
        {
            const std::uint32_t id = i + 1;
            glColor3ub(GLubyte(id & 0xFF), GLubyte((id >> 8) & 0xFF), GLubyte((id >> 16) & 0xFF));
            for (std::uint32_t v : fine.GetTriangle(i)->vertexIndex)
                glVertex3fv(fine.GetVertex(v)->Position());
        }
        glEnd();
        renderer.PopViewTransform();
        const wgl::PixelImage every = wgl::ReadGlPixels(0, 0, kWidth, kHeight);
        EXPECT_EQ(wgl::CountDifferences(pass, every), 0u) << (cull ? "culled" : "two-sided");
        EXPECT_GT(std::size_t(kWidth * kHeight) - wgl::CountPixels(every, wgl::Rgb(0, 0, 0)), 30000u);
    }
}

} // namespace
