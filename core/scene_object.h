// Scene objects: everything a 3D view shows (the mesh under work and every
// fitted shape). ISceneObject is the interface the scenes, renderers and
// modes use; tSceneObject<T> implements all of it that does not depend on
// the kind of geometry T. Scene objects do not count references: the scene
// that holds one destroys it.
#pragma once

#include "core/attached_property.h"
#include "core/decorator_object.h"
#include "core/events.h"
#include "core/serializable.h"
#include "core/vector_math.h"
#include "platform/win32/types.h"

#include <cfloat>
#include <cstdint>
#include <cstring>
#include <cwchar>

// {145D3ADC-B937-4ACB-B040-0CA0B291833F}
inline constexpr GUID IID_ISceneObject = {0x145D3ADC, 0xB937, 0x4ACB, {0xB0, 0x40, 0x0C, 0xA0, 0xB2, 0x91, 0x83, 0x3F}};

inline constexpr GUID kNullGuid = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline bool IsNullGuid(const GUID& id) { return IsEqualInterfaceId(id, kNullGuid); }

// State word bits.
inline constexpr std::uint32_t kStateVisible = 1;
inline constexpr std::uint32_t kStateSelected = 2;
inline constexpr std::uint32_t kStateFlag4 = 4;
inline constexpr std::uint32_t kStateFlag8 = 8;

// The program-wide "no point": x at FLT_MAX. A point is valid when its x
// differs from FLT_MAX by at least FLT_EPSILON.
inline constexpr t3DPoint<float> kInvalidPoint{FLT_MAX, FLT_MAX, FLT_MAX};
inline bool IsValidPoint(const t3DPoint<float>& p) { return !(FLT_MAX - p.x < FLT_EPSILON); }

// Result of a pick. Flag bit 1 is set when nothing was hit.
inline constexpr std::uint32_t kHitNothing = 1;
struct stHitRecord
{
    t3DPoint<float> point = kInvalidPoint;
    std::uint32_t flags = kHitNothing;
    t3DPoint<float> normal{};
    std::uint32_t vertexIndex = 0;

    bool IsHit() const { return (flags & kHitNothing) == 0 && IsValidPoint(point); }
};

// How a view maps world points to its screen: q = transform . (p - origin),
// with q.x and q.y in screen pixels and q.z the depth, greater towards the
// viewer (row 2 of the rotation is the direction to the viewer).
struct stScreenProjection
{
    double transform[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    t3DPoint<float> origin{};
};

// The length of a scene object's name buffer; names hold at most one less.
inline constexpr int kSceneObjectNameLength = 128;
// The common record every scene object writes first.
inline constexpr std::uint32_t kSceneObjectRecordSize = 504;

class ISceneObject : public ISerializable
{
public:
    using Event = tEvent<ISceneObject, cEventDummyLocker>;

    ~ISceneObject() override = default;

    // Fired after the geometry was transformed or rebuilt.
    Event& GetGeometryChangedEvent() { return m_geometryChanged; }
    // Fired after the name, group id or a state bit other than 8 changed.
    Event& GetAttributeChangedEvent() { return m_attributeChanged; }

    // The scene-object part answers no id by itself; every kind answers its
    // own.
    void* QueryInterface(const GUID& iid) override
    {
        (void)iid;
        return nullptr;
    }
    using IBase::QueryInterface;

    virtual bool HasGeometry() const = 0;
    virtual bool UpdateGeometry() = 0;
    virtual void SetName(const wchar_t* name) = 0;
    virtual const wchar_t* GetName() const = 0;
    virtual GUID GetClassGuid() const = 0;
    virtual GUID GetObjectId() const = 0;
    virtual GUID GetGroupGuid() const = 0;
    virtual void SetGroupGuid(const GUID& group) = 0;
    virtual std::uint32_t GetTag() const = 0;

    virtual void ClearState() = 0;
    virtual void Select() = 0;
    virtual void Deselect() = 0;
    virtual void ToggleSelected() = 0;
    virtual void SetSelected(bool selected) = 0;
    virtual void SelectAll() = 0;
    virtual void DeselectAll() = 0;
    virtual void SetStateFlag1() = 0;
    virtual void ClearStateFlag1() = 0;
    virtual void ToggleStateFlag1() = 0;
    virtual void SetStateFlag1To(bool on) = 0;
    virtual void SetStateFlag4() = 0;
    virtual void ClearStateFlag4() = 0;
    virtual void ToggleStateFlag4() = 0;
    virtual void SetStateFlag4To(bool on) = 0;
    virtual void SetStateFlag8() = 0;
    virtual void ClearStateFlag8() = 0;
    virtual void ToggleStateFlag8() = 0;
    virtual void SetStateFlag8To(bool on) = 0;
    virtual bool HasStateFlag8() const = 0;
    virtual bool IsSelected() const = 0;
    virtual bool HasStateFlag1() const = 0;
    virtual bool HasStateFlag4() const = 0;
    virtual bool HasStateFlags(std::uint32_t mask) const = 0;

