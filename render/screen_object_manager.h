// What a 3D view needs of the overlay controls drawn over it: the view
// offers every mouse, key, focus, cursor, size, idle, command and
// context-menu message to this manager before the interaction modes see it,
// and lets it draw in the frame's GL and GDI+ passes.
//
// The overlay toolkit implements it (and owns its controls); the view owns
// the manager it is given. Every operation has a default that takes nothing,
// so an implementation overrides only what its controls use. "Takes" (a
// non-zero result) means a control handled the message and the interaction
// modes must not see it.
#pragma once

#include "platform/win32/win32.h"

class CWnd;
class GpGraphics;
struct AFX_CMDHANDLERINFO;

template <class TView> class IScreenObjectManager
{
public:
    virtual ~IScreenObjectManager() = default;

    // Mouse: points are client pixels, flags the MK_* bits of the message.
    // Moves arrive only while no mode drags; a control under the pointer
    // takes it.
    virtual BOOL OnMouseMove(POINT, UINT, TView*) { return 0; }
    // WM_L/R/MBUTTONDOWN, ...UP and ...DBLCLK, named by `message`.
    virtual BOOL OnMouseButton(UINT /*message*/, POINT, UINT, TView*) { return 0; }
    // The wheel delta as the message carries it; the point in screen pixels.
    virtual BOOL OnMouseWheel(UINT, short, POINT, TView*) { return 0; }
    virtual void OnMouseLeave(TView*) {}

    // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN or WM_SYSKEYUP, named by `message`.
    // The result of WM_KEYDOWN does not keep the key from the modes.
    virtual BOOL OnKey(UINT /*message*/, UINT /*key*/, UINT /*repeat*/, UINT /*keyFlags*/, TView*) { return 0; }
    // The control that has the keyboard focus (if any) sees every key-down
    // first, before the routing above.
    virtual void OnFocusControlKey(UINT /*key*/, UINT /*repeat*/, UINT /*keyFlags*/, TView*) {}
    virtual void OnSetFocus(CWnd* /*lost*/, TView*) {}
    virtual void OnKillFocus(CWnd* /*gets*/, TView*) {}

    // A cursor id as the modes give it (positive: a cursor resource,
    // negative: a system cursor in the low 16 bits), or 0 for none.
    virtual int OnSetCursor(TView*, UINT /*hitTest*/, UINT /*mouseMessage*/) { return 0; }
    // The view's client size changed (never 0 in either direction).
    virtual void OnSize(int /*width*/, int /*height*/, TView*) {}
    virtual void OnIdleUpdate(TView*) {}
    virtual BOOL OnCommand(UINT, int, void*, AFX_CMDHANDLERINFO*, TView*) { return 0; }
    // A menu resource id (non-zero) and the window for its commands (null:
    // the thread's main window) for a context menu at `screen`, or false.
    virtual BOOL GetContextMenu(POINT /*screen*/, UINT* /*menuId*/, CWnd** /*target*/, TView*) { return 0; }

    // Drawing passes of the view's frame: after the modes' GL pass, and
    // before the modes' GDI+ pass.
    virtual void DrawGL(TView*) {}
    virtual void DrawOverlay(GpGraphics*, TView*) {}
};
