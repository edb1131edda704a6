// Topology queries of the scan grid, answered on the lattice directly (index
// arithmetic over the implicit cell triangles, no search structures).
#include "core/vertex_grid.h"

#include "core/edge_collection.h"
#include "core/used_flags.h"
#include "core/walk_stack.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace
{

// Heron's formula on the three edge lengths; 0 when a corner is missing or
// excluded.
double HeronArea(const tTriangle<cVertex>& t)
{
    for (const cVertex* corner : t.corner)
    {
        if (corner == nullptr || corner->IsExcluded())
            return 0.0;
    }
    const double a = PointDistance(t.corner[0]->Position(), t.corner[1]->Position());
    const double b = PointDistance(t.corner[1]->Position(), t.corner[2]->Position());
    const double c = PointDistance(t.corner[2]->Position(), t.corner[0]->Position());
    const double s = 0.5 * (a + b + c);
    const double product = s * (s - a) * (s - b) * (s - c);
    return product > 0.0 ? std::sqrt(product) : 0.0;
}

} // namespace

std::uint32_t cVertexGrid::GetVertexNeighboursByIndex(std::uint32_t vertex, std::uint8_t rings, tVertexDeque& out)
{
    out.clear();
    if (vertex >= GetVertexCount() || m_rows == 0)
        return 0;
    const std::uint32_t c = vertex / m_rows;
    const std::uint32_t r = vertex % m_rows;
    if (c >= m_cols)
        return 0;
    const std::int64_t reach = std::int64_t{rings} * m_step;
    const std::int64_t r0 = std::max<std::int64_t>(r - reach, 0);
    const std::int64_t r1 = std::min<std::int64_t>(r + reach, std::int64_t{m_rows} - 1);
    const std::int64_t c0 = std::max<std::int64_t>(c - reach, 0);
    const std::int64_t c1 = std::min<std::int64_t>(c + reach, std::int64_t{m_cols} - 1);
    for (std::int64_t rr = r0; rr <= r1; rr += m_step)
    {
        for (std::int64_t cc = c0; cc <= c1; cc += m_step)
        {
            const std::uint32_t index = IndexOf(static_cast<std::uint32_t>(rr), static_cast<std::uint32_t>(cc));
            if (index == vertex)
                continue;
            const cVertex* v = GetVertex(index);
            if (!v->IsExcluded())
                out.push_back(v);
        }
    }
    return static_cast<std::uint32_t>(out.size());
}

std::uint32_t cVertexGrid::GetVertexNeighbours(const cVertex* vertex, std::uint8_t rings, tVertexDeque& out)
{
    // A vertex of another geometry (or a copy that moved) is not this grid's.
    const cVertex* own = OwnVertex(vertex);
    if (own == nullptr)
        return 0;
    return GetVertexNeighboursByIndex(own->index, rings, out);
}

