// The icon buttons of the Curves page and of its section panel, by pixels:
// each shows its own icon without a caption, pressed with a black outline
// and released with a grey one on the same white face, in one row one pixel
// apart.
#include "modes/section_plane_picker.h"
#include "plugin/dialogs/curves_page.h"
#include "resources/curves.h"
#include "resources/pictures.h"
#include "support/picture_probe.h"
#include "support/shape_scans.h"
#include "support/shapes_dialog_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

struct IconButton
{
    int id;
    UINT icon;
};

constexpr IconButton kModeButtons[4] = {{IDC_CURVES_MODIFY, IDI_PIC_MODIFY},
                                        {IDC_CURVES_EXTRAPOLATE, IDI_PIC_EXTRAPOLATE},
                                        {IDC_CURVES_ADD, IDI_PIC_ADD_CURVE},
                                        {IDC_CURVES_SECTION, IDI_PIC_SECTION_PLANE}};
constexpr IconButton kSectionButtons[5] = {{IDC_SECTION_ALIGN_BOTTOM, IDI_PIC_ALIGN_BOTTOM},
                                           {IDC_SECTION_ALIGN_RIGHT, IDI_PIC_ALIGN_RIGHT},
                                           {IDC_SECTION_ALIGN_FRONT, IDI_PIC_ALIGN_FRONT},
                                           {IDC_SECTION_INTERACTIVE, IDI_PIC_INTERACTIVE_SECTION},
                                           {IDC_SECTION_CURVE_GUIDED, IDI_PIC_CURVE_GUIDED_SECTION}};

const COLORREF kWhite = RGB(255, 255, 255);
const COLORREF kPressedOutline = RGB(0, 0, 0);
const COLORREF kReleasedOutline = RGB(120, 120, 120);

