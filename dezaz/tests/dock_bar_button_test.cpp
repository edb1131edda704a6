// Pressing the buttons of a dock bar's panel from a script: the plug-in's
// "Primitives" panel fits a cylinder to the imported scan and creates it.
#include "dezaz/sample_part.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

namespace
{

namespace fs = std::filesystem;

struct stRun
{
    int exitCode = -1;
    std::string output;
};

fs::path Folder()
{
    const fs::path dir = fs::temp_directory_path() / "vtl_dock_bar_button" /
                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir);
    return dir;
}

stRun RunScript(const std::string& script)
{
    const fs::path file = Folder() / "script.txt";
    std::ofstream(file) << script;
    const std::string command = std::string("timeout 120 ") + VTL_DEZAZ_PATH + " --plugin " + VTL_PLUGIN_PATH +
                                " --headless --script " + file.string() + " 2>&1";
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

std::string Scan()
{
    const fs::path path = Folder() / "part.stl";
    dezaz::SamplePartOptions options;
    options.cell = 3.0;
    ON_Mesh mesh;
    dezaz::GenerateSamplePart(options, mesh);
    std::wstring error;
    EXPECT_TRUE(dezaz::WriteBinaryStl(path, mesh, error));
    return path.string();
}

TEST(DockBarButton, PressesThePanelsButtonsLikeClicks)
{
    const stRun run = RunScript("_Import \"" + Scan() +
                          "\"\n_SelAll\n_DockBarButton Primitives 3003\n_DockBarButton \"primitives\" 1\n_List\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("Detecting. Please wait..."), std::string::npos) << run.output;
    // The cylinder and its axis line, on the panel's layer.
    EXPECT_NE(run.output.find("The document holds 3 objects."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1 face (0 trimmed)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("layer \"vtl Surfaces\""), std::string::npos) << run.output;
}

TEST(DockBarButton, AnUnknownBarOrControlOrADisabledButtonFailsTheScript)
{
    stRun run = RunScript("_DockBarButton Shapes 1\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("There is no dock bar named \"Shapes\"."), std::string::npos) << run.output;
    run = RunScript("_DockBarButton Primitives 4242\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("has no control 4242."), std::string::npos) << run.output;
    // "CREATE" waits for a primitive.
    run = RunScript("_DockBarButton Primitives 1\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("Control 1 of the dock bar \"Primitives\" is disabled."), std::string::npos)
        << run.output;
    run = RunScript("_DockBarButton Primitives\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("needs the name of a dock bar and the id of a button"), std::string::npos)
        << run.output;
}

} // namespace
