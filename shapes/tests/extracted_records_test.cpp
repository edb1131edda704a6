// Parameter records of the plane, sphere, cylinder and symmetry plane: their
// pages on a real property tree, the choices committed through the rows, and
// refits of generated scans under those choices.
#include "shapes/extracted_network_surface.h"
#include "shapes/extracted_extruded_surface.h"
#include "shapes/extracted_primitives.h"
#include "shapes/extruded_surface.h"
#include "shapes/extracted_revolved_surface.h"
#include "shapes/revolved_surface.h"
#include "support/test_meshes.h"
#include "sweep_scans.h"
#include "shapes/network_surface.h"
#include "shapes/extracted_symmetry_plane.h"

#include "core/bucket_search_tree_prop.h"
#include "core/mesh.h"
#include "core/tests/support/geometry_scene_object.h"
#include "fitting/fit_container.h"
#include "fitting/tests/fit_samples.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"
#include "support/test_shapes.h"

#include <gtest/gtest.h>

#include <array>
#include <cfloat>
#include <cmath>
#include <random>
#include <vector>

namespace
{

using namespace fit_samples;

class Records : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ClearPromptAnswers();
        dialog.CreateEx(0, AfxRegisterWndClass(0), L"Shape", WS_POPUP | WS_VISIBLE, 0, 0, 340, 420, nullptr,
                        nullptr);
        tree.ShowInfoText(false);
        RECT r{0, 0, 340, 420};
        ASSERT_TRUE(tree.Create(WS_CHILD | WS_VISIBLE | PTS_NOTIFY, r, &dialog, 3027));
    }
    void TearDown() override
    {
        tree.DeleteAllItems();
        tree.DestroyWindow();
        dialog.DestroyWindow();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        win32::ClearPromptAnswers();
    }
    CPropTreeItem* Row(UINT id) { return tree.FindItem(id); }
    CPropTreeItemEdit* Edit(UINT id) { return dynamic_cast<CPropTreeItemEdit*>(tree.FindItem(id)); }
    // The user picks a combo entry; the session hands the row to the record.
    bool Choose(ST_IExtracted& record, UINT id, int value)
    {
        Row(id)->SetItemValue(value);
        return record.CommitRow(Row(id));
    }
    // The user types into an edit row and leaves it.
    BOOL Type(UINT id, const std::wstring& text)
    {
        CPropTreeItemEdit* edit = Edit(id);
        edit->Activate();
        ::SetWindowTextW(edit->GetSafeHwnd(), text.c_str());
        return edit->CommitChanges();
    }
    double Value(UINT id) { return *reinterpret_cast<double*>(Row(id)->GetItemValue()); }
    std::wstring Text(UINT id) { return Edit(id)->GetText(); }
    // Pixels of a row's value that are black (editable text) and that are
    // grey (read-only text), in the composed window image.
    std::pair<int, int> ValueInk(UINT id)
    {
        tree.GetList().RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        const win32::ClientImage image = win32::ComposeWindowImage(dialog.GetSafeHwnd());
        CPropTreeItem* row = Row(id);
        POINT origin{0, 0};
        ::MapWindowPoints(tree.GetListWindow(), dialog.GetSafeHwnd(), &origin, 1);
        const int top = origin.y + row->GetLocation().y;
        const int left = origin.x + tree.GetColumn() + 2;
        int black = 0, grey = 0;
        for (int y = std::max(top, 0); y < std::min<int>(top + row->GetItemHeight(), image.height); ++y)
            for (int x = left; x < image.width - 20; ++x)
            {
                const std::uint32_t c = image.pixels[static_cast<std::size_t>(y) * image.width + x] & 0xFFFFFFu;
                const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
                black += c == 0 ? 1 : 0;
                grey += (c != 0 && r == g && g == b && r < 0xC0) ? 1 : 0;
            }
        return {black, grey};
    }
    void Snapshot(const char* name)
    {
        tree.GetList().RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        win32::WriteSnapshotIfRequested(dialog.GetSafeHwnd(), name);
    }

    CWnd dialog;
    CPropTree tree;
};

// ------------------------------------------------------------ row groups

using Builders = Records;

TEST_F(Builders, DirectionGroupClampsAReferenceChoiceAndKeepsItsRowsReadOnly)
{
    ST_CExtractedPlane record(&tree);
    record.directionReferences = {{L"as Plane", {0.0f, 1.0f, 0.0f}}, {L"as Cylinder", {0.0f, 0.0f, -1.0f}}};
    int choice = 6;
    const double v[3] = {-0.3, 0.9, 0.0};
    CPropTreeItemCombo* group = record.AddVectorPropertyItem(nullptr, choice, L"Normal", v);
    ASSERT_NE(group, nullptr);
    const UINT id = group->GetCtrlID();
    EXPECT_EQ(choice, kDirectionCustom); // written back
    EXPECT_EQ(group->GetItemValue(), kDirectionCustom);
    EXPECT_EQ(group->GetCount(), 7);
    CString label;
    group->GetLBText(6, label);
    EXPECT_EQ(label, L"as Cylinder");
    EXPECT_TRUE(group->IsExpanded());
    for (UINT k = 1; k <= 3; ++k)
    {
        ASSERT_NE(Row(id + k), nullptr);
        EXPECT_TRUE(Row(id + k)->IsReadOnly()); // "Custom" too, until committed
        EXPECT_EQ(Value(id + k), v[k - 1]);
    }
    EXPECT_EQ(std::wstring(Row(id + 3)->GetLabelText()), L"Z");

    // Committing "Custom" unlocks; an axis locks and shows the signed axis.
    Row(id)->SetItemValue(kDirectionCustom);
    EXPECT_FALSE(record.OnVectorPropertyChanged(Row(id), choice, id, v));
    EXPECT_FALSE(Row(id + 1)->IsReadOnly());
    Row(id)->SetItemValue(kDirectionXAxis);
    EXPECT_TRUE(record.OnVectorPropertyChanged(Row(id), choice, id, v));
    EXPECT_EQ((std::vector<double>{Value(id + 1), Value(id + 2), Value(id + 3)}), (std::vector<double>{-1, 0, 0}));
    EXPECT_TRUE(Row(id + 1)->IsReadOnly());
    const double up[3] = {0.0, 1.0, 0.0};
    EXPECT_TRUE(record.OnVectorPropertyChanged(Row(id), choice, id, up));
    EXPECT_EQ(Value(id + 1), 1.0);

    // Every reference position copies its direction and stays a reference.
    for (int k = 0; k < 2; ++k)
    {
        Row(id)->SetItemValue(kDirectionFirstReference + k);
        EXPECT_TRUE(record.OnVectorPropertyChanged(Row(id), choice, id, v));
        EXPECT_EQ(choice, kDirectionFirstReference + k);
        EXPECT_EQ(Value(id + 2 + k), k == 0 ? 1.0 : -1.0);
        EXPECT_TRUE(Row(id + 1)->IsReadOnly());
    }
    // A reference whose shape went away leaves what is shown.
    record.directionReferences.pop_back();
    EXPECT_FALSE(record.OnVectorPropertyChanged(Row(id), choice, id, v));
    EXPECT_EQ(Value(id + 3), -1.0);
    // Another row is not this group.
    EXPECT_FALSE(record.OnVectorPropertyChanged(Row(id + 1), choice, id, v));
}

