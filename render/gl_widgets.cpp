#include "render/gl_widgets.h"

#include "core/frame_math.h"
#include "platform/gdiplus/gdiplus.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/resource_data.h"
#include "render/gdiplus_guard.h"
#include "render/gl_renderer.h"
#include "render/renderer_resources.h"
#include "render/rgb_image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace
{

constexpr std::uint32_t kFailure = 0xFFFFFFFFu;

bool IsPowerOfTwo(std::uint32_t v) { return v && !(v & (v - 1)); }

GLUquadric* NewQuadric(bool smoothNormals)
{
    GLUquadric* quadric = gluNewQuadric();
    if (quadric)
    {
        gluQuadricDrawStyle(quadric, GLU_FILL);
        gluQuadricNormals(quadric, smoothNormals ? GLU_SMOOTH : GLU_FLAT);
    }
    return quadric;
}

// Shaft along +z with a cone at `coneAt`.
void Arrow(GLUquadric* quadric, double shaftRadius, double shaftLength, double coneAt, double coneBase,
           double coneHeight, bool cap)
{
    gluCylinder(quadric, shaftRadius, shaftRadius, shaftLength, 12, 3);
    glPushMatrix();
    glTranslated(0.0, 0.0, coneAt);
    gluCylinder(quadric, coneBase, 0.0, coneHeight, 12, 3);
    if (cap)
        gluDisk(quadric, 0.0, coneBase, 12, 3);
    glPopMatrix();
}

void BuildList(GLuint name, void (*body)())
{
    if (glIsList(name))
        return;
    glNewList(name, GL_COMPILE);
    body();
    glEndList();
}

// The frame of an arrow or cube: the direction as z, the coordinate axis of
// its smallest component as the reference.
void MultiplyArrowFrame(const float position[3], const float direction[3], float size)
{
    const float ax = std::fabs(direction[0]), ay = std::fabs(direction[1]), az = std::fabs(direction[2]);
    float reference[3] = {0.0f, 0.0f, 0.0f};
    if (ax <= ay && ax <= az)
        reference[0] = 1.0f;
    else if (ay <= az)
        reference[1] = 1.0f;
    else
        reference[2] = 1.0f;
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    double frame[12];
    BuildFrameFromAxes(frame, origin, direction, reference);
    const GLfloat matrix[16] = {float(frame[0]), float(frame[4]), float(frame[8]),  0.0f,
                                float(frame[1]), float(frame[5]), float(frame[9]),  0.0f,
                                float(frame[2]), float(frame[6]), float(frame[10]), 0.0f,
                                float(frame[3]), float(frame[7]), float(frame[11]), 1.0f};
    glTranslatef(position[0], position[1], position[2]);
    glMultMatrixf(matrix);
    glScalef(size, size, size);
}

} // namespace

