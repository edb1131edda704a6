// Hands memory the program has freed back to the system. The allocator
// keeps freed blocks for reuse, and those between blocks still in use stay
// resident: after a dialog that held a big scan's copy closes, its gigabyte
// would stay with the process while the work after it makes fresh memory.
#pragma once

// Gives the pages of every freed block back (a few milliseconds a
// gigabyte). Nothing allocated is touched.
void ReturnFreedMemory();