TEST_F(Builders, ValueAndPointGroupsLockAndUnlockTheirRows)
{
    ST_CExtractedPlane record(&tree);
    int choice = kChoiceFitDriven;
    const UINT id = record.AddOffsetPropertyItem(nullptr, choice, L"Offset", 2.5)->GetCtrlID();
    EXPECT_TRUE(Row(id + 1)->IsReadOnly());
    EXPECT_EQ(std::wstring(Row(id + 1)->GetLabelText()), L"");
    Row(id)->SetItemValue(kValueZero);
    record.OnOffsetPropertyChanged(Row(id), choice, id);
    EXPECT_EQ(Value(id + 1), 0.0);
    EXPECT_TRUE(Row(id + 1)->IsReadOnly());
    Row(id)->SetItemValue(kValueCustom);
    record.OnOffsetPropertyChanged(Row(id), choice, id);
    EXPECT_EQ(choice, kValueCustom);
    EXPECT_FALSE(Row(id + 1)->IsReadOnly());

    record.pointReferences = {{L"of Sphere", {1.0f, 2.0f, 3.0f}}};
    int point = 5; // a stored reference beyond the list
    const double p[3] = {4.0, 5.0, 6.0};
    const UINT pid = record.AddPointPropertyItem(nullptr, point, L"Center", p)->GetCtrlID();
    EXPECT_EQ(point, kPointCustom);
    EXPECT_FALSE(Row(pid + 1)->IsReadOnly()); // points are editable for "Custom"
    Row(pid)->SetItemValue(kPointOrigin);
    EXPECT_TRUE(record.OnPointPropertyChanged(Row(pid), point, pid));
    EXPECT_EQ(Value(pid + 2), 0.0);
    EXPECT_TRUE(Row(pid + 1)->IsReadOnly());
    Row(pid)->SetItemValue(kPointFirstReference);
    EXPECT_TRUE(record.OnPointPropertyChanged(Row(pid), point, pid));
    EXPECT_EQ(Value(pid + 3), 3.0);
    Row(pid)->SetItemValue(kChoiceFitDriven);
    EXPECT_FALSE(record.OnPointPropertyChanged(Row(pid), point, pid));

    // Freedom: "Fit Driven" frees all; editable rows free what is emptied.
    stRowParameter out[3];
    ASSERT_TRUE(record.ReadTripleGroup(pid, out));
    EXPECT_TRUE(out[0].open && out[1].open && out[2].open);
    Row(pid)->SetItemValue(kPointCustom);
    record.OnPointPropertyChanged(Row(pid), point, pid);
    ASSERT_TRUE(Type(pid + 2, L""));
    ASSERT_TRUE(record.ReadTripleGroup(pid, out));
    EXPECT_FALSE(out[0].open);
    EXPECT_TRUE(out[1].open);
    EXPECT_EQ(out[2].value, 3.0);
    stRowParameter value;
    ASSERT_TRUE(Type(id + 1, L" "));
    ASSERT_TRUE(record.ReadValueGroup(id, value));
    EXPECT_TRUE(value.open); // an empty "Custom" value is left to the fit
}

TEST_F(Builders, WithoutATreeNothingIsBuiltAndNothingAnswers)
{
    ST_CExtractedPlane record(nullptr);
    int choice = 0;
    const double v[3] = {0, 0, 1};
    EXPECT_EQ(record.AddValuePropertyItem(nullptr, L"x", 1.0, true), nullptr);
    EXPECT_EQ(record.AddNamePropertyItem(nullptr, L"n"), nullptr);
    EXPECT_EQ(record.AddVectorPropertyItem(nullptr, choice, L"v", v), nullptr);
    EXPECT_FALSE(record.OnVectorPropertyChanged(nullptr, choice, 1, v));
    record.SetVectorPropertyValues(1, v);
    TestPlane plane;
    EXPECT_TRUE(record.AttachGeometry(&plane));
    record.BuildRows();
    EXPECT_EQ(record.m_normalId, 0u);
    tFitPointQueue q(10);
    cFitContainer points(q);
    EXPECT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 0);
}

// ------------------------------------------------------------------ plane

