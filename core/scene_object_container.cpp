#include "core/scene_object_container.h"

#include "core/bounding_box.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

void UnionBoundingBox3f(float box[6], const float other[6])
{
    if (!IsValidBoundingBox3f(other))
        return;
    for (int i = 0; i < 3; ++i)
    {
        box[i] = std::min(box[i], other[i]);
        box[i + 3] = std::max(box[i + 3], other[i + 3]);
    }
}

void cSceneObjectIterator::SeekClass(const GUID& classId)
{
    while (m_current != m_list.end() && !IsEqualInterfaceId((*m_current)->GetClassGuid(), classId))
        ++m_current;
}

void cSceneObjectIterator::FindFirstOfClass(const GUID& classId)
{
    m_current = m_list.begin();
    SeekClass(classId);
}

void cSceneObjectIterator::FindNextOfClass(const GUID& classId)
{
    Next();
    SeekClass(classId);
}

cSceneObjectContainer::cSceneObjectContainer()
    : m_attributesDelegate(this, &cSceneObjectContainer::OnObjectAttributesChanged),
      m_geometryDelegate(this, &cSceneObjectContainer::OnObjectGeometryChanged)
{
}

cSceneObjectContainer::~cSceneObjectContainer()
{
    // Nobody is told: whoever listens is being torn down with the scene.
    for (ISceneObject* object : m_objects)
        if (ISceneObject* group = nullptr; FindGroupOf(object, &group) != nullptr)
            AsSceneObjectGroup(group)->RemoveMember(object);
    std::list<ISceneObject*> objects;
    objects.swap(m_objects);
    for (ISceneObject* object : objects)
    {
        Unsubscribe(object);
        delete object;
    }
}

void cSceneObjectContainer::OnObjectAttributesChanged(ISceneObject* object)
{
    if (object != nullptr)
        m_events[kObjectAttributesChanged].Fire(this, object);
}

void cSceneObjectContainer::OnObjectGeometryChanged(ISceneObject* object)
{
    if (object != nullptr)
        m_events[kObjectGeometryChanged].Fire(this, object);
}

void cSceneObjectContainer::Unsubscribe(ISceneObject* object)
{
    object->GetAttributeChangedEvent().Unsubscribe(&m_attributesDelegate);
    object->GetGeometryChangedEvent().Unsubscribe(&m_geometryDelegate);
}

bool cSceneObjectContainer::Contains(const ISceneObject* object) const
{
    return std::find(m_objects.begin(), m_objects.end(), object) != m_objects.end();
}

void cSceneObjectContainer::Add(ISceneObject* object)
{
    if (object == nullptr)
        return;
    m_objects.push_back(object);
    object->GetAttributeChangedEvent().Subscribe(&m_attributesDelegate);
    object->GetGeometryChangedEvent().Subscribe(&m_geometryDelegate);
    m_events[kObjectAdded].Fire(this, object);
}

ISceneObjectGroup* cSceneObjectContainer::FindGroupOf(ISceneObject* object, ISceneObject** groupObject) const
{
    GUID groupId = object->GetGroupGuid();
    if (IsNullGuid(groupId))
        return nullptr;
    ISceneObject* group = FindById(groupId);
    // A record may name the object itself as its group: never follow that.
    if (group == nullptr || group == object)
        return nullptr;
    ISceneObjectGroup* members = AsSceneObjectGroup(group);
    if (members != nullptr && groupObject != nullptr)
        *groupObject = group;
    return members;
}

void cSceneObjectContainer::ForgetMember(ISceneObject* object)
{
    for (ISceneObject* held : m_objects)
    {
        ISceneObjectGroup* group = held != object ? AsSceneObjectGroup(held) : nullptr;
        while (group != nullptr && group->RemoveMember(object))
        {
        }
    }
}

void cSceneObjectContainer::TakeOutAndDestroy(ISceneObject* object)
{
    auto it = std::find(m_objects.begin(), m_objects.end(), object);
    if (it == m_objects.end())
        return;
    m_objects.erase(it);
    Unsubscribe(object);
    // A group may still list the object although its group id names another
    // group or none (a record read back replaces the id): no group that stays
    // may keep a pointer to an object destroyed here.
    ForgetMember(object);
    m_events[kObjectRemoved].Fire(this, object);
    delete object;
}