class CurvesPagePictures : public ShapesDialog
{
protected:
    void OpenCurvesPage()
    {
        Open(scans::Plane({-700, 420, 130}, {0.2, -0.1, 1.0}, 60.0, 16, 0.01));
        Click(IDC_SHAPES_SELECT_ALL);
        ChooseKind(eShapeKind::CurveNetwork);
        const std::vector<std::wstring> titles = dialog->TabTitles();
        int curves = -1;
        for (std::size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == L"Curves")
                curves = int(i);
        ASSERT_GE(curves, 0);
        dialog->SelectTab(curves);
        mfc::PumpUntilIdle();
        page = dynamic_cast<CSubNetworkDlg*>(SectionPlaneHostOf(dialog->GetShapesView()));
        ASSERT_NE(page, nullptr);
        ASSERT_NE(page->GetSafeHwnd(), nullptr);
    }
    void Press(HWND panel, int id)
    {
        ::SendMessageW(panel, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(::GetDlgItem(panel, id)));
        mfc::PumpUntilIdle();
    }
    static bool Pressed(HWND panel, int id)
    {
        return ::SendDlgItemMessageW(panel, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // The button's corner and a face pixel just inside its outline, in the
    // composed dialog image.
    struct Face
    {
        COLORREF corner, inside;
    };
    static Face FaceOf(HWND button)
    {
        const HWND root = ::GetAncestor(button, GA_ROOT);
        const win32::ClientImage image = win32::ComposeWindowImage(root);
        RECT r{};
        ::GetClientRect(button, &r);
        ::MapWindowPoints(button, root, reinterpret_cast<POINT*>(&r), 2);
        const auto at = [&](LONG x, LONG y) {
            const std::uint32_t p = image.pixels[std::size_t(y) * std::size_t(image.width) + std::size_t(x)];
            return RGB((p >> 16) & 255, (p >> 8) & 255, p & 255);
        };
        return Face{at(r.left, r.top), at(r.left + 1, r.top + 1)};
    }
    // Every button shows its own icon, no caption, and the look of its
    // check state.
    void ExpectIconsAndStates(HWND panel, const IconButton* buttons, std::size_t count, const std::string& snapshot)
    {
        for (std::size_t i = 0; i < count; ++i)
        {
            const HWND button = ::GetDlgItem(panel, buttons[i].id);
            ASSERT_NE(button, nullptr) << buttons[i].id;
            wchar_t caption[32] = L"?";
            ::GetWindowTextW(button, caption, 32);
            EXPECT_STREQ(caption, L"") << buttons[i].id;
            const Picture icon = IconPicture(module, buttons[i].icon);
            ASSERT_GT(icon.Ink(), 10u) << buttons[i].icon;
            EXPECT_TRUE(Shows(button, icon, snapshot)) << buttons[i].id;
            // Not just any icon: the next button's is not here.
            const Picture other = IconPicture(module, buttons[(i + 1) % count].icon);
            EXPECT_FALSE(Shows(button, other, snapshot)) << buttons[i].id;
            const Face face = FaceOf(button);
            EXPECT_EQ(face.corner, Pressed(panel, buttons[i].id) ? kPressedOutline : kReleasedOutline)
                << buttons[i].id;
            EXPECT_EQ(face.inside, kWhite) << buttons[i].id;
        }
    }
    static void ExpectOneRow(HWND panel, const IconButton* buttons, std::size_t count)
    {
        RECT previous{};
        for (std::size_t i = 0; i < count; ++i)
        {
            RECT r{};
            ::GetWindowRect(::GetDlgItem(panel, buttons[i].id), &r);
            if (i > 0)
            {
                EXPECT_EQ(r.left, previous.right + 1) << buttons[i].id;
                EXPECT_EQ(r.top, previous.top) << buttons[i].id;
            }
            previous = r;
        }
    }

    CSubNetworkDlg* page = nullptr;
};

} // namespace

TEST_F(CurvesPagePictures, TheModeButtonsShowTheirIconsPressedAndReleased)
{
    OpenCurvesPage();
    const HWND hwnd = page->GetSafeHwnd();
    ExpectOneRow(hwnd, kModeButtons, 4);
    for (const IconButton& b : kModeButtons)
    {
        Press(hwnd, b.id);
        for (const IconButton& other : kModeButtons)
            EXPECT_EQ(Pressed(hwnd, other.id), other.id == b.id) << b.id << " pressed, " << other.id;
        ExpectIconsAndStates(hwnd, kModeButtons, 4, "curves_page_mode_buttons_" + std::to_string(b.id));
    }
}

TEST_F(CurvesPagePictures, TheSectionPanelButtonsShowTheirIconsPressedAndReleased)
{
    OpenCurvesPage();
    Press(page->GetSafeHwnd(), IDC_CURVES_SECTION);
    const HWND panel = page->SectionPanel().GetSafeHwnd();
    ASSERT_TRUE(::IsWindowVisible(panel));
    ExpectOneRow(panel, kSectionButtons, 5);
    ExpectIconsAndStates(panel, kSectionButtons, 5, "curves_section_buttons");

    // A plane direction stays pressed alone.
    Press(panel, IDC_SECTION_ALIGN_FRONT);
    EXPECT_TRUE(Pressed(panel, IDC_SECTION_ALIGN_FRONT));
    EXPECT_FALSE(Pressed(panel, IDC_SECTION_ALIGN_BOTTOM));
    ExpectIconsAndStates(panel, kSectionButtons, 5, "curves_section_buttons_front");

    // The interactive plane is a toggle, and its button follows the mode.
    Press(panel, IDC_SECTION_INTERACTIVE);
    EXPECT_TRUE(Pressed(panel, IDC_SECTION_INTERACTIVE));
    ExpectIconsAndStates(panel, kSectionButtons, 5, "curves_section_buttons_interactive");
    Press(panel, IDC_SECTION_INTERACTIVE);
    EXPECT_FALSE(Pressed(panel, IDC_SECTION_INTERACTIVE));
    ExpectIconsAndStates(panel, kSectionButtons, 5, "curves_section_buttons_released");
}
