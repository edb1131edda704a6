// The Curves page of the shapes dialog on a curve-network shape: junk typed
// into any edit leaves a usable page with its values and settings, the
// position field is the plane's signed distance along its normal, Preview
// cuts the scan and Accept turns the preview into splines of a sketch with
// one undo entry, the three option panels show one at a time, and the
// section plane starts across all the view's meshes.
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/section_plane_picker.h"
#include "plugin/dialogs/curve_setting_values.h"
#include "modes/profile_sketch_selection.h"
#include "plugin/dialogs/curves_page.h"
#include "resources/curves.h"
#include "shapes/spline_section_curve.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cwchar>

namespace
{

class CurvesPage : public ShapesDialog
{
protected:
    void OpenNetwork()
    {
        // A gently curved sheet, far from the origin, 80 x 60 mm.
        Open(scans::Plane({1200, -640, 310}, {0.1, 0.05, 1.0}, 80.0, 20, 0.01));
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::CurveNetwork);
        const std::vector<std::wstring> titles = dialog->TabTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == L"Curves")
                dialog->SelectTab(int(i));
        page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(dialog->GetShapesView()));
        ASSERT_NE(page, nullptr);
        if (!page->GetSafeHwnd())
        {
            ASSERT_TRUE(page->CreatePage(dialog.get()));
        }
        page->ShowWindow(SW_SHOW);
        ASSERT_TRUE(page->SectionPlane()->IsActive());
    }
    void Type(CWnd& panel, int id, const wchar_t* text)
    {
        ::SetDlgItemTextW(panel.GetSafeHwnd(), id, text);
        ::SendMessageW(panel.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS),
                       LPARAM(::GetDlgItem(panel.GetSafeHwnd(), id)));
    }
    void Press(CWnd& panel, int id)
    {
        ::SendMessageW(panel.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       LPARAM(::GetDlgItem(panel.GetSafeHwnd(), id)));
    }
    std::wstring Setting(const wchar_t* name)
    {
        wchar_t text[64] = L"";
        DWORD type = 0, length = sizeof text;
        if (!store.ReadValue(L"Preferences", name, &type, text, &length))
            return L"(none)";
        return text;
    }

    CSubNetworkDlg* page = nullptr;
};

TEST(CurveSettingValues, OnlyFinitePositiveLengthsAndClampedCountsAreTaken)
{
    float length = 3.0f;
    for (const wchar_t* junk : {L"", L"  ", L"nan", L"inf", L"-inf", L"-2", L"0", L"1e400", L"abc", L"5x", L"1e-50"})
        EXPECT_FALSE(ParsePositiveLength(junk, &length)) << junk;
    EXPECT_EQ(length, 3.0f);
    EXPECT_TRUE(ParsePositiveLength(L" 0.25 ", &length));
    EXPECT_EQ(length, 0.25f);
    std::int32_t count = 6;
    EXPECT_FALSE(ParseClampedCount(L"nan", 2, 100, &count));
    EXPECT_EQ(count, 6);
    EXPECT_TRUE(ParseClampedCount(L"1", 2, 100, &count));
    EXPECT_EQ(count, 2);
    EXPECT_TRUE(ParseClampedCount(L"1e9", 2, 100, &count));
    EXPECT_EQ(count, 100);
    float angle = 45.0f;
    EXPECT_FALSE(ParseTangencyAngle(L"200", &angle));
    EXPECT_FALSE(ParseTangencyAngle(L"inf", &angle));
    EXPECT_TRUE(ParseTangencyAngle(L"30", &angle));
    EXPECT_EQ(angle, 30.0f);
}

