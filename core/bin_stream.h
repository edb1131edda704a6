// Byte streams through which scene objects persist: the interface and its
// implementation over a C file. Values travel as raw little-endian bytes;
// Read and Write succeed only when the whole block was transferred.
#pragma once

#include "core/rc_object.h"

#include <cstdint>
#include <cstdio>

class IBinStream : public cNULLRCObject, public virtual IRCObject
{
public:
    ~IBinStream() override = default;

    // *count (when given) receives the bytes actually transferred.
    virtual bool Read(void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) = 0;
    virtual bool Write(const void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) = 0;
    virtual bool Rewind() = 0;
    virtual std::int64_t Tell() = 0;
    // Absolute position from the start.
    virtual bool Seek(std::int64_t position) = 0;
    virtual bool IsEof() = 0;
};

// A stream over a FILE handle that its owner opened and handed over; the
// stream closes it when destroyed. Without a handle every transfer fails and
// the stream reports its end.
class cBINFile : public IBinStream
{
public:
    cBINFile() = default;
    explicit cBINFile(std::FILE* file) : m_file(file) {}
    ~cBINFile() override;

    cBINFile(const cBINFile&) = delete;
    cBINFile& operator=(const cBINFile&) = delete;

    // Takes the handle (closing one held before).
    void SetFile(std::FILE* file);
    std::FILE* GetFile() const { return m_file; }
    // Hands the handle back to the caller, unclosed.
    std::FILE* DetachFile()
    {
        std::FILE* file = m_file;
        m_file = nullptr;
        return file;
    }

    bool Read(void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override;
    bool Write(const void* buffer, std::uint32_t size, std::uint32_t* count = nullptr) override;
    bool Rewind() override;
    std::int64_t Tell() override;
    bool Seek(std::int64_t position) override;
    bool IsEof() override;

private:
    std::FILE* m_file = nullptr;
};
