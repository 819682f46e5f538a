// Fuzz target: the GIF reader and the frame pictures. Every input must
// either load or fail with GIFException, read plainly, salvaging and
// decoded on demand (which must give the plain read's pixels); every
// frame that was read must give its picture (plain and dithered) and mask
// without fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "GIFImage.h"

using namespace anivert;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream In(std::vector<std::uint8_t>(Data, Data + Size));
    TGIFImage Image;
    // Smaller pixel bounds than the defaults keep every run short: a few
    // bytes can describe a frame of 2^28 pixels, and filling and dithering
    // that under the sanitizers takes seconds. The bounds are the same code
    // at any value; the defaults have unit tests.
    Image.MaxFramePixels = std::uint64_t(1) << 20;
    Image.MaxImagePixels = std::uint64_t(1) << 20;
    Image.OnDecodeWarning = [](TGIFImage&, const TGIFItem*, int, const std::string&) {};
    try {
        Image.LoadFromStream(In);
    } catch (const GIFException&) {
    }
    int Dithered = 0;
    for (std::uint16_t Options : {std::uint16_t(0x060F), std::uint16_t(0x0200)}) {
        Image.PaintOptions = Options;
        Image.GlobalColorMapChanged();
        for (const auto& F : Image.Images) {
            // Dithering is slow under the instrumentation: a few small
            // frames cover its code.
            if (Options == 0x0200 && (F->PixelDataSize() > 16384 || ++Dithered > 8)) continue;
            F->LocalColorMapChanged();
            F->FreeBitmap();
            F->Bitmap();
            F->MaskAvailable();
            F->Palette();
            F->SetBitmap(false);
        }
    }
    // On demand, a few frames at a time: the pixels of the plain read, or
    // an error where it had one.
    TMemoryStream Lazily(std::vector<std::uint8_t>(Data, Data + Size));
    TGIFImage Lazy;
    Lazy.DecodeOnDemand = true;
    Lazy.DecodeThreads = 2;
    Lazy.MaxFramePixels = Lazy.MaxImagePixels = std::uint64_t(1) << 20;
    Lazy.OnDecodeWarning = [](TGIFImage&, const TGIFItem*, int, const std::string&) {};
    try {
        Lazy.LoadFromStream(Lazily);
        for (int K = 0; K < Lazy.Images.Count(); ++K) {
            Lazy.DecodeFrames(K, 3);
            if (K < Image.Images.Count() && Lazy.Images[K].PixelData != Image.Images[K].PixelData &&
                Image.Images.Count() == Lazy.Images.Count())
                std::abort();
            Lazy.ReleaseFrame(K);
        }
    } catch (const GIFException&) {
    }
    // Salvaging: frames cut short keep what they decoded.
    TMemoryStream Again(std::vector<std::uint8_t>(Data, Data + Size));
    TGIFImage Salvaged;
    Salvaged.Salvage = true;
    Salvaged.MaxFramePixels = Salvaged.MaxImagePixels = std::uint64_t(1) << 20;
    Salvaged.OnDecodeWarning = [](TGIFImage&, const TGIFItem*, int, const std::string&) {};
    try {
        Salvaged.LoadFromStream(Again);
    } catch (const GIFException&) {
    }
    for (const auto& F : Salvaged.Images) {
        if (F->PixelData.size() != static_cast<std::size_t>(F->Width()) * static_cast<std::size_t>(F->Height()))
            std::abort();
        F->Bitmap();
    }
    return 0;
}
