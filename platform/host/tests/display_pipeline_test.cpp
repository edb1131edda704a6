// Frames of a host viewport read back by pixels: what conduits get on each
// channel, how shaded meshes are lit, and where analysis colours, dots and
// markers land.
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_text_dot.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/host/display_conduit.h"
#include "platform/host/display_pipeline.h"
#include "platform/host/visual_analysis_mode.h"
#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/png_writer.h"
#include "platform/wgl/wgl.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

namespace
{

constexpr int kWidth = 200, kHeight = 160;
// The top view of the tests: 1 pixel per millimetre, the window's centre
// at (500, -300) in the model (a part away from the origin).
const ON_3dPoint kCentre(500, -300, 0);

void Snapshot(const wgl::PixelImage& image, const std::string& name)
{
    const char* directory = std::getenv("VTL_SNAPSHOT_DIR");
    if (!directory || !*directory || image.Empty())
        return;
    std::filesystem::create_directories(directory);
    wgl::WritePng(std::filesystem::path(directory) / (name + ".png"), image.width, image.height,
                  image.pixels.data());
}

class ViewportFrame : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (wgl::PlatformFailure()[0] != '\0')
            GTEST_SKIP() << wgl::PlatformFailure();
        ASSERT_TRUE(m_viewport.Create(nullptr, RECT{0, 0, kWidth, kHeight}, &m_doc));
        TopView();
    }

    // Looking down -z, x to the right, y up, kCentre in the middle.
    void TopView()
    {
        m_viewport.SetZoomExtentsOnDraw(false);
        ON_Viewport& vp = m_viewport.VP();
        ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(1, 1, 0)));
        ASSERT_TRUE(vp.SetCameraDirection(ON_3dVector(0, 0, -1)));
        ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(0, 1, 0)));
        vp.SetCameraLocation(kCentre + ON_3dVector(0, 0, 1000));
        vp.SetFrustum(-kWidth / 2.0, kWidth / 2.0, -kHeight / 2.0, kHeight / 2.0, 1, 2000);
    }

    wgl::PixelImage Frame(const std::string& name)
    {
        EXPECT_TRUE(m_viewport.DrawFrame());
        wgl::PixelImage image = wgl::ReadWindowImage(m_viewport.Window());
        Snapshot(image, name);
        return image;
    }

    ON_Color Background() const { return m_viewport.DisplayAttrs().m_background; }

    CDezazDoc m_doc;
    CDezazViewport m_viewport;
};

std::uint32_t Pixel(ON_Color c)
{
    return wgl::Rgb(static_cast<std::uint8_t>(c.Red()), static_cast<std::uint8_t>(c.Green()),
                    static_cast<std::uint8_t>(c.Blue()));
}

// A w x h rectangle of two triangles centred at the point, in the plane
// through it with the given normal (x axis kept horizontal).
ON_Mesh Rectangle(const ON_3dPoint& centre, double w, double h, double tilt_degrees = 0.0)
{
    const double a = tilt_degrees * 3.14159265358979323846 / 180.0;
    const ON_3dVector x(1, 0, 0), y(0, std::cos(a), std::sin(a));
    ON_Mesh mesh;
    mesh.SetVertex(0, centre - 0.5 * w * x - 0.5 * h * y);
    mesh.SetVertex(1, centre + 0.5 * w * x - 0.5 * h * y);
    mesh.SetVertex(2, centre + 0.5 * w * x + 0.5 * h * y);
    mesh.SetVertex(3, centre - 0.5 * w * x + 0.5 * h * y);
    mesh.SetQuad(0, 0, 1, 2, 3);
    return mesh;
}

ON_3dmObjectAttributes Coloured(ON_Color colour)
{
    ON_3dmObjectAttributes attributes;
    attributes.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
    attributes.m_color = colour;
    return attributes;
}

