// Frames: a filled, bordered rectangle with optionally rounded corners (the
// frame visual), and the content control that paints one behind its content
// and keeps the content clear of the border (the frame control). Toolbar
// backgrounds, annotations and the tooltip are frames.
#pragma once

#include "overlay/content_control.h"

// {689B3792-1A8F-404D-BFA1-AB62054F2106}
inline constexpr GUID IID_IV_Frame = {0x689B3792, 0x1A8F, 0x404D, {0xBF, 0xA1, 0xAB, 0x62, 0x05, 0x4F, 0x21, 0x06}};

// None of these changes the layout; they show at the next paint.
class IV_Frame
{
public:
    virtual ~IV_Frame() = default;
    virtual void SetBorderColour(ARGB colour) = 0;
    virtual ARGB GetBorderColour() = 0;
    // A radius of 0 or less switches rounding off.
    virtual void SetRoundCorners(BOOL on, LONG radius) = 0;
    virtual LONG GetCornerRadius() = 0;
    // A width of 0 hides the border.
    virtual void SetBorderWidth(LONG width) = 0;
    virtual LONG GetBorderWidth() = 0;
    virtual void SetBorderVisible(BOOL visible) = 0;
    virtual BOOL IsBorderVisible() = 0;
    virtual void SetFillVisible(BOOL visible) = 0;
    virtual BOOL IsFillVisible() = 0;
    // Also shows the fill.
    virtual void SetFillColour(ARGB colour) = 0;
};

template <class TView> class cV_Frame : public IV_Frame, public virtual IScreenVisual
{
public:
    cV_Frame()
    {
        this->SetForeColour(0xD4FFFFFFu);
        this->SetBackColour(0x80808080u);
    }

    void* QueryInterface(const GUID& iid) override
    {
        return IsEqualInterfaceId(iid, IID_IV_Frame) ? static_cast<IV_Frame*>(this) : nullptr;
    }
    using IBase::QueryInterface;

    void SetBorderColour(ARGB colour) override { this->SetForeColour(colour); }
    ARGB GetBorderColour() override { return this->GetForeColour(); }
    void SetRoundCorners(BOOL on, LONG radius) override
    {
        const bool rounded = on != 0 && radius > 0;
        if (rounded != m_rounded || radius != m_radius)
        {
            m_rounded = rounded;
            m_radius = radius;
        }
    }
    LONG GetCornerRadius() override { return m_radius; }
    void SetBorderWidth(LONG width) override
    {
        m_borderWidth = width;
        if (width == 0)
            SetBorderVisible(0);
    }
    LONG GetBorderWidth() override { return m_borderWidth; }
    void SetBorderVisible(BOOL visible) override { m_borderVisible = visible != 0; }
    BOOL IsBorderVisible() override { return m_borderVisible; }
    void SetFillVisible(BOOL visible) override { m_fillVisible = visible != 0; }
    BOOL IsFillVisible() override { return m_fillVisible; }
    void SetFillColour(ARGB colour) override
    {
        this->SetBackColour(colour);
        SetFillVisible(1);
    }
    bool IsRounded() const { return m_rounded; }

    virtual void FrameReserved1() {}
    virtual void FrameReserved2() {}
    // The frame at the stored size from the origin of the current transform.
    virtual void Draw(cOverlayContext* context, SIZE)
    {
        const ARGB border = this->GetForeColour(), fill = this->GetBackColour();
        if (context == nullptr || (!m_borderVisible && !m_fillVisible) || (border < 0x01000000u && fill < 0x01000000u))
            return;
        GpGraphics* g = context->GetHandle();
        GpPen* pen = nullptr;
        context->Check(GdipCreatePen1(border, static_cast<REAL>(m_borderWidth), UnitWorld, &pen));
        if (pen != nullptr)
            context->Check(GdipSetPenMode(pen, PenAlignmentInset));
        LONG w = m_size.cx, h = m_size.cy;
        if (m_borderVisible && m_borderWidth == 1)
        {
            w = SaturatedSub(w, 1);
            h = SaturatedSub(h, 1);
        }
        const LONG d = SaturatedAdd(m_radius, m_radius);
        const LONG dx = w > d ? d : SaturatedSub(d, w), dy = h > d ? d : SaturatedSub(d, h);
        GpSolidFill* brush = nullptr;
        context->Check(GdipCreateSolidFill(fill, &brush));
        const bool borderDrawable = m_borderVisible && m_borderWidth > 0 && pen != nullptr;
        if (!m_rounded || dx < 1 || dy < 1)
        {
            if (m_fillVisible && brush != nullptr)
                context->Check(GdipFillRectangleI(g, brush, 0, 0, w, h));
            if (borderDrawable)
                context->Check(GdipDrawRectangleI(g, pen, 0, 0, w, h));
        }
        else if (borderDrawable || m_fillVisible)
        {
            GpPath* path = nullptr;
            context->Check(GdipCreatePath(FillModeAlternate, &path));
            if (path != nullptr)
            {
                context->Check(GdipAddPathArcI(path, 0, 0, dx, dy, 180.0f, 90.0f));
                context->Check(GdipAddPathArcI(path, SaturatedSub(w, dx), 0, dx, dy, 270.0f, 90.0f));
                context->Check(GdipAddPathArcI(path, SaturatedSub(w, dx), SaturatedSub(h, dy), dx, dy, 0.0f, 90.0f));
                context->Check(GdipAddPathArcI(path, 0, SaturatedSub(h, dy), dx, dy, 90.0f, 90.0f));
                context->Check(GdipClosePathFigure(path));
                SmoothingMode previous = SmoothingModeNone;
                context->Check(GdipGetSmoothingMode(g, &previous));
                const auto wanted = static_cast<SmoothingMode>(this->GetVisualMode());
                if (wanted != previous)
                    context->Check(GdipSetSmoothingMode(g, wanted));
                if (m_fillVisible && brush != nullptr)
                    context->Check(GdipFillPath(g, brush, path));
                if (borderDrawable)
                {
                    context->Check(GdipSetPenLineJoin(pen, LineJoinRound));
                    context->Check(GdipDrawPath(g, pen, path));
                }
                if (wanted != previous)
                    context->Check(GdipSetSmoothingMode(g, previous));
                context->Check(GdipDeletePath(path));
            }
        }
        if (brush != nullptr)
            context->Check(GdipDeleteBrush(brush));
        if (pen != nullptr)
            context->Check(GdipDeletePen(pen));
    }
    virtual SIZE Measure(cOverlayContext*) { return m_size; }
    virtual BOOL FrameReserved3() { return 0; }

    void SetSize(SIZE size) { m_size = size; }

private:
    bool m_rounded = true;
    LONG m_radius = 5;
    LONG m_borderWidth = 2;
    bool m_borderVisible = true;
    bool m_fillVisible = true;
    SIZE m_size{0, 0};
};

