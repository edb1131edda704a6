// A structured scan: a point cloud whose vertices form a rows x cols lattice
// (column-major: the vertex of row r, column c has index c * rows + r), with
// empty cells where the scanner saw nothing (x = FLT_MAX, normal 0, flag bit
// 0). Triangles are never stored: each lattice cell yields up to two on
// demand, filtered by an edge-length limit and optionally by the angle
// between a triangle's normal and the direction to the scanner. A sampling
// step s makes every algorithm use only rows and columns that are multiples
// of s. The grid answers the same topology queries as a mesh.
#pragma once

#include "core/point_cloud.h"
#include "core/progress.h"
#include "core/topology.h"

#include <array>
#include <cstdint>
#include <memory>

// {E707F5B7-0EE0-450D-BBA7-D59D79C10D8F}
inline constexpr GUID IID_cVertexGrid = {0xE707F5B7, 0x0EE0, 0x450D, {0xBB, 0xA7, 0xD5, 0x9D, 0x79, 0xC1, 0x0D, 0x8F}};

// Edge-length modes: derive the limit from the grid spacing, no limit, or
// (any other value) keep the stored limit.
inline constexpr std::uint32_t kGridEdgeLengthUnlimited = 0;
inline constexpr std::uint32_t kGridEdgeLengthFromSpacing = 1;

inline constexpr double kGridDefaultMaxAngle = 1.0471975511965976; // pi / 3

// Up to two triangles of one cell, or up to eight around one vertex.
using tCellTriangles = std::array<tTriangle<cVertex>, 2>;
using tVertexTriangles = std::array<tTriangle<cVertex>, 8>;

class cVertexGrid : public cPointCloud, public ITopology
{
public:
    cVertexGrid(std::uint32_t rows = 0, std::uint32_t cols = 0, bool markEmpty = false);
    ~cVertexGrid() override;

    void* NonDelegatingQueryInterface(const GUID& iid) override;

    // Resizes the lattice (step back to 1). The vertex array changes only
    // when the size does, and then every vertex gets its own index; with
    // markEmpty every vertex becomes an empty cell. False, with the old size
    // and vertices kept, when rows x cols does not fit the vertex array or
    // memory runs out.
    bool SetSize(std::uint32_t rows, std::uint32_t cols, bool markEmpty);

    // Empties the grid and restores every setting to its default.
    void Clear() override;
    // Box, edge limit (by the edge-length mode) and vertex normals; vertices
    // that end up in no triangle are excluded. Step back to 1.
    void Update() override;
    // Update, reporting whether the normals could be computed.
    bool UpdateGrid();
    // Every point of the lattice (at the current step) in scan-frame
    // coordinates.
    std::unique_ptr<IPointsIterator> CreatePointsIterator() override;
    // Moves the vertices and keeps the scan frame in step, so scanner-relative
    // filtering still works after the grid was moved.
    void Transform(const double m[12]) override;

    // --- ITopology (vertex_grid_topology.cpp) ---
    std::uint32_t GetVertexNeighboursByIndex(std::uint32_t vertex, std::uint8_t rings, tVertexDeque& out) override;
    std::uint32_t GetVertexNeighbours(const cVertex* vertex, std::uint8_t rings, tVertexDeque& out) override;
    // Side vertices (not the four corners) and interior lattice points whose
    // neighbourhood is not closed by short edges.
    std::uint32_t GetBoundaryVertices(tVertexDeque& out) override;
    std::uint32_t GetBoundaryPolylines(tBoundaryPolylines& out) override;
    std::uint32_t GetConnectedVertices(const cVertex* vertex, tArray<cVertex*>& out,
                                       const std::uint32_t* mask = nullptr) override;
    std::uint32_t GetConnectedVerticesByIndex(std::uint32_t vertex, tArray<cVertex*>& out,
                                              const std::uint32_t* mask = nullptr) override;
    std::uint32_t MarkConnectedVertices(const cVertex* vertex, std::uint32_t mask, bool clearFirst) override;
    std::uint32_t MarkConnectedVerticesByIndex(std::uint32_t vertex, std::uint32_t mask, bool clearFirst) override;
    double GetAreaOfVertexSet(const tArray<cVertex*>& set, const double* limit = nullptr) override;
    // Unit normals summed from the accepted cell triangles; every vertex in
    // no triangle gets flag bit 0. False when there are no vertices, no
    // usable vertex, no edge limit or no free vertex flag bit.
    bool ComputeVertexNormals() override;
    std::unique_ptr<ITriIterator> CreateTriIterator() override;

