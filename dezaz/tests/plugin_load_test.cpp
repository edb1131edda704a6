// The host with the real plug-in library. Loading and unloading happen once
// per run of the host, so every case runs in a process of its own (gtest
// re-runs this binary for the one case).
#include "dezaz/plugin_loader.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/win32/menu.h"
#include "platform/win32/message.h"
#include "platform/win32/module.h"
#include "platform/win32/resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace
{

// Inside the child process: a failed check ends it with the reason on
// standard error, which the parent shows.
#define CHILD_CHECK(condition)                                                                                        \
    do                                                                                                                \
    {                                                                                                                 \
        if (!(condition))                                                                                             \
        {                                                                                                             \
            std::fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition);                              \
            std::_Exit(3);                                                                                            \
        }                                                                                                             \
    } while (0)

template <class Body> void RunChild(Body body)
{
    body();
    std::fprintf(stderr, "child done\n");
    std::exit(0);
}

#define IN_OWN_PROCESS(...)                                                                                           \
    GTEST_FLAG_SET(death_test_style, "threadsafe");                                                                   \
    {                                                                                                                 \
        const auto child_body = [&]() { __VA_ARGS__; };                                                               \
        EXPECT_EXIT(RunChild(child_body), ::testing::ExitedWithCode(0), "child done");                               \
    }

int ThreadCount()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/task"))
    {
        while (dirent* entry = readdir(dir))
            count += entry->d_name[0] != '.';
        closedir(dir);
    }
    return count;
}

// Worker threads leave the task list shortly after they report their end.
bool ThreadCountReturnsTo(int expected)
{
    for (int i = 0; i < 400; ++i)
    {
        if (ThreadCount() == expected)
            return true;
        usleep(5000);
    }
    return false;
}

std::wstring MenuText(HMENU menu, int position)
{
    wchar_t text[128] = {};
    GetMenuStringW(menu, static_cast<UINT>(position), text, 128, MF_BYPOSITION);
    return text;
}

