// The network editing mode on a real shapes view: a bent sheet of mesh facing
// the viewer far from the origin, a curve-network shape as the current shape,
// and a page that keeps the undo list and the panels' settings as the Curves
// page does.
#pragma once

#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/network_edit_mode.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/clock.h"
#include "platform/win32/input.h"
#include "platform/win32/tests/support/temp_registry.h"
#include "shapes/interactive_section_plane.h"
#include "shapes/network_surface.h"
#include "shapes/spline_section_curve.h"
#include "stub_shapes_view_owner.h"
#include "support/view_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace networktest
{

using P3 = std::array<float, 3>;
// Node positions per curve, in network order.
using NetworkNodes = std::vector<std::vector<P3>>;

inline NetworkNodes NodesOf(ST_ISectionCurve* network)
{
    NetworkNodes all;
    if (!network)
        return all;
    for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
    {
        all.emplace_back();
        if (const tPolyline<cVertex>* nodes = network->GetSegment(i)->GetDefiningPoints())
            for (const cVertex& v : nodes->vertices)
                all.back().push_back({v.x, v.y, v.z});
    }
    return all;
}

class Owner : public StubShapesViewOwner
{
public:
    ISceneObject* CurrentShapeObject() override { return shape; }
    bool OnViewCommand(UINT id) override { return commands.push_back(id), true; }

    ISceneObject* shape = nullptr;
    std::vector<UINT> commands;
};

class Page : public INetworkEditPage
{
public:
    ST_IProfiledSurface* Surface() const
    {
        return shape ? static_cast<ST_IProfiledSurface*>(shape->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
    }
    void PushUndoState() override
    {
        ST_ISectionCurve* network = Surface() ? Surface()->GetProfileCurve() : nullptr;
        if (!network)
            return;
        std::unique_ptr<ST_ISectionCurve> copy = network->Clone();
        copy->Assign(*network);
        undo.push_back(std::move(copy));
        pushed.push_back(NodesOf(network));
        pushedFor.push_back(shape);
    }
    void ClearUndoStates() override
    {
        undo.clear();
        pushed.clear();
        pushedFor.clear();
    }
    void Undo() override { UndoOn(Surface()); }
    void UndoOn(ST_IProfiledSurface* surface) override
    {
        if (undo.empty())
            return;
        std::unique_ptr<ST_ISectionCurve> entry = std::move(undo.back());
        undo.pop_back();
        pushed.pop_back();
        pushedFor.pop_back();
        if (surface)
            surface->SetProfile(entry.get(), 0);
        ++undone;
    }
    std::size_t GetUndoCount() const override { return undo.size(); }
    void DropLastUndoState() override
    {
        if (undo.empty())
            return;
        undo.pop_back();
        pushed.pop_back();
        pushedFor.pop_back();
    }
    void DropUndoStateAt(std::size_t index) override
    {
        if (index >= undo.size())
            return;
        undo.erase(undo.begin() + std::ptrdiff_t(index));
        pushed.erase(pushed.begin() + std::ptrdiff_t(index));
        pushedFor.erase(pushedFor.begin() + std::ptrdiff_t(index));
    }
    void ShowSubState(std::uint32_t state) override { shown = state; }
    void RefreshSectionButtons() override { ++buttonsRefreshed; }
    void BeginNetworkDisplay() override { ++displayBegun; }
    void EndNetworkDisplay() override { ++displayEnded; }
    bool HasWindow() const override { return true; }
    bool IsPreserveG1() const override { return preserveG1; }
    double TangencyCreaseAngle() const override { return 45.0; }
    void TogglePreserveG1() override { preserveG1 = !preserveG1; }
    void ToggleSubSampling() override { subSampling = !subSampling; }
    void ToggleKeepNodesOnMesh() override { keepOnMesh = !keepOnMesh; }
    bool IsSubSampling() const override { return subSampling; }
    std::int32_t SubSamplingCount() const override { return sampleCount; }
    bool KeepNodesOnMesh() const override { return keepOnMesh; }
    int SnappingValue() const override { return 1; }
    void ResetSectionPlane() override
    {
        plane.Begin(planeCentre, 40.0);
        plane.MoveTo(planeCentre);
        plane.SetNormal({1.0f, 0.0f, 0.0f});
    }
    bool IsPreviewValid() const override { return false; }
    void RecomputeSections() override { ++recomputed; }
    const tPolylineCollection<tFramePolyline<cVertex>>& SectionPreview() override { return preview; }
    std::int32_t SectionPointCount() const override { return 0; }
    void SetGuideParameter(double t) override { guide = t; }
    void UpdatePositionField() override { ++positionUpdates; }
    void AcceptSections() override { ++accepted; }
    void LeavePickerAndModify() override { ++leftPicker; }
    ST_CInteractiveSectionPlane* SectionPlane() override { return &plane; }
    void DiscardSectionPolylines() override {}
    ST_ISectionCurve* ActiveProfile() override { return Surface() ? Surface()->GetProfileCurve() : nullptr; }

    ISceneObject* shape = nullptr;
    std::vector<std::unique_ptr<ST_ISectionCurve>> undo;
    std::vector<NetworkNodes> pushed;
    // The shape that was current when each copy was saved.
    std::vector<ISceneObject*> pushedFor;
    std::uint32_t shown = 99;
    int displayBegun = 0, displayEnded = 0, recomputed = 0, positionUpdates = 0, accepted = 0, leftPicker = 0;
    int undone = 0;
    int buttonsRefreshed = 0;
    bool preserveG1 = false, subSampling = false, keepOnMesh = true;
    std::int32_t sampleCount = 3;
    ST_CInteractiveSectionPlane plane;
    t3DPoint<float> planeCentre{0.0f, 0.0f, 0.0f};
    tPolylineCollection<tFramePolyline<cVertex>> preview;
    double guide = 0.0;
};

class NetworkView : public ::testing::Test
{
protected:
    // Large enough that a node's 25-pixel pick cube leaves the middle of a
    // segment to its curve.
    static constexpr int kWidth = 480, kHeight = 360;
    static constexpr double kOrigin[3] = {-3100.0, 780.0, 2650.0};
    static constexpr int kColumns = 30, kRows = 20;

    void SetUp() override
    {
        win32::ResetInputState();
        win32::UseManualClock(5000);
        owner.shape = &shape;
        page.shape = &shape;
        view = new cCPView(&owner, &owner);
        fixture.Open(view, kWidth, kHeight);
        // A sheet facing the viewer, 60 x 40 mm, bent gently along its rows.
        const double* t = view->GetCamera()->GetViewTransform();
        for (int k = 0; k < 3; ++k)
        {
            right[k] = t[k];
            up[k] = t[4 + k];
            toward[k] = t[8 + k];
        }
        auto* object = new cMeshObject();
        mesh = object->GetMesh();
        for (int j = 0; j <= kRows; ++j)
            for (int i = 0; i <= kColumns; ++i)
            {
                const P3 p = SheetPoint(2.0 * i, 2.0 * j);
                mesh->AddVertex(p.data());
            }
        for (int j = 0; j < kRows; ++j)
            for (int i = 0; i < kColumns; ++i)
            {
                const std::uint32_t v = std::uint32_t(j * (kColumns + 1) + i);
                mesh->AddTriangle(v, v + 1, v + kColumns + 2);
                mesh->AddTriangle(v, v + kColumns + 2, v + kColumns + 1);
            }
        mesh->Update();
        fixture.scene->AddObject(object);
        view->ZoomAll();
        const P3 centre = SheetPoint(30.0, 20.0);
        page.planeCentre = {centre[0], centre[1], centre[2]};
        page.ResetSectionPlane();
        SetNetworkEditPage(view, &page);
        ASSERT_TRUE(view->StartToolMode(kModeEditNetwork, nullptr));
        mode = dynamic_cast<CUIM_EditNetwork*>(view->GetActiveMode());
        ASSERT_NE(mode, nullptr);
        Paint();
    }
    void TearDown() override
    {
        if (view)
            fixture.Close();
        SetNetworkEditPage(view, nullptr);
        SetShapesViewModeMaker(kModeEditNetwork, nullptr);
        win32::UseSystemClock();
        win32::ResetInputState();
    }

    // The sheet's point at (u, v) mm from its corner: the bend lifts it
    // towards the viewer by up to 4.5 mm in the middle of its rows.
    P3 SheetPoint(double u, double v) const
    {
        const double bend = 0.005 * (u - 30.0) * (u - 30.0);
        P3 p{};
        for (int k = 0; k < 3; ++k)
            p[k] = float(kOrigin[k] + u * right[k] + v * up[k] - bend * toward[k]);
        return p;
    }

    ST_ISectionCurve* Network() const { return mode ? mode->GetNetwork() : nullptr; }
    std::uint32_t CurveCount() const { return Network() ? Network()->GetSegmentCount() : 0; }

    // A spline through the sheet points (u, v) added to the network.
    ST_ISectionCurve* AddCurve(const std::vector<std::array<double, 2>>& uv)
    {
        auto curve = std::make_unique<ST_TSplineCurve<Dezaz_Wire>>();
        double id[12];
        MakeIdentity3x4(id);
        tPolyline<cVertex> polyline;
        for (const auto& [u, v] : uv)
            polyline.AddFloatPoint(SheetPoint(u, v).data());
        EXPECT_TRUE(curve->FitToPolyline(id, polyline, 0.0, 0));
        ST_ISectionCurve* raw = curve.release();
        Network()->AddCurve(raw);
        Paint();
        return raw;
    }

    // A full redraw: the frame and the mode's pick pass.
    void Paint()
    {
        mfc::PumpUntilIdle();
        view->Redraw(kFullRedraw);
    }
    POINT Screen(const P3& p) const { return testview::ScreenOf(view, p.data()); }
    POINT Screen(const cVertex& v) const { return testview::ScreenOf(view, v.Position()); }
    POINT ScreenUV(double u, double v) const { return Screen(SheetPoint(u, v)); }
    // The screen point of a fraction along a network curve.
    POINT OnCurve(ST_ISectionCurve* curve, double fraction) const
    {
        t3DPoint<double> p{};
        EXPECT_TRUE(curve->EvaluateInWorld(fraction, &p, nullptr, nullptr));
        const P3 q{float(p.x), float(p.y), float(p.z)};
        return Screen(q);
    }

    void Command(UINT id) { ::SendMessageW(view->GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }
    void Move(POINT p) { testview::Move(view, p); }
    void Down(POINT p) { testview::Press(view, WM_LBUTTONDOWN, p); }
    void Up(POINT p)
    {
        testview::Press(view, WM_LBUTTONUP, p);
        Paint();
    }
    // A click that is never taken for the second half of a double click.
    void Click(POINT p)
    {
        win32::AdvanceClock(2000);
        Move(p);
        Down(p);
        Up(p);
    }
    void DoubleClick(POINT p)
    {
        win32::AdvanceClock(2000);
        Move(p);
        Down(p);
        Up(p);
        Down(p);
        Up(p);
    }
    void Drag(POINT from, POINT to, int steps = 4)
    {
        win32::AdvanceClock(2000);
        Move(from);
        Down(from);
        for (int s = 1; s <= steps; ++s)
            Move(POINT{from.x + (to.x - from.x) * s / steps, from.y + (to.y - from.y) * s / steps});
        Up(to);
    }
    void Key(BYTE vk, bool down)
    {
        win32::InjectKey(vk, down);
        mfc::PumpUntilIdle();
    }
    void Escape()
    {
        Key(VK_ESCAPE, true);
        Key(VK_ESCAPE, false);
    }
    int Cursor() { return mode->OnSetCursor(view, HTCLIENT, WM_MOUSEMOVE); }

    // Menu 3060 as the mode prepares it.
    std::vector<UINT> MenuItems(UINT* undoState = nullptr, UINT* deleteState = nullptr)
    {
        CMenu popup;
        EXPECT_TRUE(popup.CreatePopupMenu());
        for (UINT id : {kCmdNetworkModify, kCmdNetworkExtrapolate, kCmdNetworkAddCurve, kCmdNetworkSectionPlane,
                        kCmdNetworkAccept, kCmdNetworkFitOnMesh, kCmdNetworkMerge, kCmdNetworkBreak,
                        kCmdNetworkToggleSubSampling, kCmdNetworkTogglePreserveG1, kCmdNetworkToggleKeepOnMesh,
                        UINT(kCmdNetworkUndo), UINT(kCmdNetworkDelete)})
            popup.AppendMenu(MF_STRING, id, L"item");
        mode->UpdateContextMenu(&popup);
        std::vector<UINT> left;
        for (UINT i = 0; i < popup.GetMenuItemCount(); ++i)
            left.push_back(popup.GetMenuItemID(int(i)));
        if (undoState)
            *undoState = popup.GetMenuState(kCmdNetworkUndo, MF_BYCOMMAND);
        if (deleteState)
            *deleteState = popup.GetMenuState(kCmdNetworkDelete, MF_BYCOMMAND);
        popup.DestroyMenu();
        return left;
    }

    TempRegistry registry;
    testview::ViewFixture fixture{false};
    Owner owner;
    Page page;
    Dezaz_NetworkSurfaceObject shape;
    cCPView* view = nullptr;
    CUIM_EditNetwork* mode = nullptr;
    cMesh* mesh = nullptr;
    double right[3] = {1, 0, 0}, up[3] = {0, 1, 0}, toward[3] = {0, 0, 1};
};

} // namespace networktest
