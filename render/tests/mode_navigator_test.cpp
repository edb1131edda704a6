#include "render/mode_navigator.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace
{

constexpr std::uint32_t kEditId = 0xCB0001;
constexpr std::uint32_t kPickerId = 0xC90001;
constexpr std::uint32_t kOtherPickerId = 0xC90002;

struct TestView;
using Log = std::vector<std::string>;

std::string Hex(std::uint32_t id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", id);
    return buf;
}

class RecordingMode : public cUserInteractiveMode<TestView>
{
public:
    RecordingMode(std::uint32_t id, std::uint32_t temporary, Log& log)
        : cUserInteractiveMode(id, temporary), log(log)
    {
        log.push_back(Hex(id) + " created");
    }
    ~RecordingMode() override { log.push_back(Hex(id) + " deleted"); }

    void OnActivate(TestView*) override { log.push_back(Hex(id) + " activate"); }
    void OnSuspend(TestView*, std::uint32_t next) override
    {
        log.push_back(Hex(id) + " suspend for " + Hex(next));
    }
    BOOL OnDeactivate(TestView*) override
    {
        log.push_back(Hex(id) + " deactivate");
        return 1;
    }
    BOOL OnLButtonDown(POINT, UINT, TestView*) override
    {
        log.push_back(Hex(id) + " left down");
        return 1;
    }
    BOOL OnRButtonDown(POINT, UINT, TestView*) override
    {
        log.push_back(Hex(id) + " right down");
        return 1;
    }
    BOOL OnMButtonDown(POINT, UINT, TestView*) override
    {
        log.push_back(Hex(id) + " middle down");
        return 1;
    }
    BOOL OnRButtonUp(POINT, UINT, TestView* view) override;
    BOOL OnCommand(UINT command, int, void*, AFX_CMDHANDLERINFO*, TestView*) override
    {
        if (command == closesView && onClose)
        {
            onClose(); // the view (and its navigator) goes away inside this handler
            log.push_back(Hex(id) + " still here after the view closed");
            return 1;
        }
        if (command != handles)
            return 0;
        log.push_back(Hex(id) + " command " + std::to_string(command));
        return 1;
    }
    const wchar_t* GetClassName() const override { return L"RecordingMode"; }

    Log& log;
    UINT handles = 0;
    UINT closesView = 0;
    std::function<void()> onClose;
    std::string name = "mode";
};

struct TestView : cUserIModeNavigator<TestView>
{
    TestView()
    {
        static const bool registered = []
        {
            WNDCLASSW wc{};
            wc.lpfnWndProc = &Proc;
            wc.lpszClassName = L"ModeNavigatorTestView";
            return RegisterClassW(&wc) != 0;
        }();
        (void)registered;
        hwnd = CreateWindowExW(0, L"ModeNavigatorTestView", L"", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 200, 200,
                               nullptr, nullptr, nullptr, nullptr);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TestView() override
    {
        Clear(nullptr);
        DestroyWindow(hwnd);
    }

    static LRESULT Proc(HWND h, UINT m, WPARAM w, LPARAM l)
    {
        auto* self = reinterpret_cast<TestView*>(GetWindowLongPtrW(h, GWLP_USERDATA));
        if (self && m == kEndModeMessage)
            return self->EndMode(static_cast<std::uint32_t>(w), self);
        return DefWindowProcW(h, m, w, l);
    }

    HWND GetSafeHwnd() const { return hwnd; }
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM) override
    {
        if (refuse)
            return nullptr;
        return new RecordingMode(id, temporary, modeLog ? *modeLog : log);
    }
    std::uint32_t GetDefaultModeId() override { return defaultId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) override { return pressMap ? pressMap(flags) : 0; }

    std::vector<std::uint32_t> Stack() const
    {
        std::vector<std::uint32_t> ids;
        for (Mode* m : GetModes())
            ids.push_back(m->GetId());
        return ids;
    }
    RecordingMode* Top() { return static_cast<RecordingMode*>(GetActiveMode()); }

    HWND hwnd = nullptr;
    POINT pressPoint{0, 0};
    POINT lastPoint{0, 0};
    Log log;
    Log* modeLog = nullptr; // where the modes write, when not the view's own log
    bool refuse = false;
    std::uint32_t defaultId = kZoomRectModeId;
    std::function<std::uint32_t(UINT)> pressMap;
};

BOOL RecordingMode::OnRButtonUp(POINT, UINT, TestView* view)
{
    // A temporary navigation mode ends itself on the release, then goes on
    // using its own state: the navigator must not have deleted it yet.
    log.push_back(Hex(id) + " right up");
    if (CanEnd())
        RequestEnd(view);
    log.push_back(Hex(id) + " right up done (" + name + ")");
    return 1;
}

struct ChangeCounter : tObserver<cUserIModeNavigator<TestView>>
{
    void OnEvent(cUserIModeNavigator<TestView>*) override { ++count; }
    int count = 0;
};

class ModeNavigator : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view = std::make_unique<TestView>();
        view->modeChanged.Subscribe(&changes);
    }
    void TearDown() override
    {
        view->modeChanged.Unsubscribe(&changes);
        view.reset();
        win32::ResetInputState();
        win32::PumpUntilIdle();
    }
    std::unique_ptr<TestView> view;
    ChangeCounter changes;
};

