#include "plugin/dialogs/curve_setting_values.h"

#include <cerrno>
#include <cmath>
#include <cwchar>
#include <cwctype>

bool ParseFiniteNumber(const wchar_t* text, double* value)
{
    if (!text)
        return false;
    while (std::iswspace(*text))
        ++text;
    if (*text == L'\0')
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const double parsed = std::wcstod(text, &end);
    if (end == text || errno == ERANGE || !std::isfinite(parsed))
        return false;
    while (std::iswspace(*end))
        ++end;
    if (*end != L'\0')
        return false;
    *value = parsed;
    return true;
}

bool ParsePositiveLength(const wchar_t* text, float* value)
{
    double parsed = 0.0;
    if (!ParseFiniteNumber(text, &parsed) || !(parsed > 0.0) || parsed > kMaxSectionLength ||
        static_cast<float>(parsed) <= 0.0f)
        return false;
    *value = static_cast<float>(parsed);
    return true;
}

bool ParseClampedCount(const wchar_t* text, std::int32_t minimum, std::int32_t maximum, std::int32_t* value)
{
    double parsed = 0.0;
    if (!ParseFiniteNumber(text, &parsed))
        return false;
    if (parsed < minimum)
        *value = minimum;
    else if (parsed > maximum)
        *value = maximum;
    else
        *value = static_cast<std::int32_t>(parsed);
    return true;
}

bool ParseTangencyAngle(const wchar_t* text, float* degrees)
{
    double parsed = 0.0;
    if (!ParseFiniteNumber(text, &parsed) || parsed < 0.0 || parsed > 180.0)
        return false;
    *degrees = static_cast<float>(parsed);
    return true;
}
