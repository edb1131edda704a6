// The plug-in's resource script and its headers as text, compiled in by the
// build from resources/.
#pragma once

struct VtlResourceHeader
{
    const char* name; // file name as the script's #include lines give it
    const char* text;
};

extern const char* const kVtlResourceScript;
// Ends with a record whose name is null.
extern const VtlResourceHeader kVtlResourceHeaders[];
