#include "plugin/tools/define_primitive_dlg.h"

#include "core/mesh.h"
#include "platform/geometry/brep_primitives.h"
#include "platform/geometry/line_curve.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object_iterator.h"
#include "platform/win32/icons.h"
#include "platform/win32/resource.h"
#include "resources/primitive_panel.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>

IMPLEMENT_DYNCREATE(CDefinePrimitiveDlg, CDezazUiDockBarDialog)

BEGIN_MESSAGE_MAP(CDefinePrimitiveDlg, CDezazUiDockBarDialog)
ON_COMMAND(IDC_PRIMITIVE_SPHERE, &CDefinePrimitiveDlg::FitSphere)
ON_COMMAND(IDC_PRIMITIVE_PLANE, &CDefinePrimitiveDlg::FitPlane)
ON_COMMAND(IDC_PRIMITIVE_CYLINDER, &CDefinePrimitiveDlg::FitCylinder)
ON_CONTROL(BN_DOUBLECLICKED, IDC_PRIMITIVE_PLANE, &CDefinePrimitiveDlg::OnPlaneDoubleClicked)
ON_NOTIFY(PTN_ITEMCHANGED, IDC_PRIMITIVE_TREE, &CDefinePrimitiveDlg::OnPropertyChanged)
ON_WM_HSCROLL()
ON_COMMAND(IDC_PRIMITIVE_CLEAR, &CDefinePrimitiveDlg::OnClear)
ON_COMMAND(IDC_PRIMITIVE_REBUILD, &CDefinePrimitiveDlg::OnRebuild)
ON_CONTROL(EN_CHANGE, IDC_PRIMITIVE_SIZE_EDIT, &CDefinePrimitiveDlg::OnSizeEditChange)
ON_CONTROL(EN_KILLFOCUS, IDC_PRIMITIVE_SIZE_EDIT, &CDefinePrimitiveDlg::OnSizeEditKillFocus)
ON_COMMAND(IDC_PRIMITIVE_PROFILE_CURVE, &CDefinePrimitiveDlg::OnProfileCurve)
ON_COMMAND(IDC_PRIMITIVE_PERPENDICULAR, &CDefinePrimitiveDlg::OnPerpendicular)
ON_COMMAND(IDC_PRIMITIVE_PARALLEL, &CDefinePrimitiveDlg::OnParallel)
ON_COMMAND(IDC_PRIMITIVE_HIDE_MESHES, &CDefinePrimitiveDlg::OnHideAllMeshes)
ON_COMMAND(IDC_PRIMITIVE_SHOW_MESHES, &CDefinePrimitiveDlg::OnShowAllMeshes)
END_MESSAGE_MAP()

