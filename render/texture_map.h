// RGB images shown in the GL view as textured quads: each image is cut
// into 512 x 512 tiles kept as textures in a map attached to its scene
// object, deleted when the renderer that owns their context signals.
#pragma once

#include "core/attached_property.h"
#include "core/events.h"
#include "platform/wgl/wgl.h"
#include "render/scene_object_renderer.h"

#include <cstdint>
#include <map>
#include <string_view>
#include <vector>

class I3DSceneRenderer;
class cRGBImage;

// An image scene object answers this interface to QueryInterface.
inline constexpr GUID IID_IRGBImageObject = {0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x10}};
class IRGBImageObject
{
public:
    virtual ~IRGBImageObject() = default;
    virtual const cRGBImage* GetImage() const = 0;
    // Whether each tile is outlined in green.
    virtual bool ShowsOutlines() const = 0;
};

// One tile: its pixel rectangle in the image and where the image's pixels
// lie in its texture (s from 0 to s1, t from t0 to 1).
struct tImagePartVisualisation
{
    std::int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    GLuint texture = 0;
    float s0 = 0.0f, t0 = 0.0f, s1 = 0.0f, t1 = 1.0f;
};

class cTextureMap : public IAttachedProperty
{
public:
    static constexpr const wchar_t* kName = L"TextureMap";
    static constexpr std::int32_t kTile = 512;

    cTextureMap(std::wstring_view name, ISceneObject* owner);
    ~cTextureMap() override;

    // Follows the renderer whose context holds the textures.
    void SetRenderer(cGLRenderer* renderer);
    // Cuts the image into tiles (deleting its old ones) with the renderer's
    // context current; returns them.
    const std::vector<tImagePartVisualisation>& CreateTiles(const cRGBImage* image);
    const std::vector<tImagePartVisualisation>* FindTiles(const cRGBImage* image) const;
    // Deletes every texture.
    void Clear();

private:
    void OnRendererReleased(I3DSceneRenderer* renderer);
    void DeleteTiles(std::vector<tImagePartVisualisation>& tiles);

    std::map<const cRGBImage*, std::vector<tImagePartVisualisation>> m_tiles;
    cGLRenderer* m_renderer = nullptr;
    tEventDelegate<I3DSceneRenderer, cTextureMap> m_delegate;
};

class cRGBImageGLRenderer : public ISceneObjectRenderer
{
public:
    std::uint32_t Render(const stDrawContext& context) override;
    bool AttachObject(ISceneObject* object) override;

private:
    ISceneObject* m_object = nullptr;
    IRGBImageObject* m_image = nullptr;
};
