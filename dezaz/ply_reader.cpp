// PLY files, ASCII and binary of either byte order: the header's elements
// and properties, the vertex element's x, y and z and the face element's
// corner lists; every other element and property is read past. Each
// element's declared count is checked against the bytes left before any
// of it is read, so a header that claims more than the file holds is
// refused at once, and a list's length against them before its items are.
#include "dezaz/mesh_file_data.h"
#include "dezaz/counted_noun.h"
#include "dezaz/text_scanner.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

namespace dezaz
{

namespace
{

enum class ePlyType
{
    none,
    i8,
    u8,
    i16,
    u16,
    i32,
    u32,
    f32,
    f64
};

struct stPlyProperty
{
    std::string name;
    ePlyType type = ePlyType::none;
    ePlyType count_type = ePlyType::none; // a list when not none
};

struct stPlyElement
{
    std::string name;
    std::uint64_t count = 0;
    std::vector<stPlyProperty> properties;
};

enum class ePlyFormat
{
    ascii,
    little_endian,
    big_endian
};

ePlyType TypeNamed(std::string_view word)
{
    static const struct
    {
        const char* name;
        ePlyType type;
    } kTypes[] = {{"char", ePlyType::i8},     {"int8", ePlyType::i8},     {"uchar", ePlyType::u8},
                  {"uint8", ePlyType::u8},    {"short", ePlyType::i16},   {"int16", ePlyType::i16},
                  {"ushort", ePlyType::u16},  {"uint16", ePlyType::u16},  {"int", ePlyType::i32},
                  {"int32", ePlyType::i32},   {"uint", ePlyType::u32},    {"uint32", ePlyType::u32},
                  {"float", ePlyType::f32},   {"float32", ePlyType::f32}, {"double", ePlyType::f64},
                  {"float64", ePlyType::f64}};
    for (const auto& t : kTypes)
        if (word == t.name)
            return t.type;
    return ePlyType::none;
}

std::size_t TypeBytes(ePlyType type)
{
    switch (type)
    {
    case ePlyType::i8:
    case ePlyType::u8:
        return 1;
    case ePlyType::i16:
    case ePlyType::u16:
        return 2;
    case ePlyType::i32:
    case ePlyType::u32:
    case ePlyType::f32:
        return 4;
    case ePlyType::f64:
        return 8;
    case ePlyType::none:
        break;
    }
    return 0;
}

bool IsIntegral(ePlyType type)
{
    return type != ePlyType::f32 && type != ePlyType::f64;
}

struct stPlyHeader
{
    ePlyFormat format = ePlyFormat::ascii;
    std::vector<stPlyElement> elements;
    std::size_t data_offset = 0;
};

bool ReadHeader(const char* bytes, std::size_t size, stPlyHeader& header, std::wstring& error)
{
    cTextScanner text(bytes, bytes + size);
    const auto fail = [&](const std::wstring& what) {
        error = L"The PLY header " + what + L" (line " + std::to_wstring(text.Line()) + L").";
        return false;
    };
    if (text.Word() != "ply" || !text.AtLineEnd())
    {
        error = L"The file is not a PLY file (it does not start with \"ply\").";
        return false;
    }
    bool have_format = false;
    for (;;)
    {
        text.SkipLine();
        if (text.AtEnd())
            return fail(L"has no end: \"end_header\" is missing");
        const std::string_view keyword = text.Word();
        if (keyword == "comment" || keyword == "obj_info" || keyword.empty())
            continue;
        if (keyword == "end_header")
        {
            if (!have_format)
                return fail(L"has no format line");
            if (!text.AtLineEnd())
                return fail(L"has more on its \"end_header\" line");
            text.SkipLine();
            header.data_offset = static_cast<std::size_t>(text.Cursor() - bytes);
            return true;
        }
        if (keyword == "format")
        {
            const std::string_view format = text.Word();
            const std::string_view version = text.Word();
            if (have_format || version != "1.0" || !text.AtLineEnd())
                return fail(L"has a format line that is not valid");
            if (format == "ascii")
                header.format = ePlyFormat::ascii;
            else if (format == "binary_little_endian")
                header.format = ePlyFormat::little_endian;
            else if (format == "binary_big_endian")
                header.format = ePlyFormat::big_endian;
            else
                return fail(L"names the unknown format " + cTextScanner::Quoted(format));
            have_format = true;
            continue;
        }
        if (keyword == "element")
        {
            stPlyElement element;
            element.name = text.Word();
            if (element.name.empty() || !cTextScanner::Number(text.Word(), element.count) || !text.AtLineEnd())
                return fail(L"has an element line that is not valid");
            for (const stPlyElement& other : header.elements)
                if (other.name == element.name)
                    return fail(L"declares the element " + cTextScanner::Quoted(element.name) + L" twice");
            header.elements.push_back(std::move(element));
            continue;
        }
        if (keyword == "property")
        {
            if (header.elements.empty())
                return fail(L"has a property before any element");
            stPlyProperty property;
            std::string_view type = text.Word();
            if (type == "list")
            {
                property.count_type = TypeNamed(text.Word());
                if (property.count_type == ePlyType::none || !IsIntegral(property.count_type))
                    return fail(L"has a list whose length type is not an integer type");
                type = text.Word();
            }
            property.type = TypeNamed(type);
            property.name = text.Word();
            if (property.type == ePlyType::none || property.name.empty() || !text.AtLineEnd())
                return fail(L"has a property line that is not valid");
            header.elements.back().properties.push_back(std::move(property));
            continue;
        }
        return fail(L"holds the unknown line " + cTextScanner::Quoted(keyword));
    }
}

// The values of the data part, in either of the two encodings.
class cPlyValues
{
public:
    cPlyValues(ePlyFormat format, const char* begin, const char* end)
        : m_format(format), m_at(begin), m_end(end), m_text(begin, end)
    {
    }

