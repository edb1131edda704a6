// The deviation display mode in a real 3D view: the probe under the cursor
// reads the deviation of the vertex drawn there (also after the camera
// turned without a redraw), leaves the mesh cleanly, never reads a record
// that a changed mesh no longer has; clicks give the page its labels; the
// overlay's texts and the extremes follow the page's switches.
#include "analysis/analysed_vertex_tree.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "modes/deviation_display_mode.h"
#include "shapes/primitive_scene_objects.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{

constexpr int kGrid = 36; // 1296 vertices: more than one chunk of records

// A tilted, gently curved sheet far from the origin, drawn from both sides.
ISceneObject* MakeSheet(float shift = 0.0f)
{
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    for (int j = 0; j < kGrid; ++j)
        for (int i = 0; i < kGrid; ++i)
        {
            const float x = 1200.0f + shift + 10.0f * i, y = -800.0f + 10.0f * j;
            const float p[3] = {x, y, 300.0f + 3.0f * i + 2.0f * j + 4.0f * std::sin(0.5f * i)};
            mesh.AddVertex(p);
        }
    for (int j = 0; j + 1 < kGrid; ++j)
        for (int i = 0; i + 1 < kGrid; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * kGrid + i);
            mesh.AddTriangle(v, v + 1, v + kGrid + 1);
            mesh.AddTriangle(v, v + kGrid + 1, v + kGrid);
            mesh.AddTriangle(v, v + kGrid + 1, v + 1);
            mesh.AddTriangle(v, v + kGrid, v + kGrid + 1);
        }
    mesh.Update();
    return object;
}

float DeviationOf(std::uint32_t v)
{
    return 0.001f * float(v) - 0.05f;
}

class FakePage : public IDeviationPage
{
public:
    void UpdateDeviationInfo(bool) override { ++updates; }
    void ApplyTolerance() override { ++applied; }
    bool AddPickedPoint(ISceneObject* object, const float point[3]) override
    {
        // As the page: only a mesh that carries an analysis takes a label.
        if (!object || !object->FindAttachedProperty(kAnalyzerInfoPropertyName))
            return false;
        pickedOn = object;
        stDeviationPageLabel label;
        for (int k = 0; k < 3; ++k)
            label.picked[k] = label.point[k] = point[k];
        label.deviation = 0.0125f;
        labels.push_back(label);
        return true;
    }
    const std::vector<stDeviationPageLabel>& PageLabels() const override { return labels; }
    bool SelectionOnly() const override { return selectionOnly; }
    bool ShowMinMax() const override { return showMinMax; }
    void ShowPage() override { ++shown; }
    std::wstring UnitText() const override { return L"mm"; }

    int updates = 0, applied = 0, shown = 0;
    bool selectionOnly = true, showMinMax = false;
    ISceneObject* pickedOn = nullptr;
    std::vector<stDeviationPageLabel> labels;
};

// A view whose factory makes the deviation display, so that it can run as
// the view's active mode.
class cDeviationTestView : public cP3DView
{
public:
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override
    {
        if (id == kDeviationModeId)
            return new CUIM_Deviation(id, temporary, this);
        return cP3DView::CreateMode(id, temporary, extra);
    }
};

