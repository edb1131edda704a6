// Where the shapes dialog puts its pages: every page of every kind, with
// all its controls and the Curves page's option panels, lies inside the tab
// control below its tabs, and the tab control clears the controls beneath
// it, also after the dialog was made larger.
#include "modes/section_plane_picker.h"
#include "plugin/dialogs/curves_page.h"
#include "resources/dialog_base.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

class ShapesDialogLayout : public ShapesDialog
{
protected:
    // A window's rectangle in the dialog's client coordinates.
    RECT InDialog(HWND window) const
    {
        RECT r{};
        ::GetWindowRect(window, &r);
        ::MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    static bool Inside(const RECT& inner, const RECT& outer)
    {
        return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
               inner.bottom <= outer.bottom;
    }
    static std::string Text(const RECT& r)
    {
        return "(" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) + ", " +
               std::to_string(r.bottom) + ")";
    }
    HWND Tabs() const { return ::GetDlgItem(Window(), IDC_SHAPES_TABS); }
    // The area under the tabs' row, where a page may be.
    RECT PageArea() const
    {
        RECT area = InDialog(Tabs());
        RECT item{};
        ::SendMessageW(Tabs(), TCM_GETITEMRECT, 0, LPARAM(&item));
        area.top += item.bottom;
        return area;
    }
    // The shown page and each of its descendants lie inside the page area,
    // and the page area clears the controls below the tab control.
    void ExpectShownPageInside(const std::string& what)
    {
        const RECT area = PageArea();
        int shown = 0;
        for (HWND page = ::GetWindow(Tabs(), GW_CHILD); page; page = ::GetWindow(page, GW_HWNDNEXT))
        {
            if (!::IsWindowVisible(page))
                continue;
            ++shown;
            EXPECT_TRUE(Inside(InDialog(page), area)) << what << ": page " << Text(InDialog(page)) << " in "
                                                      << Text(area);
            ExpectDescendantsInside(page, area, what);
        }
        EXPECT_EQ(shown, 1) << what;
        const RECT client = [&] {
            RECT c{};
            ::GetClientRect(Window(), &c);
            return c;
        }();
        EXPECT_TRUE(Inside(InDialog(Tabs()), client)) << what;
        for (int id : {IDC_SHAPES_ALIGN_LABEL, IDC_SHAPES_ALIGN_BOTTOM, IDC_SHAPES_RESET, IDC_SHAPES_HOST_SAME_PLACE,
                       IDC_SHAPES_UNDO_SELECTION, IDC_VIEW_PLACEHOLDER})
        {
            RECT overlap{};
            const RECT control = InDialog(::GetDlgItem(Window(), id));
            const RECT tabs = InDialog(Tabs());
            EXPECT_FALSE(::IntersectRect(&overlap, &control, &tabs))
                << what << ": control " << id << " " << Text(control) << " under the tabs " << Text(tabs);
        }
    }
    void ExpectDescendantsInside(HWND parent, const RECT& area, const std::string& what)
    {
        for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        {
            // Tooltips are popups of their own.
            if (::GetWindowLongPtrW(child, GWL_STYLE) & WS_POPUP)
                continue;
            EXPECT_TRUE(Inside(InDialog(child), area))
                << what << ": control " << ::GetDlgCtrlID(child) << " " << Text(InDialog(child)) << " in "
                << Text(area);
            ExpectDescendantsInside(child, area, what);
        }
    }
    void ExpectEveryTabInside(const std::string& what)
    {
        const std::vector<std::wstring> titles = dialog->TabTitles();
        for (std::size_t i = 0; i < titles.size(); ++i)
        {
            dialog->SelectTab(int(i));
            ExpectShownPageInside(what + " tab " + std::string(titles[i].begin(), titles[i].end()));
            Snapshot("layout_" + what + "_" + std::to_string(i));
        }
        dialog->SelectTab(0);
    }
};

} // namespace

