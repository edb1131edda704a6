// The "Shape" page of the shapes dialog: the property tree of the current
// shape, Rebuild (refit to the marked region), the Vertical and Horizontal
// direction constraints, and the refit every page and tool shares.
#pragma once

#include "overlay/prop_tree.h"
#include "plugin/dialogs/sub_dialog_base.h"

#include "fitting/fit_container.h"

#include <cstddef>

class CSessionSurface;
class ISceneObject;
class I3DScene;
class CSubSurfaceDlg;

// The points a refit reads: every vertex marked as a vertex of a selected
// visible triangle (vertex bit 1), of every mesh of the scene, with its
// normal, active, weight FLT_MAX, added after out's records. Over: they
// replace out's records instead, written into the records out holds (a
// whole scan's millions of them are not made again for every refit).
std::size_t CollectMarkedPoints(I3DScene& scene, std::deque<stFitPoint>& out, bool over = false);

// Refits the session's shape to the marked region of the dialog's scene,
// with the first scene object as the reference; on success the session
// takes the marked triangles as its region. False without a session or
// record, or when the fit failed (the shape then stays as it was).
bool RefitActiveSurface(CSubSurfaceDlg* page, CSessionSurface* session);
// The same without the redraw, for a caller that draws the view itself
// once it has made the shape current.
bool FitActiveSurface(CSubSurfaceDlg* page, CSessionSurface* session);

class CSubSurfaceDlg : public CSubDlgBase
{
public:
    CSubSurfaceDlg(CCreatePrimitiveDialog* owner, cCPView* view);
    ~CSubSurfaceDlg() override;

    const wchar_t* PageTitle() const override { return L"Shape"; }
    BOOL OnInitDialog() override;

    void StartNewShape();
    void OnVertical();
    void OnHorizontal();
    void OnRebuild();
    void OnPropertyChanged(CPropTreeItem* item);
    void ConfirmDeleteShape();

    CPropTree& GetPropertyTree() { return m_tree; }
    // The records of the last refit's points, kept for the next refit to
    // write its points into while the page lives.
    tFitPointQueue& FitPointRoom() { return m_fitPointRoom; }

protected:
    afx_msg void OnTreeNotify(NMHDR* header, LRESULT* result);
    afx_msg void OnDeselectAllButton();
    afx_msg void OnSelectAllButton();
    afx_msg void OnRebuildButton() { OnRebuild(); }
    afx_msg void OnVerticalButton() { OnVertical(); }
    afx_msg void OnHorizontalButton() { OnHorizontal(); }
    afx_msg void OnUndoSelectionButton();
    afx_msg void OnSize(UINT type, int cx, int cy);
    void PostNcDestroy() override;
    DECLARE_MESSAGE_MAP()

private:
    // The direction constraint (components FLT_MAX are left to the fit).
    void ConstrainDirection(bool vertical);
    // The rectangle around the page's buttons in its client coordinates;
    // false when it has none.
    bool ButtonRow(RECT& row) const;
    void LayOutPage(int cx, int cy);

    CPropTree m_tree;
    tFitPointQueue m_fitPointRoom;
    LONG m_rowGap = 0;
    LONG m_bottomMargin = 0;
};
