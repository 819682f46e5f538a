// Bitmap characters of a movie, made from BMP or JPEG files.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "FlashBase.h"
#include "ImageReader.h"
#include "LosslessPicture.h"
#include "SWFBitmaps.h"

namespace anivert {

class TWorkQueue;

class TFlashImage : public TFlashIDObject {
public:
    // The widest and tallest bitmap the lossless tags can describe.
    static constexpr std::int32_t MaxSide = 65535;

    explicit TFlashImage(TFlashMovie* AOwner = nullptr, const std::string& FileName = std::string());
    ~TFlashImage() override;

    // Alpha plane for DefineBitsJPEG3 (JPEG images only); created on demand.
    TMemoryStream& AlphaData();
    bool HasAlphaData() const { return FAlphaData && FAlphaData->Size() > 0; }

    bool FromJPEG = false;
    // How the lossless data is deflated (zlib at its default level unless
    // set otherwise).
    TDeflateSettings Deflate;
    std::int32_t ColorCount = 0;
    bool ConvertProgressive = false;
    // 0 nothing; 1 data created and empty; 2 bitmap loaded or lossless data
    // built; 3 JPEG re-encoded into memory; 4 the data is the JPEG file itself.
    std::uint8_t DataState = 0;
    bool HasAlpha = false;
    std::int32_t PaddedWidth = 0;  // may reach 65536 for a 65535-pixel palette row
    // 3 (8-bit colour-mapped), 4 (15-bit), 5 (24-bit), 1 (32-bit with alpha).
    std::uint8_t BitmapFormat = 0;

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    // The decoded bitmap. After PackLater it is handed to the packing job
    // and released once packed: the reader is then empty.
    TBMPReader& Reader();
    // The prepared bytes: zlib-packed lossless data, or the JPEG bytes
    // (waits for a packing job of PackLater).
    TStream* Data() const;

    void LoadFile(const std::string& FileName);
    // Reads a BMP file image from a stream.
    void LoadBMPFromStream(TStream& Stream);
    // Takes a picture laid out in memory (no BMP file, no reader).
    void SetPicture(TLosslessPicture Picture);
    // A picture of Width x Height pixels that Make lays out later: on a
    // worker, with the packing, when PackLater follows; else when the
    // image is written. Until then the format, alpha and colour count are
    // not known (MinVersion answers 3, as for alpha).
    void SetPictureMaker(std::int32_t Width, std::int32_t Height, std::function<TLosslessPicture()> Make);
    // Packs the colour table and pixel rows with zlib into Data.
    void BuildLosslessData();
    // Packs the lossless data of a loaded bitmap on a worker of Queue; the
    // bytes are the same as BuildLosslessData's. Errors of the job come out
    // of the first use of the data. Nothing happens for a JPEG image or one
    // whose data is already built.
    void PackLater(TWorkQueue& Queue);
    // Lets go of the packed data once it is written: writing the image
    // again throws.
    void ReleasePacked();

    void CopyFrom(const TBasedSWFObject& Source) override;
    std::uint8_t MinVersion() const override;
    void WriteToStream(TBitsEngine& BE) override;

private:
    // What a picture made in memory says of itself.
    struct TMadeLayout {
        std::uint8_t BitmapFormat = 0;
        bool HasAlpha = false;
        std::int32_t ColorCount = 0;
        std::int32_t PaddedWidth = 0;
    };
    struct TPacked {
        std::vector<std::uint8_t> Data;
        std::optional<TMadeLayout> Made;
    };
    static TMadeLayout CheckPicture(const TLosslessPicture& Picture, std::int32_t Width, std::int32_t Height);
    void AnalyseBitmap();
    void WriteDataTo(TSWFObject& Sender, TBitsEngine& BE);
    // Takes the result of a packing job, if one is pending.
    void Settle() const;
    // Settles, and takes on the layout of a picture made meanwhile.
    void SettleLayout();
    mutable std::future<TPacked> FPacking;
    mutable std::optional<TMadeLayout> FMade;
    bool FPictureReleased = false;
    bool FPackedReleased = false;
    std::unique_ptr<TMemoryStream> FAlphaData;
    mutable std::unique_ptr<TStream> FData;
    std::unique_ptr<TBMPReader> FReader;
    // A picture given in memory, not yet packed.
    std::function<TLosslessPicture()> FMaker;
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
};

}  // namespace anivert
