// Mouse-navigation profiles: which navigation mode a mouse press selects and
// which mode a view returns to, after the button assignments that users know
// from other CAD programs. The views keep one active profile (setting
// "ActiveProfile") and ask it on every press the overlay controls leave.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>
#include <string>
#include <vector>

class CMouseNavigationProfile
{
public:
    explicit CMouseNavigationProfile(const wchar_t* name) : name(name) {}
    virtual ~CMouseNavigationProfile() = default;
    CMouseNavigationProfile(const CMouseNavigationProfile&) = delete;
    CMouseNavigationProfile& operator=(const CMouseNavigationProfile&) = delete;

    const std::wstring& GetName() const { return name; }

    // The mode a view returns to when no other mode is stacked.
    virtual std::uint32_t GetDefaultModeId() const = 0;
    // The mode a press with these MK_* flags selects, or 0 (the active mode
    // then handles the press itself). Profiles that look at Alt read the
    // asynchronous key state.
    virtual std::uint32_t GetModeIdForMouseEvent(UINT flags) const = 0;
    virtual const wchar_t* GetDescription() const = 0;
    // The input that rotates, pans and zooms, for the settings pages.
    virtual void GetButtonTexts(std::wstring& rotate, std::wstring& translate, std::wstring& zoom) const = 0;

protected:
    std::wstring name;
};

// The seven profiles, one object each for the life of the process, in the
// order the views list them: "Default", "Polyworks", "Geomagic",
// "SolidWorks", "Gom Inspect", "Dezaz", "Google SketchUp".
const std::vector<CMouseNavigationProfile*>& MouseNavigationProfiles();
