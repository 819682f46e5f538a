#include "GIFImage.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace anivert {

std::int64_t TGIFSystemClock::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool TGIFSystemClock::Wait(std::int64_t Milliseconds) {
    if (Milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
    return true;
}

TGIFScheduler::TTimerId TGIFVirtualClock::Schedule(std::int64_t Milliseconds, std::function<void()> Action) {
    const TTimerId Id = FNextId++;
    FTimers.push_back({FNow + std::max<std::int64_t>(0, Milliseconds), Id, std::move(Action)});
    return Id;
}

void TGIFVirtualClock::Cancel(TTimerId Id) {
    std::erase_if(FTimers, [Id](const TTimer& T) { return T.Id == Id; });
}

std::int64_t TGIFVirtualClock::NextDue() const {
    std::int64_t Due = -1;
    for (const TTimer& T : FTimers)
        if (Due < 0 || T.Due < Due) Due = T.Due;
    return Due;
}

bool TGIFVirtualClock::RunNext(std::int64_t Until) {
    // The earliest due time; among equal ones the first scheduled (ids grow).
    auto Next = std::min_element(FTimers.begin(), FTimers.end(), [](const TTimer& A, const TTimer& B) {
        return A.Due != B.Due ? A.Due < B.Due : A.Id < B.Id;
    });
    if (Next == FTimers.end() || Next->Due > Until) return false;
    TTimer T = std::move(*Next);
    FTimers.erase(Next);
    FNow = std::max(FNow, T.Due);
    T.Action();
    return true;
}

bool TGIFVirtualClock::Wait(std::int64_t Milliseconds) {
    const std::int64_t Until = FNow + std::max<std::int64_t>(0, Milliseconds);
    while (RunNext(Until)) {
    }
    FNow = std::max(FNow, Until);
    return true;
}

bool TGIFVirtualClock::RunUntilIdle(std::int64_t Limit) {
    const std::int64_t Until = FNow + Limit;
    while (RunNext(Until)) {
    }
    return FTimers.empty();
}

}  // namespace anivert
