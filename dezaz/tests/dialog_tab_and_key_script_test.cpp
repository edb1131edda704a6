// Tab pages and keys of the shapes dialog from a host script: a tab chosen by
// its caption shows its page, whose own controls the script then reaches;
// Escape in the view ends rotating, so that the next stroke marks the wall
// of the sample's through hole, which the dialog fits as a cylinder.
#include "support/host_script_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <vector>
#include <regex>

namespace
{

namespace fs = std::filesystem;
using hostscript::stRun;

fs::path Folder()
{
    return hostscript::TestFolder("vtl_dialog_tab_and_key");
}

stRun RunScript(const std::string& script)
{
    return hostscript::RunScript(Folder(), script, 300, true);
}

// The shapes dialog open on the sample scan; its title is the plug-in's name.
std::string OpenShapesDialog(std::string& title)
{
    const std::string path = hostscript::WriteSampleScan(Folder());
    std::smatch loaded;
    const stRun empty = RunScript("\n");
    if (std::regex_search(empty.output, loaded, std::regex("Plug-in (.*) loaded\\.")))
        title = "\"" + loaded[1].str() + "\"";
    EXPECT_FALSE(title.empty()) << empty.output;
    return "_Import \"" + path + "\"\n_SelAll\n> MessageBox Yes For the best results\n_vtlShapes\n";
}

} // namespace

TEST(DialogTabAndKeyScript, ASketchPagesControlIsReachedOnceItsTabIsChosen)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    // Before a shape is fitted the dialog has only its Shape tab.
    stRun run = RunScript(open + "_DialogTab " + T + " Sketch\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("has no tab \"Sketch\" (its tabs: \"Shape\")"), std::string::npos) << run.output;
    // "Mesh Points" lies on the Sketch page only.
    const std::string knob = "_DialogViewCommand " + T + " 32791\n_DialogViewClick " + T +
                             " 0.757,0.433 0.791,0.433 0.791,0.45 0.757,0.45 0.757,0.468 0.791,0.468\n"
                             "_DialogCombo " + T + " 3022 Revolved\n";
    run = RunScript(open + knob + "_DialogButton " + T + " 3086\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("has control 3086 only on a page that is not shown"), std::string::npos) << run.output;
    run = RunScript(open + knob + "_DialogTab " + T + " sketch\n_DialogButton " + T + " 3086\n_DialogTab " + T +
                    " Shape\n_DialogList " + T + " 3101\n");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("1 item:\n  Revolved (selected)"), std::string::npos) << run.output;
}

