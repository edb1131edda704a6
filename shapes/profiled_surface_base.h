// The part that the surfaces made from a profile curve share (extruded,
// revolved, loft and network): the held profile curve, its replacement from
// sections or from another curve, opening and closing it, the frame, axis
// and origin it gives the surface, and the surface's extent.
//
// The extent is the second object the base holds: the host-bound surface
// kind registers itself (SetExtent) as the object that answers the
// surface's float box and follows the surface's transforms (its host
// geometry). The base never owns or deletes it; without one the surface has
// an empty box and is not valid.
#pragma once

#include "core/profiled_surface.h"
#include "core/section_curve.h"
#include "shapes/dezaz_wire.h"
#include "shapes/shape_interfaces.h"

#include <memory>

class IBinStream;
class cRecordReader;

// What a profiled surface's host-bound kind answers for its extent.
class ST_IProfiledExtent
{
public:
    virtual ~ST_IProfiledExtent() = default;
    // The surface was transformed by m (3x4); the host geometry follows.
    virtual void TransformExtent(const double m[12]) = 0;
    // The float box of the surface: min x, y, z, max x, y, z.
    virtual void GetExtentBox(float box[6]) const = 0;
};

template <class TWire> class ST_TProfiledSurface : public ST_IGeometry, public ST_IProfiledSurface
{
public:
    ST_TProfiledSurface() = default;
    ~ST_TProfiledSurface() override = default;

    ST_TProfiledSurface(const ST_TProfiledSurface&) = delete;
    ST_TProfiledSurface& operator=(const ST_TProfiledSurface&) = delete;

    // ST_IGeometry: the parts every profiled surface answers alike.
    // Seeds, RMS and mode word back to their start; the profile is deleted.
    void Clear() override;
    // An extent, and a profile with a valid wire.
    bool IsValid() const override;
    void Invalidate() override {}
    // The extent's box; the empty box without one.
    void GetBoundingBox(float box[6]) const override;
    // The profile, then the extent, by m.
    void Transform(const double m[12]) override;
    bool Inflate(double) override { return false; }
    // With dIsNormal clear the direction perpendicular (parallel) to d that
    // the profile's axis allows, (a x d) x d; otherwise d (or (a x d) x d).
    void ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const override;
    void ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const override;
    void GetDirection(double out[3]) const override;
    void GetOrigin(double out[3]) const override;
    // The profile operations a page may offer (bit 1: profile editing).
    virtual bool SupportsProfileOperation(std::uint32_t mask) const { return (mask & 2u) != 0; }

    // ST_IProfiledSurface.
    bool SetProfileFromSections(const GUID& classId, const double frame[12], std::uint32_t curveId,
                                const tPolylineCollection<tFramePolyline<cVertex>>& sections, float endExtension,
                                std::uint8_t closed, std::uint32_t mergeMode, std::uint8_t rebuild,
                                float smoothing) override;
    bool SetProfile(const ST_ISectionCurve* curve, std::uint8_t rebuild) override;
    void CloseProfile(std::uint8_t rebuild) override;
    void OpenProfile(std::uint8_t rebuild) override;
    ST_ISectionCurve* GetProfileCurve() override { return m_profile.get(); }
    const ST_ISectionCurve* GetProfileCurve() const { return m_profile.get(); }
    void GetProfileFrame(double frame[12]) const override;
    // The profile frame's y column; (0, 0, 0) without a profile.
    t3DPoint<double> GetAxis() const override;
    t3DPoint<double> GetProfileOrigin() const override;
    void SetDirection(const void*) override {}
    void* GetDirectionPtr() override { return nullptr; }
    std::unique_ptr<ST_ISectionCurve> CreateCurveByClassGuid(const GUID& classId) const override;

    // Makes the curve the held profile (the old one is deleted) and takes
    // its fit RMS; false for null.
    bool ReplaceProfileCurve(std::unique_ptr<ST_ISectionCurve> curve);
    // Deletes the held profile.
    void DropProfileCurve() { m_profile.reset(); }
    void SetExtent(ST_IProfiledExtent* extent) { m_extent = extent; }
    ST_IProfiledExtent* GetExtent() const { return m_extent; }

private:
    std::unique_ptr<ST_ISectionCurve> m_profile;
    ST_IProfiledExtent* m_extent = nullptr;
};

extern template class ST_TProfiledSurface<Dezaz_Wire>;

// The profile record of a profiled surface: the class id, then the curve's
// record. The held profile is replaced only when the whole record was read;
// false for a short record or a class id of no kind.
bool ReadProfileCurveRecord(ST_TProfiledSurface<Dezaz_Wire>& surface, IBinStream& stream, std::uint32_t major,
                            std::uint32_t minor);
// The same after the class id was read.
bool ReadProfileCurveBody(ST_TProfiledSurface<Dezaz_Wire>& surface, const GUID& classId, IBinStream& stream,
                          std::uint32_t major, std::uint32_t minor);
