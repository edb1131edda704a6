// The host program as a user runs it: a separate process per run.
#include "dezaz/host_commands.h"
#include "dezaz/host_program.h"
#include "dezaz/sample_part.h"
#include "platform/host/document_format.h"
#include "support/host_script_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace
{

namespace fs = std::filesystem;

struct RunResult
{
    int exit_code = -1;
    std::string output;
};

// A folder of the running test's own: CTest runs the tests side by side.
fs::path RunFolder()
{
    const fs::path dir =
        fs::temp_directory_path() / "vtl_dezaz_runs" / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(dir);
    return dir;
}

// Runs dezaz with the plug-in; a run that hangs is ended by timeout (exit 124).
RunResult RunDezaz(const std::string& arguments, const std::string& script = {})
{
    const fs::path dir = RunFolder();
    std::string command = std::string("timeout 120 ") + VTL_DEZAZ_PATH + " --plugin " + VTL_PLUGIN_PATH + " --headless";
    if (!script.empty())
    {
        const fs::path file = dir / "script.txt";
        std::ofstream(file) << script;
        command += " --script " + file.string();
    }
    command += " " + arguments + " 2>&1";
    const hostscript::stRun run = hostscript::RunCommand(command);
    return RunResult{run.exitCode, run.output};
}

std::string Bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

fs::path SmallScan()
{
    dezaz::SamplePartOptions options;
    options.cell = 3.0;
    return hostscript::WriteSampleScan(RunFolder(), options);
}

TEST(HostProgram, APromptNobodyAnsweredFailsTheRunInsteadOfWaiting)
{
    const RunResult run = RunDezaz("", "_vtlShapes\n_Save never.dzz\n");
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("stopped at a prompt nobody answered"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Command: _Save"), std::string::npos) << run.output;
}

TEST(HostProgram, AScriptCanComeFromStandardInput)
{
    const std::string command = std::string("echo _SelAll | timeout 120 ") + VTL_DEZAZ_PATH + " --plugin " +
                                VTL_PLUGIN_PATH + " --headless --script - 2>&1";
    const hostscript::stRun run = hostscript::RunCommand(command);
    const std::string& output = run.output;
    EXPECT_EQ(run.exitCode, 0) << output;
    EXPECT_NE(output.find("Plug-in Vantrell 4.1.74 loaded."), std::string::npos) << output;
    EXPECT_NE(output.find("0 objects selected."), std::string::npos) << output;
}

TEST(HostProgram, UnknownCommandsBadAnswersAndUnusedAnswersFailTheRun)
{
    RunResult run = RunDezaz("", "# a comment\n\n_Frobnicate now\n_SelAll\n");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.output.find("Unknown command: Frobnicate"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("_SelAll"), std::string::npos) << run.output;

    run = RunDezaz("", "_SelAll meshes\n");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.output.find("SelAll takes no arguments."), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("selected."), std::string::npos) << run.output;

    run = RunDezaz("", "> MessageBox Perhaps\n");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.output.find("expected a button"), std::string::npos) << run.output;

    run = RunDezaz("", "> Object cancel\n");
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.output.find("never asked for"), std::string::npos) << run.output;

    run = RunDezaz("--frobnicate");
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_NE(run.output.find("usage: dezaz"), std::string::npos) << run.output;
}

