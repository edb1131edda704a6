#include "analysis/analysed_vertex_tree.h"

#include "core/mesh.h"
#include "core/scene_object.h"
#include "platform/geometry/mesh.h"

#include <cmath>
#include <new>

void cAVTree::Reset()
{
    m_tree.Clear();
    m_records.Clear();
    std::vector<std::int8_t>().swap(m_beyondSides);
    m_statistics = stDeviationStatistics{};
}

bool cAVTree::Append(float x, float y, float z, std::uint32_t index)
{
    cON_AVertex* record = m_records.Append();
    if (record == nullptr)
        return false;
    *record = cON_AVertex{x, y, z, FLT_MAX, index};
    return true;
}

void cAVTree::BuildTree()
{
    const std::uint32_t count = m_records.GetCount();
    for (std::uint32_t i = 0; i < count; ++i)
        m_tree.Add(&m_records[i]); // records at unset or non-finite positions stay out of the tree
    m_tree.Build();
}

void cAVTree::Build(const cMesh* mesh)
{
    Reset();
    if (mesh == nullptr)
        return;
    const std::uint32_t count = mesh->GetVertexCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cVertex* v = mesh->GetVertex(i);
        if (!Append(v->x, v->y, v->z, i))
            break;
    }
    BuildTree();
}

void cAVTree::Build(const ON_Mesh* mesh)
{
    Reset();
    if (mesh == nullptr)
        return;
    const int count = mesh->VertexCount();
    for (int i = 0; i < count; ++i)
    {
        const ON_3fPoint& p = mesh->m_V[i];
        if (!Append(p.x, p.y, p.z, static_cast<std::uint32_t>(i)))
            break;
    }
    BuildTree();
}

bool cAVTree::SetDeviation(std::uint32_t i, float deviation)
{
    if (i >= m_records.GetCount())
        return false;
    m_records[i].deviation = deviation;
    return true;
}

bool cAVTree::SetBeyondSide(std::uint32_t i, int side)
{
    if (i >= m_records.GetCount())
        return false;
    try
    {
        if (m_beyondSides.size() != m_records.GetCount())
            m_beyondSides.assign(m_records.GetCount(), 0);
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
    m_beyondSides[i] = static_cast<std::int8_t>(side > 0 ? 1 : (side < 0 ? -1 : 0));
    return true;
}

int cAVTree::GetBeyondSide(std::uint32_t i) const
{
    return i < m_beyondSides.size() ? m_beyondSides[i] : 0;
}

void cAVTree::ComputeStatistics(float tolerance, float range)
{
    m_statistics = stDeviationStatistics{};
    const std::uint32_t count = m_records.GetCount();
    if (count == 0)
        return;
    stDeviationStatistics s;
    double sumOfSquares = 0.0;
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const cON_AVertex& r = m_records[i];
        const float d = r.deviation;
        if (d == FLT_MAX)
        {
            const int side = GetBeyondSide(i);
            s.beyondAbove += side > 0 ? 1u : 0u;
            s.beyondBelow += side < 0 ? 1u : 0u;
            continue;
        }
        s.beyondAbove += d > range ? 1u : 0u;
        s.beyondBelow += d < -range ? 1u : 0u;
        ++s.compared;
        if (d < -tolerance)
            ++s.belowTolerance;
        else if (d > tolerance)
            ++s.aboveTolerance;
        else
            ++s.inTolerance;
        if (d < s.minimum)
        {
            s.minimum = d;
            s.minimumPoint[0] = r.x, s.minimumPoint[1] = r.y, s.minimumPoint[2] = r.z;
        }
        if (d > s.maximum)
        {
            s.maximum = d;
            s.maximumPoint[0] = r.x, s.maximumPoint[1] = r.y, s.maximumPoint[2] = r.z;
        }
        const float square = d * d;
        sumOfSquares += square;
    }
    if (s.compared == 0)
    {
        // Nothing to compare, yet where the vertices lie is known.
        m_statistics.beyondAbove = s.beyondAbove;
        m_statistics.beyondBelow = s.beyondBelow;
        return;
    }
    s.rms = std::sqrt(sumOfSquares / s.compared);
    s.valid = true;
    m_statistics = s;
}

const cON_AVertex* cAVTree::NearestRecord(const float point[3], double* distance) const
{
    double radius = FLT_MAX;
    const cON_AVertex* record = m_tree.FindNearest(point, radius);
    if (record != nullptr && distance != nullptr)
        *distance = radius;
    return record;
}

cVTL_AVTree* cVTL_AVTree::GetOrCreateProperty(ISceneObject* object, std::wstring_view name)
{
    return GetOrCreateAttachedProperty<cVTL_AVTree>(object, name);
}

cON_AVTree::cON_AVTree(const ON_Mesh* mesh)
{
    m_userdata_uuid = kAnalyzerVertexTreeId;
    Build(mesh);
}

bool cON_AVTree::GetDescription(ON_wString& description)
{
    description = L"analyzer vertex tree";
    return true;
}

cON_AVTree* cON_AVTree::Find(ON_Object* object)
{
    if (object == nullptr)
        return nullptr;
    return dynamic_cast<cON_AVTree*>(object->GetUserData(kAnalyzerVertexTreeId));
}

cON_AVTree* cON_AVTree::GetOrCreate(ON_Object* object)
{
    if (object == nullptr)
        return nullptr;
    if (object->GetUserData(kAnalyzerVertexTreeId) != nullptr)
        return Find(object);
    const ON_Mesh* mesh = ON_Mesh::Cast(object);
    if (mesh == nullptr)
        return nullptr;
    auto* tree = new (std::nothrow) cON_AVTree(mesh);
    if (tree == nullptr)
        return nullptr;
    if (!object->AttachUserData(tree))
    {
        delete tree;
        return nullptr;
    }
    return Find(object);
}

void cON_AVTree::Remove(ON_Object* object)
{
    cON_AVTree* tree = Find(object);
    if (tree == nullptr)
        return;
    object->DetachUserData(tree);
    delete tree;
}
