#include "platform/host/document_format.h"

#include "platform/host/geometry_records.h"
#include "platform/host/side_by_side.h"
#include "platform/host/file_range_archive.h"
#include "platform/host/span_archive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <system_error>
#include <new>
#include <thread>
#include <zlib.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace dezaz
{

namespace
{

enum SectionTag : int
{
    kEndSection = 0,
    kSettingsSection = 1,
    kLayersSection = 2,
    kObjectSection = 3,
    kPlugInSection = 4,
};

constexpr std::uint8_t kLayerVisible = 1;
constexpr std::uint8_t kLayerLocked = 2;

// An object record from this size on is handed on as it is, not copied.
constexpr std::size_t kOwnPieceBytes = std::size_t{1} << 20;

bool WriteSection(ON_MemoryArchive& file, int tag, const ON_MemoryArchive& body)
{
    return file.WriteInt(tag) && file.WriteSize(body.Buffer().size()) &&
           file.WriteByte(body.Buffer().size(), body.Buffer().data());
}

bool WriteAttributes(ON_BinaryArchive& a, const ON_3dmObjectAttributes& at)
{
    return a.WriteUuid(at.m_uuid) && a.WriteString(at.m_name) && a.WriteInt(at.m_layer_index) &&
           a.WriteInt(static_cast<int>(at.Mode())) && a.WriteInt(static_cast<int>(at.ColorSource())) &&
           a.WriteInt(static_cast<int>(static_cast<std::uint32_t>(at.m_color))) &&
           a.WriteInt(static_cast<int>(at.ObjectDecoration()));
}

bool ReadAttributes(ON_BinaryArchive& a, ON_3dmObjectAttributes& at, int layer_count, std::wstring& error)
{
    int layer = 0, mode = 0, source = 0, colour = 0, decoration = 0;
    if (!a.ReadUuid(at.m_uuid) || !a.ReadString(at.m_name) || !a.ReadInt(&layer) || !a.ReadInt(&mode) ||
        !a.ReadInt(&source) || !a.ReadInt(&colour) || !a.ReadInt(&decoration))
    {
        error = L"an object's attributes are cut short";
        return false;
    }
    if (layer < 0 || layer >= layer_count || mode < 0 || mode > 2 || source < 0 || source > 1 || decoration < 0 ||
        decoration > 3)
    {
        error = L"an object's attributes hold values out of range";
        return false;
    }
    at.m_layer_index = layer;
    at.SetMode(static_cast<ON_3dmObjectAttributes::object_mode>(mode));
    at.SetColorSource(static_cast<ON_3dmObjectAttributes::color_source>(source));
    at.m_color = ON_Color(static_cast<std::uint32_t>(colour));
    at.SetObjectDecoration(static_cast<ON_3dmObjectAttributes::object_decoration>(decoration));
    return true;
}

bool IsKnownUnitSystem(int units)
{
    switch (static_cast<DezazUnitSystem>(units))
    {
    case DezazUnitSystem::millimeters:
    case DezazUnitSystem::centimeters:
    case DezazUnitSystem::meters:
    case DezazUnitSystem::inches:
    case DezazUnitSystem::feet:
        return true;
    }
    return false;
}

template <class Archive> bool ReadSettings(Archive& a, CDezazDoc& doc, std::wstring& error)
{
    double tolerance = 0.0;
    int units = 0;
    if (!a.ReadDouble(&tolerance) || !a.ReadInt(&units))
    {
        error = L"the document settings are cut short";
        return false;
    }
    if (!std::isfinite(tolerance) || tolerance <= 0.0 || !IsKnownUnitSystem(units))
    {
        error = L"the document settings hold values out of range";
        return false;
    }
    doc.SetAbsoluteTolerance(tolerance);
    doc.SetUnitSystem(static_cast<DezazUnitSystem>(units));
    return true;
}

template <class Archive> bool ReadLayers(Archive& a, CDezazDoc& doc, std::wstring& error)
{
    int count = 0;
    if (!a.ReadInt(&count) || count <= 0)
    {
        error = L"the layer table is empty or cut short";
        return false;
    }
    // A layer takes at least 16 + 4 + 4 + 1 bytes: a count beyond what is
    // left cannot be genuine.
    if (static_cast<std::size_t>(count) > a.BytesLeft() / 25)
    {
        error = L"the layer table is cut short";
        return false;
    }
    std::vector<ON_Layer> layers;
    layers.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
    {
        ON_Layer layer;
        ON_wString name;
        int colour = 0;
        std::uint8_t flags = 0;
        if (!a.ReadUuid(layer.m_layer_id) || !a.ReadString(name) || !a.ReadInt(&colour) || !a.ReadByte(1, &flags))
        {
            error = L"the layer table is cut short";
            return false;
        }
        // A name is looked up as C text, so a NUL inside it would cut it short.
        if (name.IsEmpty() || name.Str().find(L'\0') != std::wstring::npos)
        {
            error = L"a layer has no name, or a NUL inside its name";
            return false;
        }
        for (const ON_Layer& other : layers)
            if (other.Name().EqualNoCase(name) || other.m_layer_id == layer.m_layer_id)
            {
                error = L"two layers have the same name or id";
                return false;
            }
        layer.SetName(name);
        layer.SetColor(ON_Color(static_cast<std::uint32_t>(colour)));
        layer.SetVisible((flags & kLayerVisible) != 0);
        layer.SetLocked((flags & kLayerLocked) != 0);
        layers.push_back(layer);
    }
    doc.LayerTable().Assign(std::move(layers));
    return true;
}

template <class Archive> bool ReadObject(Archive& a, CDezazDoc& doc, std::wstring& error)
{
    int type = 0;
    ON_3dmObjectAttributes attributes;
    ON_UUID record_id = ON_nil_uuid;
    if (!a.ReadInt(&type) || !ReadAttributes(a, attributes, doc.LayerTable().LayerCount(), error))
    {
        if (error.empty())
            error = L"an object record is cut short";
        return false;
    }
    if (!a.ReadUuid(record_id))
    {
        error = L"an object record is cut short";
        return false;
    }
    const GeometryRecord* record = FindGeometryRecord(record_id);
    if (!record || static_cast<int>(record->type) != type)
    {
        error = L"an object has geometry of a kind this host does not know";
        return false;
    }
    std::unique_ptr<ON_Geometry> geometry = record->read(a, error);
    if (!geometry)
        return false;
    if (a.BytesLeft() != 0)
    {
        error = L"an object record holds bytes its geometry does not account for";
        return false;
    }
    if (ON_UuidIsNil(attributes.m_uuid) || doc.LookupObject(attributes.m_uuid))
    {
        error = L"two objects have the same id";
        return false;
    }
    const ON_UUID id = attributes.m_uuid;
    CDezazObject* added = doc.AddObject(MakeDocumentObject(record->type, std::move(geometry), attributes));
    if (!added || added->ModelObjectId() != id)
    {
        error = L"an object could not be added";
        return false;
    }
    return true;
}

} // namespace

namespace
{

// Bytes each thread of a split checksum takes at least: below this a
// thread's start costs more than its share.
constexpr std::size_t kCrcPieceBytes = std::size_t{32} << 20;

#if defined(__x86_64__)
// The CRC register (not inverted) carried over 64 bytes and more, a whole
// number of 16-byte blocks, by carry-less multiplication: four 128-bit lanes
// each folded over the 64 bytes ahead of it, then folded into one, the last
// 128 bits reduced to 64 and to 32 (Barrett). The constants are powers of x
// modulo the CRC-32 polynomial, bit-reflected: x^(4*128+32) and x^(4*128-32)
// for four lanes, x^(128+32) and x^(128-32) for one, x^64, and the
// polynomial with its Barrett quotient.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Load16(const std::uint8_t* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// The lane carried over 128 bits by the constants' pair and added to the
// bytes there.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i lane, __m128i ahead, __m128i k)
{
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x00), _mm_clmulepi64_si128(lane, k, 0x11)), ahead);
}

