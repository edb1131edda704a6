// Resource ids of the shapes dialog's list menu, help topics and quick
// shape pickers.
#pragma once

// The shape list's context menu.
#define IDR_SHAPE_LIST_MENU 3084
#define ID_SHAPE_LIST_DELETE 32881
#define ID_SHAPE_LIST_DELETE_ALL 32882

// The "How To" menu and its topics.
#define IDR_HOW_TO_MENU 3078
#define ID_HOW_TO_SELECTION 32872
#define ID_HOW_TO_ALIGN 32873
#define ID_HOW_TO_CONSTRAINT 32874
#define ID_HOW_TO_CREATE 32875
#define ID_HOW_TO_CURVES 32876
#define ID_HOW_TO_OTHER 32877
#define ID_HOW_TO_ANALYZER 32880

// The quick shape pickers.
#define IDD_QUICK_SURFACE 3037
#define IDD_QUICK_CURRENT_SURFACE 3058
#define IDC_QUICK_PLANE 3005
#define IDC_QUICK_CYLINDER 3003
#define IDC_QUICK_SPHERE 3000
#define IDC_QUICK_FREE_FORM 3060
#define IDC_QUICK_REVOLVED 3061
#define IDC_QUICK_EXTRUDED 3062
#define IDC_QUICK_SYMMETRY 3063
#define IDC_QUICK_CURVES 3001
#define IDC_QUICK_NEW_SHAPE 3106
#define IDC_QUICK_DELETE 3108
