#include "render/mode_navigator.h"
#include "render/mouse_navigation_profiles.h"

#include <gtest/gtest.h>

namespace
{

const CMouseNavigationProfile& Profile(const std::wstring& name)
{
    for (const CMouseNavigationProfile* p : MouseNavigationProfiles())
        if (p->GetName() == name)
            return *p;
    throw std::runtime_error("no such profile");
}

struct Press
{
    UINT flags;
    bool alt;
};

std::uint32_t ModeFor(const std::wstring& profile, Press press)
{
    win32::SetKeyDown(VK_MENU, press.alt);
    std::uint32_t id = Profile(profile).GetModeIdForMouseEvent(press.flags);
    win32::SetKeyDown(VK_MENU, false);
    return id;
}

constexpr UINT L = MK_LBUTTON, M = MK_MBUTTON, R = MK_RBUTTON, S = MK_SHIFT, C = MK_CONTROL;
constexpr std::uint32_t Rot = kRotateModeId, Pan = kTranslateModeId, Zoom = kZoomModeId,
                        Free = kFreeNavigationModeId;

TEST(MouseNavigationProfiles, AreListedInTheViewsOrder)
{
    std::vector<std::wstring> names;
    for (const CMouseNavigationProfile* p : MouseNavigationProfiles())
        names.push_back(p->GetName());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Default", L"Polyworks", L"Geomagic", L"SolidWorks",
                                                L"Gom Inspect", L"Dezaz", L"Google SketchUp"}));
}

TEST(MouseNavigationProfiles, DefaultModes)
{
    EXPECT_EQ(Profile(L"Default").GetDefaultModeId(), kZoomRectModeId);
    EXPECT_EQ(Profile(L"Polyworks").GetDefaultModeId(), kRotateModeId);
    EXPECT_EQ(Profile(L"SolidWorks").GetDefaultModeId(), kZoomRectModeId);
    EXPECT_EQ(Profile(L"Geomagic").GetDefaultModeId(), kZoomRectModeId);
    EXPECT_EQ(Profile(L"Google SketchUp").GetDefaultModeId(), kZoomRectModeId);
    EXPECT_EQ(Profile(L"Gom Inspect").GetDefaultModeId(), kRotateModeId);
    EXPECT_EQ(Profile(L"Dezaz").GetDefaultModeId(), kZoomRectModeId);
}

// Every profile against every button with and without Shift, Ctrl and Alt.
TEST(MouseNavigationProfiles, MapPressesToNavigationModes)
{
    struct Row
    {
        const wchar_t* profile;
        UINT button;
        // Results for: none, Shift, Ctrl, Shift+Ctrl; then the same with Alt down.
        std::uint32_t expected[8];
    };
    const Row rows[] = {
        {L"Default", L, {0, Free, 0, Free, 0, Free, 0, Free}},
        {L"Default", M, {0, Free, 0, Free, 0, Free, 0, Free}},
        {L"Default", R, {0, Free, 0, Free, 0, Free, 0, Free}},
        {L"Polyworks", L, {Rot, Rot, 0, 0, 0, 0, 0, 0}},
        {L"Polyworks", M, {Pan, Pan, Pan, Pan, Pan, Pan, Pan, Pan}},
        {L"Polyworks", R, {Zoom, Zoom, Zoom, Zoom, Zoom, Zoom, Zoom, Zoom}},
        {L"SolidWorks", L, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"SolidWorks", M, {0, Zoom, Pan, Pan, 0, Zoom, Pan, Pan}},
        {L"SolidWorks", R, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"Geomagic", L, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"Geomagic", M, {Rot, Rot, Rot, Rot, Pan, Pan, Pan, Pan}},
        {L"Geomagic", R, {0, Zoom, 0, Zoom, 0, Zoom, 0, Zoom}},
        {L"Google SketchUp", L, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"Google SketchUp", M, {Rot, Rot, Rot, Rot, Pan, Pan, Pan, Pan}},
        {L"Google SketchUp", R, {0, Zoom, 0, Zoom, 0, Zoom, 0, Zoom}},
        {L"Gom Inspect", L, {Rot, Rot, Rot, Rot, Rot, Rot, Rot, Rot}},
        {L"Gom Inspect", M, {Pan, Zoom, Pan, Zoom, Pan, Zoom, Pan, Zoom}},
        {L"Gom Inspect", R, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"Dezaz", L, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"Dezaz", M, {0, 0, 0, 0, 0, 0, 0, 0}},
        {L"Dezaz", R, {Rot, Pan, Zoom, Pan, Rot, Pan, Zoom, Pan}},
    };
    const UINT modifiers[4] = {0, S, C, S | C};
    for (const Row& row : rows)
        for (int alt = 0; alt < 2; ++alt)
            for (int m = 0; m < 4; ++m)
                EXPECT_EQ(ModeFor(row.profile, {row.button | modifiers[m], alt == 1}),
                          row.expected[alt * 4 + m])
                    << "profile " << std::string(row.profile, row.profile + wcslen(row.profile)) << ", flags "
                    << (row.button | modifiers[m]) << ", alt " << alt;
}