__attribute__((target("pclmul,sse4.1"))) std::uint32_t Crc32Folded(std::uint32_t reg, const std::uint8_t* bytes,
                                                                     std::size_t size)
{
    const __m128i fourLanes = _mm_set_epi64x(0x1C6E41596, 0x154442BD4);
    const __m128i oneLane = _mm_set_epi64x(0x0CCAA009E, 0x1751997D0);
    const __m128i to64 = _mm_set_epi64x(0, 0x163CD6124);
    const __m128i barrett = _mm_set_epi64x(0x1F7011641, 0x1DB710641);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    __m128i x1 = _mm_xor_si128(Load16(bytes), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x2 = Load16(bytes + 16), x3 = Load16(bytes + 32), x4 = Load16(bytes + 48);
    bytes += 64;
    size -= 64;
    for (; size >= 64; bytes += 64, size -= 64)
    {
        x1 = Fold(x1, Load16(bytes), fourLanes);
        x2 = Fold(x2, Load16(bytes + 16), fourLanes);
        x3 = Fold(x3, Load16(bytes + 32), fourLanes);
        x4 = Fold(x4, Load16(bytes + 48), fourLanes);
    }
    x1 = Fold(Fold(Fold(x1, x2, oneLane), x3, oneLane), x4, oneLane);
    for (; size >= 16; bytes += 16, size -= 16)
        x1 = Fold(x1, Load16(bytes), oneLane);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, oneLane, 0x10));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), _mm_clmulepi64_si128(_mm_and_si128(x1, low32), to64, 0x00));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}

