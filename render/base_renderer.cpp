#include "render/base_renderer.h"

#include "core/bounding_box.h"
#include "core/frame_math.h"
#include "core/scene.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace
{

// The angles of the standard views, as single-precision values.
constexpr double kHalfPi = 1.5707963705062866;
constexpr double kPi = 3.1415927410125732;
constexpr double kQuarterPi = 0.7853981852531433;
constexpr double kThreeQuarterPi = 2.356194496154785;
constexpr double kThirdPi = 1.0471975803375244;
constexpr double kFourThirdsPi = 4.188790321350098;

// Extents below this count as a degenerate box in the window conversions.
constexpr double kDegenerateExtent = 1e-8;

// Window coordinates from a double, without the undefined behaviour of
// converting an out-of-range or NaN value to an integer.
LONG TruncateToLong(double v)
{
    if (!(v == v))
        return 0;
    constexpr double limit = 1073741824.0; // far beyond any window
    return static_cast<LONG>(std::trunc(std::clamp(v, -limit, limit)));
}

void RotateAboutOwnColumn(double transform[12], int column, double angle)
{
    const double axis[3] = {transform[column], transform[4 + column], transform[8 + column]};
    RotateTransform3x4(transform, angle, axis);
}

} // namespace

cBase3DRenderer::stViewState::stViewState(cBase3DRenderer* renderer) : m_renderer(renderer)
{
    if (m_renderer)
    {
        m_renderer->GetSceneBox(m_min, m_max);
        std::memcpy(m_transform, m_renderer->GetViewTransform(), sizeof(m_transform));
    }
    else
    {
        std::fill(m_min, m_min + 3, 0.0f);
        std::fill(m_max, m_max + 3, 0.0f);
        MakeIdentity3x4(m_transform);
    }
}

void cBase3DRenderer::stViewState::Restore()
{
    if (!m_renderer)
        return;
    m_renderer->SetViewTransform(m_transform);
    m_renderer->SetSceneBox(m_min, m_max);
}

cBase3DRenderer::cBase3DRenderer()
{
    MakeIdentity3x4(m_viewTransform);
    MakeIdentity3x4(m_userDefinedView);
    MakeIdentity3x4(m_mappedTopView);
    ClearInteractionPoint();
}

std::uint32_t cBase3DRenderer::LowerRedrawLevel(std::uint32_t level)
{
    m_redrawLevel = std::min(m_redrawLevel, level);
    return m_redrawLevel;
}

std::uint32_t cBase3DRenderer::GetRedrawLevel() { return m_redrawLevel; }

void cBase3DRenderer::ScreenToWorld(const POINT& point, float* x, float* y)
{
    RECT viewport{};
    GetViewport(&viewport);
    const float w = static_cast<float>(viewport.right - viewport.left);
    const float h = static_cast<float>(viewport.bottom - viewport.top);
    if (IsPerspective())
    {
        *x = static_cast<float>(point.x);
        *y = static_cast<float>(viewport.bottom - point.y - viewport.top);
        return;
    }
    const float boxWidth = m_sceneMax[0] - m_sceneMin[0];
    const float boxHeight = m_sceneMax[1] - m_sceneMin[1];
    // An empty viewport would divide by zero: it maps everything to the centre
    // like a degenerate box does.
    if (std::fabs(boxWidth) < kDegenerateExtent || std::fabs(boxHeight) < kDegenerateExtent || w <= 0.0f ||
        h <= 0.0f)
    {
        *x = 0.0f;
        *y = 0.0f;
        return;
    }
    *x = (static_cast<float>(point.x) - w * 0.5f) * boxWidth / w;
    *y = boxHeight * (static_cast<float>(viewport.bottom - point.y - viewport.top) - h * 0.5f) / h;
}

void cBase3DRenderer::WorldToRectPoint(const RECT& rect, float x, float y, POINT* out)
{
    const double w = static_cast<double>(rect.right) - rect.left;
    const double h = static_cast<double>(rect.bottom) - rect.top;
    const double boxWidth = static_cast<double>(m_sceneMax[0]) - m_sceneMin[0];
    const double boxHeight = static_cast<double>(m_sceneMax[1]) - m_sceneMin[1];
    // A degenerate box has no scale: every point lands in the middle.
    const double sx = std::fabs(boxWidth) < kDegenerateExtent ? 0.0 : w * x / boxWidth;
    const double sy = std::fabs(boxHeight) < kDegenerateExtent ? 0.0 : h * y / boxHeight;
    out->x = TruncateToLong(sx + w * 0.5);
    out->y = rect.bottom - TruncateToLong(sy + h * 0.5) - rect.top;
}

void cBase3DRenderer::WorldToScreen(float x, float y, POINT* out)
{
    RECT viewport{};
    GetViewport(&viewport);
    if (IsPerspective())
    {
        out->x = TruncateToLong(x);
        out->y = viewport.bottom - TruncateToLong(y) - viewport.top;
        return;
    }
    WorldToRectPoint(viewport, x, y, out);
}

