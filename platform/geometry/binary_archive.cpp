#include "platform/geometry/binary_archive.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>

namespace
{

void PutLE(std::uint8_t* out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t GetLE(const std::uint8_t* in, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= std::uint64_t{in[i]} << (8 * i);
    return v;
}

bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

} // namespace

bool ON_BinaryArchive::TakeBudget(std::size_t count)
{
    if (m_fault_budget < 0)
        return true;
    if (count > static_cast<std::uint64_t>(m_fault_budget))
    {
        m_fault_budget = 0;
        return false;
    }
    m_fault_budget -= static_cast<std::int64_t>(count);
    return true;
}

bool ON_BinaryArchive::ReadByte(std::size_t count, void* bytes)
{
    if (!ReadMode() || (count > 0 && !bytes))
        return false;
    const std::uint64_t end = EndOffset();
    if (m_position > end || count > end - m_position)
        return false;
    if (!TakeBudget(count))
        return false;
    if (count == 0)
        return true;
    if (!Internal_Read(count, bytes))
    {
        Internal_Seek(m_position); // put the stream back where we believe it is
        return false;
    }
    m_position += count;
    return true;
}

bool ON_BinaryArchive::WriteByte(std::size_t count, const void* bytes)
{
    if (!WriteMode() || (count > 0 && !bytes))
        return false;
    if (!TakeBudget(count))
        return false;
    if (count == 0)
        return true;
    if (!Internal_Write(count, bytes))
    {
        Internal_Seek(m_position);
        return false;
    }
    m_position += count;
    return true;
}

bool ON_BinaryArchive::Write3dmChunkVersion(int major_version, int minor_version)
{
    if (major_version < 0 || major_version > 15 || minor_version < 0 || minor_version > 15)
        return false;
    const auto b = static_cast<std::uint8_t>((major_version << 4) | minor_version);
    return WriteByte(1, &b);
}

bool ON_BinaryArchive::Read3dmChunkVersion(int* major_version, int* minor_version)
{
    std::uint8_t b = 0;
    if (!ReadByte(1, &b))
        return false;
    if (major_version)
        *major_version = b >> 4;
    if (minor_version)
        *minor_version = b & 0x0F;
    return true;
}

bool ON_BinaryArchive::WriteUuid(const ON_UUID& id)
{
    std::uint8_t b[16];
    PutLE(b, id.Data1, 4);
    PutLE(b + 4, id.Data2, 2);
    PutLE(b + 6, id.Data3, 2);
    std::memcpy(b + 8, id.Data4, 8);
    return WriteByte(sizeof b, b);
}

bool ON_BinaryArchive::ReadUuid(ON_UUID& id)
{
    std::uint8_t b[16];
    if (!ReadByte(sizeof b, b))
        return false;
    id.Data1 = static_cast<std::uint32_t>(GetLE(b, 4));
    id.Data2 = static_cast<std::uint16_t>(GetLE(b + 4, 2));
    id.Data3 = static_cast<std::uint16_t>(GetLE(b + 6, 2));
    std::memcpy(id.Data4, b + 8, 8);
    return true;
}

bool ON_BinaryArchive::WriteSize(std::size_t value)
{
    std::uint8_t b[8];
    PutLE(b, value, 8);
    return WriteByte(sizeof b, b);
}

bool ON_BinaryArchive::ReadSize(std::size_t* value)
{
    std::uint8_t b[8];
    if (!ReadByte(sizeof b, b))
        return false;
    const std::uint64_t v = GetLE(b, 8);
    if (v > SIZE_MAX)
        return false;
    if (value)
        *value = static_cast<std::size_t>(v);
    return true;
}

bool ON_BinaryArchive::WriteInt(int value)
{
    std::uint8_t b[4];
    PutLE(b, static_cast<std::uint32_t>(value), 4);
    return WriteByte(sizeof b, b);
}

bool ON_BinaryArchive::ReadInt(int* value)
{
    std::uint8_t b[4];
    if (!ReadByte(sizeof b, b))
        return false;
    if (value)
        *value = static_cast<int>(static_cast<std::int32_t>(static_cast<std::uint32_t>(GetLE(b, 4))));
    return true;
}

bool ON_BinaryArchive::WriteFloat(float value)
{
    static_assert(sizeof(float) == 4);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    std::uint8_t b[4];
    PutLE(b, bits, 4);
    return WriteByte(sizeof b, b);
}

bool ON_BinaryArchive::WriteFloat(std::size_t count, const float* values)
{
    if (count > SIZE_MAX / 4 || (count > 0 && !values))
        return false;
    if constexpr (std::endian::native == std::endian::little)
        return WriteByte(4 * count, values);
    std::vector<std::uint8_t> bytes(4 * count);
    for (std::size_t i = 0; i < count; ++i)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, values + i, 4);
        PutLE(bytes.data() + 4 * i, bits, 4);
    }
    return WriteByte(bytes.size(), bytes.data());
}

