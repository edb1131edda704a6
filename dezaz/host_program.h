// The stand-in host program:
//   dezaz [--plugin PATH]... [--script FILE|-] [--open DOC] [--import MESH]...
//         [--save DOC] [--screenshot DIR] [--headless]
// It loads the plug-ins, opens, imports, runs the script, saves and writes
// screenshots in that order; everything printed on its command line goes
// to standard output. Without a script, and unless headless, it reads
// commands from standard input until it ends. The exit code is 0 when
// everything succeeded, 1 when something failed, 2 for bad arguments.
#pragma once

#include <string>
#include <vector>

namespace dezaz
{

struct ProgramOptions
{
    std::vector<std::string> plugins;
    std::string script; // "-" reads standard input
    std::string open;
    std::vector<std::string> imports;
    std::string save;
    std::string screenshot;
    bool headless = false;
};

// False, with a message, for arguments that cannot be understood.
bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options, std::string& error);

int RunDezaz(int argc, char** argv);

} // namespace dezaz
