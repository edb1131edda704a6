// The scene objects of the three primitives and of the symmetry plane: what
// the shapes dialog's scene shows and what a session stores in the
// document. Each owns its host-bound shape and is that shape's outer
// object, so a query on the shape also reaches the scene object's ids.
//
// Stream records are raw little-endian blocks (no length, tag or version):
//   header   f64 RMS, i32 mode word, i32 N (region seeds)
//   plane    header, n, o, x axis (3 x f64 each), f64 w, f64 h: 104 bytes
//   cylinder header, b, a (3 x f64 each), f64 r, f64 hgt: 80 bytes
//   sphere   header, c (3 x f64), f64 r: 48 bytes
// then N u32 triangle indices, one stream call each.
#pragma once

#include "core/scene_object.h"
#include "shapes/host_primitives.h"

#include <cstdint>

inline constexpr GUID CLSID_Dezaz_PlaneObject = {0x6A199D95, 0x888F, 0x470D, {0xAD, 0x09, 0xDE, 0x3D, 0x3F, 0xAC, 0x30, 0x8E}};
inline constexpr GUID CLSID_Dezaz_CylinderObject = {0x53CBA956, 0x7036, 0x4F30, {0xB8, 0xEF, 0x0C, 0x28, 0x4F, 0xBF, 0xA8, 0xD1}};
inline constexpr GUID CLSID_Dezaz_SphereObject = {0xB91A7EAC, 0x624C, 0x409A, {0xBA, 0x9A, 0x0E, 0x91, 0x9E, 0xC0, 0x5C, 0x00}};
inline constexpr GUID CLSID_Dezaz_SymmetryPlaneObject = {0xA4CAF4E1, 0x3C8E, 0x488E, {0x82, 0x2D, 0x3A, 0xC4, 0x8B, 0x24, 0x1F, 0x8E}};

inline constexpr std::uint32_t kPlaneRecordSize = 104;
inline constexpr std::uint32_t kCylinderRecordSize = 80;
inline constexpr std::uint32_t kSphereRecordSize = 48;

// What the three kinds share: the geometry's creation and outer link, the
// display colours, the float box and the record's header and seeds.
template <class T> class tPrimitiveSceneObject : public tSceneObject<T>
{
public:
    tPrimitiveSceneObject();

    void* QueryInterface(const GUID& iid) override;
    using IBase::QueryInterface;

    bool SaveProperties(IKeyValueStore* store) override;
    bool LoadProperties(IKeyValueStore* store, IProcProgress* progress = nullptr) override;
    bool Write(IBinStream* stream, IProcProgress* progress = nullptr) override;
    bool Read(IBinStream* stream, IProcProgress* progress = nullptr) override;
    // The geometry's box, kept in the float box member.
    void GetBoundingBox(float box[6]) override;
    // A hit record that reports no hit.
    stHitRecord PickSurfacePoint(float x, float y, const stScreenProjection& view) override;
    bool UpdateGeometry() override { return this->HasGeometry(); }

    const float* GetFloatBox() const { return m_box; }

protected:
    // The kind's values after the header, to and from the record block.
    virtual std::uint32_t KindRecordSize() const = 0;
    virtual void StoreKindValues(unsigned char* block) const = 0;
    // Applies values read from a record to the geometry.
    virtual void ApplyKindValues(const unsigned char* block) = 0;

private:
    float m_box[6] = {FLT_MAX, FLT_MAX, FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX};
};

class Dezaz_PlaneObject : public tPrimitiveSceneObject<Dezaz_Plane>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_PlaneObject; }

protected:
    std::uint32_t KindRecordSize() const override { return kPlaneRecordSize; }
    void StoreKindValues(unsigned char* block) const override;
    void ApplyKindValues(const unsigned char* block) override;
};

class Dezaz_CylinderObject : public tPrimitiveSceneObject<Dezaz_Cylinder>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_CylinderObject; }

protected:
    std::uint32_t KindRecordSize() const override { return kCylinderRecordSize; }
    void StoreKindValues(unsigned char* block) const override;
    void ApplyKindValues(const unsigned char* block) override;
};

class Dezaz_SphereObject : public tPrimitiveSceneObject<Dezaz_Sphere>
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_SphereObject; }

protected:
    std::uint32_t KindRecordSize() const override { return kSphereRecordSize; }
    void StoreKindValues(unsigned char* block) const override;
    void ApplyKindValues(const unsigned char* block) override;
};

// A plane object under its own class id; it stores the plane record.
class Dezaz_SymmetryPlaneObject : public Dezaz_PlaneObject
{
public:
    GUID GetClassGuid() const override { return CLSID_Dezaz_SymmetryPlaneObject; }
    void* QueryInterface(const GUID& iid) override;
    using IBase::QueryInterface;
};
