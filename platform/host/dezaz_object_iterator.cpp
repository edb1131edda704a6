#include "platform/host/dezaz_object_iterator.h"

#include "platform/host/dezaz_doc.h"

CDezazObjectIterator::CDezazObjectIterator(const CDezazDoc& doc, unsigned int state_mask, unsigned int category_mask)
    : m_objects(doc.Objects()), m_state_mask(state_mask), m_category_mask(category_mask)
{
}

bool CDezazObjectIterator::CustomObjectFilter(const CDezazObject&) const
{
    return true;
}

bool CDezazObjectIterator::Accepts(const CDezazObject& object) const
{
    if (object.IsDeleted() || (object.ObjectState() & m_state_mask) == 0)
        return false;
    const unsigned int category = object.IsReference() ? dezaz_reference_objects : dezaz_active_objects;
    if ((category & m_category_mask) == 0)
        return false;
    if (m_type_filter != 0 && (static_cast<unsigned int>(object.ObjectType()) & m_type_filter) == 0)
        return false;
    if (m_selected_only && !object.IsSelected())
        return false;
    if (m_visible_only && !object.IsVisible())
        return false;
    return CustomObjectFilter(object);
}

const CDezazObject* CDezazObjectIterator::First()
{
    m_next = 0;
    return Next();
}

const CDezazObject* CDezazObjectIterator::Next()
{
    while (m_next < m_objects.size())
    {
        const CDezazObject* object = m_objects[m_next++];
        if (Accepts(*object))
            return object;
    }
    return nullptr;
}
