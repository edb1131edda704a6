// Reads a document archive made of untrusted bytes. The first byte gives the
// number of operations, the next bytes pick them; the rest is the archive.
#include "platform/geometry/binary_archive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t ops = data[0] % 32;
    if (size < 1 + ops)
        return 0;
    const std::uint8_t* script = data + 1;
    ON_MemoryArchive a(data + 1 + ops, size - 1 - ops);
    for (std::size_t i = 0; i < ops; ++i)
    {
        int major = 0, minor = 0, n = 0;
        std::size_t sz = 0;
        float f = 0;
        double d = 0;
        ON_UUID id = ON_nil_uuid;
        ON_wString s;
        std::uint8_t bytes[64];
        switch (script[i] % 10)
        {
        case 0: a.Read3dmChunkVersion(&major, &minor); break;
        case 1: a.ReadUuid(id); break;
        case 2: a.ReadSize(&sz); break;
        case 3: a.ReadInt(&n); break;
        case 4: a.ReadFloat(&f); break;
        case 5: a.ReadDouble(&d); break;
        case 6: a.ReadString(s); break;
        case 7: a.ReadByte(script[i] % sizeof bytes, bytes); break;
        case 8: a.SeekFromCurrentPosition(static_cast<std::int8_t>(script[i]) * 3); break;
        default:
            if (a.ReadInt(&n))
                a.SeekFromStartOfFile(static_cast<std::uint32_t>(n));
            break;
        }
        // The archive never stands outside its own bytes.
        if (a.CurrentPosition() > size - 1 - ops)
            __builtin_trap();
    }
    return 0;
}
