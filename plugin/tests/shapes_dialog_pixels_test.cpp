// What the shapes dialog shows, by pixels: its standard controls in a
// picture taken right after it opened, the scan in its material colour, the
// regions sessions painted in their colours, and marks that follow the
// selection tools frame after frame.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/triangle_colour_property.h"
#include "platform/win32/window_snapshot.h"
#include "render/mesh_gl_renderer.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"
#include "support/view_input.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{

struct Rgb
{
    int r, g, b;
    bool operator==(const Rgb&) const = default;
};

class ShapesDialogPixels : public ShapesDialog
{
protected:
    // The dialog as a picture, the view drawn again first as the dialog
    // would on its next paint.
    win32::ClientImage Picture(const std::string& name)
    {
        dialog->GetShapesView()->Redraw(kFullRedraw);
        win32::WriteSnapshotIfRequested(Window(), "shapes_dialog_pixels_" + name);
        return win32::ComposeWindowImage(Window());
    }
    // The pixel at (x, y) of a child's client area.
    Rgb At(const win32::ClientImage& image, HWND child, int x, int y) const
    {
        POINT at{x, y};
        MapWindowPoints(child, Window(), &at, 1);
        const std::uint32_t p = image.pixels[std::size_t(at.y) * std::size_t(image.width) + std::size_t(at.x)];
        return {int((p >> 16) & 255), int((p >> 8) & 255), int(p & 255)};
    }
    HWND View() const { return dialog->GetShapesView()->GetSafeHwnd(); }
    // The pixels of a block of the view around a point given as fractions
    // of its client size.
    std::vector<Rgb> ViewBlock(const win32::ClientImage& image, double fx, double fy, int half = 6) const
    {
        RECT client{};
        ::GetClientRect(View(), &client);
        const int cx = int(fx * client.right), cy = int(fy * client.bottom);
        std::vector<Rgb> out;
        for (int y = cy - half; y <= cy + half; ++y)
            for (int x = cx - half; x <= cx + half; ++x)
                out.push_back(At(image, View(), x, y));
        return out;
    }
    // A square plate turned 53 degrees away from the eye about the x axis
    // (lit at 0.6 of the head light, without a highlight, so no channel
    // saturates), filling the middle of the view; ForLeftHalf walks its
    // triangles left of its centre.
    void OpenPlate() { Open(scans::Plane({300, -200, 50}, {0, 0.8, 0.6}, 100.0, 20)); }
    template <class F> void ForLeftHalf(F&& f)
    {
        cMesh& mesh = Mesh();
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            cMeshTriangle* t = mesh.GetTriangle(i);
            float x = 0.0f;
            for (const std::uint32_t v : t->vertexIndex)
                x += mesh.GetVertex(v)->x / 3.0f;
            if (x < 300.0f)
                f(i, *t);
        }
    }
};

TEST_F(ShapesDialogPixels, ControlsShowInAPictureTakenRightAfterTheDialogOpened)
{
    OpenPlate();
    // No message pumped since the dialog was shown.
    const win32::ClientImage image = win32::ComposeWindowImage(Window());
    win32::WriteSnapshotIfRequested(Window(), "shapes_dialog_pixels_opened");
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const Rgb faceRgb{GetRValue(face), GetGValue(face), GetBValue(face)};
    EXPECT_EQ(At(image, Window(), 2, 2), faceRgb) << "the dialog's own face";
    const HWND selectAll = ::GetDlgItem(Window(), IDC_SHAPES_SELECT_ALL);
    RECT r{};
    ::GetClientRect(selectAll, &r);
    EXPECT_EQ(At(image, selectAll, 4, r.bottom / 2), faceRgb) << "a push button's face";
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    EXPECT_EQ(At(image, list, 10, 10), (Rgb{GetRValue(window), GetGValue(window), GetBValue(window)}))
        << "the list's field";
}

