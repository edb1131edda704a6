#include "platform/host/document_file_access.h"

#include "platform/geometry/fresh_pages.h"
#include "platform/host/side_by_side.h"

#include "platform/win32/codepage.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dezaz
{

namespace
{

std::wstring SystemError()
{
    return win32::Utf8ToWide(std::strerror(errno));
}

class cFileDescriptor
{
public:
    explicit cFileDescriptor(int fd) : m_fd(fd) {}
    cFileDescriptor(const cFileDescriptor&) = delete;
    cFileDescriptor& operator=(const cFileDescriptor&) = delete;
    ~cFileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int Get() const { return m_fd; }
    int Release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    // Closes now, so that the caller sees the error close reports.
    bool Close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Reports every tenth of a long transfer, once each.
class cProgressSteps
{
public:
    cProgressSteps(std::uint64_t total, const FileProgress& progress)
        : m_total(total), m_progress(total >= kProgressByteCount ? progress : FileProgress())
    {
    }
    void Moved(std::uint64_t bytes)
    {
        m_done += bytes;
        if (!m_progress)
            return;
        const int tenths = m_total ? static_cast<int>(10 * m_done / m_total) : 10;
        while (m_reported < std::min(tenths, 10))
            m_progress(10 * ++m_reported);
    }
    void Start()
    {
        if (m_progress && m_reported < 0)
            m_progress(0), m_reported = 0;
    }

private:
    std::uint64_t m_total;
    std::uint64_t m_done = 0;
    FileProgress m_progress;
    int m_reported = -1;
};

// Slices of a long transfer between progress reports.
constexpr std::size_t kTransferSlice = std::size_t{16} << 20;
// Transfers past the page cache: offsets, sizes and memory in whole blocks
// of this size (a page, a multiple of every disk's sector), through a stage
// of this many bytes.
constexpr std::size_t kDirectBlock = 4096;
constexpr std::size_t kDirectStage = std::size_t{8} << 20;
// Files read past the cache from this size on.
constexpr std::uint64_t kDirectReadBytes = std::uint64_t{64} << 20;

// A stage for transfers past the cache, or null: aligned to, and asked to
// be made of, the machine's huge pages (2 MB), so that a transfer pins a
// few pages instead of two thousand (the pinning took about a fifth of the
// time of the thread that writes a document).
std::uint8_t* NewDirectStage()
{
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    void* memory = nullptr;
    if (::posix_memalign(&memory, kHugePage, kDirectStage) != 0)
        return nullptr;
    ::madvise(memory, kDirectStage, MADV_HUGEPAGE);
    return static_cast<std::uint8_t*>(memory);
}

// Reads up to size bytes (from `offset` when given, else where the file
// stands); the count read, less only at the end of the file.
bool ReadUpTo(int fd, std::uint8_t* into, std::size_t size, std::size_t& done, cProgressSteps* steps = nullptr,
              const std::uint64_t* offset = nullptr)
{
    done = 0;
    if (steps)
        steps->Start();
    while (done < size)
    {
        const std::size_t slice = std::min(size - done, kTransferSlice);
        const ssize_t n = offset ? ::pread(fd, into + done, slice, static_cast<off_t>(*offset + done))
                                 : ::read(fd, into + done, slice);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
        if (steps)
            steps->Moved(static_cast<std::uint64_t>(n));
    }
    return true;
}

// Threads that share a big file's transfer (and the faults of the fresh
// memory it lands in, which cost more than the disk on a loaded machine).
unsigned TransferThreads()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, 4u);
}

// Reads the open file's bytes from `from` on into `into`, past the page
// cache through aligned stages, in pieces side by side (a big document just
// saved is not in the cache, and reading it through there would fill as
// much fresh memory again). False, with nothing read, when the file system
// refuses such transfers: the caller then reads as usual. A failure after
// that sets `failed`, with `done` holding what was read.
bool ReadPastCache(int fd, std::uint8_t* into, std::uint64_t from, std::size_t size, std::size_t& done, bool& failed,
                   cProgressSteps& steps)
{
    done = 0;
    failed = false;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_DIRECT) != 0)
        return false;
    // Pieces of whole stages of the file from the block that holds `from`.
    const std::uint64_t start = from - from % kDirectBlock;
    const std::uint64_t stages = (from + size - start + kDirectStage - 1) / kDirectStage;
    const unsigned pieces = static_cast<unsigned>(std::clamp<std::uint64_t>(stages, 1, TransferThreads()));
    struct stPiece
    {
        std::uint64_t first = 0, end = 0; // file offsets: stage-aligned first, end of what it takes
        std::size_t done = 0;             // bytes it put in place, from its first wanted byte
        bool refused = false, failed = false, short_ = false;
        int error = 0;
    };
    std::vector<stPiece> piece(pieces);
    const std::uint64_t perPiece = (stages + pieces - 1) / pieces * kDirectStage;
    for (unsigned k = 0; k < pieces; ++k)
    {
        piece[k].first = start + k * perPiece;
        piece[k].end = std::min<std::uint64_t>(from + size, start + (k + 1) * perPiece);
    }
    std::atomic<std::uint64_t> moved{0};
    std::uint64_t reported = 0;
    const auto read = [&](unsigned k) {
        stPiece& p = piece[k];
        void* memory = nullptr;
        if (::posix_memalign(&memory, kDirectBlock, kDirectStage) != 0)
        {
            p.failed = true, p.error = ENOMEM;
            return;
        }
        const std::unique_ptr<std::uint8_t, decltype(&std::free)> stage(static_cast<std::uint8_t*>(memory), &std::free);
        const std::uint64_t wanted = std::max(p.first, from);
        for (std::uint64_t at = p.first; at < p.end;)
        {
            const ssize_t n = ::pread(fd, stage.get(), kDirectStage, static_cast<off_t>(at));
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n < 0)
            {
                (at == p.first && errno == EINVAL ? p.refused : p.failed) = true;
                p.error = errno;
                return;
            }
            const std::uint64_t got = std::min<std::uint64_t>(at + static_cast<std::uint64_t>(n), p.end);
            if (got > std::max(at, wanted))
            {
                const std::uint64_t skip = std::max(at, wanted) - at;
                const std::size_t take = static_cast<std::size_t>(got - at - skip);
                std::memcpy(into + (at + skip - from), stage.get() + skip, take);
                p.done += take;
                moved += take;
            }
            // The calling thread reads the first piece and tells the progress.
            if (k == 0)
            {
                const std::uint64_t now = moved.load();
                steps.Moved(now - reported);
                reported = now;
            }
            at += static_cast<std::uint64_t>(n);
            // A short read ends the file (one cut short while it is read).
            if (static_cast<std::size_t>(n) < kDirectStage)
            {
                p.short_ = at < p.end;
                return;
            }
        }
    };
    steps.Start();
    RunSideBySide(pieces, read, [&] {
        steps.Moved(moved.load() - reported);
        reported = moved.load();
    });
    // What is read runs up to the first piece that stopped short.
    for (const stPiece& p : piece)
    {
        if (p.refused && &p == &piece[0] && p.done == 0)
        {
            // Refused at once: read as usual.
            ::fcntl(fd, F_SETFL, flags);
            return false;
        }
        done += p.done;
        if (p.refused || p.failed)
        {
            failed = true;
            errno = p.error;
            return true;
        }
        if (p.short_)
            break;
    }
    steps.Moved(moved.load() - reported);
    return true;
}