TEST_F(Records, PlanePageRowsIdsAndReadOnlyFlags)
{
    TestPlane plane;
    plane.GetPlane().normal[0] = 0.2;
    plane.GetPlane().normal[1] = -0.9;
    plane.GetPlane().normal[2] = 0.3;
    plane.GetPlane().d = -4.0;
    plane.SetRms(0.25);
    ST_CExtractedPlane record(&tree);
    record.name = L"Plane(1)";
    record.BuildRows(); // no geometry: an empty tree
    EXPECT_EQ(tree.GetRootItem()->GetChild(), nullptr);
    TestSphere sphere;
    EXPECT_FALSE(record.AttachGeometry(&sphere));
    ASSERT_TRUE(record.AttachGeometry(&plane));
    record.BuildRows();
    CPropTreeItem* root = tree.GetRootItem()->GetChild();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::wstring(root->GetLabelText()), L"PLANE");
    EXPECT_EQ(std::wstring(root->GetInfoText()), L"This is a root level item");
    EXPECT_EQ(Text(record.nameRowId), L"Plane(1)");
    EXPECT_FALSE(Row(record.nameRowId)->IsReadOnly());
    EXPECT_TRUE(Row(record.m_rmsId)->IsReadOnly());
    EXPECT_EQ(Value(record.m_rmsId), 0.25);
    EXPECT_EQ(Row(record.m_typeId)->GetItemValue(), 1);
    EXPECT_EQ(record.m_offsetId, record.m_normalId + 4);
    EXPECT_EQ(Value(record.m_offsetId + 1), 4.0); // the page shows -d
    EXPECT_TRUE(record.IsStateId(record.m_normalId));

    // "Y Axis" on (0.2, -0.9, 0.3) shows (0, -1, 0), locked, and reports it.
    EXPECT_TRUE(Choose(record, record.m_normalId, kDirectionYAxis));
    EXPECT_EQ(Value(record.m_normalId + 2), -1.0);
    EXPECT_EQ(Value(record.m_normalId + 1), 0.0);
    EXPECT_TRUE(Row(record.m_normalId + 2)->IsReadOnly());
    EXPECT_TRUE(Choose(record, record.m_typeId, 0));
    EXPECT_EQ(record.m_type, 0);
    EXPECT_FALSE(Choose(record, record.m_offsetId, kValueZero));

    // A refresh shows the shape again; an RMS of FLT_MAX shows nothing.
    plane.SetRms(FLT_MAX);
    plane.GetPlane().d = -1.5;
    record.RefreshRows();
    EXPECT_EQ(Text(record.m_rmsId), L"");
    // Nor does one never measured (a stale -FLT_MAX, not a number); an exact
    // fit shows its 0.
    for (double unknown : {-double(FLT_MAX), std::nan("")})
    {
        plane.SetRms(unknown);
        record.RefreshRows();
        EXPECT_EQ(Text(record.m_rmsId), L"") << unknown;
    }
    plane.SetRms(0.0);
    record.RefreshRows();
    EXPECT_EQ(Value(record.m_rmsId), 0.0);
    EXPECT_EQ(Value(record.m_offsetId + 1), 1.5);
    EXPECT_EQ(Value(record.m_normalId + 2), -0.9);

    record.SetDefaultModes();
    EXPECT_EQ(record.m_normalChoice, kDirectionCustom);
    EXPECT_EQ(record.m_offsetChoice, kValueCustom);
    record.ResetParameters();
    EXPECT_EQ(record.m_normalChoice, kChoiceFitDriven);
    EXPECT_EQ(record.m_type, 1);
    // The name is drawn as editable text, the read-only normal in grey.
    plane.SetRms(0.25);
    record.RefreshRows();
    const auto name = ValueInk(record.nameRowId);
    const auto z = ValueInk(record.m_normalId + 3);
    EXPECT_GT(name.first, 10);
    EXPECT_EQ(z.first, 0);
    EXPECT_GT(z.second, 10);
    Snapshot("plane_page");
}

TEST_F(Records, PlaneRefitsFindTheScannedPlaneInEveryOrientationAndScale)
{
    std::mt19937 rng(5);
    for (double scale : {1e-3, 1.0, 1e3})
        for (const auto& dir : TestDirections(rng, 1))
        {
            double n[3] = {dir[0], dir[1], dir[2]};
            const double origin[3] = {1000.0 * scale, -50.0 * scale, 2.0 * scale};
            tFitPointQueue q = Plane(rng, origin, n, 10.0 * scale, 0.001 * scale, 400);
            AddOutliers(rng, q, 4, 0.5 * scale, 1.0 * scale);
            cFitContainer points(q);
            TestPlane plane;
            ST_CExtractedPlane record(&tree);
            ASSERT_TRUE(record.AttachGeometry(&plane));
            record.BuildRows();
            ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
            const double* got = plane.GetPlane().normal;
            EXPECT_LT(LineAngle(got, n), 2e-3) << scale;
            // The fitted plane passes through the scanned patch.
            const double offPlane = got[0] * origin[0] + got[1] * origin[1] + got[2] * origin[2] + plane.GetPlane().d;
            EXPECT_LT(std::fabs(offPlane), 0.005 * scale) << scale;
            EXPECT_LT(plane.GetRms(), 0.2 * scale);
        }
}

TEST_F(Records, PlaneRefitGivesTheSamePlaneToTheBitWithEveryRecordOnOrOneOff)
{
    // Far out, tilted and noisy with outliers: the constrained refinement
    // reads the records in place when all are active and an activated copy
    // otherwise.
    std::mt19937 rng(31);
    double n[3] = {0.3, -0.5, 0.81};
    Normalise(n);
    const double origin[3] = {2500.0, -900.0, 400.0};
    tFitPointQueue q = Plane(rng, origin, n, 30.0, 0.02, 3000);
    AddOutliers(rng, q, 30, 0.5, 2.0);
    for (const bool oneOff : {false, true})
    {
        cFitContainer points(q);
        points.Points()[5].active = oneOff ? 0 : 1;
        TestPlane plane;
        ST_CExtractedPlane record(&tree);
        ASSERT_TRUE(record.AttachGeometry(&plane));
        record.BuildRows();
        ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
        // What the refinement gave over a copy of every record, activated.
        const auto& got = plane.GetPlane();
        EXPECT_EQ(got.normal[0], 0x1.33bd6eb76f3a6p-2) << oneOff;
        EXPECT_EQ(got.normal[1], -0x1.0087fda9ec1b5p-1) << oneOff;
        EXPECT_EQ(got.normal[2], 0x1.9f8602e239849p-1) << oneOff;
        EXPECT_EQ(got.d, -0x1.7db84e71878edp+10) << oneOff;
        EXPECT_EQ(plane.GetRms(), 0x1.2794660e7794ep-4) << oneOff;
        EXPECT_EQ(points.Points()[5].active, oneOff ? 0 : 1);
    }
}

TEST_F(Records, PlaneRefitKeepsFixedComponentsAndFitsTheEmptiedOnes)
{
    std::mt19937 rng(9);
    double tilted[3] = {0.05, 1.0, 0.02};
    Normalise(tilted);
    const double origin[3] = {3.0, 5.0, -2.0};
    cFitContainer points(Plane(rng, origin, tilted, 4.0, 0.001, 300));
    TestPlane plane;
    ST_CExtractedPlane record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&plane));
    record.BuildRows();
    // "Y Axis": the normal is fixed exactly, the offset fitted.
    EXPECT_TRUE(Choose(record, record.m_normalId, kDirectionYAxis));
    ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
    EXPECT_EQ(plane.GetPlane().normal[0], 0.0);
    EXPECT_EQ(std::fabs(plane.GetPlane().normal[1]), 1.0);
    EXPECT_NEAR(std::fabs(plane.GetPlane().d), 5.0, 0.1);
    // "Custom" with X = 0, Y = 1 and Z emptied: nz is fitted under nx, ny.
    EXPECT_FALSE(Choose(record, record.m_normalId, kDirectionCustom));
    ASSERT_TRUE(Type(record.m_normalId + 1, L"0"));
    ASSERT_TRUE(Type(record.m_normalId + 2, L"1"));
    ASSERT_TRUE(Type(record.m_normalId + 3, L""));
    ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
    EXPECT_EQ(plane.GetPlane().normal[0], 0.0);
    // Every value fixed: no fitting, the plane is set from the rows.
    ASSERT_TRUE(Type(record.m_normalId + 3, L"0"));
    EXPECT_FALSE(Choose(record, record.m_offsetId, kValueCustom));
    ASSERT_TRUE(Type(record.m_offsetId + 1, L"4.5"));
    ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
    EXPECT_EQ(plane.GetPlane().normal[1], 1.0);
    EXPECT_DOUBLE_EQ(plane.GetPlane().d, -4.5);
    EXPECT_NEAR(plane.GetRms(), 0.5, 0.05);
}

