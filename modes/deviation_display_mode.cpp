#include "modes/deviation_display_mode.h"

#include "analysis/analysed_vertex_tree.h"
#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/p3d_scene.h"
#include "core/scene.h"
#include "modes/deviation_labels.h"
#include "modes/mode_support.h"
#include "modes/shapes_view.h"
#include "modes/shapes_view_owner.h"
#include "platform/gdiplus/graphics_draw.h"
#include "platform/gdiplus/pen_brush.h"
#include "platform/gdiplus/text.h"
#include "render/gdi_graphics_layer.h"
#include "render/gl_renderer.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <new>

namespace
{

std::map<C3DView*, IDeviationPage*>& Pages()
{
    static std::map<C3DView*, IDeviationPage*> pages;
    return pages;
}

// "<prefix>%.4f <unit>", or "Out of tolerance" for FLT_MAX.
std::wstring LabelText(const wchar_t* prefix, float value, const std::wstring& unit)
{
    return DeviationLabelText(value, unit.c_str(), 4, L"Out of tolerance", prefix);
}

cVTL_AVTree* AnalysisOf(ISceneObject* object)
{
    return object ? dynamic_cast<cVTL_AVTree*>(object->FindAttachedProperty(kAnalyzerInfoPropertyName)) : nullptr;
}

} // namespace

IDeviationPage* FindDeviationPage(C3DView* view)
{
    const auto it = Pages().find(view);
    return it == Pages().end() ? nullptr : it->second;
}

void SetDeviationPage(C3DView* view, IDeviationPage* page)
{
    if (page)
        Pages()[view] = page;
    else
        Pages().erase(view);
}

// ---------------------------------------------------------------- probe

bool cDeviationProbe::stImageKey::operator==(const stImageKey& o) const
{
    return std::memcmp(view, o.view, sizeof view) == 0 && std::memcmp(centre, o.centre, sizeof centre) == 0 &&
           viewport.left == o.viewport.left && viewport.top == o.viewport.top &&
           viewport.right == o.viewport.right && viewport.bottom == o.viewport.bottom &&
           perspective == o.perspective && mesh == o.mesh && vertices == o.vertices && triangles == o.triangles;
}

cDeviationProbe::stImageKey cDeviationProbe::KeyOf(I3DSceneRenderer& renderer, const cMesh& mesh)
{
    stImageKey key;
    if (auto* camera = dynamic_cast<cBase3DRenderer*>(&renderer))
    {
        std::memcpy(key.view, camera->GetViewTransform(), sizeof key.view);
        std::memcpy(key.centre, camera->GetSceneCentre(), sizeof key.centre);
    }
    renderer.GetViewport(&key.viewport);
    key.perspective = renderer.IsPerspective();
    key.mesh = &mesh;
    key.vertices = mesh.GetVertexCount();
    key.triangles = mesh.GetTriangleCount();
    return key;
}

void cDeviationProbe::Reset()
{
    m_active = false;
    m_point[0] = m_point[1] = m_point[2] = FLT_MAX;
    m_value = FLT_MAX;
    m_lookedUp = false;
}

bool cDeviationProbe::RenderImage(I3DSceneRenderer& renderer, const cMesh& mesh, std::uint32_t first,
                                  std::uint32_t span)
{
    m_first = first;
    m_span = std::clamp<std::uint32_t>(span, 1, kMaxColourIdTriangles);
    m_imageValid = RenderFaceIdPass(renderer, mesh, true, m_first, m_span);
    if (m_imageValid)
        m_key = KeyOf(renderer, mesh);
    return m_imageValid;
}

bool cDeviationProbe::ImageIsCurrent(I3DSceneRenderer& renderer, const cMesh& mesh) const
{
    return m_imageValid && KeyOf(renderer, mesh) == m_key;
}