std::uint32_t cVertexGrid::GetBoundaryVertices(tVertexDeque& out)
{
    out.clear();
    if (m_rows == 0 || m_cols == 0)
        return 0;
    const std::uint32_t s = m_step;
    const double limit2 = SquaredLimit();
    auto take = [this, &out](std::uint32_t r, std::uint32_t c) {
        const cVertex* v = GetVertex(IndexOf(r, c));
        if (!v->IsExcluded())
            out.push_back(v);
    };
    if (m_rows >= 3)
    {
        for (std::uint32_t r = 1; r + 1 < m_rows; ++r)
        {
            take(r, 0);
            if (m_cols > 1)
                take(r, m_cols - 1);
        }
    }
    if (m_cols >= 3)
    {
        for (std::uint32_t c = 1; c + 1 < m_cols; ++c)
        {
            take(0, c);
            if (m_rows > 1)
                take(m_rows - 1, c);
        }
    }
    auto within = [this, limit2](std::uint32_t r1, std::uint32_t c1, std::uint32_t r2, std::uint32_t c2) {
        return SquaredDistance(GetVertex(IndexOf(r1, c1))->Position(), GetVertex(IndexOf(r2, c2))->Position()) <=
               limit2;
    };
    for (std::uint64_t c = s; c + s < m_cols; c += s)
    {
        for (std::uint64_t r = s; r + s < m_rows; r += s)
        {
            const std::uint32_t pr = static_cast<std::uint32_t>(r), pc = static_cast<std::uint32_t>(c);
            if (!IsUsable(pr, pc))
                continue;
            const std::uint32_t up = pr - s, down = pr + s, left = pc - s, right = pc + s;
            bool closed = IsUsable(up, pc) && IsUsable(down, pc) && IsUsable(pr, left) && IsUsable(pr, right) &&
                          within(pr, pc, up, pc) && within(pr, pc, down, pc) && within(pr, pc, pr, left) &&
                          within(pr, pc, pr, right);
            // Each of the four cells around P: its two axis neighbours are
            // joined directly, or through the far corner.
            const std::uint32_t cells[4][6] = {{up, pc, pr, right, up, right},
                                               {up, pc, pr, left, up, left},
                                               {down, pc, pr, right, down, right},
                                               {down, pc, pr, left, down, left}};
            for (int k = 0; closed && k < 4; ++k)
            {
                const auto& cell = cells[k];
                if (within(cell[0], cell[1], cell[2], cell[3]))
                    continue;
                closed = IsUsable(cell[4], cell[5]) && within(cell[4], cell[5], pr, pc) &&
                         within(cell[4], cell[5], cell[0], cell[1]) && within(cell[4], cell[5], cell[2], cell[3]);
            }
            if (!closed)
                out.push_back(GetVertex(IndexOf(pr, pc)));
        }
    }
    return static_cast<std::uint32_t>(out.size());
}

std::uint32_t cVertexGrid::GetBoundaryPolylines(tBoundaryPolylines& out)
{
    out.Clear();
    tVertexDeque border;
    if (GetBoundaryVertices(border) == 0)
        return 0;
    cBorrowedVertexFlag borrowed;
    if (!borrowed.IsValid())
        return 0;
    const std::uint32_t bit = borrowed.Bit();
    ClearVertexFlagBits(bit);
    for (const cVertex* v : border)
        GetVertex(v->index)->flags |= bit;

    cEdgeCollection edges;
    for (const cVertex* v : border)
    {
        const std::uint32_t r = v->index % m_rows;
        const std::uint32_t c = v->index / m_rows;
        tVertexTriangles around;
        const std::uint32_t n = GetTrianglesAroundVertex(r, c, around);
        for (std::uint32_t t = 0; t < n; ++t)
        {
            const tTriangle<cVertex>& triangle = around[t];
            for (int k = 0; k < 3; ++k)
            {
                if (triangle.corner[k] != v)
                    continue;
                const cVertex* w = triangle.corner[(k + 1) % 3];
                if ((w->flags & bit) != 0 && triangle.edgeFlags[k] == 0)
                    edges.AddEdge(v->index, w->index);
            }
        }
    }
    ClearVertexFlagBits(bit);
    // Every walk erases at least the edge it starts with, so this ends.
    while (!edges.IsEmpty())
    {
        tPolyline<cVertex> chain;
        WalkVertexChain(edges.GetTree(), [this, &chain](std::uint32_t index) { chain.AddVertex(*GetVertex(index)); });
        out.Add(chain);
    }
    return out.GetCount();
}

double cVertexGrid::GetAreaOfVertexSet(const tArray<cVertex*>& set, const double* limit)
{
    if (set.GetCount() == 0 || m_rows == 0)
        return 0.0;
    cBorrowedVertexFlag borrowed;
    if (!borrowed.IsValid())
        return 0.0;
    const std::uint32_t bit = borrowed.Bit();
    ClearVertexFlagBits(bit);
    for (std::uint32_t i = 0; i < set.GetCount(); ++i)
    {
        if (const cVertex* own = OwnVertex(set[i]))
            const_cast<cVertex*>(own)->flags |= bit;
    }
    double sum = 0.0;
    for (std::uint32_t i = 0; i < set.GetCount(); ++i)
    {
        const cVertex* v = OwnVertex(set[i]);
        if (v == nullptr || (v->flags & bit) == 0)
            continue;
        tVertexTriangles around;
        const std::uint32_t n = GetTrianglesAroundVertex(v->index % m_rows, v->index / m_rows, around);
        for (std::uint32_t t = 0; t < n; ++t)
        {
            const tTriangle<cVertex>& triangle = around[t];
            if ((triangle.corner[0]->flags & bit) != 0 && (triangle.corner[1]->flags & bit) != 0 &&
                (triangle.corner[2]->flags & bit) != 0)
                sum += HeronArea(triangle);
        }
        // Its triangles are counted: clearing the mark keeps them from being
        // counted again from their other corners.
        const_cast<cVertex*>(v)->flags &= ~bit;
        if (limit != nullptr && sum > *limit)
            break;
    }
    ClearVertexFlagBits(bit);
    return sum;
}

