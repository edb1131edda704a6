// Named properties that hang on scene objects (triangle colours, search
// trees, analysis data, draw caches) and the list that holds them. A
// property is made as cRCObject<Property>; the list holds one reference to
// each, so the list is normally its only owner.
#pragma once

#include "core/rc_object.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ISceneObject;

class IAttachedProperty : public cNULLRCObject, public virtual IRCObject
{
public:
    IAttachedProperty(std::wstring_view name, ISceneObject* owner) : m_name(name), m_owner(owner) {}
    ~IAttachedProperty() override = default;

    IAttachedProperty(const IAttachedProperty&) = delete;
    IAttachedProperty& operator=(const IAttachedProperty&) = delete;

    // Called with the owner's 3x4 row-major transform (12 doubles) whenever
    // the owner is transformed. Properties that depend on the geometry update
    // or drop their data here.
    virtual void OnOwnerTransformed(const double* transform) { (void)transform; }

    const std::wstring& GetName() const { return m_name; }
    ISceneObject* GetOwner() const { return m_owner; }

private:
    std::wstring m_name;
    ISceneObject* m_owner; // not owned
};

// The property list of a scene object: names are unique (exact,
// case-sensitive), order is attachment order.
class cAttachedPropertyList
{
public:
    cAttachedPropertyList() = default;
    ~cAttachedPropertyList() { Clear(); }

    cAttachedPropertyList(const cAttachedPropertyList&) = delete;
    cAttachedPropertyList& operator=(const cAttachedPropertyList&) = delete;

    // Appends the property and takes a reference to it. When a property of
    // the same name is attached: replace false returns null and changes
    // nothing; replace true drops the old one first. Attaching a property
    // that is already in the list with replace set keeps it (it is not
    // released on the way).
    IAttachedProperty* Attach(IAttachedProperty* property, bool replace);

    // The property of exactly that name, or null.
    IAttachedProperty* Find(std::wstring_view name) const;
    bool Has(std::wstring_view name) const { return Find(name) != nullptr; }

    // Removes the property of that name and drops the list's reference.
    bool Detach(std::wstring_view name);

    // Drops every property, in list order.
    void Clear();

    // Passes the owner's transform to every property in list order. A
    // property may detach itself or others meanwhile.
    void NotifyOwnerTransformed(const double* transform);

    std::size_t GetCount() const { return m_properties.size(); }
    IAttachedProperty* GetAt(std::size_t i) const { return i < m_properties.size() ? m_properties[i] : nullptr; }

private:
    std::vector<IAttachedProperty*> m_properties;
};

// The get-or-create pattern of every property accessor: the owner's property
// of that name when it has one (null when that property is of another
// class); otherwise a new cRCObject<TProperty>(name, owner, extra...) that
// the owner's list alone owns afterwards. TOwner offers
// FindAttachedProperty(name) and AttachProperty(property, replace).
template <class TProperty, class TOwner, class... Extra>
TProperty* GetOrCreateAttachedProperty(TOwner* owner, std::wstring_view name, Extra&&... extra)
{
    if (owner == nullptr)
        return nullptr;
    if (IAttachedProperty* existing = owner->FindAttachedProperty(name))
        return dynamic_cast<TProperty*>(existing);
    tSafePtr<cRCObject<TProperty>> created;
    try
    {
        created = new cRCObject<TProperty>(name, owner, std::forward<Extra>(extra)...);
    }
    catch (...)
    {
        return nullptr;
    }
    if (owner->AttachProperty(created.Get(), true) == nullptr)
        return nullptr;
    return created.Get();
}