TEST_F(ViewportFrame, AMeshFacingTheViewCoversItsPixelsInItsFullColour)
{
    const ON_Color colour(200, 120, 40);
    const ON_3dmObjectAttributes attributes = Coloured(colour);
    m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(-30, 20, 0), 60, 40), &attributes);
    const wgl::PixelImage image = Frame("host_viewport_lit_mesh");
    // 60 x 40 mm at one pixel per mm: columns 40..100, rows 40..80.
    const auto box = wgl::BoundingBoxOf(image, Pixel(colour), 1);
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->left, 40, 1);
    EXPECT_NEAR(box->right, 100, 1);
    EXPECT_NEAR(box->top, 40, 1);
    EXPECT_NEAR(box->bottom, 80, 1);
    EXPECT_GE(wgl::CountPixels(image, Pixel(colour), 1), std::size_t(58 * 38));
    EXPECT_TRUE(wgl::SameColour(image.At(150, 120), Pixel(Background())));
}

TEST_F(ViewportFrame, ATiltedMeshIsLitByTheHeadlightsCosine)
{
    // 60 degrees to the view: 0.2 + 0.8 cos 60 = 0.6 of the material colour,
    // whichever side faces the camera.
    const ON_Color colour(250, 200, 100);
    const ON_3dmObjectAttributes attributes = Coloured(colour);
    m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(-40, 0, 0), 50, 60, 60.0), &attributes);
    m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(40, 0, 0), 50, 60, -60.0), &attributes);
    const wgl::PixelImage image = Frame("host_viewport_tilted_mesh");
    const std::uint32_t lit = wgl::Rgb(150, 120, 60);
    EXPECT_TRUE(wgl::SameColour(image.At(60, 80), lit, 2)) << std::hex << image.At(60, 80);
    EXPECT_TRUE(wgl::SameColour(image.At(140, 80), lit, 2)) << std::hex << image.At(140, 80);
    // Foreshortened: 60 mm at 60 degrees shows 30 pixels high.
    const auto box = wgl::BoundingBoxOf(image, lit, 2);
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->bottom - box->top, 30, 2);
}

TEST_F(ViewportFrame, BrepsShowTheirRenderMeshesAndCurvesTheirColour)
{
    auto brep = std::make_unique<ON_Brep>();
    auto* plane = new ON_PlaneSurface(
        ON_Plane(kCentre + ON_3dVector(50, 0, -10), ON_3dVector(1, 0, 0), ON_3dVector(0, 1, 0)));
    plane->SetExtents(0, ON_Interval(-20, 20), true);
    plane->SetExtents(1, ON_Interval(-30, 30), true);
    brep->NewFace(brep->AddSurface(plane));
    const ON_Color surface_colour(60, 160, 220), curve_colour(255, 0, 0);
    m_doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep), Coloured(surface_colour)));
    m_doc.AddObject(std::make_unique<CDezazCurveObject>(
        std::make_unique<ON_LineCurve>(kCentre + ON_3dVector(-80, -50, 0), kCentre + ON_3dVector(-20, -50, 0)),
        Coloured(curve_colour)));
    const wgl::PixelImage image = Frame("host_viewport_brep_and_curve");
    const auto face = wgl::BoundingBoxOf(image, Pixel(surface_colour), 1);
    ASSERT_TRUE(face.has_value());
    EXPECT_NEAR(face->left, 130, 1);
    EXPECT_NEAR(face->right, 170, 1);
    EXPECT_NEAR(face->top, 50, 1);
    EXPECT_NEAR(face->bottom, 110, 1);
    const auto line = wgl::BoundingBoxOf(image, Pixel(curve_colour));
    ASSERT_TRUE(line.has_value());
    EXPECT_NEAR(line->left, 20, 1);
    EXPECT_NEAR(line->right, 80, 1);
    EXPECT_NEAR(line->top, 130, 1);
    EXPECT_LE(line->bottom - line->top, 2);
}

// Records what the pipeline asked of it.
class RecordingConduit : public CDezazDisplayConduit
{
public:
    explicit RecordingConduit(UINT mask) : CDezazDisplayConduit(mask) {}
    bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel) override
    {
        channels.push_back(channel);
        EXPECT_EQ(pipeline.GetChannelAttrs()->m_nChannel, channel);
        if (channel == SC_CALCBOUNDINGBOX)
        {
            box_seen = pipeline.GetChannelAttrs()->m_BoundingBox;
            if (extra.IsValid())
                pipeline.GetChannelAttrs()->m_BoundingBox.Union(extra);
            if (disable_in_box)
                Disable();
        }
        if (channel == SC_DRAWOBJECT && preview)
            pipeline.DrawObject(preview);
        if (channel == SC_DRAWFOREGROUND && marker)
            pipeline.GetDezazVP().DrawInferencePoint(*marker, ON_Color(255, 0, 0));
        return true;
    }
    void NotifyConduit(notification what, CDezazDisplayPipeline&) override { notes.push_back(what); }

    std::vector<UINT> channels;
    std::vector<notification> notes;
    ON_BoundingBox box_seen;
    ON_BoundingBox extra;
    const CDezazObject* preview = nullptr;
    const ON_3dPoint* marker = nullptr;
    bool disable_in_box = false;
};