    std::size_t Remaining() const
    {
        return m_format == ePlyFormat::ascii ? m_text.Remaining() : static_cast<std::size_t>(m_end - m_at);
    }
    // The fewest bytes a value of the type takes: ASCII needs a digit and
    // a separator (the file's last value may lack the separator).
    std::size_t LeastBytes(ePlyType type) const { return m_format == ePlyFormat::ascii ? 2 : TypeBytes(type); }
    std::size_t Room() const { return Remaining() + (m_format == ePlyFormat::ascii ? 1 : 0); }

    bool Value(ePlyType type, double& value)
    {
        if (m_format == ePlyFormat::ascii)
            return m_text.AnyDouble(value) && (!IsIntegral(type) || value == std::floor(value));
        const std::size_t bytes = TypeBytes(type);
        if (static_cast<std::size_t>(m_end - m_at) < bytes)
            return false;
        std::uint8_t raw[8];
        std::memcpy(raw, m_at, bytes);
        m_at += bytes;
        if ((m_format == ePlyFormat::big_endian) != (std::endian::native == std::endian::big))
            for (std::size_t i = 0; i < bytes / 2; ++i)
                std::swap(raw[i], raw[bytes - 1 - i]);
        value = Decode(type, raw);
        return true;
    }
    bool Skip(ePlyType type, std::uint64_t count)
    {
        if (m_format != ePlyFormat::ascii)
        {
            const std::uint64_t bytes = count * TypeBytes(type);
            if (bytes > static_cast<std::size_t>(m_end - m_at))
                return false;
            m_at += bytes;
            return true;
        }
        double ignored = 0;
        for (std::uint64_t i = 0; i < count; ++i)
            if (!Value(type, ignored))
                return false;
        return true;
    }

private:
    static double Decode(ePlyType type, const std::uint8_t* raw)
    {
        switch (type)
        {
        case ePlyType::i8:
            return static_cast<std::int8_t>(raw[0]);
        case ePlyType::u8:
            return raw[0];
        case ePlyType::i16:
            return Load<std::int16_t>(raw);
        case ePlyType::u16:
            return Load<std::uint16_t>(raw);
        case ePlyType::i32:
            return Load<std::int32_t>(raw);
        case ePlyType::u32:
            return Load<std::uint32_t>(raw);
        case ePlyType::f32:
            return Load<float>(raw);
        case ePlyType::f64:
            return Load<double>(raw);
        case ePlyType::none:
            break;
        }
        return 0;
    }
    template <class T> static T Load(const std::uint8_t* raw)
    {
        T value;
        std::memcpy(&value, raw, sizeof value);
        return value;
    }

