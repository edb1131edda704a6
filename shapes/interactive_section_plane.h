// The cutting plane that the user places and turns in the shapes view to cut
// the reference mesh into new sections of a curve network. It keeps an
// anchor point (the plane passes through it), a current point (projected
// onto the plane, it becomes the plane's origin), the half size of the
// square patch it shows, and optionally a copy of a section curve.
//
// The moving operations work in single precision, like the points they are
// given, and every change leaves half width = half height = size and
// d = -(n . origin). Normals and x directions are stored as given, not
// normalised.
#pragma once

#include "core/section_curve.h"
#include "shapes/analytic_primitives.h"

#include <cstdint>
#include <memory>

class ST_CInteractiveSectionPlane
{
public:
    ST_CInteractiveSectionPlane();
    virtual ~ST_CInteractiveSectionPlane() = default;

    ST_CInteractiveSectionPlane(const ST_CInteractiveSectionPlane&) = delete;
    ST_CInteractiveSectionPlane& operator=(const ST_CInteractiveSectionPlane&) = delete;

    // Inactive; the 60 x 60 patch in the world XY plane through the origin
    // with normal +z; size 1; no section curve. The anchor keeps its value.
    void Reset();
    // Anchors the plane at p with the half size and activates it.
    bool Begin(const t3DPoint<float>& p, double size);
    // The plane's x axis becomes x as given; false while inactive or for a
    // non-finite vector.
    bool SetXDirection(const t3DPoint<float>& x);
    // Slides the plane along its normal so that it passes through q; false
    // while inactive or for a non-finite point.
    bool MoveTo(const t3DPoint<float>& q);
    // Turns the plane about the anchor to the normal m; its x axis becomes
    // (m x e) x m with e the world axis of m's smallest component. False
    // while inactive and for a zero or non-finite normal.
    bool SetNormal(const t3DPoint<float>& m);
    // Holds a copy of the curve (Clone + Assign), or none for null; the
    // caller keeps its own curve.
    void SetSectionCurve(const ST_ISectionCurve* curve);
    // The mesh it cuts moved by the rigid motion m: the plane, its anchor
    // and current point and the curve it holds (a network curve) move with
    // it. An inactive plane stays as it is.
    void Transform(const double m[12]);

    bool IsActive() const { return m_active != 0; }
    const cPlane& GetPlane() const { return m_plane; }
    t3DPoint<float> GetAnchor() const { return m_anchor; }
    t3DPoint<float> GetCurrentPoint() const { return m_current; }
    double GetSize() const { return m_size; }
    const ST_ISectionCurve* GetSectionCurve() const { return m_curve.get(); }

private:
    // Origin, normal and x axis from floats, half sizes from the size, and
    // the offset.
    void StorePlane(const t3DPoint<float>& origin, const t3DPoint<float>& normal, const t3DPoint<float>& xAxis);
    // The current point projected onto the plane through the anchor with
    // normal n (dividing by |n|^2, so any length of n gives that plane).
    t3DPoint<float> ProjectCurrent(const t3DPoint<float>& n) const;
    t3DPoint<float> Normal() const;
    t3DPoint<float> XAxis() const;

    std::uint8_t m_active = 0;
    cPlane m_plane;
    t3DPoint<float> m_anchor{0, 0, 0};
    t3DPoint<float> m_current{0, 0, 0};
    double m_size = 1.0;
    std::unique_ptr<ST_ISectionCurve> m_curve;
    std::uint64_t m_reserved = 0;
};
