// Shared GL drawing routines of the frame, the host-geometry drawing, the
// per-object drawers and the interaction modes: the axis tripod, the
// background gradient and small markers. Each restores what it changes.
#pragma once

#include "core/polyline.h"
#include "platform/wgl/wgl.h"

#include <cstdint>

class cGLRenderer;

// The axis arrows scaled by `size`, with the letters X, Y and Z as
// billboards facing the eye.
void DrawAxisTripod(cGLRenderer* renderer, float size);
// A quad over the whole viewport, top colour above, bottom colour below,
// at the far end of the orthographic depth range.
void DrawBackgroundGradient(cGLRenderer* renderer, const float top[4], const float bottom[4]);
void DrawSphereMarkerGL(const float position[3], float radius);
// An arrow along the direction, shown through surfaces.
void DrawArrowGL(const float position[3], const float direction[3], float size);
void DrawOrientedCubeGL(const float position[3], const float direction[3], float size);
// The polyline's vertices as a line strip, then as points when asked; the
// line width and point size are put back.
template <class T>
void DrawPolylineGL(const tPolyline<T>& polyline, std::uint8_t r, std::uint8_t g, std::uint8_t b, float lineWidth,
                    bool drawPoints, float pointSize)
{
    GLfloat previousWidth = 1.0f, previousSize = 1.0f;
    glGetFloatv(GL_LINE_WIDTH, &previousWidth);
    glGetFloatv(GL_POINT_SIZE, &previousSize);
    glColor3ub(r, g, b);
    glLineWidth(lineWidth);
    glBegin(GL_LINE_STRIP);
    for (const T& p : polyline.vertices)
        glVertex3f(p.x, p.y, p.z);
    glEnd();
    if (drawPoints)
    {
        glPointSize(pointSize);
        glBegin(GL_POINTS);
        for (const T& p : polyline.vertices)
            glVertex3f(p.x, p.y, p.z);
        glEnd();
    }
    glLineWidth(previousWidth);
    glPointSize(previousSize);
}
