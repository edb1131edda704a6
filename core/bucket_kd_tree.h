// Bucket k-d tree: the spatial index of point sets (mesh and grid vertices,
// the deviation analysis' CAD vertices and analysed vertices). Leaves hold
// buckets of elements; an inner node splits its box at the midpoint of the
// longest axis. The tree stores pointers only and never owns the elements,
// which must outlive it and must not move.
//
// Parameters, where they are chosen:
// - bucket maximum (constructor): how many elements a leaf holds before it
//   is split. Every owner uses kBucketKDTreeDefaultBucket (24): small enough
//   for a linear scan, large enough to keep the node count low.
// - node records (24 bytes each) come from a chunked array (1024 per chunk)
//   and never move. Children are made in pairs, side by side, so an inner
//   node names only its lower child; a leaf is a range of the element array.
// - every leaf's elements lie side by side in one array (see
//   bucket_kd_tree_elements.h), as 32-bit offsets when they fit. A built
//   tree of n points thus keeps 4 (or sizeof(T)) bytes per element and about
//   n / 3.5 node records (uniform points, bucket maximum 10; n / 8 at 24).
// - a node keeps no box: the tree keeps the box of all elements, and an
//   inner node the largest coordinate on its axis of its lower side and the
//   smallest of its upper side. A query narrows the root box by these bounds
//   on its way down (the cell of a node), which costs one compare per level.
//   A leaf keeps its elements' extremes on the one axis where they lie
//   farthest inside its cell, so that a query skips most leaves whose cell
//   is near but whose elements are not. Where a node box took 24 bytes,
//   the whole record now does: 1M points at bucket maximum 10 take about
//   11 MB (with the offsets) instead of 22.
//
// Queries only read the tree: any number of threads may search one tree at
// once, as long as nobody adds, inserts, builds or clears meanwhile. A query
// keeps the far sides it may still need on a stack of its own.
//
// TComparator gives an element's three float coordinates:
//   const float* Coordinates(T element) const;
#pragma once

#include "core/bounding_box.h"
#include "core/bucket_kd_tree_elements.h"
#include "core/chunked_array.h"
#include "core/thread_pool.h"
#include "platform/geometry/fresh_pages.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

inline constexpr std::uint32_t kBucketKDTreeDefaultBucket = 24;
inline constexpr std::uint32_t kBucketKDTreeNoIndex = 0xFFFFFFFF;
// Node indices take the low 30 bits of an inner node's child field (the
// axis the top two).
inline constexpr std::uint32_t kBucketKDTreeMaxNodes = (1u << 30) - 2;

// One node: 24 bytes. A leaf keeps its range of the element array where an
// inner node keeps its split (a node is one or the other; children tells).
template <class T, class TComparator> struct stBucketKDTreeNode
{
    stBucketKDTreeNode()
    {
        first = 0;
        count = 0;
        low = HUGE_VALF;
        high = -HUGE_VALF;
    }

    union
    {
        double split; // inner: the lower side holds coordinates on the axis <= split
        struct
        {
            std::uint32_t first; // leaf: where its elements start in the element array
            std::uint32_t count; // leaf: elements held
        };
    };
    union
    {
        // Inner: bounds on the axis of what lies below: the lower side's
        // largest coordinate and the upper side's smallest.
        struct
        {
            float lowerMax;
            float upperMin;
        };
        // Leaf: its elements' smallest and largest coordinate on its bound
        // axis, the axis on which they lie farthest inside the leaf's cell.
        struct
        {
            float low;
            float high;
        };
    };
    // Inner: axis << 30 | index of the lower child (the upper one follows
    // it). Leaf: kLeaf | bound axis (3: none).
    std::uint32_t children = kLeaf | 3u;
    std::uint32_t index = kBucketKDTreeNoIndex; // in-order number (NumberNodes)

    static constexpr std::uint32_t kLeaf = 0xFFFFFFFC;

    bool IsLeaf() const { return children >= kLeaf; }
    // 0 x, 1 y, 2 z; -1 for a leaf.
    int Axis() const { return IsLeaf() ? -1 : static_cast<int>(children >> 30); }
    // Leaf: the axis low and high bound, -1 for none (and for an inner node).
    int BoundAxis() const { return IsLeaf() && (children & 3u) != 3u ? static_cast<int>(children & 3u) : -1; }
    std::uint32_t Lower() const { return children & 0x3FFFFFFFu; }
    std::uint32_t Upper() const { return Lower() + 1; }
    std::uint32_t GetBucketCount() const { return IsLeaf() ? count : 0; }
};
static_assert(sizeof(stBucketKDTreeNode<const float*, void>) == 24);

template <class T, class TComparator,
          class TArray = tArray<stBucketKDTreeNode<T, TComparator>,
                                tArrayChunkAllocator<stBucketKDTreeNode<T, TComparator>>>>
class tBucketKDTree
{
public:
    using Node = stBucketKDTreeNode<T, TComparator>;
    using Elements = tBucketKDTreeElements<T>;

    explicit tBucketKDTree(std::uint32_t bucketMaximum = kBucketKDTreeDefaultBucket,
                           TComparator comparator = TComparator())
        : m_bucketMaximum(bucketMaximum > 0 ? bucketMaximum : 1), m_comparator(comparator)
    {
        MakeEmptyBox(m_box);
    }
    virtual ~tBucketKDTree() { Clear(); }

    tBucketKDTree(const tBucketKDTree&) = delete;
    tBucketKDTree& operator=(const tBucketKDTree&) = delete;

    // Bulk loading before Build: while the root is a leaf the element joins
    // its bucket unsplit. False when the element has a NaN or infinite
    // coordinate, or when no memory could be had.
    bool Add(T element)
    {
        if (!IsStorable(element))
            return false;
        if (m_nodes.GetCount() == 0 && !CreateRoot())
            return false;
        m_nodes[0].index = kBucketKDTreeNoIndex;
        if (m_nodes[0].IsLeaf())
            return AddToLeaf(0, element);
        return Insert(element) != nullptr;
    }

    // Bulk loading of an empty tree: the n elements, in their order, become
    // the root's bucket as adding them one at a time before Build leaves it
    // (an element Add refuses is left out), the box grown over them a block
    // at a time on the pool and the blocks' boxes joined in order. False,
    // with nothing added, when the tree is not empty or no memory could be
    // had.
    bool AddAll(const T* elements, std::uint32_t n, cThreadPool* pool)
    {
        return AddAllOf(n, [elements](std::uint32_t i) { return elements[i]; }, pool);
    }

    // AddAll of the elements element(0) .. element(n - 1), read twice each
    // (a null one is left out as Add leaves it out); element may be called
    // on the pool's threads side by side.
    template <class Element> bool AddAllOf(std::uint32_t n, const Element& element, cThreadPool* pool)
    {
        if (m_nodes.GetCount() != 0)
            return false;
        stLoad<Element> load(*this, n, element, pool);
        if (load.kept == 0)
            return true;
        T* items = new (std::nothrow) T[load.kept];
        if (items == nullptr || !CreateRoot())
        {
            delete[] items;
            return false;
        }
        load.Write(items, nullptr);
        load.SetRoot();
        m_elements.Adopt(items, load.kept, pool);
        return true;
    }

    // AddAllOf and Build in one: the elements and their coordinates go
    // straight into the build's arrays, without the root's bucket between
    // them. The same tree; returns what Build returns, 0 when no memory
    // could be had. The tree must be empty.
    template <class Element> std::uint32_t BuildFrom(std::uint32_t n, const Element& element, cThreadPool* pool)
    {
        if (m_nodes.GetCount() != 0)
            return 0;
        {
            stLoad<Element> load(*this, n, element, pool);
            if (load.kept > m_bucketMaximum && CreateRoot())
            {
                load.SetRoot();
                std::uint32_t deepest = BuildOffsetsSideBySide(pool, load);
                if (deepest == 0)
                    deepest = BuildFromArrayFilledBy(pool, [&](T* items, float* xyz) { load.Write(items, xyz); });
                if (deepest > 0)
                {
                    NumberNodes();
                    return deepest;
                }
                Clear();
            }
        }
        if (!AddAllOf(n, element, pool))
            return 0;
        return Build(pool);
    }

