// Walking a document's objects by state, category, kind, selection and
// visibility, with a filter of the caller's own on top.
#pragma once

#include "platform/host/dezaz_object.h"

#include <vector>

class CDezazDoc;

// Walks the live objects of a document whose state is in the state mask and
// whose category is in the category mask, in the order they were added. The
// objects are listed when the walk begins; one deleted since is skipped.
class CDezazObjectIterator
{
public:
    explicit CDezazObjectIterator(const CDezazDoc& doc, unsigned int state_mask = dezaz_normal_objects | dezaz_locked_objects,
                                  unsigned int category_mask = dezaz_active_objects);
    virtual ~CDezazObjectIterator() = default;

    // Only selected objects; only objects of these types (DezazObjectType bits; 0 = any).
    void EnableSelectedFilter(bool on = true) { m_selected_only = on; }
    void SetObjectFilter(unsigned int type_bits) { m_type_filter = type_bits; }
    // Only objects the user can see (not hidden, on a layer that is shown).
    void EnableVisibleFilter(bool on = true) { m_visible_only = on; }

    const CDezazObject* First();
    const CDezazObject* Next();

    // Called for every object that passed the other filters.
    virtual bool CustomObjectFilter(const CDezazObject& object) const;

private:
    bool Accepts(const CDezazObject& object) const;

    std::vector<const CDezazObject*> m_objects;
    std::size_t m_next = 0;
    unsigned int m_state_mask;
    unsigned int m_category_mask;
    unsigned int m_type_filter = 0;
    bool m_selected_only = false;
    bool m_visible_only = false;
};
