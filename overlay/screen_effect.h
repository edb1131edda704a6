// An effect that an overlay control shows while the mouse is over it (a
// hover highlight, the tooltip). Held by reference by the controls that use
// it.
#pragma once

#include "core/base.h"
#include "core/rc_object.h"

// {C10A521E-A45B-4070-A133-AB3E411C38BE}
inline constexpr GUID IID_IVEffect = {0xC10A521E, 0xA45B, 0x4070, {0xA1, 0x33, 0xAB, 0x3E, 0x41, 0x1C, 0x38, 0xBE}};

class IVEffect : public virtual IRCObject
{
public:
    // `owner` is the control the mouse entered.
    virtual void Show(IBase* owner) = 0;
    virtual void Hide() = 0;
};
