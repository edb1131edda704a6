// Opening and saving documents with hostile or awkward files: what is not a
// document is refused before it is read, a failed open leaves the open
// document as it was, a save keeps the target's permissions and links and
// refuses what the user may not write, damage is called damage, and data a
// plug-in could not read survives the next save.
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/document_file_access.h"
#include "platform/host/document_format.h"
#include "platform/host/document_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;

class cScratchFolder
{
public:
    explicit cScratchFolder(const fs::path& parent = fs::temp_directory_path())
        : m_path(parent / ("vtl_doc_safety_" + std::to_string(::getpid()) + "_" + std::to_string(++s_count)))
    {
        fs::create_directories(m_path);
    }
    ~cScratchFolder() { fs::remove_all(m_path); }
    fs::path operator/(const std::string& name) const { return m_path / name; }
    const fs::path& Path() const { return m_path; }

private:
    static inline int s_count = 0;
    fs::path m_path;
};

std::vector<std::uint8_t> Encode(const CDezazDoc& doc, const std::vector<DezazPlugInChunk>& chunks = {})
{
    std::vector<std::uint8_t> bytes;
    std::wstring error;
    EXPECT_TRUE(dezaz::EncodeDocument(doc, chunks, bytes, error)) << error;
    return bytes;
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> FileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> bytes(fs::file_size(path));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

unsigned Mode(const fs::path& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// A document with one point, opened from a file, as the user has it.
void OpenSample(CDezazDoc& doc, const cScratchFolder& folder)
{
    CDezazDoc sample;
    sample.AddPointObject(ON_3dPoint(1, 2, 3));
    WriteBytes(folder / "sample.dzz", Encode(sample));
    std::wstring error;
    ASSERT_TRUE(dezaz::OpenDocument(doc, (folder / "sample.dzz").wstring(), false, error)) << error;
    doc.SetModified(true);
}

void ExpectUntouched(const CDezazDoc& doc, const cScratchFolder& folder)
{
    EXPECT_EQ(doc.ObjectCount(), 1);
    EXPECT_EQ(doc.FileName(), (folder / "sample.dzz").wstring());
    EXPECT_TRUE(doc.IsModified());
}

} // namespace

TEST(DocumentSafety, OnlyRegularFilesOpenAndAForeignFileIsNotReadPastItsHeader)
{
    cScratchFolder folder;
    CDezazDoc doc;
    OpenSample(doc, folder);
    const fs::path fifo = folder / "pipe.dzz";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // A foreign file far larger than any memory: refused from its first bytes.
    const fs::path huge = folder / "huge.dzz";
    std::ofstream(huge, std::ios::binary) << "NOTADOC!";
    fs::resize_file(huge, std::uintmax_t{1} << 40);

    const auto start = std::chrono::steady_clock::now();
    for (const fs::path& path : {fifo, fs::path("/dev/zero"), folder.Path(), huge})
    {
        std::wstring error;
        EXPECT_FALSE(dezaz::OpenDocument(doc, path.wstring(), false, error)) << path;
        EXPECT_NE(error.find(path == huge ? L"not a Dezaz document" : L"not a regular file"), std::wstring::npos)
            << path << ": " << std::string(error.begin(), error.end());
        ExpectUntouched(doc, folder);
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
}

TEST(DocumentSafety, AGoodDocumentFollowedByZerosOrLargerThanMemoryIsRefusedAndTheOpenOneKept)
{
    cScratchFolder folder;
    CDezazDoc doc;
    OpenSample(doc, folder);
    CDezazDoc other;
    other.AddPointObject(ON_3dPoint(4, 5, 6));
    other.AddPointObject(ON_3dPoint(7, 8, 9));
    const std::vector<std::uint8_t> good = Encode(other);

    const fs::path zeros = folder / "zeros.dzz";
    WriteBytes(zeros, good);
    fs::resize_file(zeros, good.size() + (64u << 20));
    std::wstring error;
    EXPECT_FALSE(dezaz::OpenDocument(doc, zeros.wstring(), false, error));
    EXPECT_NE(error.find(L"damaged"), std::wstring::npos);
    ExpectUntouched(doc, folder);

    // Beyond the machine's memory (sparse, so it costs no disk): refused
    // before any room is taken for it.
    const fs::path vast = folder / "vast.dzz";
    WriteBytes(vast, good);
    fs::resize_file(vast, std::uintmax_t{1} << 43);
    EXPECT_FALSE(dezaz::OpenDocument(doc, vast.wstring(), false, error));
    EXPECT_NE(error.find(L"memory"), std::wstring::npos) << std::string(error.begin(), error.end());
    ExpectUntouched(doc, folder);
}

TEST(DocumentSafety, ADamagedVersionFieldIsCalledDamageAndOnlyAnIntactNewerOneNewer)
{
    CDezazDoc doc;
    doc.AddPointObject(ON_3dPoint(1, 2, 3));
    std::vector<std::uint8_t> bytes = Encode(doc);
    bytes[sizeof dezaz::kDocumentMagic] ^= 0x01; // version 1 -> 0
    bytes[sizeof dezaz::kDocumentMagic + 1] ^= 0x01; // and on to 257
    CDezazDoc into;
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    EXPECT_FALSE(dezaz::DecodeDocument(bytes.data(), bytes.size(), into, chunks, error));
    EXPECT_NE(error.find(L"damaged"), std::wstring::npos) << std::string(error.begin(), error.end());
    EXPECT_EQ(error.find(L"newer"), std::wstring::npos);

    // The same field written so on purpose, checksum and all: a newer format.
    const std::size_t body = bytes.size() - 4;
    const std::uint32_t crc = dezaz::Crc32(bytes.data(), body);
    for (int i = 0; i < 4; ++i)
        bytes[body + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (8 * i));
    CDezazDoc again;
    EXPECT_FALSE(dezaz::DecodeDocument(bytes.data(), bytes.size(), again, chunks, error));
    EXPECT_NE(error.find(L"newer version"), std::wstring::npos) << std::string(error.begin(), error.end());
}

TEST(DocumentSafety, ABigFileIsWrittenFromItsPiecesAndBothWaysReportEveryTenthOnce)
{
    cScratchFolder folder;
    const fs::path path = folder / "big.dzz";
    // Three pieces, the middle one past the size that reports progress.
    std::vector<std::uint8_t> head(3, 'D'), big(std::size_t(dezaz::kProgressByteCount) + 5), tail(7, 'Z');
    for (std::size_t i = 0; i < big.size(); i += 4096)
        big[i] = static_cast<std::uint8_t>(i >> 12);
    std::vector<int> written, read;
    std::wstring error;
    ASSERT_TRUE(dezaz::WriteFileAtomically(path.wstring(),
                                           {{head.data(), head.size()}, {big.data(), big.size()}, {tail.data(), tail.size()}},
                                           error, [&](int percent) { written.push_back(percent); }))
        << error;
    std::vector<std::uint8_t> bytes;
    ASSERT_TRUE(dezaz::ReadFileBytes(path.wstring(), bytes, error, "DDD", nullptr,
                                     [&](int percent) { read.push_back(percent); }))
        << error;
    std::vector<std::uint8_t> expected = head;
    expected.insert(expected.end(), big.begin(), big.end());
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_TRUE(bytes == expected);
    const std::vector<int> tenths = {0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100};
    EXPECT_EQ(written, tenths);
    EXPECT_EQ(read, tenths);

    // A small file reports nothing.
    written.clear();
    ASSERT_TRUE(dezaz::WriteFileAtomically(path.wstring(), {{head.data(), head.size()}}, error,
                                           [&](int percent) { written.push_back(percent); }));
    EXPECT_TRUE(written.empty());
}

TEST(DocumentSafety, AWriterFillsInReadsBackAndCutsAcrossWhatIsOnTheDiskAndWhatIsStillGathered)
{
    // Bytes go to the disk in blocks of megabytes and the rest waits: every
    // change must land alike on both sides of that line, which moves.
    cScratchFolder folder;
    const fs::path path = folder / "pieces.dzz";
    std::vector<std::uint8_t> expected;
    const auto pattern = [](std::size_t n, std::uint32_t seed) {
        std::vector<std::uint8_t> bytes(n);
        for (std::size_t i = 0; i < n; ++i)
            bytes[i] = static_cast<std::uint8_t>(((i + seed) * 2654435761u) >> 11);
        return bytes;
    };
    dezaz::cAtomicFileWriter file;
    std::wstring error;
    ASSERT_TRUE(file.Begin(path.wstring(), error)) << error;
    const auto append = [&](std::size_t n, std::uint32_t seed) {
        const std::vector<std::uint8_t> bytes = pattern(n, seed);
        expected.insert(expected.end(), bytes.begin(), bytes.end());
        return file.Append(bytes.data(), bytes.size());
    };
    const auto overwrite = [&](std::size_t at, std::size_t n, std::uint32_t seed) {
        const std::vector<std::uint8_t> bytes = pattern(n, seed);
        std::copy(bytes.begin(), bytes.end(), expected.begin() + std::ptrdiff_t(at));
        return file.Overwrite(at, bytes.data(), n);
    };
    const auto readsBack = [&](std::size_t at, std::size_t n) {
        std::vector<std::uint8_t> bytes(n);
        return file.ReadBack(at, bytes.data(), n) &&
               std::equal(bytes.begin(), bytes.end(), expected.begin() + std::ptrdiff_t(at));
    };
    const std::size_t mb = std::size_t{1} << 20;
    ASSERT_TRUE(append(3, 1) && append(20 * mb, 2) && append(4097, 3));
    for (const std::size_t at : {std::size_t{0}, 16 * mb - 10, 16 * mb + 4000, 20 * mb - 1})
    {
        ASSERT_TRUE(overwrite(at, 40, std::uint32_t(at))) << at;
        ASSERT_TRUE(readsBack(at > 50 ? at - 50 : 0, 140)) << at;
    }
    // Cut below what went to the disk, off a block's edge, and written on.
    ASSERT_TRUE(file.CutTo(5 * mb + 123));
    expected.resize(5 * mb + 123);
    ASSERT_TRUE(readsBack(5 * mb, 123));
    ASSERT_TRUE(append(12 * mb, 4) && overwrite(5 * mb + 100, 50, 5));
    // Cut among the bytes still gathered.
    ASSERT_TRUE(file.CutTo(expected.size() - 999));
    expected.resize(expected.size() - 999);
    ASSERT_TRUE(append(77, 6));
    EXPECT_EQ(file.Size(), expected.size());
    ASSERT_TRUE(file.Commit(error)) << error;
    EXPECT_TRUE(FileBytes(path) == expected);
}

TEST(DocumentSafety, ASaveKeepsPermissionBitsAndWritesThroughALinkToItsFile)
{
    cScratchFolder folder;
    CDezazDoc doc;
    doc.AddPointObject(ON_3dPoint(1, 2, 3));
    std::wstring error;
    for (const unsigned mode : {0600u, 0640u, 0604u})
    {
        const fs::path path = folder / ("private_" + std::to_string(mode) + ".dzz");
        std::ofstream(path) << "old";
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error)) << error;
        EXPECT_EQ(Mode(path), mode);
        EXPECT_EQ(FileBytes(path), Encode(doc));
    }
    // A new document gets the usual permissions.
    const mode_t mask = ::umask(022);
    ASSERT_TRUE(dezaz::SaveDocument(doc, (folder / "new.dzz").wstring(), CDezazFileWriteOptions(), error));
    ::umask(mask);
    EXPECT_EQ(Mode(folder / "new.dzz"), 0644u);

    // Through a relative link, and through a link to a file not made yet:
    // the link stays, the file it names holds the document.
    fs::create_directories(folder / "real");
    std::ofstream(folder / "real" / "doc.dzz") << "old";
    ::chmod((folder / "real" / "doc.dzz").c_str(), 0600);
    fs::create_symlink("real/doc.dzz", folder / "link.dzz");
    fs::create_symlink(folder / "real" / "later.dzz", folder / "dangling.dzz");
    for (const char* link : {"link.dzz", "dangling.dzz"})
    {
        ASSERT_TRUE(dezaz::SaveDocument(doc, (folder / link).wstring(), CDezazFileWriteOptions(), error)) << error;
        EXPECT_TRUE(fs::is_symlink(folder / link)) << link;
        EXPECT_EQ(FileBytes(folder / link), Encode(doc)) << link;
    }
    EXPECT_EQ(Mode(folder / "real" / "doc.dzz"), 0600u);
    EXPECT_TRUE(fs::exists(folder / "real" / "later.dzz"));
    // Nothing is left beside the targets.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder / "real"), {}), 2);
}

