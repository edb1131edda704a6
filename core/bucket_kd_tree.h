// Bucket k-d tree: the spatial index of point sets (mesh and grid vertices,
// the deviation analysis' CAD vertices and analysed vertices). Leaves hold
// buckets of element pointers; an inner node splits its box at the midpoint
// of the longest axis. The tree stores pointers only and never owns the
// elements, which must outlive it and must not move.
//
// Parameters, where they are chosen:
// - bucket maximum (constructor): how many elements a leaf holds before it
//   is split. Every owner uses kBucketKDTreeDefaultBucket (24): small enough
//   for a linear scan, large enough to keep the node count low.
// - node records come from a chunked array (1024 per chunk) and never move;
//   the bucket entries of all leaves come from one shared list allocator
//   (1024 per chunk), so a build of n points makes O(n / 1024) allocations.
// - Build also keeps a leaf-ordered copy of every element and its
//   coordinates (n * (12 + sizeof(T)) bytes) that queries scan instead of
//   the lists; inserting into a leaf drops that leaf back to its list.
//
// Queries only read the tree: any number of threads may search one tree at
// once, as long as nobody adds, inserts, builds or clears meanwhile. The walk
// of FindNearest needs no stack and no per-node state: on coming back to a
// node it knows from the child it left which side it searched first.
//
// TComparator gives an element's three float coordinates:
//   const float* Coordinates(T element) const;
#pragma once

#include "core/bounding_box.h"
#include "core/chunked_array.h"
#include "core/linked_list.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>

inline constexpr std::uint32_t kBucketKDTreeDefaultBucket = 24;
inline constexpr std::uint32_t kBucketKDTreeNoIndex = 0xFFFFFFFF;

