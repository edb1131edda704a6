// Seeded random user sessions on the real shapes dialog and the tool
// windows (support/user_session_driver.h). The fixed seeds below run in
// every test run; a longer campaign runs the same test with other seeds:
//
//   VTL_SESSION_SEEDS=1000-1199 VTL_SESSION_STEPS=100 plugin_tests
//     --gtest_filter='RandomUserSessions.*'
//
// A failure prints its seed and the steps played, which replay it.
#include "support/user_session_driver.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(RandomUserSessions, AnyOrderOfActionsKeepsEveryShapeWholeAndEveryUndoExact)
{
    const std::vector<std::uint32_t> seeds = usersession::SeedsFromEnvironment({1, 2, 3, 4, 5});
    const int steps = usersession::StepsFromEnvironment(80);
    usersession::cUserSessionDriver driver;
    for (std::uint32_t seed : seeds)
    {
        // The first failure of a run shows in the test's output even when a
        // rerun passes.
        const std::string failure = driver.Play(seed, steps);
        if (!failure.empty())
        {
            std::fprintf(stderr, "%s\n", failure.c_str());
            ADD_FAILURE() << failure;
        }
    }
    const usersession::stCounts& counts = driver.Counts();
    std::printf("random user sessions: %ld sequences, %ld steps, %ld failures; %ld shapes made, %ld breps and %ld "
                "curves created, %ld reopened, %ld undos checked\n",
                counts.sequences, counts.steps, counts.failures, counts.shapesMade, counts.breps, counts.curves,
                counts.reopened, counts.undos);
    for (const auto& [name, n] : counts.actions)
        std::printf("  %s %ld\n", name.c_str(), n);
}
