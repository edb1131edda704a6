// Doubles for the overlay tests: a view with the members the toolkit reads,
// a leaf control of a fixed content size that logs what it receives, a GL
// object with a screen rectangle, and an effect that counts Show and Hide.
#pragma once

#include "overlay/screen_object_manager.h"
#include "overlay/stack_panel.h"

#include <functional>
#include <string>
#include <vector>

namespace overlaytest
{

struct TestView
{
    HWND window = nullptr;
    I3DSceneRenderer* renderer = nullptr;
    std::uint32_t redrawLevel = 0;
    bool suspended = false;

    HWND GetSafeHwnd() const { return window; }
    I3DSceneRenderer* GetRenderer() const { return renderer; }
    std::uint32_t GetRedrawLevel() const { return redrawLevel; }
    bool IsRedrawSuspended() const { return suspended; }
};

using Log = std::vector<std::string>;
std::string Entry(const std::string& who, const char* what, POINT p);

// A leaf: content size plus padding, raised to the minimum; arranged by the
// common contract; paints its background.
class Leaf : public virtual IScreenControl_GDI<TestView>
{
public:
    Leaf(std::string name, LONG width, LONG height, Log* log = nullptr);
    ~Leaf() override;

    SIZE Measure(cOverlayContext*, TestView*) override;
    RECT Arrange(cOverlayContext* context, const SIZE* available, TestView* view) override;
    void Paint(cOverlayContext* context, TestView*) override { RenderBackground(context); }

    BOOL OnLButtonDown(POINT p, UINT, TestView*) override;
    BOOL OnLButtonUp(POINT p, UINT, TestView*) override { return Record("up", p); }
    BOOL OnMouseMove(POINT p, UINT, TestView*) override { return Record("move", p); }
    BOOL OnRButtonDown(POINT p, UINT, TestView*) override { return Record("rdown", p); }
    BOOL OnMouseWheel(UINT, short delta, POINT p, TestView*) override;
    void OnMouseEnter(POINT p, UINT f, TestView* v) override;
    void OnMouseLeave(POINT p, UINT f, TestView* v) override;
    BOOL OnKeyMessage(UINT key, UINT, UINT, TestView*) override;
    void OnFocusReleased() override { Record("focus-released", POINT{0, 0}); }
    void OnIdleUpdate(TestView*) override { Record("idle", POINT{0, 0}); }
    BOOL GetContextMenu(UINT* menuId, CWnd** target) override;

    std::string name;
    LONG contentWidth, contentHeight;
    BOOL result = 1;
    UINT menuId = 0;
    int measures = 0;
    int arranges = 0;
    bool* destroyed = nullptr;
    // Runs inside the left-button handler (after it is logged).
    std::function<void()> onPress;

private:
    BOOL Record(const char* what, POINT p);
    Log* m_log;
};

// A GL-layer object covering a fixed screen rectangle.
class GLBox : public virtual IScreenObject_GL<TestView>
{
public:
    GLBox(std::string name, RECT screen, Log* log) : name(std::move(name)), screen(screen), m_log(log) {}

    BOOL ContainsPoint(POINT p, TestView*) override
    {
        return p.x >= screen.left && p.x < screen.right && p.y >= screen.top && p.y < screen.bottom;
    }
    void GetScreenRect(RECT* r, TestView*) override { *r = screen; }
    void DrawGL(TestView*) override { m_log->push_back(name + " draw"); }
    BOOL OnLButtonDown(POINT p, UINT, TestView*) override
    {
        m_log->push_back(Entry(name, "down", p));
        return 1;
    }
    void OnMouseEnter(POINT p, UINT, TestView*) override { m_log->push_back(Entry(name, "enter", p)); }
    void OnMouseLeave(POINT p, UINT, TestView*) override { m_log->push_back(Entry(name, "leave", p)); }
    void OnKillFocus(CWnd*) override { m_log->push_back(name + " kill-focus"); }
    void OnIdleUpdate(TestView*) override { m_log->push_back(name + " idle"); }

    std::string name;
    RECT screen;

private:
    Log* m_log;
};

class CountingEffect : public IVEffect, public cRCObject<IBase>
{
public:
    void* QueryInterface(const GUID&) override { return nullptr; }
    void Show(IBase* owner) override
    {
        ++shows;
        lastOwner = owner;
    }
    void Hide() override { ++hides; }
    int shows = 0;
    int hides = 0;
    IBase* lastOwner = nullptr;
};

using Stack = cC_StackPanel<TestView>;
using Canvas = cC_CanvasPanel<TestView>;
using Manager = cScreenObjectManager<TestView>;

// A manager whose tests may pick the focus control.
class FocusManager : public Manager
{
public:
    using Manager::Manager;
    void SetFocusForTest(IScreenControl<TestView>* control) { m_focus = control; }
};

template <class T, class... Args> tSafePtr<T> Make(Args&&... args)
{
    return tSafePtr<T>(new T(std::forward<Args>(args)...));
}

} // namespace overlaytest