// Closing stores the window's place and the axes switch; the next opening
// reads them back (a reopened document, a second run of the command) and
// must show the same dialog: its face painted, the view's grid and axes.
TEST_F(ShapesDialogPixels, ADialogOpenedOverAStoredPlacementLooksLikeTheFirst)
{
    const ON_Mesh plate = scans::Plane({30, 20, 0}, {0, 0, 1}, 40.0, 8);
    const auto opened = [&](const std::string& name)
    {
        Open(plate);
        win32::WriteSnapshotIfRequested(Window(), "shapes_dialog_pixels_" + name);
        return win32::ComposeWindowImage(Window());
    };
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    const Rgb faceRgb{GetRValue(face), GetGValue(face), GetBValue(face)};
    const win32::ClientImage first = opened("first_opening");
    EXPECT_EQ(At(first, Window(), 2, 2), faceRgb);
    RECT view{};
    ::GetClientRect(View(), &view);
    const auto viewPixels = [&](const win32::ClientImage& image)
    {
        std::vector<Rgb> out;
        for (int y = 0; y < view.bottom; y += 2)
            for (int x = 0; x < view.right; x += 2)
                out.push_back(At(image, View(), x, y));
        return out;
    };
    const std::vector<Rgb> firstView = viewPixels(first);
    // The x axis runs right from the origin in its dark red.
    EXPECT_GT(std::count_if(firstView.begin(), firstView.end(), [](const Rgb& p) { return p.r > 150 && p.g < 40 && p.b < 40; }),
              20);
    Click(IDCANCEL);
    dialog.reset();

    const win32::ClientImage second = opened("second_opening");
    EXPECT_EQ(At(second, Window(), 2, 2), faceRgb) << "the dialog's own face";
    RECT again{};
    ::GetClientRect(View(), &again);
    ASSERT_EQ(again.right, view.right);
    ASSERT_EQ(again.bottom, view.bottom);
    EXPECT_TRUE(viewPixels(second) == firstView) << "the grid and the axes as the first time";
}

TEST_F(ShapesDialogPixels, TheScanShowsItsMaterialThenTheColourOfThePaintedRegion)
{
    OpenPlate();
    const win32::ClientImage plain = Picture("plain");
    // The plate's material is a neutral grey (121, 122, 130) lit by a white
    // light: (0.2 + 0.5 + 0.6) x the material, about (157, 159, 169), the
    // same everywhere on the flat plate, whatever its vertices' colour slots
    // hold.
    const std::vector<Rgb> left = ViewBlock(plain, 0.45, 0.5), right = ViewBlock(plain, 0.55, 0.5);
    const Rgb plate = left.front();
    EXPECT_NEAR(plate.r, 157, 4);
    EXPECT_NEAR(plate.g, 159, 4);
    EXPECT_NEAR(plate.b, 169, 4);
    for (const std::vector<Rgb>* block : {&left, &right})
        for (const Rgb& p : *block)
            ASSERT_EQ(p, plate) << p.r << " " << p.g << " " << p.b;

    // A session paints its kind into the left half; the dialog shows it
    // again from the mesh pass on.
    auto* tags = dynamic_cast<CTriangleColourProperties*>(
        dialog->FirstMeshObject()->FindAttachedProperty(kTriangleColoursPropertyName));
    ASSERT_NE(tags, nullptr);
    ForLeftHalf([&](std::uint32_t i, cMeshTriangle&) { tags->Set(i, kSessionKindCylinder); });
    tags->RecomputeHasColours();
    dialog->GetShapesView()->RequestRedraw(0);
    const win32::ClientImage painted = Picture("painted");
    // The cylinder's region colour, lit like the plate (1.3 x, red
    // saturating); the right half keeps the grey.
    const std::uint8_t* kind = cMeshGLRenderer::TagColour(kSessionKindCylinder);
    for (const Rgb& p : ViewBlock(painted, 0.45, 0.5))
    {
        ASSERT_NEAR(p.r, std::min(255.0, 1.3 * kind[0]), 4);
        ASSERT_NEAR(p.g, std::min(255.0, 1.3 * kind[1]), 4);
        ASSERT_NEAR(p.b, std::min(255.0, 1.3 * kind[2]), 4);
    }
    for (const Rgb& p : ViewBlock(painted, 0.55, 0.5))
        ASSERT_EQ(p, plate);
}

