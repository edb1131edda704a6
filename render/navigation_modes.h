// The navigation modes: they move the camera of a 3D view with the mouse.
// CUIM_RotateTranslate gives each button one operation (left zooms, middle
// rotates, right pans); CUIM_Rotate, CUIM_Translate and CUIM_Zoom make every
// button do one operation; CUIM_ZoomRect drags a rectangle to zoom to with
// the left button and keeps the middle and right buttons navigating, so the
// editing modes built on it navigate too.
//
// A drag starts at a press (the mouse is captured), applies itself on every
// move once the pointer left a 4-pixel radius, and ends at the release. A
// mode pushed by a profile press (temporary) ends itself at the release.
#pragma once

#include "render/mode_navigator.h"
#include "render/view_3d.h"

#include <cstdint>

class GpPen;
class GpSolidFill;

// Operation codes of the buttons.
enum : std::uint32_t
{
    kNoOperation = 0,
    kRotateOperation = 1,
    kTranslateOperation = 2,
    kZoomOperation = 3,
    kZoomRectOperation = 4,
};

// Cursor resources of the navigation.
inline constexpr std::uint32_t kCursorRotate = 17001;
inline constexpr std::uint32_t kCursorTranslate = 17002;
inline constexpr std::uint32_t kCursorZoom = 17003;
inline constexpr std::uint32_t kCursorRotateAlternate = 17007;
inline constexpr std::uint32_t kCursorZoomRect = 17008;
inline constexpr std::uint32_t kCursorIdle = 17032;

class CUIM_RotateTranslate : public cUserInteractiveMode<C3DView>
{
public:
    CUIM_RotateTranslate(std::uint32_t id, std::uint32_t temporary, std::uint32_t zoomRectCursor = 0);

    BOOL OnLButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnRButtonDown(POINT point, UINT flags, C3DView* view) override;
    BOOL OnLButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnRButtonUp(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseMove(POINT point, UINT flags, C3DView* view) override;
    BOOL OnMouseLeave(WPARAM, LPARAM, C3DView*) override;
    POINT* AdjustPoint(POINT* out, POINT point, C3DView* view) override;
    BOOL OnKeyDown(UINT key, UINT repeat, UINT keyFlags, C3DView* view) override;
    BOOL OnKeyUp(UINT key, UINT repeat, UINT keyFlags, C3DView* view) override;
    void OnActivate(C3DView* view) override;
    BOOL OnDeactivate(C3DView* view) override;
    int OnSetCursor(C3DView*, UINT, UINT) override;
    BOOL IsDragging() override;
    const wchar_t* GetClassName() const override { return L"CUIM_RotateTranslate"; }

    std::uint32_t GetOperation() const { return operation; }
    std::uint32_t GetRotationStyle() const { return rotationStyle; }
    std::uint32_t GetCursorId() const { return cursorId; }
    const RECT& GetZoomRect() const { return rect; }

    // Virtual-sphere trackball (1) or half a degree per pixel (0).
    std::uint32_t sphereTrackball = 1;
    // While set the mode leaves the cursor alone.
    std::uint8_t cursorLocked = 0;

protected:
    // The cursor the mode reports while no drag runs (0: the current one).
    virtual std::uint32_t FixedCursor() const { return 0; }

    BOOL StartOperation(std::uint32_t op, POINT point, UINT flags, C3DView* view);
    BOOL EndOperation(std::uint32_t op, C3DView* view);
    void ShowCursor(std::uint32_t id);
    void ClearDragState();

    std::uint32_t operation = kNoOperation;
    std::uint32_t leftOperation = kZoomOperation;
    std::uint32_t middleOperation = kRotateOperation;
    std::uint32_t rightOperation = kTranslateOperation;
    std::uint32_t rotationStyle = 1;
    std::uint32_t cursorId = kCursorIdle;
    POINT pressPoint{0, 0};
    POINT lastPoint{0, 0};
    // The cursor at the drag's last move, in screen pixels.
    POINT lastScreenPoint{0, 0};
    std::uint32_t moved = 0;
    std::uint32_t rotateCursor = kCursorRotate;
    std::uint32_t rotateAlternateCursor = kCursorRotateAlternate;
    std::uint32_t rotateCtrlCursor = kCursorRotate;
    std::uint32_t translateCursor = kCursorTranslate;
    std::uint32_t zoomCursor = kCursorZoom;
    std::uint32_t zoomRectCursor;
    float pressWorld[2] = {0.0f, 0.0f};
    double startTranslation[2] = {0.0, 0.0};
    RECT rect{0, 0, 0, 0};

private:
    void StartRotation(POINT point, UINT flags, C3DView* view);
    void Rotate(POINT point, C3DView* view);
    void Translate(POINT point, C3DView* view);
    void Zoom(POINT point, C3DView* view);
    // The screen-space rotation from the view's previous point to point.
    bool TrackballRotation(double r[12], POINT previous, POINT point, C3DView* view) const;
    bool RollRotation(double r[12], POINT previous, POINT point, C3DView* view) const;
    std::uint32_t CursorOf(std::uint32_t op) const;
};

class CUIM_Rotate : public CUIM_RotateTranslate
{
public:
    CUIM_Rotate(std::uint32_t id, std::uint32_t temporary);

protected:
    std::uint32_t FixedCursor() const override { return kCursorRotate; }
};

class CUIM_Translate : public CUIM_RotateTranslate
{
public:
    CUIM_Translate(std::uint32_t id, std::uint32_t temporary);

protected:
    std::uint32_t FixedCursor() const override { return kCursorTranslate; }
};

class CUIM_Zoom : public CUIM_RotateTranslate
{
public:
    CUIM_Zoom(std::uint32_t id, std::uint32_t temporary);

protected:
    std::uint32_t FixedCursor() const override { return kCursorZoom; }
};

class CUIM_ZoomRect : public CUIM_RotateTranslate
{
public:
    static constexpr std::uint32_t kFillColour = 0x60FFFFFF;

    CUIM_ZoomRect(std::uint32_t id, std::uint32_t temporary);
    ~CUIM_ZoomRect() override;

    void DrawOverlay(GpGraphics* graphics, C3DView* view) override;
    BOOL OnDeactivate(C3DView* view) override;

protected:
    std::uint32_t FixedCursor() const override { return kCursorZoomRect; }

private:
    GpPen* widePen = nullptr;
    GpPen* thinPen = nullptr;
    GpSolidFill* fill = nullptr;
};