// The memory the machine has: no document larger than it can be opened.
std::uint64_t MemorySize()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES), page = ::sysconf(_SC_PAGE_SIZE);
    return pages > 0 && page > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page) : UINT64_MAX;
}

// The file a path finally names, its symbolic links followed (a link to a
// file that does not exist yet names where the file will be made).
bool FinalTarget(std::filesystem::path path, std::filesystem::path& target, std::wstring& error)
{
    for (int depth = 0; depth < 40; ++depth)
    {
        struct stat info
        {
        };
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        {
            target = path;
            return true;
        }
        char link[PATH_MAX];
        const ssize_t n = ::readlink(path.c_str(), link, sizeof link - 1);
        if (n < 0)
            break;
        const std::filesystem::path next(std::string(link, static_cast<std::size_t>(n)));
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    error = L"the symbolic links it names do not end in a file";
    return false;
}

} // namespace

void MakePagesSideBySide(void* memory, std::size_t size)
{
    ON_MakePagesSideBySide(memory, size);
}

namespace
{

// Opens a regular file for reading (a FIFO would block, a device never
// end), checks that it starts with `magic` before anything more is read
// and that it fits the machine's memory. The descriptor is left after the
// leading bytes.
int OpenChecked(const std::wstring& path, std::uint64_t& size, struct stat& info, std::wstring& error,
                std::string_view magic, bool* foreign)
{
    if (foreign)
        *foreign = false;
    const std::string name = win32::WideToUtf8(path);
    // Non-blocking, so that opening a FIFO returns at once and is refused below.
    cFileDescriptor fd(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
    {
        error = L"Cannot open \"" + path + L"\": " + SystemError();
        return -1;
    }
    if (::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode))
    {
        error = L"Cannot open \"" + path + L"\": it is not a regular file.";
        return -1;
    }
    size = static_cast<std::uint64_t>(info.st_size);
    // The leading bytes first: a foreign file is not read on.
    std::string leading(static_cast<std::size_t>(std::min<std::uint64_t>(size, magic.size())), '\0');
    std::size_t done = 0;
    if (!ReadUpTo(fd.Get(), reinterpret_cast<std::uint8_t*>(leading.data()), leading.size(), done))
    {
        error = L"Cannot read \"" + path + L"\": " + SystemError();
        return -1;
    }
    if (done < magic.size() || std::string_view(leading) != magic)
    {
        if (foreign)
            *foreign = true;
        error = L"\"" + path + L"\" is not a file of the expected kind.";
        return -1;
    }
    if (size > MemorySize() || size > std::vector<std::uint8_t>().max_size())
    {
        error = L"Cannot open \"" + path + L"\": it is larger than this computer's memory.";
        return -1;
    }
    return fd.Release();
}

} // namespace

