// Turning the shapes dialog's fitted shapes into host document objects, and
// moving the host mesh to where the dialog shows it.
//
// The dialog fits in its own scene, where alignments may have moved the
// mesh (the mesh frame) and the view may place it (the display frame).
// Everything created here goes back to the host mesh's own coordinates:
// breps and curve objects alike get the inverse mesh frame, then the
// display frame, so a curve never lands where only the dialog shows it.
#pragma once

#include "platform/geometry/xform.h"

class CCreatePrimitiveDialog;
class CSessionSurface;

inline constexpr const wchar_t* kSketchNotConnectedMessage =
    L"Can not create surface. Please check if the sketch is connected";
// A free form whose sections give no surface (%ls: its name).
inline constexpr const wchar_t* kFreeFormNotBuiltMessage =
    L"Can not create surface '%ls'. Please rebuild it from the mesh";
inline constexpr const wchar_t* kHostMeshNotMovedMessage =
    L"The mesh could not be moved: it is no longer a mesh of the active document.";

// True when no entry of the 3x4 transform differs from the identity's by
// more than FLT_EPSILON.
bool IsIdentityFrame(const double frame[12]);
// A 3x4 transform as a host 4x4 transform (last row 0, 0, 0, 1).
ON_Xform XformFromFrame(const double frame[12]);
// What takes a dialog point back to the host mesh's coordinates: the
// display frame after the rigid inverse of the mesh frame.
ON_Xform HostPlacementXform(const double meshFrame[12], const double displayFrame[12]);

// Adds the session's shape to the active document (breps, and the curves of
// free-form and curve-network shapes). False without a session, or when a
// sketch-built surface yields nothing (the user is told). With regenerate,
// the document's views are regenerated when anything was added.
bool TransferShapeToHost(CCreatePrimitiveDialog& dialog, CSessionSurface* session, bool regenerate);
// Every session of the dialog's entry in order, stopping at the first
// failure; the views are regenerated once when at least one was added.
// Returns how many were transferred.
int TransferAllShapesToHost(CCreatePrimitiveDialog& dialog);
// Replaces the host mesh by a copy moved by the mesh frame. False when there
// is no such mesh in the active document or the moved copy is not valid;
// the caller then keeps its frames.
bool MoveHostMeshByFrame(CCreatePrimitiveDialog& dialog, const double meshFrame[12]);

// Makes the shapes dialog use the functions above.
void InstallShapeTransfer();