TEST_F(ModeNavigator, ANewModeRemovesEveryModeWhoseLevelIsNotAboveItsOwn)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId, kRotateModeId}));
    view->log.clear();

    view->SetMode(kPickerId, 0, view.get(), 0);
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId, kPickerId}));
    EXPECT_EQ(view->log, (Log{"C803E9 deactivate", "C803E9 deleted", "C90001 created",
                              "CB0001 suspend for C90001", "C90001 activate"}));

    // The same level as the top replaces the top; only the survivor hears of
    // the suspension.
    view->log.clear();
    view->SetMode(kOtherPickerId, 0, view.get(), 0);
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId, kOtherPickerId}));
    EXPECT_EQ(view->log, (Log{"C90001 deactivate", "C90001 deleted", "C90002 created",
                              "CB0001 suspend for C90002", "C90002 activate"}));
    EXPECT_EQ(changes.count, 4);
    EXPECT_EQ(GetFocus(), view->hwnd);
}

TEST_F(ModeNavigator, SwitchingToTheActiveModeDoesNothingAndALowerModeIsReactivated)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kPickerId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    view->log.clear();
    changes.count = 0;
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    EXPECT_TRUE(view->log.empty());
    EXPECT_EQ(changes.count, 0);

    view->SetMode(kEditId, 0, view.get(), 0);
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));
    EXPECT_EQ(view->log, (Log{"C90001 deactivate", "C90001 deleted", "C803E9 deactivate", "C803E9 deleted",
                              "CB0001 activate"}));
    EXPECT_EQ(changes.count, 1);
}

TEST_F(ModeNavigator, ANavigationModeRestsOnAnEditingModeWhichResumesWhenItEnds)
{
    view->pressMap = [](UINT flags) { return (flags & MK_RBUTTON) ? kRotateModeId : 0u; };
    view->SetMode(kEditId, 0, view.get(), 0);
    view->log.clear();
    changes.count = 0;

    EXPECT_TRUE(view->OnRButtonDown(POINT{10, 10}, MK_RBUTTON, view.get()));
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId, kRotateModeId}));
    EXPECT_EQ(view->pressPoint.x, 10);

    // The navigation mode ends itself inside its release handler; it is
    // deleted only after that handler has returned.
    EXPECT_TRUE(view->OnRButtonUp(POINT{40, 10}, 0, view.get()));
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));
    EXPECT_EQ(view->log, (Log{"C803E9 created", "CB0001 suspend for C803E9", "C803E9 activate",
                              "C803E9 right down", "C803E9 right up", "C803E9 deactivate", "CB0001 activate",
                              "C803E9 right up done (mode)", "C803E9 deleted"}));
    EXPECT_EQ(changes.count, 2);
}

