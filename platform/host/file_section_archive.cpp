#include "platform/host/file_section_archive.h"

#include "platform/host/document_format.h"

#include <algorithm>
#include <cstring>

namespace dezaz
{

namespace
{

// Large enough that the file is written in few calls, small enough to
// stay in the cache while its checksum is taken.
constexpr std::size_t kGatherBytes = std::size_t{1} << 20;

} // namespace

FileSectionArchive::FileSectionArchive(cAtomicFileWriter& file, bool endsTheFile)
    : ON_BinaryArchive(Mode::write), m_file(file), m_start(file.Size()), m_endsTheFile(endsTheFile)
{
    m_gathered.reserve(kGatherBytes);
}

bool FileSectionArchive::Flush()
{
    if (m_gathered.empty())
        return true;
    m_crc = Crc32Continue(m_crc, m_gathered.data(), m_gathered.size());
    const bool ok = m_file.Append(m_gathered.data(), m_gathered.size());
    m_gathered.clear();
    return ok;
}

bool FileSectionArchive::Internal_Write(std::size_t count, const void* bytes)
{
    const std::uint64_t position = CurrentPosition();
    const auto* b = static_cast<const std::uint8_t*>(bytes);
    if (position < m_end)
    {
        // A rewrite of bytes written before: they are in the file once the
        // gathered ones are; what runs past the end is appended.
        if (!Flush())
            return false;
        const std::size_t inside = static_cast<std::size_t>(std::min<std::uint64_t>(count, m_end - position));
        if (!m_file.Overwrite(m_start + position, b, inside))
            return false;
        m_rewritten = true;
        b += inside;
        count -= inside;
    }
    while (count > 0)
    {
        const std::size_t room = kGatherBytes - m_gathered.size();
        const std::size_t n = std::min(count, room);
        m_gathered.insert(m_gathered.end(), b, b + n);
        b += n;
        count -= n;
        m_end += n;
        if (m_gathered.size() == kGatherBytes && !Flush())
            return false;
    }
    return true;
}

void FileSectionArchive::ReserveForWrite(std::size_t bytes)
{
    // The rest of the document after this chunk is a few bytes.
    if (m_endsTheFile)
        m_file.ExpectSize(m_start + CurrentPosition() + bytes);
}

bool FileSectionArchive::Finish(std::uint32_t& crc, std::uint64_t& size)
{
    if (!Flush())
        return false;
    size = m_end;
    if (!m_rewritten)
    {
        crc = m_crc;
        return true;
    }
    std::vector<std::uint8_t> slice(kGatherBytes);
    std::uint32_t c = 0;
    for (std::uint64_t at = 0; at < m_end;)
    {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(slice.size(), m_end - at));
        if (!m_file.ReadBack(m_start + at, slice.data(), n))
            return false;
        c = Crc32Continue(c, slice.data(), n);
        at += n;
    }
    crc = c;
    return true;
}

} // namespace dezaz
