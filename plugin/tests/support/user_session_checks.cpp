// What the random sessions check after every step.
#include "support/user_session_driver.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve.h"
#include "core/section_curve_classes.h"
#include "modes/network_edit_mode.h"
#include "modes/profile_edit_mode.h"
#include "modes/section_plane_picker.h"
#include "modes/shapes_view.h"
#include "modes/surface_extension_mode.h"
#include "platform/geometry/brep.h"
#include "platform/geometry/curve.h"
#include "platform/geometry/surface.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_object.h"
#include "platform/win32/controls.h"
#include "platform/win32/input.h"
#include "plugin/dialogs/curves_page.h"
#include "plugin/dialogs/shape_kinds.h"
#include "plugin/dialogs/shape_transfer.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "plugin/dialogs/sketch_page.h"
#include "plugin/vtl_plugin.h"
#include "resources/shapes_dialog.h"
#include "shapes/dezaz_bin_stream.h"
#include "shapes/entities_history.h"
#include "shapes/host_surface.h"
#include "shapes/session_surface.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>

namespace usersession
{

namespace
{

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? char(c) : '?';
    return out;
}

std::vector<std::uint8_t> SessionBytes(const CSessionSurface& session)
{
    ON_MemoryArchive archive;
    const_cast<CSessionSurface&>(session).Write(archive);
    return archive.Buffer();
}

template <class T> T* Query(const CSessionSurface* session, const GUID& iid)
{
    ISceneObject* object = session ? session->GetSceneObject() : nullptr;
    return object ? static_cast<T*>(object->QueryInterface(iid)) : nullptr;
}

CObjectSurfaces* EntryOf(const ON_UUID& host)
{
    return ThePlugIn().EntitiesHistory().FindByUuid(host);
}

// A rigid map from three point pairs: the frames the points span.
struct stRigid
{
    double r[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    double t[3] = {0, 0, 0};
    void Apply(const double p[3], double out[3]) const
    {
        for (int i = 0; i < 3; ++i)
            out[i] = r[3 * i] * p[0] + r[3 * i + 1] * p[1] + r[3 * i + 2] * p[2] + t[i];
    }
};

void Frame(const double a[3], const double b[3], const double c[3], double e[9])
{
    double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    const double lu = std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]);
    const double ln = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    for (int i = 0; i < 3; ++i)
        u[i] /= lu, n[i] /= ln;
    const double w[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
    // Columns u, w, n.
    for (int i = 0; i < 3; ++i)
        e[3 * i] = u[i], e[3 * i + 1] = w[i], e[3 * i + 2] = n[i];
}

// Least squares over every corresponding corner: the float rounding of the
// dialog's vertices, far from the origin after an alignment, tilts a map
// from three corners by up to 1e-5, too much for a shape that reaches far
// (a huge cylinder fitted to a flat face). Small-rotation Gauss-Newton steps
// about the centroids: R = (I + [w]x) R, with sum(|u|^2 I - u u^T) w =
// sum(r x u), u the turned centred host corner and r its residual.
void RefineOverAllCorners(const ON_Mesh& host, cMesh& dialogMesh, stRigid& map)
{
    const std::uint32_t n = dialogMesh.GetTriangleCount();
    std::vector<std::array<double, 3>> h(n), d(n);
    double hc[3] = {0, 0, 0}, dc[3] = {0, 0, 0};
    for (std::uint32_t f = 0; f < n; ++f)
    {
        const ON_3fPoint& p = host.m_V[host.m_F[int(f)].vi[0]];
        const cVertex* v = dialogMesh.GetVertex(dialogMesh.GetTriangle(f)->vertexIndex[0]);
        h[f] = {p.x, p.y, p.z};
        d[f] = {v->x, v->y, v->z};
        for (int i = 0; i < 3; ++i)
            hc[i] += h[f][i] / n, dc[i] += d[f][i] / n;
    }
    for (int step = 0; step < 3; ++step)
    {
        double a[9] = {0}, b[3] = {0};
        for (std::uint32_t f = 0; f < n; ++f)
        {
            double u[3], r[3];
            for (int i = 0; i < 3; ++i)
                u[i] = map.r[3 * i] * (h[f][0] - hc[0]) + map.r[3 * i + 1] * (h[f][1] - hc[1]) +
                       map.r[3 * i + 2] * (h[f][2] - hc[2]);
            for (int i = 0; i < 3; ++i)
                r[i] = u[i] - (d[f][i] - dc[i]);
            const double uu = u[0] * u[0] + u[1] * u[1] + u[2] * u[2];
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    a[3 * i + j] += (i == j ? uu : 0.0) - u[i] * u[j];
            b[0] += r[1] * u[2] - r[2] * u[1];
            b[1] += r[2] * u[0] - r[0] * u[2];
            b[2] += r[0] * u[1] - r[1] * u[0];
        }
        // Cramer's rule on the 3x3 system.
        const auto det3 = [](const double m[9])
        {
            return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                   m[2] * (m[3] * m[7] - m[4] * m[6]);
        };
        const double det = det3(a);
        if (!(std::fabs(det) > 0.0))
            break;
        double w[3];
        for (int c = 0; c < 3; ++c)
        {
            double m[9];
            std::copy(a, a + 9, m);
            for (int r = 0; r < 3; ++r)
                m[3 * r + c] = b[r];
            w[c] = det3(m) / det;
        }
        // R = (I + [w]x) R, made orthonormal again through its rows' frame.
        double turned[9];
        for (int c = 0; c < 3; ++c)
        {
            const double col[3] = {map.r[c], map.r[3 + c], map.r[6 + c]};
            turned[c] = col[0] + w[1] * col[2] - w[2] * col[1];
            turned[3 + c] = col[1] + w[2] * col[0] - w[0] * col[2];
            turned[6 + c] = col[2] + w[0] * col[1] - w[1] * col[0];
        }
        const double zero[3] = {0, 0, 0}, x[3] = {turned[0], turned[3], turned[6]}, y[3] = {turned[1], turned[4], turned[7]};
        double e[9];
        Frame(zero, x, y, e);
        std::copy(e, e + 9, map.r);
    }
    double moved[3];
    map.Apply(hc, moved);
    for (int i = 0; i < 3; ++i)
        map.t[i] += dc[i] - moved[i];
}

// The map from the host mesh's coordinates to the dialog's: triangle i of
// the dialog's scan is face i of the host mesh (the faces are triangles).
std::optional<stRigid> HostToDialog(const ON_Mesh& host, cMesh& dialogMesh)
{
    const std::uint32_t n = dialogMesh.GetTriangleCount();
    if (n == 0 || int(n) != host.FaceCount())
        return std::nullopt;
    // Three corners far apart (a wide base keeps the float rounding of the
    // vertices from tilting the map): the first face's first corner, the
    // corner farthest from it, and the one farthest off their line.
    double h[3][3], d[3][3];
    const auto host3 = [&](std::uint32_t f, double out[3])
    {
        const ON_3fPoint& p = host.m_V[host.m_F[int(f)].vi[0]];
        out[0] = p.x, out[1] = p.y, out[2] = p.z;
    };
    std::uint32_t faces[3] = {0, 0, 0};
    double best = -1.0, a[3], b[3], c[3];
    host3(0, a);
    for (std::uint32_t f = 0; f < n; f += std::max(1u, n / 256))
    {
        host3(f, b);
        const double dist = std::hypot(b[0] - a[0], b[1] - a[1], b[2] - a[2]);
        if (dist > best)
            best = dist, faces[1] = f;
    }
    host3(faces[1], b);
    best = -1.0;
    for (std::uint32_t f = 0; f < n; f += std::max(1u, n / 256))
    {
        host3(f, c);
        const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]}, v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        const double area = std::hypot(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
        if (area > best)
            best = area, faces[2] = f;
    }
    for (int k = 0; k < 3; ++k)
    {
        host3(faces[k], h[k]);
        const cVertex* v = dialogMesh.GetVertex(dialogMesh.GetTriangle(faces[k])->vertexIndex[0]);
        d[k][0] = v->x, d[k][1] = v->y, d[k][2] = v->z;
    }
    double eh[9], ed[9];
    Frame(h[0], h[1], h[2], eh);
    Frame(d[0], d[1], d[2], ed);
    stRigid map;
    // R = Ed Eh^T.
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            map.r[3 * i + j] = ed[3 * i] * eh[3 * j] + ed[3 * i + 1] * eh[3 * j + 1] + ed[3 * i + 2] * eh[3 * j + 2];
    double moved[3];
    map.Apply(h[0], moved);
    for (int i = 0; i < 3; ++i)
        map.t[i] = d[0][i] - moved[i];
    RefineOverAllCorners(host, dialogMesh, map);
    return map;
}

