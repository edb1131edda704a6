#include "plugin/tools/deviation_analysis_mode.h"

#include "analysis/analysed_vertex_tree.h"
#include "analysis/colour_ramp.h"
#include "platform/geometry/mapping_tag.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object_iterator.h"
#include "platform/host/render_meshes.h"

#include <cmath>
#include <cstring>
#include <new>

namespace
{

constexpr unsigned int kAllStates = dezaz_normal_objects | dezaz_locked_objects | dezaz_hidden_objects;
constexpr unsigned int kAllCategories = dezaz_active_objects | dezaz_reference_objects;

// FNV-1a over the vertex positions: a mesh edited in place (same address,
// same count) must not pass for the one that was measured.
std::uint64_t Fingerprint(const ON_Mesh& mesh)
{
    std::uint64_t h = 1469598103934665603ull;
    const auto* bytes = reinterpret_cast<const unsigned char*>(mesh.m_V.Array());
    const std::size_t size = std::size_t(mesh.m_V.Count()) * sizeof(ON_3fPoint);
    for (std::size_t i = 0; i < size; ++i)
        h = (h ^ bytes[i]) * 1099511628211ull;
    return h;
}

} // namespace

bool stUuidLess::operator()(const ON_UUID& a, const ON_UUID& b) const
{
    return std::memcmp(&a, &b, sizeof(ON_UUID)) < 0;
}

const wchar_t* UnitSystemText(int unitSystem)
{
    switch (unitSystem)
    {
    case 2: return L"mm";
    case 3: return L"cm";
    case 4: return L"m";
    case 5: return L"km";
    case 8: return L"in";
    case 9: return L"ft";
    case 10: return L"ml";
    case 19: return L"yd";
    default: return L"";
    }
}

// ---------------------------------------------------------------- the mode

CVTLAnalysisMode::CVTLAnalysisMode() : CDezazVisualAnalysisMode(kVTLAnalysisModeId, DezazAnalysisStyle::false_colour_style)
{
    m_settings.tolerance = 0.1f;
    m_settings.maximum = 0.5f;
    m_settings.colourOutOfRange = false;
}

CVTLAnalysisMode::~CVTLAnalysisMode() = default;

void CVTLAnalysisMode::GetAnalysisModeName(ON_wString& name) const
{
    name = L"vtl analysis";
}

bool CVTLAnalysisMode::ObjectSupportsAnalysisMode(const CDezazObject* object) const
{
    return object && object->ObjectType() == DezazObjectType::mesh && object->IsVisible() &&
           dynamic_cast<const CDezazMeshObject*>(object) != nullptr;
}

ON_MappingTag CVTLAnalysisMode::ColourTag()
{
    ON_MappingTag tag;
    tag.m_mapping_id = kVTLAnalysisModeId;
    tag.m_mapping_type = ON_MappingTag::mapping_type::no_mapping;
    tag.m_mapping_crc = 0;
    tag.m_meshdata_xform = ON_Xform::IdentityTransformation();
    return tag;
}

void CVTLAnalysisMode::UpdateVertexColors(const CDezazObject* object, ON_SimpleArray<ON_Mesh*>& meshes) const
{
    if (meshes.Count() == 0)
        return;
    const ON_MappingTag tag = ColourTag();
    // The host calls this through its const interface; the analysis state
    // it updates is the mode's own.
    auto& self = const_cast<CVTLAnalysisMode&>(*this);
    const CDezazDoc* doc = object ? object->Document() : nullptr;
    for (int i = 0; i < meshes.Count(); ++i)
    {
        ON_Mesh* mesh = meshes[i];
        if (!mesh || ON_MappingTag::Compare(mesh->m_Ctag, tag, true, true, true) == 0)
            continue;
        if (doc)
            self.RecolourMesh(*doc, mesh);
        mesh->m_Ctag = tag;
    }
}

bool CVTLAnalysisMode::SetRange(float tolerance, float maximum, bool colourOutOfRange)
{
    if (!IsValidRampRange(tolerance, maximum))
        return false;
    m_settings.tolerance = tolerance;
    m_settings.maximum = maximum;
    m_settings.colourOutOfRange = colourOutOfRange;
    return true;
}