TEST_F(ShapesDialogLayout, EveryPageOfEveryKindLiesInsideTheTabArea)
{
    Open(scans::Cylinder({-40, 80, 900}, {0.1, 0.2, 1.0}, 20.0, 50.0, 48, 10, false, 0.01));
    ExpectShownPageInside("no shape");
    for (const auto& [kind, name] : {std::pair{eShapeKind::Extruded, "extruded"},
                                     std::pair{eShapeKind::Cylinder, "cylinder"},
                                     std::pair{eShapeKind::CurveNetwork, "curves"}})
    {
        Click(IDC_SHAPES_NEW_SHAPE);
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(kind);
        ASSERT_NE(dialog->GetCurrentSession(), nullptr) << name;
        ASSERT_GT(dialog->TabTitles().size(), 1u) << name;
        ExpectEveryTabInside(name);
    }
    // The Guide curve page (a free form's) shown beside the others.
    ASSERT_TRUE(dialog->AddTab(eShapesPage::GuideCurve));
    ExpectEveryTabInside("guide_curve");
}

TEST_F(ShapesDialogLayout, EachCurvesPanelLiesInsideTheTabAreaAlsoInALargerDialog)
{
    Open(scans::Plane({1200, -640, 310}, {0.1, 0.05, 1.0}, 80.0, 20, 0.01));
    Click(IDC_SHAPES_SELECT_ALL);
    ChooseKind(eShapeKind::CurveNetwork);
    ASSERT_EQ(dialog->TabTitles(), (std::vector<std::wstring>{L"Shape", L"Curves"}));
    dialog->SelectTab(1);
    auto* page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(dialog->GetShapesView()));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->IsWindowVisible());
    const RECT tabsBefore = InDialog(Tabs());
    for (int grow : {0, 200})
    {
        if (grow)
        {
            RECT r{};
            ::GetWindowRect(Window(), &r);
            ::SetWindowPos(Window(), nullptr, 0, 0, r.right - r.left + grow, r.bottom - r.top + grow,
                           SWP_NOMOVE | SWP_NOZORDER);
            const RECT tabs = InDialog(Tabs());
            EXPECT_EQ(tabs.right - tabs.left, tabsBefore.right - tabsBefore.left) << "the tabs keep their size";
            EXPECT_EQ(tabs.bottom - tabs.top, tabsBefore.bottom - tabsBefore.top);
            EXPECT_EQ(tabs.top, tabsBefore.top + grow) << "and move with the bottom edge";
        }
        for (CWnd* panel : {static_cast<CWnd*>(&page->SectionPanel()), static_cast<CWnd*>(&page->ModifyPanel()),
                            static_cast<CWnd*>(&page->AddPanel())})
        {
            for (CWnd* other : {static_cast<CWnd*>(&page->SectionPanel()), static_cast<CWnd*>(&page->ModifyPanel()),
                                static_cast<CWnd*>(&page->AddPanel())})
                other->ShowWindow(other == panel ? SW_SHOW : SW_HIDE);
            const std::string what = "panel " + std::to_string(::GetDlgCtrlID(panel->GetSafeHwnd())) +
                                     (grow ? " larger" : "");
            EXPECT_TRUE(Inside(InDialog(panel->GetSafeHwnd()), PageArea()))
                << what << " " << Text(InDialog(panel->GetSafeHwnd())) << " in " << Text(PageArea());
            ExpectShownPageInside(what);
            // And it shows: its group box's caption is drawn, not hidden
            // behind a sibling.
            const win32::ClientImage image = win32::ComposeWindowImage(Window());
            const RECT r = InDialog(panel->GetSafeHwnd());
            int ink = 0;
            for (LONG y = r.top; y < r.top + 14; ++y)
                for (LONG x = r.left; x < r.right; ++x)
                {
                    const std::uint32_t p = image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
                    ink += RGB((p >> 16) & 255, (p >> 8) & 255, p & 255) == GetSysColor(COLOR_BTNTEXT) ? 1 : 0;
                }
            EXPECT_GT(ink, 30) << what << ": its caption shows";
        }
        Snapshot(grow ? "layout_curves_panels_larger" : "layout_curves_panels");
    }
}
