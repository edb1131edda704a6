// The update-information text arrives from the network: any bytes must give
// a clean answer, and a parsed version must compare consistently.
#include "core/update_checker.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    stVersionNumber offered;
    if (!ParseUpdateInformation(data, size, offered))
        return 0;
    const DWORD ms = MAKELONG(offered.minor, offered.major);
    const DWORD ls = MAKELONG(offered.revision, offered.build);
    // A version is never newer than itself, and one step below it always is older.
    if (IsNewerVersion(offered, ms, ls))
        std::abort();
    if (ls > 0 && !IsNewerVersion(offered, ms, ls - 1))
        std::abort();
    return 0;
}
