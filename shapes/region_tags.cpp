#include "shapes/region_tags.h"

#include "core/chunked_array.h"
#include "core/mesh.h"
#include "shapes/shape_interfaces.h"

void FloodRegionTag(cMeshTriangle* start, std::uint8_t value, std::uint8_t mask)
{
    if (start == nullptr || start->GetLabel() == kTriangleUnlabelled)
        return;
    // An explicit stack in chunks: regions of millions of triangles would
    // overflow the call stack of a recursive walk.
    tArray<cMeshTriangle*> stack;
    if (stack.PushBack(start) == nullptr)
        return;
    while (stack.GetCount() > 0)
    {
        const std::uint32_t top = stack.GetCount() - 1;
        cMeshTriangle* t = stack[top];
        stack.SetCount(top);
        t->colour = (t->colour & kTriangleColourMask) | (std::uint32_t{value} << 24);
        if ((t->flags & mask) == mask)
            continue;
        t->flags = static_cast<std::uint8_t>(t->flags | mask);
        for (cMeshTriangle* n : t->neighbour)
        {
            if (n != nullptr && n->GetLabel() == t->GetLabel() && stack.PushBack(n) == nullptr)
                return; // out of memory: stop rather than walk half-marked
        }
    }
}

bool AddRegionSeed(ST_IGeometry& geometry, const cMesh& mesh, std::uint32_t triangle)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    if (triangle >= count)
        return false;
    const std::uint32_t tag = mesh.GetTriangle(triangle)->GetLabel();
    for (std::uint32_t seed : geometry.GetSeeds())
    {
        if (seed < count && mesh.GetTriangle(seed)->GetLabel() == tag)
            return false;
    }
    geometry.GetSeeds().push_back(triangle);
    return true;
}
