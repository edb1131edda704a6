// The host application object of the stand-in host: its command line (what
// is printed is kept, and handed to a sink such as the program's standard
// output), the active document, the main window and the running of command
// scripts.
//
// A script is the host's command line, one entry per line:
//   _Name arguments   runs the command interactively (as a user typing it);
//   -_Name arguments  runs it as a batch command (not interactive);
//   > Kind answer     queues the answer for a prompt that a later command
//                     will show (see QueueScriptAnswer);
//   # text            is a comment; blank lines are skipped.
// The script stops at the first entry that fails: an unknown command, a
// command that does not succeed, a prompt nobody answered, a bad answer.
#pragma once

#include "platform/host/dezaz_command.h"
#include "platform/win32/types.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CDezazDoc;
class CWnd;

class CDezazApp
{
public:
    CDezazApp();
    ~CDezazApp();

    // printf-style formatting of wide text, appended to the command line.
    void Print(const wchar_t* format, ...);

    // Everything printed so far, and a way to start over.
    std::wstring CommandLineText() const;
    void ClearCommandLineText();
    // Also hands every printed text to the sink (null: none).
    void SetPrintSink(std::function<void(const std::wstring&)> sink);

    CDezazDoc& ActiveDoc();

    // The host's main window (null until the host program creates it).
    CWnd* MainWnd() const;
    HWND MainWindowHandle() const { return m_main_window; }
    void SetMainWindowHandle(HWND window) { m_main_window = window; }

    // Runs the script's entries; true when all of them succeeded. With echo
    // each command is printed before it runs.
    bool RunScript(const wchar_t* script, int echo = 1);
    // Runs one command line (no answers, no comments).
    CDezazCommand::result RunCommandLine(const std::wstring& line, bool echo = false);

    // The script's last failure, for the program's exit message.
    const std::wstring& LastScriptError() const { return m_last_error; }

private:
    bool RunEntry(const std::wstring& line, int echo);
    void Fail(const std::wstring& message);

    mutable std::mutex m_lock;
    std::wstring m_commandLine;
    std::function<void(const std::wstring&)> m_sink;
    std::unique_ptr<CDezazDoc> m_doc;
    HWND m_main_window = nullptr;
    std::wstring m_last_error;
    unsigned long m_failures = 0;
};

// The one application object of the process.
CDezazApp& DezazApp();

namespace dezaz
{

// Queues the answer of one script line "> Kind answer [expected text]":
//   > Object <serial>|last|first|selected|cancel|nothing [at x,y,z]
//     (at: where the object was clicked, its selection point)
//   > MessageBox Yes|No|OK|Cancel|Abort|Retry|Ignore [text the box must show]
//   > Menu <command id>|0
//   > Dialog <end code>
//   > Screenshot <folder>   (the next modal dialog's picture, named after
//     its caption, taken while it runs; the dialog goes on with the next
//     answer)
// False, with the reason in error, for an answer that cannot be understood.
bool QueueScriptAnswer(const std::wstring& answer, std::wstring& error);

// A message box of the host: printed on the command line, answered from the
// prompt queue. Returns the button id (IDOK 1, IDCANCEL 2, IDYES 6, IDNO 7, ...).
int MessageBoxAnswer(const wchar_t* text, const wchar_t* caption, unsigned int type);

} // namespace dezaz

int DezazMessageBox(HWND parent, const wchar_t* text, const wchar_t* caption, unsigned int type);