TEST_F(CurvesPage, JunkInEveryEditLeavesTheValuesTheSettingsAndAUsablePage)
{
    OpenNetwork();
    CDSubInteractiveSection& section = page->SectionPanel();
    const float tolerance = section.sectionTolerance, merge = section.mergeTolerance, spacing = section.spacing;
    for (const wchar_t* junk : {L"", L"nan", L"inf", L"-4", L"1e400", L"abc"})
    {
        Type(section, IDC_SECTION_TOLERANCE, junk);
        Type(section, IDC_SECTION_MERGE_TOLERANCE, junk);
        Type(section, IDC_SECTION_SPACING, junk);
        Type(section, IDC_SECTION_POSITION, junk);
        Type(section, IDC_SECTION_POINTS, junk);
        Type(page->ModifyPanel(), IDC_MODIFY_ANGLE, junk);
        Type(page->AddPanel(), IDC_ADD_POINTS, junk);
    }
    EXPECT_EQ(section.sectionTolerance, tolerance);
    EXPECT_EQ(section.mergeTolerance, merge);
    EXPECT_EQ(section.spacing, spacing);
    EXPECT_EQ(section.pointsPerCurve, 2) << "-4 points are raised to 2";
    EXPECT_EQ(page->AddPanel().pointCount, 1) << "-4 points are raised to 1";
    EXPECT_EQ(page->ModifyPanel().tangencyAngle, 45.0f);
    EXPECT_EQ(Setting(L"SectionPlaneTolerance"), L"(none)");
    EXPECT_EQ(Setting(L"SectionPlaneMultipleSectionsSpacing"), L"(none)");
    wchar_t shown[64] = L"";
    ::GetDlgItemTextW(section.GetSafeHwnd(), IDC_SECTION_SPACING, shown, 64);
    EXPECT_STREQ(shown, L"10") << "the kept value is shown again";

    // Good values are taken and stored, and the page still cuts the scan.
    Type(section, IDC_SECTION_SPACING, L"15");
    EXPECT_EQ(section.spacing, 15.0f);
    EXPECT_EQ(Setting(L"SectionPlaneMultipleSectionsSpacing"), L"15");
    // "-4" was a good position: it moved the plane off the scan; the plane
    // across the scan's middle cuts it again.
    Press(section, IDC_SECTION_ALIGN_RIGHT);
    EXPECT_EQ(page->PreviewPolylines().GetCount(), 0u);
    Type(section, IDC_SECTION_POSITION, L"1200");
    EXPECT_TRUE(page->IsPreviewValid());
    EXPECT_GE(page->PreviewPolylines().GetCount(), 1u);
}

TEST_F(CurvesPage, StoredSettingsOutOfRangeKeepTheDefaults)
{
    const std::pair<const wchar_t*, const wchar_t*> stored[] = {{L"SectionPlaneTolerance", L"-1"},
                                                                {L"SectionPlaneMergeTolerance", L"inf"},
                                                                {L"SectionPlaneMultipleSectionsSpacing", L"nan"},
                                                                {L"TangencyCreaseAngle", L"500"},
                                                                {L"SubSections", L"-5"},
                                                                {L"SectionPlaneMergeCurves", L"7"}};
    for (const auto& [name, text] : stored)
        store.WriteValue(L"Preferences", name, REG_SZ, text, DWORD((std::wcslen(text) + 1) * 2));
    OpenNetwork();
    EXPECT_EQ(page->SectionPanel().sectionTolerance, 0.05f);
    EXPECT_EQ(page->SectionPanel().mergeTolerance, 10.0f);
    EXPECT_EQ(page->SectionPanel().spacing, 10.0f);
    EXPECT_EQ(page->SectionPanel().mergeCurves, 1) << "any non-zero value reads as on";
    EXPECT_EQ(page->ModifyPanel().tangencyAngle, 45.0f);
    EXPECT_EQ(page->AddPanel().pointCount, 1);
}

