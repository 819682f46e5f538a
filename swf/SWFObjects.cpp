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
        case tagDefineBits: return std::make_unique<TSWFDefineBits>();
        case tagDefineBitsJPEG2: return std::make_unique<TSWFDefineBitsJPEG2>();
        case tagDefineBitsJPEG3: return std::make_unique<TSWFDefineBitsJPEG3>();
        case tagDefineBitsLossless: return std::make_unique<TSWFDefineBitsLossless>();
        case tagDefineBitsLossless2: return std::make_unique<TSWFDefineBitsLossless2>();
        case tagDefineShape: return std::make_unique<TSWFDefineShape>();
        case tagDefineShape2: {
            auto S = std::make_unique<TSWFDefineShape3>();
            S->TagID = tagDefineShape2;
            S->HasAlpha = false;
            return S;
        }
        case tagDefineShape3: return std::make_unique<TSWFDefineShape3>();
        case tagDoAction: return std::make_unique<TSWFDoAction>();
        case tagDoInitAction: return std::make_unique<TSWFDoInitAction>();
        case tagDefineButton: return std::make_unique<TSWFDefineButton>();
        case tagDefineButton2: return std::make_unique<TSWFDefineButton2>();
        case tagDefineSound: return std::make_unique<TSWFDefineSound>();
        case tagStartSound: return std::make_unique<TSWFStartSound>();
        case tagDefineButtonSound: return std::make_unique<TSWFDefineButtonSound>();
        case tagSoundStreamHead: return std::make_unique<TSWFSoundStreamHead>();
        case tagSoundStreamHead2: return std::make_unique<TSWFSoundStreamHead2>();
        case tagVideoFrame: return std::make_unique<TSWFVideoFrame>();
        default: return nullptr;
    }
}

}  // namespace anivert
