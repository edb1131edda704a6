// How the overlay toolkit reads the 3D view: its window, its renderer, the
// renderer's current redraw level (the overlay changes nothing of the scene)
// and its update lock.
#pragma once

#include "overlay/overlay_view_access.h"
#include "render/gdi_graphics_layer.h"
#include "render/view_3d.h"

template <> struct tOverlayViewAccess<C3DView>
{
    static HWND GetWindow(C3DView* view) { return view->GetSafeHwnd(); }
    static I3DSceneRenderer* GetRenderer(C3DView* view) { return view->GetRenderer(); }
    static std::uint32_t GetRedrawLevel(C3DView* view)
    {
        I3DSceneRenderer* renderer = view->GetRenderer();
        return renderer != nullptr ? renderer->GetRedrawLevel() : 0;
    }
    static bool IsRedrawSuspended(C3DView* view) { return view->GetUpdateLockCount() != 0; }
    static cGdiplusGraphics* GetOverlayGraphics(C3DView* view)
    {
        I3DSceneRenderer* renderer = view->GetRenderer();
        cGDIGraphicsLayer* layer =
            renderer != nullptr ? renderer->GetGDILayer(view->GetClientWidth(), view->GetClientHeight()) : nullptr;
        return layer != nullptr ? layer->GetGraphics() : nullptr;
    }
};

#include "overlay/view_screen_object_manager.h"

// The overlay a 3D view is given (SetScreenObjectManager).
using C3DViewOverlay = cViewScreenObjectManager<C3DView>;
