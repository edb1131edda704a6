// A file name for fuzz targets whose reader takes a path.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace fuzz
{

// A file name of this process's own in TMPDIR, removed when the process
// ends. One per target: the first stem asked for names it.
struct ScratchName
{
    std::string path;
    explicit ScratchName(const char* stem)
    {
        const char* dir = std::getenv("TMPDIR");
        path = std::string(dir && *dir ? dir : "/tmp") + "/" + stem + "_" + std::to_string(::getpid());
    }
    ~ScratchName() { std::remove(path.c_str()); }
};

inline const std::string& ScratchFileName(const char* stem)
{
    static const ScratchName name(stem);
    return name.path;
}

} // namespace fuzz
