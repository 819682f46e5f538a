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
    } else if (dynamic_cast<const TSWFUnknownTag*>(&Tag)) {
        Out << Indent << "raw body, " << Tag.BodySize << " bytes\n";
    }
}

}  // namespace anivert