TEST_F(CurvesPage, ThePositionIsTheSignedDistanceAlongTheNormalAndLeavingItUnchangedKeepsThePlane)
{
    OpenNetwork();
    CDSubInteractiveSection& section = page->SectionPanel();
    ST_CInteractiveSectionPlane& plane = *page->SectionPlane();
    const auto signedDistance = [&]
    {
        const cPlane& p = plane.GetPlane();
        const double length =
            std::sqrt(p.normal[0] * p.normal[0] + p.normal[1] * p.normal[1] + p.normal[2] * p.normal[2]);
        return (p.normal[0] * p.origin[0] + p.normal[1] * p.origin[1] + p.normal[2] * p.origin[2]) / length;
    };
    // A typed value moves the plane along its normal to that signed
    // distance from the origin.
    for (float nz : {1.0f, -1.0f})
    {
        ASSERT_TRUE(plane.SetNormal({0.0f, 0.0f, nz}));
        Type(section, IDC_SECTION_POSITION, L"25");
        EXPECT_NEAR(plane.GetPlane().origin[2], 25.0 * nz, 1e-4) << nz;
    }
    // A leaning normal, stored at twice a unit's length.
    ASSERT_TRUE(plane.SetNormal({0.6f, -1.0f, 1.6f}));
    Type(section, IDC_SECTION_POSITION, L"40");
    EXPECT_NEAR(signedDistance(), 40.0, 1e-3);

    // Planes as a drag leaves them (the field refreshed), facing down the
    // axes and leaning: tabbing through the field keeps each where it is.
    const std::pair<t3DPoint<float>, t3DPoint<float>> placed[] = {
        {{0.0f, 0.0f, -1.0f}, {1200.0f, -640.0f, 310.0f}},
        {{-1.0f, 0.0f, 0.0f}, {1200.0f, -640.0f, 310.0f}},
        {{0.3f, -0.5f, 0.8f}, {1213.7f, -652.3f, 305.9f}}};
    for (const auto& [normal, point] : placed)
    {
        ASSERT_TRUE(plane.SetNormal(normal));
        ASSERT_TRUE(plane.MoveTo(point));
        section.UpdatePositionField();
        const double distance = signedDistance();
        EXPECT_NEAR(section.position, distance, 1e-3);
        ::SendMessageW(section.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SECTION_POSITION, EN_KILLFOCUS),
                       LPARAM(::GetDlgItem(section.GetSafeHwnd(), IDC_SECTION_POSITION)));
        EXPECT_EQ(signedDistance(), distance) << normal.x << " " << normal.y << " " << normal.z;
    }
}

// The plane dragged to x = 1203.7261, the field shows it rounded, "1203.73":
// that value typed over it is applied, as any other typed value. Only the
// shown text left alone keeps the plane where it is; typed, it was taken
// for it and the plane stayed 0.0039 off what the field read.
TEST_F(CurvesPage, ThePositionAsShownTypedOverItMovesThePlaneToIt)
{
    OpenNetwork();
    CDSubInteractiveSection& section = page->SectionPanel();
    ST_CInteractiveSectionPlane& plane = *page->SectionPlane();
    ASSERT_TRUE(plane.SetNormal({1.0f, 0.0f, 0.0f}));
    ASSERT_TRUE(plane.MoveTo({1203.7261f, -640.0f, 310.0f}));
    section.UpdatePositionField();
    const HWND edit = ::GetDlgItem(section.GetSafeHwnd(), IDC_SECTION_POSITION);
    wchar_t shown[64] = {};
    ::GetWindowTextW(edit, shown, 64);
    ASSERT_EQ(std::wstring(shown), L"1203.73");
    ::SendMessageW(edit, EM_SETSEL, 0, -1);
    for (const wchar_t key : std::wstring(shown))
        ::SendMessageW(edit, WM_CHAR, key, 0);
    ::SendMessageW(section.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SECTION_POSITION, EN_KILLFOCUS), LPARAM(edit));
    EXPECT_NEAR(plane.GetPlane().origin[0], 1203.73, 1e-4);
}

TEST_F(CurvesPage, AlongAGuidingCurveThePositionIsALengthAlongIt)
{
    OpenNetwork();
    // A straight guide along x through the scan's middle.
    ST_TSplineCurve<Dezaz_Wire> guide;
    const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(identity, identity + 12, guide.frame);
    tPolyline<cVertex> points;
    for (int i = 0; i <= 4; ++i)
    {
        const double p[3] = {1160.0 + 20.0 * i, -640.0, 0.0};
        points.AddPoint3d(p);
    }
    ASSERT_TRUE(RebuildSketchCurve(guide, points));
    ST_CInteractiveSectionPlane& plane = *page->SectionPlane();
    plane.SetSectionCurve(&guide);
    CDSubInteractiveSection& section = page->SectionPanel();
    Type(section, IDC_SECTION_POSITION, L"30");
    const cPlane& p = plane.GetPlane();
    EXPECT_NEAR(p.origin[0], 1190.0, 0.05);
    EXPECT_NEAR(p.origin[1], -640.0, 0.05);
    EXPECT_NEAR(std::fabs(p.normal[0]), 1.0, 1e-4) << "across the guide";
    EXPECT_NEAR(page->GetGuideParameter(), 30.0 / 80.0, 1e-3);
    section.UpdatePositionField();
    EXPECT_NEAR(section.position, 30.0f, 0.05f);
    // A length beyond the guide moves nothing, and the field shows where
    // the plane still is (it read "500" over a plane at 30).
    Type(section, IDC_SECTION_POSITION, L"500");
    EXPECT_NEAR(plane.GetPlane().origin[0], 1190.0, 0.05);
    wchar_t shown[64] = {};
    ::GetDlgItemTextW(section.GetSafeHwnd(), IDC_SECTION_POSITION, shown, 64);
    EXPECT_NEAR(std::wcstod(shown, nullptr), 30.0, 0.05);
    EXPECT_NEAR(section.position, 30.0f, 0.05f);
    // The plane cuts the scan across the guide.
    EXPECT_TRUE(page->IsPreviewValid());
    EXPECT_GE(page->PreviewPolylines().GetCount(), 1u);
}