TEST(DocumentSafety, NamesOfUpTo255BytesSaveAndOtherThingsThanFilesAreNotReplaced)
{
    cScratchFolder folder;
    CDezazDoc doc;
    doc.AddPointObject(ON_3dPoint(1, 2, 3));
    std::wstring error;
    for (const std::size_t length : {247u, 250u, 255u})
    {
        const std::string name = std::string(length - 4, 'n') + ".dzz";
        ASSERT_TRUE(dezaz::SaveDocument(doc, (folder / name).wstring(), CDezazFileWriteOptions(), error))
            << length << ": " << std::string(error.begin(), error.end());
        EXPECT_EQ(FileBytes(folder / name), Encode(doc));
    }
    fs::create_directories(folder / "folder.dzz");
    EXPECT_FALSE(dezaz::SaveDocument(doc, (folder / "folder.dzz").wstring(), CDezazFileWriteOptions(), error));
    EXPECT_TRUE(fs::is_directory(folder / "folder.dzz"));
}

TEST(DocumentSafety, AFileTheUserMayNotWriteIsRefusedNotReplaced)
{
    // Another user must reach the folder: the test's own temporary folder
    // may be private.
    cScratchFolder folder(::geteuid() == 0 ? fs::path("/tmp") : fs::temp_directory_path());
    const fs::path locked = folder / "locked.dzz";
    std::ofstream(locked) << "keep me";
    ::chmod(locked.c_str(), 0444);
    // The folder is open to all, so only the file's own bits can refuse.
    ::chmod(folder.Path().c_str(), 0777);
    const auto save = [&] {
        CDezazDoc doc;
        doc.AddPointObject(ON_3dPoint(1, 2, 3));
        std::wstring error;
        return !dezaz::SaveDocument(doc, locked.wstring(), CDezazFileWriteOptions(), error) &&
               error.find(L"may not be written") != std::wstring::npos;
    };
    if (::geteuid() != 0)
    {
        EXPECT_TRUE(save());
    }
    else
    {
        // The superuser may write anything: the user here is another one.
        ASSERT_EQ(::chown(locked.c_str(), 65534, 65534), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0)
        {
            const bool refused = ::setgid(65534) == 0 && ::setuid(65534) == 0 && save();
            ::_exit(refused ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::ifstream in(locked);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "keep me");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1);
}

namespace
{

// A plug-in whose reading fails or succeeds as the test says, and which
// has new data to write only when told.
class cPickyPlugIn : public CDezazUtilityPlugIn
{
public:
    GUID PlugInID() const override { return ON_UuidFromString("3C0FFEE0-1234-4321-8765-0A0B0C0D0E0F"); }
    const wchar_t* PlugInName() const override { return L"Picky"; }
    const wchar_t* PlugInVersion() const override { return L"1"; }
    BOOL CallWriteDocument(CDezazDoc&, const CDezazFileWriteOptions&) override { return !m_new_data.empty(); }
    BOOL WriteDocument(CDezazDoc&, ON_BinaryArchive& archive, const CDezazFileWriteOptions&) override
    {
        return archive.WriteByte(m_new_data.size(), m_new_data.data());
    }
    BOOL ReadDocument(CDezazDoc&, ON_BinaryArchive&, const CDezazFileReadOptions&) override { return m_reads; }

    bool m_reads = false;
    std::vector<std::uint8_t> m_new_data;
};

std::vector<DezazPlugInChunk> ChunksOf(const fs::path& path)
{
    const std::vector<std::uint8_t> bytes = FileBytes(path);
    CDezazDoc doc;
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    EXPECT_TRUE(dezaz::DecodeDocument(bytes.data(), bytes.size(), doc, chunks, error)) << error;
    return chunks;
}

} // namespace

TEST(DocumentSafety, DataAPlugInCouldNotReadIsSavedBackUnchangedUntilItWritesNewData)
{
    cScratchFolder folder;
    cPickyPlugIn plugin;
    dezaz::SetPlugInLoaded(&plugin, true);
    std::wstring printed;
    DezazApp().SetPrintSink([&printed](const std::wstring& text) { printed += text; });

    CDezazDoc source;
    source.AddPointObject(ON_3dPoint(1, 2, 3));
    const std::vector<std::uint8_t> unread = {0x7E, 1, 2, 3, 0, 255};
    WriteBytes(folder / "in.dzz", Encode(source, {{plugin.PlugInID(), unread}}));

    CDezazDoc doc;
    std::wstring error;
    ASSERT_TRUE(dezaz::OpenDocument(doc, (folder / "in.dzz").wstring(), false, error)) << error;
    EXPECT_NE(printed.find(L"Picky could not read its data"), std::wstring::npos);
    EXPECT_NE(printed.find(L"kept and saved back unchanged"), std::wstring::npos);

    // Nothing new from the plug-in: its unread bytes go back as they came.
    printed.clear();
    ASSERT_TRUE(dezaz::SaveDocument(doc, (folder / "out.dzz").wstring(), CDezazFileWriteOptions(), error));
    std::vector<DezazPlugInChunk> chunks = ChunksOf(folder / "out.dzz");
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].bytes, unread);
    EXPECT_NE(printed.find(L"The data Picky could not read is saved back unchanged"), std::wstring::npos);

    // New data from the plug-in replaces them, once, and the user is told.
    printed.clear();
    plugin.m_new_data = {9, 9};
    ASSERT_TRUE(dezaz::SaveDocument(doc, (folder / "out.dzz").wstring(), CDezazFileWriteOptions(), error));
    chunks = ChunksOf(folder / "out.dzz");
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].bytes, plugin.m_new_data);
    EXPECT_NE(printed.find(L"Picky wrote new data: it replaces the data it could not read"), std::wstring::npos);
    EXPECT_TRUE(doc.KeptPlugInChunks().empty());

    // A chunk the plug-in reads is its own business again.
    plugin.m_reads = true;
    printed.clear();
    CDezazDoc read;
    ASSERT_TRUE(dezaz::OpenDocument(read, (folder / "in.dzz").wstring(), false, error));
    EXPECT_TRUE(read.KeptPlugInChunks().empty());
    EXPECT_EQ(printed.find(L"could not read"), std::wstring::npos);

    DezazApp().SetPrintSink(nullptr);
    dezaz::SetPlugInLoaded(&plugin, false);
}

