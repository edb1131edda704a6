#include "plugin/dialogs/shape_list.h"

#include "core/mesh_object.h"
#include "modes/shapes_view.h"
#include "platform/host/dezaz_app.h"
#include "platform/mfc/menu.h"
#include "plugin/module_state.h"
#include "platform/win32/menu.h"
#include "platform/win32/message.h"
#include "plugin/dialogs/shape_kinds.h"
#include "plugin/dialogs/shapes_dialog.h"
#include "resources/shapes_dialog.h"
#include "plugin/registered_messages.h"
#include "resources/shape_list.h"
#include "shapes/entities_history.h"
#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "shapes/extracted_record.h"
#include "shapes/loft_session.h"
#include "shapes/region_triangles.h"
#include "shapes/session_surface.h"

BEGIN_MESSAGE_MAP(CVTLListBox, CListBox)
ON_WM_RBUTTONDOWN()
END_MESSAGE_MAP()

void CVTLListBox::OnRButtonDown(UINT flags, CPoint point)
{
    // The menu acts on the current shape: the row under the cursor becomes
    // current first, as a click would make it.
    const LRESULT hit = ::SendMessageW(m_hWnd, LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    const int row = int(LOWORD(hit));
    if (HIWORD(hit) == 0 && row != GetCurSel())
    {
        SetCurSel(row);
        if (HWND parent = ::GetParent(m_hWnd); parent && (GetStyle() & LBS_NOTIFY))
            ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(m_hWnd), LBN_SELCHANGE), LPARAM(m_hWnd));
        if (!::IsWindow(m_hWnd))
            return;
    }
    CListBox::OnRButtonDown(flags, point);
    if (HWND parent = ::GetParent(m_hWnd); parent && ::IsWindow(parent))
        ::PostMessageW(parent, WM_RBUTTON_ON_ENTITIES_LIST, 0, 0);
}

BOOL CVTLListBox::PreTranslateMessage(MSG* msg)
{
    // The keys are the dialog's and the view's also while the list has
    // the focus: the dialog sees them as if they were the view's.
    if (msg && msg->message == WM_KEYDOWN && m_view && m_view->GetSafeHwnd())
        if (auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(::GetParent(m_hWnd))))
        {
            MSG copy = *msg;
            copy.hwnd = m_view->GetSafeHwnd();
            if (dialog->PreTranslateMessage(&copy))
                return TRUE;
        }
    return CListBox::PreTranslateMessage(msg);
}

void MakeListedShapeCurrent(CCreatePrimitiveDialog& dialog, int index)
{
    const std::vector<CSessionSurface*>& listed = dialog.ListedSessions();
    if (index < 0 || std::size_t(index) >= listed.size() || listed[std::size_t(index)] == dialog.GetCurrentSession())
        return;
    CSessionSurface* session = listed[std::size_t(index)];
    // A shape read from a document comes with its profile or its sections,
    // not with the surface they make. It is built before the shape becomes
    // current: on the Sketch tab the profile editor then puts an empty
    // sketch in place of the fitted profile, which would build no surface.
    ISceneObject* object = session->GetSceneObject();
    auto* profiled = object ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface)) : nullptr;
    const eShapeKind kind = ShapeKindOfSession(session);
    if (profiled && (kind == eShapeKind::Extruded || kind == eShapeKind::Revolved))
        profiled->BuildHostSurface();
    else if (auto* freeForm = dynamic_cast<CSessionFreeForm*>(session);
             freeForm && !freeForm->GetObject().GetGeometry()->GetHostSurface())
        freeForm->RebuildSurface();
    dialog.SetCurrentShape(session);
    dialog.RefreshCurrentShape();
    if (kind == eShapeKind::CurveNetwork)
        if (const int tab = dialog.TabIndexOf(eShapesPage::Curves); tab >= 0)
            dialog.SelectTab(tab);
}

UINT RunShapeListMenu(CCreatePrimitiveDialog& dialog)
{
    // The menus are the plug-in's resources, whoever calls.
    AFX_MANAGE_STATE(AfxGetStaticModuleState());
    CMenu menu;
    if (!menu.LoadMenu(IDR_SHAPE_LIST_MENU))
        return 0;
    UINT command = 0;
    if (CMenu* popup = menu.GetSubMenu(0))
    {
        const DWORD at = ::GetMessagePos();
        command = UINT(::TrackPopupMenuEx(popup->GetSafeHmenu(), TPM_RETURNCMD | TPM_NONOTIFY, short(LOWORD(at)),
                                          short(HIWORD(at)), dialog.GetSafeHwnd(), nullptr));
    }
    menu.DestroyMenu();
    if (command == ID_SHAPE_LIST_DELETE)
        ::SendMessageW(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_SHAPES_DELETE, BN_CLICKED), 0);
    else if (command == ID_SHAPE_LIST_DELETE_ALL)
        DeleteAllShapes(dialog);
    return command;
}

bool DeleteAllShapes(CCreatePrimitiveDialog& dialog)
{
    CObjectSurfaces* entry = dialog.GetEntry();
    if (!entry || entry->SessionCount() == 0)
        return false;
    if (DezazMessageBox(dialog.GetSafeHwnd(), kDeleteAllQuestion, nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    dialog.SetCurrentShape(nullptr);
    cMeshObject* mesh = dialog.FirstMeshObject();
    std::vector<CSessionSurface*> sessions;
    for (std::size_t i = 0; i < entry->SessionCount(); ++i)
        sessions.push_back(entry->Session(i));
    const std::unique_ptr<cRegionTriangles> triangles = dialog.RegionTrianglesFor(sessions);
    while (entry->SessionCount() > 0)
    {
        CSessionSurface* session = entry->Session(entry->SessionCount() - 1);
        if (mesh)
            session->ClearMeshRegion(mesh, triangles.get());
        if (session->GetRecord())
            session->GetRecord()->tree = nullptr;
        entry->DeleteSession(session);
    }
    // The entry is empty now: the list, its table and the controls follow.
    dialog.SetEntry(entry);
    return true;
}
