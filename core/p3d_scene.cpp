#include "core/p3d_scene.h"

#include "core/bounding_box.h"

namespace
{

SectionCurveBoxResolver g_sectionCurveBoxResolver = nullptr;

struct DefaultColour
{
    std::uint32_t id;
    const wchar_t* key;
    const wchar_t* label;
    std::uint32_t value;
};

constexpr DefaultColour kDefaultColours[6] = {
    {kColourBackgroundTop, L"BackgroundTop", L"Background Top", 0x9F9F9F},
    {kColourBackgroundBottom, L"BackgroundBottom", L"Background Bottom", 0x9F9F9F},
    {kColourMeshFront, L"MeshFront20", L"Object Front", 0x827A79},
    {kColourMeshBack, L"MeshBack20", L"Object Back", 0x444444},
    {kColourSelection, L"Selection", L"Selection", 0x00009D},
    {kColourMeshBoundaries, L"MeshBoundaries", L"Boundaries", 0x0000FF},
};

void SetBit(std::uint32_t& word, std::uint32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

} // namespace

void SetSectionCurveBoxResolver(SectionCurveBoxResolver resolver) { g_sectionCurveBoxResolver = resolver; }

cP3DScene::cP3DScene(cRegistryStore* store) : cBase3DScene(store)
{
    m_decorator.SetColour(kDecoratorFront, 159 / 255.0f, 159 / 255.0f, 159 / 255.0f, 1.0f);
    m_decorator.SetColour(kDecoratorBack, 159 / 255.0f, 159 / 255.0f, 159 / 255.0f, 1.0f);
    m_decorator.SetColour(kDecoratorSelection, 157 / 255.0f, 0.0f, 0.0f, 1.0f);
}

void cP3DScene::SectionViewBox(float box[6])
{
    MakeEmptyBox3f(box);
    if (m_referenceObject == nullptr || g_sectionCurveBoxResolver == nullptr)
        return;
    float curveBox[6];
    MakeEmptyBox3f(curveBox);
    if (!g_sectionCurveBoxResolver(m_referenceObject, curveBox))
        return;
    // Enlarged about its centre so the section does not touch the view's
    // edges.
    for (int i = 0; i < 3; ++i)
    {
        double lo = curveBox[i];
        double hi = curveBox[i + 3];
        double c = (lo + hi) / 2.0;
        box[i] = static_cast<float>(c - (c - lo) * 1.2);
        box[i + 3] = static_cast<float>(c + (hi - c) * 1.2);
    }
}

void cP3DScene::GetBoundingBox(float box[6])
{
    if (m_boxMode == kBoxModeSectionView)
        SectionViewBox(box);
    else
        cBase3DScene::GetBoundingBox(box);
}

void cP3DScene::GetObjectBoundingBox(ISceneObject* object, float box[6])
{
    if (m_boxMode == kBoxModeSectionView)
        SectionViewBox(box);
    else
        cBase3DScene::GetObjectBoundingBox(object, box);
}

float* cP3DScene::ColourOf(std::uint32_t id)
{
    ISceneObject* main = GetFirstObject();
    switch (id)
    {
    case kColourBackgroundTop:
        return m_decorator.m_colours[kDecoratorFront];
    case kColourBackgroundBottom:
        return m_decorator.m_colours[kDecoratorBack];
    case kColourMeshFront:
        return main ? main->GetDecorator().m_colours[kDecoratorFront] : nullptr;
    case kColourMeshBack:
        return main ? main->GetDecorator().m_colours[kDecoratorBack] : nullptr;
    case kColourSelection:
        return main ? main->GetDecorator().m_colours[kDecoratorSelection] : nullptr;
    case kColourMeshBoundaries:
        return main ? main->GetDecorator().m_colours[kDecoratorBoundary] : nullptr;
    default:
        return nullptr;
    }
}

void cP3DScene::InitDisplayProperties()
{
    for (const DefaultColour& colour : kDefaultColours)
    {
        const float* rgba = ColourOf(colour.id);
        if (rgba == nullptr)
            continue;
        stColourEntry entry;
        entry.id = colour.id;
        entry.defaultValue = colour.value;
        entry.currentValue = ColourToRegistryValue(rgba);
        entry.label = colour.label;
        entry.key = colour.key;
        m_colours.Entries().push_back(entry);
    }
}

void cP3DScene::ApplyDisplayProperties()
{
    for (std::uint32_t id = kColourBackgroundTop; id <= kColourMeshBoundaries; ++id)
    {
        stColourEntry* entry = m_colours.Find(id);
        float* rgba = ColourOf(id);
        if (entry != nullptr && rgba != nullptr)
            RegistryValueToColour(entry->currentValue, rgba);
    }
}

bool cP3DScene::AddObject(ISceneObject* object)
{
    if (object == nullptr || !object->HasGeometry())
        return false;
    return cBase3DScene::AddObject(object);
}

bool cP3DScene::IsWireframeShown()
{
    ISceneObject* main = GetFirstObject();
    return main != nullptr && (main->GetDecorator().m_mode & kDisplayWireframe) != 0;
}

bool cP3DScene::IsBoundariesShown()
{
    ISceneObject* main = GetFirstObject();
    return main != nullptr && (main->GetDecorator().m_flags & kDecoratorBoundaries) != 0;
}

void cP3DScene::SetDisplayMode(std::uint32_t mode)
{
    if (ISceneObject* main = GetFirstObject())
        main->GetDecorator().m_mode = mode;
}

void cP3DScene::ShowWireframe(bool on)
{
    if (ISceneObject* main = GetFirstObject())
        SetBit(main->GetDecorator().m_mode, kDisplayWireframe, on);
}

void cP3DScene::ShowBoundaries(bool on)
{
    if (ISceneObject* main = GetFirstObject())
        SetBit(main->GetDecorator().m_flags, kDecoratorBoundaries, on);
}
