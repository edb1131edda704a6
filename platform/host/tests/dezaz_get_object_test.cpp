// Object getters as a user answers them: where objects were clicked, which
// filters refuse them, and what a script may say for a pick.
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/geometry/line_curve.h"
#include "platform/geometry/plane_surface.h"
#include "platform/win32/prompt_script.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{

class GetterScript : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DezazApp().ActiveDoc().Clear();
        win32::ClearPromptAnswers();
    }
    void TearDown() override
    {
        EXPECT_EQ(win32::PendingPromptAnswers(), 0u);
        win32::ClearPromptAnswers();
        DezazApp().ActiveDoc().Clear();
    }
    static void Answer(const std::wstring& text)
    {
        std::wstring error;
        ASSERT_TRUE(dezaz::QueueScriptAnswer(text, error)) << std::string(error.begin(), error.end());
    }
    static std::wstring Serial(const CDezazObject* object) { return std::to_wstring(object->RuntimeSerialNumber()); }

    CDezazDoc& doc = DezazApp().ActiveDoc();
};

const CDezazObject* AddSheet(CDezazDoc& doc, const ON_3dPoint& origin)
{
    auto surface = std::make_unique<ON_PlaneSurface>(ON_Plane(origin, ON_xaxis, ON_yaxis));
    surface->SetExtents(0, ON_Interval(0, 8), true);
    surface->SetExtents(1, ON_Interval(0, 4), true);
    auto brep = std::make_unique<ON_Brep>();
    ON_Surface* s = surface.release();
    EXPECT_TRUE(brep->Create(s));
    return doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(brep)));
}

TEST_F(GetterScript, AClickedObjectHasThePointTheScriptGaveOrOneOnItself)
{
    const CDezazObject* sheet = AddSheet(doc, ON_3dPoint(100, -20, 5));
    const CDezazObject* line =
        doc.AddObject(std::make_unique<CDezazCurveObject>(std::make_unique<ON_LineCurve>(ON_3dPoint(0, 0, 0),
                                                                                         ON_3dPoint(4, 2, 0))));
    ASSERT_TRUE(sheet && line);

    CDezazGetObject go;
    go.SetGeometryFilter(CDezazGetObject::surface_object | CDezazGetObject::polysrf_face);
    go.EnablePreSelect(false);
    Answer(L"Object " + Serial(sheet) + L" at 101.5, -19,5");
    ASSERT_EQ(go.GetObjects(1, 1), CDezazGet::object);
    ON_3dPoint at;
    ASSERT_TRUE(go.Object(0).SelectionPoint(at));
    EXPECT_EQ(at, ON_3dPoint(101.5, -19, 5));

    // Without a point the click lands in the middle of the face.
    Answer(L"Object " + Serial(sheet));
    ASSERT_EQ(go.GetObjects(1, 1), CDezazGet::object);
    ASSERT_TRUE(go.Object(0).SelectionPoint(at));
    EXPECT_EQ(at, ON_3dPoint(104, -18, 5));

    // A trimmed face is clicked inside its loop, not in its domain's middle.
    auto trimmed = std::make_unique<ON_Brep>(*static_cast<const CDezazBrepObject*>(sheet)->Brep());
    trimmed->Face(0)->m_loops = {{ON_3dPoint(0, 0, 0), ON_3dPoint(2, 0, 0), ON_3dPoint(2, 1, 0), ON_3dPoint(0, 1, 0)}};
    const CDezazObject* piece = doc.AddObject(std::make_unique<CDezazBrepObject>(std::move(trimmed)));
    ASSERT_TRUE(dezaz::PointOnObject(*piece, at));
    EXPECT_TRUE(static_cast<const CDezazBrepObject*>(piece)->Brep()->Face(0)->IsParameterOnFace(at.x - 100, at.y + 20));

    CDezazGetObject curves;
    curves.SetGeometryFilter(CDezazGetObject::curve_object);
    Answer(L"Object " + Serial(line));
    ASSERT_EQ(curves.GetObjects(1, 1), CDezazGet::object);
    ASSERT_TRUE(curves.Object(0).SelectionPoint(at));
    EXPECT_EQ(at, ON_3dPoint(2, 1, 0));

    // Pre-selected objects were not clicked.
    doc.UnselectAll();
    const_cast<CDezazObject*>(line)->Select(true);
    ASSERT_EQ(curves.GetObjects(1, 1), CDezazGet::object);
    EXPECT_FALSE(curves.Object(0).SelectionPoint(at));
}