TEST_F(CurvesPage, AcceptMakesSplinesOfThePreviewInASketchWithOneUndoEntry)
{
    OpenNetwork();
    ST_IProfiledSurface* network = page->CurrentNetwork();
    ASSERT_NE(network, nullptr);
    CDSubInteractiveSection& section = page->SectionPanel();
    // Three planes 20 mm apart across the sheet.
    Press(section, IDC_SECTION_ALIGN_RIGHT);
    section.multisections = 1;
    Type(section, IDC_SECTION_SPACING, L"20");
    ::CheckDlgButton(section.GetSafeHwnd(), IDC_SECTION_MULTI, BST_CHECKED);
    page->Recompute();
    tPolylineCollection<tFramePolyline<cVertex>>& preview = page->PreviewPolylines();
    ASSERT_GE(preview.GetCount(), 3u);
    while (preview.GetCount() > 3)
        preview.items.pop_back();
    Press(section, IDC_SECTION_ACCEPT);
    ST_ISectionCurve* sketch = network->GetProfileCurve();
    ASSERT_NE(sketch, nullptr);
    EXPECT_EQ(sketch->GetClassGuid(), CLSID_ST_TSketch);
    ASSERT_EQ(sketch->GetSegmentCount(), 3u);
    for (std::uint32_t i = 0; i < 3; ++i)
        EXPECT_EQ(sketch->GetSegment(i)->GetClassGuid(), CLSID_ST_TSplineCurve);
    EXPECT_EQ(page->GetUndoCount(), 1u);
    EXPECT_FALSE(page->IsPreviewValid());
    EXPECT_EQ(page->PreviewPolylines().GetCount(), 0u);
    page->Undo();
    EXPECT_EQ(network->GetProfileCurve()->GetSegmentCount(), 0u);
    EXPECT_EQ(page->GetUndoCount(), 0u);
    page->Undo(); // an empty list does nothing
}

// A spacing so fine that the stack would pass the planes a run allows: the
// preview cannot be cut, and the view says why instead of showing nothing.
TEST_F(CurvesPage, ASpacingTooFineForTheScanSaysSoInsteadOfShowingNothing)
{
    OpenNetwork();
    CDSubInteractiveSection& section = page->SectionPanel();
    Press(section, IDC_SECTION_ALIGN_RIGHT);
    ASSERT_TRUE(page->IsPreviewValid());
    section.multisections = 1;
    ::CheckDlgButton(section.GetSafeHwnd(), IDC_SECTION_MULTI, BST_CHECKED);
    Type(section, IDC_SECTION_SPACING, L"0.001");
    Press(section, IDC_SECTION_PREVIEW);
    EXPECT_FALSE(page->IsPreviewValid());
    EXPECT_EQ(dialog->HintText(), kTooManySectionPlanesHint);
    // A spacing the scan allows cuts again, and the hint goes.
    Type(section, IDC_SECTION_SPACING, L"20");
    Press(section, IDC_SECTION_PREVIEW);
    EXPECT_TRUE(page->IsPreviewValid());
    EXPECT_EQ(dialog->HintText(), L"");
}

// Sections through the selection only with nothing selected (as after a
// reopen): nothing can be cut, and the view says why.
TEST_F(CurvesPage, SectionsThroughTheSelectionOnlyWithNothingSelectedSayWhyNothingIsCut)
{
    OpenNetwork();
    CDSubInteractiveSection& section = page->SectionPanel();
    Click(IDC_SHAPES_DESELECT_ALL);
    ::CheckDlgButton(section.GetSafeHwnd(), IDC_SECTION_SELECTION_ONLY, BST_CHECKED);
    Press(section, IDC_SECTION_SELECTION_ONLY);
    Press(section, IDC_SECTION_PREVIEW);
    EXPECT_EQ(page->PreviewPolylines().GetCount(), 0u);
    EXPECT_EQ(dialog->HintText(), kNoSelectionHint);
    // With the scan selected the plane cuts it, and the hint goes.
    Click(IDC_SHAPES_SELECT_ALL);
    Press(section, IDC_SECTION_PREVIEW);
    EXPECT_GE(page->PreviewPolylines().GetCount(), 1u);
    EXPECT_EQ(dialog->HintText(), L"");
}

