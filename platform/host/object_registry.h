// The process-wide table from runtime serial numbers to document objects,
// through which object references find their object (or learn that it is
// gone) without holding a pointer.
#pragma once

class CDezazObject;

namespace dezaz
{

// A new serial number, never handed out before in this process.
unsigned int NextRuntimeSerialNumber();
void RememberObject(unsigned int serial, CDezazObject* object);
void ForgetObject(unsigned int serial);
// Null when no object has the serial number (any more).
CDezazObject* FindObject(unsigned int serial);

} // namespace dezaz
