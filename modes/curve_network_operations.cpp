#include "modes/curve_network_operations.h"

#include "core/mesh.h"
#include "core/profiled_surface.h"
#include "core/section_curve_classes.h"
#include "modes/curve_edit_support.h"

#include <algorithm>
#include <cmath>
#include <deque>

namespace
{

const tPolyline<cVertex>* NodesOf(const ST_ISectionCurve& curve)
{
    return curve.GetDefiningPoints();
}

std::uint32_t NodeCount(const ST_ISectionCurve& curve)
{
    const tPolyline<cVertex>* nodes = NodesOf(curve);
    return nodes != nullptr ? nodes->GetVertexCount() : 0;
}

bool Coincide(const cVertex& a, const cVertex& b)
{
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    const double dz = static_cast<double>(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz < FLT_EPSILON;
}

bool IsIdentity(const double m[12])
{
    static const double kIdentity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    return std::equal(m, m + 12, kIdentity);
}

std::vector<ST_ISectionCurve*> CurvesOf(ST_ISectionCurve* network)
{
    std::vector<ST_ISectionCurve*> curves;
    if (network != nullptr)
        for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* curve = network->GetSegment(i))
                curves.push_back(curve);
    return curves;
}

// A node as a curve of this kind is fitted through it: splines keep their
// nodes as they are, the other kinds take them into the world first.
cVertex NodeForFitting(const ST_ISectionCurve& curve, const cVertex& node)
{
    if (curve.GetClassGuid() == CLSID_ST_TSplineCurve || IsIdentity(curve.frame))
        return node;
    cVertex mapped = node;
    const t3DPoint<double> w = curve.LocalToWorld({node.x, node.y, node.z});
    mapped.x = static_cast<float>(w.x);
    mapped.y = static_cast<float>(w.y);
    mapped.z = static_cast<float>(w.z);
    return mapped;
}

// A new curve of the kind of `like` fitted through the nodes in its frame,
// after neighbours that coincide were merged (a kept end wins over an inner
// node). Null when fewer than two distinct nodes remain or the fit does not
// give a usable curve.
std::unique_ptr<ST_ISectionCurve> FitLike(const ST_ISectionCurve& like, const tPolyline<cVertex>& nodes)
{
    tFramePolyline<cVertex> distinct;
    std::copy(like.frame, like.frame + 12, distinct.frame);
    for (std::uint32_t i = 0; i < nodes.GetVertexCount(); ++i)
    {
        const cVertex& node = *nodes.GetVertex(i);
        if (!std::isfinite(node.x) || !std::isfinite(node.y) || !std::isfinite(node.z) || IsFloatUnset(node.x))
            continue;
        if (!distinct.IsEmpty() && Coincide(*distinct.GetLastVertex(), node))
        {
            if (i + 1 == nodes.GetVertexCount() && distinct.GetVertexCount() > 1)
                *distinct.GetLastVertex() = node;
            continue;
        }
        distinct.AddVertex(node);
    }
    if (distinct.GetVertexCount() < 2)
        return nullptr;
    std::unique_ptr<ST_ISectionCurve> fitted = like.Clone();
    if (!fitted)
        return nullptr;
    double frame[12];
    std::copy(like.frame, like.frame + 12, frame);
    std::copy(frame, frame + 12, fitted->frame);
    if (!fitted->FitToPolyline(frame, distinct, 0.0, 0) || !IsUsableNetworkCurve(*fitted))
        return nullptr;
    return fitted;
}

ST_ISectionCurve* AddToNetwork(ST_ISectionCurve* network, std::unique_ptr<ST_ISectionCurve> curve)
{
    ST_ISectionCurve* added = curve.get();
    if (network->AddCurve(added) == 0xFFFFFFFFu)
        return nullptr;
    curve.release();
    return added;
}

void SaveUndo(const NetworkUndoSaver& saveUndo)
{
    if (saveUndo)
        saveUndo();
}

// Saves the undo copy of a command that found out only while it ran that it
// changes the network: the curves it was given selected are saved selected,
// as they were when the command came, whatever it has unmarked since.
void SaveUndoAsSelected(const NetworkUndoSaver& saveUndo, const std::vector<ST_ISectionCurve*>& wereSelected)
{
    std::vector<std::uint8_t> now;
    now.reserve(wereSelected.size());
    for (ST_ISectionCurve* curve : wereSelected)
    {
        now.push_back(curve->selected);
        curve->selected = 1;
    }
    SaveUndo(saveUndo);
    for (std::size_t i = 0; i < wereSelected.size(); ++i)
        wereSelected[i]->selected = now[i];
}

bool HasSelectedNode(const ST_ISectionCurve& curve)
{
    if (const tPolyline<cVertex>* nodes = NodesOf(curve))
        for (const cVertex& node : nodes->vertices)
            if (node.flags & kNetworkNodeSelected)
                return true;
    return false;
}

} // namespace

