#include "core/vertex_grid.h"

#include "core/frame_math.h"
#include "core/square_matrix.h"
#include "core/used_flags.h"
#include "core/vector_math.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace
{

constexpr double kZeroTest = FLT_EPSILON;

// A lattice point the scanner measured: not an empty cell and, so that one
// corrupt point cannot spoil the statistic of the whole grid, finite.
bool IsMeasured(const cVertex& v)
{
    return !IsFloatUnset(v.x) && std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// (b - a) x (c - a) of the corners in that order, normalised as a float.
void SetTriangle(tTriangle<cVertex>& t, const cVertex* a, const cVertex* b, const cVertex* c, int diagonalEdge)
{
    t.corner[0] = a;
    t.corner[1] = b;
    t.corner[2] = c;
    double n[3];
    TriangleCrossProduct(a->Position(), b->Position(), c->Position(), n);
    float nf[3] = {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])};
    NormaliseVector3f(nf);
    t.nx = nf[0];
    t.ny = nf[1];
    t.nz = nf[2];
    t.edgeFlags[0] = t.edgeFlags[1] = t.edgeFlags[2] = 0;
    t.spare = 0;
    if (diagonalEdge >= 0)
        t.edgeFlags[diagonalEdge] = 1;
}

// The orthogonal polar factor of the row-major 3x3 r by the scaled Newton
// iteration; false when an inverse does not exist or 10 rounds do not
// converge.
bool PolarFactor(double r[9])
{
    cSquareMatrix current(3), inverse, inverseT(3), scaled, next, change;
    if (!current.IsAllocated() || !inverseT.IsAllocated())
        return false;
    for (std::uint32_t i = 0; i < 3; ++i)
        for (std::uint32_t j = 0; j < 3; ++j)
            current(i, j) = r[3 * i + j];
    for (int round = 0; round < 10; ++round)
    {
        if (!current.Invert(inverse, 1e-10))
            return false;
        for (std::uint32_t i = 0; i < 3; ++i)
            for (std::uint32_t j = 0; j < 3; ++j)
                inverseT(i, j) = inverse(j, i);
        const double norm = current.FrobeniusNorm();
        if (!(norm > 0.0))
            return false;
        const double g = std::sqrt(inverseT.FrobeniusNorm() / norm);
        // next = 0.5 (g R + R^-T / g)
        if (!current.Scale(g, scaled) || !inverseT.DivideByScalar(g, next) || !scaled.Add(next, next) ||
            !next.Scale(0.5, next) || !next.Subtract(current, change))
            return false;
        current = next;
        if (!std::isfinite(current.FrobeniusNorm()))
            return false;
        if (change.FrobeniusNorm() <= 2.220446049250313e-16)
        {
            for (std::uint32_t i = 0; i < 3; ++i)
                for (std::uint32_t j = 0; j < 3; ++j)
                    r[3 * i + j] = current(i, j);
            return true;
        }
    }
    return false;
}

