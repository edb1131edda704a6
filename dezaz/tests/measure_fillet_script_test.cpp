// Measuring a round of the sample scan from a host script: an edge picked by
// clicking a plane surface next to it, the reference mesh chosen through the
// tool window's button, and the radius read back from the annotation.
#include "dezaz/sample_part.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
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
    const fs::path dir = fs::temp_directory_path() / "vtl_measure_fillet_script" /
                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir);
    return dir;
}

stRun RunScript(const std::string& script)
{
    const fs::path file = Folder() / "script.txt";
    std::ofstream(file) << script;
    const std::string command = std::string("timeout 300 ") + VTL_DEZAZ_PATH + " --plugin " + VTL_PLUGIN_PATH +
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
    options.cell = 1.5;
    ON_Mesh mesh;
    dezaz::GenerateSamplePart(options, mesh);
    std::wstring error;
    EXPECT_TRUE(dezaz::WriteBinaryStl(path, mesh, error));
    return path.string();
}

} // namespace

// The boss of the sample is a cylinder of radius 12 around x = 20, y = 30:
// a sheet standing on its side at x = 32 has an edge along the boss.
TEST(MeasureFilletScript, TheAnnotationOfTheBossReadsItsRadius)
{
    const stRun run = RunScript("_Import \"" + Scan() +
                                "\"\n"
                                "_PlaneSurface 32,30,22 32,30,33 40,30,22\n"
                                "> Object last at 32,30,27.5\n"
                                "_vtlMeasureFillet\n"
                                "> Object first\n"
                                "_DialogButton \"Measure Fillet\" 3078\n"
                                "_DialogButton \"Measure Fillet\" 3084\n"
                                "_List\n");
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::size_t at = run.output.find("text dot \"R: ");
    ASSERT_NE(at, std::string::npos) << run.output;
    const double radius = std::atof(run.output.c_str() + at + 13);
    EXPECT_NEAR(radius, 12.0, 0.1) << run.output;
}

TEST(MeasureFilletScript, AWindowThatIsNotOpenOrAMissingButtonFailsTheScript)
{
    stRun run = RunScript("_DialogButton \"Measure Fillet\" 3078\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("There is no window titled \"Measure Fillet\"."), std::string::npos) << run.output;
    run = RunScript("_DialogButton \"Measure Fillet\"\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.output.find("needs the title of a window and the id of a button"), std::string::npos)
        << run.output;
}
