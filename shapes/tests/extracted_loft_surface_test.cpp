// The free-form record: its page on a real property tree, the settings it
// exchanges with the loft, and refits of a generated noisy scan.
#include "shapes/extracted_loft_surface.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "fitting/fit_container.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/window_snapshot.h"
#include "shapes/loft_surface.h"
#include "shapes/primitive_scene_objects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace
{

// A sheet bent across y, z = c.z + k (y - c.y)^2, over 80 x 30 mm a metre
// from the origin, scanned with Gaussian noise; every triangle selected.
constexpr double kBend = 0.02;
const double kCentre[3] = {1000.0, -500.0, 250.0};

double TrueZ(double y) { return kCentre[2] + kBend * (y - kCentre[1]) * (y - kCentre[1]); }

cMeshObject* ScanBentSheet(double sigma, tFitPointQueue& points)
{
    std::mt19937 rng(11);
    std::normal_distribution<double> noise(0.0, sigma);
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    const int nx = 81, ny = 31;
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
        {
            const double x = kCentre[0] - 40.0 + i, y = kCentre[1] - 15.0 + j;
            const float p[3] = {float(x), float(y), float(TrueZ(y) + noise(rng))};
            mesh.AddVertex(p);
            stFitPoint f;
            std::copy(p, p + 3, f.position);
            const double slope = 2.0 * kBend * (y - kCentre[1]);
            const double n = std::sqrt(1.0 + slope * slope);
            f.normal[1] = float(-slope / n);
            f.normal[2] = float(1.0 / n);
            points.push_back(f);
        }
    for (int j = 0; j + 1 < ny; ++j)
        for (int i = 0; i + 1 < nx; ++i)
        {
            const std::uint32_t a = j * nx + i;
            mesh.AddTriangle(a, a + 1, a + nx + 1)->flags = 1;
            mesh.AddTriangle(a, a + nx + 1, a + nx)->flags = 1;
        }
    mesh.Update();
    return object;
}

class FreeFormRecord : public ::testing::Test
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
        ASSERT_TRUE(record.AttachGeometry(object.GetGeometry()));
    }
    void TearDown() override
    {
        tree.DeleteAllItems();
        tree.DestroyWindow();
        dialog.DestroyWindow();
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a queued answer found no message box";
        win32::ClearPromptAnswers();
    }
    CPropTreeItem* Row(UINT id) { return tree.FindItem(id); }
    CPropTreeItemEdit* Edit(UINT id) { return dynamic_cast<CPropTreeItemEdit*>(tree.FindItem(id)); }
    // Typed as the user does: the tree activates the row and Enter commits
    // it. A refusal's message box takes the focus from the editor, and only
    // the row's own commit keeps that from refusing (and asking) twice.
    BOOL Type(UINT id, const std::wstring& text)
    {
        CPropTreeItemEdit* edit = Edit(id);
        edit->BeginActivation();
        edit->Activate();
        ::SetWindowTextW(edit->GetSafeHwnd(), text.c_str());
        return edit->Commit();
    }
    // RMS and worst vertical distance of the lofted surface from the sheet,
    // and the x range it covers.
    void SurfaceError(double& rms, double& worst, double& xLow, double& xHigh)
    {
        const ON_NurbsSurface* surface = object.GetGeometry()->GetHostSurface();
        ASSERT_NE(surface, nullptr);
        const ON_Interval u = surface->Domain(0), v = surface->Domain(1);
        double sum = 0.0;
        int count = 0;
        worst = 0.0, xLow = 1e300, xHigh = -1e300;
        for (int i = 0; i <= 30; ++i)
            for (int j = 0; j <= 30; ++j)
            {
                const ON_3dPoint p = surface->PointAt(u[0] + (u[1] - u[0]) * i / 30.0, v[0] + (v[1] - v[0]) * j / 30.0);
                if (std::fabs(p.y - kCentre[1]) > 15.0)
                    continue; // the border the expand adds beyond the scan
                const double d = std::fabs(p.z - TrueZ(p.y));
                sum += d * d;
                worst = std::max(worst, d);
                xLow = std::min(xLow, p.x);
                xHigh = std::max(xHigh, p.x);
                ++count;
            }
        ASSERT_GT(count, 100);
        rms = std::sqrt(sum / count);
    }

    CWnd dialog;
    CPropTree tree;
    Dezaz_LoftSurfaceObject object;
    ST_CExtractedLoftSurface record{&tree};
};

