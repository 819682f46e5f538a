#include "Bitmap32.h"

#include <algorithm>

#include "ImageReader.h"
#include "Streams.h"

namespace anivert {

namespace {

void Put16(std::uint8_t* P, std::uint32_t V) {
    P[0] = static_cast<std::uint8_t>(V);
    P[1] = static_cast<std::uint8_t>(V >> 8);
}
void Put32(std::uint8_t* P, std::uint32_t V) {
    for (int I = 0; I < 4; ++I) P[I] = static_cast<std::uint8_t>(V >> (8 * I));
}

// Reads a BMP file into 0xAARRGGBB pixels, top row first.
void ReadBMPPixels(const std::string& FileName, TBitmap32& Out) {
    TBMPReader R;
    R.LoadFile(FileName);
    const std::int32_t W = R.Width();
    const std::int32_t H = R.RowCount;
    Out.SetSize(W, H);
    for (std::int32_t Y = 0; Y < H; ++Y) {
        const std::int32_t Stored = R.TopDown() ? Y : H - 1 - Y;
        const std::uint8_t* P = R.Row(Stored);
        std::uint32_t* D = Out.Row(Y);
        switch (R.BitCount()) {
            case 32:
                for (std::int32_t X = 0; X < W; ++X, P += 4) D[X] = TBitmap32::Color32(P[2], P[1], P[0], P[3]);
                break;
            case 24:
                for (std::int32_t X = 0; X < W; ++X, P += 3) D[X] = TBitmap32::Color32(P[2], P[1], P[0], 255);
                break;
            case 16:
                for (std::int32_t X = 0; X < W; ++X, P += 2) {
                    const unsigned V = P[0] | (P[1] << 8);
                    const auto C5 = [](unsigned C) { return static_cast<std::uint8_t>((C << 3) | (C >> 2)); };
                    D[X] = TBitmap32::Color32(C5((V >> 10) & 31), C5((V >> 5) & 31), C5(V & 31), 255);
                }
                break;
            default:
                for (std::int32_t X = 0; X < W; ++X) {
                    const TRGBQuad& Q = R.Palette[R.IndexAt(X, Stored)];
                    D[X] = TBitmap32::Color32(Q.Red, Q.Green, Q.Blue, 255);
                }
                break;
        }
    }
}

}  // namespace

void TBitmap32::SetSize(std::int32_t W, std::int32_t H) {
    W = std::max(W, 0);
    H = std::max(H, 0);
    if (W == FWidth && H == FHeight) return;
    FWidth = W;
    FHeight = H;
    FPixels.assign(static_cast<std::size_t>(W) * static_cast<std::size_t>(H), 0);
}

void TBitmap32::Fill(std::uint32_t C) { std::fill(FPixels.begin(), FPixels.end(), C); }

void TBitmap32::FillRect(std::int32_t Left, std::int32_t Top, std::int32_t Right, std::int32_t Bottom, std::uint32_t C) {
    Left = std::max(Left, 0);
    Top = std::max(Top, 0);
    Right = std::min(Right, FWidth);
    Bottom = std::min(Bottom, FHeight);
    for (std::int32_t Y = Top; Y < Bottom; ++Y) std::fill(Row(Y) + Left, Row(Y) + std::max(Left, Right), C);
}

void TBitmap32::LoadFile(const std::string& FileName) { ReadBMPPixels(FileName, *this); }

void TBitmap32::SaveFile(const std::string& FileName) const { WriteBMP32(FileName, FWidth, FHeight, FPixels.data(), 32); }

void WriteBMP32(const std::string& FileName, std::int32_t Width, std::int32_t Height, const std::uint32_t* Pixels,
                int Bits) {
    const std::size_t Stride = (static_cast<std::size_t>(Width) * static_cast<std::size_t>(Bits) + 31) / 32 * 4;
    const std::size_t ImageSize = Stride * static_cast<std::size_t>(Height);
    std::vector<std::uint8_t> F(54 + ImageSize, 0);
    F[0] = 'B';
    F[1] = 'M';
    Put32(&F[2], static_cast<std::uint32_t>(F.size()));
    Put32(&F[10], 54);
    Put32(&F[14], 40);
    Put32(&F[18], static_cast<std::uint32_t>(Width));
    Put32(&F[22], static_cast<std::uint32_t>(Height));
    Put16(&F[26], 1);
    Put16(&F[28], static_cast<std::uint32_t>(Bits));
    Put32(&F[34], static_cast<std::uint32_t>(ImageSize));
    for (std::int32_t Y = 0; Y < Height; ++Y) {
        const std::uint32_t* S = Pixels + static_cast<std::size_t>(Height - 1 - Y) * static_cast<std::size_t>(Width);
        std::uint8_t* D = F.data() + 54 + static_cast<std::size_t>(Y) * Stride;
        if (Bits == 32) {
            for (std::int32_t X = 0; X < Width; ++X, D += 4) Put32(D, S[X]);  // B, G, R, A
        } else {
            for (std::int32_t X = 0; X < Width; ++X, D += 3) {
                D[0] = static_cast<std::uint8_t>(S[X]);
                D[1] = static_cast<std::uint8_t>(S[X] >> 8);
                D[2] = static_cast<std::uint8_t>(S[X] >> 16);
            }
        }
    }
    TFileStream Out(FileName, TFileMode::fmCreate);
    Out.WriteBuffer(F.data(), F.size());
    Out.Close();
}

}  // namespace anivert
