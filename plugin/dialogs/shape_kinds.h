// The shape kinds the shapes dialog offers in its combo box, in combo order.
// These codes are the dialog's own; the sessions paint other codes (their
// kind codes, CSessionSurface::GetKindCode) into the mesh, so the two are
// kept apart as distinct types.
#pragma once

#include "platform/win32/types.h"

#include <cstdint>

class CSessionSurface;

enum class eShapeKind : int
{
    Plane = 0,
    Sphere = 1,
    Cylinder = 2,
    SymmetryPlane = 3,
    Revolved = 4,
    Extruded = 5,
    FreeForm = 6,
    CurveNetwork = 7,
    None = 8,
};

inline constexpr int kShapeKindCount = 8;

// The combo's text of a kind ("Plane", ..., "Curves (Advanced)"); null for
// None or a value outside the kinds.
const wchar_t* ShapeKindTitle(eShapeKind kind);
// The session class a kind makes; null for None.
const GUID* ShapeKindSessionClass(eShapeKind kind);
// The kind whose session class the session has; None when it is no kind's.
eShapeKind ShapeKindOfSession(const CSessionSurface* session);
// A combo item's data as a kind; None for anything else (CB_ERR included).
eShapeKind ShapeKindFromItemData(std::intptr_t data);
