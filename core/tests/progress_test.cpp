#include "core/progress.h"

#include <gtest/gtest.h>

#include "recording_progress.h"

namespace
{

// A long loop written the way every computation reports: position, then the
// cancel query, at every stride index. Returns the number of records done.
std::uint32_t RunReportingLoop(IProcProgress* given, std::uint32_t total)
{
    IProcProgress* progress = ProgressOrNull(given);
    progress->SetRange(0.0f, static_cast<float>(total));
    for (std::uint32_t i = 0; i < total; ++i)
    {
        if (i % kProgressStride == 0 && ReportProgressAndCheckCancel(*progress, static_cast<float>(i)))
            return i;
    }
    return total;
}

TEST(ProgressNull, AnswersTheNeutralValues)
{
    IProcProgress* progress = cProcProgressNull::Shared();
    EXPECT_EQ(progress->GetRangeStart(), 0.0f);
    EXPECT_EQ(progress->GetRangeEnd(), 100.0f);
    progress->SetRange(5.0f, 7.0f);
    EXPECT_EQ(progress->GetRangeEnd(), 100.0f);
    EXPECT_EQ(progress->IsCancelled(), 0);
    EXPECT_FALSE(progress->SetPosition(3.0f));
    EXPECT_TRUE(progress->IsAvailable());
    EXPECT_EQ(progress->GetPassCount(), 1);
    EXPECT_EQ(progress->GetCurrentPass(), 1);
}

TEST(ProgressNull, NullIsReplacedByTheSharedObject)
{
    EXPECT_EQ(ProgressOrNull(nullptr), cProcProgressNull::Shared());
    RecordingProgress own;
    EXPECT_EQ(ProgressOrNull(&own), &own);
    EXPECT_EQ(RunReportingLoop(nullptr, 20001), 20001u);
}

TEST(ProgressNull, DeletingTheSharedObjectLeavesItAlive)
{
    IProcProgress* shared = cProcProgressNull::Shared();
    delete shared;
    // Still the same working object for every later user.
    EXPECT_EQ(cProcProgressNull::Shared(), shared);
    EXPECT_EQ(shared->GetRangeEnd(), 100.0f);
    EXPECT_EQ(RunReportingLoop(shared, 12000), 12000u);

    // Other null progress objects are still freed normally (the leak checker
    // would report one that is not).
    IProcProgress* own = new cProcProgressNull();
    delete own;
}

TEST(ProgressReporting, ReportsPositionThenCancelAtEveryStride)
{
    RecordingProgress progress;
    EXPECT_EQ(RunReportingLoop(&progress, 10001), 10001u);
    EXPECT_EQ(progress.positions, (std::vector<float>{0.0f, 5000.0f, 10000.0f}));
    const std::vector<std::string> expected = {"range",  "position", "cancel", "position",
                                               "cancel", "position", "cancel"};
    EXPECT_EQ(progress.calls, expected);
}

TEST(ProgressReporting, OnlyTheAnswerOneStops)
{
    for (std::int32_t answer : {2, -1, 0x101})
    {
        RecordingProgress progress;
        progress.cancelAnswer = answer;
        EXPECT_EQ(RunReportingLoop(&progress, 30000), 30000u) << answer;
    }
    RecordingProgress cancelling;
    cancelling.cancelAnswer = 1;
    cancelling.cancelAfter = 3;
    EXPECT_EQ(RunReportingLoop(&cancelling, 30000), 10000u);
}

TEST(ProgressReporting, TranslateTextReturnsItsArgument)
{
    const wchar_t* text = L"Generating Mesh ...";
    EXPECT_EQ(TranslateText(text), text);
}

} // namespace
