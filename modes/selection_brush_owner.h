// What the selection modes ask of the tool dialog that owns their view: the
// brush size. The dialogs with their own 3D view implement it; a mode finds
// it through its view's owner tool (cP3DView::GetOwnerTool).
#pragma once

class ISelectionBrushOwner
{
public:
    virtual ~ISelectionBrushOwner() = default;

    // Half the side of the selection brush in pixels.
    virtual int GetHalfBrushSize() const = 0;
    // One wheel step: +1 grows the brush, -1 shrinks it. True when the size
    // changed (the mode then redraws the view).
    virtual bool ChangeBrushSize(int step) = 0;
};

// The brush owner of a view's owner tool, or null.
class C3DView;
ISelectionBrushOwner* FindSelectionBrushOwner(C3DView* view);
