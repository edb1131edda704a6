// Sets of directed mesh edges (border edges of a mesh, crossing edges of a
// section cut, contour edges of marching squares) and the walk that chains
// them into vertex sequences.
#pragma once

#include "core/rb_tree.h"

#include <cstdint>

inline constexpr std::uint32_t kNoSuccessorVertex = 0xFFFFFFFFu;

// One directed edge i1 -> i2 between vertex indices; i2 = kNoSuccessorVertex
// ends a chain.
struct stEdgePair
{
    std::uint64_t data = 0;
    std::uint32_t i1 = 0;
    std::uint32_t i2 = 0;
    std::uint16_t flags = 0;
};
static_assert(sizeof(stEdgePair) == 24);

// Ordered by start vertex, then end vertex: a vertex with two outgoing edges
// keeps both, and the walk finds the edges of a vertex by its start alone.
template <> struct tRBOrder<stEdgePair>
{
    static int Compare(const stEdgePair& a, const stEdgePair& b)
    {
        if (a.i1 != b.i1)
            return a.i1 < b.i1 ? -1 : 1;
        if (a.i2 != b.i2)
            return a.i2 < b.i2 ? -1 : 1;
        return 0;
    }
    static constexpr bool kUnique = true;
};

using tEdgeTree = tRBTree<stEdgePair>;

class cEdgeCollection
{
public:
    virtual ~cEdgeCollection() = default;

    // The node holding the edge; an edge already present is kept as it is.
    tEdgeTree::Node* AddEdge(std::uint32_t i1, std::uint32_t i2, std::uint64_t data = 0, std::uint16_t flags = 0)
    {
        return m_tree.Insert(stEdgePair{data, i1, i2, flags});
    }

    tEdgeTree& GetTree() { return m_tree; }
    const tEdgeTree& GetTree() const { return m_tree; }
    bool IsEmpty() const { return m_tree.IsEmpty(); }
    void Clear() { m_tree.Clear(); }

private:
    tEdgeTree m_tree;
};

// The first edge that starts at vertex i1 (lowest end vertex first), or null.
inline tEdgeTree::Node* FindEdgeFrom(const tEdgeTree& edges, std::uint32_t i1)
{
    tEdgeTree::Node* node = edges.LowerBound(stEdgePair{0, i1, 0, 0});
    return node != nullptr && node->value.i1 == i1 ? node : nullptr;
}

// Extracts one chain of edges, starting at the edge at the root of the tree,
// and passes its vertex indices in order to appendVertex(u32). Each edge is
// erased as it is walked. A chain that runs into a vertex with no outgoing
// edge ends with that vertex, so a closed chain repeats its start vertex; an
// edge to kNoSuccessorVertex ends it without one. False when the tree is
// empty. Callers that want every chain call again while edges remain.
template <class TAppendVertex> bool WalkVertexChain(tEdgeTree& edges, TAppendVertex&& appendVertex)
{
    const tEdgeTree::Node* root = edges.GetRoot();
    if (root == nullptr)
        return false;
    std::uint32_t current = root->value.i1;
    for (;;)
    {
        tEdgeTree::Node* edge = FindEdgeFrom(edges, current);
        if (edge == nullptr)
        {
            appendVertex(current);
            break;
        }
        const std::uint32_t next = edge->value.i2;
        edges.Erase(edge);
        appendVertex(current);
        if (next == kNoSuccessorVertex)
            break;
        current = next;
    }
    return true;
}

// One chain into a polyline: every vertex of the chain is copied from the
// cloud, its flags and own index with it, and appended to the polyline.
// Returns whether the polyline holds any vertex afterwards. TCloud offers
// GetVertex(u32), TPolyline AddVertex(vertex) and GetVertexCount().
template <class TCloud, class TPolyline>
bool WalkVertexChain(tEdgeTree& edges, const TCloud& cloud, TPolyline& polyline)
{
    WalkVertexChain(edges, [&](std::uint32_t index) { polyline.AddVertex(*cloud.GetVertex(index)); });
    return polyline.GetVertexCount() != 0;
}
