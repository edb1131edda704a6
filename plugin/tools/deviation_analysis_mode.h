// The host visual analysis mode "vtl analysis": scanned host meshes drawn in
// the colours of their signed deviation from the document's surfaces. Its
// one instance also keeps what the analyser shares: the tolerance and the
// scale's limit, the CAD search tree, the surfaces the analyser hid and the
// deviation labels the user picked.
//
// The search tree stays built between runs while the CAD side is the same
// objects meshed alike, and a mesh measured before against that tree is
// recoloured from its stored deviations when the new search distance is not
// larger: changing the tolerance then costs a recolour, not a measurement.
#pragma once

#include "analysis/deviation_pass.h"
#include "modes/deviation_labels.h"
#include "platform/geometry/mesh_parameters.h"
#include "platform/geometry/point.h"
#include "platform/host/dezaz_object.h"
#include "platform/host/visual_analysis_mode.h"

#include <cfloat>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

class CDezazDoc;
class cThreadPool;

// {D366CFF0-D0A6-4B24-A8CF-7C92DA1CF853}
inline constexpr ON_UUID kVTLAnalysisModeId = {
    0xD366CFF0, 0xD0A6, 0x4B24, {0xA8, 0xCF, 0x7C, 0x92, 0xDA, 0x1C, 0xF8, 0x53}};

// A label the user picked on an analysed mesh: it shows the deviation of the
// analysed vertex nearest to the picked point.
struct stDeviationLabel
{
    ON_UUID object = ON_nil_uuid; // the mesh object it was picked on
    ON_3dPoint picked;
    ON_3dPoint point;            // the analysed vertex
    float deviation = FLT_MAX;   // FLT_MAX: no value there
    bool found = false;
    double distance = FLT_MAX;   // from the picked point to the vertex
};

struct stUuidLess
{
    bool operator()(const ON_UUID& a, const ON_UUID& b) const;
};

// The unit text of a host unit system value ("mm", ...; empty for others).
const wchar_t* UnitSystemText(int unitSystem);

class CVTLAnalysisMode : public CDezazVisualAnalysisMode
{
public:
    CVTLAnalysisMode();
    ~CVTLAnalysisMode() override;

    void GetAnalysisModeName(ON_wString& name) const override;
    bool ObjectSupportsAnalysisMode(const CDezazObject* object) const override;
    bool ShowIsoCurves() const override { return m_isoCurves; }
    // Recolours the meshes whose colour tag is not the mode's.
    void UpdateVertexColors(const CDezazObject* object, ON_SimpleArray<ON_Mesh*>& meshes) const override;

    // The colour scale: false, unchanged, when the tolerance and limit cannot
    // drive it (IsValidRampRange).
    bool SetRange(float tolerance, float maximum, bool colourOutOfRange);
    float Tolerance() const { return m_settings.tolerance; }
    float Maximum() const { return m_settings.maximum; }
    bool ColourOutOfRange() const { return m_settings.colourOutOfRange; }
    void SetThreadPool(cThreadPool* pool) { m_settings.pool = pool; }
    stAnalysisSettings& Settings() { return m_settings; }

    // The mode's colour tag: its id, identity transform.
    static ON_MappingTag ColourTag();

    // The CAD side: the render meshes of every surface, polysurface and
    // extrusion that is visible or that the analyser hid; never meshes.
    std::vector<CDezazObjRef> CollectCADMeshes(const CDezazDoc& doc) const;
    // Builds both trees over the references' meshes, unless they hold these
    // objects meshed alike already. True when the tree can be searched.
    bool BuildSearchTree(const CDezazDoc& doc, const std::vector<CDezazObjRef>& cad);
    // Frees the trees and every stored run.
    void ReleaseSearchTree();
    // How often the trees were built (the benchmark and tests count it).
    std::uint64_t TreeBuilds() const { return m_treeBuilds; }

    // The whole analysis of one mesh of the document.
    void RecolourMesh(const CDezazDoc& doc, ON_Mesh* mesh);
    // The pass for each mesh against the tree built by the caller; each mesh
    // gets the mode's colour tag. Then the labels are refreshed.
    void RecolourMeshes(const CDezazDoc& doc, const std::vector<ON_Mesh*>& meshes);

    // A label at the analysed vertex of the mesh nearest to the point, kept
    // on the object of that id; false when the mesh carries no analysis.
    bool AddLabel(const ON_Mesh* mesh, const ON_3dPoint& picked, const ON_UUID& object);
    // Every label takes the nearest analysed vertex of its own object; the
    // labels of objects that are gone or no longer in this mode are dropped.
    void RefreshLabels(const CDezazDoc& doc);
    // RefreshLabels when the set of analysed objects changed since the last
    // refresh (one was deleted or replaced): no label outlives its mesh.
    void RefreshLabelsIfObjectsChanged(const CDezazDoc& doc);
    void ClearLabels() { m_labels.clear(); }
    const std::vector<stDeviationLabel>& Labels() const { return m_labels; }

    // The ids of the surfaces the analyser hid.
    std::set<ON_UUID, stUuidLess>& HiddenSurfaces() { return m_hiddenSurfaces; }
    const std::set<ON_UUID, stUuidLess>& HiddenSurfaces() const { return m_hiddenSurfaces; }

private:
    // What a mesh's stored deviations were measured against.
    struct stMeshRun
    {
        const void* tree = nullptr;
        std::uint32_t vertexCount = 0;
        std::uint64_t fingerprint = 0;
        std::uint64_t treeGeneration = 0;
        double startDistance = 0.0;
    };
    struct stTreeKey
    {
        std::vector<unsigned int> serials;
        ON_MeshParameters meshing;
    };

    // The pass for one mesh, or the recolour from its stored run.
    void MeasureMesh(ON_Mesh* mesh);
    bool RecolourFromStoredRun(ON_Mesh* mesh, double startDistance);
    // The serials of the document's objects in this mode that carry an
    // analysis, and (when asked) their ids and trees, in document order.
    std::vector<unsigned int> AnalysedObjects(const CDezazDoc& doc,
                                              std::vector<stAnalysedObject>* trees = nullptr) const;

    bool m_isoCurves = false;
    std::set<ON_UUID, stUuidLess> m_hiddenSurfaces;
    stAnalysisSettings m_settings;
    std::vector<stDeviationLabel> m_labels;
    // The CAD meshes the tree points into, kept alive with it.
    std::vector<CDezazObjRef> m_treeMeshes;
    stTreeKey m_treeKey;
    bool m_treeBuilt = false;
    std::uint64_t m_treeGeneration = 0;
    std::uint64_t m_treeBuilds = 0;
    std::map<const ON_Mesh*, stMeshRun> m_runs;
    std::vector<unsigned int> m_labelObjects;
};

// The mode of the plug-in library, registered with the host while it is loaded.
CVTLAnalysisMode& TheVTLAnalysisMode();
