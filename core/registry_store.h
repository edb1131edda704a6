// The settings store: reads and writes single values below the program's
// registry key (HKEY_CURRENT_USER\SOFTWARE\<company>\<product>\<section>).
//
// Encodings shared by every setting: integers, booleans, indices and colours
// as REG_SZ text "%d", floats as REG_SZ text "%g", records as REG_BINARY.
// Text lengths handed to the registry count two bytes per character, the
// terminating zero included. A value that is missing, of the wrong type or
// not a number leaves the caller's value as it was, so the caller's built-in
// default stays.
#pragma once

#include "platform/win32/win32.h"

class cRegistryStore
{
public:
    static constexpr int kPathLength = 1024;

    cRegistryStore();

    // Root HKEY_CURRENT_USER, base path "SOFTWARE\\[company\\]product"; each
    // part is cut so that the path never exceeds kPathLength - 1 characters.
    void Init(const wchar_t* company, const wchar_t* product);

    // Reads one value of any type into data. *length is the buffer's size in
    // bytes on entry; a text value arrives as wchar_t text and must fit it as
    // such. On success *length is the value's size in registry bytes (two per
    // UTF-16 unit for text). False for a missing key or value or a value that
    // does not fit the buffer.
    bool ReadValue(const wchar_t* section, const wchar_t* name, DWORD* type, void* data, DWORD* length) const;

    // REG_SZ values parsed as "%g" / "%d". True whenever a text value was
    // read, even when it does not parse: *value then keeps what it held.
    bool ReadFloat(const wchar_t* section, const wchar_t* name, float* value) const;
    bool ReadInt(const wchar_t* section, const wchar_t* name, int* value) const;

    // Creates the section's key when needed and writes the value.
    bool WriteValue(const wchar_t* section, const wchar_t* name, DWORD type, const void* data, DWORD length) const;
    void WriteInt(const wchar_t* section, const wchar_t* name, int value) const;

    HKEY GetRootKey() const { return m_rootKey; }
    const wchar_t* GetBasePath() const { return m_basePath; }
    const wchar_t* GetProductName() const { return m_productName; }

    // The full key path below the root for a section (null: the base path).
    void BuildKeyPath(const wchar_t* section, wchar_t (&path)[kPathLength]) const;

private:
    // Reads a REG_SZ value as text ended at the bytes read.
    bool ReadText(const wchar_t* section, const wchar_t* name, wchar_t (&text)[kPathLength]) const;

    HKEY m_rootKey;
    wchar_t m_basePath[kPathLength];
    wchar_t m_productName[kPathLength];
};

// The setting texts' number syntax, independent of the process locale:
// leading blanks, an optional sign, then digits; trailing text is ignored.
// False when no number is there or it does not fit (floats: not finite).
bool ParseSettingInt(const wchar_t* text, int* value);
bool ParseSettingFloat(const wchar_t* text, float* value);
