// What every profiled shape's scene object does the same way with the shape
// it holds: the object owns the shape and is its outer object, so queries on
// the shape reach the scene object first.
#pragma once

#include "core/base.h"
#include "core/bounding_box.h"
#include "shapes/shape_interfaces.h"

// Replaces the held shape: the old one is unhooked from its outer object and
// deleted, the new one answers to `outer`. Setting the same shape again does
// nothing.
template <class TShape> void ReplaceHeldShape(TShape*& held, TShape* shape, IBase* outer)
{
    if (shape == held)
        return;
    if (held != nullptr)
    {
        held->SetOuter(nullptr);
        delete held;
    }
    held = shape;
    if (held != nullptr)
        held->SetOuter(outer);
}

// The held shape's box, or the empty box without a shape.
template <class TShape> void HeldShapeBoundingBox(TShape* held, float box[6])
{
    if (held != nullptr)
        static_cast<ST_IGeometry*>(held)->GetBoundingBox(box);
    else
        MakeEmptyBox3f(box);
}
