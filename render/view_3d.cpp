#include "render/view_3d.h"

#include "core/frame_math.h"
#include "core/p3d_scene.h"
#include "core/registry_store.h"
#include "core/scene.h"
#include "platform/gdiplus/graphics.h"
#include "render/gdi_graphics_layer.h"
#include "render/render_engine_info_dlg.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <cwchar>

IMPLEMENT_DYNCREATE(C3DView, CView)

BEGIN_MESSAGE_MAP(C3DView, cBaseView<C3DView>)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SIZE()
ON_WM_MOUSEWHEEL()
ON_WM_KEYDOWN()
ON_COMMAND(kCmdZoomAll, &C3DView::OnZoomAll)
ON_COMMAND_RANGE(kCmdDisplayModeFirst, kCmdDisplayModeLast, &C3DView::OnDisplayMode)
ON_COMMAND(kCmdToggleWireframe, &C3DView::OnToggleWireframe)
ON_COMMAND(kCmdToggleBoundaries, &C3DView::OnToggleBoundaries)
ON_COMMAND_RANGE(kCmdFrontView, kCmdUserDefinedView, &C3DView::OnStandardView)
ON_COMMAND_RANGE(kCmdZoomOut, kCmdZoomIn, &C3DView::OnZoomStep)
ON_COMMAND_RANGE(kCmdTurnLeft, kCmdTurnDown, &C3DView::OnTurn)
ON_COMMAND(kCmdDiagonalView, &C3DView::OnDiagonalView)
ON_COMMAND(kCmdRenderEngineInfo, &C3DView::OnRenderEngineInfo)
END_MESSAGE_MAP()

namespace
{

constexpr const wchar_t* kColourSettings = L"Preferences\\Display\\Colours";
constexpr const wchar_t* kLockedRedrawMessage = L"View redraw is locked, try again later ...";
constexpr double kQuarterTurn = 1.5707963705062866;
constexpr double kDegreesToRadians = 3.14159265358979323846 / 180.0;
// A stored view is taken only when its rotation is orthonormal to this.
constexpr double kRotationTolerance = 1e-6;

// Makes the renderer's context current for the scope when it is not.
class ContextScope
{
public:
    explicit ContextScope(I3DSceneRenderer* renderer) : renderer(renderer)
    {
        if (renderer && !renderer->IsCurrent())
        {
            renderer->MakeCurrent();
            made = true;
        }
    }
    ~ContextScope()
    {
        if (made)
            renderer->RestoreCurrent();
    }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    I3DSceneRenderer* renderer;
    bool made = false;
};

// A REG_SZ value as text, ended at the bytes read (a stored text without
// its terminator must not run on). False for a missing value or another type.
bool ReadSettingText(cRegistryStore* store, const wchar_t* section, const wchar_t* name,
                     wchar_t (&text)[cRegistryStore::kPathLength])
{
    std::memset(text, 0, sizeof text);
    DWORD type = 0;
    DWORD length = sizeof text;
    if (!store->ReadValue(section, name, &type, text, &length) || type != REG_SZ)
        return false;
    const std::size_t end = length / 2;
    text[end < cRegistryStore::kPathLength - 1 ? end : cRegistryStore::kPathLength - 1] = L'\0';
    return true;
}

// A "%d" setting; a missing, mistyped or unparsable value is written back
// with the default, which stays.
int ReadIntSetting(cRegistryStore* store, const wchar_t* section, const wchar_t* name, int fallback)
{
    wchar_t text[cRegistryStore::kPathLength];
    int value = fallback;
    if (ReadSettingText(store, section, name, text) && ParseSettingInt(text, &value))
        return value;
    store->WriteInt(section, name, fallback);
    return fallback;
}

// A rigid transform that can be installed: finite, with a proper rotation.
bool IsUsableRigidTransform(const double m[12])
{
    for (int i = 0; i < 12; ++i)
        if (!std::isfinite(m[i]))
            return false;
    for (int r = 0; r < 3; ++r)
        for (int s = 0; s < 3; ++s)
        {
            const double dot = m[r * 4] * m[s * 4] + m[r * 4 + 1] * m[s * 4 + 1] + m[r * 4 + 2] * m[s * 4 + 2];
            if (std::fabs(dot - (r == s ? 1.0 : 0.0)) > kRotationTolerance)
                return false;
        }
    const double det = m[0] * (m[5] * m[10] - m[6] * m[9]) - m[1] * (m[4] * m[10] - m[6] * m[8]) +
                       m[2] * (m[4] * m[9] - m[5] * m[8]);
    return std::fabs(det - 1.0) <= kRotationTolerance;
}

// A 96-byte transform setting; anything else (size, type, content) is
// ignored and the renderer keeps what it holds.
bool ReadTransformSetting(cRegistryStore* store, const wchar_t* name, double out[12])
{
    unsigned char bytes[96 + 8];
    DWORD type = 0;
    DWORD length = sizeof bytes;
    if (!store->ReadValue(kDisplaySettings, name, &type, bytes, &length) || type != REG_BINARY || length != 96)
        return false;
    double m[12];
    std::memcpy(m, bytes, sizeof m);
    if (!IsUsableRigidTransform(m))
        return false;
    std::memcpy(out, m, sizeof m);
    return true;
}

// Rotation part = rot x rotation part of m; the translation stays.
void RotateInScreenSpace(double m[12], double angle, const double axis[3])
{
    double rot[12];
    MakeIdentity3x4(rot);
    RotationMatrixAxisAngle(rot, angle, axis);
    const double t[3] = {m[3], m[7], m[11]};
    MultiplyTransform3x4(rot, m, m);
    m[3] = t[0];
    m[7] = t[1];
    m[11] = t[2];
}

} // namespace

