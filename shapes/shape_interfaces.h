// The interfaces through which every fitted shape is reached: ST_IGeometry
// (the editable definition of one shape) and IMathSurface (the analytic
// surface the fitters work on), with the 128-bit ids that the IBase query
// answers.
//
// Aggregation: a shape holds its analytic value as an inner object whose
// outer pointer is the shape, so one query on either finds both objects'
// interfaces. The shape's own query hands ids it does not know to the inner
// object's non-delegating query, never to its delegating one, so no query
// can go round in a loop.
#pragma once

#include "core/base.h"
#include "platform/geometry/wide_string.h"

#include <cstdint>
#include <deque>
#include <vector>

// Interfaces and classes, as answered by the query.
inline constexpr GUID IID_ST_IGeometry = {0x65882D0D, 0x6EAD, 0x4DA4, {0x86, 0x42, 0x9C, 0x54, 0xFB, 0x1F, 0x2D, 0xA1}};
inline constexpr GUID IID_ST_CPlane = {0xF4FAE51D, 0xE8D1, 0x4F79, {0xA6, 0x23, 0xDF, 0x7A, 0x32, 0x8D, 0x57, 0x55}};
inline constexpr GUID IID_ST_CSphere = {0xA6C92851, 0x602F, 0x461D, {0xA7, 0xF5, 0x73, 0x13, 0x75, 0xDE, 0x64, 0x02}};
// Also the class id of the host-bound cylinder.
inline constexpr GUID IID_ST_CCylinder = {0xFEA7F9FF, 0x49FC, 0x42FA, {0x84, 0x34, 0x71, 0xB8, 0x32, 0x5E, 0xB7, 0xAF}};
inline constexpr GUID IID_Dezaz_Plane = {0x240C6660, 0x4C90, 0x4BF0, {0x99, 0x67, 0xD0, 0x57, 0x53, 0xD7, 0xAE, 0x00}};
inline constexpr GUID IID_Dezaz_Sphere = {0xAE2E2460, 0xB37F, 0x43F0, {0xAE, 0xED, 0x41, 0x95, 0x61, 0x4B, 0x44, 0x76}};
inline constexpr GUID IID_ON_ISurface = {0xCBA9904A, 0xA36F, 0x4C8A, {0xBE, 0xE2, 0xD7, 0x48, 0x05, 0x69, 0xEF, 0x2C}};
inline constexpr GUID IID_RevolvedSurface = {0x0B953FD5, 0xE1E9, 0x4972, {0xB5, 0x70, 0x4C, 0xE8, 0x18, 0x5F, 0xC9, 0xCD}};
inline constexpr GUID IID_ExtrudedSurface = {0x44036BFD, 0x64CA, 0x4092, {0x98, 0xB7, 0x1B, 0x24, 0x7E, 0x4C, 0x23, 0x58}};
inline constexpr GUID IID_cPlane = {0xF41BDA5F, 0x5B8A, 0x4AAB, {0x83, 0x6C, 0x95, 0xE2, 0x35, 0xB1, 0x1A, 0x71}};
inline constexpr GUID IID_cSphere = {0xB5140939, 0x57CF, 0x4D82, {0x99, 0xFA, 0xCD, 0xA2, 0x27, 0xFE, 0x0D, 0xE6}};
inline constexpr GUID IID_cCylinder = {0xBE6AC0E8, 0x283A, 0x4999, {0x95, 0x19, 0x35, 0x59, 0x85, 0x19, 0x53, 0x7B}};
inline constexpr GUID IID_IMathSurface = {0xE9373BB8, 0xE2E9, 0x4BF1, {0xBF, 0x88, 0x20, 0x87, 0xB4, 0x32, 0x95, 0x47}};

// Kind numbers of ST_IGeometry::GetKindId. They are not the session kind
// codes that sessions paint into the mesh.
enum ShapeKind : std::uint8_t
{
    kShapeKindPlane = 1,
    kShapeKindSphere = 2,
    kShapeKindRevolved = 5,
    kShapeKindExtruded = 6, // also loft and network surfaces
    kShapeKindCylinder = 7,
};

