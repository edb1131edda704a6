// The result of a deviation pass over one mesh: a record per vertex with its
// position and signed deviation, a k-d tree over the records (the analysed
// vertex nearest to a probe or label point) and the run's statistics. It is
// kept on a host mesh as user data (cON_AVTree) and on a mesh scene object
// as the attached property "VTL_AnalyzerInfo_Property" (cVTL_AVTree).
#pragma once

#include "core/attached_property.h"
#include "core/bucket_kd_tree.h"
#include "core/chunked_array.h"
#include "platform/geometry/user_data.h"

#include <cfloat>
#include <cstdint>
#include <string_view>
#include <vector>

class cMesh;
class ISceneObject;
class ON_Mesh;

// 20 bytes: position, deviation (FLT_MAX: not measured, or nothing within
// the search distance) and the index of the vertex in its mesh.
struct cON_AVertex
{
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float deviation = FLT_MAX;
    std::uint32_t vertexIndex = 0;
};
static_assert(sizeof(cON_AVertex) == 20);

struct cON_AVertexComparator
{
    const float* Coordinates(const cON_AVertex* record) const { return &record->x; }
};

// What ComputeStatistics found. The positions are those of the records with
// the smallest and the largest deviation (the first one met on ties).
// Minimum, maximum and RMS describe the compared records only; the vertices
// beyond the scale's limit are counted by side, so that a summary can say
// that its extremes are not the scan's.
struct stDeviationStatistics
{
    bool valid = false;
    float minimumPoint[3] = {0, 0, 0};
    float minimum = FLT_MAX;
    float maximumPoint[3] = {0, 0, 0};
    float maximum = -FLT_MAX;
    double rms = 0.0;
    std::uint32_t compared = 0;
    std::uint32_t inTolerance = 0;
    std::uint32_t aboveTolerance = 0;
    std::uint32_t belowTolerance = 0;
    // Vertices farther than the range from the surfaces: compared ones past
    // it, and ones left unmeasured whose side the pass found.
    std::uint32_t beyondAbove = 0;
    std::uint32_t beyondBelow = 0;
};

class cAVTree
{
public:
    cAVTree() = default;
    virtual ~cAVTree() = default;
    cAVTree(const cAVTree&) = delete;
    cAVTree& operator=(const cAVTree&) = delete;

    // One record {x, y, z, FLT_MAX, i} per vertex i, in vertex order, and the
    // k-d tree over them; the statistics become invalid. A null mesh leaves
    // the tree empty.
    void Build(const cMesh* mesh);
    void Build(const ON_Mesh* mesh);

    std::uint32_t GetCount() const { return m_records.GetCount(); }
    cON_AVertex* GetRecord(std::uint32_t i) { return i < m_records.GetCount() ? &m_records[i] : nullptr; }
    const cON_AVertex* GetRecord(std::uint32_t i) const { return i < m_records.GetCount() ? &m_records[i] : nullptr; }
    // False for an index beyond the records.
    bool SetDeviation(std::uint32_t i, float deviation);
    // The side of the surfaces an unmeasured record lies beyond the search
    // distance on: +1 above, -1 below, 0 not known. False for an index beyond
    // the records or when memory runs out.
    bool SetBeyondSide(std::uint32_t i, int side);
    int GetBeyondSide(std::uint32_t i) const;

    // Counts, RMS, minimum and maximum over the measured records; deviations
    // of exactly +-tolerance count as in tolerance. Invalid when no record
    // was measured. Beyond the range count the measured records past +-range
    // and the unmeasured ones by their side.
    void ComputeStatistics(float tolerance, float range = FLT_MAX);
    const stDeviationStatistics& GetStatistics() const { return m_statistics; }

    // The record nearest to the point and its distance; null on an empty tree.
    const cON_AVertex* NearestRecord(const float point[3], double* distance = nullptr) const;

private:
    void Reset();
    bool Append(float x, float y, float z, std::uint32_t index);
    void BuildTree();

    tArray<cON_AVertex> m_records;
    // One side per record, made by the first SetBeyondSide.
    std::vector<std::int8_t> m_beyondSides;
    tBucketKDTree<const cON_AVertex*, cON_AVertexComparator> m_tree;
    stDeviationStatistics m_statistics;
};

inline constexpr wchar_t kAnalyzerInfoPropertyName[] = L"VTL_AnalyzerInfo_Property";

// The tree as an attached property of a mesh scene object. Moving the object
// does not move the records: they describe the mesh as it was at the last
// pass, which the next pass rebuilds.
class cVTL_AVTree : public cAVTree, public IAttachedProperty
{
public:
    cVTL_AVTree(std::wstring_view name, ISceneObject* owner) : IAttachedProperty(name, owner) {}

    void OnOwnerTransformed(const double*) override {}

    // The object's property of that name, or a new one attached to it (held by
    // the object alone). Null for a null object or a name taken by a property
    // of another kind.
    static cVTL_AVTree* GetOrCreateProperty(ISceneObject* object,
                                            std::wstring_view name = kAnalyzerInfoPropertyName);
};

// {106AC2BB-70F8-4198-96DC-8CE2A2260C5B}
inline constexpr GUID kAnalyzerVertexTreeId = {
    0x106AC2BB, 0x70F8, 0x4198, {0x96, 0xDC, 0x8C, 0xE2, 0xA2, 0x26, 0x0C, 0x5B}};

// The tree as user data of a host mesh, which owns and deletes it.
class cON_AVTree : public cAVTree, public ON_UserData
{
public:
    // Built from the mesh it is made for.
    explicit cON_AVTree(const ON_Mesh* mesh);

    bool GetDescription(ON_wString& description) override;

    // The object's tree; else, for a mesh, a new tree built from it and
    // attached (deleted again when the attachment fails). Null for null or
    // for an object that is not a mesh.
    static cON_AVTree* GetOrCreate(ON_Object* object);
    static cON_AVTree* Find(ON_Object* object);
    // Detaches and deletes the object's tree, if any.
    static void Remove(ON_Object* object);
};
