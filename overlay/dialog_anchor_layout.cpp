#include "overlay/dialog_anchor_layout.h"

#include "overlay/overlay_layout.h"

#include <cmath>

namespace
{

// A recorded coordinate times the dialog's growth, truncated. A dialog
// recorded with no extent on an axis keeps its children's coordinates.
LONG Scaled(LONG value, LONG recordedExtent, LONG currentExtent)
{
    if (recordedExtent == 0)
        return value;
    const double scaled = static_cast<double>(value) * (static_cast<double>(currentExtent) / recordedExtent);
    if (!std::isfinite(scaled))
        return value;
    return ClampToLong(static_cast<std::int64_t>(std::trunc(std::fmax(std::fmin(scaled, 9.0e18), -9.0e18))));
}

} // namespace

void cDialogAnchorLayout::Attach(HWND dialog)
{
    m_entries.clear();
    m_dialog = dialog;
    m_recorded = RECT{0, 0, 0, 0};
    if (!IsWindow(dialog))
        return;
    GetWindowRect(dialog, &m_recorded);
    for (HWND child = GetWindow(dialog, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
    {
        RECT r{};
        GetWindowRect(child, &r);
        POINT topLeft{r.left, r.top}, bottomRight{r.right, r.bottom};
        ScreenToClient(dialog, &topLeft);
        ScreenToClient(dialog, &bottomRight);
        m_entries.push_back(stEntry{RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y}, child, 0, 0});
    }
}

BOOL cDialogAnchorLayout::SetAnchor(int controlId, std::uint32_t horizontal, std::uint32_t vertical)
{
    if (m_dialog == nullptr || !IsWindow(m_dialog))
        return 0;
    HWND child = GetDlgItem(m_dialog, controlId);
    if (child == nullptr)
        return 0;
    for (stEntry& e : m_entries)
        if (e.window == child)
        {
            e.horizontal = horizontal;
            e.vertical = vertical;
            return 1;
        }
    return 0;
}

void cDialogAnchorLayout::PlaceAxis(LONG nearEdge, LONG farEdge, std::uint32_t flags, LONG recordedExtent,
                                    LONG currentExtent, LONG* outNear, LONG* outFar)
{
    const LONG growth = SaturatedSub(currentExtent, recordedExtent);
    LONG n;
    if (flags & kAnchorFixNear)
        n = nearEdge;
    else if ((flags & kAnchorKeepSize) && (flags & kAnchorFollowFar))
        n = SaturatedAdd(nearEdge, growth);
    else
        n = Scaled(nearEdge, recordedExtent, currentExtent);
    LONG f;
    if (flags & kAnchorFollowFar)
        f = SaturatedAdd(farEdge, growth);
    else if (flags & kAnchorKeepSize)
        f = SaturatedAdd(SaturatedSub(farEdge, nearEdge), n);
    else
        f = Scaled(farEdge, recordedExtent, currentExtent);
    *outNear = n;
    *outFar = f;
}

void cDialogAnchorLayout::ApplyLayout()
{
    if (m_dialog == nullptr || !IsWindow(m_dialog))
        return;
    RECT now{};
    GetWindowRect(m_dialog, &now);
    const LONG w0 = RectWidth(m_recorded), h0 = RectHeight(m_recorded);
    const LONG w = RectWidth(now), h = RectHeight(now);
    // Children destroyed since Attach are forgotten rather than moved.
    std::erase_if(m_entries, [](const stEntry& e) { return !IsWindow(e.window); });
    for (const stEntry& e : m_entries)
    {
        LONG left, right, top, bottom;
        PlaceAxis(e.rect.left, e.rect.right, e.horizontal, w0, w, &left, &right);
        PlaceAxis(e.rect.top, e.rect.bottom, e.vertical, h0, h, &top, &bottom);
        MoveWindow(e.window, left, top, SaturatedSub(right, left), SaturatedSub(bottom, top), TRUE);
    }
    RedrawWindow(m_dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
