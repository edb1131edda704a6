// The segmentation dialog on a generated machined part: Detect at the
// slider's position, the split into host meshes, the slider's thumb, the
// painting tools with Alt and undo, the messages, and the painting mode's
// place in the view.
#include "analysis/segmentation.h"
#include "analysis/segmentation_split.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/registry_store.h"
#include "machined_part_mesh.h"
#include "modes/segmentation_paint_mode.h"
#include "modes/segmentation_view.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/mfc/menu.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/controls.h"
#include "platform/win32/dialog.h"
#include "platform/win32/clock.h"
#include "platform/win32/input.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "platform/win32/window_snapshot.h"
#include "plugin/resource_text.h"
#include "plugin/tools/segmentation_dialog.h"
#include "resources/segmentation.h"
#include "support/view_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

using segmentationtest::stMachinedPart;

namespace
{

constexpr WORD kSbThumbPosition = 4;
constexpr WORD kSbEndScroll = 8;

class SegmentationDialog : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ResetInputState();
        win32::ClearPromptAnswers();
        std::string error;
        const auto include = [](const std::string& name) -> std::optional<std::string>
        {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        ASSERT_TRUE(win32::RegisterResourceScript(module, kVtlResourceScript, include, &error)) << error;
        state.m_hCurrentInstanceHandle = module;
        state.m_hCurrentResourceHandle = module;
        store.Init(L"Pellmark", L"VTL_4 For Dezaz");
        cSegmentationSplitter::ForgetRememberedLayer();
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u) << "a prompt the test expected was not shown";
        win32::ClearPromptAnswers();
        if (dialog && ::IsWindow(dialog->GetSafeHwnd()))
            dialog->DestroyWindow();
        dialog.reset();
        win32::UnregisterResources(module);
        win32::ResetInputState();
    }

    void Open(const stMachinedPart& part) { Open(part.Build()); }
    void Open(const ON_Mesh& mesh)
    {
        source = mesh;
        triangles = source.m_F.Count();
        host = doc.AddMeshObject(source);
        ASSERT_NE(host, nullptr);
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<CSegmentationDialog>(nullptr, &store);
        dialog->SetDocument(&doc);
        ASSERT_TRUE(dialog->LoadHostMesh(*host));
        ASSERT_TRUE(dialog->Create(IDD_SEGMENTATION, nullptr));
        dialog->ShowWindow(SW_SHOW); // as running it modally shows it
        view = dialog->GetSegmentationView();
        ASSERT_NE(view, nullptr);
        ASSERT_NE(view->GetSafeHwnd(), nullptr);
        mode = dynamic_cast<CUIM_Segmentation*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
    }

    cMesh& Mesh()
    {
        std::unique_ptr<cSceneObjectIterator> it(dialog->GetScene().GetObjectIterator());
        it->First();
        return *dynamic_cast<cMeshObject*>(it->Current().Get())->GetMesh();
    }
    std::vector<bool> Marks()
    {
        std::vector<bool> out;
        Mesh().ForEachTriangle([&](cMeshTriangle& t) { out.push_back(IsVisibleSelected(t)); });
        return out;
    }
    static int Count(const std::vector<bool>& marks) { return int(std::count(marks.begin(), marks.end(), true)); }

    HWND Slider() const { return ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SEGMENTATION_SENSITIVITY); }
    void Scroll(WORD code, int position)
    {
        ::SendMessageW(Slider(), TBM_SETPOS, TRUE, position);
        dialog->SendMessage(WM_HSCROLL, MAKEWPARAM(code, position), reinterpret_cast<LPARAM>(Slider()));
    }
    void Click(UINT id)
    {
        dialog->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(::GetDlgItem(dialog->GetSafeHwnd(), int(id))));
    }

    // The client pixel of a point of the part's own frame.
    POINT ScreenOf(const stMachinedPart& part, double x, double y, double z)
    {
        const double* r = part.rotation;
        const float world[3] = {float(r[0] * x + r[1] * y + r[2] * z + part.translation[0]),
                                float(r[3] * x + r[4] * y + r[5] * z + part.translation[1]),
                                float(r[6] * x + r[7] * y + r[8] * z + part.translation[2])};
        // The view's parallel projection of the scene box onto the viewport.
        cBase3DRenderer* camera = view->GetCamera();
        float min[3], max[3];
        camera->GetSceneBox(min, max);
        RECT viewport{};
        camera->GetViewport(&viewport);
        const double w = viewport.right - viewport.left, h = viewport.bottom - viewport.top;
        const double* t = camera->GetViewTransform();
        const float* c = camera->GetSceneCentre();
        const double d[3] = {double(world[0]) - c[0], double(world[1]) - c[1], double(world[2]) - c[2]};
        const double vx = t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3];
        const double vy = t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7];
        return POINT{LONG(std::lround(w * vx / (double(max[0]) - min[0]) + w * 0.5)),
                     LONG(std::lround(h - (h * vy / (double(max[1]) - min[1]) + h * 0.5)))};
    }
    std::uint32_t PixelAt(POINT p)
    {
        const win32::ClientImage* image = win32::GetWindowClientImage(view->GetSafeHwnd());
        if (!image || p.x < 0 || p.y < 0 || p.x >= image->width || p.y >= image->height)
            return 0;
        return image->pixels[std::size_t(p.y) * std::size_t(image->width) + std::size_t(p.x)];
    }

    // Vertex bit 1 is set exactly on the vertices of visible marked triangles.
    void ExpectVertexMarksFollowTriangles()
    {
        cMesh& mesh = Mesh();
        std::vector<bool> onMarked(mesh.GetVertexCount(), false);
        mesh.ForEachTriangle([&](cMeshTriangle& t) {
            if (IsVisibleSelected(t))
                for (auto v : t.vertexIndex)
                    onMarked[v] = true;
        });
        for (std::uint32_t v = 0; v < mesh.GetVertexCount(); ++v)
            ASSERT_EQ((mesh.GetVertex(v)->flags & 2u) != 0, onMarked[v]) << v;
    }

    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9480000);
    AFX_MODULE_STATE state;
    TempRegistry registry;
    cRegistryStore store;
    CDezazDoc doc;
    ON_Mesh source;
    int triangles = 0;
    const CDezazMeshObject* host = nullptr;
    std::unique_ptr<CSegmentationDialog> dialog;
    cSegmentationView* view = nullptr;
    CUIM_Segmentation* mode = nullptr;
};

