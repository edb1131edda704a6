// GDI+ strings: font families, fonts, string formats, measuring and drawing.
// Every face resolves to the stand-in's one sans-serif face (the platform's
// text layer); sizes in points are taken at 96 pixels per inch.
#pragma once

#include "platform/gdiplus/gdiplus_types.h"

class GpFontFamily;
class GpFont;
class GpStringFormat;
class GpBrush;

enum FontStyle
{
    FontStyleRegular = 0,
    FontStyleBold = 1,
    FontStyleItalic = 2,
    FontStyleBoldItalic = 3,
    FontStyleUnderline = 4,
    FontStyleStrikeout = 8,
};

enum StringAlignment
{
    StringAlignmentNear = 0,
    StringAlignmentCenter = 1,
    StringAlignmentFar = 2,
};

enum TextRenderingHint
{
    TextRenderingHintSystemDefault = 0,
    TextRenderingHintSingleBitPerPixelGridFit = 1,
    TextRenderingHintSingleBitPerPixel = 2,
    TextRenderingHintAntiAliasGridFit = 3,
    TextRenderingHintAntiAlias = 4,
    TextRenderingHintClearTypeGridFit = 5,
};

Status GdipCreateFontFamilyFromName(const WCHAR* name, void* fontCollection, GpFontFamily** family);
Status GdipDeleteFontFamily(GpFontFamily* family);
Status GdipCreateFont(const GpFontFamily* family, REAL emSize, INT style, INT unit, GpFont** font);
Status GdipDeleteFont(GpFont* font);
// The font's em size in device pixels.
Status GdipGetFontPixelSize(const GpFont* font, REAL* size);

Status GdipCreateStringFormat(INT formatFlags, WORD language, GpStringFormat** format);
Status GdipDeleteStringFormat(GpStringFormat* format);
Status GdipSetStringFormatAlign(GpStringFormat* format, StringAlignment align);
Status GdipSetStringFormatLineAlign(GpStringFormat* format, StringAlignment align);

Status GdipSetTextRenderingHint(GpGraphics* graphics, TextRenderingHint mode);
Status GdipGetTextRenderingHint(GpGraphics* graphics, TextRenderingHint* mode);

// Lines break at the text's own line breaks and, when the layout rectangle
// has a width, between words that would run past it. A length of -1 takes
// the string up to its terminating zero.
Status GdipMeasureString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                         const GpRectF* layoutRect, const GpStringFormat* format, GpRectF* boundingBox,
                         INT* codepointsFitted, INT* linesFilled);
Status GdipDrawString(GpGraphics* graphics, const WCHAR* string, INT length, const GpFont* font,
                      const GpRectF* layoutRect, const GpStringFormat* format, const GpBrush* brush);