void cGLRenderer::BuildWidgetLists()
{
    BuildList(kListArrow, [] {
        if (GLUquadric* q = NewQuadric(true))
        {
            Arrow(q, 0.04f, 0.2, 0.2, 0.08, 0.25, true);
            gluDeleteQuadric(q);
        }
    });
    BuildList(kListUnitCube, [] {
        static const float v[8][3] = {{-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {0.5f, 0.5f, -0.5f},
                                      {-0.5f, 0.5f, -0.5f},  {-0.5f, -0.5f, 0.5f}, {0.5f, -0.5f, 0.5f},
                                      {0.5f, 0.5f, 0.5f},    {-0.5f, 0.5f, 0.5f}};
        static const int faces[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4},
                                        {2, 3, 7, 6}, {1, 2, 6, 5}, {0, 4, 7, 3}};
        glBegin(GL_QUADS);
        for (const auto& face : faces)
            for (int corner : face)
                glVertex3fv(v[corner]);
        glEnd();
    });
    BuildList(kListUnitCircle, [] {
        glBegin(GL_LINE_LOOP);
        for (int degrees = 0; degrees < 360; degrees += 5)
        {
            const double a = degrees * M_PI / 180.0;
            glVertex2d(std::cos(a), std::sin(a));
        }
        glEnd();
    });
    BuildList(kListUnitSquare, [] {
        glBegin(GL_LINE_LOOP);
        glVertex2f(1.0f, 1.0f);
        glVertex2f(-1.0f, 1.0f);
        glVertex2f(-1.0f, -1.0f);
        glVertex2f(1.0f, -1.0f);
        glEnd();
    });
    BuildList(kListAxisArrows, [] {
        GLUquadric* q = NewQuadric(true);
        if (!q)
            return;
        glColor3f(0.7056f, 0.0f, 0.0f);
        glPushMatrix();
        glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
        Arrow(q, 0.008f, 0.3f, 0.285, 0.032, 0.05, false);
        glPopMatrix();
        glColor3f(0.0f, 0.7056f, 0.0f);
        glPushMatrix();
        glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
        Arrow(q, 0.008f, 0.3f, 0.285, 0.032, 0.05, false);
        glPopMatrix();
        glColor3f(0.0f, 0.0f, 0.7056f);
        Arrow(q, 0.008f, 0.3f, 0.285, 0.032, 0.05, false);
        gluDeleteQuadric(q);
    });
    BuildList(kListAxisCross, [] {
        glColor3f(1.0f, 1.0f, 1.0f);
        glBegin(GL_LINES);
        for (int axis = 0; axis < 3; ++axis)
            for (float from : {-0.8f, 0.2f})
            {
                float a[3] = {0, 0, 0}, b[3] = {0, 0, 0};
                a[axis] = from;
                b[axis] = from + 0.6f;
                glVertex3fv(a);
                glVertex3fv(b);
            }
        glEnd();
    });
    BuildList(kListUnitSphere, [] {
        if (GLUquadric* q = NewQuadric(true))
        {
            gluSphere(q, 1.0, 10, 10);
            gluDeleteQuadric(q);
        }
    });
}

void cGLRenderer::LoadAxisLetterTexture()
{
    m_letterTexture = 0;
    m_letterWidth = m_letterHeight = 0;
    cGdiplusGuard guard;
    HINSTANCE module = AfxGetResourceHandle();
    // The renderer carries its own letters; a module that did not register
    // them gets them now.
    if (!FindResourceW(module, MAKEINTRESOURCEW(kAxisLetterBitmap), RT_BITMAP))
        RegisterRendererResources(module);
    GpBitmap* bitmap = nullptr;
    if (GdipCreateBitmapFromResource(module, MAKEINTRESOURCEW(kAxisLetterBitmap), &bitmap) != Ok)
        return;
    UINT width = 0, height = 0;
    PixelFormat format = 0;
    GdipGetImageWidth(bitmap, &width);
    GdipGetImageHeight(bitmap, &height);
    GdipGetImagePixelFormat(bitmap, &format);
    BitmapData data{};
    const bool usable = (format == PixelFormat24bppRGB || format == PixelFormat32bppRGB ||
                         format == PixelFormat32bppARGB) &&
                        IsPowerOfTwo(width) && IsPowerOfTwo(height) &&
                        GdipBitmapLockBits(bitmap, nullptr, ImageLockModeRead, PixelFormat32bppARGB, &data) == Ok;
    if (!usable)
    {
        GdipDisposeImage(bitmap);
        return;
    }
    // GL rows run bottom-up: the bitmap's last row first. 24-bit letters are
    // keyed on the first stored pixel (bottom left); 32-bit ones keep alpha.
    std::vector<std::uint32_t> rgba(std::size_t(width) * height);
    const auto* bottom = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(data.Scan0) +
                                                                 std::ptrdiff_t(height - 1) * data.Stride);
    const std::uint32_t key = bottom[0] & 0x00FFFFFFu;
    const bool keyed = format != PixelFormat32bppARGB;
    for (UINT y = 0; y < height; ++y)
    {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::uint8_t*>(data.Scan0) +
                                                                  std::ptrdiff_t(height - 1 - y) * data.Stride);
        for (UINT x = 0; x < width; ++x)
        {
            const std::uint32_t colour = row[x] & 0x00FFFFFFu;
            rgba[std::size_t(y) * width + x] =
                keyed ? (colour == key ? 0u : (colour | 0xFF000000u)) : row[x];
        }
    }
    GdipBitmapUnlockBits(bitmap, &data);
    GdipDisposeImage(bitmap);

    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (!texture)
        return;
    GLint previous = 0, alignment = 4;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(width), GLsizei(height), 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE,
                 rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    m_letterTexture = texture;
    m_letterWidth = width;
    m_letterHeight = height;
}