TEST(DialogTabAndKeyScript, EscapeEndsRotatingSoThatTheThroughHolesWallCanBeMarked)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    stRun run = RunScript(open + "_DialogViewKey " + T + " Tab\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("DialogViewKey needs a window title and a key"), std::string::npos) << run.output;
    run = RunScript(open + "_DialogButton " + T + " 3060\n_DialogButton " + T + " 3040\n_DialogViewClick " + T +
                    " 0.029,0.375\n_DialogViewClick " + T +
                    " 0.5,0.5 0.5,0.45 0.5,0.40 0.5,0.35 0.5,0.30\n_DialogViewKey " + T + " Escape\n_DialogButton " +
                    T + " 3106\n_DialogViewClick " + T +
                    " 0.607,0.483 0.615,0.483 0.623,0.483 0.631,0.483 0.639,0.483 0.639,0.489 0.607,0.489\n"
                    "_DialogCombo " + T + " 3022 Cylinder\n_DialogButton " + T + " 4\n_DialogButton " + T +
                    " 2\n_List\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    // The hole: radius 8 about x = 80, y = 30, through the block (z 0..20).
    std::smatch box;
    ASSERT_TRUE(std::regex_search(run.output, box,
                                  std::regex("polysurface, 1 face \\(0 trimmed\\), from \\(([-0-9.e]+), ([-0-9.e]+), "
                                             "[-0-9.e]+\\) to \\(([-0-9.e]+), ([-0-9.e]+), [-0-9.e]+\\)")))
        << run.output;
    EXPECT_NEAR(std::stod(box[1]), 72.0, 0.1);
    EXPECT_NEAR(std::stod(box[2]), 22.0, 0.1);
    EXPECT_NEAR(std::stod(box[3]), 88.0, 0.1);
    EXPECT_NEAR(std::stod(box[4]), 38.0, 0.1);
}

TEST(DialogTabAndKeyScript, AListRowIsChosenAndItsMenuActsOnIt)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    // The block's top face fitted twice as a plane.
    const std::string plane = "_DialogViewClick " + T + " 0.5,0.63\n_DialogCombo " + T + " 3022 Plane\n";
    const std::string twoPlanes = open + "_DialogText " + T + " 3023 4\n" + plane + "_DialogButton " + T +
                                  " 3106\n" + plane + "_DialogList " + T + " 3101\n";
    stRun run = RunScript(twoPlanes);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::smatch names;
    ASSERT_TRUE(std::regex_search(run.output, names, std::regex("2 items:\n  (.*)\n  (.*) \\(selected\\)"))) << run.output;
    const std::string first = names[1], second = names[2];

    run = RunScript(twoPlanes + "_DialogListSelect " + T + " 3101 Nothing\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("The list has no item \"Nothing\""), std::string::npos) << run.output;
    // Choosing the first makes it current; the second's menu deletes the
    // second, which its right click made current.
    run = RunScript(twoPlanes + "_DialogListSelect " + T + " 3101 " + first + "\n_DialogList " + T +
                    " 3101\n> Menu 32881\n> MessageBox Yes delete '" + second + "'\n_DialogListRightClick " + T +
                    " 3101 " + second + "\n_DialogList " + T + " 3101\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_NE(run.output.find("2 items:\n  " + first + " (selected)\n  " + second + "\n"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("1 item:\n  " + first + "\n"), std::string::npos) << run.output;
}

TEST(DialogTabAndKeyScript, TheRightButtonInTheViewOpensItsMenuWhichTakesTheScriptsAnswer)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    stRun run = RunScript(open + "> Menu 0\n_DialogViewClick " + T + " right 0.5,0.5\n_DialogViewClick " + T +
                          " middle 0.5,0.5\n");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    // Unanswered, the menu the right button opens is named.
    run = RunScript(open + "_DialogViewClick " + T + " right 0.5,0.5\n");
    EXPECT_NE(run.output.find("unexpected popup menu: \"Zoom All"), std::string::npos) << run.output;
    run = RunScript(open + "_DialogViewClick " + T + " wheel 0.5,0.5\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("needs points written fx,fy"), std::string::npos) << run.output;
}

// The first nine points of the first surface _SurfacePoints prints: one line
// of its grid.
std::vector<std::array<double, 3>> FirstGridRow(const std::string& output)
{
    std::vector<std::array<double, 3>> row;
    const std::size_t at = output.find("surface ");
    std::istringstream points(output.substr(output.find(':', at) + 1));
    std::string word;
    while (row.size() < 9 && points >> word)
    {
        std::array<double, 3> p{};
        if (std::sscanf(word.c_str(), "%lf,%lf,%lf", &p[0], &p[1], &p[2]) != 3)
            break;
        row.push_back(p);
    }
    return row;
}

