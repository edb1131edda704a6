// What the Sketch tab shows of a revolved shape with an upright axis: the
// profile plane face-on with the part standing upright, and the view's
// navigation toolbar still working over the profile editor.
#include "modes/profile_edit_mode.h"
#include "overlay/image_button.h"
#include "overlay/view_3d_overlay.h"
#include "plugin/dialogs/sketch_page.h"
#include "resources/profile_edit.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "support/view_input.h"

#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/profile_sketch_selection.h"
#include "platform/wgl/pixel_probe.h"

#include <cmath>
#include <string>

namespace
{

// A client pixel inside the toolbar button with that title, or (-1, -1).
POINT FindToolbarButton(cCPView* view, const wchar_t* title)
{
    auto* overlay = dynamic_cast<C3DViewOverlay*>(view->GetScreenObjectManager());
    if (!overlay)
        return POINT{-1, -1};
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    for (LONG y = client.top; y < client.bottom; y += 2)
        for (LONG x = client.left; x < client.right / 4; x += 2)
        {
            POINT local{};
            // The deepest control is the button's picture: its parent is the button.
            for (auto* c = overlay->GetManager().GetRoot()->HitTest(POINT{x, y}, 0, &local); c; c = c->GetParent())
                if (auto* button = dynamic_cast<cC_ImageButton<C3DView>*>(c))
                {
                    if (std::wstring(title) == button->GetToolTipTitle())
                        return POINT{x + 3, y + 3};
                    break;
                }
        }
    return POINT{-1, -1};
}

// The shape's red across the middle of the view (the part is zoomed to the
// centre): its extent along the centre row and the centre column, and the
// red pixels of the whole view.
struct PartPixels
{
    LONG left = -1, top = -1, right = -1, bottom = -1;
    long count = 0, green = 0;
    LONG Width() const { return right - left + 1; }
    LONG Height() const { return bottom - top + 1; }
};

PartPixels FindPart(C3DView* view)
{
    view->Redraw(kFullRedraw);
    const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
    auto red = [&](LONG x, LONG y) {
        const std::uint32_t p = image.At(x, y);
        const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        return r > 150 && r - g > 60 && r - b > 60;
    };
    PartPixels part;
    const LONG cx = image.width / 2, cy = image.height / 2;
    for (LONG y = 0; y < image.height; ++y)
        for (LONG x = 0; x < image.width; ++x)
        {
            const std::uint32_t p = image.At(x, y);
            const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
            part.green += (g > 150 && g - r > 40 && g - b > 40) ? 1 : 0;
            if (red(x, y))
            {
                ++part.count;
                if (x == cx)
                {
                    part.top = part.top < 0 ? y : part.top;
                    part.bottom = y;
                }
                if (y == cy)
                {
                    part.left = part.left < 0 ? x : part.left;
                    part.right = x;
                }
            }
        }
    return part;
}

class SketchTabView : public ShapesDialog
{
protected:
    // An upright cylinder (radius 20, height 50) far from the origin, fitted
    // as a revolved shape, with the Sketch tab open.
    void OpenSketchOfUprightPart()
    {
        Open(scans::Cylinder({-40, 80, 900}, {0.0, 0.0, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::Revolved);
        ASSERT_NE(dialog->GetCurrentSession(), nullptr);
        ASSERT_EQ(dialog->TabTitles()[1], L"Sketch");
        dialog->SelectTab(1);
        view = dialog->GetShapesView();
        mode = dynamic_cast<CUIM_EditProfile*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
        profiled = Shape<ST_IProfiledSurface>(IID_ST_IProfiledSurface);
        ASSERT_NE(profiled, nullptr);
        ASSERT_NE(profiled->GetProfileCurve(), nullptr);
    }

    cCPView* view = nullptr;
    CUIM_EditProfile* mode = nullptr;
    ST_IProfiledSurface* profiled = nullptr;
};

} // namespace

TEST_F(SketchTabView, TheProfilePlaneOfAnUprightRevolvedPartIsSeenFaceOnAndUpright)
{
    OpenSketchOfUprightPart();
    const double* f = profiled->GetProfileCurve()->frame;
    const double* t = view->GetCamera()->GetViewTransform();
    // The view looks along the plane's normal, the axis (the sketch's y)
    // runs up the screen: world z is up.
    EXPECT_NEAR(std::fabs(t[8] * f[2] + t[9] * f[6] + t[10] * f[10]), 1.0, 1e-9);
    EXPECT_NEAR(std::fabs(t[4] * f[1] + t[5] * f[5] + t[6] * f[9]), 1.0, 1e-6);
    EXPECT_NEAR(t[6], 1.0, 1e-6);
    // From the side the part is a 40 x 50 rectangle, taller than wide (from
    // the top it was a ring, as wide as tall).
    const PartPixels part = FindPart(view);
    ASSERT_GE(part.top, 0);
    ASSERT_GE(part.left, 0);
    const double ratio = double(part.Height()) / double(part.Width());
    EXPECT_NEAR(ratio, 50.0 / 40.0, 0.06);
    // A click lands on the plane.
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    float local[3];
    EXPECT_TRUE(ScreenToSketchPoint(view, POINT{client.right / 2, client.bottom / 2}, f, local));
    Snapshot("sketch_tab_upright_revolved");
}

TEST_F(SketchTabView, TheToolbarsRectangularZoomWorksOverTheSketch)
{
    OpenSketchOfUprightPart();
    const std::uint32_t segments = profiled->GetProfileCurve()->GetSegmentCount();
    const PartPixels before = FindPart(view);
    const POINT button = FindToolbarButton(view, L"Rectangular Zoom");
    ASSERT_GE(button.x, 0) << "the shapes view shows its toolbar";
    viewinput::Inject(view, WM_MOUSEMOVE, button);
    viewinput::Inject(view, WM_LBUTTONDOWN, button);
    viewinput::Inject(view, WM_LBUTTONUP, button);
    ASSERT_NE(view->GetActiveMode(), nullptr);
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomRectModeId);
    // A rectangle around the part's upper half.
    ASSERT_GE(before.top, 0);
    const LONG cx = (before.left + before.right) / 2, height = before.Height();
    const POINT from{cx - height / 2, before.top - 2}, to{cx + height / 2, before.top + height / 2};
    viewinput::Inject(view, WM_MOUSEMOVE, from);
    viewinput::Inject(view, WM_LBUTTONDOWN, from);
    viewinput::Inject(view, WM_MOUSEMOVE, POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
    viewinput::Inject(view, WM_MOUSEMOVE, to);
    viewinput::Inject(view, WM_LBUTTONUP, to);
    // Nothing was drawn or fitted into the sketch, and the part shows
    // larger. The rectangle zoom stays on (its button checked) until
    // Escape, which gives the view back to the sketch at the new zoom.
    EXPECT_EQ(view->GetActiveMode()->GetId(), kZoomRectModeId);
    EXPECT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), segments);
    const PartPixels after = FindPart(view);
    EXPECT_GT(after.count, before.count * 3 / 2);
    ::SendMessageW(view->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
    mfc::PumpUntilIdle();
    EXPECT_EQ(view->GetActiveMode(), static_cast<cUserInteractiveMode<C3DView>*>(mode));
    EXPECT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), segments);
    EXPECT_EQ(FindPart(view).count, after.count) << "the sketch editor keeps the zoom";
    Snapshot("sketch_tab_rectangular_zoom");
}

