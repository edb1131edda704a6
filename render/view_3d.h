// The OpenGL 3D view that dialogs embed: it ties a scene to a renderer,
// paints the frame with the interaction modes and the overlay controls,
// offers the camera commands (standard views, quarter turns, display modes,
// zoom steps, wheel zoom with an optional animation), keeps its view
// settings in the registry, holds the mouse-navigation profiles, and is the
// command context through which modes, commands and dialogs lock, redraw and
// query it.
#pragma once

#include "core/base.h"
#include "render/base_renderer.h"
#include "render/mouse_navigation_profiles.h"
#include "render/view_base.h"

#include <cstdint>
#include <vector>

class C3DView;
class I3DScene;
class ISceneObject;
class cBase3DScene;
class cRegistryStore;
class cSceneObjectIterator;

// {3805CD41-2820-499C-9C7B-BD547B81CDDF}
inline constexpr GUID IID_ICommandContext = {0x3805CD41, 0x2820, 0x499C, {0x9C, 0x7B, 0xBD, 0x54, 0x7B, 0x81, 0xCD, 0xDF}};
// {D3380090-25FA-4944-B4BE-FA710D95F90F}: the view object itself.
inline constexpr GUID IID_C3DView = {0xD3380090, 0x25FA, 0x4944, {0xB4, 0xBE, 0xFA, 0x71, 0x0D, 0x95, 0xF9, 0x0F}};

// What modes, commands and dialogs ask of the view they work in.
class ICommandContext : public virtual IBase
{
public:
    // Batches of changes: while locked the view neither draws nor repaints.
    virtual void LockUpdate() = 0;
    // The count of locks still held.
    virtual std::uint32_t UnlockUpdate() = 0;
    virtual void RequestRedraw(std::uint32_t level) = 0;
    virtual C3DView* GetView() = 0;
    // A new iterator over the scene's objects (the caller deletes it), or
    // null without a scene.
    virtual void GetObjectIterator(cSceneObjectIterator** out) = 0;
    virtual void GetActiveObject(ISceneObject** out) = 0;
    virtual bool AddObject(ISceneObject* object) = 0;
    virtual bool RemoveObject(ISceneObject* object) = 0;
    virtual void FindObjectById(ISceneObject** out, const GUID& id) = 0;
};

// Registry places of the view's settings.
inline constexpr const wchar_t* kDisplaySettings = L"Preferences\\Display";
inline constexpr const wchar_t* kMouseNavigationSettings = L"Preferences\\MouseNavigation";

// Standard-view indices of the renderer.
inline constexpr int kRightView = 0, kLeftView = 1, kTopView = 2, kBottomView = 3, kFrontView = 4,
                     kBackView = 5, kUserDefinedView = 14;

// The redraw level of a full frame (every cached level drawn again).
inline constexpr std::uint32_t kFullRedraw = 1000000;

// The view's command ids.
enum : UINT
{
    kCmdZoomAll = 18000,
    kCmdDisplayModeFirst = 18001, // ... 18007
    kCmdDisplayModeLast = 18007,
    kCmdToggleWireframe = 18008,
    kCmdToggleBoundaries = 18009,
    kCmdFrontView = 18010,
    kCmdBackView = 18011,
    kCmdTopView = 18012,
    kCmdBottomView = 18013,
    kCmdLeftView = 18014,
    kCmdRightView = 18015,
    kCmdUserDefinedView = 18016,
    kCmdZoomOut = 18017,
    kCmdZoomIn = 18018,
    kCmdTurnLeft = 18019,
    kCmdTurnRight = 18020,
    kCmdTurnUp = 18021,
    kCmdTurnDown = 18022,
    kCmdDiagonalView = 18036,
    kCmdRenderEngineInfo = 32780,
};

class C3DView : public cBaseView<C3DView>, public ICommandContext
{
    DECLARE_DYNCREATE(C3DView)

public:
    C3DView();
    ~C3DView() override;

