#include "platform/host/display_conduit.h"

#include <algorithm>

namespace
{

// Conduits are often static or dialog members of plug-ins: the list must
// exist before the first and outlive the last.
std::vector<CDezazDisplayConduit*>& Enabled()
{
    static std::vector<CDezazDisplayConduit*> conduits;
    return conduits;
}

} // namespace

CDezazDisplayConduit::CDezazDisplayConduit(UINT channel_mask, bool enabled) : m_channel_mask(channel_mask)
{
    if (enabled)
        Enable();
}

CDezazDisplayConduit::~CDezazDisplayConduit()
{
    Disable();
}

void CDezazDisplayConduit::NotifyConduit(notification, CDezazDisplayPipeline&) {}

void CDezazDisplayConduit::Enable()
{
    if (!IsEnabled())
        Enabled().push_back(this);
}

void CDezazDisplayConduit::Disable()
{
    auto& conduits = Enabled();
    conduits.erase(std::remove(conduits.begin(), conduits.end(), this), conduits.end());
}

bool CDezazDisplayConduit::IsEnabled() const
{
    const auto& conduits = Enabled();
    return std::find(conduits.begin(), conduits.end(), this) != conduits.end();
}

std::vector<CDezazDisplayConduit*> CDezazDisplayConduit::EnabledConduits()
{
    return Enabled();
}
