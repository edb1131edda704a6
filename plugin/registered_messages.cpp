#include "plugin/registered_messages.h"

#include "platform/win32/message.h"

const UINT WM_NEW_VTL_SOFTWARE_AVAILABLE = RegisterWindowMessageW(L"_NEW_VTL_SOFTWARE_AVAILABLE");
const UINT WM_RBUTTON_ON_ENTITIES_LIST = RegisterWindowMessageW(L"urm_RButtonOnEntiesList");
