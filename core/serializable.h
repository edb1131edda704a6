// Persistence of scene objects: through a byte stream (records in the host
// document or a file) and through a key/value store (a header naming the
// object's class, title, group and data file).
#pragma once

#include "core/base.h"
#include "core/rc_object.h"

#include <cstddef>

class IBinStream;
class IProcProgress;

// A store of named text values. Keys are wide texts. Reads copy at most
// maxLength characters and always terminate the buffer (which must hold
// maxLength + 1 characters); false when the key is missing.
class IKeyValueStore
{
public:
    virtual ~IKeyValueStore() = default;
    virtual bool WriteWideText(const wchar_t* key, const wchar_t* text) = 0;
    virtual bool WriteAnsiText(const wchar_t* key, const char* text) = 0;
    virtual bool ReadAnsiText(const wchar_t* key, char* buffer, std::size_t maxLength) = 0;
    virtual bool ReadWideText(const wchar_t* key, wchar_t* buffer, std::size_t maxLength) = 0;
};

class ISerializable : public cNULLRCObject, public virtual IRCObject, public virtual IBase
{
public:
    ~ISerializable() override = default;

    // A null progress stands for the shared do-nothing progress.
    virtual bool SaveProperties(IKeyValueStore* store) = 0;
    virtual bool Write(IBinStream* stream, IProcProgress* progress = nullptr) = 0;
    virtual bool LoadProperties(IKeyValueStore* store, IProcProgress* progress = nullptr) = 0;
    virtual bool Read(IBinStream* stream, IProcProgress* progress = nullptr) = 0;
};
