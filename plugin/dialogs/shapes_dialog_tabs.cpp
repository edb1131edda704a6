// The shapes dialog's tab control: which pages a kind of shape offers, and
// what the view does while each page is shown.
#include "plugin/dialogs/shapes_dialog.h"

#include "core/profiled_surface.h"
#include "core/scene_object.h"
#include "core/section_curve_classes.h"
#include "modes/shapes_view.h"
#include "modes/surface_extension_mode.h"
#include "overlay/prop_tree.h"
#include "platform/win32/controls.h"
#include "plugin/dialogs/guide_curve_page.h"
#include "plugin/dialogs/shape_page.h"
#include "plugin/dialogs/sketch_page.h"
#include "resources/shapes_dialog.h"
#include "shapes/entities_history.h"
#include "shapes/extracted_record.h"
#include "shapes/session_surface.h"
#include "shapes/shape_interfaces.h"

#include <algorithm>

namespace
{

constexpr int kSelectionControls[] = {IDC_SHAPES_SENSITIVITY, IDC_SHAPES_CREASE, IDC_SHAPES_MAGIC_WAND,
                                      IDC_SHAPES_PAINT_FILLED, IDC_SHAPES_PAINT, IDC_SHAPES_LINE,
                                      IDC_SHAPES_FRONT_ONLY, IDC_SHAPES_SENSITIVITY_LABEL, IDC_SHAPES_DEGREES_LABEL,
                                      IDC_SHAPES_DESELECT_ALL, IDC_SHAPES_SELECT_ALL, IDC_SHAPES_UNDO_SELECTION};
constexpr int kAlignButtons[3] = {IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_ALIGN_RIGHT, IDC_SHAPES_ALIGN_FRONT};
constexpr const wchar_t* kPlaneTips[3] = {L"Align to Bottom Plane ", L"Align to Right Plane ", L"Align to Front Plane "};
constexpr const wchar_t* kAxisTips[3] = {L"Align to OX Direction", L"Align to OY Direction", L"Align to OZ Direction"};

// What a kind's row of the tab table asks.
struct stKindTabs
{
    bool align;        // the three align buttons
    const wchar_t* const* tips; // null: unchanged
    bool origin;
    bool sketch, guide, curves;
    int deviation; // 1 last, 0 removed, -1 unchanged
    int pictures;  // of the align buttons: 1 planes, 2 axes, 0 unchanged
};

stKindTabs TabsOf(eShapeKind kind)
{
    switch (kind)
    {
    case eShapeKind::Plane:
    case eShapeKind::Sphere: return {true, kPlaneTips, true, false, false, false, 1, 1};
    case eShapeKind::Cylinder: return {true, kAxisTips, false, false, false, false, 1, 2};
    case eShapeKind::SymmetryPlane: return {true, nullptr, true, false, false, false, -1, 1};
    case eShapeKind::Revolved:
    case eShapeKind::Extruded: return {true, nullptr, false, true, false, false, 1, 2};
    case eShapeKind::FreeForm: return {false, nullptr, false, false, true, false, 1, 0};
    case eShapeKind::CurveNetwork: return {false, nullptr, false, false, false, true, 0, 0};
    default: return {false, nullptr, false, false, false, false, 0, 1};
    }
}

constexpr eShapesPage kAllPages[] = {eShapesPage::Shape, eShapesPage::Sketch, eShapesPage::Curves,
                                     eShapesPage::Deviation, eShapesPage::GuideCurve};

} // namespace

CSubDlgBase* CCreatePrimitiveDialog::Page(eShapesPage page) const
{
    switch (page)
    {
    case eShapesPage::Shape: return m_shapePage.get();
    case eShapesPage::Sketch: return m_sketchPage.get();
    case eShapesPage::Curves: return m_curvesPage.get();
    case eShapesPage::Deviation: return m_deviationPage.get();
    case eShapesPage::GuideCurve: return m_guidePage.get();
    }
    return nullptr;
}

int CCreatePrimitiveDialog::TabIndexOf(eShapesPage page) const
{
    const auto it = std::find(m_tabPages.begin(), m_tabPages.end(), page);
    return it == m_tabPages.end() ? -1 : int(it - m_tabPages.begin());
}

