// Seeded random scripts of clicks, drags, double clicks, keys and commands,
// Clear All and switches between two network shapes, against the network
// mode on a real view. After every step: nothing crashed, every network
// curve is usable, no drag outlives its button, the curve count moved only
// as the step's kind allows, the first undo copy a step saved is the network
// from before that step, a step that changed the network saved one (or
// belongs to a curve being drawn, which saved one when it began), Undo puts
// back exactly the last saved network, every undo copy and the hovered curve
// belong to the current shape, and the shape left behind stays as it was.
#include "network_edit_test_support.h"

#include <algorithm>
#include <random>
#include <sstream>

namespace
{

using namespace networktest;

enum class eStep
{
    click,
    shiftClick,
    drag,
    doubleClick,
    escape,
    modify,
    extrapolate,
    addCurve,
    sectionPlane,
    finish,
    removeLast,
    restart,
    merge,
    breakAtJoints,
    deleteSelection,
    undo,
    selectAll,
    keepOnMesh,
    preserveG1,
    subSampling,
    clearAll,
    switchShape,
    count
};

const char* Name(eStep s)
{
    static const char* names[] = {"click",   "shift-click", "drag",   "double-click", "escape",  "modify",
                                  "extrap",  "add",         "plane",  "finish",       "remove",  "restart",
                                  "merge",   "break",       "delete", "undo",         "all",     "keep",
                                  "g1",      "subsample",   "clear",  "switch"};
    return names[int(s)];
}

class NetworkScripts : public NetworkView
{
protected:
    static ST_ISectionCurve* ProfileOf(ISceneObject* object)
    {
        auto* surface = static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface));
        return surface ? surface->GetProfileCurve() : nullptr;
    }
    // A point over the sheet (mostly) or just off it.
    POINT RandomPoint(std::mt19937& rng)
    {
        std::uniform_real_distribution<double> u(-6.0, 66.0), v(-4.0, 44.0);
        // Often aim at an existing node or curve, so that picks happen.
        std::uniform_int_distribution<int> aim(0, 3);
        ST_ISectionCurve* network = Network();
        if (network && network->GetSegmentCount() > 0 && aim(rng) < 2)
        {
            std::uniform_int_distribution<std::uint32_t> which(0, network->GetSegmentCount() - 1);
            ST_ISectionCurve* curve = network->GetSegment(which(rng));
            const tPolyline<cVertex>* nodes = curve->GetDefiningPoints();
            if (aim(rng) < 2 && nodes && !nodes->IsEmpty())
            {
                std::uniform_int_distribution<std::uint32_t> node(0, nodes->GetVertexCount() - 1);
                return Screen(*nodes->GetVertex(node(rng)));
            }
            std::uniform_real_distribution<double> f(0.05, 0.95);
            return OnCurve(curve, f(rng));
        }
        return ScreenUV(u(rng), v(rng));
    }

    void Run(eStep step, std::mt19937& rng)
    {
        switch (step)
        {
        case eStep::click: Click(RandomPoint(rng)); break;
        case eStep::shiftClick:
            Key(VK_SHIFT, true);
            Click(RandomPoint(rng));
            Key(VK_SHIFT, false);
            break;
        case eStep::drag:
        {
            const POINT from = RandomPoint(rng);
            std::uniform_int_distribution<int> d(-40, 40);
            Drag(from, POINT{from.x + d(rng), from.y + d(rng)}, 3);
            break;
        }
        case eStep::doubleClick: DoubleClick(RandomPoint(rng)); break;
        case eStep::escape: Escape(); break;
        case eStep::modify: Command(kCmdNetworkModify); break;
        case eStep::extrapolate: Command(kCmdNetworkExtrapolate); break;
        case eStep::addCurve: Command(kCmdNetworkAddCurve); break;
        case eStep::sectionPlane: Command(kCmdNetworkSectionPlane); break;
        case eStep::finish: Command(kCmdNetworkFinish); break;
        case eStep::removeLast: Command(kCmdNetworkRemoveLast); break;
        case eStep::restart: Command(kCmdNetworkRestart); break;
        case eStep::merge: Command(kCmdNetworkMerge); break;
        case eStep::breakAtJoints: Command(kCmdNetworkBreak); break;
        case eStep::deleteSelection: Command(kCmdNetworkDelete); break;
        case eStep::undo: Command(kCmdNetworkUndoKey); break;
        case eStep::selectAll:
            for (std::uint32_t i = 0; i < CurveCount(); ++i)
                Network()->GetSegment(i)->selected = 1;
            break;
        case eStep::keepOnMesh: Command(kCmdNetworkToggleKeepOnMesh); break;
        case eStep::preserveG1: Command(kCmdNetworkTogglePreserveG1); break;
        case eStep::subSampling: Command(kCmdNetworkToggleSubSampling); break;
        case eStep::clearAll:
            // As the Curves page clears: the mode lets go, a copy is saved.
            mode->LetGoOfNetwork();
            page.PushUndoState();
            ClearNetwork(*page.Surface());
            break;
        case eStep::switchShape:
        {
            left = NodesOf(Network());
            leftShape = owner.shape;
            ISceneObject* next = owner.shape == &shape ? static_cast<ISceneObject*>(&second) : &shape;
            owner.shape = page.shape = next;
            // What the shapes dialog sends whenever it makes a shape current.
            Command(kCmdNetworkLeavePicker);
            takenUp = NodesOf(Network());
            break;
        }
        default: break;
        }
        Paint();
    }

    int changes = 0;
    // Switches away from and clearings of a network with curves.
    int leftOrCleared = 0;
    std::size_t mostCurves = 0;
    Dezaz_NetworkSurfaceObject second;
    // The shape last switched away from, with its network then.
    ISceneObject* leftShape = nullptr;
    NetworkNodes left;
    // The current shape's network when it was made current.
    NetworkNodes takenUp;

    // Whether a step of this kind may leave the network with fewer or more
    // curves than before.
    static bool MayRemove(eStep s)
    {
        return s == eStep::merge || s == eStep::deleteSelection || s == eStep::undo || s == eStep::clearAll;
    }
    static bool MayAdd(eStep s)
    {
        return s == eStep::doubleClick || s == eStep::finish || s == eStep::breakAtJoints || s == eStep::undo;
    }

    void RunScript(std::uint32_t seed, int steps)
    {
        std::mt19937 rng(seed);
        // Weights: pointer steps dominate, commands are rarer.
        std::discrete_distribution<int> pick(
            {10, 2, 8, 4, 2, 2, 1, 2, 1, 2, 1, 1, 2, 2, 2, 3, 1, 1, 1, 1, 1, 1});
        std::ostringstream log;
        for (int s = 0; s < steps; ++s)
        {
            const eStep step = eStep(pick(rng));
            log << Name(step) << ' ';
            const NetworkNodes before = NodesOf(Network());
            if ((step == eStep::switchShape || step == eStep::clearAll) && !before.empty())
                ++leftOrCleared;
            const std::size_t pushedBefore = page.pushed.size();
            const bool drawing = mode->GetDrawnCurve() != nullptr;
            const std::vector<NetworkNodes> stackBefore = page.pushed;
            Run(step, rng);
            SCOPED_TRACE("seed " + std::to_string(seed) + " step " + std::to_string(s) + ": " + log.str());
            const NetworkNodes after = NodesOf(Network());
            changes += after != before;
            mostCurves = std::max(mostCurves, after.size());
            ASSERT_FALSE(mode->IsNodeDragging()) << "a drag outlived its button";
            for (std::uint32_t i = 0; i < CurveCount(); ++i)
                ASSERT_TRUE(IsUsableNetworkCurve(*Network()->GetSegment(i))) << "curve " << i;
            for (ISceneObject* savedFor : page.pushedFor)
                ASSERT_EQ(savedFor, owner.shape) << "an undo copy of another shape's network";
            if (ST_ISectionCurve* hovered = mode->GetHoveredCurve())
            {
                ASSERT_NE(Network()->IndexOfCurve(hovered), 0xFFFFFFFFu)
                    << "the hover names a curve not shown";
            }
            if (leftShape)
            {
                ASSERT_EQ(NodesOf(ProfileOf(leftShape)), left) << "the shape left behind changed";
            }
            if (step == eStep::switchShape)
            {
                ASSERT_EQ(mode->GetDrawnCurve(), nullptr) << "a curve drawn on the other shape";
                continue;
            }
            if (!MayRemove(step))
            {
                ASSERT_GE(after.size(), before.size());
            }
            if (!MayAdd(step))
            {
                ASSERT_LE(after.size(), before.size());
            }
            if (step == eStep::undo)
            {
                if (!stackBefore.empty())
                    ASSERT_EQ(after, stackBefore.back()) << "undo puts back the last saved network";
                else
                    ASSERT_EQ(after, before);
                continue;
            }
            if (page.pushed.size() > pushedBefore)
            {
                ASSERT_EQ(page.pushed[pushedBefore], before) << "the copy is saved before the change";
            }
            if (after != before)
            {
                ASSERT_TRUE(page.pushed.size() > pushedBefore || drawing) << "a change without an undo copy";
            }
        }
        Paint();
    }
};

