// The edits of the curve-network mode that change the network as a whole:
// the joints of a curve, resampling a curve between its joints, committing
// a drawn curve (optionally sub-sampled and projected onto the mesh),
// deleting selected nodes and curves, breaking curves at their joints,
// merging curves end to end and the tangency setting.
//
// The network is the current shape's profile sketch; its curves' nodes are
// their defining points. Two nodes of different curves form a joint when
// their squared distance is below FLT_EPSILON; a curve's first and last
// nodes are always joints.
//
// Every edit keeps every curve usable: a curve is only ever replaced by a
// fitted curve of at least two distinct nodes, and a fit that fails leaves
// the network as it was.
#pragma once

#include "core/polyline.h"
#include "core/section_curve.h"
#include "modes/mesh_sample_projection.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class cMesh;
class ST_IProfiledSurface;

// Saves an undo copy of the whole network (the Curves page's undo list).
using NetworkUndoSaver = std::function<void()>;

// One flag per node of the curve: 1 for a joint with any other network curve
// (the curve itself, when it is in the network, is not compared with
// itself); the ends are always 1.
void FindJoints(ST_ISectionCurve* network, const ST_ISectionCurve& curve, std::vector<std::uint8_t>& joints);

// A sample count typed into the panel beyond this is taken as this many.
inline constexpr std::uint32_t kMaxSamplesBetweenJoints = 1000;

// The curve's joints as fixed nodes (bit 2) with `count` nodes (at most
// kMaxSamplesBetweenJoints) evaluated at evenly spaced curve parameters
// between each two neighbouring joints; the other nodes are dropped. A
// failed evaluation adds no node.
void ResampleBetweenJoints(ST_ISectionCurve* network, const ST_ISectionCurve& curve, std::uint32_t count,
                           tPolyline<cVertex>& out);

// Clears the selected bit of every node of every network curve.
void DeselectAllNodes(ST_ISectionCurve* network);

// The network sketch of the surface: a profile that is not a sketch is
// replaced by a sketch in its frame built from its sections (an empty sketch
// with the identity frame without a profile). Null when the surface cannot
// make a sketch.
ST_ISectionCurve* EnsureNetworkSketch(ST_IProfiledSurface& surface);
// "Clear All Curves": an empty sketch, built as above from the profile,
// replaces the network. Null when the surface cannot make a sketch.
ST_ISectionCurve* ClearNetwork(ST_IProfiledSurface& surface);

// The "Add New Curves Options" that the commit reads.
struct stSubSampling
{
    bool enabled = false;
    std::int32_t pointCount = 0;
};

// Adds the drawn curve to the network as a fitted copy through its nodes;
// with sub-sampling (and a mesh) the copy is resampled between its joints,
// the samples are projected onto the mesh and a copy through them is added
// instead. Tangency is then carried across its joints, and the drawn curve
// is discarded. The network sketch is made first when the profile is none.
// Answers the added curve; null (drawn curve discarded all the same) when
// nothing could be added.
ST_ISectionCurve* CommitDrawnCurve(ST_IProfiledSurface& surface, std::unique_ptr<ST_ISectionCurve>& drawn,
                                   const stSubSampling& subSampling, const cMesh* mesh,
                                   cMeshSampleProjector& projector, double tangencyAngle);

// Removes the selected nodes: a curve left with fewer than two nodes, an arc
// with a selected node and a selected curve go whole; the other curves with
// a selected node are refitted through the rest. An undo copy is saved first
// when anything will change. True when the network changed.
bool DeleteSelectedNodesAndCurves(ST_ISectionCurve* network, const NetworkUndoSaver& saveUndo);

// Each selected curve is replaced by its pieces from joint to joint. An undo
// copy is saved first; the selected curves end deselected. True when a curve
// was broken.
bool BreakAtJoints(ST_ISectionCurve* network, double tangencyAngle, const NetworkUndoSaver& saveUndo);

// Chains of selected curves that meet end to end (reversed as needed) become
// one curve each. An undo copy is saved first; the selected curves end
// deselected. True when a merge happened.
bool MergeCurves(ST_ISectionCurve* network, double tangencyAngle, const NetworkUndoSaver& saveUndo);

// Refits the curve through its nodes with the point inserted after node
// `after` (the segment index), the new node the only one selected, and
// carries tangency across its joints. False, the curve unchanged, for an
// index outside its segments or a point that would not make a usable curve.
bool InsertNodeIntoCurve(ST_ISectionCurve* network, ST_ISectionCurve& curve, const float point[3],
                         std::int32_t after, double tangencyAngle);

// The tangency angle of the "Preserve G1" setting: |crease angle| in radians
// when ticked, -1.0 (off) otherwise or for a crease angle that is not finite.
double TangencyAngleFromSetting(bool preserveG1, double creaseAngleDegrees);

// The angle of the setting; when ticked, tangency is carried across the
// joints of every network curve.
double ApplyTangencySetting(ST_ISectionCurve* network, bool preserveG1, double creaseAngleDegrees);

// Whether a network curve can be drawn, picked and fitted: at least two
// finite defining points, no two neighbours coincident, and a valid wire.
bool IsUsableNetworkCurve(const ST_ISectionCurve& curve);