TEST_F(FreeFormRecord, ThePageShowsTheSettingsAndTakesTheLoftsOwnOnRefresh)
{
    Dezaz_PlaneObject plane;
    ST_CExtractedLoftSurface other(&tree);
    EXPECT_FALSE(other.AttachGeometry(plane.GetGeometry())) << "a plane is no loft";
    EXPECT_FALSE(other.HasSessionObject());

    record.BuildRows();
    for (UINT id : {record.m_typeId, record.m_curvesId, record.m_samplingId, record.m_thresholdId, record.m_expandId,
                    record.m_profilesId})
        ASSERT_NE(Row(id), nullptr);
    EXPECT_EQ(Row(record.m_typeId)->GetItemValue(), 0);
    EXPECT_EQ(Edit(record.m_curvesId)->GetText(), L"8");
    EXPECT_EQ(Edit(record.m_samplingId)->GetText(), L"8");
    EXPECT_EQ(Edit(record.m_expandId)->GetText(), L"20");
    EXPECT_EQ(Row(record.m_profilesId)->GetItemValue(), 1) << "profiles hidden";
    win32::WriteSnapshotIfRequested(dialog.GetSafeHwnd(), "loft_record_page");

    // The combos commit; the numbers wait for the refit.
    Row(record.m_profilesId)->SetItemValue(0);
    EXPECT_TRUE(record.CommitRow(Row(record.m_profilesId)));
    EXPECT_EQ(record.m_showProfiles, 1);
    Row(record.m_typeId)->SetItemValue(kLoftGuideAxisAligned);
    EXPECT_TRUE(record.CommitRow(Row(record.m_typeId)));
    EXPECT_EQ(record.m_type, kLoftGuideAxisAligned);
    EXPECT_FALSE(record.CommitRow(Row(record.m_curvesId)));

    // A refresh shows what the loft holds.
    LoftParameters& p = object.GetGeometry()->GetParameters();
    p.threshold = 0.125;
    p.expand = 0.357;
    p.sampling = 12;
    p.type = kLoftGuideCurve;
    for (int i = 0; i < 5; ++i)
        p.sections.emplace_back();
    record.RefreshRows();
    EXPECT_EQ(Edit(record.m_curvesId)->GetText(), L"4");
    EXPECT_EQ(Edit(record.m_samplingId)->GetText(), L"12");
    EXPECT_EQ(Edit(record.m_expandId)->GetText(), L"35") << "truncated";
    EXPECT_DOUBLE_EQ(*reinterpret_cast<double*>(Row(record.m_thresholdId)->GetItemValue()), 0.125);
    EXPECT_EQ(Row(record.m_typeId)->GetItemValue(), kLoftGuideCurve);
    // A loft without sections still shows one curve.
    p.sections.clear();
    record.RefreshRows();
    EXPECT_EQ(Edit(record.m_curvesId)->GetText(), L"1");

    // The row action picks the guide axis from its two marker vectors only.
    const double first[3] = {FLT_MAX, FLT_MAX, 0}, second[3] = {0, 0, 1}, other3[3] = {1, 0, 0};
    record.RunRowAction(second);
    EXPECT_EQ(record.m_guide.axisChoice, 1);
    record.RunRowAction(other3);
    EXPECT_EQ(record.m_guide.axisChoice, 1);
    record.RunRowAction(first);
    EXPECT_EQ(record.m_guide.axisChoice, 0);
}