// A rotation through a quaternion of the matrix (trace method).
void RotationThroughQuaternion(double r[9])
{
    const double trace = r[0] + r[4] + r[8];
    double w, x, y, z;
    if (trace >= 0.0)
    {
        w = std::sqrt(trace + 1.0) * 0.5;
        const double f = 0.25 / w;
        x = (r[7] - r[5]) * f;
        y = (r[2] - r[6]) * f;
        z = (r[3] - r[1]) * f;
    }
    else if (r[0] >= r[4] && r[0] >= r[8])
    {
        x = std::sqrt(1.0 + r[0] - r[4] - r[8]) * 0.5;
        const double f = 0.25 / x;
        w = (r[7] - r[5]) * f;
        y = (r[1] + r[3]) * f;
        z = (r[2] + r[6]) * f;
    }
    else if (r[4] >= r[8])
    {
        y = std::sqrt(1.0 + r[4] - r[0] - r[8]) * 0.5;
        const double f = 0.25 / y;
        w = (r[2] - r[6]) * f;
        x = (r[1] + r[3]) * f;
        z = (r[5] + r[7]) * f;
    }
    else
    {
        z = std::sqrt(1.0 + r[8] - r[0] - r[4]) * 0.5;
        const double f = 0.25 / z;
        w = (r[3] - r[1]) * f;
        x = (r[2] + r[6]) * f;
        y = (r[5] + r[7]) * f;
    }
    const double len2 = w * w + x * x + y * y + z * z;
    if (std::fabs(len2 - 1.0) > FLT_EPSILON && len2 > 2.220446049250313e-16)
    {
        const double inv = 1.0 / std::sqrt(len2);
        w *= inv, x *= inv, y *= inv, z *= inv;
    }
    r[0] = 1 - 2 * (y * y + z * z);
    r[1] = 2 * (x * y - z * w);
    r[2] = 2 * (x * z + y * w);
    r[3] = 2 * (x * y + z * w);
    r[4] = 1 - 2 * (x * x + z * z);
    r[5] = 2 * (y * z - x * w);
    r[6] = 2 * (x * z - y * w);
    r[7] = 2 * (y * z + x * w);
    r[8] = 1 - 2 * (x * x + y * y);
}

} // namespace

cVertexGrid::cVertexGrid(std::uint32_t rows, std::uint32_t cols, bool markEmpty)
{
    MakeIdentity3x4(m_scanFrame);
    cVertexGrid::Clear();
    SetSize(rows, cols, markEmpty);
}

cVertexGrid::~cVertexGrid() = default;

void* cVertexGrid::NonDelegatingQueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_cVertexGrid))
        return static_cast<cVertexGrid*>(this);
    if (IsEqualInterfaceId(iid, IID_ITopology))
        return static_cast<ITopology*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(this);
    return cPointCloud::NonDelegatingQueryInterface(iid);
}

bool cVertexGrid::SetSize(std::uint32_t rows, std::uint32_t cols, bool markEmpty)
{
    const std::uint64_t count = std::uint64_t{rows} * cols;
    if (count > kArrayMaxRecords)
        return false;
    tArray<cVertex>& vertices = GetVertexArray();
    if (rows != m_rows || cols != m_cols || vertices.GetCount() != count)
    {
        if (!vertices.Resize(static_cast<std::uint32_t>(count)))
            return false;
        vertices.SetCount(static_cast<std::uint32_t>(count));
        for (std::uint32_t i = 0; i < count; ++i)
            vertices[i].index = i;
        InvalidateBox();
    }
    m_step = 1;
    if (markEmpty)
    {
        ForEachVertex([](cVertex& v) {
            v.x = FLT_MAX;
            v.nx = v.ny = v.nz = 0.0f;
            v.flags |= kVertexFlagExcluded;
        });
        InvalidateBox();
    }
    m_rows = rows;
    m_cols = cols;
    return true;
}

void cVertexGrid::Clear()
{
    InvalidateTopology();
    cPointCloud::Clear();
    MakeIdentity3x4(m_scanFrame);
    m_rows = 0;
    m_cols = 0;
    m_step = 1;
    m_edgeLengthMode = kGridEdgeLengthFromSpacing;
    m_angleFilter = 0;
    m_maxEdgeLength = 0.0;
    m_maxAngle = kGridDefaultMaxAngle;
    m_spacing = 0.0;
}

void cVertexGrid::Update()
{
    UpdateGrid();
}

bool cVertexGrid::UpdateGrid()
{
    if (m_progress != nullptr)
        m_progress->SetCaption(TranslateText(L"Generating Grid..."));
    m_step = 1;
    UpdateBoundingBox();
    if (m_edgeLengthMode == kGridEdgeLengthFromSpacing)
    {
        if (!(m_spacing > kZeroTest))
            m_spacing = ComputeSpacing();
        m_maxEdgeLength = 2.0 * m_spacing;
    }
    else if (m_edgeLengthMode == kGridEdgeLengthUnlimited)
    {
        m_maxEdgeLength = FLT_MAX;
    }
    const bool done = ComputeVertexNormals();
    m_progress = cProcProgressNull::Shared();
    return done;
}