class DeviationDisplay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fixture.scene->AddObject(MakeSheet());
        view = fixture.Create<cDeviationTestView>(320, 240);
        object = FirstMesh();
        ASSERT_NE(object, nullptr);
        tree = cVTL_AVTree::GetOrCreateProperty(object);
        ASSERT_NE(tree, nullptr);
        tree->Build(object->GetMesh());
        for (std::uint32_t v = 0; v < tree->GetCount(); ++v)
            tree->SetDeviation(v, DeviationOf(v));
        tree->ComputeStatistics(0.01f);
        SetDeviationPage(view, &page);
        mode = std::make_unique<CUIM_Deviation>(kDeviationModeId, 0, view);
        ::UpdateWindow(view->GetSafeHwnd());
        mode->OnAfterFullRedraw(view);
    }
    void TearDown() override
    {
        mode.reset();
        SetDeviationPage(view, nullptr);
    }
    cMeshObject* FirstMesh() const
    {
        std::unique_ptr<cSceneObjectIterator> it(fixture.scene->GetObjectIterator());
        for (it->First(); !it->IsDone(); it->Next())
            if (auto* o = dynamic_cast<cMeshObject*>(it->Current().Get()))
                return o;
        return nullptr;
    }
    const float* Vertex(std::uint32_t v) const { return &object->GetMesh()->GetVertex(v)->x; }
    // The pixel of vertex v, moved a pixel toward the sheet's middle so that
    // it lies on the mesh.
    POINT At(std::uint32_t v) const
    {
        POINT p = testview::ScreenOf(view, Vertex(v));
        const POINT middle = testview::ScreenOf(view, Vertex(kGrid * (kGrid / 2) + kGrid / 2));
        p.x += p.x < middle.x ? 1 : (p.x > middle.x ? -1 : 0);
        p.y += p.y < middle.y ? 1 : (p.y > middle.y ? -1 : 0);
        return p;
    }
    bool ProbeIs(std::uint32_t v) const
    {
        const float* p = mode->Probe().Point();
        const float* q = Vertex(v);
        return mode->Probe().IsActive() && p[0] == q[0] && p[1] == q[1] && p[2] == q[2];
    }

    testview::ViewFixture fixture{false};
    C3DView* view = nullptr;
    cMeshObject* object = nullptr;
    cVTL_AVTree* tree = nullptr;
    FakePage page;
    std::unique_ptr<CUIM_Deviation> mode;
};

} // namespace

TEST_F(DeviationDisplay, MakingTheModeMeasuresAndTakesTheUnit)
{
    EXPECT_EQ(page.updates, 1);
    EXPECT_EQ(mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE), int(kCursorDeviation));
    UINT menu = 0;
    CWnd* target = nullptr;
    EXPECT_TRUE(mode->GetContextMenu(&menu, &target));
    EXPECT_EQ(menu, kDeviationContextMenu);
    EXPECT_EQ(target, view);
    // "Reinitialize Primitive" brings the page forward and applies the tolerance.
    mode->OnCommand(kCmdReinitializeDeviation, 0, nullptr, nullptr, view);
    EXPECT_EQ(page.shown, 1);
    EXPECT_EQ(page.applied, 1);
    mode->OnCommand(kCmdReinitializeDeviation, 1, nullptr, nullptr, view);
    EXPECT_EQ(page.applied, 1);
}

TEST_F(DeviationDisplay, TheProbeReadsTheDeviationOfTheVertexDrawnUnderTheCursor)
{
    const std::uint32_t a = 3 * kGrid + 4, b = 7 * kGrid + 8, c = 31 * kGrid + 20; // c in the second chunk
    mode->OnMouseMove(At(b), 0, view);
    ASSERT_TRUE(ProbeIs(b));
    // Arriving from outside shows no value yet...
    EXPECT_FALSE(mode->Probe().HasValue());
    // ...moving to another vertex does.
    EXPECT_TRUE(mode->OnMouseMove(At(a), 0, view));
    ASSERT_TRUE(ProbeIs(a));
    EXPECT_FLOAT_EQ(mode->Probe().Value(), DeviationOf(a));
    mode->OnMouseMove(At(c), 0, view);
    ASSERT_TRUE(ProbeIs(c));
    EXPECT_FLOAT_EQ(mode->Probe().Value(), DeviationOf(c));
    const auto labels = mode->OverlayLabels(view);
    ASSERT_EQ(labels.size(), 1u);
    wchar_t expected[32];
    std::swprintf(expected, 32, L"%.4f mm", double(DeviationOf(c)));
    EXPECT_EQ(labels[0].text, expected);
    const POINT p = testview::ScreenOf(view, Vertex(c));
    EXPECT_NEAR(labels[0].at.x, p.x + 15, 1);
    EXPECT_NEAR(labels[0].at.y, p.y - 30, 1);
    const auto markers = mode->MarkerPoints();
    ASSERT_EQ(markers.size(), 1u);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(markers[0][k], Vertex(c)[k]) << k;
    testview::Snapshot(view, "deviation_display_probe");

    // Off the mesh: the probe goes, and says so once.
    EXPECT_TRUE(mode->OnMouseMove(POINT{2, 2}, 0, view));
    EXPECT_FALSE(mode->Probe().IsActive());
    EXPECT_FALSE(mode->Probe().HasValue());
    EXPECT_TRUE(mode->OverlayLabels(view).empty());

    // Started again (a navigation drag on top ended), it probes afresh.
    mode->OnMouseMove(At(a), 0, view);
    mode->OnMouseMove(At(b), 0, view);
    ASSERT_TRUE(mode->Probe().HasValue());
    mode->OnActivate(view);
    EXPECT_FALSE(mode->Probe().IsActive());
    EXPECT_FALSE(mode->Probe().HasValue());
}

