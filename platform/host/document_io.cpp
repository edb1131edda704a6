#include "platform/host/document_io.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_event_watcher.h"
#include "platform/host/document_file_access.h"
#include "platform/host/document_format.h"
#include "platform/host/span_archive.h"
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
    std::vector<std::uint8_t> bytes;
    bool foreign = false;
    if (!ReadFileBytes(path, bytes, error, std::string_view(kDocumentMagic, sizeof kDocumentMagic), &foreign,
                       progress))
    {
        if (foreign)
            error = L"Cannot open \"" + path + L"\". The file is not a Dezaz document.";
        return false;
    }
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
        kept.push_back(std::move(chunk));
    }
    doc.SetKeptPlugInChunks(std::move(kept));
    doc.SetModified(merge);
    return true;
}

bool SaveDocument(CDezazDoc& doc, const std::wstring& path, const CDezazFileWriteOptions& options, std::wstring& error,
                  const FileProgress& progress)
{
    FireBeginSaveDocument(doc, path.c_str(), options.Mode(CDezazFileWriteOptions::selected_only));
    const auto kept_for = [&doc](const ON_UUID& id) {
        for (const DezazPlugInChunk& kept : doc.KeptPlugInChunks())
            if (kept.plugin_id == id)
                return true;
        return false;
    };
    std::vector<DezazPlugInChunk> chunks;
    for (CDezazPlugIn* plugin : LoadedPlugIns())
    {
        if (!plugin->CallWriteDocument(doc, options))
            continue;
        const bool unread = kept_for(plugin->PlugInID()) && !options.Mode(CDezazFileWriteOptions::geometry_only);
        ON_MemoryArchive archive;
        if (!plugin->WriteDocument(doc, archive, options))
        {
            DezazApp().Print(unread ? L"%ls could not write its data.\n"
                                    : L"%ls could not write its data; the document is saved without it.\n",
                             plugin->PlugInName());
            continue;
        }
        if (unread)
            DezazApp().Print(L"%ls wrote new data: it replaces the data it could not read.\n", plugin->PlugInName());
        DezazPlugInChunk chunk;
        chunk.plugin_id = plugin->PlugInID();
        chunk.bytes = archive.ReleaseBuffer();
        chunks.push_back(std::move(chunk));
    }
    // Data no plug-in read goes back as it came, except into an export of
    // the geometry alone, or where its plug-in has written new data (one
    // chunk per plug-in).
    const std::size_t written = chunks.size();
    std::vector<DezazPlugInChunk> still_kept;
    if (!options.Mode(CDezazFileWriteOptions::geometry_only))
        for (const DezazPlugInChunk& kept : doc.KeptPlugInChunks())
        {
            if (std::any_of(chunks.begin(), chunks.begin() + static_cast<std::ptrdiff_t>(written),
                            [&](const DezazPlugInChunk& c) { return c.plugin_id == kept.plugin_id; }))
                continue;
            if (const CDezazPlugIn* plugin = FindPlugIn(kept.plugin_id))
                DezazApp().Print(L"The data %ls could not read is saved back unchanged.\n", plugin->PlugInName());
            chunks.push_back(kept);
            still_kept.push_back(kept);
        }

    // The plug-ins' chunks are written where they are, not copied into one
    // buffer with the rest first.
    std::vector<std::vector<std::uint8_t>> owned;
    std::vector<stByteSpan> pieces;
    if (!EncodeDocumentPieces(doc, chunks, owned, pieces, error))
        return false;
    if (!WriteFileAtomically(path, pieces, error, progress))
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