float cBase3DRenderer::PixelsToWorld(int pixels)
{
    float x0 = 0.0f, y0 = 0.0f, xn = 0.0f, yn = 0.0f;
    ScreenToWorld(POINT{pixels, 0}, &xn, &yn);
    ScreenToWorld(POINT{0, 0}, &x0, &y0);
    return std::fabs(xn - x0);
}

IViewState* cBase3DRenderer::CreateViewState() { return new stViewState(this); }

void cBase3DRenderer::GetStandardViewTransform(double out[12], I3DScene*, int index)
{
    std::memcpy(out, m_mappedTopView, sizeof(m_mappedTopView));
    InvertRigidTransform3x4(out);
    StandardViewTransform(out, index);
}

void cBase3DRenderer::StandardViewTransform(double transform[12], int index)
{
    // Each entry turns about the frame's own z and/or x axis (read just
    // before the turn); a zero angle means no turn.
    struct Turns
    {
        double aboutZ;
        double aboutX;
        bool zFirst;
    };
    static const Turns table[16] = {
        {kHalfPi, kHalfPi, true},                  // 0 right
        {-kHalfPi, kHalfPi, true},                 // 1 left
        {0.0, 0.0, true},                          // 2 top
        {0.0, kPi, true},                          // 3 bottom
        {0.0, kHalfPi, true},                      // 4 front
        {kPi, -kHalfPi, false},                    // 5 back: x first, then z
        {-kQuarterPi, kThirdPi, true},             // 6..9 diagonal from above
        {kQuarterPi, kThirdPi, true},
        {-kThreeQuarterPi, kThirdPi, true},
        {kThreeQuarterPi, kThirdPi, true},
        {-kQuarterPi, -kFourThirdsPi, true},       // 10..13 diagonal from below
        {kQuarterPi, -kFourThirdsPi, true},
        {-kThreeQuarterPi, -kFourThirdsPi, true},
        {kThreeQuarterPi, -kFourThirdsPi, true},
        {0.0, 0.0, true},                          // 14 user-defined (below)
        {0.0, kPi, true},                          // 15 bottom again
    };
    if (index == 14)
    {
        std::memcpy(transform, m_userDefinedView, sizeof(m_userDefinedView));
    }
    else if (index >= 0 && index < 16)
    {
        const Turns& turns = table[index];
        if (turns.zFirst)
        {
            if (turns.aboutZ != 0.0)
                RotateAboutOwnColumn(transform, 2, turns.aboutZ);
            if (turns.aboutX != 0.0)
                RotateAboutOwnColumn(transform, 0, turns.aboutX);
        }
        else
        {
            RotateAboutOwnColumn(transform, 0, turns.aboutX);
            RotateAboutOwnColumn(transform, 2, turns.aboutZ);
        }
        InvertRigidTransform3x4(transform);
    }
    transform[3] = transform[7] = transform[11] = 0.0;
}

void cBase3DRenderer::ZoomExtents(I3DScene* scene, ISceneObject* object)
{
    float box[6];
    MakeEmptyBox3f(box);
    if (scene)
        scene->GetObjectBoundingBox(object, box);
    ZoomExtentsToBox(box);
}

void cBase3DRenderer::ZoomExtentsToBox(const float box[6])
{
    if (!IsValidBoundingBox3f(box))
    {
        const float min[3] = {-1.0f, -1.0f, -1.0f}, max[3] = {1.0f, 1.0f, 1.0f};
        SetSceneBox(min, max);
        return;
    }
    double m[3], halfDiagonal2 = 0.0, magnitude = 1.0;
    for (int i = 0; i < 3; ++i)
    {
        m[i] = (static_cast<double>(box[i]) + box[i + 3]) * 0.5;
        const double d = box[i + 3] - m[i];
        halfDiagonal2 += d * d;
        magnitude = std::max(magnitude, std::fabs(m[i]));
    }
    const float halfDiagonal = static_cast<float>(std::sqrt(halfDiagonal2));
    // A single point (or coincident points) gives a valid box of size zero;
    // a zero-size view could never be zoomed out of again, so it gets the
    // default half size around that point instead.
    const float r = halfDiagonal > 1e-6 * magnitude ? static_cast<float>(halfDiagonal * 1.2) : 1.0f;
    float min[3], max[3];
    for (int i = 0; i < 3; ++i)
    {
        const float c = static_cast<float>(m[i]);
        min[i] = c - r;
        max[i] = c + r;
    }
    SetSceneBox(min, max);
}

void cBase3DRenderer::GetSceneBox(float min[3], float max[3])
{
    std::copy_n(m_sceneMin, 3, min);
    std::copy_n(m_sceneMax, 3, max);
}