float cDeviationProbe::RecordedDeviation(cMeshObject& object, const cMesh& mesh, std::uint32_t index)
{
    // The record of the vertex, when the last pass measured a mesh of this
    // size: a mesh changed since has no value, never a stray one.
    if (const cVTL_AVTree* tree = AnalysisOf(&object); tree && tree->GetCount() == mesh.GetVertexCount())
        if (const cON_AVertex* record = tree->GetRecord(index); record && record->vertexIndex == index)
            return record->deviation;
    return FLT_MAX;
}

void cDeviationProbe::Reread(cMeshObject& object)
{
    if (const cMesh* mesh = object.GetMesh(); m_active && m_lookedUp && mesh)
        m_value = RecordedDeviation(object, *mesh, m_index);
}

bool cDeviationProbe::Deactivate()
{
    const bool was = m_active;
    Reset();
    return was;
}

bool cDeviationProbe::Probe(I3DSceneRenderer& renderer, cMeshObject& object, POINT cursor, std::uint32_t span)
{
    cMesh* mesh = object.GetMesh();
    if (!mesh)
        return Deactivate();
    span = std::clamp<std::uint32_t>(span, 1, kMaxColourIdTriangles);
    if ((!ImageIsCurrent(renderer, *mesh) || m_span != span) && !RenderImage(renderer, *mesh, 0, span))
        return Deactivate();
    std::uint32_t id = ReadPickIdUnderCursor(renderer, cursor);
    // A scan of more triangles than one image names: the triangle under
    // the cursor may be another window's (the image drew it as background).
    const std::uint64_t count = mesh->GetTriangleCount();
    if (id == kNoPickId && count > span)
    {
        const std::uint32_t shown = m_first;
        for (std::uint64_t first = 0; first < count && id == kNoPickId; first += span)
        {
            if (first == shown)
                continue;
            if (!RenderImage(renderer, *mesh, std::uint32_t(first), span))
                return Deactivate();
            id = ReadPickIdUnderCursor(renderer, cursor);
        }
    }
    if (id == kNoPickId || m_first >= count || id > std::min<std::uint64_t>(span, count - m_first))
        return Deactivate();
    const cMeshTriangle* triangle = mesh->GetTriangle(m_first + id - 1);
    // The vertex drawn nearest to the cursor (the later one on a tie).
    const cVertex* chosen = nullptr;
    std::uint32_t chosenIndex = 0;
    double best = 0.0;
    for (std::uint32_t k = 0; k < 3; ++k)
    {
        const std::uint32_t index = triangle->vertexIndex[k];
        if (index >= mesh->GetVertexCount())
            continue;
        const cVertex* v = mesh->GetVertex(index);
        float projected[3];
        renderer.ProjectPoint(projected, &v->x, true);
        POINT at{};
        renderer.WorldToScreen(projected[0], projected[1], &at);
        const double dx = double(at.x) - cursor.x, dy = double(at.y) - cursor.y;
        const double d = dx * dx + dy * dy;
        if (!chosen || d <= best)
        {
            chosen = v;
            chosenIndex = index;
            best = d;
        }
    }
    if (!chosen)
        return Deactivate();
    bool changed = !m_active;
    const double moved = std::sqrt(double(chosen->x - m_point[0]) * (chosen->x - m_point[0]) +
                                   double(chosen->y - m_point[1]) * (chosen->y - m_point[1]) +
                                   double(chosen->z - m_point[2]) * (chosen->z - m_point[2]));
    if (!m_active)
        m_lookedUp = false;
    if (m_active && moved > FLT_EPSILON)
    {
        m_value = RecordedDeviation(object, *mesh, chosenIndex);
        m_index = chosenIndex;
        m_lookedUp = true;
        changed = true;
    }
    m_point[0] = chosen->x;
    m_point[1] = chosen->y;
    m_point[2] = chosen->z;
    m_active = true;
    return changed;
}

void RereadDeviationProbe(C3DView* view)
{
    // The page redraws the view after its pass.
    if (auto* mode = dynamic_cast<CUIM_Deviation*>(view ? view->GetActiveMode() : nullptr))
        if (cMeshObject* object = mode->ProbedObject())
            mode->RereadProbe(*object);
}

// ---------------------------------------------------------------- mode

