// Binary archive of the geometry library: typed reads and writes over a
// file or a memory buffer. The plug-in's document chunk is written with it,
// so the encodings below are a file format and must never change:
//
//   int            4 bytes, two's complement, little-endian
//   size           8 bytes, unsigned, little-endian
//   float          4 bytes, IEEE 754 binary32, little-endian
//   double         8 bytes, IEEE 754 binary64, little-endian
//   byte           the bytes as given
//   chunk version  1 byte: major in the high four bits, minor in the low
//                  four (each 0..15; other values are refused on write)
//   uuid           16 bytes: Data1 as u32, Data2 as u16, Data3 as u16 (all
//                  little-endian), then the 8 bytes of Data4
//   string         u32 count of UTF-16 code units, little-endian, then the
//                  code units as u16 little-endian; no terminator. On write,
//                  characters that are not Unicode scalar values become
//                  U+FFFD; on read, an unpaired surrogate fails the read.
//
// Every operation is all or nothing: a read that cannot be satisfied from
// the bytes that remain fails, transfers nothing, leaves its output and the
// position unchanged. Nothing is allocated before the bytes it describes are
// known to be there, so counts in damaged input cannot exhaust memory.
#pragma once

#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sys/types.h>
#include <vector>

class ON_BinaryArchive
{
public:
    enum class Mode
    {
        read,
        write
    };

    explicit ON_BinaryArchive(Mode mode) : m_mode(mode) {}
    ON_BinaryArchive(const ON_BinaryArchive&) = delete;
    ON_BinaryArchive& operator=(const ON_BinaryArchive&) = delete;
    virtual ~ON_BinaryArchive() = default;

    Mode ArchiveMode() const { return m_mode; }
    bool ReadMode() const { return m_mode == Mode::read; }
    bool WriteMode() const { return m_mode == Mode::write; }

    bool Write3dmChunkVersion(int major_version, int minor_version);
    bool Read3dmChunkVersion(int* major_version, int* minor_version);
    bool WriteUuid(const ON_UUID& id);
    bool ReadUuid(ON_UUID& id);
    bool WriteSize(std::size_t value);
    bool ReadSize(std::size_t* value);
    bool WriteInt(int value);
    bool ReadInt(int* value);
    bool WriteFloat(float value);
    bool ReadFloat(float* value);
    // `count` floats in a row, as `count` single writes or reads would give,
    // all or nothing.
    bool WriteFloat(std::size_t count, const float* values);
    bool ReadFloat(std::size_t count, float* values);
    bool WriteDouble(double value);
    bool ReadDouble(double* value);
    bool WriteByte(std::size_t count, const void* bytes);
    bool ReadByte(std::size_t count, void* bytes);
    bool WriteString(const ON_wString& s);
    bool ReadString(ON_wString& s);

    // Byte offset from the start of the archive.
    std::uint64_t CurrentPosition() const { return m_position; }
    // Moves within [0, end]: the bytes present when reading, the bytes
    // written so far when writing. False (and unmoved) outside.
    bool SeekFromCurrentPosition(std::int64_t offset);
    bool SeekFromStartOfFile(std::uint64_t offset);
    // Reading: no byte remains. Writing: the position is at the end.
    bool AtEnd() const { return m_position >= EndOffset(); }

    // A hint that this many more bytes will be written: an archive that
    // keeps them in memory makes room for them at once instead of growing
    // (and copying) step by step. Changes nothing that is read or written.
    virtual void ReserveForWrite(std::size_t bytes) { (void)bytes; }

    // Fault injection for tests: once `byte_budget` more bytes have been
    // transferred, every read and write fails (a transfer that would cross
    // the budget fails whole). A negative budget turns it off.
    void SetFaultInjection(std::int64_t byte_budget) { m_fault_budget = byte_budget; }

protected:
    // Transfers exactly count bytes at the current position; the caller has
    // checked the mode, bounds and the fault budget.
    virtual bool Internal_Read(std::size_t count, void* bytes) = 0;
    virtual bool Internal_Write(std::size_t count, const void* bytes) = 0;
    virtual bool Internal_Seek(std::uint64_t offset) = 0;
    // Bytes present (reading) or written (writing).
    virtual std::uint64_t EndOffset() const = 0;

    void ResetPosition(std::uint64_t position) { m_position = position; }

private:
    bool TakeBudget(std::size_t count);

    Mode m_mode;
    std::uint64_t m_position = 0;
    std::int64_t m_fault_budget = -1;
};

// An archive over bytes in memory: reading a copy of the given bytes, or
// writing into a buffer that grows.
class ON_MemoryArchive : public ON_BinaryArchive
{
public:
    // Write mode, empty buffer.
    ON_MemoryArchive();
    // Read mode over a copy of the bytes.
    ON_MemoryArchive(const void* bytes, std::size_t size);

    const std::vector<std::uint8_t>& Buffer() const { return m_buffer; }
    // Hands the bytes over without a copy; the archive is empty afterwards.
    std::vector<std::uint8_t> ReleaseBuffer();
    void ReserveForWrite(std::size_t bytes) override;

protected:
    bool Internal_Read(std::size_t count, void* bytes) override;
    bool Internal_Write(std::size_t count, const void* bytes) override;
    bool Internal_Seek(std::uint64_t offset) override;
    std::uint64_t EndOffset() const override { return m_buffer.size(); }

private:
    std::vector<std::uint8_t> m_buffer;
};

// An archive over a file, opened by path (and closed by the archive) or
// over an open stream, whose current offset becomes position 0 (left open).
class ON_BinaryFile : public ON_BinaryArchive
{
public:
    ON_BinaryFile(Mode mode, const char* path);
    ON_BinaryFile(Mode mode, std::FILE* stream);
    ~ON_BinaryFile() override;

    bool IsOpen() const { return m_fp != nullptr; }
    // Flushes a written file; false when the data could not be written.
    bool Close();

protected:
    bool Internal_Read(std::size_t count, void* bytes) override;
    bool Internal_Write(std::size_t count, const void* bytes) override;
    bool Internal_Seek(std::uint64_t offset) override;
    std::uint64_t EndOffset() const override { return m_end; }

private:
    std::FILE* m_fp = nullptr;
    bool m_owns_stream = false;
    off_t m_base = 0; // stream offset of archive position 0
    std::uint64_t m_end = 0;
};
