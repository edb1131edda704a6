// The resource-script parser must reject any text with a message, never
// crash, hang or read outside the text.
#include "platform/win32/resource.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    win32::ResourceScript out;
    std::string error;
    // An include resolves to the same text, so include loops are exercised too.
    win32::ParseResourceScript(
        text, [&](const std::string&) -> std::optional<std::string> { return text; }, out, error);
    return 0;
}