double cVertexGrid::ComputeSpacing() const
{
    if (m_rows < 2 || m_cols < 2)
        return 0.0;
    // Two passes over the lattice: the mean first, then the spread about it.
    auto forEachDistance = [this](auto&& f) {
        for (std::uint32_t c = 1; c < m_cols; ++c)
        {
            for (std::uint32_t r = 1; r < m_rows; ++r)
            {
                const cVertex* p = GetVertex(IndexOf(r, c));
                if (!IsMeasured(*p))
                    continue;
                const cVertex* near[3] = {GetVertex(IndexOf(r - 1, c)), GetVertex(IndexOf(r, c - 1)),
                                          GetVertex(IndexOf(r - 1, c - 1))};
                for (const cVertex* q : near)
                {
                    if (IsMeasured(*q))
                        f(PointDistance(p->Position(), q->Position()));
                }
            }
        }
    };
    double sum = 0.0;
    std::uint64_t n = 0;
    forEachDistance([&](double d) {
        sum += d;
        ++n;
    });
    if (n == 0)
        return 0.0;
    const double mean = sum / static_cast<double>(n);
    double spread = 0.0;
    forEachDistance([&](double d) { spread += (d - mean) * (d - mean); });
    return mean + 3.0 * std::sqrt(spread / static_cast<double>(n));
}

double cVertexGrid::SquaredLimit() const
{
    const double limit = static_cast<double>(m_step) * m_maxEdgeLength;
    return limit * limit;
}

std::uint32_t cVertexGrid::TriangulateCell(std::uint32_t r, std::uint32_t c, double limit2, tCellTriangles& out) const
{
    for (auto& t : out)
        t.edgeFlags[0] = t.edgeFlags[1] = t.edgeFlags[2] = t.spare = 0;
    const std::uint32_t s = m_step;
    if (std::uint64_t{r} + s >= m_rows || std::uint64_t{c} + s >= m_cols)
        return 0;
    const cVertex* A = GetVertex(IndexOf(r, c));
    const cVertex* B = GetVertex(IndexOf(r + s, c));
    const cVertex* C = GetVertex(IndexOf(r, c + s));
    const cVertex* D = GetVertex(IndexOf(r + s, c + s));
    const bool a = !A->IsExcluded(), b = !B->IsExcluded(), cc = !C->IsExcluded(), d = !D->IsExcluded();
    if (!a && !b && !cc && !d)
        return 0;
    auto length2 = [](bool usable1, const cVertex* p, bool usable2, const cVertex* q) {
        return usable1 && usable2 ? SquaredDistance(p->Position(), q->Position()) : DBL_MAX;
    };
    const double AB = length2(a, A, b, B), BD = length2(b, B, d, D), DC = length2(d, D, cc, C),
                 CA = length2(cc, C, a, A), AD = length2(a, A, d, D), BC = length2(b, B, cc, C);
    auto shortEdge = [limit2](double l2) { return l2 <= limit2; };
    if (shortEdge(AB) && shortEdge(BD) && shortEdge(DC) && shortEdge(CA))
    {
        if (BC >= AD && shortEdge(AD))
        {
            SetTriangle(out[0], A, D, C, 0);
            SetTriangle(out[1], A, B, D, 2);
            return 2;
        }
        if (shortEdge(BC))
        {
            SetTriangle(out[0], B, C, A, 0);
            SetTriangle(out[1], D, C, B, 1);
            return 2;
        }
        return 0;
    }
    if (shortEdge(BD) && shortEdge(DC) && shortEdge(BC))
        SetTriangle(out[0], D, C, B, -1);
    else if (shortEdge(CA) && shortEdge(DC) && shortEdge(AD))
        SetTriangle(out[0], D, C, A, -1);
    else if (shortEdge(AB) && shortEdge(BD) && shortEdge(AD))
        SetTriangle(out[0], B, D, A, -1);
    else if (shortEdge(AB) && shortEdge(CA) && shortEdge(BC))
        SetTriangle(out[0], B, C, A, -1);
    else
        return 0;
    return 1;
}