bool ON_BinaryArchive::ReadFloat(std::size_t count, float* values)
{
    if (count > SIZE_MAX / 4 || (count > 0 && !values))
        return false;
    if constexpr (std::endian::native == std::endian::little)
        return ReadByte(4 * count, values);
    std::vector<std::uint8_t> bytes(4 * count);
    if (!ReadByte(bytes.size(), bytes.data()))
        return false;
    for (std::size_t i = 0; i < count; ++i)
    {
        const auto bits = static_cast<std::uint32_t>(GetLE(bytes.data() + 4 * i, 4));
        std::memcpy(values + i, &bits, 4);
    }
    return true;
}

bool ON_BinaryArchive::ReadFloat(float* value)
{
    std::uint8_t b[4];
    if (!ReadByte(sizeof b, b))
        return false;
    const auto bits = static_cast<std::uint32_t>(GetLE(b, 4));
    if (value)
        std::memcpy(value, &bits, 4);
    return true;
}

bool ON_BinaryArchive::WriteDouble(double value)
{
    static_assert(sizeof(double) == 8);
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    std::uint8_t b[8];
    PutLE(b, bits, 8);
    return WriteByte(sizeof b, b);
}

bool ON_BinaryArchive::ReadDouble(double* value)
{
    std::uint8_t b[8];
    if (!ReadByte(sizeof b, b))
        return false;
    const std::uint64_t bits = GetLE(b, 8);
    if (value)
        std::memcpy(value, &bits, 8);
    return true;
}

bool ON_BinaryArchive::WriteString(const ON_wString& s)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(4 + 2 * static_cast<std::size_t>(s.Length()));
    bytes.resize(4);
    auto put_unit = [&bytes](char32_t unit) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    };
    for (int i = 0; i < s.Length(); ++i)
    {
        auto c = static_cast<char32_t>(s[i]);
        if (c > 0x10FFFF || IsSurrogate(c))
            c = 0xFFFD;
        if (c >= 0x10000)
        {
            c -= 0x10000;
            put_unit(0xD800 + (c >> 10));
            put_unit(0xDC00 + (c & 0x3FF));
        }
        else
            put_unit(c);
    }
    const std::size_t units = (bytes.size() - 4) / 2;
    if (units > 0xFFFFFFFFu)
        return false;
    PutLE(bytes.data(), units, 4);
    return WriteByte(bytes.size(), bytes.data());
}

bool ON_BinaryArchive::ReadString(ON_wString& s)
{
    if (!ReadMode())
        return false;
    const std::uint64_t start = m_position;
    std::uint8_t count_bytes[4];
    if (!ReadByte(4, count_bytes))
        return false;
    const std::uint64_t units = GetLE(count_bytes, 4);
    const std::uint64_t end = EndOffset();
    // Check before allocating: the count must describe bytes that exist.
    if (units * 2 > end - m_position)
    {
        SeekFromStartOfFile(start);
        return false;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(units * 2));
    if (!ReadByte(bytes.size(), bytes.data()))
    {
        SeekFromStartOfFile(start);
        return false;
    }
    std::wstring out;
    out.reserve(static_cast<std::size_t>(units));
    for (std::size_t i = 0; i < units; ++i)
    {
        char32_t c = static_cast<char32_t>(GetLE(&bytes[2 * i], 2));
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units)
        {
            const auto low = static_cast<char32_t>(GetLE(&bytes[2 * (i + 1)], 2));
            if (low >= 0xDC00 && low <= 0xDFFF)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        if (IsSurrogate(c))
        {
            SeekFromStartOfFile(start);
            return false;
        }
        out += static_cast<wchar_t>(c);
    }
    s = ON_wString(std::move(out));
    return true;
}

bool ON_BinaryArchive::SeekFromCurrentPosition(std::int64_t offset)
{
    if (offset < 0)
    {
        const auto back = static_cast<std::uint64_t>(-(offset + 1)) + 1; // no overflow at INT64_MIN
        if (back > m_position)
            return false;
        return SeekFromStartOfFile(m_position - back);
    }
    const auto forward = static_cast<std::uint64_t>(offset);
    if (forward > EndOffset() || m_position > EndOffset() - forward)
        return false;
    return SeekFromStartOfFile(m_position + forward);
}

bool ON_BinaryArchive::SeekFromStartOfFile(std::uint64_t offset)
{
    if (offset > EndOffset())
        return false;
    if (!Internal_Seek(offset))
        return false;
    m_position = offset;
    return true;
}

ON_MemoryArchive::ON_MemoryArchive() : ON_BinaryArchive(Mode::write) {}

