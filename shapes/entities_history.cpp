#include "shapes/entities_history.h"

#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "shapes/extracted_record.h"
#include "shapes/session_kinds.h"
#include "shapes/shape_interfaces.h"
#include "shapes/sketch_curve.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <utility>

namespace
{

ST_IGeometry* GeometryOf(const CSessionSurface& session)
{
    ISceneObject* object = session.GetSceneObject();
    return object != nullptr ? static_cast<ST_IGeometry*>(object->QueryInterface(IID_ST_IGeometry)) : nullptr;
}

ST_IProfiledSurface* ProfiledSurfaceOf(const CSessionSurface& session)
{
    ISceneObject* object = session.GetSceneObject();
    if (object == nullptr ||
        (object->QueryInterface(IID_RevolvedSurface) == nullptr && object->QueryInterface(IID_ExtrudedSurface) == nullptr))
        return nullptr;
    return static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface));
}

bool IsDefined(double x)
{
    return std::fabs(static_cast<double>(static_cast<float>(x)) - static_cast<double>(FLT_MAX)) >= FLT_EPSILON;
}

} // namespace

// ---------------------------------------------------------------- sessions of one host object

CObjectSurfaces::CObjectSurfaces(const ON_UUID& hostId, CEntitiesHistory* owner) : m_hostId(hostId), m_owner(owner) {}

CObjectSurfaces::~CObjectSurfaces()
{
    Clear();
}

CSessionSurface* CObjectSurfaces::CreateSession(const GUID& classId, bool refresh)
{
    const stSessionKind* kind = FindSessionKind(classId);
    if (kind == nullptr || kind->make == nullptr)
        return nullptr;
    std::unique_ptr<CSessionSurface> session(kind->make(this));
    if (!session)
        return nullptr;
    session->Init();
    CSessionSurface* made = session.get();
    m_sessions.push_back(std::move(session));
    if (refresh && m_view != nullptr)
        m_view->RefreshSessionList();
    return made;
}

bool CObjectSurfaces::DeleteSession(CSessionSurface* session)
{
    const auto it = std::find_if(m_sessions.begin(), m_sessions.end(),
                                 [session](const std::unique_ptr<CSessionSurface>& s) { return s.get() == session; });
    if (session == nullptr || it == m_sessions.end())
        return false;
    m_sessions.erase(it);
    if (m_view != nullptr)
        m_view->RefreshSessionList();
    return true;
}

void CObjectSurfaces::Clear()
{
    // From the back: a session's destructor may still ask its owner.
    while (!m_sessions.empty())
        m_sessions.pop_back();
}

CSessionSurface* CObjectSurfaces::FindByName(const wchar_t* name) const
{
    for (const auto& session : m_sessions)
        if (session->GetName().EqualNoCase(name))
            return session.get();
    return nullptr;
}

bool CObjectSurfaces::IsNameUnique(const wchar_t* name, const CSessionSurface* except) const
{
    for (const auto& session : m_sessions)
        if (session.get() != except && session->GetName().EqualNoCase(name))
            return false;
    return true;
}

void CObjectSurfaces::MakeUniqueName(ON_wString& name)
{
    // Names are looked up as C strings, so a candidate must be one: with the
    // text after an embedded NUL (a damaged record) kept, every candidate
    // would look up as the same name and the search would never end.
    const ON_wString base(name.Array());
    for (;;)
    {
        ON_wString candidate = base;
        ON_wString suffix;
        suffix.Format(L"(%u)", m_nameCounter);
        candidate += suffix;
        ++m_nameCounter;
        if (FindByName(candidate) == nullptr)
        {
            name = candidate;
            return;
        }
    }
}

void CObjectSurfaces::TransformSessions(const double m[12], CSessionSurface* current)
{
    // Regions that share their points are moved once and go on sharing the
    // moved points. Each shared storage is named by the first session that
    // held it (the storage lives on with those that still do).
    std::vector<std::pair<const void*, const CSessionSurface*>> moved;
    for (const auto& session : m_sessions)
    {
        const cRegionPoints& region = std::as_const(*session).GetRegionPoints();
        const void* storage = region.Storage().get();
        const auto same = std::find_if(moved.begin(), moved.end(), [storage](const auto& m) { return m.first == storage; });
        if (same != moved.end())
            session->ShareRegionOf(*same->second);
        else
        {
            if (region.IsShared())
                moved.emplace_back(storage, session.get());
            session->TransformRegion(m);
        }
        // The record's fixed directions and points turn with the object, so
        // a refit keeps fitting in the object's own frame.
        if (session->GetRecord() != nullptr)
            session->GetRecord()->ApplyDirection(m);
        if (session.get() != current && session->GetSceneObject() != nullptr)
            session->GetSceneObject()->ApplyTransform(m);
    }
}