bool IsUsableNetworkCurve(const ST_ISectionCurve& curve)
{
    const tPolyline<cVertex>* nodes = NodesOf(curve);
    if (nodes == nullptr || nodes->GetVertexCount() < 2)
        return false;
    for (std::uint32_t i = 0; i < nodes->GetVertexCount(); ++i)
    {
        const cVertex& node = *nodes->GetVertex(i);
        if (!std::isfinite(node.x) || !std::isfinite(node.y) || !std::isfinite(node.z) || IsFloatUnset(node.x))
            return false;
        if (i > 0 && Coincide(*nodes->GetVertex(i - 1), node))
            return false;
    }
    const ST_IWire* wire = curve.GetWire();
    return wire != nullptr && wire->IsValid();
}

void FindJoints(ST_ISectionCurve* network, const ST_ISectionCurve& curve, std::vector<std::uint8_t>& joints)
{
    joints.clear();
    const tPolyline<cVertex>* nodes = NodesOf(curve);
    if (nodes == nullptr || nodes->IsEmpty())
        return;
    const std::vector<ST_ISectionCurve*> curves = CurvesOf(network);
    joints.assign(nodes->GetVertexCount(), 0);
    for (std::uint32_t i = 0; i < nodes->GetVertexCount(); ++i)
    {
        const cVertex& node = *nodes->GetVertex(i);
        for (const ST_ISectionCurve* other : curves)
        {
            const tPolyline<cVertex>* otherNodes = other != &curve ? NodesOf(*other) : nullptr;
            if (otherNodes == nullptr)
                continue;
            if (std::any_of(otherNodes->vertices.begin(), otherNodes->vertices.end(),
                            [&](const cVertex& v) { return Coincide(v, node); }))
            {
                joints[i] = 1;
                break;
            }
        }
    }
    joints.front() = 1;
    joints.back() = 1;
}

void ResampleBetweenJoints(ST_ISectionCurve* network, const ST_ISectionCurve& curve, std::uint32_t count,
                           tPolyline<cVertex>& out)
{
    out.Clear();
    MakeEmptyBox3f(out.box);
    out.boxValid = 0;
    const tPolyline<cVertex>* nodes = NodesOf(curve);
    if (nodes == nullptr || nodes->IsEmpty())
        return;
    count = std::min(count, kMaxSamplesBetweenJoints);
    std::vector<std::uint8_t> joints;
    FindJoints(network, curve, joints);
    cVertex first = *nodes->GetFirstVertex();
    first.flags |= kNetworkNodeFixed;
    out.AddVertex(first);
    const ST_IWire* wire = curve.GetWire();
    double previous = 0.0;
    for (std::uint32_t i = 1; i < nodes->GetVertexCount(); ++i)
    {
        if (!joints[i])
            continue;
        cVertex joint = *nodes->GetVertex(i);
        // The curve ends at its last node: a curve closed onto its start
        // (a loop from a joint) has its end where it starts, and the point
        // search answers the start there.
        const bool last = i + 1 == nodes->GetVertexCount();
        const double p = last ? 1.0 : curve.GetParameterAtLocalPoint({joint.x, joint.y, joint.z});
        if (p != -FLT_MAX && wire != nullptr)
        {
            for (std::uint32_t k = 1; k <= count; ++k)
            {
                const double t = previous + k * (p - previous) / (count + 1.0);
                t3DPoint<double> at;
                if (!wire->EvaluateAtFraction(t, &at, nullptr))
                    continue;
                cVertex sample;
                sample.x = static_cast<float>(at.x);
                sample.y = static_cast<float>(at.y);
                sample.z = static_cast<float>(at.z);
                out.AddVertex(sample);
            }
            previous = p;
        }
        joint.flags |= kNetworkNodeFixed;
        out.AddVertex(joint);
    }
}

