#include "plugin/tools/analyzer_dialog.h"

#include "analysis/analysed_vertex_tree.h"
#include "platform/host/app_settings.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/dezaz_object_iterator.h"
#include "platform/host/dezaz_viewport.h"
#include "platform/host/display_pipeline.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/data_exchange.h"
#include "platform/win32/controls.h"
#include "plugin/module_state.h"
#include "plugin/tools/analyzer_settings.h"
#include "plugin/tools/deviation_analysis_mode.h"
#include "plugin/vtl_plugin.h"
#include "resources/analyzer.h"
#include "resources/resource.h"

#include <cmath>

namespace
{

constexpr unsigned int kAllStates = dezaz_normal_objects | dezaz_locked_objects | dezaz_hidden_objects;
constexpr unsigned int kAllCategories = dezaz_active_objects | dezaz_reference_objects;
// 0x00BBGGRR: red, as the host marks snap points.
constexpr unsigned int kLabelMarkerColour = 0xff;
constexpr int kLegendIds[4] = {IDC_ANALYZER_LEGEND_MAX, IDC_ANALYZER_LEGEND_TOLERANCE,
                               IDC_ANALYZER_LEGEND_MINUS_TOLERANCE, IDC_ANALYZER_LEGEND_MIN};

bool IsSurfaceType(DezazObjectType type)
{
    const auto bits = static_cast<unsigned int>(type);
    return bits == 8 || bits == 16 || bits == 0x200000 || bits == 0x40000000;
}

CDezazObject* Writable(const CDezazObject* object)
{
    // The document owns its objects and hands them out read-only; switching
    // a mode on an object is the host's own per-object state.
    return const_cast<CDezazObject*>(object);
}

ON_Object* WritableGeometry(const CDezazObject* object)
{
    return const_cast<ON_Geometry*>(object->Geometry());
}

} // namespace

// ---------------------------------------------------------------- conduit

CAnalyzerPreviewConduit::CAnalyzerPreviewConduit(CFloatingAnalyzerDialog* owner, CVTLAnalysisMode& mode)
    : CDezazDisplayConduit(kChannels), m_owner(owner), m_mode(mode)
{
}

bool CAnalyzerPreviewConduit::ExecConduit(CDezazDisplayPipeline& pipeline, UINT channel)
{
    const CDezazDoc* doc = pipeline.Document();
    if (!doc && m_owner)
        doc = &m_owner->Document();
    if (channel == SC_CALCBOUNDINGBOX)
    {
        // A mesh deleted or replaced since the last frame takes its labels along.
        if (doc)
            m_mode.RefreshLabelsIfObjectsChanged(*doc);
        const std::size_t labels = m_mode.Labels().size();
        if (labels != m_dots.size())
        {
            m_dots.clear();
            for (std::size_t i = 0; i < labels; ++i)
            {
                auto dot = std::make_unique<CDezazTextDot>();
                dot->SetAlwaysOnTop(true);
                m_dots.push_back(std::move(dot));
            }
        }
        return true;
    }
    if (channel != SC_DRAWFOREGROUND)
        return true;
    // Up and right by 20 pixels whatever the zoom: the world vector between
    // two screen points of the current view.
    ON_3dVector offset(0, 0, 0);
    ON_Xform screenToWorld;
    if (pipeline.VP().GetXform(ON_Viewport::coordinate_system::screen_cs, ON_Viewport::coordinate_system::world_cs,
                               screenToWorld))
        offset = screenToWorld * ON_3dPoint(20, 0, 0) - screenToWorld * ON_3dPoint(0, 20, 0);
    const wchar_t* unit = doc ? UnitSystemText(static_cast<int>(doc->UnitSystem())) : L"";
    const std::vector<stDeviationLabel>& labels = m_mode.Labels();
    for (std::size_t i = 0; i < labels.size() && i < m_dots.size(); ++i)
    {
        const stDeviationLabel& label = labels[i];
        CDezazTextDot& dot = *m_dots[i];
        dot.SetText(DeviationLabelText(label.deviation, unit, 3, L"Unknown").c_str());
        dot.SetPoint(label.point + offset);
        pipeline.DrawObject(&dot);
        pipeline.GetDezazVP().DrawInferencePoint(label.point, ON_Color(kLabelMarkerColour));
    }
    return true;
}

// ---------------------------------------------------------------- dialog

