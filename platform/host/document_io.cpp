#include "platform/host/document_io.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/document_file_access.h"
#include "platform/host/document_format.h"
#include "platform/host/file_section_archive.h"
#include "platform/host/file_range_archive.h"
#include "platform/win32/codepage.h"

#include <algorithm>

namespace dezaz
{

void NewDocument(CDezazDoc& doc)
{
    FireNewDocument(doc);
    doc.Clear();
}

bool OpenDocument(CDezazDoc& doc, const std::wstring& path, bool merge, std::wstring& error,
                  const FileProgress& progress)
{
    // The file is read where its records lie, not held whole: its checksum
    // in one pass first, then the sections, and each plug-in's chunk
    // straight from the file.
    cFileReader file;
    bool foreign = false;
    if (!file.Open(path, error, std::string_view(kDocumentMagic, sizeof kDocumentMagic), &foreign))
    {
        if (foreign)
            error = L"Cannot open \"" + path + L"\". The file is not a Dezaz document.";
        return false;
    }
    CDezazDoc staged;
    std::vector<stPlugInChunkAt> chunks;
    if (!DecodeDocument(file, staged, chunks, error, progress))
    {
        error = L"Cannot open \"" + path + L"\". " + error;
        return false;
    }
    // The file is read twice: the bytes checked must be those read (a save
    // replaces a document by a new file, which leaves this one as it was).
    if (!file.Unchanged())
    {
        error = L"Cannot open \"" + path + L"\". It was changed while it was read.";
        return false;
    }

    FireBeginOpenDocument(doc, path.c_str(), merge, false);
    staged.SetFileName(path);
    doc.TakeContents(staged, merge, false);

    CDezazFileReadOptions options;
    options.SetMode(CDezazFileReadOptions::import_merge, merge);
    std::vector<DezazPlugInChunk> kept = merge ? doc.KeptPlugInChunks() : std::vector<DezazPlugInChunk>{};
    const auto keep = [&](const stPlugInChunkAt& chunk) {
        std::vector<std::uint8_t> bytes(chunk.size);
        if (!file.Read(chunk.offset, bytes.data(), bytes.size()))
        {
            DezazApp().Print(L"Data of \"%ls\" that no plug-in read could not be read again (%ls); it was left "
                             L"out.\n", path.c_str(), file.Error().c_str());
            return;
        }
        kept.push_back({chunk.plugin_id, std::move(bytes)});
    };
    for (const stPlugInChunkAt& chunk : chunks)
    {
        CDezazPlugIn* plugin = FindPlugIn(chunk.plugin_id);
        if (!plugin)
        {
            if (!merge)
                keep(chunk);
            else
                DezazApp().Print(L"Data of a plug-in that is not loaded was left out of the insert of \"%ls\".\n",
                                 path.c_str());
            continue;
        }
        // The plug-in sees exactly its own bytes; whatever it leaves unread
        // is skipped with the chunk.
        FileRangeArchive archive(file, chunk.offset, chunk.size);
        if (plugin->ReadDocument(doc, archive, options))
            continue;
        // What the plug-in could not read is kept as it came, so that a save
        // does not lose it: the plug-in may be mended, the file is not.
        if (merge)
        {
            DezazApp().Print(L"%ls could not read its data from \"%ls\"; that data was left out of the insert.\n",
                             plugin->PlugInName(), path.c_str());
            continue;
        }
        DezazApp().Print(L"%ls could not read its data from \"%ls\"; the data is kept and saved back unchanged "
                         L"unless %ls writes new data.\n",
                         plugin->PlugInName(), path.c_str(), plugin->PlugInName());
        keep(chunk);
    }
    doc.SetKeptPlugInChunks(std::move(kept));
    doc.SetModified(merge);
    return true;
}

bool SaveDocument(CDezazDoc& doc, const std::wstring& path, const CDezazFileWriteOptions& options, std::wstring& error,
                  const FileProgress& progress)
{
    FireBeginSaveDocument(doc, path.c_str(), options.Mode(CDezazFileWriteOptions::selected_only));
    std::vector<std::uint8_t> start;
    if (!CheckDocumentObjects(doc, error) || !EncodeDocumentStart(doc, start, error))
        return false;
    cAtomicFileWriter file(progress);
    if (!file.Begin(path, error))
        return false;
    // The checksum runs over every byte; a section written in place has its
    // size filled in after its bytes, whose own checksum is then joined on.
    std::uint32_t crc = 0;
    const auto append = [&](const std::uint8_t* bytes, std::size_t size) {
        crc = Crc32Continue(crc, bytes, size);
        return file.Append(bytes, size);
    };
    append(start.data(), start.size());
    start = {};
    // Writes a section straight into the file behind its header, whose
    // size is known when the section's bytes are done (a big scan's record
    // and the sessions run to hundreds of megabytes: they reach the disk as
    // they are made, instead of being held whole and then written). False,
    // with nothing of it left in the file, when its bytes could not be made.
    const auto inPlace = [&](const auto& headerFor, bool endsTheFile, const auto& write) {
        const std::uint64_t section = file.Size();
        auto header = headerFor(0);
        file.Append(header.data(), header.size());
        FileSectionArchive archive(file, endsTheFile);
        std::uint32_t section_crc = 0;
        std::uint64_t section_size = 0;
        if (!write(archive) || !archive.Finish(section_crc, section_size))
        {
            if (!file.Failed())
                file.CutTo(section);
            return false;
        }
        header = headerFor(section_size);
        file.Overwrite(section, header.data(), header.size());
        crc = Crc32Combine(Crc32Continue(crc, header.data(), header.size()), section_crc, section_size);
        return true;
    };
    for (const CDezazObject* object : doc.Objects())
    {
        if (file.Failed())
            break;
        if (inPlace(ObjectSectionHeader, false, [object](ON_BinaryArchive& a) { return WriteObjectBody(*object, a); }) ||
            file.Failed())
            continue;
        error = L"The document could not be encoded.";
        return false;
    }

    const auto kept_for = [&doc](const ON_UUID& id) {
        for (const DezazPlugInChunk& kept : doc.KeptPlugInChunks())
            if (kept.plugin_id == id)
                return true;
        return false;
    };
    std::vector<ON_UUID> written;
    for (CDezazPlugIn* plugin : LoadedPlugIns())
    {
        if (file.Failed())
            break;
        if (!plugin->CallWriteDocument(doc, options))
            continue;
        const bool unread = kept_for(plugin->PlugInID()) && !options.Mode(CDezazFileWriteOptions::geometry_only);
        // The plug-in writes straight into the file behind its section's
        // header.
        const auto header = [plugin](std::uint64_t size) { return PlugInSectionHeader(plugin->PlugInID(), size); };
        const bool wrote = inPlace(header, true, [&](ON_BinaryArchive& a) {
            return plugin->WriteDocument(doc, a, options) != FALSE;
        });
        if (file.Failed())
            break;
        if (!wrote)
        {
            DezazApp().Print(unread ? L"%ls could not write its data.\n"
                                    : L"%ls could not write its data; the document is saved without it.\n",
                             plugin->PlugInName());
            continue;
        }
        if (unread)
            DezazApp().Print(L"%ls wrote new data: it replaces the data it could not read.\n", plugin->PlugInName());
        written.push_back(plugin->PlugInID());
    }
    // Data no plug-in read goes back as it came, except into an export of
    // the geometry alone, or where its plug-in has written new data (one
    // chunk per plug-in).
    std::vector<DezazPlugInChunk> still_kept;
    if (!options.Mode(CDezazFileWriteOptions::geometry_only))
        for (const DezazPlugInChunk& kept : doc.KeptPlugInChunks())
        {
            if (std::find(written.begin(), written.end(), kept.plugin_id) != written.end())
                continue;
            if (const CDezazPlugIn* plugin = FindPlugIn(kept.plugin_id))
                DezazApp().Print(L"The data %ls could not read is saved back unchanged.\n", plugin->PlugInName());
            const auto header = PlugInSectionHeader(kept.plugin_id, kept.bytes.size());
            append(header.data(), header.size());
            append(kept.bytes.data(), kept.bytes.size());
            still_kept.push_back(kept);
        }
    const auto end = EndSection();
    append(end.data(), end.size());
    const auto checksum = ChecksumBytes(crc);
    file.Append(checksum.data(), checksum.size());
    if (!file.Commit(error))
        return false;
    if (!options.Mode(CDezazFileWriteOptions::geometry_only))
    {
        doc.SetKeptPlugInChunks(std::move(still_kept));
        doc.SetFileName(path);
        doc.SetModified(false);
    }
    return true;
}

} // namespace dezaz