TEST_F(DeviationDisplay, OnAScanOfMoreTrianglesThanTheIdsNameTheProbeFindsTheVertexUnderTheCursor)
{
    // A third of the sheet's triangles an image stand in for the 16,777,215
    // that 24-bit ids name (a 50M-triangle scan): the vertices lie in the
    // first, the last and the middle window.
    mode->SetFaceIdSpan(object->GetMesh()->GetTriangleCount() / 3 + 1);
    const std::uint32_t a = 3 * kGrid + 4, c = (kGrid - 4) * kGrid + 20, b = (kGrid / 2) * kGrid + 8;
    for (const std::uint32_t v : {a, c, b})
    {
        mode->OnMouseMove(At(v), 0, view);
        EXPECT_TRUE(ProbeIs(v)) << v;
    }
    EXPECT_FLOAT_EQ(mode->Probe().Value(), DeviationOf(b));
}

TEST_F(DeviationDisplay, TheIdImageFollowsTheCameraWithoutARedraw)
{
    const std::uint32_t a = 5 * kGrid + 5, b = 6 * kGrid + 9;
    mode->OnMouseMove(At(a), 0, view);
    // The camera turns and pans; no frame is drawn before the next probe.
    cBase3DRenderer* camera = view->GetCamera();
    double turned[12];
    const double* t = camera->GetViewTransform();
    const double c = std::cos(0.4), s = std::sin(0.4);
    for (int col = 0; col < 4; ++col)
    {
        turned[col] = c * t[col] - s * t[4 + col];
        turned[4 + col] = s * t[col] + c * t[4 + col];
        turned[8 + col] = t[8 + col];
    }
    turned[3] += 0.2;
    camera->SetViewTransform(turned);
    mode->OnMouseMove(At(b), 0, view);
    ASSERT_TRUE(ProbeIs(b));
    EXPECT_FLOAT_EQ(mode->Probe().Value(), DeviationOf(b));
}

TEST_F(DeviationDisplay, AMeshChangedSinceThePassShowsNoValue)
{
    const std::uint32_t a = 2 * kGrid + 3, b = 4 * kGrid + 6;
    // The mesh gained vertices after the pass: its records no longer match.
    cMesh& mesh = *object->GetMesh();
    const float far[3] = {0.0f, 0.0f, 0.0f};
    mesh.AddVertex(far);
    mode->OnMouseMove(At(a), 0, view);
    mode->OnMouseMove(At(b), 0, view);
    ASSERT_TRUE(ProbeIs(b));
    EXPECT_EQ(mode->Probe().Value(), FLT_MAX);
    EXPECT_FALSE(mode->Probe().HasValue());
}

TEST_F(DeviationDisplay, AClickOnTheMeshAddsAPageLabelAndOneBesideItDoesNot)
{
    const std::uint32_t a = 6 * kGrid + 6;
    mode->OnLButtonDown(POINT{2, 2}, 0, view);
    EXPECT_TRUE(page.labels.empty());
    mode->OnLButtonDown(At(a), 0, view);
    ASSERT_EQ(page.labels.size(), 1u);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(page.labels[0].picked[k], Vertex(a)[k], 1.5f);
    page.labels.push_back(page.labels[0]);
    page.labels[1].deviation = FLT_MAX;
    const auto labels = mode->OverlayLabels(view);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].text, L"0.0125 mm");
    EXPECT_EQ(labels[0].colour, CUIM_Deviation::kPageLabelColour);
    EXPECT_EQ(labels[1].text, L"Out of tolerance");
    EXPECT_EQ(mode->MarkerPoints().size(), 2u);
}

