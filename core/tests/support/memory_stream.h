// Byte streams over memory for the persistence tests: a cBINFile on a
// temporary file that the test fills or reads back whole.
#pragma once

#include "core/bin_stream.h"
#include "core/events.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// A stream positioned at the start of the given bytes.
inline cBINFile* NewStreamOver(const std::vector<std::uint8_t>& bytes)
{
    std::FILE* file = std::tmpfile();
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    return new cBINFile(file);
}

// Everything written to the stream so far.
inline std::vector<std::uint8_t> StreamBytes(cBINFile& stream)
{
    std::FILE* file = stream.GetFile();
    std::fflush(file);
    long end = std::ftell(file);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end));
    std::rewind(file);
    if (!bytes.empty() && std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size())
        bytes.clear();
    std::fseek(file, end, SEEK_SET);
    return bytes;
}

// Counts the events an object fires.
template <class TSender> struct tEventCounter : tObserver<TSender>
{
    int count = 0;
    void OnEvent(TSender*) override { ++count; }
};