BEGIN_MESSAGE_MAP(CFloatingAnalyzerDialog, CDezazDialog)
ON_COMMAND(IDC_ANALYZER_RECALCULATE, &CFloatingAnalyzerDialog::OnRecalculate)
ON_COMMAND(IDC_ANALYZER_APPLY, &CFloatingAnalyzerDialog::OnApply)
ON_CONTROL(EN_CHANGE, IDC_ANALYZER_TOLERANCE, &CFloatingAnalyzerDialog::OnToleranceChanged)
ON_COMMAND(IDC_ANALYZER_PICK, &CFloatingAnalyzerDialog::OnPick)
ON_COMMAND(IDC_ANALYZER_CLEAR, &CFloatingAnalyzerDialog::OnClear)
ON_COMMAND(IDC_ANALYZER_SURFACES, &CFloatingAnalyzerDialog::OnSurfaces)
ON_COMMAND(IDC_ANALYZER_OUT_OF_RANGE, &CFloatingAnalyzerDialog::OnOutOfRange)
END_MESSAGE_MAP()

std::unique_ptr<IToolDialog> MakeFloatingAnalyzerDialog()
{
    return std::make_unique<CFloatingAnalyzerDialog>(&ThePlugIn().Settings(), &ThePlugIn().ThreadPool());
}

CFloatingAnalyzerDialog::CFloatingAnalyzerDialog(cRegistryStore* store, cThreadPool* pool, CWnd* parent)
    : CDezazDialog(IDD_FLOATING_ANALYZER, parent), m_conduit(this, TheVTLAnalysisMode()), m_store(store), m_pool(pool)
{
}

CFloatingAnalyzerDialog::~CFloatingAnalyzerDialog()
{
    *m_alive = false;
    m_conduit.Disable();
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
}

CDezazDoc& CFloatingAnalyzerDialog::Document() const
{
    return m_doc ? *m_doc : DezazApp().ActiveDoc();
}

bool CFloatingAnalyzerDialog::CreateModeless(UINT resource, CWnd* parent)
{
    return Create(resource, parent) != FALSE;
}

void CFloatingAnalyzerDialog::CancelDialog(bool)
{
    // Nothing to ask: the analysis is shown, not kept.
    if (m_hWnd && ::IsWindow(m_hWnd))
        OnCancel();
}

void CFloatingAnalyzerDialog::DoDataExchange(CDataExchange* dx)
{
    CDezazDialog::DoDataExchange(dx);
    float tolerance = m_tolerance;
    DDX_Text(dx, IDC_ANALYZER_TOLERANCE, tolerance);
    if (dx->m_bSaveAndValidate && !IsUsableTolerance(tolerance, m_multiplier))
    {
        // The scale's blend divides by limit - tolerance: a tolerance of 0
        // or below would colour every vertex with a division by zero.
        AfxMessageBox(kBadToleranceText, MB_ICONEXCLAMATION);
        dx->Fail();
    }
    m_tolerance = tolerance;
    for (int i = 0; i < 4; ++i)
        DDX_Text(dx, kLegendIds[i], m_legend[i]);
    DDX_Check(dx, IDC_ANALYZER_OUT_OF_RANGE, m_colourOutOfRange);
}

BOOL CFloatingAnalyzerDialog::OnInitDialog()
{
    CDezazDialog::OnInitDialog();
    m_tolerance = kDefaultTolerance;
    ReadAnalyzerRange(m_store, m_multiplier, m_tolerance);
    FormatLegend();
    if (!m_conduit.IsEnabled())
        m_conduit.Enable();
    m_scale.SubclassDlgItem(IDC_ANALYZER_SCALE, this);
    ShowValues();
    EnableControl(IDC_ANALYZER_APPLY, false);
    return TRUE;
}

void CFloatingAnalyzerDialog::FormatLegend()
{
    const std::array<std::wstring, 4> legend = AnalyzerLegend(m_multiplier, m_tolerance);
    for (int i = 0; i < 4; ++i)
        m_legend[i] = legend[std::size_t(i)].c_str();
}

void CFloatingAnalyzerDialog::ShowValues()
{
    if (!m_hWnd)
        return;
    m_exchanging = true;
    UpdateData(FALSE);
    m_exchanging = false;
}

void CFloatingAnalyzerDialog::SetButtonText(int id, const wchar_t* text)
{
    if (m_hWnd)
        ::SetDlgItemTextW(m_hWnd, id, text);
}

void CFloatingAnalyzerDialog::EnableControl(int id, bool enable)
{
    if (HWND control = m_hWnd ? ::GetDlgItem(m_hWnd, id) : nullptr)
        ::EnableWindow(control, enable ? TRUE : FALSE);
}

void CFloatingAnalyzerDialog::OnToleranceChanged()
{
    // Only the user's typing: the dialog writing its own value is no change.
    if (!m_exchanging)
        EnableControl(IDC_ANALYZER_APPLY, true);
}

bool CFloatingAnalyzerDialog::ApplyTolerance()
{
    if (!UpdateData(TRUE))
        return false;
    FormatLegend();
    WriteAnalyzerTolerance(m_store, m_tolerance);
    Recalculate();
    return true;
}