// Whether this processor multiplies without carries (asked once, on first use).
bool FoldsCrc()
{
    static const bool folds =
        (__builtin_cpu_init(), __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1"));
    return folds;
}
#endif

// CRC-32 (IEEE 802.3, reflected) continued from `crc` over the bytes: 64
// bytes a step by carry-less multiplication where the processor has it
// (several times zlib's speed: a save's gigabyte went through here on the
// thread that makes the bytes), the rest by zlib's, which takes several
// bytes a step with no table lookup per byte. No bytes leave the checksum as
// it is (zlib starts afresh when handed no buffer).
std::uint32_t Crc32InOnePass(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size)
{
    if (size == 0)
        return crc;
#if defined(__x86_64__)
    if (size >= 64 && FoldsCrc())
    {
        const std::size_t folded = size - size % 16;
        crc = ~Crc32Folded(~crc, bytes, folded);
        bytes += folded;
        size -= folded;
        if (size == 0)
            return crc;
    }
#endif
    return static_cast<std::uint32_t>(::crc32_z(crc, bytes, size));
}

unsigned CrcPiecesFor(std::size_t size)
{
    const std::size_t threads = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min(threads, std::max<std::size_t>(size / kCrcPieceBytes, 1)));
}

} // namespace

std::uint32_t Crc32InPieces(const std::uint8_t* bytes, std::size_t size, unsigned pieces)
{
    pieces = static_cast<unsigned>(std::clamp<std::size_t>(pieces, 1, std::max<std::size_t>(size, 1)));
    if (pieces == 1)
        return Crc32InOnePass(0, bytes, size);
    const auto begin = [&](unsigned k)
    { return size / pieces * k + std::min<std::size_t>(k, size % pieces); };
    std::vector<std::uint32_t> crcs(pieces, 0);
    const auto take = [&](unsigned k)
    { crcs[k] = Crc32InOnePass(0, bytes + begin(k), begin(k + 1) - begin(k)); };
    RunSideBySide(pieces, take);
    std::uint32_t crc = crcs[0];
    for (unsigned k = 1; k < pieces; ++k)
        crc = Crc32Combine(crc, crcs[k], begin(k + 1) - begin(k));
    return crc;
}

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size)
{
    return Crc32InPieces(bytes, size, CrcPiecesFor(size));
}

std::uint32_t Crc32Continue(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size)
{
    const unsigned pieces = CrcPiecesFor(size);
    if (pieces == 1)
        return Crc32InOnePass(crc, bytes, size);
    return Crc32Combine(crc, Crc32InPieces(bytes, size, pieces), size);
}

namespace
{

// The CRC register after `length` zero bytes, as a matrix over GF(2) applied
// to the register's bits (columns are the images of single bits).
using tGf2Matrix = std::array<std::uint32_t, 32>;

std::uint32_t Gf2Times(const tGf2Matrix& m, std::uint32_t v)
{
    std::uint32_t sum = 0;
    for (std::size_t i = 0; v; v >>= 1, ++i)
        if (v & 1)
            sum ^= m[i];
    return sum;
}

tGf2Matrix Gf2Square(const tGf2Matrix& m)
{
    tGf2Matrix square{};
    for (std::size_t i = 0; i < 32; ++i)
        square[i] = Gf2Times(m, m[i]);
    return square;
}

} // namespace

