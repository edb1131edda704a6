// cCPView: the 3D view of the shapes dialog. It makes the editing modes of
// the shape tools from their ids (remembering the last one it made), keeps
// the magic wand's seed triangle with the selection state a click on it
// aims for, answers the current shape's scene object, and toggles the world
// axes. Editing modes that other tools build register their makers with
// SetShapesViewModeMaker, so the view needs no link to them.
#pragma once

#include "overlay/annotations.h"
#include "render/popup_view.h"

#include <cstdint>

class IBase;
class IShapesViewOwner;
class ISceneObject;
struct cMeshTriangle;

// Ids of the shapes view's editing modes and pickers.
inline constexpr std::uint32_t kModeExtendSurface = 0xCB07E4;
inline constexpr std::uint32_t kModeDrawCurveOnMesh = 0xCB07E5;
inline constexpr std::uint32_t kModeEditProfile = 0xCB07E6;
inline constexpr std::uint32_t kModeEditNetwork = 0xCB07E7;
inline constexpr std::uint32_t kModeDeviation = 0xCB07E9;
inline constexpr std::uint32_t kModeSectionPlanePicker = 0xC907E8;
inline constexpr std::uint32_t kModeGuidingCurvePicker = 0xC907E9;

// The bitmaps of the view's two picture annotations.
inline constexpr std::uint32_t kShapesViewImage1 = 3050;
inline constexpr std::uint32_t kShapesViewImage2 = 3051;

// The view's context menus.
inline constexpr UINT kShapesViewMenu = 3011;
inline constexpr UINT kDrawOnMeshMenu = 3042;

class cCPView;
// Makes one editing mode of the shapes view (id, creation flag, initial
// object or null, view); null when it cannot.
using ShapesViewModeMaker = cUserInteractiveMode<C3DView>* (*)(std::uint32_t id, std::uint32_t temporary,
                                                                 IBase* initial, cCPView* view);
// Installs the maker of an editing mode id; returns the one it replaces.
// Ids outside the shapes view's seven editing ids are refused (null).
ShapesViewModeMaker SetShapesViewModeMaker(std::uint32_t id, ShapesViewModeMaker maker);
// Whether the id is one of the shapes view's editing modes or pickers.
bool IsShapesViewToolMode(std::uint32_t id);

class cCPView : public cP3DView
{
public:
    // ownerWindow is the dialog window object, owner its shapes interface.
    cCPView(CWnd* ownerWindow, IShapesViewOwner* owner);

    // The surface extension mode for its id, the registered makers for the
    // other editing ids (remembered as the current tool mode id), the
    // navigation modes otherwise. extra carries the initial object (IBase*).
    Mode* CreateModeById(std::uint32_t id, std::uint32_t temporary, IBase* initial);
    Mode* CreateMode(std::uint32_t id, std::uint32_t temporary, LPARAM extra) override;

    // The curve drawing's menu while it was the last editing mode made.
    // Starts an editing mode of the view when it can be made; false (the
    // stack untouched) for a mode no tool has registered: starting it
    // through SetModeById would first end the modes it replaces.
    bool StartToolMode(std::uint32_t id, IBase* initial);
    bool CanCreateToolMode(std::uint32_t id) const;
    // Ends the editing mode of that id, with the modes resting on it, when it
    // is stacked: a mode that holds one shape's editing state goes before
    // another shape becomes current. The next StartToolMode makes a new one.
    void EndToolMode(std::uint32_t id);

    UINT GetContextMenuResource() override;
    // A host script's question where a sketch point shows (while the
    // profile editor works on a sketch), then everything else as before.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    CWnd* GetOwnerTool() override { return m_ownerWindow; }
    IShapesViewOwner* GetShapesOwner() const { return m_owner; }

    // The magic wand's seed: a click on a selected visible triangle aims to
    // deselect its region, any other click to select it. Setting it grows
    // the selection at once through the owner.
    using cP3DView::GetActiveObject;
    void SetActiveObject(cMeshTriangle* triangle) override;
    // The seed with its selected bit put back to the click's aim, or null.
    cMeshTriangle* GetActiveObject() override;
    bool GetRestoreFlag() const { return m_restoreFlag != 0; }

    // The current shape's scene object, or null.
    ISceneObject* QueryCurrentObjectInterface();
    // Flips the owner's world-axes switch and redraws.
    void ToggleCoordinateSystem();

    std::uint32_t GetCurrentToolModeId() const { return m_currentToolModeId; }
    std::size_t GetToolbarButtonCount() const { return m_toolbarButtons; }
    // The hidden annotations the editing modes show (index 0 or 1).
    cScreenAnnotation_Image<C3DView>* GetImageAnnotation(int i) const { return m_images[i & 1].Get(); }
    cScreenAnnotation_Text<C3DView>* GetLabelAnnotation(int i) const { return m_labels[i & 1].Get(); }

private:
    void BuildToolbar();
    void BuildAnnotations();

    std::uint32_t m_currentToolModeId = 0;
    CWnd* m_ownerWindow;
    IShapesViewOwner* m_owner;
    std::int32_t m_restoreFlag = 0;
    std::size_t m_toolbarButtons = 0;
    tSafePtr<cVE_GlobalToolTip<C3DView>> m_tooltip;
    tSafePtr<cScreenAnnotation_Image<C3DView>> m_images[2];
    tSafePtr<cScreenAnnotation_Text<C3DView>> m_labels[2];
};