TEST(DialogTabAndKeyScript, SketchClicksAtSketchCoordinatesDrawTheProfileTheRevolvedSurfaceTakes)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    // Without a sketch on the screen there is nothing to aim at.
    stRun run = RunScript(open + "_DialogSketchClick " + T + " 0,0\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("shows no sketch to click on"), std::string::npos) << run.output;

    // The knob revolved, then a straight profile parallel to its axis drawn
    // with the line tool by two clicks at sketch coordinates: the created
    // surface runs straight along that line.
    const std::string knob = "_DialogViewCommand " + T + " 32791\n_DialogViewClick " + T +
                             " 0.757,0.433 0.791,0.433 0.791,0.45 0.757,0.45 0.757,0.468 0.791,0.468\n"
                             "_DialogCombo " + T + " 3022 Revolved\n_DialogTab " + T + " Sketch\n";
    run = RunScript(open + knob + "_DialogViewCommand " + T + " 32821\n_DialogSketchClick " + T +
                    " 6,-4 6,4\n_DialogTab " + T + " Shape\n_DialogButton " + T + " 3\n_SurfacePoints\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<std::array<double, 3>> row = FirstGridRow(run.output);
    ASSERT_EQ(row.size(), 9u) << run.output;
    double straightness = 0.0;
    for (std::size_t i = 1; i + 1 < row.size(); ++i)
        for (int k = 0; k < 3; ++k)
            straightness = std::max(straightness, std::fabs(row[i][k] - (row[0][k] + (row[8][k] - row[0][k]) * i / 8.0)));
    EXPECT_LT(straightness, 1e-4);
    // "Clear All" of the Sketch page (beside the dialog's disabled "Reset" of
    // the same id) empties the sketch, and an empty sketch stands in for the
    // fitted profile: left for the Shape page, the shape is created as if the
    // Sketch tab had never been visited, not from the line cleared away.
    run = RunScript(open + knob + "_DialogViewCommand " + T + " 32821\n_DialogSketchClick " + T + " 6,-4 6,4\n_DialogButton " +
                    T + " 3091\n_DialogTab " + T + " Shape\n_DialogButton " + T + " 3\n_SurfacePoints\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output.find("Can not create surface"), std::string::npos) << run.output;
    const std::vector<std::array<double, 3>> cleared = FirstGridRow(run.output);
    run = RunScript(open + knob + "_DialogTab " + T + " Shape\n_DialogButton " + T + " 3\n_SurfacePoints\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::vector<std::array<double, 3>> fitted = FirstGridRow(run.output);
    ASSERT_EQ(fitted.size(), 9u) << run.output;
    EXPECT_EQ(cleared, fitted);
    double fromLine = 0.0;
    for (std::size_t i = 0; i < row.size(); ++i)
        for (int k = 0; k < 3; ++k)
            fromLine = std::max(fromLine, std::fabs(fitted[i][k] - row[i][k]));
    EXPECT_GT(fromLine, 0.5) << "the fitted profile is not the drawn line";
    // Outside the view a point cannot be clicked.
    run = RunScript(open + knob + "_DialogSketchClick " + T + " 100000,0\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("lies outside the view"), std::string::npos) << run.output;
    // Points of two or three numbers only, each one written.
    for (const char* point : {"1,2,3,4", "1,,2", "1", "1,nan"})
    {
        run = RunScript("_DialogSketchClick " + T + " " + point + "\n");
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.output.find("needs sketch points written x,y"), std::string::npos) << point << run.output;
    }
}

TEST(DialogTabAndKeyScript, SketchClicksAtScanPointsLandWhereThosePointsLieInTheSketchPlane)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    // The knob's wall painted as the main job paints it; two points of the
    // scan 6 from its axis (x 105, y 30), on the side the front view shows,
    // drawn as a line with snapping off: the knob's surface keeps that
    // radius between their heights, within a pixel of the view.
    const std::string knob = "_DialogButton " + T + " 3060\n_DialogButton " + T + " 3040\n_DialogViewCommand " + T +
                             " 32791\n_DialogViewClick " + T +
                             " 0.757,0.433 0.791,0.433 0.791,0.45 0.757,0.45 0.757,0.468 0.791,0.468\n"
                             "_DialogCombo " + T + " 3022 Revolved\n_DialogTab " + T + " Sketch\n";
    const stRun run = RunScript(open + knob + "_DialogButton " + T + " 3095\n_DialogViewCommand " + T +
                                " 32821\n_DialogSketchClick " + T +
                                " 111,30,22 111,30,30\n_DialogTab " + T + " Shape\n_DialogButton " + T +
                                " 3\n_SurfacePoints\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::istringstream points(run.output.substr(run.output.find(':', run.output.find("surface ")) + 1));
    double lowest = 1e9, highest = -1e9, farthest = 0.0;
    std::string word;
    int count = 0;
    for (std::array<double, 3> p{}; points >> word && std::sscanf(word.c_str(), "%lf,%lf,%lf", &p[0], &p[1], &p[2]) == 3;
         ++count)
    {
        lowest = std::min(lowest, p[2]);
        highest = std::max(highest, p[2]);
        farthest = std::max(farthest, std::fabs(std::hypot(p[0] - 105.0, p[1] - 30.0) - 6.0));
    }
    ASSERT_EQ(count, 81) << run.output;
    EXPECT_LT(farthest, 0.3);
    EXPECT_NEAR(lowest, 22.0, 0.3);
    EXPECT_NEAR(highest, 30.0, 0.3);
}

TEST(DialogTabAndKeyScript, ADoubleClickFinishesTheGuideTheFreeFormIsLoftedAlong)
{
    std::string T;
    const std::string open = OpenShapesDialog(T);
    // Seen from the back, the point (x, z) of the block's back face shows at
    // these fractions of the view.
    const auto back = [](double x, double z)
    {
        char at[32];
        std::snprintf(at, sizeof at, " %.4f,%.4f", 0.8655 - 0.0060795 * x, 0.6038 - 0.005863 * z);
        return std::string(at);
    };
    // The back face brushed over x 20..100, z 4..16, fitted as a free form;
    // on the Guide curve tab, clicks along z = 10 at x = 100 and 60, and the
    // last point at x = 20.
    std::string road = open + "_DialogButton " + T + " 3060\n_DialogButton " + T + " 3040\n_DialogViewCommand " + T +
                       " 32792\n_DialogViewClick " + T;
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i <= 20; ++i)
            road += back(row % 2 ? 20.0 + 4.0 * i : 100.0 - 4.0 * i, 4.0 + 4.0 * row);
    road += "\n_DialogCombo " + T + " 3022 Free Form\n_DialogTab " + T + " Guide curve\n_DialogViewClick " + T +
            back(100, 10) + "\n_DialogViewClick " + T + back(60, 10) + "\n";
    const std::string create = "_DialogTab " + T + " Shape\n_DialogButton " + T + " 3\n_SurfacePoints\n";
    const auto spanAlongX = [](const std::string& output)
    {
        std::istringstream points(output.substr(output.find(':', output.find("surface ")) + 1));
        std::array<double, 2> span{1e9, -1e9};
        std::string word;
        for (std::array<double, 3> p{};
             points >> word && std::sscanf(word.c_str(), "%lf,%lf,%lf", &p[0], &p[1], &p[2]) == 3;)
            span = {std::min(span[0], p[0]), std::max(span[1], p[0])};
        return span;
    };
    // The double click's first press adds the last point and its second one
    // finishes the guide: the loft runs along it from x = 100 to x = 20,
    // with its border of a tenth of its length past each end (a pixel of
    // the view is about 0.23).
    stRun run = RunScript(road + "_DialogViewClick " + T + " double" + back(20, 10) + "\n" + create);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::array<double, 2> span = spanAlongX(run.output);
    EXPECT_NEAR(span[0], 12.0, 0.5) << run.output;
    EXPECT_NEAR(span[1], 108.0, 0.5) << run.output;
    // A single click there leaves the guide unfinished: the loft keeps the
    // patch's own guide, which stays inside the brushed face.
    run = RunScript(road + "_DialogViewClick " + T + back(20, 10) + "\n" + create);
    ASSERT_EQ(run.exitCode, 0) << run.output;
    span = spanAlongX(run.output);
    EXPECT_GT(span[0], 14.0) << run.output;
    EXPECT_LT(span[1], 106.0) << run.output;
    // A double click is at one point.
    run = RunScript(open + "_DialogViewClick " + T + " double 0.5,0.5 0.6,0.6\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("DialogViewClick double needs one point fx,fy"), std::string::npos) << run.output;
}
