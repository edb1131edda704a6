#include "fitting/marching_squares.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cwchar>
#include <vector>

#include "core/vector_math.h"

namespace
{

// Progress is touched once per this many segments or cells.
constexpr std::uint32_t kProgressEvery = 4096;
// The grid may span at most this many cells per axis: corner keys are 32-bit
// grid indices, and a segment walks at most about three times this many
// cells.
constexpr double kMaxGridCells = 16777216.0; // 2^24
// The spans below are fixed for cells of ordinary size and shrink with the
// cell for tiny parts, so that such a part is not ignored or welded away.
constexpr double kShortSegmentSquared = 1e-5;
constexpr float kContourMergeTolerance = 1e-4f;

// Cell edges as pairs of square corners: e0 bottom (y0), e1 right (x1), e2
// top (y1), e3 left (x0).
constexpr int kEdgeCorners[4][2] = {{0, 2}, {2, 3}, {3, 1}, {1, 0}};

// Directed contour edges (from edge, to edge) of each case; the inside
// corners stay on the left, and the saddles 6 and 9 separate their two inside
// corners. -1 ends a list.
constexpr int kContourEdges[16][4] = {
    {-1, -1, -1, -1}, {0, 3, -1, -1}, {3, 2, -1, -1}, {0, 2, -1, -1}, {1, 0, -1, -1}, {1, 3, -1, -1},
    {1, 0, 3, 2},     {1, 2, -1, -1}, {2, 1, -1, -1}, {0, 3, 2, 1},   {3, 1, -1, -1}, {0, 1, -1, -1},
    {2, 0, -1, -1},   {2, 3, -1, -1}, {3, 0, -1, -1}, {-1, -1, -1, -1},
};

void SetStatus(IProcProgress& progress, const wchar_t* text)
{
    progress.SetStatusText(TranslateText(text));
}

// Unit copy of (x, y); left as it is when too short to have a direction.
void Normalise2(double& x, double& y)
{
    double v[3] = {x, y, 0.0};
    NormaliseVector3d(v);
    x = v[0];
    y = v[1];
}

} // namespace

stMSCorner* cMSCornersContainer::FindOrCreate(std::int32_t kx, std::int32_t ky, float x, float y)
{
    stMSCornerEntry key;
    key.key = {kx, ky};
    bool inserted = false;
    auto* node = m_index.Insert(key, &inserted);
    if (node == nullptr)
        return nullptr;
    if (!inserted)
        return node->value.corner;
    stMSCorner* corner = m_corners.Append();
    if (corner == nullptr)
    {
        m_index.Erase(node);
        return nullptr;
    }
    *corner = stMSCorner{};
    corner->x = x;
    corner->y = y;
    node->value.corner = corner;
    return corner;
}

cMarchingSquares::cMarchingSquares(float cellSize)
    : cIntOctTree<stMarchingSquare*>(cellSize), m_cellAccepted(cellSize > FLT_EPSILON && std::isfinite(cellSize)),
      m_progress(cProcProgressNull::Shared())
{
    m_cell = GetCellSize();
    m_inverseCell = 1.0 / m_cell;
    m_halfCell = m_cell / 2.0;
    m_shortSegmentSquared = std::min(kShortSegmentSquared, 0.09 * m_cell * m_cell);
    m_contourMergeTolerance = std::min(kContourMergeTolerance, static_cast<float>(m_cell * 0.01));
    m_corners.inverseCell = m_inverseCell;
}

cMarchingSquares::~cMarchingSquares()
{
    m_contourEdges.Clear();
    m_contour.Clear();
    m_squares.Clear();
}

bool cMarchingSquares::SegmentIntersectsCell(float x0, float y0, float x1, float y1, float cx, float cy, float hx,
                                             float hy, float tolerance)
{
    const float xmin = cx - hx, xmax = cx + hx;
    const float ymin = cy - hy, ymax = cy + hy;
    if ((x0 < xmin && x1 < xmin) || (x0 > xmax && x1 > xmax) || (y0 < ymin && y1 < ymin) ||
        (y0 > ymax && y1 > ymax))
        return false;
    const auto inX = [&](float x) { return x >= xmin && x <= xmax; };
    const auto inY = [&](float y) { return y >= ymin && y <= ymax; };
    if ((inX(x0) && inY(y0)) || (inX(x1) && inY(y1)))
        return true;
    const float dy = y0 - y1;
    const float dx = x0 - x1;
    if (std::fabs(dy) <= tolerance)
        return inY(y0) || inY(y1);
    if (std::fabs(dx) <= tolerance)
        return inX(x0) || inX(x1);
    // Both ends lie outside on different sides: the line decides.
    if (inX(x1 + (ymin - y1) * dx / dy) || inX(x1 + (ymax - y1) * dx / dy))
        return true;
    if (inY(y1 + (xmin - x1) * dy / dx))
        return true;
    return inY(y1 + (xmax - x1) * dy / dx);
}