TEST_F(Records, HostileRowTextIsRefusedAndTheShapeStays)
{
    std::mt19937 rng(2);
    const double n[3] = {0.0, 0.0, 1.0};
    const double origin[3] = {0.0, 0.0, 2.0};
    cFitContainer points(Plane(rng, origin, n, 4.0, 0.001, 200));
    TestPlane plane;
    ST_CExtractedPlane record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&plane));
    record.BuildRows();
    EXPECT_FALSE(Choose(record, record.m_offsetId, kValueCustom));
    ASSERT_TRUE(Type(record.m_offsetId + 1, L"-2"));
    EXPECT_TRUE(Choose(record, record.m_normalId, kDirectionZAxis));
    ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
    const tPlane<double> before = plane.GetPlane();
    for (const wchar_t* text : {L"NaN", L"Inf", L"1e400", L"%s", L"1,5", L"-inf"})
    {
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"Please enter valid real value", IDOK, nullptr});
        EXPECT_FALSE(Type(record.m_offsetId + 1, text)) << text;
        EXPECT_EQ(Text(record.m_offsetId + 1), L"-2"); // the typed value stays
        ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
        EXPECT_EQ(plane.GetPlane().d, before.d);
        EXPECT_EQ(plane.GetPlane().normal[2], before.normal[2]);
    }
    // Too few points change nothing either.
    tFitPointQueue two(points.Points().begin(), points.Points().begin() + 2);
    cFitContainer few(two);
    EXPECT_EQ(record.Refit(few, 1.1, nullptr, nullptr), 0);
    EXPECT_EQ(plane.GetPlane().d, before.d);
}

TEST_F(Records, PlaneSecondRefitLevelsTheShape)
{
    std::mt19937 rng(4);
    double steep[3] = {0.95, 0.1, 0.2};
    Normalise(steep);
    const double origin[3] = {2.0, 0.0, 0.0};
    cFitContainer points(Plane(rng, origin, steep, 3.0, 0.001, 200));
    TestPlane plane;
    ST_CExtractedPlane record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&plane));
    std::copy(steep, steep + 3, plane.GetPlane().normal);
    ASSERT_EQ(record.RebuildSurface(points, 1.1), 1); // no tree needed
    EXPECT_EQ(plane.GetPlane().normal[2], 0.0);        // vertical
    double gentle[3] = {0.1, 0.05, 1.0};
    Normalise(gentle);
    cFitContainer flat(Plane(rng, origin, gentle, 3.0, 0.001, 200));
    std::copy(gentle, gentle + 3, plane.GetPlane().normal);
    ASSERT_EQ(record.RebuildSurface(flat, 1.1), 1);
    EXPECT_EQ(std::fabs(plane.GetPlane().normal[2]), 1.0); // horizontal
    EXPECT_NEAR(plane.GetPlane().d, 0.0, 0.05); // through the patch, which centres at z = 0
}

// ----------------------------------------------------------------- sphere

TEST_F(Records, SphereRefitsFindTheScannedSphereAndAskAboutHugeRadii)
{
    std::mt19937 rng(11);
    for (double scale : {1e-3, 1.0, 1e3})
    {
        const double centre[3] = {1000.0 * scale, 20.0 * scale, -3.0 * scale};
        cFitContainer points(Sphere(rng, centre, 5.0 * scale, 1.2, 0.002 * scale, 500));
        TestSphere sphere;
        ST_CExtractedSphere record(&tree);
        ASSERT_TRUE(record.AttachGeometry(&sphere));
        record.BuildRows();
        ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
        EXPECT_LT(Distance(sphere.GetSphere().centre, centre), 0.01 * scale);
        EXPECT_NEAR(sphere.GetSphere().radius, 5.0 * scale, 0.01 * scale);
        record.RefreshRows();
        EXPECT_NEAR(Value(record.m_radiusId + 1), sphere.GetSphere().radius, 1e-6); // shown to six decimals
    }
    // "Origin" fixes the centre; the radius is fitted around it.
    const double origin[3] = {0.0, 0.0, 0.0};
    cFitContainer ball(Sphere(rng, origin, 2.0, 3.0, 0.001, 300));
    TestSphere sphere;
    ST_CExtractedSphere record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&sphere));
    record.BuildRows();
    EXPECT_TRUE(Choose(record, record.m_centreId, kPointOrigin));
    ASSERT_EQ(record.Refit(ball, 1.1, nullptr, nullptr), 1);
    EXPECT_EQ(sphere.GetSphere().centre[0], 0.0);
    EXPECT_NEAR(sphere.GetSphere().radius, 2.0, 0.01);

    // A nearly flat patch: the radius is far beyond the points; "No" keeps
    // the sphere and its RMS, "Yes" takes the result.
    const double far[3] = {0.0, 0.0, -500.0};
    cFitContainer flat(Sphere(rng, far, 500.0, 0.004, 0.0, 100));
    ST_CExtractedSphere flatRecord(&tree);
    TestSphere flatSphere;
    flatSphere.GetSphere().radius = 7.0;
    flatSphere.SetRms(0.5);
    ASSERT_TRUE(flatRecord.AttachGeometry(&flatSphere));
    flatRecord.BuildRows();
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"which seems too big. Do you want to keep the result?", IDNO,
                              nullptr});
    EXPECT_EQ(flatRecord.Refit(flat, 1.1, nullptr, &dialog), 0);
    EXPECT_EQ(flatSphere.GetSphere().radius, 7.0);
    EXPECT_EQ(flatSphere.GetRms(), 0.5);
    win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"The result radius is 5", IDYES, nullptr});
    EXPECT_EQ(flatRecord.Refit(flat, 1.1, nullptr, &dialog), 1);
    EXPECT_NEAR(flatSphere.GetSphere().radius, 500.0, 5.0);
    Snapshot("sphere_page");
}

// --------------------------------------------------------------- cylinder