// A node starts on a cache line, and the fields are ordered for the queries:
// what a query reads of every node it passes (the links, the split and a
// float copy of the box) fills the first line, so that a visit costs one
// cache miss instead of two or three.
template <class T, class TComparator> struct alignas(64) stBucketKDTreeNode
{
    using Bucket = tSingleLinkList<T, tListChunkAllocator<tSLLNode<T>>>;

    stBucketKDTreeNode() { MakeEmptyBox3d(box); }

    stBucketKDTreeNode* upper = nullptr; // coordinate on the axis > split value
    stBucketKDTreeNode* lower = nullptr; // the others; a leaf has none
    stBucketKDTreeNode* parent = nullptr;
    double split = 0.0;
    // The box in single precision, for the queries' pruning. Every bound is
    // a float coordinate (or the empty box's infinity), so the copy is
    // exact and prunes exactly as the box would.
    float queryBox[6] = {HUGE_VALF, HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    // For speed, a leaf made by Build also finds its elements side by side:
    // their coordinates (x, y, z each, bucket order) and the elements
    // themselves, from packedFirst on in arrays the tree owns. A query then
    // scans consecutive floats instead of following the list and reading
    // every element through the comparator, which costs a cache miss per
    // element. The list stays the record of the bucket; once it changes the
    // leaf is no longer packed and queries scan the list again.
    std::uint32_t packedFirst = kBucketKDTreeNoIndex; // none
    std::int16_t axis = -1;              // 0 x, 1 y, 2 z; -1 until split (narrow to keep the first line)
    std::uint16_t packedCount = 0;

    double box[6];                       // min x, y, z, max x, y, z of what lies below
    Bucket bucket;                       // a leaf's elements in insertion order
    std::uint32_t index = kBucketKDTreeNoIndex; // in-order number (NumberNodes)

    bool IsLeaf() const { return lower == nullptr; }
};

template <class T, class TComparator,
          class TArray = tArray<stBucketKDTreeNode<T, TComparator>,
                                tArrayChunkAllocator<stBucketKDTreeNode<T, TComparator>>>>
class tBucketKDTree
{
public:
    using Node = stBucketKDTreeNode<T, TComparator>;
    using ListAllocator = tListChunkAllocator<tSLLNode<T>>;

    explicit tBucketKDTree(std::uint32_t bucketMaximum = kBucketKDTreeDefaultBucket,
                           TComparator comparator = TComparator())
        : m_bucketMaximum(bucketMaximum > 0 ? bucketMaximum : 1), m_comparator(comparator),
          m_listAllocator(kListNodesPerChunk)
    {
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
        if (m_root == nullptr && !CreateRoot())
            return false;
        m_root->index = kBucketKDTreeNoIndex;
        if (m_root->IsLeaf())
            return AddToBucket(m_root, element);
        return Insert(element) != nullptr;
    }

    // Incremental insertion: splits over-full leaves on the way down and
    // grows the box of every node it passes, so that a query after any mix of
    // inserts still finds the true nearest element. Returns the leaf that
    // received the element, or null when it was refused (non-finite
    // coordinate) or no memory could be had.
    Node* Insert(T element)
    {
        if (!IsStorable(element))
            return nullptr;
        if (m_root == nullptr && !CreateRoot())
            return nullptr;
        if (m_root->bucket.GetCount() > m_bucketMaximum)
            Build();
        // The numbering no longer holds: NumberNodes starts again.
        m_root->index = kBucketKDTreeNoIndex;
        const float* p = m_comparator.Coordinates(element);
        Node* node = m_root;
        for (;;)
        {
            if (node->IsLeaf())
            {
                if (node->bucket.GetCount() <= m_bucketMaximum || !Split(node))
                    break;
            }
            GrowBox(node, p);
            node = static_cast<double>(p[node->axis]) > node->split ? node->upper : node->lower;
        }
        return AddToBucket(node, element) ? node : nullptr;
    }

    // Splits every leaf that holds more than the bucket maximum, then numbers
    // the nodes. Returns the depth reached (1 for a root that needed no split,
    // 0 for an empty tree or one that was already built).
    std::uint32_t Build()
    {
        if (m_root == nullptr || !m_root->IsLeaf())
        {
            NumberNodes();
            return 0;
        }
        m_root->index = kBucketKDTreeNoIndex;
        if (m_root->bucket.GetCount() <= m_bucketMaximum)
        {
            NumberNodes();
            return 1;
        }
        std::uint32_t deepest = BuildFromArray();
        if (deepest == 0)
            deepest = BuildByWalk();
        NumberNodes();
        return deepest;
    }

    // Numbers the nodes in order (lower subtree, node, upper subtree). Does
    // nothing when the numbering is current (the root keeps its number until
    // an add or insert resets it).
    void NumberNodes()
    {
        if (m_root == nullptr || m_root->index != kBucketKDTreeNoIndex)
            return;
        m_counter = 0;
        Node* node = m_root;
        while (!node->IsLeaf())
            node = node->lower;
        while (node != nullptr)
        {
            node->index = m_counter++;
            if (!node->IsLeaf())
            {
                node = node->upper;
                while (!node->IsLeaf())
                    node = node->lower;
                continue;
            }
            // Up past every node whose upper side is done.
            Node* child = node;
            node = node->parent;
            while (node != nullptr && child == node->upper)
            {
                child = node;
                node = node->parent;
            }
        }
    }

    // The nearest element strictly closer than radius, or null. On success
    // radius becomes its distance; otherwise it is left as it was. A float
    // query point measures in single precision, a double one in double;
    // either way the comparison is in double. A radius that is not positive
    // (or NaN) finds nothing.
    template <class S> T FindNearest(const S q[3], double& radius) const
    {
        static_assert(std::is_same_v<S, float> || std::is_same_v<S, double>);
        if (m_root == nullptr || (m_root->IsLeaf() && m_root->bucket.IsEmpty()))
            return T();
        if (!(radius > 0.0))
            return T();
        const double qd[3] = {static_cast<double>(q[0]), static_cast<double>(q[1]), static_cast<double>(q[2])};
        double r2 = radius * radius;
        const double initialR2 = r2;
        T best = T();
        const Node* previous = nullptr;
        const Node* node = m_root;
        while (node != nullptr)
        {
            if (node->IsLeaf())
            {
                if (node->packedFirst != kBucketKDTreeNoIndex)
                {
                    const T* elements = m_packedElements + node->packedFirst;
                    __builtin_prefetch(elements);
                    const float* p = m_packedXyz + std::size_t{node->packedFirst} * 3;
                    for (std::uint32_t i = 0; i < node->packedCount; ++i, p += 3)
                    {
                        const double d2 = SquaredDistance(q, p);
                        if (r2 > d2)
                        {
                            r2 = d2;
                            best = elements[i];
                        }
                    }
                }
                else
                {
                    for (const auto* entry = node->bucket.GetHead(); entry != nullptr; entry = entry->link)
                    {
                        const double d2 = SquaredDistance(q, m_comparator.Coordinates(entry->value));
                        if (r2 > d2)
                        {
                            r2 = d2;
                            best = entry->value;
                        }
                    }
                }
                previous = node;
                node = node->parent;
                continue;
            }
            const bool upperFirst = qd[node->axis] > node->split;
            const Node* first = upperFirst ? node->upper : node->lower;
            const Node* next = node->parent;
            const Node* second = upperFirst ? node->lower : node->upper;
            if (previous == node->parent)
            {
                // Arrived from above. The far side's box is read on the way
                // back: fetch it meanwhile.
                next = first;
                __builtin_prefetch(second);
            }
            else if (previous == first && r2 > SquaredDistanceToBox(qd, second->queryBox))
            {
                next = second;
            }
            previous = node;
            node = next;
        }
        // Only the last improvement's distance is reported.
        if (r2 < initialR2)
            radius = std::sqrt(r2);
        return best;
    }

    // Empties the tree: buckets leave the shared allocator, node records are
    // destroyed and their chunks freed, the shared allocator frees its chunks.
    void Clear()
    {
        const std::uint32_t count = m_nodes.GetCount();
        for (std::uint32_t i = 0; i < count; ++i)
        {
            Node& node = m_nodes[i];
            if (node.bucket.GetAllocator() == &m_listAllocator)
                node.bucket.SetAllocator(nullptr);
        }
        m_nodes.Clear();
        m_listAllocator.FreeAll();
        FreePacked();
        m_root = nullptr;
        m_counter = 0;
    }

    const Node* GetRoot() const { return m_root; }
    std::uint32_t GetBucketMaximum() const { return m_bucketMaximum; }
    std::uint32_t GetNodeCount() const { return m_nodes.GetCount(); }
    const Node* GetNode(std::uint32_t i) const { return i < m_nodes.GetCount() ? &m_nodes[i] : nullptr; }
    const TComparator& GetComparator() const { return m_comparator; }

protected:
    // Build's fallback when it cannot have its work arrays, and the
    // reference its array build must match. The depth-first walk over the
    // buckets: at an inner node go to an
    // over-full child (upper first), split an over-full leaf and go to its
    // upper child, otherwise go back up.
    std::uint32_t BuildByWalk()
    {
        m_splitFailed = false;
        std::uint32_t depth = 1;
        std::uint32_t deepest = 1;
        Node* node = m_root;
        while (node != nullptr)
        {
            if (node->IsLeaf())
            {
                if (node->bucket.GetCount() > m_bucketMaximum && Split(node))
                {
                    node = node->upper;
                    ++depth;
                }
                else
                {
                    // A leaf that could not be split (no memory) stays
                    // over-full: still correct for queries, only slower.
                    node = node->parent;
                    --depth;
                }
            }
            else if (!m_splitFailed && node->upper->bucket.GetCount() > m_bucketMaximum)
            {
                node = node->upper;
                ++depth;
            }
            else if (!m_splitFailed && node->lower->bucket.GetCount() > m_bucketMaximum)
            {
                node = node->lower;
                ++depth;
            }
            else
            {
                node = node->parent;
                --depth;
            }
            if (depth > deepest)
                deepest = depth;
        }
        m_splitFailed = false;
        return deepest;
    }

private:
    bool IsStorable(T element) const
    {
        if (!element)
            return false;
        const float* p = m_comparator.Coordinates(element);
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    }

    // A new node record whose bucket draws from the shared allocator.
    Node* NewNode()
    {
        Node* node = m_nodes.Append();
        if (node != nullptr)
            node->bucket.SetAllocator(&m_listAllocator);
        return node;
    }

    bool CreateRoot()
    {
        m_root = NewNode();
        return m_root != nullptr;
    }

    // Appends the element to a leaf and grows the leaf's box. Elements are
    // checked on entry, so no element is ever dropped to keep a box valid.
    bool AddToBucket(Node* node, T element)
    {
        Unpack(node);
        if (!node->bucket.PushBack(element))
            return false;
        GrowBox(node, m_comparator.Coordinates(element));
        return true;
    }

    // Gives a leaf two new children and chooses its split: the midpoint of
    // the longest extent of its box (ties go to the later axis). False (the
    // leaf unchanged) when the node array cannot take both children.
    bool MakeChildren(Node* node)
    {
        const std::uint32_t count = m_nodes.GetCount();
        if (count > kArrayMaxRecords - 2 || !m_nodes.Resize(count + 2))
        {
            m_splitFailed = true;
            return false;
        }
        Node* upper = NewNode();
        Node* lower = NewNode();
        if (node->axis == -1)
        {
            const double dx = node->box[3] - node->box[0];
            const double dy = node->box[4] - node->box[1];
            const double dz = node->box[5] - node->box[2];
            int axis;
            if (dx > dy)
                axis = dx > dz ? 0 : 2;
            else
                axis = dy > dz ? 1 : 2;
            node->axis = static_cast<std::int16_t>(axis);
            node->split = (node->box[axis + 3] + node->box[axis]) * 0.5;
        }
        upper->parent = node;
        lower->parent = node;
        node->upper = upper;
        node->lower = lower;
        return true;
    }

    // A box thinner than FLT_EPSILON on the split axis cannot be cut: its
    // elements are dealt alternately, the first to the lower side.
    // Grows a node's box and its float copy; after any growth every bound is
    // a float coordinate, so the copy is exact.
    static void GrowBox(Node* node, const float p[3])
    {
        IncludePointInBoundingBox3d(node->box, p);
        for (int i = 0; i < 6; ++i)
            node->queryBox[i] = static_cast<float>(node->box[i]);
    }

    static bool DealsAlternately(const Node* node)
    {
        return node->box[node->axis + 3] - node->box[node->axis] < static_cast<double>(FLT_EPSILON);
    }

    bool GoesUpper(const Node* node, T element) const
    {
        return static_cast<double>(m_comparator.Coordinates(element)[node->axis]) > node->split;
    }

    // Moves an over-full leaf's elements into two new children. Each list
    // node goes back to the shared allocator and is taken again at once by
    // the child, so a split allocates nothing.
    bool Split(Node* node)
    {
        if (!MakeChildren(node))
            return false;
        Unpack(node);
        const bool deal = DealsAlternately(node);
        bool toLower = true;
        while (!node->bucket.IsEmpty())
        {
            const T element = node->bucket.GetHead()->value;
            node->bucket.PopFront();
            bool lower;
            if (deal)
            {
                lower = toLower;
                toLower = !toLower;
            }
            else
            {
                lower = !GoesUpper(node, element);
            }
            AddToBucket(lower ? node->lower : node->upper, element);
        }
        node->bucket.SetAllocator(nullptr);
        return true;
    }

    static void Unpack(Node* node)
    {
        node->packedFirst = kBucketKDTreeNoIndex;
        node->packedCount = 0;
    }

    void FreePacked()
    {
        delete[] m_packedXyz;
        delete[] m_packedElements;
        m_packedXyz = nullptr;
        m_packedElements = nullptr;
    }

    // Single precision for a float query point, double for a double one; the
    // result compares in double either way.
    template <class S> static double SquaredDistance(const S q[3], const float p[3])
    {
        const S dx = q[0] - static_cast<S>(p[0]);
        const S dy = q[1] - static_cast<S>(p[1]);
        const S dz = q[2] - static_cast<S>(p[2]);
        return static_cast<double>(dx * dx + dy * dy + dz * dz);
    }

    struct stRange
    {
        Node* node;
        std::uint32_t begin;
        std::uint32_t end;
        std::uint32_t depth;
    };

    // The same splits, in the same order and with the same bucket orders as
    // the walk, done on an array of the root's elements: every level reads
    // the elements from consecutive memory, and each leaf's bucket ends up in
    // consecutive list nodes, which queries scan. Returns the depth, or 0
    // (the tree untouched) when the work arrays cannot be had.
    std::uint32_t BuildFromArray()
    {
        const std::uint32_t n = m_root->bucket.GetCount();
        T* items = new (std::nothrow) T[n];
        T* spill = new (std::nothrow) T[n];
        tArray<stRange> stack;
        if (items == nullptr || spill == nullptr || stack.Append() == nullptr)
        {
            delete[] items;
            delete[] spill;
            return 0;
        }
        std::uint32_t k = 0;
        for (const auto* entry = m_root->bucket.GetHead(); entry != nullptr; entry = entry->link)
            items[k++] = entry->value;
        // Every list node is free again, threaded in chunk order: the leaves
        // below take them in turn.
        m_root->bucket.Clear();
        m_listAllocator.RelinkAll();
        Unpack(m_root);
        FreePacked();
        // The packed copy is optional: without memory for it queries scan
        // the lists. Filled in the root's order and partitioned beside the
        // elements, so that every level reads coordinates from consecutive
        // memory instead of through each element.
        float* xyz = new (std::nothrow) float[std::size_t{n} * 3];
        float* spillXyz = xyz != nullptr ? new (std::nothrow) float[std::size_t{n} * 3] : nullptr;
        if (spillXyz != nullptr)
            for (std::uint32_t i = 0; i < n; ++i)
            {
                const float* p = m_comparator.Coordinates(items[i]);
                xyz[std::size_t{i} * 3] = p[0];
                xyz[std::size_t{i} * 3 + 1] = p[1];
                xyz[std::size_t{i} * 3 + 2] = p[2];
            }

        m_splitFailed = false;
        std::uint32_t deepest = 1;
        stack[0] = stRange{m_root, 0, n, 1};
        while (stack.GetCount() > 0)
        {
            const stRange range = stack[stack.GetCount() - 1];
            stack.SetCount(stack.GetCount() - 1);
            Node* node = range.node;
            bool split = false;
            if (range.end - range.begin > m_bucketMaximum)
            {
                // Room for both children's ranges first; records never move.
                const std::uint32_t pending = stack.GetCount();
                stRange* lowerRange = stack.Append();
                stRange* upperRange = lowerRange != nullptr ? stack.Append() : nullptr;
                if (upperRange != nullptr && MakeChildren(node))
                {
                    const std::uint32_t mid =
                        spillXyz != nullptr ? PartitionWithCoordinates(node, items, xyz, range.begin, range.end,
                                                                       spill, spillXyz)
                                            : Partition(node, items, range.begin, range.end, spill);
                    node->bucket.SetAllocator(nullptr);
                    if (range.depth + 1 > deepest)
                        deepest = range.depth + 1;
                    *lowerRange = stRange{node->lower, range.begin, mid, range.depth + 1};
                    *upperRange = stRange{node->upper, mid, range.end, range.depth + 1};
                    split = true;
                }
                else
                {
                    stack.SetCount(pending);
                }
            }
            if (!split)
            {
                // A leaf; without memory to split it, an over-full one.
                bool complete = true;
                for (std::uint32_t i = range.begin; i < range.end; ++i)
                    complete = node->bucket.PushBack(items[i]) && complete;
                // Its range of items is final: later partitions touch only
                // ranges still on the stack.
                if (complete && xyz != nullptr && range.end - range.begin <= UINT16_MAX)
                {
                    node->packedFirst = range.begin;
                    node->packedCount = static_cast<std::uint16_t>(range.end - range.begin);
                }
            }
        }
        m_splitFailed = false;
        delete[] spill;
        delete[] spillXyz;
        if (xyz == nullptr)
        {
            delete[] items;
            return deepest;
        }
        if (spillXyz == nullptr)
            for (std::uint32_t i = 0; i < n; ++i)
            {
                const float* p = m_comparator.Coordinates(items[i]);
                xyz[std::size_t{i} * 3] = p[0];
                xyz[std::size_t{i} * 3 + 1] = p[1];
                xyz[std::size_t{i} * 3 + 2] = p[2];
            }
        m_packedXyz = xyz;
        m_packedElements = items;
        return deepest;
    }

    // Stable partition of items[begin, end) by the node's split: the lower
    // side first, then the upper side; grows both children's boxes. Returns
    // where the upper side starts.
    std::uint32_t Partition(Node* node, T* items, std::uint32_t begin, std::uint32_t end, T* spill)
    {
        const bool deal = DealsAlternately(node);
        std::uint32_t lowerEnd = begin;
        std::uint32_t upperCount = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            const T element = items[i];
            const bool lower = deal ? ((i - begin) & 1u) == 0 : !GoesUpper(node, element);
            const float* p = m_comparator.Coordinates(element);
            if (lower)
            {
                items[lowerEnd++] = element;
                GrowBox(node->lower, p);
            }
            else
            {
                spill[upperCount++] = element;
                GrowBox(node->upper, p);
            }
        }
        for (std::uint32_t j = 0; j < upperCount; ++j)
            items[lowerEnd + j] = spill[j];
        return lowerEnd;
    }

    // The same partition, moving each element's coordinates (xyz, three per
    // item) along with it and deciding from them. The children's boxes are
    // gathered in locals and stored once: the same bounds GrowBox would
    // leave, without rewriting both copies per element.
    std::uint32_t PartitionWithCoordinates(Node* node, T* items, float* xyz, std::uint32_t begin,
                                           std::uint32_t end, T* spill, float* spillXyz)
    {
        const bool deal = DealsAlternately(node);
        const int axis = node->axis;
        const double split = node->split;
        double lowerBox[6], upperBox[6];
        MakeEmptyBox3d(lowerBox);
        MakeEmptyBox3d(upperBox);
        std::uint32_t lowerEnd = begin;
        std::uint32_t upperCount = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            const T element = items[i];
            const float p[3] = {xyz[std::size_t{i} * 3], xyz[std::size_t{i} * 3 + 1], xyz[std::size_t{i} * 3 + 2]};
            const bool lower = deal ? ((i - begin) & 1u) == 0 : !(static_cast<double>(p[axis]) > split);
            if (lower)
            {
                float* to = xyz + std::size_t{lowerEnd} * 3;
                to[0] = p[0], to[1] = p[1], to[2] = p[2];
                items[lowerEnd++] = element;
                IncludePointInBoundingBox3d(lowerBox, p);
            }
            else
            {
                float* to = spillXyz + std::size_t{upperCount} * 3;
                to[0] = p[0], to[1] = p[1], to[2] = p[2];
                spill[upperCount++] = element;
                IncludePointInBoundingBox3d(upperBox, p);
            }
        }
        for (std::uint32_t j = 0; j < upperCount; ++j)
            items[lowerEnd + j] = spill[j];
        std::copy(spillXyz, spillXyz + std::size_t{upperCount} * 3, xyz + std::size_t{lowerEnd} * 3);
        if (lowerEnd > begin)
            SetBox(node->lower, lowerBox);
        if (upperCount > 0)
            SetBox(node->upper, upperBox);
        return lowerEnd;
    }

    // Grows a fresh child's box to the bounds gathered for it.
    static void SetBox(Node* node, const double box[6])
    {
        for (int i = 0; i < 3; ++i)
        {
            if (node->box[i] > box[i])
                node->box[i] = box[i];
            if (box[i + 3] > node->box[i + 3])
                node->box[i + 3] = box[i + 3];
        }
        for (int i = 0; i < 6; ++i)
            node->queryBox[i] = static_cast<float>(node->box[i]);
    }

    // Squared distance from q to the box (0 inside it); an empty box is
    // infinitely far.
    static double SquaredDistanceToBox(const double q[3], const float box[6])
    {
        double d2 = 0.0;
        for (int i = 0; i < 3; ++i)
        {
            const double low = box[i];
            const double high = box[i + 3];
            double gap = 0.0;
            if (q[i] < low)
                gap = low - q[i];
            else if (q[i] > high)
                gap = q[i] - high;
            d2 += gap * gap;
        }
        return d2;
    }

    Node* m_root = nullptr;
    std::uint32_t m_bucketMaximum;
    TComparator m_comparator;
    TArray m_nodes;
    ListAllocator m_listAllocator;
    std::uint32_t m_counter = 0;
    bool m_splitFailed = false;
    // Build's leaf-ordered copies that packed leaves point into.
    float* m_packedXyz = nullptr;
    T* m_packedElements = nullptr;
};
