#include "GIFRoundTrip.h"

#include <algorithm>
#include <cstring>

namespace anivert::test {

// ---------------------------------------------------------------- giflib

GiflibFile::GiflibFile(const Bytes& Data) : FData(Data) {
    int Err = 0;
    FGif = DGifOpen(this, &GiflibFile::Read, &Err);
    if (!FGif) {
        Error = GifErrorString(Err);
        return;
    }
    FOk = DGifSlurp(FGif) == GIF_OK;
    if (!FOk) Error = GifErrorString(FGif->Error);
}

GiflibFile::~GiflibFile() {
    int Err;
    if (FGif) DGifCloseFile(FGif, &Err);
}

int GiflibFile::Read(GifFileType* Gif, GifByteType* Buffer, int Count) {
    auto* Self = static_cast<GiflibFile*>(Gif->UserData);
    const std::size_t N = std::min<std::size_t>(static_cast<std::size_t>(Count), Self->FData.size() - Self->FPos);
    std::memcpy(Buffer, Self->FData.data() + Self->FPos, N);
    Self->FPos += N;
    return static_cast<int>(N);
}

// ---------------------------------------------------------------- codes

CodeStream ReadCodeStream(const std::uint8_t* Data, std::size_t Size) {
    CodeStream S;
    if (Size == 0) {
        S.Error = "no code size";
        return S;
    }
    S.CodeSize = Data[0];
    if (S.CodeSize < 2 || S.CodeSize > 8) {
        S.Error = "code size " + std::to_string(S.CodeSize);
        return S;
    }
    // The sub-blocks joined.
    Bytes Joined;
    std::size_t P = 1;
    for (;;) {
        if (P >= Size) {
            S.Error = "no terminator";
            return S;
        }
        const std::size_t N = Data[P++];
        if (N == 0) break;
        if (P + N > Size) {
            S.Error = "sub-block past the end";
            return S;
        }
        S.BlockSizes.push_back(N);
        Joined.insert(Joined.end(), Data + P, Data + P + N);
        P += N;
    }
    S.Length = P;

    const int Clear = 1 << S.CodeSize, End = Clear + 1;
    std::vector<int> Prefix(4096, -1), Suffix(4096, 0), Length(4096, 1);
    for (int I = 0; I < Clear; ++I) Suffix[static_cast<std::size_t>(I)] = I;
    int Width = S.CodeSize + 1, NextFree = Clear + 2, Previous = -1;
    std::size_t Bit = 0;
    const std::size_t Bits = Joined.size() * 8;
    std::vector<std::uint8_t> String;
    auto Expand = [&](int Code) {
        String.clear();
        for (int C = Code; C >= 0; C = Prefix[static_cast<std::size_t>(C)])
            String.push_back(static_cast<std::uint8_t>(Suffix[static_cast<std::size_t>(C)]));
        std::reverse(String.begin(), String.end());
    };
    for (;;) {
        if (Bit + static_cast<std::size_t>(Width) > Bits) {
            S.Error = "data ends before the end code";
            return S;
        }
        int Code = 0;
        for (int K = 0; K < Width; ++K, ++Bit)
            Code |= ((Joined[Bit / 8] >> (Bit % 8)) & 1) << K;
        S.Codes.push_back(Code);
        S.Widths.push_back(Width);
        if (Code == Clear) {
            Width = S.CodeSize + 1;
            NextFree = Clear + 2;
            Previous = -1;
            continue;
        }
        if (Code == End) break;
        if (Previous < 0) {
            if (Code >= Clear) {
                S.Error = "code " + std::to_string(Code) + " right after a clear";
                return S;
            }
            S.Pixels.push_back(static_cast<std::uint8_t>(Code));
            Previous = Code;
            continue;
        }
        if (Code > NextFree || (Code == NextFree && NextFree >= 4096)) {
            S.Error = "code " + std::to_string(Code) + " not yet in the table (next " + std::to_string(NextFree) +
                      ") at code " + std::to_string(S.Codes.size() - 1);
            return S;
        }
        std::uint8_t First;
        if (Code == NextFree) {
            Expand(Previous);
            First = String[0];
            String.push_back(First);
        } else {
            Expand(Code);
            First = String[0];
        }
        S.Pixels.insert(S.Pixels.end(), String.begin(), String.end());
        if (NextFree < 4096) {
            Prefix[static_cast<std::size_t>(NextFree)] = Previous;
            Suffix[static_cast<std::size_t>(NextFree)] = First;
            ++NextFree;
            if (NextFree == (1 << Width) && Width < 12) ++Width;
        }
        Previous = Code;
    }
    // Only padding bits may follow the end code.
    if ((Bits - Bit) >= 8) S.Error = std::to_string((Bits - Bit) / 8) + " bytes after the end code";
    return S;
}

// ---------------------------------------------------------------- images

std::vector<const TGIFSubImage*> PixelFrames(const TGIFImage& Image) {
    std::vector<const TGIFSubImage*> Out;
    for (const auto& F : Image.Images)
        if (!F->Empty()) Out.push_back(F.get());
    return Out;
}

namespace {

// The map as saved: its entries, then black up to a power of two.
std::vector<TGIFColor> Padded(const TGIFColorMap& Map) {
    std::vector<TGIFColor> C(Map.Entries(), Map.Entries() + Map.Count());
    if (Map.Count() > 0) C.resize(std::size_t(1) << Map.BitsPerPixel());
    return C;
}

std::vector<TGIFColor> Entries(const TGIFColorMap& Map) {
    return std::vector<TGIFColor>(Map.Entries(), Map.Entries() + Map.Count());
}

std::vector<TGIFColor> Entries(const ColorMapObject* Map) {
    std::vector<TGIFColor> C;
    if (Map)
        for (int I = 0; I < Map->ColorCount; ++I)
            C.push_back({Map->Colors[I].Red, Map->Colors[I].Green, Map->Colors[I].Blue});
    return C;
}

// The kinds of extension in order. Their contents are compared byte for
// byte by CompareWithGiflib, and a file read back saves to the same bytes.
std::string ExtensionKinds(const TGIFImage& Image) {
    std::string S;
    for (const auto& F : Image.Images)
        for (const auto& E : F->FrameExtensions) {
            // An application extension of no known kind reads back as an
            // unknown one.
            const bool Plain = &E->ClassInfo() == &TGIFApplicationExtension::Class;
            S += std::string(Plain ? TGIFUnknownAppExtension::Class.Name : E->ClassInfo().Name) + ", ";
        }
    return S;
}

std::string SameGraphicControl(const TGIFSubImage& A, const TGIFSubImage& B) {
    const TGIFGraphicControlExtension* G = A.GraphicControlExtension;
    const TGIFGraphicControlExtension* H = B.GraphicControlExtension;
    if (!G != !H) return G ? "lost its graphic control extension" : "gained a graphic control extension";
    if (G && (G->Delay() != H->Delay() || G->Disposal() != H->Disposal() || G->Transparent() != H->Transparent() ||
              G->WaitsForInput() != H->WaitsForInput() || G->TransparentColorIndex() != H->TransparentColorIndex()))
        return "graphic control differs";
    if (A.Transparent != B.Transparent) return "transparency differs";
    return "";
}

std::string FirstPixelDifference(const std::uint8_t* A, const std::uint8_t* B, std::size_t N) {
    for (std::size_t I = 0; I < N; ++I)
        if (A[I] != B[I])
            return "pixel " + std::to_string(I) + ": " + std::to_string(A[I]) + " became " + std::to_string(B[I]);
    return "";
}

struct ExpectedBlock {
    int Function;
    Bytes Data;
    friend bool operator==(const ExpectedBlock&, const ExpectedBlock&) = default;
};

// The extension blocks giflib makes of an extension: the first data
// sub-block with the extension's label, every further one as a
// continuation.
void AddBlocks(const TGIFExtension& E, std::vector<ExpectedBlock>& Out) {
    std::vector<Bytes> Sub;
    auto Pieces = [&Sub](const Bytes& Data) {
        for (std::size_t I = 0; I < Data.size(); I += 255)
            Sub.emplace_back(Data.begin() + static_cast<std::ptrdiff_t>(I),
                             Data.begin() + static_cast<std::ptrdiff_t>(std::min(Data.size(), I + 255)));
    };
    auto Text = [&](const std::vector<std::string>& Lines) {
        for (const std::string& S : Lines) Pieces(Bytes(S.begin(), S.end()));
    };
    if (auto* G = dynamic_cast<const TGIFGraphicControlExtension*>(&E)) {
        Sub.push_back({G->Rec.PackedFields, static_cast<std::uint8_t>(G->Delay()),
                       static_cast<std::uint8_t>(G->Delay() >> 8), G->TransparentColorIndex()});
    } else if (auto* T = dynamic_cast<const TGIFTextExtension*>(&E)) {
        Sub.emplace_back(T->TextGridHeader.begin() + 1, T->TextGridHeader.end());
        Text(T->Lines);
    } else if (auto* C = dynamic_cast<const TGIFCommentExtension*>(&E)) {
        Text(C->Lines);
    } else if (auto* A = dynamic_cast<const TGIFApplicationExtension*>(&E)) {
        Sub.emplace_back(A->AppIdentifier.begin(), A->AppIdentifier.end());
        if (auto* L = dynamic_cast<const TGIFAppExtNSLoop*>(&E)) {
            Sub.push_back({1, static_cast<std::uint8_t>(L->LoopCount), static_cast<std::uint8_t>(L->LoopCount >> 8)});
            if (L->BufferingSize)
                Sub.push_back({2, static_cast<std::uint8_t>(L->BufferingSize),
                               static_cast<std::uint8_t>(L->BufferingSize >> 8),
                               static_cast<std::uint8_t>(L->BufferingSize >> 16),
                               static_cast<std::uint8_t>(L->BufferingSize >> 24)});
        } else if (auto* U = dynamic_cast<const TGIFUnknownAppExtension*>(&E)) {
            for (const TGIFBlock& Block : U->SubBlocks) Pieces(Block.Data);
        }
    }
    for (std::size_t I = 0; I < Sub.size(); ++I)
        Out.push_back({I == 0 ? E.LabelByte() : CONTINUE_EXT_FUNC_CODE, Sub[I]});
}

std::vector<ExpectedBlock> GiflibBlocks(int Count, const ExtensionBlock* Blocks) {
    std::vector<ExpectedBlock> Out;
    for (int I = 0; I < Count; ++I)
        Out.push_back({Blocks[I].Function, Bytes(Blocks[I].Bytes, Blocks[I].Bytes + Blocks[I].ByteCount)});
    return Out;
}

}  // namespace

std::string CompareSaved(const TGIFImage& Before, const TGIFImage& After) {
    const TGIFHeader& H = Before.ScreenHeader;
    const TGIFHeader& K = After.ScreenHeader;
    if (H.ScreenWidth != K.ScreenWidth || H.ScreenHeight != K.ScreenHeight) return "logical screen differs";
    if (H.BackgroundColorIndex != K.BackgroundColorIndex || H.AspectRatio != K.AspectRatio)
        return "background index or aspect ratio differs";
    if (Padded(Before.GlobalColorMap()) != Entries(After.GlobalColorMap())) return "global colour map differs";
    const auto A = PixelFrames(Before), B = PixelFrames(After);
    if (A.size() != B.size())
        return std::to_string(A.size()) + " frames with pixels became " + std::to_string(B.size());
    for (std::size_t I = 0; I < A.size(); ++I) {
        const std::string Frame = "frame " + std::to_string(I) + ": ";
        if (!(A[I]->FrameRect() == B[I]->FrameRect())) return Frame + "bounds differ";
        if (A[I]->IsInterlaced() != B[I]->IsInterlaced()) return Frame + "interlace differs";
        if (Padded(A[I]->ColorTable) != Entries(B[I]->ColorTable)) return Frame + "local colour map differs";
        const std::string G = SameGraphicControl(*A[I], *B[I]);
        if (!G.empty()) return Frame + G;
        if (B[I]->PixelData.size() != A[I]->PixelData.size()) return Frame + "pixel count differs";
        const std::string P = FirstPixelDifference(A[I]->PixelData.data(), B[I]->PixelData.data(),
                                                   A[I]->PixelData.size());
        if (!P.empty()) return Frame + P;
    }
    if (ExtensionKinds(Before) != ExtensionKinds(After))
        return "extensions " + ExtensionKinds(Before) + "became " + ExtensionKinds(After);
    return "";
}

std::string CompareWithGiflib(const TGIFImage& Before, GifFileType* Gif) {
    const TGIFHeader& H = Before.ScreenHeader;
    if (Gif->SWidth != H.ScreenWidth || Gif->SHeight != H.ScreenHeight) return "logical screen differs";
    if (Gif->SBackGroundColor != H.BackgroundColorIndex || Gif->AspectByte != H.AspectRatio)
        return "background index or aspect ratio differs";
    if (Padded(Before.GlobalColorMap()) != Entries(Gif->SColorMap)) return "global colour map differs";
    const auto A = PixelFrames(Before);
    if (A.size() != static_cast<std::size_t>(Gif->ImageCount))
        return std::to_string(A.size()) + " frames with pixels, giflib reads " + std::to_string(Gif->ImageCount);
    // The extensions giflib gives each image: those written since the image
    // before.
    std::vector<ExpectedBlock> Pending;
    std::size_t Next = 0;
    for (const auto& F : Before.Images) {
        for (const auto& E : F->FrameExtensions) AddBlocks(*E, Pending);
        if (F->Empty()) continue;
        const std::size_t I = Next++;
        const std::string Frame = "frame " + std::to_string(I) + ": ";
        const SavedImage& S = Gif->SavedImages[I];
        const GifImageDesc& D = S.ImageDesc;
        if (!(Rect(D.Left, D.Top, D.Left + D.Width, D.Top + D.Height) == F->FrameRect()))
            return Frame + "bounds differ";
        if (D.Interlace != F->IsInterlaced()) return Frame + "interlace differs";
        if (Padded(F->ColorTable) != Entries(D.ColorMap)) return Frame + "local colour map differs";
        if (GiflibBlocks(S.ExtensionBlockCount, S.ExtensionBlocks) != Pending) return Frame + "extensions differ";
        Pending.clear();
        GraphicsControlBlock GCB;
        const bool HasGCB = DGifSavedExtensionToGCB(Gif, static_cast<int>(I), &GCB) == GIF_OK;
        const TGIFGraphicControlExtension* G = F->GraphicControlExtension;
        if (HasGCB != (G != nullptr)) return Frame + "graphic control presence differs";
        if (G && (GCB.DelayTime != G->Delay() || GCB.DisposalMode != G->Disposal() ||
                  GCB.UserInputFlag != G->WaitsForInput() ||
                  GCB.TransparentColor != (G->Transparent() ? G->TransparentColorIndex() : NO_TRANSPARENT_COLOR)))
            return Frame + "graphic control differs";
        const std::string P = FirstPixelDifference(F->PixelData.data(), S.RasterBits, F->PixelData.size());
        if (!P.empty()) return Frame + P;
    }
    if (GiflibBlocks(Gif->ExtensionBlockCount, Gif->ExtensionBlocks) != Pending) return "trailing extensions differ";
    return "";
}

Bytes SaveGif(TGIFImage& Image, std::uint8_t Compression) {
    Image.Compression = Compression;
    TMemoryStream Out;
    Image.SaveToStream(Out);
    return Out.Bytes();
}

}  // namespace anivert::test
