#include "dezaz/mesh_file_input.h"

#include "platform/win32/codepage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dezaz
{

cMeshFileInput::~cMeshFileInput()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool cMeshFileInput::Open(const std::string& path, std::wstring& error)
{
    // Non-blocking, so that opening a FIFO returns at once and is refused below.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (m_fd < 0)
    {
        error = L"The file cannot be opened: " + win32::Utf8ToWide(std::strerror(errno)) + L".";
        return false;
    }
    struct stat info
    {
    };
    if (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))
    {
        error = L"It is not a regular file.";
        return false;
    }
    m_size = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool cMeshFileInput::ReadAt(std::uint64_t offset, void* into, std::size_t size, std::wstring& error)
{
    auto* at = static_cast<char*>(into);
    while (size > 0)
    {
        const ssize_t n = ::pread(m_fd, at, size, static_cast<off_t>(offset));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
        {
            error = n < 0 ? L"The file cannot be read: " + win32::Utf8ToWide(std::strerror(errno)) + L"."
                          : std::wstring(L"The file became shorter while it was read.");
            return false;
        }
        at += n;
        offset += static_cast<std::uint64_t>(n);
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool cMeshFileInput::ReadAll(std::vector<char>& bytes, std::wstring& error)
{
    if (m_size > bytes.max_size())
    {
        error = L"The file is too large to read.";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(m_size));
    return ReadAt(0, bytes.data(), bytes.size(), error);
}

} // namespace dezaz
