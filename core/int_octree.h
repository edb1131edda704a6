// cIntOctTree<T>: a sparse octree over a fixed cubic grid. Every leaf is one
// grid cell (edge = the cell size, corners on integer multiples of it); the
// tree grows upwards (new, larger roots) and downwards (new children) as
// points arrive, and cells are never removed. Each cell carries a payload of
// type T (the marching squares keep their square record there).
//
// Cells live in a chunked array and never move, so callers keep plain
// pointers to them. Searches start at the last cell found, which makes runs of
// nearby points (a polyline being rasterised) cheap. Not synchronised.
#pragma once

#include "core/bounding_box.h"
#include "core/chunk_allocator.h"
#include "core/chunked_array.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

template <class T> struct stIntOctCell;

// The eight children of a cell; child index = 4 xbit + 2 ybit + zbit, a bit
// being 1 for the upper half of the parent on that axis.
template <class T> struct stChilds
{
    stIntOctCell<T>* child[8];
};

template <class T> struct stIntOctCell
{
    stIntOctCell* parent = nullptr; // null for the root
    stChilds<T>* children = nullptr; // null until the first child is made
    float cx = 0.0f, cy = 0.0f, cz = 0.0f;
    float halfSize = 0.0f;
    std::uint8_t level = 0; // 0 = leaf (one grid cell); each level up doubles the size
    std::uint8_t flags = 0;
    T payload{};

    bool IsLeaf() const { return level == 0; }
};

template <class T> class cIntOctTree
{
public:
    using Cell = stIntOctCell<T>;

    // The deepest tree: a root at this level spans 2^63 cells per axis.
    static constexpr std::uint8_t kMaxLevel = 63;

    // A cell size at or below FLT_EPSILON (or NaN) keeps the default of 1.
    explicit cIntOctTree(float cellSize = 1.0f) : m_childAllocator(kListNodesPerChunk)
    {
        MakeEmptyBox3f(m_box);
        if (cellSize > FLT_EPSILON && std::isfinite(cellSize))
        {
            m_cellSize = cellSize;
            m_invCellSize = 1.0f / cellSize;
        }
    }
    virtual ~cIntOctTree() = default;
    cIntOctTree(const cIntOctTree&) = delete;
    cIntOctTree& operator=(const cIntOctTree&) = delete;

    // The leaf cell that contains the point, made with whatever cells are
    // missing. `created` (when given) tells whether this call made the leaf.
    // Null when the point is not finite, lies beyond the reach of a level-63
    // root, or a cell cannot be allocated; the tree stays consistent then.
    // Cell bounds are floats: when the cell size is not a power of two, a
    // point within rounding distance of a cell face (about one float ulp of
    // its coordinates) can fall between a parent's children and is refused
    // too. Callers that query cell centres never meet this.
    Cell* FindOrInsertLeaf(double x, double y, double z, bool* created = nullptr)
    {
        bool made = false;
        Cell* leaf = Find(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z), made);
        if (created)
            *created = leaf != nullptr && made;
        return leaf;
    }

    // The number of leaves under the cell (null = the whole tree).
    std::uint32_t CountLeaves(const Cell* cell = nullptr) const
    {
        if (!cell)
            cell = m_root;
        if (!cell)
            return 0;
        // Recursion is bounded by the 64 levels of the tree.
        if (cell->IsLeaf())
            return 1;
        if (!cell->children)
            return 0;
        std::uint32_t leaves = 0;
        for (const Cell* child : cell->children->child)
            if (child)
                leaves += CountLeaves(child);
        return leaves;
    }

    // Whether the cell holds the point: half-open, widened by FLT_EPSILON on
    // every side, in float like the cell itself.
    static bool Contains(const Cell& cell, float x, float y, float z)
    {
        const float h = cell.halfSize;
        const float e = FLT_EPSILON;
        return x >= cell.cx - h - e && y >= cell.cy - h - e && z >= cell.cz - h - e && cell.cx + h + e > x &&
               cell.cy + h + e > y && cell.cz + h + e > z;
    }

    const Cell* GetRoot() const { return m_root; }
    Cell* GetRoot() { return m_root; }
    float GetCellSize() const { return m_cellSize; }
    float GetInverseCellSize() const { return m_invCellSize; }
    std::uint32_t GetCellCount() const { return m_cells.GetCount(); }
    // Grown by the centres of the leaves found; empty while no leaf was.
    const float* GetBoundingBox() const { return m_box; }

