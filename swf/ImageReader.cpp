#include "ImageReader.h"

#include <algorithm>
#include <cstring>

namespace anivert {

namespace {

std::uint16_t Get16(const std::uint8_t* P) { return static_cast<std::uint16_t>(P[0] | (P[1] << 8)); }
std::uint32_t Get32(const std::uint8_t* P) {
    return P[0] | (P[1] << 8) | (P[2] << 16) | (static_cast<std::uint32_t>(P[3]) << 24);
}

// Bits from the lowest to the highest set bit of a colour mask.
std::uint8_t MaskWidth(std::uint32_t Mask) {
    if (Mask == 0) return 0;
    int Low = 0, High = 31;
    while (!(Mask & (1u << Low))) ++Low;
    while (!(Mask & (1u << High))) --High;
    return static_cast<std::uint8_t>(High - Low + 1);
}

}  // namespace

void TBMPReader::LoadFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmOpenRead);
    LoadFromStream(F);
}

void TBMPReader::SetFormat(std::int32_t AWidth, std::int32_t AHeight, std::uint16_t ABitCount, std::uint8_t RedWidth,
                           std::uint8_t GreenWidth, std::uint8_t BlueWidth) {
    if (AWidth < 0) throw EImageError("Invalid bitmap width " + std::to_string(AWidth));
    if (AHeight == INT32_MIN) throw EImageError("Invalid bitmap height");
    const std::int64_t Rows = AHeight < 0 ? -static_cast<std::int64_t>(AHeight) : AHeight;
    const std::int64_t StrideBytes = (static_cast<std::int64_t>(AWidth) * ABitCount + 31) / 32 * 4;
    // Compared by division: the product of two fields read from a file
    // may pass what 64 bits hold.
    if (Rows > 0 && StrideBytes > MaxPixelMemory / Rows)
        throw EImageError("Bitmap of " + std::to_string(AWidth) + " x " + std::to_string(Rows) + " pixels at " +
                          std::to_string(ABitCount) + " bits is larger than " +
                          std::to_string(MaxPixelMemory >> 20) + " MiB");
    Info.biWidth = AWidth;
    Info.biHeight = AHeight;
    Info.biBitCount = ABitCount;
    RedMaskWidth = RedWidth;
    GreenMaskWidth = GreenWidth;
    BlueMaskWidth = BlueWidth;
    RowCount = static_cast<std::int32_t>(Rows);
    Stride = static_cast<std::int32_t>(StrideBytes);
    RowPadding = static_cast<std::int32_t>(StrideBytes - (static_cast<std::int64_t>(AWidth) * ABitCount + 7) / 8);
    ImageSize = static_cast<std::int32_t>(StrideBytes * Rows);
    FPixels.assign(static_cast<std::size_t>(ImageSize), 0);
}

void TBMPReader::SetFromInfo(const TBitmapInfoHeader& AInfo, const std::uint32_t Masks[3]) {
    Info = AInfo;
    std::uint8_t R = 0, G = 0, B = 0;
    if (Masks && (AInfo.biBitCount == 16 || AInfo.biBitCount == 32) && AInfo.biCompression == BI_BITFIELDS) {
        R = MaskWidth(Masks[0]);
        G = MaskWidth(Masks[1]);
        B = MaskWidth(Masks[2]);
    }
    if (AInfo.biBitCount <= 8) {
        const int N = 1 << AInfo.biBitCount;
        for (int I = 0; I < N; ++I) Palette[static_cast<std::size_t>(I)].Alpha = 255;
    }
    SetFormat(AInfo.biWidth, AInfo.biHeight, AInfo.biBitCount, R, G, B);
}

