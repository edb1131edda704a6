// CCreatePrimitiveDialog: the shapes dialog, the tool the user spends most
// of his time in. It shows one host mesh in its own shapes view, offers the
// selection tools that mark regions of it (the magic wand with its crease
// angle, the free hand brushes and the line), makes a session of the chosen
// shape kind and fits it to the marked region, shows the session's pages in
// a tab control whose tabs switch the view's mode, and aligns the mesh and
// its sessions to the current shape (Reset puts them back).
//
// The mesh frame accumulates every alignment; closing the dialog with the
// mesh moved asks whether the host mesh should follow or the sessions go
// back to the unmoved mesh.
#pragma once

#include "modes/shapes_view_owner.h"
#include "overlay/button_st.h"
#include "plugin/base_vtl_dialog.h"
#include "plugin/dialog_holder.h"
#include "plugin/dialogs/shape_kinds.h"
#include "plugin/dialogs/shape_list.h"
#include "plugin/tool_interfaces.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/tooltip_ctrl.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class cCPView;
class cMesh;
class cMeshObject;
class cRegionTriangles;
class CObjectSurfaces;
class CSessionSurface;
class CSubDlgBase;
class CSubSurfaceDlg;
class CSubProfileDlg;
class CSubGuideCurveDlg;
class CUIM_ExtendSurface;

// Settings of the dialog.
inline constexpr const wchar_t* kShapesDialogSection = L"ShapesDialog";
inline constexpr const wchar_t* kCreaseAngleSection = L"Processing";
inline constexpr const wchar_t* kCreaseAngleValue = L"CreaseAngle";
inline constexpr const wchar_t* kDrawWcsSection = L"Vizualization";
inline constexpr const wchar_t* kDrawWcsValue = L"DrawWCS";
inline constexpr const wchar_t* kFrontFacingSection = L"Preferences";
inline constexpr const wchar_t* kFrontFacingValue = L"SelectFrontFacingOnly";

// The texts the dialog shows.
inline constexpr const wchar_t* kNoSelectionHint =
    L"You need to have selected areas for define the shape. Use selection tools to mark area of interest";
inline constexpr const wchar_t* kProfilesQuestion =
    L"Reorienting the mesh will destroy the profiles of all Extruded and Revolved Surfaces.\nDo you want to continue?";
inline constexpr const wchar_t* kMovedMeshQuestion =
    L"You have changed the position of the object.\nWould you like to place original mesh in the same position?";

// The page order of the tab control's pages.
enum class eShapesPage : int
{
    Shape = 0,
    Sketch = 1,
    Curves = 2,
    Deviation = 3,
    GuideCurve = 4,
};

