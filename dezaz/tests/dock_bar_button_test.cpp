// Pressing the buttons of a dock bar's panel from a script: the plug-in's
// "Primitives" panel fits a cylinder to the imported scan and creates it.
#include "support/host_script_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{

namespace fs = std::filesystem;
using hostscript::stRun;

fs::path Folder()
{
    return hostscript::TestFolder("vtl_dock_bar_button");
}

stRun RunScript(const std::string& script)
{
    return hostscript::RunScript(Folder(), script, 120);
}

std::string Scan()
{
    dezaz::SamplePartOptions options;
    options.cell = 3.0;
    return hostscript::WriteSampleScan(Folder(), options);
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
