// Meshes with texture images: the least interface the drawer needs of such
// an object (texture records with their images and GL names, texture parts
// that map runs of textured-triangle records to a texture, texture
// coordinates), the drawer, and the binding of the records' images to a
// renderer's textures.
#pragma once

#include "render/mesh_gl_renderer.h"
#include "render/rgb_image.h"

#include <cstdint>
#include <vector>

class I3DSceneRenderer;

inline constexpr GUID IID_ITexturedMeshObject = {
    0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x11}};
inline constexpr std::uint32_t kNoTextureName = 0xFFFFFFFFu;

struct stTextureRecord
{
    cRGBImage image;
    std::uint32_t name = kNoTextureName; // the GL texture in the bound renderer
};

// Textured-triangle records first to last (both included) use texture
// record `texture`.
struct stTexturePart
{
    std::uint32_t texture = 0;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
};

struct stTexturedTriangle
{
    std::uint32_t texCoord[3] = {0, 0, 0}; // indices of (s, t) pairs
    std::uint32_t triangle = 0;            // index of the mesh triangle
};

class ITexturedMeshObject
{
public:
    virtual ~ITexturedMeshObject() = default;
    virtual bool HasTexture() const = 0;
    virtual std::vector<stTextureRecord>& GetTextureRecords() = 0;
    virtual const std::vector<stTexturePart>& GetTextureParts() const = 0;
    virtual const std::vector<stTexturedTriangle>& GetTexturedTriangles() const = 0;
    // (s, t) pairs.
    virtual const std::vector<float>& GetTextureCoordinates() const = 0;
    // The renderer holding the records' textures; null until bound.
    virtual I3DSceneRenderer* GetTextureRenderer() const = 0;
    virtual void SetTextureRenderer(I3DSceneRenderer* renderer) = 0;
};

// True when every texture record of the object carries a GL name.
bool AllTexturesBound(ITexturedMeshObject* object);

// Stores the renderer in the object and uploads every record still without
// a name (an image without pixels keeps none).
void BindTexturesToCache(ITexturedMeshObject* object, I3DSceneRenderer* renderer);

class cTexturedMeshGLRenderer : public cMeshGLRenderer
{
public:
    static constexpr const wchar_t* kTexturedCacheName = L"TexturedMeshSolidCache";

    bool AttachObject(ISceneObject* object) override;
    // Nothing (0) without triangles, without a texture, or with a record
    // whose texture is not bound.
    std::uint32_t Render(const stDrawContext& context) override;
    std::uint32_t DrawSolid(std::uint32_t budget, std::uint8_t* complete) override;

    // The GL name of record `index` (kNoTextureName to unbind it).
    void SetTexture(std::uint32_t index, std::uint32_t name);
    // A new image for record `index`; its old name no longer applies.
    void SetTextureImage(std::uint32_t index, const cRGBImage& image);

private:
    void DrawTexturedTriangles();

    ITexturedMeshObject* m_textured = nullptr;
};
