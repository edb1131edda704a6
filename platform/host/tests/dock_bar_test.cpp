#include "platform/host/dock_bar.h"
#include "platform/mfc/mfc.h"
#include "platform/win32/resource.h"
#include "platform/win32/window.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace
{

constexpr UINT kPanelTemplate = 4101;
constexpr UINT kStretched = 11, kRightBottom = 12, kCentred = 13, kLeftTop = 14;

const char* const kScript = R"(
4101 DIALOGEX 0, 0, 120, 100
STYLE DS_SETFONT | WS_CHILD | WS_VISIBLE
FONT 8, "MS Shell Dlg"
BEGIN
    EDITTEXT        11, 10, 10, 100, 14
    PUSHBUTTON      "Go", 12, 80, 80, 30, 12
    PUSHBUTTON      "Mid", 13, 45, 40, 30, 12
    LTEXT           "Label", 14, 10, 30, 30, 8
END
)";

const ON_UUID kBarId = ON_UuidFromString("0C1D2E3F-4A5B-4C6D-8E9F-A0B1C2D3E4F5");

class CTestPanel : public CDezazUiDockBarDialog
{
    DECLARE_DYNCREATE(CTestPanel)

public:
    CTestPanel() : CDezazUiDockBarDialog(kPanelTemplate) { ++made; }
    ~CTestPanel() override { ++destroyed; }
    BOOL OnInitDialog() override
    {
        CDezazUiDialog::OnInitDialog();
        EXPECT_TRUE(m_Resize.Add(kStretched, CDezazUiDialogItemResizer::resize_lockleft |
                                                 CDezazUiDialogItemResizer::resize_lockright |
                                                 CDezazUiDialogItemResizer::resize_locktop));
        EXPECT_TRUE(m_Resize.Add(kRightBottom, CDezazUiDialogItemResizer::resize_lockright |
                                                   CDezazUiDialogItemResizer::resize_lockbottom));
        EXPECT_TRUE(m_Resize.Add(kCentred, 0));
        EXPECT_TRUE(m_Resize.Add(::GetDlgItem(m_hWnd, kLeftTop), CDezazUiDialogItemResizer::resize_lockleft |
                                                                      CDezazUiDialogItemResizer::resize_locktop));
        EXPECT_FALSE(m_Resize.Add(999u, 1)); // no such control
        return TRUE;
    }
    static int made, destroyed;
};
int CTestPanel::made = 0;
int CTestPanel::destroyed = 0;
IMPLEMENT_DYNCREATE(CTestPanel, CDezazUiDockBarDialog)

AFX_MODULE_STATE g_module;

class CTestBar : public CDezazUiDockBar
{
    DECLARE_DYNCREATE(CTestBar)

public:
    ON_UUID DockBarID() const override { return kBarId; }
    const wchar_t* DockBarName(int) const override { return L"Primitives"; }
    bool CreateDockBarControls() override
    {
        ++asked;
        return CreateDockBarClientDialog(kPanelTemplate, 0, RUNTIME_CLASS(CTestPanel), &g_module);
    }
    static int asked;
};
int CTestBar::asked = 0;
IMPLEMENT_DYNCREATE(CTestBar, CDezazUiDockBar)

// A bar whose controls fail.
class CBrokenBar : public CDezazUiDockBar
{
    DECLARE_DYNCREATE(CBrokenBar)

public:
    ON_UUID DockBarID() const override { return ON_UuidFromString("11111111-2222-4333-8444-555555555555"); }
    const wchar_t* DockBarName(int) const override { return L"Broken"; }
    bool CreateDockBarControls() override
    {
        // Not a dock-bar dialog class, then a template the module lacks.
        EXPECT_FALSE(CreateDockBarClientDialog(kPanelTemplate, 0, RUNTIME_CLASS(CDezazUiDockBar), &g_module));
        return CreateDockBarClientDialog(4999, 0, RUNTIME_CLASS(CTestPanel), &g_module);
    }
};
IMPLEMENT_DYNCREATE(CBrokenBar, CDezazUiDockBar)

