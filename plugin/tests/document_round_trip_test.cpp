// Shapes saved with the document and read back: chosen in the list of a
// dialog opened on the reopened document, each is created again exactly as
// it was created before the save.
#include "platform/geometry/brep.h"
#include "platform/geometry/surface.h"
#include "platform/host/document_io.h"
#include "platform/host/span_archive.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/document_hooks.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace
{

class DocumentRoundTrip : public ShapesDialog
{
protected:
    void SetUp() override
    {
        ShapesDialog::SetUp();
        InstallShapeTransfer();
    }
    // The points of a 9 x 9 grid over every face of the created breps, in
    // the order they were created.
    static std::vector<std::vector<ON_3dPoint>> BrepSamples()
    {
        std::vector<std::vector<ON_3dPoint>> out;
        for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
            if (const auto* brep = dynamic_cast<const CDezazBrepObject*>(object))
            {
                std::vector<ON_3dPoint> points;
                for (int f = 0; f < brep->Brep()->FaceCount(); ++f)
                {
                    const ON_Surface* s = const_cast<ON_Brep*>(brep->Brep())->Face(f)->SurfaceOf();
                    const ON_Interval u = s->Domain(0), v = s->Domain(1);
                    for (int i = 0; i <= 8; ++i)
                        for (int j = 0; j <= 8; ++j)
                            points.push_back(s->PointAt(u.ParameterAt(i / 8.0), v.ParameterAt(j / 8.0)));
                }
                out.push_back(points);
            }
        return out;
    }
    // Saves the plug-in's chunk, closes the dialog and reads the chunk into
    // an empty history, as a document reopened in a new session would.
    void SaveAndReopen()
    {
        stPlugInDocumentData data;
        data.history = &history;
        ON_MemoryArchive out;
        ASSERT_TRUE(WritePlugInDocument(data, out, CDezazFileWriteOptions{}));
        const std::vector<std::uint8_t> chunk = out.Buffer();
        dialog.reset();
        history.Clear();
        dezaz::SpanArchive in(chunk.data(), chunk.size());
        ASSERT_TRUE(ReadPlugInDocument(data, in, CDezazFileReadOptions{}));
        AFX_MANAGE_STATE(&state);
        dialog = std::make_unique<CCreatePrimitiveDialog>(&store);
        ASSERT_TRUE(dialog->CreateModeless(IDD_CREATE_PRIMITIVE, nullptr));
        dialog->ShowWindow(SW_SHOW);
        ASSERT_TRUE(dialog->LoadHostMesh(CDezazObjRef(host)));
        dialog->SetEntry(history.FindByUuid(host->ModelObjectId()));
        ASSERT_NE(dialog->GetEntry(), nullptr);
    }
};

} // namespace

TEST_F(DocumentRoundTrip, EachShapeChosenInTheListIsCreatedAsItWasBeforeTheSave)
{
    Open(scans::Cylinder({-380, 720, 260}, scans::Unit({0.3, 0.2, 0.93}), 18.0, 45.0, 48, 10, false, 0.01));
    const eShapeKind kinds[] = {eShapeKind::FreeForm, eShapeKind::Extruded, eShapeKind::Revolved};
    for (eShapeKind kind : kinds)
    {
        Click(IDC_SHAPES_NEW_SHAPE);
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(kind);
        ASSERT_EQ(dialog->GetCurrentKind(), kind);
        Click(IDC_SHAPES_CREATE);
    }
    const std::vector<std::vector<ON_3dPoint>> before = BrepSamples();
    ASSERT_EQ(before.size(), 3u);

    SaveAndReopen();
    const auto worstOf = [](const std::vector<ON_3dPoint>& a, const std::vector<ON_3dPoint>& b)
    {
        double worst = a.size() == b.size() ? 0.0 : 1e300;
        for (std::size_t k = 0; k < a.size() && k < b.size(); ++k)
            worst = std::max(worst, a[k].DistanceTo(b[k]));
        return worst;
    };
    // Create ALL builds what the document held only as profiles and sections.
    Click(IDC_SHAPES_CREATE_ALL);
    std::vector<std::vector<ON_3dPoint>> all = BrepSamples();
    ASSERT_EQ(all.size(), 6u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_LT(worstOf(all[3 + i], before[i]), 1e-9) << "Create ALL, shape " << i;
    for (const CDezazObject* object : DezazApp().ActiveDoc().Objects())
        if (dynamic_cast<const CDezazBrepObject*>(object))
            DezazApp().ActiveDoc().DeleteObject(CDezazObjRef(object));
    SaveAndReopen();
    const HWND list = ::GetDlgItem(Window(), IDC_SHAPES_LIST);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    for (int i = 0; i < 3; ++i)
    {
        SCOPED_TRACE(i);
        ::SendMessageW(list, LB_SETCURSEL, WPARAM(i), 0);
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_LIST, LBN_SELCHANGE), LPARAM(list));
        ASSERT_EQ(dialog->GetCurrentKind(), kinds[i]);
        Click(IDC_SHAPES_CREATE);
        const std::vector<std::vector<ON_3dPoint>> now = BrepSamples();
        ASSERT_EQ(now.size(), 1u + std::size_t(i));
        EXPECT_LT(worstOf(now.back(), before[std::size_t(i)]), 1e-9);
    }
    Snapshot("reopened_shapes_created");
}