TEST_F(CurvesPage, TheBuildModeRadiosShowTheModeAndSwitchItBothWays)
{
    OpenNetwork();
    CDSubInteractiveSection& panel = page->SectionPanel();
    const HWND hwnd = panel.GetSafeHwnd();
    const auto checked = [&](int id) { return ::SendDlgItemMessageW(hwnd, id, BM_GETCHECK, 0, 0) == BST_CHECKED; };
    EXPECT_FALSE(checked(IDC_SECTION_TOLERANCED));
    EXPECT_TRUE(checked(IDC_SECTION_WITH_POINTS)) << "sections are built with points at first";
    EXPECT_EQ(page->SectionPointCount(), 6);
    // The user picks one, then the other: one group, one choice.
    ::SendDlgItemMessageW(hwnd, IDC_SECTION_TOLERANCED, BM_CLICK, 0, 0);
    EXPECT_TRUE(checked(IDC_SECTION_TOLERANCED));
    EXPECT_FALSE(checked(IDC_SECTION_WITH_POINTS));
    EXPECT_EQ(panel.buildMode, 0);
    EXPECT_EQ(page->SectionPointCount(), 0);
    ::SendDlgItemMessageW(hwnd, IDC_SECTION_WITH_POINTS, BM_CLICK, 0, 0);
    EXPECT_FALSE(checked(IDC_SECTION_TOLERANCED));
    EXPECT_TRUE(checked(IDC_SECTION_WITH_POINTS));
    EXPECT_EQ(panel.buildMode, 1);
    EXPECT_EQ(page->SectionPointCount(), 6);
}

TEST_F(CurvesPage, ThePanelsShowOneAtATime)
{
    OpenNetwork();
    EXPECT_TRUE(page->AddPanel().IsWindowVisible());
    EXPECT_FALSE(page->SectionPanel().IsWindowVisible());
    Snapshot("curves_add_panel");
    page->AddPanel().ShowWindow(SW_HIDE);
    page->SectionPanel().ShowWindow(SW_SHOW);
    Snapshot("curves_section_panel");
    page->SectionPanel().ShowWindow(SW_HIDE);
    page->ModifyPanel().ShowWindow(SW_SHOW);
    Snapshot("curves_modify_panel");
    EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page->ModifyPanel().GetSafeHwnd(), IDC_MODIFY_FIT_ON_MESH)));
}

TEST_F(CurvesPage, TheSectionPlaneStartsAcrossTheMiddleOfAllTheViewsMeshes)
{
    OpenNetwork();
    // A second mesh beside the scan, beyond its +x end, flat in z.
    auto* object = new cMeshObject();
    cMesh* mesh = object->GetMesh();
    for (const std::array<float, 3>& p :
         {std::array<float, 3>{1400, -660, 300}, {1440, -660, 300}, {1440, -600, 300}})
        mesh->AddVertex(p.data());
    mesh->AddTriangle(0, 1, 2);
    mesh->Update();
    dialog->GetScene().AddObject(object);
    page->ResetSectionPlane();
    float scan[6];
    dialog->FirstMeshObject()->GetBoundingBox(scan);
    const double low[3] = {scan[0], std::min(scan[1], -660.0f), std::min(scan[2], 300.0f)};
    const double high[3] = {1440.0, std::max(scan[4], -600.0f), std::max(scan[5], 300.0f)};
    const cPlane& plane = page->SectionPlane()->GetPlane();
    double half = 0.0;
    for (int k = 0; k < 3; ++k)
    {
        const double middle = (low[k] + high[k]) / 2.0;
        EXPECT_NEAR(plane.origin[k], middle, 1e-3) << k;
        half += (middle - low[k]) * (middle - low[k]);
    }
    EXPECT_NEAR(page->SectionPlane()->GetSize(), std::sqrt(half), 1e-3);
    EXPECT_NEAR(page->SectionPanel().position, plane.origin[0], 1e-3) << "the field shows the plane";
}

} // namespace
