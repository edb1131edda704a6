#include "overlay/prop_tree_number.h"

#include <charconv>
#include <cmath>
#include <cwctype>
#include <system_error>

namespace proptree
{

namespace
{

bool IsSpace(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r' || c == L'\v' || c == L'\f';
}

// The leading run of characters a number can hold, narrowed to ASCII (any
// other character ends it). Long runs are kept whole so that overflow is
// seen, not cut off.
std::string NumberPrefix(std::wstring_view text, std::size_t& used, bool real)
{
    std::string out;
    std::size_t i = 0;
    for (; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        const bool digit = c >= L'0' && c <= L'9';
        const bool sign = (c == L'+' || c == L'-') && (out.empty() || (real && (out.back() == 'e' || out.back() == 'E')));
        const bool other = real && (c == L'.' || c == L'e' || c == L'E');
        if (!digit && !sign && !other)
            break;
        out += static_cast<char>(c);
    }
    used = i;
    return out;
}

} // namespace

std::optional<int> ScanInt(std::wstring_view text)
{
    std::size_t start = 0;
    while (start < text.size() && IsSpace(text[start]))
        ++start;
    std::size_t used = 0;
    std::string digits = NumberPrefix(text.substr(start), used, false);
    if (!digits.empty() && digits[0] == '+')
        digits.erase(0, 1);
    if (digits.empty() || digits == "-")
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end == digits.data())
        return std::nullopt;
    return value;
}

std::optional<double> ScanReal(std::wstring_view text)
{
    std::size_t start = 0;
    while (start < text.size() && IsSpace(text[start]))
        ++start;
    std::size_t used = 0;
    std::string number = NumberPrefix(text.substr(start), used, true);
    if (!number.empty() && number[0] == '+')
        number.erase(0, 1);
    if (number.empty())
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value,
                                           std::chars_format::general);
    if (ec != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    for (std::size_t i = start + used; i < text.size(); ++i)
        if (!IsSpace(text[i]))
            return std::nullopt;
    return value;
}

std::wstring FormatInt(int value)
{
    return std::to_wstring(value);
}

std::wstring FormatReal(double value)
{
    // A value of any size fits: 309 digits, a sign, a point and six decimals.
    char buffer[400];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec != std::errc())
        return std::wstring();
    return std::wstring(buffer, end);
}

} // namespace proptree
