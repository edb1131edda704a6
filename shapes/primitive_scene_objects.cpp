#include "shapes/primitive_scene_objects.h"

#include "core/bin_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <vector>

namespace
{

constexpr std::uint32_t kHeaderSize = 16;
// How far from 1 the squared length of a cylinder's axis may be for the
// axis to count as unit: a few alignments' rounding (about 2.4e-7 each).
constexpr double kUnitAxisRounding = 1.0e-5;

// Little-endian field access into a record block.
void PutF64(unsigned char* at, double v)
{
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    for (int i = 0; i < 8; ++i)
        at[i] = static_cast<unsigned char>(bits >> (8 * i));
}

double GetF64(const unsigned char* at)
{
    std::uint64_t bits = 0;
    for (int i = 0; i < 8; ++i)
        bits |= static_cast<std::uint64_t>(at[i]) << (8 * i);
    double v;
    std::memcpy(&v, &bits, 8);
    return v;
}

void PutU32(unsigned char* at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(v >> (8 * i));
}

std::uint32_t GetU32(const unsigned char* at)
{
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    return v;
}

void PutVector(unsigned char* at, const double v[3])
{
    for (int i = 0; i < 3; ++i)
        PutF64(at + 8 * i, v[i]);
}

void GetVector(const unsigned char* at, double v[3])
{
    for (int i = 0; i < 3; ++i)
        v[i] = GetF64(at + 8 * i);
}

// Largest record block of the kinds.
constexpr std::uint32_t kMaxRecordSize = kPlaneRecordSize;

} // namespace

template <class T> tPrimitiveSceneObject<T>::tPrimitiveSceneObject()
{
    this->m_geometry = new T();
    // The shape's delegating query reaches this object.
    this->m_geometry->SetOuter(static_cast<IBase*>(this));
    cDecoratorObject& d = this->m_decorator;
    d.SetColour(kDecoratorFront, 184.0f / 255.0f, 142.0f / 255.0f, 1.0f / 255.0f, 1.0f);
    d.SetColour(kDecoratorSelection, 215.0f / 255.0f, 10.0f / 255.0f, 10.0f / 255.0f, 1.0f);
    d.SetColour(kDecoratorBoundary, 10.0f / 255.0f, 10.0f / 255.0f, 10.0f / 255.0f, 1.0f);
    d.m_mode = kDisplaySmooth;
}

// The kind's own class id. Not GetClassGuid: a symmetry plane, which hands
// its lookup down to the plane object's, also answers the plane object's id.
template <class T> constexpr GUID KindClassId()
{
    if constexpr (std::is_same_v<T, Dezaz_Plane>)
        return CLSID_Dezaz_PlaneObject;
    else if constexpr (std::is_same_v<T, Dezaz_Cylinder>)
        return CLSID_Dezaz_CylinderObject;
    else
        return CLSID_Dezaz_SphereObject;
}

template <class T> void* tPrimitiveSceneObject<T>::QueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, KindClassId<T>()) || IsEqualInterfaceId(iid, IID_ISceneObject))
        return static_cast<ISceneObject*>(this);
    if (IsEqualInterfaceId(iid, IID_IBase))
        return static_cast<IBase*>(this);
    // The shape's own answer: its delegating query would come back here.
    return this->m_geometry != nullptr ? this->m_geometry->NonDelegatingQueryInterface(iid) : nullptr;
}

template <class T> bool tPrimitiveSceneObject<T>::SaveProperties(IKeyValueStore*)
{
    this->HasGeometry();
    return false;
}

template <class T> bool tPrimitiveSceneObject<T>::LoadProperties(IKeyValueStore*, IProcProgress*)
{
    this->HasGeometry();
    return false;
}

template <class T> void tPrimitiveSceneObject<T>::GetBoundingBox(float box[6])
{
    if (this->m_geometry != nullptr)
        static_cast<ST_IGeometry*>(this->m_geometry)->GetBoundingBox(m_box);
    std::memcpy(box, m_box, sizeof m_box);
}

template <class T> stHitRecord tPrimitiveSceneObject<T>::PickSurfacePoint(float, float, const stScreenProjection&)
{
    return stHitRecord{};
}

template <class T> bool tPrimitiveSceneObject<T>::Write(IBinStream* stream, IProcProgress*)
{
    if (stream == nullptr || this->m_geometry == nullptr)
        return false;
    const T& g = *this->m_geometry;
    const std::vector<std::uint32_t>& seeds = g.GetSeeds();
    unsigned char block[kMaxRecordSize] = {};
    PutF64(block, g.GetRms());
    PutU32(block + 8, static_cast<std::uint32_t>(g.GetMode()));
    PutU32(block + 12, static_cast<std::uint32_t>(seeds.size()));
    StoreKindValues(block);
    if (!stream->Write(block, KindRecordSize()))
        return false;
    for (std::uint32_t seed : seeds)
    {
        unsigned char bytes[4];
        PutU32(bytes, seed);
        if (!stream->Write(bytes, 4))
            return false;
    }
    return true;
}

