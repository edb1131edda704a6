#include "shapes/sweep_surface_support.h"

#include "core/bounding_box.h"
#include "core/decorator_object.h"
#include "platform/geometry/bounding_box.h"
#include "platform/geometry/mesh.h"
#include "shapes/dezaz_wire.h"
#include "shapes/primitive_geometry.h"
#include "shapes/primitive_support.h"

#include <cmath>

namespace sweep_support
{

ON_Xform FrameToXform(const double frame[12])
{
    ON_Xform xform;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c)
            xform.m_xform[r][c] = frame[4 * r + c];
    return xform;
}

void BrepsBox(const ON_SimpleArray<ON_Brep*>& breps, float box[6])
{
    MakeEmptyBox3f(box);
    for (int i = 0; i < breps.Count(); ++i)
    {
        const ON_BoundingBox b = breps[i]->BoundingBox();
        if (!b.IsValid())
            continue;
        const float lo[3] = {static_cast<float>(b.m_min.x), static_cast<float>(b.m_min.y),
                             static_cast<float>(b.m_min.z)};
        const float hi[3] = {static_cast<float>(b.m_max.x), static_cast<float>(b.m_max.y),
                             static_cast<float>(b.m_max.z)};
        GrowBox3f(box, lo);
        GrowBox3f(box, hi);
    }
}

bool CollectHostCurves(ST_ISectionCurve& profile, std::vector<ON_Curve*>& curves, bool& fromSketch)
{
    fromSketch = false;
    ST_IWire* wire = profile.GetWire();
    if (wire == nullptr)
        return false;
    if (wire->GetClassGuid() == CLSID_Dezaz_Wire)
    {
        const ON_Curve* curve = static_cast<Dezaz_Wire*>(wire)->GetCurve();
        if (curve == nullptr)
            return false;
        curves.push_back(curve->Duplicate());
        return true;
    }
    // A sketch: the curve of every sub-curve's own wire.
    fromSketch = true;
    for (std::uint32_t i = 0; i < profile.GetSegmentCount(); ++i)
    {
        ST_ISectionCurve* part = profile.GetSegment(i);
        ST_IWire* partWire = part != nullptr && part != &profile ? part->GetWire() : nullptr;
        if (partWire == nullptr || partWire->GetClassGuid() != CLSID_Dezaz_Wire)
            continue;
        if (const ON_Curve* curve = static_cast<Dezaz_Wire*>(partWire)->GetCurve())
            curves.push_back(curve->Duplicate());
    }
    return true;
}

double WindingAboutZ(const ON_Curve& curve)
{
    // Shoelace area of the sampled outline, closed by the chord back to the
    // start.
    const ON_Interval d = curve.Domain();
    constexpr int kSamples = 256;
    double area = 0.0;
    ON_3dPoint previous = curve.PointAt(d[1]);
    for (int k = 0; k <= kSamples; ++k)
    {
        const ON_3dPoint p = curve.PointAt(d.ParameterAt(k / static_cast<double>(kSamples)));
        area += previous.x * p.y - p.x * previous.y;
        previous = p;
    }
    return area > 0.0 ? 1.0 : (area < 0.0 ? -1.0 : 0.0);
}

void AxisAlignmentFrame(double frame[12], const double direction[3], const double origin[3], int axis, bool flip)
{
    primitive_support::SetIdentityFrame(frame);
    float m[3];
    primitive_support::ChooseAlignmentDirection(direction, axis, flip, m);
    BuildAxisFrame(frame, m, axis);
    for (int r = 0; r < 3; ++r)
        frame[4 * r + 3] = -(frame[4 * r] * origin[0] + frame[4 * r + 1] * origin[1] + frame[4 * r + 2] * origin[2]);
}

bool Answers(ST_IGeometry* other, const GUID& iid)
{
    return other != nullptr && other->QueryInterface(iid) != nullptr;
}

} // namespace sweep_support
