// The plug-in's own scene, which every dialog that shows a mesh owns: the
// base scene plus the table of named display colours kept in the registry,
// display switches that the frame renderer reads, and the box modes of the
// section view and the deviation display. The first object of the list is
// the main object: the display setters act on it alone.
#pragma once

#include "core/base.h"
#include "core/scene.h"

#include <cstdint>

// Ids of the colour table's entries.
inline constexpr std::uint32_t kColourBackgroundTop = 1;
inline constexpr std::uint32_t kColourBackgroundBottom = 2;
inline constexpr std::uint32_t kColourMeshFront = 3;
inline constexpr std::uint32_t kColourMeshBack = 4;
inline constexpr std::uint32_t kColourSelection = 5;
inline constexpr std::uint32_t kColourMeshBoundaries = 6;

// Box modes.
inline constexpr std::uint32_t kBoxModeNormal = 0;
inline constexpr std::uint32_t kBoxModeSectionView = 1;
inline constexpr std::uint32_t kBoxModeDeviation = 2;

// Fills box with the union of the local boxes of the section polylines of
// the curve that the reference object yields; false when it yields none.
// The shape model, which knows what a reference object is, registers it.
using SectionCurveBoxResolver = bool (*)(IBase* referenceObject, float box[6]);
void SetSectionCurveBoxResolver(SectionCurveBoxResolver resolver);

class cP3DScene : public cBase3DScene
{
public:
    explicit cP3DScene(cRegistryStore* store);

    void GetBoundingBox(float box[6]) override;
    void GetObjectBoundingBox(ISceneObject* object, float box[6]) override;
    // Fills the colour table from the current decorator colours (entries 3
    // to 6 only with a main object).
    void InitDisplayProperties() override;
    // Gives the table's values back to the decorators.
    void ApplyDisplayProperties() override;
    // Refuses (false) an object without geometry, which stays the caller's.
    bool AddObject(ISceneObject* object) override;
    bool IsWireframeShown() override;
    bool IsBoundariesShown() override;
    void SetDisplayMode(std::uint32_t mode) override;
    void ShowWireframe(bool on) override;
    void ShowBoundaries(bool on) override;

    // Display switches read by the frame renderer.
    std::uint32_t m_displayWord = 256;
    std::uint32_t m_displayWord2 = 1;
    float m_displayScale = 1.0f;
    std::uint32_t m_deviationDisplay = 0; // set by the deviation mode
    // Set by the shape tools (through SetSceneReferenceObject of the shape
    // model, which also gives the scene its section-view box); not owned.
    IBase* m_referenceObject = nullptr;
    std::uint8_t m_switch1 = 1;
    std::uint8_t m_switch2 = 1;
    std::uint8_t m_switch3 = 1;
    std::uint32_t m_boxMode = kBoxModeNormal;
    // While the box mode is kBoxModeDeviation: the meshes' points during a
    // navigation drag show only the vertices of the selection that the
    // deviation page measured.
    std::uint8_t m_deviationSelectionOnly = 0;

private:
    void SectionViewBox(float box[6]);
    // The decorator colour that a colour entry stands for, or null.
    float* ColourOf(std::uint32_t id);
};
