#include "shapes/entities_history.h"

#include <algorithm>

bool CEntitiesHistory::GetOrCreate(const ON_UUID& host_id)
{
    if (ON_UuidIsNil(host_id))
        return false;
    if (!Contains(host_id))
        m_hosts.push_back(host_id);
    return true;
}

bool CEntitiesHistory::Contains(const ON_UUID& host_id) const
{
    return std::find(m_hosts.begin(), m_hosts.end(), host_id) != m_hosts.end();
}
