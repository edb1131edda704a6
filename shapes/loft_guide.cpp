#include "shapes/loft_guide.h"

#include "fitting/fit_drivers.h"
#include "shapes/extracted_record.h"

#include <algorithm>
#include <cmath>

namespace
{

void Cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

double Dot(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

void NormaliseUnlessTiny(double v[3])
{
    if (std::fabs(v[0]) + std::fabs(v[1]) + std::fabs(v[2]) < 1.1920928955078125e-7)
        return;
    const double length = std::sqrt(Dot(v, v));
    for (int i = 0; i < 3; ++i)
        v[i] /= length;
}

// Half a section spacing off each end, so the end sections cut the scan
// inside the region rather than along its border.
void PullInEnds(const stLoftGuideBlock& block, double start[3], double end[3])
{
    const double d[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
    const double length = std::sqrt(Dot(d, d));
    if (!(length > 0.0))
        return;
    // One span would have both ends meet in its middle and leave no guide.
    if (block.curves < 2)
        return;
    const double pull = length / block.curves * 0.5;
    for (int i = 0; i < 3; ++i)
    {
        start[i] += d[i] / length * pull;
        end[i] -= d[i] / length * pull;
    }
}

void StoreUp(stLoftGuideBlock& block, const double up[3])
{
    for (int i = 0; i < 3; ++i)
        block.up[i] = static_cast<float>(up[i]);
}

} // namespace

void BuildGuideFrame(double frame[12], const double origin[3], const double axis[3], const double up[3])
{
    double u[3] = {up[0], up[1], up[2]};
    double w[3];
    Cross(u, axis, w);
    if (Dot(w, w) <= 0.0001)
    {
        int smallest = 0;
        for (int i = 1; i < 3; ++i)
            if (std::fabs(axis[i]) < std::fabs(axis[smallest]))
                smallest = i;
        u[0] = u[1] = u[2] = 0.0;
        u[smallest] = 1.0;
        Cross(u, axis, w);
    }
    NormaliseUnlessTiny(w);
    double v[3];
    Cross(axis, w, v);
    NormaliseUnlessTiny(v);
    for (int r = 0; r < 3; ++r)
    {
        frame[r * 4 + 0] = w[r];
        frame[r * 4 + 1] = v[r];
        frame[r * 4 + 2] = axis[r];
        frame[r * 4 + 3] = origin[r];
    }
}

bool ComputePatchGuide(const cFitContainer& points, stLoftGuideBlock& block, double start[3], double end[3])
{
    tPlane<double> plane;
    double rms = 0.0;
    if (!FitPlane(points, plane, rms, false, 0.0))
        return false;
    double a1[3] = {plane.xAxis[0], plane.xAxis[1], plane.xAxis[2]};
    double normal[3] = {plane.normal[0], plane.normal[1], plane.normal[2]};
    NormaliseUnlessTiny(a1);
    double average[3];
    points.GetAverageNormal(average);
    if (Dot(normal, average) < 0.0)
        for (double& c : normal)
            c = -c;
    double a2[3];
    Cross(normal, a1, a2);
    NormaliseUnlessTiny(a2);
    if (block.axisChoice == 2)
        block.axisChoice = plane.halfWidth > plane.halfHeight ? 0 : 1;
    const double* along = block.axisChoice == 0 ? a1 : a2;
    const double extent = block.axisChoice == 0 ? plane.halfWidth : plane.halfHeight;
    for (int i = 0; i < 3; ++i)
    {
        start[i] = plane.origin[i] - extent * along[i];
        end[i] = plane.origin[i] + extent * along[i];
    }
    const double d[3] = {end[0] - start[0], end[1] - start[1], end[2] - start[2]};
    double up[3];
    Cross(normal, d, up);
    NormaliseUnlessTiny(up);
    StoreUp(block, up);
    PullInEnds(block, start, end);
    return true;
}

void ComputeAxisAlignedGuide(const cFitContainer& points, stLoftGuideBlock& block, double start[3], double end[3])
{
    double box[6];
    ComputeFitBoundingBox(points, box);
    const double extent[3] = {box[3] - box[0], box[4] - box[1], box[5] - box[2]};
    const double centre[3] = {(box[0] + box[3]) / 2, (box[1] + box[4]) / 2, (box[2] + box[5]) / 2};
    double average[3];
    points.GetAverageNormal(average);
    int dominant = 2;
    tPlane<double> plane;
    double rms = 0.0;
    if (FitPlane(points, plane, rms, false, 0.0))
    {
        // |n x axis| is smallest on the axis where |n| has its largest
        // component; ties go to Z, then Y.
        double best = 2.0;
        for (int k = 2; k >= 0; --k)
        {
            const double c = plane.normal[k];
            const double sideways = std::sqrt(std::max(0.0, 1.0 - c * c));
            if (sideways < best)
                best = sideways, dominant = k;
        }
    }
    if (block.axisChoice == 2)
    {
        if (dominant == 2)
            block.axisChoice = extent[1] > extent[0] ? 1 : 0;
        else if (dominant == 1)
            block.axisChoice = extent[2] > extent[0] ? 1 : 0;
        else
            block.axisChoice = extent[1] > extent[2] ? 0 : 1;
    }
    const bool second = block.axisChoice != 0;
    const bool facing = average[dominant] > 0.0;
    // The guide's coordinate axis and the up vector, per dominant axis.
    int along = 0;
    double up[3] = {0, 0, 0};
    if (dominant == 2)
    {
        along = second ? 1 : 0;
        if (second)
            up[0] = facing ? -1 : 1;
        else
            up[1] = facing ? 1 : -1;
    }
    else if (dominant == 1)
    {
        along = second ? 2 : 0;
        if (second)
            up[0] = facing ? 1 : -1;
        else
            up[2] = facing ? -1 : 1;
    }
    else
    {
        along = second ? 2 : 1;
        if (second)
            up[1] = facing ? -1 : 1;
        else
            up[2] = facing ? 1 : -1;
    }
    for (int i = 0; i < 3; ++i)
        start[i] = end[i] = centre[i];
    start[along] = box[along];
    end[along] = box[along + 3];
    StoreUp(block, up);
    PullInEnds(block, start, end);
}
