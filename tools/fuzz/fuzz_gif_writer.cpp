// Fuzz target: load, then save with both encoders. Whatever loads must
// either save or be refused with GIFException, and a saved file must read
// back without error as the frames that were saved, pixel for pixel; once
// with the maps merged and the frames optimised as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "GIFImage.h"

using namespace anivert;

namespace {

void Quiet(TGIFImage& Image) {
    Image.OnDecodeWarning = [](TGIFImage&, const TGIFItem*, int, const std::string&) {};
}

void SaveAndReadBack(TGIFImage& Image, std::uint8_t Compression) {
    Image.Compression = Compression;
    TMemoryStream Out;
    try {
        Image.SaveToStream(Out);
    } catch (const GIFException&) {
        return;
    }
    TGIFImage Again;
    Quiet(Again);
    Again.MaxFramePixels = Image.MaxFramePixels;
    Again.MaxImagePixels = Image.MaxImagePixels;
    Out.SetPosition(0);
    try {
        Again.LoadFromStream(Out);
    } catch (const GIFException&) {
        std::abort();  // what was written must read
    }
    std::vector<const TGIFSubImage*> A, B;
    for (const auto& F : Image.Images)
        if (!F->Empty()) A.push_back(F.get());
    for (const auto& F : Again.Images)
        if (!F->Empty()) B.push_back(F.get());
    if (A.size() != B.size()) std::abort();
    for (std::size_t I = 0; I < A.size(); ++I)
        if (A[I]->FrameRect() != B[I]->FrameRect() || A[I]->PixelData != B[I]->PixelData) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    TMemoryStream In(std::vector<std::uint8_t>(Data, Data + Size));
    TGIFImage Image;
    // Small pixel bounds keep every run short (see fuzz_gif_reader); each
    // input is decoded four times and encoded three times here.
    Image.MaxFramePixels = std::uint64_t(1) << 16;
    Image.MaxImagePixels = std::uint64_t(1) << 17;
    Quiet(Image);
    try {
        Image.LoadFromStream(In);
    } catch (const GIFException&) {
    }
    SaveAndReadBack(Image, gcLZW);
    SaveAndReadBack(Image, gcRLE);
    if (Image.Images.Count() > 0) {
        Image.OptimizeColorMaps();
        Image.Optimize(31, 0, 0, 8);
        SaveAndReadBack(Image, gcLZW);
    }
    return 0;
}
