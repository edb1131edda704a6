#include "core/bin_stream.h"

cBINFile::~cBINFile() { SetFile(nullptr); }

void cBINFile::SetFile(std::FILE* file)
{
    if (m_file != nullptr && m_file != file)
        std::fclose(m_file);
    m_file = file;
}

bool cBINFile::Read(void* buffer, std::uint32_t size, std::uint32_t* count)
{
    if (count)
        *count = 0;
    if (m_file == nullptr || (buffer == nullptr && size != 0))
        return false;
    if (size == 0)
        return true;
    // One element of the whole size: a short read transfers nothing useful.
    std::size_t elements = std::fread(buffer, size, 1, m_file);
    if (count)
        *count = static_cast<std::uint32_t>(elements * size);
    return elements == 1;
}

bool cBINFile::Write(const void* buffer, std::uint32_t size, std::uint32_t* count)
{
    if (count)
        *count = 0;
    if (m_file == nullptr || (buffer == nullptr && size != 0))
        return false;
    if (size == 0)
        return true;
    std::size_t elements = std::fwrite(buffer, size, 1, m_file);
    if (count)
        *count = static_cast<std::uint32_t>(elements * size);
    return elements == 1;
}

bool cBINFile::Rewind()
{
    if (m_file == nullptr)
        return false;
    std::rewind(m_file);
    return true;
}

std::int64_t cBINFile::Tell()
{
    if (m_file == nullptr)
        return 0;
    return static_cast<std::int64_t>(::ftello(m_file));
}

bool cBINFile::Seek(std::int64_t position)
{
    if (m_file == nullptr || position < 0)
        return false;
    return ::fseeko(m_file, static_cast<off_t>(position), SEEK_SET) == 0;
}

bool cBINFile::IsEof()
{
    if (m_file == nullptr)
        return true;
    return std::feof(m_file) != 0;
}
