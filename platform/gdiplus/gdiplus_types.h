// Types, status codes and enumerations of the GDI+ flat functions.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

using ARGB = std::uint32_t; // 0xAARRGGBB, straight (not premultiplied) alpha
using REAL = float;
using PixelFormat = std::int32_t;
using GraphicsState = UINT;

enum Status
{
    Ok = 0,
    GenericError = 1,
    InvalidParameter = 2,
    OutOfMemory = 3,
    ObjectBusy = 4,
    InsufficientBuffer = 5,
    NotImplemented = 6,
    Win32Error = 7,
    WrongState = 8,
    Aborted = 9,
    FileNotFound = 10,
    ValueOverflow = 11,
    AccessDenied = 12,
    UnknownImageFormat = 13,
    FontFamilyNotFound = 14,
    FontStyleNotFound = 15,
    NotTrueTypeFont = 16,
    UnsupportedGdiplusVersion = 17,
    GdiplusNotInitialized = 18,
    PropertyNotFound = 19,
    PropertyNotSupported = 20,
};
using GpStatus = Status;

inline constexpr PixelFormat PixelFormatUndefined = 0;
inline constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101;
inline constexpr PixelFormat PixelFormat4bppIndexed = 0x00030402;
inline constexpr PixelFormat PixelFormat8bppIndexed = 0x00030803;
inline constexpr PixelFormat PixelFormat16bppRGB555 = 0x00021005;
inline constexpr PixelFormat PixelFormat24bppRGB = 0x00021808;
inline constexpr PixelFormat PixelFormat32bppRGB = 0x00022009;
inline constexpr PixelFormat PixelFormat32bppARGB = 0x0026200A;
inline constexpr PixelFormat PixelFormat32bppPARGB = 0x000E200B;

// Bits per pixel of a format.
constexpr UINT GetPixelFormatSize(PixelFormat format) { return (static_cast<UINT>(format) >> 8) & 0xFF; }

enum ImageLockMode
{
    ImageLockModeRead = 1,
    ImageLockModeWrite = 2,
    ImageLockModeUserInputBuf = 4,
};

enum Unit
{
    UnitWorld = 0,
    UnitDisplay = 1,
    UnitPixel = 2,
    UnitPoint = 3,
    UnitInch = 4,
    UnitDocument = 5,
    UnitMillimeter = 6,
};
using GpUnit = Unit;

enum MatrixOrder
{
    MatrixOrderPrepend = 0,
    MatrixOrderAppend = 1,
};
using GpMatrixOrder = MatrixOrder;

enum CombineMode
{
    CombineModeReplace = 0,
    CombineModeIntersect = 1,
    CombineModeUnion = 2,
    CombineModeXor = 3,
    CombineModeExclude = 4,
    CombineModeComplement = 5,
};

enum SmoothingMode
{
    SmoothingModeInvalid = -1,
    SmoothingModeDefault = 0,
    SmoothingModeHighSpeed = 1,
    SmoothingModeHighQuality = 2,
    SmoothingModeNone = 3,
    SmoothingModeAntiAlias = 4,
};

enum CompositingMode
{
    CompositingModeSourceOver = 0,
    CompositingModeSourceCopy = 1,
};

enum FillMode
{
    FillModeAlternate = 0,
    FillModeWinding = 1,
};
using GpFillMode = FillMode;

enum LineJoin
{
    LineJoinMiter = 0,
    LineJoinBevel = 1,
    LineJoinRound = 2,
    LineJoinMiterClipped = 3,
};
using GpLineJoin = LineJoin;

enum PenAlignment
{
    PenAlignmentCenter = 0,
    PenAlignmentInset = 1,
};
using GpPenAlignment = PenAlignment;

enum DashStyle
{
    DashStyleSolid = 0,
    DashStyleDash = 1,
    DashStyleDot = 2,
    DashStyleDashDot = 3,
    DashStyleDashDotDot = 4,
    DashStyleCustom = 5,
};
using GpDashStyle = DashStyle;

struct GpRect
{
    INT X;
    INT Y;
    INT Width;
    INT Height;
};

struct GpRectF
{
    REAL X;
    REAL Y;
    REAL Width;
    REAL Height;
};

struct GpPoint
{
    INT X;
    INT Y;
};

struct GpPointF
{
    REAL X;
    REAL Y;
};

struct BitmapData
{
    UINT Width;
    UINT Height;
    INT Stride; // negative: rows run upwards in memory
    ::PixelFormat PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};

using DebugEventProc = void (*)(int level, char* message);

struct GdiplusStartupInput
{
    UINT GdiplusVersion = 1;
    DebugEventProc DebugEventCallback = nullptr;
    BOOL SuppressBackgroundThread = FALSE;
    BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput
{
    void* NotificationHook = nullptr;
    void* NotificationUnhook = nullptr;
};

// Opaque objects of the flat functions.
class GpGraphics;
class GpPen;
class GpMatrix;

#include "platform/gdiplus/image_objects.h"