void DeselectAllNodes(ST_ISectionCurve* network)
{
    for (ST_ISectionCurve* curve : CurvesOf(network))
        if (const tPolyline<cVertex>* nodes = NodesOf(*curve))
            for (cVertex& node : const_cast<tPolyline<cVertex>*>(nodes)->vertices)
                node.flags &= ~kNetworkNodeSelected;
}

namespace
{

// A new, empty sketch built from the profile's sections in its frame (the
// identity frame without a profile) becomes the surface's profile.
ST_ISectionCurve* InstallEmptySketch(ST_IProfiledSurface& surface, const ST_ISectionCurve* profile)
{
    std::unique_ptr<ST_ISectionCurve> sketch = surface.CreateCurveByClassGuid(CLSID_ST_TSketch);
    if (!sketch)
        return nullptr;
    if (profile != nullptr)
        sketch->RebuildWire(profile->frame, profile->sections, 0.0f, nullptr);
    else
        MakeIdentity3x4(sketch->frame);
    if (!surface.SetProfile(sketch.get(), 0))
        return nullptr;
    ST_ISectionCurve* installed = surface.GetProfileCurve();
    return installed != nullptr && installed->GetClassGuid() == CLSID_ST_TSketch ? installed : nullptr;
}

} // namespace

ST_ISectionCurve* EnsureNetworkSketch(ST_IProfiledSurface& surface)
{
    ST_ISectionCurve* profile = surface.GetProfileCurve();
    if (profile != nullptr && profile->GetClassGuid() == CLSID_ST_TSketch)
        return profile;
    return InstallEmptySketch(surface, profile);
}

ST_ISectionCurve* ClearNetwork(ST_IProfiledSurface& surface)
{
    return InstallEmptySketch(surface, surface.GetProfileCurve());
}

ST_ISectionCurve* CommitDrawnCurve(ST_IProfiledSurface& surface, std::unique_ptr<ST_ISectionCurve>& drawn,
                                   const stSubSampling& subSampling, const cMesh* mesh,
                                   cMeshSampleProjector& projector, double tangencyAngle)
{
    if (!drawn)
        return nullptr;
    ST_ISectionCurve* network = EnsureNetworkSketch(surface);
    if (network == nullptr)
    {
        drawn.reset();
        return nullptr;
    }
    SelectCurveByPickId(-1, network, true);
    drawn->selected = 0;
    const tPolyline<cVertex>* drawnNodes = NodesOf(*drawn);
    std::unique_ptr<ST_ISectionCurve> fitted =
        drawnNodes != nullptr ? FitLike(*drawn, tPolyline<cVertex>(*drawnNodes)) : nullptr;
    if (fitted && subSampling.enabled && subSampling.pointCount > 0 && mesh != nullptr)
    {
        tPolyline<cVertex> samples;
        ResampleBetweenJoints(network, *fitted, static_cast<std::uint32_t>(subSampling.pointCount), samples);
        projector.ProjectSamplesOnMesh(*mesh, samples, IsIdentity(fitted->frame) ? nullptr : fitted->frame);
        // Samples that the projection could not fit through keep the curve
        // as it was drawn.
        if (std::unique_ptr<ST_ISectionCurve> projected = FitLike(*drawn, samples))
            fitted = std::move(projected);
    }
    drawn.reset();
    if (!fitted)
        return nullptr;
    ST_ISectionCurve* added = AddToNetwork(network, std::move(fitted));
    if (added != nullptr)
        PreserveG1AtJoints(network, added, tangencyAngle);
    return added;
}

bool DeleteSelectedNodesAndCurves(ST_ISectionCurve* network, const NetworkUndoSaver& saveUndo)
{
    const std::vector<ST_ISectionCurve*> curves = CurvesOf(network);
    if (std::none_of(curves.begin(), curves.end(),
                     [](const ST_ISectionCurve* c) { return c->selected != 0 || HasSelectedNode(*c); }))
        return false;
    SaveUndo(saveUndo);
    bool changed = false;
    for (ST_ISectionCurve* curve : curves)
    {
        if (curve->selected != 0 || !HasSelectedNode(*curve))
            continue;
        const tPolyline<cVertex>& nodes = *NodesOf(*curve);
        if (curve->GetClassGuid() == CLSID_ST_TArcCurve || nodes.GetVertexCount() < 3)
        {
            curve->selected = 1;
            continue;
        }
        tPolyline<cVertex> kept;
        for (const cVertex& node : nodes.vertices)
            if ((node.flags & kNetworkNodeSelected) == 0)
                kept.AddVertex(NodeForFitting(*curve, node));
        // Too few nodes left to make a curve: it goes whole.
        std::unique_ptr<ST_ISectionCurve> refitted = FitLike(*curve, kept);
        if (!refitted)
        {
            curve->selected = 1;
            continue;
        }
        curve->Assign(*refitted);
        curve->selected = 0;
        changed = true;
    }
    for (ST_ISectionCurve* curve : curves)
        if (curve->selected != 0)
        {
            network->RemoveCurve(curve);
            changed = true;
        }
    return changed;
}

