#include "support/gdiplus_session.h"

#include <gtest/gtest.h>

using namespace testgdiplus;

namespace
{

struct Strings
{
    Strings()
    {
        bitmap = MakeBitmap(200, 80, 0);
        GdipGetImageGraphicsContext(bitmap, &graphics);
        GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
        GdipCreateFont(family, 10.0f, FontStyleRegular, UnitPoint, &font);
        GdipCreateStringFormat(0, 0, &format);
        GdipCreateSolidFill(0xFF000000u, &black);
    }
    ~Strings()
    {
        GdipDeleteBrush(black);
        GdipDeleteStringFormat(format);
        GdipDeleteFont(font);
        GdipDeleteFontFamily(family);
        GdipDeleteGraphics(graphics);
        GdipDisposeImage(bitmap);
    }
    GpRectF Measure(const wchar_t* text, REAL width = 0, INT* lines = nullptr)
    {
        const GpRectF layout{0, 0, width, 0};
        GpRectF box{};
        EXPECT_EQ(GdipMeasureString(graphics, text, -1, font, &layout, format, &box, nullptr, lines), Ok);
        return box;
    }
    Session session;
    GpBitmap* bitmap = nullptr;
    GpGraphics* graphics = nullptr;
    GpFontFamily* family = nullptr;
    GpFont* font = nullptr;
    GpStringFormat* format = nullptr;
    GpSolidFill* black = nullptr;
};

} // namespace

TEST(GdiplusStrings, PointsAreTakenAt96DpiAndWidthsGrowWithTheText)
{
    Strings s;
    REAL pixels = 0;
    GdipGetFontPixelSize(s.font, &pixels);
    EXPECT_NEAR(pixels, 10.0f * 96 / 72, 1e-4);
    const GpRectF one = s.Measure(L"Fit");
    const GpRectF two = s.Measure(L"Fit plane");
    EXPECT_GT(one.Width, 0);
    EXPECT_GT(two.Width, one.Width);
    EXPECT_EQ(one.Height, two.Height);
    INT lines = 0;
    const GpRectF broken = s.Measure(L"Fit\nplane", 0, &lines);
    EXPECT_EQ(lines, 2);
    EXPECT_FLOAT_EQ(broken.Height, 2 * one.Height);
    const GpRectF wrapped = s.Measure(L"Fit plane now", one.Width + 4, &lines);
    EXPECT_EQ(lines, 3) << "words past the layout width wrap";
    EXPECT_EQ(s.Measure(L"").Width, 0);
    const GpRectF layout{0, 0, 0, 0};
    GpRectF box{};
    EXPECT_EQ(GdipMeasureString(s.graphics, L"x", -2, s.font, &layout, s.format, &box, nullptr, nullptr),
              InvalidParameter);
    EXPECT_GE(wrapped.Width, 0);
}

TEST(GdiplusStrings, DrawnTextStaysInItsLayoutRectangleAndFollowsTheTransform)
{
    Strings s;
    GdipTranslateWorldTransform(s.graphics, 20, 10, MatrixOrderPrepend);
    GdipSetStringFormatAlign(s.format, StringAlignmentFar);
    const GpRectF layout{0, 0, 100, 30};
    ASSERT_EQ(GdipDrawString(s.graphics, L"Max 1.25 mm and more text", -1, s.font, &layout, s.format, s.black), Ok);
    GpRect ink{};
    ASSERT_GT(CountColour(s.bitmap, 0xFF000000u, &ink), 20);
    EXPECT_GE(ink.X, 20);
    EXPECT_GE(ink.Y, 10);
    EXPECT_LE(ink.X + ink.Width, 120);
    EXPECT_LE(ink.Y + ink.Height, 40);
    EXPECT_GT(ink.X + ink.Width, 110) << "far alignment ends at the right edge";
}

TEST(GdiplusPaths, ArcsCloseIntoARoundedOutlineAndInsetPensStayInside)
{
    Session session;
    GpBitmap* bitmap = MakeBitmap(30, 20, 0);
    GpGraphics* graphics = nullptr;
    GdipGetImageGraphicsContext(bitmap, &graphics);
    GpPath* path = nullptr;
    ASSERT_EQ(GdipCreatePath(FillModeAlternate, &path), Ok);
    GdipAddPathArcI(path, 0, 0, 10, 10, 180, 90);
    GdipAddPathArcI(path, 20, 0, 10, 10, 270, 90);
    GdipAddPathArcI(path, 20, 10, 10, 10, 0, 90);
    GdipAddPathArcI(path, 0, 10, 10, 10, 90, 90);
    GdipClosePathFigure(path);
    INT points = 0;
    GdipGetPointCount(path, &points);
    EXPECT_EQ(points, 8);
    GpSolidFill* fill = nullptr;
    GdipCreateSolidFill(0xFF0000FFu, &fill);
    ASSERT_EQ(GdipFillPath(graphics, fill, path), Ok);
    EXPECT_EQ(PixelAt(bitmap, 0, 0), 0u) << "the corner is cut";
    EXPECT_EQ(PixelAt(bitmap, 15, 10), 0xFF0000FFu);
    GpPen* pen = nullptr;
    GdipCreatePen1(0xFFFF0000u, 2, UnitWorld, &pen);
    GdipSetPenMode(pen, PenAlignmentInset);
    ASSERT_EQ(GdipDrawPath(graphics, pen, path), Ok);
    EXPECT_EQ(PixelAt(bitmap, 15, 0), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(bitmap, 15, 1), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(bitmap, 15, 2), 0xFF0000FFu);
    GpBitmap* square = MakeBitmap(12, 12, 0);
    GpGraphics* g2 = nullptr;
    GdipGetImageGraphicsContext(square, &g2);
    ASSERT_EQ(GdipDrawRectangleI(g2, pen, 0, 0, 12, 12), Ok);
    EXPECT_EQ(PixelAt(square, 0, 5), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(square, 11, 5), 0xFFFF0000u) << "an inset rectangle keeps its outline inside";
    EXPECT_EQ(PixelAt(square, 2, 5), 0u);
    GdipDeleteGraphics(g2);
    GdipDisposeImage(square);
    GdipDeletePen(pen);
    GdipDeleteBrush(fill);
    GdipDeletePath(path);
    GdipDeleteGraphics(graphics);
    GdipDisposeImage(bitmap);
}
