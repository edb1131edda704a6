#include "shapes/section_curve_records.h"

#include "shapes/dezaz_wire.h"
#include "shapes/section_curve_factory.h"
#include "shapes/sketch_curve.h"

#include <algorithm>
#include <cstring>

namespace
{

// Positions read per stream call: large enough to be quick, small enough
// that a false count costs little before the stream runs out.
constexpr std::uint32_t kPositionsPerRead = 1024;

} // namespace

void cRecordWriter::PutBytes(const void* data, std::uint32_t size)
{
    if (m_ok)
        m_ok = m_stream.Write(data, size);
}

void cRecordWriter::PutGuid(const GUID& id)
{
    std::uint8_t bytes[16];
    std::memcpy(bytes, &id.Data1, 4);
    std::memcpy(bytes + 4, &id.Data2, 2);
    std::memcpy(bytes + 6, &id.Data3, 2);
    std::memcpy(bytes + 8, id.Data4, 8);
    PutBytes(bytes, 16);
}

void cRecordWriter::PutPositions(const tPolyline<cVertex>& points, bool withDirections)
{
    const std::uint32_t stride = withDirections ? 6 : 3;
    std::vector<float> block;
    block.reserve(static_cast<std::size_t>(std::min(points.GetVertexCount(), kPositionsPerRead)) * stride);
    const auto flush = [&] {
        if (!block.empty())
            PutBytes(block.data(), static_cast<std::uint32_t>(block.size() * sizeof(float)));
        block.clear();
    };
    for (const cVertex& v : points.vertices)
    {
        block.insert(block.end(), {v.x, v.y, v.z});
        if (withDirections)
            block.insert(block.end(), {v.nx, v.ny, v.nz});
        if (block.size() >= static_cast<std::size_t>(kPositionsPerRead) * stride)
            flush();
    }
    flush();
}

bool cRecordReader::GetBytes(void* data, std::uint32_t size)
{
    return m_stream.Read(data, size);
}

bool cRecordReader::GetGuid(GUID& id)
{
    std::uint8_t bytes[16];
    if (!GetBytes(bytes, 16))
        return false;
    std::memcpy(&id.Data1, bytes, 4);
    std::memcpy(&id.Data2, bytes + 4, 2);
    std::memcpy(&id.Data3, bytes + 6, 2);
    std::memcpy(id.Data4, bytes + 8, 8);
    return true;
}

bool cRecordReader::GetPositions(std::uint32_t count, tPolyline<cVertex>& out, bool withDirections)
{
    const std::uint32_t stride = withDirections ? 6 : 3;
    std::vector<float> block;
    while (count > 0)
    {
        const std::uint32_t n = std::min(count, kPositionsPerRead);
        block.resize(static_cast<std::size_t>(n) * stride);
        if (!GetBytes(block.data(), static_cast<std::uint32_t>(block.size() * sizeof(float))))
            return false;
        for (std::uint32_t i = 0; i < n; ++i)
        {
            const float* p = block.data() + static_cast<std::size_t>(i) * stride;
            cVertex v{};
            v.x = p[0];
            v.y = p[1];
            v.z = p[2];
            if (withDirections)
            {
                v.nx = p[3];
                v.ny = p[4];
                v.nz = p[5];
            }
            out.AddVertex(v);
        }
        count -= n;
    }
    return true;
}

void WriteSectionCurveBase(cRecordWriter& writer, const ST_ISectionCurve& curve)
{
    writer.Put(curve.sections.GetCount());
    for (std::uint32_t i = 0; i < curve.sections.GetCount(); ++i)
    {
        const tFramePolyline<cVertex>& polyline = curve.sections[i];
        writer.Put(polyline.GetVertexCount());
        writer.PutFrame(polyline.frame);
        writer.PutPositions(polyline, false);
    }
    writer.PutFrame(curve.frame);
    writer.PutPoint(curve.cachedStart);
    writer.PutPoint(curve.cachedEnd);
    writer.PutPoint(curve.cachedMid);
    writer.Put(curve.id);
}

bool ReadSectionCurveBase(cRecordReader& reader, ST_ISectionCurve& curve)
{
    std::uint32_t count = 0;
    if (!reader.Get(count))
        return false;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        std::uint32_t vertices = 0;
        tFramePolyline<cVertex> polyline;
        if (!reader.Get(vertices) || !reader.GetFrame(polyline.frame) || !reader.GetPositions(vertices, polyline, false))
            return false;
        polyline.userData = 1;
        curve.sections.items.push_back(std::move(polyline));
    }
    double frame[12];
    double start[3], end[3], mid[3];
    std::uint32_t id = 0;
    if (!reader.GetFrame(frame) || !reader.GetPoint(start) || !reader.GetPoint(end) || !reader.GetPoint(mid) ||
        !reader.Get(id))
        return false;
    std::copy(frame, frame + 12, curve.frame);
    std::copy(start, start + 3, curve.cachedStart);
    std::copy(end, end + 3, curve.cachedEnd);
    std::copy(mid, mid + 3, curve.cachedMid);
    curve.id = id;
    return true;
}

bool WriteSectionCurveRecord(IBinStream& stream, const ST_ISectionCurve& curve)
{
    return curve.Write(stream);
}

bool ReadSectionCurveBody(ST_ISectionCurve& curve, cRecordReader& reader, std::uint32_t major, std::uint32_t minor)
{
    if (auto* sketch = dynamic_cast<ST_TSketch<Dezaz_Wire>*>(&curve))
        return sketch->ReadAtDepth(reader, major, minor);
    return curve.Read(reader.Stream(), major, minor);
}

std::unique_ptr<ST_ISectionCurve> ReadSectionCurveRecord(cRecordReader& reader, std::uint32_t major,
                                                         std::uint32_t minor)
{
    GUID classId{};
    if (!reader.GetGuid(classId))
        return nullptr;
    std::unique_ptr<ST_ISectionCurve> curve = CreateSectionCurveByClassGuid(classId);
    if (!curve || !ReadSectionCurveBody(*curve, reader, major, minor))
        return nullptr;
    return curve;
}
