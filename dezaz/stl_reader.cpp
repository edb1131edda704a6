#include "dezaz/stl_reader.h"
#include "dezaz/counted_noun.h"

#include "dezaz/text_scanner.h"

#include <bit>
#include <cstring>

namespace dezaz
{

namespace
{

std::uint32_t LittleEndian32(const std::uint8_t* p)
{
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

bool StartsWithSolid(const std::uint8_t* start, std::size_t size)
{
    std::size_t i = 0;
    while (i < size && (start[i] == ' ' || start[i] == '\t' || start[i] == '\r' || start[i] == '\n'))
        ++i;
    return size - i >= 5 &&
           cTextScanner::SameWord(std::string_view(reinterpret_cast<const char*>(start + i), 5), "solid");
}

std::wstring AtLine(const cTextScanner& text)
{
    return L" (line " + std::to_wstring(text.Line()) + L").";
}

} // namespace

bool IsAsciiStl(const std::uint8_t* start, std::size_t start_size, std::uint64_t file_size)
{
    if (file_size >= kStlHeaderBytes && start_size >= kStlHeaderBytes &&
        kStlHeaderBytes + std::uint64_t{LittleEndian32(start + 80)} * kStlRecordBytes == file_size)
        return false;
    return StartsWithSolid(start, start_size);
}

bool BinaryStlTriangleCount(const std::uint8_t* header, std::uint64_t file_size, std::uint32_t& count,
                            std::wstring& error)
{
    if (file_size < kStlHeaderBytes)
    {
        error = L"The file is too short to be an STL file.";
        return false;
    }
    count = LittleEndian32(header + 80);
    const std::uint64_t room = (file_size - kStlHeaderBytes) / kStlRecordBytes;
    if (count > room)
    {
        error = L"The STL file is cut short: it declares " + Counted(count, L"triangle", L"triangles") + L" but holds " +
                std::to_wstring(room) + L".";
        return false;
    }
    return true;
}

void DecodeStlRecords(const std::uint8_t* records, std::size_t count, float* corners)
{
    // The normal (12 bytes) is recomputed from the corners; the attribute
    // word (2 bytes) carries nothing the host keeps.
    for (std::size_t t = 0; t < count; ++t)
        std::memcpy(corners + 9 * t, records + t * kStlRecordBytes + 12, 9 * sizeof(float));
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t i = 0; i < 9 * count; ++i)
            corners[i] = std::bit_cast<float>(__builtin_bswap32(std::bit_cast<std::uint32_t>(corners[i])));
}

bool ReadAsciiStl(const char* bytes, std::size_t size, stMeshFileData& out, std::wstring& error)
{
    cTextScanner text(bytes, bytes + size);
    out.soup = true;
    const auto fail = [&](const std::wstring& what) {
        error = L"The STL file " + what + AtLine(text);
        return false;
    };
    if (!cTextScanner::SameWord(text.AnyWord(), "solid"))
        return fail(L"does not start with \"solid\"");
    text.SkipLine(); // the solid's name
    for (;;)
    {
        const std::string_view word = text.AnyWord();
        if (word.empty())
            return fail(L"is cut short: it ends before \"endsolid\"");
        if (cTextScanner::SameWord(word, "endsolid"))
        {
            text.SkipLine();
            // Several solids may follow one another.
            const std::string_view next = text.AnyWord();
            if (next.empty())
                return true;
            if (!cTextScanner::SameWord(next, "solid"))
                return fail(L"holds " + cTextScanner::Quoted(next) + L" after \"endsolid\"");
            text.SkipLine();
            continue;
        }
        if (!cTextScanner::SameWord(word, "facet"))
            return fail(L"holds " + cTextScanner::Quoted(word) + L" where a facet should start");
        text.SkipLine(); // the normal, recomputed from the corners
        if (!cTextScanner::SameWord(text.AnyWord(), "outer") || !cTextScanner::SameWord(text.Word(), "loop"))
            return fail(text.AtEnd() ? L"is cut short inside a facet" : L"has a facet without \"outer loop\"");
        float corner[9];
        for (int k = 0; k < 3; ++k)
        {
            const std::string_view vertex = text.AnyWord();
            if (vertex.empty())
                return fail(L"is cut short inside a facet");
            if (!cTextScanner::SameWord(vertex, "vertex"))
                return fail(L"has a facet of fewer than three vertices");
            if (!text.Float(corner[3 * k]) || !text.Float(corner[3 * k + 1]) || !text.Float(corner[3 * k + 2]) ||
                !text.AtLineEnd())
                return fail(text.AtEnd() ? L"is cut short inside a facet" : L"has a vertex that is not three numbers");
        }
        const std::string_view endloop = text.AnyWord();
        if (endloop.empty())
            return fail(L"is cut short inside a facet");
        if (cTextScanner::SameWord(endloop, "vertex"))
            return fail(L"has a facet of more than three vertices");
        if (!cTextScanner::SameWord(endloop, "endloop"))
            return fail(L"has a facet without \"endloop\"");
        const std::string_view endfacet = text.AnyWord();
        if (endfacet.empty())
            return fail(L"is cut short inside a facet");
        if (!cTextScanner::SameWord(endfacet, "endfacet"))
            return fail(L"has a facet without \"endfacet\"");
        out.positions.insert(out.positions.end(), corner, corner + 9);
    }
}

} // namespace dezaz
