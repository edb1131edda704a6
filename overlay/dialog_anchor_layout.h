// Keeps the child windows of a resizable dialog in place: the children's
// rectangles are recorded once, and after each resize every child is moved
// by per-edge rules (scaled with the dialog, fixed, or following the far
// edge).
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>
#include <vector>

enum eAnchorFlags : std::uint32_t
{
    kAnchorKeepSize = 1, // the far edge keeps its distance from the near edge
    kAnchorFixNear = 2,  // the near edge keeps its recorded coordinate
    kAnchorFollowFar = 4, // the far edge moves by the dialog's growth
};

class cDialogAnchorLayout
{
public:
    struct stEntry
    {
        RECT rect; // in the dialog's client coordinates at attach time
        HWND window;
        std::uint32_t horizontal;
        std::uint32_t vertical;
    };

    // Records the dialog's window rectangle and every child's rectangle, in
    // z-order.
    void Attach(HWND dialog);
    // 1 when the child with that id was recorded and its flags were set.
    BOOL SetAnchor(int controlId, std::uint32_t horizontal, std::uint32_t vertical);
    // Moves every recorded child that still exists, then redraws the dialog.
    void ApplyLayout();

    // Where a recorded edge pair lands on one axis for the dialog's new
    // extent (pure; the tests use it too).
    static void PlaceAxis(LONG nearEdge, LONG farEdge, std::uint32_t flags, LONG recordedExtent, LONG currentExtent,
                          LONG* outNear, LONG* outFar);

    const std::vector<stEntry>& GetEntries() const { return m_entries; }

private:
    HWND m_dialog = nullptr;
    RECT m_recorded{0, 0, 0, 0};
    std::vector<stEntry> m_entries;
};
