// An archive that keeps nothing and only counts what is written: a record
// is written into it to learn its size, or whether it can be written at
// all, before it goes where it stays.
#pragma once

#include "platform/geometry/binary_archive.h"

#include <algorithm>
#include <cstdint>

class cByteCountingArchive : public ON_BinaryArchive
{
public:
    cByteCountingArchive() : ON_BinaryArchive(Mode::write) {}

    std::uint64_t Written() const { return m_end; }

protected:
    bool Internal_Read(std::size_t, void*) override { return false; }
    bool Internal_Write(std::size_t count, const void*) override
    {
        m_end = std::max(m_end, CurrentPosition() + count);
        return true;
    }
    bool Internal_Seek(std::uint64_t) override { return true; }
    std::uint64_t EndOffset() const override { return m_end; }

private:
    std::uint64_t m_end = 0;
};
