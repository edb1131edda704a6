// Parametric surfaces of the geometry library: the abstract ON_Surface and
// its records. A surface maps its domain (one interval per direction, 0 = s,
// 1 = t) into space; every surface can give an exact or approximate NURBS
// form, which is what breps, meshes and exports fall back on.
#pragma once

#include "platform/geometry/interval.h"
#include "platform/geometry/object.h"

#include <cstdint>

class ON_BinaryArchive;
class ON_NurbsSurface;

// Number of vectors Evaluate writes for der_count: the point and every
// partial derivative of total order up to der_count.
inline constexpr int ON_SurfaceDerivativeCount(int der_count)
{
    return (der_count + 1) * (der_count + 2) / 2;
}

class ON_Surface : public ON_Geometry
{
public:
    // Record type codes (part of the archive format; never renumber).
    enum class Type : std::uint32_t
    {
        nurbs = 1,
        plane = 2,
        revolution = 3,
    };

    virtual ON_Surface* DuplicateSurface() const = 0;
    virtual Type SurfaceType() const = 0;
    virtual ON_Interval Domain(int dir) const = 0;

    // v receives ON_SurfaceDerivativeCount(der_count) vectors: the point,
    // then D_s, D_t, then D_ss, D_st, D_tt, and so on (partials of total order
    // n as D^n_s, D^(n-1)_s D_t, ..., D^n_t). Parameters outside the domain
    // evaluate the surface's natural extension. False on failure.
    virtual bool Evaluate(double s, double t, int der_count, ON_3dVector* v) const = 0;

    // 0: no form; 1: the NURBS surface is the same surface with the same
    // parameterisation; 2: the same point set, parameterised differently.
    virtual int GetNurbForm(ON_NurbsSurface& srf, double tolerance = 0.0) const = 0;

    // The record of the surface's own data (without its type code).
    virtual bool Write(ON_BinaryArchive& archive) const = 0;
    // Replaces the surface by a record; on failure the surface is unchanged.
    virtual bool Read(ON_BinaryArchive& archive) = 0;

    ON_3dPoint PointAt(double s, double t) const;
    // The unit normal D_s x D_t; where that vanishes (a pole), the normal of
    // a nearby point inside the domain. The zero vector when there is none.
    ON_3dVector NormalAt(double s, double t) const;
};

// Reading: whether count more bytes are there (the position is kept), so
// that record readers never allocate for counts a damaged file invents.
bool ON_ArchiveHasBytes(ON_BinaryArchive& archive, long long count);

// A surface record: its type code (u32) and then its own record.
bool ON_WriteSurface(ON_BinaryArchive& archive, const ON_Surface& surface);
// A new surface (owned by the caller) from a record; null on any failure.
ON_Surface* ON_ReadSurface(ON_BinaryArchive& archive);