TEST_F(ViewportFrame, ConduitsGetTheirChannelsInFrameOrderWithTheSceneBox)
{
    m_doc.AddMeshObject(Rectangle(kCentre, 20, 10));
    ON_3dmObjectAttributes hidden;
    hidden.SetMode(ON_3dmObjectAttributes::object_mode::hidden_object);
    m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(0, 0, 400), 300, 300), &hidden);
    RecordingConduit all(SC_CALCBOUNDINGBOX | SC_DRAWOBJECT | SC_DRAWFOREGROUND);
    RecordingConduit box_only(SC_CALCBOUNDINGBOX);
    RecordingConduit never(SC_CALCBOUNDINGBOX | SC_DRAWOBJECT);
    EXPECT_FALSE(all.IsEnabled());
    all.Enable();
    box_only.Enable();
    all.Enable(); // once is enough
    EXPECT_TRUE(all.IsEnabled());
    Frame("host_viewport_conduit_channels");
    EXPECT_EQ(all.channels, (std::vector<UINT>{SC_CALCBOUNDINGBOX, SC_DRAWOBJECT, SC_DRAWFOREGROUND}));
    EXPECT_EQ(box_only.channels, (std::vector<UINT>{SC_CALCBOUNDINGBOX}));
    EXPECT_TRUE(never.channels.empty());
    EXPECT_EQ(all.notes, (std::vector<CDezazDisplayConduit::notification>{
                             CDezazDisplayConduit::notification::frame_started,
                             CDezazDisplayConduit::notification::frame_finished}));
    // The visible objects' box: the hidden one does not count.
    EXPECT_EQ(all.box_seen.m_min, ON_3dPoint(490, -305, 0));
    EXPECT_EQ(all.box_seen.m_max, ON_3dPoint(510, -295, 0));

    all.Disable();
    box_only.disable_in_box = true;
    box_only.channels.clear();
    all.channels.clear();
    Frame("host_viewport_conduit_disabled");
    EXPECT_TRUE(all.channels.empty());
    EXPECT_EQ(box_only.channels, (std::vector<UINT>{SC_CALCBOUNDINGBOX}));
    EXPECT_FALSE(box_only.IsEnabled());
}

TEST_F(ViewportFrame, AConduitsBoxWidensTheExtentsAndItsPreviewAndMarkersAreDrawn)
{
    m_viewport.SetZoomExtentsOnDraw(true);
    const ON_Color colour(240, 240, 240);
    m_doc.AddMeshObject(Rectangle(kCentre, 20, 20), nullptr);
    CDezazMeshObject preview(Rectangle(kCentre + ON_3dVector(200, 0, 0), 20, 20), Coloured(colour));
    const ON_3dPoint mark = kCentre + ON_3dVector(100, 0, 0);
    RecordingConduit conduit(SC_CALCBOUNDINGBOX | SC_DRAWOBJECT | SC_DRAWFOREGROUND);
    conduit.extra = preview.BoundingBox();
    conduit.preview = &preview;
    conduit.marker = &mark;
    conduit.Enable();
    const wgl::PixelImage image = Frame("host_viewport_conduit_preview");
    // Both squares fit: the document's on the left, the preview on the right.
    const auto shown = wgl::BoundingBoxOf(image, Pixel(colour), 1);
    ASSERT_TRUE(shown.has_value());
    EXPECT_GT(shown->left, kWidth / 2);
    EXPECT_LE(shown->right, kWidth);
    const auto others = wgl::BoundingBoxOfOthers(image, Pixel(Background()), 0);
    ASSERT_TRUE(others.has_value());
    EXPECT_LT(others->left, kWidth / 4);
    // The marker: a red square of 7 pixels where the point lands.
    const ON_3dPoint s = m_viewport.WorldToScreen(mark);
    const auto red = wgl::BoundingBoxOf(image, wgl::Rgb(255, 0, 0));
    ASSERT_TRUE(red.has_value());
    EXPECT_EQ(red->right - red->left, CDezazViewport::kInferencePointSize);
    EXPECT_EQ(red->bottom - red->top, CDezazViewport::kInferencePointSize);
    EXPECT_NEAR(0.5 * (red->left + red->right), s.x, 1.0);
    EXPECT_NEAR(0.5 * (red->top + red->bottom), s.y, 1.0);
}

