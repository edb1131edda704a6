#include "analysis/bucket_octree.h"

cUnitVoxel::cUnitVoxel(const float fromBox[6])
{
    for (int i = 0; i < 6; ++i)
        box[i] = fromBox[i];
    for (int i = 0; i < 3; ++i)
    {
        centre[i] = (static_cast<double>(box[i]) + box[i + 3]) / 2.0;
        inverseEdge[i] = 1.0 / (static_cast<double>(box[i + 3]) - box[i]);
    }
}

cUnitVoxel::cUnitVoxel(const double centreIn[3], const double edges[3])
{
    SetFromCentre(centreIn, edges);
}

void cUnitVoxel::SetFromCentre(const double centreIn[3], const double edges[3])
{
    for (int i = 0; i < 3; ++i)
    {
        centre[i] = centreIn[i];
        box[i] = static_cast<float>(centreIn[i] - edges[i] / 2.0);
        box[i + 3] = static_cast<float>(centreIn[i] + edges[i] / 2.0);
        inverseEdge[i] = 1.0 / edges[i];
    }
}

cUnitVoxel cUnitVoxel::Child(int k) const
{
    double childCentre[3];
    double childEdges[3];
    for (int i = 0; i < 3; ++i)
    {
        const double edge = 1.0 / inverseEdge[i];
        const double quarter = edge / 4.0;
        childCentre[i] = (k & (1 << i)) != 0 ? centre[i] - quarter : centre[i] + quarter;
        childEdges[i] = edge / 2.0;
    }
    return cUnitVoxel(childCentre, childEdges);
}