std::uint32_t Crc32Combine(std::uint32_t crc_a, std::uint32_t crc_b, std::uint64_t length_b)
{
    if (length_b == 0)
        return crc_a;
    // The operator of one zero bit, squared to two and to four bits; the
    // loop squares on to one byte, two, four... and applies the powers of
    // two that make up the length.
    tGf2Matrix odd{};
    odd[0] = 0xEDB88320u;
    for (std::size_t i = 1; i < 32; ++i)
        odd[i] = std::uint32_t{1} << (i - 1);
    tGf2Matrix even = Gf2Square(odd); // two zero bits
    odd = Gf2Square(even);            // four
    // crc_a moved past length_b zero bytes, then the bytes of b added.
    std::uint32_t a = crc_a;
    do
    {
        even = Gf2Square(odd);
        if (length_b & 1)
            a = Gf2Times(even, a);
        length_b >>= 1;
        if (!length_b)
            break;
        odd = Gf2Square(even);
        if (length_b & 1)
            a = Gf2Times(odd, a);
        length_b >>= 1;
    } while (length_b);
    return a ^ crc_b;
}

bool CheckDocumentObjects(const CDezazDoc& doc, std::wstring& error)
{
    for (const CDezazObject* object : doc.Objects())
        if (!object->Geometry() || !FindGeometryRecordFor(*object->Geometry()))
        {
            error = L"The object " + ON_UuidToString(object->ModelObjectId()).Str() +
                    L" has geometry this host cannot save.";
            return false;
        }
    return true;
}

bool EncodeDocumentStart(const CDezazDoc& doc, std::vector<std::uint8_t>& bytes, std::wstring& error)
{
    ON_MemoryArchive file;
    bool ok = file.WriteByte(sizeof kDocumentMagic, kDocumentMagic) && file.WriteInt(kDocumentFormatVersion);

    ON_MemoryArchive settings;
    ok = ok && settings.WriteDouble(doc.AbsoluteTolerance()) && settings.WriteInt(static_cast<int>(doc.UnitSystem())) &&
         WriteSection(file, kSettingsSection, settings);

    ON_MemoryArchive layers;
    ok = ok && layers.WriteInt(doc.LayerTable().LayerCount());
    for (const ON_Layer& layer : doc.LayerTable().Layers())
    {
        const std::uint8_t flags = (layer.IsVisible() ? kLayerVisible : 0) | (layer.IsLocked() ? kLayerLocked : 0);
        ok = ok && layers.WriteUuid(layer.m_layer_id) && layers.WriteString(layer.Name()) &&
             layers.WriteInt(static_cast<int>(static_cast<std::uint32_t>(layer.Color()))) && layers.WriteByte(1, &flags);
    }
    ok = ok && WriteSection(file, kLayersSection, layers);
    if (!ok)
    {
        error = L"The document could not be encoded.";
        return false;
    }
    bytes = file.ReleaseBuffer();
    return true;
}

bool WriteObjectBody(const CDezazObject& object, ON_BinaryArchive& archive)
{
    const GeometryRecord* record = object.Geometry() ? FindGeometryRecordFor(*object.Geometry()) : nullptr;
    return record && archive.WriteInt(static_cast<int>(record->type)) && WriteAttributes(archive, object.Attributes()) &&
           archive.WriteUuid(record->id) && record->write(*object.Geometry(), archive);
}

std::array<std::uint8_t, kObjectSectionHeaderBytes> ObjectSectionHeader(std::uint64_t body_bytes)
{
    ON_MemoryArchive header;
    header.WriteInt(kObjectSection);
    header.WriteSize(static_cast<std::size_t>(body_bytes));
    std::array<std::uint8_t, kObjectSectionHeaderBytes> bytes{};
    std::memcpy(bytes.data(), header.Buffer().data(), bytes.size());
    return bytes;
}

