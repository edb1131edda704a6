// The ordered list of a scene's objects. The container owns them: removing
// or clearing destroys them; detaching hands them back to the caller. It
// relays every held object's attribute and geometry changes through its own
// events.
#pragma once

#include "core/events.h"
#include "core/scene_object.h"

#include <cstdint>
#include <list>

// Walks a sequence; T is what Current hands out.
template <class T> class tIterator
{
public:
    virtual ~tIterator() = default;
    virtual void First() = 0;
    virtual bool IsDone() const = 0;
    virtual void Next() = 0;
    virtual T Current() const = 0;
};

class cSceneObjectIterator : public tIterator<tSafePtr<ISceneObject>>
{
public:
    explicit cSceneObjectIterator(const std::list<ISceneObject*>& list) : m_list(list), m_current(list.begin()) {}

    void First() override { m_current = m_list.begin(); }
    bool IsDone() const override { return m_current == m_list.end(); }
    void Next() override
    {
        if (m_current != m_list.end())
            ++m_current;
    }
    tSafePtr<ISceneObject> Current() const override
    {
        return tSafePtr<ISceneObject>(m_current == m_list.end() ? nullptr : *m_current);
    }
    // Stops at the first object of the class from the start, else at the end.
    void FindFirstOfClass(const GUID& classId);
    // The same, starting after the current object.
    void FindNextOfClass(const GUID& classId);

private:
    void SeekClass(const GUID& classId);

    const std::list<ISceneObject*>& m_list;
    std::list<ISceneObject*>::const_iterator m_current;
};

class cSceneObjectContainer
{
public:
    using Event = tEventEx<cSceneObjectContainer, ISceneObject*, cEventDummyLocker>;
    enum EventIndex
    {
        kObjectAdded = 0,
        kObjectRemoved = 1,
        kCleared = 2,
        kObjectAttributesChanged = 3,
        kObjectGeometryChanged = 4,
    };

    cSceneObjectContainer();
    virtual ~cSceneObjectContainer();

    cSceneObjectContainer(const cSceneObjectContainer&) = delete;
    cSceneObjectContainer& operator=(const cSceneObjectContainer&) = delete;

    // Fired with this container and the object (null for kCleared).
    Event& GetEvent(EventIndex index) { return m_events[index]; }

    // Appends the object and takes ownership; null does nothing.
    void Add(ISceneObject* object);
    // Takes the object out and destroys it, with its group rules: removing
    // the last member of a group also removes the group (first), removing a
    // group removes its members. False when the object is not held.
    bool Remove(ISceneObject* object);
    // Takes the object out without destroying it; false when not held.
    bool Detach(ISceneObject* object);
    // Empties the list without destroying anything.
    void DetachAll();
    // Destroys every object; always fires kCleared.
    void Clear();
    // Moves every object to target (groups followed by their members, then
    // the rest) and empties this container; the number moved.
    std::uint32_t MoveAllTo(cSceneObjectContainer& target);

    ISceneObject* FindById(const GUID& id) const;
    // Union of the valid boxes of the visible objects that are not groups.
    void GetBoundingBox(float box[6]) const;
    // A new iterator over the list, owned by the caller.
    cSceneObjectIterator* CreateIterator() const { return new cSceneObjectIterator(m_objects); }

    std::uint32_t GetCount() const { return static_cast<std::uint32_t>(m_objects.size()); }
    const std::list<ISceneObject*>& GetObjects() const { return m_objects; }
    bool Contains(const ISceneObject* object) const;

private:
    void OnObjectAttributesChanged(ISceneObject* object);
    void OnObjectGeometryChanged(ISceneObject* object);
    void Unsubscribe(ISceneObject* object);
    // Takes a held object out of the list, unsubscribes, fires kObjectRemoved
    // and destroys it.
    void TakeOutAndDestroy(ISceneObject* object);
    // Drops the object from the member list of every held group but itself.
    void ForgetMember(ISceneObject* object);
    // The group object that the object names as its group, when it is held
    // and is not the object itself.
    ISceneObjectGroup* FindGroupOf(ISceneObject* object, ISceneObject** groupObject) const;

    Event m_events[5];
    std::list<ISceneObject*> m_objects;
    tEventDelegate<ISceneObject, cSceneObjectContainer> m_attributesDelegate;
    tEventDelegate<ISceneObject, cSceneObjectContainer> m_geometryDelegate;
};

// Widens box by other when other is a valid box.
void UnionBoundingBox3f(float box[6], const float other[6]);
