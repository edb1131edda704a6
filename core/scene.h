// Scenes: what one 3D view shows. I3DScene is the interface renderers, views
// and modes use; cBase3DScene implements it over a cSceneObjectContainer and
// relays the container's events as the scene's own (in the scene's order).
#pragma once

#include "core/decorator_object.h"
#include "core/events.h"
#include "core/scene_object.h"
#include "core/scene_object_container.h"

#include <cstdint>
#include <string>
#include <vector>

class cRegistryStore;

class I3DScene
{
public:
    using Event = tEventEx<I3DScene, ISceneObject*, cEventDummyLocker>;
    enum EventIndex
    {
        kObjectAdded = 0,
        kObjectRemoved = 1,
        kObjectAttributesChanged = 2,
        kObjectGeometryChanged = 3,
        kCleared = 4,
    };

    virtual ~I3DScene() = default;

    // Fired with the scene and the object (null for kCleared).
    Event& GetEvent(EventIndex index) { return m_events[index]; }

    // Destroys every object.
    virtual void Clear() = 0;
    // Union of the valid boxes of the visible objects; the empty box when
    // there is none.
    virtual void GetBoundingBox(float box[6]);
    // The object's box, or the scene's for null.
    virtual void GetObjectBoundingBox(ISceneObject* object, float box[6]);
    virtual void TransformObjects(const double* transform) = 0;
    virtual void InitDisplayProperties() = 0;
    // Called before an object joins the scene.
    virtual void OnObjectAdding(ISceneObject* object) = 0;
    virtual void ApplyDisplayProperties() = 0;
    // A new iterator over the objects; the caller deletes it.
    virtual cSceneObjectIterator* GetObjectIterator() = 0;
    virtual ISceneObject* GetActiveObject() = 0;
    virtual ISceneObject* FindObjectById(const GUID& id) = 0;
    // The scene takes ownership when the result is true; on false the
    // caller still owns the object.
    virtual bool AddObject(ISceneObject* object) = 0;
    // Takes the object out and destroys it.
    virtual bool RemoveObject(ISceneObject* object) = 0;
    // Takes the object out and hands it back to the caller.
    virtual bool DetachObject(ISceneObject* object) = 0;
    // Makes the object the only visible one.
    virtual void ShowOnly(ISceneObject* object);
    virtual std::uint32_t GetObjectCount() = 0;
    // The visible object whose surface point under (x, y) has the greatest
    // third coordinate (the first in list order on ties). False and the
    // outputs untouched when nothing was hit.
    virtual bool PickObject(float x, float y, const stScreenProjection& view, ISceneObject** object,
                            stHitRecord* hit);
    // Mean of the visible objects' valid window averages.
    virtual bool AveragePointInWindow(const stScreenProjection& view, float halfWidth, float halfHeight,
                                      t3DPoint<float>* point);

private:
    Event m_events[5];
};

// One named display colour of a scene, kept in the registry as "%d" of a
// 0x00BBGGRR word.
struct stColourEntry
{
    std::uint32_t id = 0;
    std::uint32_t defaultValue = 0;
    std::uint32_t currentValue = 0;
    std::wstring label;
    std::wstring key;
};

// The colour table of a scene.
class cDisplayColourSettings
{
public:
    static constexpr const wchar_t* kSection = L"Preferences\\Display\\Colours";

    explicit cDisplayColourSettings(cRegistryStore* store = nullptr) : m_store(store) {}

    // Every entry takes its registry value, or its default when the value is
    // missing or not text.
    void Load();

    cRegistryStore* GetStore() const { return m_store; }
    void SetStore(cRegistryStore* store) { m_store = store; }
    std::vector<stColourEntry>& Entries() { return m_entries; }
    const std::vector<stColourEntry>& Entries() const { return m_entries; }
    // The first entry of that id, or null.
    stColourEntry* Find(std::uint32_t id);

private:
    cRegistryStore* m_store;
    std::vector<stColourEntry> m_entries;
};

// Float RGB channels (0..1) to a 0x00BBGGRR word and back; the back
// conversion leaves alpha alone.
std::uint32_t ColourToRegistryValue(const float rgba[4]);
void RegistryValueToColour(std::uint32_t value, float rgba[4]);

class cBase3DScene : public I3DScene
{
public:
    // store: the settings store that the colour table reads (may be null).
    explicit cBase3DScene(cRegistryStore* store);
    ~cBase3DScene() override;

    cBase3DScene(const cBase3DScene&) = delete;
    cBase3DScene& operator=(const cBase3DScene&) = delete;

    void Clear() override { m_container.Clear(); }
    void GetBoundingBox(float box[6]) override;
    void TransformObjects(const double* transform) override;
    void InitDisplayProperties() override {}
    void OnObjectAdding(ISceneObject*) override {}
    void ApplyDisplayProperties() override {}
    cSceneObjectIterator* GetObjectIterator() override { return m_container.CreateIterator(); }
    ISceneObject* GetActiveObject() override { return nullptr; }
    ISceneObject* FindObjectById(const GUID& id) override { return m_container.FindById(id); }
    bool AddObject(ISceneObject* object) override;
    bool RemoveObject(ISceneObject* object) override;
    bool DetachObject(ISceneObject* object) override;
    std::uint32_t GetObjectCount() override { return m_container.GetCount(); }

    virtual bool IsWireframeShown();
    virtual bool IsTwoSided();
    virtual bool IsBoundariesShown();
    virtual void SetDisplayMode(std::uint32_t mode);
    virtual void ShowWireframe(bool on);
    virtual void ShowBoundaries(bool on);
    virtual void SetTwoSided(bool on);
    // Moves every object of other into this scene; the number moved.
    virtual std::uint32_t MoveObjectsFrom(cSceneObjectContainer& other);
    virtual void DetachAll() { m_container.DetachAll(); }
    virtual ISceneObject* GetFirstObject();

    // While disabled the scene swallows its container's events.
    void EnableEvents(bool on) { m_eventsEnabled = on ? 1 : 0; }
    bool AreEventsEnabled() const { return m_eventsEnabled != 0; }

    cRegistryStore* GetOwner() const { return m_owner; }
    cSceneObjectContainer& GetContainer() { return m_container; }
    cDecoratorObject& GetDecorator() { return m_decorator; }
    cDisplayColourSettings& GetColourSettings() { return m_colours; }

protected:
    // Relays of the container's events 3, 4, 0, 1 and 2.
    void RelayAttributesChanged(cSceneObjectContainer* container, ISceneObject* object);
    void RelayGeometryChanged(cSceneObjectContainer* container, ISceneObject* object);
    void RelayAdded(cSceneObjectContainer* container, ISceneObject* object);
    void RelayRemoved(cSceneObjectContainer* container, ISceneObject* object);
    void RelayCleared(cSceneObjectContainer* container, ISceneObject* object);

    cSceneObjectContainer m_container;
    cRegistryStore* m_owner;
    cDisplayColourSettings m_colours;
    cDecoratorObject m_decorator;
    std::uint8_t m_eventsEnabled = 1;

private:
    void Relay(EventIndex index, ISceneObject* object);

    using Delegate = tEventDelegateEx<cSceneObjectContainer, cBase3DScene, ISceneObject*>;
    Delegate m_relays[5];
};