CUIM_Deviation::CUIM_Deviation(std::uint32_t id, std::uint32_t temporary, C3DView* view)
    : CUIM_ScreenSelection(id, temporary, view)
{
    probe.Reset();
    if (IDeviationPage* page = Page())
    {
        // Making the mode measures the meshes.
        page->UpdateDeviationInfo(false);
        unitText = page->UnitText();
    }
}

CUIM_Deviation::~CUIM_Deviation()
{
    HideQuickPopups();
    RestoreDisplay();
}

void SetDeviationSelectionOnly(C3DView* view, bool on)
{
    if (auto* scene = dynamic_cast<cP3DScene*>(view ? view->GetScene() : nullptr))
        scene->m_deviationSelectionOnly = on ? 1 : 0;
}

void CUIM_Deviation::ShowVertexColours()
{
    auto* scene = dynamic_cast<cP3DScene*>(ownerView ? ownerView->GetScene() : nullptr);
    if (!scene)
        return;
    // A navigation mode ending on top of this one activates it again: the
    // display from before the first activation is the one to go back to.
    if (!displayTaken)
        previousBoxMode = scene->m_boxMode;
    displayTaken = true;
    scene->m_boxMode = kBoxModeDeviation;
    IDeviationPage* page = Page();
    scene->m_deviationSelectionOnly = page && page->SelectionOnly() ? 1 : 0;
}

void CUIM_Deviation::RestoreDisplay()
{
    auto* scene = dynamic_cast<cP3DScene*>(ownerView ? ownerView->GetScene() : nullptr);
    if (!scene || !displayTaken)
        return;
    // A display another tool chose meanwhile stays.
    if (scene->m_boxMode == kBoxModeDeviation)
        scene->m_boxMode = previousBoxMode;
    scene->m_deviationSelectionOnly = 0;
    displayTaken = false;
    if (ownerView->GetSafeHwnd())
        ownerView->RequestRedraw(0);
}

void CUIM_Deviation::HideQuickPopups() const
{
    if (auto* shapes = dynamic_cast<cCPView*>(ownerView))
        if (IShapesViewOwner* owner = shapes->GetShapesOwner())
            owner->HideQuickPickers();
}

IDeviationPage* CUIM_Deviation::Page() const
{
    return FindDeviationPage(ownerView);
}

cMeshObject* CUIM_Deviation::ProbedObject() const
{
    I3DScene* scene = ownerView ? ownerView->GetScene() : nullptr;
    if (!scene)
        return nullptr;
    std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
    if (!it)
        return nullptr;
    for (it->First(); !it->IsDone(); it->Next())
        if (auto* object = dynamic_cast<cMeshObject*>(it->Current().Get()); object && object->GetMesh())
            return object;
    return nullptr;
}

void CUIM_Deviation::Invalidate() const
{
    if (ownerView && ownerView->GetSafeHwnd())
        ::InvalidateRect(ownerView->GetSafeHwnd(), nullptr, FALSE);
}

void CUIM_Deviation::OnActivate(C3DView* view)
{
    ShowVertexColours();
    HideQuickPopups();
    probe.Reset();
    if (view)
        view->RequestRedraw(0);
    Invalidate();
}

BOOL CUIM_Deviation::OnLButtonDown(POINT point, UINT, C3DView* view)
{
    HideQuickPopups();
    IDeviationPage* page = Page();
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    auto* camera = dynamic_cast<cBase3DRenderer*>(renderer);
    I3DScene* scene = view ? view->GetScene() : nullptr;
    if (!page || !camera || !scene)
        return 0;
    float x = 0.0f, y = 0.0f;
    renderer->ScreenToWorld(point, &x, &y);
    // Every mesh under the cursor in turn, until one takes the label: a
    // mesh in front that carries no analysis does not hide one that does.
    std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
    if (!it)
        return 0;
    for (it->First(); !it->IsDone(); it->Next())
    {
        auto* object = dynamic_cast<cMeshObject*>(it->Current().Get());
        if (!object || !object->GetMesh())
            continue;
        const cVertex hit =
            PickMeshPointUnderCursor(*object->GetMesh(), x, y, camera->GetViewTransform(), camera->GetSceneCentre());
        if (hit.flags & kPickedNothing)
            continue;
        const float p[3] = {hit.x, hit.y, hit.z};
        if (page->AddPickedPoint(object, p))
        {
            Invalidate();
            break;
        }
    }
    return 0;
}