TEST(MouseNavigationProfiles, AltIsReadFromTheAsynchronousKeyState)
{
    // The message flags carry no Alt; only the key state does.
    EXPECT_EQ(ModeFor(L"Polyworks", {L, false}), Rot);
    win32::InjectKey(VK_MENU, true); // no window takes it, the state still follows
    EXPECT_EQ(Profile(L"Polyworks").GetModeIdForMouseEvent(L), 0u);
    win32::InjectKey(VK_MENU, false);
    EXPECT_EQ(Profile(L"Polyworks").GetModeIdForMouseEvent(L), Rot);
}

TEST(MouseNavigationProfiles, DescriptionsAndButtonTexts)
{
    struct Texts
    {
        const wchar_t* profile;
        const wchar_t* description;
        const wchar_t* rotate;
        const wchar_t* translate;
        const wchar_t* zoom;
    };
    const Texts all[] = {
        {L"Default",
         L"MIDDLE Button = Rotate | RIGHT Button = Translate | SHIFT+ LEFT Button = Zoom In/Out | Ctrl + "
         L"MIDDLE "
         L"Button = Pick Rotation Pivot Point",
         L"MIDDLE Button", L"RIGHT Button", L"SHIFT + LEFT Button"},
        {L"Polyworks",
         L"LEFT Button or Shift + LEFT Button = Rotate | MIDDLE Button = Translate | RIGHT Button = Zoom In "
         L"/ Out",
         L"LEFT Button or SHIFT + LEFT Button", L"MIDDLE Button", L"RIGHT Button"},
        {L"SolidWorks",
         L"MIDDLE Button = Rotate | Ctrl+ MIDDLE Button = Translate | Shift+ MIDDLE Button = Zoom In / Out",
         L"MIDDLE Button", L"Ctrl+ MIDDLE Button", L"Shift+ MIDDLE Button"},
        {L"Geomagic",
         L"MIDDLE Button = Rotate | Alt + MIDDLE Button = Translate | Shift+ RIGHT Button = Zoom In / Out",
         L"MIDDLE Button", L"Alt + MIDDLE Button", L"Shift+ RIGHT Button"},
        {L"Google SketchUp",
         L"MIDDLE Button = Rotate | Alt + MIDDLE Button = Translate | Shift+ RIGHT Button = Zoom In / Out",
         L"MIDDLE Button", L"Alt + MIDDLE Button", L"Shift+ RIGHT Button"},
        {L"Gom Inspect",
         L"LEFT Button = Rotate | MIDDLE Button = Translate | Shift + MIDDLE Button = Zoom In / Out",
         L"LEFT Button", L"MIDDLE Button", L"Shift + MIDDLE Button"},
        {L"Dezaz",
         L"RIGHT Button = Rotate | Shift + RIGHT Button = Translate | Control + RIGHT Button = Zoom In / Out",
         L"RIGHT Button", L"Shift + RIGHT Button", L"Control + RIGHT Button"},
    };
    for (const Texts& t : all)
    {
        const CMouseNavigationProfile& p = Profile(t.profile);
        EXPECT_STREQ(p.GetDescription(), t.description);
        std::wstring rotate, translate, zoom;
        p.GetButtonTexts(rotate, translate, zoom);
        EXPECT_EQ(rotate, t.rotate);
        EXPECT_EQ(translate, t.translate);
        EXPECT_EQ(zoom, t.zoom);
    }
}

} // namespace
