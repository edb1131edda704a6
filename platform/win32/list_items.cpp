#include "platform/win32/control_internal.h"

#include <algorithm>
#include <cwctype>

namespace win32::detail
{

namespace
{

// Above this many strings a box refuses more (CB_ERRSPACE / LB_ERRSPACE).
constexpr std::size_t kMaxItems = 1000000;

int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i)
    {
        const auto x = std::towlower(a[i]);
        const auto y = std::towlower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsNoCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() && CompareNoCase(text.substr(0, prefix.size()), prefix) == 0;
}

} // namespace

std::size_t ListItems::PlaceFor(const std::wstring& text, bool sorted) const
{
    if (!sorted)
        return items.size();
    std::size_t i = 0;
    while (i < items.size() && CompareNoCase(items[i].text, text) <= 0)
        ++i;
    return i;
}

int ListItems::Find(const std::wstring& text, int start, bool exact) const
{
    const int n = static_cast<int>(items.size());
    if (n == 0)
        return -1;
    const int first = (start < -1 || start >= n) ? 0 : start + 1;
    for (int k = 0; k < n; ++k)
    {
        const int i = (first + k) % n;
        const std::wstring& t = items[static_cast<std::size_t>(i)].text;
        if (exact ? CompareNoCase(t, text) == 0 : StartsNoCase(t, text))
            return i;
    }
    return -1;
}

bool ListItems::Handle(UINT message, WPARAM wParam, LPARAM lParam, bool sorted, LRESULT& result)
{
    switch (message)
    {
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
    {
        if (items.size() >= kMaxItems)
        {
            result = -2;
            return true;
        }
        std::wstring text = lParam ? reinterpret_cast<LPCWSTR>(lParam) : L"";
        std::size_t at;
        if (message == LB_ADDSTRING)
            at = PlaceFor(text, sorted);
        else
        {
            const auto index = static_cast<std::intptr_t>(wParam);
            if (index == -1)
                at = items.size();
            else if (index < 0 || static_cast<std::size_t>(index) > items.size())
            {
                result = LB_ERR;
                return true;
            }
            else
                at = static_cast<std::size_t>(index);
        }
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), Item{std::move(text), 0});
        if (selected >= static_cast<int>(at))
            ++selected;
        result = static_cast<LRESULT>(at);
        return true;
    }
    case LB_DELETESTRING:
        if (!Valid(wParam))
        {
            result = LB_ERR;
            return true;
        }
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(wParam));
        if (selected == static_cast<int>(wParam))
            selected = -1;
        else if (selected > static_cast<int>(wParam))
            --selected;
        result = static_cast<LRESULT>(items.size());
        return true;
    case LB_RESETCONTENT:
        items.clear();
        selected = -1;
        result = 0;
        return true;
    case LB_GETCOUNT:
        result = static_cast<LRESULT>(items.size());
        return true;
    case LB_GETCURSEL:
        result = selected;
        return true;
    case LB_SETCURSEL:
        // An index outside the list clears the selection and reports failure.
        if (!Valid(wParam))
        {
            selected = -1;
            result = static_cast<std::intptr_t>(wParam) == -1 ? LB_ERR : LB_ERR;
            return true;
        }
        selected = static_cast<int>(wParam);
        result = selected;
        return true;
    case LB_GETTEXT:
        if (!Valid(wParam) || !lParam)
        {
            result = LB_ERR;
            return true;
        }
        {
            const std::wstring& t = items[wParam].text;
            auto* out = reinterpret_cast<LPWSTR>(lParam);
            std::copy(t.begin(), t.end(), out);
            out[t.size()] = 0;
            result = static_cast<LRESULT>(t.size());
        }
        return true;
    case LB_GETTEXTLEN:
        result = Valid(wParam) ? static_cast<LRESULT>(items[wParam].text.size()) : LB_ERR;
        return true;
    case LB_GETITEMDATA:
        result = Valid(wParam) ? static_cast<LRESULT>(items[wParam].data) : LB_ERR;
        return true;
    case LB_SETITEMDATA:
        if (!Valid(wParam))
        {
            result = LB_ERR;
            return true;
        }
        items[wParam].data = static_cast<ULONG_PTR>(lParam);
        result = 0;
        return true;
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        result = lParam ? Find(reinterpret_cast<LPCWSTR>(lParam), static_cast<int>(static_cast<std::intptr_t>(wParam)),
                               message == LB_FINDSTRINGEXACT)
                        : LB_ERR;
        return true;
    default:
        return false;
    }
}

} // namespace win32::detail
