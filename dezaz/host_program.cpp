#include "dezaz/host_program.h"
#include "dezaz/counted_noun.h"

#include "dezaz/host_commands.h"
#include "dezaz/main_window.h"
#include "dezaz/plugin_loader.h"
#include "platform/host/dezaz_app.h"
#include "platform/host/dezaz_doc.h"
#include "platform/host/dezaz_get_object.h"
#include "platform/host/dezaz_plugin.h"
#include "platform/host/document_io.h"
#include "platform/win32/codepage.h"
#include "platform/win32/menu.h"
#include "platform/win32/message.h"
#include "platform/win32/prompt_script.h"
#include "platform/win32/shell.h"
#include "platform/win32/window.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <unistd.h>

namespace dezaz
{

namespace
{

constexpr const char* kUsage =
    "usage: dezaz [--plugin PATH]... [--script FILE|-] [--open DOC] [--import MESH]...\n"
    "             [--save DOC] [--screenshot DIR] [--headless]\n";

std::string ReadAll(std::istream& in)
{
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A person at the terminal answers prompts that the script did not: the
// answer is typed as a script answer would be written ("No", "last", "32809").
void AnswerPromptsAtTheTerminal()
{
    win32::SetPromptHandler([](const std::wstring& kind, const std::wstring& text, HWND window) -> std::optional<INT_PTR> {
        const wchar_t* word = kind == dezaz::kObjectPrompt          ? L"Object"
                              : kind == win32::kMessageBoxPrompt ? L"MessageBox"
                              : kind == win32::kPopupMenuPrompt  ? L"Menu"
                                                                 : L"Dialog";
        for (;;)
        {
            std::printf("%s (%s): ", win32::WideToUtf8(text).c_str(), win32::WideToUtf8(word).c_str());
            std::fflush(stdout);
            std::string line;
            if (!std::getline(std::cin, line))
                return std::nullopt;
            std::wstring error;
            if (dezaz::QueueScriptAnswer(std::wstring(word) + L" " + win32::Utf8ToWide(line), error))
                return win32::AnswerPrompt(kind, text, window);
            std::printf("%s\n", win32::WideToUtf8(error).c_str());
        }
    });
}

// Runs one host command built from a program option, quoting its argument.
bool RunHostCommand(const wchar_t* name, const std::string& argument)
{
    const std::wstring line = std::wstring(L"_") + name + L" \"" + win32::Utf8ToWide(argument) + L"\"";
    return DezazApp().RunScript(line.c_str(), 1);
}

} // namespace

bool ParseProgramOptions(const std::vector<std::string>& arguments, ProgramOptions& options, std::string& error)
{
    for (std::size_t i = 0; i < arguments.size(); ++i)
    {
        const std::string& a = arguments[i];
        if (a == "--headless")
        {
            options.headless = true;
            continue;
        }
        const bool takes_value = a == "--plugin" || a == "--script" || a == "--open" || a == "--import" ||
                                 a == "--save" || a == "--screenshot";
        if (!takes_value)
        {
            error = "unknown option \"" + a + "\"";
            return false;
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].empty())
        {
            error = a + " needs a value";
            return false;
        }
        const std::string& value = arguments[++i];
        std::string* single = a == "--script" ? &options.script
                              : a == "--open" ? &options.open
                              : a == "--save" ? &options.save
                              : a == "--screenshot" ? &options.screenshot
                                                    : nullptr;
        if (single)
        {
            if (!single->empty())
            {
                error = a + " is given twice";
                return false;
            }
            *single = value;
        }
        else if (a == "--plugin")
            options.plugins.push_back(value);
        else
            options.imports.push_back(value);
    }
    return true;
}

int RunDezaz(int argc, char** argv)
{
    ProgramOptions options;
    std::string parse_error;
    if (!ParseProgramOptions(std::vector<std::string>(argv + 1, argv + argc), options, parse_error))
    {
        std::fprintf(stderr, "dezaz: %s\n%s", parse_error.c_str(), kUsage);
        return 2;
    }

    DezazApp().SetPrintSink([](const std::wstring& text) {
        const std::string utf8 = win32::WideToUtf8(text);
        std::fwrite(utf8.data(), 1, utf8.size(), stdout);
        std::fflush(stdout);
    });
    const HWND main_window = CreateMainWindow();
    DezazApp().SetMainWindowHandle(main_window);
    HMENU menu_bar = CreateMenu();
    SetHostMenu(menu_bar);
    RegisterHostCommands();

    int status = 0;
    const auto fail = [&](const std::wstring& message) {
        if (!message.empty())
            DezazApp().Print(L"%ls\n", message.c_str());
        status = 1;
    };

    cPlugInManager plugins;
    for (const std::string& path : options.plugins)
    {
        std::wstring error;
        if (!plugins.Open(path, error))
            fail(error);
    }
    std::wstring start_error;
    if (status == 0 && !plugins.StartAll(start_error))
        fail(start_error);
    for (const LoadedPlugIn& plugin : plugins.PlugIns())
        DezazApp().Print(L"Plug-in %ls %ls loaded.\n", plugin.name.c_str(), plugin.plugin->PlugInVersion());

    if (status == 0 && !options.open.empty() && !RunHostCommand(L"Open", options.open))
        status = 1;
    for (const std::string& mesh : options.imports)
        if (status == 0 && !RunHostCommand(L"Import", mesh))
            status = 1;
    if (status == 0 && !options.script.empty())
    {
        std::string text;
        if (options.script == "-")
            text = ReadAll(std::cin);
        else
        {
            std::ifstream in(options.script, std::ios::binary);
            if (!in)
                fail(L"Cannot read the script \"" + win32::Utf8ToWide(options.script) + L"\".");
            text = ReadAll(in);
        }
        if (status == 0 && !DezazApp().RunScript(win32::Utf8ToWide(text).c_str(), 1))
            status = 1;
    }
    else if (status == 0 && !options.headless && isatty(STDIN_FILENO))
    {
        // A person at the command line: one entry per line until input ends.
        AnswerPromptsAtTheTerminal();
        std::string line;
        std::fputs("Command: ", stdout);
        std::fflush(stdout);
        while (std::getline(std::cin, line))
        {
            DezazApp().RunScript(win32::Utf8ToWide(line).c_str(), 0);
            std::fputs("Command: ", stdout);
            std::fflush(stdout);
        }
        std::fputs("\n", stdout);
        win32::SetPromptHandler(nullptr);
    }
    // Nothing is opened on this machine; the user sees what would have been.
    for (const win32::ShellRequest& request : win32::ShellRequests())
        DezazApp().Print(L"The shell was asked to %ls \"%ls\" (nothing is opened on this machine).\n",
                         request.verb.c_str(), request.file.c_str());
    if (status == 0 && !options.save.empty() && !RunHostCommand(L"Save", options.save))
        status = 1;
    if (status == 0 && !options.screenshot.empty() && !RunHostCommand(L"Screenshot", options.screenshot))
        status = 1;
    if (status == 0 && win32::PendingPromptAnswers() != 0)
        fail(Counted(win32::PendingPromptAnswers(), L"queued answer was", L"queued answers were") +
             L" never asked for: the script and the commands disagree.");
    win32::ClearPromptAnswers();

    // The document goes while the plug-ins that may have put data on its
    // objects (user data of their own classes) are still loaded.
    DezazApp().ActiveDoc().Clear();
    plugins.UnloadAll();
    SetHostMenu(nullptr);
    DestroyMenu(menu_bar);
    DezazApp().SetMainWindowHandle(nullptr);
    if (main_window)
        DestroyWindow(main_window);
    DezazApp().SetPrintSink(nullptr);
    return status;
}

} // namespace dezaz
