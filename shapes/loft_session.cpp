#include "shapes/loft_session.h"

bool CSessionFreeForm::ReadObjectRecord(IBinStream& stream, std::uint32_t minor)
{
    return m_object.Read(&stream, 0, minor);
}
