// Linked into every test binary. CTest runs the tests of one binary side by
// side, each in a process of its own; every process keeps its settings in a
// registry folder of its own under the one the run names, so that a value one
// test stores is never read by a test running beside it. Tests that need a
// fresh registry still point DEZAZ_REGISTRY at a temporary folder themselves.
#include <cstdlib>
#include <string>

#include <unistd.h>

namespace
{

const bool kOwnRegistryFolder = [] {
    const char* dir = std::getenv("DEZAZ_REGISTRY");
    if (dir == nullptr || *dir == '\0')
        return false;
    const std::string own = std::string(dir) + "/process-" + std::to_string(::getpid());
    return ::setenv("DEZAZ_REGISTRY", own.c_str(), 1) == 0;
}();

} // namespace
