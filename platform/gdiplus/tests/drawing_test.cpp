#include "support/gdiplus_session.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace testgdiplus;

namespace
{

class GdiplusDrawing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bitmap = MakeBitmap(40, 30, 0);
        ASSERT_EQ(GdipGetImageGraphicsContext(bitmap, &graphics), Ok);
        ASSERT_EQ(GdipCreateSolidFill(0xFF00FF00u, &green), Ok);
        ASSERT_EQ(GdipCreatePen1(0xFFFF0000u, 1.0f, UnitPixel, &red), Ok);
    }
    void TearDown() override
    {
        GdipDeletePen(red);
        GdipDeleteBrush(green);
        GdipDeleteGraphics(graphics);
        GdipDisposeImage(bitmap);
    }

    Session session;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
    GpSolidFill* green = nullptr;
    GpPen* red = nullptr;
};

TEST_F(GdiplusDrawing, FillsCoverTheInsideAndOutlinesTheirCornersInclusive)
{
    ASSERT_EQ(GdipFillRectangleI(graphics, green, 2, 3, 10, 5), Ok);
    GpRect box{};
    EXPECT_EQ(CountColour(bitmap, 0xFF00FF00u, &box), 50);
    EXPECT_EQ(box.X, 2);
    EXPECT_EQ(box.Y, 3);
    EXPECT_EQ(box.Width, 10);
    EXPECT_EQ(box.Height, 5);

    ASSERT_EQ(GdipDrawRectangleI(graphics, red, 20, 10, 6, 4), Ok);
    EXPECT_EQ(CountColour(bitmap, 0xFFFF0000u, &box), 2 * 7 + 2 * 3);
    EXPECT_EQ(box.X, 20);
    EXPECT_EQ(box.Y, 10);
    EXPECT_EQ(box.Width, 7) << "an outline of width 6 covers 7 pixels";
    EXPECT_EQ(box.Height, 5);
}

TEST_F(GdiplusDrawing, LinesReachBothEndPoints)
{
    ASSERT_EQ(GdipDrawLineI(graphics, red, 5, 20, 14, 20), Ok);
    GpRect box{};
    EXPECT_EQ(CountColour(bitmap, 0xFFFF0000u, &box), 10);
    EXPECT_EQ(box.X, 5);
    EXPECT_EQ(box.Width, 10);
    EXPECT_EQ(box.Y, 20);
    EXPECT_EQ(box.Height, 1);
}

TEST_F(GdiplusDrawing, TranslucentFillsKeepStraightAlphaAndLeaveOtherPixelsExact)
{
    // Pixels with partial alpha that the drawing does not touch must keep
    // their exact values through the premultiplied drawing surface.
    GdipBitmapSetPixel(bitmap, 30, 25, 0x03FEFDFCu);
    GpSolidFill* veil = nullptr;
    ASSERT_EQ(GdipCreateSolidFill(0x60FFFFFFu, &veil), Ok);
    ASSERT_EQ(GdipFillRectangleI(graphics, veil, 28, 20, 2, 10), Ok);
    EXPECT_EQ(PixelAt(bitmap, 28, 22), 0x60FFFFFFu) << "over transparent: the brush colour itself";
    EXPECT_EQ(PixelAt(bitmap, 30, 25), 0x03FEFDFCu);

    // Over an opaque pixel source-over blends to opaque.
    GdipFillRectangleI(graphics, green, 0, 0, 4, 4);
    GdipFillRectangleI(graphics, veil, 0, 0, 4, 4);
    const ARGB blended = PixelAt(bitmap, 1, 1);
    EXPECT_EQ(blended >> 24, 0xFFu);
    EXPECT_NEAR(int((blended >> 16) & 0xFF), 0x60, 1);
    EXPECT_NEAR(int((blended >> 8) & 0xFF), 0xFF, 1);

    // Source copy replaces, alpha included.
    GdipSetCompositingMode(graphics, CompositingModeSourceCopy);
    GdipFillRectangleI(graphics, veil, 0, 0, 1, 1);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), 0x60FFFFFFu);
    GdipDeleteBrush(veil);
}

