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
// - node records (64 bytes each) come from a chunked array (1024 per chunk)
//   and never move; list entries of all leaves come from one shared list
//   allocator (1024 per chunk), so a build of n points makes O(n / 1024)
//   allocations.
// - Build leaves every leaf's elements side by side in one array of n
//   elements, in bucket order; such a packed leaf needs no list entries. A
//   leaf that an insert reaches afterwards moves its elements to a list.
//   Pointer elements that all lie within 4 GiB of the lowest one are kept
//   as 32-bit byte offsets from it (half the memory of the pointers); the
//   array holds pointers otherwise. A built tree of n points thus keeps
//   4 (or sizeof(T)) bytes per element and about n / 8 node records
//   (uniform points, bucket maximum 24).
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
#include <cstring>
#include <new>
#include <type_traits>

inline constexpr std::uint32_t kBucketKDTreeDefaultBucket = 24;
inline constexpr std::uint32_t kBucketKDTreeNoIndex = 0xFFFFFFFF;
// Words before the first offset in an array of packed offsets: the base
// address the offsets count from.
inline constexpr std::uint32_t kOffsetHeaderWords = sizeof(std::uintptr_t) / sizeof(std::uint32_t);

// One cache line per node, holding all a query reads of it. A leaf keeps
// its elements where an inner node keeps its upper child and split (a node
// is one or the other; lower tells which), so the record stays at 64 bytes.
template <class T, class TComparator> struct alignas(64) stBucketKDTreeNode
{
    using Entry = tSLLNode<T>;

    stBucketKDTreeNode() : tail(nullptr)
    {
        count = 0;
        first = 0;
    }

    stBucketKDTreeNode* lower = nullptr; // coordinate on the axis <= split value; a leaf has none
    stBucketKDTreeNode* parent = nullptr;
    union
    {
        stBucketKDTreeNode* upper; // inner: coordinate on the axis > split value
        const T* packed;           // packed leaf: its elements, side by side in the tree's array
        const std::uint32_t* refs; // packed leaf of offsets: its elements' offsets, side by side
        Entry* tail;               // listed leaf: the last entry of a circular list (null when empty)
    };
    union
    {
        double split; // inner
        struct
        {
            std::uint32_t count; // leaf: elements held
            // Packed leaf of offsets: where refs starts in the tree's array,
            // whose first two words hold the address the offsets count from.
            std::uint32_t first;
        };
    };
    // min x, y, z, max x, y, z of what lies below. Every bound is a float
    // coordinate, so single precision holds the box exactly; an empty box
    // is infinitely far from every point.
    float box[6] = {HUGE_VALF, HUGE_VALF, HUGE_VALF, -HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    std::uint32_t index = kBucketKDTreeNoIndex; // in-order number (NumberNodes)
    std::int8_t axis = -1;                      // 0 x, 1 y, 2 z; -1 until split
    bool isPacked = false;
    bool byOffset = false; // packed leaf: refs (offsets) instead of packed (pointers)
    // Inner: the elements were dealt alternately (a box too thin to cut),
    // so both sides may hold elements on either side of the split.
    bool dealt = false;

    // The element at a byte offset from base (offsets are only kept for
    // pointer elements).
    static T FromOffset(std::uintptr_t base, std::uint32_t offset)
    {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(base + offset);
        else
            return T();
    }
    static std::uintptr_t OffsetBase(const std::uint32_t* array)
    {
        std::uintptr_t base;
        std::memcpy(&base, array, sizeof(base));
        return base;
    }

    bool IsLeaf() const { return lower == nullptr; }
    std::uint32_t GetBucketCount() const { return IsLeaf() ? count : 0; }

    // Calls f(element) for the leaf's elements in bucket order.
    template <class F> void ForEachInBucket(F&& f) const
    {
        if (!IsLeaf())
            return;
        if (isPacked && byOffset)
        {
            const std::uintptr_t base = OffsetBase(refs - first - kOffsetHeaderWords);
            for (std::uint32_t i = 0; i < count; ++i)
                f(FromOffset(base, refs[i]));
            return;
        }
        if (isPacked)
        {
            for (std::uint32_t i = 0; i < count; ++i)
                f(packed[i]);
            return;
        }
        if (tail == nullptr)
            return;
        const Entry* entry = tail;
        do
        {
            entry = entry->link;
            f(entry->value);
        } while (entry != tail);
    }
};
static_assert(sizeof(stBucketKDTreeNode<const float*, void>) == 64);

template <class T, class TComparator,
          class TArray = tArray<stBucketKDTreeNode<T, TComparator>,
                                tArrayChunkAllocator<stBucketKDTreeNode<T, TComparator>>>>
class tBucketKDTree
{
public:
    using Node = stBucketKDTreeNode<T, TComparator>;
    using Entry = typename Node::Entry;
    using ListAllocator = tListChunkAllocator<Entry>;

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
        if (m_root->GetBucketCount() > m_bucketMaximum)
            Build();
        // The numbering no longer holds: NumberNodes starts again.
        m_root->index = kBucketKDTreeNoIndex;
        const float* p = m_comparator.Coordinates(element);
        Node* node = m_root;
        for (;;)
        {
            if (node->IsLeaf())
            {
                if (node->count <= m_bucketMaximum || !Split(node))
                    break;
            }
            GrowBox3f(node->box, p);
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
        if (m_root->count <= m_bucketMaximum)
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
        if (IsEmpty())
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
                if (node->isPacked && node->byOffset)
                    ScanOffsets(q, node->refs, node->count, r2, best);
                else if (node->isPacked)
                    ScanPacked(q, node->packed, node->count, r2, best);
                else if (node->tail != nullptr)
                    ScanList(q, node->tail, r2, best);
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
                // Arrived from above. Build makes an upper child's children
                // right after it, and their upper child's children right
                // after those: the four records that follow the upper child
                // are asked for while the children's own records are still
                // on their way, so a walk down the upper sides waits for one
                // record where it waited for three (and the upper side is
                // warm if the walk comes back for it). Where the guess is
                // wrong it fetches lines in vain, nothing worse.
                {
                    const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(node->upper);
                    for (std::uintptr_t k = 2; k < 6; ++k)
                        __builtin_prefetch(reinterpret_cast<const void*>(at + k * sizeof(Node)));
                }
                // A side whose box lies beyond the radius holds nothing
                // nearer: skip it. The far side's box is read again on the
                // way back: fetch it meanwhile.
                if (r2 > SquaredDistanceToBox(qd, first->box))
                {
                    next = first;
                    __builtin_prefetch(second);
                }
                else if (r2 > SquaredDistanceToBox(qd, second->box))
                {
                    next = second;
                }
            }
            else if (previous == first)
            {
                // The split plane bounds the far side (unless its elements
                // were dealt): only a side that plane does not rule out is
                // worth reading the box of.
                const double gap = qd[node->axis] - node->split;
                if ((node->dealt || r2 > gap * gap) && r2 > SquaredDistanceToBox(qd, second->box))
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

    // Empties the tree: node records are destroyed and their chunks freed,
    // the shared list allocator and the packed elements are freed.
    void Clear()
    {
        m_nodes.Clear();
        m_listAllocator.FreeAll();
        FreePacked();
        m_root = nullptr;
        m_counter = 0;
    }

    // True when no element is stored.
    bool IsEmpty() const { return m_root == nullptr || (m_root->IsLeaf() && m_root->count == 0); }

    const Node* GetRoot() const { return m_root; }
    std::uint32_t GetBucketMaximum() const { return m_bucketMaximum; }
    std::uint32_t GetNodeCount() const { return m_nodes.GetCount(); }
    const Node* GetNode(std::uint32_t i) const { return i < m_nodes.GetCount() ? &m_nodes[i] : nullptr; }
    const TComparator& GetComparator() const { return m_comparator; }

protected:
    // Build's fallback when it cannot have its work arrays, and the
    // reference its array build must match. The depth-first walk over the
    // buckets: at an inner node go to an over-full child (upper first), split
    // an over-full leaf and go to its upper child, otherwise go back up.
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
                if (node->count > m_bucketMaximum && Split(node))
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
            else if (!m_splitFailed && node->upper->GetBucketCount() > m_bucketMaximum)
            {
                node = node->upper;
                ++depth;
            }
            else if (!m_splitFailed && node->lower->GetBucketCount() > m_bucketMaximum)
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

    bool CreateRoot()
    {
        m_root = m_nodes.Append();
        return m_root != nullptr;
    }

    // Appends an entry at the end of a listed leaf's circular list.
    static void Link(Node* node, Entry* entry)
    {
        if (node->tail == nullptr)
        {
            entry->link = entry;
        }
        else
        {
            entry->link = node->tail->link;
            node->tail->link = entry;
        }
        node->tail = entry;
        ++node->count;
    }

    // Appends the element to a leaf and grows the leaf's box. Elements are
    // checked on entry, so no element is ever dropped to keep a box valid.
    bool AddToBucket(Node* node, T element)
    {
        if (node->isPacked && !Unpack(node))
            return false;
        Entry* entry = m_listAllocator.Alloc();
        if (entry == nullptr)
            return false;
        entry->value = element;
        Link(node, entry);
        GrowBox3f(node->box, m_comparator.Coordinates(element));
        return true;
    }

    // Moves a packed leaf's elements to list entries, in their order, so
    // that it can grow or be split. False (the leaf as it was) when the
    // entries cannot be had.
    bool Unpack(Node* node)
    {
        const std::uint32_t n = node->count;
        Node listed;
        bool filled = true;
        node->ForEachInBucket([&](T element) {
            if (!filled)
                return;
            Entry* entry = m_listAllocator.Alloc();
            if (entry == nullptr)
            {
                for (std::uint32_t k = 0; k < listed.count; ++k)
                {
                    Entry* head = listed.tail->link;
                    listed.tail->link = head->link;
                    m_listAllocator.Free(head);
                }
                filled = false;
                return;
            }
            entry->value = element;
            Link(&listed, entry);
        });
        if (!filled)
            return false;
        node->isPacked = false;
        node->byOffset = false;
        node->tail = listed.tail;
        node->count = n;
        return true;
    }

    // Gives a leaf two new children and chooses its split: the midpoint of
    // the longest extent of its box (ties go to the later axis). False (the
    // leaf unchanged) when the node array cannot take both children. The
    // leaf's elements are the caller's to move: its bucket fields become the
    // upper child and the split.
    bool MakeChildren(Node* node)
    {
        const std::uint32_t count = m_nodes.GetCount();
        if (count > kArrayMaxRecords - 2 || !m_nodes.Resize(count + 2))
        {
            m_splitFailed = true;
            return false;
        }
        Node* upper = m_nodes.Append();
        Node* lower = m_nodes.Append();
        if (node->axis == -1)
        {
            const double dx = static_cast<double>(node->box[3]) - static_cast<double>(node->box[0]);
            const double dy = static_cast<double>(node->box[4]) - static_cast<double>(node->box[1]);
            const double dz = static_cast<double>(node->box[5]) - static_cast<double>(node->box[2]);
            int axis;
            if (dx > dy)
                axis = dx > dz ? 0 : 2;
            else
                axis = dy > dz ? 1 : 2;
            node->axis = static_cast<std::int8_t>(axis);
        }
        const int axis = node->axis;
        upper->parent = node;
        lower->parent = node;
        node->isPacked = false;
        node->upper = upper;
        node->lower = lower;
        node->split = (static_cast<double>(node->box[axis + 3]) + static_cast<double>(node->box[axis])) * 0.5;
        node->dealt = DealsAlternately(node);
        return true;
    }

    // A box thinner than FLT_EPSILON on the split axis cannot be cut: its
    // elements are dealt alternately, the first to the lower side.
    static bool DealsAlternately(const Node* node)
    {
        return static_cast<double>(node->box[node->axis + 3]) - static_cast<double>(node->box[node->axis]) <
               static_cast<double>(FLT_EPSILON);
    }

    bool GoesUpper(const Node* node, T element) const
    {
        return static_cast<double>(m_comparator.Coordinates(element)[node->axis]) > node->split;
    }

    // Moves an over-full leaf's elements into two new children. Each list
    // entry moves to the child as it is, so a split of a listed leaf
    // allocates nothing.
    bool Split(Node* node)
    {
        if (node->isPacked && !Unpack(node))
            return false;
        Entry* tail = node->tail;
        const std::uint32_t n = node->count;
        if (!MakeChildren(node))
            return false;
        const bool deal = node->dealt;
        Entry* entry = tail != nullptr ? tail->link : nullptr;
        for (std::uint32_t k = 0; k < n; ++k)
        {
            Entry* next = entry->link;
            const bool lower = deal ? (k & 1u) == 0 : !GoesUpper(node, entry->value);
            Node* child = lower ? node->lower : node->upper;
            Link(child, entry);
            GrowBox3f(child->box, m_comparator.Coordinates(entry->value));
            entry = next;
        }
        return true;
    }

    void FreePacked()
    {
        delete[] m_packedElements;
        m_packedElements = nullptr;
        delete[] m_packedOffsets;
        m_packedOffsets = nullptr;
        m_offsetBase = 0;
    }

    // The leaf scans: every element's squared distance, the first of the
    // nearest ones kept (strictly closer than the best so far).
    // The coordinates of a packed leaf's elements lie anywhere in memory:
    // asking for all of them first lets their cache misses overlap.
    template <class S> void ScanPacked(const S q[3], const T* elements, std::uint32_t n, double& r2, T& best) const
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
    void ScanOffsets(const S q[3], const std::uint32_t* refs, std::uint32_t n, double& r2, T& best) const
    {
        const std::uintptr_t base = m_offsetBase;
        for (std::uint32_t i = 0; i < n; ++i)
            __builtin_prefetch(m_comparator.Coordinates(Node::FromOffset(base, refs[i])));
        for (std::uint32_t i = 0; i < n; ++i)
        {
            const T element = Node::FromOffset(base, refs[i]);
            const double d2 = SquaredDistance(q, m_comparator.Coordinates(element));
            if (r2 > d2)
            {
                r2 = d2;
                best = element;
            }
        }
    }

    template <class S> void ScanList(const S q[3], const Entry* tail, double& r2, T& best) const
    {
        const Entry* entry = tail;
        do
        {
            entry = entry->link;
            const double d2 = SquaredDistance(q, m_comparator.Coordinates(entry->value));
            if (r2 > d2)
            {
                r2 = d2;
                best = entry->value;
            }
        } while (entry != tail);
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
    // the elements from consecutive memory, and the array, partitioned leaf
    // by leaf, stays as the packed leaves' elements. Returns the depth, or 0
    // (the tree untouched) when the work arrays cannot be had.
    std::uint32_t BuildFromArray()
    {
        const std::uint32_t n = m_root->count;
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
        m_root->ForEachInBucket([&](T element) { items[k++] = element; });
        // The root was the only leaf: every list entry and any earlier
        // packed array was its own.
        m_root->isPacked = false;
        m_root->byOffset = false;
        m_root->tail = nullptr;
        m_root->count = 0;
        m_listAllocator.FreeAll();
        FreePacked();
        // Coordinates moved along with the elements, so that every level
        // reads them from consecutive memory instead of through each
        // element. Optional: without memory for them the partition reads
        // through the comparator.
        float* xyz = new (std::nothrow) float[std::size_t{n} * 3];
        float* spillXyz = xyz != nullptr ? new (std::nothrow) float[std::size_t{n} * 3] : nullptr;
        if (spillXyz != nullptr)
        {
            for (std::uint32_t i = 0; i < n; ++i)
            {
                const float* p = m_comparator.Coordinates(items[i]);
                xyz[std::size_t{i} * 3] = p[0];
                xyz[std::size_t{i} * 3 + 1] = p[1];
                xyz[std::size_t{i} * 3 + 2] = p[2];
            }
        }

        m_splitFailed = false;
        std::uint32_t deepest = 1;
        stack[0] = stRange{m_root, 0, n, 1};
        while (stack.GetCount() > 0)
        {
            const stRange range = stack[stack.GetCount() - 1];
            stack.SetCount(stack.GetCount() - 1);
            Node* node = range.node;
            if (range.end - range.begin > m_bucketMaximum)
            {
                // Room for both children's ranges first; records never move.
                // The upper range goes on top: it is split next, so an upper
                // child's children follow it in the node array (queries
                // fetch them ahead on that guess).
                const std::uint32_t pending = stack.GetCount();
                stRange* lowerRange = stack.Append();
                stRange* upperRange = lowerRange != nullptr ? stack.Append() : nullptr;
                if (upperRange != nullptr && MakeChildren(node))
                {
                    const std::uint32_t mid =
                        spillXyz != nullptr ? PartitionWithCoordinates(node, items, xyz, range.begin, range.end,
                                                                       spill, spillXyz)
                                            : Partition(node, items, range.begin, range.end, spill);
                    if (range.depth + 1 > deepest)
                        deepest = range.depth + 1;
                    *lowerRange = stRange{node->lower, range.begin, mid, range.depth + 1};
                    *upperRange = stRange{node->upper, mid, range.end, range.depth + 1};
                    continue;
                }
                stack.SetCount(pending);
            }
            // A leaf (without memory to split it, an over-full one). Its
            // range of items is final: later partitions touch only ranges
            // still on the stack.
            node->isPacked = true;
            node->packed = items + range.begin;
            node->count = range.end - range.begin;
            node->first = range.begin;
        }
        m_splitFailed = false;
        delete[] spill;
        delete[] xyz;
        delete[] spillXyz;
        m_packedElements = items;
        PackAsOffsets(n);
        return deepest;
    }

    // Replaces the packed pointers by 32-bit offsets from the lowest one
    // when every element lies within 4 GiB of it and the offsets' array can
    // be had; otherwise the pointers stay.
    void PackAsOffsets(std::uint32_t n)
    {
        if constexpr (std::is_pointer_v<T>)
        {
            const T* items = m_packedElements;
            if (n == 0)
                return;
            std::uintptr_t low = reinterpret_cast<std::uintptr_t>(items[0]);
            std::uintptr_t high = low;
            for (std::uint32_t i = 1; i < n; ++i)
            {
                const std::uintptr_t at = reinterpret_cast<std::uintptr_t>(items[i]);
                low = std::min(low, at);
                high = std::max(high, at);
            }
            if (high - low > std::uintptr_t{0xFFFFFFFF})
                return;
            std::uint32_t* array = new (std::nothrow) std::uint32_t[std::size_t{n} + kOffsetHeaderWords];
            if (array == nullptr)
                return;
            std::memcpy(array, &low, sizeof(low));
            std::uint32_t* offsets = array + kOffsetHeaderWords;
            for (std::uint32_t i = 0; i < n; ++i)
                offsets[i] = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(items[i]) - low);
            for (std::uint32_t i = 0; i < m_nodes.GetCount(); ++i)
            {
                Node& node = m_nodes[i];
                if (node.IsLeaf() && node.isPacked)
                {
                    node.refs = offsets + node.first;
                    node.byOffset = true;
                }
            }
            delete[] m_packedElements;
            m_packedElements = nullptr;
            m_packedOffsets = array;
            m_offsetBase = low;
        }
    }

    // Stable partition of items[begin, end) by the node's split: the lower
    // side first, then the upper side; grows both children's boxes. Returns
    // where the upper side starts.
    std::uint32_t Partition(Node* node, T* items, std::uint32_t begin, std::uint32_t end, T* spill)
    {
        const bool deal = node->dealt;
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
                GrowBox3f(node->lower->box, p);
            }
            else
            {
                spill[upperCount++] = element;
                GrowBox3f(node->upper->box, p);
            }
        }
        for (std::uint32_t j = 0; j < upperCount; ++j)
            items[lowerEnd + j] = spill[j];
        return lowerEnd;
    }

    // The same partition, moving each element's coordinates (xyz, three per
    // item) along with it and deciding from them; the children's boxes are
    // then gathered from their ranges. Which side an element takes is as
    // good as random, so nothing branches on it: each element is written to
    // both sides and only its own side's end moves on.
    std::uint32_t PartitionWithCoordinates(Node* node, T* items, float* xyz, std::uint32_t begin,
                                           std::uint32_t end, T* spill, float* spillXyz)
    {
        const bool deal = node->dealt;
        const int axis = node->axis;
        const float split = LargestFloatNotAbove(node->split);
        std::uint32_t lowerEnd = begin;
        std::uint32_t upperCount = 0;
        for (std::uint32_t i = begin; i < end; ++i)
        {
            const T element = items[i];
            const float* from = xyz + std::size_t{i} * 3;
            const float x = from[0], y = from[1], z = from[2];
            const bool lower = deal ? ((i - begin) & 1u) == 0 : !(from[axis] > split);
            // lowerEnd <= i: the slot is one already read.
            float* toLower = xyz + std::size_t{lowerEnd} * 3;
            float* toUpper = spillXyz + std::size_t{upperCount} * 3;
            toLower[0] = x, toLower[1] = y, toLower[2] = z;
            toUpper[0] = x, toUpper[1] = y, toUpper[2] = z;
            items[lowerEnd] = element;
            spill[upperCount] = element;
            lowerEnd += lower ? 1u : 0u;
            upperCount += lower ? 0u : 1u;
        }
        for (std::uint32_t j = 0; j < upperCount; ++j)
            items[lowerEnd + j] = spill[j];
        std::copy(spillXyz, spillXyz + std::size_t{upperCount} * 3, xyz + std::size_t{lowerEnd} * 3);
        GrowBoxByRange(node->lower->box, xyz, begin, lowerEnd);
        GrowBoxByRange(node->upper->box, xyz, lowerEnd, end);
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
    // Build's leaf-ordered elements that packed leaves point into.
    T* m_packedElements = nullptr;
    // Or their offsets from m_offsetBase (the array's first words hold it too).
    std::uint32_t* m_packedOffsets = nullptr;
    std::uintptr_t m_offsetBase = 0;
};
