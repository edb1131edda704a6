// The scene object of a profiled shape (extrusion, revolution, loft, curve
// network). It owns its shape and is the shape's outer object, so a query
// on the shape reaches the scene object's own ids first; it draws in the
// shapes' colours; its record ends with the profile's record, or the nil
// class id when the shape has no profile, so a reader always stays in step.
// A kind adds its class id, what its record holds before the profile and
// the version it reads by default.
#pragma once

#include "core/scene_object.h"
#include "shapes/profiled_surface_base.h"
#include "shapes/shape_object_support.h"

#include <cstdint>

class cDecoratorObject;

// Front, selection and boundary colours and smooth display.
void SetShapeDecorator(cDecoratorObject& decorator);
// The profile's record, or the nil class id without a profile.
bool WriteProfileRecord(IBinStream& stream, const ST_TProfiledSurface<Dezaz_Wire>& surface);
// What WriteProfileRecord wrote: the nil class id drops the held profile.
// False for a short or damaged record (the held profile stays).
bool ReadOptionalProfileRecord(IBinStream& stream, ST_TProfiledSurface<Dezaz_Wire>& surface, std::uint32_t major,
                               std::uint32_t minor);

template <class T> class tProfiledSceneObject : public tSceneObject<T>
{
public:
    tProfiledSceneObject()
    {
        SetGeometry(new T());
        SetShapeDecorator(this->m_decorator);
    }

    void* QueryInterface(const GUID& iid) override
    {
        if (IsEqualInterfaceId(iid, this->GetClassGuid()) || IsEqualInterfaceId(iid, IID_ISceneObject))
            return static_cast<ISceneObject*>(this);
        if (IsEqualInterfaceId(iid, IID_IBase))
            return static_cast<IBase*>(this);
        return this->m_geometry != nullptr ? this->m_geometry->NonDelegatingQueryInterface(iid) : nullptr;
    }
    using IBase::QueryInterface;

    bool SaveProperties(IKeyValueStore*) override { return false; }
    bool LoadProperties(IKeyValueStore*, IProcProgress* = nullptr) override { return false; }

    // The kind's part, then the profile's record; false without a shape or
    // when the stream or the profile refuses.
    bool Write(IBinStream* stream, IProcProgress* = nullptr) override
    {
        return stream != nullptr && this->m_geometry != nullptr && WriteBeforeProfile(*stream) &&
               WriteProfileRecord(*stream, *this->m_geometry);
    }
    // With the kind's current version.
    bool Read(IBinStream* stream, IProcProgress* = nullptr) override { return Read(stream, 0, CurrentMinor()); }
    // With the version of the enclosing record. False for a short or damaged
    // record, so the enclosing reader does not go on from the wrong place.
    bool Read(IBinStream* stream, std::uint32_t major, std::uint32_t minor)
    {
        if (stream == nullptr || this->m_geometry == nullptr)
            return false;
        this->m_geometry->ClearBreps();
        if (!ReadBeforeProfile(*stream, minor) ||
            !ReadOptionalProfileRecord(*stream, *this->m_geometry, major, minor))
            return false;
        AfterRead();
        this->m_geometry->ClearBreps();
        return true;
    }

    void GetBoundingBox(float box[6]) override { HeldShapeBoundingBox(this->m_geometry, box); }
    bool UpdateGeometry() override { return this->HasGeometry(); }
    // Replaces the shape (the object takes it); the old one loses its outer
    // object before it is deleted.
    void SetGeometry(T* geometry) { ReplaceHeldShape(this->m_geometry, geometry, static_cast<IBase*>(this)); }

protected:
    virtual std::uint32_t CurrentMinor() const = 0;
    // What the kind's record holds before the profile.
    virtual bool WriteBeforeProfile(IBinStream&) { return true; }
    virtual bool ReadBeforeProfile(IBinStream&, std::uint32_t) { return true; }
    // Applies what ReadBeforeProfile kept once the whole record was read.
    virtual void AfterRead() {}
};
