// The pictures of the shapes dialog's image buttons and of the quick shape
// pickers, by pixels: each button shows the ink of its own picture from the
// plug-in's resources, the align buttons planes or axes by the shape's kind,
// and the front-facing switch its on or off picture.
#include "platform/win32/device_context.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"
#include "platform/win32/icons.h"
#include "plugin/dialogs/quick_pickers.h"
#include "plugin/dialogs/sketch_page.h"
#include "resources/pictures.h"
#include "resources/shape_list.h"
#include "support/picture_probe.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace
{

class ShapesDialogPictures : public ShapesDialog
{
protected:
    HWND Item(int id) const { return ::GetDlgItem(Window(), id); }
};

} // namespace

TEST_F(ShapesDialogPictures, TheSelectionButtonsShowTheirPicturesAndTheSwitchItsState)
{
    Open(scans::Plane({300, -200, 50}, {0, 0.8, 0.6}, 100.0, 20));
    const struct
    {
        int button;
        UINT picture;
    } buttons[] = {{IDC_SHAPES_MAGIC_WAND, IDB_PIC_MAGIC_WAND},
                   {IDC_SHAPES_PAINT_FILLED, IDB_PIC_PAINT_FILLED},
                   {IDC_SHAPES_PAINT, IDB_PIC_PAINT},
                   {IDC_SHAPES_LINE, IDB_PIC_SELECT_LINE}};
    for (const auto& b : buttons)
    {
        const Picture picture = BitmapPicture(module, b.picture);
        ASSERT_GT(picture.Ink(), 10u);
        EXPECT_TRUE(Shows(Item(b.button), picture, "pictures_selection")) << b.button;
    }
    // Not any picture: the line button does not show the wand's.
    EXPECT_FALSE(Shows(Item(IDC_SHAPES_LINE), BitmapPicture(module, IDB_PIC_MAGIC_WAND), "pictures_selection"));

    // Front facing only: the off picture, the on picture once pressed.
    const bool on = ::SendMessageW(Item(IDC_SHAPES_FRONT_ONLY), BM_GETCHECK, 0, 0) == BST_CHECKED;
    EXPECT_TRUE(Shows(Item(IDC_SHAPES_FRONT_ONLY), BitmapPicture(module, on ? IDB_PIC_FRONT_ON : IDB_PIC_FRONT_OFF),
                      "pictures_front_before"));
    ::SendMessageW(Item(IDC_SHAPES_FRONT_ONLY), BM_CLICK, 0, 0);
    EXPECT_TRUE(Shows(Item(IDC_SHAPES_FRONT_ONLY), BitmapPicture(module, on ? IDB_PIC_FRONT_OFF : IDB_PIC_FRONT_ON),
                      "pictures_front_after"));
}

TEST_F(ShapesDialogPictures, TheAlignButtonsShowPlanesOrAxesByTheKindOfTheShape)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    const int align[3] = {IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_ALIGN_RIGHT, IDC_SHAPES_ALIGN_FRONT};
    const UINT planes[3] = {IDB_PIC_ALIGN_BOTTOM, IDB_PIC_ALIGN_RIGHT, IDB_PIC_ALIGN_FRONT};
    const UINT axes[3] = {IDB_PIC_ALIGN_X, IDB_PIC_ALIGN_Y, IDB_PIC_ALIGN_Z};
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Cylinder);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_TRUE(Shows(Item(align[i]), BitmapPicture(module, axes[i]), "pictures_align_axes")) << i;
        EXPECT_FALSE(Shows(Item(align[i]), BitmapPicture(module, planes[i]), "pictures_align_axes")) << i;
    }
    Click(IDC_SHAPES_NEW_SHAPE);
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Plane);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(Shows(Item(align[i]), BitmapPicture(module, planes[i]), "pictures_align_planes")) << i;
    // A plane aligns to the origin too (a cylinder does not: its button is
    // greyed then).
    EXPECT_TRUE(
        Shows(Item(IDC_SHAPES_ALIGN_ORIGIN), BitmapPicture(module, IDB_PIC_ALIGN_ORIGIN), "pictures_align_planes"));
}

