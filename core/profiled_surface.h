// The interface that the surfaces made from profile curves share (extruded,
// revolved, loft and network surfaces): setting and closing the profile, its
// frame and axis, building the host surface, and making section curves by
// class id. Each kind declares its own fit from the mesh, whose arguments
// differ from kind to kind. It lives below the fitting, whose surface
// builders fill a surface through it without knowing its kind.
#pragma once

#include "core/base.h"
#include "core/section_curve.h"

#include <cstdint>

// {6FB1C382-7B83-471E-9BAF-1170E29992D1}
inline constexpr GUID IID_ST_IProfiledSurface = {0x6FB1C382, 0x7B83, 0x471E,
                                                 {0x9B, 0xAF, 0x11, 0x70, 0xE2, 0x99, 0x92, 0xD1}};

class ST_IProfiledSurface : public virtual IBase
{
public:
    ~ST_IProfiledSurface() override = default;

    virtual bool BuildHostSurface() = 0;
    virtual bool SetProfileFromSections(const GUID& classId, const double frame[12], std::uint32_t curveId,
                                        const tPolylineCollection<tFramePolyline<cVertex>>& sections,
                                        float endExtension, std::uint8_t closed, std::uint32_t mergeMode,
                                        std::uint8_t rebuild, float smoothing) = 0;
    // Stores a copy of the curve; the caller keeps its own.
    virtual bool SetProfile(const ST_ISectionCurve* curve, std::uint8_t rebuild) = 0;
    virtual void CloseProfile(std::uint8_t rebuild) = 0;
    virtual void OpenProfile(std::uint8_t rebuild) = 0;
    // The held profile curve (the guide curve of a loft), or null.
    virtual ST_ISectionCurve* GetProfileCurve() = 0;
    virtual void GetProfileFrame(double frame[12]) const = 0;
    virtual t3DPoint<double> GetAxis() const = 0;
    virtual t3DPoint<double> GetProfileOrigin() const = 0;
    // The kind's parameter block (extrusion or loft parameters).
    virtual void SetDirection(const void* parameters) = 0;
    virtual void* GetDirectionPtr() = 0;
    // A new section curve of the class, or null for an unknown id.
    virtual std::unique_ptr<ST_ISectionCurve> CreateCurveByClassGuid(const GUID& classId) const = 0;
    virtual void Transform(const double m[12]) = 0;
};
