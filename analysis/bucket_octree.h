// Bucket octree over elements that have an extent (the deviation analysis
// keeps the CAD faces in it). An element enters every leaf whose voxel it
// touches, so one element can sit in several buckets; a leaf is split into
// its eight octants once a new element finds it full.
//
// Parameters, where they are chosen:
// - bucket maximum: how many elements a leaf holds before the next arrival
//   splits it. Children that end up over-full are split only when a later
//   element reaches them.
// - minimum voxel edge: leaves whose x edge is not above it are never split
//   (they take any number of elements), which bounds the depth for elements
//   that share a point, such as the fan of faces around a pole vertex.
// - a leaf whose elements all have the same extent (duplicated faces lying
//   on top of each other) is not split: no split could tell them apart, and
//   each one would copy them all into ever more leaves.
// - node records come from a chunked array (1024 per chunk) and never move;
//   bucket entries of all leaves come from one shared list allocator (1024
//   per chunk).
//
// Queries only read the tree, so any number of threads may search it at once
// while nobody inserts or clears.
//
// TComparator answers whether an element touches a voxel and whether two
// elements have the same extent:
//   bool IntersectsVoxel(T element, const cUnitVoxel& voxel) const;
//   bool HaveSameExtent(T a, T b) const;
#pragma once

#include "core/chunked_array.h"
#include "core/linked_list.h"

#include <cfloat>
#include <cstdint>

// An axis-aligned box of six values: min x, y, z, max x, y, z.
template <class T> class tAlignedBBox
{
public:
    tAlignedBBox() = default;
    virtual ~tAlignedBBox() = default;

    T box[6] = {0, 0, 0, 0, 0, 0};
};

// A voxel of the octree with what the face test needs at hand: its centre and
// the inverse of its edges map a point onto the unit cube around the origin.
class cUnitVoxel : public tAlignedBBox<float>
{
public:
    cUnitVoxel() = default;
    explicit cUnitVoxel(const float fromBox[6]);
    cUnitVoxel(const double centreIn[3], const double edges[3]);

    // Octant k (0..7): half the edges, the centre a quarter edge below on each
    // axis whose bit is set in k (bit 0 x, bit 1 y, bit 2 z), above otherwise.
    cUnitVoxel Child(int k) const;

    // The point in unit-cube coordinates: (p - centre) * inverse edge.
    void ToUnitCube(const double p[3], double out[3]) const
    {
        for (int i = 0; i < 3; ++i)
            out[i] = (p[i] - centre[i]) * inverseEdge[i];
    }

    float EdgeX() const { return box[3] - box[0]; }

    double centre[3] = {0, 0, 0};
    double inverseEdge[3] = {0, 0, 0};

private:
    void SetFromCentre(const double centreIn[3], const double edges[3]);
};

