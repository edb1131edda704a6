// The picker that places the section plane across a curve of the active
// shape's profile: the curve under the cursor is highlighted, and a click
// puts the plane through the curve's start with its normal along the start
// tangent; the curve becomes the plane's guiding curve and the picker ends.
// Escape ends it without a pick. Hovering reads the curve id image drawn
// after every full redraw.
#pragma once

#include "modes/curve_edit_support.h"
#include "modes/screen_selection.h"

#include <cstdint>

class cCPView;

inline constexpr const wchar_t* kGuidingCurvePrompt = L"Select guiding curve. Press ESC to cancel";
inline constexpr std::uint32_t kCursorGuidingCurve = 3017;
inline constexpr UINT kCurveNetworkMenu = 3060;

class CUIM_SelectGuidingCurve : public CUIM_ScreenSelection
{
public:
    CUIM_SelectGuidingCurve(std::uint32_t id, std::uint32_t temporary, cCPView* view);
    ~CUIM_SelectGuidingCurve() override;

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    // The network editing mode's middle-button menu, as in that mode.
    BOOL OnMButtonDown(POINT point, UINT flags, C3DView* view) override;
    void OnEscape(C3DView* view) override;
    void OnActivate(C3DView* view) override;
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;
    void DrawGL(C3DView* view) override;
    void OnAfterFullRedraw(C3DView* view) override;
    BOOL IsPersistentOnEscape() override { return 1; }
    const wchar_t* GetClassName() const override { return L"CUIM_SelectGuidingCurve"; }

    ST_ISectionCurve* GetHoveredCurve() const { return hovered; }
    bool HasPickImage() const { return pickImageValid != 0; }

private:
    // Hovers the curve the id image shows under the cursor, when the image
    // is still in the back buffer.
    void HoverAt(POINT point, C3DView* target);
    ST_ISectionCurve* ActiveProfile() const;

    cCPView* view;
    std::uint8_t pickImageValid = 0;
    // The renderer's back-buffer stamp the pick image took.
    std::uint64_t pickImageStamp = 0;
    stCurvePick pick;
    ST_ISectionCurve* hovered = nullptr;
};

// Installs the maker of the picker in the shapes view's factory.
void RegisterGuidingCurvePicker();