template <class TView> class cC_Frame : public virtual cContentControl_GDI<TView, stC_ChildEmty>, public IV_Frame
{
public:
    using Content = cContentControl_GDI<TView, stC_ChildEmty>;

    explicit cC_Frame(IScreenControl_GDI<TView>* content = nullptr)
    {
        this->SetContent(content);
        m_frame.SetVisualMode(SmoothingModeHighQuality);
        IScreenVisual::SetVisualMode(SmoothingModeHighQuality);
        this->SetNoBackground(true);
        this->SetInset(m_frame.GetBorderWidth());
    }

    void* QueryInterface(const GUID& iid) override
    {
        return IsEqualInterfaceId(iid, IID_IV_Frame) ? static_cast<IV_Frame*>(this) : nullptr;
    }
    using IBase::QueryInterface;

    void SetBorderColour(ARGB colour) override { m_frame.SetBorderColour(colour); }
    ARGB GetBorderColour() override { return m_frame.GetBorderColour(); }
    void SetRoundCorners(BOOL on, LONG radius) override { m_frame.SetRoundCorners(on, radius); }
    LONG GetCornerRadius() override { return m_frame.GetCornerRadius(); }
    // The content keeps clear of the border whether it is shown or not.
    void SetBorderWidth(LONG width) override
    {
        m_frame.SetBorderWidth(width);
        this->SetInset(width);
    }
    LONG GetBorderWidth() override { return m_frame.GetBorderWidth(); }
    void SetBorderVisible(BOOL visible) override
    {
        m_frame.SetBorderVisible(visible);
        this->SetInset(visible ? m_frame.GetBorderWidth() : 0);
    }
    BOOL IsBorderVisible() override { return m_frame.IsBorderVisible(); }
    void SetFillVisible(BOOL visible) override { m_frame.SetFillVisible(visible); }
    BOOL IsFillVisible() override { return m_frame.IsFillVisible(); }
    void SetFillColour(ARGB colour) override { m_frame.SetFillColour(colour); }
    void SetVisualMode(std::uint32_t mode) override
    {
        IScreenVisual::SetVisualMode(mode);
        m_frame.SetVisualMode(mode);
    }
    // A one-pixel square border of the colour (rounding off, radius kept).
    void SetSquareBorder(ARGB colour)
    {
        SetBorderWidth(1);
        SetBorderColour(colour);
        m_frame.SetRoundCorners(0, m_frame.GetCornerRadius());
    }

    SIZE Measure(cOverlayContext* context, TView* view) override
    {
        if (this->IsValid())
            return this->m_desired;
        const SIZE size = Content::Measure(context, view);
        m_frame.SetSize(size);
        return size;
    }
    RECT Arrange(cOverlayContext* context, const SIZE* available, TView* view) override
    {
        const RECT r = Content::Arrange(context, available, view);
        m_frame.SetSize(SIZE{RectWidth(r), RectHeight(r)});
        return r;
    }
    void Paint(cOverlayContext* context, TView* view) override
    {
        Measure(context, view);
        m_frame.Draw(context, m_frame.Measure(context));
        Content::Paint(context, view);
    }
    const wchar_t* GetClassName() override { return L"cC_Frame"; }

    cV_Frame<TView>& GetFrameVisual() { return m_frame; }

private:
    cV_Frame<TView> m_frame;
};
