// The section list of a loft (free-form) surface and its fit settings: the
// block the loft surface owns and hands to the loft builder and to the
// sampling onto a vertex grid. Each entry owns its section curve (or none)
// and places it along the loft's guide curve, 0 at its start, 1 at its end.
#pragma once

#include "core/section_curve.h"

#include <cstdint>
#include <deque>
#include <memory>

struct LoftSection
{
    std::unique_ptr<ST_ISectionCurve> curve; // may be null
    double position = 0.0;
    // 1 for a section read from a stream, 0 for one made here; cleared with
    // the curve.
    std::uint8_t flag = 0;
};

// Kinds of section curve the builder makes.
inline constexpr std::uint8_t kLoftCurveSpline = 0;
inline constexpr std::uint8_t kLoftCurveArc = 1;
inline constexpr std::uint8_t kLoftCurveLine = 2;

struct stLoftSections
{
    std::deque<LoftSection> sections;
    // Border around the resampled grid as a fraction of the section length;
    // off when not above FLT_EPSILON (the page's "Expand By (%)" / 100).
    double expand = 0.2;
    // Simplification tolerance of the section polylines ("Threshold").
    double threshold = 0.05;
    // Section polylines are joined across any gap when set.
    std::uint8_t joinAll = 1;
    // Samples along each section when the loft is resampled.
    std::int32_t sampling = 10;
    // kLoftCurveSpline, kLoftCurveArc or kLoftCurveLine.
    std::uint8_t curveKind = kLoftCurveSpline;
    // How the section planes face (LoftPlaneNormal); always 0 from the page.
    std::uint8_t planeNormalMode = 0;
    // 0 "Patch", 1 "Axis Aligned", 2 "CurveGuided": the guide the page made.
    std::int32_t type = 0;

    stLoftSections() = default;
    stLoftSections(const stLoftSections&) = delete;
    stLoftSections& operator=(const stLoftSections&) = delete;

    // Back to the defaults above, the threshold kept; the sections stay.
    void ResetSettings();
};

// Deletes every entry's curve and clears its flag; the entries stay.
void DeleteEntryObjects(std::deque<LoftSection>& sections);

// Entries that hold a curve.
std::uint32_t CountValidSections(const stLoftSections& loft);
