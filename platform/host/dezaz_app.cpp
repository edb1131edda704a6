#include "platform/host/dezaz_app.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

void CDezazApp::Print(const wchar_t* format, ...)
{
    if (!format)
        return;
    std::vector<wchar_t> buffer(256);
    for (;;)
    {
        va_list args;
        va_start(args, format);
        const int written = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (written >= 0 && static_cast<std::size_t>(written) < buffer.size())
            break;
        // vswprintf reports neither the needed size nor an encoding error
        // apart: grow up to a sane bound, then give up on the text.
        if (buffer.size() >= (1u << 20))
            return;
        buffer.resize(buffer.size() * 4);
    }
    std::lock_guard<std::mutex> guard(m_lock);
    m_commandLine += buffer.data();
}

std::wstring CDezazApp::CommandLineText() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_commandLine;
}

void CDezazApp::ClearCommandLineText()
{
    std::lock_guard<std::mutex> guard(m_lock);
    m_commandLine.clear();
}

CDezazApp& DezazApp()
{
    static CDezazApp app;
    return app;
}
