// The shapes dialog's shape list and its context menu. The list tells the
// dialog of a right click (the item under the cursor selected first) and
// lets the dialog's and the view's keys work while it has the focus. Which
// session an item stands for is the dialog's item-to-session table; the
// name is only what the item shows.
#pragma once

#include "platform/mfc/controls.h"

class CCreatePrimitiveDialog;
class cCPView;

inline constexpr const wchar_t* kDeleteAllQuestion = L"Are you sure you want to delete all surfaces?";

class CVTLListBox : public CListBox
{
public:
    void SetShapesView(cCPView* view) { m_view = view; }
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    afx_msg void OnRButtonDown(UINT flags, CPoint point);
    DECLARE_MESSAGE_MAP()

private:
    cCPView* m_view = nullptr;
};

// Makes the shape of the list item current, as choosing it in the list
// does: a shape read from a document is built again when it has only its
// profile or sections, and a curve network shows its Curves tab. Nothing
// for no item or the current shape's.
void MakeListedShapeCurrent(CCreatePrimitiveDialog& dialog, int index);

// The context menu at the cursor: "Delete ..." asks about the current shape,
// "Delete All" about all of them. Returns the chosen command, 0 for none.
UINT RunShapeListMenu(CCreatePrimitiveDialog& dialog);
// Asks, then deletes every shape of the dialog's host object (their regions
// cleared from the mesh) and empties the list. False when there was nothing
// to delete or the user said no.
bool DeleteAllShapes(CCreatePrimitiveDialog& dialog);
