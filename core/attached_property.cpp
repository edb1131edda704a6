#include "core/attached_property.h"

#include <algorithm>

IAttachedProperty* cAttachedPropertyList::Attach(IAttachedProperty* property, bool replace)
{
    if (property == nullptr)
        return nullptr;
    try
    {
        m_properties.reserve(m_properties.size() + 1);
    }
    catch (...)
    {
        return nullptr;
    }
    auto same = std::find_if(m_properties.begin(), m_properties.end(),
                             [&](const IAttachedProperty* p) { return p->GetName() == property->GetName(); });
    if (same != m_properties.end())
    {
        if (!replace)
            return nullptr;
        if (*same == property)
            return property;
        IAttachedProperty* old = *same;
        m_properties.erase(same);
        old->Release();
    }
    m_properties.push_back(property); // room was reserved above
    property->AddRef();
    return property;
}

IAttachedProperty* cAttachedPropertyList::Find(std::wstring_view name) const
{
    for (IAttachedProperty* p : m_properties)
        if (p->GetName() == name)
            return p;
    return nullptr;
}

bool cAttachedPropertyList::Detach(std::wstring_view name)
{
    auto it = std::find_if(m_properties.begin(), m_properties.end(),
                           [&](const IAttachedProperty* p) { return p->GetName() == name; });
    if (it == m_properties.end())
        return false;
    IAttachedProperty* property = *it;
    m_properties.erase(it);
    property->Release();
    return true;
}

void cAttachedPropertyList::Clear()
{
    // In list order; each property is unlinked before it is released, so a
    // destructor that looks at the list finds a consistent one.
    while (!m_properties.empty())
    {
        IAttachedProperty* property = m_properties.front();
        m_properties.erase(m_properties.begin());
        property->Release();
    }
}

void cAttachedPropertyList::NotifyOwnerTransformed(const double* transform)
{
    // Hold every property for the duration of the walk: a property may detach
    // itself or another one from its notification.
    std::vector<tSafePtr<IAttachedProperty>> snapshot;
    try
    {
        snapshot.assign(m_properties.begin(), m_properties.end());
    }
    catch (...)
    {
        return;
    }
    for (auto& held : snapshot)
    {
        if (std::find(m_properties.begin(), m_properties.end(), held.Get()) != m_properties.end())
            held->OnOwnerTransformed(transform);
    }
}
