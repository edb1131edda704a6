// UTF-16LE text arrives from registry files, update information and
// archives. Invariants: decoding reads only whole code units of the bytes,
// and encoding the decoded text gives the same units back (surrogate pairs
// joined and split again, unpaired surrogates kept as they are).
#include "platform/win32/codepage.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size); // exact size, so a read past it is caught
    const std::wstring text = win32::DecodeUtf16Le(bytes.data(), bytes.size());
    const std::size_t units = size / 2;
    if (text.size() > units || win32::Utf16UnitCount(text.data(), text.size()) != units)
        std::abort();
    std::vector<std::uint8_t> again;
    win32::AppendUtf16Le(again, text.data(), text.size());
    if (again.size() != 2 * units || !std::equal(again.begin(), again.end(), bytes.begin()))
        std::abort();
    return 0;
}