// The worst distance at which the map puts a corner of the host mesh from
// the dialog's corner of the same face.
double WorstCornerResidual(const ON_Mesh& host, cMesh& dialogMesh, const stRigid& map)
{
    double worst = 0.0;
    for (std::uint32_t f = 0; f < dialogMesh.GetTriangleCount(); ++f)
        for (int k = 0; k < 3; ++k)
        {
            const ON_3fPoint& p = host.m_V[host.m_F[int(f)].vi[k]];
            const cVertex* v = dialogMesh.GetVertex(dialogMesh.GetTriangle(f)->vertexIndex[k]);
            const double h[3] = {p.x, p.y, p.z};
            double d[3];
            map.Apply(h, d);
            worst = std::max(worst, std::hypot(d[0] - v->x, d[1] - v->y, d[2] - v->z));
        }
    return worst;
}

// The dialog's own map from the host's coordinates into its own: the
// inverse of the placement it gives what it creates (a rigid map).
stRigid DialogMapFromHost(const CCreatePrimitiveDialog& dialog)
{
    const ON_Xform p = HostPlacementXform(dialog.GetMeshFrame(), dialog.m_placement);
    stRigid map;
    for (int i = 0; i < 3; ++i)
    {
        for (int j = 0; j < 3; ++j)
            map.r[3 * i + j] = p.m_xform[j][i];
        map.t[i] = -(p.m_xform[0][i] * p.m_xform[0][3] + p.m_xform[1][i] * p.m_xform[1][3] +
                     p.m_xform[2][i] * p.m_xform[2][3]);
    }
    return map;
}

