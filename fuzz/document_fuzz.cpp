// Reads a host document file made of untrusted bytes. Inputs whose first
// byte is odd get a correct checksum appended, so that the fuzzer reaches
// the section readers behind the checksum; even ones are read as they are.
// A document that reads must encode again and read back the same, and the
// same bytes read from a file where their records lie must read the same.
#include "fuzz/fuzz_scratch.h"
#include "platform/host/document_file_access.h"
#include "platform/host/document_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::vector<std::uint8_t> bytes(data + 1, data + size);
    if (data[0] & 1)
    {
        const std::uint32_t crc = dezaz::Crc32(bytes.data(), bytes.size());
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
    }
    CDezazDoc doc;
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    const bool read = dezaz::DecodeDocument(bytes.data(), bytes.size(), doc, chunks, error);

    const std::string& name = fuzz::ScratchFileName("document_fuzz");
    std::ofstream(name, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    dezaz::cFileReader file;
    CDezazDoc from_file;
    std::vector<dezaz::stPlugInChunkAt> chunks_at;
    std::wstring file_error;
    const bool read_from_file = file.Open(std::wstring(name.begin(), name.end()), file_error) &&
                                dezaz::DecodeDocument(file, from_file, chunks_at, file_error);
    if (read_from_file != read || file_error != error ||
        (read && (from_file.ObjectCount() != doc.ObjectCount() || chunks_at.size() != chunks.size())))
        std::abort();
    if (!read)
        return 0;
    std::vector<std::uint8_t> again;
    if (!dezaz::EncodeDocument(doc, chunks, again, error))
        std::abort();
    CDezazDoc back;
    std::vector<DezazPlugInChunk> chunks_back;
    if (!dezaz::DecodeDocument(again.data(), again.size(), back, chunks_back, error) ||
        back.ObjectCount() != doc.ObjectCount() || chunks_back.size() != chunks.size())
        std::abort();
    return 0;
}