// The centre of each triangle of a host mesh, rounded to a micrometre.
std::vector<std::array<long long, 3>> Centres(const ON_Mesh& mesh)
{
    std::vector<std::array<long long, 3>> out;
    for (int f = 0; f < mesh.m_F.Count(); ++f)
    {
        std::array<long long, 3> c{};
        for (int k = 0; k < 3; ++k)
        {
            double s = 0;
            for (int corner = 0; corner < 3; ++corner)
            {
                const ON_3fPoint& p = mesh.m_V[mesh.m_F[f].vi[corner]];
                s += k == 0 ? p.x : k == 1 ? p.y : p.z;
            }
            c[std::size_t(k)] = std::llround(s / 3.0 * 1000.0);
        }
        out.push_back(c);
    }
    return out;
}

// How a region's face normals spread: 0 for a plane, the angle the region
// turns through for a wall or a round (radians).
double NormalSpread(const ON_Mesh& mesh)
{
    double worst = 0.0;
    ON_3fVector first{};
    bool have = false;
    for (int f = 0; f < mesh.m_F.Count(); ++f)
    {
        const ON_3fPoint& a = mesh.m_V[mesh.m_F[f].vi[0]];
        const ON_3fPoint& b = mesh.m_V[mesh.m_F[f].vi[1]];
        const ON_3fPoint& c = mesh.m_V[mesh.m_F[f].vi[2]];
        const double u[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
        const double v[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
        double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
        const double l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (l < 1e-12)
            continue;
        for (double& x : n)
            x /= l;
        if (!have)
        {
            first = ON_3fVector(float(n[0]), float(n[1]), float(n[2]));
            have = true;
            continue;
        }
        const double d = std::clamp(n[0] * first.x + n[1] * first.y + n[2] * first.z, -1.0, 1.0);
        worst = std::max(worst, std::acos(d));
    }
    return worst;
}

stMachinedPart Turned()
{
    stMachinedPart part;
    // 30 degrees about x, then 40 about z.
    const double a = 30.0 * std::acos(-1.0) / 180.0, b = 40.0 * std::acos(-1.0) / 180.0;
    const double rx[9] = {1, 0, 0, 0, std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a)};
    const double rz[9] = {std::cos(b), -std::sin(b), 0, std::sin(b), std::cos(b), 0, 0, 0, 1};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
        {
            double s = 0;
            for (int k = 0; k < 3; ++k)
                s += rz[i * 3 + k] * rx[k * 3 + j];
            part.rotation[i * 3 + j] = s;
        }
    part.translation[0] = -1800.0, part.translation[1] = 950.0, part.translation[2] = -420.0;
    return part;
}

} // namespace