// Sample points of a brep's faces, 5 x 5 over each face's domain.
std::vector<ON_3dPoint> BrepSamples(const ON_Brep& brep)
{
    std::vector<ON_3dPoint> out;
    for (int f = 0; f < brep.FaceCount(); ++f)
    {
        const ON_Surface* s = const_cast<ON_Brep&>(brep).Face(f)->SurfaceOf();
        if (!s)
            continue;
        const ON_Interval u = s->Domain(0), v = s->Domain(1);
        for (int i = 0; i <= 4; ++i)
            for (int j = 0; j <= 4; ++j)
                out.push_back(s->PointAt(u.ParameterAt(i / 4.0), v.ParameterAt(j / 4.0)));
    }
    return out;
}

// The distance from p to the surface: the nearest of a grid of its points,
// then Gauss-Newton steps on the squared distance within the domain.
double DistanceToSurface(const ON_Surface& s, const ON_3dPoint& p)
{
    const ON_Interval du = s.Domain(0), dv = s.Domain(1);
    double u = du.ParameterAt(0.5), v = dv.ParameterAt(0.5), best = 1e300;
    constexpr int kGrid = 24;
    for (int i = 0; i <= kGrid; ++i)
        for (int j = 0; j <= kGrid; ++j)
        {
            const double a = du.ParameterAt(double(i) / kGrid), b = dv.ParameterAt(double(j) / kGrid);
            const double d = s.PointAt(a, b).DistanceTo(p);
            if (d < best)
                best = d, u = a, v = b;
        }
    for (int step = 0; step < 30; ++step)
    {
        ON_3dVector e[3];
        if (!s.Evaluate(u, v, 1, e))
            break;
        const ON_3dVector r(e[0].x - p.x, e[0].y - p.y, e[0].z - p.z);
        const double a = ON_DotProduct(e[1], e[1]), b = ON_DotProduct(e[1], e[2]), c = ON_DotProduct(e[2], e[2]);
        const double g0 = ON_DotProduct(e[1], r), g1 = ON_DotProduct(e[2], r), det = a * c - b * b;
        if (!(std::fabs(det) > 1e-300))
            break;
        const double stepU = -(c * g0 - b * g1) / det, stepV = -(a * g1 - b * g0) / det;
        u = std::clamp(u + stepU, du.Min(), du.Max());
        v = std::clamp(v + stepV, dv.Min(), dv.Max());
        best = std::min(best, s.PointAt(u, v).DistanceTo(p));
        if (std::fabs(stepU) + std::fabs(stepV) < 1e-12)
            break;
    }
    return best;
}

