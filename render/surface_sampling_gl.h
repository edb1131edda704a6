#pragma once
// How GLU samples a NURBS surface in the current view. GLU's own sampling
// cuts a surface into pieces no longer than a few pixels, judged from its
// control net's projected size. A face that spans hundreds of views (a huge
// cylinder seen from close by) or has a control point at or behind the eye
// would be cut into billions of pieces, nearly all out of sight, and one frame
// would take minutes. Such a face is sampled by a bounded count of parameter
// steps instead; every other face is sampled by GLU as before.

#include "platform/wgl/wgl.h"

class ON_NurbsSurface;

// The longest control-net row or column, in pixels, that GLU samples by
// pixel length.
constexpr double kLongestPixelSampledNet = 65536.0;
// At most this many parameter steps in one direction, and this many patches
// in all, for a face sampled by parameter steps.
constexpr double kMostParameterSteps = 8192.0;
constexpr double kMostParameterPatches = 262144.0;

struct stSurfaceSampling
{
    bool byParameterSteps = false; // false: GLU's pixel-length sampling
    double uSteps = 0.0;           // steps across the whole u domain
    double vSteps = 0.0;
};

// The sampling of `surface` under column-major GL matrices and a viewport
// (x, y, width, height) with GLU's pixel tolerance.
stSurfaceSampling ChooseSurfaceSampling(const ON_NurbsSurface& surface, const double modelview[16],
                                        const double projection[16], const int viewport[4], double tolerancePixels);

// Sets `nurbs` up for `surface` in the current GL view; put it before
// gluBeginSurface and keep it past gluEndSurface. Its end gives `nurbs` back
// its pixel-length sampling.
class cSurfaceSamplingScope
{
public:
    cSurfaceSamplingScope(GLUnurbs* nurbs, const ON_NurbsSurface& surface, double tolerancePixels);
    ~cSurfaceSamplingScope();
    cSurfaceSamplingScope(const cSurfaceSamplingScope&) = delete;
    cSurfaceSamplingScope& operator=(const cSurfaceSamplingScope&) = delete;

private:
    GLUnurbs* m_nurbs = nullptr;
    bool m_switched = false;
};