TEST_F(SketchTabView, AStrokeThatFitsNothingLeavesTheShapeAndOneAlongTheWallFitsItsLine)
{
    OpenSketchOfUprightPart();
    ASSERT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), 0u) << "the tab starts an empty sketch";
    const PartPixels before = FindPart(view);
    ASSERT_GE(before.left, 0);
    ASSERT_GT(before.green, 10000) << "the fitted surface shows beyond the scan";
    auto stroke = [&](POINT from, POINT to) {
        viewinput::Inject(view, WM_MOUSEMOVE, from);
        viewinput::Inject(view, WM_LBUTTONDOWN, from);
        for (int i = 1; i <= 8; ++i)
            viewinput::Inject(view, WM_MOUSEMOVE, POINT{from.x + (to.x - from.x) * i / 8, from.y + (to.y - from.y) * i / 8});
        viewinput::Inject(view, WM_LBUTTONUP, to);
    };
    // Across the wall (the section points lie on its left silhouette): a
    // few points under the stroke, too short a run for a line.
    stroke(POINT{before.left - 40, before.top + 10}, POINT{before.right + 40, before.top + before.Height() / 2});
    EXPECT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), 0u);
    const PartPixels across = FindPart(view);
    EXPECT_NEAR(double(across.green), double(before.green), before.green * 0.01) << "the surface stays";
    Snapshot("sketch_tab_stroke_across");

    // Down the wall's upper half: a line on the wall, 20 from the axis,
    // parallel to it, as long as the stroked run.
    const double pixel = PixelsToWorldLength(view, 1);
    stroke(POINT{before.left, before.top + 10}, POINT{before.left, before.top + before.Height() / 2});
    ASSERT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), 1u);
    ST_ISectionCurve* line = profiled->GetProfileCurve()->GetSegment(0);
    EXPECT_EQ(line->GetClassGuid(), CLSID_ST_TLineCurve);
    const tPolyline<cVertex>& ends = *SketchPointsOf(*line, false);
    ASSERT_EQ(ends.GetVertexCount(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i)
        EXPECT_NEAR(std::fabs(ends.GetVertex(i)->x), 20.0, 0.05) << i;
    const double length = std::fabs(double(ends.GetVertex(1)->y) - ends.GetVertex(0)->y);
    EXPECT_NEAR(length, (before.Height() / 2 - 10) * pixel, 12 * pixel);
}

