#include "fitting/loft_sections.h"

void stLoftSections::ResetSettings()
{
    expand = 0.2;
    joinAll = 1;
    sampling = 10;
    curveKind = kLoftCurveSpline;
    planeNormalMode = 0;
    type = 0;
}

void DeleteEntryObjects(std::deque<LoftSection>& sections)
{
    for (LoftSection& section : sections)
    {
        section.curve.reset();
        section.flag = 0;
    }
}

std::uint32_t CountValidSections(const stLoftSections& loft)
{
    std::uint32_t count = 0;
    for (const LoftSection& section : loft.sections)
        if (section.curve)
            ++count;
    return count;
}
