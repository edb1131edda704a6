// A profile-curve record (class id, the shared part, the kind's tail, whole
// sub-curve records inside sketches) comes from a document. Invariants:
// reading never crashes, reads out of bounds or runs away with memory; a
// failed read leaves the surface's profile as it was; an accepted curve that
// can be written reads back, and (unless a combo chain, which re-solves its
// joints on every load, is inside) writes the same bytes again.
#include "fitting/section_merge.h"
#include "fuzz/fuzz_streams.h"
#include "shapes/combo_section_curve.h"
#include "shapes/line_section_curve.h"
#include "shapes/network_surface.h"
#include "shapes/section_curve_records.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace
{

bool HoldsCombo(ST_ISectionCurve& curve)
{
    if (curve.GetClassGuid() == CLSID_ST_TComboCurve)
        return true;
    if (curve.GetSegmentCount() == 0 || curve.GetSegment(0) == &curve)
        return false;
    for (std::uint32_t i = 0; i < curve.GetSegmentCount(); ++i)
        if (curve.GetSegment(i) != nullptr && HoldsCombo(*curve.GetSegment(i)))
            return true;
    return false;
}

// The curve's record, or empty when the curve refuses to be written.
std::vector<std::uint8_t> Written(const ST_ISectionCurve& curve)
{
    fuzz::ScratchFile out;
    if (out.Stream() == nullptr || !curve.Write(*out.Stream()))
        return {};
    return out.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A combo or spline chain re-solves its outline on every load, on a grid
    // of up to thousands of cells along a thin section: coarser cells run
    // the same steps at a bounded cost per input.
    OutlineCellLimit() = 32;
    fuzz::InputFile input(data, size);
    if (input.Stream() == nullptr)
        return 0;
    // The profile the read must leave alone when it fails: a line fitted
    // once, copied into each input's surface (the fit is not what is fuzzed).
    static const std::unique_ptr<Dezaz_NetworkSurface> fitted = [] {
        auto made = std::make_unique<Dezaz_NetworkSurface>();
        double frame[12];
        MakeIdentity3x4(frame);
        tPolylineCollection<tFramePolyline<cVertex>> sections;
        tFramePolyline<cVertex>& section = *sections.Add(tFramePolyline<cVertex>());
        const double a[3] = {0, 0, 0}, b[3] = {1, 2, 0};
        section.AddPoint3d(a);
        section.AddPoint3d(b);
        if (!made->SetProfileFromSections(CLSID_ST_TLineCurve, frame, 1, sections, 0.0f, 0, 0, 0, 0.0f))
            std::abort();
        return made;
    }();
    Dezaz_NetworkSurface surface;
    if (!surface.SetProfile(fitted->GetProfileCurve(), 0))
        std::abort();
    const ST_ISectionCurve* before = surface.GetProfileCurve();

    if (!ReadProfileCurveRecord(surface, *input.Stream(), 0, 7))
    {
        if (surface.GetProfileCurve() != before)
            std::abort();
        return 0;
    }
    ST_ISectionCurve* curve = surface.GetProfileCurve();
    if (curve == nullptr || curve == before)
        std::abort();
    const std::vector<std::uint8_t> first = Written(*curve);
    if (first.empty())
        return 0;
    fuzz::InputFile again(first.data(), first.size());
    Dezaz_NetworkSurface copy;
    if (again.Stream() == nullptr || !ReadProfileCurveRecord(copy, *again.Stream(), 0, 7))
        std::abort();
    if (!HoldsCombo(*curve) && Written(*copy.GetProfileCurve()) != first)
        std::abort();
    return 0;
}
