#include "platform/geometry/viewport.h"

#include <algorithm>
#include <cmath>

namespace
{

bool Parallel(const ON_3dVector& a, const ON_3dVector& b)
{
    const ON_3dVector c = ON_CrossProduct(a, b);
    return c.Length() <= 1e-12 * a.Length() * b.Length();
}

} // namespace

ON_Viewport::ON_Viewport() = default;

bool ON_Viewport::SetCameraLocation(const ON_3dPoint& location)
{
    if (!std::isfinite(location.x) || !std::isfinite(location.y) || !std::isfinite(location.z))
        return false;
    m_location = location;
    return true;
}

bool ON_Viewport::SetCameraDirection(const ON_3dVector& direction)
{
    ON_3dVector d = direction;
    if (!d.Unitize() || Parallel(d, m_up))
        return false;
    m_direction = d;
    return true;
}

bool ON_Viewport::SetCameraUp(const ON_3dVector& up)
{
    ON_3dVector u = up;
    if (!u.Unitize() || Parallel(u, m_direction))
        return false;
    m_up = u;
    return true;
}

ON_3dVector ON_Viewport::CameraX() const
{
    ON_3dVector x = ON_CrossProduct(m_direction, m_up);
    x.Unitize();
    return x;
}

ON_3dVector ON_Viewport::CameraY() const
{
    return ON_CrossProduct(CameraZ(), CameraX());
}

ON_3dVector ON_Viewport::CameraZ() const
{
    return -1.0 * m_direction;
}

bool ON_Viewport::SetFrustum(double left, double right, double bottom, double top, double near_dist,
                             double far_dist)
{
    if (!(left < right) || !(bottom < top) || !(near_dist >= 0.0) || !(near_dist < far_dist) ||
        !std::isfinite(right - left) || !std::isfinite(top - bottom) || !std::isfinite(far_dist))
        return false;
    m_left = left, m_right = right, m_bottom = bottom, m_top = top, m_near = near_dist, m_far = far_dist;
    return true;
}

bool ON_Viewport::GetFrustum(double* left, double* right, double* bottom, double* top, double* near_dist,
                             double* far_dist) const
{
    if (left)
        *left = m_left;
    if (right)
        *right = m_right;
    if (bottom)
        *bottom = m_bottom;
    if (top)
        *top = m_top;
    if (near_dist)
        *near_dist = m_near;
    if (far_dist)
        *far_dist = m_far;
    return true;
}

bool ON_Viewport::SetScreenPort(int left, int right, int bottom, int top)
{
    if (left >= right || top >= bottom)
        return false;
    m_port_left = left, m_port_right = right, m_port_bottom = bottom, m_port_top = top;
    return true;
}

bool ON_Viewport::GetScreenPort(int* left, int* right, int* bottom, int* top) const
{
    if (left)
        *left = m_port_left;
    if (right)
        *right = m_port_right;
    if (bottom)
        *bottom = m_port_bottom;
    if (top)
        *top = m_port_top;
    return true;
}

ON_Xform ON_Viewport::WorldToCamera() const
{
    const ON_3dVector axes[3] = {CameraX(), CameraY(), CameraZ()};
    const ON_3dVector origin(m_location.x, m_location.y, m_location.z);
    ON_Xform m;
    for (int i = 0; i < 3; ++i)
    {
        m[i][0] = axes[i].x, m[i][1] = axes[i].y, m[i][2] = axes[i].z;
        m[i][3] = -ON_DotProduct(axes[i], origin);
    }
    return m;
}

ON_Xform ON_Viewport::CameraToClip() const
{
    // The orthographic projection of GL: camera z = -near maps to -1.
    ON_Xform m;
    m[0][0] = 2.0 / (m_right - m_left);
    m[0][3] = -(m_right + m_left) / (m_right - m_left);
    m[1][1] = 2.0 / (m_top - m_bottom);
    m[1][3] = -(m_top + m_bottom) / (m_top - m_bottom);
    m[2][2] = -2.0 / (m_far - m_near);
    m[2][3] = -(m_far + m_near) / (m_far - m_near);
    return m;
}

ON_Xform ON_Viewport::ClipToScreen() const
{
    ON_Xform m;
    m[0][0] = 0.5 * (m_port_right - m_port_left);
    m[0][3] = 0.5 * (m_port_right + m_port_left);
    m[1][1] = 0.5 * (m_port_top - m_port_bottom);
    m[1][3] = 0.5 * (m_port_top + m_port_bottom);
    m[2][2] = 0.5;
    m[2][3] = 0.5;
    return m;
}

bool ON_Viewport::GetXform(coordinate_system from, coordinate_system to, ON_Xform& xform) const
{
    // Each system's transform from world coordinates; the rest follows by
    // composing with an inverse.
    const ON_Xform steps[3] = {WorldToCamera(), CameraToClip(), ClipToScreen()};
    auto from_world = [&](coordinate_system cs) {
        ON_Xform m;
        for (int i = 0; i < static_cast<int>(cs); ++i)
            m = steps[i] * m;
        return m;
    };
    ON_Xform to_world = from_world(from);
    if (!to_world.Invert())
        return false;
    xform = from_world(to) * to_world;
    return xform.IsValid();
}

bool ON_Viewport::ZoomToBoundingBox(const ON_BoundingBox& box, double margin_fraction)
{
    if (!box.IsValid())
        return false;
    const ON_3dPoint centre = box.Center();
    const ON_3dVector x = CameraX(), y = CameraY(), z = CameraZ();
    double half_x = 0, half_y = 0, half_z = 0;
    for (int i = 0; i < 8; ++i)
    {
        const ON_3dVector d = box.Corner(i) - centre;
        half_x = std::max(half_x, std::fabs(ON_DotProduct(d, x)));
        half_y = std::max(half_y, std::fabs(ON_DotProduct(d, y)));
        half_z = std::max(half_z, std::fabs(ON_DotProduct(d, z)));
    }
    const double size = std::max({half_x, half_y, half_z, 1e-6});
    half_x = std::max(half_x, 1e-6) * (1.0 + margin_fraction);
    half_y = std::max(half_y, 1e-6) * (1.0 + margin_fraction);
    const double aspect = static_cast<double>(ScreenPortWidth()) / ScreenPortHeight();
    if (half_x < half_y * aspect)
        half_x = half_y * aspect;
    else
        half_y = half_x / aspect;
    // Far enough back that nothing of the box is behind the near plane.
    const double distance = half_z + size;
    m_location = centre + distance * z;
    m_left = -half_x, m_right = half_x, m_bottom = -half_y, m_top = half_y;
    m_near = std::max(0.0, distance - half_z - 0.5 * size);
    m_far = distance + half_z + 0.5 * size;
    return true;
}

double ON_Viewport::PixelsPerUnit() const
{
    return ScreenPortWidth() / (m_right - m_left);
}