TEST_F(SketchTabView, VerticalAndHorizontalLinesShowTheirMarkers)
{
    OpenSketchOfUprightPart();
    auto command = [&](UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); };
    auto line = [&](POINT from, POINT to) {
        command(ID_PROFILE_ADD_LINE);
        viewinput::Click(view, from);
        viewinput::Click(view, to);
        command(ID_PROFILE_SELECT_MODE);
    };
    // Beside the part, on the background: one across, one upright.
    line(POINT{100, 150}, POINT{200, 150});
    line(POINT{600, 200}, POINT{600, 320});
    ST_ISectionCurve* sketch = profiled->GetProfileCurve();
    ASSERT_EQ(sketch->GetSegmentCount(), 2u);
    ASSERT_TRUE(sketch->GetSegment(0)->IsHorizontal());
    ASSERT_TRUE(sketch->GetSegment(1)->IsVertical());
    // The markers are placed while a frame is drawn and show in the next.
    view->Redraw(kFullRedraw);
    view->Redraw(kFullRedraw);
    const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
    // The red bar of each marker, beside the line's middle: the upright
    // line's to its left, the other's above it.
    auto markerRed = [&](ST_ISectionCurve* curve, LONG dx, LONG dy) {
        t3DPoint<double> mid{};
        EXPECT_TRUE(curve->EvaluateInWorld(0.5, &mid, nullptr, nullptr));
        const float world[3] = {float(mid.x), float(mid.y), float(mid.z)};
        float projected[3];
        view->GetRenderer()->ProjectPoint(projected, world, true);
        POINT at{};
        view->GetRenderer()->WorldToScreen(projected[0], projected[1], &at);
        int count = 0;
        for (LONG y = at.y + dy; y < at.y + dy + 12; ++y)
            for (LONG x = at.x + dx; x < at.x + dx + 12; ++x)
                count += wgl::SameColour(image.At(x, y), wgl::Rgb(200, 48, 40)) ? 1 : 0;
        return count;
    };
    EXPECT_GE(markerRed(sketch->GetSegment(1), -15, 0), 10) << "the vertical marker";
    EXPECT_GE(markerRed(sketch->GetSegment(0), 0, -15), 10) << "the horizontal marker";
    Snapshot("sketch_tab_line_markers");
}