namespace
{

// A plug-in that writes its chunk in pieces, may go back and rewrite bytes
// as a record with a length in front would, and may fail half-way.
class cStreamingPlugIn : public CDezazUtilityPlugIn
{
public:
    explicit cStreamingPlugIn(const char* id) : m_id(ON_UuidFromString(id)) {}
    GUID PlugInID() const override { return m_id; }
    const wchar_t* PlugInName() const override { return L"Streaming"; }
    const wchar_t* PlugInVersion() const override { return L"1"; }
    BOOL CallWriteDocument(CDezazDoc&, const CDezazFileWriteOptions&) override { return true; }
    BOOL WriteDocument(CDezazDoc&, ON_BinaryArchive& archive, const CDezazFileWriteOptions&) override
    {
        archive.ReserveForWrite(m_data.size());
        const std::size_t half = m_data.size() / 2;
        // A rewriting plug-in leaves a placeholder at first.
        std::vector<std::uint8_t> first(m_data.begin(), m_data.begin() + static_cast<std::ptrdiff_t>(half));
        if (m_rewrite)
            std::fill(first.begin() + 3, first.begin() + 8, 0xA5);
        if (!archive.WriteByte(half, first.data()))
            return false;
        if (m_fails)
            return false;
        if (m_rewrite)
        {
            // The last bytes written over the end of what is there, then
            // the first bytes again.
            const std::size_t last = m_data.size() - 12;
            return archive.WriteByte(m_data.size() - 7 - half, m_data.data() + half) &&
                   archive.SeekFromStartOfFile(last) && archive.WriteByte(12, m_data.data() + last) &&
                   archive.SeekFromStartOfFile(3) && archive.WriteByte(5, m_data.data() + 3) &&
                   archive.SeekFromStartOfFile(m_data.size());
        }
        for (std::size_t at = half; at < m_data.size(); at += 1000)
            if (!archive.WriteByte(std::min<std::size_t>(1000, m_data.size() - at), m_data.data() + at))
                return false;
        return true;
    }

