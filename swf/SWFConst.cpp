#include "SWFConst.h"

namespace anivert {

std::string TagName(std::uint16_t TagID) {
    switch (TagID) {
        case tagEnd: return "End";
        case tagShowFrame: return "ShowFrame";
        case tagDefineShape: return "DefineShape";
        case tagFreeCharacter: return "FreeCharacter";
        case tagPlaceObject: return "PlaceObject";
        case tagRemoveObject: return "RemoveObject";
        case tagDefineBits: return "DefineBits";
        case tagDefineButton: return "DefineButton";
        case tagJPEGTables: return "JPEGTables";
        case tagSetBackgroundColor: return "SetBackgroundColor";
        case tagDefineFont: return "DefineFont";
        case tagDefineText: return "DefineText";
        case tagDoAction: return "DoAction";
        case tagDefineFontInfo: return "DefineFontInfo";
        case tagDefineSound: return "DefineSound";
        case tagStartSound: return "StartSound";
        case tagDefineButtonSound: return "DefineButtonSound";
        case tagSoundStreamHead: return "SoundStreamHead";
        case tagSoundStreamBlock: return "SoundStreamBlock";
        case tagDefineBitsLossless: return "DefineBitsLossless";
        case tagDefineBitsJPEG2: return "DefineBitsJPEG2";
        case tagDefineShape2: return "DefineShape2";
        case tagDefineButtonCxform: return "DefineButtonCxform";
        case tagProtect: return "Protect";
        case tagPlaceObject2: return "PlaceObject2";
        case tagRemoveObject2: return "RemoveObject2";
        case tagDefineShape3: return "DefineShape3";
        case tagDefineText2: return "DefineText2";
        case tagDefineButton2: return "DefineButton2";
        case tagDefineBitsJPEG3: return "DefineBitsJPEG3";
        case tagDefineBitsLossless2: return "DefineBitsLossless2";
        case tagDefineEditText: return "DefineEditText";
        case tagDefineSprite: return "DefineSprite";
        case tagFrameLabel: return "FrameLabel";
        case tagSoundStreamHead2: return "SoundStreamHead2";
        case tagDefineMorphShape: return "DefineMorphShape";
        case tagDefineFont2: return "DefineFont2";
        case tagExportAssets: return "ExportAssets";
        case tagImportAssets: return "ImportAssets";
        case tagEnableDebugger: return "EnableDebugger";
        case tagDoInitAction: return "DoInitAction";
        case tagDefineVideoStream: return "DefineVideoStream";
        case tagVideoFrame: return "VideoFrame";
        case tagDefineFontInfo2: return "DefineFontInfo2";
        case tagEnableDebugger2: return "EnableDebugger2";
        case tagScriptLimits: return "ScriptLimits";
        case tagSetTabIndex: return "SetTabIndex";
        default: return "Unknown";
    }
}

}  // namespace anivert