void CFloatingAnalyzerDialog::OnApply()
{
    ApplyTolerance();
}

void CFloatingAnalyzerDialog::OnRecalculate()
{
    ApplyTolerance();
}

void CFloatingAnalyzerDialog::OnOutOfRange()
{
    // The state is read with the next recalculation.
    UpdateData(TRUE);
}

void CFloatingAnalyzerDialog::Recalculate()
{
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    BeginWaitCursor();
    EnableControl(IDC_ANALYZER_APPLY, false);
    SetButtonText(IDC_ANALYZER_RECALCULATE, L"Preparing...");
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    if (!IsUsableTolerance(m_tolerance, m_multiplier))
    {
        m_multiplier = kDefaultMultiplier;
        m_tolerance = kDefaultTolerance;
    }
    mode.SetRange(m_tolerance, m_multiplier * m_tolerance, m_colourOutOfRange == 1);
    mode.SetThreadPool(m_pool);

    CDezazDoc& doc = Document();
    doc.Properties().SetAnalysisMeshSettings(CDezazAppRenderMeshSettings::DefaultQualityMeshParameters());
    std::vector<ON_Mesh*> meshes;
    std::vector<const CDezazObject*> analysed;
    int turnedOn = 0;
    CDezazObjectIterator it(doc, kAllStates, kAllCategories);
    for (const CDezazObject* object = it.First(); object; object = it.Next())
    {
        CDezazObject* writable = Writable(object);
        writable->EnableAnalysisMode(kVTLAnalysisModeId, false);
        if (object->ObjectType() != DezazObjectType::mesh)
            continue;
        writable->DestroyMeshes(DezazMeshType::analysis_mesh);
        if (writable->EnableAnalysisMode(kVTLAnalysisModeId, true))
        {
            ++turnedOn;
            analysed.push_back(object);
        }
        ON_SimpleArray<const ON_Mesh*> own;
        object->GetMeshes(DezazMeshType::render_mesh, own);
        for (int i = 0; i < own.Count(); ++i)
            meshes.push_back(const_cast<ON_Mesh*>(own[i]));
    }
    if (!mode.BuildSearchTree(doc, mode.CollectCADMeshes(doc)))
        DezazApp().Print(L"There are no surfaces to measure the meshes against.\n");
    SetButtonText(IDC_ANALYZER_RECALCULATE, L"Calculating...");
    ShowValues();
    mode.RecolourMeshes(doc, meshes);
    PrintStatistics(analysed);
    if (turnedOn > 0)
        doc.Redraw();
    SetButtonText(IDC_ANALYZER_RECALCULATE, L"Recalculate");
    EndWaitCursor();
}

void CFloatingAnalyzerDialog::PrintStatistics(const std::vector<const CDezazObject*>& meshes) const
{
    const CDezazDoc& doc = Document();
    const wchar_t* unit = UnitSystemText(static_cast<int>(doc.UnitSystem()));
    for (const CDezazObject* object : meshes)
    {
        const cON_AVTree* tree = cON_AVTree::Find(WritableGeometry(object));
        if (!tree)
            continue;
        const stDeviationStatistics& s = tree->GetStatistics();
        const double limit = double(TheVTLAnalysisMode().Maximum());
        if (!s.valid)
        {
            DezazApp().Print(L"Deviation of mesh %u: no vertex within %g %ls of a surface; %u beyond it above, "
                             L"%u below.\n",
                             object->RuntimeSerialNumber(), limit, unit, s.beyondAbove, s.beyondBelow);
            continue;
        }
        double sum = 0.0;
        for (std::uint32_t i = 0; i < tree->GetCount(); ++i)
            if (const float d = tree->GetRecord(i)->deviation; d != FLT_MAX)
                sum += d;
        // Minimum and maximum are those of the compared points: the points
        // beyond the scale's limit are counted apart, so that neither
        // figure passes for the scan's true extreme.
        DezazApp().Print(L"Deviation of mesh %u: %u of %u points compared, mean %.4f, RMS %.4f, min %.4f, "
                         L"max %.4f %ls; %u in, %u above, %u below \261%g; beyond \261%g: %u above, %u below.\n",
                         object->RuntimeSerialNumber(), s.compared, tree->GetCount(), sum / s.compared, s.rms,
                         double(s.minimum), double(s.maximum), unit, s.inTolerance, s.aboveTolerance,
                         s.belowTolerance, double(TheVTLAnalysisMode().Tolerance()), limit, s.beyondAbove,
                         s.beyondBelow);
    }
}

