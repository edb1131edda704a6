// The curve being drawn in the network mode's Add Curve state: its points
// are the clicked points followed by one that follows the cursor. These are
// the edits that end or shorten it ("Remove Last", "Finish", a double
// click); committing it into the network is CommitDrawnCurve's.
#pragma once

#include "modes/curve_network_operations.h"

// Refits the drawn curve through all its points but the last; with fewer
// than two points left the drawn curve is discarded. True while a drawn
// curve remains.
bool RemoveLastDrawnPoint(std::unique_ptr<ST_ISectionCurve>& drawn);

// Drops the cursor-following last point (and, with a positive nearLimit,
// the last clicked point too when it lies within nearLimit of the one before
// it: the first click of a double click); the new last point takes the view
// direction as its normal and the fixed bit, and the curve is committed.
// With fewer than two points left nothing is committed and the drawn curve
// is discarded. Answers the committed network curve or null.
ST_ISectionCurve* FinishDrawnCurve(ST_IProfiledSurface& surface, std::unique_ptr<ST_ISectionCurve>& drawn,
                                   const float viewDirection[3], double nearLimit, const stSubSampling& subSampling,
                                   const cMesh* mesh, cMeshSampleProjector& projector, double tangencyAngle);