bool BreakAtJoints(ST_ISectionCurve* network, double tangencyAngle, const NetworkUndoSaver& saveUndo)
{
    if (network == nullptr)
        return false;
    std::vector<ST_ISectionCurve*> selected;
    for (ST_ISectionCurve* curve : CurvesOf(network))
        if (curve->selected != 0)
            selected.push_back(curve);
    // A Break that breaks no curve is no undo step.
    bool broken = false;
    for (ST_ISectionCurve* curve : selected)
    {
        curve->selected = 0;
        const tPolyline<cVertex>* nodes = NodesOf(*curve);
        if (nodes == nullptr || nodes->GetVertexCount() < 2)
            continue;
        std::vector<std::uint8_t> joints;
        FindJoints(network, *curve, joints);
        std::vector<std::unique_ptr<ST_ISectionCurve>> pieces;
        tPolyline<cVertex> running;
        bool failed = false;
        for (std::uint32_t i = 0; i < nodes->GetVertexCount(); ++i)
        {
            const cVertex node = NodeForFitting(*curve, *nodes->GetVertex(i));
            running.AddVertex(node);
            if (i == 0 || !joints[i])
                continue;
            bool degenerate = true;
            for (const cVertex& v : running.vertices)
                degenerate = degenerate && Coincide(v, node);
            // A piece between coincident joints has no length to keep.
            if (!degenerate)
            {
                std::unique_ptr<ST_ISectionCurve> piece = FitLike(*curve, running);
                if (!piece)
                {
                    failed = true;
                    break;
                }
                pieces.push_back(std::move(piece));
            }
            running.Clear();
            running.AddVertex(node);
        }
        if (failed || pieces.size() < 2)
            continue;
        if (!broken)
            SaveUndoAsSelected(saveUndo, selected);
        network->RemoveCurve(curve);
        std::vector<ST_ISectionCurve*> added;
        for (std::unique_ptr<ST_ISectionCurve>& piece : pieces)
            if (ST_ISectionCurve* p = AddToNetwork(network, std::move(piece)))
                added.push_back(p);
        for (ST_ISectionCurve* p : added)
            PreserveG1AtJoints(network, p, tangencyAngle);
        broken = true;
    }
    return broken;
}

