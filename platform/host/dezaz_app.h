// The host application object of the stand-in host: for now its command
// line. Everything printed is kept so that tests and the host program can
// read it back.
#pragma once

#include <mutex>
#include <string>

class CDezazApp
{
public:
    // printf-style formatting of wide text, appended to the command line.
    void Print(const wchar_t* format, ...);

    // Everything printed so far, and a way to start over.
    std::wstring CommandLineText() const;
    void ClearCommandLineText();

private:
    mutable std::mutex m_lock;
    std::wstring m_commandLine;
};

// The one application object of the process.
CDezazApp& DezazApp();
