// Roots of the geometry library's class tree: every object is an ON_Object;
// everything with a place in space is an ON_Geometry.
#pragma once

#include "platform/geometry/bounding_box.h"

class ON_TextLog; // Validity reports are not collected by this library.
class ON_Xform;

class ON_Object
{
public:
    ON_Object() = default;
    ON_Object(const ON_Object&) = default;
    ON_Object& operator=(const ON_Object&) = default;
    virtual ~ON_Object() = default;

    virtual bool IsValid(ON_TextLog* text_log = nullptr) const = 0;
};

class ON_Geometry : public ON_Object
{
public:
    // The empty box when the object has none.
    virtual ON_BoundingBox BoundingBox() const = 0;
    virtual bool Transform(const ON_Xform& xform) = 0;

    // Box corners as three doubles each; with grow_box the box is unioned
    // into the given one. False when the object has no box.
    bool GetBBox(double* box_min, double* box_max, bool grow_box = false) const;
};
