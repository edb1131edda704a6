// The version block is read from a module file, an ELF file that anything
// may have damaged. Invariants: the reader checks every offset and size
// against the file; a block it reports can be copied in exactly its size
// (and not in one byte less), and its fixed information can be queried;
// the query refuses any other sub-block.
#include "fuzz/fuzz_scratch.h"
#include "platform/win32/codepage.h"
#include "platform/win32/module.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::wstring path = win32::Utf8ToWide(fuzz::ScratchFileName("version_block_fuzz"));
    std::FILE* file = std::fopen(win32::WideToUtf8(path).c_str(), "wb");
    if (file == nullptr)
        return 0;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    if (std::fclose(file) != 0 || !written)
        return 0;

    DWORD handle = 1;
    const DWORD blockSize = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (handle != 0)
        std::abort();
    std::vector<std::uint8_t> block(blockSize + 1, 0xA5);
    if (blockSize == 0)
    {
        if (GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()))
            std::abort();
        return 0;
    }
    if (blockSize < sizeof(win32::VersionResource))
        std::abort();
    if (GetFileVersionInfoW(path.c_str(), 0, blockSize - 1, block.data()) || block[0] != 0xA5)
        std::abort();
    if (!GetFileVersionInfoW(path.c_str(), 0, blockSize, block.data()) || block[blockSize] != 0xA5)
        std::abort();

    LPVOID fixed = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\", &fixed, &length) || length != sizeof(VS_FIXEDFILEINFO) ||
        fixed < static_cast<void*>(block.data()) ||
        static_cast<std::uint8_t*>(fixed) + length > block.data() + blockSize)
        std::abort();
    VS_FIXEDFILEINFO info;
    std::memcpy(&info, fixed, sizeof info);
    if (info.dwSignature != VS_FFI_SIGNATURE)
        std::abort();
    if (VerQueryValueW(block.data(), L"\\StringFileInfo", &fixed, &length))
        std::abort();
    return 0;
}
