#include "support/view_test_support.h"

#include "core/mesh.h"
#include "core/mesh_object.h"
#include "platform/mfc/win_app.h"
#include "platform/win32/window_snapshot.h"

#include <cmath>
#include <cstring>

namespace testview
{

void MeshRenderer::RenderScene(I3DScene* scene, int, std::uint32_t)
{
    ++frames;
    if (!scene)
        return;
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_DITHER);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    PushViewTransform();
    std::unique_ptr<cSceneObjectIterator> it(scene->GetObjectIterator());
    for (it->First(); !it->IsDone(); it->Next())
    {
        auto* object = dynamic_cast<cMeshObject*>(it->Current().Get());
        if (!object)
            continue;
        cMesh& mesh = *object->GetMesh();
        glBegin(GL_TRIANGLES);
        for (std::uint32_t i = 0; i < mesh.GetTriangleCount(); ++i)
        {
            const cMeshTriangle& t = *mesh.GetTriangle(i);
            // One colour per face direction, so the turned box shows which
            // side faces the viewer.
            glColor3f(0.2f + 0.8f * std::fabs(t.nx), 0.2f + 0.8f * std::fabs(t.ny), 0.2f + 0.8f * std::fabs(t.nz));
            for (int k = 0; k < 3; ++k)
                glVertex3fv(mesh.GetVertex(t.vertexIndex[k])->Position());
        }
        glEnd();
    }
    PopViewTransform();
    glPopAttrib();
}

ISceneObject* MakeBoxObject(const float c[3], const float h[3])
{
    auto* object = new cMeshObject();
    cMesh& mesh = *object->GetMesh();
    for (int i = 0; i < 8; ++i)
    {
        const float p[3] = {c[0] + ((i & 1) ? h[0] : -h[0]), c[1] + ((i & 2) ? h[1] : -h[1]),
                            c[2] + ((i & 4) ? h[2] : -h[2])};
        mesh.AddVertex(p);
    }
    static const std::uint32_t faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                              {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces)
    {
        mesh.AddTriangle(f[0], f[1], f[2]);
        mesh.AddTriangle(f[0], f[2], f[3]);
    }
    mesh.Update();
    return object;
}

ViewFixture::ViewFixture(bool withBox)
{
    store.Init(L"Pellmark", L"VTL_4 For Dezaz");
    scene = std::make_unique<cP3DScene>(&store);
    if (withBox)
    {
        const float centre[3] = {0.0f, 0.0f, 0.0f}, half[3] = {1.0f, 0.6f, 0.4f};
        scene->AddObject(MakeBoxObject(centre, half));
    }
}

ViewFixture::~ViewFixture() { Close(); }

void ViewFixture::Open(C3DView* newView, int width, int height)
{
    view = newView;
    view->SetRenderer(&renderer);
    view->AttachScene(scene.get());
    view->CreateEx(0, nullptr, L"view", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr, nullptr);
    view->SendMessage(WM_INITIALUPDATE);
    view->ZoomAll();
}

void ViewFixture::Close()
{
    if (view && ::IsWindow(view->GetSafeHwnd()))
        view->DestroyWindow();
    view = nullptr;
}

void Press(C3DView* view, UINT message, POINT client)
{
    ::ClientToScreen(view->GetSafeHwnd(), &client);
    win32::InjectMouseButton(message, client);
    mfc::PumpUntilIdle();
}

void Move(C3DView* view, POINT client)
{
    ::ClientToScreen(view->GetSafeHwnd(), &client);
    win32::InjectMouseMove(client);
    mfc::PumpUntilIdle();
}

void Wheel(C3DView* view, POINT client, int delta)
{
    ::ClientToScreen(view->GetSafeHwnd(), &client);
    win32::InjectMouseWheel(client, delta);
    mfc::PumpUntilIdle();
}

wgl::PixelImage Frame(C3DView* view) { return wgl::ReadWindowImage(view->GetSafeHwnd()); }

void Snapshot(C3DView* view, const std::string& name) { win32::WriteSnapshotIfRequested(view->GetSafeHwnd(), name); }

POINT ScreenOf(C3DView* view, const float world[3])
{
    cBase3DRenderer* camera = view->GetCamera();
    const double* t = camera->GetViewTransform();
    const float* c = camera->GetSceneCentre();
    const double d[3] = {double(world[0]) - c[0], double(world[1]) - c[1], double(world[2]) - c[2]};
    const float vx = float(t[0] * d[0] + t[1] * d[1] + t[2] * d[2] + t[3]);
    const float vy = float(t[4] * d[0] + t[5] * d[1] + t[6] * d[2] + t[7]);
    POINT out{};
    camera->WorldToScreen(vx, vy, &out);
    return out;
}

void TurnPanAndZoom(C3DView* view)
{
    cBase3DRenderer* camera = view->GetCamera();
    double m[12];
    std::memcpy(m, camera->GetViewTransform(), sizeof m);
    // Rows of R are turned on the left: about the screen's vertical (y),
    // then its horizontal (x), so the turn is the one the screen shows.
    const double a = 0.5, b = 0.35;
    const double turn[9] = {std::cos(a), 0.0, std::sin(a), 0.0, 1.0, 0.0, -std::sin(a), 0.0, std::cos(a)};
    const double tilt[9] = {1.0, 0.0, 0.0, 0.0, std::cos(b), -std::sin(b), 0.0, std::sin(b), std::cos(b)};
    double both[9];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            both[3 * r + c] = tilt[3 * r] * turn[c] + tilt[3 * r + 1] * turn[3 + c] + tilt[3 * r + 2] * turn[6 + c];
    double turned[12];
    for (int r = 0; r < 3; ++r)
    {
        for (int c = 0; c < 3; ++c)
            turned[4 * r + c] = both[3 * r] * m[c] + both[3 * r + 1] * m[4 + c] + both[3 * r + 2] * m[8 + c];
        turned[4 * r + 3] = m[4 * r + 3];
    }
    float min[3], max[3];
    camera->GetSceneBox(min, max);
    const double width = double(max[0]) - min[0], height = double(max[1]) - min[1];
    turned[3] += 0.06 * width;
    turned[7] -= 0.06 * height;
    camera->SetViewTransform(turned);
    RECT client{};
    ::GetClientRect(view->GetSafeHwnd(), &client);
    POINT at{client.right / 3, client.bottom / 3};
    ::ClientToScreen(view->GetSafeHwnd(), &at);
    view->ZoomAtPoint(-0.06 * height, at);
    view->Redraw(kFullRedraw);
}

} // namespace testview
