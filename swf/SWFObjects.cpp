#include "SWFObjects.h"

namespace anivert {

std::unique_ptr<TSWFObject> GenerateSWFObject(std::uint16_t TagID) {
    switch (TagID) {
        case tagEnd: return std::make_unique<TSWFEnd>();
        case tagShowFrame: return std::make_unique<TSWFShowFrame>();
        case tagSetBackgroundColor: return std::make_unique<TSWFSetBackgroundColor>();
        case tagFrameLabel: return std::make_unique<TSWFFrameLabel>();
        case tagProtect: return std::make_unique<TSWFProtect>();
        case tagPlaceObject2: return std::make_unique<TSWFPlaceObject2>();
        case tagRemoveObject: return std::make_unique<TSWFRemoveObject>();
        case tagRemoveObject2: return std::make_unique<TSWFRemoveObject2>();
        default: return nullptr;
    }
}

}  // namespace anivert
