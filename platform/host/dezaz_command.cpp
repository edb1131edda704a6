#include "platform/host/dezaz_command.h"

#include <algorithm>
#include <cwctype>
#include <mutex>

namespace
{

struct CommandTable
{
    std::mutex lock;
    std::vector<CDezazCommand*> commands;
};

// Built on first use: command objects of a library are constructed during
// its static initialisation, in no order relative to the host's statics.
CommandTable& Table()
{
    static CommandTable* table = new CommandTable; // outlives static commands
    return *table;
}

bool SameName(const std::wstring& a, const wchar_t* b)
{
    if (!b)
        return false;
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return i == a.size() && b[i] == 0;
}

} // namespace

CDezazCommand::CDezazCommand()
{
    CommandTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.commands.push_back(this);
}

CDezazCommand::~CDezazCommand()
{
    CommandTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    t.commands.erase(std::remove(t.commands.begin(), t.commands.end(), this), t.commands.end());
}

namespace dezaz
{

CDezazCommand* FindCommand(const std::wstring& name)
{
    // The names of a command's virtual functions are asked outside the lock:
    // they are the command's own code.
    for (CDezazCommand* command : RegisteredCommands())
        if (SameName(name, command->EnglishCommandName()) || SameName(name, command->LocalCommandName()))
            return command;
    return nullptr;
}

std::vector<CDezazCommand*> RegisteredCommands()
{
    CommandTable& t = Table();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.commands;
}

} // namespace dezaz
