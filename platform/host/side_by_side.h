// Work split in pieces run on threads of their own, for the document's big
// reads and checksums.
#pragma once

#include <system_error>
#include <thread>
#include <vector>

// Runs run(0) .. run(count - 1), each but the first on a thread of its own
// started first; those no thread can be had for run here after the first,
// each followed by `after`.
template <class Run, class After> inline void RunSideBySide(unsigned count, const Run& run, const After& after)
{
    std::vector<std::thread> helpers;
    unsigned started = 1;
    try
    {
        for (; started < count; ++started)
            helpers.emplace_back(run, started);
    }
    catch (const std::system_error&)
    {
        // No more threads to be had: this one runs the rest.
    }
    run(0);
    for (unsigned k = started; k < count; ++k)
    {
        run(k);
        after();
    }
    for (std::thread& helper : helpers)
        helper.join();
}

// Runs run(0) .. run(count - 1) side by side, with nothing to do after a
// piece no thread could be had for.
template <class Run> inline void RunSideBySide(unsigned count, const Run& run)
{
    RunSideBySide(count, run, [] {});
}
