#include "platform/host/document_io.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/document_format.h"
#include "platform/host/span_archive.h"
#include "platform/win32/codepage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <filesystem>
#include <unistd.h>

namespace dezaz
{

namespace
{

std::wstring SystemError()
{
    return win32::Utf8ToWide(std::strerror(errno));
}

} // namespace

bool ReadFileBytes(const std::wstring& path, std::vector<std::uint8_t>& bytes, std::wstring& error)
{
    const std::string name = win32::WideToUtf8(path);
    std::FILE* fp = std::fopen(name.c_str(), "rb");
    if (!fp)
    {
        error = L"Cannot open \"" + path + L"\": " + SystemError();
        return false;
    }
    bytes.clear();
    std::uint8_t buffer[1 << 16];
    for (;;)
    {
        const std::size_t n = std::fread(buffer, 1, sizeof buffer, fp);
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (n < sizeof buffer)
            break;
    }
    const bool failed = std::ferror(fp) != 0;
    std::fclose(fp);
    if (failed)
    {
        error = L"Cannot read \"" + path + L"\".";
        return false;
    }
    return true;
}

bool WriteFileAtomically(const std::wstring& path, const std::vector<std::uint8_t>& bytes, std::wstring& error)
{
    const std::filesystem::path target(win32::WideToUtf8(path));
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string hidden = target.filename().string();
    hidden.insert(hidden.begin(), '.');
    hidden += ".XXXXXX";
    std::string temp = (folder / hidden).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0)
    {
        error = L"Cannot write in the folder of \"" + path + L"\": " + SystemError();
        return false;
    }
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size())
    {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok)
        error = L"Cannot write \"" + path + L"\": " + SystemError();
    if (::close(fd) != 0 && ok)
    {
        ok = false;
        error = L"Cannot write \"" + path + L"\": " + SystemError();
    }
    // mkstemp makes the file private; a document gets the usual permissions.
    if (ok)
    {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.c_str(), 0666 & ~mask);
    }
    if (ok && std::rename(temp.c_str(), target.c_str()) != 0)
    {
        ok = false;
        error = L"Cannot replace \"" + path + L"\": " + SystemError();
    }
    if (!ok)
        std::remove(temp.c_str());
    return ok;
}

void NewDocument(CDezazDoc& doc)
{
    FireNewDocument(doc);
    doc.Clear();
}

bool OpenDocument(CDezazDoc& doc, const std::wstring& path, bool merge, std::wstring& error)
{
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(path, bytes, error))
        return false;
    CDezazDoc staged;
    std::vector<DezazPlugInChunk> chunks;
    if (!DecodeDocument(bytes.data(), bytes.size(), staged, chunks, error))
    {
        error = L"Cannot open \"" + path + L"\". " + error;
        return false;
    }
    bytes.clear();
    bytes.shrink_to_fit();

    FireBeginOpenDocument(doc, path.c_str(), merge, false);
    staged.SetFileName(path);
    doc.TakeContents(staged, merge, false);

    CDezazFileReadOptions options;
    options.SetMode(CDezazFileReadOptions::import_merge, merge);
    std::vector<DezazPlugInChunk> kept = merge ? doc.KeptPlugInChunks() : std::vector<DezazPlugInChunk>{};
    for (DezazPlugInChunk& chunk : chunks)
    {
        CDezazPlugIn* plugin = FindPlugIn(chunk.plugin_id);
        if (!plugin)
        {
            if (!merge)
                kept.push_back(std::move(chunk));
            else
                DezazApp().Print(L"Data of a plug-in that is not loaded was left out of the insert of \"%ls\".\n",
                                 path.c_str());
            continue;
        }
        // The plug-in sees exactly its own bytes; whatever it leaves unread
        // is skipped with the chunk.
        SpanArchive archive(chunk.bytes.data(), chunk.bytes.size());
        if (!plugin->ReadDocument(doc, archive, options))
            DezazApp().Print(L"%ls could not read its data from \"%ls\".\n", plugin->PlugInName(), path.c_str());
    }
    doc.SetKeptPlugInChunks(std::move(kept));
    doc.SetModified(merge);
    return true;
}

bool SaveDocument(CDezazDoc& doc, const std::wstring& path, const CDezazFileWriteOptions& options, std::wstring& error)
{
    FireBeginSaveDocument(doc, path.c_str(), options.Mode(CDezazFileWriteOptions::selected_only));
    std::vector<DezazPlugInChunk> chunks;
    for (CDezazPlugIn* plugin : LoadedPlugIns())
    {
        if (!plugin->CallWriteDocument(doc, options))
            continue;
        ON_MemoryArchive archive;
        if (!plugin->WriteDocument(doc, archive, options))
        {
            DezazApp().Print(L"%ls could not write its data; the document is saved without it.\n", plugin->PlugInName());
            continue;
        }
        DezazPlugInChunk chunk;
        chunk.plugin_id = plugin->PlugInID();
        chunk.bytes = archive.Buffer();
        chunks.push_back(std::move(chunk));
    }
    // Data of plug-ins that are not loaded goes back as it came, except into
    // an export of the geometry alone.
    if (!options.Mode(CDezazFileWriteOptions::geometry_only))
        for (const DezazPlugInChunk& kept : doc.KeptPlugInChunks())
            chunks.push_back(kept);

    std::vector<std::uint8_t> bytes;
    if (!EncodeDocument(doc, chunks, bytes, error))
        return false;
    if (!WriteFileAtomically(path, bytes, error))
        return false;
    if (!options.Mode(CDezazFileWriteOptions::geometry_only))
    {
        doc.SetFileName(path);
        doc.SetModified(false);
    }
    return true;
}

} // namespace dezaz