bool CCreatePrimitiveDialog::IsPageShown(eShapesPage page) const
{
    return m_selectedTab >= 0 && m_selectedTab == TabIndexOf(page);
}

std::vector<std::wstring> CCreatePrimitiveDialog::TabTitles() const
{
    std::vector<std::wstring> titles;
    for (eShapesPage page : m_tabPages)
        titles.emplace_back(Page(page)->PageTitle());
    return titles;
}

void CCreatePrimitiveDialog::LayOutPages()
{
    if (!m_tabs.GetSafeHwnd())
        return;
    RECT item{0, 0, 0, 20};
    if (m_tabs.GetItemCount() > 0)
        m_tabs.GetItemRect(0, &item);
    // Every page gets the room of the largest: a page squeezed into the
    // tab control's own height would lose its lower controls (the Curves
    // page's option panels), and the tab control grows to hold them rather.
    LONG width = 1, height = 1;
    for (eShapesPage page : kAllPages)
        if (CSubDlgBase* p = Page(page); p && p->GetSafeHwnd())
        {
            RECT r{};
            ::GetWindowRect(p->GetSafeHwnd(), &r);
            width = std::max<LONG>(width, r.right - r.left);
            height = std::max<LONG>(height, r.bottom - r.top);
        }
    m_pageRect = RECT{2, item.bottom + 3, 2 + width, item.bottom + 3 + height};
    ::SetWindowPos(m_tabs.GetSafeHwnd(), nullptr, 0, 0, m_pageRect.right + 2, m_pageRect.bottom + 2,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (eShapesPage page : kAllPages)
        if (CSubDlgBase* p = Page(page); p && p->GetSafeHwnd())
            ::SetWindowPos(p->GetSafeHwnd(), nullptr, m_pageRect.left, m_pageRect.top, width, height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CCreatePrimitiveDialog::AddTab(eShapesPage page)
{
    if (TabIndexOf(page) >= 0 || !m_tabs.GetSafeHwnd())
        return false;
    m_tabs.InsertItem(int(m_tabPages.size()), Page(page)->PageTitle());
    m_tabPages.push_back(page);
    if (page == eShapesPage::Sketch && m_sketchPage)
        m_sketchPage->SetChecksFromSession();
    return true;
}

bool CCreatePrimitiveDialog::RemoveTab(eShapesPage page)
{
    const int index = TabIndexOf(page);
    if (index < 0)
        return false;
    if (CSubDlgBase* p = Page(page); p && p->GetSafeHwnd())
        p->ShowWindow(SW_HIDE);
    if (index == m_selectedTab)
        SelectTab(index - 1);
    else if (index < m_selectedTab)
        --m_selectedTab;
    m_tabs.DeleteItem(index);
    m_tabPages.erase(m_tabPages.begin() + index);
    if (m_selectedTab >= 0)
        m_tabs.SetCurSel(m_selectedTab);
    return true;
}

void CCreatePrimitiveDialog::SelectTab(int index)
{
    if (index == m_selectedTab || index >= int(m_tabPages.size()))
        return;
    for (std::size_t i = 0; i < m_tabPages.size(); ++i)
        if (int(i) != index)
            if (CSubDlgBase* p = Page(m_tabPages[i]); p && p->GetSafeHwnd())
                p->ShowWindow(SW_HIDE);
    const int old = m_selectedTab;
    m_selectedTab = index;
    if (index >= 0)
    {
        m_tabs.SetCurSel(index);
        if (CSubDlgBase* p = Page(m_tabPages[std::size_t(index)]); p && p->GetSafeHwnd())
        {
            ::SetWindowPos(p->GetSafeHwnd(), nullptr, m_pageRect.left, m_pageRect.top, m_pageRect.right - m_pageRect.left,
                           m_pageRect.bottom - m_pageRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
            p->ShowWindow(SW_SHOW);
        }
    }
    OnTabActivated(old, index);
}

void CCreatePrimitiveDialog::OnTabChange(NMHDR*, LRESULT* result)
{
    if (result)
        *result = 0;
    SelectTab(m_tabs.GetCurSel());
}

void CCreatePrimitiveDialog::SetupTabsForKind()
{
    const stKindTabs tabs = TabsOf(m_kind);
    if (tabs.pictures != 0)
        SetAlignPictures(tabs.pictures == 2);
    for (int i = 0; i < 3; ++i)
    {
        if (m_kind == eShapeKind::None)
        {
            if (m_tooltip && GetDlgItem(kAlignButtons[i]))
                m_tooltip->UpdateTipText(L"", GetDlgItem(kAlignButtons[i]));
        }
        else if (tabs.tips && m_tooltip && GetDlgItem(kAlignButtons[i]))
            m_tooltip->UpdateTipText(tabs.tips[i], GetDlgItem(kAlignButtons[i]));
    }
    if (!tabs.guide)
        RemoveTab(eShapesPage::GuideCurve);
    if (!tabs.sketch)
        RemoveTab(eShapesPage::Sketch);
    if (!tabs.curves)
        RemoveTab(eShapesPage::Curves);
    if (tabs.deviation == 0)
        RemoveTab(eShapesPage::Deviation);
    if (tabs.guide)
        AddTab(eShapesPage::GuideCurve);
    if (tabs.sketch)
        AddTab(eShapesPage::Sketch);
    if (tabs.curves)
        AddTab(eShapesPage::Curves);
    if (tabs.deviation == 1)
    {
        // Deviation is always the last tab.
        const int at = TabIndexOf(eShapesPage::Deviation);
        if (at >= 0 && at != int(m_tabPages.size()) - 1)
            RemoveTab(eShapesPage::Deviation);
        AddTab(eShapesPage::Deviation);
    }
    LayOutPages();
    const bool buttons = m_kind != eShapeKind::CurveNetwork && m_kind != eShapeKind::None;
    if (m_shapePage && m_shapePage->GetSafeHwnd())
    {
        SetDlgItemTextW(m_shapePage->GetSafeHwnd(), IDC_SHAPE_PAGE_REBUILD, L"Rebuild");
        for (int id : {IDC_SHAPE_PAGE_REBUILD, IDC_SHAPE_PAGE_VERTICAL, IDC_SHAPE_PAGE_HORIZONTAL})
            ::ShowWindow(::GetDlgItem(m_shapePage->GetSafeHwnd(), id), buttons ? SW_SHOW : SW_HIDE);
    }
    EnableShapeControls();
}

void CCreatePrimitiveDialog::EnableAlignControls(bool enable)
{
    const stKindTabs tabs = TabsOf(m_kind);
    const bool session = m_session != nullptr;
    for (int id : kAlignButtons)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable && session && tabs.align);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_ALIGN_ORIGIN), enable && session && tabs.origin);
}

void CCreatePrimitiveDialog::EnableShapeControls()
{
    if (!m_hWnd)
        return;
    const bool session = m_session != nullptr;
    if (m_shapePage && m_shapePage->GetSafeHwnd())
    {
        if (m_shapePage->GetPropertyTree().GetSafeHwnd())
            m_shapePage->GetPropertyTree().EnableWindow(session);
        for (int id : {IDC_SHAPE_PAGE_VERTICAL, IDC_SHAPE_PAGE_HORIZONTAL})
            ::EnableWindow(::GetDlgItem(m_shapePage->GetSafeHwnd(), id), session);
    }
    const int tab = m_selectedTab;
    const bool onShapeTab = tab < 0 || (std::size_t(tab) < m_tabPages.size() && m_tabPages[std::size_t(tab)] == eShapesPage::Shape);
    EnableAlignControls(onShapeTab);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_DELETE), session);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_CREATE), session);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_CREATE_ALL), m_entry && m_entry->SessionCount() > 0);
}

