#include "FlashImage.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

#include "FlashObjects.h"
#include "WorkQueue.h"

namespace anivert {

namespace {

std::string UpperExtension(const std::string& FileName) {
    const std::size_t Slash = FileName.find_last_of("/\\");
    const std::size_t Dot = FileName.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash)) return std::string();
    std::string Ext = FileName.substr(Dot + 1);
    for (char& C : Ext) C = static_cast<char>(std::toupper(static_cast<unsigned char>(C)));
    return Ext;
}

std::vector<std::uint8_t> ReadWhole(TStream& S) {
    S.SetPosition(0);
    std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(S.Size()));
    S.ReadBuffer(Bytes.data(), Bytes.size());
    return Bytes;
}

}  // namespace

TFlashImage::TFlashImage(TFlashMovie* AOwner, const std::string& FileName) : TFlashIDObject(AOwner) {
    if (!FileName.empty()) LoadFile(FileName);
}

TFlashImage::~TFlashImage() = default;

TMemoryStream& TFlashImage::AlphaData() {
    if (!FAlphaData) FAlphaData = std::make_unique<TMemoryStream>();
    return *FAlphaData;
}

TBMPReader& TFlashImage::Reader() {
    if (!FReader) FReader = std::make_unique<TBMPReader>();
    return *FReader;
}

void TFlashImage::LoadFile(const std::string& FileName) {
    FPacking = {};
    FPictureReleased = false;
    FMaker = nullptr;
    FMade.reset();
    const std::string Ext = UpperExtension(FileName);
    FromJPEG = false;
    HasAlpha = false;
    if (Ext == "JPG" || Ext == "JPEG") {
        FromJPEG = true;
        FWidth = FHeight = 0;
        ReadJPEGSize(FileName, FWidth, FHeight);
        if (!ConvertProgressive || (FWidth != 0 && FHeight != 0)) {
            FData = std::make_unique<TFileStream>(FileName, TFileMode::fmOpenRead);
            DataState = 4;
        } else {
            auto File = std::make_unique<TFileStream>(FileName, TFileMode::fmOpenRead);
            const std::vector<std::uint8_t> Bytes = ReadWhole(*File);
            const TJPEGInfo Info = ReadJPEGInfo(Bytes);
            if (Info.Progressive) {
                auto Mem = std::make_unique<TMemoryStream>(ReencodeJPEGBaseline(Bytes));
                FData = std::move(Mem);
                DataState = 3;
            } else {
                // Not progressive after all: the file's own bytes serve.
                FData = std::move(File);
                DataState = 4;
            }
        }
        if (FWidth == 0 || FHeight == 0) {
            // No baseline frame header: take the size from the codec, so
            // that shapes filled with the picture can scale to it.
            const TJPEGInfo Info = ReadJPEGInfo(ReadWhole(*FData));
            FWidth = Info.Width;
            FHeight = Info.Height;
        }
        return;
    }
    if (Ext == "BMP") {
        TFileStream F(FileName, TFileMode::fmOpenRead);
        LoadBMPFromStream(F);
        return;
    }
    throw EImageError("Image format \"" + Ext + "\" not supported!");
}

void TFlashImage::LoadBMPFromStream(TStream& Stream) {
    FPacking = {};
    FPictureReleased = false;
    FMaker = nullptr;
    FMade.reset();
    FromJPEG = false;
    HasAlpha = false;
    Reader().LoadFromStream(Stream);
    AnalyseBitmap();
}

TFlashImage::TMadeLayout TFlashImage::CheckPicture(const TLosslessPicture& Picture, std::int32_t Width,
                                                   std::int32_t Height) {
    if (Picture.Width != Width || Picture.Height != Height ||
        Picture.Raw.size() != Picture.TableBytes() + Picture.RowBytes() * static_cast<std::size_t>(Picture.Height) ||
        (Picture.BitmapFormat != bfColorMapped8 && Picture.BitmapFormat != bfRGB32) ||
        (Picture.BitmapFormat == bfColorMapped8 && (Picture.ColorCount < 1 || Picture.ColorCount > 256)))
        throw EImageError("The picture's data does not match its layout");
    TMadeLayout L;
    L.HasAlpha = Picture.HasAlpha;
    if (Picture.BitmapFormat == bfColorMapped8) {
        L.BitmapFormat = bfColorMapped8;
        L.PaddedWidth = static_cast<std::int32_t>(Picture.RowBytes());
        L.ColorCount = Picture.ColorCount;
    } else {
        // 32 bits a pixel: with alpha a DefineBitsLossless2, else the
        // 24-bit format of a DefineBitsLossless.
        L.BitmapFormat = Picture.HasAlpha ? bfARGB32 : bfRGB32;
        L.PaddedWidth = Picture.Width;
    }
    return L;
}