TEST_F(SegmentationDialog, DetectThenSplitGivesOneMeshPerFaceWallAndRoundHoldingEveryTriangleOnce)
{
    for (const stMachinedPart& part : {stMachinedPart{}, Turned()})
    {
        doc.Clear();
        Open(part);
        EXPECT_FALSE(::IsWindowEnabled(Slider())) << "disabled until the first Detect";
        Click(IDC_SEGMENTATION_DETECT);
        EXPECT_TRUE(::IsWindowEnabled(Slider()));
        const int band = Count(Marks());
        EXPECT_GT(band, 0);
        EXPECT_LT(band, triangles / 3) << "the band is the edges and creases, not the faces";

        const ON_UUID hostId = host->ModelObjectId();
        Click(IDC_SEGMENTATION_SPLIT);
        INT_PTR ended = 0;
        EXPECT_TRUE(win32::IsDialogEnded(dialog->GetSafeHwnd(), &ended)) << "a split closes the dialog";
        EXPECT_EQ(ended, IDOK);

        int planar = 0, curved = 0, total = 0;
        std::vector<std::array<long long, 3>> all;
        const CDezazMeshObject* bandObject = nullptr;
        for (const CDezazObject* o : doc.Objects())
        {
            const auto* m = dynamic_cast<const CDezazMeshObject*>(o);
            ASSERT_NE(m, nullptr);
            const ON_Mesh& mesh = *m->Mesh();
            total += mesh.m_F.Count();
            for (const auto& c : Centres(mesh))
                all.push_back(c);
            if (static_cast<unsigned int>(m->Attributes().m_color) == kSharpBandColour)
            {
                bandObject = m;
                continue;
            }
            const double spread = NormalSpread(mesh);
            // Float positions far from the origin tilt a plane's facets by
            // a fraction of a degree.
            if (spread < 0.02)
                ++planar;
            else
            {
                ++curved;
                EXPECT_GT(spread, 0.5) << "a round or the hole's wall turns through its arc";
            }
        }
        ASSERT_NE(bandObject, nullptr);
        EXPECT_EQ(bandObject->ModelObjectId(), hostId) << "the band takes the host object's place";
        EXPECT_EQ(bandObject->Mesh()->m_F.Count(), band);
        EXPECT_EQ(planar, 6) << "top, bottom and the four sides";
        EXPECT_EQ(curved, 5) << "the four rounds and the hole's wall";
        EXPECT_EQ(total, triangles);
        auto expected = Centres(source);
        std::sort(expected.begin(), expected.end());
        std::sort(all.begin(), all.end());
        EXPECT_TRUE(all == expected) << "every triangle lands in exactly one mesh";
        dialog->DestroyWindow();
        dialog.reset();
    }
}

TEST_F(SegmentationDialog, DraggingTheThumbDoesNotDetectReleasingItDoes)
{
    Open(stMachinedPart{});
    Scroll(SB_THUMBTRACK, 30);
    EXPECT_EQ(Count(Marks()), 0) << "no detection while the thumb is dragged";
    EXPECT_FALSE(Mesh().AreValuesReady());
    Scroll(kSbThumbPosition, 30);
    const std::vector<bool> at30 = Marks();
    EXPECT_GT(Count(at30), 0);
    EXPECT_TRUE(Mesh().AreValuesReady());

    // The values are kept: a marked vertex's value does not change when the
    // slider moves on.
    const float value = Mesh().GetVertex(Mesh().GetTriangle(0)->vertexIndex[0])->GetScalar();
    Scroll(SB_THUMBTRACK, 95);
    EXPECT_EQ(Marks(), at30) << "still the marks of 30";
    Scroll(kSbEndScroll, 95);
    EXPECT_EQ(Mesh().GetVertex(Mesh().GetTriangle(0)->vertexIndex[0])->GetScalar(), value);
    EXPECT_LE(Count(Marks()), Count(at30)) << "a higher position marks fewer triangles";
}