bool ReadFileBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error,
                   std::string_view magic, bool* foreign, const FileProgress& progress)
{
    bytes.clear();
    std::uint64_t size = 0;
    struct stat info
    {
    };
    cFileDescriptor fd(OpenChecked(path, size, info, error, magic, foreign));
    if (fd.Get() < 0)
        return false;
    try
    {
        bytes.assign(magic.begin(), magic.end());
        std::size_t done = bytes.size();
        // A big file's fresh memory is made side by side first.
        if (size >= kDirectReadBytes)
        {
            bytes.reserve(static_cast<std::size_t>(size));
            MakePagesSideBySide(bytes.data(), bytes.capacity());
        }
        bytes.resize(static_cast<std::size_t>(size));
        cProgressSteps steps(bytes.size() - done, progress);
        const std::size_t first = done;
        bool failed = false;
        const bool past = size >= kDirectReadBytes &&
                          ReadPastCache(fd.Get(), bytes.data() + first, first, bytes.size() - first, done, failed, steps);
        if (failed || (!past && !ReadUpTo(fd.Get(), bytes.data() + first, bytes.size() - first, done, &steps)))
        {
            error = L"Cannot read \"" + path + L"\": " + SystemError();
            bytes.clear();
            return false;
        }
        // A file cut short while it was read holds what was read.
        bytes.resize(magic.size() + done);
    }
    catch (const std::bad_alloc&)
    {
        error = L"Cannot open \"" + path + L"\": there is not enough memory for it.";
        std::vector<std::uint8_t>().swap(bytes);
        return false;
    }
    catch (const std::length_error&)
    {
        error = L"Cannot open \"" + path + L"\": there is not enough memory for it.";
        std::vector<std::uint8_t>().swap(bytes);
        return false;
    }
    return true;
}

