// Measuring a round of the sample scan from a host script: an edge picked by
// clicking a plane surface next to it, the reference mesh chosen through the
// tool window's button, and the radius read back from the annotation.
#include "support/host_script_run.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace
{

namespace fs = std::filesystem;
using hostscript::stRun;

fs::path Folder()
{
    return hostscript::TestFolder("vtl_measure_fillet_script");
}

stRun RunScript(const std::string& script)
{
    return hostscript::RunScript(Folder(), script, 300);
}

std::string Scan()
{
    dezaz::SamplePartOptions options;
    options.cell = 1.5;
    return hostscript::WriteSampleScan(Folder(), options);
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
