// A count with its noun in the number the count takes, for the host's
// messages: "1 triangle", "2 triangles", "0 triangles".
#pragma once

#include <concepts>
#include <string>
#include <string_view>

namespace dezaz
{

template <std::integral N> std::wstring Counted(N count, std::wstring_view singular, std::wstring_view plural)
{
    std::wstring text = std::to_wstring(count);
    text += L' ';
    text += count == 1 ? singular : plural;
    return text;
}

} // namespace dezaz