TEST_F(Records, CylinderRefitsFindThePipeAndHonourAFixedAxis)
{
    std::mt19937 rng(21);
    for (int axis = 0; axis < 3; ++axis)
        for (double scale : {1e-3, 1e3})
        {
            double a[3] = {0.0, 0.0, 0.0};
            a[axis] = 1.0;
            const double base[3] = {1000.0 * scale, 0.0, 40.0 * scale};
            cFitContainer points(Cylinder(rng, base, a, 3.0 * scale, 20.0 * scale, 0.0, 6.2, 0.002 * scale, 600));
            TestCylinder cylinder;
            ST_CExtractedCylinder record(&tree);
            ASSERT_TRUE(record.AttachGeometry(&cylinder));
            record.BuildRows();
            ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
            EXPECT_LT(LineAngle(cylinder.GetCylinder().axis, a), 1e-3);
            EXPECT_NEAR(cylinder.GetCylinder().radius, 3.0 * scale, 0.01 * scale);

            // The axis fixed along the pipe: exactly that axis, the rest fitted.
            EXPECT_TRUE(Choose(record, record.m_directionId, kDirectionXAxis + axis));
            ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
            EXPECT_EQ(std::fabs(cylinder.GetCylinder().axis[axis]), 1.0);
            EXPECT_NEAR(cylinder.GetCylinder().radius, 3.0 * scale, 0.01 * scale);
            EXPECT_NEAR(cylinder.GetCylinder().height, 20.0 * scale, 0.2 * scale);
            EXPECT_LT(DistanceFromLine(base, cylinder.GetCylinder().axisPoint, a), 0.01 * scale);
        }
}

TEST_F(Records, CylinderWithEveryValueFixedOnlyMeasures)
{
    std::mt19937 rng(3);
    const double a[3] = {0.0, 0.0, 1.0};
    const double base[3] = {5.0, 5.0, 0.0};
    cFitContainer points(Cylinder(rng, base, a, 2.0, 10.0, 0.0, 6.2, 0.0, 300));
    TestCylinder cylinder;
    ST_CExtractedCylinder record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&cylinder));
    record.BuildRows();
    EXPECT_TRUE(Choose(record, record.m_directionId, kDirectionZAxis));
    EXPECT_FALSE(Choose(record, record.m_basePointId, kPointCustom));
    EXPECT_FALSE(Choose(record, record.m_radiusId, kValueCustom));
    ASSERT_TRUE(Type(record.m_basePointId + 1, L"5"));
    ASSERT_TRUE(Type(record.m_basePointId + 2, L"5"));
    ASSERT_TRUE(Type(record.m_basePointId + 3, L"-7"));
    ASSERT_TRUE(Type(record.m_radiusId + 1, L"2.5"));
    ASSERT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
    EXPECT_EQ(cylinder.GetCylinder().radius, 2.5);
    EXPECT_NEAR(cylinder.GetRms(), 0.5, 1e-3);               // every point 0.5 inside
    EXPECT_NEAR(cylinder.GetCylinder().height, 10.0, 0.1);   // the points' extent
    EXPECT_NEAR(cylinder.GetCylinder().axisPoint[2], 0.0, 0.1); // moved to where they start
    // The second refit stands the axis up and fits the rest.
    cylinder.GetCylinder().axis[0] = 1.0;
    cylinder.GetCylinder().axis[2] = 0.0;
    ASSERT_EQ(record.RebuildSurface(points, 1.1), 1);
    EXPECT_EQ(cylinder.GetCylinder().axis[2], 1.0);
    EXPECT_NEAR(cylinder.GetCylinder().radius, 2.0, 1e-3);
    record.RefreshRows();
    EXPECT_EQ(Value(record.m_directionId + 3), 1.0);
    Snapshot("cylinder_page");
}

// --------------------------------------------------------- symmetry plane

constexpr double kMirrorX = 0.3;

// A height field mirror-symmetric about x = kMirrorX only.
cMesh* MakeSymmetricPart()
{
    auto* mesh = new cMesh();
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> jitter(-0.001f, 0.001f);
    const int nx = 61, ny = 41;
    for (int i = 0; i < nx; ++i)
        for (int j = 0; j < ny; ++j)
        {
            const double x = -1.2 + 0.05 * i, y = -1.0 + 0.05 * j;
            const double u = std::fabs(x - kMirrorX);
            const double z = 0.3 * std::cos(1.5 * u) + 0.15 * y + 0.1 * y * y * y;
            const float p[3] = {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z) + jitter(rng)};
            mesh->AddVertex(p);
        }
    for (int i = 0; i + 1 < nx; ++i)
        for (int j = 0; j + 1 < ny; ++j)
        {
            const std::uint32_t a = i * ny + j, b = (i + 1) * ny + j, c = i * ny + j + 1, d = (i + 1) * ny + j + 1;
            mesh->AddTriangle(a, b, d);
            mesh->AddTriangle(a, d, c);
        }
    mesh->Update();
    return mesh;
}

TEST_F(Records, SymmetryPlanePageAndRefitByTheMirrorError)
{
    GeometrySceneObject part(MakeSymmetricPart());
    TestPlane plane;
    ST_CExtractedSymmetryPlane record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&plane));
    record.BuildRows();
    EXPECT_EQ(Value(record.m_maxDistanceId), 1.0);
    EXPECT_FALSE(Row(record.m_maxDistanceId)->IsReadOnly());
    EXPECT_EQ(Row(record.m_maxPointsId)->GetItemValue(), 200);
    EXPECT_TRUE(Row(record.m_rmsId)->IsReadOnly());
    // "Hide" is stored and reported; freezing the page shows them again.
    EXPECT_TRUE(Choose(record, record.m_symmetryPointsId, 1));
    EXPECT_EQ(record.m_symmetryPoints, 1);
    // An edited distance stays in its row only.
    ASSERT_TRUE(Type(record.m_maxDistanceId, L"0.2"));
    EXPECT_EQ(record.m_maxDistance, 1.0);

    // Points of a region off the mirror: the offset starts at their mean
    // (x = 0.5) and the mirror error moves it to the symmetry.
    tFitPointQueue q;
    const double nx[3] = {1.0, 0.0, 0.0};
    for (int i = 0; i < 60; ++i)
    {
        const double p[3] = {0.5 + 0.002 * (i % 3 - 1), -0.5 + 0.1 * (i % 10), -0.3 + 0.1 * (i / 10)};
        q.push_back(Point(p, nx));
    }
    cFitContainer points(q);
    EXPECT_TRUE(Choose(record, record.m_normalId, kDirectionXAxis));
    EXPECT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 0); // no mesh to mirror
    ASSERT_EQ(record.Refit(points, 1.1, &part, nullptr), 1);
    EXPECT_EQ(std::fabs(plane.GetPlane().normal[0]), 1.0);
    EXPECT_NEAR(-plane.GetPlane().d * plane.GetPlane().normal[0], kMirrorX, 0.01);
    EXPECT_LT(plane.GetRms(), 0.01); // the mirror error, not the plane fit's
    EXPECT_NE(cBucketSearchTreeProp::GetOrAttach(&part, kBucketSearchTreePropertyName), nullptr);

    // A distance the fitter cannot use refits nothing.
    const double d = plane.GetPlane().d;
    ASSERT_TRUE(Type(record.m_maxDistanceId, L"-1"));
    EXPECT_EQ(record.Refit(points, 1.1, &part, nullptr), 0);
    EXPECT_EQ(plane.GetPlane().d, d);

    record.SetDefaultModes();
    EXPECT_EQ(record.m_symmetryPoints, 0);
    EXPECT_EQ(record.m_normalChoice, kDirectionCustom);
    record.BuildRows();
    EXPECT_EQ(Value(record.m_maxDistanceId), 1.0);
    Snapshot("symmetry_plane_page");
}