// Colours every vertex by its height: blue below z = 0, red at or above it,
// and counts the passes that had to compute.
class HeightMode : public CDezazVisualAnalysisMode
{
public:
    HeightMode()
        : CDezazVisualAnalysisMode(ON_UuidFromString("6F0C9A11-2B3C-4D5E-8F90-A1B2C3D4E5F6"),
                                   DezazAnalysisStyle::false_colour_style)
    {
    }
    void GetAnalysisModeName(ON_wString& name) const override { name = L"height"; }
    bool ObjectSupportsAnalysisMode(const CDezazObject* object) const override
    {
        return object && object->ObjectType() == DezazObjectType::mesh;
    }
    void UpdateVertexColors(const CDezazObject*, ON_SimpleArray<ON_Mesh*>& meshes) const override
    {
        ON_MappingTag tag;
        tag.m_mapping_id = AnalysisModeId();
        for (int i = 0; i < meshes.Count(); ++i)
        {
            ON_Mesh* mesh = meshes[i];
            if (ON_MappingTag::Compare(mesh->m_Ctag, tag) == 0)
                continue;
            ++passes;
            mesh->m_C.Destroy();
            for (int v = 0; v < mesh->VertexCount(); ++v)
                mesh->m_C.Append(mesh->m_V[v].z < 0 ? ON_Color(0, 0, 255) : ON_Color(255, 0, 0));
            mesh->m_Ctag = tag;
        }
    }
    mutable int passes = 0;

    // A mode that leaves the meshes without colours.
    class Silent : public CDezazVisualAnalysisMode
    {
    public:
        Silent()
            : CDezazVisualAnalysisMode(ON_UuidFromString("7A1B2C3D-4E5F-4061-8273-9485A6B7C8D9"),
                                       DezazAnalysisStyle::false_colour_style)
        {
        }
        void GetAnalysisModeName(ON_wString& name) const override { name = L"silent"; }
        bool ObjectSupportsAnalysisMode(const CDezazObject* object) const override { return object != nullptr; }
    };
};

TEST_F(ViewportFrame, ObjectsInAnAnalysisModeShowTheModesColours)
{
    HeightMode mode;
    const ON_Color colour(90, 200, 90);
    const ON_3dmObjectAttributes attributes = Coloured(colour);
    CDezazObject* low = m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(-40, 0, -5), 40, 40), &attributes);
    CDezazObject* high = m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(40, 0, 5), 40, 40), &attributes);
    CDezazObject* plain = m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(0, 60, 0), 20, 10), &attributes);
    ASSERT_TRUE(low->EnableAnalysisMode(mode.AnalysisModeId(), true));
    ASSERT_TRUE(high->EnableAnalysisMode(mode.AnalysisModeId(), true));
    wgl::PixelImage image = Frame("host_viewport_analysis_mode");
    EXPECT_TRUE(wgl::SameColour(image.At(60, 80), wgl::Rgb(0, 0, 255))) << std::hex << image.At(60, 80);
    EXPECT_TRUE(wgl::SameColour(image.At(140, 80), wgl::Rgb(255, 0, 0))) << std::hex << image.At(140, 80);
    EXPECT_GE(wgl::CountPixels(image, wgl::Rgb(0, 0, 255)), std::size_t(38 * 38));
    EXPECT_GE(wgl::CountPixels(image, wgl::Rgb(255, 0, 0)), std::size_t(38 * 38));
    EXPECT_TRUE(wgl::SameColour(image.At(100, 20), Pixel(colour), 1)); // not in the mode: shaded
    EXPECT_EQ(mode.passes, 2);

    // Colours stamped with the mode's tag are not computed again.
    Frame("host_viewport_analysis_mode_again");
    EXPECT_EQ(mode.passes, 2);
    // Off: the mesh is shaded again and its analysis colours are gone.
    ASSERT_TRUE(high->EnableAnalysisMode(mode.AnalysisModeId(), false));
    image = Frame("host_viewport_analysis_mode_off");
    EXPECT_TRUE(wgl::SameColour(image.At(140, 80), Pixel(colour), 1));
    EXPECT_FALSE(ON_Mesh::Cast(high->Geometry())->HasVertexColors());
    (void)plain;
}

