#include "SWFShapes.h"

#include <stdexcept>

namespace anivert {

namespace {

void WriteColor(TBitsEngine& BE, const TSWFRGBA& C, bool WithAlpha) {
    if (WithAlpha) BE.Write4Bytes(C.RGBA());
    else BE.Write3Bytes(C.RGB());
}

void ReadColor(TBitsEngine& BE, TSWFRGBA& C, bool WithAlpha) {
    if (WithAlpha) {
        C.SetHasAlpha(true);
        C.SetRGBA(BE.Read4Bytes());
    } else {
        C.SetRGB(BE.Read3Bytes());
    }
}

void WriteStyleCount(TBitsEngine& BE, std::size_t N) {
    if (N <= 254) {
        BE.WriteByte(static_cast<std::uint8_t>(N));
    } else {
        BE.WriteByte(0xFF);
        BE.WriteWord(static_cast<std::uint16_t>(N));
    }
}

std::size_t ReadStyleCount(TBitsEngine& BE) {
    const std::uint8_t N = BE.ReadByte();
    return N == 0xFF ? BE.ReadWord() : N;
}

std::unique_ptr<TSWFShapeRecord> CreateShapeRecord(std::uint8_t Type) {
    switch (Type) {
        case srStyleChange: return std::make_unique<TSWFStyleChangeRecord>();
        case srStraightEdge: return std::make_unique<TSWFStraightEdgeRecord>();
        case srCurvedEdge: return std::make_unique<TSWFCurvedEdgeRecord>();
        default: return std::make_unique<TSWFEndShapeRecord>();
    }
}

void CopyFillStyles(TSWFFillStyleList& Dest, const TSWFFillStyleList& Source) {
    Dest.clear();
    for (const auto& F : Source) {
        auto C = CreateFillStyle(F->FillStyleType);
        C->CopyFrom(*F);
        Dest.push_back(std::move(C));
    }
}

void CopyLineStyles(TSWFLineStyleList& Dest, const TSWFLineStyleList& Source) {
    Dest.clear();
    for (const auto& L : Source) {
        auto C = std::make_unique<TSWFLineStyle>();
        C->CopyFrom(*L);
        Dest.push_back(std::move(C));
    }
}

// Edge fields hold 2 to 17 bits; larger deltas cannot be expressed.
std::uint8_t EdgeBits(std::int64_t MaxDelta) {
    const std::uint8_t N = GetBitsCount(MaxDelta, 1);
    if (N > 17) throw std::length_error("Shape edge of " + std::to_string(MaxDelta) + " twips exceeds 65535 twips");
    return N < 2 ? 2 : N;
}

}  // namespace

// ------------------------------------------------------------ fill styles

void TSWFFillStyle::CopyFrom(const TSWFFillStyle& Source) {
    HasAlpha = Source.HasAlpha;
    FillStyleType = Source.FillStyleType;
}

void TSWFColorFill::CopyFrom(const TSWFFillStyle& Source) {
    TSWFFillStyle::CopyFrom(Source);
    if (auto* S = dynamic_cast<const TSWFColorFill*>(&Source)) {
        Color->SetHasAlpha(S->Color->HasAlpha);
        Color->CopyFrom(*S->Color);
    }
}

void TSWFColorFill::ReadFromStream(TBitsEngine& BE) { ReadColor(BE, *Color, HasAlpha); }

void TSWFColorFill::WriteToStream(TBitsEngine& BE) {
    BE.WriteByte(FillStyleType);
    WriteColor(BE, *Color, HasAlpha);
}

void TSWFImageFill::CopyFrom(const TSWFFillStyle& Source) {
    TSWFFillStyle::CopyFrom(Source);
    if (auto* S = dynamic_cast<const TSWFImageFill*>(&Source)) {
        BitmapId = S->BitmapId;
        Matrix->CopyFrom(*S->Matrix);
    }
}

void TSWFImageFill::ReadFromStream(TBitsEngine& BE) {
    BitmapId = BE.ReadWord();
    Matrix->SetRec(BE.ReadMatrix());
}

void TSWFImageFill::WriteToStream(TBitsEngine& BE) {
    BE.WriteByte(FillStyleType);
    BE.WriteWord(BitmapId);
    BE.WriteMatrix(Matrix->GetRec());
}

TSWFGradientFill::TSWFGradientFill() : TSWFFillStyle(fsLinearGradient), Matrix(std::make_unique<TSWFMatrix>()) {
    FColors[0] = std::make_unique<TSWFRGBA>(false);
    FColors[1] = std::make_unique<TSWFRGBA>(false);
}

TSWFRGBA& TSWFGradientFill::Colors(int Index) {
    auto& C = FColors.at(static_cast<std::size_t>(Index - 1));
    if (!C) C = std::make_unique<TSWFRGBA>(false);
    return *C;
}

TGradientRec TSWFGradientFill::GetGradientRec(int Index) { return TGradientRec{Colors(Index).RGBA(), Ratio(Index)}; }

void TSWFGradientFill::CopyFrom(const TSWFFillStyle& Source) {
    TSWFFillStyle::CopyFrom(Source);
    if (auto* S = dynamic_cast<const TSWFGradientFill*>(&Source)) {
        Count = S->Count;
        Matrix->CopyFrom(*S->Matrix);
        Ratios = S->Ratios;
        for (int I = 0; I < MaxEntries; ++I) {
            if (!S->FColors[static_cast<std::size_t>(I)]) continue;
            TSWFRGBA& C = Colors(I + 1);
            C.SetHasAlpha(S->FColors[static_cast<std::size_t>(I)]->HasAlpha);
            C.CopyFrom(*S->FColors[static_cast<std::size_t>(I)]);
        }
    }
}

void TSWFGradientFill::ReadFromStream(TBitsEngine& BE) {
    Matrix->SetRec(BE.ReadMatrix());
    const std::uint8_t N = BE.ReadByte();
    if (N > MaxEntries) throw EReadError("Gradient with " + std::to_string(N) + " entries (at most 8)");
    Count = N;
    for (int I = 1; I <= Count; ++I) {
        Ratio(I) = BE.ReadByte();
        ReadColor(BE, Colors(I), HasAlpha);
    }
}

void TSWFGradientFill::WriteToStream(TBitsEngine& BE) {
    BE.WriteByte(FillStyleType);
    BE.WriteMatrix(Matrix->GetRec());
    const int N = Count > MaxEntries ? MaxEntries : Count;
    BE.WriteByte(static_cast<std::uint8_t>(N));
    for (int I = 1; I <= N; ++I) {
        BE.WriteByte(Ratio(I));
        WriteColor(BE, Colors(I), HasAlpha);
    }
}

std::unique_ptr<TSWFFillStyle> CreateFillStyle(std::uint8_t FillStyleType) {
    std::unique_ptr<TSWFFillStyle> F;
    switch (FillStyleType) {
        case fsSolid: F = std::make_unique<TSWFColorFill>(); break;
        case fsLinearGradient:
        case fsRadialGradient: F = std::make_unique<TSWFGradientFill>(); break;
        case fsRepeatingBitmap:
        case fsClippedBitmap:
        case fsRepeatingBitmapHard:
        case fsClippedBitmapHard: F = std::make_unique<TSWFImageFill>(); break;
        default: return nullptr;
    }
    F->FillStyleType = FillStyleType;
    return F;
}

// ------------------------------------------------------------ line styles

void TSWFLineStyle::CopyFrom(const TSWFLineStyle& Source) {
    Width = Source.Width;
    Color->SetHasAlpha(Source.Color->HasAlpha);
    Color->CopyFrom(*Source.Color);
}

void TSWFLineStyle::ReadFromStream(TBitsEngine& BE, bool HasAlpha) {
    Width = BE.ReadWord();
    ReadColor(BE, *Color, HasAlpha);
}

void TSWFLineStyle::WriteToStream(TBitsEngine& BE) {
    BE.WriteWord(Width);
    WriteColor(BE, *Color, Color->HasAlpha);
}

// ------------------------------------------------------------ style arrays

std::uint8_t StyleIndexBits(std::size_t Count) {
    std::uint8_t N = 0;
    while (N < 32 && Count >= (std::size_t{1} << N)) ++N;
    return N;
}

void WriteStyleArrays(TBitsEngine& BE, TSWFFillStyleList& Fills, TSWFLineStyleList& Lines, bool HasAlpha) {
    WriteStyleCount(BE, Fills.size());
    for (auto& F : Fills) {
        F->HasAlpha = HasAlpha;
        F->WriteToStream(BE);
    }
    WriteStyleCount(BE, Lines.size());
    for (auto& L : Lines) {
        L->Color->SetHasAlpha(HasAlpha);
        L->WriteToStream(BE);
    }
}

void ReadStyleArrays(TBitsEngine& BE, TSWFFillStyleList& Fills, TSWFLineStyleList& Lines, bool HasAlpha) {
    const std::size_t NF = ReadStyleCount(BE);
    for (std::size_t I = 0; I < NF; ++I) {
        const std::uint8_t Type = BE.ReadByte();
        auto F = CreateFillStyle(Type);
        if (!F) throw EReadError("Unknown fill style type " + std::to_string(Type));
        F->HasAlpha = HasAlpha;
        F->ReadFromStream(BE);
        Fills.push_back(std::move(F));
    }
    const std::size_t NL = ReadStyleCount(BE);
    for (std::size_t I = 0; I < NL; ++I) {
        auto L = std::make_unique<TSWFLineStyle>();
        L->ReadFromStream(BE, HasAlpha);
        Lines.push_back(std::move(L));
    }
}

// ------------------------------------------------------------ shape records

void TSWFStraightEdgeRecord::CopyFrom(const TSWFShapeRecord& Source) {
    if (auto* S = dynamic_cast<const TSWFStraightEdgeRecord*>(&Source)) {
        DeltaX = S->DeltaX;
        DeltaY = S->DeltaY;
    }
}

void TSWFStraightEdgeRecord::WriteToStream(TBitsEngine& BE) {
    if (DeltaX == 0 && DeltaY == 0) return;
    BE.WriteBit(true);
    BE.WriteBit(true);
    const std::uint8_t N = EdgeBits(MaxAbs(DeltaX, DeltaY));
    BE.WriteBits(N - 2u, 4);
    if (DeltaX != 0 && DeltaY != 0) {
        BE.WriteBit(true);
        BE.WriteBits(static_cast<std::uint32_t>(DeltaX), N);
        BE.WriteBits(static_cast<std::uint32_t>(DeltaY), N);
    } else {
        BE.WriteBit(false);
        BE.WriteBit(DeltaX == 0);
        BE.WriteBits(static_cast<std::uint32_t>(DeltaX == 0 ? DeltaY : DeltaX), N);
    }
}

void TSWFStyleChangeRecord::SetFillStyle0(std::uint16_t Value) {
    if (StateFillStyle0 && FillStyle0 == Value) return;
    FillStyle0 = Value;
    StateFillStyle0 = true;
}

void TSWFStyleChangeRecord::SetFillStyle1(std::uint16_t Value) {
    if (StateFillStyle1 && FillStyle1 == Value) return;
    FillStyle1 = Value;
    StateFillStyle1 = true;
}

void TSWFStyleChangeRecord::SetLineStyle(std::uint16_t Value) {
    if (StateLineStyle && LineStyle == Value) return;
    LineStyle = Value;
    StateLineStyle = true;
}

TSWFFillStyleList& TSWFStyleChangeRecord::NewFillStyles() {
    StateNewStyles = true;
    return FNewFillStyles;
}

TSWFLineStyleList& TSWFStyleChangeRecord::NewLineStyles() {
    StateNewStyles = true;
    return FNewLineStyles;
}

void TSWFStyleChangeRecord::CopyFrom(const TSWFShapeRecord& Source) {
    TSWFStraightEdgeRecord::CopyFrom(Source);
    if (auto* S = dynamic_cast<const TSWFStyleChangeRecord*>(&Source)) {
        FillBits = S->FillBits;
        LineBits = S->LineBits;
        FillStyle0 = S->FillStyle0;
        FillStyle1 = S->FillStyle1;
        LineStyle = S->LineStyle;
        StateFillStyle0 = S->StateFillStyle0;
        StateFillStyle1 = S->StateFillStyle1;
        StateLineStyle = S->StateLineStyle;
        StateMoveTo = S->StateMoveTo;
        StateNewStyles = S->StateNewStyles;
        HasAlpha = S->HasAlpha;
        CopyFillStyles(FNewFillStyles, S->FNewFillStyles);
        CopyLineStyles(FNewLineStyles, S->FNewLineStyles);
    }
}

void TSWFStyleChangeRecord::WriteToStream(TBitsEngine& BE) {
    BE.WriteBit(false);
    BE.WriteBit(StateNewStyles);
    BE.WriteBit(StateLineStyle);
    BE.WriteBit(StateFillStyle1);
    BE.WriteBit(StateFillStyle0);
    // Without any style flag the move flag is forced, so that the record
    // never reads as an end record.
    const bool Move = (StateFillStyle0 || StateFillStyle1 || StateLineStyle) ? StateMoveTo : true;
    BE.WriteBit(Move);
    if (Move) {
        const std::uint8_t N = GetBitsCount(MaxAbs(DeltaX, DeltaY), 1);
        BE.WriteBits(N, 5);
        BE.WriteBits(static_cast<std::uint32_t>(DeltaX), N);
        BE.WriteBits(static_cast<std::uint32_t>(DeltaY), N);
    }
    if (StateFillStyle0) BE.WriteBits(FillStyle0, FillBits);
    if (StateFillStyle1) BE.WriteBits(FillStyle1, FillBits);
    if (StateLineStyle) BE.WriteBits(LineStyle, LineBits);
    if (StateNewStyles) {
        BE.FlushLastByte(true);
        WriteStyleArrays(BE, FNewFillStyles, FNewLineStyles, HasAlpha);
        FillBits = StyleIndexBits(FNewFillStyles.size());
        LineBits = StyleIndexBits(FNewLineStyles.size());
        BE.WriteBits(FillBits, 4);
        BE.WriteBits(LineBits, 4);
    }
}

void TSWFCurvedEdgeRecord::CopyFrom(const TSWFShapeRecord& Source) {
    if (auto* S = dynamic_cast<const TSWFCurvedEdgeRecord*>(&Source)) {
        AnchorX = S->AnchorX;
        AnchorY = S->AnchorY;
        ControlX = S->ControlX;
        ControlY = S->ControlY;
    }
}

void TSWFCurvedEdgeRecord::WriteToStream(TBitsEngine& BE) {
    if (AnchorX == 0 && AnchorY == 0 && ControlX == 0 && ControlY == 0) return;
    BE.WriteBit(true);
    BE.WriteBit(false);
    const std::uint8_t N = EdgeBits(MaxAbs(ControlX, ControlY, AnchorX, AnchorY));
    BE.WriteBits(N - 2u, 4);
    BE.WriteBits(static_cast<std::uint32_t>(ControlX), N);
    BE.WriteBits(static_cast<std::uint32_t>(ControlY), N);
    BE.WriteBits(static_cast<std::uint32_t>(AnchorX), N);
    BE.WriteBits(static_cast<std::uint32_t>(AnchorY), N);
}

// ------------------------------------------------------------ DefineShape

void TSWFDefineShape::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDefineShape>(Source, "shape tag");
    TSWFObject::CopyFrom(S);
    TagID = S.TagID;
    HasAlpha = S.HasAlpha;
    ShapeId = S.ShapeId;
    *ShapeBounds = *S.ShapeBounds;
    CopyFillStyles(FillStyles, S.FillStyles);
    CopyLineStyles(LineStyles, S.LineStyles);
    Edges.clear();
    for (const auto& R : S.Edges) {
        auto C = CreateShapeRecord(R->ShapeRecType);
        C->CopyFrom(*R);
        Edges.push_back(std::move(C));
    }
}

