#include "LoopActions.h"

#include <memory>

#include "FlashObjects.h"
#include "GIFImage.h"

namespace anivert {

int GifPasses(const TGIFImage& Gif) {
    int Shown = 0;
    for (const auto& F : Gif.Images)
        if (!F->Empty()) ++Shown;
    if (Shown <= 1) return 0;
    const std::optional<std::uint16_t> Count = Gif.RepetitionCount();
    if (!Count) return 1;
    return *Count == 0 ? 0 : *Count + 1;
}

void MakeLoopActions(TSWFActionList& List, int Passes) {
    if (Passes <= 0) return;
    if (Passes > 1) {
        // anivert_passes = anivert_passes + 1
        auto* Names = List.Add(std::make_unique<TSWFActionPush>());
        Names->AddValue(PassCounter);
        Names->AddValue(PassCounter);
        List.Add(std::make_unique<TSWFActionGetVariable>());
        List.Add(std::make_unique<TSWFActionIncrement>());
        List.Add(std::make_unique<TSWFActionSetVariable>());
        // if (anivert_passes < Passes) the Stop is jumped over.
        List.Add(std::make_unique<TSWFActionPush>())->AddValue(PassCounter);
        List.Add(std::make_unique<TSWFActionGetVariable>());
        List.Add(std::make_unique<TSWFActionPush>())->AddValue(static_cast<std::int32_t>(Passes));
        List.Add(std::make_unique<TSWFActionLess>());
        auto* Skip = List.Add(std::make_unique<TSWFActionIf>());
        List.Add(std::make_unique<TSWFActionStop>());
        Skip->BranchOffsetMarker.Set(List.AddMarker());
        return;
    }
    List.Add(std::make_unique<TSWFActionStop>());
}

void AddLoopActions(TFlashMovie& Movie, int Passes) {
    if (Passes <= 0) return;
    MakeLoopActions(Movie.AddActions(Movie.CurrentFrame)->Actions(), Passes);
}

}  // namespace anivert
