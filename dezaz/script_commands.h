// Host commands for scripts: simple geometry for the plug-in's curve and
// surface commands to work on, and a listing of what the document holds:
//   Polyline x,y,z x,y,z ...       a polyline through the points (closed
//                                  when the last point is the first);
//   PlaneSurface x,y,z x,y,z x,y,z a rectangle of a plane from a corner and
//                                  the ends of its two sides;
//   List                           one line per object: serial number, kind,
//                                  size, layer, and whether it is hidden;
// Controls are found on the window's tab pages and panels too.
//   DialogCombo "title" id item    chooses a drop-down item as a user would;
//   DialogText "title" id text     types into an edit box and leaves it;
//   DialogViewClick "title" fx,fy ...  clicks (one point) or drags (several)
//                                  in the window's 3D view, at fractions of
//                                  its width and height;
//   DialogViewCommand "title" id   a command of that view's menus;
//   DialogList "title" id          the items of a list box;
//   DialogTab "title" caption      clicks the tab of that caption;
//   DialogViewKey "title" key      a key pressed in the window's 3D view;
//   SurfacePoints                  a 9 x 9 grid of points of every brep face.
#pragma once

namespace dezaz
{

// Constructs the commands once (later calls do nothing).
void RegisterScriptCommands();

} // namespace dezaz