std::uint32_t cVertexGrid::GetConnectedVertices(const cVertex* vertex, tArray<cVertex*>& out, const std::uint32_t* mask)
{
    out.Clear();
    const cVertex* start = OwnVertex(vertex);
    if (start == nullptr)
        return 0;
    std::optional<cBorrowedVertexFlag> borrowed;
    if (mask == nullptr)
    {
        borrowed.emplace();
        if (!borrowed->IsValid())
            return 0;
    }
    const std::uint32_t bit = mask != nullptr ? *mask : borrowed->Bit();
    if (bit == 0)
        return 0; // an empty mask cannot mark the walk
    if (mask == nullptr)
        ClearVertexFlagBits(bit);

    cVertex* first = GetVertex(start->index);
    first->flags |= bit;
    out.PushBack(first);
    tWalkStack<cVertex> stack;
    stack.Push(first);
    tVertexDeque neighbours;
    while (!stack.IsEmpty())
    {
        const cVertex* v = stack.Pop();
        GetVertexNeighboursByIndex(v->index, 1, neighbours);
        for (const cVertex* n : neighbours)
        {
            cVertex* w = GetVertex(n->index);
            if ((w->flags & bit) == bit)
                continue;
            w->flags |= bit;
            out.PushBack(w);
            stack.Push(w);
        }
    }
    if (mask == nullptr)
    {
        for (std::uint32_t i = 0; i < out.GetCount(); ++i)
            out[i]->flags &= ~bit;
    }
    return out.GetCount();
}

std::uint32_t cVertexGrid::GetConnectedVerticesByIndex(std::uint32_t vertex, tArray<cVertex*>& out,
                                                       const std::uint32_t* mask)
{
    if (vertex >= GetVertexCount())
    {
        out.Clear();
        return 0;
    }
    return GetConnectedVertices(GetVertex(vertex), out, mask);
}

std::uint32_t cVertexGrid::MarkConnectedVertices(const cVertex* vertex, std::uint32_t mask, bool clearFirst)
{
    if (clearFirst)
        ClearVertexFlagBits(mask);
    const cVertex* start = OwnVertex(vertex);
    if (start == nullptr || mask == 0)
        return 0;
    // Marked when pushed, so every vertex is processed and counted once.
    cVertex* first = GetVertex(start->index);
    first->flags |= mask;
    std::uint32_t marked = 1;
    tWalkStack<cVertex> stack;
    stack.Push(first);
    tVertexDeque neighbours;
    while (!stack.IsEmpty())
    {
        const cVertex* v = stack.Pop();
        neighbours.clear();
        GetVertexNeighbours(v, 1, neighbours);
        for (const cVertex* n : neighbours)
        {
            cVertex* w = GetVertex(n->index);
            if ((w->flags & mask) == mask)
                continue;
            w->flags |= mask;
            ++marked;
            stack.Push(w);
        }
    }
    return marked;
}

std::uint32_t cVertexGrid::MarkConnectedVerticesByIndex(std::uint32_t vertex, std::uint32_t mask, bool clearFirst)
{
    if (vertex >= GetVertexCount())
    {
        if (clearFirst)
            ClearVertexFlagBits(mask);
        return 0;
    }
    return MarkConnectedVertices(GetVertex(vertex), mask, clearFirst);
}