// The world ends of a profile's curves (every curve of a sketch).
void CollectCurveEnds(ST_ISectionCurve* curve, std::vector<t3DPoint<double>>& ends, int depth = 0)
{
    if (!curve || depth > 4)
        return;
    if (curve->GetClassGuid() == CLSID_ST_TSketch)
    {
        for (std::uint32_t i = 0; i < curve->GetSegmentCount(); ++i)
            if (ST_ISectionCurve* part = curve->GetSegment(i); part && part != curve)
                CollectCurveEnds(part, ends, depth + 1);
        return;
    }
    for (double f : {0.0, 1.0})
    {
        t3DPoint<double> p{};
        if (curve->EvaluateInWorld(f, &p, nullptr, nullptr))
            ends.push_back(p);
    }
}

} // namespace

// ------------------------------------------------------------ capture

stWorldState cUserSessionDriver::Capture()
{
    stWorldState s;
    CCreatePrimitiveDialog* dialog = Dialog();
    s.dialogOpen = dialog != nullptr;
    s.dialog = m_dialogsOpened;
    if (CObjectSurfaces* entry = EntryOf(m_hostId))
        for (std::size_t i = 0; i < entry->SessionCount(); ++i)
        {
            const CSessionSurface* session = entry->Session(i);
            s.shapes.push_back({session, static_cast<const wchar_t*>(session->GetName()), SessionBytes(*session)});
        }
    if (!dialog)
        return s;
    s.current = dialog->GetCurrentSession();
    if (cMesh* mesh = dialog->FirstMesh())
    {
        s.selection.reserve(mesh->GetTriangleCount());
        mesh->ForEachTriangle(
            [&](cMeshTriangle& t)
            { s.selection.push_back((t.flags & (kTriangleFlagSelected | kTriangleFlagHidden)) == kTriangleFlagSelected); });
    }
    if (auto* profiled = Query<ST_IProfiledSurface>(s.current, IID_ST_IProfiledSurface))
        if (const ST_ISectionCurve* curve = profiled->GetProfileCurve())
        {
            ON_MemoryArchive archive;
            CDezazBinStream stream(&archive);
            curve->Write(stream);
            s.profile = archive.Buffer();
        }
    if (CSubProfileDlg* page = dialog->GetSketchPage())
        s.sketchUndo = page->UndoStateCount();
    if (auto* page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(dialog->GetShapesView())))
        s.networkUndo = page->GetUndoCount();
    if (cCPView* view = dialog->GetShapesView())
        if (auto* mode = dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)))
            s.drawingWaits = mode->GetDrawnCurve() && !mode->IsDrawingSinceLastCopy();
    return s;
}

// ------------------------------------------------------------ structure

