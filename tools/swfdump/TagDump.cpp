#include "TagDump.h"

#include <cstdio>
#include <sstream>

namespace anivert {

namespace {

std::string ColorHex(std::uint32_t R, std::uint32_t G, std::uint32_t B) {
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "#%02X%02X%02X", R, G, B);
    return Buf;
}

std::string Quote(const std::string& S) {
    std::string Out = "\"";
    for (unsigned char C : S) {
        if (C == '"' || C == '\\') {
            Out += '\\';
            Out += static_cast<char>(C);
        } else if (C < 0x20 || C == 0x7F) {
            char Buf[8];
            std::snprintf(Buf, sizeof Buf, "\\x%02X", C);
            Out += Buf;
        } else {
            Out += static_cast<char>(C);
        }
    }
    return Out + "\"";
}

std::string MatrixText(const TSWFMatrix& M) {
    std::ostringstream S;
    S << "translate (" << M.TranslateX << ", " << M.TranslateY << ")";
    if (M.HasScale) S << " scale (" << M.ScaleX / 65536.0 << ", " << M.ScaleY / 65536.0 << ")";
    if (M.HasSkew) S << " skew (" << M.SkewX / 65536.0 << ", " << M.SkewY / 65536.0 << ")";
    return S.str();
}

std::string ColorTransformText(const TSWFColorTransform& C) {
    std::ostringstream S;
    if (C.HasMult) {
        S << "mult (" << C.MultR() << ", " << C.MultG() << ", " << C.MultB();
        if (C.HasAlpha) S << ", " << C.MultA();
        S << ")";
    }
    if (C.HasAdd) {
        if (C.HasMult) S << " ";
        S << "add (" << C.AddR() << ", " << C.AddG() << ", " << C.AddB();
        if (C.HasAlpha) S << ", " << C.AddA();
        S << ")";
    }
    if (!C.HasMult && !C.HasAdd) S << "identity";
    return S.str();
}

std::string RGBAText(const TSWFRGBA& C, bool WithAlpha) {
    char Buf[32];
    if (WithAlpha) std::snprintf(Buf, sizeof Buf, "#%02X%02X%02X/%02X", C.R, C.G, C.B, C.A);
    else std::snprintf(Buf, sizeof Buf, "#%02X%02X%02X", C.R, C.G, C.B);
    return Buf;
}

std::string FillText(const TSWFFillStyle& F) {
    std::ostringstream S;
    char Type[8];
    std::snprintf(Type, sizeof Type, "0x%02X", F.FillStyleType);
    if (auto* C = dynamic_cast<const TSWFColorFill*>(&F)) {
        S << "solid " << RGBAText(*C->Color, F.HasAlpha);
    } else if (auto* I = dynamic_cast<const TSWFImageFill*>(&F)) {
        S << "bitmap " << I->BitmapId << " type " << Type << " " << MatrixText(*I->Matrix);
    } else if (auto* G = dynamic_cast<const TSWFGradientFill*>(&F)) {
        S << (F.FillStyleType == fsRadialGradient ? "radial" : "linear") << " gradient " << MatrixText(*G->Matrix);
        auto* MG = const_cast<TSWFGradientFill*>(G);
        for (int K = 1; K <= G->Count && K <= TSWFGradientFill::MaxEntries; ++K)
            S << " [" << static_cast<int>(MG->Ratio(K)) << " " << RGBAText(MG->Colors(K), F.HasAlpha) << "]";
    }
    return S.str();
}

void DumpStyles(std::ostream& Out, const TSWFFillStyleList& Fills, const TSWFLineStyleList& Lines, bool HasAlpha,
                const std::string& Indent) {
    for (std::size_t I = 0; I < Fills.size(); ++I) Out << Indent << "fill " << I + 1 << ": " << FillText(*Fills[I]) << "\n";
    for (std::size_t I = 0; I < Lines.size(); ++I)
        Out << Indent << "line " << I + 1 << ": width " << Lines[I]->Width << " " << RGBAText(*Lines[I]->Color, HasAlpha) << "\n";
}

void DumpShape(std::ostream& Out, const TSWFDefineShape& T, const std::string& Indent) {
    const TRect B = T.ShapeBounds->GetRect();
    Out << Indent << "id " << T.ShapeId << " bounds (" << B.Left << ", " << B.Top << ")-(" << B.Right << ", " << B.Bottom
        << ")\n";
    DumpStyles(Out, T.FillStyles, T.LineStyles, T.HasAlpha, Indent);
    for (const auto& R : T.Edges) {
        Out << Indent;
        switch (R->ShapeRecType) {
            case srEnd: Out << "end"; break;
            case srStraightEdge: {
                auto& E = static_cast<const TSWFStraightEdgeRecord&>(*R);
                Out << "line (" << E.DeltaX << ", " << E.DeltaY << ")";
                break;
            }
            case srCurvedEdge: {
                auto& C = static_cast<const TSWFCurvedEdgeRecord&>(*R);
                Out << "curve control (" << C.ControlX << ", " << C.ControlY << ") anchor (" << C.AnchorX << ", "
                    << C.AnchorY << ")";
                break;
            }
            default: {
                auto& SC = static_cast<const TSWFStyleChangeRecord&>(*R);
                Out << "style";
                if (SC.StateMoveTo) Out << " move (" << SC.DeltaX << ", " << SC.DeltaY << ")";
                if (SC.StateFillStyle0) Out << " fill0 " << SC.FillStyle0;
                if (SC.StateFillStyle1) Out << " fill1 " << SC.FillStyle1;
                if (SC.StateLineStyle) Out << " line " << SC.LineStyle;
                if (SC.StateNewStyles) {
                    Out << " new styles\n";
                    DumpStyles(Out, SC.NewFillStylesView(), SC.NewLineStylesView(), T.HasAlpha, Indent + "  ");
                    continue;
                }
                break;
            }
        }
        Out << "\n";
    }
}

}  // namespace

