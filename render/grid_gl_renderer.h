// The GL drawer of vertex grids (scan grids): cells as quad strips, points,
// and grid lines as the wireframe, each pass kept in a display list on the
// scene object when the frame allows it.
#pragma once

#include "render/scene_object_renderer.h"

#include <cstdint>

class cVertexGrid;
class cDecoratorObject;

class cGridGLRenderer : public ISceneObjectRenderer
{
public:
    static constexpr const wchar_t* kSolidCache = L"VGSolidCache";
    static constexpr const wchar_t* kPointsCache = L"VGPointsCache";
    static constexpr const wchar_t* kWireframeCache = L"VGWFRCache";
    static constexpr const wchar_t* kBoundariesCache = L"VGBoundariesCache";

    std::uint32_t Render(const stDrawContext& context) override;
    bool AttachObject(ISceneObject* object) override;

    virtual std::uint32_t DrawPoints(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawSolid(std::uint32_t budget, std::uint8_t* complete);
    // Grids have no boundary pass.
    virtual std::uint32_t DrawBoundaries(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawWireframe(std::uint32_t budget, std::uint8_t* complete);

private:
    template <class TPass> std::uint32_t Pass(const wchar_t* cache, TPass&& pass);

    const cDecoratorObject* m_decorator = nullptr;
    stDrawContext m_context;
    ISceneObject* m_object = nullptr;
    cVertexGrid* m_grid = nullptr;
};
