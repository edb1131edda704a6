#include "render/mouse_navigation_profiles.h"

#include "core/progress.h"
#include "render/mode_navigator.h"

namespace
{

// Button texts are shown in the settings pages, so they pass the hook of
// user-visible texts.
std::wstring UiText(const wchar_t* text)
{
    return TranslateText(text);
}

bool AltDown()
{
    return GetAsyncKeyState(VK_MENU) < 0;
}

class MNP_Default : public CMouseNavigationProfile
{
public:
    MNP_Default() : CMouseNavigationProfile(L"Default") {}
    std::uint32_t GetDefaultModeId() const override { return kZoomRectModeId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) const override
    {
        return (flags & MK_SHIFT) ? kFreeNavigationModeId : 0;
    }
    const wchar_t* GetDescription() const override
    {
        return L"MIDDLE Button = Rotate | RIGHT Button = Translate | SHIFT+ LEFT Button = Zoom In/Out | Ctrl "
               L"+ "
               L"MIDDLE Button = Pick Rotation Pivot Point";
    }
    void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const override
    {
        rotate = UiText(L"MIDDLE Button");
        translate = UiText(L"RIGHT Button");
        zoom = UiText(L"SHIFT + LEFT Button");
    }
};

class MNP_Polyworks : public CMouseNavigationProfile
{
public:
    MNP_Polyworks() : CMouseNavigationProfile(L"Polyworks") {}
    std::uint32_t GetDefaultModeId() const override { return kRotateModeId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) const override
    {
        if (flags & MK_LBUTTON)
        {
            if ((flags & MK_CONTROL) || AltDown())
                return 0;
            return kRotateModeId;
        }
        if (flags & MK_MBUTTON)
            return kTranslateModeId;
        if (flags & MK_RBUTTON)
            return kZoomModeId;
        return 0;
    }
    const wchar_t* GetDescription() const override
    {
        return L"LEFT Button or Shift + LEFT Button = Rotate | MIDDLE Button = Translate | RIGHT Button = "
               L"Zoom "
               L"In / Out";
    }
    void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const override
    {
        rotate = UiText(L"LEFT Button or SHIFT + LEFT Button");
        translate = UiText(L"MIDDLE Button");
        zoom = UiText(L"RIGHT Button");
    }
};

class MNP_SolidWorks : public CMouseNavigationProfile
{
public:
    MNP_SolidWorks() : CMouseNavigationProfile(L"SolidWorks") {}
    std::uint32_t GetDefaultModeId() const override { return kZoomRectModeId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) const override
    {
        if (!(flags & MK_MBUTTON))
            return 0;
        if (flags & MK_CONTROL)
            return kTranslateModeId;
        if (flags & MK_SHIFT)
            return kZoomModeId;
        return 0;
    }
    const wchar_t* GetDescription() const override
    {
        return L"MIDDLE Button = Rotate | Ctrl+ MIDDLE Button = Translate | Shift+ MIDDLE Button = Zoom In / "
               L"Out";
    }
    void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const override
    {
        rotate = UiText(L"MIDDLE Button");
        translate = UiText(L"Ctrl+ MIDDLE Button");
        zoom = UiText(L"Shift+ MIDDLE Button");
    }
};

// "Geomagic" and "Google SketchUp" share their rules and texts.
class MiddleRotatesAltPans : public CMouseNavigationProfile
{
public:
    using CMouseNavigationProfile::CMouseNavigationProfile;
    std::uint32_t GetDefaultModeId() const override { return kZoomRectModeId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) const override
    {
        if (flags & MK_MBUTTON)
            return AltDown() ? kTranslateModeId : kRotateModeId;
        if (!(flags & MK_RBUTTON))
            return 0;
        return (flags & MK_SHIFT) ? kZoomModeId : 0;
    }
    const wchar_t* GetDescription() const override
    {
        return L"MIDDLE Button = Rotate | Alt + MIDDLE Button = Translate | Shift+ RIGHT Button = Zoom In / "
               L"Out";
    }
    void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const override
    {
        rotate = UiText(L"MIDDLE Button");
        translate = UiText(L"Alt + MIDDLE Button");
        zoom = UiText(L"Shift+ RIGHT Button");
    }
};

class MNP_Geomagic : public MiddleRotatesAltPans
{
public:
    MNP_Geomagic() : MiddleRotatesAltPans(L"Geomagic") {}
};

class MNP_GoogleSketchUp : public MiddleRotatesAltPans
{
public:
    MNP_GoogleSketchUp() : MiddleRotatesAltPans(L"Google SketchUp") {}
};

class MNP_GomInspect : public CMouseNavigationProfile
{
public:
    MNP_GomInspect() : CMouseNavigationProfile(L"Gom Inspect") {}
    std::uint32_t GetDefaultModeId() const override { return kRotateModeId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) const override
    {
        if (flags & MK_LBUTTON)
            return kRotateModeId;
        if (!(flags & MK_MBUTTON))
            return 0;
        return (flags & MK_SHIFT) ? kZoomModeId : kTranslateModeId;
    }
    const wchar_t* GetDescription() const override
    {
        return L"LEFT Button = Rotate | MIDDLE Button = Translate | Shift + MIDDLE Button = Zoom In / Out";
    }
    void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const override
    {
        rotate = UiText(L"LEFT Button");
        translate = UiText(L"MIDDLE Button");
        zoom = UiText(L"Shift + MIDDLE Button");
    }
};

class MNP_Dezaz : public CMouseNavigationProfile
{
public:
    MNP_Dezaz() : CMouseNavigationProfile(L"Dezaz") {}
    std::uint32_t GetDefaultModeId() const override { return kZoomRectModeId; }
    std::uint32_t GetModeIdForMouseEvent(UINT flags) const override
    {
        if (!(flags & MK_RBUTTON))
            return 0;
        if (flags & MK_SHIFT)
            return kTranslateModeId;
        if (flags & MK_CONTROL)
            return kZoomModeId;
        return kRotateModeId;
    }
    const wchar_t* GetDescription() const override
    {
        return L"RIGHT Button = Rotate | Shift + RIGHT Button = Translate | Control + RIGHT Button = Zoom In "
               L"/ Out";
    }
    void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const override
    {
        rotate = UiText(L"RIGHT Button");
        translate = UiText(L"Shift + RIGHT Button");
        zoom = UiText(L"Control + RIGHT Button");
    }
};

} // namespace

const std::vector<CMouseNavigationProfile*>& MouseNavigationProfiles()
{
    // Built on first use, so a view constructed during another module's
    // static initialisation still finds them.
    static MNP_Default defaultProfile;
    static MNP_Polyworks polyworks;
    static MNP_Geomagic geomagic;
    static MNP_SolidWorks solidWorks;
    static MNP_GomInspect gomInspect;
    static MNP_Dezaz dezaz;
    static MNP_GoogleSketchUp sketchUp;
    static const std::vector<CMouseNavigationProfile*> list{
        &defaultProfile, &polyworks, &geomagic, &solidWorks, &gomInspect, &dezaz, &sketchUp};
    return list;
}
