// Services that every interaction mode of the tool views shares: the mesh
// point under the cursor, colour-coded picking in the GL back buffer, the
// Alt-key snapping switch, the arc-radius snap of the sketch editor, label
// formatting, context-menu icons and the screen-object manager of a view.
//
// Colour-coded picking: triangle i is drawn in colour id i + 1 packed as
// red = low byte, green = middle byte, blue = high byte; 0 is the
// background. Ids are 24 bits, so a mesh above kMaxColourIdTriangles
// triangles cannot be drawn into the id image and the id pass refuses it.
#pragma once

#include "core/vertex.h"
#include "modes/sketch_snap.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/types.h"
#include "render/triangle_selection.h"
#include "render/view_3d.h"

#include <cstdint>
#include <functional>
#include <vector>

class cMesh;
class cMeshObject;
struct cMeshTriangle;
class I3DSceneRenderer;
class CMenu;
template <class TView> class IScreenObjectManager;

// The first object of the view's scene that is a mesh object holding a mesh,
// or null (no view, no scene, no such object).
cMeshObject* FirstMeshObject(C3DView* view);

// The magic wand's seed in the tool views: a click on a selected, visible
// triangle aims to deselect its region, a click on any other to select it.
bool SeedClickSelects(const cMeshTriangle& triangle);
// Puts the seed's selected bit to the click's aim and returns the seed (null
// stays null).
cMeshTriangle* AimSeedTriangle(cMeshTriangle* triangle, bool selects);

// The id read back where nothing was drawn (and outside the viewport).
inline constexpr std::uint32_t kNoPickId = 0;
// Flag bit of a picked point: nothing was hit (x is then FLT_MAX).
inline constexpr std::uint32_t kPickedNothing = 1;
// The barycentric tolerance of the CPU pick (2^-23).
inline constexpr double kPickEpsilon = 1.1920928955078125e-7;

// Barycentric containment of (px, py) in the triangle a, b, c: false for a
// degenerate triangle (|d| <= epsilon); otherwise u (weight of b) and v
// (weight of c) are written and the point is inside when u, v and u + v all
// lie strictly between -epsilon and 1 + epsilon.
bool PointInTriangle2D(double px, double py, double ax, double ay, double bx, double by, double cx, double cy,
                       double* u, double* v, double epsilon);

// The flag bytes of a mesh's triangles as a pass over all of them read them,
// a block of kTriangleFlagBlock triangles at a time (the last one shorter):
// of each block the bits set in any triangle's byte and those set in all.
// A later pass can leave a block alone that these show needs nothing, as
// long as nothing wrote the flags in between.
inline constexpr std::uint32_t kTriangleFlagBlock = 1u << 16;
struct stTriangleFlagBlocks
{
    std::uint32_t triangles = 0; // the mesh's triangle count then
    std::vector<std::uint8_t> any, all;
};

// The nearest visible, viewer-facing triangle under the view-plane point
// (x, y) (the cursor through the renderer's ScreenToWorld), by a scan of all
// triangles (on the shared pool, a block of them per job): the hit point in
// model coordinates, the triangle's normal and the own index of its first
// vertex; the largest depth wins and equal depths keep the earlier triangle.
// Flag bit 0 set (x = FLT_MAX) when nothing is hit. *hitTriangle (when
// given) receives the hit triangle.
// With seen, the scan also tells what it read of the triangles' flag bytes.
cVertex PickMeshPointUnderCursor(const cMesh& mesh, float x, float y, const double view[12], const float centre[3],
                                 const cMeshTriangle** hitTriangle = nullptr, stTriangleFlagBlocks* seen = nullptr);

// One triangle of such a pick: false when it is hidden, faces away, names a
// vertex past the mesh or does not lie under (x, y); otherwise its point under
// the cursor and that point's depth. Every pick of the mesh point under the
// cursor measures triangles with this, so an accelerated pick gives the
// scan's answers bit for bit.
bool PickTrianglePoint(const cMesh& mesh, const cMeshTriangle& t, float x, float y, const double view[12],
                       const float centre[3], float point[3], double* depth);
// The pick's answer for the point on triangle t.
void SetPickedPoint(cVertex& result, const cMesh& mesh, const cMeshTriangle& t, const float point[3]);

// Whether a snapping setting is in force: always with force; otherwise when
// the setting is on and Alt is up, or off and Alt is down.
bool IsSnapActive(std::uint8_t setting, int force);

// The sketch editor's radius snap while an arc through a, b, c (world
// points) is dragged in the given 3x4 frame: the radius becomes a multiple
// of step keeping the chord a-c, and b is moved onto the new arc. False
// (state untouched) when snapping is off, step is not positive, the points
// have no circumcircle or no multiple of the step spans the chord.
bool SnapArcRadius(stSketchSnap& state, const double frame[12], const float a[3], const float b[3], const float c[3],
                   double step);

