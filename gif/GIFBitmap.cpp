#include "GIFImage.h"

#include <algorithm>
#include <new>

namespace anivert {

namespace {

void PutLE(std::vector<std::uint8_t>& B, std::size_t At, std::uint32_t V, int Bytes) {
    for (int I = 0; I < Bytes; ++I) B[At + I] = static_cast<std::uint8_t>(V >> (8 * I));
}

}  // namespace

// ---------------------------------------------------------------- TGIFBitmap

void TGIFBitmap::Assign(std::vector<std::uint8_t> Image, int Width, int Height, int BitCount, int ColorsImportant) {
    FImage = std::move(Image);
    FWidth = Width;
    FHeight = Height;
    FBitCount = BitCount;
    FStride = ((Width * BitCount + 31) & ~31) / 8;
    FPixelOffset = FileHeaderSize + InfoHeaderSize + ColorTableSize() * 4;
    FColorsImportant = ColorsImportant;
}

const std::uint8_t* TGIFBitmap::ColorTableQuads() const {
    return FImage.data() + FileHeaderSize + InfoHeaderSize;
}

TColor TGIFBitmap::ColorTableEntry(int Index) const {
    if (Index < 0 || Index >= ColorTableSize()) return 0;
    const std::uint8_t* Q = ColorTableQuads() + 4 * Index;
    return TColor(Q[2]) | (TColor(Q[1]) << 8) | (TColor(Q[0]) << 16);
}

TGIFPalette TGIFBitmap::Palette() const {
    TGIFPalette P;
    for (int I = 0; I < FColorsImportant; ++I) P.push_back(ColorTableEntry(I));
    return P;
}

const std::uint8_t* TGIFBitmap::ScanLine(int Row) const {
    if (Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation(gifmsg::ScanLineOutOfRange);
    return FImage.data() + FPixelOffset + static_cast<std::size_t>(FHeight - Row - 1) * FStride;
}

std::uint8_t TGIFBitmap::PixelIndex(int X, int Y) const {
    if (X < 0 || X >= FWidth) throw GIFException(gifmsg::InvalidPixelCoordinates);
    return ScanLine(Y)[X * (FBitCount / 8)];
}

TColor TGIFBitmap::PixelColor(int X, int Y) const {
    if (X < 0 || X >= FWidth) throw GIFException(gifmsg::InvalidPixelCoordinates);
    const std::uint8_t* Row = ScanLine(Y);
    if (FBitCount == 8) return ColorTableEntry(Row[X]);
    const std::uint8_t* P = Row + 3 * X;
    return TColor(P[2]) | (TColor(P[1]) << 8) | (TColor(P[0]) << 16);
}

void TGIFBitmap::SaveToStream(TStream& Stream) const {
    if (!FImage.empty()) Stream.WriteBuffer(FImage.data(), FImage.size());
}

void TGIFBitmap::SaveToFile(const std::string& FileName) const {
    TFileStream F(FileName, TFileMode::fmCreate);
    SaveToStream(F);
    F.Close();
}

// ---------------------------------------------------------------- TDIBWriter

TDIBWriter::TDIBWriter(TGIFBitmap& Bitmap, const TGIFPalette* Palette, int Height, int Width, int PixelFormat)
    : FBitmap(Bitmap), FHeight(Height), FWidth(Width), FBitCount(PixelFormat) {
    if (PixelFormat != 8 && PixelFormat != 24) throw GIFException(gifmsg::PixelFormatNotSupported);
    if (Width <= 0 || Height <= 0) throw GIFException(gifmsg::InvalidImageDimensions);
    if (Palette) FPalette.assign(Palette->begin(), Palette->begin() + std::min<std::size_t>(Palette->size(), 256));
}

void TDIBWriter::BuildInfo() {
    // The whole BMP file image in one buffer: the rows are written in place.
    const int TableSize = FBitCount == 8 ? 256 : 0;
    FInfoSize = TGIFBitmap::InfoHeaderSize + TableSize * 4;
    FStride = ((FWidth * FBitCount + 31) & ~31) / 8;
    const std::size_t Offset = TGIFBitmap::FileHeaderSize + FInfoSize;
    const std::size_t Total = Offset + static_cast<std::size_t>(FStride) * static_cast<std::size_t>(FHeight);
    try {
        FFile.assign(Total, 0);
    } catch (const std::bad_alloc&) {
        throw GIFException(gifmsg::DIBOutOfMemory);
    }
    FFile[0] = 'B';
    FFile[1] = 'M';
    PutLE(FFile, 2, static_cast<std::uint32_t>(Total), 4);
    PutLE(FFile, 10, static_cast<std::uint32_t>(Offset), 4);
    const std::size_t I0 = TGIFBitmap::FileHeaderSize;
    PutLE(FFile, I0 + 0, TGIFBitmap::InfoHeaderSize, 4);
    PutLE(FFile, I0 + 4, static_cast<std::uint32_t>(FWidth), 4);
    PutLE(FFile, I0 + 8, static_cast<std::uint32_t>(FHeight), 4);  // positive: rows bottom-up
    PutLE(FFile, I0 + 12, 1, 2);
    PutLE(FFile, I0 + 14, static_cast<std::uint32_t>(FBitCount), 2);
    if (TableSize) {
        PutLE(FFile, I0 + 32, 256, 4);
        PutLE(FFile, I0 + 36, static_cast<std::uint32_t>(FPalette.size()), 4);
        for (std::size_t I = 0; I < FPalette.size(); ++I) {
            const TColor C = FPalette[I];
            std::uint8_t* Q = FFile.data() + I0 + TGIFBitmap::InfoHeaderSize + 4 * I;
            Q[0] = static_cast<std::uint8_t>(C >> 16);
            Q[1] = static_cast<std::uint8_t>(C >> 8);
            Q[2] = static_cast<std::uint8_t>(C);
        }
    }
}

std::uint8_t* TDIBWriter::RowAddress(int Row) {
    if (Row < 0 || Row >= FHeight) throw EInvalidGraphicOperation(gifmsg::ScanLineOutOfRange);
    if (FFile.empty()) BuildInfo();
    return FFile.data() + TGIFBitmap::FileHeaderSize + FInfoSize + static_cast<std::size_t>(FHeight - Row - 1) * FStride;
}

void TDIBWriter::Finish() {
    if (FFile.empty()) return;
    FBitmap.Assign(std::move(FFile), FWidth, FHeight, FBitCount, FBitCount == 8 ? static_cast<int>(FPalette.size()) : 0);
    FFile = {};
}

}  // namespace anivert
