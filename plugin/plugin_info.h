// What the plug-in tells the host about itself: the texts of its exported
// information functions, shared with the plug-in object.
#pragma once

namespace vtl
{

inline constexpr int kSdkVersion = 201103035;
inline constexpr int kSdkServiceRelease = 201406095;
inline constexpr const wchar_t* kPlugInName = L"Vantrell";
inline constexpr const wchar_t* kPlugInId = L"7D3A9C52-41E8-4B6F-9A0D-2C5E8F1B3A64";
inline constexpr const char* kPlugInVersion = "4.1.74";
inline constexpr const wchar_t* kPlugInVersionW = L"4.1.74";
inline constexpr const wchar_t* kDeveloperOrganization = L"Pellmark";
inline constexpr const wchar_t* kDeveloperAddress = L"Pellmark, Software Department";
inline constexpr const wchar_t* kDeveloperCountry = L"Germany";
inline constexpr const wchar_t* kDeveloperPhone = L"+49 000 0000000";
inline constexpr const wchar_t* kDeveloperFax = L"+49 000 0000001";
inline constexpr const wchar_t* kDeveloperEmail = L"support@pellmark.example";
inline constexpr const wchar_t* kDeveloperWebsite = L"http://www.pellmark.example/";

} // namespace vtl