TEST_F(SegmentationDialog, ADetectThatMarksNothingTakesTheOldMarksOffTheScreen)
{
    Open(stMachinedPart{});
    const auto frame = [&] {
        ::UpdateWindow(view->GetSafeHwnd());
        const win32::ClientImage* image = win32::GetWindowClientImage(view->GetSafeHwnd());
        return image ? image->pixels : std::vector<std::uint32_t>{};
    };
    const std::vector<std::uint32_t> unmarked = frame();
    ASSERT_FALSE(unmarked.empty());
    Click(IDC_SEGMENTATION_DETECT);
    ASSERT_GT(Count(Marks()), 0);
    ASSERT_NE(frame(), unmarked) << "the band is drawn";
    Scroll(kSbEndScroll, 100);
    ASSERT_EQ(Count(Marks()), 0);
    EXPECT_EQ(frame(), unmarked) << "no band left on the screen";
}

TEST_F(SegmentationDialog, PaintingMarksAltClearsAndUndoRestoresTheMarksBefore)
{
    stMachinedPart part;
    Open(part);
    Click(IDC_SEGMENTATION_DETECT);
    const std::vector<bool> detected = Marks();
    Click(IDC_SEGMENTATION_UNDO);
    EXPECT_EQ(Marks(), detected) << "Detect leaves nothing to undo";

    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    const POINT face = ScreenOf(part, part.width * 0.25, part.depth * 0.5, part.height);
    const POINT rim = ScreenOf(part, part.width * 0.5, 0.0, part.height);
    // The part fills the view's middle over the background.
    const std::uint32_t faceBefore = PixelAt(face);
    EXPECT_NE(faceBefore, PixelAt(POINT{2, 2}));
    win32::WriteSnapshotIfRequested(dialog->GetSafeHwnd(), "segmentation_dialog_detected");
    {
        // The dialog's own face shows around its controls in its picture.
        const win32::ClientImage picture = win32::ComposeWindowImage(dialog->GetSafeHwnd());
        const COLORREF colour = GetSysColor(COLOR_BTNFACE);
        EXPECT_EQ(picture.pixels[2 * std::size_t(picture.width) + 2] & 0xFFFFFFu,
                  (std::uint32_t(GetRValue(colour)) << 16) | (std::uint32_t(GetGValue(colour)) << 8) |
                      GetBValue(colour));
    }

    // With Alt a stroke along the front rim clears its marks there.
    win32::SetKeyDown(VK_MENU, true);
    ASSERT_TRUE(mode->OnLButtonDown(POINT{rim.x - 40, rim.y}, MK_LBUTTON, view));
    mode->OnMouseMove(POINT{rim.x + 40, rim.y}, MK_LBUTTON, view);
    mode->OnLButtonUp(POINT{rim.x + 40, rim.y}, 0, view);
    win32::SetKeyDown(VK_MENU, false);
    const std::vector<bool> cleared = Marks();
    EXPECT_LT(Count(cleared), Count(detected));
    for (std::size_t i = 0; i < cleared.size(); ++i)
    {
        if (cleared[i])
        {
            ASSERT_TRUE(detected[i]) << "Alt only removes marks";
        }
    }

    // Without Alt a click on the face marks it.
    ASSERT_TRUE(mode->OnLButtonDown(face, MK_LBUTTON, view));
    mode->OnLButtonUp(face, 0, view);
    const std::vector<bool> painted = Marks();
    EXPECT_GT(Count(painted), Count(cleared));
    ExpectVertexMarksFollowTriangles();
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    EXPECT_NE(PixelAt(face), faceBefore) << "the painted face shows its marks";
    win32::WriteSnapshotIfRequested(dialog->GetSafeHwnd(), "segmentation_dialog_painted");

    Click(IDC_SEGMENTATION_UNDO);
    EXPECT_EQ(Marks(), cleared) << "undo restores the marks before the last stroke";
    ExpectVertexMarksFollowTriangles();
}