TEST_F(GdiplusDrawing, TransformsMoveAndClipsCutTheDrawing)
{
    GdipTranslateWorldTransform(graphics, 10.0f, 5.0f, MatrixOrderPrepend);
    GdipScaleWorldTransform(graphics, 2.0f, 2.0f, MatrixOrderPrepend);
    GdipFillRectangleI(graphics, green, 1, 1, 3, 2); // device (12, 7) to (18, 11)
    GpRect box{};
    EXPECT_EQ(CountColour(bitmap, 0xFF00FF00u, &box), 24);
    EXPECT_EQ(box.X, 12);
    EXPECT_EQ(box.Y, 7);

    GpMatrix* matrix = nullptr;
    ASSERT_EQ(GdipCreateMatrix(&matrix), Ok);
    GdipGetWorldTransform(graphics, matrix);
    REAL elements[6];
    GdipGetMatrixElements(matrix, elements);
    EXPECT_FLOAT_EQ(elements[0], 2.0f);
    EXPECT_FLOAT_EQ(elements[4], 10.0f);
    EXPECT_FLOAT_EQ(elements[5], 5.0f);
    GdipDeleteMatrix(matrix);

    GdipResetWorldTransform(graphics);
    GdipGraphicsClear(graphics, 0);
    ASSERT_EQ(GdipSetClipRectI(graphics, 5, 5, 4, 4, CombineModeReplace), Ok);
    GdipFillRectangleI(graphics, green, 0, 0, 40, 30);
    EXPECT_EQ(CountColour(bitmap, 0xFF00FF00u, &box), 16);
    EXPECT_EQ(box.X, 5);
    GdipSetClipRectI(graphics, 7, 7, 10, 10, CombineModeIntersect);
    GdipGraphicsClear(graphics, 0xFF0000FFu);
    EXPECT_EQ(CountColour(bitmap, 0xFF0000FFu), 4);

    GdipResetClip(graphics);
    GdipGraphicsClear(graphics, 0x00000000u);
    EXPECT_EQ(CountColour(bitmap, 0u), 40 * 30);
}

TEST_F(GdiplusDrawing, SavedStatesComeBack)
{
    GraphicsState state = 0;
    GdipSaveGraphics(graphics, &state);
    GdipTranslateWorldTransform(graphics, 100.0f, 0.0f, MatrixOrderPrepend);
    GdipSetClipRectI(graphics, 0, 0, 1, 1, CombineModeReplace);
    GdipRestoreGraphics(graphics, state);
    GdipFillRectangleI(graphics, green, 0, 0, 2, 2);
    EXPECT_EQ(CountColour(bitmap, 0xFF00FF00u), 4);
}

TEST_F(GdiplusDrawing, ImagesAreCopiedExactlyAtWholePixels)
{
    GpBitmap* source = MakeBitmap(3, 2, 0x80102030u);
    GdipBitmapSetPixel(source, 2, 1, 0xFF405060u);
    ASSERT_EQ(GdipDrawImageI(graphics, source, 10, 10), Ok);
    EXPECT_EQ(PixelAt(bitmap, 10, 10), 0x80102030u);
    EXPECT_EQ(PixelAt(bitmap, 12, 11), 0xFF405060u);
    EXPECT_EQ(PixelAt(bitmap, 13, 11), 0u);
    ASSERT_EQ(GdipDrawImageRectRectI(graphics, source, 0, 0, 6, 4, 0, 0, 3, 2, UnitPixel, nullptr, nullptr, nullptr),
              Ok);
    EXPECT_EQ(PixelAt(bitmap, 5, 3) >> 24, 0xFFu);
    EXPECT_EQ(GdipDrawImageI(graphics, bitmap, 0, 0), WrongState) << "a bitmap never draws onto itself";
    GdipDisposeImage(source);
}

TEST_F(GdiplusDrawing, BadArgumentsAreRefusedWithoutDrawing)
{
    EXPECT_EQ(GdipFillRectangleI(nullptr, green, 0, 0, 1, 1), InvalidParameter);
    EXPECT_EQ(GdipFillRectangle(graphics, green, 0.0f, 0.0f, std::numeric_limits<float>::infinity(), 1.0f), InvalidParameter);
    EXPECT_EQ(GdipDrawRectangleI(graphics, red, 0, 0, -3, 2), InvalidParameter);
    EXPECT_EQ(GdipFillPolygonI(graphics, green, nullptr, 3, FillModeAlternate), InvalidParameter);
    GpPen* refused = nullptr;
    EXPECT_EQ(GdipCreatePen1(0, -1.0f, UnitPixel, &refused), InvalidParameter);
    // Far outside the bitmap is fine and draws nothing.
    EXPECT_EQ(GdipFillRectangleI(graphics, green, -100000, -100000, 10, 10), Ok);
    EXPECT_EQ(CountColour(bitmap, 0u), 40 * 30);

    BitmapData data{};
    GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data);
    EXPECT_EQ(GdipFillRectangleI(graphics, green, 0, 0, 1, 1), WrongState);
    GdipBitmapUnlockBits(bitmap, &data);
}

TEST_F(GdiplusDrawing, PolygonsAndEllipsesFillTheirInside)
{
    const GpPoint triangle[3] = {{0, 0}, {20, 0}, {0, 20}};
    ASSERT_EQ(GdipFillPolygonI(graphics, green, triangle, 3, FillModeAlternate), Ok);
    const int count = CountColour(bitmap, 0xFF00FF00u);
    EXPECT_NEAR(count, 200, 20);
    GdipGraphicsClear(graphics, 0);
    ASSERT_EQ(GdipFillEllipseI(graphics, green, 0, 0, 20, 20), Ok);
    EXPECT_NEAR(CountColour(bitmap, 0xFF00FF00u), 314, 20);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), 0u);
    EXPECT_EQ(PixelAt(bitmap, 10, 10), 0xFF00FF00u);
}

} // namespace
