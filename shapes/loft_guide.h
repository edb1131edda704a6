// The guide line of a free-form (loft) surface made from the selected scan
// points: across a fitted patch or along a coordinate axis, and the frame
// its line curve lives in.
#pragma once

#include "fitting/fit_container.h"

#include <cstdint>

// The guide choices the free-form page gathers.
struct stLoftGuideBlock
{
    // 0 first axis, 1 second axis, 2 the longer of the two (resolved here).
    std::uint8_t axisChoice = 2;
    // The up vector of the guide's frame, written by the guide builders.
    float up[3] = {0.0f, 0.0f, 0.0f};
    // Sections along the guide; the ends are pulled in by half a spacing.
    std::uint8_t curves = 8;
};

// Columns W = up x axis, V = axis x W (both normalised unless tiny), the
// axis as given and the origin. An up vector (nearly) along the axis is
// replaced by the coordinate axis on which the axis has its smallest
// component.
void BuildGuideFrame(double frame[12], const double origin[3], const double axis[3], const double up[3]);

// Guide across the plane fitted to the points, over its half-extent along
// the chosen in-plane axis. False when no plane can be fitted.
bool ComputePatchGuide(const cFitContainer& points, stLoftGuideBlock& block, double start[3], double end[3]);

// Guide along the coordinate axis that lies in the points' plane, through
// the centre of their box, from its minimum to its maximum.
void ComputeAxisAlignedGuide(const cFitContainer& points, stLoftGuideBlock& block, double start[3], double end[3]);
