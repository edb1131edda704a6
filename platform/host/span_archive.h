// A read-only archive over bytes that someone else owns (a document file
// held in memory, one plug-in's chunk of it): no copy, and reads can never
// pass the end of the span, so a plug-in that reads too much fails instead
// of reading the next chunk.
#pragma once

#include "platform/geometry/binary_archive.h"

#include <cstdint>
#include <cstring>

namespace dezaz
{

class SpanArchive : public ON_BinaryArchive
{
public:
    SpanArchive(const std::uint8_t* bytes, std::size_t size)
        : ON_BinaryArchive(Mode::read), m_bytes(bytes), m_size(size)
    {
    }

    std::size_t BytesLeft() const { return static_cast<std::size_t>(m_size - CurrentPosition()); }
    const std::uint8_t* Cursor() const { return m_bytes + CurrentPosition(); }

protected:
    bool Internal_Read(std::size_t count, void* bytes) override
    {
        std::memcpy(bytes, m_bytes + CurrentPosition(), count);
        return true;
    }
    bool Internal_Write(std::size_t, const void*) override { return false; }
    bool Internal_Seek(std::uint64_t) override { return true; }
    std::uint64_t EndOffset() const override { return m_size; }

private:
    const std::uint8_t* m_bytes;
    std::size_t m_size;
};

} // namespace dezaz
