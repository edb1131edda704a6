// Runs the host program with the real plug-in on a script, in a process of
// its own, and returns what it printed: the harness of the tests that drive
// the plug-in the way the main job does.
#pragma once

#include "dezaz/sample_part.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace hostscript
{

struct stRun
{
    int exitCode = -1;
    std::string output;
};

// <temp>/<suite>/<the running test's name>, created.
inline std::filesystem::path TestFolder(const std::string& suite)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / suite /
                                      ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::create_directories(dir);
    return dir;
}

// Runs a shell command line and collects what it printed (the command adds
// 2>&1 to catch errors too); exit code -1 when it did not exit normally.
inline stRun RunCommand(const std::string& command)
{
    stRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The script is written to the folder; a run over the time limit is killed.
// With ownRegistry the host keeps its settings in the folder, so a run starts
// from the plug-in's defaults whatever ran before it.
inline stRun RunScript(const std::filesystem::path& folder, const std::string& script, int seconds,
                       bool ownRegistry = false)
{
    const std::filesystem::path file = folder / "script.txt";
    std::ofstream(file) << script;
    const std::string registry = ownRegistry ? "DEZAZ_REGISTRY=" + (folder / "registry").string() + " " : "";
    const std::string command = registry + "timeout " + std::to_string(seconds) + " " + VTL_DEZAZ_PATH +
                                " --plugin " + VTL_PLUGIN_PATH + " --headless --script " + file.string() + " 2>&1";
    return RunCommand(command);
}

// The sample part scanned on a grid of the given spacing, as a binary STL in
// the folder; its path.
inline std::string WriteSampleScan(const std::filesystem::path& folder, dezaz::SamplePartOptions options = {})
{
    const std::filesystem::path path = folder / "part.stl";
    ON_Mesh mesh;
    dezaz::GenerateSamplePart(options, mesh);
    std::wstring error;
    EXPECT_TRUE(dezaz::WriteBinaryStl(path, mesh, error));
    return path.string();
}

} // namespace hostscript
