// The plug-in's part in saving and opening host documents: whether it has
// data for the document, its chunk (its own version 1.0 around the entity
// history), and reading the chunk back.
//
// A chunk of a later version than 1.0 was written by a newer plug-in: it is
// kept byte for byte and written back unchanged by the next save, so that
// opening and saving a document here never loses what the newer version
// stored. A chunk of an earlier version, which this version cannot read,
// is kept too and written back unchanged unless shapes have been made
// since; the user is told which happened.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/uuid.h"
#include "platform/host/dezaz_plugin.h"

#include <cstdint>
#include <vector>

class CDezazDoc;
class CEntitiesHistory;

inline constexpr int kPlugInChunkMajor = 1;
inline constexpr int kPlugInChunkMinor = 0;

// What the hooks keep between the open and the next save.
struct stPlugInDocumentData
{
    CEntitiesHistory* history = nullptr;
    // The whole chunk of a newer version, empty when there is none.
    std::vector<std::uint8_t> newerChunk;
    // The whole chunk of an older version, empty when there is none.
    std::vector<std::uint8_t> olderChunk;
    // While the shapes dialog shows its mesh moved: its host object and the
    // transform from the dialog's placement back to the host object, which
    // the sessions of that object are saved through.
    bool moved = false;
    ON_UUID movedHost = ON_nil_uuid;
    double toHost[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
};

// Drops the entries of host objects that are gone (active and reference
// objects alike count as present), then tells whether there is anything to
// write.
// The entry of heldHost, when given, is kept too: the open shapes dialog
// works on it whether or not its object is still in the document.
bool DecideToWriteDocument(stPlugInDocumentData& data, const CDezazDoc& doc, const ON_UUID* heldHost = nullptr);
bool WritePlugInDocument(stPlugInDocumentData& data, ON_BinaryArchive& archive, const CDezazFileWriteOptions& options);
bool ReadPlugInDocument(stPlugInDocumentData& data, ON_BinaryArchive& archive, const CDezazFileReadOptions& options);
