// The two candidate planes of the plane estimate, weighed by the distances
// of the records from them. The sums come out the same bits whichever pass
// adds the records, as long as it adds them in their order: the plane
// driver adds them on its read for the frame instead of a read of its own.
#pragma once

#include "fitting/fit_container.h"

#include <cstdint>

// Plane A: normalA . p + offsetA = 0, plane B likewise.
struct stCandidatePlanes
{
    double normalA[3] = {0.0, 0.0, 0.0};
    double offsetA = 0.0;
    double normalB[3] = {0.0, 0.0, 0.0};
    double offsetB = 0.0;
};

// Sums of |n . p + d| and (n . p + d)^2 over the records added, A in the
// first lane and B in the second: one instruction does both planes.
class cCandidateSums
{
public:
    explicit cCandidateSums(const stCandidatePlanes& planes)
        : m_x{planes.normalA[0], planes.normalB[0]}, m_y{planes.normalA[1], planes.normalB[1]},
          m_z{planes.normalA[2], planes.normalB[2]}, m_offset{planes.offsetA, planes.offsetB}
    {
    }

    template <bool kSquares> void Add(const stFitPoint& p)
    {
        const double x = p.position[0], y = p.position[1], z = p.position[2];
        const tPair distance = ((m_x * Both(x) + m_y * Both(y)) + m_z * Both(z)) + m_offset;
        m_absolute += reinterpret_cast<tPair>(reinterpret_cast<tBits>(distance) & (tBits{} + INT64_MAX));
        if constexpr (kSquares)
            m_squares += distance * distance;
    }

    // Lane 0: plane A, lane 1: plane B.
    double Absolute(int lane) const { return m_absolute[lane]; }
    double Squares(int lane) const { return m_squares[lane]; }

private:
    typedef double tPair __attribute__((vector_size(16)));
    typedef std::int64_t tBits __attribute__((vector_size(16)));

    static tPair Both(double v) { return tPair{v, v}; }

    tPair m_x, m_y, m_z, m_offset;
    tPair m_absolute = {}, m_squares = {};
};