void TSWFDefineShape::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(ShapeId);
    BE.WriteRect(ShapeBounds->GetRect());
    WriteStyleArrays(BE, FillStyles, LineStyles, HasAlpha);
    std::uint8_t FillBits = StyleIndexBits(FillStyles.size());
    std::uint8_t LineBits = StyleIndexBits(LineStyles.size());
    BE.WriteBits(FillBits, 4);
    BE.WriteBits(LineBits, 4);
    if (Edges.empty()) {
        BE.WriteBits(0, 6);
    } else {
        for (std::size_t I = 0; I < Edges.size(); ++I) {
            TSWFShapeRecord& R = *Edges[I];
            auto* SC = R.ShapeRecType == srStyleChange ? static_cast<TSWFStyleChangeRecord*>(&R) : nullptr;
            if (SC) {
                SC->HasAlpha = HasAlpha;
                SC->FillBits = FillBits;
                SC->LineBits = LineBits;
                if (!SC->StateNewStyles) {
                    if (FillBits == 0) SC->StateFillStyle0 = SC->StateFillStyle1 = false;
                    if (LineBits == 0) SC->StateLineStyle = false;
                }
            }
            if (R.ShapeRecType == srEnd && I + 1 != Edges.size()) continue;
            R.WriteToStream(BE);
            if (SC && SC->StateNewStyles) {
                FillBits = SC->FillBits;
                LineBits = SC->LineBits;
            }
        }
        if (Edges.back()->ShapeRecType != srEnd) BE.WriteBits(0, 6);
    }
    BE.FlushLastByte(true);
}

