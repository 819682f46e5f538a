#include "FlashShape.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#include "FlashObjects.h"

namespace anivert {

namespace {

// Num / Den rounded to the nearest integer, halves to even.
std::int64_t RoundDiv(std::int64_t Num, std::int64_t Den) {
    if (Den < 0) {
        Num = -Num;
        Den = -Den;
    }
    std::int64_t Q = Num / Den;
    std::int64_t R = Num % Den;
    if (R < 0) {
        R += Den;
        --Q;
    }
    if (2 * R > Den || (2 * R == Den && (Q & 1))) ++Q;
    return Q;
}

}  // namespace

// ------------------------------------------------------------ TFlashEdges

TFlashEdges::TFlashEdges(TSWFShapeRecordList& ARecords, TFlashMovie* AOwner) : Records(ARecords), Owner(AOwner) {
    GetStyleChangeRecord().StateFillStyle1 = true;
}

std::int32_t TFlashEdges::Multiplier() const { return Owner ? Owner->UnitMultiplier() : 1; }

TSWFStyleChangeRecord& TFlashEdges::GetStyleChangeRecord() {
    if (!Records.empty() && Records.back()->ShapeRecType == srStyleChange)
        return static_cast<TSWFStyleChangeRecord&>(*Records.back());
    Records.push_back(std::make_unique<TSWFStyleChangeRecord>());
    return static_cast<TSWFStyleChangeRecord&>(*Records.back());
}

void TFlashEdges::MoveTo(std::int32_t X, std::int32_t Y) {
    TSWFStyleChangeRecord& Rec = GetStyleChangeRecord();
    const std::int32_t M = Multiplier();
    if (Records.size() == 1 && X * M == PenX && Y * M == PenY) return;
    PenX = X * M;
    PenY = Y * M;
    Rec.StateMoveTo = true;
    Rec.DeltaX = PenX;
    Rec.DeltaY = PenY;
    LastMoveX = PenX;
    LastMoveY = PenY;
}

TSWFStraightEdgeRecord* TFlashEdges::LineDelta(std::int32_t DX, std::int32_t DY) {
    if (DX == 0 && DY == 0) return nullptr;
    const std::int64_t M = Multiplier();
    const std::int64_t TX = DX * M;
    const std::int64_t TY = DY * M;
    const std::int64_t Limit = 65535;
    const std::int64_t N = std::max<std::int64_t>(
        {1, (std::llabs(TX) + Limit - 1) / Limit, (std::llabs(TY) + Limit - 1) / Limit});
    TSWFStraightEdgeRecord* Last = nullptr;
    for (std::int64_t G = 1; G <= N; ++G) {
        auto E = std::make_unique<TSWFStraightEdgeRecord>();
        E->DeltaX = static_cast<std::int32_t>(RoundDiv(G * TX, N) - RoundDiv((G - 1) * TX, N));
        E->DeltaY = static_cast<std::int32_t>(RoundDiv(G * TY, N) - RoundDiv((G - 1) * TY, N));
        Last = E.get();
        Records.push_back(std::move(E));
    }
    PenX = static_cast<std::int32_t>(PenX + TX);
    PenY = static_cast<std::int32_t>(PenY + TY);
    return Last;
}

void TFlashEdges::MakeRectangle(std::int32_t W, std::int32_t H) {
    LineDelta(W, 0);
    LineDelta(0, H);
    LineDelta(-W, 0);
    LineDelta(0, -H);
}

void TFlashEdges::EndShape() { Records.push_back(std::make_unique<TSWFEndShapeRecord>()); }

// ------------------------------------------------------------ TFlashShape

TFlashShape::TFlashShape(TFlashMovie* AOwner)
    : TFlashVisualObject(AOwner), Bounds(std::make_unique<TSWFRect>()), ShapeTag(std::make_unique<TSWFDefineShape3>()) {
    Edges = std::make_unique<TFlashEdges>(ShapeTag->Edges, AOwner);
}

TFlashShape::~TFlashShape() = default;

void TFlashShape::SetCharacterID(std::uint16_t Value) {
    TFlashVisualObject::SetCharacterID(Value);
    ShapeTag->ShapeId = Value;
}

void TFlashShape::ChangeOwner() { Edges->Owner = Owner(); }

void TFlashShape::SetShapeBound(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax) {
    const std::int32_t M = UnitMultiplier();
    Bounds->SetRect(XMin * M, YMin * M, XMax * M, YMax * M);
}

TSWFStyleChangeRecord* TFlashShape::FirstStyleChange() {
    if (ShapeTag->Edges.empty() || ShapeTag->Edges.front()->ShapeRecType != srStyleChange) return nullptr;
    return static_cast<TSWFStyleChangeRecord*>(ShapeTag->Edges.front().get());
}

void TFlashShape::SetFillStyle0(std::int16_t N) {
    TSWFStyleChangeRecord* R = FirstStyleChange();
    if (R) R->SetFillStyle0(static_cast<std::uint16_t>(N));
    FillStyle0 = R ? N : 0;
}

void TFlashShape::SetFillStyle1(std::int16_t N) {
    TSWFStyleChangeRecord* R = FirstStyleChange();
    if (R) R->SetFillStyle1(static_cast<std::uint16_t>(N));
    FillStyle1 = R ? N : 0;
}

void TFlashShape::SetLineStyle(std::int16_t N) {
    TSWFStyleChangeRecord* R = FirstStyleChange();
    if (R) R->SetLineStyle(static_cast<std::uint16_t>(N));
    LineStyle = R ? N : 0;
}

TSWFFillStyle* TFlashShape::AddFillStyle(std::unique_ptr<TSWFFillStyle> Fill) {
    TSWFFillStyle* P = Fill.get();
    ShapeTag->FillStyles.push_back(std::move(Fill));
    SetFillStyle1(static_cast<std::int16_t>(ShapeTag->FillStyles.size()));
    return P;
}

void TFlashShape::AddFillStyle(TSWFFillStyle* Fill) {
    auto& L = ShapeTag->FillStyles;
    auto It = std::find_if(L.begin(), L.end(), [Fill](const auto& F) { return F.get() == Fill; });
    if (It == L.end()) throw std::invalid_argument("The fill style does not belong to this shape");
    SetFillStyle1(static_cast<std::int16_t>(It - L.begin() + 1));
}

TSWFColorFill* TFlashShape::SetSolidFill(std::uint8_t R, std::uint8_t G, std::uint8_t B, std::uint8_t A) {
    if (A < 255) HasAlpha = true;
    auto Fill = std::make_unique<TSWFColorFill>();
    Fill->Color->SetRGBA(R | (G << 8) | (B << 16) | (static_cast<std::uint32_t>(A) << 24));
    return static_cast<TSWFColorFill*>(AddFillStyle(std::move(Fill)));
}

TSWFImageFill* TFlashShape::SetImageFill(TFlashImage* Image, std::uint8_t Mode, float ScaleX, float ScaleY) {
    auto Fill = std::make_unique<TSWFImageFill>();
    Fill->BitmapId = Image->GetCharacterID();
    const std::int32_t TX = Bounds->Xmin - 5;
    const std::int32_t TY = Bounds->Ymin - 5;
    switch (Mode) {
        case 0:
        case 2:
            Fill->FillStyleType = Mode == 0 ? fsClippedBitmap : fsRepeatingBitmap;
            Fill->Matrix->SetTranslate(TX, TY);
            Fill->Matrix->SetScale(ScaleX * 20.0f, ScaleY * 20.0f);
            break;
        case 1: {
            // Stretched over the bounds; 15/4096 keeps the last texel from
            // falling just outside the shape. A picture without a size is
            // shown at one pixel per pixel.
            constexpr double Nudge = 0.003662109375;
            const double W = Bounds->Xmax - Bounds->Xmin;
            const double H = Bounds->Ymax - Bounds->Ymin;
            const double SX = Image->Width() > 0 ? W / Image->Width() + Nudge : 20.0;
            const double SY = Image->Height() > 0 ? H / Image->Height() + Nudge : 20.0;
            Fill->FillStyleType = fsClippedBitmap;
            Fill->Matrix->SetTranslate(TX, TY);
            Fill->Matrix->SetScale(static_cast<float>(SX), static_cast<float>(SY));
            break;
        }
        default: break;
    }
    auto* Result = static_cast<TSWFImageFill*>(AddFillStyle(std::move(Fill)));
    // The bitmap definition must precede the shape that fills with it.
    if (TFlashMovie* M = Owner()) {
        auto& L = M->ObjectList;
        auto Find = [&L](const TBasedSWFObject* P) {
            return std::find_if(L.begin(), L.end(), [P](const auto& O) { return O.get() == P; });
        };
        auto ImageIt = Find(Image);
        auto ShapeIt = Find(this);
        if (ImageIt != L.end() && ShapeIt != L.end() && ImageIt > ShapeIt) std::rotate(ShapeIt, ImageIt, ImageIt + 1);
    }
    return Result;
}

void TFlashShape::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TFlashShape>(Source, "shape");
    TFlashIDObject::CopyFrom(S);
    *Bounds = *S.Bounds;
    FillStyle0 = S.FillStyle0;
    FillStyle1 = S.FillStyle1;
    LineStyle = S.LineStyle;
    HasAlpha = S.HasAlpha;
    ShapeTag->CopyFrom(*S.ShapeTag);
    Edges->PenX = S.Edges->PenX;
    Edges->PenY = S.Edges->PenY;
    Edges->LastMoveX = S.Edges->LastMoveX;
    Edges->LastMoveY = S.Edges->LastMoveY;
    Edges->Owner = Owner();
}

void TFlashShape::WriteToStream(TBitsEngine& BE) {
    ShapeTag->TagID = HasAlpha ? tagDefineShape3 : tagDefineShape2;
    ShapeTag->HasAlpha = HasAlpha;
    std::int32_t W = 0;
    for (const auto& L : ShapeTag->LineStyles) W = std::max<std::int32_t>(W, L->Width);
    const std::int32_t H = W / 2;
    ShapeTag->ShapeBounds->SetRect(Bounds->Xmin - H, Bounds->Ymin - H, Bounds->Xmax + H, Bounds->Ymax + H);
    ShapeTag->WriteToStream(BE);
}

}  // namespace anivert
