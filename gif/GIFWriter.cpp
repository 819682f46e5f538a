// Writing a GIF file: the image, its header, the frames, the extensions and
// the trailer.
#include "GIFImage.h"

#include <algorithm>

namespace anivert {

namespace {

void WriteByte(TStream& Stream, std::uint8_t B) { Stream.WriteBuffer(&B, 1); }

void WriteWord(TStream& Stream, std::uint16_t W) {
    const std::uint8_t B[2] = {static_cast<std::uint8_t>(W), static_cast<std::uint8_t>(W >> 8)};
    Stream.WriteBuffer(B, 2);
}

// Data as sub-blocks of at most 255 bytes (nothing for no data); no
// terminator.
void WriteSubBlocks(TStream& Stream, const std::uint8_t* Data, std::size_t Size) {
    while (Size > 0) {
        const std::size_t N = std::min<std::size_t>(Size, 255);
        WriteByte(Stream, static_cast<std::uint8_t>(N));
        Stream.WriteBuffer(Data, N);
        Data += N;
        Size -= N;
    }
}

// Text, string by string, each cut into sub-blocks of at most 255 bytes,
// then the terminator.
void WriteTextBlocks(TStream& Stream, const std::vector<std::string>& Lines) {
    for (const std::string& S : Lines)
        WriteSubBlocks(Stream, reinterpret_cast<const std::uint8_t*>(S.data()), S.size());
    WriteByte(Stream, 0);
}

// The size code of a colour table field: BitsPerPixel - 1, 0 for no map.
std::uint8_t SizeCode(const TGIFColorMap& Map) {
    return static_cast<std::uint8_t>(std::max(Map.BitsPerPixel() - 1, 0));
}

}  // namespace

// ---------------------------------------------------------------- items

void TGIFItem::SaveFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmCreate);
    SaveToStream(F);
    F.Close();
}

void TGIFHeader::SaveToStream(TStream& Stream) {
    // The version: 89a as soon as one frame needs it.
    int Need = 0;
    if (FImage)
        for (const auto& F : FImage->Images) {
            Need = std::max(Need, F->RequiredVersion());
            if (Need >= 2) break;
        }
    if (Need == 0) throw GIFException(gifmsg::UnsupportedVersion);
    Version = Need >= 2 ? "89a" : "87a";

    int Resolution = ColorTable.BitsPerPixel();
    if (FImage)
        for (const auto& F : FImage->Images) Resolution = std::max(Resolution, F->ColorTable.BitsPerPixel());
    std::uint8_t P = static_cast<std::uint8_t>((std::max(Resolution - 1, 0) & 7) << 4);
    if (ColorTable.Count() > 0) {
        P |= 0x80;
        if (ColorTable.UseOrdered) P |= 0x08;
        P |= SizeCode(ColorTable);
    }
    PackedFields = P;

    Stream.WriteBuffer("GIF", 3);
    Stream.WriteBuffer(Version.data(), 3);
    WriteWord(Stream, ScreenWidth);
    WriteWord(Stream, ScreenHeight);
    WriteByte(Stream, PackedFields);
    WriteByte(Stream, BackgroundColorIndex);
    WriteByte(Stream, AspectRatio);
    ColorTable.SaveToStream(Stream);
}

// ---------------------------------------------------------------- extensions

void TGIFExtension::SaveToStream(TStream& Stream) {
    const std::uint8_t H[2] = {'!', LabelByte()};
    Stream.WriteBuffer(H, 2);
    SaveBody(Stream);
}

void TGIFGraphicControlExtension::SaveBody(TStream& Stream) const {
    const std::uint8_t B[6] = {4,
                               Rec.PackedFields,
                               static_cast<std::uint8_t>(Rec.Delay),
                               static_cast<std::uint8_t>(Rec.Delay >> 8),
                               Rec.TransparentColorIndex,
                               0};
    Stream.WriteBuffer(B, 6);
}

void TGIFTextExtension::SaveBody(TStream& Stream) const {
    std::array<std::uint8_t, 13> Grid = TextGridHeader;
    Grid[0] = 12;
    Stream.WriteBuffer(Grid.data(), Grid.size());
    WriteTextBlocks(Stream, Lines);
}

void TGIFCommentExtension::SaveBody(TStream& Stream) const { WriteTextBlocks(Stream, Lines); }

void TGIFApplicationExtension::SaveBody(TStream& Stream) const {
    WriteByte(Stream, 11);
    Stream.WriteBuffer(AppIdentifier.data(), AppIdentifier.size());
    SaveData(Stream);
}

void TGIFApplicationExtension::SaveData(TStream& Stream) const { WriteByte(Stream, 0); }

void TGIFUnknownAppExtension::SaveData(TStream& Stream) const {
    for (const TGIFBlock& Block : SubBlocks) WriteSubBlocks(Stream, Block.Data.data(), Block.Data.size());
    WriteByte(Stream, 0);
}

