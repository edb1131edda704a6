#include "core/decorator_object.h"

#include <cfloat>

cDecoratorObject::cDecoratorObject() : m_colours{}, m_transform{}, m_pointSize(-FLT_MAX)
{
    SetColour(kDecoratorFront, 0.95f, 0.95f, 0.95f, 1.0f);
    SetColour(kDecoratorBack, 0.95f, 0.95f, 0.95f, 1.0f);
    SetColour(kDecoratorWireframe, 0.0f, 0.0f, 0.0f, 1.0f);
    m_transform[0] = m_transform[5] = m_transform[10] = 1.0;
}

void cDecoratorObject::SetColour(int slot, float r, float g, float b, float a)
{
    if (slot < 0 || slot >= 5)
        return;
    m_colours[slot][0] = r;
    m_colours[slot][1] = g;
    m_colours[slot][2] = b;
    m_colours[slot][3] = a;
}
