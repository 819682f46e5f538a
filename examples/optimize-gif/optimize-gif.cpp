// Loads a GIF with Anivert's GIF codec, lists its frames with their delays,
// merges the colour maps into one, optimises the frames and saves the
// result.
//
//   optimize-gif IN.gif OUT.gif
#include <anivert/GIFImage.h>

#include <iostream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "Usage: optimize-gif IN.gif OUT.gif\n";
        return 2;
    }
    using namespace anivert;
    TGIFImage Image;
    // Lesser faults of the file are reported here; loading goes on.
    Image.OnDecodeWarning = [](TGIFImage&, const TGIFItem*, int, const std::string& Message) {
        std::cerr << "warning: " << Message << "\n";
    };
    try {
        Image.LoadFile(argv[1]);
        std::cout << argv[1] << ": " << Image.Width() << "x" << Image.Height() << ", " << Image.Images.Count()
                  << " frames\n";
        for (int I = 0; I < Image.Images.Count(); ++I) {
            TGIFSubImage& Frame = Image.Images[I];
            std::cout << "frame " << I << ": " << Frame.Width() << "x" << Frame.Height() << " at " << Frame.Left()
                      << "," << Frame.Top();
            // The delay is in hundredths of a second.
            if (const TGIFGraphicControlExtension* Control = Frame.GraphicControlExtension)
                std::cout << ", delay " << Control->Delay() * 10 << " ms";
            std::cout << "\n";
        }

        // One global colour map ordered by use, then the frames cropped,
        // merged with what is on screen, cleaned up.
        Image.OptimizeColorMaps();
        Image.Optimize(optCropFrames | optMergeFrames | optCleanup | optSortColorMaps, 0, 0, 8);
        Image.SaveFile(argv[2]);
        std::cout << "saved " << argv[2] << ": " << Image.Images.Count() << " frames\n";
    } catch (const std::exception& E) {
        std::cerr << "optimize-gif: " << E.what() << "\n";
        return 1;
    }
    return 0;
}