bool cMarchingSquares::EncodePolylines(const tSectionPolylines& collection)
{
    m_cutCells = 0;
    m_tooManySquares = false;
    if (!m_cellAccepted)
        return false;

    double lo[3] = {DBL_MAX, DBL_MAX, DBL_MAX};
    double hi[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};
    std::uint32_t vertexCount = 0;
    for (const tFramePolyline<cVertex>& polyline : collection.items)
    {
        for (std::uint32_t i = 0; i < polyline.GetVertexCount(); ++i)
        {
            const cVertex v = polyline.GetVertexInFrame(i);
            if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
                continue;
            ++vertexCount;
            const float* p = v.Position();
            for (int k = 0; k < 3; ++k)
            {
                lo[k] = std::min(lo[k], static_cast<double>(p[k]));
                hi[k] = std::max(hi[k], static_cast<double>(p[k]));
            }
        }
    }
    if (vertexCount == 0)
        return true;
    // The origin lies on a multiple of twice the cell, below every point.
    double* origin = m_corners.origin;
    for (int k = 0; k < 3; ++k)
        origin[k] = std::floor(lo[k] * m_inverseCell * 0.5) * (2.0 * m_cell);
    if ((hi[0] - origin[0]) * m_inverseCell >= kMaxGridCells || (hi[1] - origin[1]) * m_inverseCell >= kMaxGridCells)
        return false;

    m_progress->SetRange(0.0f, static_cast<float>(vertexCount));
    wchar_t message[96];
    std::swprintf(message, sizeof message / sizeof message[0], L"Point Sampling: \t\t\t%.3f mm\r\n", m_cell);
    SetStatus(*m_progress, message);
    SetStatus(*m_progress, L"Encoding Polylines...");

    std::uint32_t segments = 0;
    for (const tFramePolyline<cVertex>& polyline : collection.items)
    {
        const std::uint32_t n = polyline.GetVertexCount();
        for (std::uint32_t i = 0; i + 1 < n && !m_tooManySquares; ++i)
        {
            if (segments % kProgressEvery == 0)
                m_progress->SetPosition(static_cast<float>(segments));
            ++segments;
            const cVertex a = polyline.GetVertexInFrame(i);
            const cVertex b = polyline.GetVertexInFrame(i + 1);
            if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
                continue;
            EncodeSegment(a.x - origin[0], a.y - origin[1], b.x - origin[0], b.y - origin[1]);
        }
    }
    SetStatus(*m_progress, L"completed\r\n");
    FinaliseCorners();
    return !m_tooManySquares;
}