TEST_F(FreeFormRecord, RefitsOfANoisyBentSheetLieWithinTheNoise)
{
    const double sigma = 0.01;
    tFitPointQueue q;
    std::unique_ptr<cMeshObject> mesh(ScanBentSheet(sigma, q));
    cFitContainer points(q);
    record.BuildRows();
    ASSERT_TRUE(Type(record.m_curvesId, L"10"));
    ASSERT_TRUE(Type(record.m_samplingId, L"20"));
    ASSERT_TRUE(Type(record.m_expandId, L"0"));
    for (std::uint8_t type : {kLoftGuideAxisAligned, kLoftGuidePatch})
    {
        SCOPED_TRACE(type);
        Row(record.m_typeId)->SetItemValue(type);
        record.CommitRow(Row(record.m_typeId));
        ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
        const LoftParameters& p = object.GetGeometry()->GetParameters();
        EXPECT_EQ(p.sections.size(), 11u);
        EXPECT_EQ(p.type, type);
        EXPECT_DOUBLE_EQ(p.expand, 0.0);
        double rms = 0, worst = 0, xLow = 0, xHigh = 0;
        SurfaceError(rms, worst, xLow, xHigh);
        EXPECT_LT(rms, 2.0 * sigma);
        EXPECT_LT(worst, 15.0 * sigma);
        // The guide stays on the scan. The axis-aligned one runs along the
        // longer x side with its end sections 4 mm (half of 80 / 10) inside;
        // the patch guide after it keeps the choice that one resolved, which
        // names the fitted patch's own first axis, so its ends are not
        // checked here (the guide tests check them).
        EXPECT_GT(xLow, kCentre[0] - 40.5);
        EXPECT_LT(xHigh, kCentre[0] + 40.5);
        EXPECT_GT(xHigh - xLow, 70.0);
        if (type == kLoftGuideAxisAligned)
        {
            EXPECT_NEAR(xLow, kCentre[0] - 36.0, 1.0);
            EXPECT_NEAR(xHigh, kCentre[0] + 36.0, 1.0);
        }

        record.RefreshRows();
        EXPECT_EQ(Edit(record.m_curvesId)->GetText(), L"10");
        EXPECT_EQ(Edit(record.m_samplingId)->GetText(), L"20");
        EXPECT_EQ(Edit(record.m_expandId)->GetText(), L"0");
    }
}

// A whole tube of radius 20 around a tilted axis far from the origin,
// scanned with noise, every triangle selected; as tall as wide, it spreads
// about alike along every direction.
constexpr double kTubeRadius = 20.0;
const double kTubeBase[3] = {-40.0, 80.0, 900.0};

void TubeAxis(double axis[3])
{
    const double raw[3] = {0.1, 0.2, 1.0};
    const double length = std::sqrt(raw[0] * raw[0] + raw[1] * raw[1] + raw[2] * raw[2]);
    for (int k = 0; k < 3; ++k)
        axis[k] = raw[k] / length;
}

cMeshObject* ScanTube(double height, double sigma, tFitPointQueue& points)
{
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0.0, sigma);
    double axis[3], e1[3], e2[3];
    TubeAxis(axis);
    const double helper[3] = {1.0, 0.0, 0.0};
    e1[0] = helper[1] * axis[2] - helper[2] * axis[1];
    e1[1] = helper[2] * axis[0] - helper[0] * axis[2];
    e1[2] = helper[0] * axis[1] - helper[1] * axis[0];
    const double l = std::sqrt(e1[0] * e1[0] + e1[1] * e1[1] + e1[2] * e1[2]);
    for (double& c : e1)
        c /= l;
    e2[0] = axis[1] * e1[2] - axis[2] * e1[1];
    e2[1] = axis[2] * e1[0] - axis[0] * e1[2];
    e2[2] = axis[0] * e1[1] - axis[1] * e1[0];
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    const int around = 48, rows = 10;
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i < around; ++i)
        {
            const double a = 2.0 * 3.14159265358979323846 * i / around, h = height * j / rows;
            const double r = kTubeRadius + noise(rng);
            float p[3];
            stFitPoint f;
            for (int k = 0; k < 3; ++k)
            {
                const double radial = std::cos(a) * e1[k] + std::sin(a) * e2[k];
                p[k] = float(kTubeBase[k] + h * axis[k] + r * radial);
                f.position[k] = p[k];
                f.normal[k] = float(radial);
            }
            mesh.AddVertex(p);
            points.push_back(f);
        }
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < around; ++i)
        {
            const std::uint32_t a = j * around + i, b = j * around + (i + 1) % around;
            mesh.AddTriangle(a, b, b + around)->flags = 1;
            mesh.AddTriangle(a, b + around, a + around)->flags = 1;
        }
    mesh.Update();
    return object;
}

