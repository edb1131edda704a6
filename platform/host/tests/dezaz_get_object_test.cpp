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

} // namespace
