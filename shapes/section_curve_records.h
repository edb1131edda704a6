// Section-curve records in the document: the class id, the part every kind
// shares (section polylines with their frames, the curve frame, the cached
// start, end and mid points, the curve id) and each kind's own tail. Values
// are raw little-endian fields without lengths or tags, so a reader has to
// understand every field to find the next record.
//
// Readers trust no count: elements are read in bounded chunks and stored as
// they arrive, so a count larger than the bytes that remain costs no more
// memory than those bytes; sketches nest at most kMaxSketchDepth deep.
#pragma once

#include "core/bin_stream.h"
#include "core/section_curve.h"

#include <cstdint>
#include <memory>

inline constexpr std::uint32_t kMaxSketchDepth = 16;
// A record with no polylines: N, the frame, three points and the id.
inline constexpr std::uint32_t kSectionCurveBaseSize = 4 + 96 + 72 + 4;

// Writes fields in order and remembers the first failure; later fields are
// skipped, so a failed record stops where the stream refused.
class cRecordWriter
{
public:
    explicit cRecordWriter(IBinStream& stream) : m_stream(stream) {}
    void PutBytes(const void* data, std::uint32_t size);
    template <class T> void Put(const T& value) { PutBytes(&value, sizeof value); }
    void PutGuid(const GUID& id);
    void PutFrame(const double frame[12]) { PutBytes(frame, 12 * sizeof(double)); }
    void PutPoint(const double p[3]) { PutBytes(p, 3 * sizeof(double)); }
    // Positions only (x, y, z floats), with directions (normal slot) when asked.
    void PutPositions(const tPolyline<cVertex>& points, bool withDirections);
    bool Ok() const { return m_ok; }

private:
    IBinStream& m_stream;
    bool m_ok = true;
};

// Reads fields in order; false once the stream ran short. `depth` counts the
// sketch records the reader is inside of.
class cRecordReader
{
public:
    explicit cRecordReader(IBinStream& stream, std::uint32_t depth = 0) : m_stream(stream), m_depth(depth) {}
    bool GetBytes(void* data, std::uint32_t size);
    template <class T> bool Get(T& value) { return GetBytes(&value, sizeof value); }
    bool GetGuid(GUID& id);
    bool GetFrame(double frame[12]) { return GetBytes(frame, 12 * sizeof(double)); }
    bool GetPoint(double p[3]) { return GetBytes(p, 3 * sizeof(double)); }
    // Appends `count` positions (and directions when asked) as vertices
    // whose other fields are 0.
    bool GetPositions(std::uint32_t count, tPolyline<cVertex>& out, bool withDirections);
    IBinStream& Stream() { return m_stream; }
    std::uint32_t Depth() const { return m_depth; }

private:
    IBinStream& m_stream;
    std::uint32_t m_depth;
};

// The shared part of every record (after the class id).
void WriteSectionCurveBase(cRecordWriter& writer, const ST_ISectionCurve& curve);
// Appends the polylines read to the curve's section polylines and replaces
// its frame, cached points and id.
bool ReadSectionCurveBase(cRecordReader& reader, ST_ISectionCurve& curve);

// A curve's whole record (class id first) and the matching read of a record
// whose class id comes first. The read makes the curve by its class id and
// answers null for a short or damaged record or a class id of no kind.
bool WriteSectionCurveRecord(IBinStream& stream, const ST_ISectionCurve& curve);
std::unique_ptr<ST_ISectionCurve> ReadSectionCurveRecord(cRecordReader& reader, std::uint32_t major,
                                                         std::uint32_t minor);

// The depth-aware read of a curve's record after its class id: sketches read
// their sub-curves one level deeper. Kinds read through this.
bool ReadSectionCurveBody(ST_ISectionCurve& curve, cRecordReader& reader, std::uint32_t major, std::uint32_t minor);
