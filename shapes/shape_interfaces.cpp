#include "shapes/shape_interfaces.h"

void ST_IGeometry::Clear()
{
    m_seeds.clear();
    m_rms = 0.0;
    m_mode = -1;
}
