// The registry hive file is read back from disk where anything may have
// damaged it. Invariant: the parser never reads out of bounds, and whatever it
// accepts serialises back to the same bytes.
#include "platform/win32/registry_hive.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    win32::RegistryHive hive;
    if (!hive.Parse(data, size))
    {
        if (hive.KeyCount() != 1)
            std::abort();
        return 0;
    }
    std::vector<std::uint8_t> again = hive.Serialize();
    win32::RegistryHive reparsed;
    if (!reparsed.Parse(again.data(), again.size()) || reparsed.Serialize() != again)
        std::abort();
    return 0;
}
