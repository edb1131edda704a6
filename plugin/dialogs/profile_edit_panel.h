// The Sketch page as the profile editing mode's panel: the shapes view's
// profile editor is made with the page that owns its tools, snapping steps,
// distance field and undo list.
#pragma once

class CSubProfileDlg;
class cCPView;

// Lets the view make the profile editing mode with this page as its panel
// (until UnregisterProfileEditPage).
void RegisterProfileEditPage(CSubProfileDlg* page, cCPView* view);
void UnregisterProfileEditPage(CSubProfileDlg* page);