class CCreatePrimitiveDialog : public CBaseVTLDialog,
                               public IShapesViewOwner,
                               public IToolDialog,
                               public IShapesTool
{
public:
    // Moves the host mesh like the dialog's mesh (the mesh frame given);
    // installed by the transfer to the host document.
    using HostMeshMover = std::function<bool(CCreatePrimitiveDialog&, const double frame[12])>;
    // Creates the current shape in the host document.
    using ShapeTransfer = std::function<bool(CCreatePrimitiveDialog&, CSessionSurface*)>;
    static void SetHostMeshMover(HostMeshMover mover);
    static void SetShapeTransfer(ShapeTransfer transfer);

    explicit CCreatePrimitiveDialog(cRegistryStore* settings, CWnd* parent = nullptr);
    ~CCreatePrimitiveDialog() override;

    // IToolDialog.
    HWND DialogWindow() const override { return m_hWnd; }
    bool CreateModeless(UINT resource, CWnd* parent) override;
    void CancelDialog(bool forced) override;
    // IShapesTool.
    ON_UUID HostObjectUuid() const override { return GetHostObjectId(); }
    bool LoadHostMesh(const CDezazObjRef& mesh, cHostMeshCopy* copy = nullptr) override;
    void SetEntry(CObjectSurfaces* entry) override;

    // IShapesViewOwner.
    void ReapplyMagicWand(bool toggleSeed, bool redraw) override;
    ISceneObject* CurrentShapeObject() override;
    std::wstring& HintText() override { return m_hintText; }
    bool SelectFrontFacingOnly() const override { return m_frontFacingOnly != 0; }
    bool DrawWorldAxes() const override { return m_drawWcs != 0; }
    void SetDrawWorldAxes(bool on) override;
    void SaveSelectionForUndo() override { SaveSelectionToMask(); }
    void SaveSelectionForUndoInWand(const cMesh& mesh, const cMeshTriangle& seed, stTriangleFlagBlocks&& seen) override;
    void FinishWandSave() override;
    bool RestoreSelectionFromUndo() override { return RestoreSelectionFromMask(); }
    HWND QuickShapePicker(bool forCurrentShape) override;
    void HideQuickPickers() override;
    void StartNewShape() override;
    void CurrentShapeMoved() override;
    bool OnViewCommand(UINT id) override;

    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnOK() override;
    void OnCancel() override;
    void SetupControlAnchors() override;

    // The current shape (null: none) and its kind.
    void SetCurrentShape(CSessionSurface* session);
    CSessionSurface* GetCurrentSession() const { return m_session; }
    eShapeKind GetCurrentKind() const { return m_kind; }
    CObjectSurfaces* GetEntry() const { return m_entry; }
    // Refreshes the current shape after its geometry changed (list, handles,
    // view).
    void RefreshCurrentShape();
    // Deletes the current shape (its list item, region colours and session).
    void DeleteCurrentShape();
    // Renames the current shape's list item.
    void RenameCurrentShape();
    // Builds the session's reference lists (directions "as Current View"
    // first, then the other sessions').
    void BuildReferenceLists(CSessionSurface* session);

    // Handlers that other parts call as well.
    void OnMagicWand();
    void OnFreeHandFilled();
    void OnFreeHand();
    void OnLineSelection();
    void OnSelectFrontFacingOnly();
    void OnDeselectAll();
    void OnSelectAll();
    void OnUndoLastSelection();
    void OnNewShape();
    void OnKindChange();
    void OnAlign(UINT buttonId);
    void OnResetPosition();
    // The slider moved to position (0..100) or the edit got a new angle.
    void OnCreaseSlider(int position);
    void OnCreaseEdited(double degrees);
    // Empties the hint and hides its label.
    void ClearAnnotation();
    void ShowAnnotation(const wchar_t* text);

    // Tabs.
    bool AddTab(eShapesPage page);
    bool RemoveTab(eShapesPage page);
    void SelectTab(int index);
    std::vector<std::wstring> TabTitles() const;
    int GetSelectedTab() const { return m_selectedTab; }
    // The tab of the page, or -1 when it has none.
    int TabIndexOf(eShapesPage page) const;
    void SetupTabsForKind();
    void OnTabActivated(int oldIndex, int newIndex);
    void ShowRowsAfterSketching();

    cCPView* GetShapesView() const { return m_shapesView; }
    CUIM_ExtendSurface* GetExtendMode() const;
    CSubSurfaceDlg* GetShapePage() const { return m_shapePage.get(); }
    CSubProfileDlg* GetSketchPage() const { return m_sketchPage.get(); }
    CSubGuideCurveDlg* GetGuidePage() const { return m_guidePage.get(); }
    cMeshObject* FirstMeshObject();
    cMesh* FirstMesh();
    // The first mesh's triangles worked out for marking the regions of these
    // sessions in one walk each; null when no region is big enough to gain
    // by it (a small region tests each triangle against a small tree).
    std::unique_ptr<cRegionTriangles> RegionTrianglesFor(const std::vector<CSessionSurface*>& sessions);
    const double* GetMeshFrame() const { return m_meshFrame; }
    // The document is written (true before, false after): it takes the
    // shapes as the user has made them, without what the Sketch or the
    // Curves tab is only drawing; the tabs go on as they were after it.
    void ShowShapesAsKeptForWrite(bool writing);
    float GetCreaseAngle() const { return m_creaseAngle; }
    const wchar_t* GetUnitText() const { return m_unitText.c_str(); }
    std::uint32_t GetCurrentSelectionTool() const;
    // The list's sessions in item order.
    const std::vector<CSessionSurface*>& ListedSessions() const { return m_listed; }
    // Whether the dialog's window was destroyed by OK, Cancel or Close.
    bool IsClosed() const { return m_closed; }

protected:
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* info);
    afx_msg void OnHScroll(UINT code, UINT position, CScrollBar* bar);
    afx_msg void OnCreaseKillFocus();
    afx_msg void OnTabChange(NMHDR* header, LRESULT* result);
    afx_msg void OnListSelChange();
    afx_msg void OnDeleteShape();
    afx_msg void OnAlignButton(UINT id);
    afx_msg void OnReset();
    afx_msg void OnCreateInDezaz();
    afx_msg void OnCreateAll();
    afx_msg void OnHowTo();
    afx_msg void OnDeleteAll();
    afx_msg LRESULT OnListRightClick(WPARAM, LPARAM);
    afx_msg void OnHostSamePlace();
    afx_msg void OnKindSelChange();
    afx_msg void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    CSubDlgBase* Page(eShapesPage page) const;
    // Whether the page's tab is the selected one.
    bool IsPageShown(eShapesPage page) const;
    void LayOutPages();
    // The pictures of the selection, front-facing, align and reset buttons,
    // and their rows.
    void SetUpImageButtons();
    // The align buttons show planes or axes by the kind of the shape.
    void SetAlignPictures(bool axes);
    void SetFrontOnlyPicture();
    void EnableShapeControls();
    void EnableSelectionControls(bool enable);
    void EnableAlignControls(bool enable);
    void ChooseSelectionTool(UINT buttonId);
    // The selection tool's button pressed and the others up, the view's mode left as it is.
    void PressSelectionButton(UINT buttonId);
    void SendToView(UINT command);
    void FocusView();
    void ShowSessionObject(CSessionSurface* session, bool show);
    void AddListItem(CSessionSurface* session);
    void RemoveListItem(CSessionSurface* session);
    void SelectListItem(CSessionSurface* session);
    // Applies a transform to the mesh, the shown shape and every session.
    void TransformMeshAndSessions(const double m[12]);
    bool IsMeshMoved() const;
    void ReturnSessionsToHostMesh();
    // Moves the host mesh like the dialog's and, when it moved, resets both
    // frames; false when it could not be moved.
    bool MoveHostMeshHere();
    // MoveHostMeshHere answering a yes to the moved-mesh question: a move
    // that fails is reported.
    bool MoveHostMeshOrSaySo();
    void SaveSettings();
    // The crease edit's text as a number; false when it holds anything else.
    bool CreaseFieldNumber(double* degrees) const;
    void CloseWindow();
    void SwitchToExtendMode();
    // The magic wand's seed with the crease angle of the dialog.
    void RunMagicWand(bool toggleSeed);
    // A wand click's save of the selection, waiting for the fill to make it:
    // the mesh clicked, the seed and whether it was selected and visible
    // before the click, what the click's pick read of the flags.
    struct stWandSave;
    std::unique_ptr<stWandSave> m_wandSave;
    // Saves the selection a wand click found: the scene's meshes but
    // savedApart (whose fill saved it), and the seed's bit as it was.
    void SaveSelectionBeforeWand(const stWandSave& save, const cMesh* savedApart);

    cCPView* m_shapesView = nullptr;
    std::unique_ptr<CSubSurfaceDlg> m_shapePage;
    std::unique_ptr<CSubProfileDlg> m_sketchPage;
    std::unique_ptr<CSubDlgBase> m_curvesPage;
    std::unique_ptr<CSubDlgBase> m_deviationPage;
    std::unique_ptr<CSubGuideCurveDlg> m_guidePage;
    CTabCtrl m_tabs;
    std::vector<eShapesPage> m_tabPages;
    int m_selectedTab = -1;
    RECT m_pageRect{0, 0, 0, 0};
    CComboBox m_kindCombo;
    CVTLListBox m_list;
    CSliderCtrl m_slider;
    // Wand, paint filled, paint, line; front facing only; bottom, right,
    // front, origin; reset.
    std::array<CButtonST, 4> m_selectionButtons;
    CButtonST m_frontOnlyButton;
    std::array<CButtonST, 4> m_alignButtons;
    CButtonST m_resetButton;
    CToolTipCtrl* m_tooltip = nullptr;
    std::vector<CSessionSurface*> m_listed;
    eShapeKind m_kind = eShapeKind::None;
    CSessionSurface* m_session = nullptr;
    CObjectSurfaces* m_entry = nullptr;
    float m_creaseAngle = 1.0f;
    // As the scene starts: axes and grid shown.
    int m_drawWcs = 1;
    int m_frontFacingOnly = 0;
    double m_meshFrame[12];
    std::wstring m_unitText;
    RECT m_initialRect{0, 0, 0, 0};
    std::wstring m_hintText;
    UINT m_selectionTool = 0;
    cRegistryStore* m_store;
    bool m_closed = false;
    bool m_sketchMode = false;
    // The Sketch tab saved the user's camera on the view's stack before
    // turning it; leaving for a tab that works on the mesh pops it back.
    bool m_viewSetUpForSketching = false;
};
