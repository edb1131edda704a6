// Resource ids of the plug-in (shared by the resource script and the code).
#pragma once

// Dialogs the plug-in object keeps one of.
#define IDD_CREATE_PRIMITIVE 3010
#define IDD_MEASURE_FILLET 3046
#define IDD_FLOATING_ANALYZER 3080

// The plug-in menu and its items.
#define IDR_VTL_MENU 3000
#define ID_VTL_SHAPES 32809
#define ID_VTL_ANALYZER 32879
#define ID_VTL_SEGMENTATION 32819
#define ID_VTL_MEASURE_FILLET 32820
#define ID_VTL_QUICK_TRIM 32774
#define ID_VTL_ONLINE_HELP 32817
#define ID_VTL_ABOUT 32772

// The 3D views' context menu.
#define IDR_VIEW_CONTEXT_MENU 3011
#define ID_VIEW_ZOOM_ALL 32790
#define ID_VIEW_FRONT 32791
#define ID_VIEW_BACK 32792
#define ID_VIEW_LEFT 32793
#define ID_VIEW_RIGHT 32794
#define ID_VIEW_TOP 32795
#define ID_VIEW_BOTTOM 32796