TEST_F(ViewportFrame, TextDotsSitOnTheirPointsWithTheirText)
{
    const ON_3dPoint where = kCentre + ON_3dVector(-40, 30, 0);
    ON_3dmObjectAttributes attributes = Coloured(ON_Color(0, 0, 160));
    m_doc.AddObject(std::make_unique<CDezazTextDot>(where, L"R: 12.500", attributes));
    const wgl::PixelImage image = Frame("host_viewport_text_dot");
    const auto frame = wgl::BoundingBoxOf(image, wgl::Rgb(0, 0, 160));
    ASSERT_TRUE(frame.has_value());
    // Centred on the point's pixel (60, 50).
    EXPECT_NEAR(0.5 * (frame->left + frame->right), 60, 1.5);
    EXPECT_NEAR(0.5 * (frame->top + frame->bottom), 50, 1.5);
    EXPECT_GT(frame->right - frame->left, 40); // nine characters
    std::size_t text = 0;
    for (LONG y = frame->top; y < frame->bottom; ++y)
        for (LONG x = frame->left; x < frame->right; ++x)
            text += image.At(x, y) != wgl::Rgb(0, 0, 160) ? 1 : 0;
    EXPECT_GT(text, 20u);
    wgl::PixelImage plain = image;

    // A dot that is not always on top hides behind a surface in front of it.
    m_doc.Clear();
    auto dot = std::make_unique<CDezazTextDot>(where, L"hidden", attributes);
    m_doc.AddObject(std::move(dot));
    m_doc.AddMeshObject(Rectangle(where + ON_3dVector(0, 0, 10), 80, 40));
    const wgl::PixelImage covered = Frame("host_viewport_text_dot_behind");
    EXPECT_FALSE(wgl::BoundingBoxOf(covered, wgl::Rgb(0, 0, 160)).has_value());
}

TEST_F(ViewportFrame, LayerColoursWireframesAndModesThatLeaveNoColours)
{
    // The default layer's colour shades what takes its colour from it.
    ON_Layer layer = m_doc.LayerTable()[0];
    layer.SetColor(ON_Color(200, 50, 50));
    ASSERT_TRUE(m_doc.LayerTable().ModifyLayer(layer, 0));
    CDezazObject* object = m_doc.AddMeshObject(Rectangle(kCentre + ON_3dVector(-40, 0, 0), 40, 40));
    wgl::PixelImage image = Frame("host_viewport_layer_colour");
    EXPECT_TRUE(wgl::SameColour(image.At(60, 80), wgl::Rgb(200, 50, 50), 1)) << std::hex << image.At(60, 80);

    // A mode that puts no colours on the mesh leaves it shaded.
    HeightMode::Silent silent;
    ASSERT_TRUE(object->EnableAnalysisMode(silent.AnalysisModeId(), true));
    image = Frame("host_viewport_mode_without_colours");
    EXPECT_TRUE(wgl::SameColour(image.At(60, 80), wgl::Rgb(200, 50, 50), 1)) << std::hex << image.At(60, 80);

    // Wireframe: the edges in the object's colour, the inside open.
    m_viewport.SetDisplayAttrs(CDezazDisplayAttrsMgr::FindDisplayAttrs(L"Wireframe"));
    image = Frame("host_viewport_wireframe");
    EXPECT_TRUE(wgl::SameColour(image.At(60, 80), Pixel(Background())));
    const auto wires = wgl::BoundingBoxOf(image, wgl::Rgb(200, 50, 50));
    ASSERT_TRUE(wires.has_value());
    EXPECT_NEAR(wires->left, 40, 1);
    EXPECT_NEAR(wires->right, 80, 1);
    EXPECT_NEAR(wires->top, 60, 1);
    EXPECT_NEAR(wires->bottom, 100, 1);
}

