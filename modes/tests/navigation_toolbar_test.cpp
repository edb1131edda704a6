// The tool views' navigation toolbar on a real view: which buttons each
// view's options build and in what order, that every click reaches the view
// action its button names, and that the toggles follow the active mode.
#include "modes/navigation_toolbar.h"

#include "overlay/image_button.h"
#include "overlay/view_3d_overlay.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace
{

class cToolbarTestView : public cP3DView
{
public:
    cToolbarTestView() { SetScreenObjectManager(std::make_unique<C3DViewOverlay>(this)); }
};

using Button = cC_ImageButton<C3DView>;

const std::vector<std::wstring> kZoomTitles = {L"Zoom All", L"Rectangular Zoom"};
const std::vector<std::wstring> kNavigationTitles = {
    L"Zoom All",          L"Rectangular Zoom",    L"Rotate Mode",        L"Translate Mode",
    L"Zoom Mode",         L"Front View    (F)",   L"Back View    (B)",   L"Left View    (L)",
    L"Right View    (R)", L"Top View    (T)",     L"Bottom View    (M)", L"Isometric View    (I)"};

C3DView* axesClickedWith = nullptr;
int axesClicks = 0;
void RecordAxesClick(IBase*, void* context)
{
    axesClickedWith = static_cast<C3DView*>(context);
    ++axesClicks;
}

class NavigationToolbar : public ::testing::Test
{
protected:
    void SetUp() override
    {
        view = fixture.Create<cToolbarTestView>();
        axesClickedWith = nullptr;
        axesClicks = 0;
    }

    // The buttons of the toolbar frame the builder added, in column order.
    std::vector<Button*> Buttons()
    {
        std::vector<Button*> buttons;
        auto* overlay = dynamic_cast<C3DViewOverlay*>(view->GetScreenObjectManager());
        for (auto* n = overlay->GetManager().GetRoot()->GetFirstEntry(); n != nullptr; n = n->next)
        {
            auto* frame = dynamic_cast<cC_Frame<C3DView>*>(n->value.control.Get());
            if (dynamic_cast<cVE_GlobalToolTip<C3DView>*>(frame))
                continue; // a frame of texts, not of buttons
            auto* stack = frame ? dynamic_cast<cC_StackPanel<C3DView>*>(frame->GetContent()) : nullptr;
            if (!stack)
                continue;
            for (auto* b = stack->GetFirstEntry(); b != nullptr; b = b->next)
                buttons.push_back(dynamic_cast<Button*>(b->value.control.Get()));
        }
        return buttons;
    }
    static std::vector<std::wstring> Titles(const std::vector<Button*>& buttons)
    {
        std::vector<std::wstring> titles;
        for (Button* b : buttons)
            titles.emplace_back(b->GetToolTipTitle());
        return titles;
    }
    Button* Find(const std::wstring& title)
    {
        for (Button* b : Buttons())
            if (title == b->GetToolTipTitle())
                return b;
        ADD_FAILURE() << "no button";
        return nullptr;
    }
    void Click(Button* button)
    {
        button->OnLButtonDown(POINT{1, 1}, MK_LBUTTON, view);
        button->OnLButtonUp(POINT{1, 1}, 0, view);
    }
    std::array<double, 16> Transform() const
    {
        std::array<double, 16> t{};
        const double* m = view->GetCamera()->GetViewTransform();
        std::copy(m, m + 16, t.begin());
        return t;
    }

    testview::ViewFixture fixture;
    cToolbarTestView* view = nullptr;
};

TEST_F(NavigationToolbar, EachViewsOptionsBuildItsButtonsInOrderSharingOneTooltip)
{
    stNavigationToolbar toolbar = BuildNavigationToolbar(*view, {});
    EXPECT_EQ(toolbar.buttonCount, 12u);
    std::vector<Button*> buttons = Buttons();
    EXPECT_EQ(Titles(buttons), kNavigationTitles);
    ASSERT_NE(toolbar.tooltip.Get(), nullptr);
    // The tooltip frame stands on the view's overlay beside the toolbar.
    auto* overlay = dynamic_cast<C3DViewOverlay*>(view->GetScreenObjectManager());
    std::size_t roots = 0;
    bool tooltipShown = false;
    for (auto* n = overlay->GetManager().GetRoot()->GetFirstEntry(); n != nullptr; n = n->next, ++roots)
        tooltipShown = tooltipShown || dynamic_cast<cVE_GlobalToolTip<C3DView>*>(n->value.control.Get()) ==
                                           toolbar.tooltip.Get();
    EXPECT_TRUE(tooltipShown);
    EXPECT_EQ(roots, 2u) << "the tooltip and the toolbar's frame";
    for (std::size_t i = 0; i < buttons.size(); ++i)
    {
        EXPECT_EQ(buttons[i]->GetToolTip(), static_cast<IVEffect*>(toolbar.tooltip.Get())) << i;
        EXPECT_EQ(buttons[i]->IsToggle() != 0, i >= 1 && i <= 4) << "only the zoom rectangle and the three modes toggle";
        EXPECT_EQ(buttons[i]->GetCursorWord(), kNavigationToolbarCursor);
        EXPECT_STRNE(buttons[i]->GetToolTipDescription(), L"") << i;
    }
}

TEST_F(NavigationToolbar, ALockedRotationLeavesOnlyTheZoomButtons)
{
    stNavigationToolbar locked = BuildNavigationToolbar(*view, {.zoomOnly = true});
    EXPECT_EQ(locked.buttonCount, 2u);
    EXPECT_EQ(Titles(Buttons()), kZoomTitles);
}

TEST_F(NavigationToolbar, TheAxesSwitchComesLastAndItsClickCarriesTheView)
{
    stNavigationToolbar shapes = BuildNavigationToolbar(*view, {.axesClick = &RecordAxesClick});
    EXPECT_EQ(shapes.buttonCount, 13u);
    std::vector<std::wstring> expected = kNavigationTitles;
    expected.push_back(L"Coordinate System Display");
    EXPECT_EQ(Titles(Buttons()), expected);
    Button* axes = Buttons().back();
    EXPECT_STREQ(axes->GetToolTipDescription(), L"Shows or hides global coordinates system in the scene");
    EXPECT_FALSE(axes->IsToggle());
    Click(axes);
    EXPECT_EQ(axesClicks, 1);
    EXPECT_EQ(axesClickedWith, static_cast<C3DView*>(view));
}

TEST_F(NavigationToolbar, TheViewButtonsSetTheirStandardViewAndTheIsometricButtonCycles)
{
    BuildNavigationToolbar(*view, {});
    const std::pair<const wchar_t*, int> views[] = {
        {L"Front View    (F)", kFrontView}, {L"Back View    (B)", kBackView},   {L"Left View    (L)", kLeftView},
        {L"Right View    (R)", kRightView}, {L"Top View    (T)", kTopView},     {L"Bottom View    (M)", kBottomView}};
    for (const auto& [title, index] : views)
    {
        view->SetStandardView(index);
        const std::array<double, 16> wanted = Transform();
        view->SetStandardView(index == kTopView ? kFrontView : kTopView);
        ASSERT_NE(Transform(), wanted);
        Click(Find(title));
        EXPECT_EQ(Transform(), wanted) << "view " << index;
    }
    // Two clicks step through the diagonal views as the view's own cycle does.
    std::vector<std::array<double, 16>> cycle;
    view->SetStandardView(kFrontView);
    for (int i = 0; i < 2; ++i)
    {
        view->CycleDiagonalView();
        cycle.push_back(Transform());
    }
    view->SetStandardView(kFrontView);
    for (int i = 0; i < 2; ++i)
    {
        Click(Find(L"Isometric View    (I)"));
        EXPECT_EQ(Transform(), cycle[i]) << i;
    }
    EXPECT_NE(cycle[0], cycle[1]);
}

TEST_F(NavigationToolbar, TheModeButtonsStartTheirModeAndShowCheckedExactlyWhileItIsActive)
{
    BuildNavigationToolbar(*view, {});
    const std::pair<const wchar_t*, std::uint32_t> modes[] = {{L"Rectangular Zoom", kZoomRectModeId},
                                                               {L"Rotate Mode", kRotateModeId},
                                                               {L"Translate Mode", kTranslateModeId},
                                                               {L"Zoom Mode", kZoomModeId}};
    for (const auto& [title, id] : modes)
    {
        Click(Find(title));
        ASSERT_NE(view->GetActiveMode(), nullptr);
        EXPECT_EQ(view->GetActiveMode()->GetId(), id);
        for (Button* b : Buttons())
        {
            b->SetChecked(0);
            b->OnIdleUpdate(view);
            EXPECT_EQ(b->IsChecked() != 0, std::wstring(title) == b->GetToolTipTitle())
                << "while " << id << " is active";
        }
    }
}

} // namespace
