#include "plugin/tools/measure_fillet_dialog.h"

#include "analysis/fillet_measurement.h"
#include "core/host_mesh_import.h"
#include "platform/geometry/curve.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/host/display_pipeline.h"
#include "platform/win32/controls.h"
#include "plugin/module_state.h"
#include "resources/measure_fillet.h"
#include "resources/resource.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

namespace
{

constexpr UINT kEndScroll = 8; // SB_ENDSCROLL: the thumb was let go
// 0x00BBGGRR: red.
constexpr unsigned int kStationColour = 255;

double Clamp01(double value)
{
    return std::clamp(value, 0.0, 1.0);
}

// The slider position of a fraction, rounded: 0.29 * 100 is a hair below 29
// in doubles, and the slider dragged along must show what the other shows.
int SliderPosition(double fraction)
{
    return static_cast<int>(std::lround(fraction * 100.0));
}

std::wstring Format(const wchar_t* format, double value)
{
    wchar_t text[64];
    std::swprintf(text, sizeof text / sizeof text[0], format, value);
    return text;
}

} // namespace

// ---------------------------------------------------------------- request

bool stFilletRequest::SameMeasurement(const stFilletRequest& other) const
{
    return curve == other.curve && curveVersion == other.curveVersion && edgeSerial == other.edgeSerial &&
           start == other.start && end == other.end && meshSerial == other.meshSerial &&
           sections == other.sections;
}

// ---------------------------------------------------------------- conduit

CMeasureFilletPreviewConduit::CMeasureFilletPreviewConduit(CMeasureFilletDialog& owner)
    : CDezazDisplayConduit(kChannels), m_owner(owner)
{
    m_radiusDot.SetAlwaysOnTop(true);
    m_startDot.SetAlwaysOnTop(true);
    m_endDot.SetAlwaysOnTop(true);
    ON_SimpleArray<const CDisplayPipelineAttributes*> modes;
    if (CDezazDisplayAttrsMgr::GetDisplayAttrsList(modes) > 0)
    {
        m_startDot.SetText(L"S");
        m_endDot.SetText(L"E");
    }
}

std::wstring CMeasureFilletPreviewConduit::RadiusLabel(const stFilletRequest& request)
{
    if (request.meshSerial == stFilletRequest::kNoMesh)
        return L"No reference mesh";
    if (request.radius == FLT_MAX)
        return L"Unknown";
    return Format(L"Radius: %.3lf", request.radius);
}

bool CMeasureFilletPreviewConduit::ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel)
{
    if (channel == SC_CALCBOUNDINGBOX)
    {
        const CDezazDoc* doc = pipeline.Document();
        m_owner.ReleaseEdgeIfGone(doc ? *doc : m_owner.Document());
        m_owner.ReleaseMeshCopyIfGone(doc ? *doc : m_owner.Document());
        return true;
    }
    if (channel == SC_DRAWFOREGROUND && m_request.curve)
        DrawPreview(pipeline);
    return true;
}

void CMeasureFilletPreviewConduit::DrawPreview(CDezazDisplayPipeline& pipeline)
{
    const ON_Curve* curve = m_request.curve.get();
    ON_3dPoint middle;
    if (!EvaluateCurveAtNormalizedParameter(curve, (m_request.start + m_request.end) / 2, middle))
        return;
    m_radiusDot.SetText(RadiusLabel(m_request).c_str());
    m_radiusDot.SetPoint(middle);
    pipeline.DrawObject(&m_radiusDot);

    const int sections = std::max(1, m_request.sections);
    const double span = m_request.end - m_request.start;
    for (int i = 0; i <= sections; ++i)
    {
        ON_3dPoint station;
        if (!EvaluateCurveAtNormalizedParameter(curve, m_request.start + i * span / sections, station))
            continue;
        if (i == 0 || i == sections)
        {
            CDezazTextDot& dot = i == 0 ? m_startDot : m_endDot;
            dot.SetPoint(station);
            pipeline.DrawObject(&dot);
        }
        else
            pipeline.GetDezazVP().DrawInferencePoint(station, ON_Color(kStationColour));
    }
}

// ---------------------------------------------------------------- dialog

BEGIN_MESSAGE_MAP(CMeasureFilletDialog, CDezazDialog)
ON_COMMAND(IDC_MEASURE_FILLET_PICK_EDGE, &CMeasureFilletDialog::OnPickAnotherEdge)
ON_WM_HSCROLL()
ON_COMMAND(IDC_MEASURE_FILLET_SELECT_MESH, &CMeasureFilletDialog::OnSelectReferenceMesh)
ON_COMMAND(IDC_MEASURE_FILLET_CREATE_ANNOTATION, &CMeasureFilletDialog::OnCreateAnnotation)
END_MESSAGE_MAP()

std::unique_ptr<IToolDialog> MakeMeasureFilletDialog()
{
    return std::make_unique<CMeasureFilletDialog>();
}

