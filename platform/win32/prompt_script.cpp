#include "platform/win32/prompt_script.h"
#include "platform/win32/codepage.h"

#include <deque>
#include <mutex>

namespace
{

struct Script
{
    std::mutex lock;
    std::deque<win32::PromptAnswer> answers;
    win32::PromptHandler handler;
};

Script& TheScript()
{
    static Script* script = new Script;
    return *script;
}

std::string Narrow(const std::wstring& w)
{
    return win32::WideToUtf8(w);
}

} // namespace

namespace win32
{

void QueuePromptAnswer(PromptAnswer answer)
{
    Script& s = TheScript();
    std::lock_guard<std::mutex> guard(s.lock);
    s.answers.push_back(std::move(answer));
}

std::size_t PendingPromptAnswers()
{
    Script& s = TheScript();
    std::lock_guard<std::mutex> guard(s.lock);
    return s.answers.size();
}

void ClearPromptAnswers()
{
    Script& s = TheScript();
    std::lock_guard<std::mutex> guard(s.lock);
    s.answers.clear();
}

void SetPromptHandler(PromptHandler handler)
{
    Script& s = TheScript();
    std::lock_guard<std::mutex> guard(s.lock);
    s.handler = std::move(handler);
}

INT_PTR AnswerPrompt(const std::wstring& kind, const std::wstring& text, HWND window)
{
    Script& s = TheScript();
    PromptAnswer answer;
    PromptHandler handler;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.answers.empty())
            handler = s.handler;
        else
        {
            answer = std::move(s.answers.front());
            s.answers.pop_front();
        }
    }
    if (answer.kind.empty())
    {
        if (handler)
            if (auto r = handler(kind, text, window))
                return *r;
        throw UnexpectedPrompt("unexpected " + Narrow(kind) + ": \"" + Narrow(text) +
                               "\" (no answer was queued)");
    }
    if (answer.kind != kind)
        throw UnexpectedPrompt("a " + Narrow(kind) + " came (\"" + Narrow(text) +
                               "\") where the script expected a " + Narrow(answer.kind));
    if (!answer.expect.empty() && text.find(answer.expect) == std::wstring::npos)
        throw UnexpectedPrompt("the " + Narrow(kind) + " \"" + Narrow(text) + "\" does not contain \"" +
                               Narrow(answer.expect) + "\"");
    return answer.act ? answer.act(window, text) : answer.result;
}

} // namespace win32