TEST_F(ModeNavigator, EndingTheOnlyModeRecreatesTheDefaultMode)
{
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    view->log.clear();
    view->EndMode(kRotateModeId, view.get());
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kZoomRectModeId}));
    EXPECT_EQ(view->log, (Log{"C803E9 deactivate", "C803E9 deleted", "C803EC created", "C803EC activate"}));

    // Ending an id that is not stacked only re-activates the top.
    view->log.clear();
    changes.count = 0;
    view->EndMode(kEditId, view.get());
    EXPECT_EQ(view->log, (Log{"C803EC activate"}));
    EXPECT_EQ(changes.count, 1);
}

TEST_F(ModeNavigator, ARunOfTemporaryModesEndsTogether)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kPickerId, 1, view.get(), 0);
    view->SetMode(kRotateModeId, 1, view.get(), 0);
    view->EndMode(kRotateModeId, view.get());
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));

    // A mode that cannot end (not temporary) ends only itself and what is above.
    view->SetMode(kPickerId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 1, view.get(), 0);
    view->EndMode(kPickerId, view.get());
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));
}

TEST_F(ModeNavigator, AFactoryWithoutAModeLeavesTheStackAsPopped)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    view->refuse = true;
    changes.count = 0;
    view->SetMode(kPickerId, 0, view.get(), 0);
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));
    EXPECT_EQ(view->GetActiveMode()->GetId(), kEditId);
    EXPECT_EQ(changes.count, 0);
    view->SetMode(0xCC0001, 0, view.get(), 0); // above every level: the stack empties
    EXPECT_EQ(view->GetActiveMode(), nullptr);
}

TEST_F(ModeNavigator, PressesSwitchModesByTheProfileWithTheLeftButtonRule)
{
    view->pressMap = [](UINT flags) -> std::uint32_t
    {
        if (flags & MK_LBUTTON)
            return kZoomModeId;
        if (flags & MK_MBUTTON)
            return kRotateModeId;
        return 0;
    };
    view->SetMode(kEditId, 0, view.get(), 0);
    view->OnLButtonDown(POINT{1, 1}, MK_LBUTTON, view.get());
    EXPECT_EQ(view->GetActiveMode()->GetId(), kEditId); // a left press never replaces an editing mode
    view->OnLButtonDown(POINT{1, 1}, MK_LBUTTON | MK_CONTROL, view.get());
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomModeId);
    view->EndMode(kZoomModeId, view.get());

    view->OnMButtonDown(POINT{1, 1}, MK_MBUTTON, view.get()); // middle and right always switch
    EXPECT_EQ(view->GetActiveMode()->GetId(), kRotateModeId);
    EXPECT_TRUE(view->GetActiveMode()->CanEnd());

    view->SetMode(kZoomRectModeId, 0, view.get(), 0); // the default mode
    view->OnLButtonDown(POINT{1, 1}, MK_LBUTTON, view.get());
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomModeId);
}

TEST_F(ModeNavigator, ARightClickFallsThroughEvenWhenTheModeHandlesIt)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->OnRButtonDown(POINT{100, 100}, MK_RBUTTON, view.get());
    EXPECT_EQ(view->OnRButtonUp(POINT{102, 98}, 0, view.get()), 0);
    view->OnRButtonDown(POINT{100, 100}, MK_RBUTTON, view.get());
    EXPECT_EQ(view->OnRButtonUp(POINT{103, 100}, 0, view.get()), 1);
    view->Clear(view.get());
    EXPECT_EQ(view->OnRButtonUp(POINT{200, 100}, 0, view.get()), 0); // no mode
}

TEST_F(ModeNavigator, CommandsGoToTheModesFromTheTopDown)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->Top()->handles = 500;
    view->SetMode(kPickerId, 0, view.get(), 0);
    view->Top()->handles = 600;
    view->log.clear();
    EXPECT_TRUE(view->RouteCommand(500, 0, nullptr, nullptr, view.get()));
    EXPECT_TRUE(view->RouteCommand(600, 0, nullptr, nullptr, view.get()));
    EXPECT_FALSE(view->RouteCommand(700, 0, nullptr, nullptr, view.get()));
    EXPECT_EQ(view->log, (Log{"CB0001 command 500", "C90001 command 600"}));
}

