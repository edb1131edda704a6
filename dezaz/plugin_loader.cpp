#include "dezaz/plugin_loader.h"

#include "platform/geometry/uuid.h"
#include "platform/host/dock_bar.h"
#include "platform/win32/codepage.h"

#include <algorithm>
#include <dlfcn.h>

namespace dezaz
{

const char* const kRequiredPlugInExports[13] = {
    "DezazPlugInSdkVersion",         "DezazPlugInSdkServiceRelease",     "DezazPlugInName",
    "DezazPlugInId",                 "DezazPlugInVersion",               "DezazPlugInDeveloperOrganization",
    "DezazPlugInDeveloperAddress",   "DezazPlugInDeveloperCountry",      "DezazPlugInDeveloperPhone",
    "DezazPlugInDeveloperFax",       "DezazPlugInDeveloperEmail",        "DezazPlugInDeveloperWebsite",
    "DezazPlugInUpdateURL",
};

namespace
{

using IntExport = int (*)();
using WideExport = const wchar_t* (*)();
using NarrowExport = const char* (*)();

std::wstring Wide(const std::string& s)
{
    return win32::Utf8ToWide(s);
}

// Checks the information functions; on refusal returns the reason.
std::wstring CheckExports(void* library, const std::string& path, std::wstring& name, std::wstring& id_text)
{
    for (const char* symbol : kRequiredPlugInExports)
        if (!dlsym(library, symbol))
            return L"\"" + Wide(path) + L"\" is not a Dezaz plug-in: it does not export " + Wide(symbol) + L".";
    const int sdk = reinterpret_cast<IntExport>(dlsym(library, "DezazPlugInSdkVersion"))();
    const int release = reinterpret_cast<IntExport>(dlsym(library, "DezazPlugInSdkServiceRelease"))();
    const wchar_t* plugin_name = reinterpret_cast<WideExport>(dlsym(library, "DezazPlugInName"))();
    const wchar_t* id = reinterpret_cast<WideExport>(dlsym(library, "DezazPlugInId"))();
    const char* version = reinterpret_cast<NarrowExport>(dlsym(library, "DezazPlugInVersion"))();
    name = plugin_name && *plugin_name ? plugin_name : Wide(path);
    if (sdk != kHostSdkVersion)
        return L"The plug-in " + name + L" was built for SDK " + std::to_wstring(sdk) + L"; this Dezaz supports SDK " +
               std::to_wstring(kHostSdkVersion) + L".";
    if (release > kHostSdkServiceRelease)
        return L"The plug-in " + name + L" needs SDK service release " + std::to_wstring(release) +
               L"; this Dezaz has " + std::to_wstring(kHostSdkServiceRelease) + L".";
    if (!plugin_name || !*plugin_name || !version || !*version)
        return L"The plug-in in \"" + Wide(path) + L"\" gives no name or version.";
    if (!id || ON_UuidIsNil(ON_UuidFromString(id)))
        return L"The plug-in " + name + L" gives no valid id.";
    id_text = id;
    return {};
}

} // namespace

cPlugInManager::~cPlugInManager()
{
    UnloadAll();
}

bool cPlugInManager::Open(const std::string& path, std::wstring& error)
{
    const std::vector<CDezazPlugIn*> before = RegisteredPlugIns();
    // Plug-ins resolve everything at once, so a missing symbol is a clear
    // refusal here rather than a crash later.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
    {
        const char* reason = dlerror();
        error = L"Cannot load the plug-in \"" + Wide(path) + L"\": " + Wide(reason ? reason : "unknown error");
        return false;
    }
    std::vector<CDezazPlugIn*> made;
    for (CDezazPlugIn* plugin : RegisteredPlugIns())
        if (std::find(before.begin(), before.end(), plugin) == before.end())
            made.push_back(plugin);
    for (const LoadedPlugIn& loaded : m_plugins)
        if (loaded.library == library)
        {
            error = L"The plug-in \"" + Wide(path) + L"\" is loaded already.";
            dlclose(library); // only drops the reference this call took
            return false;
        }

    std::wstring name, id_text;
    error = CheckExports(library, path, name, id_text);
    if (error.empty() && made.size() != 1)
        error = L"The plug-in " + name + L" makes " + std::to_wstring(made.size()) +
                L" plug-in objects; it must make exactly one.";
    if (error.empty() && made[0]->PlugInID() != ON_UuidFromString(id_text.c_str()))
        error = L"The plug-in " + name + L" exports an id that is not its plug-in object's.";
    if (!error.empty())
    {
        dlclose(library);
        return false;
    }
    m_plugins.push_back({path, library, made[0], name, false});
    return true;
}

bool cPlugInManager::StartAll(std::wstring& error)
{
    bool ok = true;
    for (auto it = m_plugins.begin(); it != m_plugins.end();)
    {
        if (it->loaded)
        {
            ++it;
            continue;
        }
        if (it->plugin->OnLoadPlugIn())
        {
            it->loaded = true;
            SetPlugInLoaded(it->plugin, true);
            ++it;
            continue;
        }
        error = L"The plug-in " + it->name + L" did not load.";
        ok = false;
        dlclose(it->library);
        it = m_plugins.erase(it);
    }
    return ok;
}

void cPlugInManager::UnloadAll()
{
    // Dock bars are objects of the plug-ins' classes: they go before the
    // libraries that hold their code.
    CDezazDockBarManager::DestroyAllDockBars();
    while (!m_plugins.empty())
    {
        LoadedPlugIn last = m_plugins.back();
        m_plugins.pop_back();
        if (last.loaded)
        {
            SetPlugInLoaded(last.plugin, false);
            last.plugin->OnUnloadPlugIn();
        }
        dlclose(last.library);
    }
}

bool cPlugInManager::DispatchMenuCommand(unsigned int id, std::wstring& error)
{
    CDezazPlugIn* plugin = PlugInOfMenuItem(id);
    if (!plugin || !plugin->OnPlugInMenuCommand(id))
    {
        error = L"No plug-in handles the menu item " + std::to_wstring(id) + L".";
        return false;
    }
    return true;
}

} // namespace dezaz