void TFlashImage::SetPicture(TLosslessPicture Picture) {
    SetPictureMaker(Picture.Width, Picture.Height, nullptr);
    FMade = CheckPicture(Picture, FWidth, FHeight);
    SettleLayout();
    FMaker = [P = std::make_shared<const TLosslessPicture>(std::move(Picture))] { return *P; };
}

void TFlashImage::SetPictureMaker(std::int32_t Width, std::int32_t Height, std::function<TLosslessPicture()> Make) {
    if (Width <= 0 || Height <= 0 || Width > MaxSide || Height > MaxSide)
        throw EImageError("A picture of " + std::to_string(Width) + " x " + std::to_string(Height) +
                          " pixels cannot be a movie bitmap");
    FPacking = {};
    FPictureReleased = false;
    FReader.reset();
    FromJPEG = false;
    FWidth = Width;
    FHeight = Height;
    // Until the picture is made: colour-mapped with alpha.
    BitmapFormat = bfColorMapped8;
    HasAlpha = true;
    ColorCount = 1;
    PaddedWidth = (Width + 3) / 4 * 4;
    FMade.reset();
    FMaker = std::move(Make);
    FData.reset();
    DataState = 2;
}

void TFlashImage::SettleLayout() {
    Settle();
    if (!FMade) return;
    BitmapFormat = FMade->BitmapFormat;
    HasAlpha = FMade->HasAlpha;
    ColorCount = FMade->ColorCount;
    PaddedWidth = FMade->PaddedWidth;
}

std::uint8_t TFlashImage::MinVersion() const {
    Settle();
    const bool Alpha = FMade ? FMade->HasAlpha : HasAlpha;
    return (Alpha || (FromJPEG && HasAlphaData())) ? 3 : 2;
}

void TFlashImage::AnalyseBitmap() {
    TBMPReader& R = Reader();
    const std::int32_t W = R.Width();
    const std::int32_t H = R.RowCount;
    if (W > MaxSide || H > MaxSide)
        throw EImageError("Bitmap of " + std::to_string(W) + " x " + std::to_string(H) +
                          " pixels is larger than a movie bitmap can be (65535 x 65535)");
    std::int64_t PixelBytes = 4;
    switch (R.BitCount()) {
        case 1:
        case 4:
        case 8:
            BitmapFormat = bfColorMapped8;
            PaddedWidth = W + (4 - W % 4) % 4;
            PixelBytes = 1;
            break;
        case 16:
            BitmapFormat = bfRGB15;
            PaddedWidth = W + W % 2;
            PixelBytes = 2;
            break;
        case 24:
            BitmapFormat = bfRGB32;
            PaddedWidth = W;
            break;
        default:
            BitmapFormat = bfARGB32;
            PaddedWidth = W;
            HasAlpha = true;
            break;
    }
    // The packed rows take one to four bytes a pixel; keep them within the
    // reader's memory bound too, before any pass over the pixels.
    if (static_cast<std::int64_t>(PaddedWidth) * H * PixelBytes > TBMPReader::MaxPixelMemory)
        throw EImageError("Bitmap of " + std::to_string(W) + " x " + std::to_string(H) +
                          " pixels is larger than 256 MiB as a movie bitmap");
    FWidth = W;
    FHeight = H;
    ColorCount = BitmapFormat == bfColorMapped8 ? R.CountColors() : 0;
    FData.reset();
    DataState = 2;
}

