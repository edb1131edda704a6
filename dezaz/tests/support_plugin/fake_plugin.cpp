// A plug-in library the host must refuse: built once without one of the
// information functions and once for an SDK the host does not support.
#include "platform/host/dezaz_plugin.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

#ifndef VTL_FAKE_SDK_VERSION
#define VTL_FAKE_SDK_VERSION 201103035
#endif

EXPORT int DezazPlugInSdkVersion()
{
    return VTL_FAKE_SDK_VERSION;
}
EXPORT int DezazPlugInSdkServiceRelease()
{
    return 201406095;
}
EXPORT const wchar_t* DezazPlugInName()
{
    return L"Refused";
}
EXPORT const wchar_t* DezazPlugInId()
{
    return L"01234567-89AB-CDEF-0123-456789ABCDEF";
}
EXPORT const char* DezazPlugInVersion()
{
    return "1.0";
}
EXPORT const wchar_t* DezazPlugInDeveloperOrganization()
{
    return L"Test";
}
EXPORT const wchar_t* DezazPlugInDeveloperAddress()
{
    return L"Test";
}
EXPORT const wchar_t* DezazPlugInDeveloperCountry()
{
    return L"Test";
}
EXPORT const wchar_t* DezazPlugInDeveloperPhone()
{
    return L"Test";
}
EXPORT const wchar_t* DezazPlugInDeveloperFax()
{
    return L"Test";
}
#ifndef VTL_FAKE_MISSING_EXPORT
EXPORT const wchar_t* DezazPlugInDeveloperEmail()
{
    return L"Test";
}
#endif
EXPORT const wchar_t* DezazPlugInDeveloperWebsite()
{
    return L"Test";
}
EXPORT const wchar_t* DezazPlugInUpdateURL()
{
    return L"Test";
}

namespace
{

class CRefusedPlugIn : public CDezazUtilityPlugIn
{
public:
    GUID PlugInID() const override { return ON_UuidFromString(DezazPlugInId()); }
    const wchar_t* PlugInName() const override { return DezazPlugInName(); }
    const wchar_t* PlugInVersion() const override { return L"1.0"; }
};

CRefusedPlugIn thePlugIn;

} // namespace