    // Incremental insertion: splits over-full leaves on the way down and
    // widens the bounds of every node it passes, so that a query after any
    // mix of inserts still finds the true nearest element. Returns the leaf
    // that received the element, or null when it was refused (non-finite
    // coordinate) or no memory could be had.
    Node* Insert(T element)
    {
        if (!IsStorable(element))
            return nullptr;
        if (m_nodes.GetCount() == 0 && !CreateRoot())
            return nullptr;
        if (m_nodes[0].GetBucketCount() > m_bucketMaximum)
            Build();
        // The numbering no longer holds: NumberNodes starts again.
        m_nodes[0].index = kBucketKDTreeNoIndex;
        const float* p = m_comparator.Coordinates(element);
        std::uint32_t at = 0;
        std::uint32_t depth = 1;
        float cell[6];
        std::copy(m_box, m_box + 6, cell);
        GrowBox3f(cell, p);
        for (;;)
        {
            if (m_nodes[at].IsLeaf())
            {
                if (m_nodes[at].count <= m_bucketMaximum || !Split(at, cell))
                    break;
            }
            Node& node = m_nodes[at];
            const int axis = node.Axis();
            if (static_cast<double>(p[axis]) > node.split)
            {
                node.upperMin = std::min(node.upperMin, p[axis]);
                cell[axis] = node.upperMin;
                at = node.Upper();
            }
            else
            {
                node.lowerMax = std::max(node.lowerMax, p[axis]);
                cell[axis + 3] = node.lowerMax;
                at = node.Lower();
            }
            ++depth;
        }
        if (!AddToLeaf(at, element))
            return nullptr;
        m_depth = std::max(m_depth, depth);
        return &m_nodes[at];
    }

    // Splits every leaf that holds more than the bucket maximum, then numbers
    // the nodes. Returns the depth reached (1 for a root that needed no split,
    // 0 for an empty tree or one that was already built). With a pool, the
    // subtrees of a big tree are split side by side; the tree is the same,
    // node for node and element for element. Not from a job of that pool.
    std::uint32_t Build(cThreadPool* pool = nullptr)
    {
        if (m_nodes.GetCount() == 0 || !m_nodes[0].IsLeaf())
        {
            NumberNodes();
            return 0;
        }
        m_nodes[0].index = kBucketKDTreeNoIndex;
        if (m_nodes[0].count <= m_bucketMaximum)
        {
            NumberNodes();
            return 1;
        }
        std::uint32_t deepest = BuildFromArray(pool);
        if (deepest == 0)
            deepest = BuildByWalk();
        NumberNodes();
        return deepest;
    }

    // Numbers the nodes in order (lower subtree, node, upper subtree). Does
    // nothing when the numbering is current (the root keeps its number until
    // an add or insert resets it). Children always come after their parent
    // in the node array, so two passes do it without a stack: backwards each
    // node counts its subtree, forwards each passes its children where their
    // subtrees start.
    void NumberNodes()
    {
        const std::uint32_t n = m_nodes.GetCount();
        if (n == 0 || m_nodes[0].index != kBucketKDTreeNoIndex)
            return;
        for (std::uint32_t i = n; i-- > 0;)
        {
            Node& node = m_nodes[i];
            node.index = node.IsLeaf() ? 1 : 1 + m_nodes[node.Lower()].index + m_nodes[node.Upper()].index;
        }
        m_nodes[0].index = 0; // where the root's subtree starts
        for (std::uint32_t i = 0; i < n; ++i)
        {
            Node& node = m_nodes[i];
            if (node.IsLeaf())
                continue;
            const std::uint32_t start = node.index;
            const std::uint32_t lowerSize = m_nodes[node.Lower()].index;
            node.index = start + lowerSize;
            m_nodes[node.Lower()].index = start;
            m_nodes[node.Upper()].index = start + lowerSize + 1;
        }
        m_counter = n;
    }

    // The nearest element strictly closer than radius, or null. On success
    // radius becomes its distance; otherwise it is left as it was. A float
    // query point measures in single precision, a double one in double;
    // either way the comparison is in double. A radius that is not positive
    // (or NaN) finds nothing. Of equally near elements the first met wins:
    // the walk goes to the side of the split the point lies on first, and
    // reads a leaf in bucket order.
    template <class S> T FindNearest(const S q[3], double& radius) const
    {
        static_assert(std::is_same_v<S, float> || std::is_same_v<S, double>);
        if (IsEmpty())
            return T();
        if (!(radius > 0.0))
            return T();
        stPending<S> local[kLocalPending];
        stPending<S>* pending = local;
        std::unique_ptr<stPending<S>[]> deep;
        if (m_depth > kLocalPending)
        {
            deep.reset(new (std::nothrow) stPending<S>[m_depth]);
            if (deep == nullptr)
                return FindNearestByScan(q, radius);
            pending = deep.get();
        }
        const double qd[3] = {static_cast<double>(q[0]), static_cast<double>(q[1]), static_cast<double>(q[2])};
        double r2 = radius * radius;
        const double initialR2 = r2;
        T best = T();
        // The gaps from q to the current node's cell on each axis, formed
        // as the element distances are: no element of the cell is nearer.
        S gap[3];
        for (int a = 0; a < 3; ++a)
        {
            const S low = static_cast<S>(m_box[a]);
            const S high = static_cast<S>(m_box[a + 3]);
            gap[a] = q[a] < low ? low - q[a] : (q[a] > high ? q[a] - high : S(0));
        }
        std::uint32_t top = 0;
        std::uint32_t at = 0;
        const std::uint32_t nodeCount = m_nodes.GetCount();
        bool walking = r2 > SumOfSquares(gap);
        while (walking)
        {
            const Node& node = m_nodes[at];
            if (!node.IsLeaf())
            {
                const int axis = static_cast<int>(node.children >> 30);
                const std::uint32_t lower = node.children & 0x3FFFFFFFu;
                const S lowerGap = std::max(gap[axis], static_cast<S>(q[axis] - static_cast<S>(node.lowerMax)));
                const S upperGap = std::max(gap[axis], static_cast<S>(static_cast<S>(node.upperMin) - q[axis]));
                const bool upperFirst = qd[axis] > node.split;
                // Build makes an upper child's children right after the
                // pair, and their upper child's children after those: ask
                // for them while the child's own record is on its way (a
                // wrong guess only fetches lines in vain).
                if (lower + 5 < nodeCount)
                {
                    __builtin_prefetch(&m_nodes[lower + 2]);
                    __builtin_prefetch(&m_nodes[lower + 5]);
                }
                const S cellGap = gap[axis];
                gap[axis] = upperFirst ? lowerGap : upperGap;
                if (r2 > SumOfSquares(gap))
                {
                    stPending<S>& later = pending[top++];
                    later.node = upperFirst ? lower : lower + 1;
                    later.gap[0] = gap[0];
                    later.gap[1] = gap[1];
                    later.gap[2] = gap[2];
                }
                const S nearGap = upperFirst ? upperGap : lowerGap;
                gap[axis] = nearGap;
                // The node's own cell passed: a near side no farther passes too.
                if (nearGap == cellGap || r2 > SumOfSquares(gap))
                {
                    at = upperFirst ? lower + 1 : lower;
                    continue;
                }
            }
            else if (node.count > 0 && LeafMayHoldNearer(node, q, gap, r2))
            {
                if (m_elements.KeepsOffsets())
                    ScanOffsets(q, m_elements.GetOffsets() + node.first, node.count, r2, best);
                else
                    ScanValues(q, m_elements.GetValues() + node.first, node.count, r2, best);
            }
            // The latest far side the radius has not ruled out since.
            walking = false;
            while (top > 0)
            {
                const stPending<S>& next = pending[--top];
                if (r2 > SumOfSquares(next.gap))
                {
                    at = next.node;
                    gap[0] = next.gap[0];
                    gap[1] = next.gap[1];
                    gap[2] = next.gap[2];
                    walking = true;
                    break;
                }
            }
        }
        // Only the last improvement's distance is reported.
        if (r2 < initialR2)
            radius = std::sqrt(r2);
        return best;
    }

    // Empties the tree: node records are destroyed and their chunks freed,
    // and the element array is freed.
    void Clear()
    {
        m_nodes.Clear();
        m_elements.Free();
        MakeEmptyBox(m_box);
        m_counter = 0;
        m_depth = 0;
    }

    // True when no element is stored.
    bool IsEmpty() const { return m_nodes.GetCount() == 0 || (m_nodes[0].IsLeaf() && m_nodes[0].count == 0); }

