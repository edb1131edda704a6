// The split of a segmented mesh into host mesh objects: the sharp band (the
// visible selected triangles) takes the place of the dialog's host object in
// orange, and every region between sharp bands becomes a mesh object of its
// own in the region palette. The segmentation dialog owns one splitter and
// calls it from its Split button.
#pragma once

#include "core/mesh.h"
#include "platform/geometry/color.h"
#include "platform/geometry/mesh.h"
#include "platform/geometry/uuid.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CDezazDoc;
class I3DScene;

// The colour of the sharp band's mesh (red 250, green 115, blue 0).
inline constexpr unsigned int kSharpBandColour = 29690;

// Region L's colour: palette entry L mod 12.
ON_Color SegmentRegionColour(std::uint32_t label);

// A host mesh of the listed triangles (indices into the mesh): its vertices
// are the triangles' vertices in ascending index order (the mesh's vertex
// records are not written). Triangles that use an excluded vertex (flag
// bit 0) or an index outside the vertices are left out, and so are vertices
// only they use. Face and vertex normals are computed, the closed state is
// "not known" and the arrays are compacted. Never null; the mesh may be empty.
std::unique_ptr<ON_Mesh> BuildSubMesh(cMesh& mesh, const std::vector<std::uint32_t>& triangles);

class cSegmentationSplitter
{
public:
    // The document to change, the id of the host mesh object the dialog
    // loaded, the caption of its message boxes, and the runtime serial
    // number of the object the dialog copied (0: whichever object has the
    // id).
    cSegmentationSplitter(CDezazDoc* doc, const ON_UUID& hostObjectId, std::wstring caption,
                          unsigned int hostObjectSerial = 0);

    // Puts a valid sub-mesh into the document: in place of the host object
    // when replace is set (the new object's layer is remembered for later
    // splits), else as a new object; a non-zero colour becomes the object's
    // own colour, on the remembered layer when there is one. True only when
    // the mesh went into the document.
    bool CreateSubMeshObjects(std::unique_ptr<ON_Mesh> mesh, unsigned int colour, bool replace);

    // The whole split over every mesh of the scene (the first one replaces the
    // host object, the others add their band). False, with the document
    // unchanged, when there is no document or the host object is no longer a
    // mesh object, or another object was put in its place since the dialog
    // copied it (the user is told "There is no active mesh.").
    bool OnSplitIntoSubMeshes(I3DScene* scene);

    // The most regions one mesh's split makes: every 24-bit label but the
    // unlabelled value. Marks that cut a mesh into more tell the user and
    // change nothing of the document for it, and OnSplitIntoSubMeshes then
    // returns false. A smaller number may stand in for it (tests).
    static constexpr std::uint32_t kMostRegions = kTriangleUnlabelled;
    void SetMostRegions(std::uint32_t most) { m_mostRegions = std::min(most, kMostRegions); }

    // The layer of the last replacing split's object (-1: none yet); kept for
    // the life of the process, as the user's choice of layer.
    static int RememberedLayerIndex();
    static void ForgetRememberedLayer();

private:
    bool SplitMesh(cMesh& mesh, bool replace);
    // CreateSubMeshObjects of a sub-mesh whose validity (as ON_Mesh::IsValid
    // tells it) its builder found already.
    bool AddSubMeshObject(std::unique_ptr<ON_Mesh> mesh, bool valid, unsigned int colour, bool replace);

    CDezazDoc* m_doc;
    ON_UUID m_hostObjectId;
    unsigned int m_hostObjectSerial;
    std::wstring m_caption;
    std::uint32_t m_mostRegions = kMostRegions;
};