cFileReader::~cFileReader()
{
    WaitForAhead();
    for (stStage& stage : m_stage)
        std::free(stage.bytes);
    if (m_fd < 0)
        return;
    // A big file read through the cache leaves it: the cache would hold as
    // much memory again as the document read from it.
    if (m_size >= kDirectReadBytes)
        ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(m_fd);
}

namespace
{

long long ChangeTime(const struct stat& info)
{
    return static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec;
}

// A part of a file's scan takes at least this many bytes, and reads them
// through a buffer of this size.
constexpr std::uint64_t kScanPartBytes = std::uint64_t{32} << 20;
constexpr std::size_t kScanBuffer = std::size_t{256} << 10;
// The records are read a stage of this size at a time; a read of this many
// bytes or more that no stage holds is read in up to kReadParts parts side
// by side.
constexpr std::size_t kReadStage = std::size_t{4} << 20;
constexpr std::size_t kReadInPartsBytes = std::size_t{1} << 20;
constexpr unsigned kReadParts = 4;

} // namespace

bool cFileReader::Open(const std::wstring& path, std::wstring& error, std::string_view magic, bool* foreign)
{
    struct stat info
    {
    };
    m_path = path;
    m_fd = OpenChecked(path, m_size, info, error, magic, foreign);
    if (m_fd < 0)
        return false;
    m_changed = ChangeTime(info);
    m_stageBytes = static_cast<std::size_t>(std::clamp<std::uint64_t>(m_size, 1, kReadStage));
    return true;
}

bool cFileReader::Scan(std::uint64_t size, const FileBytesSink& take, std::wstring& error, const FileProgress& progress)
{
    // Through the cache, in parts side by side: the kernel fills the cache
    // on several threads (a big document just saved past the cache is not
    // there), and the records read next come from the cache.
    const unsigned parts = static_cast<unsigned>(std::clamp<std::uint64_t>(
        size / kScanPartBytes, 1, std::clamp(std::thread::hardware_concurrency(), 1u, kMaxFileParts)));
    struct stPart
    {
        std::uint64_t begin = 0, end = 0, done = 0;
        int error = 0;
    };
    std::vector<stPart> part(parts);
    const std::uint64_t perPart = (size / parts + kScanBuffer - 1) / kScanBuffer * kScanBuffer;
    for (unsigned k = 0; k < parts; ++k)
    {
        part[k].begin = std::min(size, k * perPart);
        part[k].end = k + 1 == parts ? size : std::min(size, (k + 1) * perPart);
    }
    // Each part is read in order: the kernel reads further ahead.
    ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    cProgressSteps steps(size, progress);
    std::atomic<std::uint64_t> moved{0};
    std::uint64_t reported = 0;
    const auto read = [&](unsigned k) {
        stPart& p = part[k];
        const std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[kScanBuffer]);
        if (!buffer)
        {
            p.error = ENOMEM;
            return;
        }
        for (std::uint64_t at = p.begin; at < p.end;)
        {
            const ssize_t n = ::pread(m_fd, buffer.get(), static_cast<std::size_t>(std::min<std::uint64_t>(kScanBuffer, p.end - at)),
                                      static_cast<off_t>(at));
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
            {
                p.error = n < 0 ? errno : 0;
                return;
            }
            take(k, at, buffer.get(), static_cast<std::size_t>(n));
            at += static_cast<std::uint64_t>(n);
            p.done += static_cast<std::uint64_t>(n);
            moved += static_cast<std::uint64_t>(n);
            // The calling thread reads the first part and tells the progress.
            if (k == 0)
            {
                const std::uint64_t now = moved.load();
                steps.Moved(now - reported);
                reported = now;
            }
        }
    };
    const auto report = [&] {
        steps.Moved(moved.load() - reported);
        reported = moved.load();
    };
    steps.Start();
    RunSideBySide(parts, read, report);
    report();
    for (const stPart& p : part)
        if (p.done != p.end - p.begin)
        {
            errno = p.error;
            error = L"Cannot read \"" + m_path + L"\": " +
                    (p.error ? SystemError() : std::wstring(L"it was cut short while it was read."));
            return false;
        }
    return true;
}