TEST_F(SegmentationDialog, AStrokeThatChangesNoMarkLeavesUndoToTheStrokeBefore)
{
    const stMachinedPart part = Turned();
    Open(part);
    const POINT face = ScreenOf(part, part.width * 0.25, part.depth * 0.5, part.height);
    const auto stroke = [&](POINT a, POINT b)
    {
        ASSERT_TRUE(mode->OnLButtonDown(a, MK_LBUTTON, view));
        mode->OnMouseMove(b, MK_LBUTTON, view);
        mode->OnLButtonUp(b, 0, view);
    };
    stroke(face, POINT{face.x + 10, face.y});
    const std::vector<bool> painted = Marks();
    ASSERT_GT(Count(painted), 0);
    // Over the background, then over the marks already there.
    stroke(POINT{2, 2}, POINT{12, 3});
    stroke(face, POINT{face.x + 10, face.y});
    ASSERT_EQ(Marks(), painted);
    Click(IDC_SEGMENTATION_UNDO);
    EXPECT_EQ(Count(Marks()), 0) << "Undo takes back the painted marks";
    ExpectVertexMarksFollowTriangles();
}

// A click with the brush, then a stroke begun on the same spot 200 ms
// later: the second press arrived as a double click, which painting
// dropped, so the stroke marked nothing beyond the click's circle.
TEST_F(SegmentationDialog, AStrokeBegunRightAfterABrushClickOnTheSameSpotMarksItsPath)
{
    const stMachinedPart part = Turned();
    Open(part);
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    const POINT face = ScreenOf(part, part.width * 0.25, part.depth * 0.5, part.height);
    const POINT end{face.x + 40, face.y + 6};
    const auto stroke = [&]
    {
        viewinput::Move(view, face);
        viewinput::Inject(view, WM_LBUTTONDOWN, face);
        viewinput::Move(view, end);
        viewinput::Inject(view, WM_LBUTTONUP, end);
    };
    win32::UseManualClock(10000);
    stroke();
    const int alone = Count(Marks());
    Click(IDC_SEGMENTATION_UNDO);
    ASSERT_EQ(Count(Marks()), 0);
    win32::AdvanceClock(2000);
    viewinput::Click(view, face);
    const int circle = Count(Marks());
    win32::AdvanceClock(200);
    stroke();
    win32::UseSystemClock();
    ASSERT_GT(circle, 0);
    ASSERT_GT(alone, circle);
    EXPECT_EQ(Count(Marks()), alone);
    ExpectVertexMarksFollowTriangles();
    // A wand double click is one wand click: the triangle it takes stays
    // marked (a second click would unmark it).
    view->SendMessage(WM_COMMAND, kCmdPaintWand, 0);
    const POINT other = ScreenOf(part, part.width * 0.75, part.depth * 0.5, part.height);
    win32::UseManualClock(20000);
    viewinput::Click(view, other);
    win32::AdvanceClock(200);
    viewinput::Click(view, other);
    win32::UseSystemClock();
    ASSERT_NE(view->GetActiveObject(), nullptr);
    EXPECT_TRUE(IsVisibleSelected(*view->GetActiveObject()));
}

// A paint stroke drawn across the part and out of the view, let go over
// the dialog, marks what the same stroke let go at the view's edge marks.
// The release went to the dialog: nothing was marked and the brush went on
// painting under the cursor with the button up.
TEST_F(SegmentationDialog, AStrokeLetGoOutsideTheViewMarksWhatItCrosses)
{
    const stMachinedPart part = Turned();
    Open(part);
    mfc::PumpUntilIdle();
    view->Redraw(kFullRedraw);
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    const POINT face = ScreenOf(part, part.width * 0.25, part.depth * 0.5, part.height);
    const POINT edge{client.right - 1, face.y};
    win32::UseManualClock(10000);
    viewinput::Move(view, face);
    viewinput::Inject(view, WM_LBUTTONDOWN, face);
    viewinput::Move(view, edge);
    viewinput::Inject(view, WM_LBUTTONUP, edge);
    const std::vector<bool> atTheEdge = Marks();
    ASSERT_GT(Count(atTheEdge), 0);
    Click(IDC_SEGMENTATION_UNDO);
    ASSERT_EQ(Count(Marks()), 0);
    win32::AdvanceClock(2000); // no double click
    viewinput::Move(view, face);
    viewinput::Inject(view, WM_LBUTTONDOWN, face);
    viewinput::Move(view, edge);
    POINT outside{client.right + 40, face.y};
    ::ClientToScreen(view->GetSafeHwnd(), &outside);
    ASSERT_NE(::WindowFromPoint(outside), view->GetSafeHwnd());
    win32::InjectMouseMove(outside);
    mfc::PumpUntilIdle();
    win32::InjectMouseButton(WM_LBUTTONUP, outside);
    mfc::PumpUntilIdle();
    EXPECT_EQ(Marks(), atTheEdge) << Count(Marks()) << " marked, " << Count(atTheEdge) << " at the edge";
    win32::UseSystemClock();
}