bool EncodeDocumentHead(const CDezazDoc& doc, std::vector<std::vector<std::uint8_t>>& pieces,
                        std::wstring& error)
{
    pieces.clear();
    std::vector<std::uint8_t> start;
    if (!CheckDocumentObjects(doc, error) || !EncodeDocumentStart(doc, start, error))
        return false;
    ON_MemoryArchive file;
    bool ok = file.WriteByte(start.size(), start.data());
    for (const CDezazObject* object : doc.Objects())
    {
        ON_MemoryArchive body;
        ok = ok && WriteObjectBody(*object, body);
        if (!ok || body.Buffer().size() < kOwnPieceBytes)
        {
            ok = ok && WriteSection(file, kObjectSection, body);
            continue;
        }
        // A big record becomes a piece of its own instead of being copied
        // behind the bytes before it.
        ok = file.WriteInt(kObjectSection) && file.WriteSize(body.Buffer().size());
        pieces.push_back(file.ReleaseBuffer());
        pieces.push_back(body.ReleaseBuffer());
    }
    if (!ok)
    {
        error = L"The document could not be encoded.";
        pieces.clear();
        return false;
    }
    pieces.push_back(file.ReleaseBuffer());
    return true;
}

std::array<std::uint8_t, kPlugInSectionHeaderBytes> PlugInSectionHeader(const ON_UUID& plugin_id,
                                                                        std::uint64_t chunk_bytes)
{
    ON_MemoryArchive header;
    constexpr std::uint64_t kUuidBytes = 16;
    header.WriteInt(kPlugInSection);
    header.WriteSize(static_cast<std::size_t>(kUuidBytes + chunk_bytes));
    header.WriteUuid(plugin_id);
    std::array<std::uint8_t, kPlugInSectionHeaderBytes> bytes{};
    std::memcpy(bytes.data(), header.Buffer().data(), bytes.size());
    return bytes;
}

std::array<std::uint8_t, kEndSectionBytes> EndSection()
{
    ON_MemoryArchive end;
    end.WriteInt(kEndSection);
    end.WriteSize(0);
    std::array<std::uint8_t, kEndSectionBytes> bytes{};
    std::memcpy(bytes.data(), end.Buffer().data(), bytes.size());
    return bytes;
}

std::array<std::uint8_t, 4> ChecksumBytes(std::uint32_t crc)
{
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(crc >> (8 * i));
    return bytes;
}

bool EncodeDocumentPieces(const CDezazDoc& doc, const std::vector<DezazPlugInChunk>& chunks,
                          std::vector<std::vector<std::uint8_t>>& owned, std::vector<stByteSpan>& pieces,
                          std::wstring& error)
{
    owned.clear();
    pieces.clear();
    std::vector<std::vector<std::uint8_t>> head;
    if (!EncodeDocumentHead(doc, head, error))
        return false;
    // A plug-in's bytes stay where they are: only the header of their
    // section is written here (they can be as large as the mesh). An owned
    // buffer keeps its bytes where they are when the list of buffers grows.
    std::uint32_t crc = 0;
    const auto add = [&](const std::uint8_t* bytes, std::size_t size) {
        crc = Crc32Continue(crc, bytes, size);
        pieces.push_back({bytes, size});
    };
    const auto addOwned = [&](std::vector<std::uint8_t> bytes) {
        owned.push_back(std::move(bytes));
        add(owned.back().data(), owned.back().size());
    };
    for (std::vector<std::uint8_t>& piece : head)
        addOwned(std::move(piece));
    for (const DezazPlugInChunk& chunk : chunks)
    {
        const auto header = PlugInSectionHeader(chunk.plugin_id, chunk.bytes.size());
        addOwned({header.begin(), header.end()});
        add(chunk.bytes.data(), chunk.bytes.size());
    }
    const auto end = EndSection();
    addOwned({end.begin(), end.end()});
    const auto checksum = ChecksumBytes(crc);
    owned.emplace_back(checksum.begin(), checksum.end());
    pieces.push_back({owned.back().data(), owned.back().size()});
    return true;
}

bool EncodeDocument(const CDezazDoc& doc, const std::vector<DezazPlugInChunk>& chunks, std::vector<std::uint8_t>& out,
                    std::wstring& error)
{
    std::vector<std::vector<std::uint8_t>> owned;
    std::vector<stByteSpan> pieces;
    if (!EncodeDocumentPieces(doc, chunks, owned, pieces, error))
        return false;
    std::size_t size = 0;
    for (const stByteSpan& piece : pieces)
        size += piece.size;
    out.clear();
    out.reserve(size);
    for (const stByteSpan& piece : pieces)
        out.insert(out.end(), piece.bytes, piece.bytes + piece.size);
    return true;
}