std::vector<CDezazObjRef> CVTLAnalysisMode::CollectCADMeshes(const CDezazDoc& doc) const
{
    std::vector<const CDezazObject*> kept;
    CDezazObjectIterator it(doc, kAllStates, kAllCategories);
    for (const CDezazObject* object = it.First(); object; object = it.Next())
    {
        if (object->ObjectType() == DezazObjectType::mesh)
            continue;
        if (!object->IsVisible() && !m_hiddenSurfaces.count(object->ModelObjectId()))
            continue;
        kept.push_back(object);
    }
    std::vector<CDezazObjRef> refs;
    DezazGetRenderMeshes(kept, refs, true, false, false);
    return refs;
}

bool CVTLAnalysisMode::BuildSearchTree(const CDezazDoc& doc, const std::vector<CDezazObjRef>& cad)
{
    stTreeKey key;
    key.meshing = doc.Properties().RenderMeshSettings();
    std::vector<const ON_Mesh*> meshes;
    for (const CDezazObjRef& ref : cad)
        if (const ON_Mesh* mesh = ref.Mesh())
        {
            key.serials.push_back(ref.RuntimeSerialNumber());
            meshes.push_back(mesh);
        }
    if (m_treeBuilt && key.serials == m_treeKey.serials && SameMeshParameters(key.meshing, m_treeKey.meshing))
        return m_settings.searchTree.IsSearchable();
    m_settings.searchTree.Clear();
    m_runs.clear();
    m_settings.searchTree.BuildVertexTree(meshes);
    cProcProgressNull progress;
    m_settings.searchTree.BuildFaceTree(meshes, &progress);
    m_treeMeshes = cad;
    m_treeKey = std::move(key);
    m_treeBuilt = true;
    ++m_treeGeneration;
    ++m_treeBuilds;
    return m_settings.searchTree.IsSearchable();
}

void CVTLAnalysisMode::ReleaseSearchTree()
{
    m_settings.searchTree.Clear();
    m_treeMeshes.clear();
    m_treeKey = stTreeKey{};
    m_treeBuilt = false;
    m_runs.clear();
    std::vector<stDeviationJob>().swap(m_settings.hostJobs);
    std::vector<stDeviationJob>().swap(m_settings.sceneJobs);
}

bool CVTLAnalysisMode::RecolourFromStoredRun(ON_Mesh* mesh, double startDistance)
{
    const auto run = m_runs.find(mesh);
    if (run == m_runs.end())
        return false;
    cON_AVTree* tree = cON_AVTree::Find(mesh);
    const std::uint32_t count = std::uint32_t(mesh->VertexCount());
    if (!tree || tree != run->second.tree || run->second.treeGeneration != m_treeGeneration ||
        run->second.vertexCount != count || tree->GetCount() != count || startDistance > run->second.startDistance ||
        run->second.fingerprint != Fingerprint(*mesh))
        return false;
    const float tolerance = m_settings.tolerance, maximum = m_settings.maximum;
    mesh->m_C.SetCount(0);
    mesh->m_C.SetCapacity(int(count));
    for (std::uint32_t i = 0; i < count; ++i)
        mesh->m_C.Append(ON_Color(0, 0, 0));
    for (std::uint32_t i = 0; i < count; ++i)
    {
        cON_AVertex* record = tree->GetRecord(i);
        // What a new measurement with the smaller distance would find: only
        // the deviations within it.
        if (record->deviation != FLT_MAX && !(std::fabs(double(record->deviation)) < startDistance))
        {
            tree->SetBeyondSide(i, record->deviation < 0.0f ? -1 : 1);
            record->deviation = FLT_MAX;
        }
        const float d = record->deviation;
        const std::uint32_t index = record->vertexIndex < count ? record->vertexIndex : i;
        if (d == FLT_MAX)
            mesh->m_C[int(index)] = ON_Color(kUnmeasuredGrey, kUnmeasuredGrey, kUnmeasuredGrey);
        else
        {
            std::uint8_t r = 0, g = 0, b = 0;
            Ramp(d, maximum, tolerance, -maximum, maximum, m_settings.colours, r, g, b, 1.0f);
            mesh->m_C[int(index)] = ON_Color(r, g, b);
        }
    }
    tree->ComputeStatistics(tolerance, maximum);
    run->second.startDistance = startDistance;
    return true;
}

