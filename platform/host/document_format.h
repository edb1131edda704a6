// The host's document file: our own binary format.
//
//   magic        8 bytes "DEZAZDOC"
//   version      int (1)
//   sections     each: int tag, size (byte count), that many bytes
//                  1 settings: double absolute tolerance, int unit system
//                  2 layers: int count, then per layer uuid, string name,
//                    int colour, byte flags (bit 0 visible, bit 1 locked)
//                  3 one object: int object type, its attributes (uuid,
//                    string name, int layer, int mode, int colour source,
//                    int colour, int decoration), the uuid of its geometry
//                    record, then the record filling the rest
//                  4 one plug-in chunk: plug-in uuid, then the plug-in's
//                    bytes filling the rest
//                  0 end (size 0)
//   checksum     u32 CRC-32 of every byte before it
//
// Every section is framed by its size, so a plug-in that reads too little
// or too much of its chunk never moves the reader off the next section.
// Integers, sizes and strings use the geometry library's archive encodings.
#pragma once

#include "platform/host/dezaz_doc.h"
#include "platform/host/document_file_access.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dezaz
{

inline constexpr char kDocumentMagic[8] = {'D', 'E', 'Z', 'A', 'Z', 'D', 'O', 'C'};
inline constexpr int kDocumentFormatVersion = 1;

// The bytes of the document with the given plug-in chunks. False, with a
// message, when an object's geometry has no record kind in this host.
bool EncodeDocument(const CDezazDoc& doc, const std::vector<DezazPlugInChunk>& chunks, std::vector<std::uint8_t>& out,
                    std::wstring& error);

// The same bytes as pieces in file order: the encoded head (settings,
// layers, objects), then each chunk's section header and its bytes in place
// (a big scan's sessions are not copied once more), the end section and the
// checksum. The pieces point into `owned` and into the chunks, which must
// outlive them.
bool EncodeDocumentPieces(const CDezazDoc& doc, const std::vector<DezazPlugInChunk>& chunks,
                          std::vector<std::vector<std::uint8_t>>& owned, std::vector<stByteSpan>& pieces,
                          std::wstring& error);

// Reads a document file's bytes into an empty document and its plug-in
// chunks. False, with a message for the user, for a foreign or damaged file;
// the outputs then hold partial contents (the caller reads into a staging document).
bool DecodeDocument(const std::uint8_t* bytes, std::size_t size, CDezazDoc& into,
                    std::vector<DezazPlugInChunk>& chunks, std::wstring& error);

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);
// The checksum of some bytes followed by these: Crc32Continue(Crc32(a), b)
// is the checksum of a then b.
std::uint32_t Crc32Continue(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size);

} // namespace dezaz