void TBMPReader::LoadFromStream(TStream& Stream) {
    const std::int64_t Start = Stream.Position();
    const std::int64_t Total = Stream.Size() - Start;
    std::uint8_t Head[1078] = {};
    const std::size_t N = static_cast<std::size_t>(std::min<std::int64_t>(Total, sizeof Head));
    Stream.ReadBuffer(Head, N);
    if (N < 2 || Head[0] != 'B' || Head[1] != 'M') throw EImageError("Not a BMP file");

    TBitmapInfoHeader I;
    std::uint32_t Masks[3] = {0, 0, 0};
    Palette = {};
    const std::uint32_t HeaderSize = Get32(Head + 14);
    if (HeaderSize == 40) {
        I.biSize = 40;
        I.biWidth = static_cast<std::int32_t>(Get32(Head + 18));
        I.biHeight = static_cast<std::int32_t>(Get32(Head + 22));
        I.biPlanes = Get16(Head + 26);
        I.biBitCount = Get16(Head + 28);
        I.biCompression = Get32(Head + 30);
        I.biSizeImage = Get32(Head + 34);
        I.biXPelsPerMeter = static_cast<std::int32_t>(Get32(Head + 38));
        I.biYPelsPerMeter = static_cast<std::int32_t>(Get32(Head + 42));
        I.biClrUsed = Get32(Head + 46);
        I.biClrImportant = Get32(Head + 50);
        for (std::size_t K = 0; K < 256; ++K) {
            const std::uint8_t* P = Head + 54 + 4 * K;
            Palette[K] = TRGBQuad{P[0], P[1], P[2], P[3]};
        }
        // With bit fields, the three masks follow the header.
        for (std::size_t K = 0; K < 3; ++K) Masks[K] = Get32(Head + 54 + 4 * K);
    } else if (HeaderSize == 12) {
        I.biWidth = Get16(Head + 18);
        I.biHeight = Get16(Head + 20);
        I.biPlanes = Get16(Head + 22);
        I.biBitCount = Get16(Head + 24);
        if (I.biBitCount <= 8) {
            const std::size_t Entries = std::size_t{1} << I.biBitCount;
            for (std::size_t K = 0; K < Entries; ++K) {
                const std::uint8_t* P = Head + 26 + 3 * K;
                Palette[K] = TRGBQuad{P[0], P[1], P[2], 0};
            }
        }
    } else {
        throw EImageError("Unsupported BMP header of " + std::to_string(HeaderSize) + " bytes");
    }
    const std::uint16_t Bits = I.biBitCount;
    if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32)
        throw EImageError("Unsupported BMP bit count " + std::to_string(Bits));
    const std::uint32_t C = I.biCompression;
    if (C > BI_BITFIELDS || (C == BI_RLE8 && Bits != 8) || (C == BI_RLE4 && Bits != 4) ||
        (C == BI_BITFIELDS && Bits != 16 && Bits != 32))
        throw EImageError("Unsupported BMP compression " + std::to_string(C) + " at " + std::to_string(Bits) + " bits");
    if (I.biHeight < 0 && (C == BI_RLE8 || C == BI_RLE4))
        throw EImageError("Run-length encoded BMP files cannot be stored top-down");
    SetFromInfo(I, Masks);

    const std::uint32_t PixelOffset = Get32(Head + 10);
    if (PixelOffset >= Total) return;  // no pixel data: rows stay zero
    Stream.SetPosition(Start + PixelOffset);
    const std::int64_t Remaining = Total - PixelOffset;
    if (C == BI_RLE8 || C == BI_RLE4) {
        const std::int64_t Declared = static_cast<std::int64_t>(Get32(Head + 2)) - PixelOffset;
        const std::int64_t Count = std::clamp<std::int64_t>(Declared, 0, Remaining);
        std::vector<std::uint8_t> Data(static_cast<std::size_t>(Count));
        Stream.ReadBuffer(Data.data(), Data.size());
        DecodeRLE(Data, C == BI_RLE4);
    } else {
        const std::int64_t Count = std::min<std::int64_t>(ImageSize, Remaining);
        Stream.ReadBuffer(FPixels.data(), static_cast<std::size_t>(Count));
    }
}

std::uint8_t TBMPReader::IndexAt(std::int32_t X, std::int32_t Y) const {
    const std::uint8_t* R = Row(Y);
    switch (Info.biBitCount) {
        case 1: return (R[X >> 3] >> (7 - (X & 7))) & 1;
        case 4: return (X & 1) ? (R[X >> 1] & 0x0F) : (R[X >> 1] >> 4);
        default: return R[X];
    }
}

void TBMPReader::SetIndex(std::int32_t X, std::int32_t Y, std::uint8_t Value) {
    std::uint8_t* R = Row(Y);
    switch (Info.biBitCount) {
        case 1: {
            const std::uint8_t Bit = static_cast<std::uint8_t>(0x80 >> (X & 7));
            R[X >> 3] = static_cast<std::uint8_t>(Value ? (R[X >> 3] | Bit) : (R[X >> 3] & ~Bit));
            break;
        }
        case 4:
            if (X & 1) R[X >> 1] = static_cast<std::uint8_t>((R[X >> 1] & 0xF0) | (Value & 0x0F));
            else R[X >> 1] = static_cast<std::uint8_t>((R[X >> 1] & 0x0F) | (Value << 4));
            break;
        default: R[X] = Value; break;
    }
}

