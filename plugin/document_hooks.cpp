#include "plugin/document_hooks.h"

#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "shapes/byte_counting_archive.h"
#include "shapes/entities_history.h"

#include <algorithm>

namespace
{

bool IsNewer(int major, int minor)
{
    return major > kPlugInChunkMajor || (major == kPlugInChunkMajor && minor > kPlugInChunkMinor);
}

// Everything the archive holds from its start: the host hands the plug-in
// exactly its chunk.
bool ReadWholeChunk(ON_BinaryArchive& archive, std::vector<std::uint8_t>& bytes)
{
    if (!archive.SeekFromStartOfFile(0))
        return false;
    bytes.clear();
    std::size_t block = 1 << 16;
    while (!archive.AtEnd())
    {
        const std::size_t at = bytes.size();
        bytes.resize(at + block);
        if (archive.ReadByte(block, bytes.data() + at))
            continue;
        bytes.resize(at);
        // Fewer bytes remain than the block: narrow down to them.
        if (block == 1)
        {
            bytes.clear();
            return false;
        }
        block /= 2;
    }
    return true;
}

} // namespace

bool DecideToWriteDocument(stPlugInDocumentData& data, const CDezazDoc& doc, const ON_UUID* heldHost)
{
    CEntitiesHistory& history = *data.history;
    history.ClearKeepFlags();
    // Reference objects are written into the file like the others, so
    // their sessions are kept with them.
    CDezazObjectIterator it(doc, dezaz_normal_objects | dezaz_locked_objects | dezaz_hidden_objects,
                            dezaz_active_objects | dezaz_reference_objects);
    for (const CDezazObject* object = it.First(); object != nullptr; object = it.Next())
        history.MarkKept(history.FindByUuid(object->ModelObjectId()));
    if (heldHost != nullptr)
        history.MarkKept(history.FindByUuid(*heldHost));
    history.Prune();
    // Entries without a session (the shapes dialog opened, nothing made)
    // are no data: the document's data that could not be read is then saved
    // back as it came instead of being replaced by nothing.
    return history.HoldsSessions() || !data.newerChunk.empty() || !data.olderChunk.empty();
}

namespace
{

} // namespace

bool WritePlugInDocument(stPlugInDocumentData& data, ON_BinaryArchive& archive, const CDezazFileWriteOptions& options)
{
    if (options.Mode(CDezazFileWriteOptions::geometry_only))
        return true;
    if (!data.newerChunk.empty())
    {
        if (data.history->HoldsSessions())
            DezazApp().Print(L"The shapes of this document were stored by a newer version of the plug-in; they are "
                             L"saved as they were, without the shapes made since it was opened.\n");
        return archive.WriteByte(data.newerChunk.size(), data.newerChunk.data());
    }
    if (!data.olderChunk.empty())
    {
        if (!data.history->HoldsSessions())
        {
            DezazApp().Print(L"The shapes stored by an older version of the plug-in are saved back unchanged.\n");
            return archive.WriteByte(data.olderChunk.size(), data.olderChunk.data());
        }
        DezazApp().Print(L"The shapes stored by an older version of the plug-in, which this version cannot read, "
                         L"are replaced by the shapes made since the document was opened.\n");
        data.olderChunk.clear();
    }
    // The sessions of a big scan run to a gigabyte: the archive is told how
    // much comes, counted by writing once into nowhere, so that a buffer
    // growing as it goes does not hold it twice while it moves.
    const ON_UUID* moved = data.moved ? &data.movedHost : nullptr;
    const double* toHost = data.moved ? data.toHost : nullptr;
    cByteCountingArchive counter;
    if (counter.Write3dmChunkVersion(kPlugInChunkMajor, kPlugInChunkMinor) && data.history->Write(counter, moved, toHost))
        archive.ReserveForWrite(static_cast<std::size_t>(counter.Written()));
    if (!archive.Write3dmChunkVersion(kPlugInChunkMajor, kPlugInChunkMinor))
        return false;
    return data.history->Write(archive, moved, toHost);
}

bool ReadPlugInDocument(stPlugInDocumentData& data, ON_BinaryArchive& archive, const CDezazFileReadOptions& options)
{
    // A geometry-only save leaves the chunk empty: nothing to read.
    if (archive.AtEnd())
        return true;
    int major = 0;
    int minor = 0;
    if (!archive.Read3dmChunkVersion(&major, &minor))
        return false;
    const bool merge = options.Mode(CDezazFileReadOptions::import_merge);
    if (major != kPlugInChunkMajor || minor != kPlugInChunkMinor)
    {
        // A merge adds another file's objects; its newer data stays in that
        // file. The document's own newer chunk is kept for the next save.
        if (IsNewer(major, minor) && !merge)
            return ReadWholeChunk(archive, data.newerChunk);
        if (IsNewer(major, minor))
            return true;
        if (merge)
        {
            DezazApp().Print(L"The inserted file's shapes were stored by an older version of the plug-in (%d.%d), "
                             L"which this version cannot read; they were left out of the insert.\n",
                             major, minor);
            return true;
        }
        DezazApp().Print(L"The shapes of this document were stored by an older version of the plug-in (%d.%d), "
                         L"which this version cannot read; they are kept and saved back unchanged unless shapes "
                         L"are made here.\n",
                         major, minor);
        return ReadWholeChunk(archive, data.olderChunk);
    }
    if (!merge)
    {
        data.history->Clear();
        data.newerChunk.clear();
        data.olderChunk.clear();
    }
    int historyMajor = 0;
    int historyMinor = 0;
    if (!archive.Read3dmChunkVersion(&historyMajor, &historyMinor))
        return false;
    return data.history->Read(archive, historyMajor, historyMinor);
}
