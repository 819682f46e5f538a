#include "MovieCheck.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "GIFTimeline.h"
#include "SWFStreams.h"

namespace anivert::test {

namespace {

std::vector<std::uint8_t> Inflate(const TSWFDataObject& T, std::size_t Expect) {
    std::vector<std::uint8_t> Out(Expect);
    uLongf Len = static_cast<uLongf>(Expect);
    if (Expect == 0 || uncompress(Out.data(), &Len, T.Data, static_cast<uLong>(T.DataSize)) != Z_OK || Len != Expect)
        return {};
    return Out;
}

}  // namespace

TMovieRenderer::TMovieRenderer(const std::string& File) {
    TSWFFileReader R;
    try {
        R.LoadFile(File);
    } catch (const std::exception& E) {
        Movie.Problems.push_back(std::string("unreadable: ") + E.what());
        return;
    }
    Movie.Signature = R.Signature;
    Movie.Version = R.Version;
    Movie.Width = R.FrameRect.Right / 20;
    Movie.Height = R.FrameRect.Bottom / 20;
    Movie.FrameCount = R.FrameCount;
    std::map<std::uint16_t, TPlacement> List;
    std::map<std::uint16_t, bool> Defined;
    auto Problem = [this](const std::string& S) { Movie.Problems.push_back(S); };
    std::size_t Actions = 0;
    for (const TSWFReadTag& T : R.Tags) {
        Movie.Tags.push_back(T.TagID);
        if (T.TagID == tagDoAction) {
            if (Actions++) Problem("more than one DoAction tag");
            const auto Body = R.Data.begin() + T.Offset + (T.LongHeader ? 6 : 2);
            Movie.LastFrameActions.assign(Body, Body + T.BodySize);
            continue;
        }
        if (auto* L = dynamic_cast<TSWFDefineBitsLossless*>(T.Tag.get())) {
            if (Defined[L->CharacterID]) Problem("character " + std::to_string(L->CharacterID) + " defined twice");
            Defined[L->CharacterID] = true;
            TBitmap B;
            B.Width = L->BitmapWidth;
            B.Height = L->BitmapHeight;
            const std::size_t N = static_cast<std::size_t>(B.Width) * B.Height;
            B.ARGB.resize(N);
            if (L->BitmapFormat == 5) {
                const auto Raw = Inflate(*L, N * 4);
                if (Raw.empty() && N) Problem("bitmap " + std::to_string(L->CharacterID) + ": bad pixel data");
                const bool Alpha = T.TagID == tagDefineBitsLossless2;
                for (std::size_t I = 0; I < N && !Raw.empty(); ++I) {
                    const std::uint8_t* P = &Raw[I * 4];
                    const std::uint32_t A = Alpha ? P[0] : 255;
                    B.ARGB[I] = (A << 24) | (P[1] << 16) | (P[2] << 8) | P[3];
                }
            } else if (L->BitmapFormat == 3) {
                // RGB entries, or premultiplied RGBA ones with alpha.
                const std::size_t Entry = T.TagID == tagDefineBitsLossless2 ? 4 : 3;
                const std::size_t Colours = L->BitmapColorTableSize + 1u;
                const std::size_t Padded = (static_cast<std::size_t>(B.Width) + 3) / 4 * 4;
                const auto Raw = Inflate(*L, Colours * Entry + Padded * B.Height);
                if (Raw.empty() && N) Problem("bitmap " + std::to_string(L->CharacterID) + ": bad colour-mapped data");
                for (int Y = 0; Y < B.Height && !Raw.empty(); ++Y)
                    for (int X = 0; X < B.Width; ++X) {
                        const std::size_t I = Raw[Colours * Entry + static_cast<std::size_t>(Y) * Padded + X];
                        if (I >= Colours) {
                            Problem("bitmap index past its table");
                            continue;
                        }
                        const std::uint8_t* E = &Raw[I * Entry];
                        const std::uint32_t A = Entry == 4 ? E[3] : 255;
                        if (E[0] > A || E[1] > A || E[2] > A) Problem("colour table entry not premultiplied");
                        B.ARGB[static_cast<std::size_t>(Y) * B.Width + X] = (A << 24) | (E[0] << 16) | (E[1] << 8) | E[2];
                    }
            } else {
                Problem("bitmap format " + std::to_string(L->BitmapFormat));
            }
            FBitmaps[L->CharacterID] = std::move(B);
        } else if (auto* S = dynamic_cast<TSWFDefineShape*>(T.Tag.get())) {
            if (Defined[S->ShapeId]) Problem("character " + std::to_string(S->ShapeId) + " defined twice");
            Defined[S->ShapeId] = true;
            TShape Sh;
            Sh.Bounds = S->ShapeBounds->GetRect();
            if (S->FillStyles.size() != 1) Problem("shape " + std::to_string(S->ShapeId) + " without one fill");
            else if (auto* F = dynamic_cast<TSWFImageFill*>(S->FillStyles[0].get())) {
                Sh.BitmapId = F->BitmapId;
                if (!Defined[F->BitmapId]) Problem("shape fills with an undefined bitmap");
                if (F->FillStyleType != fsClippedBitmap) Problem("bitmap fill not clipped");
                Sh.FillTX = F->Matrix->TranslateX;
                Sh.FillTY = F->Matrix->TranslateY;
                Sh.ScaleX = F->Matrix->ScaleX;
                Sh.ScaleY = F->Matrix->ScaleY;
            } else if (auto* C = dynamic_cast<TSWFColorFill*>(S->FillStyles[0].get())) {
                Sh.Solid = true;
                const std::uint32_t A = C->Color->A;
                Sh.SolidARGB = (A << 24) | ((C->Color->R * A / 255) << 16) | ((C->Color->G * A / 255) << 8) |
                               (C->Color->B * A / 255);
            }
            FShapes[S->ShapeId] = Sh;
        } else if (auto* P = dynamic_cast<TSWFPlaceObject2*>(T.Tag.get())) {
            if (P->PlaceFlagMove) {
                Problem("placement moves");
                continue;
            }
            if (!P->PlaceFlagHasCharacter) {
                Problem("placement without character");
                continue;
            }
            if (List.count(P->Depth)) Problem("depth " + std::to_string(P->Depth) + " taken twice");
            if (!Defined[P->CharacterID]) Problem("placement of an undefined character");
            TPlacement Pl;
            Pl.Character = P->CharacterID;
            if (auto* M = P->MatrixOrNull()) {
                Pl.TX = M->TranslateX;
                Pl.TY = M->TranslateY;
                if (M->HasScale || M->HasSkew) Problem("placement scaled");
            }
            List[P->Depth] = Pl;
        } else if (auto* RO = dynamic_cast<TSWFRemoveObject*>(T.Tag.get())) {
            if (!List.count(RO->Depth)) Problem("removal of empty depth " + std::to_string(RO->Depth));
            List.erase(RO->Depth);
        } else if (auto* R2 = dynamic_cast<TSWFRemoveObject2*>(T.Tag.get())) {
            if (!List.count(R2->Depth)) Problem("removal of empty depth " + std::to_string(R2->Depth));
            List.erase(R2->Depth);
        } else if (T.TagID == tagShowFrame) {
            Movie.DisplayLists.push_back(List);
        } else if (T.TagID == tagDefineButton2) {
            Defined[static_cast<TSWFDefineButton2*>(T.Tag.get())->ButtonId] = true;
        } else if (T.TagID != tagEnd) {
            Problem("unexpected tag " + TagName(T.TagID));
        }
    }
    if (static_cast<int>(Movie.DisplayLists.size()) != Movie.FrameCount) Problem("frame count differs from ShowFrame tags");
    const auto& Tags = Movie.Tags;
    const auto Last = std::find(Tags.rbegin(), Tags.rend(), tagShowFrame);
    if (Actions && (Last == Tags.rend() || Last + 1 == Tags.rend() || Last[1] != tagDoAction))
        Problem("a DoAction tag elsewhere than right before the last ShowFrame");
}

Canvas TMovieRenderer::Render(int Frame, int* Deepest) const {
    const int W = Movie.Width, H = Movie.Height;
    std::vector<std::uint32_t> Stage(static_cast<std::size_t>(W) * H, 0);
    std::vector<int> Covering(Deepest ? Stage.size() : 0, 0);
    for (const auto& [Depth, P] : Movie.DisplayLists.at(static_cast<std::size_t>(Frame))) {
        auto S = FShapes.find(P.Character);
        if (S == FShapes.end()) continue;  // buttons draw nothing
        const TShape& Sh = S->second;
        const TBitmap* B = nullptr;
        if (!Sh.Solid) {
            auto It = FBitmaps.find(Sh.BitmapId);
            if (It == FBitmaps.end()) continue;
            B = &It->second;
        }
        for (int Y = 0; Y < H; ++Y)
            for (int X = 0; X < W; ++X) {
                // Pixel centres, in the shape's own twips.
                const double LX = (X + 0.5) * 20 - P.TX, LY = (Y + 0.5) * 20 - P.TY;
                if (LX < Sh.Bounds.Left || LX >= Sh.Bounds.Right || LY < Sh.Bounds.Top || LY >= Sh.Bounds.Bottom)
                    continue;
                if (Deepest) *Deepest = std::max(*Deepest, ++Covering[static_cast<std::size_t>(Y) * W + X]);
                std::uint32_t C = Sh.SolidARGB;
                if (B) {
                    const int U = std::clamp(static_cast<int>(std::floor((LX - Sh.FillTX) * 65536.0 / Sh.ScaleX)), 0,
                                             B->Width - 1);
                    const int V = std::clamp(static_cast<int>(std::floor((LY - Sh.FillTY) * 65536.0 / Sh.ScaleY)), 0,
                                             B->Height - 1);
                    C = B->ARGB[static_cast<std::size_t>(V) * B->Width + U];
                }
                // Premultiplied "over".
                std::uint32_t& D = Stage[static_cast<std::size_t>(Y) * W + X];
                const std::uint32_t A = C >> 24;
                if (A == 255) {
                    D = C;
                } else if (A > 0) {
                    std::uint32_t Out = 0;
                    for (int Sh8 = 0; Sh8 < 32; Sh8 += 8) {
                        const std::uint32_t Src = (C >> Sh8) & 255, Dst = (D >> Sh8) & 255;
                        Out |= std::min<std::uint32_t>(255, Src + (Dst * (255 - A) + 127) / 255) << Sh8;
                    }
                    D = Out;
                }
            }
    }
    Canvas Out(static_cast<std::size_t>(W) * H * 4);
    for (std::size_t I = 0; I < Stage.size(); ++I) {
        const std::uint32_t C = Stage[I], A = C >> 24;
        std::uint8_t* P = &Out[I * 4];
        if (A == 0) continue;
        P[0] = static_cast<std::uint8_t>(((C >> 16) & 255) * 255 / A);
        P[1] = static_cast<std::uint8_t>(((C >> 8) & 255) * 255 / A);
        P[2] = static_cast<std::uint8_t>((C & 255) * 255 / A);
        P[3] = static_cast<std::uint8_t>(A);
    }
    return Out;
}

std::vector<TGifFrame> ComposeGif(TGIFImage& Image) {
    std::vector<TGifFrame> Out;
    ComposeGif(Image, [&Out](const TGifFrame& F) { Out.push_back(F); });
    return Out;
}

void ComposeGif(TGIFImage& Image, const std::function<void(const TGifFrame&)>& Visit) {
    bool Any = false;
    for (const auto& F : Image.Images) Any = Any || !F->Empty();
    if (!Any) return;  // no screen for an image without pictures
    TGifFrame Frame;
    ComposeScreens(Image, [&](const std::vector<std::uint32_t>& Screen, int K) {
        // Words 0xAABBGGRR are the bytes R, G, B, A.
        const auto* Bytes = reinterpret_cast<const std::uint8_t*>(Screen.data());
        Frame.Picture.assign(Bytes, Bytes + Screen.size() * 4);
        const TGIFGraphicControlExtension* G = Image.Images[K].GraphicControlExtension;
        Frame.ShowCount = G ? static_cast<int>(std::nearbyint(G->Delay() / 4.0)) : 10;
        Frame.Index = K;
        Visit(Frame);
    });
}

std::size_t CountDifferences(const Canvas& A, const Canvas& B) {
    if (A.size() != B.size()) return std::max(A.size(), B.size()) / 4;
    std::size_t N = 0;
    for (std::size_t P = 0; P < A.size(); P += 4) {
        if (A[P + 3] == 0 && B[P + 3] == 0) continue;
        if (!std::equal(&A[P], &A[P] + 4, &B[P])) ++N;
    }
    return N;
}

}  // namespace anivert::test
