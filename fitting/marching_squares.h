// Traces one clean outline through overlapping, broken or doubled section
// polylines lying in a common plane (local coordinates; z is ignored).
//
// Every segment is rasterised into square cells of a fixed edge; each cell
// corner keeps the signed distance to its nearest segment (negative on the
// segment's right-hand side) and the direction towards it. Marching squares
// over the cut cells then put one contour vertex on every cell edge between
// an inside and an outside corner, and the contour edges are chained and
// joined into polylines.
//
// The work is done in coordinates relative to the grid origin and corners
// are keyed by their integer grid indices, so parts far from the coordinate
// origin keep their resolution and neighbouring corners never share a key.
#pragma once

#include <cfloat>
#include <cstdint>

#include "core/chunked_array.h"
#include "core/edge_collection.h"
#include "core/int_octree.h"
#include "core/point_cloud.h"
#include "core/progress.h"
#include "core/rb_tree.h"
#include "fitting/polyline_join.h"

// A cell corner: position relative to the grid origin, the unit direction
// towards the nearest point of its nearest segment and the signed distance to
// it (FLT_MAX until a segment was seen; count 1 from then on).
struct stMSCorner
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float direction[3] = {0.0f, 0.0f, 0.0f};
    double distance = FLT_MAX;
    std::uint32_t count = 0;
};

// The integer grid coordinates of a corner.
struct cMSCornerIndex
{
    std::int32_t kx = 0;
    std::int32_t ky = 0;
};

struct stMSCornerEntry
{
    cMSCornerIndex key;
    stMSCorner* corner = nullptr;
};

template <> struct tRBOrder<stMSCornerEntry>
{
    static int Compare(const stMSCornerEntry& a, const stMSCornerEntry& b)
    {
        if (a.key.kx != b.key.kx)
            return a.key.kx < b.key.kx ? -1 : 1;
        if (a.key.ky != b.key.ky)
            return a.key.ky < b.key.ky ? -1 : 1;
        return 0;
    }
    static constexpr bool kUnique = true;
};

// The corners shared by neighbouring cells, found by their grid indices.
class cMSCornersContainer
{
public:
    // The corner at the grid indices, made at the given position when new;
    // null when no memory.
    stMSCorner* FindOrCreate(std::int32_t kx, std::int32_t ky, float x, float y);

    std::uint32_t GetCount() const { return m_corners.GetCount(); }
    stMSCorner* GetCorner(std::uint32_t i) { return &m_corners[i]; }

    double origin[3] = {0.0, 0.0, 0.0};
    double inverseCell = 1.0;

private:
    tArray<stMSCorner> m_corners;
    tRBTree<stMSCornerEntry> m_index;
};

// Corners in the order (x0, y0), (x0, y1), (x1, y0), (x1, y1).
struct stMarchingSquare
{
    stMSCorner* corner[4] = {nullptr, nullptr, nullptr, nullptr};
};

class cMarchingSquares : public cIntOctTree<stMarchingSquare*>
{
public:
    // A cell size at or below FLT_EPSILON (or not finite) makes a structure
    // that encodes nothing.
    explicit cMarchingSquares(float cellSize);
    ~cMarchingSquares() override;

    // Rasterises every segment of every polyline (read in its frame). False,
    // with nothing encoded, when the cell size was refused or the polylines
    // span more grid cells than the integer corner keys can number; false
    // too when the polylines would fill more than kMaxSquares cells (those
    // beyond are left out).
    bool EncodePolylines(const tSectionPolylines& collection);

    // The most cells one outline rasterises (some 500 MB of records): a cell
    // far too small for its polylines is refused instead of exhausting memory.
    static constexpr std::uint32_t kMaxSquares = 1u << 22;

    // Traces the contour of the cut cells into polylines appended to the
    // output (identity frames, the polylines' local coordinates) and joins
    // them whatever the distance. The contour store is emptied at the end.
    bool Polygonize(tSectionPolylines& output);

    // Callers empty the store before Polygonize and run Polygonize only when
    // at least one cell was cut.
    void ClearContourStore() { m_contour.Clear(); }
    std::uint32_t GetCutCellCount() const { return m_cutCells; }

    void SetProgress(IProcProgress* progress) { m_progress = ProgressOrNull(progress); }

    // Whether the segment touches the box [cx - hx, cx + hx] x [cy - hy, cy +
    // hy] (boundaries inside); `tolerance` decides when the segment counts as
    // horizontal or vertical.
    static bool SegmentIntersectsCell(float x0, float y0, float x1, float y1, float cx, float cy, float hx, float hy,
                                      float tolerance);

private:
    // Segment ends relative to the grid origin.
    bool EncodeSegment(double x0, double y0, double x1, double y1);
    void AddSegmentToCell(Cell& leaf, std::int64_t i, std::int64_t j, const double p0[2], const double p1[2]);
    void FinaliseCorners();
    void PolygonizeSquare(const stMarchingSquare& square);
    std::uint32_t AddContourVertex(const stMSCorner& a, const stMSCorner& b);

    bool m_cellAccepted;
    bool m_tooManySquares = false;
    double m_cell;
    double m_inverseCell;
    double m_halfCell;
    // Squared length below which a segment is not rasterised.
    double m_shortSegmentSquared;
    // Contour vertices closer than this are one vertex.
    float m_contourMergeTolerance;
    std::uint32_t m_cutCells = 0;
    std::uint32_t m_processedCells = 0;
    IProcProgress* m_progress;
    cMSCornersContainer m_corners;
    tArray<stMarchingSquare> m_squares;
    cPointCloud m_contour;
    cEdgeCollection m_contourEdges;
};
