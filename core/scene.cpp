#include "core/scene.h"

#include "core/bounding_box.h"
#include "core/registry_store.h"

#include <cmath>
#include <memory>

// ---------------------------------------------------------------------------
// I3DScene
// ---------------------------------------------------------------------------

void I3DScene::GetBoundingBox(float box[6])
{
    MakeEmptyBox3f(box);
    std::unique_ptr<cSceneObjectIterator> it(GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
    {
        ISceneObject* object = it->Current().Get();
        if (!object->HasStateFlag1())
            continue;
        float objectBox[6];
        object->GetBoundingBox(objectBox);
        UnionBoundingBox3f(box, objectBox);
    }
}

void I3DScene::GetObjectBoundingBox(ISceneObject* object, float box[6])
{
    if (object == nullptr)
        GetBoundingBox(box);
    else
        object->GetBoundingBox(box);
}

void I3DScene::ShowOnly(ISceneObject* object)
{
    std::unique_ptr<cSceneObjectIterator> it(GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
    {
        ISceneObject* current = it->Current().Get();
        current->SetStateFlag1To(current == object);
    }
}

bool I3DScene::PickObject(float x, float y, const stScreenProjection& view, ISceneObject** object,
                          stHitRecord* hit)
{
    ISceneObject* bestObject = nullptr;
    stHitRecord best;
    std::unique_ptr<cSceneObjectIterator> it(GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
    {
        ISceneObject* current = it->Current().Get();
        if (!current->HasStateFlag1())
            continue;
        stHitRecord candidate = current->PickSurfacePoint(x, y, view);
        if (!IsValidPoint(candidate.point))
            continue;
        if (bestObject == nullptr || candidate.point.z > best.point.z)
        {
            bestObject = current;
            best = candidate;
        }
    }
    if (bestObject == nullptr)
        return false;
    if (object)
        *object = bestObject;
    if (hit)
        *hit = best;
    return true;
}

bool I3DScene::AveragePointInWindow(const stScreenProjection& view, float halfWidth, float halfHeight,
                                    t3DPoint<float>* point)
{
    double sum[3] = {0, 0, 0};
    int count = 0;
    std::unique_ptr<cSceneObjectIterator> it(GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
    {
        ISceneObject* current = it->Current().Get();
        if (!current->HasStateFlag1())
            continue;
        t3DPoint<float> p = current->AveragePointInWindow(view, halfWidth, halfHeight);
        if (!IsValidPoint(p))
            continue;
        sum[0] += p.x;
        sum[1] += p.y;
        sum[2] += p.z;
        ++count;
    }
    if (count == 0)
        return false;
    if (point)
        *point = t3DPoint<float>(static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
                                 static_cast<float>(sum[2] / count));
    return true;
}

// ---------------------------------------------------------------------------
// Colour table
// ---------------------------------------------------------------------------

std::uint32_t ColourToRegistryValue(const float rgba[4])
{
    auto channel = [](float c, double scale, std::uint32_t mask) {
        const double scaled = c * scale;
        // Colours restored from a stream can hold anything; a value that no
        // integer holds (NaN, infinity, huge) gives an empty channel instead
        // of an undefined conversion.
        if (!(std::fabs(scaled) < 9.0e18))
            return 0u;
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled)) & mask;
    };
    return channel(rgba[2], 256.0 * 256.0 * 255.0, 0xFF0000) | channel(rgba[1], 256.0 * 255.0, 0xFF00) |
           channel(rgba[0], 255.0, 0xFF);
}

void RegistryValueToColour(std::uint32_t value, float rgba[4])
{
    rgba[0] = static_cast<float>(value & 0xFF) / 255.0f;
    rgba[1] = static_cast<float>((value >> 8) & 0xFF) / 255.0f;
    rgba[2] = static_cast<float>((value >> 16) & 0xFF) / 255.0f;
}

stColourEntry* cDisplayColourSettings::Find(std::uint32_t id)
{
    for (stColourEntry& entry : m_entries)
        if (entry.id == id)
            return &entry;
    return nullptr;
}

void cDisplayColourSettings::Load()
{
    for (stColourEntry& entry : m_entries)
    {
        int value = static_cast<int>(entry.currentValue);
        if (m_store != nullptr && m_store->ReadInt(kSection, entry.key.c_str(), &value))
            entry.currentValue = static_cast<std::uint32_t>(value);
        else
            entry.currentValue = entry.defaultValue;
    }
}

// ---------------------------------------------------------------------------
// cBase3DScene
// ---------------------------------------------------------------------------

cBase3DScene::cBase3DScene(cRegistryStore* store) : m_owner(store), m_colours(store)
{
    m_relays[0].Bind(this, &cBase3DScene::RelayAdded);
    m_relays[1].Bind(this, &cBase3DScene::RelayRemoved);
    m_relays[2].Bind(this, &cBase3DScene::RelayCleared);
    m_relays[3].Bind(this, &cBase3DScene::RelayAttributesChanged);
    m_relays[4].Bind(this, &cBase3DScene::RelayGeometryChanged);
    for (int i = 0; i < 5; ++i)
        m_container.GetEvent(static_cast<cSceneObjectContainer::EventIndex>(i)).Subscribe(&m_relays[i]);
}

cBase3DScene::~cBase3DScene()
{
    for (int i = 0; i < 5; ++i)
        m_container.GetEvent(static_cast<cSceneObjectContainer::EventIndex>(i)).Unsubscribe(&m_relays[i]);
}

void cBase3DScene::Relay(EventIndex index, ISceneObject* object)
{
    if (m_eventsEnabled != 0)
        GetEvent(index).Fire(this, object);
}

void cBase3DScene::RelayAttributesChanged(cSceneObjectContainer*, ISceneObject* object)
{
    Relay(kObjectAttributesChanged, object);
}
void cBase3DScene::RelayGeometryChanged(cSceneObjectContainer*, ISceneObject* object)
{
    Relay(kObjectGeometryChanged, object);
}
void cBase3DScene::RelayAdded(cSceneObjectContainer*, ISceneObject* object) { Relay(kObjectAdded, object); }
void cBase3DScene::RelayRemoved(cSceneObjectContainer*, ISceneObject* object) { Relay(kObjectRemoved, object); }
void cBase3DScene::RelayCleared(cSceneObjectContainer*, ISceneObject* object) { Relay(kCleared, object); }

void cBase3DScene::GetBoundingBox(float box[6]) { m_container.GetBoundingBox(box); }

void cBase3DScene::TransformObjects(const double* transform)
{
    // Snapshot: an observer of the geometry event may change the list.
    std::vector<ISceneObject*> objects(m_container.GetObjects().begin(), m_container.GetObjects().end());
    for (ISceneObject* object : objects)
        if (m_container.Contains(object))
            object->ApplyTransform(transform);
}

bool cBase3DScene::AddObject(ISceneObject* object)
{
    if (object == nullptr)
        return false;
    OnObjectAdding(object);
    m_container.Add(object);
    return true;
}

bool cBase3DScene::RemoveObject(ISceneObject* object)
{
    if (object == nullptr)
        return false;
    return m_container.Remove(object);
}

bool cBase3DScene::DetachObject(ISceneObject* object)
{
    if (object == nullptr)
        return false;
    return m_container.Detach(object);
}

bool cBase3DScene::IsWireframeShown() { return (m_decorator.m_mode & 12) == 12; }
bool cBase3DScene::IsTwoSided() { return (m_decorator.m_flags & kDecoratorTwoSided) != 0; }
bool cBase3DScene::IsBoundariesShown() { return (m_decorator.m_flags & kDecoratorBoundaries) != 0; }

namespace
{

void SetBit(std::uint32_t& word, std::uint32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

} // namespace

void cBase3DScene::SetDisplayMode(std::uint32_t mode)
{
    for (ISceneObject* object : m_container.GetObjects())
        object->GetDecorator().m_mode = mode;
    m_decorator.m_mode = mode;
}

void cBase3DScene::ShowWireframe(bool on)
{
    for (ISceneObject* object : m_container.GetObjects())
        SetBit(object->GetDecorator().m_mode, kDisplayWireframe, on);
    SetBit(m_decorator.m_mode, kDisplayWireframe, on);
}

void cBase3DScene::ShowBoundaries(bool on)
{
    for (ISceneObject* object : m_container.GetObjects())
        SetBit(object->GetDecorator().m_flags, kDecoratorBoundaries, on);
    SetBit(m_decorator.m_flags, kDecoratorBoundaries, on);
}

void cBase3DScene::SetTwoSided(bool on)
{
    for (ISceneObject* object : m_container.GetObjects())
        SetBit(object->GetDecorator().m_flags, kDecoratorTwoSided, on);
    SetBit(m_decorator.m_flags, kDecoratorTwoSided, on);
}

std::uint32_t cBase3DScene::MoveObjectsFrom(cSceneObjectContainer& other)
{
    if (&other == &m_container)
        return 0;
    for (ISceneObject* object : other.GetObjects())
        OnObjectAdding(object);
    return other.MoveAllTo(m_container);
}

ISceneObject* cBase3DScene::GetFirstObject()
{
    const std::list<ISceneObject*>& objects = m_container.GetObjects();
    return objects.empty() ? nullptr : objects.front();
}
