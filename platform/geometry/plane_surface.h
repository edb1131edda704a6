// A rectangle of a plane: the plane's frame coordinates (x, y) run over the
// extents, the surface parameters over the domain. SetExtents can keep the
// domain apart from the extents, so the domain need not measure length.
#pragma once

#include "platform/geometry/plane.h"
#include "platform/geometry/surface.h"

class ON_PlaneSurface : public ON_Surface
{
public:
    ON_Plane m_plane;

    ON_PlaneSurface() = default;
    // Extents and domain [0, 1] in both directions.
    explicit ON_PlaneSurface(const ON_Plane& plane);

    // The frame coordinates of one direction; with sync_domain the domain
    // becomes the same interval, else it stays as it is. False for an
    // interval that is not increasing.
    bool SetExtents(int dir, const ON_Interval& extents, bool sync_domain = false);
    ON_Interval Extents(int dir) const { return m_extents[dir != 0]; }
    bool SetDomain(int dir, double t0, double t1);

    ON_Surface* DuplicateSurface() const override { return new ON_PlaneSurface(*this); }
    Type SurfaceType() const override { return Type::plane; }
    ON_Interval Domain(int dir) const override { return m_domain[dir != 0]; }
    bool Evaluate(double s, double t, int der_count, ON_3dVector* v) const override;
    // Bilinear, degree 1 in both directions; exact (1).
    int GetNurbForm(ON_NurbsSurface& srf, double tolerance = 0.0) const override;
    bool Write(ON_BinaryArchive& archive) const override;
    bool Read(ON_BinaryArchive& archive) override;

    // A valid plane and increasing, finite extents and domains.
    bool IsValid(ON_TextLog* text_log = nullptr) const override;
    // The box of the four corners.
    ON_BoundingBox BoundingBox() const override;
    bool Transform(const ON_Xform& xform) override;

private:
    ON_Interval m_domain[2] = {{0.0, 1.0}, {0.0, 1.0}};
    ON_Interval m_extents[2] = {{0.0, 1.0}, {0.0, 1.0}};
};
