// A progress object for tests: records what a computation reports and answers
// the cancel query as told.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/progress.h"

class RecordingProgress : public cProcProgressNull
{
public:
    void SetCaption(const wchar_t* caption) override
    {
        captions.emplace_back(caption != nullptr ? caption : L"");
        calls.push_back("caption");
    }
    void SetRange(float start, float end) override
    {
        rangeStart = start;
        rangeEnd = end;
        calls.push_back("range");
    }
    float GetRangeStart() override { return rangeStart; }
    float GetRangeEnd() override { return rangeEnd; }
    bool SetPosition(float position) override
    {
        positions.push_back(position);
        calls.push_back("position");
        return true;
    }
    // Answers cancelAnswer from the cancelAfter-th query on (counting from 1),
    // 0 before that.
    std::int32_t IsCancelled() override
    {
        ++cancelQueries;
        calls.push_back("cancel");
        return cancelQueries >= cancelAfter ? cancelAnswer : 0;
    }

    std::vector<std::wstring> captions;
    std::vector<float> positions;
    std::vector<std::string> calls;
    float rangeStart = 0.0f;
    float rangeEnd = 100.0f;
    std::int32_t cancelAnswer = 0;
    int cancelAfter = 1;
    int cancelQueries = 0;
};
