// The shapes dialog's Deviation page on a scanned plate against a fitted
// plane: the statistics text, Selection only switching itself off, the
// labels and their colours, and labels kept only for the shape they were
// picked against.
#include "analysis/analysed_vertex_tree.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/mesh_triangle.h"
#include "core/p3d_scene.h"
#include "core/registry_store.h"
#include "modes/deviation_display_mode.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "platform/host/dezaz_app.h"
#include "platform/mfc/win_app.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/win32/prompt_script.h"
#include "plugin/resource_text.h"
#include "plugin/tools/analyzer_settings.h"
#include "plugin/tools/sub_deviation_dlg.h"
#include "resources/analyzer.h"
#include "shapes/primitive_scene_objects.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>

namespace
{

class FakeOwner : public IShapesViewOwner
{
public:
    void ReapplyMagicWand(bool, bool) override {}
    ISceneObject* CurrentShapeObject() override { return shape; }
    std::wstring& HintText() override { return hint; }
    bool SelectFrontFacingOnly() const override { return false; }
    bool DrawWorldAxes() const override { return false; }
    void SetDrawWorldAxes(bool) override {}
    void SaveSelectionForUndo() override {}
    bool RestoreSelectionFromUndo() override { return false; }
    HWND QuickShapePicker(bool) override { return nullptr; }
    void HideQuickPickers() override {}
    void StartNewShape() override {}
    bool OnViewCommand(UINT) override { return false; }

    ISceneObject* shape = nullptr;
    std::wstring hint;
};

// A 21 x 21 plate at z = 400 over x 1500..1520, y -700..-680; vertex v
// lies (v mod 7 - 3) * 0.004 above the plane, so the deviations are
// -0.012 .. 0.012 in steps of 0.004.
constexpr int kSide = 21;
double OffsetOf(int v)
{
    return (v % 7 - 3) * 0.004;
}

cMeshObject* MakePlate()
{
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    for (int j = 0; j < kSide; ++j)
        for (int i = 0; i < kSide; ++i)
        {
            const float p[3] = {1500.0f + i, -700.0f + j, float(400.0 + OffsetOf(j * kSide + i))};
            mesh.AddVertex(p);
        }
    for (int j = 0; j + 1 < kSide; ++j)
        for (int i = 0; i + 1 < kSide; ++i)
        {
            const std::uint32_t v = std::uint32_t(j * kSide + i);
            mesh.AddTriangle(v, v + 1, v + kSide + 1);
            mesh.AddTriangle(v, v + kSide + 1, v + kSide);
        }
    mesh.Update();
    return object;
}

Dezaz_PlaneObject* MakePlane(double z)
{
    auto* object = new Dezaz_PlaneObject();
    const double origin[3] = {1510.0, -690.0, z}, x[3] = {1, 0, 0}, y[3] = {0, 1, 0};
    object->GetGeometry()->SetFrameFromAxes(origin, x, 15.0, y, 15.0);
    return object;
}

class DeviationPage : public ::testing::Test
{
protected:
    void SetUp() override
    {
        win32::ClearPromptAnswers();
        std::string error;
        const auto include = [](const std::string& name) -> std::optional<std::string> {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        ASSERT_TRUE(win32::RegisterResourceScript(module, kVtlResourceScript, include, &error)) << error;
        state.m_hCurrentInstanceHandle = module;
        state.m_hCurrentResourceHandle = module;
        store.Init(L"VtlTests", L"DeviationPage");
        const wchar_t tolerance[] = L"0.005";
        store.WriteValue(kAnalyzerSection, L"Tolerance", REG_SZ, tolerance, DWORD(sizeof tolerance / sizeof(wchar_t) * 2));
        store.WriteInt(kAnalyzerSection, L"CompareSelectionOnly", 1);
        scene = std::make_unique<cP3DScene>(&store);
        plate = MakePlate();
        scene->AddObject(plate);
        view = std::make_unique<cCPView>(nullptr, &owner);
        view->AttachScene(scene.get());
        plane = MakePlane(400.0);
        owner.shape = plane;
        AFX_MANAGE_STATE(&state);
        page = std::make_unique<CSubDeviationDlg>(nullptr, view.get(), &store, nullptr);
        parent = ::CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(parent, nullptr);
        ASSERT_TRUE(page->CreatePage(CWnd::FromHandle(parent)));
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        page.reset();
        if (parent)
            ::DestroyWindow(parent);
        view.reset();
        scene.reset();
        // Plain scene objects outside a scene: their owner deletes them.
        delete plane;
        delete other;
        win32::UnregisterResources(module);
    }
    const cVTL_AVTree* Tree() const
    {
        return dynamic_cast<const cVTL_AVTree*>(plate->FindAttachedProperty(kAnalyzerInfoPropertyName));
    }
    std::wstring Text(int id) const
    {
        wchar_t text[256] = {};
        ::GetWindowTextW(::GetDlgItem(page->GetSafeHwnd(), id), text, 256);
        return text;
    }

    // Settings of this test alone: tests run side by side in other processes.
    TempRegistry registry;
    HINSTANCE module = reinterpret_cast<HINSTANCE>(0x9470000);
    AFX_MODULE_STATE state;
    cRegistryStore store;
    std::unique_ptr<cP3DScene> scene;
    cMeshObject* plate = nullptr;
    FakeOwner owner;
    std::unique_ptr<cCPView> view;
    Dezaz_PlaneObject* plane = nullptr;
    Dezaz_PlaneObject* other = nullptr;
    std::unique_ptr<CSubDeviationDlg> page;
    HWND parent = nullptr;
};

} // namespace

TEST_F(DeviationPage, WithoutASelectionItMeasuresEveryVertexAndSaysHowMany)
{
    EXPECT_EQ(FindDeviationPage(view.get()), page.get());
    EXPECT_TRUE(page->SelectionOnly());
    page->UpdateDeviationInfo(false);
    // No selected triangle: Selection only switches itself off.
    EXPECT_FALSE(page->SelectionOnly());
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_SHOW_MIN_MAX)));
    int stored = -1;
    ASSERT_TRUE(store.ReadInt(kAnalyzerSection, L"CompareSelectionOnly", &stored));
    EXPECT_EQ(stored, 0);

    const cVTL_AVTree* tree = Tree();
    ASSERT_NE(tree, nullptr);
    const int n = kSide * kSide;
    int in = 0, above = 0, below = 0;
    double squares = 0.0;
    for (int v = 0; v < n; ++v)
    {
        const double d = OffsetOf(v);
        EXPECT_NEAR(tree->GetRecord(std::uint32_t(v))->deviation, d, 1e-4) << v;
        squares += d * d;
        (d < -0.005 ? below : d > 0.005 ? above : in) += 1;
    }
    wchar_t expected[256];
    std::swprintf(expected, 256,
                  L"Points compared: %d\nIn Tolerance: %d / %.2f%%\nAbove Tolerance: %d / %.2f%%\nBelow Tolerance: "
                  L"%d / %.2f%% \nRMS: %.3f",
                  n, in, in * 100.0 / n, above, above * 100.0 / n, below, below * 100.0 / n, std::sqrt(squares / n));
    EXPECT_EQ(std::wstring(page->InfoText()), expected);
    EXPECT_EQ(Text(IDC_ANALYZER_INFO), expected);
    // Scene colours: the ramp toned down, green inside the band.
    const cVertex* middle = plate->GetMesh()->GetVertex(3); // offset 0
    EXPECT_EQ(middle->extra[0], 0);
    EXPECT_EQ(middle->extra[1], 153);
    EXPECT_EQ(middle->extra[2], 0);
}

