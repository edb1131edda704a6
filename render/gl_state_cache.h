// Records of GL state that remember the value last given to GL and call GL
// only when a wanted value differs from it. A drawing routine loads the
// current value when it starts, sets what it needs through the record, and
// restores the loaded value at the end: only real changes reach GL.
#pragma once

#include "platform/wgl/wgl.h"

#include <array>
#include <utility>

template <class T> class tGLStateCache
{
public:
    using Setter = void (*)(const T&);
    using Getter = T (*)();

    tGLStateCache(Getter get, Setter set) : m_get(get), m_set(set) {}

    // The value GL holds now becomes both the last given and the saved one.
    void Load()
    {
        m_given = m_get();
        m_saved = m_given;
        m_known = true;
    }
    void Set(const T& wanted)
    {
        if (m_known && wanted == m_given)
            return;
        m_set(wanted);
        m_given = wanted;
        m_known = true;
    }
    // Back to the value loaded last.
    void Restore() { Set(m_saved); }
    const T& GetGiven() const { return m_given; }
    const T& GetSaved() const { return m_saved; }

private:
    Getter m_get;
    Setter m_set;
    T m_given{};
    T m_saved{};
    bool m_known = false;
};

namespace glstate
{

inline GLint GetInt(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}
inline GLfloat GetFloat(GLenum name)
{
    GLfloat value = 0;
    glGetFloatv(name, &value);
    return value;
}

} // namespace glstate

class cShadeModelCache : public tGLStateCache<GLenum>
{
public:
    cShadeModelCache()
        : tGLStateCache([] { return GLenum(glstate::GetInt(GL_SHADE_MODEL)); },
                        [](const GLenum& mode) { glShadeModel(mode); })
    {
    }
};

class cBlendFuncCache : public tGLStateCache<std::pair<GLenum, GLenum>>
{
public:
    cBlendFuncCache()
        : tGLStateCache([] { return std::pair<GLenum, GLenum>(GLenum(glstate::GetInt(GL_BLEND_SRC)),
                                                              GLenum(glstate::GetInt(GL_BLEND_DST))); },
                        [](const std::pair<GLenum, GLenum>& f) { glBlendFunc(f.first, f.second); })
    {
    }
};

class cPolygonOffsetCache : public tGLStateCache<std::pair<GLfloat, GLfloat>>
{
public:
    cPolygonOffsetCache()
        : tGLStateCache([] { return std::pair<GLfloat, GLfloat>(glstate::GetFloat(GL_POLYGON_OFFSET_FACTOR),
                                                                glstate::GetFloat(GL_POLYGON_OFFSET_UNITS)); },
                        [](const std::pair<GLfloat, GLfloat>& o) { glPolygonOffset(o.first, o.second); })
    {
    }
};

class cDepthMaskCache : public tGLStateCache<GLboolean>
{
public:
    cDepthMaskCache()
        : tGLStateCache(
              [] {
                  GLboolean mask = GL_TRUE;
                  glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
                  return mask;
              },
              [](const GLboolean& mask) { glDepthMask(mask); })
    {
    }
};

class cLineWidthCache : public tGLStateCache<GLfloat>
{
public:
    cLineWidthCache()
        : tGLStateCache([] { return glstate::GetFloat(GL_LINE_WIDTH); },
                        [](const GLfloat& width) { glLineWidth(width); })
    {
    }
};

class cDepthFuncCache : public tGLStateCache<GLenum>
{
public:
    cDepthFuncCache()
        : tGLStateCache([] { return GLenum(glstate::GetInt(GL_DEPTH_FUNC)); },
                        [](const GLenum& func) { glDepthFunc(func); })
    {
    }
};

class cMatrixModeCache : public tGLStateCache<GLenum>
{
public:
    cMatrixModeCache()
        : tGLStateCache([] { return GLenum(glstate::GetInt(GL_MATRIX_MODE)); },
                        [](const GLenum& mode) { glMatrixMode(mode); })
    {
    }
};

// Front and back polygon modes, set together.
class cPolygonModeCache : public tGLStateCache<std::pair<GLenum, GLenum>>
{
public:
    cPolygonModeCache()
        : tGLStateCache(
              [] {
                  GLint modes[2] = {GL_FILL, GL_FILL};
                  glGetIntegerv(GL_POLYGON_MODE, modes);
                  return std::pair<GLenum, GLenum>(GLenum(modes[0]), GLenum(modes[1]));
              },
              [](const std::pair<GLenum, GLenum>& m) {
                  glPolygonMode(GL_FRONT, m.first);
                  glPolygonMode(GL_BACK, m.second);
              })
    {
    }
};

// The red, green, blue and alpha scales and biases of the pixel transfer,
// read in one call and put back together.
class cPixelTransferCache : public tGLStateCache<std::array<GLfloat, 8>>
{
public:
    cPixelTransferCache()
        : tGLStateCache(
              [] {
                  std::array<GLfloat, 8> v{};
                  for (std::size_t i = 0; i < 8; ++i)
                      v[i] = glstate::GetFloat(kNames[i]);
                  return v;
              },
              [](const std::array<GLfloat, 8>& v) {
                  for (std::size_t i = 0; i < 8; ++i)
                      glPixelTransferf(kNames[i], v[i]);
              })
    {
    }

private:
    static constexpr GLenum kNames[8] = {GL_RED_SCALE, GL_GREEN_SCALE, GL_BLUE_SCALE, GL_ALPHA_SCALE,
                                         GL_RED_BIAS,  GL_GREEN_BIAS,  GL_BLUE_BIAS,  GL_ALPHA_BIAS};
};
