// The section view's box: the scene's box in section-view mode is the box of
// the section polylines of the profile curve that the scene's reference
// object yields (each polyline boxed in its own cutting plane), enlarged by
// the scene.
#pragma once

#include "core/base.h"

class cP3DScene;

// The union of the local boxes of the section polylines of the reference
// object's profile curve (found through its ST_IProfiledSurface). False,
// and the box untouched, when the object yields no curve or the curve has
// no section points.
bool GetProfileSectionsBox(IBase* referenceObject, float box[6]);

// Makes the object the scene's reference object (null for none) and makes
// sure the scene can find the section view's box through it.
void SetSceneReferenceObject(cP3DScene& scene, IBase* referenceObject);
