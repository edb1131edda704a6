// The GL drawer of triangle meshes: points, flat or smooth solid,
// wireframe, boundary edges and bounding box, as the object's display
// attributes ask. The solid is kept in a display list on the scene object
// below kMaxListTriangles; bigger meshes and frames that forbid lists are
// drawn immediately within the frame's time budget.
#pragma once

#include "render/scene_object_renderer.h"
#include "render/solid_pass_pipeline.h"
#include "render/triangle_batch.h"

#include <cstdint>
#include <vector>

class cMesh;
class cDecoratorObject;
class CTriangleColourProperties;

class cMeshGLRenderer : public ISceneObjectRenderer
{
public:
    // Meshes of this many triangles or more are never put in a list.
    static constexpr std::uint32_t kMaxListTriangles = 3000000;
    // The budget is looked at every this many triangles or points.
    static constexpr std::uint32_t kTriangleCheckInterval = 1024;
    static constexpr std::uint32_t kPointCheckInterval = 1500;
    static constexpr const wchar_t* kSolidCacheName = L"MeshSolidCache";

    std::uint32_t Render(const stDrawContext& context) override;
    bool AttachObject(ISceneObject* object) override;

    // Each pass returns 0, or the elapsed milliseconds when it stopped at
    // its budget (complete then 0).
    virtual std::uint32_t DrawPoints(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawSolid(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawBoundaries(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawWireframe(std::uint32_t budget, std::uint8_t* complete);

    ISceneObject* GetObject() const { return m_object; }
    cMesh* GetMesh() const { return m_mesh; }

    // Interaction frames draw points in an order whose every prefix is
    // spread over the whole mesh: every this many-th vertex first, then the
    // ones at other offsets. A prime spacing keeps the first sweeps from
    // lining up with the rows of a gridded scan.
    static constexpr std::uint32_t kProgressiveSpacing = 61;
    // The k-th offset of that order (0 <= k < spacing): steps of 38, close to
    // spacing / golden ratio, so every prefix of offsets is evenly spread.
    static std::uint32_t ProgressiveOffset(std::uint32_t k);

    // The R, G, B of triangles tagged t (1 and up) in a solid coloured by
    // tags; the colours repeat after kTagColourCount.
    static constexpr std::uint32_t kTagColourCount = 8;
    static const std::uint8_t* TagColour(std::uint8_t tag);

protected:
    // The two immediate solid passes (plain, then selected) in batches of
    // client vertex arrays, gathered on a worker thread; the budget is looked
    // at every kTriangleCheckInterval triangles, and a pass it stops still
    // draws what it gathered.
    // The selected triangles take the marks' material.
    std::uint32_t DrawSolidTriangles(std::uint32_t budget, std::uint8_t* complete, bool flat,
                                     const float marks[4]);
    // The same triangles one GL call at a time, without a budget, for the
    // display list.
    void RecordSolidTriangles(bool flat, const float marks[4]);
    // Whether the solid takes its colours from the vertices' R, G, B bytes
    // (the host-mesh drawer).
    virtual bool UsesVertexColours() const { return false; }
    // The per-triangle tags that colour the solid (the host-mesh drawer);
    // null, or no tag set, leaves the solid in its materials.
    virtual const CTriangleColourProperties* TriangleTags() const { return nullptr; }
    // Colour material on the front faces while the solid is coloured per
    // vertex or per triangle.
    void BeginSolid();
    void EndSolid();
    // Fills m_colouring for this frame from the tags and the decorator
    // (m_triangleColoured stays false when no triangle carries a tag).
    void PrepareTriangleColouring(const float front[4]);
    // What a solid display list shows besides the positions: the marks of
    // the triangles, their colours and the display settings. A list
    // recorded from another key is recorded again.
    std::uint64_t SolidContentKey(bool flat, const float front[4]) const;

    const cDecoratorObject* m_decorator = nullptr;
    stDrawContext m_context;
    ISceneObject* m_object = nullptr;
    cMesh* m_mesh = nullptr;

private:
    cSolidPassPipeline m_pipeline; // keeps its buffers between frames
    stTriangleColouring m_colouring;
    bool m_triangleColoured = false; // m_colouring holds for this frame
};

// The host mesh of a dialog's view: the solid may take its colours from the
// vertices' R, G, B bytes (only meshes whose vertices hold colours: the slot
// holds a scalar otherwise), or from the tags of its triangles, where
// tagged triangles show their tag's colour and the others the material.
class cDezazMeshGLRenderer : public cMeshGLRenderer
{
public:
    void SetVertexColours(bool on) { m_vertexColours = on; }
    bool HasVertexColours() const { return m_vertexColours; }
    // The tag property of the object drawn next (null: none). Tags win over
    // vertex colours.
    void SetTriangleColours(const CTriangleColourProperties* tags) { m_tags = tags; }
    const CTriangleColourProperties* GetTriangleColours() const { return m_tags; }

protected:
    bool UsesVertexColours() const override { return m_vertexColours && !m_tags; }
    const CTriangleColourProperties* TriangleTags() const override { return m_tags; }

private:
    bool m_vertexColours = false;
    const CTriangleColourProperties* m_tags = nullptr;
};
