// Section curves made from their class id, as the document readers and the
// profiled surfaces make them.
#pragma once

#include "core/section_curve.h"

#include <memory>

// A new, empty curve of the class (closed flag clear), or null for an id of
// no section-curve kind.
std::unique_ptr<ST_ISectionCurve> CreateSectionCurveByClassGuid(const GUID& classId);

// Both curves are of one class: wires of one type and equal class ids.
bool IsSameCurveClass(const ST_ISectionCurve& a, const ST_ISectionCurve& b);
