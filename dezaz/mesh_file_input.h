// The bytes of a mesh file: regular files only (a FIFO or a device would
// block or never end), read no further than the size the file has when it
// is opened.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dezaz
{

class cMeshFileInput
{
public:
    cMeshFileInput() = default;
    cMeshFileInput(const cMeshFileInput&) = delete;
    cMeshFileInput& operator=(const cMeshFileInput&) = delete;
    ~cMeshFileInput();

    bool Open(const std::string& path, std::wstring& error);
    std::uint64_t Size() const { return m_size; }
    // Exactly size bytes from offset; false with a message when the file
    // cannot be read or has become shorter.
    bool ReadAt(std::uint64_t offset, void* into, std::size_t size, std::wstring& error);
    // The whole file (as long as it was when opened).
    bool ReadAll(std::vector<char>& bytes, std::wstring& error);

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

} // namespace dezaz
