// GIFImage unit: time for the painters. Painters play on the thread that
// owns the image: a playing painter asks a scheduler to call it back when
// its next frame is due, and returns. The desktop program gives the image a
// scheduler over its event loop's timers; tests and benchmarks give it a
// virtual clock.
#pragma once
#ifndef ANIVERT_GIFIMAGE_UNIT
#error "include GIFImage.h"
#endif

#include <cstdint>
#include <functional>
#include <vector>

namespace anivert {

// A millisecond clock that can let time pass.
class TGIFClock {
public:
    virtual ~TGIFClock() = default;
    // Milliseconds of a monotonic clock.
    virtual std::int64_t Now() = 0;
    // Lets Milliseconds pass (0: only what is due now) while the thread's
    // pending work runs (timers that fall due, events). Answers false when
    // the program is quitting: the caller then stops what it waits for.
    virtual bool Wait(std::int64_t Milliseconds) = 0;
};

// A clock with one-shot timers on the calling thread.
class TGIFScheduler : public TGIFClock {
public:
    using TTimerId = std::uint64_t;
    // Calls Action once, Milliseconds from now (at once when 0 or less, but
    // not before the caller has returned to the event loop or waits).
    // Answers an id that is never 0. An exception that Action raises passes
    // on to whoever runs the event loop or waits.
    virtual TTimerId Schedule(std::int64_t Milliseconds, std::function<void()> Action) = 0;
    // Forgets a timer that has not fired; an unknown id is ignored.
    virtual void Cancel(TTimerId Id) = 0;
};

// The system's steady clock; Wait sleeps the thread (nothing runs
// meanwhile). What synchronous painters use when the image has no
// scheduler.
class TGIFSystemClock : public TGIFClock {
public:
    std::int64_t Now() override;
    bool Wait(std::int64_t Milliseconds) override;
};

// Time that passes only when asked to: Wait(N) runs every timer that falls
// due within the next N milliseconds, in the order of their due times (then
// of scheduling), with Now() at each timer's due time, and ends with Now()
// N milliseconds later.
class TGIFVirtualClock : public TGIFScheduler {
public:
    explicit TGIFVirtualClock(std::int64_t Start = 0) : FNow(Start) {}
    std::int64_t Now() override { return FNow; }
    bool Wait(std::int64_t Milliseconds) override;
    TTimerId Schedule(std::int64_t Milliseconds, std::function<void()> Action) override;
    void Cancel(TTimerId Id) override;

    std::size_t PendingTimers() const { return FTimers.size(); }
    // The due time of the earliest timer, or -1 when none is pending.
    std::int64_t NextDue() const;
    // Runs timers until none is pending or the next one falls due more
    // than Limit milliseconds from now; Now() stays at the last timer's due
    // time. Answers whether no timer is left.
    bool RunUntilIdle(std::int64_t Limit);

private:
    struct TTimer {
        std::int64_t Due;
        TTimerId Id;
        std::function<void()> Action;
    };
    // Runs the earliest timer when it falls due at or before Until.
    bool RunNext(std::int64_t Until);

    std::int64_t FNow;
    TTimerId FNextId = 1;
    std::vector<TTimer> FTimers;
};

}  // namespace anivert
