#include "core/bucket_search_tree_prop.h"

#include "core/point_cloud.h"
#include "core/scene_object.h"
#include "core/vertex_grid.h"

#include <algorithm>
#include <vector>

cBucketSearchTreeProp::cBucketSearchTreeProp(std::wstring_view name, ISceneObject* owner)
    : IAttachedProperty(name, owner), m_tree(kBucketKDTreeDefaultBucket),
      m_geometryChanged(this, &cBucketSearchTreeProp::OnGeometryChanged)
{
    if (owner != nullptr)
        owner->GetGeometryChangedEvent().Subscribe(&m_geometryChanged);
}

cBucketSearchTreeProp::~cBucketSearchTreeProp()
{
    if (GetOwner() != nullptr)
        GetOwner()->GetGeometryChangedEvent().Unsubscribe(&m_geometryChanged);
}

cBucketSearchTreeProp* cBucketSearchTreeProp::GetOrAttach(ISceneObject* object, std::wstring_view name)
{
    return GetOrCreateAttachedProperty<cBucketSearchTreeProp>(object, name);
}

std::uint32_t cBucketSearchTreeProp::Build(std::uint32_t step)
{
    Drop();
    ISceneObject* owner = GetOwner();
    if (owner == nullptr)
        return 0;
    if (step == 0)
        step = 1;
    if (auto* grid = static_cast<cVertexGrid*>(owner->QueryInterface(IID_cVertexGrid)))
    {
        const std::uint32_t rows = grid->GetRows();
        const std::uint32_t cols = grid->GetCols();
        const std::uint32_t count = grid->GetVertexCount();
        // Rows and columns as u64 steps: a step near the u32 limit must not
        // wrap around to row 0 again.
        for (std::uint64_t c = 0; c < cols; c += step)
        {
            for (std::uint64_t r = 0; r < rows; r += step)
            {
                const std::uint64_t index = c * rows + r;
                if (index >= count)
                    continue;
                const cVertex* v = grid->GetVertex(static_cast<std::uint32_t>(index));
                if (!v->IsExcluded())
                    m_tree.Add(v);
            }
        }
    }
    else if (auto* cloud = static_cast<cPointCloud*>(owner->QueryInterface(IID_cPointCloud)))
    {
        // Every step-th vertex that is not excluded, in order, loaded and
        // built at once, a block at a time on the pool.
        const std::uint32_t count = cloud->GetVertexCount();
        const std::uint64_t taken = (std::uint64_t{count} + step - 1) / step;
        const auto vertex = [cloud, step](std::uint32_t k) -> const cVertex* {
            const cVertex* v = cloud->GetVertex(static_cast<std::uint32_t>(std::uint64_t{k} * step));
            return v->IsExcluded() ? nullptr : v;
        };
        const std::uint32_t depth = m_tree.BuildFrom(static_cast<std::uint32_t>(taken), vertex, SharedThreadPool());
        m_built = depth > 0;
        return depth;
    }
    else
    {
        return 0;
    }
    const std::uint32_t depth = m_tree.Build(SharedThreadPool());
    m_built = depth > 0;
    return depth;
}

bool cBucketSearchTreeProp::EnsureBuilt()
{
    return m_built || Build(1) > 0;
}

void cBucketSearchTreeProp::OnOwnerTransformed(const double* transform)
{
    (void)transform;
    Drop();
}

void cBucketSearchTreeProp::OnGeometryChanged(ISceneObject* sender)
{
    (void)sender;
    Drop();
}

void cBucketSearchTreeProp::Drop()
{
    m_tree.Clear();
    m_built = false;
}