void CCreatePrimitiveDialog::EnableSelectionControls(bool enable)
{
    for (int id : kSelectionControls)
        ::EnableWindow(::GetDlgItem(m_hWnd, id), enable);
    if (enable)
    {
        const BOOL wand = m_selectionTool == IDC_SHAPES_MAGIC_WAND;
        for (int id : {IDC_SHAPES_CREASE, IDC_SHAPES_SENSITIVITY_LABEL, IDC_SHAPES_DEGREES_LABEL, IDC_SHAPES_SENSITIVITY})
            ::EnableWindow(::GetDlgItem(m_hWnd, id), wand);
    }
}

// A sketch drawn on the Sketch tab was drawn in the shape's axis and base
// point: they are the shape's own values now, no longer the fit's, as for any
// shape shown again (after a switch or a reopened document). The rows show
// that, and the shape's RMS as it now is (a hand-drawn sketch has none). A
// visit that drew nothing leaves the fitted profile and its rows as they were.
void CCreatePrimitiveDialog::ShowRowsAfterSketching()
{
    ST_IExtracted* record = m_session ? m_session->GetRecord() : nullptr;
    if (!record || !record->tree || !record->tree->GetSafeHwnd())
        return;
    ISceneObject* object = m_session->GetSceneObject();
    auto* surface = object && (object->QueryInterface(IID_ExtrudedSurface) || object->QueryInterface(IID_RevolvedSurface))
                        ? static_cast<ST_IProfiledSurface*>(object->QueryInterface(IID_ST_IProfiledSurface))
                        : nullptr;
    const ST_ISectionCurve* profile = surface ? surface->GetProfileCurve() : nullptr;
    if (!profile || profile->GetClassGuid() != CLSID_ST_TSketch || profile->GetSegmentCount() == 0)
        return;
    record->SetDefaultModes();
    record->BuildRows();
}

