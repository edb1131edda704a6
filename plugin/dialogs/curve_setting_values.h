// The numbers of the Curves page's edits and settings, read soundly: text
// that is no number, not finite (the C formatting reads "nan" and "inf") or
// outside a field's range never reaches the sectioning or the curve edits.
#pragma once

#include <cstdint>

// Largest tolerance, merge tolerance or spacing taken (millimetres and up).
inline constexpr double kMaxSectionLength = 1e7;
// Points per section curve: at least 2, at most this.
inline constexpr std::int32_t kMaxSectionCurvePoints = 10000;
// Points a new curve's segments are sub-sampled with: at least 1, at most this.
inline constexpr std::int32_t kMaxSubSectionPoints = 1000;

// The whole text as a finite number; false for anything else (empty, junk,
// trailing characters, nan, inf, out of the double range).
bool ParseFiniteNumber(const wchar_t* text, double* value);
// A length that must be positive: finite, above 0 and at most
// kMaxSectionLength; false otherwise (the caller keeps its value).
bool ParsePositiveLength(const wchar_t* text, float* value);
// A whole count raised to the minimum and capped at the maximum; false for
// text that is no finite number (the caller keeps its count).
bool ParseClampedCount(const wchar_t* text, std::int32_t minimum, std::int32_t maximum, std::int32_t* value);
// The tangency angle in degrees: finite, 0 to 180.
bool ParseTangencyAngle(const wchar_t* text, float* degrees);
