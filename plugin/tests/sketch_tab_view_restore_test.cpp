// Leaving the Sketch tab gives the mesh pages back the camera the user had
// before the sketch turned the view to face the profile plane; a view the
// sketch never touched is left as the user set it.
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "platform/wgl/pixel_probe.h"
#include "resources/profile_edit.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace
{

struct Camera
{
    std::array<double, 12> transform{};
    std::array<float, 6> box{};
};

Camera CameraOf(cCPView* view)
{
    Camera c;
    cBase3DRenderer* camera = view->GetCamera();
    const double* t = camera->GetViewTransform();
    std::copy(t, t + 12, c.transform.begin());
    camera->GetSceneBox(c.box.data(), c.box.data() + 3);
    return c;
}

void ExpectSameCamera(const Camera& actual, const Camera& expected, const char* when)
{
    for (int i = 0; i < 12; ++i)
        EXPECT_DOUBLE_EQ(actual.transform[std::size_t(i)], expected.transform[std::size_t(i)]) << when << ", entry " << i;
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(actual.box[std::size_t(i)], expected.box[std::size_t(i)]) << when << ", box " << i;
}

// The view's pixels of the part: the red of the selected scan with the blue
// of any profile curve drawn over it. The same camera over the same part
// shows the same count.
long RedPixels(C3DView* view)
{
    view->Redraw(kFullRedraw);
    const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
    long count = 0;
    for (LONG y = 0; y < image.height; ++y)
        for (LONG x = 0; x < image.width; ++x)
        {
            const std::uint32_t p = image.At(x, y);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            const bool red = r > 150 && r - g > 60 && r - b > 60, blue = b > 150 && r < 60 && g < 60;
            count += red || blue ? 1 : 0;
        }
    return count;
}

// The view's pixels of the blue a profile curve is drawn in.
long BluePixels(C3DView* view)
{
    view->Redraw(kFullRedraw);
    const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
    long count = 0;
    for (LONG y = 0; y < image.height; ++y)
        for (LONG x = 0; x < image.width; ++x)
        {
            const std::uint32_t p = image.At(x, y);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            count += b > 150 && r < 60 && g < 60 ? 1 : 0;
        }
    return count;
}

class SketchTabViewRestore : public ShapesDialog
{
protected:
    // An upright cylinder far from the origin fitted as a revolved shape;
    // its tabs are Shape, Sketch and Deviation.
    void OpenUprightRevolvedPart()
    {
        Open(scans::Cylinder({-40, 80, 900}, {0.0, 0.0, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::Revolved);
        ASSERT_NE(dialog->GetCurrentSession(), nullptr);
        const std::vector<std::wstring> titles = dialog->TabTitles();
        ASSERT_EQ(titles.size(), 3u);
        ASSERT_EQ(titles[1], L"Sketch");
        view = dialog->GetShapesView();
        ASSERT_NE(view, nullptr);
        ASSERT_NE(view->GetCamera(), nullptr);
    }
    void ZoomAtCentre(double amount)
    {
        RECT client{};
        ::GetClientRect(view->GetSafeHwnd(), &client);
        POINT centre{client.right / 2, client.bottom / 2};
        ::ClientToScreen(view->GetSafeHwnd(), &centre);
        view->ZoomAtPoint(amount, centre);
    }
    int DeviationTab() const
    {
        const std::vector<std::wstring> titles = dialog->TabTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == L"Deviation")
                return int(i);
        ADD_FAILURE() << "no Deviation tab";
        return 0;
    }

    cCPView* view = nullptr;
};

} // namespace

TEST_F(SketchTabViewRestore, LeavingTheSketchGivesBackTheUsersCameraFromBeforeIt)
{
    OpenUprightRevolvedPart();
    // An older saved camera below: only the one the sketch saved may come
    // back, and only once.
    view->GetCamera()->PushViewState();
    // The user's own camera: the dialog's top view, tipped and zoomed in.
    view->RotateView90(1, 20.0);
    ZoomAtCentre(-0.3);
    const Camera users = CameraOf(view);
    const long usersRed = RedPixels(view);
    ASSERT_GT(usersRed, 500);

    dialog->SelectTab(1);
    const Camera sketching = CameraOf(view);
    EXPECT_GT(std::fabs(sketching.transform[6] - users.transform[6]), 0.5) << "the sketch turned the view to the side";
    EXPECT_NE(RedPixels(view), usersRed);
    // The user zooms in the sketch too: that zoom is the sketch's, not kept.
    ZoomAtCentre(0.3);

    dialog->SelectTab(0);
    ExpectSameCamera(CameraOf(view), users, "back on the Shape tab");
    EXPECT_NEAR(double(RedPixels(view)), double(usersRed), 0.01 * double(usersRed));
    Snapshot("sketch_tab_left_view_restored");

    // Nothing more to restore: a later visit of Deviation and back keeps
    // the camera the user set since.
    view->RotateView90(0, 90.0);
    const Camera turned = CameraOf(view);
    dialog->SelectTab(DeviationTab());
    dialog->SelectTab(0);
    ExpectSameCamera(CameraOf(view), turned, "Shape after Deviation, no sketch between");
}

TEST_F(SketchTabViewRestore, AViewTheSketchNeverSetUpStaysAsTheUserLeftIt)
{
    OpenUprightRevolvedPart();
    // A saved camera below, as a first Sketch visit leaves none behind: a
    // stray restore would bring this one back.
    view->GetCamera()->PushViewState();
    view->RotateView90(1, 90.0);
    ZoomAtCentre(-0.3);
    const Camera users = CameraOf(view);
    dialog->SelectTab(DeviationTab());
    ExpectSameCamera(CameraOf(view), users, "on Deviation");
    dialog->SelectTab(0);
    ExpectSameCamera(CameraOf(view), users, "back on Shape");
}

TEST_F(SketchTabViewRestore, TheSketchViewSurvivesDeviationAndIsUndoneOnceOnShape)
{
    OpenUprightRevolvedPart();
    view->RotateView90(0, 30.0);
    const Camera users = CameraOf(view);

    dialog->SelectTab(1);
    const Camera sketching = CameraOf(view);
    // Deviation is no mesh page: the sketch's view stays there.
    dialog->SelectTab(DeviationTab());
    ExpectSameCamera(CameraOf(view), sketching, "on Deviation after the sketch");
    // Back to the sketch and then to Shape: the camera from before the
    // first visit, not the sketch's own from a second save.
    dialog->SelectTab(1);
    dialog->SelectTab(0);
    ExpectSameCamera(CameraOf(view), users, "on Shape after two sketch visits");
}

TEST_F(SketchTabViewRestore, AKindChangeAfterTheSketchEndsOnTheCameraFromBeforeIt)
{
    OpenUprightRevolvedPart();
    view->RotateView90(0, -25.0);
    const Camera users = CameraOf(view);
    dialog->SelectTab(1);
    // The kind can be changed again from Deviation; a free-form shape has
    // a Guide curve page instead of the Sketch, and moving Deviation last
    // passes through the Shape tab.
    dialog->SelectTab(DeviationTab());
    ChooseKind(eShapeKind::FreeForm);
    const std::vector<std::wstring> titles = dialog->TabTitles();
    const auto guide = std::find(titles.begin(), titles.end(), std::wstring(L"Guide curve"));
    ASSERT_NE(guide, titles.end());
    dialog->SelectTab(int(guide - titles.begin()));
    ExpectSameCamera(CameraOf(view), users, "on the Guide curve tab");
}

TEST_F(SketchTabViewRestore, AVisitThatDrawsNothingLeavesTheFittedProfileOnTheShapeTab)
{
    OpenUprightRevolvedPart();
    // From the side the fitted profile runs along the wall.
    view->RotateView90(0, 90.0);
    const long before = BluePixels(view);
    ASSERT_GT(before, 500);
    dialog->SelectTab(1);
    dialog->SelectTab(0);
    EXPECT_NEAR(double(BluePixels(view)), double(before), 0.01 * double(before));
    Snapshot("sketch_tab_left_profile_kept");

    // A visit that draws keeps the sketch drawn.
    dialog->SelectTab(1);
    ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(ID_PROFILE_ADD_LINE, 0), 0);
    for (POINT p : {POINT{100, 150}, POINT{200, 150}})
    {
        ::SendMessageW(view->GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y));
        ::SendMessageW(view->GetSafeHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        ::SendMessageW(view->GetSafeHwnd(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    dialog->SelectTab(0);
    auto* profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
    ASSERT_NE(profiled, nullptr);
    ASSERT_NE(profiled->GetProfileCurve(), nullptr);
    EXPECT_EQ(profiled->GetProfileCurve()->GetClassGuid(), CLSID_ST_TSketch);
    EXPECT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), 1u);
}