std::uint32_t cGLRenderer::UploadTexture(const cRGBImage* image)
{
    if (!image || !image->HasPixels() || image->GetWidth() == 0 || image->GetHeight() == 0)
        return kFailure;
    const bool wasCurrent = IsCurrent();
    if (!wasCurrent)
        MakeCurrent();
    // The rows go up tightly packed with an unpack alignment of 1, so the
    // layout GL reads is the layout of the buffer it is given whatever the
    // image's own row padding; this GL takes any texture size.
    const std::uint32_t width = image->GetWidth(), height = image->GetHeight();
    std::vector<std::uint8_t> packed(std::size_t(width) * 3 * height);
    for (std::uint32_t y = 0; y < height; ++y)
        std::copy_n(image->Row(y), std::size_t(width) * 3, packed.begin() + std::ptrdiff_t(y) * width * 3);
    GLint alignment = 4, rowLength = 0, skipPixels = 0, skipRows = 0, previous = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &skipPixels);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &skipRows);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &previous);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    // Errors left by earlier calls must not be taken for this upload's.
    while (glGetError() != GL_NO_ERROR)
        ;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, GLsizei(width), GLsizei(height), 0, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                 packed.data());
    // An image larger than this GL takes, or one it has no memory for,
    // leaves an empty texture: give no name rather than one that draws
    // nothing.
    const bool uploaded = glGetError() == GL_NO_ERROR;
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, rowLength);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, skipPixels);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, skipRows);
    glBindTexture(GL_TEXTURE_2D, GLuint(previous));
    if (!uploaded)
        glDeleteTextures(1, &texture);
    if (!wasCurrent)
        RestoreCurrent();
    return uploaded ? texture : kFailure;
}

