// Pixel transfers between the frame buffer and pixel surfaces. Each one
// saves every GL state it touches (pixel store, pixel transfer scales and
// biases, read and draw buffer, matrices, depth and colour masks, raster
// position) and puts it back, so that callers find GL as they left it.
#include "render/gl_renderer.h"

#include "render/render_surface.h"

#include <algorithm>

namespace
{

// Attribute stacks are small; a transfer that cannot save its state does
// nothing rather than leave GL changed.
class TransferState
{
public:
    TransferState()
    {
        GLint depth = 0, most = 0, clientDepth = 0, clientMost = 0;
        glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &depth);
        glGetIntegerv(GL_MAX_ATTRIB_STACK_DEPTH, &most);
        glGetIntegerv(GL_CLIENT_ATTRIB_STACK_DEPTH, &clientDepth);
        glGetIntegerv(GL_MAX_CLIENT_ATTRIB_STACK_DEPTH, &clientMost);
        if (depth >= most || clientDepth >= clientMost)
            return;
        glPushAttrib(GL_PIXEL_MODE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_ENABLE_BIT |
                     GL_CURRENT_BIT | GL_TRANSFORM_BIT);
        glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
        m_ok = true;
    }
    ~TransferState()
    {
        if (!m_ok)
            return;
        glPopClientAttrib();
        glPopAttrib();
    }
    TransferState(const TransferState&) = delete;
    TransferState& operator=(const TransferState&) = delete;
    bool Ok() const { return m_ok; }

private:
    bool m_ok = false;
};

void DefaultPixelStore(bool pack, GLint rowLength)
{
    glPixelStorei(pack ? GL_PACK_SWAP_BYTES : GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(pack ? GL_PACK_LSB_FIRST : GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(pack ? GL_PACK_ALIGNMENT : GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(pack ? GL_PACK_SKIP_PIXELS : GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(pack ? GL_PACK_SKIP_ROWS : GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(pack ? GL_PACK_ROW_LENGTH : GL_UNPACK_ROW_LENGTH, rowLength);
}

void IdentityTransfer()
{
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE, GL_DEPTH_SCALE})
        glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS, GL_DEPTH_BIAS})
        glPixelTransferf(bias, 0.0f);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelZoom(1.0f, 1.0f);
}

// The intersection of a GL rectangle with the viewport; false when empty.
bool ClipToViewport(const RECT& rect, const RECT& viewport, RECT& out)
{
    const RECT r{std::min(rect.left, rect.right), std::min(rect.top, rect.bottom), std::max(rect.left, rect.right),
                 std::max(rect.top, rect.bottom)};
    out = RECT{std::max(r.left, viewport.left), std::max(r.top, viewport.top), std::min(r.right, viewport.right),
               std::min(r.bottom, viewport.bottom)};
    return out.right > out.left && out.bottom > out.top;
}

// Projection and model-view over the viewport in window pixels.
void PushWindowProjection(const RECT& viewport, double zNear, double zFar)
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(viewport.left, viewport.right, viewport.top, viewport.bottom, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void PopWindowProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

bool RasterPositionValid()
{
    GLint valid = GL_FALSE;
    glGetIntegerv(GL_CURRENT_RASTER_POSITION_VALID, &valid);
    return valid == GL_TRUE;
}

// Fragments of glDrawPixels would otherwise be textured and fogged.
void PlainFragments()
{
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_FOG);
    glDisable(GL_ALPHA_TEST);
    glDisable(GL_LIGHTING);
}

} // namespace

void cGLRenderer::ReadColour(cRenderSurfaceColor* image, const RECT& rect, bool fromBack, float alphaBias,
                             float alphaScale)
{
    if (!image)
        return;
    RECT viewport, part;
    GetViewport(&viewport);
    if (!ClipToViewport(rect, viewport, part))
    {
        image->Release();
        return;
    }
    if (!image->Resize(part.left, part.top, part.right, part.bottom))
        return;
    if (!IsCurrent())
        return;
    TransferState state;
    if (!state.Ok())
        return;
    DefaultPixelStore(true, 0);
    IdentityTransfer();
    glPixelTransferf(GL_ALPHA_BIAS, alphaBias);
    glPixelTransferf(GL_ALPHA_SCALE, alphaScale);
    glReadBuffer(fromBack ? GL_BACK : GL_FRONT);
    glReadPixels(part.left, part.top, part.right - part.left, part.bottom - part.top, GL_RGBA, GL_UNSIGNED_BYTE,
                 image->GetPixels());
    image->SetFormat(kGlRgba);
}

void cGLRenderer::ReadDepth(cRenderSurfaceDepth* image, const RECT& rect, float depthBias, float depthScale)
{
    if (!image)
        return;
    RECT viewport, part;
    GetViewport(&viewport);
    if (!ClipToViewport(rect, viewport, part))
    {
        image->Release();
        return;
    }
    if (!image->Resize(part.left, part.top, part.right, part.bottom) || !IsCurrent())
        return;
    TransferState state;
    if (!state.Ok())
        return;
    DefaultPixelStore(true, 0);
    IdentityTransfer();
    glPixelTransferf(GL_DEPTH_BIAS, depthBias);
    glPixelTransferf(GL_DEPTH_SCALE, depthScale);
    glReadPixels(part.left, part.top, part.right - part.left, part.bottom - part.top, GL_DEPTH_COMPONENT, GL_FLOAT,
                 image->GetValues());
}