namespace
{

constexpr float kPanelWeldTolerance = 1e-4f;

struct stImageButton
{
    CImageButton CDefinePrimitiveDlg::*button;
    UINT icon;
};

// Whether the record's geometry answers the kind's interface.
bool GeometryIs(const ST_IExtracted* record, const GUID& kind)
{
    if (!record)
        return false;
    ST_IGeometry* geometry = record->GetSessionObject();
    return geometry && geometry->QueryInterface(kind) != nullptr;
}

void Cross(const double a[3], const double b[3], double out[3])
{
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

} // namespace

void cPrimitivePointSet::Append(const float position[3], const float normal[3])
{
    stFitPoint p = MakeFitPoint(position, normal);
    p.active = 1;
    p.residual = FLT_MAX;
    Points().push_back(p);
    SetActiveCount(ActiveCount() + 1);
}

int AddHostMeshTriangles(cMesh& mesh, const ON_Mesh& host)
{
    const int vertexCount = host.VertexCount();
    int taken = 0;
    for (int f = 0; f < host.FaceCount(); ++f)
    {
        const ON_MeshFace& face = host.m_F[f];
        const int corners = face.IsQuad() ? 4 : 3;
        bool inside = true;
        for (int k = 0; k < corners; ++k)
            inside = inside && face.vi[k] >= 0 && face.vi[k] < vertexCount;
        if (!inside)
            continue;
        std::uint32_t index[4] = {0, 0, 0, 0};
        for (int k = 0; k < corners; ++k)
        {
            const ON_3fPoint& p = host.m_V[face.vi[k]];
            index[k] = mesh.AddVertex(p.x, p.y, p.z, true, kPanelWeldTolerance);
        }
        // AddTriangle stores nothing for corners that welded together.
        mesh.AddTriangle(index[0], index[1], index[2]);
        if (corners == 4)
            mesh.AddTriangle(index[0], index[2], index[3]);
        ++taken;
    }
    return taken;
}

CDefinePrimitiveDlg::CDefinePrimitiveDlg()
    : CDezazUiDockBarDialog(IDD_DEFINE_PRIMITIVE), m_planeRecord(&m_tree), m_sphereRecord(&m_tree),
      m_cylinderRecord(&m_tree)
{
    m_planeRecord.AttachGeometry(m_planeObject.GetGeometry());
    m_sphereRecord.AttachGeometry(m_sphereObject.GetGeometry());
    m_cylinderRecord.AttachGeometry(m_cylinderObject.GetGeometry());
    m_points.Clear();
}

CDefinePrimitiveDlg::~CDefinePrimitiveDlg()
{
    m_conduit.SetObject(nullptr);
    m_conduit.Disable();
    delete m_preview;
    m_preview = nullptr;
    m_tree.DeleteAllItems();
}

std::wstring CDefinePrimitiveDlg::SizeText(double size)
{
    // A size from the slider is a single-precision value: shown with the
    // digits a float carries it reads 0.2, not the 0.200000002980232 of its
    // widening to double. Typed sizes that no float holds keep every digit.
    const float narrow = static_cast<float>(size);
    if (!std::isfinite(size) || static_cast<double>(narrow) != size)
        return mfc::FormatDouble(size);
    char buffer[32];
    const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, narrow);
    return error == std::errc() ? std::wstring(buffer, end) : mfc::FormatDouble(size);
}

void CDefinePrimitiveDlg::DoDataExchange(CDataExchange* dx)
{
    CDezazUiDockBarDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_PRIMITIVE_SPHERE, m_sphereButton);
    DDX_Control(dx, IDC_PRIMITIVE_CYLINDER, m_cylinderButton);
    DDX_Control(dx, IDC_PRIMITIVE_SIZE_SLIDER, m_slider);
    DDX_Control(dx, IDC_PRIMITIVE_PLANE, m_planeButton);
    DDX_Control(dx, IDC_PRIMITIVE_PERPENDICULAR, m_perpendicularButton);
    DDX_Control(dx, IDC_PRIMITIVE_PARALLEL, m_parallelButton);
    DDX_Control(dx, IDC_PRIMITIVE_PROFILE_CURVE, m_profileButton);
    DDX_Control(dx, IDC_PRIMITIVE_CLEAR, m_clearButton);
    if (dx->m_bSaveAndValidate)
        DDX_Text(dx, IDC_PRIMITIVE_SIZE_EDIT, m_size);
    else
        ::SetDlgItemTextW(m_hWnd, IDC_PRIMITIVE_SIZE_EDIT, SizeText(m_size).c_str());
}