// A plane fitted to a scan a metre from the origin and aligned to the bottom
// plane comes to the origin: the view shows it there, its middle the scan's
// grey, not the empty place the scan left.
TEST_F(ShapesDialogPixels, AnAlignedScanFromAMetreAwayStaysInTheView)
{
    Open(scans::Plane({1000, 620, -430}, scans::Unit({0.3, -0.25, 0.92}), 60, 8));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    Click(IDC_SHAPES_ALIGN_BOTTOM);
    const win32::ClientImage aligned = Picture("aligned_far");
    const Rgb background = ViewBlock(aligned, 0.97, 0.03, 0).front();
    for (const Rgb& p : ViewBlock(aligned, 0.5, 0.5))
        ASSERT_NE(p, background) << p.r << " " << p.g << " " << p.b;
}

TEST_F(ShapesDialogPixels, MarksOfTheSelectionToolsShowInTheNextFrame)
{
    OpenPlate();
    const Rgb plate = ViewBlock(Picture("before_marks"), 0.5, 0.5).front();
    // Select All marks every triangle; the frame shows the selection colour.
    Click(IDC_SHAPES_SELECT_ALL);
    const Rgb selected = ViewBlock(Picture("select_all"), 0.5, 0.5).front();
    EXPECT_NE(selected, plate) << "the marks show";
    // Deselect All takes every mark off; then the wand, seeded left of the
    // centre, marks the whole flat plate again.
    Click(IDC_SHAPES_DESELECT_ALL);
    EXPECT_EQ(ViewBlock(Picture("deselect_all"), 0.5, 0.5).front(), plate) << "no stale marks";
    cMeshTriangle* seed = nullptr;
    ForLeftHalf([&](std::uint32_t, cMeshTriangle& t) { seed = seed ? seed : &t; });
    ASSERT_NE(seed, nullptr);
    dialog->OnCreaseEdited(5.0);
    dialog->GetShapesView()->SetActiveObject(seed);
    const win32::ClientImage wand = Picture("wand");
    for (const double x : {0.45, 0.55})
        for (const Rgb& p : ViewBlock(wand, x, 0.5))
            ASSERT_EQ(p, selected) << "the wand's marks";
}

} // namespace

// A cylinder a metre out in a view turned with the mouse: the dialog
// maximised and restored shows the cylinder on the same pixels as before.
// The view fitted its old box to each new shape by taking the mean, so that
// every maximise and restore zoomed out (the cylinder 328 pixels wide, then
// 315). Where the scan and the shape lie on each other, either may show.
TEST_F(ShapesDialogPixels, ADialogMaximisedAndRestoredShowsTheShapeOnTheSamePixels)
{
    Open(scans::Cylinder({1000.3, -1000.7, 500.2}, scans::Unit({0.3, 0.2, 0.93}), 15.0, 40.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    cCPView* view = dialog->GetShapesView();
    RECT client{};
    ::GetClientRect(View(), &client);
    const POINT c{client.right / 2, client.bottom / 2};
    viewinput::Move(view, c);
    viewinput::Inject(view, WM_RBUTTONDOWN, c);
    for (int k = 1; k <= 5; ++k)
        viewinput::Move(view, POINT{c.x + 12 * k, c.y + 8 * k});
    viewinput::Inject(view, WM_RBUTTONUP, POINT{c.x + 60, c.y + 40});
    const win32::ClientImage before = Picture("before_maximise");
    dialog->ShowWindow(SW_MAXIMIZE);
    mfc::PumpUntilIdle();
    dialog->ShowWindow(SW_RESTORE);
    mfc::PumpUntilIdle();
    const win32::ClientImage after = Picture("maximised_and_restored");
    ::GetClientRect(View(), &client);
    ASSERT_EQ(client.right, 2 * c.x + client.right % 2);
    const Rgb background = At(before, View(), client.right - 3, client.bottom - 3);
    int covered = 0, changed = 0;
    for (int y = 0; y < client.bottom; ++y)
        for (int x = 0; x < client.right; ++x)
        {
            const bool was = At(before, View(), x, y) != background, is = At(after, View(), x, y) != background;
            covered += was ? 1 : 0;
            changed += was != is ? 1 : 0;
        }
    ASSERT_GT(covered, 30000);
    EXPECT_EQ(changed, 0);
}
