#include "GIFImage.h"

#include <algorithm>

namespace anivert {

void TGIFColorMap::Clear() {
    FEntries.clear();
    FEntries.shrink_to_fit();
    FCount = 0;
    UseOrdered = false;
}

void TGIFColorMap::Grow(int N) {
    if (N < Allocated()) return;
    int NewSize = N <= 16 ? 16 : ((N + 31) / 32) * 32;
    NewSize = std::min(NewSize, MaxColors);
    FEntries.resize(static_cast<std::size_t>(NewSize));
}

void TGIFColorMap::LoadFromStream(TStream& Stream, int N) {
    if (N < 0 || N > MaxColors) throw GIFException(gifmsg::InvalidData);
    Clear();
    Grow(N);
    const std::size_t Bytes = static_cast<std::size_t>(N) * 3;
    if (N > 0 && Stream.Read(FEntries.data(), Bytes) != Bytes) {
        Clear();
        throw GIFException(gifmsg::PrematureEOF);
    }
    FCount = N;
}

void TGIFColorMap::SaveToStream(TStream& Stream) const {
    if (FCount == 0) return;
    Stream.WriteBuffer(FEntries.data(), static_cast<std::size_t>(FCount) * 3);
    const int Padded = 1 << BitsPerPixel();
    const std::vector<std::uint8_t> Black(static_cast<std::size_t>(Padded - FCount) * 3, 0);
    if (!Black.empty()) Stream.WriteBuffer(Black.data(), Black.size());
}

int TGIFColorMap::BitsPerPixel() const {
    if (FCount == 0) return 0;
    int B = 1;
    while ((1 << B) < FCount) ++B;
    return B;
}

int TGIFColorMap::FindColor(TColor Color) const {
    const TGIFColor C = ColorToGIFColor(Color);
    if (UseOrdered) {
        for (int I = 0; I < FCount; ++I)
            if (FEntries[I] == C) return I;
    } else {
        for (int I = FCount - 1; I >= 0; --I)
            if (FEntries[I] == C) return I;
    }
    return -1;
}

int TGIFColorMap::Add(TColor Color) {
    if (FCount >= MaxColors) throw GIFException(gifmsg::ColorTableOverflow);
    if (FCount >= Allocated()) Grow(FCount + 1);
    FEntries[FCount] = ColorToGIFColor(Color);
    ++FCount;
    UseOrdered = false;
    Changed();
    return FCount - 1;
}

int TGIFColorMap::AddIfMissing(TColor Color) {
    const int I = FindColor(Color);
    return I >= 0 ? I : Add(Color);
}

void TGIFColorMap::RemoveAt(int Index) {
    if (Index < 0 || Index >= FCount) throw GIFException(gifmsg::InvalidColorIndex);
    std::copy(FEntries.begin() + Index + 1, FEntries.begin() + FCount, FEntries.begin() + Index);
    --FCount;
    UseOrdered = false;
    Changed();
}

TColor TGIFColorMap::Colors(int Index) {
    if (Index < 0 || Index >= FCount) {
        ReportWarning(1, gifmsg::InvalidColorIndex);
        if (FCount == 0) throw GIFException(gifmsg::ColorTableEmpty);
        Index = 0;
    }
    return GIFColorToColor(FEntries[Index]);
}

void TGIFColorMap::SetColor(int Index, TColor Color) {
    if (Index < 0 || Index >= FCount) throw GIFException(gifmsg::InvalidColorIndex);
    FEntries[Index] = ColorToGIFColor(Color);
    Changed();
}

TGIFPalette TGIFColorMap::MakePalette() const {
    TGIFPalette P;
    P.reserve(static_cast<std::size_t>(FCount));
    for (int I = 0; I < FCount; ++I) P.push_back(GIFColorToColor(FEntries[I]));
    return P;
}

void TGIFColorMap::LoadFromPalette(const TGIFPalette& Palette) {
    Clear();
    const int N = static_cast<int>(std::min<std::size_t>(Palette.size(), MaxColors));
    Grow(N);
    for (int I = 0; I < N; ++I) FEntries[I] = ColorToGIFColor(Palette[I]);
    FCount = N;
    if (N > 0) Changed();
}

void TGIFColorMap::LoadFromQuads(const std::uint8_t* Table, int N) {
    Clear();
    N = std::clamp(N, 0, MaxColors);
    Grow(N);
    for (int I = 0; I < N; ++I) {
        const std::uint8_t* Q = Table + 4 * I;
        FEntries[I] = TGIFColor{Q[2], Q[1], Q[0]};
    }
    FCount = N;
    if (N > 0) Changed();
}

void TGIFColorMap::LoadFromDIBColors(const TGIFBitmap& Bitmap) {
    LoadFromQuads(Bitmap.ColorTableQuads(), Bitmap.ColorTableSize());
    Changed();
}

void TGIFColorMap::LoadFromTable(const TGIFColor* Table, int N) {
    Clear();
    if (N <= 0) return;
    N = std::min(N, MaxColors);
    Grow(N);
    std::copy(Table, Table + N, FEntries.begin());
    FCount = N;
    Changed();
}

void TGIFColorMap::CopyFrom(const TGIFColorMap& Source) {
    if (&Source != this) {
        FEntries = Source.FEntries;
        FCount = Source.FCount;
        UseOrdered = Source.UseOrdered;
    }
    Changed();
}

void TGIFGlobalColorMap::ReportWarning(int Severity, const std::string& Message) {
    FHeader.ReportWarning(Severity, Message);
}

void TGIFGlobalColorMap::Changed() {
    if (FHeader.Image()) FHeader.Image()->GlobalColorMapChanged();
}

void TGIFLocalColorMap::ReportWarning(int Severity, const std::string& Message) {
    FSubImage.ReportWarning(Severity, Message);
}

void TGIFLocalColorMap::Changed() { FSubImage.LocalColorMapChanged(); }

}  // namespace anivert