void cBase3DRenderer::SetSceneBox(const float min[3], const float max[3])
{
    for (int i = 0; i < 3; ++i)
    {
        m_sceneMin[i] = min[i];
        m_sceneMax[i] = max[i];
        m_sceneCentre[i] = (min[i] + max[i]) * 0.5f;
    }
}

void cBase3DRenderer::FitSceneBoxToAspect(double aspect)
{
    // A non-positive or NaN aspect (an empty window) has no shape to fit to.
    if (!(aspect > 0.0) || std::isinf(aspect))
        return;
    const double w = static_cast<double>(m_sceneMax[0]) - m_sceneMin[0];
    const double h = static_cast<double>(m_sceneMax[1]) - m_sceneMin[1];
    const double cx = (static_cast<double>(m_sceneMin[0]) + m_sceneMax[0]) * 0.5;
    const double cy = (static_cast<double>(m_sceneMin[1]) + m_sceneMax[1]) * 0.5;
    double newWidth, newHeight;
    if (h <= w / aspect)
    {
        newHeight = (h + w / aspect) / 2.0;
        newWidth = newHeight * aspect;
    }
    else
    {
        newWidth = (w + h * aspect) / 2.0;
        newHeight = newWidth / aspect;
    }
    const float min[3] = {static_cast<float>(cx - newWidth / 2.0), static_cast<float>(cy - newHeight / 2.0),
                          m_sceneMin[2]};
    const float max[3] = {static_cast<float>(cx + newWidth / 2.0), static_cast<float>(cy + newHeight / 2.0),
                          m_sceneMax[2]};
    SetSceneBox(min, max);
}

void cBase3DRenderer::GrowSceneBox(float left, float right, float bottom, float top)
{
    const float min[3] = {m_sceneMin[0] - left, m_sceneMin[1] - bottom, m_sceneMin[2]};
    const float max[3] = {m_sceneMax[0] + right, m_sceneMax[1] + top, m_sceneMax[2]};
    SetSceneBox(min, max);
}

void cBase3DRenderer::GrowSceneBoxBy(float d) { GrowSceneBox(d, d, d, d); }

void cBase3DRenderer::SetViewTransformAndZoomExtents(const double transform[12], I3DScene* scene,
                                                     ISceneObject* object)
{
    SetViewTransform(transform);
    m_viewTransform[11] = 0.0;
    ZoomExtents(scene, object);
}

void cBase3DRenderer::SetViewTransform(const double transform[12])
{
    std::memmove(m_viewTransform, transform, sizeof(m_viewTransform));
}

const double* cBase3DRenderer::GetViewTransform() { return m_viewTransform; }

void cBase3DRenderer::SetPan(double x, double y)
{
    m_viewTransform[3] = x;
    m_viewTransform[7] = y;
}

void cBase3DRenderer::SetDepthOffset(double z) { m_viewTransform[11] = z; }

const float* cBase3DRenderer::GetSceneCentre() { return m_sceneCentre; }

void cBase3DRenderer::DrawPivotMarker(const float[3], float) {}

void cBase3DRenderer::ScreenDeltaToWorld(float out[3], const POINT& from, const POINT& to)
{
    float x1 = 0.0f, y1 = 0.0f, x2 = 0.0f, y2 = 0.0f;
    ScreenToWorld(from, &x1, &y1);
    ScreenToWorld(to, &x2, &y2);
    out[0] = x2 - x1;
    out[1] = y2 - y1;
    out[2] = 0.0f;
}

void cBase3DRenderer::PushViewState()
{
    if (m_viewStates.size() >= kMaxViewStates)
        m_viewStates.pop_front();
    m_viewStates.emplace_back(this);
}

void cBase3DRenderer::PopViewState()
{
    if (m_viewStates.empty())
        return;
    stViewState state = m_viewStates.back();
    m_viewStates.pop_back();
    state.Restore();
}

void cBase3DRenderer::SetInteractionPoint(const float point[3]) { std::copy_n(point, 3, m_interactionPoint); }

bool cBase3DRenderer::HasInteractionPoint() const { return m_interactionPoint[0] != FLT_MAX; }

void cBase3DRenderer::ClearInteractionPoint()
{
    m_interactionPoint[0] = FLT_MAX;
    m_interactionPoint[1] = m_interactionPoint[2] = 0.0f;
}

void cBase3DRenderer::SetUserDefinedView(const double transform[12])
{
    std::memmove(m_userDefinedView, transform, sizeof(m_userDefinedView));
}

void cBase3DRenderer::SetMappedTopView(const double transform[12])
{
    std::memmove(m_mappedTopView, transform, sizeof(m_mappedTopView));
}

void RotateAboutLocalX(double transform[12], double angle) { RotateAboutOwnColumn(transform, 0, angle); }

void RotateRowsAboutX(double transform[12], double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    for (int col = 0; col < 3; ++col)
    {
        const double r1 = transform[4 + col], r2 = transform[8 + col];
        transform[4 + col] = r1 * c - r2 * s;
        transform[8 + col] = r2 * c + r1 * s;
    }
}