bool MergeCurves(ST_ISectionCurve* network, double tangencyAngle, const NetworkUndoSaver& saveUndo)
{
    if (network == nullptr)
        return false;
    std::vector<ST_ISectionCurve*> wereSelected;
    for (ST_ISectionCurve* curve : CurvesOf(network))
        if (curve->selected != 0)
            wereSelected.push_back(curve);
    std::vector<ST_ISectionCurve*> selected;
    for (ST_ISectionCurve* curve : wereSelected)
    {
        if (NodeCount(*curve) == 0)
            curve->selected = 0;
        else
            selected.push_back(curve);
    }
    struct Link
    {
        ST_ISectionCurve* curve;
        bool reversed;
    };
    auto firstNode = [](const Link& l) -> const cVertex& {
        const tPolyline<cVertex>& n = *NodesOf(*l.curve);
        return l.reversed ? *n.GetLastVertex() : *n.GetFirstVertex();
    };
    auto lastNode = [](const Link& l) -> const cVertex& {
        const tPolyline<cVertex>& n = *NodesOf(*l.curve);
        return l.reversed ? *n.GetFirstVertex() : *n.GetLastVertex();
    };
    bool merged = false;
    for (;;)
    {
        auto next = std::find_if(selected.begin(), selected.end(), [](ST_ISectionCurve* c) { return c->selected; });
        if (next == selected.end())
            break;
        std::deque<Link> chain{{*next, false}};
        (*next)->selected = 0;
        // Grow at the end, then at the start.
        for (int side = 0; side < 2; ++side)
            for (bool grown = true; grown;)
            {
                grown = false;
                const cVertex& end = side == 0 ? lastNode(chain.back()) : firstNode(chain.front());
                for (ST_ISectionCurve* c : selected)
                {
                    if (!c->selected)
                        continue;
                    const tPolyline<cVertex>& n = *NodesOf(*c);
                    const bool atFirst = Coincide(*n.GetFirstVertex(), end);
                    const bool atLast = !atFirst && Coincide(*n.GetLastVertex(), end);
                    if (!atFirst && !atLast)
                        continue;
                    if (side == 0)
                        chain.push_back({c, atLast});
                    else
                        chain.push_front({c, atFirst});
                    c->selected = 0;
                    grown = true;
                    break;
                }
            }
        if (chain.size() < 2)
            continue;
        const ST_ISectionCurve& head = *chain.front().curve;
        tPolyline<cVertex> nodes;
        for (std::size_t k = 0; k < chain.size(); ++k)
        {
            const tPolyline<cVertex>& n = *NodesOf(*chain[k].curve);
            const std::uint32_t count = n.GetVertexCount();
            // The joint shared with the curve before is taken once.
            for (std::uint32_t j = k == 0 ? 0 : 1; j < count; ++j)
            {
                cVertex node = NodeForFitting(*chain[k].curve, *n.GetVertex(chain[k].reversed ? count - 1 - j : j));
                node.flags &= ~kNetworkNodeSelected;
                nodes.AddVertex(node);
            }
        }
        std::unique_ptr<ST_ISectionCurve> joined = FitLike(head, nodes);
        if (!joined)
            continue;
        // A Merge that joins no curves is no undo step.
        if (!merged)
            SaveUndoAsSelected(saveUndo, wereSelected);
        for (const Link& link : chain)
            network->RemoveCurve(link.curve);
        std::erase_if(selected, [&](ST_ISectionCurve* c) {
            return std::any_of(chain.begin(), chain.end(), [c](const Link& l) { return l.curve == c; });
        });
        if (ST_ISectionCurve* added = AddToNetwork(network, std::move(joined)))
            PreserveG1AtJoints(network, added, tangencyAngle);
        merged = true;
    }
    return merged;
}

bool InsertNodeIntoCurve(ST_ISectionCurve* network, ST_ISectionCurve& curve, const float point[3],
                         std::int32_t after, double tangencyAngle)
{
    const tPolyline<cVertex>* nodes = NodesOf(curve);
    if (nodes == nullptr || after < 0 || static_cast<std::uint32_t>(after) + 1 >= nodes->GetVertexCount())
        return false;
    tPolyline<cVertex> withNode;
    for (std::uint32_t i = 0; i < nodes->GetVertexCount(); ++i)
    {
        cVertex node = NodeForFitting(curve, *nodes->GetVertex(i));
        node.flags &= ~kNetworkNodeSelected;
        withNode.AddVertex(node);
        if (i == static_cast<std::uint32_t>(after))
        {
            cVertex inserted;
            inserted.x = point[0];
            inserted.y = point[1];
            inserted.z = point[2];
            inserted.flags = kNetworkNodeSelected;
            withNode.AddVertex(inserted);
        }
    }
    // A point on one of the nodes would merge away: nothing to insert.
    std::unique_ptr<ST_ISectionCurve> refitted = FitLike(curve, withNode);
    if (!refitted || NodeCount(*refitted) != withNode.GetVertexCount())
        return false;
    const std::uint8_t selected = curve.selected;
    curve.Assign(*refitted);
    curve.selected = selected;
    PreserveG1AtJoints(network, &curve, tangencyAngle);
    return true;
}

double TangencyAngleFromSetting(bool preserveG1, double creaseAngleDegrees)
{
    if (!preserveG1 || !std::isfinite(creaseAngleDegrees))
        return -1.0;
    return std::fabs(creaseAngleDegrees) * 0.017453292519943295;
}

double ApplyTangencySetting(ST_ISectionCurve* network, bool preserveG1, double creaseAngleDegrees)
{
    const double angle = TangencyAngleFromSetting(preserveG1, creaseAngleDegrees);
    if (angle >= 0.0)
        for (ST_ISectionCurve* curve : CurvesOf(network))
            PreserveG1AtJoints(network, curve, angle);
    return angle;
}
