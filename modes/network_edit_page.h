// What the curve-network editing mode asks of the page that owns the network
// (the Curves page of the shapes dialog): the undo list of whole-network
// copies, the panels and buttons of the mode's sub-states, the panels'
// settings, the section plane with its preview polylines, and the mesh
// display switches. The page implements it and registers itself for its
// view, so the mode needs neither the page's class nor the dialog's.
#pragma once

#include "core/polyline_collection.h"
#include "core/vertex.h"
#include "modes/section_plane_picker.h"

#include <cstddef>
#include <cstdint>

class ST_IProfiledSurface;

// The mode's sub-states; each shows its panel and presses its page button.
enum : std::uint32_t
{
    kNetworkModifyCurves = 0,
    kNetworkExtrapolateEnds = 1,
    kNetworkAddCurve = 2,
    kNetworkSectionPlane = 3,
};

class INetworkEditPage : public ISectionPlaneHost
{
public:
    // The undo list: a copy of the whole network per edit.
    virtual void PushUndoState() = 0;
    virtual void ClearUndoStates() = 0;
    // Puts back the last saved network (nothing with an empty list).
    virtual void Undo() = 0;
    // The same into the given shape's network (the one the copies were
    // saved of, which need not be current any more).
    virtual void UndoOn(ST_IProfiledSurface* network) = 0;
    virtual std::size_t GetUndoCount() const = 0;
    // Drops the last saved network without putting it back.
    virtual void DropLastUndoState() = 0;
    // Drops the saved network at this place of the list (0 the oldest).
    virtual void DropUndoStateAt(std::size_t index) = 0;

    // Shows the option panel of the sub-state (none for Extrapolate), hides
    // the others, presses only its button, and refreshes the section panel's
    // mode buttons and the "Preserve G1" controls.
    virtual void ShowSubState(std::uint32_t subState) = 0;
    // The section panel's picker buttons follow the view's mode stack.
    virtual void RefreshSectionButtons() = 0;
    // The mode starts: "Draw Mesh" ticked, the "Transparent Mesh" setting
    // applied. It ends: "Transparent Mesh" off and "Draw Mesh" on again.
    virtual void BeginNetworkDisplay() = 0;
    virtual void EndNetworkDisplay() = 0;
    // Whether the page still has its window.
    virtual bool HasWindow() const = 0;

    // "Preserve G1" with its crease angle in degrees.
    virtual bool IsPreserveG1() const = 0;
    virtual double TangencyCreaseAngle() const = 0;
    // The menu's toggles: flip the check, update the panel and run the
    // check's handler as a click would.
    virtual void TogglePreserveG1() = 0;
    virtual void ToggleSubSampling() = 0;
    virtual void ToggleKeepNodesOnMesh() = 0;
    // "Sub sampling" of "Add New Curves Options" and its point count.
    virtual bool IsSubSampling() const = 0;
    virtual std::int32_t SubSamplingCount() const = 0;
    // "Keep curve nodes on the mesh".
    virtual bool KeepNodesOnMesh() const = 0;
    // The snapping value handed to the mode (1: snapping on).
    virtual int SnappingValue() const = 0;

    // The section plane (ISectionPlaneHost::SectionPlane) and its preview.
    virtual void ResetSectionPlane() = 0;
    virtual bool IsPreviewValid() const = 0;
    // Cuts the mesh with the plane into the preview polylines.
    virtual void RecomputeSections() = 0;
    virtual const tPolylineCollection<tFramePolyline<cVertex>>& SectionPreview() = 0;
    // The section panel's point count per section curve (0: drawn as cut).
    virtual std::int32_t SectionPointCount() const = 0;
    // The plane's parameter along its guiding curve.
    virtual void SetGuideParameter(double t) = 0;
    virtual void UpdatePositionField() = 0;
    // The previewed sections become network curves.
    virtual void AcceptSections() = 0;
    // Leaves the section-plane picker and enters Modify Curves.
    virtual void LeavePickerAndModify() = 0;
};

// The page registered for a view, or null.
class cCPView;
INetworkEditPage* NetworkEditPageOf(cCPView* view);
// Registers (or, with null, forgets) the page of a view; with a page the
// network mode's maker is installed in the shapes view's factory.
void SetNetworkEditPage(cCPView* view, INetworkEditPage* page);