void CCreatePrimitiveDialog::OnTabActivated(int, int newIndex)
{
    ClearAnnotation();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_KIND), TRUE);
    const bool leftSketching = m_sketchMode;
    m_sketchMode = false;
    if (newIndex < 0 || std::size_t(newIndex) >= m_tabPages.size() || !m_shapesView || !m_shapesView->GetSafeHwnd())
        return;
    const eShapesPage page = m_tabPages[std::size_t(newIndex)];
    // The sketch's view faces the profile plane; the mesh pages want back
    // the camera the user had before the Sketch tab turned it.
    const auto restoreViewAfterSketching = [this] {
        if (!m_viewSetUpForSketching)
            return;
        m_viewSetUpForSketching = false;
        m_shapesView->RestoreViewState();
    };
    if (page == eShapesPage::Shape)
    {
        restoreViewAfterSketching();
        if (leftSketching)
            ShowRowsAfterSketching();
        SwitchToExtendMode();
        SendToView(kCmdReinitializePrimitive);
        SendToView(GetCurrentSelectionTool());
        EnableSelectionControls(true);
        EnableAlignControls(true);
        FocusView();
        return;
    }
    if (m_kind == eShapeKind::CurveNetwork)
    {
        for (int id : {IDC_SHAPES_MAGIC_WAND, IDC_SHAPES_PAINT_FILLED, IDC_SHAPES_PAINT})
            SendDlgItemMessageW(m_hWnd, id, BM_SETSTATE, FALSE, 0);
        for (int id : {IDC_SHAPES_SENSITIVITY, IDC_SHAPES_CREASE, IDC_SHAPES_SENSITIVITY_LABEL, IDC_SHAPES_DEGREES_LABEL})
            ::EnableWindow(::GetDlgItem(m_hWnd, id), FALSE);
    }
    else
    {
        EnableSelectionControls(false);
        EnableAlignControls(false);
    }
    IBase* current = CurrentShapeObject();
    switch (page)
    {
    case eShapesPage::GuideCurve:
        restoreViewAfterSketching();
        m_shapesView->StartToolMode(kModeDrawCurveOnMesh, current);
        break;
    case eShapesPage::Sketch:
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_KIND), FALSE);
        m_sketchMode = true;
        // Saved once: coming back from Deviation finds the view still set
        // up, and a second save would leave the first one stranded.
        if (!m_viewSetUpForSketching && m_shapesView->GetCamera())
        {
            m_shapesView->GetCamera()->PushViewState();
            m_viewSetUpForSketching = true;
        }
        m_shapesView->SetStandardView(2);
        m_shapesView->StartToolMode(kModeEditProfile, current);
        SendToView(ID_SHAPES_EDIT_PROFILE_HAND);
        break;
    case eShapesPage::Curves:
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_SHAPES_KIND), FALSE);
        m_shapesView->StartToolMode(kModeEditNetwork, current);
        break;
    case eShapesPage::Deviation: m_shapesView->StartToolMode(kModeDeviation, current); break;
    default: break;
    }
}
