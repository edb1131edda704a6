// The entity history: the sessions of every host object of the active
// document, kept by the plug-in object and emptied when the document goes.
// The sessions themselves and the history's document record come with the
// session model; until then the history only knows which host objects it
// has entries for.
#pragma once

#include "platform/geometry/uuid.h"

#include <cstddef>
#include <vector>

class CEntitiesHistory
{
public:
    CEntitiesHistory() = default;
    ~CEntitiesHistory() { Clear(); }
    CEntitiesHistory(const CEntitiesHistory&) = delete;
    CEntitiesHistory& operator=(const CEntitiesHistory&) = delete;

    void Clear() { m_hosts.clear(); }
    std::size_t Count() const { return m_hosts.size(); }
    bool IsEmpty() const { return m_hosts.empty(); }
    // The entry of a host object, made when missing; false for a nil uuid.
    bool GetOrCreate(const ON_UUID& host_id);
    bool Contains(const ON_UUID& host_id) const;

private:
    std::vector<ON_UUID> m_hosts;
};