    ePlyFormat m_format;
    const char* m_at;
    const char* m_end;
    cTextScanner m_text;
};


std::wstring Plural(const stPlyElement& element)
{
    return cTextScanner::Quoted(element.name) + L" elements";
}

bool ReadElement(const stPlyElement& element, cPlyValues& values, stMeshFileData& out, std::wstring& error)
{
    if (element.properties.empty())
        return true; // its records take no bytes
    std::size_t least = 0;
    for (const stPlyProperty& property : element.properties)
        least += values.LeastBytes(property.count_type != ePlyType::none ? property.count_type : property.type);
    const std::uint64_t room = values.Room() / least;
    if (element.count > room)
    {
        error = L"The PLY file is cut short: its header declares " +
                Counted(element.count, cTextScanner::Quoted(element.name) + L" element", Plural(element)) +
                L" but it holds room for at most " + std::to_wstring(room) + L".";
        return false;
    }
    const bool is_vertex = element.name == "vertex";
    const bool is_face = element.name == "face";
    int xyz[3] = {-1, -1, -1};
    int corner_list = -1;
    for (std::size_t p = 0; p < element.properties.size(); ++p)
    {
        const stPlyProperty& property = element.properties[p];
        const bool list = property.count_type != ePlyType::none;
        for (int k = 0; k < 3 && is_vertex && !list; ++k)
            if (property.name == std::string(1, static_cast<char>('x' + k)))
                xyz[k] = static_cast<int>(p);
        if (is_face && list && (property.name == "vertex_indices" || property.name == "vertex_index") &&
            IsIntegral(property.type))
            corner_list = static_cast<int>(p);
    }
    if (is_vertex)
    {
        if (xyz[0] < 0 || xyz[1] < 0 || xyz[2] < 0)
        {
            error = L"The PLY file's vertices have no x, y and z.";
            return false;
        }
        if (element.count > std::numeric_limits<std::uint32_t>::max())
        {
            error = L"The PLY file has more vertices than a mesh can hold.";
            return false;
        }
        out.positions.reserve(static_cast<std::size_t>(element.count) * 3);
    }
    if (is_face && corner_list < 0)
    {
        error = L"The PLY file's faces have no list of vertex indices.";
        return false;
    }
    const auto cut = [&] {
        error = L"The PLY file is cut short or damaged inside its " + Plural(element) + L".";
        return false;
    };
    for (std::uint64_t r = 0; r < element.count; ++r)
    {
        float position[3] = {0, 0, 0};
        for (std::size_t p = 0; p < element.properties.size(); ++p)
        {
            const stPlyProperty& property = element.properties[p];
            double value = 0;
            if (property.count_type == ePlyType::none)
            {
                if (!values.Value(property.type, value))
                    return cut();
                for (int k = 0; k < 3; ++k)
                    if (xyz[k] == static_cast<int>(p))
                        position[k] = static_cast<float>(value);
                continue;
            }
            if (!values.Value(property.count_type, value) || value < 0 ||
                value > static_cast<double>(values.Room() / values.LeastBytes(property.type)))
                return cut();
            const auto length = static_cast<std::uint64_t>(value);
            if (static_cast<int>(p) != corner_list)
            {
                if (!values.Skip(property.type, length))
                    return cut();
                continue;
            }
            if (length < 3)
            {
                ++out.faces_dropped;
                out.corners_dropped += length;
                if (!values.Skip(property.type, length))
                    return cut();
                continue;
            }
            for (std::uint64_t i = 0; i < length; ++i)
            {
                if (!values.Value(property.type, value))
                    return cut();
                if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
                {
                    error = L"The PLY file has a face with the vertex index " + std::to_wstring(value) +
                            L", which is not valid.";
                    return false;
                }
                out.corners.push_back(static_cast<std::uint32_t>(value));
            }
            out.face_sizes.push_back(static_cast<std::uint32_t>(length));
        }
        if (is_vertex)
            out.positions.insert(out.positions.end(), position, position + 3);
    }
    return true;
}

} // namespace

bool ReadPly(const char* bytes, std::size_t size, stMeshFileData& out, std::wstring& error)
{
    stPlyHeader header;
    if (!ReadHeader(bytes, size, header, error))
        return false;
    // The header refuses an element declared twice. Without a face element
    // the file is a point cloud: the import says so with its number of points.
    if (std::none_of(header.elements.begin(), header.elements.end(),
                     [](const stPlyElement& element) { return element.name == "vertex"; }))
    {
        error = L"The PLY file has no vertices.";
        return false;
    }
    cPlyValues values(header.format, bytes + header.data_offset, bytes + size);
    for (const stPlyElement& element : header.elements)
        if (!ReadElement(element, values, out, error))
            return false;
    return CheckFaceCorners(out, L"PLY", 0, error);
}

} // namespace dezaz
