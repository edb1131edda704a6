#include "platform/host/visual_analysis_mode.h"

#include "platform/host/dezaz_object.h"

#include <algorithm>

namespace
{

// Modes are static objects of plug-ins, built while their library loads: the
// list must exist before the first of them, whatever the order of libraries.
std::vector<CDezazVisualAnalysisMode*>& Registry()
{
    static std::vector<CDezazVisualAnalysisMode*> modes;
    return modes;
}

} // namespace

CDezazVisualAnalysisMode::CDezazVisualAnalysisMode(const ON_UUID& mode_id, DezazAnalysisStyle style)
    : m_id(mode_id), m_style(style)
{
    if (ON_UuidIsNil(mode_id) || Mode(mode_id))
        return;
    Registry().push_back(this);
    m_registered = true;
}

CDezazVisualAnalysisMode::~CDezazVisualAnalysisMode()
{
    auto& modes = Registry();
    modes.erase(std::remove(modes.begin(), modes.end(), this), modes.end());
}

bool CDezazVisualAnalysisMode::EnableUserInterface(bool)
{
    return false;
}

bool CDezazVisualAnalysisMode::ShowIsoCurves() const
{
    return false;
}

void CDezazVisualAnalysisMode::SetAnalysisModeDisplayAttributes(const CDezazObject*, CDezazDisplayPipeline&) const {}

void CDezazVisualAnalysisMode::UpdateVertexColors(const CDezazObject*, ON_SimpleArray<ON_Mesh*>&) const {}

CDezazVisualAnalysisMode* CDezazVisualAnalysisMode::Mode(const ON_UUID& mode_id)
{
    for (CDezazVisualAnalysisMode* mode : Registry())
        if (mode->m_id == mode_id)
            return mode;
    return nullptr;
}

std::vector<CDezazVisualAnalysisMode*> CDezazVisualAnalysisMode::Modes()
{
    return Registry();
}

bool DezazCopyAnalysisModes(const CDezazObject* source, CDezazObject* destination)
{
    if (!source || !destination)
        return false;
    bool all = true;
    // A copy: enabling may not change the source's list, but the source and
    // the destination may be one object.
    const std::vector<ON_UUID> modes = source->AnalysisModes();
    for (const ON_UUID& id : modes)
        all = destination->EnableAnalysisMode(id, true) && all;
    return all;
}
