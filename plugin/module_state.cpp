#include "plugin/module_state.h"

#include "plugin/resource_text.h"
#include "platform/win32/module.h"
#include "platform/win32/resource.h"

#include <cstdio>

HINSTANCE VtlModuleHandle()
{
    static const HINSTANCE module = [] {
        HMODULE handle = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(&VtlModuleHandle), &handle);
        return static_cast<HINSTANCE>(handle);
    }();
    return module;
}

AFX_MODULE_STATE* AfxGetStaticModuleState()
{
    static AFX_MODULE_STATE* state = [] {
        auto* s = new AFX_MODULE_STATE; // lives as long as the module's code
        s->m_hCurrentInstanceHandle = VtlModuleHandle();
        s->m_hCurrentResourceHandle = VtlModuleHandle();
        std::string error;
        const auto include = [](const std::string& name) -> std::optional<std::string> {
            for (const VtlResourceHeader* header = kVtlResourceHeaders; header->name; ++header)
                if (name == header->name)
                    return std::string(header->text);
            return std::nullopt;
        };
        if (!win32::RegisterResourceScript(VtlModuleHandle(), kVtlResourceScript, include, &error))
            std::fprintf(stderr, "vtl: the plug-in's resources are damaged: %s\n", error.c_str());
        return s;
    }();
    return state;
}
