#include "support/gl_window.h"

#include <gtest/gtest.h>

namespace
{

class PixelFormats : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window = testgl::CreateClientWindow(32, 32);
        dc = GetDC(window);
        ASSERT_NE(dc, nullptr);
    }
    void TearDown() override
    {
        DestroyWindow(window);
        win32::PumpUntilIdle();
    }
    HWND window = nullptr;
    HDC dc = nullptr;
};

TEST_F(PixelFormats, TheRendererDescriptorGetsExactlyWhatItAsksFor)
{
    PIXELFORMATDESCRIPTOR want = testgl::RendererDescriptor();
    int format = ChoosePixelFormat(dc, &want);
    ASSERT_GT(format, 0) << wgl::PlatformFailure();
    PIXELFORMATDESCRIPTOR got{};
    int count = DescribePixelFormat(dc, format, sizeof(got), &got);
    EXPECT_GE(count, format);
    EXPECT_EQ(got.nSize, sizeof(PIXELFORMATDESCRIPTOR));
    EXPECT_EQ(got.dwFlags & 0x25u, 0x25u);
    EXPECT_EQ(got.iPixelType, PFD_TYPE_RGBA);
    EXPECT_EQ(got.cRedBits, 8);
    EXPECT_EQ(got.cGreenBits, 8);
    EXPECT_EQ(got.cBlueBits, 8);
    EXPECT_EQ(got.cAlphaBits, 0);
    EXPECT_EQ(got.cDepthBits, 24);
    EXPECT_EQ(got.cStencilBits, 0);

    // Asking for alpha and stencil finds a format that has them.
    want.cAlphaBits = 8;
    want.cStencilBits = 8;
    int withAlpha = ChoosePixelFormat(dc, &want);
    ASSERT_GT(withAlpha, 0);
    DescribePixelFormat(dc, withAlpha, sizeof(got), &got);
    EXPECT_EQ(got.cAlphaBits, 8);
    EXPECT_EQ(got.cStencilBits, 8);

    EXPECT_EQ(DescribePixelFormat(dc, 0, 0, nullptr), count);
    EXPECT_EQ(DescribePixelFormat(dc, count + 1, sizeof(got), &got), 0);
    EXPECT_EQ(DescribePixelFormat(dc, format, sizeof(got) - 1, &got), 0);
}

TEST_F(PixelFormats, AWindowTakesOnePixelFormatForGood)
{
    PIXELFORMATDESCRIPTOR want = testgl::RendererDescriptor();
    int format = ChoosePixelFormat(dc, &want);
    ASSERT_GT(format, 0) << wgl::PlatformFailure();
    EXPECT_EQ(GetPixelFormat(dc), 0);
    EXPECT_TRUE(SetPixelFormat(dc, format, &want));
    EXPECT_EQ(GetPixelFormat(dc), format);
    EXPECT_TRUE(SetPixelFormat(dc, format, &want));
    int other = format == 1 ? 2 : 1;
    EXPECT_FALSE(SetPixelFormat(dc, other, &want));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PIXEL_FORMAT);
    EXPECT_EQ(GetPixelFormat(dc), format);
}

TEST_F(PixelFormats, BadRequestsAreRefused)
{
    PIXELFORMATDESCRIPTOR want = testgl::RendererDescriptor();
    EXPECT_EQ(ChoosePixelFormat(dc, nullptr), 0);
    EXPECT_EQ(ChoosePixelFormat(nullptr, &want), 0);
    want.iPixelType = PFD_TYPE_COLORINDEX;
    EXPECT_EQ(ChoosePixelFormat(dc, &want), 0);
    EXPECT_FALSE(SetPixelFormat(dc, 0, nullptr));
    EXPECT_FALSE(SetPixelFormat(dc, 10000, nullptr));
    EXPECT_FALSE(SetPixelFormat(GetDC(nullptr), 1, nullptr)); // the screen has no GL surface
}

TEST_F(PixelFormats, DeviceContextsBelongToTheirWindow)
{
    EXPECT_EQ(GetDC(window), dc); // a GL window keeps its own context
    EXPECT_EQ(WindowFromDC(dc), window);
    EXPECT_EQ(ReleaseDC(window, dc), 1);
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES), 32);
    EXPECT_EQ(GetDeviceCaps(GetDC(nullptr), BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(nullptr, BITSPIXEL), 0);

    // Painting hands out the same context.
    PAINTSTRUCT paint{};
    EXPECT_EQ(BeginPaint(window, &paint), dc);
    EndPaint(window, &paint);

    DestroyWindow(window);
    EXPECT_EQ(WindowFromDC(dc), nullptr);
    EXPECT_EQ(GetDC(window), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

} // namespace
