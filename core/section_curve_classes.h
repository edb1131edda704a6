// The class ids of the section-curve kinds. A record names its curve's kind
// by one, the curve factory makes a curve from it, and the surface builders
// ask a profiled surface for a profile of a kind by it; kept below both so
// that the builders need not know the curves themselves.
#pragma once

#include "platform/win32/types.h"

// {0DE6345F-FE18-4858-986A-CE6F2C0FA157}
inline constexpr GUID CLSID_ST_TLineCurve = {0x0DE6345F, 0xFE18, 0x4858, {0x98, 0x6A, 0xCE, 0x6F, 0x2C, 0x0F, 0xA1, 0x57}};
// {94DE93BB-F241-437D-8A1D-534626450648}
inline constexpr GUID CLSID_ST_TArcCurve = {0x94DE93BB, 0xF241, 0x437D, {0x8A, 0x1D, 0x53, 0x46, 0x26, 0x45, 0x06, 0x48}};
// {82AE1B5E-F8B5-4965-AA3E-493BC09685EB}
inline constexpr GUID CLSID_ST_TSplineCurve = {0x82AE1B5E, 0xF8B5, 0x4965, {0xAA, 0x3E, 0x49, 0x3B, 0xC0, 0x96, 0x85, 0xEB}};
// {367DE850-CC72-4EEF-8986-0F4F32B14717}
inline constexpr GUID CLSID_ST_TComboCurve = {0x367DE850, 0xCC72, 0x4EEF, {0x89, 0x86, 0x0F, 0x4F, 0x32, 0xB1, 0x47, 0x17}};
// {2CB9FA72-C8B9-4DE5-88DE-526080553831}
inline constexpr GUID CLSID_ST_TSketch = {0x2CB9FA72, 0xC8B9, 0x4DE5, {0x88, 0xDE, 0x52, 0x60, 0x80, 0x55, 0x38, 0x31}};
