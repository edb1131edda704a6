// Reads a document archive made of untrusted bytes. The first byte gives the
// number of operations, the next bytes pick them; the rest is the archive.
// The memory archive and the file archive run the same operations over the
// same bytes. Invariants: both give the same results, values and positions;
// a failed read leaves its output and the position as they were; neither
// archive ever stands outside its bytes.
#include "platform/geometry/binary_archive.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{

// Every output an operation can have, preset to values no read produces by
// chance in all fields at once.
struct Outputs
{
    int major = -7, minor = -7, n = 0x5A5A5A5A;
    std::size_t sz = 0xDEADBEEFCAFEF00Dull;
    float f = -3.25f;
    double d = 1e300;
    ON_UUID id = ON_UuidFromString("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
    ON_wString s = ON_wString(L"sentinel");
    std::uint8_t bytes[64];

    Outputs() { std::memset(bytes, 0xA5, sizeof bytes); }
    bool operator==(const Outputs& o) const
    {
        return major == o.major && minor == o.minor && n == o.n && sz == o.sz &&
               std::memcmp(&f, &o.f, sizeof f) == 0 && std::memcmp(&d, &o.d, sizeof d) == 0 &&
               std::memcmp(&id, &o.id, sizeof id) == 0 && s == o.s && std::memcmp(bytes, o.bytes, sizeof bytes) == 0;
    }
};

bool Run(ON_BinaryArchive& a, std::uint8_t op, Outputs& out)
{
    switch (op % 10)
    {
    case 0: return a.Read3dmChunkVersion(&out.major, &out.minor);
    case 1: return a.ReadUuid(out.id);
    case 2: return a.ReadSize(&out.sz);
    case 3: return a.ReadInt(&out.n);
    case 4: return a.ReadFloat(&out.f);
    case 5: return a.ReadDouble(&out.d);
    case 6: return a.ReadString(out.s);
    case 7: return a.ReadByte(op % sizeof out.bytes, out.bytes);
    case 8: return a.SeekFromCurrentPosition(static_cast<std::int8_t>(op) * 3);
    default:
    {
        // A seek to where an int read from the archive points; the int is
        // an output like any other.
        if (!a.ReadInt(&out.n))
            return false;
        a.SeekFromStartOfFile(static_cast<std::uint32_t>(out.n));
        return true;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t ops = data[0] % 32;
    if (size < 1 + ops)
        return 0;
    const std::uint8_t* script = data + 1;
    const std::uint8_t* bytes = data + 1 + ops;
    const std::size_t length = size - 1 - ops;

    ON_MemoryArchive memory(bytes, length);
    std::vector<std::uint8_t> copy(bytes, bytes + length);
    copy.push_back(0); // fmemopen refuses an empty buffer
    std::FILE* stream = fmemopen(copy.data(), length == 0 ? 1 : length, "rb");
    if (stream == nullptr)
        return 0;
    if (length == 0)
        std::fgetc(stream);
    {
        ON_BinaryFile file(ON_BinaryArchive::Mode::read, stream);
        for (std::size_t i = 0; i < ops; ++i)
        {
            Outputs fromMemory, fromFile;
            const Outputs untouched;
            const std::uint64_t at = memory.CurrentPosition();
            const bool memoryOk = Run(memory, script[i], fromMemory);
            const bool fileOk = Run(file, script[i], fromFile);
            if (memoryOk != fileOk || !(fromMemory == fromFile) ||
                memory.CurrentPosition() != file.CurrentPosition())
                std::abort();
            if (!memoryOk && (!(fromMemory == untouched) || memory.CurrentPosition() != at))
                std::abort();
            if (memory.CurrentPosition() > length)
                std::abort();
        }
    }
    std::fclose(stream);
    return 0;
}
