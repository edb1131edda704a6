#include "shapes/loft_session.h"

bool CSessionFreeForm::ReadObjectRecord(IBinStream& stream, std::uint32_t minor)
{
    return m_object.Read(&stream, 0, minor);
}

bool CSessionFreeForm::RebuildSurface()
{
    Dezaz_LoftSurface* loft = m_object.GetGeometry();
    if (!loft)
        return false;
    loft->GetParameters().sampling = m_extracted.m_sampling;
    return loft->BuildHostSurface();
}
