// Reads the plug-in's document chunk made of untrusted bytes through the
// host's read-only archive. A chunk that reads is written again, and what
// was written must read back and write the same bytes once more; a chunk of
// a newer version must be written back exactly as it came.
#include "platform/host/span_archive.h"
#include "plugin/document_hooks.h"
#include "shapes/entities_history.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{

bool ReadChunk(stPlugInDocumentData& data, const std::uint8_t* bytes, std::size_t size)
{
    dezaz::SpanArchive archive(bytes, size);
    return ReadPlugInDocument(data, archive, CDezazFileReadOptions());
}

std::vector<std::uint8_t> WriteChunk(stPlugInDocumentData& data)
{
    ON_MemoryArchive archive;
    if (!WritePlugInDocument(data, archive, CDezazFileWriteOptions()))
        std::abort();
    return archive.Buffer();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CEntitiesHistory history;
    stPlugInDocumentData document;
    document.history = &history;
    if (!ReadChunk(document, data, size))
        return 0;
    const bool newer = !document.newerChunk.empty();
    if (history.IsEmpty() && !newer)
        return 0;
    const std::vector<std::uint8_t> first = WriteChunk(document);
    if (newer && first != std::vector<std::uint8_t>(data, data + size))
        std::abort();

    CEntitiesHistory again;
    stPlugInDocumentData reread;
    reread.history = &again;
    if (!ReadChunk(reread, first.data(), first.size()) || WriteChunk(reread) != first)
        std::abort();
    return 0;
}
