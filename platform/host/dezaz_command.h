// Commands of the host's command line. Each command object registers itself
// in the host's command table when it is constructed (plug-in commands are
// static objects, so during the library's static initialisation) and leaves
// it when destroyed. The host runs a command by its English name.
#pragma once

#include "platform/geometry/uuid.h"

#include <string>
#include <vector>

class CDezazDoc;

class CDezazCommandContext
{
public:
    CDezazCommandContext(CDezazDoc& doc, bool interactive, std::wstring arguments = {})
        : m_doc(doc), m_interactive(interactive), m_arguments(std::move(arguments))
    {
    }
    // False for batch scripts; a command run from a plug-in menu's script
    // is interactive, since a user chose it.
    bool IsInteractive() const { return m_interactive; }
    CDezazDoc& Document() const { return m_doc; }
    // The rest of the command line after the command's name (host commands
    // take file names this way).
    const std::wstring& Arguments() const { return m_arguments; }

private:
    CDezazDoc& m_doc;
    bool m_interactive;
    std::wstring m_arguments;
};

class CDezazCommand
{
public:
    enum result : int
    {
        success = 0,
        cancel = 1,
        nothing = 2,
        failure = 3,
        unknown_command = 4,
        exit_dezaz = 5,
    };

    // Registers the command (the English name without '_').
    CDezazCommand();
    virtual ~CDezazCommand();
    CDezazCommand(const CDezazCommand&) = delete;
    CDezazCommand& operator=(const CDezazCommand&) = delete;

    virtual ON_UUID CommandUUID() = 0;
    virtual const wchar_t* EnglishCommandName() = 0;
    virtual const wchar_t* LocalCommandName() { return EnglishCommandName(); }
    virtual result RunCommand(const CDezazCommandContext& context) = 0;
};

// A command that runs other commands through scripts.
class CDezazScriptCommand : public CDezazCommand
{
};

namespace dezaz
{

// The command whose English or local name matches (without case), or null.
CDezazCommand* FindCommand(const std::wstring& name);
std::vector<CDezazCommand*> RegisteredCommands();

} // namespace dezaz