RECT PlaceIn(HWND control, HWND dialog)
{
    RECT r{};
    ::GetWindowRect(control, &r);
    POINT a{r.left, r.top}, b{r.right, r.bottom};
    ::ScreenToClient(dialog, &a);
    ::ScreenToClient(dialog, &b);
    return RECT{a.x, a.y, b.x, b.y};
}

class DockBars : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::uintptr_t next = 0x9700000;
        m_module = reinterpret_cast<HINSTANCE>(next += 0x1000);
        std::string error;
        ASSERT_TRUE(win32::RegisterResourceScript(m_module, kScript, nullptr, &error)) << error;
        g_module.m_hCurrentResourceHandle = m_module;
        g_module.m_hCurrentInstanceHandle = m_module;
        m_frame = ::CreateWindowExW(0, L"Static", L"frame", WS_POPUP | WS_VISIBLE, 0, 0, 600, 500, nullptr, nullptr,
                                    nullptr, nullptr);
        CTestPanel::made = CTestPanel::destroyed = CTestBar::asked = 0;
    }
    void TearDown() override
    {
        CDezazDockBarManager::DestroyAllDockBars();
        ::DestroyWindow(m_frame);
        win32::UnregisterResources(m_module);
    }
    HINSTANCE m_module = nullptr;
    HWND m_frame = nullptr;
};

TEST_F(DockBars, TheHostMakesABarByItsClassAndTheBarItsPanelByThePanelsClass)
{
    CDezazUiDockBar* bar = CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CTestBar), m_frame, 10, 20);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(CTestBar::asked, 1);
    EXPECT_EQ(CDezazDockBarManager::FindDockBar(kBarId), bar);
    wchar_t caption[64] = {};
    ::GetWindowTextW(bar->m_hWnd, caption, 64);
    EXPECT_STREQ(caption, L"Primitives");
    EXPECT_EQ(::GetParent(bar->m_hWnd), m_frame);

    CDezazUiDockBarDialog* panel = bar->ClientDialog();
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->IsKindOf(RUNTIME_CLASS(CTestPanel)));
    EXPECT_EQ(::GetParent(panel->m_hWnd), bar->m_hWnd);
    EXPECT_TRUE(::IsWindowVisible(panel->m_hWnd));
    RECT bar_client{}, panel_rect{};
    ::GetClientRect(bar->m_hWnd, &bar_client);
    ::GetClientRect(panel->m_hWnd, &panel_rect);
    EXPECT_EQ(panel_rect.right, bar_client.right); // the panel fills the bar below its title
    EXPECT_EQ(panel_rect.bottom, bar_client.bottom - CDezazUiDockBar::kCaptionHeight);
    EXPECT_EQ(panel->m_Resize.Count(), 4);
    ::RedrawWindow(m_frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    mfc::PumpUntilIdle();
    win32::WriteSnapshotIfRequested(m_frame, "host_dock_bar");
    // What a user sees: the title strip with the name, the panel's controls
    // (the edit's white field) below it.
    const win32::ClientImage image = win32::ComposeWindowImage(m_frame);
    auto at = [&](int x, int y) { return image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFFu; };
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const std::uint32_t strip = GetRValue(shadow) << 16 | GetGValue(shadow) << 8 | GetBValue(shadow);
    EXPECT_EQ(at(200, 22), strip);
    int letters = 0;
    for (int y = 20; y < 20 + CDezazUiDockBar::kCaptionHeight; ++y)
        for (int x = 10; x < 120; ++x)
            letters += at(x, y) != strip ? 1 : 0;
    EXPECT_GT(letters, 30); // "Primitives"
    const RECT edit = PlaceIn(::GetDlgItem(panel->m_hWnd, kStretched), m_frame);
    EXPECT_EQ(at((edit.left + edit.right) / 2, (edit.top + edit.bottom) / 2), 0xFFFFFFu);

    // The same bar again is the one that exists.
    EXPECT_EQ(CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CTestBar), m_frame), bar);
    EXPECT_EQ(CDezazDockBarManager::DockBars().size(), 1u);
    EXPECT_EQ(CTestPanel::made, 1);

    EXPECT_TRUE(CDezazDockBarManager::ShowDockBar(kBarId, false));
    EXPECT_FALSE(CDezazDockBarManager::IsDockBarVisible(kBarId));
    EXPECT_TRUE(CDezazDockBarManager::ShowDockBar(kBarId, true));
    EXPECT_TRUE(CDezazDockBarManager::IsDockBarVisible(kBarId));

    const HWND panel_window = panel->m_hWnd;
    EXPECT_TRUE(CDezazDockBarManager::DestroyDockBar(kBarId));
    EXPECT_FALSE(::IsWindow(panel_window));
    EXPECT_EQ(CTestPanel::destroyed, 1);
    EXPECT_EQ(CDezazDockBarManager::FindDockBar(kBarId), nullptr);
    EXPECT_FALSE(CDezazDockBarManager::DestroyDockBar(kBarId));
}

