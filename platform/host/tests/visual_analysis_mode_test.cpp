#include "platform/host/app_settings.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/visual_analysis_mode.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace
{

const ON_UUID kMeshModeId = ON_UuidFromString("D366CFF0-D0A6-4B24-A8CF-7C92DA1CF853");
const ON_UUID kAnyModeId = ON_UuidFromString("5A3B1C2D-0000-4000-8000-00000000AB01");

// Colours meshes in one colour and counts how often it had to.
class SolidColourMode : public CDezazVisualAnalysisMode
{
public:
    SolidColourMode(const ON_UUID& id, bool meshes_only)
        : CDezazVisualAnalysisMode(id, DezazAnalysisStyle::false_colour_style), m_meshes_only(meshes_only)
    {
    }
    void GetAnalysisModeName(ON_wString& name) const override { name = L"solid"; }
    bool ObjectSupportsAnalysisMode(const CDezazObject* object) const override
    {
        return object && (!m_meshes_only || object->ObjectType() == DezazObjectType::mesh);
    }

private:
    bool m_meshes_only;
};

ON_Mesh Triangle()
{
    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(0, 0, 0));
    mesh.SetVertex(1, ON_3dPoint(1, 0, 0));
    mesh.SetVertex(2, ON_3dPoint(0, 1, 0));
    mesh.SetTriangle(0, 0, 1, 2);
    return mesh;
}

ON_MappingTag TagOf(const ON_UUID& id)
{
    ON_MappingTag tag;
    tag.m_mapping_id = id;
    return tag;
}

TEST(VisualAnalysisMode, ModesRegisterByIdOnceAndLeaveWhenDestroyed)
{
    EXPECT_EQ(CDezazVisualAnalysisMode::Mode(kAnyModeId), nullptr);
    {
        SolidColourMode mode(kAnyModeId, false);
        EXPECT_TRUE(mode.IsRegistered());
        EXPECT_EQ(CDezazVisualAnalysisMode::Mode(kAnyModeId), &mode);
        SolidColourMode twin(kAnyModeId, true);
        EXPECT_FALSE(twin.IsRegistered());
        EXPECT_EQ(CDezazVisualAnalysisMode::Mode(kAnyModeId), &mode);
        SolidColourMode nameless(ON_nil_uuid, true);
        EXPECT_FALSE(nameless.IsRegistered());
        ON_wString name;
        mode.GetAnalysisModeName(name);
        EXPECT_STREQ(name.Array(), L"solid");
        EXPECT_FALSE(mode.ShowIsoCurves());
        EXPECT_FALSE(mode.EnableUserInterface(true));
    }
    EXPECT_EQ(CDezazVisualAnalysisMode::Mode(kAnyModeId), nullptr);
}

TEST(VisualAnalysisMode, ObjectsTakeOnlyRegisteredModesThatSupportThem)
{
    CDezazDoc doc;
    CDezazObject* mesh = doc.AddMeshObject(Triangle());
    CDezazObject* dot = doc.AddObject(std::make_unique<CDezazTextDot>(ON_3dPoint(1, 2, 3), L"A"));
    ASSERT_NE(mesh, nullptr);
    ASSERT_NE(dot, nullptr);
    EXPECT_FALSE(mesh->EnableAnalysisMode(kMeshModeId, true)); // not registered
    EXPECT_FALSE(mesh->InAnalysisMode(kMeshModeId));

    SolidColourMode mode(kMeshModeId, true);
    EXPECT_TRUE(mesh->EnableAnalysisMode(kMeshModeId, true));
    EXPECT_TRUE(mesh->EnableAnalysisMode(kMeshModeId, true)); // already on
    EXPECT_EQ(mesh->AnalysisModes().size(), 1u);
    EXPECT_TRUE(mesh->InAnalysisMode(kMeshModeId));
    EXPECT_FALSE(dot->EnableAnalysisMode(kMeshModeId, true));
    EXPECT_FALSE(dot->InAnalysisMode(kMeshModeId));
    EXPECT_TRUE(mesh->EnableAnalysisMode(kMeshModeId, false));
    EXPECT_FALSE(mesh->InAnalysisMode(kMeshModeId));
    EXPECT_TRUE(dot->EnableAnalysisMode(kMeshModeId, false)); // off stays off
}

TEST(VisualAnalysisMode, SwitchingAModeOffDropsItsColoursButNotAnothersData)
{
    SolidColourMode mode(kMeshModeId, true);
    CDezazDoc doc;
    CDezazObject* object = doc.AddMeshObject(Triangle());
    ASSERT_TRUE(object->EnableAnalysisMode(kMeshModeId, true));
    auto* mesh = const_cast<ON_Mesh*>(ON_Mesh::Cast(object->Geometry()));
    for (int i = 0; i < 3; ++i)
        mesh->m_C.Append(ON_Color(255, 0, 0));
    mesh->m_Ctag = TagOf(kMeshModeId);
    object->EnableAnalysisMode(kMeshModeId, false);
    EXPECT_FALSE(mesh->HasVertexColors());
    EXPECT_FALSE(mesh->m_Ctag.IsSet());

    // Colours some other mapping made are the mesh's own data.
    ASSERT_TRUE(object->EnableAnalysisMode(kMeshModeId, true));
    for (int i = 0; i < 3; ++i)
        mesh->m_C.Append(ON_Color(0, 0, 255));
    mesh->m_Ctag = TagOf(kAnyModeId);
    object->EnableAnalysisMode(kMeshModeId, false);
    EXPECT_TRUE(mesh->HasVertexColors());
}

