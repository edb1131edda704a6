// A session: one fitted shape of one host object, under the user's name.
// It keeps the marked region of the reference mesh as a cloud of triangle
// centroids with a search tree over them, and the shape's scene object,
// which owns the geometry, draws it and writes its record into the
// document. Sessions paint their kind code into the mesh's
// "TriangleColoursProperty", so the shapes dialog shows which triangles
// belong to which shape, and can select their region again.
//
// Region membership: a triangle belongs to the region when its centroid lies
// inside the region's box grown by kRegionBoxMargin and a region point lies
// within the membership radius of it. Centroids come from one float
// expression wherever they are computed (RegionCentroid), so a triangle
// finds its own point again exactly; the radius grows with the coordinates
// (a few float spacings) so that a region moved by a transform, whose
// floats are rounded apart from the mesh's, still finds its triangles far
// from the origin.
#pragma once

#include "platform/geometry/binary_archive.h"
#include "platform/geometry/wide_string.h"
#include "shapes/region_points.h"

#include <cstdint>
#include <memory>
#include <vector>

class CObjectSurfaces;
class CPropTreeItem;
class IBinStream;
class ISceneObject;
class ST_IExtracted;
class cMesh;
struct cMeshTriangle;
class cRegionNearCells;
class cRegionTriangles;
class cThreadPool;

// Kind codes: what sessions paint into the triangle tag property.
inline constexpr std::uint8_t kSessionKindPlane = 1;
inline constexpr std::uint8_t kSessionKindCylinder = 2;
inline constexpr std::uint8_t kSessionKindSphere = 3;
inline constexpr std::uint8_t kSessionKindRevolved = 4;
inline constexpr std::uint8_t kSessionKindExtruded = 5;
inline constexpr std::uint8_t kSessionKindFreeForm = 6;
inline constexpr std::uint8_t kSessionKindCurves = 7;
inline constexpr std::uint8_t kSessionKindSymmetryPlane = 8;

inline constexpr double kRegionBoxMargin = 0.001;
inline constexpr double kRegionMinimumRadius = 0.0001;
// The front colour of a session's shape (60, 140, 60).
inline constexpr float kSessionFrontColour[4] = {60.0f / 255.0f, 140.0f / 255.0f, 60.0f / 255.0f, 1.0f};

// The centroid of a triangle as the region stores it.
void RegionCentroid(const float a[3], const float b[3], const float c[3], float out[3]);
// How far a region point may lie from a centroid at that position.
double RegionMembershipRadius(const float centroid[3]);
// Selected and not hidden: a triangle the selection makes part of a region.
bool IsTakenBySelection(const cMeshTriangle& triangle);

class CSessionSurface
{
public:
    explicit CSessionSurface(CObjectSurfaces* owner);
    virtual ~CSessionSurface();
    CSessionSurface(const CSessionSurface&) = delete;
    CSessionSurface& operator=(const CSessionSurface&) = delete;

    virtual void GetKindName(ON_wString& name) const;
    virtual void GetClassId(GUID& id) const;
    // Once, right after construction: the class id, a name unique in the
    // owner and the session colours of the scene object.
    virtual void Init();
    // A row of the session's page was committed. The name row: the text
    // trimmed becomes the name unless it is empty or another session of the
    // owner bears it (ignoring case), which is told in a message box; when
    // refused the row gets the current name back and the result is false.
    // Any other row goes to the record, whose answer is returned.
    virtual bool CommitRow(CPropTreeItem* item);
    virtual void SetParameter(double) {}
    virtual std::uint8_t GetKindCode() const = 0;

    // The session's record: class id, name, region points, then the scene
    // object's record. False at the first failed write.
    virtual bool Write(ON_BinaryArchive& archive);
    // Whether Write succeeds on an archive that takes every byte: the
    // region fits its count and the scene object writes its record.
    bool CanWrite();
    // Reads what Write wrote (the class id already read by the owner); the
    // history's chunk version chooses the version handed to the scene
    // object's reader. A shape read from a document keeps its values: the
    // record's choices become "Custom", so a refit starts from them. False
    // on any failure or damaged value.
    virtual bool Read(ON_BinaryArchive& archive, int major, int minor);

    // Makes the selected, visible triangles of the mesh object the region.
    virtual void TakeSelection(ISceneObject* meshObject);
    // Selects on the mesh exactly the region's triangles. The mesh's region
    // triangles, when given, find them in one walk (a big scan).
    void SelectRegion(cMesh* mesh, const cRegionTriangles* triangles = nullptr);
    // Writes the kind code (Paint) or 0 (Clear) into the tag property of the
    // region's triangles.
    void PaintMeshRegion(ISceneObject* meshObject, const cRegionTriangles* triangles = nullptr);
    void ClearMeshRegion(ISceneObject* meshObject, const cRegionTriangles* triangles = nullptr);
    // Paints the regions of all these sessions as PaintMeshRegion one after
    // another does (a triangle in two regions keeps the later one's code);
    // the pool, when given, finds the regions side by side.
    static void PaintMeshRegions(const std::vector<CSessionSurface*>& sessions, ISceneObject* meshObject,
                                 const cRegionTriangles* triangles, cThreadPool* pool);
    // True when the triangle (three corner positions) belongs to the region.
    bool ContainsTriangle(const float a[3], const float b[3], const float c[3]);