void CObjectSurfaces::TransformSessionsWithMesh(const double m[12], CSessionSurface* current, const cMesh& mesh,
                                                const std::function<void()>& moveMesh)
{
    // Each storage of region points once, with the sessions that share it.
    struct stFound
    {
        const void* storage = nullptr;
        std::vector<CSessionSurface*> sessions;
        std::vector<std::uint64_t> triangles;
        bool inTurn = false;
    };
    std::vector<stFound> found;
    for (const auto& session : m_sessions)
    {
        const void* storage = std::as_const(*session).GetRegionPoints().Storage().get();
        const auto same = std::find_if(found.begin(), found.end(), [storage](const stFound& f) { return f.storage == storage; });
        if (same != found.end())
        {
            same->sessions.push_back(session.get());
            continue;
        }
        stFound& f = found.emplace_back();
        f.storage = storage;
        f.sessions.push_back(session.get());
        f.inTurn = session->FindRegionTrianglesInTurn(mesh, f.triangles);
    }
    if (moveMesh)
        moveMesh();
    TransformSessions(m, current);
    for (const stFound& f : found)
    {
        if (!f.inTurn)
            continue;
        CSessionSurface* first = f.sessions.front();
        first->PutRegionOnTriangles(mesh, f.triangles);
        for (std::size_t i = 1; i < f.sessions.size(); ++i)
            f.sessions[i]->ShareRegionOf(*first);
    }
}

bool CObjectSurfaces::HasProfiles() const
{
    for (const auto& session : m_sessions)
    {
        ST_IProfiledSurface* surface = ProfiledSurfaceOf(*session);
        const ST_ISectionCurve* profile = surface != nullptr ? surface->GetProfileCurve() : nullptr;
        if (profile != nullptr && profile->GetSegmentCount() > 0 && profile->GetClassGuid() == CLSID_ST_TSketch)
            return true;
    }
    return false;
}

void CObjectSurfaces::ResetProfiles()
{
    for (const auto& session : m_sessions)
    {
        ST_IProfiledSurface* surface = ProfiledSurfaceOf(*session);
        const ST_ISectionCurve* old = surface != nullptr ? surface->GetProfileCurve() : nullptr;
        if (old == nullptr)
            continue;
        std::unique_ptr<ST_ISectionCurve> sketch = surface->CreateCurveByClassGuid(CLSID_ST_TSketch);
        if (!sketch)
            continue;
        sketch->RebuildWire(old->frame, old->sections, 0.0f, nullptr);
        surface->SetProfile(sketch.get(), 1);
    }
}

void CObjectSurfaces::CollectDirectionRefs(std::vector<stReferenceEntry>& list, const CSessionSurface* except) const
{
    for (const auto& session : m_sessions)
    {
        const ST_IGeometry* geometry = session.get() != except ? GeometryOf(*session) : nullptr;
        if (geometry == nullptr)
            continue;
        double d[3];
        geometry->GetDirection(d);
        if (IsDefined(d[0]))
            list.push_back({ON_wString(L"as ") + session->GetName(), d[0], d[1], d[2]});
    }
}

void CObjectSurfaces::CollectPointRefs(std::vector<stReferenceEntry>& list, const CSessionSurface* except) const
{
    list.clear();
    for (const auto& session : m_sessions)
    {
        const ST_IGeometry* geometry = session.get() != except ? GeometryOf(*session) : nullptr;
        if (geometry == nullptr)
            continue;
        double p[3];
        geometry->GetOrigin(p);
        if (IsDefined(p[0]))
            list.push_back({ON_wString(L"of ") + session->GetName(), p[0], p[1], p[2]});
    }
}

bool CObjectSurfaces::Write(ON_BinaryArchive& archive) const
{
    if (m_sessions.size() > static_cast<std::size_t>(INT_MAX))
        return false;
    // No length frames a session, so one whose record fails must be left
    // out whole, and the others, and every other object's sessions, still
    // reach the document: each is tried first where nothing is kept (a big
    // scan's sessions are not held in memory once more on their way).
    std::vector<CSessionSurface*> writable;
    for (const auto& session : m_sessions)
        if (!session->IsBeingMade() && session->CanWrite())
            writable.push_back(session.get());
    if (!archive.WriteUuid(m_hostId) || !archive.WriteInt(static_cast<int>(writable.size())))
        return false;
    for (CSessionSurface* session : writable)
        if (!session->Write(archive))
            return false;
    return true;
}

