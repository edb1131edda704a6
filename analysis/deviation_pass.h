// The deviation passes: every vertex of one analysed mesh is measured
// against the CAD search tree in parallel jobs on the plug-in's thread pool,
// coloured by the ramp and stored with its signed distance in the mesh's
// analysed-vertex tree. The host pass colours a host mesh's vertex colours;
// the scene pass colours the vertex colour bytes of a mesh scene object.
#pragma once

#include "analysis/cad_search_tree.h"
#include "analysis/colour_ramp.h"

#include <cstdint>
#include <vector>

class cThreadPool;
class ISceneObject;
class ON_Mesh;

// The vertex flag bit that tells the scene pass to measure a vertex.
inline constexpr std::uint32_t kVertexFlagCompare = 4;

// The work of one job: the vertices to measure (null entries are not
// measured), their distances (FLT_MAX until a face is found) and their
// vertex indices. With sidesBeyond, an entry that found no face within the
// start distance is searched again without a bound for the side of the
// surfaces it lies on (+1 above, -1 below; 0 otherwise); its distance stays
// FLT_MAX.
struct stDeviationJob
{
    double startDistance = 0.0;
    bool sidesBeyond = false;
    std::vector<const float*> points;
    std::vector<double> distances;
    std::vector<std::uint32_t> indices;
    std::vector<std::int8_t> sides;
};

// What the analysis keeps between passes. The owner sets the pool (null runs
// every job on the calling thread) and builds the search tree before a pass.
struct stAnalysisSettings
{
    stAnalysisSettings() { SetDefaultColourTable(colours); }

    float tolerance = 0.1f;
    float maximum = 0.5f;       // the colour scale's limit
    bool colourOutOfRange = false; // measure and colour beyond the maximum too
    tColourTable colours;
    cCADSearchTree searchTree;
    std::vector<stDeviationJob> hostJobs;
    std::vector<stDeviationJob> sceneJobs;
    cThreadPool* pool = nullptr;
};

// The grey of a vertex that found no CAD face within the search distance.
inline constexpr std::uint8_t kUnmeasuredGrey = 50;
// Scene meshes are drawn lit, so their colours are toned down by this.
inline constexpr float kSceneColourScale = 0.6f;
// Added to the nearest CAD vertex's distance to bound the face search.
inline constexpr double kVertexBoundSlack = 0.001;

// Measures and colours the host mesh; its cON_AVTree is rebuilt and holds the
// deviations and statistics, with the side of every vertex beyond the
// scale's limit (the analyser's summary counts them). False, with the mesh untouched, when the search
// tree is empty, the mesh is null or the tolerance and maximum cannot drive
// the ramp (see IsValidRampRange).
bool HostPass(stAnalysisSettings& settings, ON_Mesh* mesh, float tolerance, float maximum);

// The same for a mesh scene object: with selectionOnly only the vertices of
// selected, visible triangles are measured; excluded vertices never are.
// Unmeasured vertices are grey; the object's "VTL_AnalyzerInfo_Property"
// holds the deviations and statistics. False, with nothing changed, when the
// object has no mesh or for the reasons above.
bool ScenePass(stAnalysisSettings& settings, ISceneObject* object, bool selectionOnly, float tolerance,
               float maximum);

// What the scene pass leaves when there is nothing to measure against: every
// vertex unmeasured (grey), the "VTL_AnalyzerInfo_Property" rebuilt without
// deviations and its statistics invalid, so that no earlier pass is shown as
// current. False when the object has no mesh.
bool ClearScenePass(ISceneObject* object);

// Measures every entry of the jobs against the tree on the pool (the calling
// thread without one); distances of entries that found no face stay FLT_MAX.
void MeasureDeviationJobs(const cCADSearchTree& tree, std::vector<stDeviationJob>& jobs, cThreadPool* pool);
