#include "shapes/profiled_scene_object.h"

#include "core/decorator_object.h"
#include "shapes/section_curve_records.h"

void SetShapeDecorator(cDecoratorObject& d)
{
    d.SetColour(kDecoratorFront, 184.0f / 255.0f, 142.0f / 255.0f, 1.0f / 255.0f, 1.0f);
    d.SetColour(kDecoratorSelection, 215.0f / 255.0f, 10.0f / 255.0f, 10.0f / 255.0f, 1.0f);
    d.SetColour(kDecoratorBoundary, 10.0f / 255.0f, 10.0f / 255.0f, 10.0f / 255.0f, 1.0f);
    d.m_mode = kDisplaySmooth;
}

bool WriteProfileRecord(IBinStream& stream, const ST_TProfiledSurface<Dezaz_Wire>& surface)
{
    if (const ST_ISectionCurve* profile = surface.GetProfileCurve())
        return profile->Write(stream);
    const std::uint8_t nil[16] = {};
    return stream.Write(nil, sizeof nil);
}

bool ReadOptionalProfileRecord(IBinStream& stream, ST_TProfiledSurface<Dezaz_Wire>& surface, std::uint32_t major,
                               std::uint32_t minor)
{
    cRecordReader reader(stream);
    GUID classId{};
    if (!reader.GetGuid(classId))
        return false;
    if (classId == GUID{})
    {
        surface.DropProfileCurve();
        return true;
    }
    return ReadProfileCurveBody(surface, classId, stream, major, minor);
}