BOOL CDefinePrimitiveDlg::OnInitDialog()
{
    CDezazUiDockBarDialog::OnInitDialog();

    m_slider.SetRange(0, kPrimitiveSizeSliderMax, FALSE);
    m_slider.SetTicFreq(20);
    m_slider.SetLineSize(1);
    m_slider.SetPageSize(10);
    m_slider.SetPos(kPrimitiveSizeSliderStart);
    ReadSizeFromSlider();

    static const stImageButton kButtons[] = {
        {&CDefinePrimitiveDlg::m_sphereButton, IDI_PRIMITIVE_SPHERE},
        {&CDefinePrimitiveDlg::m_planeButton, IDI_PRIMITIVE_PLANE},
        {&CDefinePrimitiveDlg::m_cylinderButton, IDI_PRIMITIVE_CYLINDER},
        {&CDefinePrimitiveDlg::m_perpendicularButton, IDI_PRIMITIVE_PERPENDICULAR},
        {&CDefinePrimitiveDlg::m_parallelButton, IDI_PRIMITIVE_PARALLEL},
        {&CDefinePrimitiveDlg::m_profileButton, IDI_PRIMITIVE_PROFILE_CURVE},
        {&CDefinePrimitiveDlg::m_clearButton, IDI_PRIMITIVE_CLEAR},
    };
    for (const stImageButton& b : kButtons)
    {
        CImageButton& button = this->*(b.button);
        if (!button.GetSafeHwnd())
            continue;
        const LPCWSTR name = MAKEINTRESOURCEW(b.icon);
        auto icon = static_cast<HICON>(
            ::LoadImageW(AfxFindResourceHandle(name, RT_GROUP_ICON), name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
        // Without its icon a button keeps its caption, so it can still be told apart.
        if (icon)
        {
            button.SetWindowText(L"");
            button.SetIcon(icon);
        }
        button.SetFlat(true);
        button.SetColour(kColourBackRest, 0xFFFFFF);
        button.SetAlwaysTrack(true);
    }

    m_conduit.Enable();

    RECT place{0, 0, 0, 0};
    if (CWnd* placeholder = GetDlgItem(IDC_PRIMITIVE_TREE))
    {
        placeholder->GetWindowRect(&place);
        ScreenToClient(&place);
        placeholder->ShowWindow(SW_HIDE);
    }
    m_tree.ShowInfoText(false);
    m_tree.Create(WS_CHILD | WS_VISIBLE | PTS_NOTIFY, place, this, IDC_PRIMITIVE_TREE);
    m_tree.DeleteAllItems();

    using R = CDezazUiDialogItemResizer;
    m_Resize.Add(IDOK, R::resize_lockleft);
    m_Resize.Add(IDC_PRIMITIVE_REBUILD, R::resize_lockright);
    m_Resize.Add(IDC_PRIMITIVE_PERPENDICULAR, R::resize_lockleft | R::resize_lockbottom);
    m_Resize.Add(IDC_PRIMITIVE_PARALLEL, R::resize_lockleft | R::resize_lockbottom);
    m_Resize.Add(IDC_PRIMITIVE_PROFILE_CURVE, R::resize_lockleft | R::resize_lockbottom);
    m_Resize.Add(IDC_PRIMITIVE_CLEAR, R::resize_lockright | R::resize_lockbottom);
    m_Resize.Add(IDC_PRIMITIVE_SIZE_LABEL, R::resize_lockleft);
    m_Resize.Add(IDC_PRIMITIVE_SIZE_SLIDER, R::resize_lockleft | R::resize_lockright);
    m_Resize.Add(IDC_PRIMITIVE_SIZE_EDIT, R::resize_lockright);
    if (m_tree.GetSafeHwnd())
        m_Resize.Add(m_tree.GetSafeHwnd(), R::resize_lockall);
    m_Resize.Add(IDC_PRIMITIVE_HIDE_MESHES, R::resize_lockbottom);
    m_Resize.Add(IDC_PRIMITIVE_SHOW_MESHES, R::resize_lockright | R::resize_lockbottom);

    UpdateControls();
    return TRUE;
}

void CDefinePrimitiveDlg::UpdateControls()
{
    const struct
    {
        CImageButton* button;
        const GUID* kind;
    } kinds[] = {{&m_planeButton, &IID_ST_CPlane}, {&m_sphereButton, &IID_ST_CSphere},
                 {&m_cylinderButton, &IID_ST_CCylinder}};
    for (const auto& k : kinds)
    {
        if (!k.button->GetSafeHwnd())
            continue;
        k.button->SendMessage(BM_SETCHECK, GeometryIs(m_current, *k.kind) ? BST_CHECKED : BST_UNCHECKED);
        k.button->InvalidateRect(nullptr, TRUE);
    }
    static const UINT kDependent[] = {IDC_PRIMITIVE_SIZE_LABEL,    IDC_PRIMITIVE_SIZE_SLIDER, IDC_PRIMITIVE_SIZE_EDIT,
                                      IDC_PRIMITIVE_PERPENDICULAR, IDC_PRIMITIVE_PARALLEL,    IDC_PRIMITIVE_PROFILE_CURVE,
                                      IDC_PRIMITIVE_REBUILD,       IDC_PRIMITIVE_CLEAR,       IDOK};
    for (UINT id : kDependent)
        if (CWnd* control = GetDlgItem(static_cast<int>(id)))
            control->EnableWindow(m_current != nullptr);
}

void CDefinePrimitiveDlg::WriteSizeToEdit()
{
    m_writingSize = true;
    UpdateData(FALSE);
    m_writingSize = false;
}

void CDefinePrimitiveDlg::ReadSizeFromSlider()
{
    // Only the slider is read: the edit may hold half-typed text, which the
    // slider's value replaces.
    const int position = m_slider.GetSafeHwnd() ? m_slider.GetPos() : 0;
    m_size = static_cast<double>(static_cast<float>(position) / 100.0f);
    WriteSizeToEdit();
}

void CDefinePrimitiveDlg::CollectPoints()
{
    m_points.Clear();
    CDezazDoc& doc = DezazApp().ActiveDoc();
    CDezazObjectIterator it(doc, dezaz_normal_objects | dezaz_locked_objects, dezaz_active_objects);
    it.EnableSelectedFilter(true);
    it.SetObjectFilter(static_cast<unsigned>(DezazObjectType::mesh));

    cMesh mesh;
    mesh.ClearMergeIndex();
    mesh.SetIndexed(true);
    for (const CDezazObject* object = it.First(); object; object = it.Next())
    {
        if (object->ObjectType() != DezazObjectType::mesh)
            continue;
        if (const ON_Mesh* host = static_cast<const CDezazMeshObject*>(object)->Mesh())
            AddHostMeshTriangles(mesh, *host);
    }
    mesh.ClearMergeIndex();
    mesh.SetIndexed(false);

    for (std::uint32_t i = 0; i < mesh.GetVertexCount(); ++i)
    {
        const cVertex* v = mesh.GetVertex(i);
        const float normal[3] = {v->nx, v->ny, v->nz};
        m_points.Append(v->Position(), normal);
    }
}

std::unique_ptr<ON_Brep> CDefinePrimitiveDlg::BuildPreviewBrep() const
{
    ST_IGeometry* geometry = m_current ? m_current->GetSessionObject() : nullptr;
    if (!geometry)
        return nullptr;
    const double grow = 1.0 + std::clamp(m_size, kPrimitiveMinPreviewSize, kPrimitiveMaxPreviewSize);
    if (geometry->QueryInterface(IID_ST_CPlane))
    {
        const auto* source = dynamic_cast<const Dezaz_Plane*>(geometry);
        if (!source)
            return nullptr;
        Dezaz_Plane copy(*source);
        const cPlane& p = copy.GetPlane();
        const double origin[3] = {p.origin[0], p.origin[1], p.origin[2]};
        copy.SetOriginAndExtent(origin, p.halfWidth * grow, p.halfHeight * grow);
        double yAxis[3];
        Cross(p.normal, p.xAxis, yAxis);
        ON_PlaneSurface surface;
        if (!MakeONPlaneSurface(surface, p.origin, p.xAxis, p.halfWidth, yAxis, p.halfHeight))
            return nullptr;
        auto brep = std::make_unique<ON_Brep>();
        ON_Surface* owned = new ON_PlaneSurface(surface);
        if (!brep->Create(owned))
        {
            delete owned;
            return nullptr;
        }
        return brep;
    }
    if (geometry->QueryInterface(IID_ST_CSphere))
    {
        const auto* source = dynamic_cast<const Dezaz_Sphere*>(geometry);
        if (!source)
            return nullptr;
        const Dezaz_Sphere copy(*source);
        ON_Sphere sphere;
        MakeONSphere(sphere, copy.GetSphere().centre, copy.GetSphere().radius);
        return std::unique_ptr<ON_Brep>(ON_BrepSphere(sphere));
    }
    if (geometry->QueryInterface(IID_ST_CCylinder))
    {
        const auto* source = dynamic_cast<const Dezaz_Cylinder*>(geometry);
        if (!source)
            return nullptr;
        Dezaz_Cylinder copy(*source);
        copy.Inflate(grow - 1.0);
        const cCylinder& c = copy.GetCylinder();
        ON_Cylinder cylinder;
        MakeONCylinder(cylinder, c.axisPoint, c.axis, c.radius, c.height);
        return std::unique_ptr<ON_Brep>(ON_BrepCylinder(cylinder, false, false));
    }
    return nullptr;
}

void CDefinePrimitiveDlg::DeletePreview()
{
    delete m_preview;
    m_preview = nullptr;
}

void CDefinePrimitiveDlg::UpdatePreview()
{
    if (!m_current)
        return;
    std::unique_ptr<ON_Brep> brep = BuildPreviewBrep();
    // The conduit must not point at the object being deleted.
    m_conduit.SetObject(nullptr);
    DeletePreview();
    if (brep)
    {
        auto object = std::make_unique<CDezazBrepObject>();
        object->SetBrep(std::move(brep));
        m_preview = object.release();
        m_conduit.SetObject(m_preview);
    }
    if (!m_conduit.IsEnabled())
        m_conduit.Enable();
    DezazApp().ActiveDoc().Redraw();
}

int CDefinePrimitiveDlg::FindOrAddPrimitiveLayer(CDezazDoc& doc)
{
    CDezazLayerTable& layers = doc.LayerTable();
    int index = layers.FindLayerFromUniqueName(kPrimitiveLayerName);
    if (index >= 0)
        return index;
    ON_Layer layer;
    layer.SetName(kPrimitiveLayerName);
    index = layers.AddLayer(layer);
    if (index < 0)
        return -1;
    ON_Layer coloured = layers[index];
    coloured.SetColor(ON_Color(kPrimitiveLayerColour));
    layers.ModifyLayer(coloured, index);
    return index;
}

void CDefinePrimitiveDlg::AddAxisLine(CDezazDoc& doc, int layer, const double start[3], const double end[3])
{
    ON_3dmObjectAttributes attributes = doc.GetDefaultObjectAttributes();
    attributes.m_layer_index = layer;
    attributes.SetColorSource(ON_3dmObjectAttributes::color_source::color_from_object);
    attributes.m_color = ON_Color(kPrimitiveLayerColour);
    attributes.SetObjectDecoration(ON_3dmObjectAttributes::object_decoration::end_arrowhead);
    auto line = std::make_unique<ON_LineCurve>(
        ON_Line(ON_3dPoint(start[0], start[1], start[2]), ON_3dPoint(end[0], end[1], end[2])));
    doc.AddObject(std::make_unique<CDezazCurveObject>(std::move(line), attributes));
}

void CDefinePrimitiveDlg::OnOK()
{
    m_conduit.SetObject(nullptr);
    if (m_conduit.IsEnabled())
        m_conduit.Disable();
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Regen();
    if (!m_preview)
        return;

    const int layer = FindOrAddPrimitiveLayer(doc);
    if (layer >= 0)
    {
        ON_3dmObjectAttributes attributes = m_preview->Attributes();
        attributes.m_layer_index = layer;
        m_preview->SetAttributes(attributes);
    }

    if (GeometryIs(m_current, IID_ST_CCylinder))
    {
        const cCylinder& c = GetCylinder()->GetCylinder();
        const double end[3] = {c.axisPoint[0] + c.height * c.axis[0], c.axisPoint[1] + c.height * c.axis[1],
                               c.axisPoint[2] + c.height * c.axis[2]};
        AddAxisLine(doc, layer >= 0 ? layer : doc.LayerTable().CurrentLayerIndex(), c.axisPoint, end);
    }

    std::unique_ptr<CDezazObject> object(m_preview);
    m_preview = nullptr;
    // The document deletes an object it refuses.
    if (doc.AddObject(std::move(object)))
    {
        SetCurrentPrimitive(nullptr);
        UpdateControls();
    }
    doc.Regen();
}

void CDefinePrimitiveDlg::OnCancel()
{
    m_conduit.SetObject(nullptr);
    if (m_conduit.IsEnabled())
        m_conduit.Disable();
    DezazApp().ActiveDoc().Regen();
    DeletePreview();
}