namespace {

// What the lossless packing needs besides the pixels.
struct TLosslessLayout {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t PaddedWidth = 0;
    std::uint8_t BitmapFormat = 0;
    std::int32_t ColorCount = 0;
    bool HasAlpha = false;
};

// The colour table (colour-mapped bitmaps) and the rows, top row first, in
// the lossless tags' layout.
std::vector<std::uint8_t> LayOutLossless(const TBMPReader& R, const TLosslessLayout& L) {
    if (R.Width() != L.Width || R.RowCount != L.Height)
        throw EImageError("The bitmap's pixels are not loaded");
    const std::int32_t W = L.Width;
    const std::int32_t H = L.Height;
    const std::size_t PixelBytes = L.BitmapFormat == bfColorMapped8 ? 1 : L.BitmapFormat == bfRGB15 ? 2 : 4;
    const std::size_t TableBytes =
        L.BitmapFormat == bfColorMapped8 ? static_cast<std::size_t>(L.ColorCount) * (L.HasAlpha ? 4 : 3) : 0;
    const std::size_t RowBytes = static_cast<std::size_t>(L.PaddedWidth) * PixelBytes;
    std::vector<std::uint8_t> Raw(TableBytes + RowBytes * static_cast<std::size_t>(H), 0);
    std::uint8_t* D = Raw.data();
    if (L.BitmapFormat == bfColorMapped8) {
        for (std::int32_t I = 0; I < L.ColorCount; ++I) {
            const TRGBQuad& Q = R.Palette[static_cast<std::size_t>(I)];
            *D++ = Q.Red;
            *D++ = Q.Green;
            *D++ = Q.Blue;
            if (L.HasAlpha) *D++ = Q.Alpha;
        }
    }
    // Rows go out top row first; a bottom-up bitmap stores it last. Padding
    // bytes stay zero.
    for (std::int32_t Out = 0; Out < H; ++Out, D += RowBytes) {
        const std::int32_t Y = R.TopDown() ? Out : H - 1 - Out;
        const std::uint8_t* Row = R.Row(Y);
        std::uint8_t* P = D;
        switch (L.BitmapFormat) {
            case bfColorMapped8:
                if (R.BitCount() == 8) std::copy(Row, Row + W, P);
                else
                    for (std::int32_t X = 0; X < W; ++X) P[X] = R.IndexAt(X, Y);
                break;
            case bfRGB15:
                for (std::int32_t X = 0; X < W; ++X, P += 2) {
                    P[0] = Row[2 * X + 1];
                    P[1] = Row[2 * X];
                }
                break;
            case bfRGB32:
                for (std::int32_t X = 0; X < W; ++X, P += 4) {
                    const std::uint8_t* S = Row + 3 * X;
                    P[0] = 0xFF;
                    P[1] = S[2];
                    P[2] = S[1];
                    P[3] = S[0];
                }
                break;
            default:
                // The player expects colours multiplied by their alpha.
                for (std::int32_t X = 0; X < W; ++X, P += 4) {
                    const std::uint8_t* S = Row + 4 * X;
                    const unsigned A = S[3];
                    if (A == 0) continue;  // stays 0, 0, 0, 0
                    if (A == 255) {
                        P[0] = 0xFF;
                        P[1] = S[2];
                        P[2] = S[1];
                        P[3] = S[0];
                    } else {
                        auto Mul = [A](unsigned C) { return static_cast<std::uint8_t>((C * A + 127) / 255); };
                        P[0] = static_cast<std::uint8_t>(A);
                        P[1] = Mul(S[2]);
                        P[2] = Mul(S[1]);
                        P[3] = Mul(S[0]);
                    }
                }
                break;
        }
    }
    return Raw;
}

std::vector<std::uint8_t> PackLossless(const TBMPReader& R, const TLosslessLayout& L, const TDeflateSettings& D) {
    const std::vector<std::uint8_t> Raw = LayOutLossless(R, L);
    return Deflate(Raw.data(), Raw.size(), D);
}

}  // namespace

void TFlashImage::BuildLosslessData() {
    // The picture went to a packing job: its bytes are the data.
    if (FPictureReleased) {
        SettleLayout();
        return;
    }
    if (FMaker) {
        TLosslessPicture P = FMaker();
        FMade = CheckPicture(P, FWidth, FHeight);
        SettleLayout();
        FData = std::make_unique<TMemoryStream>(anivert::Deflate(P.Raw.data(), P.Raw.size(), Deflate));
        DataState = 2;
        return;
    }
    const TLosslessLayout L{FWidth, FHeight, PaddedWidth, BitmapFormat, ColorCount, HasAlpha};
    FData = std::make_unique<TMemoryStream>(PackLossless(Reader(), L, Deflate));
    DataState = 2;
}

void TFlashImage::PackLater(TWorkQueue& Queue) {
    Settle();
    if (FromJPEG || DataState != 2 || (FData && FData->Size() > 0) || (!FReader && !FMaker)) return;
    const TDeflateSettings D = Deflate;
    FPictureReleased = true;
    if (FMaker) {
        FPacking = Queue.Submit([Make = std::move(FMaker), W = FWidth, H = FHeight, D]() mutable {
            TPacked R;
            // The job lives on in its future: what the maker holds must go
            // with this call.
            TLosslessPicture P = std::exchange(Make, nullptr)();
            R.Made = CheckPicture(P, W, H);
            R.Data = anivert::Deflate(P.Raw.data(), P.Raw.size(), D);
            return R;
        });
        FMaker = nullptr;
        return;
    }
    const TLosslessLayout L{FWidth, FHeight, PaddedWidth, BitmapFormat, ColorCount, HasAlpha};
    std::shared_ptr<TBMPReader> Picture(std::move(FReader));
    FPacking = Queue.Submit([Picture, L, D]() mutable {
        TPacked R;
        R.Data = PackLossless(*Picture, L, D);
        Picture.reset();  // the decoded picture is not needed any more
        return R;
    });
}

