// swfsamples: writes small movies that use sprites with clip actions, event
// sounds and button sounds, for checks in a real player:
//   clip-v5.swf    a sprite placed with clip actions in the 16-bit layout:
//                  GetURL on enter frame and on press, a trace on load
//   clip-v6.swf    the same in the 32-bit layout, with a key-press record
//   sprite-plain.swf  the same sprite placed without clip actions
//   sound.swf      a DefineSound of uncompressed samples started by a
//                  StartSound, and a button with a sound on roll-over
//   sound-mislabelled.swf  the same samples labelled as MP3 data, which a
//                  player cannot decode when the sound starts (a control
//                  for the check of the player's log)
// Every movie shows its sprite or button as a red square at (20, 20)-(80, 80)
// pixels of a 200 x 100 stage.
#include <cmath>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <string>

#include "FlashObjects.h"

using namespace anivert;

namespace {

constexpr const char* UrlBase = "https://example.invalid/clip/";

// A red square shape at (20, 20)-(80, 80) pixels.
TFlashShape* RedSquare(TFlashMovie& Movie) {
    TFlashShape* Shape = Movie.AddRectangle(20, 20, 80, 80);
    Shape->SetSolidFill(255, 0, 0, 255);
    return Shape;
}

void Trace(TFlashActionScript& Script, const std::string& Text) {
    Script.Actions().Add(std::make_unique<TSWFActionPush>())->AddValue(Text);
    Script.Actions().Add(std::make_unique<TSWFActionTrace>());
}

void Save(TFlashMovie& Movie, const std::filesystem::path& File) {
    Movie.MakeStream();
    Movie.SaveFile(File.string());
    std::cout << File.string() << ": version " << static_cast<int>(Movie.Version()) << ", " << Movie.FileLength
              << " bytes\n";
}

// Version Version; with clip actions unless Plain.
void ClipMovie(const std::filesystem::path& File, std::uint8_t Version, bool Plain) {
    TFlashMovie Movie(0, 0, 200, 100, 24.0f, true);
    Movie.SetVersion(Version);
    TFlashShape* Shape = RedSquare(Movie);
    TFlashSprite* Sprite = Movie.AddSprite();
    Sprite->PlaceObject(Shape, 1);
    Sprite->ShowFrame();
    TFlashPlaceObject* Place = Movie.PlaceObject(Sprite, 1);
    if (!Plain) {
        const std::string V = "v" + std::to_string(Version);
        Place->OnClipEvent(ceEnterFrame).GetURL(UrlBase + ("enter-frame-" + V), "_blank");
        Place->OnClipEvent(cePress).GetURL(UrlBase + ("press-" + V), "_blank");
        Trace(Place->OnClipEvent(ceLoad), "clip:load:" + V);
        if (Version >= 6) Place->OnClipEvent(0, 'k').GetURL(UrlBase + ("key-k-" + V), "_blank");
    }
    Movie.ShowFrame();
    Save(Movie, File);
}

void SoundMovie(const std::filesystem::path& File, std::uint8_t Format) {
    TFlashMovie Movie(0, 0, 200, 100, 24.0f, true);
    Movie.SetVersion(6);
    // Half a second of a 440 Hz tone: 22 kHz, 16-bit little-endian, mono.
    auto Sound = std::make_unique<TSWFDefineSound>();
    Sound->SoundId = Movie.NextCharacterID++;
    Sound->SoundFormat = Format;
    Sound->SoundRate = srRate22k;
    Sound->SoundSize = true;
    Sound->SoundType = false;
    std::vector<std::uint8_t> Samples;
    const int Count = 11025;
    for (int I = 0; I < Count; ++I) {
        const auto S = static_cast<std::int16_t>(std::lround(8000.0 * std::sin(2.0 * std::numbers::pi * 440.0 * I / 22050.0)));
        Samples.push_back(static_cast<std::uint8_t>(S));
        Samples.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(S) >> 8));
    }
    Sound->SoundSampleCount = Count;
    Sound->SetOwnedData(std::move(Samples));
    const std::uint16_t SoundId = Sound->SoundId;
    Movie.AddObject(std::move(Sound));

    TFlashButton* Button = Movie.AddButton(false, true);
    TFlashShape* Shape = RedSquare(Movie);
    Button->AddRecord(*Shape, bsUp | bsOver | bsDown | bsHitTest, 1);
    Button->ButtonSound().SoundIdleToOverUp().SoundId = SoundId;
    Movie.PlaceObject(Button, 1);

    auto Start = std::make_unique<TSWFStartSound>();
    Start->SoundId = SoundId;
    Start->SetLoopCount(2);
    Start->HasEnvelope = true;
    Start->AddEnvelope(0, 0, 0);
    Start->AddEnvelope(4410, 32768, 32768);
    Movie.AddObject(std::move(Start));
    Trace(*Movie.AddObject(std::make_unique<TFlashActionScript>(&Movie)), "sound:frame:1");
    Movie.ShowFrame();
    Save(Movie, File);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || std::string(argv[1]) == "--help") {
        std::cerr << "Usage: swfsamples OUTDIR\n"
                     "Writes clip-v5.swf, clip-v6.swf, sprite-plain.swf, sound.swf and\n"
                     "sound-mislabelled.swf into OUTDIR.\n";
        return argc != 2 ? 2 : 0;
    }
    try {
        const std::filesystem::path Dir = argv[1];
        std::filesystem::create_directories(Dir);
        ClipMovie(Dir / "clip-v5.swf", 5, false);
        ClipMovie(Dir / "clip-v6.swf", 6, false);
        ClipMovie(Dir / "sprite-plain.swf", 6, true);
        SoundMovie(Dir / "sound.swf", sfUncompressedLE);
        SoundMovie(Dir / "sound-mislabelled.swf", sfMP3);
    } catch (const std::exception& E) {
        std::cerr << "swfsamples: " << E.what() << "\n";
        return 1;
    }
    return 0;
}
