#include "support/overlay_test_controls.h"

namespace overlaytest
{

std::string Entry(const std::string& who, const char* what, POINT p)
{
    return who + " " + what + " " + std::to_string(p.x) + "," + std::to_string(p.y);
}

Leaf::Leaf(std::string name, LONG width, LONG height, Log* log)
    : name(std::move(name)), contentWidth(width), contentHeight(height), m_log(log)
{
}

Leaf::~Leaf()
{
    if (destroyed != nullptr)
        *destroyed = true;
}

SIZE Leaf::Measure(cOverlayContext*, TestView*)
{
    if (IsValid())
        return m_desired;
    ++measures;
    StoreDesired(RaiseToMinimum(AddPadding(SIZE{contentWidth, contentHeight}), m_minimum));
    Validate();
    return m_desired;
}

RECT Leaf::Arrange(cOverlayContext* context, const SIZE* available, TestView* view)
{
    RECT r{};
    if (ArrangeCacheHit(available, &r))
        return r;
    const SIZE size = Measure(context, view);
    if (available == nullptr)
        return RECT{0, 0, size.cx, size.cy};
    ++arranges;
    r = AlignInAvailable(size, *available);
    StoreArrange(*available, r);
    return r;
}

BOOL Leaf::OnLButtonDown(POINT p, UINT, TestView*)
{
    const BOOL r = Record("down", p);
    if (onPress)
        onPress();
    return r;
}

BOOL Leaf::OnMouseWheel(UINT, short delta, POINT p, TestView*)
{
    return Record(("wheel" + std::to_string(delta)).c_str(), p);
}

void Leaf::OnMouseEnter(POINT p, UINT f, TestView* v)
{
    IScreenControl_GDI<TestView>::OnMouseEnter(p, f, v);
    Record("enter", p);
}

void Leaf::OnMouseLeave(POINT p, UINT f, TestView* v)
{
    IScreenControl_GDI<TestView>::OnMouseLeave(p, f, v);
    Record("leave", p);
}

BOOL Leaf::OnKeyMessage(UINT key, UINT, UINT, TestView*)
{
    return Record(("key" + std::to_string(key)).c_str(), POINT{0, 0});
}

BOOL Leaf::GetContextMenu(UINT* id, CWnd** target)
{
    *id = menuId;
    *target = nullptr;
    return menuId != 0;
}

BOOL Leaf::Record(const char* what, POINT p)
{
    if (m_log != nullptr)
        m_log->push_back(Entry(name, what, p));
    return result;
}

} // namespace overlaytest