private:
    Cell* Find(float x, float y, float z, bool& created)
    {
        // A NaN or infinite point would poison every cell it touched.
        if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z) || !std::isfinite(x * m_invCellSize) ||
            !std::isfinite(y * m_invCellSize) || !std::isfinite(z * m_invCellSize))
            return Fail();
        if (!m_root)
        {
            m_root = CreateRoot(x, y, z);
            if (!m_root)
                return Fail();
            created = true;
            return Found(m_root);
        }
        Cell* cur = m_lastFound ? m_lastFound : m_root;
        bool descended = false;
        for (;;)
        {
            if (Contains(*cur, x, y, z))
            {
                if (cur->IsLeaf())
                    return Found(cur);
                cur = GetOrCreateChild(*cur, x, y, z, created);
                if (!cur)
                    return Fail();
                descended = true;
                continue;
            }
            if (descended)
                return Fail(); // rounding left the point between the children
            if (cur->parent)
            {
                cur = cur->parent;
                continue;
            }
            cur = GrowRoot(cur, x, y, z);
            if (!cur)
                return Fail();
            descended = true; // the new root holds the point; only descents follow
        }
    }

    Cell* Found(Cell* leaf)
    {
        const float centre[3] = {leaf->cx, leaf->cy, leaf->cz};
        GrowBox3f(m_box, centre);
        m_lastFound = leaf;
        return leaf;
    }

    Cell* Fail()
    {
        m_lastFound = nullptr;
        return nullptr;
    }

    Cell* NewCell() { return m_cells.Append(); }

    stChilds<T>* NewChildBlock()
    {
        stChilds<T>* block = m_childAllocator.Alloc();
        if (block)
            for (Cell*& c : block->child)
                c = nullptr;
        return block;
    }

    Cell* CreateRoot(float x, float y, float z)
    {
        Cell* root = NewCell();
        if (!root)
            return nullptr;
        const float s = m_cellSize, k = m_invCellSize;
        root->cx = std::floor(k * x) * s + s / 2;
        root->cy = std::floor(k * y) * s + s / 2;
        root->cz = std::floor(k * z) * s + s / 2;
        root->halfSize = s / 2;
        root->level = 0;
        return root;
    }

    Cell* GetOrCreateChild(Cell& cell, float x, float y, float z, bool& created)
    {
        const float e = FLT_EPSILON;
        const float h = cell.halfSize;
        const int xb = x >= cell.cx + e, yb = y >= cell.cy + e, zb = z >= cell.cz + e;
        if (!cell.children)
        {
            cell.children = NewChildBlock();
            if (!cell.children)
                return nullptr;
        }
        Cell*& slot = cell.children->child[4 * xb + 2 * yb + zb];
        created = false;
        if (!slot)
        {
            Cell* child = NewCell();
            if (!child)
                return nullptr;
            child->parent = &cell;
            child->level = static_cast<std::uint8_t>(cell.level - 1);
            child->halfSize = h / 2;
            child->cx = (xb ? cell.cx : cell.cx - h) + h / 2;
            child->cy = (yb ? cell.cy : cell.cy - h) + h / 2;
            child->cz = (zb ? cell.cz : cell.cz - h) + h / 2;
            slot = child;
            created = true;
        }
        return slot;
    }

    // Puts larger cells above the top cell until one holds the point. The
    // tallest cell made becomes the root even when the point stays out of
    // reach, so the tree never has a parentless cell other than its root.
    Cell* GrowRoot(Cell* top, float x, float y, float z)
    {
        for (;;)
        {
            if (top->level >= kMaxLevel)
                return nullptr;
            stChilds<T>* block = NewChildBlock();
            if (!block)
                return nullptr;
            Cell* parent = NewCell();
            if (!parent)
            {
                m_childAllocator.Free(block);
                return nullptr;
            }
            const float h = top->halfSize;
            const bool up[3] = {x >= top->cx, y >= top->cy, z >= top->cz};
            parent->cx = up[0] ? top->cx + h : top->cx - h;
            parent->cy = up[1] ? top->cy + h : top->cy - h;
            parent->cz = up[2] ? top->cz + h : top->cz - h;
            parent->halfSize = 2 * h;
            parent->level = static_cast<std::uint8_t>(top->level + 1);
            parent->children = block;
            // The old top sits on the side opposite to the growth.
            block->child[4 * !up[0] + 2 * !up[1] + !up[2]] = top;
            top->parent = parent;
            m_root = parent;
            if (Contains(*parent, x, y, z))
                return parent;
            top = parent;
        }
    }

    Cell* m_lastFound = nullptr;
    tListChunkAllocator<stChilds<T>> m_childAllocator;
    tArray<Cell> m_cells;
    float m_cellSize = 1.0f;
    float m_invCellSize = 1.0f;
    Cell* m_root = nullptr;
    float m_box[6];
};