template <class T> struct stBucketOcTreeNode
{
    using Bucket = tSingleLinkList<T, tListChunkAllocator<tSLLNode<T>>>;

    cUnitVoxel voxel;
    stBucketOcTreeNode* parent = nullptr;
    stBucketOcTreeNode* nextSibling = nullptr;
    stBucketOcTreeNode* firstChild = nullptr; // eight children in octant order, or none
    Bucket bucket;                            // a leaf's elements; empty once the node has children
    // Where an owner that copied the leaves' elements side by side (for
    // faster scans) put this leaf's copy; 0xFFFFFFFF when it did not.
    std::uint32_t packedFirst = 0xFFFFFFFFu;
    std::uint32_t packedCount = 0;
    // Where the owner keeps records of its own for the node, if it does
    // (the boxes of runs of a leaf's packed elements, an inner node's table
    // of its children).
    std::uint32_t groupFirst = 0xFFFFFFFFu;
    // Where an owner keeps the box of what lies below within the voxel
    // (tighter than the voxel where the elements fill only part of it);
    // empty until the owner sets it.
    float contentBox[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
    bool uniform = true; // every element of the bucket has the first one's extent

    bool IsLeaf() const { return firstChild == nullptr; }
};

template <class T, class TComparator,
          class TArray = tArray<stBucketOcTreeNode<T>, tArrayChunkAllocator<stBucketOcTreeNode<T>>>>
class tBucketOcTreeEx
{
public:
    using Node = stBucketOcTreeNode<T>;
    using ListAllocator = tListChunkAllocator<tSLLNode<T>>;

    explicit tBucketOcTreeEx(TComparator comparator = TComparator())
        : m_comparator(comparator), m_listAllocator(kListNodesPerChunk)
    {
        ResetRootCube();
    }
    virtual ~tBucketOcTreeEx() { Clear(); }

    tBucketOcTreeEx(const tBucketOcTreeEx&) = delete;
    tBucketOcTreeEx& operator=(const tBucketOcTreeEx&) = delete;

    // Empties the tree and sets what the next insertions use. The root node is
    // made by the first insertion, and only when the cube is a valid box.
    void Reset(const float rootCube[6], std::uint32_t bucketMaximum, float minimumVoxelEdge)
    {
        Clear();
        for (int i = 0; i < 6; ++i)
            m_rootCube[i] = rootCube[i];
        m_bucketMaximum = bucketMaximum > 0 ? bucketMaximum : 1;
        m_minimumVoxelEdge = minimumVoxelEdge;
    }

    // Puts the element into every leaf whose voxel it touches. False when it
    // touches none (it lies outside the root cube) or no memory could be had.
    bool Insert(T element)
    {
        if (m_root == nullptr && !CreateRoot())
            return false;
        return InsertIntoSiblings(m_root, element);
    }

    // Every bucket detached from the shared allocator, node chunks destroyed,
    // the shared allocator's chunks freed, root null; the root cube is kept.
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
        m_root = nullptr;
    }

    void ResetRootCube()
    {
        m_rootCube[0] = m_rootCube[1] = m_rootCube[2] = FLT_MAX;
        m_rootCube[3] = m_rootCube[4] = m_rootCube[5] = -FLT_MAX;
    }

    const Node* GetRoot() const { return m_root; }
    const float* GetRootCube() const { return m_rootCube; }
    std::uint32_t GetBucketMaximum() const { return m_bucketMaximum; }
    float GetMinimumVoxelEdge() const { return m_minimumVoxelEdge; }
    std::uint32_t GetNodeCount() const { return m_nodes.GetCount(); }
    // Node i (no range check: callers index below the count). Owners may
    // set the packed range of a leaf; insertion leaves it alone, so they
    // pack once all elements are in.
    Node* GetNode(std::uint32_t i) { return &m_nodes[i]; }
    const Node* GetNode(std::uint32_t i) const { return &m_nodes[i]; }
    const TComparator& GetComparator() const { return m_comparator; }

private:
    static bool IsValidCube(const float cube[6])
    {
        for (int i = 0; i < 3; ++i)
        {
            if (!(cube[i] <= cube[i + 3]) || !(cube[i] > -FLT_MAX) || !(cube[i + 3] < FLT_MAX))
                return false;
        }
        return true;
    }

    Node* NewNode()
    {
        Node* node = m_nodes.Append();
        if (node != nullptr)
            node->bucket.SetAllocator(&m_listAllocator);
        return node;
    }

    bool CreateRoot()
    {
        if (!IsValidCube(m_rootCube))
            return false;
        m_root = NewNode();
        if (m_root == nullptr)
            return false;
        m_root->voxel = cUnitVoxel(m_rootCube);
        return true;
    }

    // Walks the list of siblings that starts at `first`; returns whether the
    // element went anywhere. The depth is bounded by the minimum voxel edge.
    bool InsertIntoSiblings(Node* first, T element)
    {
        bool placed = false;
        for (Node* node = first; node != nullptr; node = node->nextSibling)
        {
            if (!m_comparator.IntersectsVoxel(element, node->voxel))
                continue;
            if (node->IsLeaf())
            {
                if (node->bucket.GetCount() >= m_bucketMaximum && node->voxel.EdgeX() > m_minimumVoxelEdge &&
                    !(node->uniform && m_comparator.HaveSameExtent(element, node->bucket.GetHead()->value)) &&
                    Split(node))
                {
                    placed = InsertIntoSiblings(node->firstChild, element) || placed;
                }
                else
                {
                    placed = AddToBucket(node, element) || placed;
                }
            }
            else
            {
                placed = InsertIntoSiblings(node->firstChild, element) || placed;
            }
        }
        return placed;
    }

    bool AddToBucket(Node* node, T element)
    {
        if (!node->bucket.IsEmpty() && node->uniform)
            node->uniform = m_comparator.HaveSameExtent(element, node->bucket.GetHead()->value);
        return node->bucket.PushBack(element);
    }

    // Eight children in octant order, each given every element of the node's
    // bucket that touches its voxel; the node's bucket is emptied. False (the
    // node unchanged) when the node array cannot take the children.
    bool Split(Node* node)
    {
        const std::uint32_t count = m_nodes.GetCount();
        if (count > kArrayMaxRecords - 8 || !m_nodes.Resize(count + 8))
            return false;
        Node* children[8];
        for (int k = 0; k < 8; ++k)
        {
            children[k] = NewNode();
            children[k]->voxel = node->voxel.Child(k);
            children[k]->parent = node;
            if (k > 0)
                children[k - 1]->nextSibling = children[k];
        }
        node->firstChild = children[0];
        for (const auto* entry = node->bucket.GetHead(); entry != nullptr; entry = entry->link)
        {
            for (Node* child : children)
                if (m_comparator.IntersectsVoxel(entry->value, child->voxel))
                    AddToBucket(child, entry->value);
        }
        node->bucket.Clear();
        return true;
    }

    TComparator m_comparator;
    float m_rootCube[6];
    std::uint32_t m_bucketMaximum = 25;
    float m_minimumVoxelEdge = 2.0f;
    Node* m_root = nullptr;
    TArray m_nodes;
    ListAllocator m_listAllocator;
};
