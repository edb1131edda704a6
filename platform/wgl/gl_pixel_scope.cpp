#define GL_GLEXT_PROTOTYPES 1
#include "platform/wgl/gl_pixel_scope.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <initializer_list>

namespace wgl::detail
{
namespace
{

int GetInt(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

void SetDefaultPixelStore()
{
    glPixelStorei(GL_PACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_UNPACK_SWAP_BYTES, GL_FALSE);
    glPixelStorei(GL_PACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_IMAGE_HEIGHT, 0);
    glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
    glPixelStorei(GL_PACK_SKIP_IMAGES, 0);
    glPixelStorei(GL_UNPACK_SKIP_IMAGES, 0);
}

void SetIdentityPixelTransfer()
{
    for (GLenum scale : {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE, GL_DEPTH_SCALE})
        glPixelTransferf(scale, 1.0f);
    for (GLenum bias : {GL_RED_BIAS, GL_GREEN_BIAS, GL_BLUE_BIAS, GL_ALPHA_BIAS, GL_DEPTH_BIAS})
        glPixelTransferf(bias, 0.0f);
    glPixelTransferi(GL_MAP_COLOR, GL_FALSE);
    glPixelTransferi(GL_MAP_STENCIL, GL_FALSE);
    glPixelTransferi(GL_INDEX_SHIFT, 0);
    glPixelTransferi(GL_INDEX_OFFSET, 0);
    glPixelZoom(1.0f, 1.0f);
}

// Fragments of glDrawPixels pass texturing, fog and the per-fragment
// operations; a raw copy must bypass all of them.
void DisableFragmentOperations()
{
    GLint units = GetInt(GL_MAX_TEXTURE_UNITS);
    for (GLint unit = 0; unit < units; ++unit)
    {
        glActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
        for (GLenum target : {GL_TEXTURE_1D, GL_TEXTURE_2D, GL_TEXTURE_3D, GL_TEXTURE_CUBE_MAP})
            glDisable(target);
    }
    glActiveTexture(GL_TEXTURE0);
    for (GLenum cap : {GL_FOG, GL_BLEND, GL_ALPHA_TEST, GL_STENCIL_TEST, GL_SCISSOR_TEST, GL_COLOR_LOGIC_OP,
                       GL_INDEX_LOGIC_OP, GL_DITHER, GL_COLOR_SUM, GL_MULTISAMPLE, GL_DEPTH_TEST})
        glDisable(cap);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
}

} // namespace

GlPixelScope::GlPixelScope()
{
    if (GetInt(GL_ATTRIB_STACK_DEPTH) >= GetInt(GL_MAX_ATTRIB_STACK_DEPTH) ||
        GetInt(GL_CLIENT_ATTRIB_STACK_DEPTH) >= GetInt(GL_MAX_CLIENT_ATTRIB_STACK_DEPTH))
        return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    // Bindings that the attribute stacks do not hold but that would redirect
    // the transfer (buffer objects, framebuffers, shaders).
    packBuffer_ = GetInt(GL_PIXEL_PACK_BUFFER_BINDING);
    unpackBuffer_ = GetInt(GL_PIXEL_UNPACK_BUFFER_BINDING);
    readFramebuffer_ = GetInt(GL_READ_FRAMEBUFFER_BINDING);
    drawFramebuffer_ = GetInt(GL_DRAW_FRAMEBUFFER_BINDING);
    program_ = GetInt(GL_CURRENT_PROGRAM);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glUseProgram(0);
    SetDefaultPixelStore();
    SetIdentityPixelTransfer();
    DisableFragmentOperations();
    ok_ = true;
}

GlPixelScope::~GlPixelScope()
{
    if (!ok_)
        return;
    glUseProgram(static_cast<GLuint>(program_));
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer_));
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(drawFramebuffer_));
    glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer_));
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, static_cast<GLuint>(unpackBuffer_));
    glPopClientAttrib();
    glPopAttrib();
}

void GlPixelScope::SetUnpackWindow(int rowLength, int skipPixels, int skipRows)
{
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows);
}

} // namespace wgl::detail