TEST_F(FreeFormRecord, APatchGuideCutsAWholeTubeOnItsRadius)
{
    const double sigma = 0.01;
    double axis[3];
    TubeAxis(axis);
    for (double height : {kTubeRadius * std::sqrt(6.0), 50.0})
    {
        SCOPED_TRACE(height);
        tFitPointQueue q;
        std::unique_ptr<cMeshObject> mesh(ScanTube(height, sigma, q));
        cFitContainer points(q);
        record.BuildRows();
        ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
        ASSERT_NE(object.GetGeometry()->GetHostSurface(), nullptr);
        // Every section is a cut through the scan; one round the tube runs
        // on its radius.
        const LoftParameters& p = object.GetGeometry()->GetParameters();
        ASSERT_EQ(p.sections.size(), 9u);
        for (const LoftSection& section : p.sections)
        {
            ASSERT_NE(section.curve, nullptr) << section.position;
            if (!section.curve->IsClosed())
                continue;
            for (int i = 0; i <= 20; ++i)
            {
                t3DPoint<double> at, tangent, binormal;
                ASSERT_TRUE(section.curve->EvaluateInWorld(i / 20.0, &at, &tangent, &binormal));
                const double d[3] = {at.x - kTubeBase[0], at.y - kTubeBase[1], at.z - kTubeBase[2]};
                const double along = d[0] * axis[0] + d[1] * axis[1] + d[2] * axis[2];
                const double r = std::sqrt(std::max(0.0, d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - along * along));
                // The 48-sided scan's flats sit up to 0.086 inside the circle.
                EXPECT_NEAR(r, kTubeRadius, 0.15) << section.position;
            }
        }
        // Where every cut is a loop, the loft between them stays on the tube
        // too (a twisted or seamed loft cut millimetres inside it).
        bool loops = true;
        for (const LoftSection& section : p.sections)
            loops = loops && section.curve->IsClosed();
        if (!loops)
            continue;
        const ON_NurbsSurface& surface = *object.GetGeometry()->GetHostSurface();
        const ON_Interval u = surface.Domain(0), v = surface.Domain(1);
        int inside = 0;
        for (int i = 0; i <= 60; ++i)
            for (int j = 0; j <= 60; ++j)
            {
                const ON_3dPoint at = surface.PointAt(u[0] + (u[1] - u[0]) * i / 60.0, v[0] + (v[1] - v[0]) * j / 60.0);
                const double d[3] = {at.x - kTubeBase[0], at.y - kTubeBase[1], at.z - kTubeBase[2]};
                const double along = d[0] * axis[0] + d[1] * axis[1] + d[2] * axis[2];
                if (along < 0.0 || along > height)
                    continue; // the border the expand adds past the scan
                const double r = std::sqrt(std::max(0.0, d[0] * d[0] + d[1] * d[1] + d[2] * d[2] - along * along));
                EXPECT_NEAR(r, kTubeRadius, 0.15) << i << " " << j;
                ++inside;
            }
        EXPECT_GT(inside, 2000);
    }
}