bool CObjectSurfaces::WriteMoved(ON_BinaryArchive& archive, const double toHost[12]) const
{
    // A twin read from this entry's own record is moved and written; the
    // twin has no history, so it names nothing after anyone else's shapes.
    ON_MemoryArchive own;
    if (!Write(own))
        return false;
    CObjectSurfaces twin(m_hostId, nullptr);
    ON_MemoryArchive reader(own.Buffer().data(), own.Buffer().size());
    if (!twin.Read(reader, kEntitiesHistoryMajor, kEntitiesHistoryMinor))
        return false;
    twin.TransformSessions(toHost, nullptr);
    return twin.Write(archive);
}

bool CObjectSurfaces::Read(ON_BinaryArchive& archive, int major, int minor)
{
    if (!archive.ReadUuid(m_hostId))
        return false;
    Clear();
    int count = 0;
    if (!archive.ReadInt(&count) || count < 0)
        return false;
    for (int i = 0; i < count; ++i)
    {
        GUID classId;
        if (!archive.ReadUuid(classId))
            return false;
        // No length precedes a session: one the reader cannot make leaves
        // no way to the next, so the read stops here.
        CSessionSurface* session = CreateSession(classId, false);
        if (session == nullptr || !session->Read(archive, major, minor))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------- the history

void CEntitiesHistory::Clear()
{
    while (!m_entries.empty())
        m_entries.pop_back();
}

CObjectSurfaces* CEntitiesHistory::FindByUuid(const ON_UUID& hostId) const
{
    for (const auto& entry : m_entries)
        if (entry->HostId() == hostId)
            return entry.get();
    return nullptr;
}

CObjectSurfaces* CEntitiesHistory::GetOrCreate(const ON_UUID& hostId, bool* created)
{
    if (created != nullptr)
        *created = false;
    if (ON_UuidIsNil(hostId))
        return nullptr;
    if (CObjectSurfaces* found = FindByUuid(hostId))
        return found;
    m_entries.push_back(std::make_unique<CObjectSurfaces>(hostId, this));
    if (created != nullptr)
        *created = true;
    return m_entries.back().get();
}

void CEntitiesHistory::ClearKeepFlags()
{
    for (const auto& entry : m_entries)
        entry->m_keep = 0;
}

void CEntitiesHistory::MarkKept(CObjectSurfaces* entry)
{
    if (entry != nullptr)
        entry->m_keep = 1;
}

bool CEntitiesHistory::HoldsSessions() const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const std::unique_ptr<CObjectSurfaces>& entry)
                       {
                           for (std::size_t i = 0; i < entry->SessionCount(); ++i)
                               if (!entry->Session(i)->IsBeingMade())
                                   return true;
                           return false;
                       });
}

bool CEntitiesHistory::Prune()
{
    const std::size_t before = m_entries.size();
    std::erase_if(m_entries, [](const std::unique_ptr<CObjectSurfaces>& entry) { return entry->m_keep == 0; });
    return m_entries.size() != before;
}

bool CEntitiesHistory::Write(ON_BinaryArchive& archive, const ON_UUID* moved, const double* toHost) const
{
    if (!archive.Write3dmChunkVersion(kEntitiesHistoryMajor, kEntitiesHistoryMinor) || !archive.WriteSize(m_entries.size()))
        return false;
    for (const auto& entry : m_entries)
    {
        const bool placed = moved != nullptr && toHost != nullptr && entry->HostId() == *moved;
        if (!(placed ? entry->WriteMoved(archive, toHost) : entry->Write(archive)))
            return false;
    }
    return true;
}

bool CEntitiesHistory::Read(ON_BinaryArchive& archive, int major, int minor)
{
    std::size_t count = 0;
    if (!archive.ReadSize(&count))
        return false;
    // Entries are staged, so a failure part-way adds nothing. Each entry
    // takes at least 20 bytes, so a damaged count fails at the end of the
    // bytes instead of allocating for it.
    // Known ids are looked up in a set: a damaged chunk of many small
    // entries must not cost time growing with the square of its size.
    std::set<std::array<std::uint8_t, 16>> known;
    const auto key = [](const ON_UUID& id) {
        std::array<std::uint8_t, 16> bytes;
        std::memcpy(bytes.data(), &id, bytes.size());
        return bytes;
    };
    for (const auto& entry : m_entries)
        known.insert(key(entry->HostId()));
    std::deque<std::unique_ptr<CObjectSurfaces>> staged;
    for (std::size_t i = 0; i < count; ++i)
    {
        auto entry = std::make_unique<CObjectSurfaces>(ON_nil_uuid, this);
        entry->m_keep = 1;
        if (!entry->Read(archive, major, minor))
            return false;
        if (known.insert(key(entry->HostId())).second)
            staged.push_back(std::move(entry));
    }
    for (auto& entry : staged)
        m_entries.push_back(std::move(entry));
    return true;
}