BOOL CUIM_Deviation::OnMouseMove(POINT point, UINT, C3DView* view)
{
    cMeshObject* object = ProbedObject();
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    bool changed = false;
    if (renderer && object)
        changed = probe.Probe(*renderer, *object, point, faceIdSpan);
    else if (probe.IsActive())
    {
        probe.Reset();
        changed = true;
    }
    if (changed)
        Invalidate();
    if (view && view->GetSafeHwnd())
        ::SendMessageW(view->GetSafeHwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(view->GetSafeHwnd()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return 1;
}

BOOL CUIM_Deviation::OnMouseWheel(UINT, short, POINT, C3DView*)
{
    probe.Invalidate();
    return 0;
}

void CUIM_Deviation::OnSize(UINT, int, int, C3DView*)
{
    probe.Invalidate();
}

BOOL CUIM_Deviation::OnCommand(UINT id, int code, void*, AFX_CMDHANDLERINFO*, C3DView*)
{
    if (code != 0 || id != kCmdReinitializeDeviation)
        return 0;
    if (IDeviationPage* page = Page())
    {
        page->ShowPage();
        page->ApplyTolerance();
    }
    return 0;
}

int CUIM_Deviation::OnSetCursor(C3DView*, UINT, UINT)
{
    // A navigation drag keeps its own cursor.
    if (operation != kNoOperation)
        return int(cursorId);
    return int(kCursorDeviation);
}

BOOL CUIM_Deviation::GetContextMenu(UINT* menuId, CWnd** target)
{
    if (menuId)
        *menuId = kDeviationContextMenu;
    if (target)
        *target = ownerView;
    return 1;
}

template <class F> void CUIM_Deviation::ForEachExtreme(F f) const
{
    IDeviationPage* page = Page();
    I3DScene* scene = ownerView ? ownerView->GetScene() : nullptr;
    if (!page || !scene || !page->SelectionOnly() || !page->ShowMinMax())
        return;
    std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
    if (!it)
        return;
    for (it->First(); !it->IsDone(); it->Next())
    {
        auto* object = dynamic_cast<cMeshObject*>(it->Current().Get());
        const cVTL_AVTree* tree = object ? AnalysisOf(object) : nullptr;
        if (!tree || !tree->GetStatistics().valid || tree->GetStatistics().compared == 0)
            continue;
        f(tree->GetStatistics());
    }
}

std::vector<std::array<float, 3>> CUIM_Deviation::MarkerPoints() const
{
    std::vector<std::array<float, 3>> points;
    ForEachExtreme([&](const stDeviationStatistics& s) {
        points.push_back({s.minimumPoint[0], s.minimumPoint[1], s.minimumPoint[2]});
        points.push_back({s.maximumPoint[0], s.maximumPoint[1], s.maximumPoint[2]});
    });
    if (IDeviationPage* page = Page())
        for (const stDeviationPageLabel& label : page->PageLabels())
            points.push_back({label.point[0], label.point[1], label.point[2]});
    if (probe.HasValue())
        points.push_back({probe.Point()[0], probe.Point()[1], probe.Point()[2]});
    return points;
}

std::vector<stDeviationOverlayLabel> CUIM_Deviation::OverlayLabels(C3DView* view) const
{
    std::vector<stDeviationOverlayLabel> labels;
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!renderer)
        return labels;
    const auto place = [&](const float p[3]) {
        float projected[3];
        renderer->ProjectPoint(projected, p, true);
        POINT at{};
        renderer->WorldToScreen(projected[0], projected[1], &at);
        return POINT{at.x + 15, at.y - 30};
    };
    ForEachExtreme([&](const stDeviationStatistics& s) {
        labels.push_back({LabelText(L"min: ", s.minimum, unitText), place(s.minimumPoint), kMinimumColour});
        labels.push_back({LabelText(L"max: ", s.maximum, unitText), place(s.maximumPoint), kMaximumColour});
    });
    if (IDeviationPage* page = Page())
        for (const stDeviationPageLabel& label : page->PageLabels())
            labels.push_back({LabelText(L"", label.deviation, unitText), place(label.point), kPageLabelColour});
    if (probe.HasValue())
        labels.push_back({LabelText(L"", probe.Value(), unitText), place(probe.Point()), kPageLabelColour});
    return labels;
}

void CUIM_Deviation::DrawGL(C3DView* view)
{
    auto* gl = view ? dynamic_cast<cGLRenderer*>(view->GetRenderer()) : nullptr;
    if (!gl)
        return;
    const std::vector<std::array<float, 3>> points = MarkerPoints();
    if (points.empty())
        return;
    const float radius = gl->PixelsToWorld(kMarkerPixels);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glEnable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor3ub(230, 230, 230);
    gl->PushViewTransform();
    for (const auto& p : points)
    {
        glPushMatrix();
        glTranslatef(p[0], p[1], p[2]);
        glScalef(radius, radius, radius);
        glCallList(cGLRenderer::kListUnitSphere);
        glPopMatrix();
    }
    gl->PopViewTransform();
    glPopAttrib();
}

void CUIM_Deviation::OnAfterFullRedraw(C3DView* view)
{
    // A full redraw leaves the scene in the back buffer, so the id image is
    // drawn again whatever caused the redraw.
    probe.Invalidate();
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    cMeshObject* object = ProbedObject();
    if (renderer && object)
        probe.RenderImage(*renderer, *object->GetMesh(), 0, faceIdSpan);
}

void CUIM_Deviation::DrawOverlay(GpGraphics* graphics, C3DView* view)
{
    CUIM_ScreenSelection::DrawOverlay(graphics, view);
    if (!graphics || !view || view->GetActiveMode() != this)
        return;
    const std::vector<stDeviationOverlayLabel> labels = OverlayLabels(view);
    if (labels.empty())
        return;
    GpFontFamily* family = nullptr;
    GpFont* font = nullptr;
    if (GdipCreateFontFamilyFromName(L"Arial", nullptr, &family) != Ok ||
        GdipCreateFont(family, 12.0f, 0, 2 /* pixels */, &font) != Ok)
    {
        if (family)
            GdipDeleteFontFamily(family);
        return;
    }
    // The layer reaches the screen only where something was marked drawn.
    I3DSceneRenderer* renderer = view->GetRenderer();
    cGDIGraphicsLayer* layer =
        renderer ? renderer->GetGDILayer(view->GetClientWidth(), view->GetClientHeight()) : nullptr;
    for (const stDeviationOverlayLabel& label : labels)
    {
        GpSolidFill* back = nullptr;
        GpSolidFill* text = nullptr;
        GdipCreateSolidFill(0xFFFFFFFFu, &back);
        GdipCreateSolidFill(label.colour, &text);
        const REAL width = REAL(8 * label.text.size() + 6);
        GdipFillRectangle(graphics, back, REAL(label.at.x), REAL(label.at.y), width, 18.0f);
        GpRectF box{REAL(label.at.x + 3), REAL(label.at.y + 3), width, 16.0f};
        GdipDrawString(graphics, label.text.c_str(), INT(label.text.size()), font, &box, nullptr, text);
        GdipDeleteBrush(back);
        GdipDeleteBrush(text);
        if (layer)
            layer->GetCollector().AddRect(
                RECT{label.at.x - 1, label.at.y - 1, label.at.x + LONG(width) + 4, label.at.y + 20});
    }
    GdipDeleteFont(font);
    GdipDeleteFontFamily(family);
}

cUserInteractiveMode<C3DView>* MakeDeviationMode(std::uint32_t id, std::uint32_t temporary, IBase*, cCPView* view)
{
    return new (std::nothrow) CUIM_Deviation(id, temporary, view);
}
