// The plug-in library's entry: the information functions the host reads by
// name, and the static objects that exist before the host calls anything
// (in this order: the application object, the plug-in object; the command
// objects and the registered messages are built with their own files).
#include "plugin/module_state.h"
#include "plugin/plugin_info.h"
#include "plugin/vtl_plugin.h"

#define VTL_EXPORT extern "C" __attribute__((visibility("default")))

VTL_EXPORT int DezazPlugInSdkVersion()
{
    return vtl::kSdkVersion;
}
VTL_EXPORT int DezazPlugInSdkServiceRelease()
{
    return vtl::kSdkServiceRelease;
}
VTL_EXPORT const wchar_t* DezazPlugInName()
{
    return vtl::kPlugInName;
}
VTL_EXPORT const wchar_t* DezazPlugInId()
{
    return vtl::kPlugInId;
}
VTL_EXPORT const char* DezazPlugInVersion()
{
    return vtl::kPlugInVersion;
}
VTL_EXPORT const wchar_t* DezazPlugInDeveloperOrganization()
{
    return vtl::kDeveloperOrganization;
}
VTL_EXPORT const wchar_t* DezazPlugInDeveloperAddress()
{
    return vtl::kDeveloperAddress;
}
VTL_EXPORT const wchar_t* DezazPlugInDeveloperCountry()
{
    return vtl::kDeveloperCountry;
}
VTL_EXPORT const wchar_t* DezazPlugInDeveloperPhone()
{
    return vtl::kDeveloperPhone;
}
VTL_EXPORT const wchar_t* DezazPlugInDeveloperFax()
{
    return vtl::kDeveloperFax;
}
VTL_EXPORT const wchar_t* DezazPlugInDeveloperEmail()
{
    return vtl::kDeveloperEmail;
}
// The web site and the update address are one and the same function.
VTL_EXPORT const wchar_t* DezazPlugInDeveloperWebsite()
{
    return vtl::kDeveloperWebsite;
}
extern "C" __attribute__((visibility("default"), alias("DezazPlugInDeveloperWebsite"))) const wchar_t*
DezazPlugInUpdateURL();

namespace
{

class Cvtl_for_Dezaz4App : private cEnterModuleState, public CWinApp
{
public:
    Cvtl_for_Dezaz4App() : CWinApp(nullptr) { Leave(); }
};

Cvtl_for_Dezaz4App theApp;
Cvtl_for_Dezaz4PlugIn thePlugIn;

} // namespace

Cvtl_for_Dezaz4PlugIn& ThePlugIn()
{
    return thePlugIn;
}
