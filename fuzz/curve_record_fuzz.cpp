// A curve record of the geometry library comes from a document. Invariants:
// reading never crashes, hangs or reads out of bounds; an accepted curve is
// valid; written back and read again it gives the same record (the first
// read may tidy values, such as an arc's axes made orthonormal); and
// evaluation, closest points and length on it end with answers inside their
// ranges or a clear refusal.
#include "platform/geometry/binary_archive.h"
#include "platform/geometry/curve.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // A length of wild data spends its whole halving budget; a small one
    // runs the same steps (the split, the stop) at a bounded cost per input.
    on_curve_detail::LengthSplitBudget() = 64;
    ON_MemoryArchive in(data, size);
    std::unique_ptr<ON_Curve> curve(ON_ReadCurve(in));
    if (on_curve_detail::ReadDepth() != 0)
        std::abort();
    if (!curve)
        return 0;
    if (!curve->IsValid())
        std::abort();
    ON_MemoryArchive out;
    if (!ON_WriteCurve(out, curve.get()))
        std::abort();
    ON_MemoryArchive again(out.Buffer().data(), out.Buffer().size());
    std::unique_ptr<ON_Curve> reread(ON_ReadCurve(again));
    ON_MemoryArchive out2;
    if (!reread || !again.AtEnd() || !ON_WriteCurve(out2, reread.get()) || out2.Buffer() != out.Buffer())
        std::abort();

    const ON_Interval d = curve->Domain();
    for (int i = 0; i <= 4; ++i)
    {
        ON_3dVector v[3];
        curve->Evaluate(d.ParameterAt(i / 4.0), 2, v);
    }
    double t = 0.0;
    if (curve->GetClosestPoint(ON_3dPoint(0.5, -0.25, 1.0), &t) && !d.Includes(t))
        std::abort();
    double length = 0.0;
    if (curve->GetLength(&length) && !(length >= 0.0))
        std::abort();
    return 0;
}