void CFloatingAnalyzerDialog::PickLabels()
{
    if (m_picking)
        return;
    m_picking = true;
    // While the host waits for a pick the analyser can be closed (its Close,
    // or a new, opened or saved document, which also deletes it): the pick
    // ends with it, and a pick made meanwhile adds nothing.
    const std::shared_ptr<const bool> alive = m_alive;
    const HWND window = m_hWnd;
    for (;;)
    {
        CDezazGetObject go;
        go.SetCommandPrompt(L"Pick point from reference mesh:");
        go.SetGeometryFilter(CDezazGetObject::mesh_object);
        go.EnablePreSelect(false);
        const CDezazGet::result picked = go.GetObjects(1, 1);
        if (!*alive)
            return;
        if (picked != CDezazGet::object || !::IsWindow(window))
            break;
        const CDezazObjRef& ref = go.Object(0);
        const CDezazObject* object = ref.Object();
        ON_3dPoint point;
        if (!object || !ref.SelectionPoint(point))
            continue;
        if (TheVTLAnalysisMode().AddLabel(ON_Mesh::Cast(object->Geometry()), point, object->ModelObjectId()))
            Document().Redraw();
    }
    m_picking = false;
}

void CFloatingAnalyzerDialog::OnPick()
{
    PickLabels();
}

void CFloatingAnalyzerDialog::ClearLabels()
{
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    const bool had = !mode.Labels().empty();
    mode.ClearLabels();
    if (had)
        Document().Redraw();
}

void CFloatingAnalyzerDialog::OnClear()
{
    ClearLabels();
}

void CFloatingAnalyzerDialog::ApplySurfaceVisibility()
{
    if (m_hWnd)
        UpdateData(TRUE);
    CDezazDoc& doc = Document();
    auto& hidden = TheVTLAnalysisMode().HiddenSurfaces();
    if (m_surfacesShown)
    {
        hidden.clear();
        bool any = false;
        CDezazObjectIterator it(doc, kAllStates, kAllCategories);
        for (const CDezazObject* object = it.First(); object; object = it.Next())
        {
            if (!object->IsVisible() || !IsSurfaceType(object->ObjectType()))
                continue;
            if (doc.HideObject(CDezazObjRef(object)))
            {
                hidden.insert(object->ModelObjectId());
                any = true;
            }
        }
        if (any)
            doc.Redraw();
    }
    else
    {
        CDezazObjectIterator it(doc, kAllStates, kAllCategories);
        for (const CDezazObject* object = it.First(); object; object = it.Next())
            if (!object->IsVisible() && hidden.count(object->ModelObjectId()))
                doc.ShowObject(CDezazObjRef(object));
        hidden.clear();
        doc.Redraw();
    }
    m_surfacesShown = m_surfacesShown ? 0 : 1;
    SetButtonText(IDC_ANALYZER_SURFACES, m_surfacesShown ? L"Hide Surfaces" : L"Show Surfaces");
}

void CFloatingAnalyzerDialog::OnSurfaces()
{
    ApplySurfaceVisibility();
}

void CFloatingAnalyzerDialog::OnCancel()
{
    if (m_picking)
        DezazApp().RunScript(L"_Enter", 0);
    m_conduit.Disable();
    CVTLAnalysisMode& mode = TheVTLAnalysisMode();
    mode.ClearLabels();
    CDezazDoc& doc = Document();
    int turnedOff = 0;
    CDezazObjectIterator it(doc, kAllStates, kAllCategories);
    for (const CDezazObject* object = it.First(); object; object = it.Next())
    {
        if (object->InAnalysisMode(kVTLAnalysisModeId))
        {
            Writable(object)->EnableAnalysisMode(kVTLAnalysisModeId, false);
            ++turnedOff;
        }
        else if (const ON_Mesh* mesh = ON_Mesh::Cast(object->Geometry());
                 mesh && ON_MappingTag::Compare(mesh->m_Ctag, CVTLAnalysisMode::ColourTag(), true, true, true) == 0)
        {
            // A hidden mesh is measured with the others, but the mode cannot
            // be turned on for it: its colours would outlive the analysis
            // (and go into the saved document).
            Writable(object)->DestroyMeshes(DezazMeshType::analysis_mesh);
        }
        cON_AVTree::Remove(WritableGeometry(object));
    }
    // Every surface the analyser hid comes back.
    auto& hidden = mode.HiddenSurfaces();
    CDezazObjectIterator again(doc, kAllStates, kAllCategories);
    for (const CDezazObject* object = again.First(); object; object = again.Next())
        if (!object->IsVisible() && hidden.count(object->ModelObjectId()))
            doc.ShowObject(CDezazObjRef(object));
    hidden.clear();
    m_surfacesShown = 1;
    mode.ReleaseSearchTree();
    if (turnedOff > 0)
        doc.Redraw();
    CDezazDialog::OnCancel();
    // The plug-in's holder owns this object; only the window goes.
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();
}