void TGIFAppExtNSLoop::SaveData(TStream& Stream) const {
    const std::uint8_t Loop[4] = {3, 1, static_cast<std::uint8_t>(LoopCount),
                                  static_cast<std::uint8_t>(LoopCount >> 8)};
    Stream.WriteBuffer(Loop, 4);
    if (BufferingSize != 0) {
        const std::uint8_t Buffering[6] = {5,
                                           2,
                                           static_cast<std::uint8_t>(BufferingSize),
                                           static_cast<std::uint8_t>(BufferingSize >> 8),
                                           static_cast<std::uint8_t>(BufferingSize >> 16),
                                           static_cast<std::uint8_t>(BufferingSize >> 24)};
        Stream.WriteBuffer(Buffering, 6);
    }
    WriteByte(Stream, 0);
}

void TGIFExtensionList::SaveToStream(TStream& Stream) const {
    for (const auto& E : FItems) E->SaveToStream(Stream);
}

// ---------------------------------------------------------------- frames

int TGIFSubImage::RequiredVersion() const {
    return (ColorTable.Count() > 0 && ColorTable.UseOrdered) || FrameExtensions.Count() > 0 ? 2 : 1;
}

void TGIFSubImage::SaveToStream(TStream& Stream) {
    FrameExtensions.SaveToStream(Stream);
    if (Empty()) return;
    const std::size_t Pixels = std::size_t(FWidth) * std::size_t(FHeight);
    if (PixelData.size() < Pixels) throw GIFException(gifmsg::InvalidImageDimensions);
    // Bounds are 16-bit fields: a frame moved past 65535 (cropping a frame
    // that starts near the end of the range can do that) cannot be written
    // where it is, and cutting the value would move it.
    for (int V : {FLeft, FTop, FWidth, FHeight})
        if (V < 0 || V > 0xFFFF) throw GIFException(gifmsg::InvalidImageDimensions);

    // The interlace bit stays in both cases: the pixels are written in the
    // order it says.
    if (ColorTable.Count() > 0)
        PackedFields = static_cast<std::uint8_t>(0x80 | (ColorTable.UseOrdered ? 0x20 : 0) | (PackedFields & 0x40) |
                                                 SizeCode(ColorTable));
    else
        PackedFields &= 0x58;

    // Frames are always introduced by the image separator, whatever byte a
    // tolerant read found there.
    Separator = 0x2C;
    std::uint8_t D[10] = {Separator,
                          static_cast<std::uint8_t>(FLeft),
                          static_cast<std::uint8_t>(FLeft >> 8),
                          static_cast<std::uint8_t>(FTop),
                          static_cast<std::uint8_t>(FTop >> 8),
                          static_cast<std::uint8_t>(FWidth),
                          static_cast<std::uint8_t>(FWidth >> 8),
                          static_cast<std::uint8_t>(FHeight),
                          static_cast<std::uint8_t>(FHeight >> 8),
                          PackedFields};
    Stream.WriteBuffer(D, sizeof D);
    ColorTable.SaveToStream(Stream);

    // A local map gives its own code size and colours; without one the code
    // size is the largest of all maps and any index it can say is allowed.
    int CodeSize = 0;
    int ColorLimit = 0;
    if (ColorTable.Count() > 0) {
        CodeSize = ColorTable.BitsPerPixel();
        ColorLimit = ColorTable.Count();
    } else {
        if (FImage) {
            CodeSize = FImage->GlobalColorMap().BitsPerPixel();
            for (const auto& F : FImage->Images) CodeSize = std::max(CodeSize, F->ColorTable.BitsPerPixel());
        }
        ColorLimit = 1 << CodeSize;
    }
    const std::unique_ptr<TGIFEncoder> Encoder = GIFCreateEncoder(FImage ? FImage->Compression : std::uint8_t(gcLZW));
    Encoder->Compress(Stream, CodeSize, ColorLimit, PixelData.data(), IsInterlaced(), FHeight, FWidth);
}

// ---------------------------------------------------------------- image

void TGIFImage::SaveToStream(TStream& Stream) {
    Progress(TProgressStage::psStarting, 0, gifmsg::Saving);
    try {
        ScreenHeader.SaveToStream(Stream);
        const int N = Images.Count();
        for (int I = 0; I < N; ++I) {
            Images[I].SaveToStream(Stream);
            Progress(TProgressStage::psRunning, static_cast<int>(std::int64_t(I + 1) * 100 / N), gifmsg::Saving);
        }
        WriteByte(Stream, ';');
    } catch (...) {
        Progress(TProgressStage::psEnding, 0, gifmsg::Saving);
        throw;
    }
    Progress(TProgressStage::psEnding, 100, gifmsg::Saving);
}

void TGIFImage::SaveFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmCreate);
    SaveToStream(F);
    F.Close();
}

}  // namespace anivert