TEST_F(DeviationDisplay, AClickReachesAnAnalysedMeshBehindOneWithoutAnalysis)
{
    const std::uint32_t a = 8 * kGrid + 5;
    // The same sheet twice: first one the page never measured, then one it did.
    ISceneObject* bare = MakeSheet();
    ISceneObject* analysed = MakeSheet();
    ASSERT_TRUE(fixture.scene->RemoveObject(object));
    ASSERT_TRUE(fixture.scene->AddObject(bare));
    ASSERT_TRUE(fixture.scene->AddObject(analysed));
    object = dynamic_cast<cMeshObject*>(analysed);
    cVTL_AVTree* analysis = cVTL_AVTree::GetOrCreateProperty(analysed);
    ASSERT_NE(analysis, nullptr);
    analysis->Build(object->GetMesh());
    mode->OnLButtonDown(At(a), 0, view);
    ASSERT_EQ(page.labels.size(), 1u);
    EXPECT_EQ(page.pickedOn, analysed);
}

TEST_F(DeviationDisplay, TheExtremesAreLabelledOnlyWithSelectionOnlyAndShowMinMax)
{
    page.showMinMax = true;
    page.selectionOnly = false;
    EXPECT_TRUE(mode->OverlayLabels(view).empty());
    EXPECT_TRUE(mode->MarkerPoints().empty());
    page.selectionOnly = true;
    const auto labels = mode->OverlayLabels(view);
    ASSERT_EQ(labels.size(), 2u);
    EXPECT_EQ(labels[0].text, L"min: -0.0500 mm");
    EXPECT_EQ(labels[0].colour, CUIM_Deviation::kMinimumColour);
    wchar_t expected[32];
    std::swprintf(expected, 32, L"max: %.4f mm", double(DeviationOf(kGrid * kGrid - 1)));
    EXPECT_EQ(labels[1].text, expected);
    EXPECT_EQ(labels[1].colour, CUIM_Deviation::kMaximumColour);
    // The markers sit at the extreme vertices.
    const auto markers = mode->MarkerPoints();
    ASSERT_EQ(markers.size(), 2u);
    for (int k = 0; k < 3; ++k)
    {
        EXPECT_EQ(markers[0][k], Vertex(0)[k]) << k;
        EXPECT_EQ(markers[1][k], Vertex(kGrid * kGrid - 1)[k]) << k;
    }
    // Drawn by the running mode, the minimum's text is blue and the
    // maximum's red, like the ends of the scale.
    view->SetModeById(kDeviationModeId, 0, 0);
    ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
    ::UpdateWindow(view->GetSafeHwnd());
    const wgl::PixelImage image = testview::Frame(view);
    ASSERT_FALSE(image.Empty());
    const auto tints = [&](const stDeviationOverlayLabel& label) {
        int reds = 0, blues = 0;
        for (int y = label.at.y; y < label.at.y + 18; ++y)
            for (int x = label.at.x; x < label.at.x + int(8 * label.text.size()); ++x)
            {
                if (x < 0 || y < 0 || x >= int(image.width) || y >= int(image.height))
                    continue;
                const std::uint32_t p = image.At(x, y);
                const int red = int((p >> 16) & 0xFF), blue = int(p & 0xFF);
                reds += red > 150 && blue < 100 ? 1 : 0;
                blues += blue > 150 && red < 100 ? 1 : 0;
            }
        return std::pair{reds, blues};
    };
    const auto [minimumReds, minimumBlues] = tints(labels[0]);
    const auto [maximumReds, maximumBlues] = tints(labels[1]);
    EXPECT_GT(minimumBlues, 5);
    EXPECT_EQ(minimumReds, 0);
    EXPECT_GT(maximumReds, 5);
    EXPECT_EQ(maximumBlues, 0);
    testview::Snapshot(view, "deviation_display_extremes");
}

