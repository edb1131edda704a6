// The snap record that the sketch tools share: the snapping setting of the
// tool that asks, and the snapped point it receives.
#pragma once

#include "core/vertex.h"

#include <cstdint>

struct stSketchSnap
{
    // The user's snapping setting (non-zero: on); Alt inverts it.
    std::uint8_t enabled = 0;
    // The snapped point; flag bit 0 set means "no point".
    cVertex point;
};