TEST_F(SegmentationDialog, SplitWithoutMarksSaysSoAndChangesNothing)
{
    Open(stMachinedPart{});
    win32::PromptAnswer answer;
    answer.kind = win32::kMessageBoxPrompt;
    answer.expect = L"Nothing to split. Select triangles first.";
    answer.result = IDOK;
    win32::QueuePromptAnswer(answer);
    Click(IDC_SEGMENTATION_SPLIT);
    EXPECT_FALSE(win32::IsDialogEnded(dialog->GetSafeHwnd())) << "the dialog stays open";
    ASSERT_EQ(doc.Objects().size(), 1u);
    EXPECT_EQ(doc.Objects()[0], host);
}

TEST_F(SegmentationDialog, SplitAfterTheScanWasReplacedLeavesTheNewMeshAsItIs)
{
    Open(stMachinedPart{});
    Click(IDC_SEGMENTATION_DETECT);
    ASSERT_GT(Count(Marks()), 0);
    // Another tool puts another scan in the scan's place (same id) while
    // the window is open: the marks were made on the scan that went.
    stMachinedPart other;
    other.width = 50.0;
    const ON_Mesh otherMesh = other.Build();
    const CDezazObject* replaced = doc.ReplaceObject(CDezazObjRef(host), otherMesh);
    ASSERT_NE(replaced, nullptr);
    win32::PromptAnswer answer;
    answer.kind = win32::kMessageBoxPrompt;
    answer.expect = L"There is no active mesh.";
    answer.result = IDOK;
    win32::QueuePromptAnswer(answer);
    Click(IDC_SEGMENTATION_SPLIT);
    EXPECT_FALSE(win32::IsDialogEnded(dialog->GetSafeHwnd())) << "the dialog stays open";
    ASSERT_EQ(doc.Objects().size(), 1u);
    EXPECT_EQ(doc.Objects()[0], replaced);
    EXPECT_EQ(dynamic_cast<const CDezazMeshObject*>(replaced)->Mesh()->m_F.Count(), otherMesh.m_F.Count());
}

TEST_F(SegmentationDialog, ASplitThatWouldLoseTrianglesTheCopyMergedSaysSoAndLeavesTheScanAsItWas)
{
    // The part modelled in metres: its points lie about 0.0001 apart, and
    // the window's copy welds about half its triangles away.
    stMachinedPart part;
    part.width = 0.060, part.depth = 0.040, part.height = 0.016;
    part.holeRadius = part.roundRadius = 0.006;
    part.translation[0] = 2.5, part.translation[1] = -1.3, part.translation[2] = 0.7;
    Open(part);
    ASSERT_EQ(Mesh().GetTriangleCount(), 97072u);
    // A stroke across the top face marks what a split would take apart.
    const POINT from = ScreenOf(part, part.width * 0.25, part.depth * 0.5, part.height);
    const POINT to = ScreenOf(part, part.width * 0.25, part.depth * 0.1, part.height);
    ASSERT_TRUE(mode->OnLButtonDown(from, MK_LBUTTON, view));
    mode->OnMouseMove(to, MK_LBUTTON, view);
    mode->OnLButtonUp(to, 0, view);
    ASSERT_GT(Count(Marks()), 0);

    win32::PromptAnswer answer;
    answer.kind = win32::kMessageBoxPrompt;
    answer.expect = L"(92624 of 189696 triangles): a split would lose them, so nothing was split.";
    answer.result = IDOK;
    win32::QueuePromptAnswer(answer);
    Click(IDC_SEGMENTATION_SPLIT);
    EXPECT_FALSE(win32::IsDialogEnded(dialog->GetSafeHwnd())) << "the dialog stays open";
    ASSERT_EQ(doc.Objects().size(), 1u);
    EXPECT_EQ(doc.Objects()[0], host);
    EXPECT_EQ(host->Mesh()->m_F.Count(), triangles);
}