    ON_UUID m_id;
    std::vector<std::uint8_t> m_data;
    bool m_fails = false;
    bool m_rewrite = false;
};

} // namespace

TEST(DocumentSafety, ASaveThatRunsOutOfRoomInsideABigRecordFailsWithItsMessageAndKeepsTheOldFile)
{
    // A mesh record of 23 MB goes into the file as it is made; the file may
    // grow to 4 MB only (as a full disk stops it).
    cScratchFolder folder;
    CDezazDoc doc;
    ON_Mesh mesh;
    const int side = 900;
    for (int i = 0; i < side * side; ++i)
        mesh.SetVertex(i, ON_3dPoint(i % side, i / side, 0));
    for (int i = 0; i + side + 1 < side * side; ++i)
        mesh.SetQuad(i, i, i + 1, i + side + 1, i + side);
    ASSERT_NE(doc.AddMeshObject(mesh), nullptr);
    doc.AddPointObject(ON_3dPoint(1, 2, 3));
    const fs::path path = folder / "doc.dzz";
    WriteBytes(path, {'o', 'l', 'd'});
    struct rlimit before
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit limited = before;
    limited.rlim_cur = rlim_t{4} << 20;
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    std::wstring error;
    const bool saved = dezaz::SaveDocument(doc, path.wstring(), CDezazFileWriteOptions(), error);
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(saved);
    EXPECT_EQ(error, L"Cannot write \"" + path.wstring() + L"\": File too large");
    EXPECT_EQ(FileBytes(path), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1);
}

