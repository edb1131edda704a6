// The deviation analyser's settings under "Preferences\Analyzer": the
// tolerance and the multiplier that sets the colour scale's limit, whether
// the shapes dialog's page measures the selection only and shows the
// extremes. A stored value that cannot drive the colour scale (a tolerance
// that is not a finite number above 0, a multiplier not above 1, or a
// product that overflows) keeps the default, as a missing one does.
#pragma once

#include <array>
#include <string>

class cRegistryStore;

inline constexpr wchar_t kAnalyzerSection[] = L"Preferences\\Analyzer";
inline constexpr float kDefaultMultiplier = 5.0f;
inline constexpr float kDefaultTolerance = 0.01f;

// Whether the pair gives a scale whose limit lies above the tolerance.
bool IsUsableTolerance(float tolerance, float multiplier);
bool IsUsableMultiplier(float multiplier);

// Multiplier, then Tolerance (judged against the multiplier read).
void ReadAnalyzerRange(const cRegistryStore* store, float& multiplier, float& tolerance);
void WriteAnalyzerTolerance(const cRegistryStore* store, float tolerance);
// "CompareSelectionOnly" and "ShowMinMaxPoints" as 0 or 1.
void ReadAnalyzerSwitches(const cRegistryStore* store, int& selectionOnly, int& showMinMax);
void WriteAnalyzerSwitch(const cRegistryStore* store, const wchar_t* name, int value);

// The legend: maximum, tolerance, -tolerance and -maximum as "%.3f".
std::array<std::wstring, 4> AnalyzerLegend(float multiplier, float tolerance);

// The text shown when a typed tolerance is refused.
inline constexpr wchar_t kBadToleranceText[] = L"The tolerance must be a number above 0.";
