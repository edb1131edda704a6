// The geometry library in one include.
#pragma once

#include "platform/geometry/arc.h"
#include "platform/geometry/binary_archive.h"
#include "platform/geometry/bounding_box.h"
#include "platform/geometry/circle.h"
#include "platform/geometry/cylinder.h"
#include "platform/geometry/interval.h"
#include "platform/geometry/line.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/object.h"
#include "platform/geometry/plane.h"
#include "platform/geometry/point.h"
#include "platform/geometry/simple_array.h"
#include "platform/geometry/sphere.h"
#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"
#include "platform/geometry/xform.h"
