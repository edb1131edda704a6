// The plug-in's resource script and its header as text, compiled in by the
// build from resources/.
#pragma once

extern const char* const kVtlResourceScript;
extern const char* const kVtlResourceHeader;