std::uint32_t cVertexGrid::GetTrianglesAroundVertex(std::uint32_t r, std::uint32_t c, tVertexTriangles& out) const
{
    std::uint32_t count = 0;
    if (r >= m_rows || c >= m_cols)
        return 0;
    const cVertex* centre = GetVertex(IndexOf(r, c));
    const std::uint32_t s = m_step;
    const double limit2 = SquaredLimit();
    const std::int64_t starts[4][2] = {{r, c}, {std::int64_t{r} - s, c}, {r, std::int64_t{c} - s},
                                       {std::int64_t{r} - s, std::int64_t{c} - s}};
    for (const auto& start : starts)
    {
        if (start[0] < 0 || start[1] < 0)
            continue;
        tCellTriangles cell;
        const std::uint32_t n =
            TriangulateCell(static_cast<std::uint32_t>(start[0]), static_cast<std::uint32_t>(start[1]), limit2, cell);
        for (std::uint32_t k = 0; k < n; ++k)
        {
            const tTriangle<cVertex>& t = cell[k];
            if (t.corner[0] == centre || t.corner[1] == centre || t.corner[2] == centre)
                out[count++] = t;
        }
    }
    return count;
}

bool cVertexGrid::ComputeVertexNormals()
{
    if (GetVertexCount() == 0 || static_cast<double>(m_step) * m_maxEdgeLength < kZeroTest)
        return false;
    cBorrowedVertexFlag borrowed;
    if (!borrowed.IsValid())
        return false;
    const std::uint32_t bit = borrowed.Bit();
    bool anyUsable = false;
    ForEachVertex([bit, &anyUsable](cVertex& v) {
        v.nx = v.ny = v.nz = 0.0f;
        v.flags &= ~bit;
        if (IsFloatUnset(v.x))
            v.flags |= kVertexFlagExcluded;
        else
        {
            v.flags &= ~kVertexFlagExcluded;
            anyUsable = true;
        }
    });
    if (!anyUsable)
        return false;
    std::unique_ptr<ITriIterator> triangles = CreateTriIterator();
    for (triangles->First(); !triangles->IsDone(); triangles->Next())
    {
        const tTriangle<cVertex>* t = triangles->GetTriangle();
        for (const cVertex* corner : t->corner)
        {
            // The iterator hands out this grid's own records.
            cVertex* v = const_cast<cVertex*>(corner);
            v->nx += t->nx;
            v->ny += t->ny;
            v->nz += t->nz;
            v->flags |= bit;
        }
    }
    ForEachVertex([bit](cVertex& v) {
        if ((v.flags & bit) != 0)
        {
            NormaliseVector3f(v.Normal());
            v.flags &= ~bit;
        }
        else
        {
            v.flags |= kVertexFlagExcluded;
        }
    });
    UpdateBoundingBox();
    return true;
}

std::unique_ptr<ITriIterator> cVertexGrid::CreateTriIterator()
{
    float scanner[3];
    GetScannerPosition(scanner);
    const double angle = m_angleFilter == 1 ? m_maxAngle : 0.0;
    return std::make_unique<cGridTriIterator>(this, scanner, angle, static_cast<double>(m_step) * m_maxEdgeLength);
}

std::unique_ptr<IPointsIterator> cVertexGrid::CreatePointsIterator()
{
    if (m_step == 1)
        return std::make_unique<cPointCloudIterator>(this, m_scanFrame);
    return std::make_unique<cGridPointCloudIterator>(this, m_scanFrame);
}