    const Node* GetRoot() const { return m_nodes.GetCount() > 0 ? &m_nodes[0] : nullptr; }
    std::uint32_t GetBucketMaximum() const { return m_bucketMaximum; }
    std::uint32_t GetNodeCount() const { return m_nodes.GetCount(); }
    const Node* GetNode(std::uint32_t i) const { return i < m_nodes.GetCount() ? &m_nodes[i] : nullptr; }
    const TComparator& GetComparator() const { return m_comparator; }
    const Elements& GetElements() const { return m_elements; }
    // The box of every element stored (min x, y, z, max x, y, z; empty:
    // +inf / -inf).
    const float* GetBox() const { return m_box; }
    // The deepest level a build or insert reached (the root is level 1).
    std::uint32_t GetDepth() const { return m_depth; }

    // Calls f(element) for a leaf's elements in bucket order.
    template <class F> void ForEachInBucket(const Node* node, F&& f) const
    {
        if (node == nullptr || !node->IsLeaf())
            return;
        for (std::uint32_t i = 0; i < node->count; ++i)
            f(m_elements.Get(node->first + i));
    }

protected:
    // Build's fallback when it cannot have its work arrays, and the
    // reference its array build must match: split over-full leaves one by
    // one, depth first, the upper side first.
    std::uint32_t BuildByWalk()
    {
        struct stVisit
        {
            std::uint32_t node;
            std::uint32_t depth;
            float cell[6];
        };
        tArray<stVisit> stack;
        std::uint32_t deepest = 1;
        if (m_nodes.GetCount() == 0 || stack.Append() == nullptr)
            return deepest;
        stack[0] = stVisit{0, 1, {}};
        std::copy(m_box, m_box + 6, stack[0].cell);
        while (stack.GetCount() > 0)
        {
            const stVisit visit = stack[stack.GetCount() - 1];
            stack.SetCount(stack.GetCount() - 1);
            deepest = std::max(deepest, visit.depth);
            const Node& node = m_nodes[visit.node];
            // A leaf that could not be split (no memory) stays over-full:
            // still correct for queries, only slower.
            if (!node.IsLeaf() || node.count <= m_bucketMaximum || !Split(visit.node, visit.cell))
                continue;
            const Node& split = m_nodes[visit.node];
            stVisit lower{split.Lower(), visit.depth + 1, {}};
            stVisit upper{split.Upper(), visit.depth + 1, {}};
            ChildCells(split, visit.cell, lower.cell, upper.cell);
            if (stack.PushBack(lower) == nullptr || stack.PushBack(upper) == nullptr)
                break;
        }
        m_depth = std::max(m_depth, deepest);
        return deepest;
    }

    // A query on a tree too deep for its own stack, when no memory for a
    // deeper one could be had: every leaf in turn. The distance found is
    // the nearest one still; of equally near elements another may win.
    template <class S> T FindNearestByScan(const S q[3], double& radius) const
    {
        double r2 = radius * radius;
        const double initialR2 = r2;
        T best = T();
        for (std::uint32_t i = 0; i < m_nodes.GetCount(); ++i)
        {
            const Node& node = m_nodes[i];
            for (std::uint32_t k = 0; node.IsLeaf() && k < node.count; ++k)
            {
                const T element = m_elements.Get(node.first + k);
                const double d2 = SquaredDistance(q, m_comparator.Coordinates(element));
                if (r2 > d2)
                {
                    r2 = d2;
                    best = element;
                }
            }
        }
        if (r2 < initialR2)
            radius = std::sqrt(r2);
        return best;
    }

private:
    // A bulk load's count: each block's storable elements and box, on the
    // pool for a big load; then their writing, each block from where the
    // blocks before it end, and the root that holds them.
    template <class Element> struct stLoad
    {
        static constexpr std::uint32_t kBlock = 1u << 16;
        tBucketKDTree& tree;
        const std::uint32_t n;
        const Element& element;
        cThreadPool* const pool;
        std::vector<std::uint32_t> firstOf;
        std::vector<std::array<float, 6>> boxOf;
        // Pointer elements: each block's lowest and highest kept element,
        // and all blocks' (low > high when none is kept).
        std::vector<std::array<std::uintptr_t, 2>> spanOf;
        std::uint32_t kept = 0;
        std::uintptr_t low = UINTPTR_MAX, high = 0;

        stLoad(tBucketKDTree& owner, std::uint32_t count, const Element& of, cThreadPool* on)
            : tree(owner), n(count), element(of), pool(count >= kSideBySideMinimum ? on : nullptr),
              firstOf(Blocks() + 1, 0), boxOf(Blocks()), spanOf(std::is_pointer_v<T> ? Blocks() : 0)
        {
            auto measure = [&](std::size_t block) {
                float box[6];
                MakeEmptyBox(box);
                std::uint32_t storable = 0;
                std::uintptr_t blockLow = UINTPTR_MAX, blockHigh = 0;
                for (std::uint32_t i = std::uint32_t(block) * kBlock; i < End(block); ++i)
                    if (const T e = element(i); tree.IsStorable(e))
                    {
                        ++storable;
                        GrowBox3f(box, tree.m_comparator.Coordinates(e));
                        if constexpr (std::is_pointer_v<T>)
                        {
                            blockLow = std::min(blockLow, reinterpret_cast<std::uintptr_t>(e));
                            blockHigh = std::max(blockHigh, reinterpret_cast<std::uintptr_t>(e));
                        }
                    }
                firstOf[block + 1] = storable;
                std::copy(box, box + 6, boxOf[block].data());
                if constexpr (std::is_pointer_v<T>)
                    spanOf[block] = {blockLow, blockHigh};
            };
            ParallelForEach(pool, Blocks(), 1, measure);
            for (std::size_t block = 0; block < Blocks(); ++block)
                firstOf[block + 1] += firstOf[block];
            kept = firstOf[Blocks()];
            for (const std::array<std::uintptr_t, 2>& span : spanOf)
                low = std::min(low, span[0]), high = std::max(high, span[1]);
        }

        // Whether every kept element is a pointer within 4 GiB above the
        // lowest, as the element array keeps offsets.
        bool FitsOffsets() const { return std::is_pointer_v<T> && kept > 0 && high - low <= std::uintptr_t{0xFFFFFFFF}; }

        std::size_t Blocks() const { return (std::size_t{n} + kBlock - 1) / kBlock; }
        std::uint32_t End(std::size_t block) const { return std::min(n, std::uint32_t(block + 1) * kBlock); }

        // The kept elements in their order, and their coordinates unless
        // xyz is null.
        void Write(T* items, float* xyz) const
        {
            auto write = [&](std::size_t block) {
                std::uint32_t to = firstOf[block];
                for (std::uint32_t i = std::uint32_t(block) * kBlock; i < End(block); ++i)
                    if (const T e = element(i); tree.IsStorable(e))
                    {
                        items[to] = e;
                        if (xyz != nullptr)
                        {
                            const float* p = tree.m_comparator.Coordinates(e);
                            std::copy(p, p + 3, xyz + std::size_t{to} * 3);
                        }
                        ++to;
                    }
            };
            ParallelForEach(pool, Blocks(), 1, write);
        }

        // Write with each element as its byte offset from the lowest (when
        // FitsOffsets), and its coordinates.
        void WriteOffsets(std::uint32_t* offsets, float* xyz) const
        {
            auto write = [&](std::size_t block) {
                std::uint32_t to = firstOf[block];
                for (std::uint32_t i = std::uint32_t(block) * kBlock; i < End(block); ++i)
                    if (const T e = element(i); tree.IsStorable(e))
                    {
                        offsets[to] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(e) - low);
                        const float* p = tree.m_comparator.Coordinates(e);
                        std::copy(p, p + 3, xyz + std::size_t{to} * 3);
                        ++to;
                    }
            };
            ParallelForEach(pool, Blocks(), 1, write);
        }

