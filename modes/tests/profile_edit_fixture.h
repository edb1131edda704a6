// The profile editing mode on a real shapes view over a revolved shape,
// with a panel that keeps the undo list and the settings as the Sketch page
// does, for the profile editor's tests.
#pragma once

#include "core/section_curve_classes.h"
#include "modes/profile_edit_mode.h"
#include "modes/shapes_view.h"
#include "platform/win32/input.h"
#include "shapes/revolved_surface.h"
#include "stub_shapes_view_owner.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace profile_edit_test
{

class FakeOwner : public StubShapesViewOwner
{
public:
    ISceneObject* CurrentShapeObject() override { return shape; }
    bool OnViewCommand(UINT id) override { return commands.push_back(id), true; }

    ISceneObject* shape = nullptr;
    std::vector<UINT> commands;
};

class FakePanel : public IProfileEditPanel
{
public:
    void PushUndoState() override
    {
        ST_ISectionCurve* profile = profiled ? profiled->GetProfileCurve() : nullptr;
        if (!profile)
            return;
        std::unique_ptr<ST_ISectionCurve> copy = profile->Clone();
        copy->Assign(*profile);
        undo.push_back(std::move(copy));
    }
    void ClearUndoStates() override { undo.clear(); }
    std::unique_ptr<ST_ISectionCurve> PopUndoState() override
    {
        if (undo.empty())
            return nullptr;
        std::unique_ptr<ST_ISectionCurve> last = std::move(undo.back());
        undo.pop_back();
        return last;
    }
    void SetDistanceRadiusField(double v, bool isDistance) override
    {
        value = v;
        distance = isDistance;
    }
    double GetDistanceRadiusValue() override { return typed; }
    void FocusDistanceField() override { ++focused; }
    void ShowTool(std::uint32_t tool) override { shownTool = tool; }
    bool IsSnapping() override { return snapping; }
    bool UseControlPoints() override { return controlPoints; }
    int GetSnapDistanceIndex() override { return distanceIndex; }
    int GetSnapAngleIndex() override { return angleIndex; }
    const wchar_t* UnitText() override { return L"mm"; }
    void NotifyProfileChanged() override { ++changes; }

    ST_IProfiledSurface* profiled = nullptr;
    std::vector<std::unique_ptr<ST_ISectionCurve>> undo;
    double value = -1.0, typed = 0.0;
    bool distance = false, snapping = true, controlPoints = false;
    int focused = 0, changes = 0, distanceIndex = 0, angleIndex = 0;
    std::uint32_t shownTool = 99;
};

inline FakePanel* g_panel = nullptr;

inline cUserInteractiveMode<C3DView>* MakeMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    return MakeProfileEditMode(id, temporary, view, g_panel);
}

class ProfileEdit : public ::testing::Test
{
protected:
    static constexpr int kWidth = 260, kHeight = 200;

    void SetUp() override
    {
        win32::ResetInputState();
        g_panel = &panel;
        owner.shape = &shape;
        panel.profiled = static_cast<ST_IProfiledSurface*>(shape.QueryInterface(IID_ST_IProfiledSurface));
        ASSERT_NE(panel.profiled, nullptr);
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        view->ZoomAll();
        SetShapesViewModeMaker(kModeEditProfile, &MakeMode);
        ASSERT_TRUE(view->StartToolMode(kModeEditProfile, nullptr));
        mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
    }
    void TearDown() override
    {
        fixture.Close();
        SetShapesViewModeMaker(kModeEditProfile, nullptr);
        g_panel = nullptr;
        win32::ResetInputState();
    }
    ST_ISectionCurve* Sketch() const { return panel.profiled->GetProfileCurve(); }
    void Command(UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, id, 0); }
    void Click(POINT p)
    {
        testview::Move(view, p);
        testview::Press(view, WM_LBUTTONDOWN, p);
        testview::Press(view, WM_LBUTTONUP, p);
    }
    void Local(POINT p, float out[3]) { ASSERT_TRUE(ScreenToSketchPoint(view, p, Sketch()->frame, out)); }
    const tPolyline<cVertex>& PointsOf(std::uint32_t i) { return *SketchPointsOf(*Sketch()->GetSegment(i), false); }

    FakeOwner owner;
    FakePanel panel;
    Dezaz_RevolvedObject shape;
    cCPView* view = nullptr;
    CUIM_EditProfile* mode = nullptr;
    testview::ViewFixture fixture{true};
};

} // namespace profile_edit_test