std::string cUserSessionDriver::CheckStructure()
{
    if (::GetCapture())
        return "the mouse is still captured after the step (a drag outlived its button)";
    CCreatePrimitiveDialog* dialog = Dialog();
    if (!dialog)
        return {};
    CObjectSurfaces* entry = dialog->GetEntry();
    if (entry != EntryOf(m_hostId))
        return "the dialog shows another entry than its mesh's";
    // The list: one item per session of the entry, in order, with its name
    // and kind.
    const std::vector<CSessionSurface*>& listed = dialog->ListedSessions();
    if (listed.size() != entry->SessionCount())
        return "the list holds " + std::to_string(listed.size()) + " shapes, the entry " +
               std::to_string(entry->SessionCount());
    const HWND list = ::GetDlgItem(dialog->GetSafeHwnd(), IDC_SHAPES_LIST);
    if (std::size_t(::SendMessageW(list, LB_GETCOUNT, 0, 0)) != listed.size())
        return "the list box shows another number of items than the dialog lists";
    for (std::size_t i = 0; i < listed.size(); ++i)
    {
        CSessionSurface* session = listed[i];
        if (session != entry->Session(i))
            return "list item " + std::to_string(i) + " is not the entry's session " + std::to_string(i);
        if (!session->GetSceneObject() || !session->GetRecord())
            return "session " + std::to_string(i) + " has no scene object or record";
        if (ShapeKindOfSession(session) == eShapeKind::None || session->GetKindCode() < 1 || session->GetKindCode() > 8)
            return "session " + std::to_string(i) + " is of no kind";
        wchar_t text[256] = {};
        ::SendMessageW(list, LB_GETTEXT, WPARAM(i), LPARAM(text));
        if (std::wstring(text) != static_cast<const wchar_t*>(session->GetName()))
            return "list item " + std::to_string(i) + " reads \"" + Narrow(text) + "\", its shape is \"" +
                   Narrow(static_cast<const wchar_t*>(session->GetName())) + "\"";
        if (std::size_t(::SendMessageW(list, LB_GETITEMDATA, WPARAM(i), 0)) != session->GetKindCode())
            return "list item " + std::to_string(i) + " holds another kind than its shape";
    }
    // The current shape: listed, selected in the list and the combo, and
    // the only shape the scene shows.
    CSessionSurface* current = dialog->GetCurrentSession();
    const auto at = std::find(listed.begin(), listed.end(), current);
    if (current && at == listed.end())
        return "the current shape is not in the list";
    const int selected = int(::SendMessageW(list, LB_GETCURSEL, 0, 0));
    const int expected = current ? int(at - listed.begin()) : -1;
    if (selected != expected)
        return "the list selects item " + std::to_string(selected) + ", the current shape is item " +
               std::to_string(expected);
    const int combo = int(::SendDlgItemMessageW(dialog->GetSafeHwnd(), IDC_SHAPES_KIND, CB_GETCURSEL, 0, 0));
    if (combo != (current ? int(ShapeKindOfSession(current)) : -1))
        return "the kind box shows " + std::to_string(combo) + " for the current shape";
    int shown = 0;
    bool other = false;
    std::unique_ptr<cSceneObjectIterator> it(dialog->GetScene().GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
    {
        ISceneObject* object = it->Current().Get();
        if (dynamic_cast<cMeshObject*>(object))
            continue;
        if (current && object == current->GetSceneObject())
            ++shown;
        else
            for (CSessionSurface* s : listed)
                other = other || object == s->GetSceneObject();
    }
    if (other)
        return "the view shows a shape that is not the current one";
    if (current && shown != 1)
        return "the view shows the current shape " + std::to_string(shown) + " times";
    // The editing mode works on the current shape.
    cCPView* view = dialog->GetShapesView();
    if (auto* extend = dynamic_cast<CUIM_ExtendSurface*>(view->FindMode(kModeExtendSurface)))
        if (extend->GetActiveShape() && extend->GetActiveShape() != Query<ST_IGeometry>(current, IID_ST_IGeometry))
            return "the handles belong to another shape than the current one";
    auto* profiled = Query<ST_IProfiledSurface>(current, IID_ST_IProfiledSurface);
    if (auto* sketch = dynamic_cast<CUIM_EditProfile*>(view->FindMode(kModeEditProfile)))
        if (sketch->GetProfiledSurface() && sketch->GetProfiledSurface() != profiled)
            return "the sketch editor edits another shape than the current one";
    if (auto* network = dynamic_cast<CUIM_EditNetwork*>(view->FindMode(kModeEditNetwork)))
        if (network->GetNetwork() && (!profiled || network->GetNetwork() != profiled->GetProfileCurve()))
            return "the network editor edits another network than the current shape's";
    return {};
}

// ------------------------------------------------------------ other shapes

std::string cUserSessionDriver::CheckOtherShapes(eAction action, const stWorldState& before,
                                                 const stWorldState& after)
{
    // These move or drop every shape (alignments, closing with the mesh
    // moved, deleting them all, a document closed and opened).
    switch (action)
    {
    case eAction::align:
    case eAction::reset:
    case eAction::ok:
    case eAction::cancel:
    case eAction::create: // "Create in Dezaz" may close the dialog, which asks about a moved mesh
    case eAction::deleteAll:
    case eAction::listMenu:
    case eAction::saveReopen: return {};
    default: break;
    }
    for (const stShapeState& was : before.shapes)
    {
        if (was.session == before.current || was.session == after.current)
            continue;
        for (const stShapeState& is : after.shapes)
            if (is.session == was.session && is.name == was.name && is.bytes != was.bytes)
                return "the step changed shape \"" + Narrow(is.name) + "\", which was not the current one";
    }
    return {};
}

// ------------------------------------------------------------ undo

std::string cUserSessionDriver::CheckSelectionUndo(eAction action, const stWorldState& before,
                                                   const stWorldState& after)
{
    if (before.dialog != after.dialog)
        m_selectionUndo.clear(); // another dialog has no saved selection
    if (!before.dialogOpen || !after.dialogOpen || before.dialog != after.dialog)
        return {};
    const bool undo = action == eAction::undoSelection && !m_notOffered;
    if (undo)
    {
        ++m_counts.undos;
        if (m_selectionUndo.empty())
            return after.selection == before.selection ? std::string()
                                                       : "Undo Last selection changed the selection with nothing saved";
        for (const auto& allowed : m_selectionUndo)
            if (after.selection == allowed)
                return {};

        return "Undo Last selection did not give back the selection before the last selection step";
    }
    // The magic wand's crease angle grows the selection again without a
    // new undo state.
    if (action == eAction::crease)
        return {};
    if (after.selection != before.selection)
        m_selectionUndo = {before.selection};
    // A step that may have saved the selection unchanged (a handle drag
    // that misses the handle is a stroke; New shape from the quick picker or
    // the Guide curve page deselects all; Cancel sent as Escape does not
    // close the dialog but reaches the mode as Escape does).
    else if (action == eAction::stroke || action == eAction::wand || action == eAction::selectAll ||
             action == eAction::deselectAll || action == eAction::newShape || action == eAction::escape ||
             action == eAction::cancel ||
             action == eAction::handle || action == eAction::kind || action == eAction::curvesButton)
        if (std::find(m_selectionUndo.begin(), m_selectionUndo.end(), before.selection) == m_selectionUndo.end())
            m_selectionUndo.push_back(before.selection);
    return {};
}

std::string cUserSessionDriver::CheckProfileUndo(eAction action, const stWorldState& before,
                                                 const stWorldState& after)
{
    // The Sketch and the Curves page keep one list each: a copy of the
    // current shape's profile per step that saved one, given back by Undo.
    const auto follow = [&](std::size_t was, std::size_t is, std::vector<std::vector<std::uint8_t>>& model,
                            bool& known, bool undoStep, const char* page) -> std::string
    {
        if (is == 0)
        {
            model.clear();
            known = true;
            return {};
        }
        // Another shape, or the copies moved with the shapes (an alignment,
        // Reset): the driver no longer knows what they hold.
        if (before.current != after.current || action == eAction::align || action == eAction::reset)
        {
            known = false;
            return {};
        }
        if (is == was + 1 && !undoStep)
        {
            model.push_back(before.profile);
            return {};
        }
        // Escape takes back a drawing that waited: the copy it saved as it
        // began leaves the middle of the list, and the curves stay.
        if (is + 1 == was && undoStep && action == eAction::escape && before.drawingWaits)
        {
            known = false;
            return after.profile == before.profile ? std::string()
                                                   : "Escape changed the curves while taking back a drawing that waited";
        }
        if (is + 1 == was && undoStep)
        {
            ++m_counts.undos;
            if (!known || model.empty())
                return {};
            const std::vector<std::uint8_t> expected = model.back();
            model.pop_back();
            if (after.profile != expected)
                return std::string("Undo on the ") + page + " page did not give back the profile before the step it undoes";
            return {};
        }
        if (is != was)
            known = false;
        return {};
    };
    const bool sketchUndo = action == eAction::sketchUndo;
    // Escape while a curve is drawn puts back the copy saved as it began.
    const bool curvesUndo = action == eAction::curvesUndo || action == eAction::escape;
    std::string failure = follow(before.sketchUndo, after.sketchUndo, m_sketchUndo, m_sketchUndoKnown, sketchUndo,
                                 "Sketch");
    if (failure.empty())
        failure = follow(before.networkUndo, after.networkUndo, m_networkUndo, m_networkUndoKnown, curvesUndo,
                         "Curves");
    return failure;
}

// ------------------------------------------------------------ Create

std::string cUserSessionDriver::CheckCreated(const stWorldState&, const std::vector<const CDezazObject*>& added)
{
    if (added.empty())
        return {};
    CCreatePrimitiveDialog* dialog = Dialog();
    CObjectSurfaces* entry = EntryOf(m_hostId);
    const CDezazObject* host = DezazApp().ActiveDoc().LookupObject(m_hostId);
    const auto* hostMesh = dynamic_cast<const CDezazMeshObject*>(host);
    if (!entry || !hostMesh || !hostMesh->Mesh())
        return {};
    // The dialog's coordinates of a host point; with the dialog closed the
    // shapes sit where the host mesh is.
    stRigid map;
    cMesh* dialogMesh = dialog ? dialog->FirstMesh() : nullptr;
    if (dialogMesh)
    {
        // A segmentation split leaves the host object one piece of the
        // scan: nothing to place the shapes against.
        const auto fitted = HostToDialog(*hostMesh->Mesh(), *dialogMesh);
        if (!fitted)
            return {};
        // The dialog's placement is exact, where a map fitted to the scan
        // carries the rounding of its float vertices (a million millimetres
        // out, after an alignment to a huge shape, they step by 0.125). It
        // must put the scan where the dialog shows it as well as the best
        // rigid map does, but for the rounding of the alignment frames: they
        // are built from float directions, rigid to about 1e-8, and undone
        // by their transposes.
        map = DialogMapFromHost(*dialog);
        const double best = WorstCornerResidual(*hostMesh->Mesh(), *dialogMesh, *fitted);
        const double placed = WorstCornerResidual(*hostMesh->Mesh(), *dialogMesh, map);
        const ON_BoundingBox hostBox = hostMesh->Mesh()->BoundingBox();
        const double far = std::max({std::fabs(hostBox.m_min.x), std::fabs(hostBox.m_min.y), std::fabs(hostBox.m_min.z),
                                     std::fabs(hostBox.m_max.x), std::fabs(hostBox.m_max.y), std::fabs(hostBox.m_max.z)});
        if (placed > 2.0 * best + 1e-4 + 4.0 * double(FLT_EPSILON) * far)
            return "the dialog places what it creates as if its scan lay " + std::to_string(placed) +
                   " from where it shows it (a rigid map fitted to it: " + std::to_string(best) + ")";
    }
    const double tolerance = std::max(0.01, 10.0 * DezazApp().ActiveDoc().AbsoluteTolerance());
    // The scan's size (its box's diagonal).
    const ON_BoundingBox box = hostMesh->Mesh()->BoundingBox();
    const double reach = (box.m_max - box.m_min).Length();
    // The analytic surfaces measure a point given as floats (a huge sphere
    // fitted to a flat face reaches a million millimetres out, where floats
    // step by 0.06).
    const auto Slack = [&](const double q[3])
    { return 2.4e-7 * std::max({std::fabs(q[0]), std::fabs(q[1]), std::fabs(q[2])}); };

    for (const CDezazObject* object : added)
    {
        if (const auto* brepObject = dynamic_cast<const CDezazBrepObject*>(object))
        {
            ++m_counts.breps;
            const std::vector<ON_3dPoint> samples = BrepSamples(*brepObject->Brep());
            // The shape it lies on: some session whose surface holds every
            // sample (mapped into the dialog).
            double best = 1e300;
            for (std::size_t i = 0; i < entry->SessionCount(); ++i)
            {
                const CSessionSurface* session = entry->Session(i);
                double worst = 0.0;
                if (auto* math = Query<IMathSurface>(session, IID_IMathSurface))
                {
                    for (const ON_3dPoint& p : samples)
                    {
                        double q[3];
                        const double in[3] = {p.x, p.y, p.z};
                        map.Apply(in, q);
                        const float f[3] = {float(q[0]), float(q[1]), float(q[2])};
                        double foot[3];
                        worst = std::max(worst, std::fabs(math->ClosestPoint(f, foot)) - Slack(q));
                    }
                }
                else if (auto* surface = Query<ON_ISurface>(session, IID_ON_ISurface))
                {
                    // A sketch- or loft-built surface: its own host breps.
                    const ON_SimpleArray<ON_Brep*>* built = surface->GetBreps();
                    std::vector<const ON_Surface*> faces;
                    if (built)
                        for (int b = 0; b < built->Count(); ++b)
                            if (ON_Brep* brep = (*built)[b])
                                for (int f = 0; f < brep->FaceCount(); ++f)
                                    if (const ON_Surface* face = brep->Face(f)->SurfaceOf())
                                        faces.push_back(face);
                    if (faces.empty())
                        continue;
                    for (const ON_3dPoint& p : samples)
                    {
                        double q[3];
                        const double in[3] = {p.x, p.y, p.z};
                        map.Apply(in, q);
                        double nearest = 1e300;
                        for (const ON_Surface* face : faces)
                            nearest = std::min(nearest, DistanceToSurface(*face, ON_3dPoint(q[0], q[1], q[2])));
                        worst = std::max(worst, nearest - Slack(q));
                    }
                }
                else
                    continue;
                best = std::min(best, worst);
            }
            if (!(best <= tolerance))
                return "a created brep lies " + (best > 1e299 ? std::string("on no shape") : std::to_string(best) +
                                                 " from the nearest fitted shape, where the scan is");
        }
        else if (const auto* curveObject = dynamic_cast<const CDezazCurveObject*>(object))
        {
            ++m_counts.curves;
            // A created curve is one of a shape's curves (a network's, a
            // free form's guides): its ends are that curve's ends, where the
            // shape shows it.
            const ON_Curve* curve = curveObject->Curve();
            if (!curve)
                return "a created curve object holds no curve";
            std::vector<t3DPoint<double>> ends;
            for (std::size_t i = 0; i < entry->SessionCount(); ++i)
                if (auto* profiled = Query<ST_IProfiledSurface>(entry->Session(i), IID_ST_IProfiledSurface))
                    CollectCurveEnds(profiled->GetProfileCurve(), ends);
            for (const ON_3dPoint& end : {curve->PointAtStart(), curve->PointAtEnd()})
            {
                double q[3];
                const double in[3] = {end.x, end.y, end.z};
                map.Apply(in, q);
                double nearest = 1e300;
                for (const t3DPoint<double>& e : ends)
                    nearest = std::min(nearest, std::hypot(e.x - q[0], e.y - q[1], e.z - q[2]));
                if (!(nearest - Slack(q) <= tolerance))
                    return "a created curve ends " + (nearest > 1e299 ? std::string("where no shape has a curve")
                                                                      : std::to_string(nearest) + " from its shape's curve");
                // Drawn on the scan; drags and extrapolation take it off as
                // far as the cursor went, never across the room.
                double scan = 1e300;
                const ON_Mesh& m = *hostMesh->Mesh();
                for (int v = 0; v < m.m_V.Count(); ++v)
                {
                    const double h[3] = {m.m_V[v].x, m.m_V[v].y, m.m_V[v].z};
                    double d[3];
                    map.Apply(h, d);
                    scan = std::min(scan, std::hypot(d[0] - q[0], d[1] - q[1], d[2] - q[2]));
                }
                if (scan > 2.0 * reach + m_curveDragReach)
                    return "a created curve ends " + std::to_string(scan) + " from the scan, farther than the drags went";
            }
        }
    }
    return {};
}

// ------------------------------------------------------------ reopening

std::string cUserSessionDriver::CheckReopened()
{
    CCreatePrimitiveDialog* dialog = Dialog();
    CObjectSurfaces* entry = EntryOf(m_hostId);
    const std::size_t count = entry ? entry->SessionCount() : 0;
    if (count != m_saved.size())
        return "the reopened document holds " + std::to_string(count) + " shapes, the saved one " +
               std::to_string(m_saved.size());
    for (std::size_t i = 0; i < count; ++i)
    {
        const CSessionSurface* s = entry->Session(i);
        if (static_cast<const wchar_t*>(s->GetName()) != m_saved[i].name)
            return "reopened shape " + std::to_string(i) + " is \"" +
                   Narrow(static_cast<const wchar_t*>(s->GetName())) + "\", saved as \"" + Narrow(m_saved[i].name) +
                   "\"";
        if (SessionBytes(*s) != m_saved[i].bytes)
            return "reopened shape \"" + Narrow(m_saved[i].name) + "\" has other parameters than the saved one";
    }
    if (!dialog || dialog->ListedSessions().size() != count)
        return "the dialog on the reopened document does not list its shapes";
    return {};
}

} // namespace usersession
