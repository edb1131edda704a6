// Quality render meshes of the host-bound sphere and cylinder drawn with
// Mesa's software rasteriser: the silhouette must cover the area that the
// exact surface projects to, so a mesh with gaps, flipped or missing faces,
// or a wrong size fails.
#include "platform/wgl/pixel_probe.h"
#include "platform/wgl/wgl.h"
#include "platform/win32/win32.h"
#include "platform/win32/window_snapshot.h"
#include "shapes/host_primitives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{

constexpr LONG kSize = 256;
// The view shows world x and y in [-2, 2]; one pixel is 4 / kSize units.
constexpr double kHalfView = 2.0;

LRESULT PlainProc(HWND window, UINT message, WPARAM w, LPARAM l)
{
    return DefWindowProcW(window, message, w, l);
}

class RenderWindow
{
public:
    RenderWindow()
    {
        WNDCLASSW wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = &PlainProc;
        wc.lpszClassName = L"HostMeshRenderTest";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"HostMeshRenderTest", L"", WS_POPUP | WS_VISIBLE, 0, 0, kSize, kSize, nullptr,
                                 nullptr, nullptr, nullptr);
        dc = GetDC(window);
        PIXELFORMATDESCRIPTOR pfd{};
        pfd.nSize = sizeof(pfd);
        pfd.nVersion = 1;
        pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
        pfd.iPixelType = PFD_TYPE_RGBA;
        pfd.cColorBits = 32;
        pfd.cRedBits = pfd.cGreenBits = pfd.cBlueBits = 8;
        pfd.cDepthBits = 24;
        const int format = ChoosePixelFormat(dc, &pfd);
        if (format != 0 && SetPixelFormat(dc, format, &pfd))
            context = wglCreateContext(dc);
        if (context != nullptr && !wglMakeCurrent(dc, context))
        {
            wglDeleteContext(context);
            context = nullptr;
        }
    }
    ~RenderWindow()
    {
        if (context != nullptr)
        {
            wglMakeCurrent(nullptr, nullptr);
            wglDeleteContext(context);
        }
        ReleaseDC(window, dc);
        DestroyWindow(window);
    }

    // White triangles on black, looking down -z with an orthographic view.
    std::size_t DrawAndCount(const ON_SimpleArray<ON_Mesh*>& meshes, const std::string& name)
    {
        glViewport(0, 0, kSize, kSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-kHalfView, kHalfView, -kHalfView, kHalfView, -10, 10);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DITHER);
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glColor3f(1, 1, 1);
        glBegin(GL_TRIANGLES);
        for (const ON_Mesh* mesh : meshes)
        {
            for (const ON_MeshFace& f : mesh->m_F)
            {
                const int corners[2][3] = {{f.vi[0], f.vi[1], f.vi[2]}, {f.vi[0], f.vi[2], f.vi[3]}};
                for (int t = 0; t < (f.IsQuad() ? 2 : 1); ++t)
                    for (int k : corners[t])
                        glVertex3f(mesh->m_V[k].x, mesh->m_V[k].y, mesh->m_V[k].z);
            }
        }
        glEnd();
        glFinish();
        const wgl::PixelImage image = wgl::ReadGlPixels(0, 0, kSize, kSize);
        SwapBuffers(dc);
        win32::WriteSnapshotIfRequested(window, name);
        return wgl::CountPixels(image, wgl::Rgb(255, 255, 255), 8);
    }

    HWND window = nullptr;
    HDC dc = nullptr;
    HGLRC context = nullptr;
};

double PixelsOfArea(double area)
{
    const double unitsPerPixel = 2.0 * kHalfView / kSize;
    return area / (unitsPerPixel * unitsPerPixel);
}

void FreeMeshes(ON_SimpleArray<ON_Mesh*>& meshes)
{
    for (ON_Mesh* m : meshes)
        delete m;
    meshes.Empty();
}

} // namespace

TEST(HostMeshRender, SphereSilhouetteMatchesItsProjectedDisc)
{
    RenderWindow gl;
    ASSERT_NE(gl.context, nullptr);
    Dezaz_Sphere sphere;
    const double c[3] = {0.1, -0.2, 0.3};
    const double r = 1.5;
    sphere.SetCentreAndRadius(c, r);
    ON_SimpleArray<ON_Mesh*> meshes;
    sphere.GetMeshes(meshes);
    ASSERT_EQ(meshes.Count(), 1);
    const double expected = PixelsOfArea(ON_PI * r * r);
    EXPECT_NEAR(static_cast<double>(gl.DrawAndCount(meshes, "host_sphere_quality")), expected, 0.02 * expected);
    FreeMeshes(meshes);

    // Turned so that the poles face the viewer: the disc stays the same.
    const double tilt[12] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0};
    sphere.Transform(tilt);
    sphere.GetMeshes(meshes);
    EXPECT_NEAR(static_cast<double>(gl.DrawAndCount(meshes, "host_sphere_poles")), expected, 0.02 * expected);
    FreeMeshes(meshes);
}

TEST(HostMeshRender, CylinderSilhouetteMatchesItsProjection)
{
    RenderWindow gl;
    ASSERT_NE(gl.context, nullptr);
    const double r = 0.8, h = 2.4;
    // From the side: a rectangle 2r by h.
    {
        Dezaz_Cylinder cylinder;
        const double b[3] = {0, -1.2, 0}, a[3] = {0, 1, 0};
        cylinder.SetAxis(b, a, r, h);
        ON_SimpleArray<ON_Mesh*> meshes;
        cylinder.GetMeshes(meshes);
        ASSERT_EQ(meshes.Count(), 1);
        const double expected = PixelsOfArea(2.0 * r * h);
        EXPECT_NEAR(static_cast<double>(gl.DrawAndCount(meshes, "host_cylinder_side")), expected, 0.03 * expected);
        FreeMeshes(meshes);
    }
    // Tilted by theta from the view direction: a band 2r by h sin(theta)
    // closed by the two half ellipses of the open ends.
    {
        const double theta = ON_PI / 4.0;
        Dezaz_Cylinder cylinder;
        const double a[3] = {0, std::sin(theta), std::cos(theta)};
        const double b[3] = {0, -0.5 * h * a[1], -0.5 * h * a[2]};
        cylinder.SetAxis(b, a, r, h);
        ON_SimpleArray<ON_Mesh*> meshes;
        cylinder.GetMeshes(meshes);
        const double expected = PixelsOfArea(2.0 * r * h * std::sin(theta) + ON_PI * r * r * std::cos(theta));
        EXPECT_NEAR(static_cast<double>(gl.DrawAndCount(meshes, "host_cylinder_tilted")), expected, 0.03 * expected);
        FreeMeshes(meshes);
    }
}
