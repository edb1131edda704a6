#include "recording_window.h"

#include <gtest/gtest.h>

namespace
{

class Windows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testwin::Reset();
        win32::ResetInputState();
    }
    void TearDown() override
    {
        for (HWND h : created)
            if (IsWindow(h))
                DestroyWindow(h);
        win32::PumpUntilIdle();
    }
    HWND Top(int x, int y, int w, int h, DWORD style = WS_OVERLAPPED | WS_VISIBLE)
    {
        HWND hwnd = testwin::CreateTop(x, y, w, h, style);
        created.push_back(hwnd);
        return hwnd;
    }
    std::vector<HWND> created;
};

TEST_F(Windows, CreationSendsItsMessagesInOrderAndHandlesAreNeverReused)
{
    HWND a = Top(10, 20, 200, 100);
    ASSERT_NE(a, nullptr);
    std::vector<UINT> seen;
    for (const auto& r : testwin::Log())
        seen.push_back(r.message);
    std::vector<UINT> expected{WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, WM_SHOWWINDOW};
    ASSERT_GE(seen.size(), expected.size());
    EXPECT_EQ(std::vector<UINT>(seen.begin(), seen.begin() + 5), expected);

    EXPECT_TRUE(DestroyWindow(a));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_FALSE(DestroyWindow(a));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    HWND b = Top(0, 0, 10, 10);
    EXPECT_NE(a, b);
    EXPECT_FALSE(IsWindow(a));
}

