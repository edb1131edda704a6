// Number text of the property rows, read and written with '.' as the
// decimal point whatever the process locale, and with every out-of-range or
// non-finite value refused instead of wrapped or kept.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace proptree
{

// An integer as "%d" scans one: leading spaces, an optional sign, digits;
// what follows the digits is ignored ("12abc" is 12). No digits, or a value
// outside int: none.
std::optional<int> ScanInt(std::wstring_view text);

// A real number: leading and trailing spaces around a decimal number with an
// optional exponent. Anything else after the number (a locale's comma, a
// unit), hexadecimal forms, "nan", "inf" and values beyond double: none.
std::optional<double> ScanReal(std::wstring_view text);

// "%d" and "%f" (six decimals) with '.'.
std::wstring FormatInt(int value);
std::wstring FormatReal(double value);

} // namespace proptree
