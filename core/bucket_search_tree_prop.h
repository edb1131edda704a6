// The vertex search tree of a mesh or scan-grid scene object, cached on the
// object as the attached property "BucketSearchTreeProperty", so that
// repeated nearest-vertex searches (the mirror error of the symmetry-plane
// fit) do not rebuild it. The tree holds pointers into the object's vertex
// array; whenever the object is transformed or its geometry changes the tree
// is emptied at once, so it never describes old positions or points at
// vertices that are gone, and the next user builds it again.
#pragma once

#include "core/attached_property.h"
#include "core/bucket_kd_tree.h"
#include "core/events.h"
#include "core/vertex.h"

#include <cstdint>
#include <string_view>

class ISceneObject;

// Reads a vertex record's position as three floats.
struct PointerToFPointComparator
{
    const float* Coordinates(const cVertex* vertex) const { return vertex->Position(); }
};

using tVertexKDTree = tBucketKDTree<const cVertex*, PointerToFPointComparator>;

inline constexpr wchar_t kBucketSearchTreePropertyName[] = L"BucketSearchTreeProperty";

class cBucketSearchTreeProp : public IAttachedProperty
{
public:
    cBucketSearchTreeProp(std::wstring_view name, ISceneObject* owner);
    ~cBucketSearchTreeProp() override;

    // The object's property of that name, or a new one attached to it (the
    // object then holds the only reference). Null when the object is null,
    // when a property of that name is of another kind, or when no memory
    // could be had.
    static cBucketSearchTreeProp* GetOrAttach(ISceneObject* object, std::wstring_view name);

    // Empties the tree and refills it from the owner: of a scan grid every
    // step-th row of every step-th column, of any other point cloud every
    // step-th vertex; excluded vertices (flag bit 0) are left out. Returns
    // the depth of the built tree; 0 when there is no owner, the owner holds
    // no point cloud, or no vertex was usable. A step of 0 counts as 1.
    std::uint32_t Build(std::uint32_t step);

    // True once Build has filled the tree and nothing has emptied it since.
    bool IsBuilt() const { return m_built; }

    // Builds with step 1 when the tree is not built. False when nothing
    // could be built.
    bool EnsureBuilt();

    // The nearest vertex strictly within radius (radius becomes its
    // distance), or null.
    const cVertex* FindNearest(const double q[3], double& radius) const { return m_tree.FindNearest(q, radius); }

    const tVertexKDTree& GetTree() const { return m_tree; }

    void OnOwnerTransformed(const double* transform) override;

private:
    void OnGeometryChanged(ISceneObject* sender);
    void Drop();

    tVertexKDTree m_tree;
    bool m_built = false;
    tEventDelegate<ISceneObject, cBucketSearchTreeProp> m_geometryChanged;
};