ON_MemoryArchive::ON_MemoryArchive(const void* bytes, std::size_t size) : ON_BinaryArchive(Mode::read)
{
    if (bytes && size > 0)
    {
        const auto* p = static_cast<const std::uint8_t*>(bytes);
        m_buffer.assign(p, p + size);
    }
}

bool ON_MemoryArchive::Internal_Read(std::size_t count, void* bytes)
{
    std::memcpy(bytes, m_buffer.data() + CurrentPosition(), count);
    return true;
}

bool ON_MemoryArchive::Internal_Write(std::size_t count, const void* bytes)
{
    const auto pos = static_cast<std::size_t>(CurrentPosition());
    const auto* b = static_cast<const std::uint8_t*>(bytes);
    // Appending grows the buffer without filling it with zeros first.
    const std::size_t over = std::min(count, m_buffer.size() - std::min(pos, m_buffer.size()));
    if (over > 0)
        std::memcpy(m_buffer.data() + pos, b, over);
    m_buffer.insert(m_buffer.end(), b + over, b + count);
    return true;
}

void ON_MemoryArchive::ReserveForWrite(std::size_t bytes)
{
    if (!WriteMode())
        return;
    const auto position = static_cast<std::size_t>(CurrentPosition());
    if (bytes <= SIZE_MAX - position)
    {
        try
        {
            m_buffer.reserve(position + bytes);
        }
        catch (const std::exception&)
        {
            // Only a hint: the buffer grows as it is written instead.
        }
    }
}

std::vector<std::uint8_t> ON_MemoryArchive::ReleaseBuffer()
{
    std::vector<std::uint8_t> bytes;
    bytes.swap(m_buffer);
    ResetPosition(0);
    return bytes;
}

bool ON_MemoryArchive::Internal_Seek(std::uint64_t)
{
    return true; // the position is the base class's
}

ON_BinaryFile::ON_BinaryFile(Mode mode, const char* path) : ON_BinaryArchive(mode)
{
    if (!path)
        return;
    m_fp = std::fopen(path, mode == Mode::read ? "rb" : "wb");
    m_owns_stream = m_fp != nullptr;
    if (m_fp && mode == Mode::read)
    {
        if (fseeko(m_fp, 0, SEEK_END) == 0)
        {
            const off_t size = ftello(m_fp);
            m_end = size > 0 ? static_cast<std::uint64_t>(size) : 0;
        }
        if (fseeko(m_fp, 0, SEEK_SET) != 0)
            m_end = 0;
    }
}

ON_BinaryFile::ON_BinaryFile(Mode mode, std::FILE* stream) : ON_BinaryArchive(mode), m_fp(stream)
{
    if (!m_fp)
        return;
    // Positions are relative to where the stream stands now.
    m_base = ftello(m_fp);
    if (m_base < 0)
    {
        m_fp = nullptr;
        return;
    }
    if (mode == Mode::read && fseeko(m_fp, 0, SEEK_END) == 0)
    {
        const off_t size = ftello(m_fp);
        m_end = size > m_base ? static_cast<std::uint64_t>(size - m_base) : 0;
        fseeko(m_fp, m_base, SEEK_SET);
    }
}

ON_BinaryFile::~ON_BinaryFile()
{
    Close();
}

bool ON_BinaryFile::Close()
{
    if (!m_fp)
        return true;
    bool ok = std::fflush(m_fp) == 0 && !std::ferror(m_fp);
    if (m_owns_stream)
        ok = std::fclose(m_fp) == 0 && ok;
    m_fp = nullptr;
    return ok;
}

bool ON_BinaryFile::Internal_Read(std::size_t count, void* bytes)
{
    if (!m_fp)
        return false;
    // The file may have shrunk since it was opened, and a short fread has
    // already written part of the caller's buffer: read into scratch and
    // hand the bytes over only when all of them arrived.
    std::uint8_t small[256];
    std::unique_ptr<std::uint8_t[]> large;
    std::uint8_t* scratch = small;
    if (count > sizeof small)
    {
        large.reset(new (std::nothrow) std::uint8_t[count]);
        if (!large)
            return false;
        scratch = large.get();
    }
    if (std::fread(scratch, 1, count, m_fp) != count)
        return false;
    std::memcpy(bytes, scratch, count);
    return true;
}

bool ON_BinaryFile::Internal_Write(std::size_t count, const void* bytes)
{
    if (!m_fp || std::fwrite(bytes, 1, count, m_fp) != count)
        return false;
    const std::uint64_t end = CurrentPosition() + count;
    if (end > m_end)
        m_end = end;
    return true;
}

bool ON_BinaryFile::Internal_Seek(std::uint64_t offset)
{
    return m_fp && fseeko(m_fp, m_base + static_cast<off_t>(offset), SEEK_SET) == 0;
}