bool cMarchingSquares::EncodeSegment(double x0, double y0, double x1, double y1)
{
    const double dx = x1 - x0;
    const double dy = y1 - y0;
    if (dx * dx + dy * dy < m_shortSegmentSquared)
        return false;
    const double left = std::min(x0, x1), right = std::max(x0, x1);
    const double bottom = std::min(y0, y1), top = std::max(y0, y1);
    // Every cell along the longer extent is a square of its own: a segment
    // that alone crosses more cells than the limit is refused before any.
    if (std::max(right - left, top - bottom) * m_inverseCell >= kMaxSquares)
    {
        m_tooManySquares = true;
        return false;
    }
    // A coordinate exactly on a cell boundary reaches the cell below it too:
    // boundaries belong to the cells on both sides.
    const std::int64_t iMin = static_cast<std::int64_t>(std::ceil(left * m_inverseCell)) - 1;
    const std::int64_t iMax = static_cast<std::int64_t>(std::floor(right * m_inverseCell));
    const std::int64_t jMin = static_cast<std::int64_t>(std::ceil(bottom * m_inverseCell)) - 1;
    const std::int64_t jMax = static_cast<std::int64_t>(std::floor(top * m_inverseCell));
    const float half = static_cast<float>(m_halfCell);
    const double p0[2] = {x0, y0};
    const double p1[2] = {x1, y1};

    bool cut = false;
    // Cells are walked by integer index: accumulating the position in float
    // would stall far from the origin.
    for (std::int64_t i = iMin; i <= iMax; ++i)
    {
        const double x = static_cast<double>(i) * m_cell;
        // Only the rows the segment can reach inside this column (one row of
        // margin either side) need the exact test.
        std::int64_t jLow = jMin, jHigh = jMax;
        if (dx != 0.0)
        {
            const double xa = std::max(x, left), xb = std::min(x + m_cell, right);
            const double ya = y0 + (xa - x0) * dy / dx, yb = y0 + (xb - x0) * dy / dx;
            jLow = std::max(jMin, static_cast<std::int64_t>(std::floor(std::min(ya, yb) * m_inverseCell)) - 1);
            jHigh = std::min(jMax, static_cast<std::int64_t>(std::floor(std::max(ya, yb) * m_inverseCell)) + 1);
        }
        const float cx = static_cast<float>(x + m_halfCell);
        for (std::int64_t j = jLow; j <= jHigh; ++j)
        {
            const float cy = static_cast<float>(static_cast<double>(j) * m_cell + m_halfCell);
            if (!SegmentIntersectsCell(static_cast<float>(x0), static_cast<float>(y0), static_cast<float>(x1),
                                       static_cast<float>(y1), cx, cy, half, half, FLT_EPSILON))
                continue;
            ++m_cutCells;
            cut = true;
            Cell* leaf = FindOrInsertLeaf(cx, cy, half);
            if (leaf != nullptr)
                AddSegmentToCell(*leaf, i, j, p0, p1);
            // Past the square limit the rest of a long segment would still
            // grow the octree cell by cell: stop at once.
            if (m_tooManySquares)
                return cut;
        }
    }
    return cut;
}

void cMarchingSquares::AddSegmentToCell(Cell& leaf, std::int64_t i, std::int64_t j, const double p0[2],
                                        const double p1[2])
{
    if (leaf.payload == nullptr)
    {
        if (m_squares.GetCount() >= kMaxSquares)
        {
            m_tooManySquares = true;
            return;
        }
        stMarchingSquare* square = m_squares.Append();
        if (square == nullptr)
            return;
        const float x0 = static_cast<float>(static_cast<double>(i) * m_cell);
        const float x1 = static_cast<float>(static_cast<double>(i + 1) * m_cell);
        const float y0 = static_cast<float>(static_cast<double>(j) * m_cell);
        const float y1 = static_cast<float>(static_cast<double>(j + 1) * m_cell);
        const auto kx = static_cast<std::int32_t>(i), ky = static_cast<std::int32_t>(j);
        square->corner[0] = m_corners.FindOrCreate(kx, ky, x0, y0);
        square->corner[1] = m_corners.FindOrCreate(kx, ky + 1, x0, y1);
        square->corner[2] = m_corners.FindOrCreate(kx + 1, ky, x1, y0);
        square->corner[3] = m_corners.FindOrCreate(kx + 1, ky + 1, x1, y1);
        for (const stMSCorner* corner : square->corner)
            if (corner == nullptr)
                return;
        leaf.payload = square;
    }

    const double dx = p1[0] - p0[0];
    const double dy = p1[1] - p0[1];
    const double lengthSquared = dx * dx + dy * dy;
    for (stMSCorner* corner : leaf.payload->corner)
    {
        const double rx = corner->x - p0[0];
        const double ry = corner->y - p0[1];
        // Negative side: to the right of the segment.
        const bool negative = ry * dx - rx * dy < 0.0;
        const double t = (rx * dx + ry * dy) / lengthSquared;
        double distance, ux, uy;
        if (t <= 0.0 || t >= 1.0)
        {
            const double* end = t <= 0.0 ? p0 : p1;
            ux = end[0] - corner->x;
            uy = end[1] - corner->y;
            distance = std::sqrt(ux * ux + uy * uy);
            if (!negative)
            {
                ux = -ux;
                uy = -uy;
            }
        }
        else
        {
            const double fx = p0[0] + t * dx - corner->x;
            const double fy = p0[1] + t * dy - corner->y;
            distance = std::sqrt(fx * fx + fy * fy);
            ux = -dy;
            uy = dx;
        }
        if (negative)
            distance = -distance;
        Normalise2(ux, uy);
        if (std::fabs(corner->distance) > std::fabs(distance))
        {
            corner->direction[0] = static_cast<float>(ux);
            corner->direction[1] = static_cast<float>(uy);
            corner->direction[2] = 0.0f;
            corner->distance = distance;
        }
        corner->count = 1;
    }
}