TEST_F(DeviationDisplay, TheModeTakesTheViewsDisplayWhileItRunsAndGivesBackTheOneBefore)
{
    cP3DScene& scene = *fixture.scene;
    mode.reset();
    scene.m_boxMode = kBoxModeSectionView;
    mode = std::make_unique<CUIM_Deviation>(kDeviationModeId, 0, view);
    EXPECT_EQ(scene.m_boxMode, kBoxModeSectionView) << "made, not yet started";
    mode->OnActivate(view);
    EXPECT_EQ(scene.m_boxMode, kBoxModeDeviation);
    EXPECT_EQ(scene.m_deviationSelectionOnly, 1);
    // A navigation mode that ends on top starts it again, after the page's
    // Selection only was switched off.
    page.selectionOnly = false;
    mode->OnActivate(view);
    EXPECT_EQ(scene.m_boxMode, kBoxModeDeviation);
    EXPECT_EQ(scene.m_deviationSelectionOnly, 0);
    SetDeviationSelectionOnly(view, true);
    EXPECT_EQ(scene.m_deviationSelectionOnly, 1) << "the page's switch reaches the view";
    mode.reset();
    EXPECT_EQ(scene.m_boxMode, kBoxModeSectionView) << "the display from before the first start";
    EXPECT_EQ(scene.m_deviationSelectionOnly, 0);

    // A display another tool chose while the mode ran stays.
    mode = std::make_unique<CUIM_Deviation>(kDeviationModeId, 0, view);
    mode->OnActivate(view);
    scene.m_boxMode = kBoxModeNormal;
    mode.reset();
    EXPECT_EQ(scene.m_boxMode, kBoxModeNormal);
    // A mode that never started leaves the display alone.
    scene.m_boxMode = kBoxModeSectionView;
    mode = std::make_unique<CUIM_Deviation>(kDeviationModeId, 0, view);
    mode.reset();
    EXPECT_EQ(scene.m_boxMode, kBoxModeSectionView);
    scene.m_boxMode = kBoxModeNormal;
}

TEST_F(DeviationDisplay, EveryFullRedrawDrawsTheIdImageAgainWhateverCausedIt)
{
    const std::uint32_t a = 9 * kGrid + 9, b = 10 * kGrid + 12;
    const auto fullRedraw = [&] {
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
        ::UpdateWindow(view->GetSafeHwnd());
        mode->OnAfterFullRedraw(view);
    };
    mode->OnMouseMove(At(a), 0, view);
    ASSERT_TRUE(ProbeIs(a));
    fullRedraw(); // after the probe moved
    // Redraws the mode did not ask for (a page's recalculation, a click's
    // repaint) leave the scene in the back buffer with the camera unchanged.
    fullRedraw();
    fullRedraw();
    mode->OnMouseMove(At(b), 0, view);
    ASSERT_TRUE(ProbeIs(b));
    EXPECT_FLOAT_EQ(mode->Probe().Value(), DeviationOf(b));
}

TEST_F(DeviationDisplay, TheProbeSaysWhenWhatItShowsChanged)
{
    const std::uint32_t a = 12 * kGrid + 10, b = 14 * kGrid + 11;
    cDeviationProbe probe;
    I3DSceneRenderer& renderer = *view->GetRenderer();
    EXPECT_TRUE(probe.Probe(renderer, *object, At(a))) << "arriving";
    EXPECT_FALSE(probe.Probe(renderer, *object, At(a))) << "on the same vertex";
    EXPECT_TRUE(probe.Probe(renderer, *object, At(b))) << "on another vertex";
    EXPECT_FLOAT_EQ(probe.Value(), DeviationOf(b));
    EXPECT_TRUE(probe.Probe(renderer, *object, POINT{2, 2})) << "leaving";
    EXPECT_FALSE(probe.Probe(renderer, *object, POINT{2, 2}));
}