// Draws what a plug-in's preview draws: an object moved by a transform, a
// half-transparent mesh and a thick line.
class PreviewConduit : public CDezazDisplayConduit
{
public:
    PreviewConduit() : CDezazDisplayConduit(SC_DRAWOBJECT, true) {}
    bool ExecConduit(CDezazDisplayPipeline& pipeline, UINT) override
    {
        const ON_Xform up = ON_Xform::TranslationTransformation(ON_3dVector(0, 50, 0));
        pipeline.DrawObject(object, &up);
        const CDisplayPipelineMaterial glass(ON_Color(0, 0, 250), 0.5);
        pipeline.DrawShadedMesh(Rectangle(kCentre + ON_3dVector(50, 0, 0), 20, 20), &glass);
        pipeline.DrawLine(kCentre + ON_3dVector(-90, -60, 0), kCentre + ON_3dVector(-10, -60, 0), ON_Color(0, 255, 0),
                          3);
        return true;
    }
    const CDezazObject* object = nullptr;
};

TEST_F(ViewportFrame, ConduitsDrawMovedObjectsTransparentMeshesAndThickLines)
{
    const ON_Color colour(250, 250, 0);
    CDezazMeshObject moved(Rectangle(kCentre + ON_3dVector(-50, -40, 0), 20, 20), Coloured(colour));
    PreviewConduit conduit;
    conduit.object = &moved;
    const wgl::PixelImage image = Frame("host_viewport_preview_drawing");
    // Moved 50 mm up: centred at pixel (50, 70) instead of (50, 120).
    const auto box = wgl::BoundingBoxOf(image, Pixel(colour), 1);
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(0.5 * (box->left + box->right), 50, 1);
    EXPECT_NEAR(0.5 * (box->top + box->bottom), 70, 1);
    // Half the glass's blue over half the background.
    const ON_Color bg = Background();
    const std::uint32_t mixed = wgl::Rgb(static_cast<std::uint8_t>(bg.Red() / 2),
                                         static_cast<std::uint8_t>(bg.Green() / 2),
                                         static_cast<std::uint8_t>((bg.Blue() + 250) / 2));
    EXPECT_TRUE(wgl::SameColour(image.At(150, 80), mixed, 2)) << std::hex << image.At(150, 80);
    // Three pixels thick.
    const auto line = wgl::BoundingBoxOf(image, wgl::Rgb(0, 255, 0));
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->bottom - line->top, 3);
    EXPECT_NEAR(line->right - line->left, 80, 1);
}

