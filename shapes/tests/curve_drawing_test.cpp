// Curves of wires drawn by the editing modes' routines and the section
// drawer, on a headless GL window.
#include "core/decorator_object.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/win32/win32.h"
#include "render/edit_drawing_gl.h"
#include "shapes/dezaz_wire.h"
#include "shapes/scene_frame.h"
#include "support/snapshot.h"

#include <gtest/gtest.h>

#include <array>

namespace
{

constexpr LONG kSize = 128;

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l) { return DefWindowProcW(window, message, w, l); }

class CurveDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &PlainProc;
        wc.lpszClassName = L"CurveDrawingTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"CurveDrawingTest", L"", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        HWND handle = window;
        ASSERT_EQ(renderer.Initialize(&handle), 0u);
        renderer.MakeCurrent();
        renderer.SetViewport(0, 0, kSize, kSize);
        const float min[3] = {-2, -2, -2}, max[3] = {2, 2, 2};
        renderer.SetSceneBox(min, max);
        renderer.SetupProjection(nullptr);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

        // Two horizontal lines, one above the other, with three points each.
        for (int k = 0; k < 2; ++k)
        {
            const double y = k == 0 ? -1.0 : 1.0;
            ASSERT_TRUE(wires[k].SetLine({-1.5, y, 0.0}, {1.5, y, 0.0}));
            for (double x : {-1.5, 0.0, 1.5})
            {
                const double p[3] = {x, y, 0.0};
                points[k].AddPoint3d(p);
            }
            stDrawnCurve curve;
            curve.wire = &wires[k];
            curve.points = &points[k];
            collection.curves.push_back(curve);
        }
    }

    void TearDown() override
    {
        renderer.Release();
        DestroyWindow(window);
    }

    static LONG Column(double x) { return LONG((x + 2.0) / 4.0 * kSize); }
    static LONG Row(double y) { return kSize - 1 - LONG((y + 2.0) / 4.0 * kSize); }
    static std::uint32_t IdAt(const wgl::PixelImage& image, LONG x, LONG y)
    {
        const std::uint32_t p = image.At(x, y);
        return IdOfColour(std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p));
    }

    HWND window = nullptr;
    cP3DRenderGL renderer;
    Dezaz_Wire wires[2];
    tPolyline<cVertex> points[2];
    stDrawnCurveCollection collection;
};

TEST_F(CurveDrawing, CurvesAndTheirPointsReadBackAsTheirIds)
{
    DrawCurvesWithHandlesIdColoured(&renderer.GetGeometriesRenderer(), &collection, false);
    glFinish();
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
    SnapshotImage(image, "curve_ids");
    // Between the points: the curves' ids.
    EXPECT_EQ(IdAt(image, Column(-0.75), Row(-1.0)), kCurveIdBase);
    EXPECT_EQ(IdAt(image, Column(0.75), Row(1.0)), kCurveIdBase + 1);
    // On the points: numbered from 1 over both curves.
    EXPECT_EQ(IdAt(image, Column(-1.5) + 1, Row(-1.0)), 1u);
    EXPECT_EQ(IdAt(image, Column(0.0), Row(-1.0)), 2u);
    EXPECT_EQ(IdAt(image, Column(0.0), Row(1.0)), 5u);
    EXPECT_EQ(IdAt(image, Column(1.5) - 1, Row(1.0)), 6u);
    EXPECT_EQ(IdAt(image, 2, 2), 0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(CurveDrawing, EndPointsOfACollectionShowInColourOneOrTwoWhenMarked)
{
    cDecoratorObject decorator;
    decorator.SetColour(kDecoratorFront, 0, 0, 1, 1);
    decorator.SetColour(kDecoratorBack, 1, 0.5f, 0, 1);
    decorator.SetColour(kDecoratorSelection, 1, 1, 0, 1);
    decorator.m_lineWidths[0] = 2.0f;
    points[1].vertices.back().flags |= 2u;
    renderer.PushViewTransform();
    DrawPolylineCollectionGL(&renderer.GetGeometriesRenderer(), collection, renderer.PixelsToWorld(1), decorator,
                             true);
    renderer.PopViewTransform();
    glFinish();
    const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
    SnapshotImage(image, "curve_collection");
    auto hue = [&](double x, double y) {
        const std::uint32_t p = image.At(Column(x), Row(y));
        return std::array<int, 3>{int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    };
    const auto start = hue(-1.5, -1.0), marked = hue(1.5, 1.0), line = hue(-0.75, 1.0);
    EXPECT_GT(start[0], 2 * start[2]) << "an end point in colour 1 (orange)";
    EXPECT_GT(start[0], start[1]);
    EXPECT_GT(marked[1], 2 * marked[2]) << "a marked end point in colour 2 (yellow)";
    EXPECT_GT(marked[0], 2 * marked[2]);
    EXPECT_GT(line[2], line[0]) << "the curve in colour 0 (blue)";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

} // namespace