TEST_F(DockBars, ClassesThatAreNoBarsAndBarsWithoutControlsAreRefused)
{
    EXPECT_EQ(CDezazDockBarManager::CreateDockBar(nullptr, m_frame), nullptr);
    EXPECT_EQ(CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CTestPanel), m_frame), nullptr);
    EXPECT_EQ(CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CDezazUiDockBar), m_frame), nullptr); // abstract
    EXPECT_EQ(CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CBrokenBar), m_frame), nullptr);
    EXPECT_TRUE(CDezazDockBarManager::DockBars().empty());
    EXPECT_EQ(CTestPanel::made, 1); // made for the missing template, then dropped
    EXPECT_EQ(CTestPanel::destroyed, 1);
}

TEST_F(DockBars, ResizingTheBarKeepsEachControlToTheEdgesItsFlagsName)
{
    CDezazUiDockBar* bar = CDezazDockBarManager::CreateDockBar(RUNTIME_CLASS(CTestBar), m_frame);
    ASSERT_NE(bar, nullptr);
    const HWND dialog = bar->ClientDialog()->m_hWnd;
    RECT client{};
    ::GetClientRect(dialog, &client);
    const RECT stretched = PlaceIn(::GetDlgItem(dialog, kStretched), dialog);
    const RECT corner = PlaceIn(::GetDlgItem(dialog, kRightBottom), dialog);
    const RECT centred = PlaceIn(::GetDlgItem(dialog, kCentred), dialog);
    const RECT fixed = PlaceIn(::GetDlgItem(dialog, kLeftTop), dialog);

    ::MoveWindow(bar->m_hWnd, 0, 0, 300, 500, TRUE);
    RECT bigger{};
    ::GetClientRect(dialog, &bigger);
    const LONG dx = bigger.right - client.right, dy = bigger.bottom - client.bottom;
    ASSERT_GT(dx, 0);
    ASSERT_GT(dy, 0);

    const RECT s = PlaceIn(::GetDlgItem(dialog, kStretched), dialog);
    EXPECT_EQ(s.left, stretched.left);
    EXPECT_EQ(s.right, stretched.right + dx);
    EXPECT_EQ(s.top, stretched.top);
    EXPECT_EQ(s.bottom, stretched.bottom);
    const RECT c = PlaceIn(::GetDlgItem(dialog, kRightBottom), dialog);
    EXPECT_EQ(c.left, corner.left + dx);
    EXPECT_EQ(c.right, corner.right + dx);
    EXPECT_EQ(c.top, corner.top + dy);
    EXPECT_EQ(c.bottom - c.top, corner.bottom - corner.top);
    const RECT m = PlaceIn(::GetDlgItem(dialog, kCentred), dialog);
    EXPECT_EQ(m.right - m.left, centred.right - centred.left);
    EXPECT_NEAR(0.5 * (m.left + m.right) / bigger.right, 0.5 * (centred.left + centred.right) / client.right, 0.01);
    EXPECT_NEAR(0.5 * (m.top + m.bottom) / bigger.bottom, 0.5 * (centred.top + centred.bottom) / client.bottom, 0.01);
    const RECT f = PlaceIn(::GetDlgItem(dialog, kLeftTop), dialog);
    EXPECT_EQ(f.left, fixed.left);
    EXPECT_EQ(f.top, fixed.top);
    EXPECT_EQ(f.right, fixed.right);
    EXPECT_EQ(f.bottom, fixed.bottom);
}