TEST_F(SegmentationDialog, ASplitGoesOnWhenTheCopyMergedOnlyAFewSlivers)
{
    // Three needles whose two near corners lie one float step apart (about
    // 0.00006 this far out), as a big scan has here and there: the copy
    // drops them, and the split goes on.
    ON_Mesh mesh = stMachinedPart{}.Build();
    for (int k = 0; k < 3; ++k)
    {
        const ON_3fPoint a = mesh.m_V[k * 100];
        const int first = mesh.m_V.Count();
        mesh.m_V.Append(a);
        mesh.m_V.Append(ON_3fPoint(a.x, a.y, std::nextafter(a.z, 2000.0f)));
        mesh.m_V.Append(ON_3fPoint(a.x, a.y + 1.0f, a.z));
        ON_MeshFace& face = mesh.m_F.AppendNew();
        face.vi[0] = first, face.vi[1] = first + 1, face.vi[2] = face.vi[3] = first + 2;
    }
    // Faces of no area (two corners at the same point under two numbers),
    // which the copy drops too, lose nothing: a few hundred of them stay
    // out of the count.
    const int needles = 3, flat = 300;
    for (int k = 0; k < flat; ++k)
    {
        const int first = mesh.m_V.Count();
        const ON_3fPoint a = mesh.m_V[k];
        mesh.m_V.Append(a);
        mesh.m_V.Append(a);
        mesh.m_V.Append(ON_3fPoint(a.x + 1.0f, a.y, a.z));
        ON_MeshFace& face = mesh.m_F.AppendNew();
        face.vi[0] = first, face.vi[1] = first + 1, face.vi[2] = face.vi[3] = first + 2;
    }
    Open(mesh);
    Click(IDC_SEGMENTATION_DETECT);
    Click(IDC_SEGMENTATION_SPLIT);
    EXPECT_TRUE(win32::IsDialogEnded(dialog->GetSafeHwnd())) << "a split closes the dialog";
    int total = 0;
    for (const CDezazObject* o : doc.Objects())
        total += dynamic_cast<const CDezazMeshObject*>(o)->Mesh()->m_F.Count();
    EXPECT_GT(doc.Objects().size(), 1u);
    EXPECT_EQ(total, triangles - needles - flat);
}

TEST_F(SegmentationDialog, TheViewAlwaysComesBackToPaintingAndItsMenuHasNoWand)
{
    Open(stMachinedPart{});
    // Escape does not end painting.
    MSG msg{};
    msg.hwnd = view->GetSafeHwnd();
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_ESCAPE;
    dialog->PreTranslateMessage(&msg);
    view->SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(view->GetActiveMode(), mode);
    // A navigation mode rests on it and painting resumes when it ends.
    view->StartRotateMode();
    EXPECT_NE(view->GetActiveMode(), mode);
    view->SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(view->GetActiveMode(), mode);
    EXPECT_EQ(view->GetToolModeId(), kSegmentationModeId);

    // The painting mode leaves the view's own commands to the view.
    float min[3], max[3], min2[3], max2[3];
    view->GetCamera()->GetSceneBox(min, max);
    view->SendMessage(WM_COMMAND, kCmdZoomIn, 0);
    view->GetCamera()->GetSceneBox(min2, max2);
    EXPECT_LT(max2[0] - min2[0], max[0] - min[0]) << "zoomed in";
    view->SendMessage(WM_COMMAND, kCmdSelectionZoomAll, 0);
    view->GetCamera()->GetSceneBox(min2, max2);
    EXPECT_NEAR(max2[0] - min2[0], max[0] - min[0], 1e-3 * (max[0] - min[0])) << "Zoom All from the menu";
    EXPECT_EQ(view->GetActiveMode(), mode);
    EXPECT_EQ(view->GetContextMenuResource(), UINT(3011));

    AFX_MANAGE_STATE(&state);
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(kSelectionContextMenu));
    CMenu* popup = menu.GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    mode->UpdateContextMenu(popup);
    EXPECT_EQ(popup->GetMenuState(kCmdMagicWand, MF_BYCOMMAND), UINT(-1));
    EXPECT_EQ(popup->GetMenuState(kCmdDeselectAll, MF_BYCOMMAND), UINT(-1));
    EXPECT_EQ(popup->GetMenuState(kCmdFreeFormFilled, MF_BYCOMMAND), UINT(-1)) << "the tool in use";
    EXPECT_NE(popup->GetMenuState(kCmdFreeForm, MF_BYCOMMAND), UINT(-1));
}

