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
#include <memory>
#include <string>
#include <string_view>
#include <thread>
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

// Where the bytes of a file read in parts side by side go: the part's
// number (parts follow one another in the file, numbered from 0), the
// offset of the bytes and the bytes. Each part's bytes come in order, on a
// thread of the part's own.
inline constexpr unsigned kMaxFileParts = 8;
using FileBytesSink =
    std::function<void(unsigned part, std::uint64_t offset, const std::uint8_t* bytes, std::size_t count)>;

// A file read where its records lie instead of held whole: one pass over
// its bytes in parts side by side (for a checksum), then reads of the
// records in the order they lie, each stage of the file read ahead on a
// thread while the one before is taken. The second reads come from the
// page cache the first filled; a big file's pages are dropped from the
// cache when the reader closes it.
class cFileReader
{
public:
    cFileReader() = default;
    cFileReader(const cFileReader&) = delete;
    cFileReader& operator=(const cFileReader&) = delete;
    ~cFileReader();

    // Opens a regular file as ReadFileBytes does: one that does not start
    // with `magic` fails as foreign before anything more is read, one
    // larger than the machine's memory is refused.
    bool Open(const std::wstring& path, std::wstring& error, std::string_view magic = {}, bool* foreign = nullptr);
    std::uint64_t Size() const { return m_size; }
    // Hands the first `size` bytes to `take` in up to kMaxFileParts parts
    // read side by side, reporting every tenth once; false, with a message,
    // when a read failed or the file ends before them.
    bool Scan(std::uint64_t size, const FileBytesSink& take, std::wstring& error, const FileProgress& progress = {});
    // Exactly `size` bytes from `offset`; false, with a message in Error,
    // when a read fails or the file no longer holds them. One thread may
    // read while another scans.
    bool Read(std::uint64_t offset, void* into, std::size_t size);
    // The file's size and time of change are still those it was opened with.
    bool Unchanged() const;
    const std::wstring& Error() const { return m_error; }

private:
    struct stStage
    {
        std::uint8_t* bytes = nullptr;
        std::uint64_t start = 0;
        std::size_t size = 0;
        int error = 0;
    };
    bool Fill(stStage& stage, std::uint64_t at);
    bool ReadInParts(std::uint64_t offset, std::uint8_t* into, std::size_t size);
    void WaitForAhead();
    bool Fail(int error);

    std::wstring m_path;
    int m_fd = -1;
    std::uint64_t m_size = 0;
    long long m_changed = 0;
    std::size_t m_stageBytes = 0;
    stStage m_stage[2];
    int m_current = 0;
    std::thread m_ahead;
    std::wstring m_error;
};

// Has the kernel make the pages of fresh memory (reserved, not yet
// written), a slice per thread side by side: a big file's or record's
// hundreds of megabytes would take their page faults one after another on
// the thread that fills them. Memory it cannot make now is made when it is
// first written, as usual.
void MakePagesSideBySide(void* memory, std::size_t size);

// Writes through a flushed temporary file renamed over the target.
bool WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes, std::wstring& error);
// The same with the file's bytes in pieces.
bool WriteFileAtomically(const std::wstring& path, const std::vector<stByteSpan>& pieces, std::wstring& error,
                         const FileProgress& progress = {});

// A file written as it is made, through the same flushed temporary file:
// bytes are appended, a placeholder written earlier may be filled in, a
// part that turns out unwanted cut off again. Nothing replaces the target
// before Commit; a writer destroyed uncommitted removes its temporary file.
// After a failed transfer every further one fails, and Error says why.
//
// Appended bytes are gathered in a stage of whole disk blocks that goes to
// the disk past the page cache where the file system allows it: a document
// of a gigabyte would otherwise be copied into as much fresh cache memory
// and written out again by the flush at Commit, several times slower than
// the disk takes it. The last part of the stage, the bytes filled in and
// the bytes read back go through the cache.
class cAtomicFileWriter
{
public:
    explicit cAtomicFileWriter(const FileProgress& progress = {});
    cAtomicFileWriter(const cAtomicFileWriter&) = delete;
    cAtomicFileWriter& operator=(const cAtomicFileWriter&) = delete;
    ~cAtomicFileWriter();

    // Checks the target as a save must (a regular file the user may write,
    // links followed) and opens the temporary file beside it.
    bool Begin(const std::wstring& path, std::wstring& error);
    bool Append(const std::uint8_t* bytes, std::size_t size);
    // Rewrites bytes already appended.
    bool Overwrite(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size);
    bool ReadBack(std::uint64_t offset, std::uint8_t* bytes, std::size_t size);
    // Drops everything from `size` on.
    bool CutTo(std::uint64_t size);
    std::uint64_t Size() const { return m_size; }
    bool Failed() const { return m_failed; }
    const std::wstring& Error() const { return m_error; }
    // How large the file is expected to grow: progress is reported in
    // tenths of it once it reaches kProgressByteCount (100 comes at Commit).
    void ExpectSize(std::uint64_t total);
    bool Commit(std::wstring& error);

private:
    bool Fail(const std::wstring& what);
    void ReportProgress();
    // Hands the stage's whole blocks to a thread that writes them to the
    // file while a second stage fills, and keeps the rest.
    bool FlushStage();
    // Waits until the stage handed on is in the file; false when it failed.
    bool WaitForWriter();
    bool WriteAt(const std::uint8_t* bytes, std::size_t size, std::uint64_t offset);
    bool ReadAt(std::uint8_t* bytes, std::size_t size, std::uint64_t offset);

    std::wstring m_path;
    std::string m_target;
    std::string m_temp;
    std::string m_folder;
    int m_fd = -1;
    // The temporary file opened for transfers past the cache, or -1.
    int m_direct = -1;
    // The bytes from m_flushed (a whole number of blocks) to the end, in a
    // buffer aligned for the disk; null when it could not be had (bytes then
    // go straight to the file).
    struct stFreeStage
    {
        void operator()(std::uint8_t* stage) const;
    };
    std::unique_ptr<std::uint8_t, stFreeStage> m_stage;
    // The stage the writer thread writes, made at the first hand-over.
    std::unique_ptr<std::uint8_t, stFreeStage> m_spare;
    std::thread m_writer;
    // What the writer found: an error number, and that the file system
    // refused direct transfers (read once it is joined).
    int m_writeError = 0;
    bool m_refused = false;
    std::size_t m_staged = 0;
    std::uint64_t m_flushed = 0;
    bool m_exists = false;
    unsigned m_mode = 0;
    unsigned m_uid = 0;
    unsigned m_gid = 0;
    std::uint64_t m_size = 0;
    bool m_failed = false;
    std::wstring m_error;
    FileProgress m_progress;
    std::uint64_t m_expected = 0;
    int m_reported = -1;
};

} // namespace dezaz
