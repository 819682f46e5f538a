// Helpers of the main window's tests: a window over the fake platform, GIF
// files built byte by byte, and conversions checked with the movie player.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "FakePlatform.h"
#include "GIFTestUtil.h"
#include "MovieCheck.h"
#include "untMain.h"

namespace anivert::test {

// The window with file-system controls over the fake platform.
struct TWindowFixture {
    TFakePlatform Platform;
    std::unique_ptr<TfrmMain> Form;
    TWindowFixture();
    // Puts the bytes into a folder under the root; answers the path.
    std::string PutFile(const std::string& Folder, const std::string& Name, const Bytes& Data);
    // Shows a folder in the tree and selects one of its files in the list.
    void ShowFolder(const std::string& Folder);
    void SelectFile(int Row);
};

// A GIF of frames of one colour each over a two-colour global map (index 0
// black, 1 white, 2 red, 3 transparent green).
struct TFrameSpec {
    TFrameSpec() = default;
    TFrameSpec(int L, int T, int W, int H, int ADelay = 10, int ADisposal = 0, bool ATransparent = false,
               bool AGce = true, std::uint8_t AColour = 1)
        : Left(L), Top(T), Width(W), Height(H), Delay(ADelay), Disposal(ADisposal), Transparent(ATransparent),
          Gce(AGce), Colour(AColour) {}
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Delay = 10;
    int Disposal = 0;
    bool Transparent = false;
    bool Gce = true;
    std::uint8_t Colour = 1;
    std::vector<std::uint8_t> Pixels;  // when empty: every pixel Colour
};
// Loop 0 or more: a loop extension with that count before the first frame.
Bytes MakeGif(int Width, int Height, const std::vector<TFrameSpec>& Frames, const std::vector<TColor>& Global = {},
              int Loop = -1);

// Converts a GIF file and compares every frame of the movie with the GIF
// rules; answers the problems found (empty when the movie is right).
std::vector<std::string> CheckMovieAgainstGif(const std::string& GifPath, const std::string& SwfPath,
                                              bool Salvage = false);

}  // namespace anivert::test
