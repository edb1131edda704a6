#include "shapes/section_curve_factory.h"

#include "shapes/arc_section_curve.h"
#include "shapes/combo_section_curve.h"
#include "shapes/dezaz_wire.h"
#include "shapes/line_section_curve.h"
#include "shapes/sketch_curve.h"
#include "shapes/spline_section_curve.h"

#include <new>

std::unique_ptr<ST_ISectionCurve> CreateSectionCurveByClassGuid(const GUID& classId)
{
    if (classId == CLSID_ST_TLineCurve)
        return std::unique_ptr<ST_ISectionCurve>(new (std::nothrow) ST_TLineCurve<Dezaz_Wire>());
    if (classId == CLSID_ST_TArcCurve)
        return std::unique_ptr<ST_ISectionCurve>(new (std::nothrow) ST_TArcCurve<Dezaz_Wire>(0));
    if (classId == CLSID_ST_TComboCurve)
        return std::unique_ptr<ST_ISectionCurve>(new (std::nothrow) ST_TComboCurve<Dezaz_Wire>(0));
    if (classId == CLSID_ST_TSplineCurve)
        return std::unique_ptr<ST_ISectionCurve>(new (std::nothrow) ST_TSplineCurve<Dezaz_Wire>(0));
    if (classId == CLSID_ST_TSketch)
        return std::unique_ptr<ST_ISectionCurve>(new (std::nothrow) ST_TSketch<Dezaz_Wire>());
    return nullptr;
}

bool IsSameCurveClass(const ST_ISectionCurve& a, const ST_ISectionCurve& b)
{
    const ST_IWire* wa = a.GetWire();
    const ST_IWire* wb = b.GetWire();
    return wa != nullptr && wb != nullptr && wa->IsSameType(*wb) && a.GetClassGuid() == b.GetClassGuid();
}