void cVertexGrid::GetScannerPosition(float out[3]) const
{
    // -R^T t of the scan frame.
    for (int i = 0; i < 3; ++i)
    {
        const double p = -(m_scanFrame[i] * m_scanFrame[3] + m_scanFrame[4 + i] * m_scanFrame[7] +
                           m_scanFrame[8 + i] * m_scanFrame[11]);
        out[i] = static_cast<float>(p);
    }
}

void cVertexGrid::Transform(const double m[12])
{
    cPointCloud::Transform(m);
    double inverse[12];
    std::copy(m, m + 12, inverse);
    InvertRigidTransform3x4(inverse);
    double frame[12];
    MultiplyTransform3x4(m_scanFrame, frame, inverse);
    double r[9] = {frame[0], frame[1], frame[2], frame[4], frame[5], frame[6], frame[8], frame[9], frame[10]};
    double original[9];
    std::copy(r, r + 9, original);
    if (!PolarFactor(r))
    {
        std::copy(original, original + 9, r);
        RotationThroughQuaternion(r);
    }
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
            frame[4 * i + j] = r[3 * i + j];
    }
    std::copy(frame, frame + 12, m_scanFrame);
}

const cVertex* cVertexGrid::OwnVertex(const cVertex* vertex) const
{
    if (vertex == nullptr || vertex->index >= GetVertexCount())
        return nullptr;
    const cVertex* own = GetVertex(vertex->index);
    if (own == vertex)
        return own;
    // A copy (a boundary polyline holds copies) is found by its own index
    // while it still lies where the record does.
    return PointDistance(own->Position(), vertex->Position()) <= FLT_EPSILON ? own : nullptr;
}

void cVertexGrid::ClearVertexFlagBits(std::uint32_t mask)
{
    ForEachVertex([mask](cVertex& v) { v.flags &= ~mask; });
}

// --- cGridTriIterator ---

cGridTriIterator::cGridTriIterator(const cVertexGrid* grid, const float scanner[3], double angle, double edgeLimit)
    : m_grid(grid), m_limit2(edgeLimit * edgeLimit), m_cosAngle(angle > 0.0 ? std::cos(angle) : 0.0)
{
    std::copy(scanner, scanner + 3, m_scanner);
    First();
}

std::uint32_t cGridTriIterator::GetCount()
{
    if (!HasTriangles())
        return 0;
    const std::uint64_t s = m_grid->GetStep();
    const std::uint64_t count =
        (std::uint64_t{m_grid->GetCols()} - 1) * (std::uint64_t{m_grid->GetRows()} - 1) * 2 / (s * s);
    return count > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(count);
}

bool cGridTriIterator::HasTriangles()
{
    const std::uint64_t twice = 2 * std::uint64_t{m_grid->GetStep()};
    return m_grid->GetRows() >= twice && m_grid->GetCols() >= twice;
}

void cGridTriIterator::First()
{
    m_nextColumn = 0;
    m_nextRow = 0;
    m_pendingSecond = false;
    m_current = nullptr;
    if (HasTriangles())
        Advance();
}

void cGridTriIterator::Next()
{
    if (m_pendingSecond)
    {
        m_pendingSecond = false;
        if (Accepts(m_cell[1]))
        {
            m_current = &m_cell[1];
            return;
        }
    }
    Advance();
}

