// What the shapes view and its surface extension mode ask of the shapes
// dialog that owns them. The dialog implements it; the view hands it to its
// modes, so that neither needs the dialog's class.
#pragma once

#include "platform/win32/types.h"

#include <string>

class ISceneObject;
class cMesh;
struct cMeshTriangle;
struct stTriangleFlagBlocks;

class IShapesViewOwner
{
public:
    virtual ~IShapesViewOwner() = default;

    // Grows the magic-wand selection again from the view's seed triangle;
    // with toggleSeed the seed's target state is flipped first (undoing the
    // previous run), with redraw the view is redrawn afterwards.
    virtual void ReapplyMagicWand(bool toggleSeed, bool redraw) = 0;
    // The current shape's scene object, or null when there is none.
    virtual ISceneObject* CurrentShapeObject() = 0;
    // The pending hint text of the view's label (empty: no label).
    virtual std::wstring& HintText() = 0;
    // Whether strokes select front-facing triangles only.
    virtual bool SelectFrontFacingOnly() const = 0;
    // The world-axes switch of the view.
    virtual bool DrawWorldAxes() const = 0;
    virtual void SetDrawWorldAxes(bool on) = 0;
    // The one-level undo of the triangle selection.
    virtual void SaveSelectionForUndo() = 0;
    virtual bool RestoreSelectionFromUndo() = 0;
    // The save before a wand click that grows from seed, a triangle of mesh,
    // once the view's seed is set: the owner may make it in the pass the
    // wand's fill makes over the mesh first (seen: what the click's pick
    // read of the mesh's flag bytes). FinishWandSave, right after the seed
    // is set, saves the selection if no fill did.
    virtual void SaveSelectionForUndoInWand(const cMesh&, const cMeshTriangle&, stTriangleFlagBlocks&&)
    {
        SaveSelectionForUndo();
    }
    virtual void FinishWandSave() {}
    // The quick shape pickers (null while the dialog has none).
    virtual HWND QuickShapePicker(bool forCurrentShape) = 0;
    virtual void HideQuickPickers() = 0;
    // Leaves the current shape and starts a new one.
    virtual void StartNewShape() = 0;
    // A handle drag changed the current shape: what shows its values follows.
    virtual void CurrentShapeMoved() {}
    // The dialog's own commands that the view's menus and keys reach
    // (vertical, horizontal, the selection tools, new shape, transfer);
    // false for an id the dialog does not know.
    virtual bool OnViewCommand(UINT id) = 0;
};
