#include "plugin/tools/colour_scale_control.h"

#include "platform/win32/gdi.h"
#include "platform/win32/gdi_objects.h"
#include "platform/win32/gdi_paint.h"

#include <algorithm>

BEGIN_MESSAGE_MAP(CColourScaleControl, CWnd)
ON_WM_PAINT()
END_MESSAGE_MAP()

CColourScaleControl::CColourScaleControl()
{
    SetDefaultColourTable(m_colours);
}

unsigned int CColourScaleControl::ColourAtRow(const tColourTable table, int y, int height)
{
    // The ramp of a scale whose limit is 1 and tolerance 0.5, laid out so
    // that the tolerance marks fall on the legend's middle rows.
    const double f = height > 0 ? (y + 0.5) / height : 0.0;
    double d;
    if (f < kToleranceTop)
        d = 1.0 - 0.5 * f / kToleranceTop;
    else if (f > kToleranceBottom)
        d = -0.5 - 0.5 * (f - kToleranceBottom) / (1.0 - kToleranceBottom);
    else
        d = 0.0;
    std::uint8_t r = 0, g = 0, b = 0;
    Ramp(float(d), 1.0f, 0.5f, -1.0f, 1.0f, table, r, g, b, 1.0f);
    return 0xFF000000u | (unsigned(r) << 16) | (unsigned(g) << 8) | b;
}

void CColourScaleControl::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    if (!dc)
        return;
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int height = client.bottom - client.top;
    for (int y = 0; y < height; ++y)
    {
        const unsigned int c = ColourAtRow(m_colours, y, height);
        HBRUSH brush = ::CreateSolidBrush(RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
        const RECT row{client.left, client.top + y, client.right, client.top + y + 1};
        ::FillRect(dc, &row, brush);
        ::DeleteObject(brush);
    }
    ::EndPaint(m_hWnd, &ps);
}