bool cGridTriIterator::Accepts(const tTriangle<cVertex>& t) const
{
    if (!(m_cosAngle > kZeroTest))
        return true;
    float centroid[3];
    for (int i = 0; i < 3; ++i)
        centroid[i] = (t.corner[0]->Position()[i] + t.corner[1]->Position()[i] + t.corner[2]->Position()[i]) / 3.0f;
    float direction[3] = {m_scanner[0] - centroid[0], m_scanner[1] - centroid[1], m_scanner[2] - centroid[2]};
    if (std::fabs(direction[0]) + std::fabs(direction[1]) + std::fabs(direction[2]) >= kZeroTest)
        NormaliseVector3f(direction);
    const double dot = static_cast<double>(t.nx) * direction[0] + static_cast<double>(t.ny) * direction[1] +
                       static_cast<double>(t.nz) * direction[2];
    return dot > m_cosAngle;
}

void cGridTriIterator::Advance()
{
    m_current = nullptr;
    m_pendingSecond = false;
    const std::uint64_t s = m_grid->GetStep();
    const std::uint64_t rows = m_grid->GetRows();
    const std::uint64_t cols = m_grid->GetCols();
    while (m_nextColumn + s < cols)
    {
        while (m_nextRow + s < rows)
        {
            const std::uint32_t r = m_nextRow;
            m_nextRow += static_cast<std::uint32_t>(s);
            const std::uint32_t n = m_grid->TriangulateCell(r, m_nextColumn, m_limit2, m_cell);
            if (n == 0)
                continue;
            if (Accepts(m_cell[0]))
            {
                m_current = &m_cell[0];
                m_pendingSecond = n == 2;
                return;
            }
            if (n == 2 && Accepts(m_cell[1]))
            {
                m_current = &m_cell[1];
                return;
            }
        }
        m_nextRow = 0;
        m_nextColumn += static_cast<std::uint32_t>(s);
    }
}

// --- cGridPointCloudIterator ---

cGridPointCloudIterator::cGridPointCloudIterator(cVertexGrid* grid, const double transform[12])
    : m_grid(grid), m_rows(grid->GetRows()), m_cols(grid->GetCols())
{
    if (transform != nullptr)
        std::copy(transform, transform + 12, m_transform);
    else
        MakeIdentity3x4(m_transform);
    First();
}

std::uint32_t cGridPointCloudIterator::GetCount()
{
    return m_grid->GetVertexCount();
}

bool cGridPointCloudIterator::HasPoints()
{
    return GetCount() != 0;
}

void cGridPointCloudIterator::First()
{
    m_rows = m_grid->GetRows();
    m_cols = m_grid->GetCols();
    m_row = 0;
    m_column = 0;
    SkipExcluded();
}

void cGridPointCloudIterator::Next()
{
    if (IsDone())
        return;
    const std::uint64_t s = m_grid->GetStep();
    if (m_column + s < m_cols)
        m_column += static_cast<std::uint32_t>(s);
    else
    {
        m_column = 0;
        m_row = m_row + s < m_rows ? m_row + static_cast<std::uint32_t>(s) : m_rows;
    }
    SkipExcluded();
}

void cGridPointCloudIterator::SkipExcluded()
{
    const std::uint64_t s = m_grid->GetStep();
    if (m_cols == 0)
        m_row = m_rows;
    while (m_row < m_rows && m_grid->GetVertex(m_grid->IndexOf(m_row, m_column))->IsExcluded())
    {
        if (m_column + s < m_cols)
            m_column += static_cast<std::uint32_t>(s);
        else
        {
            m_column = 0;
            m_row = m_row + s < m_rows ? m_row + static_cast<std::uint32_t>(s) : m_rows;
        }
    }
}

cVertex* cGridPointCloudIterator::GetVertex()
{
    return m_grid->GetVertex(m_grid->IndexOf(m_row, m_column));
}

const cVertex* cGridPointCloudIterator::GetVertex() const
{
    return m_grid->GetVertex(m_grid->IndexOf(m_row, m_column));
}

void cGridPointCloudIterator::GetPoint(double out[3])
{
    float mapped[3];
    TransformPoint3f(m_transform, mapped, GetVertex()->Position());
    out[0] = mapped[0];
    out[1] = mapped[1];
    out[2] = mapped[2];
}