TEST_F(ShapesDialogPictures, EachQuickPickerShowsTheIconOfItsKind)
{
    Open(scans::Plane({0, 0, 0}, {0, 0, 1}, 10, 2));
    const HWND picker = dialog->QuickShapePicker(false);
    ASSERT_NE(picker, nullptr);
    ::ShowWindow(picker, SW_SHOW);
    const struct
    {
        int button;
        UINT icon;
    } pickers[] = {{IDC_QUICK_PLANE, IDI_PIC_PLANE},         {IDC_QUICK_CYLINDER, IDI_PIC_CYLINDER},
                   {IDC_QUICK_SPHERE, IDI_PIC_SPHERE},       {IDC_QUICK_FREE_FORM, IDI_PIC_FREE_FORM},
                   {IDC_QUICK_REVOLVED, IDI_PIC_REVOLVED},   {IDC_QUICK_EXTRUDED, IDI_PIC_EXTRUDED},
                   {IDC_QUICK_SYMMETRY, IDI_PIC_SYMMETRY},   {IDC_QUICK_CURVES, IDI_PIC_CURVES}};
    for (const auto& p : pickers)
    {
        const Picture icon = IconPicture(module, p.icon);
        ASSERT_GT(icon.Ink(), 30u) << p.icon;
        EXPECT_TRUE(Shows(::GetDlgItem(picker, p.button), icon, "pictures_quick_picker")) << p.button;
    }
    ::ShowWindow(picker, SW_HIDE);
}

TEST_F(ShapesDialogPictures, TheSketchToolsShowTheirIcons)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::Extruded);
    ASSERT_NE(dialog->GetCurrentSession(), nullptr);
    ASSERT_EQ(dialog->TabTitles()[1], L"Sketch");
    dialog->SelectTab(1);
    const HWND page = dialog->GetSketchPage()->GetSafeHwnd();
    const struct
    {
        int button;
        UINT icon;
    } tools[] = {{IDC_SKETCH_SELECT, IDI_PIC_MODIFY},
                 {IDC_SKETCH_LINE, IDI_PIC_SKETCH_LINE},
                 {IDC_SKETCH_TANGENT_ARC, IDI_PIC_TANGENT_ARC},
                 {IDC_SKETCH_ARC, IDI_PIC_ARC},
                 {IDC_SKETCH_FREE_FORM, IDI_PIC_ADD_CURVE}};
    for (const auto& t : tools)
    {
        const Picture icon = IconPicture(module, t.icon);
        ASSERT_GT(icon.Ink(), 10u) << t.icon;
        EXPECT_TRUE(Shows(::GetDlgItem(page, t.button), icon, "pictures_sketch_tools")) << t.button;
    }
    EXPECT_FALSE(Shows(::GetDlgItem(page, IDC_SKETCH_LINE), IconPicture(module, IDI_PIC_ARC), "pictures_sketch_tools"));
    dialog->SelectTab(0);
}

TEST_F(ShapesDialogPictures, TheModesCursorsAreThePlugInsOwn)
{
    AFX_MANAGE_STATE(&state);
    // The cursors of the selection, sketch, curve-network, deviation and
    // navigation modes.
    for (UINT id : {3015u, 3016u, 3017u, 3018u, 3019u, 3021u, 3041u, 3043u, 3044u, 3069u, 3073u, 17001u, 17002u,
                    17003u, 17004u, 17007u, 17008u, 17032u})
    {
        const LPCWSTR name = MAKEINTRESOURCEW(id);
        const HINSTANCE holder = AfxFindResourceHandle(name, RT_CURSOR);
        EXPECT_EQ(holder, module) << id;
        HCURSOR cursor = LoadCursorW(holder, name);
        ASSERT_NE(cursor, nullptr) << id;
        EXPECT_FALSE(win32::DescribeCursor(cursor).system) << id;
        EXPECT_EQ(win32::DescribeCursor(cursor).id, id);
    }
}
