// Resource ids of the render-engine information dialog of the 3D views
// (shared by the resource script and the code).
#pragma once

#define IDD_RENDER_ENGINE_INFO 18023
#define IDC_RENDER_ENGINE_TEXT 16014
#define ID_VIEW_RENDER_ENGINE_INFO 32780
