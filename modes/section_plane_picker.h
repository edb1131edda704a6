// The picker of the section plane that the curve-network panel cuts the
// reference mesh with: two clicks on the screen give a line, and the plane
// is the one that contains that line and the viewing direction. It moves
// the panel's plane while the second point follows the cursor, and ends
// itself after the second click. The right button takes the first point
// back; Escape does not end it.
#pragma once

#include "render/navigation_modes.h"

#include <cstdint>

class cCPView;
class ST_CInteractiveSectionPlane;
class ST_ISectionCurve;

// What the pickers need of the panel that owns the section plane: the owner
// window of the shapes view (the shapes dialog) hands it out.
class ISectionPlaneHost
{
public:
    virtual ~ISectionPlaneHost() = default;
    // The panel's plane, or null while there is no curve-network panel.
    virtual ST_CInteractiveSectionPlane* SectionPlane() = 0;
    // A picker moved the plane: the panel's section polylines are no longer
    // those of its plane (they are emptied and recomputed when the editing
    // mode resumes), and what the panel shows of the plane follows it.
    virtual void DiscardSectionPolylines() = 0;
    // The section-plane picker's preview moved the plane: the panel's
    // section polylines and what it shows of the plane follow it, also when
    // the picker is left before its second click.
    virtual void SectionPlanePreviewed() {}
    // The active shape's profile (a sketch of curves), or null.
    virtual ST_ISectionCurve* ActiveProfile() = 0;
};
// The host behind a shapes view: the one set for it, else its owner window
// when that is a host; null for none.
ISectionPlaneHost* SectionPlaneHostOf(cCPView* view);
// Sets (or, with null, forgets) the host of a view's pickers.
void SetSectionPlaneHost(cCPView* view, ISectionPlaneHost* host);

// The plane through the screen line a-b that contains the viewing direction
// (unit normal), with its origin midway between a and b at the depth of the
// anchor. False when the renderer is missing or the line has no length.
bool PlaneFromScreenLine(POINT a, POINT b, C3DView* view, const float anchor[3], float normal[3], float origin[3]);

inline constexpr std::uint32_t kCursorSectionLine = 3041;
inline constexpr std::uint32_t kCursorSectionHorizontal = 3043;
inline constexpr std::uint32_t kCursorSectionVertical = 3044;

class CUIM_InteractiveSectionPlane : public CUIM_ZoomRect
{
public:
    CUIM_InteractiveSectionPlane(std::uint32_t id, std::uint32_t temporary, cCPView* view);

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnRButtonUp(POINT point, UINT flags, C3DView* view) override;
    void OnEscape(C3DView*) override {}
    int OnSetCursor(C3DView* view, UINT hitTest, UINT message) override;
    void DrawGL(C3DView* view) override;
    const wchar_t* GetClassName() const override { return L"CUIM_InteractiveSectionPlane"; }

    int GetClickCount() const { return clicks; }
    POINT GetFirstPoint() const { return first; }
    POINT GetSecondPoint() const { return second; }

private:
    // Moves the host's plane onto the line first-second; false when it
    // cannot.
    bool PlaceHostPlane(C3DView* view);
    // Remembers the model point under the first click and the camera.
    void HoldFirstPoint(C3DView* view);
    // After the camera moved (a zoom, a turn, a resize), the first point is
    // the pixel that now shows the model point clicked first.
    void FollowFirstPoint(C3DView* view);

    cCPView* view;
    std::int32_t clicks = 0;
    POINT first{0, 0};
    POINT second{0, 0};
    float firstWorld[3] = {0.0f, 0.0f, 0.0f};
    double firstCamera[12] = {};
    float firstBox[6] = {};
    RECT firstViewport{};
};

// Installs the maker of the picker in the shapes view's factory.
void RegisterSectionPlanePicker();
