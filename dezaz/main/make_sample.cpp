// Writes the bundled sample: <folder>/machined_part.stl and beside it
// machined_part.txt with the part's true dimensions.
#include "dezaz/sample_part.h"

#include <cstdio>
#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: dezaz_make_sample FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder(argv[1]);
    std::filesystem::create_directories(folder);
    dezaz::SamplePartOptions options;
    ON_Mesh mesh;
    dezaz::GenerateSamplePart(options, mesh);
    std::wstring error;
    if (!dezaz::WriteBinaryStl(folder / "machined_part.stl", mesh, error))
    {
        std::fprintf(stderr, "dezaz_make_sample: %ls\n", error.c_str());
        return 1;
    }
    std::ofstream(folder / "machined_part.txt") << dezaz::SamplePartDescription(options, mesh);
    return 0;
}
