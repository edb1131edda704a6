// The colour scale beside the analyser's legend: the ramp from the scale's
// limit at the top down to its negative limit, with the legend's four marks
// at fixed heights (limit, tolerance, -tolerance, -limit), so it needs no
// image resource and follows the analysis' own colour table.
#pragma once

#include "analysis/colour_ramp.h"
#include "platform/mfc/wnd.h"

class CColourScaleControl : public CWnd
{
public:
    // Where the tolerance marks sit, as fractions of the height from the top.
    static constexpr double kToleranceTop = 0.325;
    static constexpr double kToleranceBottom = 0.675;

    CColourScaleControl();

    // The colour of row y of a scale `height` rows high (0xFFRRGGBB).
    static unsigned int ColourAtRow(const tColourTable table, int y, int height);

protected:
    afx_msg void OnPaint();

private:
    tColourTable m_colours;

    DECLARE_MESSAGE_MAP()
};
