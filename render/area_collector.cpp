#include "render/area_collector.h"

#include <algorithm>
#include <utility>

namespace
{

std::uint32_t AreaOf(const cAreaCollector::stRect& r)
{
    return std::uint32_t(std::uint64_t(std::int64_t(r.x1) - r.x0) * std::uint64_t(std::int64_t(r.y1) - r.y0));
}

} // namespace

cAreaCollector::cAreaCollector() : m_list(kNodesPerChunk) {}

void cAreaCollector::AddRect(const RECT& input)
{
    stRect r{std::min(input.left, input.right), std::min(input.top, input.bottom),
             std::max(input.left, input.right), std::max(input.top, input.bottom), 0};
    if (r.x1 == r.x0 || r.y1 == r.y0)
        return;
    r.area = AreaOf(r);

    Node* target = nullptr; // the node that took the previous merge
    bool merged = true;
    while (merged)
    {
        merged = false;
        for (Node* node = m_list.GetHead(); node; node = node->next)
        {
            stRect& n = node->value;
            if (n.area == 0 || node == target)
                continue;
            const stRect u{std::min(n.x0, r.x0), std::min(n.y0, r.y0), std::max(n.x1, r.x1), std::max(n.y1, r.y1), 0};
            const std::int64_t uw = std::int64_t(u.x1) - u.x0, uh = std::int64_t(u.y1) - u.y0;
            if (uw < (std::int64_t(n.x1) - n.x0) + (std::int64_t(r.x1) - r.x0) &&
                uh < (std::int64_t(n.y1) - n.y0) + (std::int64_t(r.y1) - r.y0))
            {
                n = u;
                n.area = AreaOf(u);
                r = n;
                // The earlier target now lies inside this node: it dies, and
                // only then does the number of live rectangles fall.
                if (target)
                {
                    target->value.area = 0;
                    --m_liveCount;
                }
                target = node;
                merged = true;
            }
        }
    }
    if (target)
        return;
    Node* node = m_list.InsertBefore(m_list.GetHead());
    if (!node)
        return; // out of memory: the area is not blended this pass
    node->value = r;
    ++m_liveCount;
}

void cAreaCollector::Clear()
{
    m_list.Clear();
    m_liveCount = 0;
}
