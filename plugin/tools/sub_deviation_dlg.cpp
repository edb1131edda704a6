#include "plugin/tools/sub_deviation_dlg.h"

#include "analysis/analysed_vertex_tree.h"
#include "core/frame_math.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/registry_store.h"
#include "core/scene.h"
#include "modes/deviation_labels.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/mfc/controls.h"
#include "platform/mfc/data_exchange.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/tools/analyzer_settings.h"
#include "plugin/tools/deviation_analysis_mode.h"
#include "plugin/vtl_plugin.h"
#include "resources/analyzer.h"
#include "shapes/host_surface.h"
#include "shapes/shape_interfaces.h"

#include <cwchar>

namespace
{

constexpr int kLegendIds[4] = {IDC_ANALYZER_LEGEND_MAX, IDC_ANALYZER_LEGEND_TOLERANCE,
                               IDC_ANALYZER_LEGEND_MINUS_TOLERANCE, IDC_ANALYZER_LEGEND_MIN};

cVTL_AVTree* AnalysisOf(ISceneObject* object)
{
    return object ? dynamic_cast<cVTL_AVTree*>(object->FindAttachedProperty(kAnalyzerInfoPropertyName)) : nullptr;
}

} // namespace

BEGIN_MESSAGE_MAP(CSubDeviationDlg, CSubDlgBase)
ON_COMMAND(IDC_ANALYZER_APPLY, &CSubDeviationDlg::OnApply)
ON_COMMAND(IDC_ANALYZER_SELECTION_ONLY, &CSubDeviationDlg::OnSelectionOnlyChanged)
ON_COMMAND(IDC_ANALYZER_SHOW_MIN_MAX, &CSubDeviationDlg::OnShowMinMaxChanged)
ON_COMMAND(IDC_ANALYZER_CLEAR, &CSubDeviationDlg::OnClearLabels)
END_MESSAGE_MAP()

std::unique_ptr<CSubDlgBase> MakeDeviationPage(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* store)
{
    return std::make_unique<CSubDeviationDlg>(owner, view, store, &ThePlugIn().ThreadPool());
}

CSubDeviationDlg::CSubDeviationDlg(CCreatePrimitiveDialog* owner, cCPView* view, cRegistryStore* store,
                                   cThreadPool* pool)
    : CSubDlgBase(IDD_SUB_DEVIATION, owner, view), m_store(store)
{
    m_analysis.pool = pool;
    m_analysis.colourOutOfRange = false;
    ReadAnalyzerRange(m_store, m_multiplier, m_tolerance);
    m_toleranceStored = m_tolerance;
    ReadAnalyzerSwitches(m_store, m_selectionOnly, m_showMinMax);
    if (view)
    {
        SetDeviationPage(view, this);
        SetShapesViewModeMaker(kModeDeviation, &MakeDeviationMode);
    }
}

CSubDeviationDlg::~CSubDeviationDlg()
{
    if (View() && FindDeviationPage(View()) == this)
        SetDeviationPage(View(), nullptr);
}

BOOL CSubDeviationDlg::OnInitDialog()
{
    CSubDlgBase::OnInitDialog();
    m_tolerance = kDefaultTolerance;
    ReadAnalyzerRange(m_store, m_multiplier, m_tolerance);
    m_toleranceStored = m_tolerance;
    FormatLegend();
    ReadAnalyzerSwitches(m_store, m_selectionOnly, m_showMinMax);
    if (HWND control = ::GetDlgItem(m_hWnd, IDC_ANALYZER_SHOW_MIN_MAX))
        ::EnableWindow(control, m_selectionOnly ? TRUE : FALSE);
    m_scale.SubclassDlgItem(IDC_ANALYZER_SCALE, this);
    ShowValues();
    return TRUE;
}

void CSubDeviationDlg::DoDataExchange(CDataExchange* dx)
{
    CSubDlgBase::DoDataExchange(dx);
    // The switches first: a refused tolerance below does not take back the
    // one the user has just clicked.
    DDX_Check(dx, IDC_ANALYZER_SELECTION_ONLY, m_selectionOnly);
    DDX_Check(dx, IDC_ANALYZER_SHOW_MIN_MAX, m_showMinMax);
    float tolerance = m_tolerance;
    DDX_Text(dx, IDC_ANALYZER_TOLERANCE, tolerance);
    if (dx->m_bSaveAndValidate && !IsUsableTolerance(tolerance, m_multiplier))
    {
        // The colour blend divides by limit - tolerance.
        AfxMessageBox(kBadToleranceText, MB_ICONEXCLAMATION);
        dx->Fail();
    }
    m_tolerance = tolerance;
    for (int i = 0; i < 4; ++i)
        DDX_Text(dx, kLegendIds[i], m_legend[i]);
    DDX_Text(dx, IDC_ANALYZER_INFO, m_info);
}

