// What a list box shows, by pixels: its rows' text in the window colours and
// the selected row's text in the selection colours on the selection's own
// background, whatever the device context's background mode was before.
#include "recording_window.h"

#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <set>

namespace
{

class ListBoxPaint : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        parent = testwin::CreateTop(0, 0, 300, 200, WS_POPUP | WS_VISIBLE);
        list = CreateWindowExW(0, WC_LISTBOXW, L"", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 10, 10, 160, 100, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(40)), nullptr, nullptr);
        for (const wchar_t* name : {L"Plane 1", L"Cylinder 1", L"Sphere 1"})
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    void TearDown() override
    {
        DestroyWindow(parent);
        win32::PumpUntilIdle();
    }
    // The colours of a row's pixels, as COLORREFs.
    std::multiset<COLORREF> RowColours(int index, const char* name)
    {
        win32::WriteSnapshotIfRequested(parent, name);
        const win32::ClientImage image = win32::ComposeWindowImage(parent);
        RECT row{};
        SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&row));
        std::multiset<COLORREF> out;
        for (int y = row.top + 1; y < row.bottom - 1; ++y)
            for (int x = row.left + 1; x < row.right - 1; ++x)
            {
                const std::uint32_t p =
                    image.pixels[std::size_t(10 + y) * std::size_t(image.width) + std::size_t(10 + x)];
                out.insert(RGB((p >> 16) & 255, (p >> 8) & 255, p & 255));
            }
        return out;
    }
    HWND parent = nullptr;
    HWND list = nullptr;
};

TEST_F(ListBoxPaint, TheSelectedRowShowsItsTextInTheSelectionColours)
{
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    const std::multiset<COLORREF> selected = RowColours(1, "list_box_selected_row");
    const COLORREF back = GetSysColor(COLOR_HIGHLIGHT), ink = GetSysColor(COLOR_HIGHLIGHTTEXT);
    // Unfocused, so no focus frame: the row is the selection background
    // with the glyphs' pixels in the selection text colour, nothing else.
    // Glyphs cover far less than the box they stand in, so a box filled
    // behind the text (in a colour that may well be the text's own) leaves
    // less than four fifths of the row to the background.
    EXPECT_GT(selected.count(back), selected.size() * 4 / 5) << "no box behind the text";
    EXPECT_GT(selected.count(ink), 20u) << "the name shows";
    EXPECT_EQ(selected.count(back) + selected.count(ink), selected.size());

    const std::multiset<COLORREF> plain = RowColours(0, "list_box_plain_row");
    EXPECT_GT(plain.count(GetSysColor(COLOR_WINDOWTEXT)), 20u);
    EXPECT_EQ(plain.count(back), 0u);
}

TEST_F(ListBoxPaint, TheFocusedSelectedRowKeepsItsTextInsideTheFocusFrame)
{
    SetFocus(list);
    SendMessageW(list, LB_SETCURSEL, 2, 0);
    const std::multiset<COLORREF> selected = RowColours(2, "list_box_focused_row");
    EXPECT_GT(selected.count(GetSysColor(COLOR_HIGHLIGHTTEXT)), 20u);
    EXPECT_GT(selected.count(GetSysColor(COLOR_HIGHLIGHT)), selected.size() * 4 / 5);
}

} // namespace