void TFlashImage::Settle() const {
    if (!FPacking.valid()) return;
    std::future<TPacked> Pending = std::move(FPacking);
    TPacked R = Pending.get();
    FData = std::make_unique<TMemoryStream>(std::move(R.Data));
    if (R.Made) FMade = R.Made;
}

TStream* TFlashImage::Data() const {
    Settle();
    return FData.get();
}

void TFlashImage::ReleasePacked() {
    Settle();
    FData.reset();
    FAlphaData.reset();
    FPackedReleased = true;
}

void TFlashImage::WriteDataTo(TSWFObject&, TBitsEngine& BE) {
    if (FPackedReleased) throw std::logic_error("The bitmap's data was let go of once written");
    Settle();
    if (!FromJPEG && (!FData || FData->Size() == 0)) BuildLosslessData();
    if (!FData) return;
    FData->SetPosition(0);
    BE.Stream.CopyFrom(*FData, FData->Size());
}

void TFlashImage::WriteToStream(TBitsEngine& BE) {
    auto Writer = [this](TSWFObject& Sender, TBitsEngine& Out) { WriteDataTo(Sender, Out); };
    if (!FromJPEG) {
        // The layout of a picture made in memory is known once it is made.
        if (FMaker && !FPictureReleased && (!FData || FData->Size() == 0)) BuildLosslessData();
        SettleLayout();
        std::unique_ptr<TSWFDefineBitsLossless> Tag;
        if (HasAlpha) Tag = std::make_unique<TSWFDefineBitsLossless2>();
        else Tag = std::make_unique<TSWFDefineBitsLossless>();
        Tag->CharacterID = GetCharacterID();
        Tag->BitmapFormat = BitmapFormat == bfARGB32 ? std::uint8_t{bfRGB32} : BitmapFormat;
        Tag->BitmapWidth = static_cast<std::uint16_t>(FWidth);
        Tag->BitmapHeight = static_cast<std::uint16_t>(FHeight);
        if (BitmapFormat == bfColorMapped8) Tag->BitmapColorTableSize = static_cast<std::uint8_t>(ColorCount - 1);
        Tag->OnDataWrite = Writer;
        Tag->WriteToStream(BE);
    } else if (HasAlphaData()) {
        TSWFDefineBitsJPEG3 Tag;
        Tag.CharacterID = GetCharacterID();
        Tag.WriteMarkers = false;  // the data is a whole JPEG file
        Tag.OnDataWrite = Writer;
        Tag.OnAlphaDataWrite = [this](TSWFObject&, TBitsEngine& Out) {
            TCompressionStream Z(Out.Stream, -1);
            FAlphaData->SetPosition(0);
            Z.CopyFrom(*FAlphaData, FAlphaData->Size());
            Z.Finish();
        };
        Tag.WriteToStream(BE);
    } else {
        TSWFDefineBitsJPEG2 Tag;
        Tag.CharacterID = GetCharacterID();
        Tag.WriteMarkers = false;  // the data is a whole JPEG file
        Tag.OnDataWrite = Writer;
        Tag.WriteToStream(BE);
    }
}

void TFlashImage::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashImage>(Source, "image");
    S.Settle();
    FPacking = {};
    FPictureReleased = S.FPictureReleased;
    FPackedReleased = S.FPackedReleased;
    TFlashIDObject::CopyFrom(S);
    FromJPEG = S.FromJPEG;
    Deflate = S.Deflate;
    ColorCount = S.ColorCount;
    ConvertProgressive = S.ConvertProgressive;
    HasAlpha = S.HasAlpha;
    PaddedWidth = S.PaddedWidth;
    BitmapFormat = S.BitmapFormat;
    FWidth = S.FWidth;
    FHeight = S.FHeight;
    if (S.FReader) Reader() = *S.FReader;
    // A picture still to be made is made for the copy too; its data copies.
    FMaker = S.FMaker;
    FMade = S.FMade;
    FData.reset();
    if (S.FData) FData = std::make_unique<TMemoryStream>(ReadWhole(*S.FData));
    DataState = S.DataState == 4 ? 3 : S.DataState;
    FAlphaData.reset();
    if (S.FAlphaData) FAlphaData = std::make_unique<TMemoryStream>(S.FAlphaData->Bytes());
}

}  // namespace anivert