bool cSceneObjectContainer::Remove(ISceneObject* object)
{
    // An object that is not ours is left alone, and so are its group and
    // members.
    if (object == nullptr || !Contains(object))
        return false;

    ISceneObject* groupObject = nullptr;
    if (ISceneObjectGroup* group = FindGroupOf(object, &groupObject))
    {
        // Only a real member's leaving can empty the group: a group that an
        // object merely names stays.
        if (group->RemoveMember(object) && group->GetMemberCount() == 0)
            TakeOutAndDestroy(groupObject);
    }

    if (ISceneObjectGroup* group = AsSceneObjectGroup(object))
    {
        while (group->GetMemberCount() > 0)
        {
            ISceneObject* member = group->GetMember(group->GetMemberCount() - 1);
            if (!group->RemoveMember(member))
                break; // a list that does not shrink would never end
            if (member != object)
                TakeOutAndDestroy(member);
        }
    }

    TakeOutAndDestroy(object);
    return true;
}

bool cSceneObjectContainer::Detach(ISceneObject* object)
{
    auto it = std::find(m_objects.begin(), m_objects.end(), object);
    if (object == nullptr || it == m_objects.end())
        return false;
    m_objects.erase(it);
    Unsubscribe(object);
    m_events[kObjectRemoved].Fire(this, object);
    return true;
}

void cSceneObjectContainer::DetachAll()
{
    if (m_objects.empty())
        return;
    for (ISceneObject* object : m_objects)
        Unsubscribe(object);
    m_objects.clear();
    m_events[kCleared].Fire(this, nullptr);
}

void cSceneObjectContainer::Clear()
{
    // Dissolve every membership while all objects are alive; groups come
    // before their members in the list, so doing it while destroying would
    // ask a destroyed group for its id.
    for (ISceneObject* object : m_objects)
        if (ISceneObject* group = nullptr; FindGroupOf(object, &group) != nullptr)
            AsSceneObjectGroup(group)->RemoveMember(object);
    std::list<ISceneObject*> objects;
    objects.swap(m_objects);
    for (ISceneObject* object : objects)
    {
        Unsubscribe(object);
        delete object;
    }
    m_events[kCleared].Fire(this, nullptr);
}

std::uint32_t cSceneObjectContainer::MoveAllTo(cSceneObjectContainer& target)
{
    if (&target == this)
        return 0;
    std::uint32_t count = 0;
    std::unordered_set<ISceneObject*> moved;
    auto move = [&](ISceneObject* object) {
        if (moved.insert(object).second)
        {
            target.Add(object);
            ++count;
        }
    };
    // Snapshot: observers of the target may touch this list meanwhile.
    std::vector<ISceneObject*> objects(m_objects.begin(), m_objects.end());
    for (ISceneObject* object : objects)
    {
        ISceneObjectGroup* group = AsSceneObjectGroup(object);
        if (group == nullptr)
            continue;
        move(object);
        for (std::size_t i = 0; i < group->GetMemberCount(); ++i)
            if (ISceneObject* member = group->GetMember(i); member != nullptr && Contains(member))
                move(member);
    }
    // Every object not moved with a group goes now: one whose group is not
    // in this container must not be left behind when the list is emptied.
    for (ISceneObject* object : objects)
        move(object);
    DetachAll();
    return count;
}

ISceneObject* cSceneObjectContainer::FindById(const GUID& id) const
{
    for (ISceneObject* object : m_objects)
        if (IsEqualInterfaceId(object->GetObjectId(), id))
            return object;
    return nullptr;
}

void cSceneObjectContainer::GetBoundingBox(float box[6]) const
{
    MakeEmptyBox3f(box);
    for (ISceneObject* object : m_objects)
    {
        if (!object->HasStateFlag1() || AsSceneObjectGroup(object) != nullptr)
            continue;
        float objectBox[6];
        object->GetBoundingBox(objectBox);
        UnionBoundingBox3f(box, objectBox);
    }
}
