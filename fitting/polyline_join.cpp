#include "fitting/polyline_join.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "core/vector_math.h"

namespace
{

double SquaredDistance3(const cVertex& a, const cVertex& b)
{
    const double dx = static_cast<double>(a.x) - b.x;
    const double dy = static_cast<double>(a.y) - b.y;
    const double dz = static_cast<double>(a.z) - b.z;
    return dx * dx + dy * dy + dz * dz;
}

void UnitDifference(const cVertex& to, const cVertex& from, double out[3])
{
    out[0] = static_cast<double>(to.x) - from.x;
    out[1] = static_cast<double>(to.y) - from.y;
    out[2] = static_cast<double>(to.z) - from.z;
    NormaliseVector3d(out);
}

bool IsOpen(const tFramePolyline<cVertex>& polyline)
{
    return polyline.firstFlag != 0 && !polyline.IsEmpty();
}

// Appends `tail` to `head`, without its first vertex when the two ends
// coincide.
void AppendPolyline(tPolyline<cVertex>& head, const tPolyline<cVertex>& tail, bool endsCoincide)
{
    auto from = tail.vertices.begin();
    if (endsCoincide)
        ++from;
    head.vertices.insert(head.vertices.end(), from, tail.vertices.end());
    head.boxValid = 0;
}

} // namespace

stNearestEnd FindNearestOpenEnd(const tSectionPolylines& collection, const float point[3], float tolerance)
{
    stNearestEnd best;
    cVertex p{};
    p.x = point[0];
    p.y = point[1];
    p.z = point[2];
    const float limitF = tolerance * tolerance;
    const double limit = limitF;
    for (std::uint32_t i = 0; i < collection.GetCount(); ++i)
    {
        const tFramePolyline<cVertex>& candidate = collection[i];
        if (!IsOpen(candidate))
            continue;
        const double d0 = SquaredDistance3(p, *candidate.GetFirstVertex());
        const double d1 = SquaredDistance3(p, *candidate.GetLastVertex());
        if (d0 < limit && d0 < best.squaredDistance)
        {
            best.index = static_cast<std::int32_t>(i);
            best.squaredDistance = std::min(d0, d1);
            best.end = d0 <= d1 ? ePolylineEnd::first : ePolylineEnd::last;
        }
        else if (d1 < limit && d1 < best.squaredDistance)
        {
            best.index = static_cast<std::int32_t>(i);
            best.squaredDistance = d1;
            best.end = ePolylineEnd::last;
        }
    }
    return best;
}

void ReversePolyline(tPolyline<cVertex>& polyline)
{
    std::reverse(polyline.vertices.begin(), polyline.vertices.end());
    polyline.boxValid = 0;
}

void JoinPolylines(tSectionPolylines& collection, float tolerance, double angle)
{
    auto& items = collection.items;
    const std::size_t count = items.size();
    // Lengths of the open pieces; only pieces that are reversed while staying
    // open need them again (summing in the other order can move the last bit).
    std::vector<double> lengths(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        items[i].firstFlag = 1;
        lengths[i] = items[i].GetLength();
    }
    const double cosAngle = std::cos(angle);
    const auto reverse = [&](std::size_t i) {
        ReversePolyline(items[i]);
        lengths[i] = items[i].GetLength();
    };

    for (;;)
    {
        std::int64_t longest = -1;
        for (std::size_t i = 0; i < count; ++i)
        {
            if (IsOpen(items[i]) && (longest < 0 || lengths[i] > lengths[static_cast<std::size_t>(longest)]))
                longest = static_cast<std::int64_t>(i);
        }
        if (longest < 0)
            break;
        std::size_t p = static_cast<std::size_t>(longest);
        items[p].firstFlag = 0;

        for (;;)
        {
            tFramePolyline<cVertex>& head = items[p];
            const stNearestEnd atFirst = FindNearestOpenEnd(collection, head.GetFirstVertex()->Position(), tolerance);
            const stNearestEnd atLast = FindNearestOpenEnd(collection, head.GetLastVertex()->Position(), tolerance);
            if (atLast.index >= 0 && atLast.squaredDistance <= atFirst.squaredDistance)
            {
                const std::size_t q = static_cast<std::size_t>(atLast.index);
                if (atLast.end == ePolylineEnd::last)
                    reverse(q);
                tFramePolyline<cVertex>& tail = items[q];
                const bool coincide = SquaredDistance3(*tail.GetFirstVertex(), *head.GetLastVertex()) < FLT_EPSILON;
                const std::uint32_t n = head.GetVertexCount();
                if (!coincide && angle > 0.0 && n >= 2 && tail.GetVertexCount() >= 2)
                {
                    double u[3], v[3];
                    UnitDifference(*head.GetVertex(n - 2), *head.GetVertex(n - 1), u);
                    UnitDifference(*tail.GetVertex(1), *tail.GetVertex(0), v);
                    if (Dot3d(u, v) > cosAngle)
                        break; // the tail would fold back onto the head
                }
                AppendPolyline(head, tail, coincide);
                tail.Clear();
                continue;
            }
            if (atFirst.index >= 0)
            {
                const std::size_t q = static_cast<std::size_t>(atFirst.index);
                if (atFirst.end == ePolylineEnd::first)
                    reverse(q);
                tFramePolyline<cVertex>& front = items[q];
                const bool coincide = SquaredDistance3(*head.GetFirstVertex(), *front.GetLastVertex()) < FLT_EPSILON;
                const std::uint32_t m = front.GetVertexCount();
                if (!coincide && angle > 0.0 && head.GetVertexCount() >= 2 && m >= 2)
                {
                    double u[3], v[3];
                    UnitDifference(*head.GetVertex(1), *head.GetVertex(0), u);
                    UnitDifference(*front.GetVertex(m - 2), *front.GetVertex(m - 1), v);
                    if (Dot3d(u, v) > cosAngle)
                        break;
                }
                AppendPolyline(front, head, coincide);
                front.firstFlag = 0;
                head.Clear();
                p = q;
                continue;
            }
            break;
        }
    }

    items.erase(std::remove_if(items.begin(), items.end(),
                               [](const tFramePolyline<cVertex>& polyline) { return polyline.IsEmpty(); }),
                items.end());
}
