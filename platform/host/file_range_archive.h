// A read-only archive over a range of a file read where its records lie (a
// document's section, a plug-in's chunk): reads never pass the range's end,
// so a plug-in that reads too much fails instead of reading on, and a read
// the file no longer holds fails as well.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/host/document_file_access.h"

#include <cstdint>

namespace dezaz
{

class FileRangeArchive : public ON_BinaryArchive
{
public:
    FileRangeArchive(cFileReader& file, std::uint64_t begin, std::uint64_t size)
        : ON_BinaryArchive(Mode::read), m_file(file), m_begin(begin), m_size(size)
    {
    }

    std::size_t BytesLeft() const { return static_cast<std::size_t>(m_size - CurrentPosition()); }
    // Where the archive's position lies in the file.
    std::uint64_t FileOffset() const { return m_begin + CurrentPosition(); }

protected:
    bool Internal_Read(std::size_t count, void* bytes) override { return m_file.Read(FileOffset(), bytes, count); }
    bool Internal_Write(std::size_t, const void*) override { return false; }
    bool Internal_Seek(std::uint64_t) override { return true; }
    std::uint64_t EndOffset() const override { return m_size; }

private:
    cFileReader& m_file;
    std::uint64_t m_begin;
    std::uint64_t m_size;
};

} // namespace dezaz