    // The triangles of the cell whose top-left corner is (r, c), with corners
    // (r, c), (r + s, c), (r, c + s), (r + s, c + s), against a squared edge
    // limit. Returns 0, 1 or 2.
    std::uint32_t TriangulateCell(std::uint32_t r, std::uint32_t c, double limit2, tCellTriangles& out) const;
    // The triangles of the up to four cells around lattice vertex (r, c) that
    // have it as a corner.
    std::uint32_t GetTrianglesAroundVertex(std::uint32_t r, std::uint32_t c, tVertexTriangles& out) const;
    // Mean + 3 standard deviations of the distances from every non-empty
    // lattice point to its non-empty upper, left and upper-left neighbours.
    double ComputeSpacing() const;

    std::uint32_t GetRows() const { return m_rows; }
    std::uint32_t GetCols() const { return m_cols; }
    std::uint32_t GetStep() const { return m_step; }
    // Steps of 0 count as 1.
    void SetStep(std::uint32_t step) { m_step = step > 0 ? step : 1; }
    const double* GetScanFrame() const { return m_scanFrame; }
    // The scanner position: the translation of the inverse scan frame.
    void GetScannerPosition(float out[3]) const;

    std::uint32_t GetEdgeLengthMode() const { return m_edgeLengthMode; }
    void SetEdgeLengthMode(std::uint32_t mode) { m_edgeLengthMode = mode; }
    bool IsAngleFilterOn() const { return m_angleFilter == 1; }
    void SetAngleFilter(bool on) { m_angleFilter = on ? 1 : 0; }
    double GetMaxEdgeLength() const { return m_maxEdgeLength; }
    void SetMaxEdgeLength(double length) { m_maxEdgeLength = length; }
    double GetMaxAngle() const { return m_maxAngle; }
    void SetMaxAngle(double radians) { m_maxAngle = radians; }
    double GetSpacing() const { return m_spacing; }
    IProcProgress* GetProgress() const { return m_progress; }
    void SetProgress(IProcProgress* progress) { m_progress = progress; }

    std::uint32_t IndexOf(std::uint32_t r, std::uint32_t c) const { return c * m_rows + r; }
    // The grid's own vertex record at the vertex's index: the vertex itself
    // or a copy of it at the same position; null for any other vertex.
    const cVertex* OwnVertex(const cVertex* vertex) const;

private:
    bool IsUsable(std::uint32_t r, std::uint32_t c) const { return !GetVertex(IndexOf(r, c))->IsExcluded(); }
    double SquaredLimit() const;
    void ClearVertexFlagBits(std::uint32_t mask);

    std::uint32_t m_step = 1;
    std::uint32_t m_rows = 0;
    std::uint32_t m_cols = 0;
    double m_scanFrame[12];
    IProcProgress* m_progress = nullptr;
    std::uint32_t m_edgeLengthMode = kGridEdgeLengthFromSpacing;
    std::uint32_t m_angleFilter = 0;
    double m_maxEdgeLength = 0.0;
    double m_maxAngle = kGridDefaultMaxAngle;
    double m_spacing = 0.0;
};

// Walks the accepted cell triangles column by column, and within a column
// row by row, handing out the first and then the second triangle of a cell.
class cGridTriIterator : public ITriIterator
{
public:
    // angle in radians (0 = no angle filter); edgeLimit is the longest
    // allowed edge at the grid's current step.
    cGridTriIterator(const cVertexGrid* grid, const float scanner[3], double angle, double edgeLimit);

    // An upper bound, not the number delivered.
    std::uint32_t GetCount() override;
    bool HasTriangles() override;
    void First() override;
    bool IsDone() override { return m_current == nullptr; }
    void Next() override;
    const tTriangle<cVertex>* GetTriangle() override { return m_current; }

private:
    bool Accepts(const tTriangle<cVertex>& triangle) const;
    void Advance();

    const cVertexGrid* m_grid;
    const tTriangle<cVertex>* m_current = nullptr;
    tCellTriangles m_cell;
    bool m_pendingSecond = false;
    std::uint32_t m_nextColumn = 0;
    std::uint32_t m_nextRow = 0;
    double m_limit2;
    float m_scanner[3];
    double m_cosAngle;
};

// Visits the usable lattice points row by row (rows 0, s, 2s, ...; within a
// row the columns 0, s, 2s, ...), giving positions mapped by a transform.
class cGridPointCloudIterator : public IPointsIterator
{
public:
    cGridPointCloudIterator(cVertexGrid* grid, const double transform[12]);

    // The whole vertex count, not the number of lattice points.
    std::uint32_t GetCount() override;
    bool HasPoints() override;
    void First() override;
    bool IsDone() override { return m_row >= m_rows; }
    void Next() override;
    cVertex* GetVertex() override;
    const cVertex* GetVertex() const override;
    void GetPoint(double out[3]) override;

private:
    void SkipExcluded();

    cVertexGrid* m_grid;
    std::uint32_t m_row = 0;
    std::uint32_t m_column = 0;
    std::uint32_t m_rows;
    std::uint32_t m_cols;
    double m_transform[12];
};
