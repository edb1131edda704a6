// The two ways algorithms walk geometry without knowing whether it is a point
// cloud, a mesh or a scan grid: over its usable points, and over its
// triangles. Iterators hold plain pointers into the geometry and must not
// outlive it or survive a Clear of it.
#pragma once

#include <cstdint>

#include "core/mesh_triangle.h"
#include "core/vertex.h"

class IPointsIterator
{
public:
    virtual ~IPointsIterator() = default;
    virtual std::uint32_t GetCount() = 0;
    virtual bool HasPoints() = 0;
    virtual void First() = 0;
    virtual bool IsDone() = 0;
    virtual void Next() = 0;
    virtual cVertex* GetVertex() = 0;
    virtual const cVertex* GetVertex() const = 0;
    // The current position mapped by the iterator's transform.
    virtual void GetPoint(double out[3]) = 0;
};

class ITriIterator
{
public:
    virtual ~ITriIterator() = default;
    virtual std::uint32_t GetCount() = 0;
    virtual bool HasTriangles() = 0;
    virtual void First() = 0;
    virtual bool IsDone() = 0;
    virtual void Next() = 0;
    // A view owned by the iterator, valid until the next call.
    virtual const tTriangle<cVertex>* GetTriangle() = 0;
};
