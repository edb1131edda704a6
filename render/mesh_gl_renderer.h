// The GL drawer of triangle meshes: points, flat or smooth solid,
// wireframe, boundary edges and bounding box, as the object's display
// attributes ask. The solid is kept in a display list on the scene object
// below kMaxListTriangles; bigger meshes and frames that forbid lists are
// drawn immediately within the frame's time budget.
#pragma once

#include "render/scene_object_renderer.h"

#include <cstdint>

class cMesh;
class cDecoratorObject;

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

protected:
    // The two immediate solid passes (plain, then selected) inside one
    // glBegin/glEnd; stops at the budget but always closes the block.
    std::uint32_t DrawSolidTriangles(std::uint32_t budget, std::uint8_t* complete, bool flat);
    // Sends the colour of a vertex before it (the host-mesh drawer colours
    // by vertex).
    virtual void BeforeVertex(const struct cVertex&) {}
    virtual void BeginSolid() {}
    virtual void EndSolid() {}

    const cDecoratorObject* m_decorator = nullptr;
    stDrawContext m_context;
    ISceneObject* m_object = nullptr;
    cMesh* m_mesh = nullptr;
};

// The host mesh of a dialog's view: the solid may take its colours from the
// vertices' R, G, B bytes.
class cDezazMeshGLRenderer : public cMeshGLRenderer
{
public:
    void SetVertexColours(bool on) { m_vertexColours = on; }
    bool HasVertexColours() const { return m_vertexColours; }

protected:
    void BeforeVertex(const cVertex& vertex) override;
    void BeginSolid() override;
    void EndSolid() override;

private:
    bool m_vertexColours = false;
};
