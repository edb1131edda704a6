#include "modes/network_node_drag.h"

#include "modes/curve_network_operations.h"

#include <algorithm>

namespace
{

bool Coincide(const cVertex& v, const float p[3])
{
    const double dx = static_cast<double>(v.x) - p[0];
    const double dy = static_cast<double>(v.y) - p[1];
    const double dz = static_cast<double>(v.z) - p[2];
    return dx * dx + dy * dy + dz * dz < FLT_EPSILON;
}

ST_ISectionCurve* AddCopy(ST_ISectionCurve* network, const ST_ISectionCurve& curve)
{
    std::unique_ptr<ST_ISectionCurve> copy = curve.Clone();
    if (!copy)
        return nullptr;
    copy->Assign(curve);
    ST_ISectionCurve* raw = copy.get();
    if (network->AddCurve(raw) == 0xFFFFFFFFu)
        return nullptr;
    copy.release();
    return raw;
}

} // namespace

std::size_t cNetworkNodeDrag::GrabAt(ST_ISectionCurve* network, const float position[3])
{
    if (network == nullptr)
        return 0;
    std::vector<ST_ISectionCurve*> through;
    for (std::uint32_t i = 0; i < network->GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* curve = network->GetSegment(i);
        const tPolyline<cVertex>* nodes = curve != nullptr ? curve->GetDefiningPoints() : nullptr;
        if (nodes != nullptr && std::any_of(nodes->vertices.begin(), nodes->vertices.end(),
                                            [&](const cVertex& v) { return Coincide(v, position); }))
            through.push_back(curve);
    }
    for (ST_ISectionCurve* curve : through)
        GrabCurve(network, curve, position);
    return through.size();
}

void cNetworkNodeDrag::GrabCurve(ST_ISectionCurve* network, ST_ISectionCurve* curve, const float position[3])
{
    if (network == nullptr || curve == nullptr)
        return;
    curve->selected = 0;
    m_mover.AddCurve(*curve, position);
    std::copy(position, position + 3, m_grabPoint);
    network->RemoveCurve(curve);
}

std::vector<ST_ISectionCurve*> cNetworkNodeDrag::Drop(ST_ISectionCurve* network, double tangencyAngle,
                                                      const float* selectAt)
{
    const t3DPoint<float> grabbed = m_mover.GetGrabbedPoint();
    const float dragged[3] = {grabbed.x, grabbed.y, grabbed.z};
    return PutBack(network, tangencyAngle, selectAt != nullptr ? selectAt : dragged, false);
}

std::vector<ST_ISectionCurve*> cNetworkNodeDrag::DropAsGrabbed(ST_ISectionCurve* network, double tangencyAngle)
{
    const float at[3] = {m_grabPoint[0], m_grabPoint[1], m_grabPoint[2]};
    return PutBack(network, tangencyAngle, at, true);
}

std::vector<ST_ISectionCurve*> cNetworkNodeDrag::PutBack(ST_ISectionCurve* network, double tangencyAngle,
                                                         const float* select, bool asGrabbed)
{
    std::vector<ST_ISectionCurve*> back;
    if (network == nullptr)
    {
        m_mover.Reset();
        m_beforeInsertion.reset();
        return back;
    }
    for (std::size_t i = 0; i < m_mover.GetCurveCount(); ++i)
    {
        ST_ISectionCurve* working = m_mover.GetWorkingCurve(i);
        const bool usable = !asGrabbed && IsUsableNetworkCurve(*working);
        ST_ISectionCurve* added = AddCopy(network, usable ? *working : *m_mover.GetGrabTimeCurve(i));
        if (added == nullptr)
            continue;
        if (const tPolyline<cVertex>* nodes = added->GetDefiningPoints())
            for (cVertex& node : const_cast<tPolyline<cVertex>*>(nodes)->vertices)
            {
                node.flags &= ~(kNetworkNodeFixed | kNetworkNodeSelected);
                if ((usable || asGrabbed) && !IsFloatUnset(select[0]) && Coincide(node, select))
                    node.flags |= kNetworkNodeSelected;
            }
        back.push_back(added);
    }
    for (ST_ISectionCurve* curve : back)
        PreserveG1AtJoints(network, curve, tangencyAngle);
    m_mover.Reset();
    m_beforeInsertion.reset();
    return back;
}

std::size_t cNetworkNodeDrag::Cancel(ST_ISectionCurve* network)
{
    std::size_t restored = 0;
    if (network != nullptr && m_beforeInsertion && m_mover.GetCurveCount() == 1)
        restored = AddCopy(network, *m_beforeInsertion) != nullptr;
    else if (network != nullptr)
        for (std::size_t i = 0; i < m_mover.GetCurveCount(); ++i)
            restored += AddCopy(network, *m_mover.GetGrabTimeCurve(i)) != nullptr;
    m_mover.Reset();
    m_beforeInsertion.reset();
    return restored;
}