TEST(HostViewport, ScreenToWorldMapsAPixelStepToAModelStepOfOnePixelsSize)
{
    ON_Viewport vp;
    EXPECT_FALSE(vp.SetCameraUp(ON_3dVector(0, 0, 1))); // parallel to the default direction
    ASSERT_TRUE(vp.SetCameraDirection(ON_3dVector(-1, 1, -0.8)));
    ASSERT_TRUE(vp.SetCameraUp(ON_3dVector(0, 0, 1)));
    ASSERT_TRUE(vp.SetScreenPort(0, 400, 300, 0));
    ON_BoundingBox box(ON_3dPoint(100, 200, 300), ON_3dPoint(180, 260, 320));
    ASSERT_TRUE(vp.ZoomToBoundingBox(box));
    ON_Xform s2w, w2s;
    ASSERT_TRUE(vp.GetXform(ON_Viewport::coordinate_system::screen_cs, ON_Viewport::coordinate_system::world_cs, s2w));
    ASSERT_TRUE(vp.GetXform(ON_Viewport::coordinate_system::world_cs, ON_Viewport::coordinate_system::screen_cs, w2s));
    // The offset a label uses: 20 pixels right and 20 up.
    const ON_3dVector offset = s2w * ON_3dPoint(20, 0, 0) - s2w * ON_3dPoint(0, 20, 0);
    EXPECT_NEAR(offset.Length(), std::sqrt(2.0) * 20.0 / vp.PixelsPerUnit(), 1e-9);
    const ON_3dPoint centre = w2s * box.Center();
    const ON_3dPoint moved = w2s * (box.Center() + offset);
    EXPECT_NEAR(moved.x - centre.x, 20.0, 1e-9);
    EXPECT_NEAR(moved.y - centre.y, -20.0, 1e-9);
    EXPECT_NEAR(moved.z, centre.z, 1e-9);
    // Every corner of the box is on screen and in front of the camera.
    for (int i = 0; i < 8; ++i)
    {
        const ON_3dPoint p = w2s * box.Corner(i);
        EXPECT_GT(p.x, 0);
        EXPECT_LT(p.x, 400);
        EXPECT_GT(p.y, 0);
        EXPECT_LT(p.y, 300);
        EXPECT_GT(p.z, 0);
        EXPECT_LT(p.z, 1);
    }
    EXPECT_FALSE(vp.SetCameraDirection(ON_3dVector(0, 0, 5))); // parallel to up
    EXPECT_FALSE(vp.SetFrustum(1, -1, -1, 1, 1, 10));
    EXPECT_FALSE(vp.SetFrustum(1, 1, -1, 1, 1, 10));
    EXPECT_FALSE(vp.SetFrustum(-1, 1, 1, 1, 1, 10));
    EXPECT_FALSE(vp.SetFrustum(-1, 1, -1, 1, 10, 10));
    EXPECT_FALSE(vp.SetCameraLocation(ON_3dPoint(NAN, 0, 0)));
    EXPECT_FALSE(vp.ZoomToBoundingBox(ON_BoundingBox()));
}

TEST(HostViewport, ZoomingToABoxLeavesTheMarginOnItsLimitingSide)
{
    // A top view of boxes a hundredth of a millimetre to a metre across:
    // the side that limits fills the port less the 5 % margin each way.
    for (const double size : {0.01, 1.0, 1000.0})
        for (const bool wide : {true, false})
        {
            ON_Viewport vp;
            ASSERT_TRUE(vp.SetScreenPort(0, 400, 300, 0));
            const ON_3dVector extent = wide ? ON_3dVector(2 * size, 0.5 * size, 0.1 * size)
                                            : ON_3dVector(0.5 * size, 2 * size, 0.1 * size);
            const ON_3dPoint low(250, -40, 7);
            ASSERT_TRUE(vp.ZoomToBoundingBox(ON_BoundingBox(low, low + extent)));
            ON_Xform w2s;
            ASSERT_TRUE(vp.GetXform(ON_Viewport::coordinate_system::world_cs, ON_Viewport::coordinate_system::screen_cs,
                                    w2s));
            const ON_3dPoint a = w2s * low, b = w2s * (low + extent);
            const double across = std::fabs(b.x - a.x), down = std::fabs(b.y - a.y);
            if (wide)
                EXPECT_NEAR(across, 400 / 1.05, 1e-6 * 400) << size;
            else
                EXPECT_NEAR(down, 300 / 1.05, 1e-6 * 300) << size;
            EXPECT_NEAR(0.5 * (a.x + b.x), 200, 1e-6 * 400);
            EXPECT_NEAR(0.5 * (a.y + b.y), 150, 1e-6 * 300);
        }
}

TEST(HostDisplayModes, TheListHoldsWireframeAndShaded)
{
    ON_SimpleArray<const CDisplayPipelineAttributes*> list;
    EXPECT_EQ(CDezazDisplayAttrsMgr::GetDisplayAttrsList(list), 2);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_STREQ(list[0]->m_name.Array(), L"Wireframe");
    EXPECT_FALSE(list[0]->m_shade_surfaces);
    EXPECT_STREQ(list[1]->m_name.Array(), L"Shaded");
    EXPECT_EQ(CDezazDisplayAttrsMgr::FindDisplayAttrs(L"shaded"), list[1]);
    EXPECT_EQ(CDezazDisplayAttrsMgr::FindDisplayAttrs(L"Rendered"), nullptr);
    EXPECT_EQ(CDezazDisplayAttrsMgr::FindDisplayAttrs(nullptr), nullptr);
}

} // namespace