void cMarchingSquares::FinaliseCorners()
{
    for (std::uint32_t i = 0; i < m_corners.GetCount(); ++i)
    {
        stMSCorner& corner = *m_corners.GetCorner(i);
        NormaliseVector3f(corner.direction);
        if (corner.count != 0)
            corner.distance /= corner.count;
        // From here on every direction points at the nearest segment point.
        if (corner.distance > 0.0)
        {
            for (float& c : corner.direction)
                c = -c;
        }
    }
}

std::uint32_t cMarchingSquares::AddContourVertex(const stMSCorner& a, const stMSCorner& b)
{
    const double da = std::fabs(a.distance), db = std::fabs(b.distance);
    const float x = static_cast<float>((a.x + da * a.direction[0] + b.x + db * b.direction[0]) / 2.0);
    const float y = static_cast<float>((a.y + da * a.direction[1] + b.y + db * b.direction[1]) / 2.0);
    const float z = static_cast<float>((a.z + da * a.direction[2] + b.z + db * b.direction[2]) / 2.0);
    return m_contour.AddVertex(x, y, z, true, m_contourMergeTolerance);
}

void cMarchingSquares::PolygonizeSquare(const stMarchingSquare& square)
{
    int caseIndex = 0;
    for (int k = 0; k < 4; ++k)
        if (square.corner[k]->distance < 0.0)
            caseIndex |= 1 << k;
    const int* edges = kContourEdges[caseIndex];
    std::uint32_t vertex[4];
    bool made[4] = {false, false, false, false};
    for (int k = 0; k < 4 && edges[k] >= 0; ++k)
    {
        const int e = edges[k];
        if (!made[e])
        {
            vertex[e] = AddContourVertex(*square.corner[kEdgeCorners[e][0]], *square.corner[kEdgeCorners[e][1]]);
            made[e] = true;
        }
    }
    for (int k = 0; k < 4 && edges[k] >= 0; k += 2)
    {
        const std::uint32_t from = vertex[edges[k]], to = vertex[edges[k + 1]];
        if (from != to)
            m_contourEdges.AddEdge(from, to);
    }
}

bool cMarchingSquares::Polygonize(tSectionPolylines& output)
{
    SetStatus(*m_progress, L"Polygonizing: Creating new triangles ...");
    m_processedCells = 0;
    const std::uint32_t leaves = CountLeaves();
    m_progress->SetRange(0.0f, static_cast<float>(leaves > 0 ? leaves : 1));
    m_contour.ClearMergeIndex();
    m_contour.SetIndexed(true);

    std::vector<const Cell*> stack;
    if (GetRoot() != nullptr)
        stack.push_back(GetRoot());
    while (!stack.empty())
    {
        const Cell* cell = stack.back();
        stack.pop_back();
        if (cell->IsLeaf())
        {
            ++m_processedCells;
            if (m_processedCells % kProgressEvery == 0)
                m_progress->SetPosition(static_cast<float>(m_processedCells));
            if (cell->payload != nullptr)
                PolygonizeSquare(*cell->payload);
            continue;
        }
        if (cell->children == nullptr)
            continue;
        // Pushed last to first, so children are visited in their stored order.
        for (int k = 7; k >= 0; --k)
            if (cell->children->child[k] != nullptr)
                stack.push_back(cell->children->child[k]);
    }

    const double* origin = m_corners.origin;
    tFramePolyline<cVertex> work;
    const std::uint32_t contourCount = m_contour.GetVertexCount();
    const auto appendVertex = [&](std::uint32_t index) {
        if (index >= contourCount)
            return;
        cVertex v = *m_contour.GetVertex(index);
        v.x = static_cast<float>(origin[0] + v.x);
        v.y = static_cast<float>(origin[1] + v.y);
        v.z = static_cast<float>(v.z);
        work.AddVertex(v);
    };
    while (WalkVertexChain(m_contourEdges.GetTree(), appendVertex))
    {
        if (work.GetVertexCount() >= 2)
            output.Add(work);
        work.Clear();
    }
    JoinPolylines(output, FLT_MAX, 0.0);

    m_contour.ClearMergeIndex();
    m_contour.SetIndexed(false);
    m_contour.Clear();
    return true;
}