TEST_F(DockBars, TheResizerKeepsTheTemplatesMarginsWhenThePanelGrowsOrShrinks)
{
    // The panel on its own, so the places are the template's before any resize.
    AFX_MANAGE_STATE(&g_module);
    CTestPanel panel;
    ASSERT_TRUE(panel.Create(kPanelTemplate, CWnd::FromHandle(m_frame)));
    RECT client{};
    ::GetClientRect(panel.m_hWnd, &client);
    const RECT stretched = PlaceIn(::GetDlgItem(panel.m_hWnd, kStretched), panel.m_hWnd);
    const RECT corner = PlaceIn(::GetDlgItem(panel.m_hWnd, kRightBottom), panel.m_hWnd);
    const RECT centred = PlaceIn(::GetDlgItem(panel.m_hWnd, kCentred), panel.m_hWnd);
    ASSERT_GT(stretched.right, stretched.left);
    ASSERT_GT(corner.bottom, corner.top);

    for (const SIZE size : {SIZE{client.right + 90, client.bottom + 140}, SIZE{client.right - 20, client.bottom - 30}})
    {
        ::MoveWindow(panel.m_hWnd, 0, 0, size.cx, size.cy, TRUE);
        RECT now{};
        ::GetClientRect(panel.m_hWnd, &now);
        const RECT s = PlaceIn(::GetDlgItem(panel.m_hWnd, kStretched), panel.m_hWnd);
        EXPECT_EQ(s.left, stretched.left);
        EXPECT_EQ(now.right - s.right, client.right - stretched.right); // the right margin stays
        EXPECT_EQ(s.top, stretched.top);
        EXPECT_EQ(s.bottom, stretched.bottom);
        const RECT c = PlaceIn(::GetDlgItem(panel.m_hWnd, kRightBottom), panel.m_hWnd);
        EXPECT_EQ(now.right - c.right, client.right - corner.right);
        EXPECT_EQ(now.bottom - c.bottom, client.bottom - corner.bottom);
        EXPECT_EQ(c.right - c.left, corner.right - corner.left);
        EXPECT_EQ(c.bottom - c.top, corner.bottom - corner.top);
        const RECT m = PlaceIn(::GetDlgItem(panel.m_hWnd, kCentred), panel.m_hWnd);
        EXPECT_EQ(m.right - m.left, centred.right - centred.left);
        EXPECT_EQ(m.bottom - m.top, centred.bottom - centred.top);
        EXPECT_NEAR(0.5 * (m.left + m.right), 0.5 * (centred.left + centred.right) * now.right / client.right, 1.0);
        EXPECT_NEAR(0.5 * (m.top + m.bottom), 0.5 * (centred.top + centred.bottom) * now.bottom / client.bottom, 1.0);
    }
    panel.DestroyWindow();

    // Without the dialog's window nothing can be registered.
    CDezazUiDialogItemResizer early(&panel);
    EXPECT_FALSE(early.Add(kStretched, CDezazUiDialogItemResizer::resize_lockall));
    CDezazUiDialogItemResizer none(nullptr);
    EXPECT_FALSE(none.Add(kStretched, 1));
    EXPECT_EQ(none.Count(), 0);
}

} // namespace