TEST_F(SegmentationDialog, ToolButtonsChooseTheStrokeAndTheFrontFacingSwitchIsKept)
{
    Open(stMachinedPart{});
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolFreeHandFilled)) << "the view starts with the filled brush";
    Click(IDC_SEGMENTATION_PAINT);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolFreeHand));
    EXPECT_EQ(::SendDlgItemMessageW(dialog->GetSafeHwnd(), IDC_SEGMENTATION_PAINT_FILLED, BM_GETCHECK, 0, 0),
              BST_UNCHECKED);
    Click(IDC_SEGMENTATION_LINE);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolLine));
    // A control's notification is no command.
    view->SendMessage(WM_COMMAND, MAKEWPARAM(kCmdPaintFreeHand, 1),
                      reinterpret_cast<LPARAM>(::GetDlgItem(dialog->GetSafeHwnd(), IDC_SEGMENTATION_PAINT)));
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolLine));
    // The context menu's tools go through the dialog's buttons.
    view->SendMessage(WM_COMMAND, kCmdFreeFormFilled, 0);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolFreeHandFilled));
    EXPECT_EQ(::SendDlgItemMessageW(dialog->GetSafeHwnd(), IDC_SEGMENTATION_PAINT_FILLED, BM_GETCHECK, 0, 0),
              BST_CHECKED);

    EXPECT_TRUE(dialog->IsFrontFacingOnly());
    // A click turns the check box over, then the dialog reads it.
    Click(IDC_SEGMENTATION_FRONT_ONLY);
    EXPECT_FALSE(dialog->IsFrontFacingOnly());
    int stored = -1;
    EXPECT_TRUE(store.ReadInt(kFrontFacingSection, kFrontFacingValue, &stored));
    EXPECT_EQ(stored, 0);
    int reverse = 0;
    EXPECT_TRUE(store.ReadInt(L"Preferences\\MouseNavigation", L"ReverseWheelZooming", &reverse));
    EXPECT_EQ(reverse, 1);
}

TEST_F(SegmentationDialog, AStoredFrontFacingValueOtherThanZeroOrOneIsReadAsTheShapesDialogReadsIt)
{
    // The shapes dialog shares the setting and takes any value but 0 as on:
    // "5" (an edited registry, another version) is on here too, shown and
    // used alike, and stored back as 1.
    store.WriteInt(kFrontFacingSection, kFrontFacingValue, 5);
    Open(stMachinedPart{});
    EXPECT_TRUE(dialog->IsFrontFacingOnly());
    EXPECT_EQ(::SendDlgItemMessageW(dialog->GetSafeHwnd(), IDC_SEGMENTATION_FRONT_ONLY, BM_GETCHECK, 0, 0),
              BST_CHECKED);
    int stored = -1;
    EXPECT_TRUE(store.ReadInt(kFrontFacingSection, kFrontFacingValue, &stored));
    EXPECT_EQ(stored, 1);
}

TEST_F(SegmentationDialog, TheWandRemembersTheTriangleUnderTheCursorAndTheToolbarIsBuilt)
{
    stMachinedPart part;
    Open(part);
    EXPECT_EQ(view->GetToolbarButtonCount(), 12u) << "zoom, navigation and the seven standard views";
    view->SendMessage(WM_COMMAND, kCmdPaintWand, 0);
    EXPECT_EQ(mode->GetTool(), std::uint32_t(kToolMagicWand));
    EXPECT_EQ(view->GetActiveObject(), nullptr);

    const POINT face = ScreenOf(part, part.width * 0.25, part.depth * 0.5, part.height);
    ASSERT_TRUE(mode->OnLButtonDown(face, MK_LBUTTON, view));
    mode->OnLButtonUp(face, 0, view);
    EXPECT_EQ(Count(Marks()), 0) << "the click itself marks nothing";
    cMeshTriangle* hit = view->GetActiveObject();
    ASSERT_NE(hit, nullptr);
    EXPECT_TRUE(IsVisibleSelected(*hit)) << "an unmarked triangle is marked when it is taken";
    const cVertex* corner = Mesh().GetVertex(hit->vertexIndex[0]);
    EXPECT_NEAR(corner->z, float(part.translation[2] + part.height), 1e-3) << "on the top face";
    // Taken again while marked, it is unmarked.
    view->SetActiveObject(hit);
    EXPECT_FALSE(IsVisibleSelected(*view->GetActiveObject()));
}
