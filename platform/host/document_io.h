// Starting, opening and saving the active document: the host's side of the
// document events and of the plug-ins' document hooks.
#pragma once

#include "platform/host/dezaz_plugin.h"
#include "platform/host/document_file_access.h"

#include <string>

class CDezazDoc;

namespace dezaz
{

// Tells the watchers, then empties the document.
void NewDocument(CDezazDoc& doc);

// Reads the file into a staging document first, its checksum in one pass
// over the file and then its records where they lie (a big scan's document
// is never held whole): a file that cannot be read, is foreign, damaged or
// changed while it is read fails with a message and leaves the document
// (and the plug-ins) as they were. Otherwise the watchers hear the open,
// the contents replace (or, with merge, join) the document's, and every
// loaded plug-in reads its chunk from the file; chunks of plug-ins that are not loaded are
// kept and written back by the next save.
bool OpenDocument(CDezazDoc& doc, const std::wstring& path, bool merge, std::wstring& error,
                  const FileProgress& progress = {});

// Tells the watchers, asks every plug-in for its chunk, then writes the file
// through a temporary file in the same folder that is flushed and renamed
// over the target, so an interrupted save never leaves a torn document.
// A big document's reading or writing reports its progress.
bool SaveDocument(CDezazDoc& doc, const std::wstring& path, const CDezazFileWriteOptions& options,
                  std::wstring& error, const FileProgress& progress = {});

} // namespace dezaz
