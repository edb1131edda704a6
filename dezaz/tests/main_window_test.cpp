#include "dezaz/main_window.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/win32/menu.h"
#include "platform/win32/window.h"
#include "platform/win32/window_snapshot.h"

#include <gtest/gtest.h>

namespace
{

// Dark pixels (text) inside a band of rows.
int DarkPixels(const win32::ClientImage& image, int top, int bottom)
{
    int count = 0;
    for (int y = std::max(top, 0); y < std::min<int>(bottom, image.height); ++y)
        for (int x = 0; x < image.width; ++x)
        {
            const std::uint32_t p = image.pixels[static_cast<std::size_t>(y) * image.width + x];
            const int r = p >> 16 & 0xFF, g = p >> 8 & 0xFF, b = p & 0xFF;
            count += r + g + b < 300 ? 1 : 0;
        }
    return count;
}

TEST(MainWindow, ShowsTheMenuBarTheDocumentsObjectsAndTheCommandLine)
{
    HMENU bar = CreateMenu();
    HMENU popup = CreatePopupMenu();
    AppendMenuW(popup, MF_STRING, 1, L"Shapes ...");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), L"Vantrell");
    dezaz::SetHostMenu(bar);
    CDezazDoc& doc = DezazApp().ActiveDoc();
    doc.Clear();
    DezazApp().ClearCommandLineText();

    HWND window = dezaz::CreateMainWindow();
    ASSERT_NE(window, nullptr);
    dezaz::RefreshMainWindow(window);
    win32::ClientImage empty = win32::ComposeWindowImage(window);
    ASSERT_GT(empty.width, 0);
    const int body_top = 60, command_top = empty.height - 14 * 18;
    EXPECT_GT(DarkPixels(empty, 0, 24), 20);                 // the menu title
    EXPECT_EQ(DarkPixels(empty, body_top, command_top), 0); // no objects
    EXPECT_EQ(DarkPixels(empty, command_top, empty.height), 0);
    // The menu band and the page differ, as a person sees them apart.
    EXPECT_NE(empty.pixels[5 * empty.width + empty.width - 5], empty.pixels[300 * empty.width + empty.width - 5]);

    ON_Mesh mesh;
    mesh.SetVertex(0, ON_3dPoint(0, 0, 0));
    mesh.SetVertex(1, ON_3dPoint(1, 0, 0));
    mesh.SetVertex(2, ON_3dPoint(0, 1, 0));
    mesh.SetTriangle(0, 0, 1, 2);
    for (int i = 0; i < 3; ++i)
        doc.AddMeshObject(mesh);
    DezazApp().Print(L"Imported 1 triangles and 3 vertices from tri.stl.\n");
    dezaz::RefreshMainWindow(window);
    win32::ClientImage full = win32::ComposeWindowImage(window);
    win32::WriteSnapshotIfRequested(window, "dezaz_main_window");
    // One line of text per object below the document line.
    const int per_line = DarkPixels(full, body_top, body_top + 18);
    EXPECT_GT(per_line, 20);
    EXPECT_GT(DarkPixels(full, body_top, body_top + 3 * 18), 2 * per_line);
    EXPECT_EQ(DarkPixels(full, body_top + 3 * 18 + 4, command_top), 0);
    EXPECT_GT(DarkPixels(full, command_top, full.height), 20);

    DestroyWindow(window);
    dezaz::SetHostMenu(nullptr);
    DestroyMenu(bar);
    doc.Clear();
}

} // namespace
