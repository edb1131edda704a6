#include "fitting/polyline_join.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <set>
#include <utility>
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

namespace
{

// The open ends of the pieces, in a k-d tree that answers the same question
// as FindNearestOpenEnd without visiting every piece: a cut of a scan can
// leave tens of thousands of pieces, and asking every piece at every join
// made the join quadratic. Pieces leave the tree as they close; a subtree
// whose ends have all left is never entered again.
class cOpenEndTree
{
public:
    cOpenEndTree(const tSectionPolylines& collection, float tolerance)
        : m_collection(collection)
    {
        const float limitF = tolerance * tolerance;
        m_limit = limitF;
        const std::uint32_t count = collection.GetCount();
        for (std::uint32_t i = 0; i < count; ++i)
        {
            if (!IsOpen(collection[i]))
                continue;
            m_ends.push_back(MakeEnd(*collection[i].GetFirstVertex(), i));
            m_ends.push_back(MakeEnd(*collection[i].GetLastVertex(), i));
        }
        if (!m_ends.empty())
            Build(0, static_cast<std::uint32_t>(m_ends.size()));
        m_slotOfPiece.assign(count, kNone);
        for (std::uint32_t slot = 0; slot < m_ends.size(); ++slot)
        {
            // The two ends of a piece take two slots; removal walks to both.
            std::uint32_t& first = m_slotOfPiece[m_ends[slot].piece];
            if (first == kNone)
                first = slot;
            else
                m_secondSlot.emplace_back(m_ends[slot].piece, slot);
        }
        std::sort(m_secondSlot.begin(), m_secondSlot.end());
    }

    // Takes both ends of the piece out of the search.
    void Remove(std::uint32_t piece)
    {
        if (piece >= m_slotOfPiece.size() || m_slotOfPiece[piece] == kNone)
            return;
        RemoveSlot(m_slotOfPiece[piece]);
        m_slotOfPiece[piece] = kNone;
        const auto it = std::lower_bound(m_secondSlot.begin(), m_secondSlot.end(),
                                         std::pair<std::uint32_t, std::uint32_t>(piece, 0));
        if (it != m_secondSlot.end() && it->first == piece)
            RemoveSlot(it->second);
    }

    // The same answer as FindNearestOpenEnd over the pieces still in the tree.
    stNearestEnd Nearest(const cVertex& at) const
    {
        Search search{at, stNearestEnd{}};
        if (!m_nodes.empty())
            Visit(0, search);
        return search.best;
    }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    static constexpr std::uint32_t kLeafSize = 8;

    struct End
    {
        float p[3];
        std::uint32_t piece;
    };
    struct Node
    {
        float lo[3];
        float hi[3];
        std::uint32_t begin, end; // slots [begin, end)
        std::uint32_t left = kNone, right = kNone;
        std::uint32_t live;       // ends still in the search
    };
    struct Search
    {
        const cVertex& at;
        stNearestEnd best;
    };

    static End MakeEnd(const cVertex& v, std::uint32_t piece) { return End{{v.x, v.y, v.z}, piece}; }

    std::uint32_t Build(std::uint32_t begin, std::uint32_t end)
    {
        Node node{};
        for (int k = 0; k < 3; ++k)
        {
            node.lo[k] = FLT_MAX;
            node.hi[k] = -FLT_MAX;
        }
        for (std::uint32_t i = begin; i < end; ++i)
            for (int k = 0; k < 3; ++k)
            {
                node.lo[k] = std::min(node.lo[k], m_ends[i].p[k]);
                node.hi[k] = std::max(node.hi[k], m_ends[i].p[k]);
            }
        node.begin = begin;
        node.end = end;
        node.live = end - begin;
        const std::uint32_t index = static_cast<std::uint32_t>(m_nodes.size());
        m_nodes.push_back(node);
        if (end - begin <= kLeafSize)
            return index;
        int axis = 0;
        for (int k = 1; k < 3; ++k)
            if (static_cast<double>(node.hi[k]) - node.lo[k] > static_cast<double>(node.hi[axis]) - node.lo[axis])
                axis = k;
        const std::uint32_t mid = begin + (end - begin) / 2;
        // NaN sorts last, so the order stays strict and weak on damaged input.
        const auto key = [axis](const End& e) { return std::isnan(e.p[axis]) ? INFINITY : e.p[axis]; };
        std::nth_element(m_ends.begin() + begin, m_ends.begin() + mid, m_ends.begin() + end,
                         [&key](const End& a, const End& b) { return key(a) < key(b); });
        const std::uint32_t left = Build(begin, mid);
        const std::uint32_t right = Build(mid, end);
        m_nodes[index].left = left;
        m_nodes[index].right = right;
        return index;
    }

    void RemoveSlot(std::uint32_t slot)
    {
        std::uint32_t n = 0;
        for (;;)
        {
            Node& node = m_nodes[n];
            --node.live;
            if (node.left == kNone)
                return;
            n = slot < m_nodes[node.left].end ? node.left : node.right;
        }
    }