CMeasureFilletDialog::CMeasureFilletDialog(CWnd* parent)
    : CDezazDialog(IDD_MEASURE_FILLET, parent), m_conduit(*this)
{
    m_lastComputed.meshSerial = stFilletRequest::kNoMesh;
}

CMeasureFilletDialog::~CMeasureFilletDialog()
{
    m_conduit.Disable();
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
}

CDezazDoc& CMeasureFilletDialog::Document() const
{
    return m_doc ? *m_doc : DezazApp().ActiveDoc();
}

bool CMeasureFilletDialog::CreateModeless(UINT resource, CWnd* parent)
{
    return Create(resource, parent) != FALSE;
}

void CMeasureFilletDialog::CancelDialog(bool)
{
    // Nothing to ask: closing loses nothing the document does not keep.
    if (m_hWnd && ::IsWindow(m_hWnd))
        OnCancel();
}

void CMeasureFilletDialog::DoDataExchange(CDataExchange* dx)
{
    CDezazDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_MEASURE_FILLET_START, m_start);
    DDX_Control(dx, IDC_MEASURE_FILLET_END, m_end);
    DDX_Control(dx, IDC_MEASURE_FILLET_SECTIONS, m_sections);
    DDX_Text(dx, IDC_MEASURE_FILLET_SECTIONS_COUNT, m_sectionsValue);
}

BOOL CMeasureFilletDialog::OnInitDialog()
{
    CDezazDialog::OnInitDialog();
    m_start.SetRange(0, 100);
    m_start.SetPos(10);
    m_end.SetRange(0, 100);
    m_end.SetPos(90);
    m_sections.SetRange(1, 20);
    m_sections.SetPos(m_sectionsValue);
    SetPickedEdge(nullptr, 0);
    if (!m_conduit.IsEnabled())
        m_conduit.Enable();
    return TRUE;
}

double CMeasureFilletDialog::SliderFraction(const CSliderCtrl& slider, int fallback) const
{
    const int position = slider.GetSafeHwnd() ? slider.GetPos() : fallback;
    return Clamp01(position / 100.0);
}

void CMeasureFilletDialog::SetPickedEdge(const ON_Curve& edge, unsigned int objectSerial)
{
    SetPickedEdge(&edge, objectSerial);
}

void CMeasureFilletDialog::SetPickedEdge(const ON_Curve* edge, unsigned int objectSerial)
{
    stFilletRequest& request = m_conduit.m_request;
    if (edge)
    {
        request.curve.reset(edge->Duplicate());
        request.curveVersion = ++m_curveVersions;
        // The radius shown is another edge's until this one is measured: a
        // reference mesh gone since would leave it there, and Create
        // Annotation would write it at this edge.
        request.radius = FLT_MAX;
    }
    else
        request.curve.reset();
    request.edgeSerial = objectSerial;
    request.end = 1.0;
    request.start = 0.0;
    request.sections = std::max(1, m_sectionsValue);
    request.start = SliderFraction(m_start, 10);
    if (request.start > request.end)
        request.end = request.start;
    request.end = SliderFraction(m_end, 90);
    if (request.start > request.end)
        request.start = request.end;
    const BOOL enable = request.curve ? TRUE : FALSE;
    for (CSliderCtrl* slider : {&m_start, &m_end, &m_sections})
        if (slider->GetSafeHwnd())
            slider->EnableWindow(enable);
}

void CMeasureFilletDialog::ReleaseEdgeIfGone(const CDezazDoc& doc)
{
    const stFilletRequest& request = m_conduit.m_request;
    if (!request.curve)
        return;
    const CDezazObject* object = doc.LookupObjectByRuntimeSerialNumber(request.edgeSerial);
    if (!object || object->IsDeleted())
        SetPickedEdge(nullptr, 0);
}

void CMeasureFilletDialog::ReleaseMeshCopyIfGone(const CDezazDoc& doc)
{
    // A big scan's copy is hundreds of megabytes: it goes with its object,
    // not at the next measurement, which may never come.
    if (m_mesh && !dynamic_cast<const CDezazMeshObject*>(doc.LookupObjectByRuntimeSerialNumber(m_meshSerial)))
        DropMeshCopy();
}

void CMeasureFilletDialog::DropMeshCopy()
{
    m_mesh.reset();
    m_meshIndex.Clear();
    m_meshSerial = stFilletRequest::kNoMesh;
}

void CMeasureFilletDialog::Regenerate()
{
    Document().Regen();
}

