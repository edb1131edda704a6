// Answers for modal prompts (popup menus, message boxes, modal dialogs).
// Nothing here waits for a person: tests and the host program's scripts
// queue the answers in advance, and a prompt nobody expected fails loudly
// (UnexpectedPrompt) instead of hanging.
#pragma once

#include "platform/win32/types.h"

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace win32
{

// Kinds of prompts.
inline constexpr const wchar_t* kPopupMenuPrompt = L"popup menu";
inline constexpr const wchar_t* kMessageBoxPrompt = L"message box";
inline constexpr const wchar_t* kDialogPrompt = L"dialog";

struct PromptAnswer
{
    std::wstring kind;
    // Text the prompt must contain (its message, its items); empty: any.
    std::wstring expect;
    // The answer: a command id, a button id, a dialog's end code.
    INT_PTR result = 0;
    // Optional work inside the prompt (a modal dialog's controls); its
    // return value replaces result.
    std::function<INT_PTR(HWND window, const std::wstring& text)> act;
};

class UnexpectedPrompt : public std::logic_error
{
public:
    using std::logic_error::logic_error;
};

void QueuePromptAnswer(PromptAnswer answer);
std::size_t PendingPromptAnswers();
void ClearPromptAnswers();

// Used by the modal functions: takes the next queued answer, which must be
// of this kind and match the text; with an empty queue asks the handler
// (the host program's interactive one) and otherwise throws UnexpectedPrompt.
INT_PTR AnswerPrompt(const std::wstring& kind, const std::wstring& text, HWND window = nullptr);

using PromptHandler =
    std::function<std::optional<INT_PTR>(const std::wstring& kind, const std::wstring& text, HWND window)>;
void SetPromptHandler(PromptHandler handler);

} // namespace win32
