// Seeded random scripts of clicks, drags, double clicks, keys and commands
// against the network mode on a real view. After every step: nothing
// crashed, every network curve is usable, no drag outlives its button, the
// curve count moved only as the step's kind allows, the first undo copy a
// step saved is the network from before that step, a step that changed the
// network saved one (or belongs to a curve being drawn, which saved one when
// it began), and Undo puts back exactly the last saved network.
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
    count
};

const char* Name(eStep s)
{
    static const char* names[] = {"click",   "shift-click", "drag",   "double-click", "escape",  "modify",
                                  "extrap",  "add",         "plane",  "finish",       "remove",  "restart",
                                  "merge",   "break",       "delete", "undo",         "all",     "keep",
                                  "g1",      "subsample"};
    return names[int(s)];
}

class NetworkScripts : public NetworkView
{
protected:
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
        default: break;
        }
        Paint();
    }

    int changes = 0;
    std::size_t mostCurves = 0;

    // Whether a step of this kind may leave the network with fewer or more
    // curves than before.
    static bool MayRemove(eStep s)
    {
        return s == eStep::merge || s == eStep::deleteSelection || s == eStep::undo;
    }
    static bool MayAdd(eStep s)
    {
        return s == eStep::doubleClick || s == eStep::finish || s == eStep::breakAtJoints || s == eStep::undo;
    }

    void RunScript(std::uint32_t seed, int steps)
    {
        std::mt19937 rng(seed);
        // Weights: pointer steps dominate, commands are rarer.
        std::discrete_distribution<int> pick({10, 2, 8, 4, 2, 2, 1, 2, 1, 2, 1, 1, 2, 2, 2, 3, 1, 1, 1, 1});
        std::ostringstream log;
        for (int s = 0; s < steps; ++s)
        {
            const eStep step = eStep(pick(rng));
            log << Name(step) << ' ';
            const NetworkNodes before = NodesOf(Network());
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
    for (std::uint32_t seed : {11u, 29u, 4242u})
    {
        RunScript(seed, 60);
        if (HasFatalFailure())
            return;
    }
    // The scripts did edit: curves were drawn and changed many times.
    EXPECT_GE(mostCurves, 3u);
    EXPECT_GE(changes, 15);
    // Undo walks back to the empty network the mode started with.
    for (int guard = 0; guard < 1000 && page.GetUndoCount() > 0; ++guard)
        Command(kCmdNetworkUndo);
    EXPECT_EQ(CurveCount(), 0u);
}

} // namespace
