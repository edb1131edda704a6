// Loading plug-in libraries into the host program. A library must export
// every information function the host reads, report the SDK number the host
// supports and construct exactly one plug-in object whose id is the one it
// exports; otherwise it is refused with a message and closed again.
#pragma once

#include "platform/host/dezaz_plugin.h"

#include <string>
#include <vector>

namespace dezaz
{

inline constexpr int kHostSdkVersion = 201103035;
inline constexpr int kHostSdkServiceRelease = 201406095;

// The exports every plug-in library must have.
extern const char* const kRequiredPlugInExports[13];

struct LoadedPlugIn
{
    std::string path;
    void* library = nullptr;
    CDezazPlugIn* plugin = nullptr;
    std::wstring name;
    bool loaded = false; // its load hook ran and accepted
};

class cPlugInManager
{
public:
    cPlugInManager() = default;
    ~cPlugInManager();
    cPlugInManager(const cPlugInManager&) = delete;
    cPlugInManager& operator=(const cPlugInManager&) = delete;

    // Opens the library and checks it; the plug-in is not started yet.
    // False, with the reason, when the library is refused (and closed).
    bool Open(const std::string& path, std::wstring& error);
    // Calls the load hook of every opened plug-in that has not run it; a
    // plug-in that refuses to load is reported and dropped.
    bool StartAll(std::wstring& error);
    // Unload hooks in reverse order, then the libraries are closed.
    void UnloadAll();

    const std::vector<LoadedPlugIn>& PlugIns() const { return m_plugins; }

    // Routes a menu item id to the plug-in that inserted it; false (with a
    // message) for an id no plug-in handles.
    static bool DispatchMenuCommand(unsigned int id, std::wstring& error);

private:
    std::vector<LoadedPlugIn> m_plugins;
};

} // namespace dezaz
