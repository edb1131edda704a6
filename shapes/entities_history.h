// The entity history: every session of every host object of the active
// document, kept by the plug-in object and written into the document as the
// plug-in's chunk. CObjectSurfaces holds the sessions of one host object,
// gives them unique names and makes them by class id.
//
// The history record, after the plug-in's own chunk version:
//   chunk version 1.1
//   size N        host objects
//   N entries     uuid of the host object, int K, K sessions
//   session       uuid class id, string name, int P, P x (float x, y, z),
//                 then the scene object's record (no length around it)
// A reader must understand every record to find the next one, so the first
// value it cannot accept fails the whole read.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/uuid.h"
#include "platform/geometry/wide_string.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class CEntitiesHistory;
class CSessionSurface;
class cMesh;

inline constexpr int kEntitiesHistoryMajor = 1;
inline constexpr int kEntitiesHistoryMinor = 1;

// The list that shows an object's sessions (the shapes dialog's).
class ISessionListView
{
public:
    virtual ~ISessionListView() = default;
    virtual void RefreshSessionList() = 0;
};

// A reference offered by the property pages: a direction or a point of
// another session.
struct stReferenceEntry
{
    ON_wString label;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

class CObjectSurfaces
{
public:
    CObjectSurfaces(const ON_UUID& hostId, CEntitiesHistory* owner);
    virtual ~CObjectSurfaces();
    CObjectSurfaces(const CObjectSurfaces&) = delete;
    CObjectSurfaces& operator=(const CObjectSurfaces&) = delete;

    // A new initialised session of the kind appended at the end, or null
    // (nothing changed) for an id of no kind, or of a kind whose shape is
    // not available.
    CSessionSurface* CreateSession(const GUID& classId, bool refresh);
    // False when the session is not in this list.
    bool DeleteSession(CSessionSurface* session);
    // Deletes every session; the name counter keeps counting.
    void Clear();

    CSessionSurface* FindByName(const wchar_t* name) const;
    bool IsNameUnique(const wchar_t* name, const CSessionSurface* except) const;
    // Appends "(n)" with the running counter until no session bears it.
    void MakeUniqueName(ON_wString& name);

    // The host object was transformed: regions, records and scene objects
    // follow, except the current session's scene object, which the caller
    // moves.
    void TransformSessions(const double m[12], CSessionSurface* current);
    // The host object's mesh, from which the regions were taken, was
    // transformed with them (moveMesh moves it): as TransformSessions, and a
    // region made of that mesh's triangle centroids is made of the moved
    // triangles' centroids again, so that it goes on finding exactly its
    // triangles. Moved on their own, its points would keep the rounding of
    // where they were (a few thousandths 30 m out), which a region brought
    // near the origin no longer allows for.
    void TransformSessionsWithMesh(const double m[12], CSessionSurface* current, const cMesh& mesh,
                                   const std::function<void()>& moveMesh);
    // Whether an extruded or revolved session holds a profile sketch with
    // segments (which reorienting the mesh would destroy).
    bool HasProfiles() const;
    // Gives every extruded and revolved session an empty sketch in the frame
    // of its old profile, rebuilt from the old profile's section points
    // (after the user agreed to lose the profiles).
    void ResetProfiles();
    // "as <name>" with the direction, "of <name>" with the point, for every
    // other session whose shape has one. The point list is emptied first,
    // the direction list is not.
    void CollectDirectionRefs(std::vector<stReferenceEntry>& list, const CSessionSurface* except) const;
    void CollectPointRefs(std::vector<stReferenceEntry>& list, const CSessionSurface* except) const;

    bool Write(ON_BinaryArchive& archive) const;
    // The record of the sessions as the transform would place them, the
    // sessions themselves unchanged: the shapes dialog shows its mesh moved
    // while a document keeps shapes where the host object is.
    bool WriteMoved(ON_BinaryArchive& archive, const double toHost[12]) const;
    // Replaces the host id and the sessions by what the archive holds.
    bool Read(ON_BinaryArchive& archive, int major, int minor);

    const ON_UUID& HostId() const { return m_hostId; }
    CEntitiesHistory* Owner() const { return m_owner; }
    std::size_t SessionCount() const { return m_sessions.size(); }
    CSessionSurface* Session(std::size_t i) const { return i < m_sessions.size() ? m_sessions[i].get() : nullptr; }
    std::uint32_t NameCounter() const { return m_nameCounter; }
    void SetListView(ISessionListView* view) { m_view = view; }
    ISessionListView* ListView() const { return m_view; }

private:
    friend class CEntitiesHistory;

    std::uint32_t m_nameCounter = 1;
    ON_UUID m_hostId;
    CEntitiesHistory* m_owner;
    ISessionListView* m_view = nullptr;
    std::uint8_t m_keep = 0;
    std::deque<std::unique_ptr<CSessionSurface>> m_sessions;
};

class CEntitiesHistory
{
public:
    CEntitiesHistory() = default;
    virtual ~CEntitiesHistory() { Clear(); }
    CEntitiesHistory(const CEntitiesHistory&) = delete;
    CEntitiesHistory& operator=(const CEntitiesHistory&) = delete;

    void Clear();
    std::size_t Count() const { return m_entries.size(); }
    bool IsEmpty() const { return m_entries.empty(); }
    // True when some entry holds a session that a save writes: an entry is
    // also made by opening the shapes dialog on an object, before any shape
    // is, and a shape being made is not written yet.
    bool HoldsSessions() const;
    CObjectSurfaces* Entry(std::size_t i) const { return i < m_entries.size() ? m_entries[i].get() : nullptr; }

    CObjectSurfaces* FindByUuid(const ON_UUID& hostId) const;
    // The entry of the host object, made (and appended) when missing; null
    // for the nil uuid.
    CObjectSurfaces* GetOrCreate(const ON_UUID& hostId, bool* created = nullptr);

    // Pruning before a save: clear every mark, mark the entries of the host
    // objects that still exist, then drop the others (true when some went).
    void ClearKeepFlags();
    void MarkKept(CObjectSurfaces* entry);
    bool Prune();

    // The history record (its own chunk version first). The sessions of
    // the host object `moved`, when given, are written through `toHost`
    // (CObjectSurfaces::WriteMoved).
    bool Write(ON_BinaryArchive& archive, const ON_UUID* moved = nullptr, const double* toHost = nullptr) const;
    // Reads N entries after the history's chunk version, which the caller
    // read. All or nothing: on failure nothing is added. An entry of a host
    // object that is already present is dropped with its sessions.
    bool Read(ON_BinaryArchive& archive, int major, int minor);

private:
    std::deque<std::unique_ptr<CObjectSurfaces>> m_entries;
};
