// The byte stream through which a session's scene object writes its record
// into the host's document archive and reads it back. It is made on the
// stack for one record and never owns the archive.
#pragma once

#include "core/bin_stream.h"
#include "platform/geometry/binary_archive.h"

class CDezazBinStream : public IBinStream
{
public:
    explicit CDezazBinStream(ON_BinaryArchive* archive) : m_archive(archive) {}

    // The out counts are left alone: a transfer is all or nothing.
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override;
    bool Write(const void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override;
    bool Rewind() override;
    std::int64_t Tell() override;
    bool Seek(std::int64_t position) override;
    bool IsEof() override;

private:
    ON_BinaryArchive* m_archive;
};
