// Byte streams for the fuzz targets: the input as a read-only file stream,
// as a stream that cannot seek, and a scratch file to write into and read
// back.
#pragma once

#include "core/bin_stream.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace fuzz
{

// A cBINFile over a copy of the input (fmemopen refuses an empty buffer, so
// an empty input is a one-byte buffer already read to its end).
class InputFile
{
public:
    InputFile(const std::uint8_t* data, std::size_t size) : m_copy(data, data + size)
    {
        m_copy.push_back(0);
        std::FILE* file = fmemopen(m_copy.data(), size == 0 ? 1 : size, "rb");
        if (file != nullptr && size == 0)
            std::fgetc(file);
        m_stream.SetFile(file);
    }
    cBINFile* Stream() { return m_stream.GetFile() != nullptr ? &m_stream : nullptr; }

private:
    std::vector<std::uint8_t> m_copy;
    cBINFile m_stream;
};

// The input served in order, as a pipe would: no size, no seeking.
class SequentialInput : public IBinStream
{
public:
    SequentialInput(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override
    {
        const std::size_t n = std::min<std::size_t>(size, m_size - m_at);
        if (n != 0)
            std::memcpy(buffer, m_data + m_at, n);
        m_at += n;
        if (count != nullptr)
            *count = static_cast<std::uint32_t>(n);
        return n == size;
    }
    bool Write(const void*, std::uint32_t, std::uint32_t* = nullptr) override { return false; }
    bool Rewind() override { return false; }
    std::int64_t Tell() override { return -1; }
    bool Seek(std::int64_t) override { return false; }
    bool IsEof() override { return m_at >= m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// A temporary file to write into; Bytes() is everything written so far.
class ScratchFile
{
public:
    ScratchFile() { m_stream.SetFile(std::tmpfile()); }
    cBINFile* Stream() { return m_stream.GetFile() != nullptr ? &m_stream : nullptr; }
    std::vector<std::uint8_t> Bytes()
    {
        std::FILE* file = m_stream.GetFile();
        std::vector<std::uint8_t> bytes;
        if (file == nullptr || std::fflush(file) != 0)
            return bytes;
        const long end = std::ftell(file);
        if (end <= 0)
            return bytes;
        bytes.resize(static_cast<std::size_t>(end));
        std::rewind(file);
        if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
            bytes.clear();
        std::fseek(file, end, SEEK_SET);
        return bytes;
    }

private:
    cBINFile m_stream;
};

} // namespace fuzz