void CMeasureFilletDialog::OnHScroll(UINT code, UINT position, CScrollBar* bar)
{
    CDezazDialog::OnHScroll(code, position, bar);
    // The scroll bar is the slider's window object.
    const auto* control = reinterpret_cast<CWnd*>(bar);
    const HWND window = control ? control->GetSafeHwnd() : nullptr;
    if (!window)
        return;
    stFilletRequest& request = m_conduit.m_request;
    if (window == m_sections.GetSafeHwnd())
    {
        UpdateData(TRUE);
        m_sectionsValue = m_sections.GetPos();
        request.sections = std::max(1, m_sectionsValue);
        if (code == kEndScroll)
            ComputeRadius();
        UpdateData(FALSE);
        Regenerate();
    }
    else if (window == m_start.GetSafeHwnd())
    {
        UpdateData(TRUE);
        request.start = SliderFraction(m_start, 10);
        if (request.start > request.end)
        {
            request.end = request.start;
            m_end.SetPos(SliderPosition(request.start));
        }
        if (code == kEndScroll)
            ComputeRadius();
        Regenerate();
    }
    else if (window == m_end.GetSafeHwnd())
    {
        UpdateData(TRUE);
        request.end = SliderFraction(m_end, 90);
        if (request.end < request.start)
        {
            request.start = request.end;
            m_start.SetPos(SliderPosition(request.end));
        }
        if (code == kEndScroll)
            ComputeRadius();
        Regenerate();
    }
}

void CMeasureFilletDialog::OnSelectReferenceMesh()
{
    CDezazGetObject go;
    go.SetCommandPrompt(L"Select mesh object");
    go.SetGeometryFilter(CDezazGetObject::mesh_object);
    if (go.GetObjects(1, 1) != CDezazGet::object)
        return;
    m_conduit.m_request.meshSerial = go.Object(0).RuntimeSerialNumber();
    ComputeRadius();
    Regenerate();
}

void CMeasureFilletDialog::OnPickAnotherEdge()
{
    CDezazGetObject go;
    go.EnablePreSelect(false, true);
    go.SetCommandPrompt(L"Pick an edge ");
    go.SetGeometryFilter(CDezazGetObject::curve_object);
    go.SetGeometryAttributeFilter(CDezazGetObject::edge_curve);
    if (go.GetObjects(1, 1) != CDezazGet::object)
        return;
    const ON_Curve* edge = go.Object(0).Curve();
    if (!edge)
        return;
    SetPickedEdge(edge, go.Object(0).RuntimeSerialNumber());
    ComputeRadius();
    Regenerate();
}

bool CMeasureFilletDialog::UpdateReferenceMesh()
{
    const unsigned int wanted = m_conduit.m_request.meshSerial;
    const auto* object = dynamic_cast<const CDezazMeshObject*>(Document().LookupObjectByRuntimeSerialNumber(wanted));
    // The copy of a mesh deleted since would go on being measured: a mesh
    // that cannot be found keeps the radius measured while it was there.
    if (wanted == m_meshSerial && object)
        return m_mesh != nullptr;
    DropMeshCopy();
    if (!object || !object->Mesh())
        return false;
    auto mesh = std::make_unique<cMesh>();
    // Welded, so that the cuts run across the host mesh's seams.
    AddHostMeshFaces(*mesh, *object->Mesh());
    // Without its index every cut visits every triangle, which is slow but
    // gives the same radius.
    m_meshIndex.Build(*mesh);
    m_mesh = std::move(mesh);
    m_meshSerial = wanted;
    return true;
}

bool CMeasureFilletDialog::ComputeRadius()
{
    // A slider let go or a button pressed after the edge's object went, and
    // before the next frame noticed: the edge is released here too.
    ReleaseEdgeIfGone(Document());
    stFilletRequest& request = m_conduit.m_request;
    if (request.SameMeasurement(m_lastComputed))
        return false;
    m_lastComputed = request;
    if (!UpdateReferenceMesh())
        return false;
    double radius = FLT_MAX;
    m_measured = 0;
    m_stations = 0;
    if (request.curve)
    {
        const stFilletMeasurement m = MeasureFilletAlongCurve(*m_mesh, *request.curve, request.start, request.end,
                                                              request.sections,
                                                              m_meshIndex.Matches(*m_mesh) ? &m_meshIndex : nullptr);
        radius = m.radius;
        m_measured = m.measured;
        m_stations = m.stations;
    }
    request.radius = radius;
    m_lastComputed.radius = radius;
    return true;
}

void CMeasureFilletDialog::OnCreateAnnotation()
{
    ReleaseEdgeIfGone(Document());
    const stFilletRequest& request = m_conduit.m_request;
    if (request.radius == FLT_MAX)
        return;
    ON_3dPoint middle;
    if (!EvaluateCurveAtNormalizedParameter(request.curve.get(), (request.start + request.end) / 2, middle))
        return;
    const std::wstring text = Format(L"R: %.3lf", request.radius);
    Document().AddObject(std::make_unique<CDezazTextDot>(middle, text.c_str()));
    SetPickedEdge(nullptr, 0xFFFFFFFFu);
    Regenerate();
}

void CMeasureFilletDialog::OnCancel()
{
    m_conduit.Disable();
    Regenerate();
    CDezazDialog::OnCancel();
    // The plug-in's holder owns this object; only the window goes. It is
    // kept until the next run, so the copy of the reference mesh (hundreds
    // of megabytes on a big scan) goes now.
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
    DropMeshCopy();
}
