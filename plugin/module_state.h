// The plug-in module's MFC state: its instance and resource handles, so that
// resource lookups made under AFX_MANAGE_STATE(AfxGetStaticModuleState())
// find the plug-in's own menus and dialogs. The module's resource script is
// registered the first time the state is asked for.
#pragma once

#include "platform/mfc/win_app.h"

AFX_MODULE_STATE* AfxGetStaticModuleState();

// The module (shared library or program) this code was linked into.
HINSTANCE VtlModuleHandle();

// Switches to the module's state for the life of a constructor's base
// classes: a base listed before CWinApp makes the application object
// register with the plug-in's state instead of the host's.
struct cEnterModuleState
{
    cEnterModuleState() : previous(AfxSetModuleState(AfxGetStaticModuleState())) {}
    void Leave() { AfxSetModuleState(previous); }
    AFX_MODULE_STATE* previous;
};