void DumpTagFields(std::ostream& Out, const TSWFObject& Tag, const std::string& Indent) {
    if (auto* T = dynamic_cast<const TSWFSetBackgroundColor*>(&Tag)) {
        Out << Indent << "color " << ColorHex(T->Color->R, T->Color->G, T->Color->B) << "\n";
    } else if (auto* T = dynamic_cast<const TSWFFrameLabel*>(&Tag)) {
        Out << Indent << "name " << Quote(T->Name) << (T->IsAnchor ? " (named anchor)" : "") << "\n";
    } else if (auto* T = dynamic_cast<const TSWFProtect*>(&Tag)) {
        Out << Indent << (T->Hash.empty() ? std::string("no password") : "hash " + Quote(T->Hash)) << "\n";
    } else if (auto* T = dynamic_cast<const TSWFPlaceObject2*>(&Tag)) {
        Out << Indent << "depth " << T->Depth;
        if (T->PlaceFlagMove) Out << " move";
        if (T->PlaceFlagHasCharacter) Out << " character " << T->CharacterID;
        Out << "\n";
        if (T->PlaceFlagHasMatrix && T->MatrixOrNull()) Out << Indent << "matrix " << MatrixText(*T->MatrixOrNull()) << "\n";
        if (T->PlaceFlagHasColorTransform && T->ColorTransformOrNull())
            Out << Indent << "color transform " << ColorTransformText(*T->ColorTransformOrNull()) << "\n";
        if (T->PlaceFlagHasRatio) Out << Indent << "ratio " << T->Ratio << "\n";
        if (T->PlaceFlagHasName) Out << Indent << "name " << Quote(T->Name) << "\n";
        if (T->PlaceFlagHasClipDepth) Out << Indent << "clip depth " << T->ClipDepth << "\n";
        if (T->PlaceFlagHasClipActions) Out << Indent << "clip actions (not decoded)\n";
    } else if (auto* T = dynamic_cast<const TSWFRemoveObject*>(&Tag)) {
        Out << Indent << "character " << T->CharacterID << " depth " << T->Depth << "\n";
    } else if (auto* T = dynamic_cast<const TSWFRemoveObject2*>(&Tag)) {
        Out << Indent << "depth " << T->Depth << "\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineBitsLossless*>(&Tag)) {
        Out << Indent << "id " << T->CharacterID << " format " << static_cast<int>(T->BitmapFormat) << " "
            << T->BitmapWidth << " x " << T->BitmapHeight;
        if (T->BitmapFormat == 3) Out << " colours " << T->BitmapColorTableSize + 1;
        Out << (Tag.TagID == tagDefineBitsLossless2 ? " with alpha" : "") << ", zlib data " << T->DataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineBitsJPEG3*>(&Tag)) {
        Out << Indent << "id " << T->CharacterID << " JPEG data " << T->DataSize << " bytes, alpha data "
            << T->AlphaDataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineBits*>(&Tag)) {
        Out << Indent << "id " << T->CharacterID << " JPEG data " << T->DataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineShape*>(&Tag)) {
        DumpShape(Out, *T, Indent);
    } else if (dynamic_cast<const TSWFUnknownTag*>(&Tag)) {
        Out << Indent << "raw body, " << Tag.BodySize << " bytes\n";
    }
}

}  // namespace anivert
