// The plug-in's code reaches the plug-in object through ThePlugIn(); in the
// library it is the static object of the library's entry, which the test
// binaries (the concurrency binary too) do not link, so they have their own.
#include "plugin/vtl_plugin.h"

Cvtl_for_Dezaz4PlugIn& ThePlugIn()
{
    static Cvtl_for_Dezaz4PlugIn plugin;
    return plugin;
}
