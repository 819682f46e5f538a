// Writes a movie from scratch with Anivert's SWF writer: a blue box (a
// shape with a solid fill) in the first frame, a picture from a BMP file
// (a bitmap fill) in the second, a button that opens a web page in the
// third.
//
//   make-movie OUT.swf [PICTURE.bmp]
//
// Without PICTURE.bmp the program first writes a small one of its own
// beside OUT.swf.
#include <anivert/FlashObjects.h>

#include <cstdint>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

void PutLE(std::vector<char>& Out, std::uint32_t Value, int Bytes) {
    for (int I = 0; I < Bytes; ++I) Out.push_back(static_cast<char>((Value >> (8 * I)) & 0xFF));
}

// A 64 x 48 colour gradient as an uncompressed 24-bit BMP file.
void WriteGradientBMP(const std::string& FileName) {
    const int Width = 64, Height = 48, Stride = (Width * 3 + 3) & ~3;
    std::vector<char> File;
    File.push_back('B');
    File.push_back('M');
    PutLE(File, 54 + Stride * Height, 4);  // file size
    PutLE(File, 0, 4);
    PutLE(File, 54, 4);                    // where the pixels start
    PutLE(File, 40, 4);                    // the 40-byte header
    PutLE(File, Width, 4);
    PutLE(File, Height, 4);                // rows bottom-up
    PutLE(File, 1, 2);                     // planes
    PutLE(File, 24, 2);                    // bits per pixel
    PutLE(File, 0, 4);                     // no compression
    PutLE(File, Stride * Height, 4);
    PutLE(File, 2835, 4);
    PutLE(File, 2835, 4);
    PutLE(File, 0, 4);
    PutLE(File, 0, 4);
    for (int Y = 0; Y < Height; ++Y) {
        for (int X = 0; X < Width; ++X) {
            File.push_back(static_cast<char>(255 * Y / (Height - 1)));  // blue
            File.push_back(static_cast<char>(128));                      // green
            File.push_back(static_cast<char>(255 * X / (Width - 1)));   // red
        }
        File.resize(File.size() + (Stride - Width * 3), 0);
    }
    std::ofstream(FileName, std::ios::binary).write(File.data(), static_cast<std::streamsize>(File.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "Usage: make-movie OUT.swf [PICTURE.bmp]\n";
        return 2;
    }
    const std::string Out = argv[1];
    std::string Picture = argc > 2 ? argv[2] : Out + ".bmp";
    if (argc == 2) WriteGradientBMP(Picture);

    using namespace anivert;
    try {
        // A 320 x 240 stage in pixels, 12 frames per second.
        TFlashMovie Movie(0, 0, 320, 240, 12.0f, true);
        Movie.SetVersion(6);
        Movie.BackgroundColor().SetRGB(0xFFFFFF);

        // Frame 1: a shape with a solid fill.
        TFlashShape* Box = Movie.AddRectangle(0, 0, 100, 80);
        Box->SetSolidFill(0x33, 0x66, 0xCC, 0xFF);
        Movie.PlaceObject(Box, 1)->SetTranslate(20, 20);
        Movie.ShowFrame();

        // Frame 2: the picture, as a shape filled with the bitmap.
        TFlashImage* Image = Movie.AddImage(Picture);
        TFlashShape* Photo = Movie.AddRectangle(0, 0, Image->Width(), Image->Height());
        Photo->SetImageFill(Image, 1, 1.0f, 1.0f);
        Movie.PlaceObject(Photo, 2)->SetTranslate(160, 20);
        Movie.ShowFrame();

        // Frame 3: a button; a click opens the page in a new window.
        TFlashShape* Face = Movie.AddRectangle(0, 0, 120, 40);
        Face->SetSolidFill(0xE0, 0x40, 0x20, 0xFF);
        TFlashButton* Button = Movie.AddButton();
        Button->AddRecord(*Face, bsUp | bsOver | bsDown | bsHitTest, 1);
        Button->OnReleaseActions().GetURL("https://example.org/", "_blank");
        Movie.PlaceObject(Button, 3)->SetTranslate(100, 160);
        Movie.ShowFrame();

        Movie.MakeStream();
        Movie.SaveFile(Out);
        std::cout << "wrote " << Out << ": " << Movie.FrameCount << " frames, " << Movie.FileLength << " bytes\n";
    } catch (const std::exception& E) {
        std::cerr << "make-movie: " << E.what() << "\n";
        return 1;
    }
    return 0;
}