template <class T> bool tPrimitiveSceneObject<T>::Read(IBinStream* stream, IProcProgress*)
{
    if (stream == nullptr || this->m_geometry == nullptr)
        return false;
    unsigned char block[kMaxRecordSize] = {};
    if (!stream->Read(block, KindRecordSize()))
        return false;
    const auto count = static_cast<std::int32_t>(GetU32(block + 12));
    // Seeds go into a list of their own, growing only with what the stream
    // delivers, so a damaged count cannot exhaust memory and a short read
    // leaves the geometry as it was.
    std::vector<std::uint32_t> seeds;
    for (std::int32_t i = 0; i < count; ++i)
    {
        unsigned char bytes[4];
        if (!stream->Read(bytes, 4))
            return false;
        seeds.push_back(GetU32(bytes));
    }
    T& g = *this->m_geometry;
    g.SetRms(GetF64(block));
    g.SetMode(static_cast<std::int32_t>(GetU32(block + 8)));
    g.GetSeeds() = std::move(seeds);
    g.ClearBreps();
    ApplyKindValues(block);
    return true;
}

template class tPrimitiveSceneObject<Dezaz_Plane>;
template class tPrimitiveSceneObject<Dezaz_Cylinder>;
template class tPrimitiveSceneObject<Dezaz_Sphere>;

void Dezaz_PlaneObject::StoreKindValues(unsigned char* block) const
{
    const cPlane& p = m_geometry->GetPlane();
    PutVector(block + kHeaderSize, p.normal);
    PutVector(block + 40, p.origin);
    PutVector(block + 64, p.xAxis);
    PutF64(block + 88, p.halfWidth);
    PutF64(block + 96, p.halfHeight);
}

void Dezaz_PlaneObject::ApplyKindValues(const unsigned char* block)
{
    // Values as read, valid or not: the validity tests (and the host forms,
    // which refuse an invalid plane) see what the file held.
    cPlane& p = m_geometry->GetPlane();
    GetVector(block + kHeaderSize, p.normal);
    GetVector(block + 40, p.origin);
    GetVector(block + 64, p.xAxis);
    p.halfWidth = GetF64(block + 88);
    p.halfHeight = GetF64(block + 96);
    p.d = -(p.normal[0] * p.origin[0] + p.normal[1] * p.origin[1] + p.normal[2] * p.origin[2]);
}

void Dezaz_CylinderObject::StoreKindValues(unsigned char* block) const
{
    const cCylinder& c = m_geometry->GetCylinder();
    PutVector(block + kHeaderSize, c.axisPoint);
    PutVector(block + 40, c.axis);
    PutF64(block + 64, c.radius);
    PutF64(block + 72, c.height);
}

void Dezaz_CylinderObject::ApplyKindValues(const unsigned char* block)
{
    cCylinder& c = m_geometry->GetCylinder();
    GetVector(block + kHeaderSize, c.axisPoint);
    double a[3];
    GetVector(block + 40, a);
    // Normalised exactly; a zero or non-finite axis is kept as read and
    // leaves the cylinder invalid rather than becoming NaN. An axis that is
    // of unit length up to the rounding of the rigid moves that placed it
    // (alignment frames are built from float directions, orthonormal to
    // about 1e-7 each) is kept bit for bit: dividing it by its length again
    // would move its last bits, and a record read back must give the shape
    // that was written, and the same bytes when it is written again.
    // The axis is scaled by its largest component first, so that one with
    // tiny or huge components does not lose its precision to underflow.
    const double squared = a[0] * a[0] + a[1] * a[1] + a[2] * a[2];
    const double largest = std::max({std::fabs(a[0]), std::fabs(a[1]), std::fabs(a[2])});
    if (std::fabs(squared - 1.0) <= kUnitAxisRounding)
        std::copy(a, a + 3, c.axis);
    else if (largest > 0.0 && std::isfinite(largest))
    {
        const double b[3] = {a[0] / largest, a[1] / largest, a[2] / largest};
        const double length = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
        for (int i = 0; i < 3; ++i)
            c.axis[i] = b[i] / length;
    }
    else
        std::copy(a, a + 3, c.axis);
    c.radius = GetF64(block + 64);
    c.height = GetF64(block + 72);
}

void Dezaz_SphereObject::StoreKindValues(unsigned char* block) const
{
    const cSphere& s = m_geometry->GetSphere();
    PutVector(block + kHeaderSize, s.centre);
    PutF64(block + 40, s.radius);
}

void Dezaz_SphereObject::ApplyKindValues(const unsigned char* block)
{
    cSphere& s = m_geometry->GetSphere();
    GetVector(block + kHeaderSize, s.centre);
    s.radius = GetF64(block + 40);
}

void* Dezaz_SymmetryPlaneObject::QueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, CLSID_Dezaz_SymmetryPlaneObject))
        return static_cast<ISceneObject*>(this);
    return Dezaz_PlaneObject::QueryInterface(iid);
}