bool cFileReader::Fill(stStage& stage, std::uint64_t at)
{
    stage.error = 0;
    stage.size = 0;
    stage.start = at;
    if (!stage.bytes)
        stage.bytes = static_cast<std::uint8_t*>(std::malloc(m_stageBytes));
    if (!stage.bytes)
    {
        stage.error = ENOMEM;
        return false;
    }
    std::size_t done = 0;
    if (!ReadUpTo(m_fd, stage.bytes, m_stageBytes, done, nullptr, &at))
    {
        stage.error = errno;
        return false;
    }
    stage.size = done;
    return true;
}

void cFileReader::WaitForAhead()
{
    if (m_ahead.joinable())
        m_ahead.join();
}

bool cFileReader::Fail(int error)
{
    m_error = L"Cannot read \"" + m_path + L"\": " +
              (error ? win32::Utf8ToWide(std::strerror(error)) : std::wstring(L"it was cut short while it was read."));
    return false;
}

bool cFileReader::Read(std::uint64_t offset, void* into, std::size_t size)
{
    auto* out = static_cast<std::uint8_t*>(into);
    const auto holds = [&offset](const stStage& stage) {
        return stage.bytes && stage.error == 0 && offset >= stage.start && offset - stage.start < stage.size;
    };
    while (size > 0)
    {
        if (!holds(m_stage[m_current]))
        {
            WaitForAhead();
            if (holds(m_stage[1 - m_current]))
                m_current = 1 - m_current;
            else if (size >= kReadInPartsBytes)
                return ReadInParts(offset, out, size);
            else if (!Fill(m_stage[m_current], offset))
                return Fail(m_stage[m_current].error);
            const stStage& current = m_stage[m_current];
            if (!holds(current))
                return Fail(0);
            // The next stage is read while this one is taken.
            const std::uint64_t next = current.start + current.size;
            if (current.size == m_stageBytes && next < m_size)
            {
                stStage& ahead = m_stage[1 - m_current];
                try
                {
                    m_ahead = std::thread([this, &ahead, next] { Fill(ahead, next); });
                }
                catch (const std::system_error&)
                {
                    // No thread to be had: the next stage is read when it is wanted.
                }
            }
        }
        const stStage& current = m_stage[m_current];
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, current.start + current.size - offset));
        std::memcpy(out, current.bytes + (offset - current.start), n);
        out += n;
        offset += n;
        size -= n;
    }
    return true;
}

bool cFileReader::ReadInParts(std::uint64_t offset, std::uint8_t* into, std::size_t size)
{
    // Straight into place, a part per thread: the kernel's copies out of the
    // cache side by side, and none through a stage.
    const unsigned parts = static_cast<unsigned>(std::min<std::size_t>(size / (kReadInPartsBytes / 2), kReadParts));
    const std::size_t perPart = (size + parts - 1) / parts;
    int errors[kReadParts] = {};
    std::size_t done[kReadParts] = {};
    const auto read = [&](unsigned k) {
        const std::size_t from = std::min(size, k * perPart), to = std::min(size, from + perPart);
        const std::uint64_t at = offset + from;
        if (!ReadUpTo(m_fd, into + from, to - from, done[k], nullptr, &at))
            errors[k] = errno;
    };
    RunSideBySide(parts, read);
    for (unsigned k = 0; k < parts; ++k)
    {
        if (errors[k] != 0)
            return Fail(errors[k]);
        if (done[k] != std::min(size, (k + 1) * perPart) - std::min(size, k * perPart))
            return Fail(0);
    }
    return true;
}