void CSubDeviationDlg::ShowValues()
{
    if (m_hWnd)
        UpdateData(FALSE);
}

void CSubDeviationDlg::FormatLegend()
{
    const std::array<std::wstring, 4> legend = AnalyzerLegend(m_multiplier, m_tolerance);
    for (int i = 0; i < 4; ++i)
        m_legend[i] = legend[std::size_t(i)].c_str();
}

void CSubDeviationDlg::InvalidateView() const
{
    if (View() && View()->GetSafeHwnd())
        ::InvalidateRect(View()->GetSafeHwnd(), nullptr, FALSE);
}

std::vector<cMeshObject*> CSubDeviationDlg::MeshObjects() const
{
    std::vector<cMeshObject*> objects;
    I3DScene* scene = View() ? View()->GetScene() : nullptr;
    if (!scene)
        return objects;
    std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
    if (!it)
        return objects;
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
            objects.push_back(object);
    return objects;
}

ISceneObject* CSubDeviationDlg::CurrentShape() const
{
    IShapesViewOwner* owner = View() ? View()->GetShapesOwner() : nullptr;
    return owner ? owner->CurrentShapeObject() : nullptr;
}

std::wstring CSubDeviationDlg::UnitText() const
{
    return UnitSystemText(static_cast<int>(DezazApp().ActiveDoc().UnitSystem()));
}

void CSubDeviationDlg::SyncSelectionOnly()
{
    for (cMeshObject* object : MeshObjects())
    {
        const cMesh& mesh = *object->GetMesh();
        for (std::uint32_t t = 0; t < mesh.GetTriangleCount(); ++t)
        {
            const std::uint8_t flags = mesh.GetTriangle(t)->flags;
            if ((flags & kTriangleFlagSelected) && !(flags & kTriangleFlagHidden))
                return;
        }
    }
    if (!m_selectionOnly)
        return;
    m_selectionOnly = 0;
    WriteAnalyzerSwitch(m_store, L"CompareSelectionOnly", 0);
    SetDeviationSelectionOnly(View(), false);
    if (HWND control = m_hWnd ? ::GetDlgItem(m_hWnd, IDC_ANALYZER_SHOW_MIN_MAX) : nullptr)
        ::EnableWindow(control, FALSE);
    ShowValues();
}

void CSubDeviationDlg::UpdateDeviationInfo(bool redraw)
{
    SyncSelectionOnly();
    ISceneObject* shape = CurrentShape();
    auto* surface = shape ? static_cast<ON_ISurface*>(shape->QueryInterface(IID_ON_ISurface)) : nullptr;
    ON_SimpleArray<ON_Mesh*> owned;
    if (surface)
        surface->GetMeshes(owned);
    std::vector<const ON_Mesh*> meshes;
    for (int i = 0; i < owned.Count(); ++i)
        meshes.push_back(owned[i]);
    if (!IsUsableTolerance(m_tolerance, m_multiplier))
        m_tolerance = kDefaultTolerance;
    m_analysis.colourOutOfRange = false;
    m_analysis.tolerance = m_tolerance;
    m_analysis.maximum = m_multiplier * m_tolerance;
    m_analysis.searchTree.BuildVertexTree(meshes);
    cProcProgressNull progress;
    m_analysis.searchTree.BuildFaceTree(meshes, &progress);
    const std::vector<cMeshObject*> objects = MeshObjects();
    // Without a shape, or with one that gives no mesh, nothing is measured:
    // the meshes then show no deviation rather than the last shape's.
    const bool measurable = m_analysis.searchTree.IsSearchable();
    for (cMeshObject* object : objects)
    {
        if (measurable)
            ScenePass(m_analysis, object, m_selectionOnly != 0, m_analysis.tolerance, m_analysis.maximum);
        else
            ClearScenePass(object);
    }
    m_analysis.searchTree.Clear();
    for (int i = 0; i < owned.Count(); ++i)
        delete owned[i];
    RereadDeviationProbe(View());
    // Labels stay with the shape they were picked against.
    const GUID shapeId = shape ? shape->GetObjectId() : GUID{};
    if (shape == m_recordedShape && shapeId == m_recordedShapeId)
        RefreshLabels();
    else
        m_labels.clear();
    m_recordedShape = shape;
    m_recordedShapeId = shapeId;

    m_info = L"No information available";
    for (cMeshObject* object : objects)
    {
        const cVTL_AVTree* tree = AnalysisOf(object);
        if (!tree)
            continue;
        const stDeviationStatistics& s = tree->GetStatistics();
        if (s.valid && s.compared > 0)
        {
            const double n = s.compared;
            m_info.Format(L"Points compared: %d\nIn Tolerance: %d / %.2f%%\nAbove Tolerance: %d / %.2f%%\n"
                          L"Below Tolerance: %d / %.2f%% \nRMS: %.3f",
                          int(s.compared), int(s.inTolerance), s.inTolerance * 100.0 / n, int(s.aboveTolerance),
                          s.aboveTolerance * 100.0 / n, int(s.belowTolerance), s.belowTolerance * 100.0 / n, s.rms);
        }
        else
            m_info = L"";
    }
    ShowValues();
    if (redraw && View() && View()->GetSafeHwnd())
        View()->RequestRedraw(0);
}

