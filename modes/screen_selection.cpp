#include "modes/screen_selection.h"

#include "core/mesh.h"
#include "modes/mode_support.h"
#include "modes/selection_brush_owner.h"
#include "overlay/annotations.h"
#include "overlay/view_screen_object_manager.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/mfc/menu.h"
#include "platform/win32/input.h"
#include "render/gdiplus_graphics.h"
#include "render/offscreen_canvas.h"
#include "render/popup_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

ISelectionBrushOwner* FindSelectionBrushOwner(C3DView* view)
{
    auto* p3d = dynamic_cast<cP3DView*>(view);
    return p3d ? dynamic_cast<ISelectionBrushOwner*>(p3d->GetOwnerTool()) : nullptr;
}

namespace
{

cViewScreenObjectManager<C3DView>* OverlayManager(C3DView* view)
{
    return view ? dynamic_cast<cViewScreenObjectManager<C3DView>*>(view->GetScreenObjectManager()) : nullptr;
}

void RedrawOverlay(C3DView* view)
{
    if (!view || !view->GetSafeHwnd() || !view->GetRenderer() || view->IsUpdateLocked())
        return;
    view->GetRenderer()->LowerRedrawLevel(1);
    ::RedrawWindow(view->GetSafeHwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE);
}

void SendSetCursor(C3DView* view)
{
    if (view && view->GetSafeHwnd())
        ::SendMessageW(view->GetSafeHwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(view->GetSafeHwnd()),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
}

void Invalidate(C3DView* view)
{
    if (view && view->GetSafeHwnd())
        ::InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

} // namespace

bool StrokeChangesSelection(cMesh& mesh, bool deselect)
{
    const std::uint32_t count = mesh.GetTriangleCount();
    for (std::uint32_t i = 0; i < count; ++i)
    {
        const std::uint8_t flags = mesh.GetTriangle(i)->flags;
        if ((flags & kTriangleFlagScratch) && ((flags & kTriangleFlagSelected) != 0) == deselect)
            return true;
    }
    return false;
}

CUIM_ScreenSelection::CUIM_ScreenSelection(std::uint32_t id, std::uint32_t temporary, C3DView* view)
    : CUIM_ZoomRect(id, temporary), ownerView(view)
{
    penStatus = int(GdipCreatePen1(0xFFFFFFFFu, 1.0f, UnitPixel, &outlinePen));
    hintLabel = new HintLabel();
    hintLabel->SetSquareBorder(0x96F69F64u);
    hintLabel->SetFillColour(0xC83C3C3Cu);
    hintLabel->SetRoundCorners(FALSE, 0);
    hintLabel->GetLabel()->SetForeColour(0xF0DCDCDCu);
    hintLabel->GetLabel()->SetFontSize(10);
    // Along the bottom edge of the view, stretched across it.
    hintLabel->SetVerticalAlignment(3);
    hintLabel->SetHorizontalAlignment(4);
    hintLabel->SetMargin(8);
    hintLabel->SetVisible(FALSE);
    if (auto* manager = OverlayManager(ownerView))
        manager->GetManager().AddGDIControl(hintLabel.Get());
}

CUIM_ScreenSelection::~CUIM_ScreenSelection()
{
    if (auto* manager = OverlayManager(ownerView); manager && ::IsWindow(ownerView->GetSafeHwnd()))
        manager->GetManager().ForgetGDIControl(hintLabel.Get());
    stroke.clear();
    if (outlinePen)
        GdipDeletePen(outlinePen);
    hintLabel.Reset();
}

POINT CUIM_ScreenSelection::SnapLinePoint(POINT point) const
{
    if (stroke.empty() || GetAsyncKeyState(VK_SHIFT) >= 0)
        return point;
    const POINT first = stroke.front();
    if (std::abs(point.y - first.y) > std::abs(point.x - first.x))
        point.x = first.x;
    else
        point.y = first.y;
    return point;
}

BOOL CUIM_ScreenSelection::OnLButtonDown(POINT point, UINT, C3DView* view)
{
    if (!view || view->GetActiveMode() != this)
        return 0;
    strokeInProgress = 1;
    stroke.push_back(point);
    return 1;
}

BOOL CUIM_ScreenSelection::OnMouseMove(POINT point, UINT flags, C3DView* view)
{
    if (operation != kNoOperation)
        return CUIM_RotateTranslate::OnMouseMove(point, flags, view);
    cursorPoint = point;
    if (strokeInProgress)
    {
        if (tool == kToolLine)
        {
            point = SnapLinePoint(point);
            if (stroke.size() > 1)
                stroke.pop_back();
            stroke.push_back(point);
        }
        else if (tool == kToolFreeHand || tool == kToolFreeHandFilled)
            stroke.push_back(point);
    }
    SendSetCursor(view);
    RedrawOverlay(view);
    return 1;
}

BOOL CUIM_ScreenSelection::OnLButtonUp(POINT point, UINT, C3DView*)
{
    if (!strokeInProgress)
        return 0;
    strokeInProgress = 0;
    if (tool == kToolLine)
        point = SnapLinePoint(point);
    stroke.push_back(point);
    return 1;
}

BOOL CUIM_ScreenSelection::OnMouseWheel(UINT flags, short delta, POINT, C3DView* view)
{
    if ((flags & MK_CONTROL) == 0)
        return 0;
    ISelectionBrushOwner* owner = FindSelectionBrushOwner(view);
    if (!owner)
        return 0;
    if (owner->ChangeBrushSize(delta < 0 ? 1 : -1))
        Invalidate(view);
    return 1;
}

BOOL CUIM_ScreenSelection::OnMouseLeave(WPARAM, LPARAM, C3DView* view)
{
    moved = 0;
    Invalidate(view);
    return 0;
}

BOOL CUIM_ScreenSelection::OnKeyDown(UINT, UINT, UINT, C3DView* view)
{
    SendSetCursor(view);
    return 1;
}

BOOL CUIM_ScreenSelection::OnKeyUp(UINT, UINT, UINT, C3DView* view)
{
    SendSetCursor(view);
    return 1;
}

BOOL CUIM_ScreenSelection::OnSysKeyDown(UINT, UINT, UINT, C3DView* view)
{
    if (IsAltDown())
        Invalidate(view);
    SendSetCursor(view);
    return 1;
}

BOOL CUIM_ScreenSelection::OnSysKeyUp(UINT, UINT, UINT, C3DView* view)
{
    if (!IsAltDown())
        Invalidate(view);
    SendSetCursor(view);
    return 1;
}

bool CUIM_ScreenSelection::IsAltDown() const { return GetAsyncKeyState(VK_MENU) < 0; }

bool CUIM_ScreenSelection::IsCtrlDown() const { return GetAsyncKeyState(VK_CONTROL) < 0; }

int CUIM_ScreenSelection::OnSetCursor(C3DView*, UINT, UINT)
{
    if (operation != kNoOperation)
        return int(cursorId);
    switch (tool)
    {
    case kToolFreeHand:
    case kToolFreeHandFilled: return int(IsAltDown() ? kCursorBrushDeselect : kCursorBrush);
    case kToolLine: return int(IsAltDown() ? kCursorLineDeselect : kCursorLine);
    case kToolMagicWand: return int(kCursorMagicWand);
    default: return int(cursorId);
    }
}

BOOL CUIM_ScreenSelection::GetContextMenu(UINT* menuId, CWnd** target)
{
    if (menuId)
        *menuId = kSelectionContextMenu;
    if (target)
        *target = ownerView;
    return 1;
}

void CUIM_ScreenSelection::UpdateContextMenu(CMenu* menu)
{
    if (!menu)
        return;
    UINT current = 0;
    switch (tool)
    {
    case kToolFreeHandFilled: current = kCmdFreeFormFilled; break;
    case kToolFreeHand: current = kCmdFreeForm; break;
    case kToolLine: current = kCmdLineSelection; break;
    case kToolMagicWand: current = kCmdMagicWand; break;
    default: break;
    }
    if (current)
        menu->RemoveMenu(current, MF_BYCOMMAND);
    SetMenuItemIcons(kSelectionMenuIcons, 8, menu, ownerView ? ownerView->GetSafeHwnd() : nullptr);
}

void CUIM_ScreenSelection::CenterCursorPoint()
{
    if (!ownerView || !ownerView->GetSafeHwnd())
        return;
    RECT client{};
    ::GetClientRect(ownerView->GetSafeHwnd(), &client);
    cursorPoint = POINT{(client.left + client.right) / 2, (client.top + client.bottom) / 2};
    RedrawOverlay(ownerView);
}

bool CUIM_ScreenSelection::GetStrokeBounds(RECT* out, int inflate) const
{
    if (stroke.empty())
        return false;
    RECT r{stroke[0].x, stroke[0].y, stroke[0].x, stroke[0].y};
    for (const POINT& p : stroke)
    {
        r.left = std::min(r.left, p.x);
        r.top = std::min(r.top, p.y);
        r.right = std::max(r.right, p.x);
        r.bottom = std::max(r.bottom, p.y);
    }
    ::InflateRect(&r, inflate, inflate);
    if (out)
        *out = r;
    return true;
}

ARGB CUIM_ScreenSelection::BrushColour(const cDecoratorObject& attributes) const
{
    float c[3];
    if (IsAltDown())
        for (int i = 0; i < 3; ++i)
            c[i] = attributes.m_colours[0][i];
    else
        for (int i = 0; i < 3; ++i)
            c[i] = std::min(attributes.m_colours[2][i] * 1.4f, 1.0f);
    auto channel = [](float v) { return ARGB(std::clamp(v, 0.0f, 1.0f) * 255.0f); };
    return 0xFF000000u | channel(c[0]) << 16 | channel(c[1]) << 8 | channel(c[2]);
}

void CUIM_ScreenSelection::PaintStroke(cGdiplusGraphics& graphics, RECT* dirty, const cDecoratorObject& attributes,
                                       int r, bool drawCircle)
{
    GpGraphics* g = graphics.GetHandle();
    if (dirty)
        *dirty = RECT{0, 0, 0, 0};
    if (!strokeInProgress && ownerView && ownerView->GetSafeHwnd())
    {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        ::ScreenToClient(ownerView->GetSafeHwnd(), &cursor);
        RECT client{};
        ::GetClientRect(ownerView->GetSafeHwnd(), &client);
        if (!::PtInRect(&client, cursor))
            return;
    }
    r = std::clamp(r, 0, kMaxHalfBrushSize);
    const ARGB colour = BrushColour(attributes);
    GpSolidFill* brush = nullptr;
    GpPen* pen = nullptr;
    graphics.Check(GdipCreateSolidFill(colour, &brush));
    graphics.Check(GdipCreatePen1(colour, REAL(2 * r), UnitPixel, &pen));
    auto* fill = reinterpret_cast<GpBrush*>(brush);
    auto disc = [&](POINT p) { graphics.Check(GdipFillEllipseI(g, fill, p.x - r, p.y - r, 2 * r, 2 * r)); };
    auto line = [&](POINT p, POINT q) { graphics.Check(GdipDrawLineI(g, pen, p.x, p.y, q.x, q.y)); };

    if (stroke.empty())
    {
        if (tool != kToolNone && tool != kToolMagicWand)
        {
            const POINT c = cursorPoint;
            if (dirty)
                *dirty = RECT{c.x - r - 1, c.y - r - 1, c.x + r + 1, c.y + r + 1};
            if (drawCircle && outlinePen)
                graphics.Check(GdipDrawEllipseI(g, outlinePen, c.x - r, c.y - r, 2 * r, 2 * r));
        }
    }
    else
    {
        switch (tool)
        {
        case kToolFreeHand:
        case kToolFreeHandFilled:
            if (stroke.size() == 1)
                disc(stroke[0]);
            else
                for (std::size_t i = 0; i + 1 < stroke.size(); ++i)
                {
                    disc(stroke[i]);
                    disc(stroke[i + 1]);
                    line(stroke[i], stroke[i + 1]);
                }
            if (tool == kToolFreeHandFilled)
            {
                disc(stroke.front());
                disc(stroke.back());
                line(stroke.front(), stroke.back());
                std::vector<GpPoint> polygon;
                polygon.reserve(stroke.size());
                for (const POINT& p : stroke)
                    polygon.push_back(GpPoint{INT(p.x), INT(p.y)});
                graphics.Check(GdipFillPolygonI(g, fill, polygon.data(), INT(polygon.size()), FillModeAlternate));
            }
            break;
        case kToolLine:
            disc(stroke.front());
            disc(stroke.back());
            line(stroke.front(), stroke.back());
            break;
        default: break;
        }
        if (dirty)
            GetStrokeBounds(dirty, r);
    }
    if (pen)
        GdipDeletePen(pen);
    if (brush)
        GdipDeleteBrush(fill);
}

bool CUIM_ScreenSelection::PaintStrokeMask(const RECT& bounds, const cDecoratorObject& attributes, int r,
                                           std::vector<std::uint32_t>& mask)
{
    I3DSceneRenderer* renderer = ownerView ? ownerView->GetRenderer() : nullptr;
    if (!renderer)
        return false;
    const std::uint32_t width = std::uint32_t(bounds.right - bounds.left);
    const std::uint32_t height = std::uint32_t(bounds.bottom - bounds.top);
    cOffscreenCanvas* canvas = renderer->GetCanvas(width, height, false);
    if (!canvas || !canvas->GetGraphics() || !canvas->GetFirstRow() || canvas->GetWidth() < width ||
        canvas->GetHeight() < height)
        return false;
    std::memset(canvas->GetPixels(), 0, std::size_t(canvas->GetWidth()) * canvas->GetHeight() * 4);
    cGdiplusGraphics& graphics = *canvas->GetGraphics();
    GraphicsState saved = 0;
    GdipSaveGraphics(graphics.GetHandle(), &saved);
    GdipTranslateWorldTransform(graphics.GetHandle(), REAL(-bounds.left), REAL(-bounds.top), MatrixOrderPrepend);
    if (operation == kNoOperation)
    {
        // The cursor test of the brush circle does not apply to the mask.
        const std::uint8_t inProgress = strokeInProgress;
        strokeInProgress = 1;
        PaintStroke(graphics, nullptr, attributes, r, false);
        strokeInProgress = inProgress;
    }
    GdipRestoreGraphics(graphics.GetHandle(), saved);
    mask.assign(std::size_t(width) * height, 0u);
    const std::uint8_t* top = canvas->GetFirstRow();
    const std::ptrdiff_t stride = std::ptrdiff_t(canvas->GetStride());
    for (std::uint32_t y = 0; y < height; ++y)
        std::memcpy(&mask[std::size_t(y) * width], top - std::ptrdiff_t(y) * stride, std::size_t(width) * 4);
    return true;
}

namespace
{

// The stroke bounds within the view's viewport (client pixels); false when
// nothing of them is inside.
bool ClipToViewport(RECT& bounds, I3DSceneRenderer& renderer)
{
    RECT viewport{};
    renderer.GetViewport(&viewport);
    const RECT client{0, 0, viewport.right - viewport.left, viewport.bottom - viewport.top};
    RECT clipped{};
    if (!::IntersectRect(&clipped, &bounds, &client))
        return false;
    bounds = clipped;
    return true;
}

} // namespace

bool CUIM_ScreenSelection::SelectTrianglesInStroke(cMesh& mesh, const cDecoratorObject& attributes, int r,
                                                   bool cullBackFaces)
{
    r = std::clamp(r, 0, kMaxHalfBrushSize);
    RECT bounds{};
    if (!GetStrokeBounds(&bounds, r))
        return false;
    I3DSceneRenderer* renderer = ownerView ? ownerView->GetRenderer() : nullptr;
    auto* camera = dynamic_cast<cBase3DRenderer*>(renderer);
    mesh.ClearTriangleFlag4();
    if (!camera || !ClipToViewport(bounds, *renderer))
        return false;
    std::vector<std::uint32_t> mask;
    if (!PaintStrokeMask(bounds, attributes, r, mask))
        return false;
    const bool wasCurrent = renderer->MakeCurrent();
    bool marked = false;
    stSelectionMask view;
    view.pixels = mask.data();
    view.width = int(bounds.right - bounds.left);
    view.height = int(bounds.bottom - bounds.top);
    view.stride = 4 * view.width;
    view.originX = float(bounds.left);
    view.originY = float(bounds.top);
    // A pass a window of ids: a scan of more triangles than 24 bits name
    // takes a pass for each window (the marks grown from each window's meet
    // those of the others as one pass's would).
    const std::uint32_t span = std::clamp<std::uint32_t>(faceIdSpan, 1, kMaxColourIdTriangles);
    const std::uint64_t count = mesh.GetTriangleCount();
    for (std::uint64_t first = 0; first == 0 || first < count; first += span)
    {
        if (!RenderFaceIdPass(*renderer, mesh, cullBackFaces, std::uint32_t(first), span))
            break;
        marked = SelectTrianglesInFrameBuffer(mesh, view, nullptr, *camera, kTriangleFlagScratch, cullBackFaces,
                                              std::uint32_t(first), span) ||
                 marked;
    }
    if (!wasCurrent)
        renderer->RestoreCurrent();
    return marked;
}

bool CUIM_ScreenSelection::SelectPointsInStroke(tPolylineCollection<tFramePolyline<cVertex>>& curves)
{
    RECT bounds{};
    if (!GetStrokeBounds(&bounds, kPointBrushHalfSize))
        return false;
    I3DSceneRenderer* renderer = ownerView ? ownerView->GetRenderer() : nullptr;
    if (!renderer || !ClipToViewport(bounds, *renderer))
        return false;
    const cDecoratorObject defaults;
    std::vector<std::uint32_t> mask;
    if (!PaintStrokeMask(bounds, defaults, kPointBrushHalfSize, mask))
        return false;
    const LONG width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    if (width <= 0 || height <= 0)
        return false;
    bool marked = false;
    for (std::uint32_t c = 0; c < curves.GetCount(); ++c)
    {
        tFramePolyline<cVertex>& curve = curves[c];
        for (std::uint32_t i = 0; i < curve.GetVertexCount(); ++i)
        {
            cVertex* v = curve.GetVertex(i);
            v->flags &= ~std::uint32_t(kTriangleFlagScratch);
            float view[3];
            renderer->ProjectPoint(view, v->Position(), true);
            POINT screen{};
            renderer->WorldToScreen(view[0], view[1], &screen);
            const LONG x = screen.x - bounds.left, y = screen.y - bounds.top;
            if (x <= 0 || y <= 0 || x >= width || y >= height)
                continue;
            if (mask[std::size_t(y) * std::size_t(width) + std::size_t(x)] == 0)
                continue;
            v->flags |= kTriangleFlagScratch;
            marked = true;
        }
    }
    return marked;
}