TEST_F(DeviationPage, LabelsCarryTheVertexColourAndStayOnlyWithTheirShape)
{
    page->UpdateDeviationInfo(false);
    const cVertex* v = plate->GetMesh()->GetVertex(6); // offset +0.012
    const float near[3] = {v->x + 0.2f, v->y + 0.1f, v->z};
    ASSERT_TRUE(page->AddPickedPoint(plate, near));
    ASSERT_EQ(page->PageLabels().size(), 1u);
    const stDeviationPageLabel& label = page->PageLabels()[0];
    EXPECT_EQ(label.point[0], v->x);
    EXPECT_NEAR(label.deviation, 0.012, 1e-4);
    EXPECT_EQ(label.rgb[0], v->extra[0]);
    EXPECT_EQ(label.rgb[1], v->extra[1]);
    EXPECT_GT(label.rgb[0], 100); // red: above the band

    // The same shape measured again keeps the label.
    page->UpdateDeviationInfo(false);
    EXPECT_EQ(page->PageLabels().size(), 1u);
    // Another shape: the labels were picked against the old one and go.
    other = MakePlane(400.001);
    owner.shape = other;
    page->UpdateDeviationInfo(false);
    EXPECT_TRUE(page->PageLabels().empty());
    // A scene object without the page's analysis gives no label.
    EXPECT_FALSE(page->AddPickedPoint(other, near));
    EXPECT_FALSE(page->ClearLabels());
}

TEST_F(DeviationPage, APlateBeyondTheSearchDistanceLeavesTheTextEmpty)
{
    other = MakePlane(401.0); // 1 mm away; the limit is 5 x 0.005
    owner.shape = other;
    page->UpdateDeviationInfo(false);
    EXPECT_EQ(std::wstring(page->InfoText()), L"");
    // Without a shape nothing is measured.
    owner.shape = nullptr;
    page->UpdateDeviationInfo(false);
    EXPECT_EQ(std::wstring(page->InfoText()), L"");
}

