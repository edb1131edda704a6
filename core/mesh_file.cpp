#include "core/mesh_file.h"

#include "core/bin_stream.h"
#include "core/mesh.h"
#include "core/progress.h"
#include "platform/win32/codepage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace
{

constexpr std::uint32_t kPositionBytes = 12;
constexpr std::uint32_t kColourBytes = 3;
constexpr std::uint32_t kTriangleBytes = 24;

void PutU64(std::uint8_t* at, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t GetU64(const std::uint8_t* at)
{
    std::uint64_t v = 0;
    for (int i = 0; i < 8; ++i)
        v |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    return v;
}

void PutFloat(std::uint8_t* at, float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

float GetFloat(const std::uint8_t* at)
{
    std::uint32_t bits = at[0] | (static_cast<std::uint32_t>(at[1]) << 8) | (static_cast<std::uint32_t>(at[2]) << 16) |
                         (static_cast<std::uint32_t>(at[3]) << 24);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

bool ReadU64(IBinStream* stream, std::uint64_t& value)
{
    std::uint8_t bytes[8];
    if (!stream->Read(bytes, 8))
        return false;
    value = GetU64(bytes);
    return true;
}

bool WriteU64(IBinStream* stream, std::uint64_t value)
{
    std::uint8_t bytes[8];
    PutU64(bytes, value);
    return stream->Write(bytes, 8);
}

// The bytes left in the stream when it can tell (a file); none otherwise (a
// pipe, any other stream), and then the blocks are read in steps and a lying
// count fails at its first missing step.
std::optional<std::uint64_t> RemainingBytes(IBinStream* stream)
{
    auto* file = dynamic_cast<cBINFile*>(stream);
    if (file == nullptr || file->GetFile() == nullptr)
        return std::nullopt;
    std::FILE* f = file->GetFile();
    off_t here = ::ftello(f);
    if (here < 0 || ::fseeko(f, 0, SEEK_END) != 0)
        return std::nullopt;
    off_t end = ::ftello(f);
    if (::fseeko(f, here, SEEK_SET) != 0 || end < here)
        return std::nullopt;
    return static_cast<std::uint64_t>(end - here);
}

// A count that a well-formed block of recordSize-byte records can have: not
// 0, one the mesh can index, and (where the stream knows) within the bytes
// left. known is set when the bytes were there to check against.
bool CountFits(IBinStream* stream, std::uint64_t count, std::uint64_t recordSize, bool& known)
{
    known = false;
    if (count == 0 || count > kMeshFileMaxRecords)
        return false;
    std::optional<std::uint64_t> remaining = RemainingBytes(stream);
    known = remaining.has_value();
    return !remaining || count <= *remaining / recordSize;
}

// Records are read this many at a time: one stream read per step, and the
// content grows only by what has arrived.
constexpr std::uint32_t kReadStep = 4096;

bool ReportAndCheckCancel(IProcProgress& progress, std::uint32_t i, float position)
{
    return i % kProgressStride == 0 && ReportProgressAndCheckCancel(progress, position);
}

// A block: its u64 record count, then encode(i, buffer) -> size for every
// record, reporting record i + the range start. Nothing is written for an
// empty block.
template <class Encode>
bool WriteBlock(IBinStream* stream, std::uint32_t count, IProcProgress* progress, Encode&& encode)
{
    if (stream == nullptr || count == 0)
        return false;
    if (!WriteU64(stream, count))
        return false;
    IProcProgress& report = *ProgressOrNull(progress);
    const float start = report.GetRangeStart();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        std::uint8_t record[kTriangleBytes];
        const std::uint32_t size = encode(i, record);
        if (!stream->Write(record, size))
            return false;
        if (ReportAndCheckCancel(report, i, static_cast<float>(i) + start))
            return false;
    }
    return true;
}

} // namespace

bool WriteMeshHeader(IBinStream* stream)
{
    if (stream == nullptr)
        return false;
    std::uint8_t header[kMeshFileHeaderSize] = {};
    PutU64(header, kMeshFileMagic);
    header[8] = static_cast<std::uint8_t>(kMeshFileMajor);
    header[9] = static_cast<std::uint8_t>(kMeshFileMajor >> 8);
    header[10] = static_cast<std::uint8_t>(kMeshFileMinor);
    header[11] = static_cast<std::uint8_t>(kMeshFileMinor >> 8);
    header[12] = 0; // positions only
    return stream->Write(header, kMeshFileHeaderSize);
}

bool HasOnlyFinitePositions(cMesh& mesh)
{
    bool finite = true;
    mesh.ForEachVertex([&finite](const cVertex& v) {
        finite = finite && std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
    });
    return finite;
}

bool WriteMeshVertices(cMesh& mesh, IBinStream* stream, IProcProgress* progress)
{
    // The reader refuses non-finite positions: writing one would save a
    // mesh that can never be read back.
    if (!HasOnlyFinitePositions(mesh))
        return false;
    return WriteBlock(stream, mesh.GetVertexCount(), progress, [&mesh](std::uint32_t i, std::uint8_t* record) {
        const cVertex* v = mesh.GetVertex(i);
        PutFloat(record, v->x);
        PutFloat(record + 4, v->y);
        PutFloat(record + 8, v->z);
        return kPositionBytes;
    });
}

bool WriteMeshTriangles(cMesh& mesh, IBinStream* stream, IProcProgress* progress)
{
    return WriteBlock(stream, mesh.GetTriangleCount(), progress, [&mesh](std::uint32_t i, std::uint8_t* record) {
        const cMeshTriangle* t = mesh.GetTriangle(i);
        for (int k = 0; k < 3; ++k)
            PutU64(record + 8 * k, t->vertexIndex[k]);
        return kTriangleBytes;
    });
}

namespace
{

enum class eReadOutcome
{
    complete,
    foreignHeader,    // nothing was decided about the mesh yet
    failed,
    cancelledInTriangles // the content holds what was read so far
};

eReadOutcome ReadContent(IBinStream* stream, IProcProgress* progress, stMeshFileContent& content)
{
    content = stMeshFileContent{};
    if (stream == nullptr)
        return eReadOutcome::foreignHeader;
    std::uint8_t header[kMeshFileHeaderSize];
    if (!stream->Read(header, kMeshFileHeaderSize))
        return eReadOutcome::foreignHeader;
    const std::uint16_t major = static_cast<std::uint16_t>(header[8] | (header[9] << 8));
    const std::uint16_t minor = static_cast<std::uint16_t>(header[10] | (header[11] << 8));
    if (GetU64(header) != kMeshFileMagic || major != kMeshFileMajor || minor != kMeshFileMinor)
        return eReadOutcome::foreignHeader;
    content.withColours = header[12] != 0;

    std::uint64_t vertexCount = 0;
    bool known = false;
    const std::uint32_t vertexBytes = kPositionBytes + (content.withColours ? kColourBytes : 0);
    if (!ReadU64(stream, vertexCount) || !CountFits(stream, vertexCount, vertexBytes, known))
        return eReadOutcome::failed;
    const auto n = static_cast<std::uint32_t>(vertexCount);
    if (known)
    {
        content.positions.reserve(3 * static_cast<std::size_t>(n));
        if (content.withColours)
            content.colours.reserve(3 * static_cast<std::size_t>(n));
    }

    IProcProgress& report = *ProgressOrNull(progress);
    report.SetRange(0.0f, 3.0f * static_cast<float>(n));
    std::vector<std::uint8_t> step(static_cast<std::size_t>(kReadStep) * kTriangleBytes);
    for (std::uint32_t first = 0; first < n; first += kReadStep)
    {
        const std::uint32_t count = std::min(kReadStep, n - first);
        if (!stream->Read(step.data(), count * vertexBytes))
            return eReadOutcome::failed;
        for (std::uint32_t k = 0; k < count; ++k)
        {
            const std::uint8_t* record = step.data() + static_cast<std::size_t>(k) * vertexBytes;
            const float p[3] = {GetFloat(record), GetFloat(record + 4), GetFloat(record + 8)};
            // A NaN or infinite coordinate would make every box, normal and
            // search tree built over the mesh meaningless.
            if (!std::isfinite(p[0]) || !std::isfinite(p[1]) || !std::isfinite(p[2]))
                return eReadOutcome::failed;
            content.positions.insert(content.positions.end(), p, p + 3);
            if (content.withColours)
                content.colours.insert(content.colours.end(), record + kPositionBytes,
                                       record + kPositionBytes + kColourBytes);
            const std::uint32_t i = first + k;
            if (ReportAndCheckCancel(report, i, static_cast<float>(i)))
                return eReadOutcome::failed;
        }
    }

    std::uint64_t triangleCount = 0;
    if (!ReadU64(stream, triangleCount) || !CountFits(stream, triangleCount, kTriangleBytes, known))
        return eReadOutcome::failed;
    const auto t = static_cast<std::uint32_t>(triangleCount);
    if (known)
        content.corners.reserve(3 * static_cast<std::size_t>(t));
    const float start = report.GetRangeStart();
    const float end = report.GetRangeEnd();
    for (std::uint32_t first = 0; first < t; first += kReadStep)
    {
        const std::uint32_t count = std::min(kReadStep, t - first);
        if (!stream->Read(step.data(), count * kTriangleBytes))
            return eReadOutcome::failed;
        for (std::uint32_t k = 0; k < count; ++k)
        {
            const std::uint8_t* record = step.data() + static_cast<std::size_t>(k) * kTriangleBytes;
            const std::uint64_t corners[3] = {GetU64(record), GetU64(record + 8), GetU64(record + 16)};
            // Every index must name a vertex of the block: a truncated or
            // out-of-range index would have later code read beyond the vertices.
            for (std::uint64_t corner : corners)
                if (corner >= n)
                    return eReadOutcome::failed;
            // A triangle with a repeated corner is no triangle: skipped as the
            // mesh itself refuses it.
            if (corners[0] != corners[1] && corners[1] != corners[2] && corners[0] != corners[2])
                for (std::uint64_t corner : corners)
                    content.corners.push_back(static_cast<std::uint32_t>(corner));
            const std::uint32_t i = first + k;
            if (ReportAndCheckCancel(report, i,
                                     start + static_cast<float>(i) * (end - start) / static_cast<float>(t)))
                return eReadOutcome::cancelledInTriangles;
        }
    }
    // Triangles are what the file is for: one whose every triangle was
    // skipped would give a mesh that cannot even be written back.
    if (content.corners.empty())
        return eReadOutcome::failed;
    return eReadOutcome::complete;
}

// Moves the content into the emptied mesh, without its update; false (mesh
// empty) when memory runs out. The positions are let go once they are in
// the mesh, so the peak holds the mesh and the triangle corners, not both
// copies of the vertices as well.
bool AddContent(cMesh& mesh, stMeshFileContent&& content)
{
    stMeshFileContent taken = std::move(content);
    mesh.Clear();
    const std::size_t n = taken.positions.size() / 3;
    for (std::size_t i = 0; i < n; ++i)
    {
        const std::uint32_t index = mesh.AddVertex(&taken.positions[3 * i]);
        if (index != i)
        {
            mesh.Clear();
            return false;
        }
        if (taken.withColours)
            std::memcpy(mesh.GetVertex(index)->extra, &taken.colours[3 * i], kColourBytes);
    }
    std::vector<float>().swap(taken.positions);
    std::vector<std::uint8_t>().swap(taken.colours);
    for (std::size_t i = 0; i + 2 < taken.corners.size(); i += 3)
        if (mesh.AddTriangle(taken.corners[i], taken.corners[i + 1], taken.corners[i + 2]) == nullptr)
        {
            mesh.Clear();
            return false;
        }
    return true;
}

} // namespace

bool ReadMeshContent(IBinStream* stream, IProcProgress* progress, stMeshFileContent& content)
{
    if (ReadContent(stream, progress, content) == eReadOutcome::complete)
        return true;
    content = stMeshFileContent{};
    return false;
}

bool FillMesh(cMesh& mesh, stMeshFileContent&& content)
{
    if (!AddContent(mesh, std::move(content)))
        return false;
    mesh.Update();
    return true;
}

bool ReadMesh(cMesh& mesh, IBinStream* stream, IProcProgress* progress)
{
    stMeshFileContent content;
    switch (ReadContent(stream, progress, content))
    {
    case eReadOutcome::complete:
        return FillMesh(mesh, std::move(content));
    case eReadOutcome::foreignHeader:
        return false;
    case eReadOutcome::failed:
        mesh.Clear();
        return false;
    case eReadOutcome::cancelledInTriangles:
        AddContent(mesh, std::move(content));
        return false;
    }
    return false;
}

bool LoadMeshFile(cMesh& mesh, const wchar_t* path, IProcProgress* progress)
{
    if (path == nullptr)
        return false;
    std::FILE* file = std::fopen(win32::WideToUtf8(path).c_str(), "rb");
    if (file == nullptr)
        return false;
    cBINFile stream(file);
    stream.Rewind();
    return ReadMesh(mesh, &stream, progress);
}