TEST_F(DeviationDisplay, AnotherMeshOfTheSameSizeIsProbedThroughItsOwnIdImage)
{
    const std::uint32_t a = 12 * kGrid + 10;
    mode->OnMouseMove(At(a), 0, view);
    ASSERT_TRUE(ProbeIs(a));
    // The same grid, moved by two and a half cells, takes the old one's
    // place; the camera stays and no frame is drawn.
    ISceneObject* moved = MakeSheet(25.0f);
    ASSERT_TRUE(fixture.scene->AddObject(moved));
    ASSERT_TRUE(fixture.scene->RemoveObject(object));
    object = FirstMesh();
    ASSERT_EQ(static_cast<ISceneObject*>(object), moved);
    mode->OnMouseMove(At(a), 0, view);
    EXPECT_TRUE(ProbeIs(a)) << "the vertex of the new mesh";
}

TEST_F(DeviationDisplay, TheActiveModeDrawsItsLabelsOverTheView)
{
    const std::uint32_t a = 16 * kGrid + 16;
    page.AddPickedPoint(object, Vertex(a));
    const auto redraw = [&] {
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
        ::UpdateWindow(view->GetSafeHwnd());
        return testview::Frame(view);
    };
    const POINT box = mode->OverlayLabels(view).at(0).at;
    const wgl::PixelImage before = redraw();
    ASSERT_FALSE(before.Empty());
    EXPECT_FALSE(wgl::SameColour(before.At(box.x + 1, box.y + 1), wgl::Rgb(255, 255, 255))) << "not yet running";
    view->SetModeById(kDeviationModeId, 0, 0);
    ASSERT_NE(dynamic_cast<CUIM_Deviation*>(view->GetActiveMode()), nullptr);
    const wgl::PixelImage running = redraw();
    // The label's white box, up and right of the vertex.
    EXPECT_TRUE(wgl::SameColour(running.At(box.x + 1, box.y + 1), wgl::Rgb(255, 255, 255)));
    EXPECT_TRUE(wgl::SameColour(running.At(box.x + 1, box.y + 16), wgl::Rgb(255, 255, 255)));
    testview::Snapshot(view, "deviation_display_label");
}

TEST_F(DeviationDisplay, InATurnedPannedViewALabelStandsBesideItsPoint)
{
    testview::TurnPanAndZoom(view);
    view->SetModeById(kDeviationModeId, 0, 0);
    auto* running = dynamic_cast<CUIM_Deviation*>(view->GetActiveMode());
    ASSERT_NE(running, nullptr);
    const std::uint32_t a = 16 * kGrid + 16;
    running->OnLButtonDown(At(a), 0, view);
    ASSERT_EQ(page.labels.size(), 1u);
    ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
    ::UpdateWindow(view->GetSafeHwnd());
    const wgl::PixelImage frame = testview::Frame(view);
    // The label's white box starts 15 pixels right of the picked point and
    // 30 above it.
    const POINT point = testview::ScreenOf(view, page.labels[0].picked);
    for (POINT inside : {POINT{point.x + 16, point.y - 29}, POINT{point.x + 16, point.y - 14}})
        EXPECT_TRUE(wgl::SameColour(frame.At(inside.x, inside.y), wgl::Rgb(255, 255, 255)));
    EXPECT_FALSE(wgl::SameColour(frame.At(point.x + 13, point.y - 29), wgl::Rgb(255, 255, 255)));
    testview::Snapshot(view, "deviation_display_label_turned");
}

TEST_F(DeviationDisplay, AShapeAheadOfTheMeshIsPassedOverAndWithoutAMeshTheProbeGoes)
{
    const std::uint32_t a = 12 * kGrid + 10;
    ASSERT_TRUE(fixture.scene->AddObject(new Dezaz_PlaneObject()));
    ISceneObject* sheet = MakeSheet();
    ASSERT_TRUE(fixture.scene->AddObject(sheet));
    ASSERT_TRUE(fixture.scene->RemoveObject(object));
    object = FirstMesh();
    const POINT at = At(a);
    mode->OnMouseMove(at, 0, view);
    EXPECT_TRUE(ProbeIs(a));
    ASSERT_TRUE(fixture.scene->RemoveObject(sheet));
    object = nullptr;
    mode->OnMouseMove(at, 0, view);
    EXPECT_FALSE(mode->Probe().IsActive());
}
