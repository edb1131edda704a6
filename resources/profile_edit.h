// Resource ids of the profile editor's context menus.
#pragma once

#define IDR_PROFILE_EDIT_MENU 3054
// The free-form drawing menu is the curve drawing's menu (one resource).
#define IDR_PROFILE_DRAW_MENU 3042
#define ID_PROFILE_ZOOM_ALL 32790
#define ID_PROFILE_SELECT_MODE 32825
#define ID_PROFILE_ADD_LINE 32821
#define ID_PROFILE_ADD_TANGENT_ARC 32827
#define ID_PROFILE_ADD_ARC 32822
#define ID_PROFILE_ADD_CURVE 32826
