// Resampling a loft onto a vertex grid: every section is sampled at the same
// fractions, the grid may grow by a border row and column on every side, and
// each grid column becomes one new section, the columns evenly spaced along
// the guide. The host loft then gets sections of equal point counts in a
// regular order.
#pragma once

#include "fitting/loft_sections.h"

class cVertexGrid;

// Samples the sections of `source` (samples per section each) into a grid,
// borders it when the source's expand is on (by expand x half the longer of
// the guide and the mean section), and writes one open section per column
// into `destination` at positions c / (columns - 1), its settings back to
// their defaults. False, with the destination untouched, for fewer than 2
// entries or 2 sections with curves, fewer than 2 samples, or a section
// that fails to evaluate; otherwise true exactly when a destination was
// given.
bool SampleLoftToGrid(const ST_ISectionCurve* guide, const stLoftSections& source, stLoftSections* destination);

// Fills the border of the grid: the ends of every interior row, then of every
// column, go a distance d beyond the curve (the template's kind) through the
// interior points, each in the direction the curve leaves that end over a
// run of d (the end tangent of a curve through noisy scan points would send
// the border off the scan).
void ExtendGridBorder(cVertexGrid& grid, ST_ISectionCurve& templateCurve, double distance);
