// Range-image data (a scanner's points with their triangulation): the least
// interface the drawer needs of it, its points and triangles as iterators,
// and the drawer, whose passes are kept in display lists on the object.
#pragma once

#include "render/scene_object_renderer.h"

#include <cstdint>
#include <memory>

class IPointsIterator;
class ITriIterator;
class cDecoratorObject;

inline constexpr GUID IID_IRangeImageData = {0x6C1D3A52, 0x41E0, 0x4B8E, {0x9A, 0x11, 0x30, 0x6B, 0x2F, 0x58, 0xD1, 0x12}};

class IRangeImageData
{
public:
    virtual ~IRangeImageData() = default;
    // Iterators over what is to be drawn: First, then Next until IsDone.
    virtual std::unique_ptr<IPointsIterator> CreatePointsIterator() = 0;
    virtual std::unique_ptr<ITriIterator> CreateTriIterator() = 0;
};

class cRIDataGLRenderer : public ISceneObjectRenderer
{
public:
    static constexpr const wchar_t* kSolidCache = L"RISolidCache";
    static constexpr const wchar_t* kPointsCache = L"RIPointsCache";
    static constexpr const wchar_t* kWireframeCache = L"RIWFRCache";
    static constexpr const wchar_t* kBoundariesCache = L"RIBoundariesCache";
    // The solid pass looks at its budget every this many triangles.
    static constexpr std::uint32_t kTriangleCheckInterval = 500;

    std::uint32_t Render(const stDrawContext& context) override;
    bool AttachObject(ISceneObject* object) override;

    virtual std::uint32_t DrawPoints(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawSolid(std::uint32_t budget, std::uint8_t* complete);
    // Range images have no boundary pass.
    virtual std::uint32_t DrawBoundaries(std::uint32_t budget, std::uint8_t* complete);
    virtual std::uint32_t DrawWireframe(std::uint32_t budget, std::uint8_t* complete);

private:
    const cDecoratorObject* m_decorator = nullptr;
    stDrawContext m_context;
    ISceneObject* m_object = nullptr;
    IRangeImageData* m_data = nullptr;
};
