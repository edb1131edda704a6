// What the shapes dialog does with a guide curve drawn on the mesh: a
// free-form shape takes it as the curve its sections are placed along and
// is lofted through the mesh again.
#pragma once

#include "core/polyline.h"
#include "core/vertex.h"

class CCreatePrimitiveDialog;
class cCPView;

// The spline guide through the drawn points, in the plane that holds the
// chord first-last and the mean surface normal; false (the shape unchanged)
// when the current shape is no free-form shape, fewer than 2 points were
// drawn or they give no plane.
bool ApplyGuideCurveToShape(CCreatePrimitiveDialog& dialog, const tFramePolyline<cVertex>& points);

// Makes the dialog the receiver of the curves drawn in its view (until
// RemoveGuideCurveReceiver).
void InstallGuideCurveReceiver(CCreatePrimitiveDialog* dialog, cCPView* view);
void RemoveGuideCurveReceiver(cCPView* view);
