#include "plugin/tools/analyzer_settings.h"

#include "analysis/colour_ramp.h"
#include "core/registry_store.h"

#include <cmath>
#include <cwchar>

bool IsUsableMultiplier(float multiplier)
{
    return std::isfinite(multiplier) && multiplier > 1.0f;
}

bool IsUsableTolerance(float tolerance, float multiplier)
{
    return IsUsableMultiplier(multiplier) && IsValidRampRange(tolerance, multiplier * tolerance);
}

void ReadAnalyzerRange(const cRegistryStore* store, float& multiplier, float& tolerance)
{
    if (!store)
        return;
    float m = multiplier;
    if (store->ReadFloat(kAnalyzerSection, L"Multiplier", &m) && IsUsableMultiplier(m))
        multiplier = m;
    if (!IsUsableMultiplier(multiplier))
        multiplier = kDefaultMultiplier;
    float t = tolerance;
    if (store->ReadFloat(kAnalyzerSection, L"Tolerance", &t) && IsUsableTolerance(t, multiplier))
        tolerance = t;
    if (!IsUsableTolerance(tolerance, multiplier))
        tolerance = kDefaultTolerance;
}

void WriteAnalyzerTolerance(const cRegistryStore* store, float tolerance)
{
    if (!store)
        return;
    wchar_t text[64];
    const int n = std::swprintf(text, 64, L"%g", double(tolerance));
    if (n <= 0)
        return;
    store->WriteValue(kAnalyzerSection, L"Tolerance", REG_SZ, text, DWORD((n + 1) * 2));
}

void ReadAnalyzerSwitches(const cRegistryStore* store, int& selectionOnly, int& showMinMax)
{
    if (!store)
        return;
    store->ReadInt(kAnalyzerSection, L"CompareSelectionOnly", &selectionOnly);
    store->ReadInt(kAnalyzerSection, L"ShowMinMaxPoints", &showMinMax);
    selectionOnly = selectionOnly != 0 ? 1 : 0;
    showMinMax = showMinMax != 0 ? 1 : 0;
}

void WriteAnalyzerSwitch(const cRegistryStore* store, const wchar_t* name, int value)
{
    if (store)
        store->WriteInt(kAnalyzerSection, name, value);
}

std::array<std::wstring, 4> AnalyzerLegend(float multiplier, float tolerance)
{
    const double maximum = double(multiplier) * tolerance;
    const double values[4] = {maximum, double(tolerance), -double(tolerance), -maximum};
    std::array<std::wstring, 4> texts;
    for (int i = 0; i < 4; ++i)
    {
        wchar_t text[64];
        // Only values that pass IsUsableTolerance reach here; a wider one
        // still gives a cut text, never an overrun.
        if (std::swprintf(text, 64, L"%.3f", values[i]) < 0)
            text[0] = 0;
        texts[std::size_t(i)] = text;
    }
    return texts;
}