void CSubDeviationDlg::ApplyTolerance()
{
    // A value the page refuses (it has said so) leaves the tolerance in use:
    // the field shows that one again and the meshes are measured with it.
    // The view asks for this whenever the current shape changes or moves,
    // and a shape chosen meanwhile must not show the last one's deviations.
    if (m_hWnd)
        UpdateData(TRUE);
    FormatLegend();
    ShowValues();
    if (m_tolerance != m_toleranceStored)
    {
        WriteAnalyzerTolerance(m_store, m_tolerance);
        m_toleranceStored = m_tolerance;
    }
    UpdateDeviationInfo(true);
}

void CSubDeviationDlg::OnApply()
{
    // A refused value leaves everything as it was measured: the field shows
    // the tolerance in use again, without another pass over the meshes.
    if (m_hWnd && !UpdateData(TRUE))
    {
        ShowValues();
        return;
    }
    // Applied by the user: stored even when the analyser stored another.
    WriteAnalyzerTolerance(m_store, m_tolerance);
    m_toleranceStored = m_tolerance;
    ApplyTolerance();
}

void CSubDeviationDlg::OnSelectionOnlyChanged()
{
    // A refused tolerance (said so) keeps the one in use; the switch counts.
    UpdateData(TRUE);
    WriteAnalyzerSwitch(m_store, L"CompareSelectionOnly", m_selectionOnly);
    if (HWND control = ::GetDlgItem(m_hWnd, IDC_ANALYZER_SHOW_MIN_MAX))
        ::EnableWindow(control, m_selectionOnly ? TRUE : FALSE);
    SetDeviationSelectionOnly(View(), m_selectionOnly != 0);
    UpdateDeviationInfo(true);
}

void CSubDeviationDlg::OnShowMinMaxChanged()
{
    if (!UpdateData(TRUE))
        ShowValues(); // the refused tolerance gives way to the one in use
    WriteAnalyzerSwitch(m_store, L"ShowMinMaxPoints", m_showMinMax);
    InvalidateView();
}

bool CSubDeviationDlg::ClearLabels()
{
    const bool had = !m_labels.empty();
    m_labels.clear();
    InvalidateView();
    return had;
}

void CSubDeviationDlg::MoveLabels(const double m[12])
{
    for (stDeviationPageLabel& label : m_labels)
    {
        TransformPoint3f(m, label.picked, label.picked);
        TransformPoint3f(m, label.point, label.point);
    }
    InvalidateView();
}

void CSubDeviationDlg::OnClearLabels()
{
    ClearLabels();
}

void CSubDeviationDlg::ShowPage()
{
    if (!m_hWnd)
        return;
    // The Shape page shares the tab's room with this one: it goes, so that
    // the statistics are not hidden under it.
    if (CCreatePrimitiveDialog* owner = Owner(); owner && owner->GetShapePage())
        if (HWND shapePage = owner->GetShapePage()->GetSafeHwnd())
            ::ShowWindow(shapePage, SW_HIDE);
    ShowWindow(SW_SHOW);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

bool CSubDeviationDlg::AddPickedPoint(ISceneObject* object, const float point[3])
{
    const cVTL_AVTree* tree = AnalysisOf(object);
    if (!tree || !point)
        return false;
    stDeviationPageLabel label;
    label.object = object->GetObjectId();
    for (int k = 0; k < 3; ++k)
        label.picked[k] = point[k];
    const cON_AVertex* record = MatchNearestRecord(label, *tree);
    if (!record)
        return false;
    auto* meshObject = dynamic_cast<cMeshObject*>(object);
    const cMesh* mesh = meshObject ? meshObject->GetMesh() : nullptr;
    if (mesh && record->vertexIndex < mesh->GetVertexCount())
        for (int k = 0; k < 3; ++k)
            label.rgb[k] = mesh->GetVertex(record->vertexIndex)->extra[k];
    m_labels.push_back(label);
    return true;
}

void CSubDeviationDlg::RefreshLabels()
{
    std::vector<stAnalysedObject> trees;
    for (cMeshObject* object : MeshObjects())
        if (const cVTL_AVTree* tree = AnalysisOf(object))
            trees.push_back({object->GetObjectId(), tree});
    ResolveDeviationLabels(m_labels, trees);
}
