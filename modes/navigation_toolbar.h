// The floating navigation toolbar of the tool views (the shapes view and the
// segmentation view): zoom, the three navigation modes, the standard views
// and the isometric cycle in a translucent column along the view's left
// edge, with one tooltip frame that every button shares. The views differ
// only in what the options below say.
#pragma once

#include "overlay/annotations.h"
#include "overlay/button.h"
#include "render/view_3d.h"

#include <cstddef>
#include <cstdint>

// The buttons' cursor and image alpha.
inline constexpr std::uint32_t kNavigationToolbarCursor = 17004;
inline constexpr std::uint8_t kNavigationToolbarAlpha = 160;

struct stNavigationToolbarOptions
{
    // Only "Zoom All" and "Rectangular Zoom": a view whose rotation is
    // locked offers neither the navigation modes nor the standard views.
    bool zoomOnly = false;
    // When set, the world-axes switch ends the toolbar and its click calls
    // this with the view (as C3DView*) for context.
    tButtonCallback axesClick = nullptr;
};

struct stNavigationToolbar
{
    tSafePtr<cVE_GlobalToolTip<C3DView>> tooltip;
    std::size_t buttonCount = 0;
};

// Adds the tooltip and the toolbar to the view's overlay (nothing when the
// view has none, or when an allocation fails). The buttons' clicks and
// check states act on the view, which must outlive them.
stNavigationToolbar BuildNavigationToolbar(C3DView& view, const stNavigationToolbarOptions& options);