void cGLRenderer::ReadColourAndDepth(cRenderSurfaceColorDepth* pair, const RECT& rect)
{
    if (!pair)
        return;
    // Opaque colour whatever the frame buffer holds as alpha.
    ReadColour(&pair->colour, rect, true, 1.0f, 0.0f);
    ReadDepth(&pair->depth, rect, 0.0f, 1.0f);
}

void cGLRenderer::DrawColourPart(cRenderSurfaceColor* image, const RECT& part)
{
    GLint rowLength = GLint(image->GetWidth());
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, part.left - image->GetX0());
    glPixelStorei(GL_UNPACK_SKIP_ROWS, part.top - image->GetY0());
    glRasterPos2d(part.left, part.top);
    if (RasterPositionValid())
        glDrawPixels(part.right - part.left, part.bottom - part.top, GLenum(image->GetFormat()), GL_UNSIGNED_BYTE,
                     image->GetPixels());
}

void cGLRenderer::DrawColourRects(cRenderSurfaceColor* image, const RECT* rects, std::uint32_t count, bool toBack)
{
    if (!image || !image->HasPixels() || (image->GetFormat() != kGlRgba && image->GetFormat() != kGlBgraExt))
        return;
    if (!IsCurrent())
        return;
    RECT viewport;
    GetViewport(&viewport);
    const RECT whole{image->GetX0(), image->GetY0(), image->GetX1(), image->GetY1()};
    TransferState state;
    if (!state.Ok())
        return;
    DefaultPixelStore(false, 0);
    IdentityTransfer();
    PlainFragments();
    glDrawBuffer(toBack ? GL_BACK : GL_FRONT);
    glDisable(GL_DEPTH_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_FALSE);
    PushWindowProjection(viewport, -1.0, 1.0);
    const std::uint32_t n = rects && count ? count : 1;
    for (std::uint32_t i = 0; i < n; ++i)
    {
        RECT inImage, part;
        if (!ClipToViewport(rects && count ? rects[i] : whole, whole, inImage) ||
            !ClipToViewport(inImage, viewport, part))
            continue;
        DrawColourPart(image, part);
    }
    PopWindowProjection();
}

void cGLRenderer::DrawColour(cRenderSurfaceColor* image, const RECT* rect, bool toBack, int mode)
{
    if (mode == 0)
    {
        DrawColourRects(image, rect, rect ? 1 : 0, toBack);
        return;
    }
    if (!image || !image->HasPixels() || (image->GetFormat() != kGlRgba && image->GetFormat() != kGlBgraExt) ||
        !IsCurrent())
        return;
    TransferState state;
    if (!state.Ok())
        return;
    DefaultPixelStore(false, GLint(image->GetWidth()));
    IdentityTransfer();
    PlainFragments();
    glDrawBuffer(toBack ? GL_BACK : GL_FRONT);
    glDisable(GL_DEPTH_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthMask(GL_FALSE);
    const float* anchor = image->GetAnchor();
    glRasterPos3d(anchor[0], anchor[1], anchor[2]);
    if (RasterPositionValid())
        glDrawPixels(GLsizei(image->GetWidth()), GLsizei(image->GetHeight()), GLenum(image->GetFormat()),
                     GL_UNSIGNED_BYTE, image->GetPixels());
}

void cGLRenderer::DrawDepth(cRenderSurfaceDepth* image, int mode)
{
    if (!image || !image->HasValues() || !IsCurrent())
        return;
    RECT viewport;
    GetViewport(&viewport);
    TransferState state;
    if (!state.Ok())
        return;
    DefaultPixelStore(false, GLint(image->GetWidth()));
    IdentityTransfer();
    PlainFragments();
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_ALWAYS);
    if (mode == 0)
    {
        const RECT whole{image->GetX0(), image->GetY0(), image->GetX0() + LONG(image->GetWidth()),
                         image->GetY0() + LONG(image->GetHeight())};
        RECT part;
        if (ClipToViewport(whole, viewport, part))
        {
            PushWindowProjection(viewport, 0.0, 1.0);
            glPixelStorei(GL_UNPACK_SKIP_PIXELS, part.left - whole.left);
            glPixelStorei(GL_UNPACK_SKIP_ROWS, part.top - whole.top);
            glRasterPos2d(part.left, part.top);
            if (RasterPositionValid())
                glDrawPixels(part.right - part.left, part.bottom - part.top, GL_DEPTH_COMPONENT, GL_FLOAT,
                             image->GetValues());
            PopWindowProjection();
        }
    }
    else
    {
        const float* anchor = image->GetAnchor();
        glRasterPos3d(anchor[0], anchor[1], anchor[2]);
        if (RasterPositionValid())
            glDrawPixels(GLsizei(image->GetWidth()), GLsizei(image->GetHeight()), GL_DEPTH_COMPONENT, GL_FLOAT,
                         image->GetValues());
    }
    glFlush();
}

void cGLRenderer::DrawColourAndDepth(cRenderSurfaceColorDepth* pair, const RECT* rect, bool toBack, int mode)
{
    if (!pair)
        return;
    DrawColour(&pair->colour, rect, toBack, mode);
    DrawDepth(&pair->depth, mode);
}