// The five GL_PACK_* values (swap bytes, alignment, skip pixels, skip rows,
// row length), and the state that read-backs use.
struct stPixelStoreState
{
    GLint values[5] = {0, 1, 0, 0, 0};
};
inline constexpr stPixelStoreState kReadBackPixelStore{};
// Sets the state; saves the previous one into *previous when given.
void SetPixelStoreState(const stPixelStoreState& state, stPixelStoreState* previous);

// The id of the current read buffer's pixel under a client point of a
// viewport viewportHeight pixels high (client rows count from the top),
// read as GL_RGB / GL_UNSIGNED_BYTE. The caller sets the pixel-store state
// around it. kNoPickId when the point lies outside the current GL viewport.
std::uint32_t ReadPixelUnderCursor(POINT cursor, int viewportHeight);

// The pick id under a client point of the renderer's back buffer: the
// renderer's context made current, the pixel-store state saved, set for the
// read and restored. kNoPickId outside the viewport. The one read-back of
// every colour-coded pick.
std::uint32_t ReadPickIdUnderCursor(I3DSceneRenderer& renderer, POINT cursor);

// Whether the renderer's back buffer still holds the pick image a mode drew
// (drawn set, stamp taken from the renderer as it drew). Anything drawn into
// the buffer since (a frame with no pick pass after it, a face-id pass,
// another mode's image) takes a new stamp: the image is then drawn again by
// drawAgain, with the renderer's context current, before the answer.
bool PickImageReadable(I3DSceneRenderer* renderer, const std::uint8_t& drawn, const std::uint64_t& stamp,
                      const std::function<void()>& drawAgain);

// Whether the id pass can draw a mesh of this many triangles.
inline bool FaceIdPassSupports(std::uint32_t triangleCount)
{
    return triangleCount <= kMaxColourIdTriangles;
}

// Draws the mesh's face ids into the current buffer (cleared to black
// first), with every state off that could change an id colour (lighting,
// blending, dithering, smoothing, texturing, fog, multisampling), back faces
// culled when cullBackFaces; hidden triangles are left out. Every state is
// put back. False, drawing nothing, for a mesh the ids cannot name.
bool DrawFaceIdBuffer(const cMesh& mesh, bool cullBackFaces);
// The same for a window of the ids, for a mesh of more triangles than 24
// bits can name: ids 1 .. span name the triangles first .. first + span - 1
// (span kMaxColourIdTriangles at most), and the mesh's other triangles are
// drawn as the background (id 0), so that they still hide what lies behind
// them. False, drawing nothing, for an empty span.
bool DrawFaceIdBuffer(const cMesh& mesh, bool cullBackFaces, std::uint32_t first, std::uint32_t span);

// The face-id image of the mesh in the renderer's back buffer, drawn inside
// the scene transform; the read buffer is then GL_BACK. False without
// drawing when the renderer has no context or the mesh is too large.
bool RenderFaceIdPass(I3DSceneRenderer& renderer, const cMesh& mesh, bool cullBackFaces);
// The same with a window of the ids (DrawFaceIdBuffer above).
bool RenderFaceIdPass(I3DSceneRenderer& renderer, const cMesh& mesh, bool cullBackFaces, std::uint32_t first,
                      std::uint32_t span);

// Writes the formatted text into a buffer of 32 wide characters,
// truncating what does not fit (always terminated). Returns the count
// written without the terminator.
int FormatLabelText(wchar_t (&buffer)[32], const wchar_t* format, ...);

// Puts an 18 x 18 bitmap made from an icon resource on every item of the
// menu whose command id the table names. The table holds pairs (command
// id, icon resource id); wordCount is twice the number of pairs. Returns
// the last SetMenuItemBitmaps result (0 for an empty menu). The bitmaps
// are the menu's: whoever shows it deletes them with it
// (DeleteMenuItemBitmaps), as the views' context menus and TrackModeMenu do.
BOOL SetMenuItemIcons(const std::uint32_t* table, std::uint32_t wordCount, CMenu* menu, HWND window);
// The 18 x 18 menu bitmap of an icon (the caller owns it); null on failure.
HBITMAP MakeMenuBitmapFromIcon(HICON icon, HWND window);

// Loads menu resource menuId, lets prepare adjust its first popup and shows
// that popup at the client point of view (right button tracks, the view
// owns it, so the chosen command reaches the view). Nothing without a view
// window or the menu.
void TrackModeMenu(C3DView* view, POINT point, UINT menuId, const std::function<void(CMenu*)>& prepare);

// The view's screen-object manager, or null for a null view.
IScreenObjectManager<C3DView>* GetScreenObjectManager(C3DView* view);