void TBMPReader::DecodeRLE(const std::vector<std::uint8_t>& Data, bool FourBit) {
    const std::int64_t W = Info.biWidth;
    std::int64_t X = 0, Y = 0;
    std::size_t I = 0;
    const std::size_t N = Data.size();
    auto Put = [&](std::int64_t PX, std::uint8_t V) {
        if (PX >= 0 && PX < W && Y >= 0 && Y < RowCount) SetIndex(static_cast<std::int32_t>(PX), static_cast<std::int32_t>(Y), V);
    };
    while (I + 1 < N && Y < RowCount) {
        const std::uint8_t Count = Data[I];
        const std::uint8_t Value = Data[I + 1];
        I += 2;
        if (Count > 0) {
            // An encoded run; four-bit runs alternate the two nibbles.
            for (int K = 0; K < Count && X + K < W; ++K)
                Put(X + K, FourBit ? ((K & 1) ? (Value & 0x0F) : (Value >> 4)) : Value);
            X += Count;
        } else if (Value == 0) {
            X = 0;
            ++Y;
        } else if (Value == 1) {
            break;
        } else if (Value == 2) {
            if (I + 1 >= N) break;
            X += Data[I];
            Y += Data[I + 1];
            I += 2;
        } else {
            // An absolute run of Value pixels, padded to a 16-bit boundary.
            const std::size_t Bytes = FourBit ? (Value + 1u) / 2u : Value;
            for (int K = 0; K < Value; ++K) {
                const std::size_t At = I + (FourBit ? static_cast<std::size_t>(K / 2) : static_cast<std::size_t>(K));
                if (At >= N) break;
                const std::uint8_t B = Data[At];
                Put(X + K, FourBit ? ((K & 1) ? (B & 0x0F) : (B >> 4)) : B);
            }
            X += Value;
            I += Bytes + (Bytes & 1);
        }
    }
}

int TBMPReader::CountColors() {
    const std::uint16_t Bits = Info.biBitCount;
    const std::int32_t W = Info.biWidth;
    if (Bits == 1) {
        for (std::int32_t Y = 0; Y < RowCount; ++Y)
            for (std::int32_t X = 0; X < W; ++X)
                if (IndexAt(X, Y)) return 2;
        return 1;
    }
    if (Bits != 4 && Bits != 8) return 0;
    const int Max = 1 << Bits;
    bool Used[256] = {};
    int Distinct = 0;
    for (std::int32_t Y = 0; Y < RowCount; ++Y) {
        for (std::int32_t X = 0; X < W; ++X) {
            const std::uint8_t V = IndexAt(X, Y);
            if (!Used[V]) {
                Used[V] = true;
                if (++Distinct == Max) return Max;
            }
        }
    }
    std::uint8_t Map[256] = {};
    int K = 0;
    for (int J = 0; J < Max; ++J) {
        if (!Used[J]) continue;
        Map[J] = static_cast<std::uint8_t>(K);
        Palette[static_cast<std::size_t>(K)] = Palette[static_cast<std::size_t>(J)];
        ++K;
    }
    for (std::int32_t Y = 0; Y < RowCount; ++Y)
        for (std::int32_t X = 0; X < W; ++X) SetIndex(X, Y, Map[IndexAt(X, Y)]);
    return K;
}

// ------------------------------------------------------------ JPEG size

bool ReadJPEGSize(const std::string& FileName, std::int32_t& Width, std::int32_t& Height) {
    TFileStream F(FileName, TFileMode::fmOpenRead);
    auto Byte = [&F](int& Out) {
        std::uint8_t B;
        if (F.Read(&B, 1) != 1) return false;
        Out = B;
        return true;
    };
    auto Word = [&](int& Out) {
        int Hi, Lo;
        if (!Byte(Hi) || !Byte(Lo)) return false;
        Out = (Hi << 8) | Lo;
        return true;
    };
    int B0, B1;
    if (!Byte(B0) || !Byte(B1) || B0 != 0xFF || B1 != 0xD8) return false;
    int B;
    if (!Byte(B)) return false;
    while (B == 0xFF) {
        int M;
        if (!Byte(M)) return false;
        if (M == 0xFF) continue;  // fill byte
        if (M == 0xC0 || M == 0xC1) {
            int Skip;
            if (!Byte(Skip) || !Byte(Skip) || !Byte(Skip)) return false;
            int H, W;
            if (!Word(H) || !Word(W)) return false;
            Height = H;
            Width = W;
            return true;
        }
        if (M == 0x01 || (M >= 0xD0 && M <= 0xD7)) {
            if (!Byte(B)) return false;
            continue;
        }
        int L;
        if (!Word(L) || L < 2) return false;
        F.Seek(L - 2, TSeekOrigin::soCurrent);
        if (!Byte(B)) return false;
    }
    return false;
}

}  // namespace anivert
