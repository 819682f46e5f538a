// swfdemo: writes a small movie made with the movie builder: a stage of the
// given size whose frames carry labels, at 24 frames per second.
#include <iostream>
#include <string>

#include "FlashObjects.h"

using namespace anivert;

int main(int argc, char** argv) {
    if (argc < 2 || std::string(argv[1]) == "--help") {
        std::cerr << "Usage: swfdemo OUT.swf [--compressed]\n";
        return argc < 2 ? 2 : 0;
    }
    const std::string Out = argv[1];
    const bool Compress = argc > 2 && std::string(argv[2]) == "--compressed";
    try {
        TFlashMovie Movie(0, 0, 320, 240, 24.0f, true);
        Movie.SetVersion(6);
        Movie.SetCompressed(Compress);
        Movie.BackgroundColor().SetRGB(0x00C08040);
        const char* Labels[] = {"red", "green", "blue"};
        for (const char* L : Labels) {
            Movie.FrameLabel = L;
            Movie.ShowFrame(8);
        }
        Movie.MakeStream();
        Movie.SaveFile(Out);
        std::cout << "wrote " << Out << ": " << Movie.FrameCount << " frames, " << Movie.FileLength << " bytes\n";
    } catch (const std::exception& E) {
        std::cerr << "swfdemo: " << E.what() << "\n";
        return 1;
    }
    return 0;
}
