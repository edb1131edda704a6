// What the overlay toolkit reads of the view it draws over: the window (to
// redraw it and to convert screen points), the renderer with its redraw
// level, and whether the view's redraw is suspended. A view class whose
// members are named differently specialises this template.
#pragma once

#include "platform/win32/win32.h"
#include "render/gdiplus_graphics.h"
#include "render/renderer.h"

#include <cstdint>

template <class TView> struct tOverlayViewAccess
{
    static HWND GetWindow(TView* view) { return view->GetSafeHwnd(); }
    static I3DSceneRenderer* GetRenderer(TView* view) { return view->GetRenderer(); }
    static std::uint32_t GetRedrawLevel(TView* view) { return view->GetRedrawLevel(); }
    static bool IsRedrawSuspended(TView* view) { return view->IsRedrawSuspended(); }
    // The graphics of the layer the view composes over its frame, with its
    // area collector; null when the view has none.
    static cGdiplusGraphics* GetOverlayGraphics(TView*) { return nullptr; }
};

// Asks the view to draw itself again from its current redraw level; nothing
// while it has no window or renderer or its redraw is suspended.
template <class TView> void RequestViewRedraw(TView* view)
{
    using Access = tOverlayViewAccess<TView>;
    if (view == nullptr)
        return;
    const std::uint32_t level = Access::GetRedrawLevel(view);
    HWND window = Access::GetWindow(view);
    I3DSceneRenderer* renderer = Access::GetRenderer(view);
    if (window == nullptr || renderer == nullptr || Access::IsRedrawSuspended(view))
        return;
    renderer->LowerRedrawLevel(level);
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
}
