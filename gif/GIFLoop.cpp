// The loop extensions of an image: how often it plays.
#include "GIFImage.h"

namespace anivert {

// Browsers take the last loop extension wherever it stands (a file may
// have several, and one after its last frame). The painter and the
// optimiser keep to the first one.
std::optional<std::uint16_t> TGIFImage::RepetitionCount() const {
    std::optional<std::uint16_t> Count;
    for (const auto& F : Images)
        for (const auto& E : F->FrameExtensions)
            if (auto* L = dynamic_cast<const TGIFAppExtNSLoop*>(E.get())) Count = L->LoopCount;
    return Count;
}

}  // namespace anivert