float PixelsToWorldLength(C3DView* view, int pixels)
{
    I3DSceneRenderer* renderer = view ? view->GetRenderer() : nullptr;
    if (!renderer)
        return 0.0f;
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
    renderer->ScreenToWorld(POINT{0, 0}, &x0, &y0);
    renderer->ScreenToWorld(POINT{pixels, 0}, &x1, &y1);
    return std::fabs(x1 - x0);
}

C3DView::C3DView()
{
    pivot[0] = FLT_MAX;
    pivot[1] = pivot[2] = 0.0f;
    AttachScene(nullptr);
    profiles = MouseNavigationProfiles();
    SelectProfile(L"Default");
}

C3DView::~C3DView()
{
    if (aliveFlag)
        *aliveFlag = 0;
}

void* C3DView::QueryInterface(const GUID& iid)
{
    if (IsEqualInterfaceId(iid, IID_ICommandContext))
        return static_cast<ICommandContext*>(this);
    if (IsEqualInterfaceId(iid, IID_C3DView))
        return this;
    return nullptr;
}

std::uint32_t C3DView::UnlockUpdate()
{
    if (updateLockCount > 0)
        --updateLockCount;
    return updateLockCount;
}

void C3DView::RequestRedraw(std::uint32_t level)
{
    if (!m_hWnd || !::IsWindow(m_hWnd) || !renderer || updateLockCount != 0)
        return;
    renderer->LowerRedrawLevel(level);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void C3DView::InvalidateView(std::uint32_t level)
{
    if (!m_hWnd || !::IsWindow(m_hWnd) || !renderer || updateLockCount != 0)
        return;
    renderer->LowerRedrawLevel(level);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
}

void C3DView::GetObjectIterator(cSceneObjectIterator** out)
{
    if (out)
        *out = scene ? scene->GetObjectIterator() : nullptr;
}

void C3DView::GetActiveObject(ISceneObject** out)
{
    if (out)
        *out = scene ? scene->GetActiveObject() : nullptr;
}

bool C3DView::AddObject(ISceneObject* object) { return scene && scene->AddObject(object); }

bool C3DView::RemoveObject(ISceneObject* object) { return scene && scene->RemoveObject(object); }

void C3DView::FindObjectById(ISceneObject** out, const GUID& id)
{
    if (out)
        *out = scene ? scene->FindObjectById(id) : nullptr;
}

void C3DView::GetFirstObject(ISceneObject** out)
{
    if (!out)
        return;
    auto* base = dynamic_cast<cBase3DScene*>(scene);
    *out = base ? base->GetFirstObject() : nullptr;
}

void C3DView::SetRenderer(I3DSceneRenderer* newRenderer)
{
    renderer = newRenderer;
    camera = dynamic_cast<cBase3DRenderer*>(newRenderer);
}

cRegistryStore* C3DView::SettingsStore() const
{
    auto* base = dynamic_cast<cBase3DScene*>(scene);
    return base ? base->GetOwner() : nullptr;
}

void C3DView::AttachScene(I3DScene* newScene)
{
    scene = newScene;
    if (!scene)
        return;
    if (auto* base = dynamic_cast<cBase3DScene*>(scene))
    {
        base->GetColourSettings().Entries().clear();
        base->InitDisplayProperties();
        base->GetColourSettings().Load();
        base->ApplyDisplayProperties();
    }
    int animate = 0;
    if (cRegistryStore* store = SettingsStore())
    {
        animate = ReadIntSetting(store, kDisplaySettings, L"AnimateZooming", 0);
        LoadSettings(store);
    }
    animateZooming = animate == 1 ? 1 : 0;
    if (renderer)
        renderer->SetupLights(scene);
}

void C3DView::LoadSettings(cRegistryStore* store)
{
    reverseWheelZooming = ReadIntSetting(store, kMouseNavigationSettings, L"ReverseWheelZooming", 0) != 0;
    turntableRotation = ReadIntSetting(store, kMouseNavigationSettings, L"TurntableRotation", 0) != 0;
    wchar_t name[cRegistryStore::kPathLength];
    if (ReadSettingText(store, kMouseNavigationSettings, L"ActiveProfile", name))
        SelectProfile(name);
    if (!camera)
        return;
    double m[12];
    if (ReadTransformSetting(store, L"UserDefinedView", m))
        camera->SetUserDefinedView(m);
    if (ReadTransformSetting(store, L"MappedTopView", m))
        camera->SetMappedTopView(m);
}

void C3DView::WriteTransform(const wchar_t* name, const double transform[12])
{
    cRegistryStore* store = SettingsStore();
    if (!store)
        return;
    unsigned char bytes[96];
    std::memcpy(bytes, transform, sizeof bytes);
    store->WriteValue(kDisplaySettings, name, REG_BINARY, bytes, sizeof bytes);
}

void C3DView::SelectProfile(const wchar_t* name)
{
    CMouseNavigationProfile* chosen = nullptr;
    CMouseNavigationProfile* fallback = nullptr;
    for (CMouseNavigationProfile* profile : profiles)
    {
        if (name && profile->GetName() == name)
            chosen = profile;
        if (!fallback && profile->GetName() == L"Default")
            fallback = profile;
    }
    activeProfile = chosen ? chosen : fallback;
    if (const std::uint32_t id = GetDefaultModeId())
        SetModeById(id, 0, 0);
}

std::uint32_t C3DView::GetDefaultModeId()
{
    return activeProfile ? activeProfile->GetDefaultModeId() : kFreeNavigationModeId;
}

std::uint32_t C3DView::GetModeIdForMouseEvent(UINT flags)
{
    return activeProfile ? activeProfile->GetModeIdForMouseEvent(flags) : 0;
}

void C3DView::ApplyProjection()
{
    if (!renderer)
        return;
    renderer->SetAspect(static_cast<double>(GetClientWidth()) / static_cast<double>(GetClientHeight()));
    renderer->SetupProjection(scene);
}

void C3DView::ZoomAll()
{
    if (renderer)
        renderer->ZoomAll(scene, nullptr);
    RequestRedraw(0);
}

void C3DView::Flush()
{
    if (renderer)
        renderer->ZoomAll(scene, nullptr);
    InvalidateView(kFullRedraw);
}

void C3DView::StartRotateMode() { SetModeById(kRotateModeId, 0, 0); }
void C3DView::StartTranslateMode() { SetModeById(kTranslateModeId, 0, 0); }
void C3DView::StartZoomMode() { SetModeById(kZoomModeId, 0, 0); }
void C3DView::StartZoomRectMode() { SetModeById(kZoomRectModeId, 0, 0); }

void C3DView::StoreUserDefinedView()
{
    if (!camera)
        return;
    double m[12];
    std::memcpy(m, camera->GetViewTransform(), sizeof m);
    m[3] = m[7] = m[11] = 0.0;
    camera->SetUserDefinedView(m);
    WriteTransform(L"UserDefinedView", m);
}

void C3DView::StoreMappedTopView()
{
    if (!camera)
        return;
    double m[12];
    std::memcpy(m, camera->GetViewTransform(), sizeof m);
    m[3] = m[7] = m[11] = 0.0;
    camera->SetMappedTopView(m);
    WriteTransform(L"MappedTopView", m);
    StoreUserDefinedView();
}

void C3DView::RotateMappedTopView()
{
    if (!camera)
        return;
    double m[12];
    std::memcpy(m, camera->GetViewTransform(), sizeof m);
    m[3] = m[7] = m[11] = 0.0;
    const double viewAxis[3] = {0.0, 0.0, 1.0};
    RotateInScreenSpace(m, kQuarterTurn, viewAxis);
    camera->SetMappedTopView(m);
    WriteTransform(L"MappedTopView", m);
    StoreUserDefinedView();
}

void C3DView::ResetMappedTopView()
{
    if (!camera)
        return;
    double m[12];
    MakeIdentity3x4(m);
    camera->SetMappedTopView(m);
    WriteTransform(L"MappedTopView", m);
}

void C3DView::Redraw(std::uint32_t level)
{
    if (updateLockCount != 0)
    {
        ::OutputDebugStringW(kLockedRedrawMessage);
        return;
    }
    if (!renderer)
        return;
    ContextScope context(renderer);
    DispatchScope scope(*this);
    renderer->BeginFrame(scene);
    renderer->RenderScene(scene, GetRenderFlag(), level);
    if (camera)
        camera->DrawPivotMarker(pivot, PixelsToWorldLength(this, 20));
    ForEachModeFromBottom([&](Mode* m) { m->DrawGL(this); });
    if (ScreenObjectManager* overlay = GetScreenObjectManager())
        overlay->DrawGL(this);
    if (cGDIGraphicsLayer* layer = renderer->GetGDILayer(GetClientWidth(), GetClientHeight()))
    {
        layer->BeginDraw();
        if (cGdiplusGraphics* graphics = layer->GetGraphics())
        {
            GpGraphics* handle = graphics->GetHandle();
            DrawAnnotations(handle);
            GdipResetWorldTransform(handle);
            if (ScreenObjectManager* overlay = GetScreenObjectManager())
                overlay->DrawOverlay(handle, this);
            GdipResetWorldTransform(handle);
            ForEachModeFromBottom([&](Mode* m) { m->DrawOverlay(handle, this); });
            layer->Composite(renderer, true);
        }
    }
    renderer->EndFrame();
    if (level == kFullRedraw)
        ForEachModeFromBottom([&](Mode* m) { m->OnAfterFullRedraw(this); });
}

void C3DView::OnUpdate(CView* sender, LPARAM hint, CObject* hintObject)
{
    CView::OnUpdate(sender, hint, hintObject);
    RequestRedraw(0);
}

void C3DView::OnInitialUpdate()
{
    CView::OnInitialUpdate();
    if (const std::uint32_t id = GetDefaultModeId())
        SetModeById(id, 0, 0);
}

int C3DView::OnCreate(CREATESTRUCTW* cs)
{
    if (CView::OnCreate(cs) == -1)
        return -1;
    if (!renderer)
        return 0;
    HWND window = m_hWnd;
    return static_cast<int>(renderer->Initialize(&window));
}

void C3DView::OnDestroy()
{
    Clear(this);
    if (aliveFlag)
        *aliveFlag = 0;
    Default();
    if (renderer)
        renderer->Release();
    auto* base = dynamic_cast<cBase3DScene*>(scene);
    cRegistryStore* store = SettingsStore();
    if (base && store)
        for (const stColourEntry& entry : base->GetColourSettings().Entries())
            store->WriteInt(kColourSettings, entry.key.c_str(), static_cast<int>(entry.currentValue));
}

void C3DView::OnSize(UINT type, int width, int height)
{
    const std::uint32_t oldWidth = GetClientWidth(), oldHeight = GetClientHeight();
    cBaseView<C3DView>::OnSize(type, width, height);
    if (!renderer || !scene)
        return;
    {
        ContextScope context(renderer);
        // A resized view keeps the size of a pixel and the middle of what
        // it shows: fitting the old box to the new aspect alone took the
        // mean of the two, so that every maximise and restore zoomed out
        // further. Nothing changes while the view has no area.
        if (camera && !renderer->IsPerspective() && oldWidth > 1 && oldHeight > 1 && width > 1 && height > 1 &&
            (std::uint32_t(width) != oldWidth || std::uint32_t(height) != oldHeight))
        {
            float min[3], max[3];
            camera->GetSceneBox(min, max);
            const double sx = double(width) / double(oldWidth), sy = double(height) / double(oldHeight);
            const double cx = (double(min[0]) + max[0]) * 0.5, cy = (double(min[1]) + max[1]) * 0.5;
            const double hx = (double(max[0]) - min[0]) * 0.5 * sx, hy = (double(max[1]) - min[1]) * 0.5 * sy;
            const float newMin[3] = {float(cx - hx), float(cy - hy), min[2]};
            const float newMax[3] = {float(cx + hx), float(cy + hy), max[2]};
            camera->SetSceneBox(newMin, newMax);
        }
        // The stored size is never 0, so the aspect stays finite.
        const int w = static_cast<int>(GetClientWidth()), h = static_cast<int>(GetClientHeight());
        renderer->SetAspect(static_cast<double>(w) / static_cast<double>(h));
        renderer->SetupProjection(scene);
        renderer->SetViewport(0, 0, w, h);
        renderer->LowerRedrawLevel(0);
    }
    if (updateLockCount == 0)
    {
        renderer->LowerRedrawLevel(0);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
    }
}

void C3DView::OnKeyDown(UINT key, UINT repeat, UINT keyFlags)
{
    if (ScreenObjectManager* overlay = GetScreenObjectManager())
        overlay->OnFocusControlKey(key, repeat, keyFlags, this);
    cBaseView<C3DView>::OnKeyDown(key, repeat, keyFlags);
}

void C3DView::RestoreViewState()
{
    if (camera)
        camera->PopViewState();
    ApplyProjection();
    RequestRedraw(0);
}

void C3DView::SetStandardView(int index)
{
    if (!scene || !camera)
        return;
    if (rotationLocked)
        index = static_cast<int>(lockedViewIndex);
    double m[12];
    MakeIdentity3x4(m);
    renderer->GetStandardViewTransform(m, scene, index);
    camera->SetViewTransformAndZoomExtents(m, scene, nullptr);
    ApplyProjection();
    RequestRedraw(0);
}

void C3DView::RotateView90(int axis, double degrees)
{
    if (!scene || !camera)
        return;
    static const double kAxes[2][3] = {{0.0, 1.0, 0.0}, {-1.0, 0.0, 0.0}};
    double m[12];
    std::memcpy(m, camera->GetViewTransform(), sizeof m);
    RotateInScreenSpace(m, degrees * kDegreesToRadians, kAxes[axis == 0 ? 0 : 1]);
    camera->SetViewTransform(m);
    RequestRedraw(0);
}

void C3DView::CycleDiagonalView()
{
    if (!camera || !renderer)
        return;
    auto equals = [&](int index) {
        double m[12];
        MakeIdentity3x4(m);
        renderer->GetStandardViewTransform(m, scene, index);
        const double* current = camera->GetViewTransform();
        for (int i = 0; i < 12; ++i)
            if (std::fabs(current[i] - m[i]) > FLT_EPSILON)
                return false;
        return true;
    };
    if (equals(6))
        SetStandardView(7);
    else if (equals(7))
        SetStandardView(9);
    else if (equals(9))
        SetStandardView(8);
    else
        SetStandardView(6);
}

void C3DView::OnDisplayMode(UINT id)
{
    static const std::uint32_t kModes[] = {0, 2, 128, 8, 12, 16, 20};
    if (auto* base = dynamic_cast<cBase3DScene*>(scene))
        base->SetDisplayMode(kModes[id - kCmdDisplayModeFirst]);
    RequestRedraw(0);
}

void C3DView::OnToggleWireframe()
{
    if (auto* base = dynamic_cast<cBase3DScene*>(scene))
        base->ShowWireframe(!base->IsWireframeShown());
    RequestRedraw(0);
}

void C3DView::OnToggleBoundaries()
{
    if (auto* base = dynamic_cast<cBase3DScene*>(scene))
        base->ShowBoundaries(!base->IsBoundariesShown());
    RequestRedraw(0);
}

void C3DView::OnStandardView(UINT id)
{
    static const int kViews[] = {kFrontView, kBackView, kTopView, kBottomView, kLeftView, kRightView, kUserDefinedView};
    SetStandardView(kViews[id - kCmdFrontView]);
}

void C3DView::OnZoomStep(UINT id)
{
    if (!camera)
        return;
    float min[3], max[3];
    camera->GetSceneBox(min, max);
    const double height = static_cast<double>(max[1]) - min[1];
    const double amount = id == kCmdZoomOut ? height * 2.0 / 3.0 : -height / 3.0;
    POINT centre{static_cast<LONG>(GetClientWidth() / 2), static_cast<LONG>(GetClientHeight() / 2)};
    ::ClientToScreen(m_hWnd, &centre);
    ZoomAtPoint(amount, centre);
}

void C3DView::OnTurn(UINT id)
{
    switch (id)
    {
    case kCmdTurnLeft: RotateView90(0, -90.0); break;
    case kCmdTurnRight: RotateView90(0, 90.0); break;
    case kCmdTurnUp: RotateView90(1, 90.0); break;
    default: RotateView90(1, -90.0); break;
    }
}

void C3DView::OnRenderEngineInfo()
{
    if (!renderer)
        return;
    ContextScope context(renderer);
    cRenderEngineInfoDlg dialog(renderer, this);
    dialog.DoModal();
}
