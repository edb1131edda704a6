#include "modes/deviation_labels.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

std::wstring DeviationLabelText(float deviation, const wchar_t* unit, int decimals, const wchar_t* unknown,
                                const wchar_t* prefix)
{
    std::wstring text;
    if (deviation == FLT_MAX || std::isnan(deviation))
        text = unknown ? unknown : L"";
    else
    {
        // Wide enough for any float in fixed notation; the cut below keeps
        // the label to what a label shows.
        wchar_t buffer[128];
        const int n = std::swprintf(buffer, 128, L"%ls%.*f %ls", prefix ? prefix : L"", std::clamp(decimals, 0, 9),
                                    double(deviation), unit ? unit : L"");
        text = n < 0 ? std::wstring() : std::wstring(buffer, std::size_t(n));
    }
    if (text.size() > kMaxLabelLength)
        text.resize(kMaxLabelLength);
    return text;
}
