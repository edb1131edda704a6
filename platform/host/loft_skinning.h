// The loft service's skinning: a surface through sections that share one
// degree and one knot vector, interpolating them across in order with a
// cubic (lower for fewer sections), and the end conditions that say how the
// surface leaves its first section and enters its last.
//
// OpenCASCADE types: part of the service's boundary to it, used by
// geometry_services_loft.cpp only.
#pragma once

#include <Geom_BSplineCurve.hxx>
#include <Geom_BSplineSurface.hxx>

#include <cstdint>
#include <vector>

// How the surface meets an end section (the values of the loft arguments'
// start and end conditions).
enum class LoftEnd : std::int32_t
{
    // Heading straight for the neighbouring section: the end span starts
    // along the chords between the two sections.
    Straight = 1,
    // At right angles to the end section's plane, towards the neighbouring
    // section (as far along the normal as the step to it goes); a straight
    // section has no plane and is met as for Straight.
    Normal = 2,
    // No condition: the end span continues its neighbour.
    Free = 3,
};

// Whether the value names one of the conditions above.
bool IsLoftEnd(std::int32_t value);

// Sections made to share degree and knots exactly: each brought onto
// [0, 1], raised to the highest degree, and given every knot of the others.
// False for fewer than two curves or a null one.
bool MergeSectionKnots(std::vector<Handle(Geom_BSplineCurve)>& curves);

// The surface through the sections (which must share degree, knots and pole
// count, rational or not): the first parameter along the sections, the
// second across them from the first to the last, reaching section i at the
// averaged chord length from the first. Null when the sections differ in
// their knots, are fewer than two, or the interpolation is singular
// (sections that coincide).
Handle(Geom_BSplineSurface) SkinSections(const std::vector<Handle(Geom_BSplineCurve)>& curves, LoftEnd start,
                                         LoftEnd end);