TEST_F(ModeNavigator, EventsHandedStraightToTheActiveModeOutliveAnEndRequest)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 1, view.get(), 0);
    // A drag's release goes straight to the dragging mode, which ends itself.
    BOOL handled = view->CallActive(
        FALSE,
        [&](auto* mode) {
            return static_cast<RecordingMode*>(mode)->OnRButtonUp(POINT{0, 0}, 0, view.get());
        });
    EXPECT_TRUE(handled);
    EXPECT_EQ(view->log.back(), "C803E9 deleted");
    EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));
    view->Clear(view.get());
    EXPECT_EQ(view->CallActive(7, [](auto*) { return 1; }), 7);
}

TEST_F(ModeNavigator, StackedModesAreVisitedFromTheBottomSkippingPoppedOnes)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kPickerId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    std::vector<std::uint32_t> visited;
    view->ForEachModeFromBottom(
        [&](auto* mode)
        {
            visited.push_back(mode->GetId());
            if (mode->GetId() == kEditId)
                view->SetMode(kEditId, 0, view.get(), 0); // pops the two above
        });
    EXPECT_EQ(visited, (std::vector<std::uint32_t>{kEditId}));
}

TEST_F(ModeNavigator, AViewClosedInsideAModesHandlerLeavesTheModeAliveUntilItReturns)
{
    Log outside;
    auto doomed = std::make_unique<TestView>();
    doomed->modeLog = &outside;
    doomed->SetMode(kEditId, 0, doomed.get(), 0);
    doomed->Top()->closesView = 77;
    doomed->Top()->onClose = [&] { doomed.reset(); };
    TestView* raw = doomed.get();
    EXPECT_TRUE(raw->RouteCommand(77, 0, nullptr, nullptr, raw));
    EXPECT_EQ(doomed, nullptr);
    EXPECT_EQ(outside, (Log{"CB0001 created", "CB0001 activate", "CB0001 deactivate",
                            "CB0001 still here after the view closed", "CB0001 deleted"}));
}

TEST_F(ModeNavigator, MouseMoveStoresTheAdjustedLastPoint)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->OnMouseMove(POINT{7, 8}, 0, view.get());
    EXPECT_EQ(view->lastPoint.x, 7);
    EXPECT_EQ(view->lastPoint.y, 8);
}

TEST_F(ModeNavigator, AnIrregularWindowRegionIsDroppedOnASwitch)
{
    HRGN two = CreateRectRgn(0, 0, 10, 10);
    HRGN more = CreateRectRgn(20, 20, 30, 30);
    CombineRgn(two, two, more, RGN_OR);
    DeleteObject(more);
    SetWindowRgn(view->hwnd, two, FALSE);
    view->SetMode(kEditId, 0, view.get(), 0);
    HRGN probe = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(view->hwnd, probe), RGN_ERROR);

    SetWindowRgn(view->hwnd, CreateRectRgn(0, 0, 50, 50), FALSE); // a plain rectangle stays
    view->SetMode(kPickerId, 0, view.get(), 0);
    EXPECT_EQ(GetWindowRgn(view->hwnd, probe), SIMPLEREGION);
    DeleteObject(probe);
}

TEST_F(ModeNavigator, ClearDeactivatesFromTheBottom)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    view->log.clear();
    view->Clear(view.get());
    EXPECT_EQ(view->log, (Log{"CB0001 deactivate", "CB0001 deleted", "C803E9 deactivate", "C803E9 deleted"}));
    EXPECT_EQ(view->GetActiveMode(), nullptr);
}

TEST_F(ModeNavigator, EscapeEndsAModeUnlessItIsPersistent)
{
    view->SetMode(kEditId, 0, view.get(), 0);
    view->SetMode(kRotateModeId, 0, view.get(), 0);
    {
        cUserIModeNavigator<TestView>::DispatchScope scope(*view);
        view->GetActiveMode()->OnEscape(view.get());
        EXPECT_EQ(view->Stack(), (std::vector<std::uint32_t>{kEditId}));
        EXPECT_EQ(view->log.back(), "CB0001 activate"); // not yet deleted inside the scope
    }
    EXPECT_EQ(view->log.back(), "C803E9 deleted");
}

} // namespace
