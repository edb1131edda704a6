#include "render/surface_sampling_gl.h"

#include "platform/geometry/nurbs_surface.h"
#include "render/host_geometry_gl.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace
{

struct stWindowPoint
{
    double x = 0.0, y = 0.0;
    bool inFront = false; // false: at or behind the eye
};

stWindowPoint ToWindow(const double* cv, bool rational, const double modelview[16], const double projection[16],
                       const int viewport[4])
{
    const double point[4] = {cv[0], cv[1], cv[2], rational ? cv[3] : 1.0};
    double eye[4], clip[4];
    for (int r = 0; r < 4; ++r)
        eye[r] = modelview[r] * point[0] + modelview[4 + r] * point[1] + modelview[8 + r] * point[2] +
                 modelview[12 + r] * point[3];
    for (int r = 0; r < 4; ++r)
        clip[r] = projection[r] * eye[0] + projection[4 + r] * eye[1] + projection[8 + r] * eye[2] +
                  projection[12 + r] * eye[3];
    stWindowPoint window;
    window.inFront = clip[3] > 0.0 && std::isfinite(clip[3]);
    if (!window.inFront)
        return window;
    // Only lengths are measured: pixels from the view's centre.
    window.x = clip[0] / clip[3] * 0.5 * viewport[2];
    window.y = clip[1] / clip[3] * 0.5 * viewport[3];
    return window;
}

// The longest projected control-net row (`alongU`) or column, in pixels;
// infinite when a control point is at or behind the eye.
double LongestNetLine(const std::vector<stWindowPoint>& net, int uCount, int vCount, bool alongU)
{
    const int lines = alongU ? vCount : uCount;
    const int length = alongU ? uCount : vCount;
    double longest = 0.0;
    for (int line = 0; line < lines; ++line)
    {
        double sum = 0.0;
        for (int k = 0; k + 1 < length; ++k)
        {
            const stWindowPoint& a = alongU ? net[std::size_t(k) * vCount + line] : net[std::size_t(line) * vCount + k];
            const stWindowPoint& b =
                alongU ? net[std::size_t(k + 1) * vCount + line] : net[std::size_t(line) * vCount + k + 1];
            if (!a.inFront || !b.inFront)
                return std::numeric_limits<double>::infinity();
            sum += std::hypot(b.x - a.x, b.y - a.y);
        }
        longest = std::max(longest, sum);
    }
    return longest;
}

// The surface's parameter domain in one direction as GLU is given it.
double GluDomainLength(const ON_NurbsSurface& surface, int dir)
{
    const int order = surface.m_order[dir], cvCount = surface.m_cv_count[dir];
    std::vector<float> knots(std::size_t(surface.KnotCount(dir)));
    ToGluKnots(order, cvCount, surface.m_knot[dir].data() + 1, knots.data());
    return double(knots[std::size_t(cvCount)]) - double(knots[std::size_t(order - 1)]);
}

} // namespace

stSurfaceSampling ChooseSurfaceSampling(const ON_NurbsSurface& surface, const double modelview[16],
                                        const double projection[16], const int viewport[4], double tolerancePixels)
{
    stSurfaceSampling sampling;
    const int uCount = surface.m_cv_count[0], vCount = surface.m_cv_count[1];
    const int cvSize = surface.CVSize();
    const std::size_t count = std::size_t(uCount) * std::size_t(vCount);
    if (uCount < 2 || vCount < 2 || surface.m_cv.size() < count * std::size_t(cvSize) || viewport[2] <= 0 ||
        viewport[3] <= 0 || !(tolerancePixels > 0.0))
        return sampling;
    std::vector<stWindowPoint> net(count);
    for (std::size_t i = 0; i < count; ++i)
        net[i] = ToWindow(surface.m_cv.data() + i * cvSize, surface.m_is_rat, modelview, projection, viewport);
    const double uPixels = LongestNetLine(net, uCount, vCount, true);
    const double vPixels = LongestNetLine(net, uCount, vCount, false);
    if (std::max(uPixels, vPixels) <= kLongestPixelSampledNet)
        return sampling;
    sampling.byParameterSteps = true;
    sampling.uSteps = std::clamp(std::ceil(uPixels / tolerancePixels), 1.0, kMostParameterSteps);
    sampling.vSteps = std::clamp(std::ceil(vPixels / tolerancePixels), 1.0, kMostParameterSteps);
    const double patches = sampling.uSteps * sampling.vSteps;
    if (patches > kMostParameterPatches)
    {
        const double shrink = std::sqrt(kMostParameterPatches / patches);
        sampling.uSteps = std::max(1.0, std::floor(sampling.uSteps * shrink));
        sampling.vSteps = std::max(1.0, std::floor(sampling.vSteps * shrink));
    }
    return sampling;
}

cSurfaceSamplingScope::cSurfaceSamplingScope(GLUnurbs* nurbs, const ON_NurbsSurface& surface, double tolerancePixels)
    : m_nurbs(nurbs)
{
    if (!nurbs || !surface.IsValid())
        return;
    double modelview[16], projection[16];
    int viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, modelview);
    glGetDoublev(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    const stSurfaceSampling sampling = ChooseSurfaceSampling(surface, modelview, projection, viewport, tolerancePixels);
    if (!sampling.byParameterSteps)
        return;
    const double uLength = GluDomainLength(surface, 0), vLength = GluDomainLength(surface, 1);
    if (!(uLength > 0.0) || !(vLength > 0.0))
        return;
    gluNurbsProperty(nurbs, GLU_SAMPLING_METHOD, GLU_DOMAIN_DISTANCE);
    gluNurbsProperty(nurbs, GLU_U_STEP, float(sampling.uSteps / uLength));
    gluNurbsProperty(nurbs, GLU_V_STEP, float(sampling.vSteps / vLength));
    m_switched = true;
}

cSurfaceSamplingScope::~cSurfaceSamplingScope()
{
    if (m_switched)
        gluNurbsProperty(m_nurbs, GLU_SAMPLING_METHOD, GLU_PATH_LENGTH);
}