TEST(VisualAnalysisMode, CopyingModesTakesThoseTheDestinationSupports)
{
    SolidColourMode meshes_only(kMeshModeId, true);
    SolidColourMode anything(kAnyModeId, false);
    CDezazDoc doc;
    CDezazObject* source = doc.AddMeshObject(Triangle());
    CDezazObject* mesh = doc.AddMeshObject(Triangle());
    CDezazObject* dot = doc.AddObject(std::make_unique<CDezazTextDot>(ON_3dPoint(0, 0, 0), L"B"));
    ASSERT_TRUE(source->EnableAnalysisMode(kMeshModeId, true));
    ASSERT_TRUE(source->EnableAnalysisMode(kAnyModeId, true));

    EXPECT_TRUE(DezazCopyAnalysisModes(source, mesh));
    EXPECT_TRUE(mesh->InAnalysisMode(kMeshModeId));
    EXPECT_TRUE(mesh->InAnalysisMode(kAnyModeId));
    EXPECT_FALSE(DezazCopyAnalysisModes(source, dot)); // one mode refuses it
    EXPECT_FALSE(dot->InAnalysisMode(kMeshModeId));
    EXPECT_TRUE(dot->InAnalysisMode(kAnyModeId));
    EXPECT_TRUE(DezazCopyAnalysisModes(source, source));
    EXPECT_EQ(source->AnalysisModes().size(), 2u);
    EXPECT_FALSE(DezazCopyAnalysisModes(nullptr, mesh));
    EXPECT_FALSE(DezazCopyAnalysisModes(source, nullptr));
}

TEST(VisualAnalysisMode, AMeshObjectIsItsOwnAnalysisMeshAndDropsOnlyItsColours)
{
    CDezazDoc doc;
    CDezazObject* object = doc.AddMeshObject(Triangle());
    ON_SimpleArray<const ON_Mesh*> meshes;
    EXPECT_EQ(object->GetMeshes(DezazMeshType::analysis_mesh, meshes), 1);
    EXPECT_EQ(object->GetMeshes(DezazMeshType::render_mesh, meshes), 1);
    ASSERT_EQ(meshes.Count(), 2);
    EXPECT_EQ(meshes[0], object->Geometry());
    EXPECT_EQ(meshes[1], object->Geometry());

    auto* mesh = const_cast<ON_Mesh*>(meshes[0]);
    for (int i = 0; i < 3; ++i)
        mesh->m_C.Append(ON_Color(0, 255, 0));
    mesh->m_Ctag = TagOf(kMeshModeId);
    object->DestroyMeshes(DezazMeshType::render_mesh);
    EXPECT_TRUE(mesh->HasVertexColors());
    object->DestroyMeshes(DezazMeshType::analysis_mesh);
    EXPECT_FALSE(mesh->HasVertexColors());
    EXPECT_FALSE(mesh->m_Ctag.IsSet());
    EXPECT_EQ(mesh->FaceCount(), 1);
}

TEST(DocumentProperties, AnalysisMeshSettingsTakeValidParametersAndResetWithTheDocument)
{
    CDezazDoc doc;
    EXPECT_TRUE(SameMeshParameters(doc.Properties().AnalysisMeshSettings(), ON_MeshParameters::FastRenderMesh));
    EXPECT_TRUE(doc.Properties().SetAnalysisMeshSettings(ON_MeshParameters::QualityRenderMesh));
    EXPECT_TRUE(SameMeshParameters(doc.Properties().AnalysisMeshSettings(), ON_MeshParameters::QualityRenderMesh));
    ON_MeshParameters bad;
    bad.m_grid_min_count = 0;
    EXPECT_FALSE(doc.Properties().SetAnalysisMeshSettings(bad));
    EXPECT_FALSE(doc.Properties().SetRenderMeshSettings(bad));
    EXPECT_TRUE(SameMeshParameters(doc.Properties().AnalysisMeshSettings(), ON_MeshParameters::QualityRenderMesh));
    doc.Clear();
    EXPECT_TRUE(SameMeshParameters(doc.Properties().AnalysisMeshSettings(), ON_MeshParameters::FastRenderMesh));
}

TEST(AppSettings, TheQualityPresetIsFinerThanTheSpeedOneAndTheRotationSwitchReadsAtItsPlace)
{
    const ON_MeshParameters& quality = CDezazAppRenderMeshSettings::DefaultQualityMeshParameters();
    const ON_MeshParameters& speed = CDezazAppRenderMeshSettings::DefaultSpeedMeshParameters();
    EXPECT_TRUE(quality.IsValid());
    EXPECT_LT(quality.m_max_angle_radians, speed.m_max_angle_radians);
    // What the analyser sets before a recalculation is kept by the document.
    CDezazDoc doc;
    ASSERT_TRUE(doc.Properties().SetAnalysisMeshSettings(quality));
    EXPECT_TRUE(SameMeshParameters(doc.Properties().AnalysisMeshSettings(), quality));

    CDezazAppViewSettings view = DezazAppSettings().ViewSettings();
    std::int32_t raw = -1;
    std::memcpy(&raw, reinterpret_cast<const unsigned char*>(&view) + 32, sizeof raw);
    EXPECT_EQ(raw, 0); // turntable by default
    view.m_rotate_about_view_axes = 1;
    DezazAppSettings().SetViewSettings(view);
    std::memcpy(&raw, reinterpret_cast<const unsigned char*>(&DezazAppSettings().ViewSettings()) + 32, sizeof raw);
    EXPECT_EQ(raw, 1);
    view.m_rotate_about_view_axes = 0;
    DezazAppSettings().SetViewSettings(view);
}

} // namespace