TEST_F(GetterScript, PointsThatCannotBeReadAndEdgePicksAreRefused)
{
    const CDezazObject* sheet = AddSheet(doc, ON_3dPoint(0, 0, 0));
    std::wstring error;
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object " + Serial(sheet) + L" at 1,2", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object " + Serial(sheet) + L" at 1,2,x", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object " + Serial(sheet) + L" at 1,2,3,4", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object " + Serial(sheet) + L" at 1,nan,3", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object " + Serial(sheet) + L" near 1,2,3", error));
    EXPECT_FALSE(dezaz::QueueScriptAnswer(L"Object cancel at 1,2,3", error));
    EXPECT_EQ(win32::PendingPromptAnswers(), 0u);

    // Edges are never objects of their own, so an edge pick takes no object.
    const CDezazObject* line =
        doc.AddObject(std::make_unique<CDezazCurveObject>(std::make_unique<ON_LineCurve>(ON_3dPoint(0, 0, 0),
                                                                                         ON_3dPoint(1, 0, 0))));
    CDezazGetObject edges;
    edges.SetGeometryFilter(CDezazGetObject::curve_object);
    edges.SetGeometryAttributeFilter(CDezazGetObject::edge_curve);
    edges.EnablePreSelect(false);
    Answer(L"Object " + Serial(line));
    EXPECT_THROW(edges.GetObjects(1, 1), win32::UnexpectedPrompt);
}

// Meshes with more than one face.
class CLargeMeshes : public CDezazObjectIterator
{
public:
    using CDezazObjectIterator::CDezazObjectIterator;
    bool CustomObjectFilter(const CDezazObject& object) const override
    {
        const ON_Mesh* mesh = ON_Mesh::Cast(object.Geometry());
        return mesh && mesh->FaceCount() > 1;
    }
};

TEST_F(GetterScript, IteratorsTakeOnlyVisibleObjectsAndTheCallersOwnChoiceWhenAsked)
{
    ON_Mesh one;
    one.SetVertex(0, ON_3dPoint(0, 0, 0));
    one.SetVertex(1, ON_3dPoint(1, 0, 0));
    one.SetVertex(2, ON_3dPoint(0, 1, 0));
    one.SetVertex(3, ON_3dPoint(1, 1, 0));
    one.SetTriangle(0, 0, 1, 2);
    ON_Mesh two = one;
    two.SetTriangle(1, 1, 3, 2);
    const CDezazObject* small = doc.AddMeshObject(one);
    const CDezazObject* hidden = doc.AddMeshObject(two);
    const CDezazObject* large = doc.AddMeshObject(two);
    const CDezazObject* offLayer = doc.AddMeshObject(two);
    doc.HideObject(CDezazObjRef(hidden));
    ON_Layer off;
    off.SetName(L"Off");
    off.SetVisible(false);
    ON_3dmObjectAttributes at = offLayer->Attributes();
    at.m_layer_index = doc.LayerTable().AddLayer(off);
    doc.ModifyObjectAttributes(CDezazObjRef(offLayer), at);

    const auto walk = [](CDezazObjectIterator& it) {
        std::vector<const CDezazObject*> seen;
        for (const CDezazObject* o = it.First(); o; o = it.Next())
            seen.push_back(o);
        return seen;
    };
    using V = std::vector<const CDezazObject*>;
    CDezazObjectIterator all(doc, 7, 3);
    EXPECT_EQ(walk(all), (V{small, hidden, large, offLayer}));
    CDezazObjectIterator visible(doc, 7, 3);
    visible.EnableVisibleFilter();
    EXPECT_EQ(walk(visible), (V{small, large}));
    CLargeMeshes largeOnes(doc, 7, 3);
    EXPECT_EQ(walk(largeOnes), (V{hidden, large, offLayer}));
    largeOnes.EnableVisibleFilter();
    EXPECT_EQ(walk(largeOnes), (V{large}));
    // An object deleted during the walk is passed over.
    CDezazObjectIterator walking(doc, 7, 3);
    EXPECT_EQ(walking.First(), small);
    doc.DeleteObject(CDezazObjRef(hidden));
    EXPECT_EQ(walking.Next(), large);
}

} // namespace
