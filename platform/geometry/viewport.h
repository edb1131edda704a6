// A view's camera and its mapping to the pixels of a window: a parallel
// projection along the camera direction. Coordinates pass through four
// systems: world, camera (x right, y up, looking down -z), clip (the
// frustum as the cube [-1, 1]^3, near at -1) and screen (pixels, y down,
// depth 0 at the near plane and 1 at the far one).
#pragma once

#include "platform/geometry/bounding_box.h"
#include "platform/geometry/xform.h"

class ON_Viewport
{
public:
    enum class coordinate_system
    {
        world_cs,
        camera_cs,
        clip_cs,
        screen_cs,
    };

    ON_Viewport();

    // The camera: a location, a direction it looks in and an up vector
    // that is not parallel to the direction. False (unchanged) for a zero or
    // parallel vector.
    bool SetCameraLocation(const ON_3dPoint& location);
    bool SetCameraDirection(const ON_3dVector& direction);
    bool SetCameraUp(const ON_3dVector& up);
    ON_3dPoint CameraLocation() const { return m_location; }
    ON_3dVector CameraDirection() const { return m_direction; }
    // The camera's unit axes in world coordinates (z opposes the direction).
    ON_3dVector CameraX() const;
    ON_3dVector CameraY() const;
    ON_3dVector CameraZ() const;

    // The frustum in camera coordinates: left < right, bottom < top,
    // 0 <= near < far (distances in front of the camera).
    bool SetFrustum(double left, double right, double bottom, double top, double near_dist, double far_dist);
    bool GetFrustum(double* left, double* right, double* bottom, double* top, double* near_dist,
                    double* far_dist) const;

    // The window pixels the frustum maps to (left < right, top < bottom as
    // rows count down).
    bool SetScreenPort(int left, int right, int bottom, int top);
    bool GetScreenPort(int* left, int* right, int* bottom, int* top) const;
    int ScreenPortWidth() const { return m_port_right - m_port_left; }
    int ScreenPortHeight() const { return m_port_bottom - m_port_top; }

    // The transform from one system to another. False only when the
    // camera or frustum is degenerate.
    bool GetXform(coordinate_system from, coordinate_system to, ON_Xform& xform) const;

    // Moves the camera back along its direction and sizes the frustum so
    // that the box fills the screen port with a margin, keeping the port's
    // aspect ratio (pixels stay square). False for an invalid box.
    bool ZoomToBoundingBox(const ON_BoundingBox& box, double margin_fraction = 0.05);

    // Pixels per world unit across the screen.
    double PixelsPerUnit() const;

private:
    ON_Xform WorldToCamera() const;
    ON_Xform CameraToClip() const;
    ON_Xform ClipToScreen() const;

    ON_3dPoint m_location{0, 0, 100};
    ON_3dVector m_direction{0, 0, -1};
    ON_3dVector m_up{0, 1, 0};
    double m_left = -10, m_right = 10, m_bottom = -10, m_top = 10, m_near = 0.1, m_far = 1000;
    int m_port_left = 0, m_port_right = 100, m_port_bottom = 100, m_port_top = 0;
};