        // The tree's box over the blocks' boxes in order, and the root
        // (made already) holding the kept elements.
        void SetRoot() const
        {
            for (const std::array<float, 6>& box : boxOf)
            {
                GrowBox3f(tree.m_box, box.data());
                GrowBox3f(tree.m_box, box.data() + 3);
            }
            Node& root = tree.m_nodes[0];
            root.first = 0;
            root.count = kept;
            root.index = kBucketKDTreeNoIndex;
        }
    };

    struct stRange
    {
        std::uint32_t node;
        std::uint32_t begin;
        std::uint32_t end;
        std::uint32_t depth;
        float box[6];  // of its elements
        float cell[6]; // the root box narrowed by the bounds above it
        // Its elements and coordinates lie in the spill arrays (a partition
        // on the pool writes its sides there instead of copying them back).
        bool inSpill = false;
    };

    // A far side the query may still need: its node and the gaps to its cell.
    template <class S> struct stPending
    {
        std::uint32_t node;
        S gap[3];
    };
    // Pending far sides a query keeps on its own stack; deeper trees (long
    // runs of inserts) take a heap array.
    static constexpr std::uint32_t kLocalPending = 64;

    static void MakeEmptyBox(float box[6])
    {
        box[0] = box[1] = box[2] = HUGE_VALF;
        box[3] = box[4] = box[5] = -HUGE_VALF;
    }

    bool IsStorable(T element) const
    {
        if (!element)
            return false;
        const float* p = m_comparator.Coordinates(element);
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    }

    bool CreateRoot()
    {
        if (m_nodes.Append() == nullptr)
            return false;
        m_depth = 1;
        return true;
    }

    // Appends the element to a leaf (moving the leaf to the end of the
    // element array first when it does not end it) and grows the tree's box.
    // Elements are checked on entry, so no element is ever dropped.
    bool AddToLeaf(std::uint32_t at, T element)
    {
        Node& leaf = m_nodes[at];
        const std::uint32_t first = m_elements.MakeRoomAtEnd(leaf.first, leaf.count, 1);
        if (first == Elements::kNoRoom)
            return false;
        leaf.first = first;
        if (!m_elements.Append(element))
            return false;
        ++leaf.count;
        const float* p = m_comparator.Coordinates(element);
        GrowBox3f(m_box, p);
        if (leaf.BoundAxis() >= 0)
        {
            leaf.low = std::min(leaf.low, p[leaf.BoundAxis()]);
            leaf.high = std::max(leaf.high, p[leaf.BoundAxis()]);
        }
        const std::uint32_t garbage = m_elements.GetGarbage();
        if (garbage >= 1024 && garbage > m_elements.GetCount() - garbage)
            CompactElements();
        return true;
    }

    // Drops the slots that moved leaves left behind; without memory the
    // array simply keeps them.
    void CompactElements()
    {
        m_elements.Compact([this](auto&& move) {
            for (std::uint32_t i = 0; i < m_nodes.GetCount(); ++i)
            {
                Node& node = m_nodes[i];
                if (node.IsLeaf())
                    node.first = move(node.first, node.count);
            }
        });
    }

    // Gives a leaf two new children (lower, then upper) and chooses its
    // split from its box: the midpoint of the longest extent (ties go to the
    // later axis). False (the leaf unchanged) when the node array cannot
    // take both children. Returns whether the elements are to be dealt
    // alternately through *deal.
    bool MakeChildren(std::uint32_t at, const float box[6], bool* deal)
    {
        const std::uint32_t count = m_nodes.GetCount();
        if (count > kBucketKDTreeMaxNodes - 2 || !m_nodes.Resize(count + 2))
            return false;
        m_nodes.Append();
        m_nodes.Append();
        *deal = ChooseSplit(m_nodes[at], box, count);
        return true;
    }

    // An inner node's split from its box, its lower child at `lower`; true
    // when its elements are to be dealt alternately.
    static bool ChooseSplit(Node& node, const float box[6], std::uint32_t lower)
    {
        const double dx = static_cast<double>(box[3]) - static_cast<double>(box[0]);
        const double dy = static_cast<double>(box[4]) - static_cast<double>(box[1]);
        const double dz = static_cast<double>(box[5]) - static_cast<double>(box[2]);
        int axis;
        if (dx > dy)
            axis = dx > dz ? 0 : 2;
        else
            axis = dy > dz ? 1 : 2;
        node.children = static_cast<std::uint32_t>(axis) << 30 | lower;
        node.split = (static_cast<double>(box[axis + 3]) + static_cast<double>(box[axis])) * 0.5;
        // A box thinner than FLT_EPSILON on the split axis cannot be cut:
        // its elements are dealt alternately, the first to the lower side.
        return static_cast<double>(box[axis + 3]) - static_cast<double>(box[axis]) < static_cast<double>(FLT_EPSILON);
    }

    // Sets an inner node's bounds and its children's ranges and leaf
    // bounds once its range [begin, end) is partitioned at mid.
    void SetChildren(std::uint32_t at, std::uint32_t begin, std::uint32_t mid, std::uint32_t end,
                     const float lowerBox[6], const float upperBox[6], const float cell[6])
    {
        Node& node = m_nodes[at];
        SetChildrenOf(node, m_nodes[node.Lower()], m_nodes[node.Upper()], begin, mid, end, lowerBox, upperBox, cell);
    }

    static void SetChildrenOf(Node& node, Node& lower, Node& upper, std::uint32_t begin, std::uint32_t mid,
                              std::uint32_t end, const float lowerBox[6], const float upperBox[6], const float cell[6])
    {
        const int axis = node.Axis();
        node.lowerMax = lowerBox[axis + 3];
        node.upperMin = upperBox[axis];
        lower.first = begin;
        lower.count = mid - begin;
        upper.first = mid;
        upper.count = end - mid;
        float lowerCell[6], upperCell[6];
        ChildCells(node, cell, lowerCell, upperCell);
        SetLeafBound(lower, lowerBox, lowerCell);
        SetLeafBound(upper, upperBox, upperCell);
    }

    // The cells of an inner node's children: its own, narrowed on the axis
    // by the sides' bounds.
    static void ChildCells(const Node& node, const float cell[6], float lowerCell[6], float upperCell[6])
    {
        const int axis = node.Axis();
        std::copy(cell, cell + 6, lowerCell);
        std::copy(cell, cell + 6, upperCell);
        lowerCell[axis + 3] = node.lowerMax;
        upperCell[axis] = node.upperMin;
    }

    // A leaf keeps its elements' bounds on the axis where they lie farthest
    // inside its cell (on a scanned surface, about its normal): a query
    // then skips a leaf whose cell is near but whose elements are not.
    static void SetLeafBound(Node& leaf, const float box[6], const float cell[6])
    {
        int best = 3;
        double widest = 0.0;
        for (int a = 0; a < 3; ++a)
        {
            const double inside = (static_cast<double>(box[a]) - static_cast<double>(cell[a])) +
                                  (static_cast<double>(cell[a + 3]) - static_cast<double>(box[a + 3]));
            if (inside > widest)
            {
                widest = inside;
                best = a;
            }
        }
        leaf.children = Node::kLeaf | static_cast<std::uint32_t>(best);
        leaf.low = best < 3 ? box[best] : HUGE_VALF;
        leaf.high = best < 3 ? box[best + 3] : -HUGE_VALF;
    }

    // False when the leaf's elements lie beyond the radius by its bound
    // axis (gaps as the query's, for the leaf's cell).
    template <class S> static bool LeafMayHoldNearer(const Node& leaf, const S q[3], const S gap[3], double r2)
    {
        const std::uint32_t axis = leaf.children & 3u;
        if (axis == 3u)
            return true;
        S narrowed[3] = {gap[0], gap[1], gap[2]};
        const S below = static_cast<S>(leaf.low) - q[axis];
        const S above = q[axis] - static_cast<S>(leaf.high);
        narrowed[axis] = std::max(narrowed[axis], std::max(below, above));
        return r2 > SumOfSquares(narrowed);
    }

    // Moves an over-full leaf's elements into two new children: a stable
    // partition of its range in place (lower side first). cell: the leaf's.
    bool Split(std::uint32_t at, const float cell[6])
    {
        const std::uint32_t first = m_nodes[at].first;
        const std::uint32_t n = m_nodes[at].count;
        std::unique_ptr<T[]> spill(new (std::nothrow) T[n]);
        if (spill == nullptr)
            return false;
        float box[6];
        MakeEmptyBox(box);
        for (std::uint32_t i = 0; i < n; ++i)
            GrowBox3f(box, m_comparator.Coordinates(m_elements.Get(first + i)));
        bool deal = false;
        if (!MakeChildren(at, box, &deal))
            return false;
        const Node& node = m_nodes[at];
        const int axis = node.Axis();
        float lowerBox[6], upperBox[6];
        MakeEmptyBox(lowerBox);
        MakeEmptyBox(upperBox);
        std::uint32_t lowerEnd = first;
        std::uint32_t upperCount = 0;
        for (std::uint32_t k = 0; k < n; ++k)
        {
            const T element = m_elements.Get(first + k);
            const float* p = m_comparator.Coordinates(element);
            const bool lower = deal ? (k & 1u) == 0 : !(static_cast<double>(p[axis]) > node.split);
            if (lower)
            {
                m_elements.Set(lowerEnd++, element);
                GrowBox3f(lowerBox, p);
            }
            else
            {
                spill[upperCount++] = element;
                GrowBox3f(upperBox, p);
            }
        }
        for (std::uint32_t j = 0; j < upperCount; ++j)
            m_elements.Set(lowerEnd + j, spill[j]);
        SetChildren(at, first, lowerEnd, first + n, lowerBox, upperBox, cell);
        return true;
    }

    // The same splits, in the same order and with the same bucket orders as
    // the walk, done on an array of the root's elements: every level reads
    // the elements from consecutive memory, and the array, partitioned leaf
    // by leaf, becomes the element array. Returns the depth, or 0 (the tree
    // untouched) when the work arrays cannot be had.
    std::uint32_t BuildFromArray(cThreadPool* pool)
    {
        const std::uint32_t n = m_nodes[0].count;
        const std::uint32_t rootFirst = m_nodes[0].first;
        // On the pool for a big tree, a block of elements at a time.
        const auto gather = [&](T* items, float* xyz) {
            constexpr std::uint32_t kBlock = 1u << 16;
            auto take = [&](std::size_t block) {
                const std::uint32_t end = std::min(n, std::uint32_t(block + 1) * kBlock);
                for (std::uint32_t i = std::uint32_t(block) * kBlock; i < end; ++i)
                {
                    items[i] = m_elements.Get(rootFirst + i);
                    if (xyz == nullptr)
                        continue;
                    const float* p = m_comparator.Coordinates(items[i]);
                    std::copy(p, p + 3, xyz + std::size_t{i} * 3);
                }
            };
            ParallelForEach(n >= kSideBySideMinimum ? pool : nullptr, (std::size_t{n} + kBlock - 1) / kBlock, 1, take);
        };
        return BuildFromArrayFilledBy(pool, gather);
    }

    // BuildFromArray with the root's n elements, in their order, and their
    // coordinates written into its arrays by fill(items, xyz) (xyz null
    // when there is no memory for the coordinates), perhaps twice.
    template <class Fill> std::uint32_t BuildFromArrayFilledBy(cThreadPool* pool, const Fill& fill)
    {
        const std::uint32_t n = m_nodes[0].count;
        T* items = new (std::nothrow) T[n];
        std::unique_ptr<T[]> spill(new (std::nothrow) T[n]);
        tArray<stRange> stack;
        if (items == nullptr || spill == nullptr || stack.Append() == nullptr)
        {
            delete[] items;
            return 0;
        }
        // Coordinates moved along with the elements, so that every level
        // reads them from consecutive memory instead of through each
        // element. Optional: without memory for them the partition reads
        // through the comparator.
        std::unique_ptr<float[]> xyz(new (std::nothrow) float[std::size_t{n} * 3]);
        std::unique_ptr<float[]> spillXyz(xyz != nullptr ? new (std::nothrow) float[std::size_t{n} * 3] : nullptr);
        AdviseHugePages(items, sizeof(T) * n);
        AdviseHugePages(spill.get(), sizeof(T) * n);
        AdviseHugePages(xyz.get(), sizeof(float) * 3 * n);
        AdviseHugePages(spillXyz.get(), sizeof(float) * 3 * n);
        const auto gather = [&] { fill(items, spillXyz != nullptr ? xyz.get() : nullptr); };
        gather();

        std::uint32_t deepest = 1;
        if (pool != nullptr && spillXyz != nullptr && n >= kSideBySideMinimum)
        {
            // The spill arrays and the coordinates go before the node array
            // grows and the elements are packed: a whole scan's tree is
            // built while its fit holds the most memory.
            const auto release = [&] {
                spill.reset();
                xyz.reset();
                spillXyz.reset();
            };
            if (BuildSideBySide(pool, items, xyz.get(), spill.get(), spillXyz.get(), n, deepest, release))
            {
                m_elements.Adopt(items, n, pool);
                m_depth = std::max(m_depth, deepest);
                return deepest;
            }
            if (spill == nullptr)
            {
                // No memory for the nodes once the work arrays were gone.
                delete[] items;
                return 0;
            }
            // Without memory for the pieces, the build runs here from the
            // elements in the order they were added.
            gather();
            deepest = 1;
        }
        stack[0] = stRange{0, 0, n, 1, {}, {}};
        std::copy(m_box, m_box + 6, stack[0].box);
        std::copy(m_box, m_box + 6, stack[0].cell);
        while (stack.GetCount() > 0)
        {
            const stRange range = stack[stack.GetCount() - 1];
            stack.SetCount(stack.GetCount() - 1);
            if (range.end - range.begin > m_bucketMaximum)
            {
                // Room for both children's ranges first. The upper range goes
                // on top: it is split next, so an upper child's children
                // follow it in the node array.
                const std::uint32_t pending = stack.GetCount();
                stRange* lowerRange = stack.Append();
                stRange* upperRange = lowerRange != nullptr ? stack.Append() : nullptr;
                bool deal = false;
                if (upperRange != nullptr && MakeChildren(range.node, range.box, &deal))
                {
                    float lowerBox[6], upperBox[6];
                    MakeEmptyBox(lowerBox);
                    MakeEmptyBox(upperBox);
                    const std::uint32_t mid =
                        spillXyz != nullptr
                            ? PartitionWithCoordinates(range.node, deal, items, xyz.get(), range.begin, range.end,
                                                       spill.get(), spillXyz.get(), lowerBox, upperBox)
                            : Partition(range.node, deal, items, range.begin, range.end, spill.get(), lowerBox,
                                        upperBox);
                    SetChildren(range.node, range.begin, mid, range.end, lowerBox, upperBox, range.cell);
                    deepest = std::max(deepest, range.depth + 1);
                    const Node& node = m_nodes[range.node];
                    *lowerRange = stRange{node.Lower(), range.begin, mid, range.depth + 1, {}, {}};
                    std::copy(lowerBox, lowerBox + 6, lowerRange->box);
                    *upperRange = stRange{node.Upper(), mid, range.end, range.depth + 1, {}, {}};
                    std::copy(upperBox, upperBox + 6, upperRange->box);
                    ChildCells(node, range.cell, lowerRange->cell, upperRange->cell);
                    continue;
                }
                stack.SetCount(pending);
            }
            // A leaf (without memory to split it, an over-full one).
            Node& leaf = m_nodes[range.node];
            leaf.first = range.begin;
            leaf.count = range.end - range.begin;
        }
        m_elements.Adopt(items, n, pool);
        m_depth = std::max(m_depth, deepest);
        return deepest;
    }

    // BuildFromArrayFilledBy side by side on the pool for pointer elements
    // that the element array keeps as offsets: the work arrays carry each
    // element as its 32-bit offset from the lowest instead of the pointer
    // (40 MB less for 5M vertices), and the element array takes them as
    // they are, with nothing to pack. The same tree. 0, with nothing built,
    // when the elements are not such pointers, the build is not for the
    // pool or the memory for it cannot be had.
    template <class Element> std::uint32_t BuildOffsetsSideBySide(cThreadPool* pool, const stLoad<Element>& load)
    {
        const std::uint32_t n = m_nodes[0].count;
        if (!load.FitsOffsets() || pool == nullptr || n < kSideBySideMinimum)
            return 0;
        std::unique_ptr<std::uint32_t[]> items(new (std::nothrow) std::uint32_t[n]);
        std::unique_ptr<std::uint32_t[]> spill(new (std::nothrow) std::uint32_t[n]);
        std::unique_ptr<float[]> xyz(new (std::nothrow) float[std::size_t{n} * 3]);
        std::unique_ptr<float[]> spillXyz(new (std::nothrow) float[std::size_t{n} * 3]);
        if (items == nullptr || spill == nullptr || xyz == nullptr || spillXyz == nullptr)
            return 0;
        AdviseHugePages(items.get(), sizeof(std::uint32_t) * n);
        AdviseHugePages(spill.get(), sizeof(std::uint32_t) * n);
        AdviseHugePages(xyz.get(), sizeof(float) * 3 * n);
        AdviseHugePages(spillXyz.get(), sizeof(float) * 3 * n);
        load.WriteOffsets(items.get(), xyz.get());
        const auto release = [&] {
            spill.reset();
            xyz.reset();
            spillXyz.reset();
        };
        std::uint32_t deepest = 1;
        if (!BuildSideBySide(pool, items.get(), xyz.get(), spill.get(), spillXyz.get(), n, deepest, release))
            return 0;
        m_elements.AdoptOffsets(items.release(), n, load.low);
        m_depth = std::max(m_depth, deepest);
        return deepest;
    }

    // A big work array not yet written is asked to be made of huge pages:
    // a fault every 2 MB instead of every 4 KB as it is first written.
    static void AdviseHugePages(void* start, std::size_t bytes)
    {
        if (bytes >= (std::size_t{8} << 20))
            ON_AdviseHugePages(start, bytes);
    }

    // Fewest elements a build splits side by side.
    static constexpr std::uint32_t kSideBySideMinimum = 1u << 16;
    static constexpr std::uint32_t kNoPiece = 0xFFFFFFFF;

    // A subtree split on its own: its nodes, the first its root, children
    // numbered within them.
    struct stPiece
    {
        std::vector<Node> nodes;
        stRange root;
        std::uint32_t deepest = 1;
        bool ok = true;
    };

    // Splits ranges depth first, the upper side first, into `nodes` (the
    // ranges' nodes numbered within it), as the array build does. A range in
    // the spill arrays is taken back first.
    // The elements the work arrays carry are P (T, or offsets from the
    // lowest element): they are only moved, the coordinates decide.
    template <class P>
    void SplitRanges(std::vector<Node>& nodes, std::vector<stRange>& stack, P* items, float* xyz, P* spill,
                     float* spillXyz, std::uint32_t& deepest) const
    {
        while (!stack.empty())
        {
            stRange range = stack.back();
            stack.pop_back();
            const std::uint32_t size = range.end - range.begin;
            if (range.inSpill)
                TakeBackFromSpill(range, items, xyz, spill, spillXyz);
            if (size <= m_bucketMaximum)
            {
                nodes[range.node].first = range.begin;
                nodes[range.node].count = size;
                continue;
            }
            const std::uint32_t lowerIndex = static_cast<std::uint32_t>(nodes.size());
            nodes.resize(nodes.size() + 2);
            const bool deal = ChooseSplit(nodes[range.node], range.box, lowerIndex);
            float lowerBox[6], upperBox[6];
            MakeEmptyBox(lowerBox);
            MakeEmptyBox(upperBox);
            // Each range spills into its own part of the spill arrays.
            const std::uint32_t mid = PartitionNodeWithCoordinates(
                nodes[range.node], deal, items, xyz, range.begin, range.end, spill + range.begin,
                spillXyz + std::size_t{range.begin} * 3, lowerBox, upperBox);
            Node& node = nodes[range.node];
            SetChildrenOf(node, nodes[lowerIndex], nodes[lowerIndex + 1], range.begin, mid, range.end, lowerBox,
                          upperBox, range.cell);
            deepest = std::max(deepest, range.depth + 1);
            stRange lower{lowerIndex, range.begin, mid, range.depth + 1, {}, {}};
            std::copy(lowerBox, lowerBox + 6, lower.box);
            stRange upper{lowerIndex + 1, mid, range.end, range.depth + 1, {}, {}};
            std::copy(upperBox, upperBox + 6, upper.box);
            ChildCells(node, range.cell, lower.cell, upper.cell);
            stack.push_back(lower);
            stack.push_back(upper);
        }
    }

    // The upper levels of a side-by-side build, a level at a time on the
    // pool, into `top` (root first): every element keeps the number of the
    // upper node it lies in, and one pass over the elements in their order
    // takes each element of a node being cut to its side, a block at a time,
    // each block counting its sides and growing their boxes (joined in
    // block order: the first of equal values kept, as one pass over a side
    // keeps it). A side of `share` elements or fewer, or one whose cut
    // would deal its elements, becomes a piece (split by SplitRanges), one
    // of the bucket maximum or fewer a leaf. Then the elements and their
    // coordinates are moved into the spill arrays at once, each node's
    // together in their order, where the stable partitions of the ranges
    // depth first leave them: the same nodes, ranges and boxes. A piece's
    // range is left in the spill arrays for its job to take back.
    template <class P>
    void SplitUpperLevels(cThreadPool* pool, std::vector<Node>& top, std::vector<stPiece>& pieces,
                          std::vector<std::uint32_t>& pieceOf, P* items, float* xyz, P* spill, float* spillXyz,
                          std::uint32_t n, std::uint32_t share, std::uint32_t& deepest) const
    {
        constexpr std::uint32_t kBlock = 1u << 15;
        const std::size_t blocks = (std::size_t{n} + kBlock - 1) / kBlock;
        const auto blockEnd = [n](std::size_t b) { return std::min(n, std::uint32_t(b + 1) * kBlock); };
        struct stUpper
        {
            std::uint32_t begin;
            std::uint32_t count;
            std::uint32_t depth;
            float box[6];
            float cell[6];
        };
        // A node cut at this level: its split in single precision, its axis
        // and its lower child (kNoPiece: not cut).
        struct stCut
        {
            float split;
            std::uint32_t axis;
            std::uint32_t lower;
        };
        std::vector<stUpper> upper(1, stUpper{0, n, 1, {}, {}});
        std::copy(m_box, m_box + 6, upper[0].box);
        std::copy(m_box, m_box + 6, upper[0].cell);
        top.assign(1, m_nodes[0]);
        pieceOf.assign(1, kNoPiece);
        pieces.clear();
        deepest = 1;
        // Cut at the next level, or handed to a piece (or a leaf).
        std::vector<std::uint32_t> cutting;
        const auto makePiece = [&](std::uint32_t at) {
            const stUpper& node = upper[at];
            stRange root{0, node.begin, node.begin + node.count, node.depth, {}, {}, true};
            std::copy(node.box, node.box + 6, root.box);
            std::copy(node.cell, node.cell + 6, root.cell);
            pieceOf[at] = static_cast<std::uint32_t>(pieces.size());
            pieces.push_back(stPiece{{top[at]}, root, node.depth, true});
        };
        const auto place = [&](std::uint32_t at) {
            const stUpper& node = upper[at];
            if (node.count <= m_bucketMaximum)
                return;
            Node trial = top[at];
            if (node.count > share && !ChooseSplit(trial, node.box, 0))
                cutting.push_back(at);
            else
                makePiece(at);
        };
        place(0);
        std::unique_ptr<std::uint32_t[]> nodeOf(new std::uint32_t[n]);
        AdviseHugePages(nodeOf.get(), sizeof(std::uint32_t) * n);
        bool firstLevel = true;
        while (!cutting.empty())
        {
            const std::uint32_t firstChild = static_cast<std::uint32_t>(top.size());
            std::vector<stCut> cuts(top.size(), stCut{0.0f, 0, kNoPiece});
            for (const std::uint32_t at : cutting)
            {
                const std::uint32_t lower = static_cast<std::uint32_t>(top.size());
                top.resize(top.size() + 2);
                upper.resize(top.size());
                pieceOf.resize(top.size(), kNoPiece);
                ChooseSplit(top[at], upper[at].box, lower);
                cuts[at] = stCut{LargestFloatNotAbove(top[at].split), static_cast<std::uint32_t>(top[at].Axis()), lower};
            }
            const std::size_t sides = top.size() - firstChild;
            std::vector<std::uint32_t> counts(blocks * sides, 0);
            std::vector<float> boxes(blocks * sides * 6);
            auto cut = [&, first = firstLevel](std::size_t b) {
                std::uint32_t* const count = counts.data() + b * sides;
                float* const box = boxes.data() + b * sides * 6;
                for (std::size_t side = 0; side < sides; ++side)
                    MakeEmptyBox(box + side * 6);
                const stCut* const table = cuts.data();
                std::uint32_t* const of = nodeOf.get();
                const std::uint32_t end = blockEnd(b), base = firstChild;
                // Neighbouring elements mostly take the same side: a run of
                // them is counted and its box grown in locals, then added to
                // the side's (the same first of equal values kept as adding
                // each element there, without waiting on the side's count
                // and box in memory for every element).
                std::uint32_t side = kNoPiece, run = 0;
                float low[3], high[3];
                const auto endRun = [&] {
                    if (side == kNoPiece)
                        return;
                    count[side] += run;
                    float* const grown = box + std::size_t{side} * 6;
                    for (int a = 0; a < 3; ++a)
                    {
                        grown[a] = std::min(grown[a], low[a]);
                        grown[a + 3] = std::max(grown[a + 3], high[a]);
                    }
                };
                for (std::uint32_t i = std::uint32_t(b) * kBlock; i < end; ++i)
                {
                    const stCut c = table[first ? 0 : of[i]];
                    if (c.lower == kNoPiece)
                        continue;
                    const float* p = xyz + std::size_t{i} * 3;
                    const std::uint32_t child = c.lower + (p[c.axis] > c.split ? 1u : 0u);
                    of[i] = child;
                    if (child - base != side)
                    {
                        endRun();
                        side = child - base;
                        run = 0;
                        low[0] = low[1] = low[2] = HUGE_VALF;
                        high[0] = high[1] = high[2] = -HUGE_VALF;
                    }
                    ++run;
                    // GrowBox3f's choices, without branches.
                    for (int a = 0; a < 3; ++a)
                    {
                        low[a] = std::min(low[a], p[a]);
                        high[a] = std::max(high[a], p[a]);
                    }
                }
                endRun();
            };
            ParallelForEach(pool, blocks, 1, cut);
            firstLevel = false;
            for (const std::uint32_t at : cutting)
            {
                const std::uint32_t lower = cuts[at].lower;
                float sideBox[2][6];
                std::uint32_t sideCount[2] = {0, 0};
                for (std::uint32_t k = 0; k < 2; ++k)
                {
                    MakeEmptyBox(sideBox[k]);
                    const std::size_t side = lower + k - firstChild;
                    for (std::size_t b = 0; b < blocks; ++b)
                    {
                        sideCount[k] += counts[b * sides + side];
                        const float* box = boxes.data() + (b * sides + side) * 6;
                        for (int a = 0; a < 3; ++a)
                        {
                            sideBox[k][a] = std::min(sideBox[k][a], box[a]);
                            sideBox[k][a + 3] = std::max(sideBox[k][a + 3], box[a + 3]);
                        }
                    }
                }
                const stUpper& node = upper[at];
                const std::uint32_t mid = node.begin + sideCount[0];
                SetChildrenOf(top[at], top[lower], top[lower + 1], node.begin, mid, node.begin + node.count,
                              sideBox[0], sideBox[1], node.cell);
                float cells[2][6];
                ChildCells(top[at], node.cell, cells[0], cells[1]);
                for (std::uint32_t k = 0; k < 2; ++k)
                {
                    stUpper& child = upper[lower + k];
                    child = stUpper{k == 0 ? node.begin : mid, sideCount[k], node.depth + 1, {}, {}};
                    std::copy(sideBox[k], sideBox[k] + 6, child.box);
                    std::copy(cells[k], cells[k] + 6, child.cell);
                }
                deepest = std::max(deepest, node.depth + 1);
            }
            cutting.clear();
            for (std::uint32_t at = firstChild; at < top.size(); ++at)
                place(at);
            // A level would read every element to cut these nodes: when they
            // hold few of them, those up to twice the share become pieces.
            std::uint64_t toCut = 0;
            for (const std::uint32_t at : cutting)
                toCut += upper[at].count;
            if (toCut < n / 4)
            {
                std::vector<std::uint32_t> still;
                for (const std::uint32_t at : cutting)
                    if (upper[at].count <= std::uint64_t{share} * 2)
                        makePiece(at);
                    else
                        still.push_back(at);
                cutting.swap(still);
            }
        }
        // Each node's elements from where it starts, each block's from where
        // the blocks before it end.
        const std::size_t nodes = top.size();
        std::vector<std::uint32_t> to(blocks * nodes, 0);
        auto count = [&](std::size_t b) {
            std::uint32_t* row = to.data() + b * nodes;
            for (std::uint32_t i = std::uint32_t(b) * kBlock; i < blockEnd(b); ++i)
                ++row[firstLevel ? 0 : nodeOf[i]];
        };
        ParallelForEach(pool, blocks, 1, count);
        for (std::size_t at = 0; at < nodes; ++at)
        {
            std::uint32_t next = upper[at].begin;
            for (std::size_t b = 0; b < blocks; ++b)
                next += std::exchange(to[b * nodes + at], next);
        }
        auto move = [&](std::size_t b) {
            std::uint32_t* row = to.data() + b * nodes;
            for (std::uint32_t i = std::uint32_t(b) * kBlock; i < blockEnd(b); ++i)
            {
                const std::uint32_t at = row[firstLevel ? 0 : nodeOf[i]]++;
                spill[at] = items[i];
                std::copy(xyz + std::size_t{i} * 3, xyz + std::size_t{i} * 3 + 3, spillXyz + std::size_t{at} * 3);
            }
        };
        ParallelForEach(pool, blocks, 1, move);
        // The leaves of the upper levels take their elements back here.
        for (std::size_t at = 0; at < nodes; ++at)
            if (top[at].IsLeaf() && pieceOf[at] == kNoPiece)
            {
                stRange leaf{static_cast<std::uint32_t>(at), upper[at].begin, upper[at].begin + upper[at].count, 0,
                             {}, {}, true};
                TakeBackFromSpill(leaf, items, xyz, spill, spillXyz);
            }
    }

    // Moves a range's elements and coordinates from the spill arrays back
    // into place.
    template <class P>
    static void TakeBackFromSpill(stRange& range, P* items, float* xyz, const P* spill, const float* spillXyz)
    {
        std::copy(spill + range.begin, spill + range.end, items + range.begin);
        std::copy(spillXyz + std::size_t{range.begin} * 3, spillXyz + std::size_t{range.end} * 3,
                  xyz + std::size_t{range.begin} * 3);
        range.inSpill = false;
    }

    // The array build with the upper levels cut a level at a time on the
    // pool (SplitUpperLevels) and the subtrees below them split side by side
    // on the pool, each range partitioned as the single pass partitions it;
    // the nodes then go into the node array in the order the single pass
    // makes them (an inner node's pair, then all of its upper side's, then
    // its lower side's). False, with the node array untouched, when memory
    // ran out (the elements may be partitioned part way). Once the pieces
    // are split, release() is called for the caller to free the work arrays
    // (all but items) before the node array grows and the nodes are placed;
    // a failure after it leaves the caller without them.
    template <class P, class Release>
    bool BuildSideBySide(cThreadPool* pool, P* items, float* xyz, P* spill, float* spillXyz, std::uint32_t n,
                         std::uint32_t& deepest, const Release& release)
    {
        try
        {
            const std::uint32_t threads = static_cast<std::uint32_t>(std::max(1, pool->GetThreadCount()));
            const std::uint32_t share = std::max(m_bucketMaximum, n / (threads * 2));
            std::vector<Node> top;
            std::vector<std::uint32_t> pieceOf;
            std::vector<stPiece> pieces;
            SplitUpperLevels(pool, top, pieces, pieceOf, items, xyz, spill, spillXyz, n, share, deepest);
            // The largest pieces first, so that no large one is left to the end.
            std::vector<std::uint32_t> order(pieces.size());
            for (std::uint32_t k = 0; k < order.size(); ++k)
                order[k] = k;
            const auto size = [&](std::uint32_t k) { return pieces[k].root.end - pieces[k].root.begin; };
            std::stable_sort(order.begin(), order.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return size(a) > size(b); });
            auto split = [&](std::size_t k) {
                stPiece& piece = pieces[order[k]];
                try
                {
                    std::vector<stRange> own(1, piece.root);
                    SplitRanges(piece.nodes, own, items, xyz, spill, spillXyz, piece.deepest);
                }
                catch (const std::bad_alloc&)
                {
                    piece.ok = false;
                }
            };
            ParallelForEach(pool, pieces.size(), 1, split);
            std::uint64_t total = top.size();
            for (const stPiece& piece : pieces)
            {
                if (!piece.ok)
                    return false;
                total += piece.nodes.size() - 1;
                deepest = std::max(deepest, piece.deepest);
            }
            if (total > kBucketKDTreeMaxNodes)
                return false;
            release();
            // The upper levels' nodes are placed here, in the order the
            // single pass makes them. The single pass makes a piece's whole
            // subtree before any node still waiting, in the piece's own
            // order: after its root, a piece's nodes lie side by side from
            // where its root's pair goes, and are copied there on the pool.
            struct stPlace
            {
                std::uint32_t at;
                std::uint32_t to;
            };
            struct stPlaced
            {
                std::uint32_t piece;
                std::uint32_t to;
                std::uint32_t pair; // where its root's children go
            };
            std::vector<std::pair<std::uint32_t, Node>> upperPlaced;
            std::vector<stPlaced> placed;
            std::vector<stPlace> places(1, stPlace{0, 0});
            std::uint32_t made = 1;
            while (!places.empty())
            {
                const stPlace place = places.back();
                places.pop_back();
                if (pieceOf[place.at] != kNoPiece)
                {
                    placed.push_back(stPlaced{pieceOf[place.at], place.to, made});
                    made += static_cast<std::uint32_t>(pieces[pieceOf[place.at]].nodes.size() - 1);
                    continue;
                }
                Node node = top[place.at];
                if (!node.IsLeaf())
                {
                    node.children = (node.children & ~0x3FFFFFFFu) | made;
                    places.push_back(stPlace{top[place.at].Lower(), made});
                    places.push_back(stPlace{top[place.at].Upper(), made + 1});
                    made += 2;
                }
                upperPlaced.emplace_back(place.to, node);
            }
            // Every record is written below: the new chunks are left
            // unwritten until then.
            if (total > m_nodes.GetCapacity() &&
                !m_nodes.GrowUnwritten(static_cast<std::uint32_t>(((total - 1) >> kArrayChunkShift) + 1)))
                return false;
            m_nodes.SetCount(static_cast<std::uint32_t>(total));
            for (const auto& [to, node] : upperPlaced)
                m_nodes[to] = node;
            auto copy = [&](std::size_t k) {
                const stPlaced& at = placed[k];
                const std::vector<Node>& nodes = pieces[at.piece].nodes;
                // A piece's node i > 0 goes to pair + i - 1.
                const std::uint32_t shift = at.pair - 1;
                for (std::size_t i = 0; i < nodes.size(); ++i)
                {
                    Node node = nodes[i];
                    if (!node.IsLeaf())
                        node.children = (node.children & ~0x3FFFFFFFu) | (node.Lower() + shift);
                    m_nodes[i == 0 ? at.to : static_cast<std::uint32_t>(i) + shift] = node;
                }
            };
            ParallelForEach(pool, placed.size(), 1, copy);
            return true;
        }
        catch (const std::bad_alloc&)
        {
            return false;
        }
    }

    // Stable partition of items[begin, end) by the node's split (or dealt
    // alternately): the lower side first, then the upper side; grows both
    // sides' boxes. Returns where the upper side starts.
    std::uint32_t Partition(std::uint32_t at, bool deal, T* items, std::uint32_t begin, std::uint32_t end, T* spill,
                            float lowerBox[6], float upperBox[6]) const
    {
        const Node& node = m_nodes[at];
        const int axis = node.Axis();
        std::uint32_t lowerEnd = begin;
        std::uint32_t upperCount = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            const T element = items[i];
            const float* p = m_comparator.Coordinates(element);
            const bool lower = deal ? ((i - begin) & 1u) == 0 : !(static_cast<double>(p[axis]) > node.split);
            if (lower)
            {
                items[lowerEnd++] = element;
                GrowBox3f(lowerBox, p);
            }
            else
            {
                spill[upperCount++] = element;
                GrowBox3f(upperBox, p);
            }
        }
        std::copy(spill, spill + upperCount, items + lowerEnd);
        return lowerEnd;
    }

    // The same partition, moving each element's coordinates (xyz, three per
    // item) along with it and deciding from them; the sides' boxes are then
    // gathered from their ranges. Which side an element takes is as good as
    // random, so nothing branches on it: each element is written to both
    // sides and only its own side's end moves on.
    std::uint32_t PartitionWithCoordinates(std::uint32_t at, bool deal, T* items, float* xyz, std::uint32_t begin,
                                           std::uint32_t end, T* spill, float* spillXyz, float lowerBox[6],
                                           float upperBox[6]) const
    {
        return PartitionNodeWithCoordinates(m_nodes[at], deal, items, xyz, begin, end, spill, spillXyz, lowerBox,
                                            upperBox);
    }

    template <class P>
    static std::uint32_t PartitionNodeWithCoordinates(const Node& node, bool deal, P* items, float* xyz,
                                                      std::uint32_t begin, std::uint32_t end, P* spill,
                                                      float* spillXyz, float lowerBox[6], float upperBox[6])
    {
        const int axis = node.Axis();
        const float split = LargestFloatNotAbove(node.split);
        std::uint32_t lowerEnd = begin;
        std::uint32_t upperCount = 0;
        // upper(i): 1 for an element of the upper side, else 0, as a number
        // the ends add: a compare the compiler would otherwise turn into a
        // branch, mispredicted on every other element.
        const auto partition = [&](auto upper) {
            for (std::uint32_t i = begin; i < end; ++i)
            {
                const P element = items[i];
                const float* from = xyz + std::size_t{i} * 3;
                const float x = from[0], y = from[1], z = from[2];
                const std::uint32_t up = upper(i, from);
                // lowerEnd <= i: the slot is one already read.
                float* toLower = xyz + std::size_t{lowerEnd} * 3;
                float* toUpper = spillXyz + std::size_t{upperCount} * 3;
                toLower[0] = x, toLower[1] = y, toLower[2] = z;
                toUpper[0] = x, toUpper[1] = y, toUpper[2] = z;
                items[lowerEnd] = element;
                spill[upperCount] = element;
                lowerEnd += up ^ 1u;
                upperCount += up;
            }
        };
        if (deal)
            partition([begin](std::uint32_t i, const float*) { return (i - begin) & 1u; });
        else
            partition([axis, split](std::uint32_t, const float* from) {
                return static_cast<std::uint32_t>(from[axis] > split);
            });
        std::copy(spill, spill + upperCount, items + lowerEnd);
        std::copy(spillXyz, spillXyz + std::size_t{upperCount} * 3, xyz + std::size_t{lowerEnd} * 3);
        GrowBoxByRange(lowerBox, xyz, begin, lowerEnd);
        GrowBoxByRange(upperBox, xyz, lowerEnd, end);
        return lowerEnd;
    }

    static void GrowBoxByRange(float box[6], const float* xyz, std::uint32_t begin, std::uint32_t end)
    {
        float low[3] = {box[0], box[1], box[2]};
        float high[3] = {box[3], box[4], box[5]};
        for (const float* p = xyz + std::size_t{begin} * 3; p != xyz + std::size_t{end} * 3; p += 3)
        {
            for (int a = 0; a < 3; ++a)
            {
                low[a] = std::min(low[a], p[a]);
                high[a] = std::max(high[a], p[a]);
            }
        }
        std::copy(low, low + 3, box);
        std::copy(high, high + 3, box + 3);
    }

    // For a float c, c > value exactly when c > the largest float not above
    // value: the partition then compares in single precision.
    static float LargestFloatNotAbove(double value)
    {
        float f = static_cast<float>(value);
        if (static_cast<double>(f) > value)
            f = std::nextafter(f, -HUGE_VALF);
        return f;
    }

    // The leaf scans: every element's squared distance, the first of the
    // nearest ones kept (strictly closer than the best so far). The
    // coordinates of a leaf's elements lie anywhere in memory: asking for
    // all of them first lets their cache misses overlap.
    template <class S>
    void ScanValues(const S q[3], const T* elements, std::uint32_t n, double& r2, T& best) const
    {
        for (std::uint32_t i = 0; i < n; ++i)
            __builtin_prefetch(m_comparator.Coordinates(elements[i]));
        for (std::uint32_t i = 0; i < n; ++i)
        {
            const double d2 = SquaredDistance(q, m_comparator.Coordinates(elements[i]));
            if (r2 > d2)
            {
                r2 = d2;
                best = elements[i];
            }
        }
    }

    template <class S>
    void ScanOffsets(const S q[3], const std::uint32_t* offsets, std::uint32_t n, double& r2, T& best) const
    {
        const std::uintptr_t base = m_elements.GetBase();
        for (std::uint32_t i = 0; i < n; ++i)
            __builtin_prefetch(m_comparator.Coordinates(Elements::FromOffset(base, offsets[i])));
        for (std::uint32_t i = 0; i < n; ++i)
        {
            const T element = Elements::FromOffset(base, offsets[i]);
            const double d2 = SquaredDistance(q, m_comparator.Coordinates(element));
            if (r2 > d2)
            {
                r2 = d2;
                best = element;
            }
        }
    }

    // Single precision for a float query point, double for a double one; the
    // result compares in double either way.
    template <class S> static double SquaredDistance(const S q[3], const float p[3])
    {
        const S d[3] = {q[0] - static_cast<S>(p[0]), q[1] - static_cast<S>(p[1]), q[2] - static_cast<S>(p[2])};
        return SumOfSquares(d);
    }

    // The one sum both distances use: with gaps no larger than an element's
    // differences (rounding is monotonic) the cell's sum is no larger than
    // the element's, so a cell the radius rules out holds nothing nearer.
    template <class S> static double SumOfSquares(const S d[3])
    {
        return static_cast<double>(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }

    std::uint32_t m_bucketMaximum;
    TComparator m_comparator;
    TArray m_nodes;
    Elements m_elements;
    // The box of every element stored: the root's cell.
    float m_box[6];
    std::uint32_t m_counter = 0;
    std::uint32_t m_depth = 0;
};