TEST(SymmetryFrame, RowsAreOrthonormalWithTheNormalLast)
{
    const double normals[][3] = {{0, 0, 1}, {0, 1, 0}, {1, 0, 0}, {0.3, -0.8, 0.5}, {-2, 0.1, 0}};
    for (const auto& n : normals)
    {
        double frame[3][3];
        MakeFrameFromNormal(n, frame);
        double unit[3] = {n[0], n[1], n[2]};
        Normalise(unit);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(frame[2][k], unit[k], 1e-12);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
            {
                const double dot = frame[r][0] * frame[c][0] + frame[r][1] * frame[c][1] + frame[r][2] * frame[c][2];
                EXPECT_NEAR(dot, r == c ? 1.0 : 0.0, 1e-12);
            }
    }
    const double tiny[3] = {1e-9, 0, 0};
    double frame[3][3];
    MakeFrameFromNormal(tiny, frame);
    EXPECT_EQ(frame[2][0], 1e-9); // too small to normalise: left as it is
}

} // namespace

namespace
{

TEST_F(Records, NetworkPageHoldsTheNameWithOrWithoutASurface)
{
    ST_CExtractedNetworkSurface record(&tree);
    record.name = L"Curves(2)";
    record.BuildRows(); // built without a surface too
    CPropTreeItem* root = tree.GetRootItem()->GetChild();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(std::wstring(root->GetLabelText()), L"CURVES");
    EXPECT_EQ(Text(record.nameRowId), L"Curves(2)");
    EXPECT_EQ(root->GetChild()->GetSibling(), nullptr);
    TestPlane plane;
    EXPECT_FALSE(record.AttachGeometry(&plane)); // not a profiled surface
    Dezaz_NetworkSurface surface;
    ASSERT_TRUE(record.AttachGeometry(&surface));
    EXPECT_EQ(record.GetSessionObject(), static_cast<ST_IGeometry*>(&surface));
    EXPECT_FALSE(record.HasDirectionParameter());
    tFitPointQueue none;
    cFitContainer points(none);
    EXPECT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 1);
    EXPECT_FALSE(record.CommitRow(root));
    record.BuildRows();
    EXPECT_EQ(tree.GetRootItem()->GetChild()->GetSibling(), nullptr); // the old page is gone
}

} // namespace

namespace
{

// A knob scan about the world axis `axis` (0 x, 1 y, 2 z) through origin,
// every triangle selected by the user.
cMesh* MakeSelectedKnob(int axis, const double origin[3])
{
    // The knob turns about the frame's y column.
    double frame[12] = {0, 0, 0, origin[0], 0, 0, 0, origin[1], 0, 0, 0, origin[2]};
    const int x = (axis + 2) % 3, z = (axis + 1) % 3;
    frame[4 * x + 0] = 1.0;
    frame[4 * axis + 1] = 1.0;
    frame[4 * z + 2] = 1.0;
    auto* mesh = new cMesh();
    sweep_scans::BuildKnob(*mesh, frame, 0.75 * sweep_scans::kPi, 90, 60, 0.01);
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        mesh->GetTriangle(i)->flags = 1;
    return mesh;
}

tFitPointQueue VertexPoints(const cMesh& mesh)
{
    tFitPointQueue points;
    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        stFitPoint p;
        p.position[0] = v->x, p.position[1] = v->y, p.position[2] = v->z;
        p.normal[0] = v->nx, p.normal[1] = v->ny, p.normal[2] = v->nz;
        points.push_back(p);
    }
    return points;
}

TEST(RegionFromSelection, OnlySelectedTrianglesThatAreNotExcludedAreTagged)
{
    std::unique_ptr<cMesh> mesh = MakeGridMesh(4, 4, 1.0);
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        mesh->GetTriangle(i)->colour = 0x55000007u; // a top byte that must stay
    mesh->GetTriangle(4)->flags = 1;
    mesh->GetTriangle(9)->flags = 1 | 2;
    mesh->GetTriangle(17)->flags = 1;
    EXPECT_EQ(MarkSelectedTriangles(*mesh), 17);
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
    {
        EXPECT_EQ(mesh->GetTriangle(i)->GetLabel(), i == 4 || i == 17 ? 1u : 0u) << i;
        EXPECT_EQ(mesh->GetTriangle(i)->colour >> 24, 0x55u);
    }
    mesh->GetTriangle(4)->flags = 3;
    mesh->GetTriangle(17)->flags = 2;
    EXPECT_EQ(MarkSelectedTriangles(*mesh), -1);
    for (std::uint32_t i = 0; i < mesh->GetTriangleCount(); ++i)
        EXPECT_EQ(mesh->GetTriangle(i)->GetLabel(), 0u);
}