// Operation bits of SupportsOperation; each is also the GetLocalFrame mode
// that asks for the frame of that operation.
enum GeometryOperation : int
{
    kGeometryMoveToOrigin = 1,   // move the reference point to the world origin
    kGeometryAlignAxis = 2,      // lay the shape's axis on a world axis
    kGeometryAlignNormal = 4,    // lay the plane's normal / sphere's centre on a world axis
};

class ST_IGeometry : public virtual IBase
{
public:
    ST_IGeometry() = default;
    ST_IGeometry(const ST_IGeometry&) = default;
    ST_IGeometry& operator=(const ST_IGeometry&) = default;
    ~ST_IGeometry() override = default;

    // Empties the seeds, RMS 0, mode word -1.
    virtual void Clear();
    virtual bool IsValid() const = 0;
    // Drops derived data (cached host geometry).
    virtual void Invalidate() = 0;
    // min x, y, z, max x, y, z.
    virtual void GetBoundingBox(float box[6]) const = 0;
    virtual int GetHandleCount() const = 0;
    // Fills GetHandleCount() points and drag directions.
    virtual void GetHandles(float points[][3], float directions[][3]) const = 0;
    // Drags a handle by a signed distance along its direction.
    virtual void MoveHandle(int index, double distance) = 0;
    virtual bool SupportsOperation(int operation) const = 0;
    // The 3x4 row-major frame that performs one operation (mode = an
    // operation bit) with world axis `axis` (0..2); the caller applies it.
    virtual void GetLocalFrame(double frame[12], int mode, int axis, bool flip) const = 0;
    virtual void Transform(const double frame[12]) = 0;
    virtual std::uint8_t GetKindId() const = 0;
    virtual void GetInfoText(ON_wString& text) const = 0;
    virtual void GetTypeName(ON_wString& name) const = 0;
    // Scales the shape's extent by (1 + factor); false when it has none.
    virtual bool Inflate(double factor) = 0;
    // The direction the shape must take to be perpendicular (parallel) to
    // the reference direction d, which is a plane's normal when dIsNormal.
    virtual void ConstrainPerpendicular(double out[3], const double d[3], bool dIsNormal) const = 0;
    virtual void ConstrainParallel(double out[3], const double d[3], bool dIsNormal) const = 0;
    virtual bool CanBeCoincidentWith(ST_IGeometry* other) = 0;
    virtual bool CanBeParallelTo(ST_IGeometry* other) = 0;
    virtual bool CanBePerpendicularTo(ST_IGeometry* other) = 0;
    // x = FLT_MAX: the shape has no direction.
    virtual void GetDirection(double out[3]) const = 0;
    virtual void GetOrigin(double out[3]) const = 0;

    double GetRms() const { return m_rms; }
    void SetRms(double rms) { m_rms = rms; }
    std::int32_t GetMode() const { return m_mode; }
    void SetMode(std::int32_t mode) { m_mode = mode; }
    // Triangle indices into the reference mesh, one per distinct region tag.
    const std::vector<std::uint32_t>& GetSeeds() const { return m_seeds; }
    std::vector<std::uint32_t>& GetSeeds() { return m_seeds; }

protected:
    double m_rms = 0.0;
    std::int32_t m_mode = -1;
    std::vector<std::uint32_t> m_seeds;
};

// The fitters' point records (tFitPointQueue).
struct stFitPoint;

// The analytic surface of the fitters.
class IMathSurface : public virtual IBase
{
public:
    ~IMathSurface() override = default;

    // Signed distance of p from the surface; the foot point is written when
    // the surface has one for p.
    virtual double ClosestPoint(const float p[3], double foot[3]) const = 0;
    // Fits the surface to the points; the RMS (may be null) is meaningful
    // only when the fit succeeded.
    virtual bool FitToPoints(const std::deque<stFitPoint>& points, double* rms) = 0;
};
