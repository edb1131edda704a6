#include "shapes/dezaz_bin_stream.h"

bool CDezazBinStream::Read(void* buffer, std::uint32_t size, std::uint32_t*)
{
    return m_archive != nullptr && m_archive->ReadByte(size, buffer);
}

bool CDezazBinStream::Write(const void* buffer, std::uint32_t size, std::uint32_t*)
{
    return m_archive != nullptr && m_archive->WriteByte(size, buffer);
}

bool CDezazBinStream::Rewind()
{
    if (m_archive == nullptr)
        return false;
    return m_archive->SeekFromCurrentPosition(-static_cast<std::int64_t>(m_archive->CurrentPosition()));
}

std::int64_t CDezazBinStream::Tell()
{
    return m_archive != nullptr ? static_cast<std::int64_t>(m_archive->CurrentPosition()) : 0;
}

bool CDezazBinStream::Seek(std::int64_t position)
{
    if (m_archive == nullptr || position < 0)
        return false;
    // The difference is taken in 64 bits: records past 2 GiB stay reachable.
    return m_archive->SeekFromCurrentPosition(position - static_cast<std::int64_t>(m_archive->CurrentPosition()));
}

bool CDezazBinStream::IsEof()
{
    return m_archive != nullptr && m_archive->AtEnd();
}
