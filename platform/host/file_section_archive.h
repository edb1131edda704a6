// A write archive whose bytes go straight into a file being written, from
// an offset on: a plug-in's chunk of a document reaches the file as the
// plug-in writes it, instead of being held whole in memory first (the
// sessions of a big scan run to a gigabyte). Bytes are gathered in a small
// buffer and their checksum taken as they pass; a plug-in that seeks back
// and rewrites has its bytes read back for the checksum at the end.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/host/document_file_access.h"

#include <cstdint>
#include <vector>

namespace dezaz
{

class FileSectionArchive : public ON_BinaryArchive
{
public:
    // The archive's position 0 is the file's end when it is made. With
    // `endsTheFile`, what the writer reserves tells the file how large it
    // grows (little comes after it); a record with more behind it tells nothing.
    explicit FileSectionArchive(cAtomicFileWriter& file, bool endsTheFile = true);

    // Writes out what is gathered and gives the checksum and count of every
    // byte written; false when the file failed.
    bool Finish(std::uint32_t& crc, std::uint64_t& size);
    // Tells the file how large it will grow, for its progress, when the
    // archive ends the file.
    void ReserveForWrite(std::size_t bytes) override;

protected:
    bool Internal_Read(std::size_t, void*) override { return false; }
    bool Internal_Write(std::size_t count, const void* bytes) override;
    bool Internal_Seek(std::uint64_t) override { return true; }
    std::uint64_t EndOffset() const override { return m_end; }

private:
    bool Flush();

    cAtomicFileWriter& m_file;
    std::uint64_t m_start;
    bool m_endsTheFile;
    std::uint64_t m_end = 0;
    std::vector<std::uint8_t> m_gathered;
    std::uint32_t m_crc = 0;
    // Bytes before the end were written again: the checksum taken on the
    // way no longer holds.
    bool m_rewritten = false;
};

} // namespace dezaz