bool DecodeDocument(const std::uint8_t* bytes, std::size_t size, CDezazDoc& into, std::vector<DezazPlugInChunk>& chunks,
                    std::wstring& error)
{
    std::vector<stPlugInChunkSpan> spans;
    const bool ok = DecodeDocument(bytes, size, into, spans, error);
    for (const stPlugInChunkSpan& span : spans)
        chunks.push_back({span.plugin_id, std::vector<std::uint8_t>(span.bytes, span.bytes + span.size)});
    return ok;
}

namespace
{

// The document's bytes in memory.
class cBytesSource
{
public:
    static constexpr bool kSectionsBesideChecksum = false;
    explicit cBytesSource(const std::uint8_t* bytes) : m_bytes(bytes) {}
    SpanArchive Range(std::uint64_t begin, std::uint64_t size) const
    {
        return SpanArchive(m_bytes + begin, static_cast<std::size_t>(size));
    }
    bool Checksum(std::size_t size, std::uint32_t& crc, std::wstring&) const
    {
        crc = Crc32(m_bytes, size);
        return true;
    }

private:
    const std::uint8_t* m_bytes;
};

// The document read from its file where its records lie: the checksum in
// one pass over the file in parts side by side, each part's checksum taken
// as it is read and the parts' joined.
class cFileSource
{
public:
    static constexpr bool kSectionsBesideChecksum = true;
    cFileSource(cFileReader& file, const FileProgress& progress) : m_file(file), m_progress(progress) {}
    FileRangeArchive Range(std::uint64_t begin, std::uint64_t size) const { return FileRangeArchive(m_file, begin, size); }
    bool Checksum(std::size_t size, std::uint32_t& crc, std::wstring& error) const
    {
        struct stPart
        {
            std::uint32_t crc = 0;
            std::uint64_t size = 0;
        };
        std::array<stPart, kMaxFileParts> parts{};
        const auto take = [&parts](unsigned part, std::uint64_t, const std::uint8_t* bytes, std::size_t count) {
            parts[part].crc = Crc32InOnePass(parts[part].crc, bytes, count);
            parts[part].size += count;
        };
        if (!m_file.Scan(size, take, error, m_progress))
            return false;
        crc = parts[0].crc;
        for (std::size_t k = 1; k < parts.size(); ++k)
            crc = Crc32Combine(crc, parts[k].crc, parts[k].size);
        return true;
    }

private:
    cFileReader& m_file;
    const FileProgress& m_progress;
};

template <class Source>
bool ReadSections(const Source& source, std::size_t body, CDezazDoc& into, std::vector<stPlugInChunkAt>& chunks,
                  std::wstring& error);

template <class Source>
bool DecodeSections(const Source& source, std::size_t size, CDezazDoc& into, std::vector<stPlugInChunkAt>& chunks,
                    std::wstring& error)
{
    const std::wstring damaged = L"The document is damaged: ";
    char magic[sizeof kDocumentMagic] = {};
    if (size < sizeof kDocumentMagic + 4 || !source.Range(0, sizeof magic).ReadByte(sizeof magic, magic) ||
        std::memcmp(magic, kDocumentMagic, sizeof kDocumentMagic) != 0)
    {
        error = L"The file is not a Dezaz document.";
        return false;
    }
    if (size < sizeof kDocumentMagic + 4 + 4 + 12)
    {
        error = damaged + L"it is cut short.";
        return false;
    }
    const std::size_t body = size - 4;
    std::uint8_t last[4] = {};
    if (!source.Range(body, 4).ReadByte(4, last))
        return false;
    const std::uint32_t stored = std::uint32_t{last[0]} | std::uint32_t{last[1]} << 8 | std::uint32_t{last[2]} << 16 |
                                 std::uint32_t{last[3]} << 24;
    // The checksum decides first: a damaged version field is damage, not a
    // newer format. A file's sections are read on a thread of their own
    // while this one takes the checksum, into the staged document that a
    // checksum that does not match discards (the readers refuse any bytes).
    std::wstring sectionsError;
    bool sectionsRead = false;
    // Memory that cannot be had fails the read (on a thread of its own it
    // would end the program).
    const auto sections = [&] {
        try
        {
            sectionsRead = ReadSections(source, body, into, chunks, sectionsError);
        }
        catch (const std::bad_alloc&)
        {
            sectionsError = L"There is not enough memory for the document.";
        }
    };
    std::thread beside;
    if constexpr (Source::kSectionsBesideChecksum)
    {
        try
        {
            beside = std::thread(sections);
        }
        catch (const std::system_error&)
        {
            // No thread to be had: the sections are read after the checksum.
        }
    }
    std::uint32_t crc = 0;
    const bool summed = source.Checksum(body, crc, error);
    if (beside.joinable())
        beside.join();
    else if (summed && crc == stored)
        sections();
    if (!summed)
        return false;
    if (crc != stored)
    {
        error = damaged + L"its checksum does not match (the file is cut short or changed).";
        return false;
    }
    if (!sectionsRead)
        error = sectionsError;
    return sectionsRead;
}

// The version and the sections of a document whose checksum holds.
template <class Source>
bool ReadSections(const Source& source, std::size_t body, CDezazDoc& into, std::vector<stPlugInChunkAt>& chunks,
                  std::wstring& error)
{
    const std::wstring damaged = L"The document is damaged: ";
    auto file = source.Range(0, body);
    file.SeekFromStartOfFile(sizeof kDocumentMagic);
    int version = 0;
    file.ReadInt(&version);
    if (version > kDocumentFormatVersion)
    {
        error = L"The document was written by a newer version of Dezaz (format " + std::to_wstring(version) + L").";
        return false;
    }
    if (version < 1)
    {
        error = damaged + L"its format version is not valid.";
        return false;
    }

    bool have_settings = false, have_layers = false;
    for (;;)
    {
        int tag = -1;
        std::size_t length = 0;
        if (!file.ReadInt(&tag) || !file.ReadSize(&length) || length > file.BytesLeft())
        {
            error = damaged + L"a section is cut short.";
            return false;
        }
        const std::uint64_t start = file.CurrentPosition();
        auto section = source.Range(start, length);
        file.SeekFromCurrentPosition(static_cast<std::int64_t>(length));
        std::wstring what;
        bool ok = true;
        switch (tag)
        {
        case kEndSection:
            if (length != 0 || file.BytesLeft() != 0)
            {
                error = damaged + L"bytes follow its end.";
                return false;
            }
            if (!have_settings || !have_layers)
            {
                error = damaged + L"its settings or layers are missing.";
                return false;
            }
            return true;
        case kSettingsSection:
            ok = !have_settings && ReadSettings(section, into, what) && section.BytesLeft() == 0;
            have_settings = true;
            break;
        case kLayersSection:
            ok = !have_layers && ReadLayers(section, into, what) && section.BytesLeft() == 0;
            have_layers = true;
            break;
        case kObjectSection:
            ok = have_layers && ReadObject(section, into, what);
            break;
        case kPlugInSection:
        {
            stPlugInChunkAt chunk;
            ok = section.ReadUuid(chunk.plugin_id);
            if (ok)
                chunk.offset = start + section.CurrentPosition(), chunk.size = section.BytesLeft();
            for (const stPlugInChunkAt& other : chunks)
                if (other.plugin_id == chunk.plugin_id)
                    ok = false;
            if (ok)
                chunks.push_back(chunk);
            else
                what = L"a plug-in chunk is cut short or repeated";
            break;
        }
        default:
            what = L"a section has an unknown kind";
            ok = false;
        }
        if (!ok)
        {
            error = damaged + (what.empty() ? std::wstring(L"a section does not read as it should") : what) + L".";
            return false;
        }
    }
}

} // namespace

bool DecodeDocument(const std::uint8_t* bytes, std::size_t size, CDezazDoc& into, std::vector<stPlugInChunkSpan>& chunks,
                    std::wstring& error)
{
    if (!bytes)
    {
        error = L"The file is not a Dezaz document.";
        return false;
    }
    std::vector<stPlugInChunkAt> at;
    const bool ok = DecodeSections(cBytesSource(bytes), size, into, at, error);
    for (const stPlugInChunkAt& chunk : at)
        chunks.push_back({chunk.plugin_id, bytes + chunk.offset, chunk.size});
    return ok;
}

bool DecodeDocument(cFileReader& file, CDezazDoc& into, std::vector<stPlugInChunkAt>& chunks, std::wstring& error,
                    const FileProgress& progress)
{
    const bool ok = DecodeSections(cFileSource(file, progress), static_cast<std::size_t>(file.Size()), into, chunks, error);
    // A record the file no longer held is the file's failure, not damage.
    if (!ok && !file.Error().empty())
        error = file.Error();
    return ok;
}

} // namespace dezaz