bool cFileReader::Unchanged() const
{
    struct stat info
    {
    };
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 && static_cast<std::uint64_t>(info.st_size) == m_size &&
           ChangeTime(info) == m_changed;
}

bool WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes, std::wstring& error)
{
    return WriteFileAtomically(path, std::vector<stByteSpan>{{bytes.data(), bytes.size()}}, error);
}

bool WriteFileAtomically(const std::wstring& path, const std::vector<stByteSpan>& pieces, std::wstring& error,
                         const FileProgress& progress)
{
    cAtomicFileWriter file(progress);
    if (!file.Begin(path, error))
        return false;
    std::uint64_t total = 0;
    for (const stByteSpan& piece : pieces)
        total += piece.size;
    file.ExpectSize(total);
    for (const stByteSpan& piece : pieces)
        if (!file.Append(piece.bytes, piece.size))
            break;
    return file.Commit(error);
}

cAtomicFileWriter::cAtomicFileWriter(const FileProgress& progress) : m_progress(progress) {}

cAtomicFileWriter::~cAtomicFileWriter()
{
    if (m_writer.joinable())
        m_writer.join();
    if (m_direct >= 0)
        ::close(m_direct);
    if (m_fd >= 0)
    {
        ::close(m_fd);
        std::remove(m_temp.c_str());
    }
}

