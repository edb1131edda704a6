// The shapes view's owner with nothing behind it, for tests of one mode on a
// real view: no magic wand, no quick pickers, no undo of selections, no
// world axes. Tests derive from it to add what their mode needs.
#pragma once

#include "modes/shapes_view_owner.h"
#include "platform/mfc/wnd.h"

#include <string>

class StubShapesViewOwner : public CWnd, public IShapesViewOwner
{
public:
    void ReapplyMagicWand(bool, bool) override {}
    ISceneObject* CurrentShapeObject() override { return nullptr; }
    std::wstring& HintText() override { return hint; }
    bool SelectFrontFacingOnly() const override { return false; }
    bool DrawWorldAxes() const override { return false; }
    void SetDrawWorldAxes(bool) override {}
    void SaveSelectionForUndo() override {}
    bool RestoreSelectionFromUndo() override { return false; }
    HWND QuickShapePicker(bool) override { return nullptr; }
    void HideQuickPickers() override {}
    void StartNewShape() override {}
    bool OnViewCommand(UINT) override { return false; }

    std::wstring hint;
};