    // Squared distance from the point to the box, summed as the piece test
    // sums its distances, so it never exceeds the distance to an end inside.
    static double BoxDistance(const cVertex& at, const Node& node)
    {
        const float q[3] = {at.x, at.y, at.z};
        double sum = 0.0;
        for (int k = 0; k < 3; ++k)
        {
            const float c = std::clamp(q[k], node.lo[k], node.hi[k]);
            const double d = static_cast<double>(q[k]) - c;
            sum += d * d;
        }
        return sum;
    }

    // FindNearestOpenEnd's rule for one piece: its nearer end below the limit,
    // taken when strictly nearer than the best so far or as near and earlier.
    void Consider(std::uint32_t piece, Search& search) const
    {
        const tFramePolyline<cVertex>& candidate = m_collection[piece];
        const double d0 = SquaredDistance3(search.at, *candidate.GetFirstVertex());
        const double d1 = SquaredDistance3(search.at, *candidate.GetLastVertex());
        double distance;
        ePolylineEnd end;
        if (d0 < m_limit && d0 <= d1)
        {
            distance = d0;
            end = ePolylineEnd::first;
        }
        else if (d1 < m_limit)
        {
            distance = d1;
            end = ePolylineEnd::last;
        }
        else
            return;
        stNearestEnd& best = search.best;
        const bool nearer = distance < best.squaredDistance;
        const bool earlierTie = distance == best.squaredDistance && best.index >= 0 &&
                                piece < static_cast<std::uint32_t>(best.index);
        if (best.index < 0 ? distance < best.squaredDistance : (nearer || earlierTie))
        {
            best.index = static_cast<std::int32_t>(piece);
            best.squaredDistance = distance;
            best.end = end;
        }
    }

    void Visit(std::uint32_t n, Search& search) const
    {
        const Node& node = m_nodes[n];
        if (node.live == 0)
            return;
        const double bound = BoxDistance(search.at, node);
        if (bound >= m_limit || bound > search.best.squaredDistance)
            return;
        if (node.left == kNone)
        {
            for (std::uint32_t slot = node.begin; slot < node.end; ++slot)
                if (m_slotOfPiece[m_ends[slot].piece] != kNone)
                    Consider(m_ends[slot].piece, search);
            return;
        }
        const double toLeft = BoxDistance(search.at, m_nodes[node.left]);
        const double toRight = BoxDistance(search.at, m_nodes[node.right]);
        if (toLeft <= toRight)
        {
            Visit(node.left, search);
            Visit(node.right, search);
        }
        else
        {
            Visit(node.right, search);
            Visit(node.left, search);
        }
    }

    const tSectionPolylines& m_collection;
    double m_limit = 0.0;
    std::vector<End> m_ends;
    std::vector<Node> m_nodes;
    std::vector<std::uint32_t> m_slotOfPiece;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> m_secondSlot;
};

// The open pieces, longest first and the earlier of equal lengths first, as
// the join takes them up.
struct LongerFirst
{
    const std::vector<double>* lengths;
    bool operator()(std::uint32_t a, std::uint32_t b) const
    {
        const double la = (*lengths)[a];
        const double lb = (*lengths)[b];
        return la > lb || (la == lb && a < b);
    }
};

} // namespace

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

    cOpenEndTree openEnds(collection, tolerance);
    std::set<std::uint32_t, LongerFirst> byLength(LongerFirst{&lengths});
    for (std::uint32_t i = 0; i < count; ++i)
        if (IsOpen(items[i]))
            byLength.insert(i);
    const auto close = [&](std::size_t i) {
        byLength.erase(static_cast<std::uint32_t>(i));
        openEnds.Remove(static_cast<std::uint32_t>(i));
        items[i].firstFlag = 0;
    };
    // A piece reversed but left open keeps its ends; only its length moves.
    const auto reverse = [&](std::size_t i) {
        byLength.erase(static_cast<std::uint32_t>(i));
        ReversePolyline(items[i]);
        lengths[i] = items[i].GetLength();
        byLength.insert(static_cast<std::uint32_t>(i));
    };

    while (!byLength.empty())
    {
        std::size_t p = *byLength.begin();
        close(p);

        for (;;)
        {
            tFramePolyline<cVertex>& head = items[p];
            const stNearestEnd atFirst = openEnds.Nearest(*head.GetFirstVertex());
            const stNearestEnd atLast = openEnds.Nearest(*head.GetLastVertex());
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
                close(q);
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
                close(q);
                // front + head ends up in the front piece; the head's points
                // stay where they are and the front's go before them, so a
                // piece growing backwards is not copied again at every join.
                if (coincide)
                    head.vertices.pop_front();
                head.vertices.insert(head.vertices.begin(), front.vertices.begin(), front.vertices.end());
                std::swap(front.vertices, head.vertices);
                front.boxValid = 0;
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
