// Nearest section vertex for many query points at once. It gives exactly
// what FindNearestVertex gives for each point (distances measured in double
// from the float coordinates, the lowest index among equally near vertices,
// -1 when there is none or the point is not finite), but in logarithmic time
// per point, so that a profile with many joints on a long section, as a
// stored record may hold, is not quadratic.
#pragma once

#include "core/polyline.h"

#include <cstdint>
#include <vector>

class cSectionVertexSearch
{
public:
    explicit cSectionVertexSearch(const tPolyline<cVertex>& section);

    // The index of the nearest vertex, or -1.
    std::int32_t Nearest(const float p[3]) const;

private:
    struct stPoint
    {
        double x[3];
        std::int32_t index;
    };
    struct stNode
    {
        std::uint32_t first, last; // points [first, last)
        std::uint32_t lower = 0, upper = 0; // children; 0 for a leaf
        double split = 0.0;
        int axis = 0;
    };

    std::uint32_t Build(std::uint32_t first, std::uint32_t last);
    void Search(std::uint32_t node, const double q[3], double& best, std::int32_t& found) const;

    std::vector<stPoint> m_points;
    std::vector<stNode> m_nodes;
};