void TSWFDefineShape::ReadFromStream(TBitsEngine& BE) {
    const std::int64_t End = BE.Stream.Position() + BodySize;
    ShapeId = BE.ReadWord();
    ShapeBounds->SetRec(BE.ReadRect());
    FillStyles.clear();
    LineStyles.clear();
    Edges.clear();
    ReadStyleArrays(BE, FillStyles, LineStyles, HasAlpha);
    unsigned FillBits = BE.ReadBits(4);
    unsigned LineBits = BE.ReadBits(4);
    for (;;) {
        if (BE.ReadBits(1) == 0) {
            const bool NewStyles = BE.ReadBits(1);
            const bool Line = BE.ReadBits(1);
            const bool Fill1 = BE.ReadBits(1);
            const bool Fill0 = BE.ReadBits(1);
            const bool Move = BE.ReadBits(1);
            if (!NewStyles && !Line && !Fill1 && !Fill0 && !Move) {
                Edges.push_back(std::make_unique<TSWFEndShapeRecord>());
                break;
            }
            auto SC = std::make_unique<TSWFStyleChangeRecord>();
            SC->HasAlpha = HasAlpha;
            SC->FillBits = static_cast<std::uint8_t>(FillBits);
            SC->LineBits = static_cast<std::uint8_t>(LineBits);
            if (Move) {
                const unsigned N = BE.ReadBits(5);
                SC->StateMoveTo = true;
                SC->DeltaX = BE.ReadSBits(N);
                SC->DeltaY = BE.ReadSBits(N);
            }
            if (Fill0) SC->SetFillStyle0(static_cast<std::uint16_t>(BE.ReadBits(FillBits)));
            if (Fill1) SC->SetFillStyle1(static_cast<std::uint16_t>(BE.ReadBits(FillBits)));
            if (Line) SC->SetLineStyle(static_cast<std::uint16_t>(BE.ReadBits(LineBits)));
            if (NewStyles) {
                BE.FlushLastByte(false);
                ReadStyleArrays(BE, SC->NewFillStyles(), SC->NewLineStyles(), HasAlpha);
                FillBits = BE.ReadBits(4);
                LineBits = BE.ReadBits(4);
            }
            Edges.push_back(std::move(SC));
        } else if (BE.ReadBits(1) == 1) {
            auto E = std::make_unique<TSWFStraightEdgeRecord>();
            const unsigned N = BE.ReadBits(4) + 2;
            if (BE.ReadBits(1)) {
                E->DeltaX = BE.ReadSBits(N);
                E->DeltaY = BE.ReadSBits(N);
            } else if (BE.ReadBits(1)) {
                E->DeltaY = BE.ReadSBits(N);
            } else {
                E->DeltaX = BE.ReadSBits(N);
            }
            Edges.push_back(std::move(E));
        } else {
            auto C = std::make_unique<TSWFCurvedEdgeRecord>();
            const unsigned N = BE.ReadBits(4) + 2;
            C->ControlX = BE.ReadSBits(N);
            C->ControlY = BE.ReadSBits(N);
            C->AnchorX = BE.ReadSBits(N);
            C->AnchorY = BE.ReadSBits(N);
            Edges.push_back(std::move(C));
        }
    }
    BE.FlushLastByte(false);
    if (BE.Stream.Position() < End) BE.Stream.SetPosition(End);
}

}  // namespace anivert