    // Builds the tree over the region points now.
    void RebuildSearchTree();
    // Empties the region and its search tree together, so the tree never
    // points into freed points.
    void ClearRegion();
    // Moves the region by a 3x4 transform and rebuilds its tree.
    void TransformRegion(const double m[12]);
    // Makes the other session's region points this one's, shared.
    void ShareRegionOf(const CSessionSurface& other);
    // Whether the region's points are, in turn, the centroids of triangles
    // of the mesh (as RegionCentroid gives them), every one; those
    // triangles are marked, a bit a triangle.
    bool FindRegionTrianglesInTurn(const cMesh& mesh, std::vector<std::uint64_t>& triangles);
    // Makes the region's points the centroids of the marked triangles of
    // the mesh, in turn (as many marked triangles as there are points).
    void PutRegionOnTriangles(const cMesh& mesh, const std::vector<std::uint64_t>& triangles);

    // The name is the record's (empty for a session without one).
    ON_wString GetName() const;
    void SetName(const ON_wString& name);
    const GUID& ClassId() const { return m_classId; }
    CObjectSurfaces* GetOwner() const { return m_owner; }
    ISceneObject* GetSceneObject() const { return m_sceneObject; }
    ST_IExtracted* GetRecord() const { return m_record; }
    // The writable points: the tree is built again before its next query.
    cRegionPoints& GetRegionPoints()
    {
        m_treeStale = true;
        return m_region;
    }
    const cRegionPoints& GetRegionPoints() const { return m_region; }
    const tRegionPointTree& GetSearchTree() const;
    // 1 while the session was made here, 0 once it came from a document.
    int IsNew() const { return m_isNew; }
    // A shape being made, whose first fit the user has not kept yet (the
    // sphere's size question may be open), is not in the document: saves
    // leave it out until the fit is kept.
    void SetBeingMade(bool on) { m_beingMade = on; }
    bool IsBeingMade() const { return m_beingMade; }

protected:
    // The scene object's record through a stream over the archive. The
    // minor version comes from RecordMinorVersion.
    virtual bool WriteObjectRecord(IBinStream& stream);
    virtual bool ReadObjectRecord(IBinStream& stream, std::uint32_t minor);

    // The kinds point these at the scene object and the record they embed.
    ISceneObject* m_sceneObject = nullptr;
    ST_IExtracted* m_record = nullptr;

private:
    void MarkMeshRegion(ISceneObject* meshObject, std::uint8_t code, const cRegionTriangles* triangles);
    // Sets the bit of each of the mesh's first `count` triangles that
    // belongs to the region, testing every triangle. Reads the mesh only, so
    // several sessions may test at once.
    void TestEveryTriangle(const cMesh& mesh, std::uint32_t count, std::vector<std::uint64_t>& inside);
    // True when a triangle with this centroid belongs to the region.
    bool ContainsCentroid(const float centroid[3]);
    // The same found by measuring every region point, without the tree.
    bool ContainsCentroidByScan(const float centroid[3]);
    // Queries times points up to which a walk's doubtful triangles are
    // measured against every point rather than the tree built for them.
    static constexpr std::uint64_t kScanInsteadOfTree = std::uint64_t{1} << 25;
    // The region's triangles found by walking the mesh's triangles, which
    // match the region's points in turn when the region was taken from this
    // mesh: the bit of each (of `inside`, sized for every triangle) is set.
    // False, with some of the bits set, when the points do not match in
    // turn; the caller then tests every triangle.
    bool WalkRegionTriangles(const cRegionTriangles& triangles, std::vector<std::uint64_t>& inside);
    // The walk in two steps, so that several sessions can look for points
    // near their doubtful triangles before they decide them side by side:
    // the first sets the bits of the triangles the points match and lists
    // the others in the region's grown box in `near` (false as above),
    // leaving out those the cells, when given, tell far from every point,
    // and sharing itself out on the region triangles' pool; the second sets
    // the bits of those that belong to the region, given
    // cRegionTriangles::MayLieNear of the list (with the same cells) and
    // this region's points.
    bool WalkMatchedTriangles(const cRegionTriangles& triangles, std::vector<std::uint64_t>& inside,
                              std::vector<std::uint32_t>& near, const cRegionNearCells* cells);
    void DecideNearTriangles(const cRegionTriangles& triangles, const std::vector<std::uint32_t>& near,
                             const std::vector<std::uint8_t>& mayLieNear, std::vector<std::uint64_t>& inside);
    // The cells about the region's points for its walk (null where the
    // walk lists every unmatched triangle in the box: a region of most of
    // the triangles, which leaves few, or no memory for the cells).
    std::unique_ptr<cRegionNearCells> NearCellsForWalk(const cRegionTriangles& triangles);
    // The first step of TakeSelection: the old region's tags cleared.
    void ClearReplacedRegion(ISceneObject* meshObject);
    // The region with `count` points whose points a new region of this
    // shape is compared with, to share them when they are the same: this
    // region's own while they are shared and as many (null when they are its
    // own and as many), else the latest other shape's of the object that has
    // as many; null when none has.
    const cRegionPoints* RegionLike(std::uint32_t count) const;
    // A new region's tree waits for its first query: a kind change or a
    // document read never asks the tree anything, and on a scan of millions
    // of triangles the build is most of what the user would wait for.
    void DeferSearchTree();
    const tRegionPointTree& UpToDateTree() const;

    GUID m_classId{};
    cRegionPoints m_region;
    mutable tRegionPointTree m_tree;
    mutable bool m_treeStale = false;
    CObjectSurfaces* m_owner;
    int m_isNew = 1;
    bool m_beingMade = false;
};

// The minor version a kind's record reader gets for a history chunk of the
// given version: the network and extruded records grew in 1.1.
std::uint32_t RecordMinorVersion(std::uint8_t kindCode, int historyMajor, int historyMinor);
