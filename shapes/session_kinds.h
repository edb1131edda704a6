// The eight kinds of session, the table the history makes them from by class
// id, and the kinds whose shapes are built: plane, cylinder, sphere,
// symmetry plane, curve network, revolved and extruded. The free-form
// kind is made by whoever builds its shape, which installs its maker
// with SetSessionFactory; until then their ids are known but make nothing.
// A kind derives from tSessionSurface over its scene object and its
// parameter record; one whose scene-object record depends on the history's
// version overrides ReadObjectRecord, which receives the minor version
// RecordMinorVersion chose for its kind code.
#pragma once

#include "shapes/extracted_extruded_surface.h"
#include "shapes/extracted_network_surface.h"
#include "shapes/extracted_primitives.h"
#include "shapes/extracted_revolved_surface.h"
#include "shapes/extracted_symmetry_plane.h"
#include "shapes/extruded_surface.h"
#include "shapes/network_surface.h"
#include "shapes/primitive_scene_objects.h"
#include "shapes/revolved_surface.h"
#include "shapes/session_surface.h"

#include <cstddef>

inline constexpr GUID CLSID_CSessionPlane = {0xBEF37E0E, 0x70F8, 0x471C, {0xA3, 0xE1, 0x22, 0x17, 0x79, 0x29, 0xDE, 0xEB}};
inline constexpr GUID CLSID_CSessionCylinder = {0xE9B600DE, 0xD78C, 0x47F8, {0x9E, 0xC6, 0x99, 0x9D, 0xB0, 0x13, 0xE5, 0x6C}};
inline constexpr GUID CLSID_CSessionSphere = {0x3E90B1C1, 0x0EB6, 0x43CB, {0x9A, 0xB8, 0x74, 0xF6, 0xF1, 0x02, 0x5E, 0x76}};
inline constexpr GUID CLSID_CSessionRevolved = {0x21CBB60E, 0x18BF, 0x4E2E, {0xBC, 0x9D, 0x45, 0xC9, 0xFD, 0x0B, 0xD9, 0x1D}};
inline constexpr GUID CLSID_CSessionExtruded = {0x3DC03442, 0x5651, 0x4B25, {0xBE, 0xA1, 0x12, 0xF1, 0xDD, 0xFE, 0x8C, 0xA2}};
inline constexpr GUID CLSID_CSessionFreeForm = {0x379C3343, 0x5C18, 0x4EB9, {0x8E, 0x51, 0x6D, 0xB9, 0x11, 0xB4, 0xDA, 0x0E}};
inline constexpr GUID CLSID_CSessionCurveNetwork = {0x549E77D6, 0xDEE0, 0x49AD, {0xA7, 0x50, 0x79, 0x17, 0x66, 0x50, 0x1A, 0x22}};
inline constexpr GUID CLSID_CSessionSymmetryPlane = {0x49F99501, 0x53CC, 0x4808, {0x84, 0x6C, 0x25, 0xA3, 0x38, 0x28, 0x7A, 0x43}};

// Makes a session of one kind for its owner (not yet initialised).
using SessionFactory = CSessionSurface* (*)(CObjectSurfaces* owner);

struct stSessionKind
{
    GUID classId;
    const wchar_t* kindName;
    std::uint8_t kindCode;
    SessionFactory make; // null while the kind's shape is not built
};

// The kind of a class id in the order the factory compares them (plane,
// symmetry plane, sphere, cylinder, free form, revolved, extruded, curves),
// or null.
const stSessionKind* FindSessionKind(const GUID& classId);
const stSessionKind* SessionKinds(std::size_t& count);
// Installs the maker of a kind; returns the one it replaces. False-y (null)
// for an id that names no kind, which then changes nothing.
SessionFactory SetSessionFactory(const GUID& classId, SessionFactory make);

// A session over the scene object and the parameter record it embeds; the
// record is attached to the object's shape from the start.
template <class TObject, class TRecord> class tSessionSurface : public CSessionSurface
{
public:
    explicit tSessionSurface(CObjectSurfaces* owner) : CSessionSurface(owner)
    {
        m_extracted.AttachGeometry(m_object.GetGeometry());
        m_sceneObject = &m_object;
        m_record = &m_extracted;
    }
    ~tSessionSurface() override
    {
        // The region goes before the object it was fitted for; the record,
        // declared after the object, goes before it too.
        ClearRegion();
        m_record = nullptr;
        m_sceneObject = nullptr;
    }

    TObject& GetObject() { return m_object; }
    const TObject& GetObject() const { return m_object; }
    TRecord& GetExtracted() { return m_extracted; }
    const TRecord& GetExtracted() const { return m_extracted; }

protected:
    TObject m_object;
    TRecord m_extracted;
};

class CSessionPlane : public tSessionSurface<Dezaz_PlaneObject, ST_CExtractedPlane>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Plane"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionPlane; }
    std::uint8_t GetKindCode() const override { return kSessionKindPlane; }
};

class CSessionCylinder : public tSessionSurface<Dezaz_CylinderObject, ST_CExtractedCylinder>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Cylinder"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionCylinder; }
    std::uint8_t GetKindCode() const override { return kSessionKindCylinder; }
};

class CSessionSphere : public tSessionSurface<Dezaz_SphereObject, ST_CExtractedSphere>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Sphere"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionSphere; }
    std::uint8_t GetKindCode() const override { return kSessionKindSphere; }
};

class CSessionSymmetryPlane : public tSessionSurface<Dezaz_SymmetryPlaneObject, ST_CExtractedSymmetryPlane>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Symmetry Plane"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionSymmetryPlane; }
    std::uint8_t GetKindCode() const override { return kSessionKindSymmetryPlane; }
};

// A surface of revolution; the session's parameter is the geometry's.
class CSessionRevolved : public tSessionSurface<Dezaz_RevolvedObject, ST_CExtractedRevSurface>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Revolved"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionRevolved; }
    std::uint8_t GetKindCode() const override { return kSessionKindRevolved; }
    void SetParameter(double value) override;

protected:
    bool ReadObjectRecord(IBinStream& stream, std::uint32_t minor) override;
};

// An extrusion; the session's parameter is the geometry's merge tolerance.
class CSessionExtruded : public tSessionSurface<Dezaz_ExtrudedObject, ST_CExtractedExtSurface>
{
public:
    using tSessionSurface::tSessionSurface;
    void GetKindName(ON_wString& name) const override { name = L"Extruded"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionExtruded; }
    std::uint8_t GetKindCode() const override { return kSessionKindExtruded; }
    void SetParameter(double value) override;

protected:
    bool ReadObjectRecord(IBinStream& stream, std::uint32_t minor) override;
};

// The network of curves the user draws on the mesh. It starts with an empty
// sketch as its profile and is tied to no region of the mesh.
class CSessionCurveNetwork : public tSessionSurface<Dezaz_NetworkSurfaceObject, ST_CExtractedNetworkSurface>
{
public:
    explicit CSessionCurveNetwork(CObjectSurfaces* owner);
    void GetKindName(ON_wString& name) const override { name = L"Curves"; }
    void GetClassId(GUID& id) const override { id = CLSID_CSessionCurveNetwork; }
    std::uint8_t GetKindCode() const override { return kSessionKindCurves; }
    void TakeSelection(ISceneObject*) override {}

protected:
    bool ReadObjectRecord(IBinStream& stream, std::uint32_t minor) override;
};