TEST_F(Records, RevolvedPageAndRefitWithAFixedAxis)
{
    for (int axis = 0; axis < 3; ++axis)
    {
        const double origin[3] = {250.0, -40.0, 12.0};
        GeometrySceneObject scan(MakeSelectedKnob(axis, origin));
        cMesh& mesh = *static_cast<cMesh*>(scan.QueryInterface(IID_cMesh));
        cFitContainer points(VertexPoints(mesh));
        Dezaz_RevolvedObject object;
        Dezaz_Revolved& surface = *object.GetGeometry();
        ST_CExtractedRevSurface record(&tree);
        ASSERT_TRUE(record.AttachGeometry(&surface));
        EXPECT_EQ(DetectProfileKind(record.GetProfiledSurface()), 0);
        record.BuildRows();
        EXPECT_EQ(Row(record.m_sectionsId)->GetItemValue(), 20);
        EXPECT_TRUE(Row(record.m_rmsId)->IsReadOnly());
        EXPECT_TRUE(record.IsStateId(record.m_directionId));

        // No mesh object: nothing to cut.
        EXPECT_TRUE(Choose(record, record.m_directionId, kDirectionXAxis + axis));
        EXPECT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 0);
        // The axis fixed and its point typed.
        EXPECT_FALSE(Choose(record, record.m_basePointId, kPointCustom));
        for (int k = 0; k < 3; ++k)
            ASSERT_TRUE(Type(record.m_basePointId + 1 + k, std::to_wstring(origin[k])));
        ASSERT_TRUE(Type(record.m_sectionsId, L"8"));
        const int result = record.Refit(points, 1.1, &scan, nullptr);
        ASSERT_GE(result, 1) << axis;
        double a[3], o[3];
        surface.GetDirection(a);
        surface.GetOrigin(o);
        EXPECT_EQ(std::fabs(a[axis]), 1.0) << axis;
        double along[3] = {0, 0, 0};
        along[axis] = 1.0;
        EXPECT_LT(DistanceFromLine(o, origin, along), 1e-6);
        // The region is the selection, seeded by its last triangle.
        ASSERT_EQ(surface.GetSeeds().size(), 1u);
        EXPECT_EQ(surface.GetSeeds()[0], mesh.GetTriangleCount() - 1);
        record.RefreshRows();
        EXPECT_EQ(std::fabs(Value(record.m_directionId + 1 + axis)), 1.0);

        // Hostile text is refused by the row and the count stays.
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"Please enter valid integer value", IDOK, nullptr});
        EXPECT_FALSE(Type(record.m_sectionsId, L"%s"));
        EXPECT_EQ(Row(record.m_sectionsId)->GetItemValue(), 8);
    }
}

} // namespace

namespace
{

TEST_F(Records, ExtrudedPageAndRefitWithAFixedDirection)
{
    for (int axis = 0; axis < 3; ++axis)
    {
        // The prism runs along the frame's z column: the world axis `axis`.
        double frame[12] = {0, 0, 0, -300.0, 0, 0, 0, 25.0, 0, 0, 0, 7.0};
        frame[4 * ((axis + 1) % 3) + 0] = 1.0;
        frame[4 * ((axis + 2) % 3) + 1] = 1.0;
        frame[4 * axis + 2] = 1.0;
        auto* prism = new cMesh();
        sweep_scans::BuildRoundedPrism(*prism, frame, 30.0, 20.0, 5.0, 40.0, 0.0, 240, 20, 0.02);
        for (std::uint32_t i = 0; i < prism->GetTriangleCount(); ++i)
            prism->GetTriangle(i)->flags = 1;
        GeometrySceneObject scan(prism);
        cFitContainer points(VertexPoints(*prism));
        Dezaz_ExtrudedObject object;
        Dezaz_Extruded& surface = *object.GetGeometry();
        ST_CExtractedExtSurface record(&tree);
        ASSERT_TRUE(record.AttachGeometry(&surface));
        record.BuildRows();
        EXPECT_EQ(record.m_draftChoice, kValueZero); // the surface has no draft
        EXPECT_EQ(Row(record.m_sectionsId)->GetItemValue(), 20);
        EXPECT_TRUE(Choose(record, record.m_directionId, kDirectionXAxis + axis));
        ASSERT_TRUE(Type(record.m_sectionsId, L"-3")); // raised to one section
        EXPECT_EQ(record.Refit(points, 1.1, nullptr, nullptr), 0); // no mesh object
        ASSERT_GE(record.Refit(points, 1.1, &scan, nullptr), 1) << axis;
        EXPECT_EQ(record.m_block.sectionCount, 1);
        double d[3];
        surface.GetDirection(d);
        EXPECT_EQ(std::fabs(d[axis]), 1.0) << axis;
        // The page's factor 1.1 leaves its margin: a tenth more than the
        // prism's 40 in height; factor 1 spans the region exactly.
        EXPECT_NEAR(surface.GetExtrusion().length, 44.0, 0.33);
        EXPECT_EQ(surface.GetExtrusion().draftFlag, 0u);
        ASSERT_GE(record.Refit(points, 1.0, &scan, nullptr), 1) << axis;
        EXPECT_NEAR(surface.GetExtrusion().length, 40.0, 0.3);
        ASSERT_EQ(surface.GetSeeds().size(), 1u);

        // A typed draft of 5 degrees goes to the builder in radians.
        EXPECT_TRUE(Choose(record, record.m_draftId, kValueCustom));
        ASSERT_TRUE(Type(record.m_draftId + 1, L"5"));
        ASSERT_TRUE(Type(record.m_sectionsId, L"6"));
        ASSERT_GE(record.Refit(points, 1.1, &scan, nullptr), 1);
        EXPECT_EQ(record.m_block.draftMode, 2u);
        EXPECT_NEAR(record.m_block.draftAngle, 0.0872664626, 1e-10);
        record.BuildRows(); // the surface now has a given draft: "Custom"
        EXPECT_EQ(record.m_draftChoice, kValueCustom);
        EXPECT_NEAR(Value(record.m_draftId + 1), 5.0, 1e-5);
    }
}

} // namespace

namespace
{

TEST_F(Records, AFailedFitIsAFailureWhateverTheProfile)
{
    const double origin[3] = {0.0, 0.0, 0.0};
    GeometrySceneObject scan(MakeSelectedKnob(2, origin));
    cMesh& mesh = *static_cast<cMesh*>(scan.QueryInterface(IID_cMesh));
    Dezaz_RevolvedObject object;
    Dezaz_Revolved& surface = *object.GetGeometry();
    auto spline = surface.CreateCurveByClassGuid(CLSID_ST_TSplineCurve);
    ASSERT_NE(spline, nullptr);
    if (!surface.SetProfile(spline.get(), 0))
        GTEST_SKIP() << "an empty spline is not taken as a profile";
    ST_CExtractedRevSurface record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&surface));
    EXPECT_EQ(DetectProfileKind(&surface), 3);
    tFitPointQueue two(2);
    cFitContainer few(two);
    // Two points cannot be cut into sections: 0, not "fitted with a spline".
    EXPECT_EQ(record.FitFromMesh(few, &mesh), 0);
    // The region was still taken from the selection.
    ASSERT_EQ(surface.GetSeeds().size(), 1u);
    EXPECT_EQ(surface.GetSeeds()[0], mesh.GetTriangleCount() - 1);
}

} // namespace