void CVTLAnalysisMode::MeasureMesh(ON_Mesh* mesh)
{
    if (!mesh)
        return;
    const double start = m_settings.colourOutOfRange ? double(FLT_MAX) : double(m_settings.maximum);
    if (RecolourFromStoredRun(mesh, start))
        return;
    m_runs.erase(mesh);
    if (!m_settings.searchTree.IsSearchable())
    {
        // No surface left to measure against: an earlier run's deviations,
        // colours and statistics would pass for current ones.
        cON_AVTree::Remove(mesh);
        mesh->m_C.SetCount(0);
        return;
    }
    if (!HostPass(m_settings, mesh, m_settings.tolerance, m_settings.maximum))
        return;
    stMeshRun run;
    run.tree = cON_AVTree::Find(mesh);
    run.vertexCount = std::uint32_t(mesh->VertexCount());
    run.fingerprint = Fingerprint(*mesh);
    run.treeGeneration = m_treeGeneration;
    run.startDistance = start;
    try
    {
        m_runs[mesh] = run;
    }
    catch (const std::bad_alloc&)
    {
        // Without the record the next change of tolerance measures again.
    }
}

void CVTLAnalysisMode::RecolourMesh(const CDezazDoc& doc, ON_Mesh* mesh)
{
    BuildSearchTree(doc, CollectCADMeshes(doc));
    MeasureMesh(mesh);
    RefreshLabels(doc);
}

void CVTLAnalysisMode::RecolourMeshes(const CDezazDoc& doc, const std::vector<ON_Mesh*>& meshes)
{
    const ON_MappingTag tag = ColourTag();
    for (ON_Mesh* mesh : meshes)
    {
        if (!mesh)
            continue;
        MeasureMesh(mesh);
        mesh->m_Ctag = tag;
    }
    std::vector<stDeviationJob>().swap(m_settings.hostJobs);
    RefreshLabels(doc);
}

bool CVTLAnalysisMode::AddLabel(const ON_Mesh* mesh, const ON_3dPoint& picked, const ON_UUID& object)
{
    const cON_AVTree* tree = cON_AVTree::Find(const_cast<ON_Mesh*>(mesh));
    if (!tree)
        return false;
    stDeviationLabel label;
    label.object = object;
    label.picked = picked;
    if (!MatchNearestRecord(label, *tree))
        return false;
    m_labels.push_back(label);
    return true;
}

std::vector<unsigned int> CVTLAnalysisMode::AnalysedObjects(const CDezazDoc& doc,
                                                            std::vector<stAnalysedObject>* trees) const
{
    std::vector<unsigned int> serials;
    CDezazObjectIterator it(doc, kAllStates, kAllCategories);
    for (const CDezazObject* object = it.First(); object; object = it.Next())
    {
        if (!object->InAnalysisMode(kVTLAnalysisModeId))
            continue;
        const cON_AVTree* tree = cON_AVTree::Find(const_cast<ON_Geometry*>(object->Geometry()));
        if (!tree)
            continue;
        serials.push_back(object->RuntimeSerialNumber());
        if (trees)
            trees->push_back({object->ModelObjectId(), tree});
    }
    return serials;
}

void CVTLAnalysisMode::RefreshLabels(const CDezazDoc& doc)
{
    std::vector<stAnalysedObject> trees;
    m_labelObjects = AnalysedObjects(doc, &trees);
    ResolveDeviationLabels(m_labels, trees);
}

void CVTLAnalysisMode::RefreshLabelsIfObjectsChanged(const CDezazDoc& doc)
{
    if (m_labels.empty())
        return;
    if (AnalysedObjects(doc) != m_labelObjects)
        RefreshLabels(doc);
}

CVTLAnalysisMode& TheVTLAnalysisMode()
{
    // Built when the library loads, so that the host knows the mode before
    // any document names it.
    static CVTLAnalysisMode mode;
    return mode;
}

namespace
{
// Constructs the mode at load time rather than at first use.
[[maybe_unused]] const CVTLAnalysisMode& theModeAtLoad = TheVTLAnalysisMode();
} // namespace
