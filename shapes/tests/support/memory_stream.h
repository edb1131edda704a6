// A byte stream in memory for record tests: reads fail once `limit` bytes
// were served or the bytes run out, writes fail past `limit`.
#pragma once

#include "core/bin_stream.h"

#include <cstdint>
#include <cstring>
#include <vector>

class cTestMemoryStream : public IBinStream
{
public:
    cTestMemoryStream() = default;
    explicit cTestMemoryStream(std::vector<std::uint8_t> data) : bytes(std::move(data)) {}

    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    std::size_t limit = SIZE_MAX;

    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override
    {
        const bool ok = at + size <= bytes.size() && at + size <= limit;
        if (ok)
        {
            std::memcpy(buffer, bytes.data() + at, size);
            at += size;
        }
        if (count)
            *count = ok ? size : 0;
        return ok;
    }
    bool Write(const void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override
    {
        if (bytes.size() + size > limit)
            return false;
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        bytes.insert(bytes.end(), p, p + size);
        if (count)
            *count = size;
        return true;
    }
    bool Rewind() override { return at = 0, true; }
    std::int64_t Tell() override { return static_cast<std::int64_t>(at); }
    bool Seek(std::int64_t p) override { return at = static_cast<std::size_t>(p), true; }
    bool IsEof() override { return at >= bytes.size(); }
};
