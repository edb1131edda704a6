// The k-d tree over host float points (the CAD vertices that the deviation
// analysis searches).
#pragma once

#include "core/bucket_kd_tree.h"
#include "platform/geometry/point.h"

#include <cstddef>
#include <type_traits>

static_assert(std::is_standard_layout_v<ON_3fPoint> && offsetof(ON_3fPoint, y) == sizeof(float) &&
                  offsetof(ON_3fPoint, z) == 2 * sizeof(float),
              "the comparator reads x, y, z as one float triple");

struct PointerToON_3fPointComparator
{
    const float* Coordinates(const ON_3fPoint* point) const { return &point->x; }
};

using tHostPointKDTree = tBucketKDTree<const ON_3fPoint*, PointerToON_3fPointComparator>;
