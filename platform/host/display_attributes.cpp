#include "platform/host/display_attributes.h"

#include <cwctype>
#include <string>

namespace
{

const CDisplayPipelineAttributes* Modes(int i)
{
    static const CDisplayPipelineAttributes modes[2] = {
        [] {
            CDisplayPipelineAttributes wire;
            wire.m_name = L"Wireframe";
            wire.m_shade_surfaces = false;
            wire.m_show_mesh_wires = true;
            return wire;
        }(),
        [] {
            CDisplayPipelineAttributes shaded;
            shaded.m_name = L"Shaded";
            return shaded;
        }(),
    };
    return i >= 0 && i < 2 ? &modes[i] : nullptr;
}

bool SameName(const wchar_t* a, const wchar_t* b)
{
    for (; *a && *b; ++a, ++b)
        if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b)))
            return false;
    return *a == *b;
}

} // namespace

int CDezazDisplayAttrsMgr::GetDisplayAttrsList(ON_SimpleArray<const CDisplayPipelineAttributes*>& list)
{
    for (int i = 0; Modes(i); ++i)
        list.Append(Modes(i));
    return 2;
}

const CDisplayPipelineAttributes* CDezazDisplayAttrsMgr::FindDisplayAttrs(const wchar_t* name)
{
    if (!name)
        return nullptr;
    for (int i = 0; Modes(i); ++i)
        if (SameName(Modes(i)->m_name.Array(), name))
            return Modes(i);
    return nullptr;
}
