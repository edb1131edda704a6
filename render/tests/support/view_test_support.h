// A 3D view on a headless window for the view and navigation tests: a GL
// renderer whose frame draws the scene's meshes (flat, coloured by facing),
// a scene with a settings store in the test registry, and helpers that post
// input and write snapshots.
#pragma once

#include "core/p3d_scene.h"
#include "core/registry_store.h"
#include "platform/wgl/pixel_probe.h"
#include "render/gl_renderer.h"
#include "render/popup_view.h"

#include <memory>
#include <string>

namespace testview
{

class MeshRenderer : public cGLRenderer
{
public:
    void RenderScene(I3DScene* scene, int flag, std::uint32_t level) override;
    int frames = 0;
};

// A box of the given half sizes about centre as a mesh object.
ISceneObject* MakeBoxObject(const float centre[3], const float half[3]);

// Owns what a view borrows: the renderer, the store and the scene.
struct ViewFixture
{
    explicit ViewFixture(bool withBox = true);
    ~ViewFixture();

    // A new view (it deletes itself with its window) of the given client size.
    template <class TView = cP3DView> TView* Create(int width = 200, int height = 160)
    {
        auto* view = new TView;
        Open(view, width, height);
        return view;
    }
    void Open(C3DView* view, int width, int height);
    void Close();

    cRegistryStore store;
    std::unique_ptr<cP3DScene> scene;
    MeshRenderer renderer;
    C3DView* view = nullptr;
};

// Input at client points of the view (screen = client for a window at 0, 0).
void Press(C3DView* view, UINT message, POINT client);
void Move(C3DView* view, POINT client);
void Wheel(C3DView* view, POINT client, int delta);
// The view's last frame, and a PNG of it in $VTL_SNAPSHOT_DIR.
wgl::PixelImage Frame(C3DView* view);
void Snapshot(C3DView* view, const std::string& name);

// The screen pixel of a world point in the view's parallel projection.
POINT ScreenOf(C3DView* view, const float world[3]);

// The view as a user leaves it after some navigation: turned 0.5 rad about
// the screen's vertical and 0.35 rad about its horizontal, panned right and
// down by 6% of what it shows and zoomed in about a point off the centre. No
// standard view comes out of it.
void TurnPanAndZoom(C3DView* view);

} // namespace testview
