#include "dezaz/main_window.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/host/display_conduit.h"
#include "platform/host/display_pipeline.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/menu.h"
#include "platform/win32/window.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

using dezaz::kMainViewportTop;

std::uint32_t At(const win32::ClientImage& image, int x, int y)
{
    return image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFFu;
}

// Dark pixels (text) inside a band of rows and columns.
int DarkPixels(const win32::ClientImage& image, int top, int bottom, int left = 0, int right = 1 << 30)
{
    int count = 0;
    for (int y = std::max(top, 0); y < std::min<int>(bottom, image.height); ++y)
        for (int x = std::max(left, 0); x < std::min<int>(right, image.width); ++x)
        {
            const std::uint32_t p = At(image, x, y);
            const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
            count += r + g + b < 300 ? 1 : 0;
        }
    return count;
}

int CountColour(const win32::ClientImage& image, std::uint32_t rgb, int tolerance, int top, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < image.width; ++x)
        {
            const std::uint32_t p = At(image, x, y);
            bool same = true;
            for (int shift : {0, 8, 16})
                same = same && std::abs(int(p >> shift & 0xFF) - int(rgb >> shift & 0xFF)) <= tolerance;
            count += same ? 1 : 0;
        }
    return count;
}

std::uint32_t Rgb(const ON_Color& c)
{
    return static_cast<std::uint32_t>(c.Red()) << 16 | static_cast<std::uint32_t>(c.Green()) << 8 |
           static_cast<std::uint32_t>(c.Blue());
}

ON_Mesh Square(const ON_3dPoint& centre, double size)
{
    ON_Mesh mesh;
    mesh.SetVertex(0, centre + ON_3dVector(-size / 2, -size / 2, 0));
    mesh.SetVertex(1, centre + ON_3dVector(size / 2, -size / 2, 0));
    mesh.SetVertex(2, centre + ON_3dVector(size / 2, size / 2, 0));
    mesh.SetVertex(3, centre + ON_3dVector(-size / 2, size / 2, 0));
    mesh.SetQuad(0, 0, 1, 2, 3);
    return mesh;
}

class MainWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_bar = CreateMenu();
        HMENU popup = CreatePopupMenu();
        AppendMenuW(popup, MF_STRING, 1, L"Shapes ...");
        AppendMenuW(m_bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Vantrell");
        dezaz::SetHostMenu(m_bar);
        DezazApp().ActiveDoc().Clear();
        DezazApp().ClearCommandLineText();
        m_window = dezaz::CreateMainWindow();
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override
    {
        if (m_window)
            DestroyWindow(m_window);
        dezaz::SetHostMenu(nullptr);
        DestroyMenu(m_bar);
        DezazApp().ActiveDoc().Clear();
    }

    win32::ClientImage Shot(const std::string& name)
    {
        dezaz::RefreshMainWindow(m_window);
        win32::WriteSnapshotIfRequested(m_window, name);
        return win32::ComposeWindowImage(m_window);
    }

    HMENU m_bar = nullptr;
    HWND m_window = nullptr;
};

TEST_F(MainWindow, ShowsTheMenuBarTheDocumentLineAnEmptyViewportAndTheCommandLine)
{
    const win32::ClientImage empty = Shot("dezaz_main_window_empty");
    ASSERT_GT(empty.width, 0);
    const int command_top = dezaz::MainCommandLineTop(empty.height);
    EXPECT_GT(DarkPixels(empty, 0, 24), 20);                 // the menu title
    EXPECT_GT(DarkPixels(empty, 24, kMainViewportTop), 20);  // "Document: Untitled - 0 objects"
    EXPECT_EQ(DarkPixels(empty, command_top, empty.height), 0);
    // The menu band and the page differ, as a person sees them apart.
    EXPECT_NE(At(empty, empty.width - 5, 5), At(empty, empty.width - 5, 30));
    if (!dezaz::MainViewport(m_window))
        GTEST_SKIP() << "no GL here: " << wgl::PlatformFailure();
    // An empty document: the viewport is its background from edge to edge.
    const std::uint32_t background = Rgb(dezaz::MainViewport(m_window)->DisplayAttrs().m_background);
    EXPECT_EQ(CountColour(empty, background, 0, kMainViewportTop, command_top),
              empty.width * (command_top - kMainViewportTop));

    DezazApp().Print(L"Imported 1 triangle and 3 vertices from tri.stl.\n");
    const win32::ClientImage printed = Shot("dezaz_main_window_printed");
    EXPECT_GT(DarkPixels(printed, command_top, printed.height), 20);
}

