// The camera half of a scene renderer, independent of the graphics library:
// the scene box that the orthographic projection shows, the rigid view
// transform with pan and depth offset, zoom to extents, the fit of the box to
// the window's aspect, conversions between window points and view
// coordinates, saved camera states, the redraw level and the standard views.
//
// Camera model: a world point p is drawn at view coordinates
// v = R (p - c) + t, with T = [R | t] the view transform and c the centre of
// the scene box; v + c lies in the box when p is visible.
#pragma once

#include "render/renderer.h"

#include <deque>

class cBase3DRenderer : public I3DSceneRenderer
{
public:
    // A saved camera: the scene box and the view transform of a renderer.
    class stViewState : public IViewState
    {
    public:
        explicit stViewState(cBase3DRenderer* renderer);
        void Restore() override;

    private:
        cBase3DRenderer* m_renderer;
        float m_min[3];
        float m_max[3];
        double m_transform[12];
    };

    // Saved states beyond this many push the oldest out.
    static constexpr std::size_t kMaxViewStates = 64;

    cBase3DRenderer();

    std::uint32_t LowerRedrawLevel(std::uint32_t level) override;
    std::uint32_t GetRedrawLevel() override;
    void ScreenToWorld(const POINT& point, float* x, float* y) override;
    void WorldToRectPoint(const RECT& rect, float x, float y, POINT* out) override;
    void WorldToScreen(float x, float y, POINT* out) override;
    float PixelsToWorld(int pixels) override;
    IViewState* CreateViewState() override;
    void GetStandardViewTransform(double out[12], I3DScene* scene, int index) override;

    // Operations the camera adds to the interface.
    // Frames the object's box (the whole scene's for null; the default box
    // without a scene).
    virtual void ZoomExtents(I3DScene* scene, ISceneObject* object);
    virtual void GetSceneBox(float min[3], float max[3]);
    virtual void SetSceneBox(const float min[3], const float max[3]);
    virtual void FitSceneBoxToAspect(double aspect);
    virtual void GrowSceneBox(float left, float right, float bottom, float top);
    virtual void GrowSceneBoxBy(float d);
    virtual void SetViewTransformAndZoomExtents(const double transform[12], I3DScene* scene, ISceneObject* object);
    virtual void SetViewTransform(const double transform[12]);
    virtual const double* GetViewTransform();
    virtual void SetPan(double x, double y);
    virtual void SetDepthOffset(double z);
    virtual const float* GetSceneCentre();
    virtual void DrawPivotMarker(const float point[3], float size);
    virtual void ScreenDeltaToWorld(float out[3], const POINT& from, const POINT& to);
    // Rotations of the standard view `index` applied to T, then T inverted
    // (see the table in the source); index 14 is the user-defined view.
    virtual void StandardViewTransform(double transform[12], int index);

    // Zoom to extents of a box (six floats, min then max): a cube around its
    // centre, or the default box when the box is invalid.
    void ZoomExtentsToBox(const float box[6]);

    // Saved cameras of the view (undo of camera moves).
    void PushViewState();
    void PopViewState();
    std::size_t GetViewStateCount() const { return m_viewStates.size(); }

    // Set by the navigation modes while a drag runs.
    void SetInteracting(bool interacting) { m_interacting = interacting ? 1 : 0; }
    bool IsInteracting() const { return m_interacting != 0; }
    // The cached rotation pivot of the navigation modes; x = FLT_MAX when
    // there is none.
    void SetInteractionPoint(const float point[3]);
    const float* GetInteractionPoint() const { return m_interactionPoint; }
    bool HasInteractionPoint() const;
    void ClearInteractionPoint();

    void SetUserDefinedView(const double transform[12]);
    const double* GetUserDefinedView() const { return m_userDefinedView; }
    void SetMappedTopView(const double transform[12]);
    const double* GetMappedTopView() const { return m_mappedTopView; }

protected:
    void SetRedrawLevel(std::uint32_t level) { m_redrawLevel = level; }

private:
    std::uint8_t m_interacting = 0;
    float m_sceneMin[3] = {-1.0f, -1.0f, 0.0f};
    float m_sceneMax[3] = {1.0f, 1.0f, 0.0f};
    float m_sceneCentre[3] = {0.0f, 0.0f, 0.0f};
    double m_viewTransform[12];
    double m_userDefinedView[12];
    double m_mappedTopView[12];
    float m_interactionPoint[3];
    std::deque<stViewState> m_viewStates;
    std::uint32_t m_redrawLevel = 0;
};

// Rigid-transform helpers shared with the view and the modes.
// Turns T about its own x axis (its first column).
void RotateAboutLocalX(double transform[12], double angle);
// Rotation rows 1 and 2 become r1 cos - r2 sin and r2 cos + r1 sin (a
// rotation about x applied on the left); row 0 and the translation stay.
void RotateRowsAboutX(double transform[12], double angle);