    // ICommandContext.
    void* QueryInterface(const GUID& iid) override;
    using IBase::QueryInterface;
    void LockUpdate() override { ++updateLockCount; }
    std::uint32_t UnlockUpdate() override;
    void RequestRedraw(std::uint32_t level) override;
    C3DView* GetView() override { return this; }
    void GetObjectIterator(cSceneObjectIterator** out) override;
    void GetActiveObject(ISceneObject** out) override;
    bool AddObject(ISceneObject* object) override;
    bool RemoveObject(ISceneObject* object) override;
    void FindObjectById(ISceneObject** out, const GUID& id) override;

    virtual bool IsUpdateLocked() { return updateLockCount > 0; }
    virtual void GetFirstObject(ISceneObject** out);
    // The renderer is the owner's; set before the window is created.
    virtual void SetRenderer(I3DSceneRenderer* renderer);
    // Stores the scene (the owner's) and loads the view settings from its
    // settings store.
    virtual void AttachScene(I3DScene* scene);
    virtual void ZoomAll();
    virtual void StartRotateMode();
    virtual void StartTranslateMode();
    virtual void StartZoomMode();
    virtual void StartZoomRectMode();
    // The toolbar's navigation toggles show as checked exactly while their
    // mode is the active one.
    bool UpdateZoomRectCheck() const { return IsActiveModeId(kZoomRectModeId); }
    bool UpdateRotateCheck() const { return IsActiveModeId(kRotateModeId); }
    bool UpdateTranslateCheck() const { return IsActiveModeId(kTranslateModeId); }
    bool UpdateZoomCheck() const { return IsActiveModeId(kZoomModeId); }
    virtual void StoreUserDefinedView();
    virtual void StoreMappedTopView();
    virtual void RotateMappedTopView();
    virtual void ResetMappedTopView();
    // Passed to the renderer's scene rendering.
    virtual int GetRenderFlag() { return 0; }
    // A zoom in is skipped when this is false.
    virtual bool CanZoomIn() { return true; }
    // Multiplies every zoom amount.
    virtual double GetZoomScale() { return 1.0; }
    // False when growing the scene box by `grow` on every side would take it
    // past what its float coordinates carry; such a zoom out is skipped, as
    // an overflow would leave the view transform NaN for good. A zoom in
    // (negative `grow`) is skipped likewise when it would leave the box too
    // narrow for its coordinates to tell its sides apart.
    bool CanGrowSceneBox(double grow) const;
    // Draws the frame now (the paint sequence).
    virtual void Redraw(std::uint32_t level);

    // RequestRedraw with a queued repaint.
    void InvalidateView(std::uint32_t level);
    // Fits the scene into the view and asks for a whole frame, drawn when
    // the messages are next handled (a caller may still change the scene).
    void Flush();
    // Pops the renderer's last saved camera and shows it.
    void RestoreViewState();
    void SetStandardView(int index);
    void OnFrontView() { SetStandardView(kFrontView); }
    void OnBackView() { SetStandardView(kBackView); }
    void OnLeftView() { SetStandardView(kLeftView); }
    void OnRightView() { SetStandardView(kRightView); }
    void OnTopView() { SetStandardView(kTopView); }
    void OnBottomView() { SetStandardView(kBottomView); }
    // Axis 0: the screen's vertical axis, 1: its negative horizontal axis.
    void RotateView90(int axis, double degrees);
    // Diagonal views from above in the order 6, 7, 9, 8.
    void CycleDiagonalView();
    // Grows (amount > 0) or shrinks the visible box, keeping the world point
    // under the screen point where it is.
    void ZoomAtPoint(double amount, POINT screen);
    // The same zoom in frames of 1/15 s, pumping messages between frames.
    void AnimateZoom(double amount, POINT screen);
    // Zooms so that the client rectangle shows `rect` (client pixels).
    void ZoomToRectangle(const RECT& rect);
    void SelectProfile(const wchar_t* name);
    // Re-applies the aspect and the projection after a camera change.
    void ApplyProjection();