    // 3x4 row-major transform (12 doubles).
    virtual void ApplyTransform(const double* transform) = 0;
    // Six floats: min x, y, z, max x, y, z.
    virtual void GetBoundingBox(float box[6]) = 0;
    virtual cDecoratorObject& GetDecorator() = 0;
    virtual const cDecoratorObject& GetDecoratorConst() const = 0;

    // Mean of the object's points inside the window of half size (halfWidth,
    // halfHeight) centred at the projection's screen origin; the invalid
    // point when there is none.
    virtual t3DPoint<float> AveragePointInWindow(const stScreenProjection& view, float halfWidth,
                                                 float halfHeight) = 0;
    virtual stHitRecord PickSurfacePoint(float x, float y, const stScreenProjection& view) = 0;
    // The nearest vertex within radius pixels of (x, y); vertices facing
    // away are skipped unless backFacing is set. False when none is there.
    virtual bool PickNearestVertex(float x, float y, const stScreenProjection& view, bool backFacing, float radius,
                                   stHitRecord* hit) = 0;

    // Attached properties: names are unique within an object.
    virtual IAttachedProperty* AttachProperty(IAttachedProperty* property, bool replace) = 0;
    virtual IAttachedProperty* FindAttachedProperty(std::wstring_view name) const = 0;
    virtual void DetachProperty(std::wstring_view name) = 0;
    bool HasAttachedProperty(std::wstring_view name) const { return FindAttachedProperty(name) != nullptr; }

private:
    Event m_geometryChanged;
    Event m_attributeChanged;
};

// {239792A7-FA5B-440B-8DD2-A31F4B5CF1D4}: a scene object that groups other
// objects of the same scene. A member's group id is the group object's id.
inline constexpr GUID IID_ISceneObjectGroup = {0x239792A7, 0xFA5B, 0x440B, {0x8D, 0xD2, 0xA3, 0x1F, 0x4B, 0x5C, 0xF1, 0xD4}};

class ISceneObjectGroup
{
public:
    virtual ~ISceneObjectGroup() = default;
    virtual std::size_t GetMemberCount() const = 0;
    virtual ISceneObject* GetMember(std::size_t index) const = 0;
    // Drops the member from the list and sets its group id back to the null
    // GUID; false when it is not a member.
    virtual bool RemoveMember(ISceneObject* member) = 0;
};

inline ISceneObjectGroup* AsSceneObjectGroup(ISceneObject* object)
{
    return object ? static_cast<ISceneObjectGroup*>(object->QueryInterface(IID_ISceneObjectGroup)) : nullptr;
}

// The fields of the common record as they are stored.
struct stSceneObjectRecord
{
    wchar_t name[kSceneObjectNameLength] = {};
    GUID objectId = kNullGuid;
    std::uint32_t state = 0;
    std::uint32_t tag = 0;
    GUID groupId = kNullGuid;
    float colours[5][4] = {}; // in decorator slot order
};

// One stream write of the 504-byte record; the stream's result.
bool WriteSceneObjectRecord(IBinStream* stream, const stSceneObjectRecord& record);
// One stream read of 504 bytes; false (record untouched) on a short read.
// The name is taken up to its first zero byte within its first 127 bytes.
bool ReadSceneObjectRecord(IBinStream* stream, stSceneObjectRecord& record);

// A new object id; false when none could be made.
bool CreateNewGuid(GUID* id);

template <class T> class tSceneObject : public ISceneObject
{
public:
    tSceneObject()
    {
        CreateNewGuid(&m_objectId);
        m_state |= kStateVisible;
        GetAttributeChangedEvent().Fire(this);
    }

    ~tSceneObject() override
    {
        delete m_geometry;
        m_geometry = nullptr;
        m_properties.Clear();
    }

    tSceneObject(const tSceneObject&) = delete;
    tSceneObject& operator=(const tSceneObject&) = delete;

    T* GetGeometry() const { return m_geometry; }

    bool Write(IBinStream* stream, IProcProgress* progress = nullptr) override
    {
        (void)progress;
        stSceneObjectRecord record;
        std::memcpy(record.name, m_name, sizeof m_name);
        record.objectId = m_objectId;
        record.state = m_state;
        record.tag = m_tag;
        record.groupId = m_groupId;
        std::memcpy(record.colours, m_decorator.m_colours, sizeof record.colours);
        return WriteSceneObjectRecord(stream, record);
    }

    bool Read(IBinStream* stream, IProcProgress* progress = nullptr) override
    {
        (void)progress;
        stSceneObjectRecord record;
        if (!ReadSceneObjectRecord(stream, record))
            return false;
        ApplySceneObjectRecord(record);
        return true;
    }

protected:
    // Takes over the fields of a common record that was read whole.
    void ApplySceneObjectRecord(const stSceneObjectRecord& record)
    {
        SetName(record.name);
        m_objectId = record.objectId;
        m_state = record.state;
        m_tag = record.tag;
        m_groupId = record.groupId;
        std::memcpy(m_decorator.m_colours, record.colours, sizeof record.colours);
        m_decorator.m_refresh |= kDecoratorColoursRestored;
    }

public:
    bool HasGeometry() const override { return m_geometry != nullptr; }

    void SetName(const wchar_t* name) override
    {
        std::wmemset(m_name, L'\0', kSceneObjectNameLength);
        if (name != nullptr)
            for (int i = 0; i < kSceneObjectNameLength - 1 && name[i] != L'\0'; ++i)
                m_name[i] = name[i];
        GetAttributeChangedEvent().Fire(this);
    }
    const wchar_t* GetName() const override { return m_name; }
    GUID GetObjectId() const override { return m_objectId; }
    GUID GetGroupGuid() const override { return m_groupId; }
    void SetGroupGuid(const GUID& group) override
    {
        m_groupId = group;
        GetAttributeChangedEvent().Fire(this);
    }
    std::uint32_t GetTag() const override { return m_tag; }
    std::uint32_t GetState() const { return m_state; }

    void ClearState() override { m_state = 0; }
    void Select() override { SetBits(kStateSelected, true); }
    void Deselect() override { SetBits(kStateSelected, false); }
    void ToggleSelected() override { IsSelected() ? Deselect() : Select(); }
    void SetSelected(bool selected) override { selected ? SelectAll() : DeselectAll(); }
    void SelectAll() override { Select(); }
    void DeselectAll() override { Deselect(); }
    void SetStateFlag1() override { SetBits(kStateVisible, true); }
    void ClearStateFlag1() override { SetBits(kStateVisible, false); }
    void ToggleStateFlag1() override { HasStateFlag1() ? ClearStateFlag1() : SetStateFlag1(); }
    void SetStateFlag1To(bool on) override { on ? SetStateFlag1() : ClearStateFlag1(); }
    void SetStateFlag4() override { SetBits(kStateFlag4, true); }
    void ClearStateFlag4() override { SetBits(kStateFlag4, false); }
    void ToggleStateFlag4() override { HasStateFlag4() ? ClearStateFlag4() : SetStateFlag4(); }
    void SetStateFlag4To(bool on) override { on ? SetStateFlag4() : ClearStateFlag4(); }
    // Bit 8 changes silently: modes flip it while drawing.
    void SetStateFlag8() override { m_state |= kStateFlag8; }
    void ClearStateFlag8() override { m_state &= ~kStateFlag8; }
    void ToggleStateFlag8() override { HasStateFlag8() ? ClearStateFlag8() : SetStateFlag8(); }
    void SetStateFlag8To(bool on) override { on ? SetStateFlag8() : ClearStateFlag8(); }
    bool HasStateFlag8() const override { return (m_state & kStateFlag8) == kStateFlag8; }
    bool IsSelected() const override { return (m_state & kStateSelected) == kStateSelected; }
    bool HasStateFlag1() const override { return (m_state & kStateVisible) != 0; }
    bool HasStateFlag4() const override { return (m_state & kStateFlag4) == kStateFlag4; }
    bool HasStateFlags(std::uint32_t mask) const override { return (m_state & mask) == mask; }

    void ApplyTransform(const double* transform) override
    {
        if (m_geometry != nullptr)
        {
            TransformGeometry(transform);
            GetGeometryChangedEvent().Fire(this);
        }
        m_properties.NotifyOwnerTransformed(transform);
    }

    cDecoratorObject& GetDecorator() override { return m_decorator; }
    const cDecoratorObject& GetDecoratorConst() const override { return m_decorator; }

    t3DPoint<float> AveragePointInWindow(const stScreenProjection&, float, float) override { return kInvalidPoint; }
    stHitRecord PickSurfacePoint(float, float, const stScreenProjection&) override { return stHitRecord{}; }
    bool PickNearestVertex(float, float, const stScreenProjection&, bool, float, stHitRecord*) override
    {
        return false;
    }

    IAttachedProperty* AttachProperty(IAttachedProperty* property, bool replace) override
    {
        return m_properties.Attach(property, replace);
    }
    IAttachedProperty* FindAttachedProperty(std::wstring_view name) const override { return m_properties.Find(name); }
    void DetachProperty(std::wstring_view name) override { m_properties.Detach(name); }

protected:
    // Hands the transform to the geometry's own transform operation. Kinds
    // whose geometry transforms differently override it.
    virtual void TransformGeometry(const double* transform)
    {
        if constexpr (requires(T& g) { g.Transform(transform); })
            m_geometry->Transform(transform);
    }

    void SetBits(std::uint32_t bits, bool on)
    {
        m_state = on ? (m_state | bits) : (m_state & ~bits);
        GetAttributeChangedEvent().Fire(this);
    }

    wchar_t m_name[kSceneObjectNameLength] = {};
    GUID m_objectId = kNullGuid;
    T* m_geometry = nullptr;
    std::uint32_t m_state = 0;
    std::uint32_t m_tag = 0xFFFFFFFFu;
    GUID m_groupId = kNullGuid;
    cDecoratorObject m_decorator;
    cAttachedPropertyList m_properties;
};