TEST(HostProgram, MessagesCountOneThingInTheSingular)
{
    const fs::path dir = RunFolder();
    std::ofstream(dir / "tri.stl") << "solid t\nfacet normal 0 0 1\n outer loop\n  vertex 0 0 0\n  vertex 1 0 0\n"
                                      "  vertex 0 1 0\n endloop\nendfacet\nendsolid t\n";
    // A binary STL that declares one triangle and holds none.
    std::string header(80, ' ');
    header += std::string("\x01\x00\x00\x00", 4);
    std::ofstream(dir / "short.stl", std::ios::binary) << header;
    RunResult run = RunDezaz("", "_Import \"" + (dir / "tri.stl").string() + "\"\n_List\n> Object cancel\n");
    EXPECT_NE(run.output.find("Imported 1 triangle and 3 vertices from tri.stl."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("mesh, 1 face, from"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("1 queued answer was never asked for"), std::string::npos) << run.output;
    run = RunDezaz("", "_Import \"" + (dir / "short.stl").string() + "\"\n");
    EXPECT_NE(run.output.find("declares 1 triangle but holds 0"), std::string::npos) << run.output;
}

TEST(HostProgram, TheShapesCommandAsksForAMeshAndIsInteractiveOnly)
{
    const fs::path scan = SmallScan();
    // Batch form: only the notice. Interactive: the pre-selected mesh is
    // taken and the shapes dialog opens on it without a word.
    // The mesh lies on the default layer: the command offers it one of its own.
    RunResult run = RunDezaz("--import " + scan.string(), "-_vtlShapes\n_SelAll\n> MessageBox No\n_vtlShapes\n");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("The function works only intereactivelly"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("is not available"), std::string::npos) << run.output;

    // Nothing selected: the script's answer picks the mesh; a cancel cancels.
    run = RunDezaz("--import " + scan.string(),
                   "> Object last\n> MessageBox No\n_vtlShapes\n> Object cancel\n_vtlShapes\n");
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("vtlShapes was cancelled"), std::string::npos) << run.output;

    // A point is not a mesh: giving it is an error of the script.
    run = RunDezaz("--import " + scan.string(), "> Object 999999\n_vtlShapes\n");
    EXPECT_EQ(run.exit_code, 1) << run.output;
    EXPECT_NE(run.output.find("not one the command accepts"), std::string::npos) << run.output;
}

TEST(HostProgram, ScriptsDrawGeometryForTheCommandsAndListTheDocument)
{
    // A tapered wall from a drawn curve, and a drawn sheet trimmed by a drawn
    // wall at the clicked side; help and about say what they opened.
    const RunResult run = RunDezaz("", "_Polyline 0,0,0 40,0,0 40,30,0 0,30,0 0,0,0\n"
                                       "> Object last\n> Object nothing\n_vtlTestTapered\n"
                                       "_PlaneSurface 20,50,-10 20,110,-10 20,50,10\n"
                                       "_PlaneSurface 0,60,0 50,60,0 0,100,0\n"
                                       "> Object last at 35,80,0\n_vtlTrim\n_List\n"
                                       "_vtlOnlineHelp\n-_vtlAbout\n");
    EXPECT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("The document holds 4 objects."), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("polysurface, 4 faces (0 trimmed), from (0, 0, 0) to (40, 30, 5)"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("polysurface, 1 face (1 trimmed), from (20, 60, 0) to (50, 100, 0)"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("The shell was asked to open \"http://www.pellmark.example/onlinehelp\""),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("For more information visit: http://www.pellmark.example/"), std::string::npos)
        << run.output;

    // Points that cannot be read, or that make no shape, fail the script.
    for (const char* bad : {"_Polyline 0,0,0\n", "_Polyline 0,0 1,1\n", "_Polyline 0,0,0 1,1,x\n",
                            "_PlaneSurface 0,0,0 1,0,0 2,0,0\n", "_PlaneSurface 0,0,0 1,0,0\n"})
    {
        const RunResult failed = RunDezaz("", bad);
        EXPECT_EQ(failed.exit_code, 1) << bad << failed.output;
    }
}

TEST(HostProgram, ADocumentSavedOpenedAndSavedAgainKeepsEveryByte)
{
    const fs::path dir = RunFolder();
    const fs::path scan = SmallScan();
    const fs::path first = dir / "first.dzz", second = dir / "second.dzz";
    RunResult run = RunDezaz("--import " + scan.string() + " --save " + first.string());
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find("Imported"), std::string::npos);
    run = RunDezaz("--open " + first.string() + " --save " + second.string());
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_NE(run.output.find(": 1 object."), std::string::npos) << run.output;
    EXPECT_EQ(Bytes(first), Bytes(second));

    // A chunk of a plug-in that is not loaded survives the round trip.
    CDezazDoc doc;
    const std::string saved = Bytes(first);
    std::vector<std::uint8_t> bytes(saved.begin(), saved.end());
    std::vector<DezazPlugInChunk> chunks;
    std::wstring error;
    ASSERT_TRUE(dezaz::DecodeDocument(bytes.data(), bytes.size(), doc, chunks, error));
    chunks.push_back({ON_UuidFromString("13579BDF-2468-ACE0-1357-9BDF2468ACE0"), {1, 2, 3, 4, 5}});
    ASSERT_TRUE(dezaz::EncodeDocument(doc, chunks, bytes, error));
    std::ofstream(first, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    run = RunDezaz("--open " + first.string() + " --save " + second.string());
    ASSERT_EQ(run.exit_code, 0) << run.output;
    EXPECT_EQ(Bytes(first), Bytes(second));

    // A damaged document is refused and nothing is saved over the good one.
    bytes[bytes.size() / 2] ^= 0x20;
    std::ofstream(first, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    const std::string kept = Bytes(second);
    run = RunDezaz("--open " + first.string() + " --save " + second.string());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.output.find("damaged"), std::string::npos) << run.output;
    EXPECT_EQ(Bytes(second), kept);
}

TEST(HostProgram, ScreenshotsArePngFilesNamedAfterTheWindows)
{
    const fs::path dir = RunFolder() / "shots";
    fs::remove_all(dir);
    const RunResult run = RunDezaz("--screenshot " + dir.string());
    ASSERT_EQ(run.exit_code, 0) << run.output;
    const std::string png = Bytes(dir / "Dezaz.png");
    ASSERT_GE(png.size(), 8u);
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST(HostProgram, ScreenshotNamesCannotLeaveTheFolder)
{
    EXPECT_EQ(dezaz::ScreenshotFileName(L"Shapes"), "Shapes");
    EXPECT_EQ(dezaz::ScreenshotFileName(L"../../etc/passwd"), "window.._.._etc_passwd");
    EXPECT_EQ(dezaz::ScreenshotFileName(L""), "window");
    EXPECT_EQ(dezaz::ScreenshotFileName(L"a:b*?\"<>|\n"), "a_b_______");
}

} // namespace