TEST_F(DeviationPage, AShapeWithoutAMeshLeavesNothingOfTheLastShapeShown)
{
    page->UpdateDeviationInfo(false);
    ASSERT_FALSE(std::wstring(page->InfoText()).empty());
    const cVertex* v = plate->GetMesh()->GetVertex(6);
    const float near[3] = {v->x, v->y, v->z};
    ASSERT_TRUE(page->AddPickedPoint(plate, near));
    // A shape whose surface cannot be built, then none at all: the text,
    // the labels, the extremes and the colours all say that nothing was
    // measured.
    other = new Dezaz_PlaneObject();
    for (ISceneObject* shape : {static_cast<ISceneObject*>(other), static_cast<ISceneObject*>(nullptr)})
    {
        owner.shape = shape;
        page->UpdateDeviationInfo(false);
        EXPECT_EQ(std::wstring(page->InfoText()), L"") << shape;
        EXPECT_TRUE(page->PageLabels().empty());
        ASSERT_NE(Tree(), nullptr);
        EXPECT_FALSE(Tree()->GetStatistics().valid);
        EXPECT_EQ(Tree()->GetRecord(6)->deviation, FLT_MAX);
        EXPECT_EQ(v->extra[0], 30);
        EXPECT_EQ(v->extra[1], 30);
    }
}

TEST_F(DeviationPage, SelectionOnlyHoldsWhileATriangleIsSelectedAndLeavesTheViewsDisplayWhenItGoes)
{
    cMeshTriangle* first = plate->GetMesh()->GetTriangle(0);
    first->flags |= kTriangleFlagSelected;
    SetDeviationSelectionOnly(view.get(), true);
    page->UpdateDeviationInfo(false);
    EXPECT_TRUE(page->SelectionOnly()) << "the first triangle is selected";
    EXPECT_EQ(scene->m_deviationSelectionOnly, 1);
    first->flags &= std::uint8_t(~kTriangleFlagSelected);
    page->UpdateDeviationInfo(false);
    EXPECT_FALSE(page->SelectionOnly());
    EXPECT_EQ(scene->m_deviationSelectionOnly, 0) << "the view shows every vertex again";
}

TEST_F(DeviationPage, ATypedToleranceThatCannotDriveTheScaleIsNeitherStoredNorShown)
{
    page->UpdateDeviationInfo(false);
    const HWND edit = ::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_TOLERANCE);
    ::SetWindowTextW(edit, L"0");
    std::wstring error;
    ASSERT_TRUE(dezaz::QueueScriptAnswer(std::wstring(L"MessageBox OK ") + kBadToleranceText, error));
    AFX_MANAGE_STATE(&state);
    ::SendMessageW(page->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_ANALYZER_APPLY, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_APPLY)));
    float stored = 0.0f;
    ASSERT_TRUE(store.ReadFloat(kAnalyzerSection, L"Tolerance", &stored));
    EXPECT_FLOAT_EQ(stored, 0.005f);
    EXPECT_EQ(Text(IDC_ANALYZER_LEGEND_TOLERANCE), L"0.005");
}

TEST_F(DeviationPage, ClearingTheLabelsRemovesThemAndTheScaleIsPainted)
{
    page->UpdateDeviationInfo(false);
    const cVertex* v = plate->GetMesh()->GetVertex(6);
    const float near[3] = {v->x, v->y, v->z};
    ASSERT_TRUE(page->AddPickedPoint(plate, near));
    EXPECT_TRUE(page->ClearLabels());
    EXPECT_TRUE(page->PageLabels().empty());

    // The legend's colour scale: red at the top, green in the middle, blue
    // at the bottom.
    ::ShowWindow(parent, SW_SHOW);
    page->ShowPage();
    const HWND scale = ::GetDlgItem(page->GetSafeHwnd(), IDC_ANALYZER_SCALE);
    ::UpdateWindow(scale);
    const wgl::PixelImage image = wgl::ReadWindowImage(scale);
    ASSERT_FALSE(image.Empty());
    const LONG x = image.width / 2;
    EXPECT_TRUE(wgl::SameColour(image.At(x, 0), wgl::Rgb(255, 0, 0), 40));
    EXPECT_TRUE(wgl::SameColour(image.At(x, image.height / 2), wgl::Rgb(0, 255, 0)));
    EXPECT_TRUE(wgl::SameColour(image.At(x, image.height - 1), wgl::Rgb(0, 0, 255), 40));
}