TEST_F(Windows, CreateFailsCleanlyForUnknownClassesAndRefusedCreation)
{
    EXPECT_EQ(CreateWindowExW(0, L"NoSuchClass", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);

    std::size_t before = win32::LiveWindowCount();
    HWND refused = nullptr;
    win32::SetCreateWindowHook(
        [&](HWND h, CREATESTRUCTW*)
        {
            refused = h;
            testwin::SetHandler(h,
                                [](HWND, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT>
                                {
                                    if (m == WM_CREATE)
                                        return -1;
                                    return std::nullopt;
                                });
        });
    EXPECT_EQ(testwin::CreateTop(0, 0, 10, 10), nullptr);
    win32::SetCreateWindowHook(nullptr);
    EXPECT_FALSE(IsWindow(refused));
    EXPECT_EQ(win32::LiveWindowCount(), before);
    EXPECT_EQ(testwin::Log({WM_NCDESTROY}).size(), 1u);
}

TEST_F(Windows, DestroyRunsDestroyTopDownAndNcDestroyBottomUp)
{
    HWND top = Top(0, 0, 100, 100);
    HWND child = testwin::CreateChild(top, 1, 0, 0, 50, 50);
    HWND grandchild = testwin::CreateChild(child, 2, 0, 0, 10, 10);
    std::vector<HWND> observed;
    auto id = win32::AddWindowObserver({nullptr, [&](HWND h)
                                        {
                                            EXPECT_TRUE(IsWindow(h));
                                            observed.push_back(h);
                                        }});
    testwin::ClearLog();
    DestroyWindow(top);
    win32::RemoveWindowObserver(id);

    std::vector<std::pair<HWND, UINT>> order;
    for (const auto& r : testwin::Log({WM_DESTROY, WM_NCDESTROY}))
        order.emplace_back(r.hwnd, r.message);
    std::vector<std::pair<HWND, UINT>> expected{{top, WM_DESTROY},        {child, WM_DESTROY},
                                                {grandchild, WM_DESTROY}, {grandchild, WM_NCDESTROY},
                                                {child, WM_NCDESTROY},    {top, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_EQ(observed, (std::vector<HWND>{grandchild, child, top}));
    EXPECT_FALSE(IsWindow(child));
    EXPECT_FALSE(IsWindow(grandchild));
}

TEST_F(Windows, RectanglesAndCoordinatesFollowTheTree)
{
    HWND top = Top(100, 50, 300, 200, WS_VISIBLE | WS_BORDER);
    HWND child = testwin::CreateChild(top, 7, 10, 20, 100, 80);
    RECT rc{};
    ASSERT_TRUE(GetClientRect(top, &rc));
    EXPECT_EQ(rc.right, 298);
    EXPECT_EQ(rc.bottom, 198);
    ASSERT_TRUE(GetWindowRect(child, &rc));
    EXPECT_EQ(rc.left, 111); // 100 + 1 border + 10
    EXPECT_EQ(rc.top, 71);
    POINT p{0, 0};
    ClientToScreen(child, &p);
    EXPECT_EQ(p.x, 111);
    EXPECT_EQ(p.y, 71);
    ScreenToClient(top, &p);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    EXPECT_EQ(GetDlgItem(top, 7), child);
    EXPECT_EQ(GetDlgCtrlID(child), 7);
    EXPECT_EQ(GetParent(child), top);
    EXPECT_EQ(WindowFromPoint(POINT{120, 80}), child);
    EXPECT_EQ(WindowFromPoint(POINT{300, 200}), top);

    // Moving the parent moves the child on screen.
    MoveWindow(top, 0, 0, 300, 200, TRUE);
    GetWindowRect(child, &rc);
    EXPECT_EQ(rc.left, 11);
}

TEST_F(Windows, ClientImageFollowsTheClientSizeAndObserversHearFirst)
{
    HWND top = Top(0, 0, 64, 32);
    win32::ClientImage* image = win32::GetWindowClientImage(top);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 64);
    EXPECT_EQ(image->height, 32);
    EXPECT_EQ(image->pixels.size(), 64u * 32u);

    std::vector<std::string> events;
    auto id = win32::AddWindowObserver({[&](HWND h, LONG w, LONG hh)
                                        {
                                            if (h == top)
                                                events.push_back("resized " + std::to_string(w) + "x" +
                                                                 std::to_string(hh));
                                        },
                                        nullptr});
    testwin::SetHandler(top,
                        [&](HWND, UINT m, WPARAM, LPARAM l) -> std::optional<LRESULT>
                        {
                            if (m == WM_SIZE)
                                events.push_back("WM_SIZE " + std::to_string(LOWORD(l)) + "x" +
                                                 std::to_string(HIWORD(l)));
                            return std::nullopt;
                        });
    SetWindowPos(top, nullptr, 0, 0, 80, 40, SWP_NOMOVE | SWP_NOZORDER);
    SetWindowPos(top, nullptr, 5, 5, 0, 0, SWP_NOSIZE | SWP_NOZORDER); // a move is no resize
    win32::RemoveWindowObserver(id);
    EXPECT_EQ(events, (std::vector<std::string>{"resized 80x40", "WM_SIZE 80x40"}));
    image = win32::GetWindowClientImage(top);
    EXPECT_EQ(image->pixels.size(), 80u * 40u);
    DestroyWindow(top);
    EXPECT_EQ(win32::GetWindowClientImage(top), nullptr);
}

TEST_F(Windows, ShowMinimiseMaximiseAndEnableReportTheirStates)
{
    HWND top = Top(10, 10, 100, 100, WS_OVERLAPPEDWINDOW);
    EXPECT_FALSE(IsWindowVisible(top));
    EXPECT_FALSE(ShowWindow(top, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(top));
    testwin::ClearLog();
    ShowWindow(top, SW_MAXIMIZE);
    auto sizes = testwin::Log({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().wParam, SIZE_MAXIMIZED);
    EXPECT_TRUE(IsZoomed(top));
    testwin::ClearLog();
    ShowWindow(top, SW_MINIMIZE);
    sizes = testwin::Log({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().wParam, SIZE_MINIMIZED);
    ShowWindow(top, SW_RESTORE);
    RECT rc{};
    GetWindowRect(top, &rc);
    EXPECT_EQ(rc.right - rc.left, 100); // the size from before maximising
    EXPECT_FALSE(IsIconic(top));

    EXPECT_FALSE(EnableWindow(top, FALSE));
    EXPECT_FALSE(IsWindowEnabled(top));
    EXPECT_TRUE(EnableWindow(top, TRUE));
    EXPECT_EQ(testwin::Log({WM_ENABLE}).size(), 2u);
}

TEST_F(Windows, ZOrderOfChildrenIsCreationOrderUntilChanged)
{
    HWND top = Top(0, 0, 100, 100);
    HWND a = testwin::CreateChild(top, 1, 0, 0, 50, 50);
    HWND b = testwin::CreateChild(top, 2, 0, 0, 50, 50);
    EXPECT_EQ(GetWindow(top, GW_CHILD), a);
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), a);
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(top, GW_CHILD), b);
    EXPECT_EQ(WindowFromPoint(POINT{10, 10}), b);
}

TEST_F(Windows, WindowRegionsAreOwnedByTheWindowAndCopiedOnQuery)
{
    HWND top = Top(0, 0, 100, 100);
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(top, probe), RGN_ERROR); // no region set
    HRGN two = CreateRectRgn(0, 0, 10, 10);
    HRGN other = CreateRectRgn(20, 20, 30, 30);
    CombineRgn(two, two, other, RGN_OR);
    DeleteObject(other);
    SetWindowRgn(top, two, FALSE);
    EXPECT_EQ(GetWindowRgn(top, probe), COMPLEXREGION);
    SetWindowRgn(top, nullptr, FALSE);
    EXPECT_EQ(win32::LookupGdiObject(two), nullptr); // the window freed it
    EXPECT_EQ(GetWindowRgn(top, probe), RGN_ERROR);
    SetRectRgn(probe, 0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(probe, probe, nullptr, RGN_COPY), NULLREGION);
    DeleteObject(probe);
}

TEST_F(Windows, TextAndWindowDataRoundTrip)
{
    HWND top = Top(0, 0, 10, 10);
    wchar_t buffer[16];
    EXPECT_EQ(GetWindowTextW(top, buffer, 16), 3);
    EXPECT_STREQ(buffer, L"top");
    SetWindowTextW(top, L"a longer title");
    EXPECT_EQ(GetWindowTextLengthW(top), 14);
    EXPECT_EQ(GetWindowTextW(top, buffer, 5), 4); // truncated, terminated
    EXPECT_STREQ(buffer, L"a lo");
    SetWindowLongPtrW(top, GWLP_USERDATA, 42);
    EXPECT_EQ(GetWindowLongPtrW(top, GWLP_USERDATA), 42);
    EXPECT_EQ(GetWindowLongPtrW(top, 64), 0); // outside the (empty) extra bytes
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

} // namespace