TEST_F(SketchTabView, AProfileLineInsideThePartShowsOverTheScanInTheProfilesColours)
{
    OpenSketchOfUprightPart();
    const PartPixels part = FindPart(view);
    ASSERT_GE(part.left, 0);
    // Across the part: the sketch plane holds the axis, so the lines lie
    // inside the scan, behind its front half.
    const LONG y = (part.top + part.bottom) / 2, quarter = part.Width() / 4, lower = y + part.Height() / 5;
    auto command = [&](UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); };
    auto drawLine = [&](LONG at) {
        command(ID_PROFILE_ADD_LINE);
        viewinput::Click(view, POINT{part.left + quarter, at});
        viewinput::Click(view, POINT{part.right - quarter, at});
        // Escape leaves no construction line or label over it.
        ::SendMessageW(view->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        mfc::PumpUntilIdle();
    };
    auto screenAt = [&](ST_ISectionCurve* curve, double t) {
        t3DPoint<double> at{};
        EXPECT_TRUE(curve->EvaluateInWorld(t, &at, nullptr, nullptr));
        const float world[3] = {float(at.x), float(at.y), float(at.z)};
        float projected[3];
        view->GetRenderer()->ProjectPoint(projected, world, true);
        POINT p{};
        view->GetRenderer()->WorldToScreen(projected[0], projected[1], &p);
        return p;
    };
    // Blue pixels and yellow (selected, over the scan's red) pixels along a
    // curve; the ends are left to their point markers and the middle to the
    // line's horizontal marker.
    struct Shown { int blue = 0, yellow = 0; };
    auto shownAlong = [&](ST_ISectionCurve* curve) {
        const wgl::PixelImage image = wgl::ReadWindowImage(view->GetSafeHwnd());
        Shown shown;
        for (int i : {2, 3, 8})
        {
            const POINT p = screenAt(curve, i / 10.0);
            const std::uint32_t c = image.At(p.x, p.y);
            const int r = (c >> 16) & 255, g = (c >> 8) & 255, b = c & 255;
            shown.blue += b > 150 && r < 80 && g < 80 ? 1 : 0;
            shown.yellow += r > 200 && g > 140 && b < 90 ? 1 : 0;
        }
        return shown;
    };
    drawLine(y);
    drawLine(lower);
    ASSERT_EQ(profiled->GetProfileCurve()->GetSegmentCount(), 2u);
    ST_ISectionCurve* first = profiled->GetProfileCurve()->GetSegment(0);
    ST_ISectionCurve* second = profiled->GetProfileCurve()->GetSegment(1);
    ASSERT_FALSE(first->selected);
    ASSERT_TRUE(second->selected);
    view->Redraw(kFullRedraw);
    EXPECT_EQ(shownAlong(first).blue, 3);
    EXPECT_EQ(shownAlong(second).yellow, 3) << "the selected line";
    Snapshot("sketch_tab_line_inside_part");

    // The second line dragged by its body: the first one still shows.
    command(ID_PROFILE_SELECT_MODE);
    view->Redraw(kFullRedraw);
    const POINT grab = screenAt(second, 0.6);
    viewinput::Move(view, grab);
    viewinput::Inject(view, WM_LBUTTONDOWN, grab);
    viewinput::Move(view, POINT{grab.x + 3, grab.y + 12});
    viewinput::Move(view, POINT{grab.x + 6, grab.y + 25});
    ASSERT_TRUE(mode->IsDraggingSketch());
    view->Redraw(kFullRedraw);
    EXPECT_EQ(shownAlong(first).blue, 3);
    viewinput::Inject(view, WM_LBUTTONUP, POINT{grab.x + 6, grab.y + 25});
}