TEST_F(FreeFormRecord, RefusedRefitsLeaveTheLoftAlone)
{
    const double sigma = 0.01;
    tFitPointQueue q;
    std::unique_ptr<cMeshObject> mesh(ScanBentSheet(sigma, q));
    cFitContainer points(q);
    record.BuildRows();
    ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
    const std::size_t sections = object.GetGeometry()->GetParameters().sections.size();

    tFitPointQueue none;
    cFitContainer empty(none);
    EXPECT_EQ(record.Refit(empty, 1.0, mesh.get(), nullptr), 0);
    EXPECT_EQ(record.Refit(points, 1.0, nullptr, nullptr), 0) << "no mesh";

    // The refusals left the loft and the settings as they were.
    ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
    EXPECT_EQ(object.GetGeometry()->GetParameters().sections.size(), sections);
    EXPECT_DOUBLE_EQ(object.GetGeometry()->GetParameters().threshold, 0.05);
    ASSERT_TRUE(Type(record.m_thresholdId, L"-1"));
    EXPECT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 0) << "a negative threshold";
    EXPECT_EQ(object.GetGeometry()->GetParameters().sections.size(), sections);
    ASSERT_TRUE(Type(record.m_thresholdId, L"0.05"));
    // No curves still makes one span, over the whole region (pulled in by
    // half its one spacing, the guide would shrink to a point).
    ASSERT_TRUE(Type(record.m_curvesId, L"0"));
    ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
    EXPECT_EQ(object.GetGeometry()->GetParameters().sections.size(), 2u);

    // Nothing selected: no region to loft.
    for (std::uint32_t i = 0; i < mesh->GetMesh()->GetTriangleCount(); ++i)
        mesh->GetMesh()->GetTriangle(i)->flags = 0;
    EXPECT_EQ(record.FitFromMesh(mesh->GetMesh()), 0);
    EXPECT_EQ(record.FitLoftFromMesh(nullptr, mesh->GetMesh()), 0);
}

TEST_F(FreeFormRecord, HostileRowTextIsRefusedAndTheLoftStays)
{
    tFitPointQueue q;
    std::unique_ptr<cMeshObject> mesh(ScanBentSheet(0.01, q));
    cFitContainer points(q);
    record.BuildRows();
    ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
    const ON_NurbsSurface* surface = object.GetGeometry()->GetHostSurface();
    ASSERT_NE(surface, nullptr);
    const ON_3dPoint corner = surface->PointAt(surface->Domain(0)[0], surface->Domain(1)[0]);
    const std::size_t sections = object.GetGeometry()->GetParameters().sections.size();
    const auto loftUnchanged = [&]
    {
        const LoftParameters& p = object.GetGeometry()->GetParameters();
        EXPECT_EQ(p.sections.size(), sections);
        EXPECT_EQ(p.threshold, 0.05);
        EXPECT_EQ(p.sampling, 8);
        EXPECT_DOUBLE_EQ(p.expand, 0.2);
        const ON_NurbsSurface* now = object.GetGeometry()->GetHostSurface();
        ASSERT_NE(now, nullptr) << "a refused refit dropped the surface";
        EXPECT_EQ(now->PointAt(now->Domain(0)[0], now->Domain(1)[0]).x, corner.x);
    };

    // The counts read as "%d" does (leading digits: "1,5" is 1), so only
    // text without them is refused there; the threshold takes a whole number
    // or nothing.
    const std::wstring longText(5000, L'7');
    const std::vector<std::wstring> noCount{L"", L"   ", L"NaN", L"Inf", L"-inf", L"%s", longText};
    for (UINT id : {record.m_curvesId, record.m_samplingId, record.m_expandId})
    {
        const std::wstring before = Edit(id)->GetText();
        for (const std::wstring& text : noCount)
        {
            SCOPED_TRACE(testing::Message() << id << " '" << text.substr(0, 12) << "'");
            win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"Please enter valid integer value", IDOK, nullptr});
            EXPECT_FALSE(Type(id, text));
            EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
            EXPECT_EQ(Edit(id)->GetText(), before) << "the count stays";
            ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
            loftUnchanged();
        }
    }
    for (const std::wstring text : {L"NaN", L"Inf", L"-inf", L"1e400", L"%s", L"1,5", L"0.05mm", longText.c_str()})
    {
        SCOPED_TRACE(text.substr(0, 12));
        win32::QueuePromptAnswer({win32::kMessageBoxPrompt, L"Please enter valid real value", IDOK, nullptr});
        EXPECT_FALSE(Type(record.m_thresholdId, text));
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        ASSERT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 1);
        loftUnchanged();
    }
    // An empty threshold is taken by the row, but the loft has no free
    // threshold: the refit refuses it and keeps the surface it had.
    for (const wchar_t* text : {L"", L"  "})
    {
        ASSERT_TRUE(Type(record.m_thresholdId, text));
        EXPECT_EQ(record.Refit(points, 1.0, mesh.get(), nullptr), 0);
        loftUnchanged();
    }
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
}

} // namespace
