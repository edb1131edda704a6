// The shape list's context menu and renaming, the "How To" topics and the
// once-per-load update check of the shapes dialog, against a loopback
// server only.
#include "core/update_checker.h"
#include "platform/win32/input.h"
#include "platform/win32/shell.h"
#include "platform/win32/tests/support/scroll_bar_probe.h"
#include "platform/wininet/tests/support/loopback_http_server.h"
#include "plugin/dialogs/help_topics.h"
#include "plugin/dialogs/shape_list.h"
#include "plugin/dialogs/update_notice.h"
#include "plugin/registered_messages.h"
#include "resources/shape_list.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "vtl_version.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace
{

using vtl_test::LoopbackHttpServer;

// Every test of this binary that opens a shapes dialog starts the update
// check: it must never leave the machine. A port where nothing listens
// stands for the maker's site unless a test serves one itself, whatever
// site the environment the tests run in names.
const std::string kNowhere = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::ClosedPort()) + "/";
const bool kLoopbackOnly = (setenv("VTL_WEB_SITE", kNowhere.c_str(), 1), true);

std::string Utf16Text(const std::wstring& text)
{
    std::string bytes("\xFF\xFE", 2);
    for (wchar_t c : text)
    {
        bytes.push_back(char(c & 0xFF));
        bytes.push_back(char((c >> 8) & 0xFF));
    }
    return bytes;
}

// The running version written as the update information writes it.
std::wstring RunningVersionText()
{
    std::string text = VTL_VERSION_TEXT;
    for (char& c : text)
        c = c == '.' ? '|' : c;
    return std::wstring(text.begin(), text.end());
}

int NoticesFor(HWND window)
{
    const UINT notice = RegisterWindowMessageW(L"_NEW_VTL_SOFTWARE_AVAILABLE");
    int count = 0;
    MSG msg{};
    while (PeekMessageW(&msg, window, notice, notice, PM_REMOVE))
        count += msg.hwnd == window ? 1 : 0;
    return count;
}

int PingsIn(const std::vector<std::string>& requests)
{
    const std::string ping = std::string("GET /download/update_check.php?Version=") + VTL_VERSION_TEXT;
    int n = 0;
    for (const std::string& r : requests)
        n += r.rfind(ping, 0) == 0 ? 1 : 0;
    return n;
}

class ShapeList : public ShapesDialog
{
protected:
    void PumpMessages()
    {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    static void QueueMenuChoice(UINT command)
    {
        win32::QueuePromptAnswer({win32::kPopupMenuPrompt, L"", INT_PTR(command), nullptr});
    }
    HWND List() const { return ::GetDlgItem(Window(), IDC_SHAPES_LIST); }
    std::wstring ItemText(int i) const
    {
        wchar_t text[128] = {};
        ::SendMessageW(List(), LB_GETTEXT, WPARAM(i), LPARAM(text));
        return text;
    }
    // Two plane shapes of the whole scan.
    void MakeTwoPlanes()
    {
        Open(scans::Plane({40, -25, 300}, {0.1, 0.2, 1.0}, 30, 6, 0.01));
        for (int i = 0; i < 2; ++i)
        {
            Click(IDC_SHAPES_SELECT_ALL);
            ChooseKind(eShapeKind::Plane);
            ASSERT_NE(dialog->GetCurrentSession(), nullptr);
            Click(IDC_SHAPES_NEW_SHAPE);
        }
        ASSERT_EQ(::SendMessageW(List(), LB_GETCOUNT, 0, 0), 2);
    }
};

} // namespace

TEST(HowToTopics, EachItemOpensItsTopicBelowTheConfiguredSite)
{
    const struct
    {
        UINT id;
        const wchar_t* topic;
    } expected[] = {{ID_HOW_TO_SELECTION, L"useselection"}, {ID_HOW_TO_ALIGN, L"alignmesh"},
                    {ID_HOW_TO_CREATE, L"createshape"},     {ID_HOW_TO_CONSTRAINT, L"constraintshape"},
                    {ID_HOW_TO_CURVES, L"usecurves"},       {ID_HOW_TO_ANALYZER, L"useanalyzer"},
                    {ID_HOW_TO_OTHER, L"othertutorials"}};
    for (const auto& e : expected)
        EXPECT_STREQ(HowToTopic(e.id), e.topic) << e.id;
    EXPECT_EQ(HowToTopic(32878), nullptr);
    EXPECT_EQ(HowToTopic(0), nullptr);
    EXPECT_EQ(HowToAddress(L"http://127.0.0.1:8/", L"alignmesh"), L"http://127.0.0.1:8/onlinehelp/howto?what=alignmesh");
    EXPECT_EQ(HowToAddress(L"http://127.0.0.1:8", L"usecurves"), L"http://127.0.0.1:8/onlinehelp/howto?what=usecurves");
}

