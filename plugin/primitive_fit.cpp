#include "plugin/primitive_fit.h"

#include "fitting/fit_drivers.h"
#include "platform/host/dezaz_app.h"
#include "plugin/vtl_plugin.h"

bool FitPrimitiveToPoints(ePrimitiveKind kind, const cFitContainer& points, stPrimitiveFit& result)
{
    if (points.Points().empty())
    {
        DezazApp().Print(L"No points to extract\n");
        return false;
    }
    switch (kind)
    {
    case ePrimitiveKind::Plane:
        if (FitPlane(points, result.plane, result.rms, true, 0.0))
            return true;
        DezazApp().Print(L"Can not fit Plane\n");
        return false;
    case ePrimitiveKind::Sphere:
        if (FitSphere(points, result.sphere, result.rms))
            return true;
        DezazApp().Print(L"Can not fit Sphere\n");
        return false;
    case ePrimitiveKind::Cylinder:
        DezazApp().Print(L"Detecting. Please wait...\n");
        // Large regions are summed on the plug-in's threads (same result).
        if (FitCylinder(points, result.cylinder, result.rms, 0.0, &ThePlugIn().ThreadPool()))
            return true;
        DezazApp().Print(L"Can not fit Cylinder\n");
        return false;
    }
    return false;
}