TEST(DocumentSafety, PlugInsWriteStraightIntoTheFileAndAFailedOneLeavesNoTrace)
{
    cScratchFolder folder;
    cStreamingPlugIn failing("0FA11ED0-1234-4321-8765-0A0B0C0D0E0F"), writing("57AEA4ED-1234-4321-8765-0A0B0C0D0E0F");
    failing.m_fails = true;
    failing.m_data.assign(std::size_t{3} << 20, 0xEE);
    dezaz::SetPlugInLoaded(&failing, true);
    dezaz::SetPlugInLoaded(&writing, true);
    CDezazDoc doc;
    doc.AddPointObject(ON_3dPoint(1, 2, 3));
    // A chunk past the size that reports progress, written straight on;
    // then a small one the plug-in rewrites in part.
    for (const std::size_t size : {std::size_t(dezaz::kProgressByteCount) + 12345, std::size_t{2500001}})
    {
        writing.m_rewrite = size < dezaz::kProgressByteCount;
        writing.m_data.resize(size);
        for (std::size_t i = 0; i < size; i += writing.m_rewrite ? 1 : 4093)
            writing.m_data[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
        std::vector<int> progress;
        std::wstring error;
        ASSERT_TRUE(dezaz::SaveDocument(doc, (folder / "out.dzz").wstring(), CDezazFileWriteOptions(), error,
                                        [&](int percent) { progress.push_back(percent); }))
            << error;
        EXPECT_TRUE(FileBytes(folder / "out.dzz") == Encode(doc, {{writing.m_id, writing.m_data}})) << size;
        if (!writing.m_rewrite)
            EXPECT_EQ(progress, (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));
        else
            EXPECT_TRUE(progress.empty());
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.Path()), {}), 1);
    dezaz::SetPlugInLoaded(&writing, false);
    dezaz::SetPlugInLoaded(&failing, false);
}
