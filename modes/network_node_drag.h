// A drag of network nodes: the curves through the pressed node leave the
// network for the drag (their grab-time and working copies live in a
// cMoveCurvesHelper) and come back when it ends: as dragged on a drop, or as
// they were grabbed when the drag is cancelled (Escape, lost capture, a tab
// switch or the dialog closing). So no curve is lost whatever ends the drag.
#pragma once

#include "modes/curve_edit_support.h"

#include <memory>
#include <vector>

class cNetworkNodeDrag
{
public:
    // Takes out of the network every curve with a node at the position (a
    // squared distance below FLT_EPSILON); answers how many.
    std::size_t GrabAt(ST_ISectionCurve* network, const float position[3]);
    // Takes one curve out of the network, grabbed at the position.
    void GrabCurve(ST_ISectionCurve* network, ST_ISectionCurve* curve, const float position[3]);
    // The drag began by inserting the grabbed node into the one grabbed
    // curve: a cancel puts back this copy of the curve from before the
    // insertion instead of the grab-time one.
    void KeepCurveBeforeInsertion(std::unique_ptr<ST_ISectionCurve> before) { m_beforeInsertion = std::move(before); }

    bool IsDragging() const { return m_mover.GetCurveCount() > 0; }
    cMoveCurvesHelper& Mover() { return m_mover; }

    // Puts the working curves back as new network curves: every node's
    // highlight cleared and the nodes at `selectAt` (the dragged node when
    // null) selected, tangency carried across their joints. A working curve
    // the drag made unusable comes back as it was grabbed. Answers the curves
    // put back.
    std::vector<ST_ISectionCurve*> Drop(ST_ISectionCurve* network, double tangencyAngle,
                                        const float* selectAt = nullptr);
    // A free drop that keeps nodes on the mesh but finds no mesh under the
    // cursor: the curves come back with their shapes from before the drag,
    // the grabbed node selected.
    std::vector<ST_ISectionCurve*> DropAsGrabbed(ST_ISectionCurve* network, double tangencyAngle);
    // Puts the grab-time copies back into the network of the shape they were
    // taken from, which the owner passes (another shape may be current by
    // now); answers how many. Without a network the copies are dropped.
    std::size_t Cancel(ST_ISectionCurve* network);

private:
    std::vector<ST_ISectionCurve*> PutBack(ST_ISectionCurve* network, double tangencyAngle, const float* selectAt,
                                           bool asGrabbed);

    cMoveCurvesHelper m_mover;
    std::unique_ptr<ST_ISectionCurve> m_beforeInsertion;
    float m_grabPoint[3] = {FLT_MAX, 0.0f, 0.0f};
};