TEST_F(ShapeList, HowToButtonOpensTheChosenTopicAndNothingWhenNoneIsChosen)
{
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10, 2));
    win32::ClearShellRequests();
    QueueMenuChoice(ID_HOW_TO_ALIGN);
    Click(IDC_SHAPES_HOW_TO);
    auto requests = win32::ShellRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].verb, L"open");
    EXPECT_EQ(requests[0].file, std::wstring(kNowhere.begin(), kNowhere.end()) + L"onlinehelp/howto?what=alignmesh");
    EXPECT_EQ(requests[0].show, SW_SHOWNORMAL);
    // The button is released again.
    EXPECT_EQ(::SendDlgItemMessageW(Window(), IDC_SHAPES_HOW_TO, BM_GETSTATE, 0, 0) & BST_PUSHED, 0);
    QueueMenuChoice(0);
    Click(IDC_SHAPES_HOW_TO);
    EXPECT_EQ(win32::ShellRequests().size(), 1u);
}

TEST_F(ShapeList, RenameKeepsTheItemsPlaceAndData)
{
    MakeTwoPlanes();
    const std::wstring second = ItemText(1);
    CSessionSurface* first = dialog->ListedSessions()[0];
    dialog->SetCurrentShape(first);
    first->SetName(ON_wString(L"Top face"));
    dialog->RenameCurrentShape();
    ASSERT_EQ(::SendMessageW(List(), LB_GETCOUNT, 0, 0), 2);
    EXPECT_EQ(ItemText(0), L"Top face");
    EXPECT_EQ(ItemText(1), second);
    EXPECT_EQ(::SendMessageW(List(), LB_GETITEMDATA, 0, 0), LRESULT(kSessionKindPlane));
    EXPECT_EQ(::SendMessageW(List(), LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(dialog->ListedSessions()[0], first);
    EXPECT_EQ(dialog->GetCurrentSession(), first);
}

TEST_F(ShapeList, SameNamesStillReachTheirOwnSessions)
{
    MakeTwoPlanes();
    CSessionSurface* a = dialog->ListedSessions()[0];
    CSessionSurface* b = dialog->ListedSessions()[1];
    // A name taken twice (as a document of another version may hold): the
    // list item stands for its own session, not the first of that name.
    b->SetName(a->GetName());
    ::SendMessageW(List(), LB_SETCURSEL, 1, 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(List()));
    EXPECT_EQ(dialog->GetCurrentSession(), b);
}

// The pixels of a list row in the given colour, as a mask over the row.
std::vector<bool> RowInk(HWND dialogWindow, HWND list, int index, COLORREF ink, std::size_t* background,
                         COLORREF back)
{
    const win32::ClientImage image = win32::ComposeWindowImage(dialogWindow);
    RECT row{};
    ::SendMessageW(list, LB_GETITEMRECT, WPARAM(index), LPARAM(&row));
    std::vector<bool> mask;
    *background = 0;
    for (int y = row.top + 1; y < row.bottom - 1; ++y)
        for (int x = row.left + 1; x < row.right - 1; ++x)
        {
            POINT at{x, y};
            ::MapWindowPoints(list, dialogWindow, &at, 1);
            const std::uint32_t p = image.pixels[std::size_t(at.y) * std::size_t(image.width) + std::size_t(at.x)];
            const COLORREF c = RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
            mask.push_back(c == ink);
            *background += c == back ? 1 : 0;
        }
    return mask;
}

TEST_F(ShapeList, TheSelectedShapeShowsItsNameInTheSelectionColours)
{
    MakeTwoPlanes();
    ::SendMessageW(List(), LB_SETCURSEL, 1, 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(List()));
    ASSERT_EQ(dialog->GetCurrentSession(), dialog->ListedSessions()[1]);
    Snapshot("list_selected_second");
    std::size_t highlight = 0, window = 0;
    const std::vector<bool> selected =
        RowInk(Window(), List(), 1, GetSysColor(COLOR_HIGHLIGHTTEXT), &highlight, GetSysColor(COLOR_HIGHLIGHT));
    const std::size_t inked = std::size_t(std::count(selected.begin(), selected.end(), true));
    EXPECT_GT(inked, 20u) << "the name shows";
    EXPECT_EQ(inked + highlight, selected.size()) << "only the text and the selection colour";

    // The same row unselected shows the same glyphs in the window's text
    // colour: the selected row drew the name, not a box.
    ::SendMessageW(List(), LB_SETCURSEL, 0, 0);
    Snapshot("list_selected_first");
    const std::vector<bool> plain =
        RowInk(Window(), List(), 1, GetSysColor(COLOR_WINDOWTEXT), &window, GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(plain, selected);
    EXPECT_EQ(std::size_t(std::count(plain.begin(), plain.end(), true)) + window, plain.size());
}

// Seven shapes overflow the list's rows: it shows its scroll bar, whose
// arrow and thumb (pressed as a person would, through the queue) bring
// every shape into view.
TEST_F(ShapeList, SevenShapesShowTheListsScrollBarWhichReachesEachOfThem)
{
    Open(scans::Plane({40, -25, 300}, {0.1, 0.2, 1.0}, 30, 6, 0.01));
    for (int i = 0; i < 7; ++i)
    {
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::Plane);
        ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    }
    ASSERT_EQ(::SendMessageW(List(), LB_GETCOUNT, 0, 0), 7);
    const int rows = [&] {
        RECT c{};
        ::GetClientRect(List(), &c);
        return int((c.bottom - 2) / ::SendMessageW(List(), LB_GETITEMHEIGHT, 0, 0));
    }();
    ASSERT_LT(rows, 7);
    EXPECT_EQ(::SendMessageW(List(), LB_GETTOPINDEX, 0, 0), 7 - rows) << "the selected last shape is in view";
    // The bar beside the rows: its arrows' ink in the list's window strip.
    RECT window{}, client{};
    ::GetWindowRect(List(), &window);
    ::GetClientRect(List(), &client);
    POINT bar{client.right, 0}; // the bar's top left, beside the rows
    ::ClientToScreen(List(), &bar);
    ASSERT_EQ(window.right - bar.x, 17 + 1) << "room for the bar inside the border";
    POINT strip = bar;
    ::ScreenToClient(Window(), &strip);
    Snapshot("seven_shapes");
    const win32::ClientImage image = win32::ComposeWindowImage(Window());
    EXPECT_GT(testwin::ArrowInk(image, strip), 5) << "the up arrow";

    const auto press = [&](POINT down, POINT up) {
        win32::InjectMouseMove(down);
        win32::InjectMouseButton(WM_LBUTTONDOWN, down);
        PumpMessages();
        win32::InjectMouseMove(up);
        win32::InjectMouseButton(WM_LBUTTONUP, up);
        PumpMessages();
    };
    const LONG barX = bar.x + 8, barBottom = bar.y + client.bottom;
    press({barX, bar.y + 8}, {barX, bar.y + 8});
    EXPECT_EQ(::SendMessageW(List(), LB_GETTOPINDEX, 0, 0), 7 - rows - 1) << "the up arrow scrolls a row";
    press({barX, barBottom - 8}, {barX, barBottom - 8});
    EXPECT_EQ(::SendMessageW(List(), LB_GETTOPINDEX, 0, 0), 7 - rows) << "the down arrow scrolls back";
    // The thumb, now at the track's end, dragged to its start.
    press({barX, barBottom - 17 - 3}, {barX, bar.y - 40});
    EXPECT_EQ(::SendMessageW(List(), LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(::SendMessageW(List(), LB_GETCURSEL, 0, 0), 6) << "scrolling leaves the selection";
    // Page Up picks the shape a page less one above, in view and current.
    ::SendMessageW(List(), WM_KEYDOWN, VK_PRIOR, 0);
    const int picked = 6 - (rows - 1);
    EXPECT_EQ(::SendMessageW(List(), LB_GETCURSEL, 0, 0), picked);
    EXPECT_EQ(::SendMessageW(List(), LB_GETTOPINDEX, 0, 0), 0);
    EXPECT_EQ(dialog->GetCurrentSession(), dialog->ListedSessions()[std::size_t(picked)]);
}

TEST_F(ShapeList, RightClickMenuDeletesAllAfterAskingAndDeleteWithoutAShapeDoesNothing)
{
    MakeTwoPlanes();
    ASSERT_EQ(dialog->GetCurrentSession(), nullptr);
    // "Delete ..." with no current shape: no question, nothing deleted.
    QueueMenuChoice(ID_SHAPE_LIST_DELETE);
    ::SendMessageW(List(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(200, 200)); // below the items
    PumpMessages();
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 2u);

    // "Delete All", answered No, keeps everything; Yes deletes it all.
    QueueMenuChoice(ID_SHAPE_LIST_DELETE_ALL);
    QueueAnswer(kDeleteAllQuestion, IDNO);
    ::SendMessageW(List(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    PumpMessages();
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 2u);
    QueueMenuChoice(ID_SHAPE_LIST_DELETE_ALL);
    QueueAnswer(kDeleteAllQuestion, IDYES);
    ::SendMessageW(List(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    PumpMessages();
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 0u);
    EXPECT_EQ(::SendMessageW(List(), LB_GETCOUNT, 0, 0), 0);
    EXPECT_TRUE(dialog->ListedSessions().empty());
    EXPECT_EQ(dialog->GetCurrentSession(), nullptr);
    // Nothing left: the button asks nothing.
    EXPECT_FALSE(DeleteAllShapes(*dialog));
}

// ------------------------------------------------------------ choosing in the list

TEST_F(ShapeList, DeleteFromTheMenuOfARowDeletesThatRowsShape)
{
    MakeTwoPlanes();
    CSessionSurface* first = dialog->ListedSessions()[0];
    CSessionSurface* second = dialog->ListedSessions()[1];
    dialog->SetCurrentShape(first);
    // A click below the rows changes nothing: the menu, left unchosen, acts
    // on nothing and the current row stays.
    QueueMenuChoice(0);
    ::SendMessageW(List(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 200));
    PumpMessages();
    EXPECT_EQ(::SendMessageW(List(), LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(dialog->GetCurrentSession(), first);
    const std::wstring name = static_cast<const wchar_t*>(second->GetName());
    RECT row{};
    ::SendMessageW(List(), LB_GETITEMRECT, 1, LPARAM(&row));
    QueueMenuChoice(ID_SHAPE_LIST_DELETE);
    QueueAnswer((L"delete '" + name + L"'").c_str(), IDYES);
    ::SendMessageW(List(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM((row.left + row.right) / 2, (row.top + row.bottom) / 2));
    PumpMessages();
    ASSERT_EQ(dialog->ListedSessions().size(), 1u);
    EXPECT_EQ(dialog->ListedSessions()[0], first);
    EXPECT_EQ(ItemText(0), std::wstring(static_cast<const wchar_t*>(first->GetName())));
}

TEST_F(ShapeList, ChoosingACurveNetworkShowsItsCurvesTab)
{
    Open(scans::Plane({-80, 35, 210}, scans::Unit({0.2, 0.1, 1.0}), 30, 6, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::CurveNetwork);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::CurveNetwork);
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::Plane);
    ::SendMessageW(List(), LB_SETCURSEL, 0, 0);
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(List()));
    ASSERT_EQ(dialog->GetCurrentKind(), eShapeKind::CurveNetwork);
    ASSERT_GE(dialog->GetSelectedTab(), 0);
    EXPECT_EQ(dialog->TabTitles()[std::size_t(dialog->GetSelectedTab())], L"Curves");
}

TEST_F(ShapeList, NewShapeWithoutAShapeKeepsTheMarksAndClearsTheHint)
{
    Open(scans::Plane({15, -25, 60}, {0, 0, 1}, 20, 4));
    Click(IDC_SHAPES_SELECT_ALL);
    const std::size_t marked = SelectedTriangles();
    ASSERT_GT(marked, 0u);
    dialog->ShowAnnotation(L"a hint");
    Click(IDC_SHAPES_NEW_SHAPE);
    EXPECT_EQ(SelectedTriangles(), marked);
    EXPECT_TRUE(dialog->HintText().empty());
}

TEST_F(ShapeList, OnlyYesDeletesTheCurrentShape)
{
    MakeTwoPlanes();
    dialog->SetCurrentShape(dialog->ListedSessions()[1]);
    for (INT_PTR answer : {IDCANCEL, IDNO})
    {
        QueueAnswer(L"Are you sure you want to delete", answer);
        Click(IDC_SHAPES_DELETE);
        EXPECT_EQ(dialog->GetEntry()->SessionCount(), 2u) << answer;
    }
    QueueAnswer(L"Are you sure you want to delete", IDYES);
    Click(IDC_SHAPES_DELETE);
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 1u);
}

// A long name (600 characters) was cut short in the question, which lost
// its end and its question mark.
TEST_F(ShapeList, DeleteAsksAboutALongNameWhole)
{
    MakeTwoPlanes();
    CSessionSurface* session = dialog->ListedSessions()[1];
    dialog->SetCurrentShape(session);
    const std::wstring name(600, L'w');
    session->SetName(ON_wString(name.c_str()));
    dialog->RenameCurrentShape();
    std::wstring asked;
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"", IDNO, [&](HWND, const std::wstring& text) {
                                  asked = text;
                                  return INT_PTR(IDNO);
                              }});
    Click(IDC_SHAPES_DELETE);
    EXPECT_EQ(asked, L"Are you sure you want to delete '" + name + L"' ?");
    EXPECT_EQ(dialog->GetEntry()->SessionCount(), 2u);
}

TEST(UpdateNotice, NewerEqualOlderAndNoServerAlwaysPing)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = L"UpdateNoticeView";
    RegisterClassW(&wc);
    HWND view = CreateWindowExW(0, L"UpdateNoticeView", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(view, nullptr);
    LoopbackHttpServer server;
    const auto run = [&](const std::string& body, const std::wstring& site)
    {
        server.SetReply({200, body, 0, false, false});
        ResetUpdateCheckOnce();
        EXPECT_TRUE(StartUpdateCheckOnce(view, site));
        // Once per load: a second dialog starts nothing.
        EXPECT_FALSE(StartUpdateCheckOnce(view, site));
        FinishUpdateCheck();
        return NoticesFor(view);
    };
    EXPECT_EQ(run(Utf16Text(L"65535|0|0|0"), server.Url(L"/")), 1);
    EXPECT_EQ(PingsIn(server.Requests()), 1);
    EXPECT_EQ(run(Utf16Text(RunningVersionText()), server.Url(L"/")), 0);
    EXPECT_EQ(PingsIn(server.Requests()), 2);
    EXPECT_EQ(run(Utf16Text(L"0|0|0|1"), server.Url(L"/")), 0);
    EXPECT_EQ(PingsIn(server.Requests()), 3);
    // No update information (an error page): no notice, still a ping.
    EXPECT_EQ(run("", server.Url(L"/")), 0);
    EXPECT_EQ(PingsIn(server.Requests()), 4);
    // No server at all: nothing, and no hang.
    const std::wstring nowhere(kNowhere.begin(), kNowhere.end());
    EXPECT_EQ(run(Utf16Text(L"65535|0|0|0"), nowhere), 0);

    // The view is gone before the answer: the worker posts nothing.
    server.SetReply({200, Utf16Text(L"65535|0|0|0"), 300, false, false});
    ResetUpdateCheckOnce();
    ASSERT_TRUE(StartUpdateCheckOnce(view, server.Url(L"/")));
    DestroyWindow(view);
    FinishUpdateCheck();
    EXPECT_EQ(NoticesFor(view), 0);
    ResetUpdateCheckOnce();
}

TEST_F(ShapeList, OnlyTheFirstDialogOfALoadChecksForUpdates)
{
    LoopbackHttpServer server;
    server.SetReply({200, Utf16Text(L"65535|0|0|0"), 0, false, false});
    const std::wstring url = server.Url(L"/");
    setenv("VTL_WEB_SITE", std::string(url.begin(), url.end()).c_str(), 1);
    ResetUpdateCheckOnce();
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10, 2));
    FinishUpdateCheck();
    EXPECT_EQ(PingsIn(server.Requests()), 1);
    // The notice went to the view, not to the dialog.
    EXPECT_EQ(NoticesFor(dialog->GetShapesView()->GetSafeHwnd()), 1);
    dialog.reset();
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10, 2));
    FinishUpdateCheck();
    EXPECT_EQ(PingsIn(server.Requests()), 1);
    setenv("VTL_WEB_SITE", kNowhere.c_str(), 1);
    (void)kLoopbackOnly;
}
