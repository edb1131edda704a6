// Progress reporting of long computations: reading and writing meshes,
// building meshes from grids, deviation, segmentation and sectioning passes.
//
// A computation reports a position inside a range and asks whether to stop.
// Callers with nobody to report to pass the shared do-nothing progress; the
// operations that accept a null progress substitute it themselves
// (ProgressOrNull).
#pragma once

#include <cstddef>
#include <cstdint>

// The progress callback. The operations without a name in the reporting
// protocol keep their places so that a progress window can give them meaning
// (nested passes, status texts); no computation of this system relies on them
// beyond what cProcProgressNull answers.
class IProcProgress
{
public:
    virtual ~IProcProgress() = default;

    virtual void Start() = 0;
    virtual void Finish() = 0;
    virtual bool IsAvailable() = 0;
    virtual void Reset() = 0;
    virtual void SetCaption(const wchar_t* caption) = 0;
    virtual void SetStatusText(const wchar_t* text) = 0;
    virtual void SetRange(float start, float end) = 0;
    virtual float GetRangeEnd() = 0;
    virtual bool IsRangeSet() = 0;
    virtual bool SetPosition(float position) = 0;
    virtual float GetRangeStart() = 0;
    virtual bool StepIt() = 0;
    virtual bool IsShown() = 0;
    // 1 means stop; every other answer lets the computation go on.
    virtual std::int32_t IsCancelled() = 0;
    virtual bool RequestCancel() = 0;
    virtual void BeginPass() = 0;
    virtual void SetPassCount(std::int32_t count) = 0;
    virtual std::int32_t GetPassCount() = 0;
    virtual void EndPass() = 0;
    virtual std::int32_t GetCurrentPass() = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void Freeze() = 0;
    virtual void Thaw() = 0;
    virtual void Pump() = 0;
    virtual void Flush() = 0;
    virtual void Detach() = 0;
    virtual void Attach() = 0;
};

// The answer of IsCancelled that stops a computation; any other value goes on.
inline constexpr std::int32_t kProgressCancelAnswer = 1;

// Long loops report at every record index divisible by this stride.
inline constexpr std::uint32_t kProgressStride = 5000;

// Does nothing, answers the neutral values (range 0 to 100, never cancelled).
//
// One shared instance serves every operation that substitutes it for a null
// progress. Deleting that instance through an IProcProgress pointer leaves it
// alive, so a caller that wrongly deletes the progress it was handed cannot
// free a static object out from under every other computation.
class cProcProgressNull : public IProcProgress
{
public:
    cProcProgressNull() = default;
    ~cProcProgressNull() override = default;

    // The shared instance; never null, never freed.
    static cProcProgressNull* Shared();

    static void* operator new(std::size_t size);
    static void operator delete(void* storage) noexcept;

    void Start() override {}
    void Finish() override {}
    bool IsAvailable() override { return true; }
    void Reset() override {}
    void SetCaption(const wchar_t*) override {}
    void SetStatusText(const wchar_t*) override {}
    void SetRange(float, float) override {}
    float GetRangeEnd() override { return 100.0f; }
    bool IsRangeSet() override { return false; }
    bool SetPosition(float) override { return false; }
    float GetRangeStart() override { return 0.0f; }
    bool StepIt() override { return false; }
    bool IsShown() override { return false; }
    std::int32_t IsCancelled() override { return 0; }
    bool RequestCancel() override { return false; }
    void BeginPass() override {}
    void SetPassCount(std::int32_t) override {}
    std::int32_t GetPassCount() override { return 1; }
    void EndPass() override {}
    std::int32_t GetCurrentPass() override { return 1; }
    void Show() override {}
    void Hide() override {}
    void Freeze() override {}
    void Thaw() override {}
    void Pump() override {}
    void Flush() override {}
    void Detach() override {}
    void Attach() override {}
};

// The given progress, or the shared do-nothing progress for null.
inline IProcProgress* ProgressOrNull(IProcProgress* progress)
{
    return progress != nullptr ? progress : cProcProgressNull::Shared();
}

// One report of a long loop: the position, then the cancel query. True when
// the loop must stop (the answer was exactly kProgressCancelAnswer).
bool ReportProgressAndCheckCancel(IProcProgress& progress, float position);

// The translation hook of user-visible texts. No localisation service is
// registered in this system, so every text comes back unchanged (the same
// pointer).
const wchar_t* TranslateText(const wchar_t* text);
