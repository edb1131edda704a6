// Pressing the buttons of a dock bar's panel from a script: the plug-in's
// "Primitives" panel fits a cylinder to the imported scan and creates it.
#include "support/host_script_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>

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

// Two flat squares, 10 across, one above the other (z 0 and z 1), as meshes
// of their own, and a line along an edge of the lower one (no mesh); a
// script selects by points near their corners, and the panel fits a plane
// through what is selected.
std::string TwoSquaresAndSelectionAt(const std::string& point)
{
    std::string script;
    for (const char* z : {"0", "1"})
    {
        const fs::path file = Folder() / (std::string("square_") + z + ".obj");
        std::ofstream(file) << "v 0 0 " << z << "\nv 10 0 " << z << "\nv 10 10 " << z << "\nv 0 10 " << z
                            << "\nf 1 2 3\nf 1 3 4\n";
        script += "_Import \"" + file.string() + "\"\n";
    }
    return script + "_Polyline 0,0,0 10,0,0\n_SelNone\n_SelMeshAt " + point + "\n";
}

TEST(DockBarButton, ThePanelFitsTheMeshesAScriptSelectsByPointsOnThem)
{
    const std::regex plane("polysurface, 1 face \\(0 trimmed\\), from \\([^,]*, [^,]*, ([^)]*)\\) to "
                           "\\([^,]*, [^,]*, ([^)]*)\\)");
    std::smatch found;
    // The nearer square's vertex wins; two points on one square select it once.
    for (const auto& [point, height] : {std::pair{"0,0,0.4 10,10,0", 0.0}, std::pair{"0.2,10,0.6", 1.0}})
    {
        const stRun run = RunScript(TwoSquaresAndSelectionAt(point) +
                                    "_DockBarButton Primitives 3005\n_DockBarButton Primitives 1\n_List\n");
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_NE(run.output.find("1 object selected."), std::string::npos) << run.output;
        ASSERT_TRUE(std::regex_search(run.output, found, plane)) << run.output;
        EXPECT_NEAR(std::stod(found[1]), height, 1e-6) << point;
        EXPECT_NEAR(std::stod(found[2]), height, 1e-6) << point;
    }
    // Both squares: the plane lies between them.
    stRun run = RunScript(TwoSquaresAndSelectionAt("0,0,0 10,10,1") +
                          "_DockBarButton Primitives 3005\n_DockBarButton Primitives 1\n_List\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("2 objects selected."), std::string::npos) << run.output;
    ASSERT_TRUE(std::regex_search(run.output, found, plane)) << run.output;
    EXPECT_NEAR(std::stod(found[1]), 0.5, 1e-6);
    // Away from every mesh, or written otherwise, nothing is selected.
    run = RunScript(TwoSquaresAndSelectionAt("0,0,0 5,5,0.5") + "_DockBarButton Primitives 3005\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("No mesh passes within 1 of 5,5,0.5."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Detecting"), std::string::npos) << run.output;
    run = RunScript(TwoSquaresAndSelectionAt("0,0"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("SelMeshAt needs points written x,y,z."), std::string::npos) << run.output;
}

} // namespace