TEST_F(MainWindow, TheViewportShowsAKnownMeshInAKnownViewLitByTheHeadlight)
{
    CDezazViewport* viewport = dezaz::MainViewport(m_window);
    if (!viewport)
        GTEST_SKIP() << "no GL here: " << wgl::PlatformFailure();
    // Top view, 2 pixels per millimetre, centred on the square.
    const ON_3dPoint centre(1200, 800, 35);
    ON_3dmObjectAttributes attributes;
    attributes.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
    attributes.m_color = ON_Color(30, 140, 230);
    ASSERT_NE(DezazApp().ActiveDoc().AddMeshObject(Square(centre, 50), &attributes), nullptr);
    viewport->SetZoomExtentsOnDraw(false);
    ON_Viewport& vp = viewport->VP();
    vp.SetCameraUp(ON_3dVector(1, 1, 0));
    ASSERT_TRUE(vp.SetCameraDirection(ON_3dVector(0, 0, -1)));
    ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(0, 1, 0)));
    vp.SetCameraLocation(centre + ON_3dVector(0, 0, 500));
    RECT port{};
    GetClientRect(viewport->Window(), &port);
    vp.SetFrustum(-port.right / 4.0, port.right / 4.0, -port.bottom / 4.0, port.bottom / 4.0, 1, 1000);

    const win32::ClientImage image = Shot("dezaz_main_window_top_view");
    // Facing the light: the full object colour over 100 x 100 pixels around
    // the viewport's centre.
    const int cx = port.right / 2, cy = kMainViewportTop + port.bottom / 2;
    EXPECT_EQ(At(image, cx, cy), Rgb(attributes.m_color));
    EXPECT_EQ(At(image, cx - 48, cy - 48), Rgb(attributes.m_color));
    EXPECT_EQ(At(image, cx + 48, cy + 48), Rgb(attributes.m_color));
    EXPECT_NE(At(image, cx - 53, cy), Rgb(attributes.m_color));
    EXPECT_NE(At(image, cx, cy + 53), Rgb(attributes.m_color));
    const int covered = CountColour(image, Rgb(attributes.m_color), 1, kMainViewportTop,
                                    dezaz::MainCommandLineTop(image.height));
    EXPECT_NEAR(covered, 100 * 100, 2 * 100 + 2 * 100 + 4);
}

TEST_F(MainWindow, TheDefaultViewFitsTheDocumentAndShadesItFromTheFrontRight)
{
    CDezazViewport* viewport = dezaz::MainViewport(m_window);
    if (!viewport)
        GTEST_SKIP() << "no GL here: " << wgl::PlatformFailure();
    // A horizontal square with no colour of its own: the default grey
    // material, seen at the default view's angle to its normal.
    ASSERT_NE(DezazApp().ActiveDoc().AddMeshObject(Square(ON_3dPoint(-300, 450, 20), 80)), nullptr);
    const win32::ClientImage image = Shot("dezaz_main_window_default_view");
    ON_3dVector direction = viewport->VP().CameraDirection();
    const double lit = 190.0 * (CDezazDisplayPipeline::kSceneAmbient +
                                CDezazDisplayPipeline::kHeadlightDiffuse * std::fabs(direction.z));
    RECT port{};
    GetClientRect(viewport->Window(), &port);
    const std::uint32_t centre = At(image, port.right / 2, kMainViewportTop + port.bottom / 2);
    for (int shift : {0, 8, 16})
        EXPECT_NEAR(static_cast<double>(centre >> shift & 0xFF), lit, 1.5);
    // Fitted: the square spans most of the viewport's height, and nothing
    // of it is cut off at the edges.
    const int command_top = dezaz::MainCommandLineTop(image.height);
    const std::uint32_t background = Rgb(viewport->DisplayAttrs().m_background);
    int top = -1, bottom = -1;
    for (int y = kMainViewportTop; y < command_top; ++y)
        if (At(image, port.right / 2, y) != background)
        {
            top = top < 0 ? y : top;
            bottom = y;
        }
    EXPECT_GT(bottom - top, (command_top - kMainViewportTop) * 3 / 4);
    EXPECT_GT(top, kMainViewportTop);
    EXPECT_LT(bottom, command_top - 1);
}

// A conduit a plug-in enabled draws into the main window's viewport.
class MarkerConduit : public CDezazDisplayConduit
{
public:
    MarkerConduit() : CDezazDisplayConduit(SC_DRAWFOREGROUND, true) {}
    bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT) override
    {
        pipeline.GetDezazVP().DrawInferencePoint(point, ON_Color(255, 0, 0));
        return true;
    }
    ON_3dPoint point;
};

TEST_F(MainWindow, ConduitsDrawIntoTheMainViewport)
{
    CDezazViewport* viewport = dezaz::MainViewport(m_window);
    if (!viewport)
        GTEST_SKIP() << "no GL here: " << wgl::PlatformFailure();
    DezazApp().ActiveDoc().AddMeshObject(Square(ON_3dPoint(0, 0, 0), 100));
    MarkerConduit conduit;
    conduit.point = ON_3dPoint(10, 20, 0);
    const win32::ClientImage image = Shot("dezaz_main_window_conduit");
    const ON_3dPoint s = viewport->WorldToScreen(conduit.point);
    const int x = static_cast<int>(s.x), y = kMainViewportTop + static_cast<int>(s.y);
    EXPECT_EQ(At(image, x, y), 0xFF0000u);
    EXPECT_EQ(CountColour(image, 0xFF0000u, 0, kMainViewportTop, dezaz::MainCommandLineTop(image.height)),
              CDezazViewport::kInferencePointSize * CDezazViewport::kInferencePointSize);
}

} // namespace
