// The loft service's preparation of its sections: a loft skins curves that
// share degree and knot vector. Sections made independently (each through
// its own points) have knots of their own; merged exactly, 20 sections of
// 200 knots make curves of 4,000 knots each and the skinning drowns in
// them. Instead every section is fitted, within a tolerance, onto one
// common knot vector that is refined only where some section needs it.
//
// OpenCASCADE types: this is part of the service's boundary to it and is
// used by geometry_services_loft.cpp only.
#pragma once

#include <Geom_BSplineCurve.hxx>

#include <vector>

// Replaces the curves by curves of one degree on one knot vector over
// [0, 1] that keep their ends exactly and lie within `tolerance` of the
// originals at every parameter (each original taken over its own domain
// mapped onto [0, 1]). Corners of the originals (knots of full
// multiplicity) are kept as corners. Returns false, leaving the curves as
// they were, when they are already compatible, when a curve is rational,
// or when the common knot vector would grow past the exact merge of all
// knots (then merging exactly costs no more).
bool MakeLoftSectionsCompatible(std::vector<Handle(Geom_BSplineCurve)>& curves, double tolerance);
