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

#include <array>
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

// The bytes before the plug-ins' sections: magic, version, settings,
// layers and objects, as pieces that follow one another (a big object's
// record is a piece of its own, so that it is never copied). False, with a
// message and no pieces, as EncodeDocument.
bool EncodeDocumentHead(const CDezazDoc& doc, std::vector<std::vector<std::uint8_t>>& pieces,
                        std::wstring& error);
// The same in the steps a save takes to write each object's record straight
// into the file: the check that every object can be saved (false, with the
// message above), the bytes before the objects (magic, version, settings,
// layers), and each object's section, its header (tag, size) and behind it
// the object's body (its type, attributes and geometry record).
bool CheckDocumentObjects(const CDezazDoc& doc, std::wstring& error);
bool EncodeDocumentStart(const CDezazDoc& doc, std::vector<std::uint8_t>& bytes, std::wstring& error);
bool WriteObjectBody(const CDezazObject& object, ON_BinaryArchive& archive);
inline constexpr std::size_t kObjectSectionHeaderBytes = 4 + 8;
std::array<std::uint8_t, kObjectSectionHeaderBytes> ObjectSectionHeader(std::uint64_t body_bytes);
// The start of a plug-in's section (tag, size, plug-in uuid) whose chunk
// holds `chunk_bytes` bytes; a fixed size, so that a file written as the
// plug-in writes can fill it in afterwards.
inline constexpr std::size_t kPlugInSectionHeaderBytes = 4 + 8 + 16;
std::array<std::uint8_t, kPlugInSectionHeaderBytes> PlugInSectionHeader(const ON_UUID& plugin_id,
                                                                        std::uint64_t chunk_bytes);
inline constexpr std::size_t kEndSectionBytes = 4 + 8;
std::array<std::uint8_t, kEndSectionBytes> EndSection();
// The checksum as the file stores it.
std::array<std::uint8_t, 4> ChecksumBytes(std::uint32_t crc);

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
// A plug-in's chunk where it lies in the file's bytes.
struct stPlugInChunkSpan
{
    ON_UUID plugin_id = ON_nil_uuid;
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
};
// The same with the chunks left in place (a big scan's sessions are not
// copied out of the file's bytes, which must outlive the spans).
bool DecodeDocument(const std::uint8_t* bytes, std::size_t size, CDezazDoc& into,
                    std::vector<stPlugInChunkSpan>& chunks, std::wstring& error);

// A plug-in's chunk where it lies in the file.
struct stPlugInChunkAt
{
    ON_UUID plugin_id = ON_nil_uuid;
    std::uint64_t offset = 0;
    std::size_t size = 0;
};
// The same from the file, read where its records lie instead of held whole:
// the checksum is taken in one pass over the file first (reporting its
// progress), then the sections are read from the file; the chunks are left
// where they lie, to be read from the file.
bool DecodeDocument(cFileReader& file, CDezazDoc& into, std::vector<stPlugInChunkAt>& chunks, std::wstring& error,
                    const FileProgress& progress = {});

std::uint32_t Crc32(const std::uint8_t* bytes, std::size_t size);
// The checksum of some bytes followed by these: Crc32Continue(Crc32(a), b)
// is the checksum of a then b.
std::uint32_t Crc32Continue(std::uint32_t crc, const std::uint8_t* bytes, std::size_t size);
// The checksum of a then b from the checksums of each and b's length, for
// bytes whose checksum was taken before what precedes them was known.
std::uint32_t Crc32Combine(std::uint32_t crc_a, std::uint32_t crc_b, std::uint64_t length_b);
// The checksum of the bytes taken in `pieces` parts side by side on threads
// of their own and joined (the same value as one pass). Crc32 and
// Crc32Continue take it for a document's hundreds of megabytes.
std::uint32_t Crc32InPieces(const std::uint8_t* bytes, std::size_t size, unsigned pieces);

} // namespace dezaz
