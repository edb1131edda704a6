// Vertex rings, borders and connected regions of a triangulated geometry,
// asked without knowing whether it is a mesh or a scan grid. Tools get it by
// querying a scene object's geometry for IID_ITopology.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include "core/chunked_array.h"
#include "core/geometry_iterators.h"
#include "core/polyline_collection.h"
#include "core/vertex.h"
#include "platform/win32/types.h"

// {020E9F99-ACAF-48DC-92F8-A6AB65FDD460}
inline constexpr GUID IID_ITopology = {
    0x020E9F99, 0xACAF, 0x48DC, {0x92, 0xF8, 0xA6, 0xAB, 0x65, 0xFD, 0xD4, 0x60}};

using tVertexDeque = std::deque<const cVertex*>;
using tBoundaryPolylines = tPolylineCollection<tPolyline<cVertex>>;

class ITopology
{
public:
    // Deleting through the interface destroys the whole geometry.
    virtual ~ITopology() = default;

    virtual void InvalidateTopology() { m_topologyValid = 0; }
    virtual bool IsTopologyValid() { return m_topologyValid != 0; }

    // The vertices within `rings` edge steps of the vertex (not the vertex
    // itself); the output is untouched and 0 returned when the vertex lies in
    // no triangle.
    virtual std::uint32_t GetVertexNeighboursByIndex(std::uint32_t vertex, std::uint8_t rings,
                                                     tVertexDeque& out) = 0;
    virtual std::uint32_t GetVertexNeighbours(const cVertex* vertex, std::uint8_t rings,
                                              tVertexDeque& out) = 0;
    // Every vertex on a border edge, each once, in ascending index order.
    virtual std::uint32_t GetBoundaryVertices(tVertexDeque& out) = 0;
    // The borders as chains of vertices; returns the number of polylines.
    virtual std::uint32_t GetBoundaryPolylines(tBoundaryPolylines& out) = 0;
    // The vertices connected to the vertex through triangles sharing edges.
    // With a mask the found vertices keep it (the caller clears it) and
    // vertices that already carry it are not reported again; without one a
    // free vertex bit is borrowed and given back. 0 when no bit is free.
    virtual std::uint32_t GetConnectedVertices(const cVertex* vertex, tArray<cVertex*>& out,
                                               const std::uint32_t* mask = nullptr) = 0;
    virtual std::uint32_t GetConnectedVerticesByIndex(std::uint32_t vertex, tArray<cVertex*>& out,
                                                      const std::uint32_t* mask = nullptr) = 0;
    // Sets the mask on every vertex connected to the vertex; the bits stay set
    // (they are the result). Returns the number of vertices marked.
    virtual std::uint32_t MarkConnectedVertices(const cVertex* vertex, std::uint32_t mask,
                                                bool clearFirst) = 0;
    virtual std::uint32_t MarkConnectedVerticesByIndex(std::uint32_t vertex, std::uint32_t mask,
                                                       bool clearFirst) = 0;
    // Area of the triangles whose three corners are in the set, stopping once
    // it exceeds the limit (when one is given).
    virtual double GetAreaOfVertexSet(const tArray<cVertex*>& set, const double* limit = nullptr) = 0;
    virtual bool ComputeVertexNormals() = 0;
    // New iterators; the caller owns them.
    virtual std::unique_ptr<ITriIterator> CreateTriIterator() = 0;
    virtual std::unique_ptr<IPointsIterator> CreatePointsIterator() = 0;

protected:
    void SetTopologyValid(bool valid) { m_topologyValid = valid ? 1 : 0; }

private:
    std::uint8_t m_topologyValid = 0;
};
