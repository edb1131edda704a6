// The geometry behind a combo profile: a section polyline cut at joints into
// pieces, each piece a line or an arc (a segment record), and the joint
// solvers that make consecutive pieces meet. Everything works in the local
// XY plane of the section; joints and solved ends get z = 0.
//
// A joint is a vertex whose index field names the section vertex it sits on
// (0xFFFFFFFF: on none). A segment record holds 2 points for a line (start,
// end) or 5 for an arc (start, end, interior point, centre, (r, r, r)).
#pragma once

#include "core/polyline.h"

#include <cstdint>
#include <vector>

using tComboSegment = tPolyline<t3DPoint<double>>;
using tComboSegments = std::vector<tComboSegment>;

inline constexpr std::uint32_t kNoSectionVertex = 0xFFFFFFFFu;

inline bool IsArcRecord(const tComboSegment& segment)
{
    return segment.GetVertexCount() > 2;
}

// The section pieces between joint k and joint k + 1 as the fitters see
// them: the vertices from the first joint's section vertex to the second's.
// A closed section's piece that runs past the last vertex wraps round to the
// first; joints on no vertex, or past the section, give no piece (false).
// With a stride above 1 only every stride-th vertex and the last are taken.
bool CollectComboPiece(const tPolyline<cVertex>& section, const tPolyline<cVertex>& joints, std::uint32_t k,
                       bool closed, std::vector<const cVertex*>& piece, std::uint32_t stride = 1);

// Piece k becomes the better of a line and an arc fitted to it: an arc only
// when it fits better than the line and its points span at least 60 degrees.
// False, with the record unchanged, when neither fits or the piece is empty.
bool FitComboSegmentAuto(const tPolyline<cVertex>& section, const tPolyline<cVertex>& joints,
                         tComboSegments& segments, std::uint32_t k, bool closed, std::uint32_t stride = 1);
// How many times over the pieces may cover the section (and joints) before
// they are fitted on spaced vertices.
inline constexpr std::uint64_t kComboFitPasses = 4;
// Every piece, each attempted; true only when all fitted (and at once for a
// single joint).
bool FitAllComboSegments(const tPolyline<cVertex>& section, const tPolyline<cVertex>& joints,
                         tComboSegments& segments, bool closed);

// Record k becomes the line (arc), its ends swapped when joint k lies nearer
// the end than the start so the record runs along the section. False only
// for a record or joint index out of range.
bool SetComboSegmentLineRecord(tComboSegments& segments, const tPolyline<cVertex>& joints, std::uint32_t k,
                               const double start[3], const double end[3]);
bool SetComboSegmentArcRecord(tComboSegments& segments, const tPolyline<cVertex>& joints, std::uint32_t k,
                              const double start[3], const double interior[3], const double end[3],
                              const double centre[3], double radius);
// A new line record before record k (at the end for k past the list).
void InsertComboLineRecord(tComboSegments& segments, std::uint32_t k, const cVertex& p, const cVertex& q);

// Interior joints take the index of their nearest section vertex; their
// positions stay.
void AssignJointIndices(tPolyline<cVertex>& joints, const tPolyline<cVertex>& section);

// Rotates a section of more than 2 vertices to start just after its widest
// gap when that gap is wider than the one from its last vertex to its first.
void OpenAtLargestGap(tPolyline<cVertex>& section);

// Makes consecutive records meet (and the last meet the first when closed).
void SolveComboJoints(tComboSegments& segments, bool closed);
void SolveLineLineJoint(tComboSegment& first, tComboSegment& second);
// The line before the arc.
void SolveLineArcJoint(tComboSegment& line, tComboSegment& arc);
// The arc before the line.
void SolveArcLineJoint(tComboSegment& line, tComboSegment& arc);
void SolveArcArcJoint(tComboSegment& first, tComboSegment& second);
