// GUIDs arrive as text from documents and property stores: the registry
// form "XXXXXXXX-XXXX-..." of the geometry library and the decimal field
// form of the mesh object's properties. Invariants: neither parser reads past
// the text's end; the narrow and wide registry-form parsers agree; whatever
// parses formats back to text that parses to the same GUID.
#include "core/mesh_object.h"
#include "platform/geometry/uuid.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{

bool Same(const GUID& a, const GUID& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The text up to its first zero, in a buffer of exactly that length.
    const std::size_t length = std::find(data, data + size, 0) - data;
    std::vector<char> narrow(data, data + length);
    narrow.push_back('\0');
    std::vector<wchar_t> wide(data, data + length);
    wide.push_back(L'\0');

    const ON_UUID id = ON_UuidFromString(narrow.data());
    if (!Same(id, ON_UuidFromString(wide.data())))
        std::abort();
    if (ON_UuidIsNotNil(id))
    {
        const ON_wString text = ON_UuidToString(id);
        if (!Same(ON_UuidFromString(text.Array()), id) ||
            !Same(ON_UuidFromString((L" {" + std::wstring(text.Array()) + L"}\t").c_str()), id))
            std::abort();
    }

    const GUID fields = ParseGuidText(narrow.data());
    if (!Same(ParseGuidText(FormatGuidText(fields).c_str()), fields))
        std::abort();
    return 0;
}