bool cAtomicFileWriter::Begin(const std::wstring& path, std::wstring& error)
{
    m_path = path;
    std::filesystem::path target;
    if (!FinalTarget(std::filesystem::path(win32::WideToUtf8(path)), target, error))
    {
        error = L"Cannot save \"" + path + L"\": " + error + L".";
        return false;
    }
    // What is there now decides the new file's permissions; a file the
    // user may not write is not replaced (renaming over it would succeed).
    struct stat existing
    {
    };
    m_exists = ::stat(target.c_str(), &existing) == 0;
    if (m_exists && !S_ISREG(existing.st_mode))
    {
        error = L"Cannot save \"" + path + L"\": it is not a regular file.";
        return false;
    }
    if (m_exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
    {
        error = L"Cannot save \"" + path + L"\": " + SystemError() + L" (the file may not be written).";
        return false;
    }
    m_mode = existing.st_mode & 07777;
    m_uid = existing.st_uid;
    m_gid = existing.st_gid;
    m_target = target.string();
    std::filesystem::path folder = target.parent_path();
    m_folder = folder.empty() ? std::string(".") : folder.string();
    // A short name of its own, so that a target whose name is as long as a
    // name may be still has room for its temporary file beside it.
    m_temp = (std::filesystem::path(m_folder) / ".dezaz-save-XXXXXX").string();
    m_fd = ::mkstemp(m_temp.data());
    if (m_fd < 0)
    {
        error = L"Cannot write in the folder of \"" + path + L"\": " + SystemError();
        return false;
    }
    // Bytes are staged when there is room for the stage, and the stage goes
    // past the cache when the file system takes that.
    if (std::uint8_t* stage = NewDirectStage())
    {
        m_stage.reset(stage);
        // The same file again (not the name, which another could replace).
        m_direct = ::open(("/proc/self/fd/" + std::to_string(m_fd)).c_str(), O_WRONLY | O_CLOEXEC | O_DIRECT);
    }
    return true;
}

void cAtomicFileWriter::stFreeStage::operator()(std::uint8_t* stage) const
{
    std::free(stage);
}

bool cAtomicFileWriter::WriteAt(const std::uint8_t* bytes, std::size_t size, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::pwrite(m_fd, bytes + done, std::min(size - done, kTransferSlice),
                                   static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(L"Cannot write");
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool cAtomicFileWriter::ReadAt(std::uint8_t* bytes, std::size_t size, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < size)
    {
        const ssize_t n = ::pread(m_fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return Fail(L"Cannot read back");
        done += static_cast<std::size_t>(n);
    }
    return true;
}

namespace
{

// Writes the bytes at the offset, past the cache while `direct` is open for
// it (whole blocks); the rest goes through the cache. 0, or the error.
// `refused` tells that the file system took no more direct transfers.
int TransferOut(int direct, int fd, const std::uint8_t* bytes, std::size_t size, std::uint64_t offset, bool& refused)
{
    refused = refused || direct < 0;
    std::size_t done = 0;
    while (done < size)
    {
        const int to = refused ? fd : direct;
        const ssize_t n = ::pwrite(to, bytes + done, std::min(size - done, kTransferSlice), static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (to == direct && ((n < 0 && errno == EINVAL) || (n > 0 && static_cast<std::size_t>(n) % kDirectBlock != 0)))
        {
            // The file system takes no such transfer here (or took part of
            // a block): the rest goes through the cache.
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
            refused = true;
            continue;
        }
        if (n <= 0)
            return n < 0 ? errno : EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

} // namespace

bool cAtomicFileWriter::WaitForWriter()
{
    if (m_writer.joinable())
        m_writer.join();
    if (m_refused && m_direct >= 0)
    {
        ::close(m_direct);
        m_direct = -1;
    }
    if (m_writeError == 0)
        return true;
    errno = m_writeError;
    m_writeError = 0;
    return Fail(L"Cannot write");
}

bool cAtomicFileWriter::FlushStage()
{
    // One stage is written while the next fills: the disk's time passes
    // while the caller makes the next bytes.
    if (!WaitForWriter())
        return false;
    if (!m_spare)
    {
        m_spare.reset(NewDirectStage());
    }
    const std::size_t whole = m_staged - m_staged % kDirectBlock;
    const std::uint64_t at = m_flushed;
    if (!m_spare)
    {
        // No second stage: written here and now.
        m_writeError = TransferOut(m_direct, m_fd, m_stage.get(), whole, at, m_refused);
        if (!WaitForWriter())
            return false;
        std::memmove(m_stage.get(), m_stage.get() + whole, m_staged - whole);
    }
    else
    {
        std::swap(m_stage, m_spare);
        std::memcpy(m_stage.get(), m_spare.get() + whole, m_staged - whole);
        const std::uint8_t* bytes = m_spare.get();
        const auto write = [this, bytes, whole, at] {
            m_writeError = TransferOut(m_direct, m_fd, bytes, whole, at, m_refused);
        };
        try
        {
            m_writer = std::thread(write);
        }
        catch (const std::system_error&)
        {
            write();
        }
    }
    m_staged -= whole;
    m_flushed += whole;
    return true;
}

bool cAtomicFileWriter::Fail(const std::wstring& what)
{
    if (!m_failed)
        m_error = what + L" \"" + m_path + L"\": " + SystemError();
    m_failed = true;
    return false;
}

bool cAtomicFileWriter::Append(const std::uint8_t* bytes, std::size_t size)
{
    if (m_failed || m_fd < 0)
        return false;
    while (size > 0)
    {
        std::size_t n = std::min(size, kTransferSlice);
        if (m_stage)
        {
            n = std::min(n, kDirectStage - m_staged);
            std::memcpy(m_stage.get() + m_staged, bytes, n);
            m_staged += n;
            if (m_staged == kDirectStage && !FlushStage())
                return false;
        }
        else if (!WriteAt(bytes, n, m_size))
            return false;
        bytes += n;
        size -= n;
        m_size += n;
        ReportProgress();
    }
    return true;
}

bool cAtomicFileWriter::Overwrite(std::uint64_t offset, const std::uint8_t* bytes, std::size_t size)
{
    if (m_failed || m_fd < 0 || offset > m_size || size > m_size - offset || !WaitForWriter())
        return false;
    // Bytes in the file through the cache, bytes still staged in the stage.
    const std::uint64_t inFile = m_stage ? m_flushed : m_size;
    const std::size_t filed =
        offset < inFile ? static_cast<std::size_t>(std::min<std::uint64_t>(size, inFile - offset)) : 0;
    if (filed != 0 && !WriteAt(bytes, filed, offset))
        return false;
    if (size > filed)
        std::memcpy(m_stage.get() + (offset + filed - m_flushed), bytes + filed, size - filed);
    return true;
}

bool cAtomicFileWriter::ReadBack(std::uint64_t offset, std::uint8_t* bytes, std::size_t size)
{
    if (m_failed || m_fd < 0 || offset > m_size || size > m_size - offset || !WaitForWriter())
        return false;
    const std::uint64_t inFile = m_stage ? m_flushed : m_size;
    const std::size_t filed =
        offset < inFile ? static_cast<std::size_t>(std::min<std::uint64_t>(size, inFile - offset)) : 0;
    if (filed != 0 && !ReadAt(bytes, filed, offset))
        return false;
    if (size > filed)
        std::memcpy(bytes + filed, m_stage.get() + (offset + filed - m_flushed), size - filed);
    return true;
}

bool cAtomicFileWriter::CutTo(std::uint64_t size)
{
    if (m_failed || m_fd < 0 || size > m_size || !WaitForWriter())
        return false;
    if (m_stage && size >= m_flushed)
    {
        // Only staged bytes go.
        m_staged = static_cast<std::size_t>(size - m_flushed);
        m_size = size;
        return true;
    }
    if (::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        return Fail(L"Cannot write");
    // The stage starts again at the block that holds the new end, with the
    // bytes of that block that stay.
    m_size = size;
    if (!m_stage)
        return true;
    const std::uint64_t block = size - size % kDirectBlock;
    m_staged = static_cast<std::size_t>(size - block);
    m_flushed = block;
    return m_staged == 0 || ReadAt(m_stage.get(), m_staged, block);
}

void cAtomicFileWriter::ExpectSize(std::uint64_t total)
{
    m_expected = total;
    ReportProgress();
}

void cAtomicFileWriter::ReportProgress()
{
    if (!m_progress || m_expected < kProgressByteCount)
        return;
    if (m_reported < 0)
        m_progress(0), m_reported = 0;
    const int tenths = static_cast<int>(std::min<std::uint64_t>(10 * m_size / m_expected, 10));
    // The last tenth comes when the file is whole.
    while (m_reported < std::min(tenths, 9))
        m_progress(10 * ++m_reported);
}

bool cAtomicFileWriter::Commit(std::wstring& error)
{
    if (m_fd < 0)
    {
        error = L"Cannot write \"" + m_path + L"\".";
        return false;
    }
    // The rest of the stage goes through the cache.
    bool ok = WaitForWriter() && !m_failed && (m_staged == 0 || WriteAt(m_stage.get(), m_staged, m_flushed));
    if (m_direct >= 0)
        ::close(m_direct);
    m_direct = -1;
    if (ok)
    {
        mode_t mode = 0;
        if (m_exists)
        {
            mode = static_cast<mode_t>(m_mode);
            // Where the owner or group cannot be kept, nobody else gains
            // access through the new file's own group.
            if (::fchown(m_fd, static_cast<uid_t>(m_uid), static_cast<gid_t>(m_gid)) != 0)
                mode = (mode & ~static_cast<mode_t>(S_IRWXG)) | ((mode & S_IRWXO) << 3);
        }
        else
        {
            // mkstemp makes the file private; a new document gets the usual permissions.
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ok = (::fchmod(m_fd, mode) == 0 && ::fsync(m_fd) == 0) || Fail(L"Cannot write");
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && ok)
        ok = Fail(L"Cannot write");
    if (ok && std::rename(m_temp.c_str(), m_target.c_str()) != 0)
        ok = Fail(L"Cannot replace");
    if (!ok)
    {
        std::remove(m_temp.c_str());
        error = m_error;
        return false;
    }
    if (m_progress && m_expected >= kProgressByteCount)
        while (m_reported < 10)
            m_progress(10 * ++m_reported);
    // The rename itself reaches the disk with its folder.
    cFileDescriptor dir(::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0)
        ::fsync(dir.Get());
    return true;
}

} // namespace dezaz