TEST(PlugInLibrary, ExportsEveryInformationFunctionWithItsValue)
{
    IN_OWN_PROCESS({
        void* library = dlopen(VTL_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        CHILD_CHECK(library != nullptr);
        for (const char* name : dezaz::kRequiredPlugInExports)
            CHILD_CHECK(dlsym(library, name) != nullptr);
        using Int = int (*)();
        using Wide = const wchar_t* (*)();
        using Narrow = const char* (*)();
        CHILD_CHECK(reinterpret_cast<Int>(dlsym(library, "DezazPlugInSdkVersion"))() == 201103035);
        CHILD_CHECK(reinterpret_cast<Int>(dlsym(library, "DezazPlugInSdkServiceRelease"))() == 201406095);
        CHILD_CHECK(std::wstring(reinterpret_cast<Wide>(dlsym(library, "DezazPlugInName"))()) == L"Vantrell");
        CHILD_CHECK(std::string(reinterpret_cast<Narrow>(dlsym(library, "DezazPlugInVersion"))()) == "4.1.74");
        // The web site and the update address are one function.
        CHILD_CHECK(dlsym(library, "DezazPlugInDeveloperWebsite") == dlsym(library, "DezazPlugInUpdateURL"));
        for (const char* name : {"DezazPlugInDeveloperOrganization", "DezazPlugInDeveloperAddress",
                                 "DezazPlugInDeveloperCountry", "DezazPlugInDeveloperPhone", "DezazPlugInDeveloperFax",
                                 "DezazPlugInDeveloperEmail", "DezazPlugInDeveloperWebsite"})
        {
            const wchar_t* text = reinterpret_cast<Wide>(dlsym(library, name))();
            CHILD_CHECK(text != nullptr && *text != 0);
        }
        // The registered messages hold the process-wide ids of their names.
        for (const auto& [symbol, name] : {std::pair{"WM_NEW_VTL_SOFTWARE_AVAILABLE", L"_NEW_VTL_SOFTWARE_AVAILABLE"},
                                           std::pair{"WM_RBUTTON_ON_ENTITIES_LIST", L"urm_RButtonOnEntiesList"}})
        {
            const auto* id = static_cast<const UINT*>(dlsym(library, symbol));
            CHILD_CHECK(id != nullptr);
            CHILD_CHECK(*id >= 0xC000 && *id <= 0xFFFF);
            CHILD_CHECK(*id == RegisterWindowMessageW(name));
        }
        // The plug-in object has the exported id, parsed.
        const ON_UUID id = ON_UuidFromString(reinterpret_cast<Wide>(dlsym(library, "DezazPlugInId"))());
        CHILD_CHECK(ON_UuidIsNotNil(id));
        const auto plugins = dezaz::RegisteredPlugIns();
        CHILD_CHECK(plugins.size() == 1);
        CHILD_CHECK(plugins[0]->PlugInID() == id);
        CHILD_CHECK(std::wstring(plugins[0]->PlugInName()) == L"Vantrell");
        CHILD_CHECK(std::wstring(plugins[0]->PlugInVersion()) == L"4.1.74");
        dlclose(library);
    });
}

TEST(PlugInLibrary, LoadInsertsTheMenuFirstAndStartsThePoolUnloadEndsIt)
{
    IN_OWN_PROCESS({
        HMENU bar = CreateMenu();
        AppendMenuW(bar, MF_STRING, 100, L"File");
        dezaz::SetHostMenu(bar);
        dezaz::cPlugInManager manager;
        std::wstring error;
        CHILD_CHECK(manager.Open(VTL_PLUGIN_PATH, error));
        const int threads = ThreadCount();
        CHILD_CHECK(manager.StartAll(error));
        CHILD_CHECK(ThreadCount() >= threads + 2);
        CHILD_CHECK(GetMenuItemCount(bar) == 2);
        CHILD_CHECK(MenuText(bar, 0) == L"Vantrell");
        HMENU popup = GetSubMenu(bar, 0);
        CHILD_CHECK(popup != nullptr);
        CHILD_CHECK(GetMenuItemCount(popup) == 11);
        const UINT ids[] = {32809, 32879, 0, 32819, 32820, 0, 32774, 0, 32817, 0, 32772};
        for (int i = 0; i < 11; ++i)
            if (ids[i] == 0)
                CHILD_CHECK((GetMenuState(popup, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) != 0);
            else
                CHILD_CHECK(GetMenuItemID(popup, i) == ids[i]);
        CHILD_CHECK(MenuText(popup, 0) == L"Shapes ...");
        CHILD_CHECK(MenuText(popup, 10) == L"About ...");
        CHILD_CHECK(dezaz::LoadedPlugIns().size() == 1);
        manager.UnloadAll();
        CHILD_CHECK(dezaz::LoadedPlugIns().empty());
        CHILD_CHECK(ThreadCountReturnsTo(threads));
    });
}

TEST(PlugInLibrary, WithoutItsMenuResourceTheLoadStillStartsThePool)
{
    IN_OWN_PROCESS({
        HMENU bar = CreateMenu();
        dezaz::SetHostMenu(bar);
        dezaz::cPlugInManager manager;
        std::wstring error;
        CHILD_CHECK(manager.Open(VTL_PLUGIN_PATH, error));
        HMODULE module = nullptr;
        CHILD_CHECK(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                       reinterpret_cast<LPCWSTR>(dlsym(manager.PlugIns()[0].library, "DezazPlugInName")),
                                       &module));
        CHILD_CHECK(win32::FindModuleResources(module) != nullptr);
        win32::UnregisterResources(module);
        const int threads = ThreadCount();
        CHILD_CHECK(manager.StartAll(error));
        CHILD_CHECK(GetMenuItemCount(bar) == 0);
        CHILD_CHECK(ThreadCount() >= threads + 2);
        CHILD_CHECK(manager.PlugIns()[0].loaded);
        manager.UnloadAll();
    });
}

TEST(PlugInLibrary, MenuIdsRunTheirScriptsAndOtherIdsAreLeftToTheHost)
{
    IN_OWN_PROCESS({
        dezaz::SetHostMenu(CreateMenu());
        dezaz::cPlugInManager manager;
        std::wstring error;
        CHILD_CHECK(manager.Open(VTL_PLUGIN_PATH, error) && manager.StartAll(error));
        CDezazPlugIn* plugin = manager.PlugIns()[0].plugin;
        DezazApp().ClearCommandLineText();
        // Nothing is selected and the script answers the getter with cancel.
        CHILD_CHECK(DezazApp().RunScript(L"> Object cancel", 0));
        CHILD_CHECK(plugin->OnPlugInMenuCommand(32809));
        CHILD_CHECK(DezazApp().CommandLineText().find(L"Command: _vtlShapes") != std::wstring::npos);
        CHILD_CHECK(!plugin->OnPlugInMenuCommand(40000));
        CHILD_CHECK(!dezaz::cPlugInManager::DispatchMenuCommand(40000, error));
        CHILD_CHECK(error.find(L"40000") != std::wstring::npos);
        manager.UnloadAll();
    });
}

TEST(PlugInLibrary, LibrariesThatAreNotPlugInsForThisHostAreRefused)
{
    IN_OWN_PROCESS({
        dezaz::cPlugInManager manager;
        std::wstring error;
        CHILD_CHECK(!manager.Open(VTL_FAKE_MISSING_EXPORT_PATH, error));
        CHILD_CHECK(error.find(L"does not export DezazPlugInDeveloperEmail") != std::wstring::npos);
        CHILD_CHECK(!manager.Open(VTL_FAKE_WRONG_SDK_PATH, error));
        CHILD_CHECK(error.find(L"SDK 201001010") != std::wstring::npos);
        CHILD_CHECK(!manager.Open("/no/such/plugin.so", error));
        CHILD_CHECK(error.find(L"Cannot load") != std::wstring::npos);
        CHILD_CHECK(manager.PlugIns().empty());
        CHILD_CHECK(dezaz::LoadedPlugIns().empty());
    });
}

} // namespace
