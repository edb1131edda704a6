#include "core/scene_object.h"

#include "core/bin_stream.h"
#include "platform/win32/win32.h"

namespace
{

// Record layout: name 0..127, object id 128, state 144, tag 148, group id
// 152, colours 0, 1, 3, 2, 4 from 168 (16 bytes each), 256 reserved bytes
// from 248.
constexpr int kColourOrder[5] = {kDecoratorFront, kDecoratorBack, kDecoratorBoundary, kDecoratorSelection,
                                 kDecoratorWireframe};

void PutU32(std::uint8_t* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t GetU32(const std::uint8_t* at)
{
    return at[0] | (static_cast<std::uint32_t>(at[1]) << 8) | (static_cast<std::uint32_t>(at[2]) << 16) |
           (static_cast<std::uint32_t>(at[3]) << 24);
}

void PutGuid(std::uint8_t* at, const GUID& id)
{
    PutU32(at, id.Data1);
    at[4] = static_cast<std::uint8_t>(id.Data2);
    at[5] = static_cast<std::uint8_t>(id.Data2 >> 8);
    at[6] = static_cast<std::uint8_t>(id.Data3);
    at[7] = static_cast<std::uint8_t>(id.Data3 >> 8);
    std::memcpy(at + 8, id.Data4, 8);
}

GUID GetGuid(const std::uint8_t* at)
{
    GUID id;
    id.Data1 = GetU32(at);
    id.Data2 = static_cast<std::uint16_t>(at[4] | (at[5] << 8));
    id.Data3 = static_cast<std::uint16_t>(at[6] | (at[7] << 8));
    std::memcpy(id.Data4, at + 8, 8);
    return id;
}

void PutFloat(std::uint8_t* at, float f)
{
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    PutU32(at, bits);
}

float GetFloat(const std::uint8_t* at)
{
    std::uint32_t bits = GetU32(at);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

} // namespace

bool CreateNewGuid(GUID* id) { return id != nullptr && SUCCEEDED(CoCreateGuid(id)); }

bool WriteSceneObjectRecord(IBinStream* stream, const stSceneObjectRecord& record)
{
    if (stream == nullptr)
        return false;
    std::uint8_t bytes[kSceneObjectRecordSize] = {};
    // Names are stored in the ANSI code page; characters it cannot hold come
    // out as the conversion gives them.
    int length = 0;
    while (length < kSceneObjectNameLength - 1 && record.name[length] != L'\0')
        ++length;
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, record.name, length, reinterpret_cast<char*>(bytes),
                            kSceneObjectNameLength - 1, nullptr, nullptr);
    bytes[kSceneObjectNameLength - 1] = 0;
    PutGuid(bytes + 128, record.objectId);
    PutU32(bytes + 144, record.state);
    PutU32(bytes + 148, record.tag);
    PutGuid(bytes + 152, record.groupId);
    for (int k = 0; k < 5; ++k)
        for (int c = 0; c < 4; ++c)
            PutFloat(bytes + 168 + 16 * k + 4 * c, record.colours[kColourOrder[k]][c]);
    return stream->Write(bytes, kSceneObjectRecordSize);
}

bool ReadSceneObjectRecord(IBinStream* stream, stSceneObjectRecord& record)
{
    if (stream == nullptr)
        return false;
    std::uint8_t bytes[kSceneObjectRecordSize];
    if (!stream->Read(bytes, kSceneObjectRecordSize))
        return false;
    // The stored name need not be terminated: only its first 127 bytes count.
    stSceneObjectRecord read;
    int length = 0;
    while (length < kSceneObjectNameLength - 1 && bytes[length] != 0)
        ++length;
    if (length > 0)
        MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, reinterpret_cast<const char*>(bytes), length, read.name,
                            kSceneObjectNameLength - 1);
    read.objectId = GetGuid(bytes + 128);
    read.state = GetU32(bytes + 144);
    read.tag = GetU32(bytes + 148);
    read.groupId = GetGuid(bytes + 152);
    for (int k = 0; k < 5; ++k)
        for (int c = 0; c < 4; ++c)
            read.colours[kColourOrder[k]][c] = GetFloat(bytes + 168 + 16 * k + 4 * c);
    record = read;
    return true;
}
