// The host's loft service: one smooth surface through an ordered list of
// section curves, cubic across them (lower for fewer than four). The
// sections may be of any curve kind and need not share degree, knots or
// parameterisation; closed sections are lofted into a closed surface with
// their seams lined up and their directions agreeing, so the surface does
// not twist about them.
//
// The surface's first parameter runs along the sections, the second across
// them from the first to the last.
#pragma once

#include "platform/geometry/curve.h"
#include "platform/geometry/nurbs_surface.h"
#include "platform/geometry/plane.h"
#include "platform/geometry/point.h"
#include "platform/geometry/simple_array.h"

#include <cstdint>

// One section of a loft. The loft does not own the curve: the caller deletes
// it with the record.
class CDezazLoftCurve
{
public:
    ON_Curve* m_curve = nullptr;
    // A point section instead of a curve (unset: none). Not supported by the
    // service: a loft is always through curves.
    ON_3dPoint m_pt = ON_UNSET_POINT;
    double m_t = ON_UNSET_VALUE;
    void* m_reserved = nullptr;
    // The section is a loop: when the curve's ends do not meet, a piece
    // that leaves and enters along the curve's end tangents closes it (a
    // straight one for a polyline).
    bool m_bClosed = false;
    bool m_bPlanar = false;
    ON_Plane m_plane;
};

class CArgsDezazLoft
{
public:
    std::uint64_t m_reserved0 = 0;
    std::uint64_t m_reserved1 = 0;
    ON_SimpleArray<CDezazLoftCurve*> m_loftcurves;
    std::uint64_t m_reserved2 = 0;
    // 1: a smooth loft (the only style the service offers).
    std::int32_t m_style = 1;
    // Points each section is rebuilt through before lofting (2 or more, 3
    // or more for loops), at even steps of its parameter and given even
    // parameters, so sections rebuilt alike share one knot vector. A loop
    // takes exactly this many and becomes a smooth (periodic) cubic loop;
    // an open section takes no fewer than its own control points, so points
    // the caller put past its ends stay. Other values keep the sections as
    // they are.
    std::int32_t m_sample_count = 0;
    // Sections kept as they are: the largest distance the surface may keep
    // from them.
    double m_tolerance = 1.1920928955078125e-07;
    // How the surface leaves the first section and enters the last
    // (LoftEnd in loft_skinning.h): 1 heading straight for the neighbouring
    // section, 2 at right angles to the section's plane, 3 free. Other
    // values are refused.
    std::int32_t m_start_condition = 3;
    std::int32_t m_end_condition = 3;
};

class ON_Brep;

// Lofts a surface through the argument's curves in list order and appends
// it to `surfaces` (the caller owns it). False, appending nothing, for fewer
// than two curves, a null or invalid curve, a mix of closed and open
// sections (a section is closed when its curve is or its record says so),
// an unknown end condition, or sections the loft cannot join (two in one
// place). `history` is not kept.
bool DezazSdkLoftSurface(const CArgsDezazLoft& args, ON_SimpleArray<ON_NurbsSurface*>& surfaces,
                         void* history = nullptr);