    // cUserIModeNavigator: the active profile's choices.
    std::uint32_t GetDefaultModeId() override;
    std::uint32_t GetModeIdForMouseEvent(UINT flags) override;

    I3DSceneRenderer* GetRenderer() const { return renderer; }
    // The camera half of the renderer (null for a renderer without one).
    cBase3DRenderer* GetCamera() const { return camera; }
    I3DScene* GetScene() const { return scene; }
    const std::vector<CMouseNavigationProfile*>& GetProfiles() const { return profiles; }
    CMouseNavigationProfile* GetActiveProfile() const { return activeProfile; }
    bool IsAnimatingZoom() const { return animateZooming != 0; }
    std::uint32_t GetUpdateLockCount() const { return updateLockCount; }

    // The rotation pivot shown while rotating; x = FLT_MAX: none.
    float pivot[3];
    // Every rotate press picks its pivot under the cursor, as Ctrl does.
    std::uint8_t alwaysPickPivot = 0;
    // Rotations become pans and every standard view is lockedViewIndex.
    std::uint8_t rotationLocked = 0;
    std::uint32_t lockedViewIndex = kTopView;
    std::uint8_t reverseWheelZooming = 0;
    std::uint8_t turntableRotation = 0;

protected:
    I3DSceneRenderer* GetViewRenderer() override { return renderer; }
    void OnDraw(CDC*) override { Redraw(kFullRedraw); }
    void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;
    void OnInitialUpdate() override;

    // The renderer's context made current for the frame; false without a
    // window, renderer or camera.
    bool CanDraw() const { return m_hWnd && renderer && camera; }
    // The settings store of the attached scene, or null.
    cRegistryStore* SettingsStore() const;
    void LoadSettings(cRegistryStore* store);
    void WriteTransform(const wchar_t* name, const double transform[12]);

    afx_msg int OnCreate(CREATESTRUCTW* cs);
    afx_msg void OnDestroy();
    afx_msg void OnSize(UINT type, int width, int height);
    afx_msg BOOL OnMouseWheel(UINT flags, short delta, CPoint screen);
    afx_msg void OnKeyDown(UINT key, UINT repeat, UINT keyFlags);
    afx_msg void OnZoomAll() { ZoomAll(); }
    afx_msg void OnDisplayMode(UINT id);
    afx_msg void OnToggleWireframe();
    afx_msg void OnToggleBoundaries();
    afx_msg void OnStandardView(UINT id);
    afx_msg void OnZoomStep(UINT id);
    afx_msg void OnTurn(UINT id);
    afx_msg void OnDiagonalView() { SetStandardView(6); }
    afx_msg void OnRenderEngineInfo();
    DECLARE_MESSAGE_MAP()

private:
    bool IsActiveModeId(std::uint32_t id) const
    {
        const Mode* mode = GetActiveMode();
        return mode && mode->GetId() == id;
    }
    // The wheel zoom of the view itself; 1 when it handled the wheel.
    BOOL WheelZoom(UINT flags, short delta, POINT screen);
    // Grows the box by f (times the aspect sideways) and moves the view so
    // that world point w0 stays under client point `client`.
    void GrowKeepingPoint(double f, POINT client, float w0x, float w0y, double startX, double startY);

    std::uint8_t* aliveFlag = nullptr;
    std::uint8_t animateZooming = 0;
    I3DSceneRenderer* renderer = nullptr;
    cBase3DRenderer* camera = nullptr;
    I3DScene* scene = nullptr;
    std::vector<CMouseNavigationProfile*> profiles;
    CMouseNavigationProfile* activeProfile = nullptr;
    std::uint32_t updateLockCount = 0;
};

// The world length that `pixels` screen pixels cover in the view.
float PixelsToWorldLength(C3DView* view, int pixels);
