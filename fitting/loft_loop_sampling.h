// Closed sections of a loft sampled as loops. A closed section's curve runs
// from its first point to its last and leaves the step back to the first
// open; the loop is that curve plus a smooth bridge over the gap. Loops cut
// from a scan start wherever the cut happened to start and run either way
// round, so before they are sampled into the rows of one grid each loop is
// started at the point nearest the previous loop's start and turned to run
// the same way round: a row of the grid then follows one line along the
// surface instead of a spiral.
#pragma once

#include "core/section_curve.h"

#include <cstdint>
#include <vector>

// `count` points of every loop (world coordinates), evenly spaced along its
// length, the first loop starting at its curve's start, every other one
// lined up with its predecessor. False, with `samples` unspecified, for
// fewer than 3 points per loop, a null curve, or a curve that does not
// evaluate to finite points.
bool SampleAlignedLoops(const std::vector<const ST_ISectionCurve*>& loops, std::int32_t count,
                        std::vector<std::vector<t3DPoint<double>>>& samples);

// The loop of a closed section as a dense polygon (world coordinates, the
// closing step back to the first point implied): the curve sampled at
// `density` points, then the gap from its end back to its start bridged by
// a cubic that leaves and enters along the curve's end tangents, bent as a
// circular arc between them would be. False when the curve does not
// evaluate.
bool DenseLoop(const ST_ISectionCurve& curve, std::int32_t density, std::vector<t3DPoint<double>>& loop);
