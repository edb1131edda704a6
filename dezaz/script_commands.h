// Host commands for scripts: simple geometry for the plug-in's curve and
// surface commands to work on, and a listing of what the document holds:
//   Polyline x,y,z x,y,z ...       a polyline through the points (closed
//                                  when the last point is the first);
//   PlaneSurface x,y,z x,y,z x,y,z a rectangle of a plane from a corner and
//                                  the ends of its two sides;
//   List                           one line per object: serial number, kind,
//                                  size, layer, and whether it is hidden.
#pragma once

namespace dezaz
{

// Constructs the commands once (later calls do nothing).
void RegisterScriptCommands();

} // namespace dezaz
