// Internal to the GL layer: a scope in which raw pixel reads and draws see
// the default pixel pipeline, with every GL state it changes put back when
// the scope ends, so that callers find their state as they left it.
#pragma once

namespace wgl::detail
{

class GlPixelScope
{
public:
    GlPixelScope();
    ~GlPixelScope();
    GlPixelScope(const GlPixelScope&) = delete;
    GlPixelScope& operator=(const GlPixelScope&) = delete;

    // False when the attribute stacks were full: nothing was changed then
    // and the caller must not touch the pixels.
    bool Ok() const { return ok_; }

    // Pixel store of one transfer: rows of rowLength pixels, starting at the
    // given pixel and row of the client buffer.
    static void SetUnpackWindow(int rowLength, int skipPixels, int skipRows);

private:
    bool ok_ = false;
    int packBuffer_ = 0;
    int unpackBuffer_ = 0;
    int readFramebuffer_ = 0;
    int drawFramebuffer_ = 0;
    int program_ = 0;
};

} // namespace wgl::detail
