// Runs a fuzz target over every file of its seed corpus (and over a few
// synthetic inputs), so that targets are exercised by the normal test run
// without libFuzzer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    std::size_t runs = 0;
    std::mt19937 rng(12345);
    for (int i = 1; i < argc; ++i)
    {
        std::filesystem::path dir(argv[i]);
        if (!std::filesystem::is_directory(dir))
            continue;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
        {
            if (!entry.is_regular_file())
                continue;
            std::ifstream in(entry.path(), std::ios::binary);
            std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
            ++runs;
            // Truncations and single-byte corruptions of every seed.
            for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64)
            {
                LLVMFuzzerTestOneInput(bytes.data(), cut);
                ++runs;
            }
            for (int k = 0; k < 64 && !bytes.empty(); ++k)
            {
                std::vector<std::uint8_t> mutated = bytes;
                mutated[rng() % mutated.size()] = static_cast<std::uint8_t>(rng());
                LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
                ++runs;
            }
        }
    }
    LLVMFuzzerTestOneInput(nullptr, 0);
    for (int k = 0; k < 256; ++k)
    {
        std::vector<std::uint8_t> noise(rng() % 512);
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(rng());
        LLVMFuzzerTestOneInput(noise.data(), noise.size());
        ++runs;
    }
    std::printf("replayed %zu inputs\n", runs);
    return 0;
}
