// Reading and writing whole document files. Reading takes regular files
// only (a FIFO would block, a device never end), checks the expected
// leading bytes before anything more is read, and holds no more than the
// file's size. Writing goes through a flushed temporary file renamed over
// the target, so an interrupted save never leaves a torn document, and
// keeps what was there: the permission bits, a symbolic link (the file it
// names is written), and a file the user may not write is refused.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dezaz
{

// How far a long read or write has come, 0 to 100 in steps of 10; called
// only for files of at least kProgressByteCount bytes.
using FileProgress = std::function<void(int percent)>;
inline constexpr std::uint64_t kProgressByteCount = std::uint64_t{64} << 20;

// Bytes that are written in place, one piece after another.
struct stByteSpan
{
    const std::uint8_t* bytes;
    std::size_t size;
};

// The whole file, or false with a message. With a non-empty magic, a file
// that does not start with it fails as foreign before the rest is read
// (the message then names it so; the caller words it for its format).
bool ReadFileBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error,
                   std::string_view magic = {}, bool* foreign = nullptr, const FileProgress& progress = {});

// Writes through a flushed temporary file renamed over the target.
bool WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes, std::wstring& error);
// The same with the file's bytes in pieces.
bool WriteFileAtomically(const std::wstring& path, const std::vector<stByteSpan>& pieces, std::wstring& error,
                         const FileProgress& progress = {});

} // namespace dezaz
