// CVivoZededDezazDockBar: the host dock bar "Primitives" that holds the
// primitive panel, and its registration with the host when the plug-in
// loads (the host shows it docked at the right of its main window).
#pragma once

#include "platform/host/dock_bar.h"

inline constexpr ON_UUID kPrimitivesDockBarId = {
    0xAE1C27B1, 0xBABA, 0x4DB3, {0x9C, 0x43, 0xE1, 0x3F, 0x54, 0x9A, 0xD8, 0x81}};

class CDefinePrimitiveDlg;

class CVivoZededDezazDockBar : public CDezazUiDockBar
{
    DECLARE_DYNCREATE(CVivoZededDezazDockBar)

public:
    CVivoZededDezazDockBar() = default;
    ~CVivoZededDezazDockBar() override = default;

    ON_UUID DockBarID() const override { return kPrimitivesDockBarId; }
    const wchar_t* DockBarName(int language_id = 1033) const override;
    bool CreateDockBarControls() override;

    CDefinePrimitiveDlg* Panel() const;
};

// Makes the "Primitives" bar in the host's main window (a floating bar
// without one), sized to show the whole panel; the bar that exists when it
// was made before. Null when the host cannot make it.
CVivoZededDezazDockBar* CreatePrimitivesDockBar();
// Removes the bar when it exists (the plug-in is going away).
void DestroyPrimitivesDockBar();