void DrawAxisTripod(cGLRenderer* renderer, float size)
{
    if (!renderer)
        return;
    glPushAttrib(GL_VIEWPORT_BIT | GL_TRANSFORM_BIT | GL_TEXTURE_BIT | GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT |
                 GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT);
    glMatrixMode(GL_MODELVIEW);
    glEnable(GL_DEPTH_TEST);
    glShadeModel(GL_FLAT);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glBindTexture(GL_TEXTURE_2D, renderer->GetAxisLetterTexture());

    // The eye's right and up directions in model coordinates are the first
    // two rows of the model-view rotation.
    GLfloat m[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, m);
    const float h = float(renderer->GetAxisLetterHeight());
    const float right[3] = {m[0] * h, m[4] * h, m[8] * h};
    const float up[3] = {m[1] * h, m[5] * h, m[9] * h};
    struct Letter
    {
        float centre[3];
        float u0;
        float depth;
    };
    std::array<Letter, 3> letters{};
    for (int axis = 0; axis < 3; ++axis)
    {
        Letter& letter = letters[std::size_t(axis)];
        letter.centre[0] = letter.centre[1] = letter.centre[2] = 0.0f;
        letter.centre[axis] = h / 2.0f + 0.35f * size;
        letter.u0 = 0.25f * float(axis);
        letter.depth = m[2] * letter.centre[0] + m[6] * letter.centre[1] + m[10] * letter.centre[2] + m[14];
    }
    // Farthest first (most negative eye z).
    std::sort(letters.begin(), letters.end(), [](const Letter& a, const Letter& b) { return a.depth < b.depth; });

    for (int pass = 0; pass < 2; ++pass)
    {
        glDepthFunc(pass == 0 ? GL_GEQUAL : GL_LEQUAL);
        glDisable(GL_TEXTURE_2D);
        glDisable(GL_BLEND);
        glPushMatrix();
        glScalef(size, size, size);
        glCallList(cGLRenderer::kListAxisArrows);
        glPopMatrix();
        glColor4f(1.0f, 1.0f, 1.0f, pass == 0 ? 0.0f : 1.0f);
        glEnable(GL_TEXTURE_2D);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBegin(GL_QUADS);
        for (const Letter& letter : letters)
        {
            const float* c = letter.centre;
            const float corners[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
            const float us[4] = {letter.u0, letter.u0 + 0.25f, letter.u0 + 0.25f, letter.u0};
            const float vs[4] = {0.0f, 0.0f, 1.0f, 1.0f};
            for (int k = 0; k < 4; ++k)
            {
                glTexCoord2f(us[k], vs[k]);
                glVertex3f(c[0] + corners[k][0] * right[0] + corners[k][1] * up[0],
                           c[1] + corners[k][0] * right[1] + corners[k][1] * up[1],
                           c[2] + corners[k][0] * right[2] + corners[k][1] * up[2]);
            }
        }
        glEnd();
    }
    glPopAttrib();
}

void DrawBackgroundGradient(cGLRenderer* renderer, const float top[4], const float bottom[4])
{
    if (!renderer)
        return;
    RECT viewport;
    renderer->GetViewport(&viewport);
    const double width = viewport.right - viewport.left, height = viewport.bottom - viewport.top;
    glPushAttrib(GL_LIGHTING_BIT | GL_ENABLE_BIT | GL_POLYGON_BIT | GL_CURRENT_BIT | GL_TRANSFORM_BIT);
    glDisable(GL_LIGHTING);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, renderer->GetOrthoNear() - 1.0, renderer->GetOrthoFar() + 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPolygonMode(GL_FRONT, GL_FILL);
    glShadeModel(GL_SMOOTH);
    // At z = near the quad lies at the far end of the depth range: the
    // orthographic depth runs from -near to -far along the view axis.
    const float z = renderer->GetOrthoNear();
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    glColor4fv(bottom);
    glVertex3f(0.0f, 0.0f, z);
    glVertex3f(float(width), 0.0f, z);
    glColor4fv(top);
    glVertex3f(float(width), float(height), z);
    glVertex3f(0.0f, float(height), z);
    glEnd();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}

void DrawSphereMarkerGL(const float position[3], float radius)
{
    GLint hint = GL_DONT_CARE;
    glGetIntegerv(GL_LINE_SMOOTH_HINT, &hint);
    const GLboolean smooth = glIsEnabled(GL_LINE_SMOOTH);
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glPushMatrix();
    glTranslatef(position[0], position[1], position[2]);
    glScalef(radius, radius, radius);
    glCallList(cGLRenderer::kListUnitSphere);
    glPopMatrix();
    glDisable(GL_BLEND);
    glHint(GL_LINE_SMOOTH_HINT, GLenum(hint));
    if (!smooth)
        glDisable(GL_LINE_SMOOTH);
}

void DrawArrowGL(const float position[3], const float direction[3], float size)
{
    const GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    GLint depthFunc = GL_LESS;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glPushMatrix();
    MultiplyArrowFrame(position, direction, size);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glCallList(cGLRenderer::kListArrow);
    glDepthFunc(GL_LEQUAL);
    glCallList(cGLRenderer::kListArrow);
    glPopMatrix();
    glDepthFunc(GLenum(depthFunc));
    if (!depthTest)
        glDisable(GL_DEPTH_TEST);
}

void DrawOrientedCubeGL(const float position[3], const float direction[3], float size)
{
    glPushMatrix();
    MultiplyArrowFrame(position, direction, size);
    glCallList(cGLRenderer::kListUnitCube);
    glPopMatrix();
}
