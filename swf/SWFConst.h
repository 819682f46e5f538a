// Constants shared by the SWF tag encoder and the movie builder.
#pragma once

#include <cstdint>
#include <string>

namespace anivert {

// Tag codes of the SWF file format (up to version 7).
enum : std::uint16_t {
    tagEnd = 0,
    tagShowFrame = 1,
    tagDefineShape = 2,
    tagFreeCharacter = 3,
    tagPlaceObject = 4,
    tagRemoveObject = 5,
    tagDefineBits = 6,
    tagDefineButton = 7,
    tagJPEGTables = 8,
    tagSetBackgroundColor = 9,
    tagDefineFont = 10,
    tagDefineText = 11,
    tagDoAction = 12,
    tagDefineFontInfo = 13,
    tagDefineSound = 14,
    tagStartSound = 15,
    tagDefineButtonSound = 17,
    tagSoundStreamHead = 18,
    tagSoundStreamBlock = 19,
    tagDefineBitsLossless = 20,
    tagDefineBitsJPEG2 = 21,
    tagDefineShape2 = 22,
    tagDefineButtonCxform = 23,
    tagProtect = 24,
    tagPlaceObject2 = 26,
    tagRemoveObject2 = 28,
    tagDefineShape3 = 32,
    tagDefineText2 = 33,
    tagDefineButton2 = 34,
    tagDefineBitsJPEG3 = 35,
    tagDefineBitsLossless2 = 36,
    tagDefineEditText = 37,
    tagDefineSprite = 39,
    tagFrameLabel = 43,
    tagSoundStreamHead2 = 45,
    tagDefineMorphShape = 46,
    tagDefineFont2 = 48,
    tagExportAssets = 56,
    tagImportAssets = 57,
    tagEnableDebugger = 58,
    tagDoInitAction = 59,
    tagDefineVideoStream = 60,
    tagVideoFrame = 61,
    tagDefineFontInfo2 = 62,
    tagEnableDebugger2 = 64,
    tagScriptLimits = 65,
    tagSetTabIndex = 66,
};

// Name of a tag code for listings ("Unknown" for codes outside the format).
std::string TagName(std::uint16_t TagID);

// Twips per pixel.
constexpr int TwipsPerPixel = 20;

// The 64-character alphabet of the crypt string.
inline constexpr char CryptAlphabet[] =
    "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

}  // namespace anivert