TEST_F(NetworkScripts, RandomEditingKeepsTheNetworkUsableAndEveryChangeUndoable)
{
    // Each shape starts with curves of its own: two crossing on the first,
    // one across the top of the second.
    AddCurve({{6, 20}, {18, 21}, {30, 20}});
    AddCurve({{30, 20}, {31, 30}, {30, 38}});
    auto* other = static_cast<ST_IProfiledSurface*>(second.QueryInterface(IID_ST_IProfiledSurface));
    ASSERT_NE(EnsureNetworkSketch(*other), nullptr);
    owner.shape = page.shape = &second;
    Command(kCmdNetworkLeavePicker);
    AddCurve({{10, 34}, {30, 36}, {50, 34}});
    owner.shape = page.shape = &shape;
    Command(kCmdNetworkLeavePicker);
    takenUp = NodesOf(Network());
    for (std::uint32_t seed : {1u, 2u, 3u})
    {
        RunScript(seed, 60);
        if (HasFatalFailure())
            return;
    }
    // The scripts did edit: curves were drawn and changed many times.
    EXPECT_GE(mostCurves, 3u);
    EXPECT_GE(changes, 15);
    EXPECT_GE(leftOrCleared, 3);
    // Undo walks back to the network the current shape had when it became
    // current, and no further.
    for (int guard = 0; guard < 1000 && page.GetUndoCount() > 0; ++guard)
        Command(kCmdNetworkUndo);
    EXPECT_EQ(NodesOf(Network()), takenUp);
}

} // namespace