namespace
{

TEST_F(Records, AttachAndRebuildTakeTheSectionCountTheProfileWasFittedWith)
{
    double frame[12] = {1, 0, 0, 80.0, 0, 1, 0, -60.0, 0, 0, 1, 15.0};
    auto* prism = new cMesh();
    sweep_scans::BuildRoundedPrism(*prism, frame, 30.0, 20.0, 5.0, 40.0, 0.0, 240, 20, 0.02);
    for (std::uint32_t i = 0; i < prism->GetTriangleCount(); ++i)
        prism->GetTriangle(i)->flags = 1;
    GeometrySceneObject scan(prism);
    cFitContainer points(VertexPoints(*prism));
    Dezaz_ExtrudedObject object;
    Dezaz_Extruded& surface = *object.GetGeometry();
    {
        ST_CExtractedExtSurface bare;
        ASSERT_TRUE(bare.AttachGeometry(&surface));
        EXPECT_EQ(bare.m_block.sectionCount, 20); // no profile yet
    }
    ST_CExtractedExtSurface record(&tree);
    ASSERT_TRUE(record.AttachGeometry(&surface));
    record.BuildRows();
    EXPECT_TRUE(Choose(record, record.m_directionId, kDirectionZAxis));
    ASSERT_TRUE(Type(record.m_sectionsId, L"7"));
    ASSERT_GE(record.Refit(points, 1.0, &scan, nullptr), 1);
    ASSERT_NE(surface.GetProfileCurve(), nullptr);
    EXPECT_EQ(surface.GetProfileCurve()->id, 7u);

    // A record attached later (a session read from a document) starts from
    // the profile's count, and a rebuild returns to it whatever the page
    // was left at.
    ST_CExtractedExtSurface again(&tree);
    ASSERT_TRUE(again.AttachGeometry(&surface));
    EXPECT_EQ(again.m_block.sectionCount, 7);
    record.m_block.sectionCount = 33;
    ASSERT_GE(record.RebuildSurface(points, 1.0), 1);
    EXPECT_EQ(record.m_block.sectionCount, 7);

    Dezaz_RevolvedObject revolvedObject;
    Dezaz_Revolved& revolved = *revolvedObject.GetGeometry();
    ST_CExtractedRevSurface revolvedRecord;
    ASSERT_TRUE(revolvedRecord.AttachGeometry(&revolved));
    EXPECT_EQ(revolvedRecord.m_block.sectionCount, 0); // no profile yet
    auto line = revolved.CreateCurveByClassGuid(CLSID_ST_TLineCurve);
    ASSERT_NE(line, nullptr);
    line->SetId(12);
    revolved.ReplaceProfileCurve(std::move(line));
    ASSERT_TRUE(revolvedRecord.AttachGeometry(&revolved));
    EXPECT_EQ(revolvedRecord.m_block.sectionCount, 12);
    // An id beyond what the builders take is not asked for.
    revolved.GetProfileCurve()->SetId(4000000000u);
    ASSERT_TRUE(revolvedRecord.AttachGeometry(&revolved));
    EXPECT_EQ(revolvedRecord.m_block.sectionCount, kMaxSweepSections);
    TestPlane plane;
    EXPECT_FALSE(revolvedRecord.AttachGeometry(&plane));
    EXPECT_EQ(revolvedRecord.m_block.sectionCount, 20);
}

// A direction group's rows as the revolved and extruded refits take them:
// typed whole, completed from the shape's direction under the fixed rows,
// left to the fit, or none when no unit vector is left.
TEST(DirectionRows, AreTypedCompletedLeftToTheFitOrNone)
{
    const auto rows = [](double x, double y, double z, int open) {
        return std::array<stRowParameter, 3>{stRowParameter{x, (open & 1) != 0}, stRowParameter{y, (open & 2) != 0},
                                             stRowParameter{z, (open & 4) != 0}};
    };
    double out[3];
    // Typed whole: as typed, not made a unit vector.
    EXPECT_EQ(WholeDirectionFromRows(rows(0.5, 0, 2, 0).data(), std::array{0.6, 0.8, 0.0}.data(), out),
              eDirectionRows::kTyped);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{0.5, 0, 2}));
    // Horizontal: z fixed at 0, the rest of the shape's direction made whole.
    EXPECT_EQ(WholeDirectionFromRows(rows(0, 0, 0, 3).data(), std::array{0.36, 0.48, 0.8}.data(), out),
              eDirectionRows::kCompleted);
    EXPECT_NEAR(out[0], 0.6, 1e-15);
    EXPECT_NEAR(out[1], 0.8, 1e-15);
    EXPECT_EQ(out[2], 0.0);
    // One row open: it takes up what the two fixed ones leave.
    EXPECT_EQ(WholeDirectionFromRows(rows(0.6, 0, 0, 4).data(), std::array{0.2, 0.5, 0.5}.data(), out),
              eDirectionRows::kCompleted);
    EXPECT_EQ(out[0], 0.6);
    EXPECT_EQ(out[1], 0.0);
    EXPECT_NEAR(out[2], 0.8, 1e-15);
    EXPECT_EQ(WholeDirectionFromRows(rows(0.6, 0, 0, 2).data(), std::array{0.3, 0.9, 0.0}.data(), out),
              eDirectionRows::kCompleted);
    EXPECT_NEAR(out[1], 0.8, 1e-15);
    // Two open rows of another sign share the rest in their proportion.
    EXPECT_EQ(WholeDirectionFromRows(rows(-0.6, 0, 0, 6).data(), std::array{0.3, 0.4, -0.5}.data(), out),
              eDirectionRows::kCompleted);
    const double s = std::sqrt(0.64 / 0.41);
    EXPECT_EQ(out[0], -0.6);
    EXPECT_NEAR(out[1], 0.4 * s, 1e-15);
    EXPECT_NEAR(out[2], -0.5 * s, 1e-15);
    // Two rows fixed at 0 and the shape's direction across them: nothing is
    // left to make a direction of.
    EXPECT_EQ(WholeDirectionFromRows(rows(0, 0, 0, 4).data(), std::array{1.0, 0.0, 0.0}.data(), out),
              eDirectionRows::kNoDirection);
    // Every row emptied: the fit chooses.
    EXPECT_EQ(WholeDirectionFromRows(rows(0, 0, 1, 7).data(), std::array{0.6, 0.8, 0.0}.data(), out),
              eDirectionRows::kToTheFit);
}

} // namespace
