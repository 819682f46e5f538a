#include "TagDump.h"

#include <cstdio>
#include <sstream>
#include <vector>

#include "SWFStreams.h"

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

std::string Join(const std::vector<std::string>& Parts, const char* Sep = ", ") {
    std::string Out;
    for (const std::string& P : Parts) {
        if (!Out.empty()) Out += Sep;
        Out += P;
    }
    return Out;
}

std::string LabelName(const TSWFOffsetMarker& M) { return M.MarkerName.empty() ? std::string("(unnamed label)") : M.MarkerName; }

// An offset or size: the number when it is static, and the label it points to.
std::string OffsetText(bool Static, std::int32_t Value, const TSWFMarkerField& Field) {
    std::string S;
    if (Static || !Field.Ptr()) S = std::to_string(Value);
    if (Field.Ptr()) S += (S.empty() ? "-> " : " -> ") + LabelName(*Field.Ptr());
    return S;
}

std::string PushValueText(const TPushValueInfo& V) {
    const std::string N = V.Value.AsString();
    switch (V.ValueType) {
        case pvString: return Quote(N);
        case pvFloat: return "float " + N;
        case pvNull: return "null";
        case pvUndefined: return "undefined";
        case pvRegister: return "register " + std::to_string(V.Value.AsInteger());
        case pvBoolean: return V.Value.AsInteger() ? "true" : "false";
        case pvDouble: return "double " + N;
        case pvInteger: return "integer " + std::to_string(V.Value.AsInteger());
        case pvConstant8:
        case pvConstant16: return "constant " + std::to_string(V.Value.AsInteger());
        default: return "invalid type " + std::to_string(V.ValueType);
    }
}

std::string ActionText(const TSWFAction& A) {
    std::string S = ActionName(A.ActionCode);
    if (auto* M = dynamic_cast<const TSWFOffsetMarker*>(&A)) return LabelName(*M) + ":";
    if (auto* P = dynamic_cast<const TSWFActionGotoFrame*>(&A)) return S + " " + std::to_string(P->Frame);
    if (auto* P = dynamic_cast<const TSWFActionGetUrl*>(&A)) return S + " " + Quote(P->URL) + " target " + Quote(P->Target);
    if (auto* P = dynamic_cast<const TSWFActionWaitForFrame*>(&A))
        return S + " " + std::to_string(P->Frame) + " skip " + std::to_string(P->SkipCount);
    if (auto* P = dynamic_cast<const TSWFActionSetTarget*>(&A)) return S + " " + Quote(P->TargetName);
    if (auto* P = dynamic_cast<const TSWFActionGoToLabel*>(&A)) return S + " " + Quote(P->Label);
    if (auto* P = dynamic_cast<const TSWFActionWaitForFrame2*>(&A)) return S + " skip " + std::to_string(P->SkipCount);
    if (auto* P = dynamic_cast<const TSWFActionStoreRegister*>(&A)) return S + " " + std::to_string(P->RegisterNumber);
    if (auto* P = dynamic_cast<const TSWFActionPush*>(&A)) {
        std::vector<std::string> Values;
        for (std::size_t I = 0; I < P->ValueCount(); ++I) Values.push_back(PushValueText(P->ValueInfo(I)));
        return S + " " + Join(Values);
    }
    if (auto* P = dynamic_cast<const TSWFActionJump*>(&A))
        return S + " " + OffsetText(P->StaticOffset, P->BranchOffset(), P->BranchOffsetMarker);
    if (auto* P = dynamic_cast<const TSWFActionGetURL2*>(&A)) {
        S += " send " + std::to_string(P->SendVarsMethod);
        if (P->LoadTargetFlag) S += ", load target";
        if (P->LoadVariablesFlag) S += ", load variables";
        return S;
    }
    if (auto* P = dynamic_cast<const TSWFActionGotoFrame2*>(&A)) {
        S += P->PlayFlag ? " play" : " stop";
        if (P->SceneBiasFlag) S += " scene bias " + std::to_string(P->SceneBias);
        return S;
    }
    if (auto* P = dynamic_cast<const TSWFActionByteCode*>(&A)) {
        S += " " + std::to_string(P->DataSize()) + " bytes:";
        char Buf[4];
        for (std::size_t I = 0; I < P->Data.size() && I < 16; ++I) {
            std::snprintf(Buf, sizeof Buf, " %02X", P->Data[I]);
            S += Buf;
        }
        if (P->Data.size() > 16) S += " ...";
        return S;
    }
    if (auto* P = dynamic_cast<const TSWFActionConstantPool*>(&A)) {
        std::vector<std::string> Values;
        for (const std::string& C : P->ConstantPool) Values.push_back(Quote(C));
        return S + " " + std::to_string(P->ConstantPool.size()) + (Values.empty() ? "" : ": " + Join(Values));
    }
    if (auto* P = dynamic_cast<const TSWFActionWith*>(&A))
        return S + " size " + OffsetText(P->StaticOffset, P->Size(), P->SizeMarker);
    if (auto* P = dynamic_cast<const TSWFActionDefineFunction*>(&A))
        return S + " " + Quote(P->FunctionName) + " (" + Join(P->Params) + ") size " +
               OffsetText(P->StaticOffset, P->CodeSize(), P->CodeSizeMarker);
    if (auto* P = dynamic_cast<const TSWFActionDefineFunction2*>(&A)) {
        std::vector<std::string> Params, Flags;
        for (const TSWFRegisterParam& R : P->Parameters)
            Params.push_back(R.Register ? "r" + std::to_string(R.Register) + " " + R.Name : R.Name);
        const std::pair<bool, const char*> Named[] = {
            {P->PreloadParentFlag, "preload parent"}, {P->PreloadRootFlag, "preload root"},
            {P->SuppressSuperFlag, "suppress super"}, {P->PreloadSuperFlag, "preload super"},
            {P->SuppressArgumentsFlag, "suppress arguments"}, {P->PreloadArgumentsFlag, "preload arguments"},
            {P->SuppressThisFlag, "suppress this"}, {P->PreloadThisFlag, "preload this"},
            {P->PreloadGlobalFlag, "preload global"}};
        for (const auto& [On, Name] : Named)
            if (On) Flags.push_back(Name);
        S += " " + Quote(P->FunctionName) + " (" + Join(Params) + ") registers " + std::to_string(P->RegisterCount);
        if (!Flags.empty()) S += " [" + Join(Flags) + "]";
        return S + " size " + OffsetText(P->StaticOffset, P->CodeSize(), P->CodeSizeMarker);
    }
    if (auto* P = dynamic_cast<const TSWFActionTry*>(&A)) {
        S += " try " + OffsetText(P->StaticOffset, P->TrySize(), P->TrySizeMarker);
        if (P->CatchBlockFlag) S += ", catch " + OffsetText(P->StaticOffset, P->CatchSize(), P->CatchSizeMarker);
        if (P->FinallyBlockFlag) S += ", finally " + OffsetText(P->StaticOffset, P->FinallySize(), P->FinallySizeMarker);
        S += P->CatchInRegisterFlag ? ", catch in register " + std::to_string(P->CatchRegister)
                                    : ", catch in " + Quote(P->CatchName);
        return S;
    }
    return S;
}

void DumpActions(std::ostream& Out, const TSWFActionList& List, const std::string& Indent) {
    for (const auto& A : List) Out << Indent << ActionText(*A) << "\n";
}

std::string StatesText(std::uint8_t States) {
    std::vector<std::string> Parts;
    if (States & bsUp) Parts.push_back("up");
    if (States & bsOver) Parts.push_back("over");
    if (States & bsDown) Parts.push_back("down");
    if (States & bsHitTest) Parts.push_back("hit test");
    return Parts.empty() ? std::string("none") : Join(Parts);
}

std::string ConditionsText(const TSWFButtonCondAction& C) {
    static const char* const Names[9] = {"idle to over-up",      "over-up to idle",       "over-up to over-down",
                                         "over-down to over-up", "out-down to over-down", "over-down to out-down",
                                         "out-down to idle",     "idle to over-down",     "over-down to idle"};
    std::vector<std::string> Parts;
    for (int Bit = 0; Bit < 9; ++Bit)
        if (C.Conditions & (1u << Bit)) Parts.push_back(Names[Bit]);
    if (C.KeyPress) Parts.push_back("key " + std::to_string(C.KeyPress));
    char Hex[16];
    std::snprintf(Hex, sizeof Hex, "0x%04X", C.Conditions);
    return std::string(Hex) + " (" + (Parts.empty() ? std::string("none") : Join(Parts)) + ")";
}

void DumpButton(std::ostream& Out, const TSWFBasedButton& B, const std::string& Indent) {
    const auto* B2 = dynamic_cast<const TSWFDefineButton2*>(&B);
    Out << Indent << "button " << B.ButtonId << (B2 && B2->TrackAsMenu ? " (track as menu)" : "") << "\n";
    for (const auto& R : B.ButtonRecords) {
        if (!R) continue;
        Out << Indent << "record character " << R->CharacterID << " depth " << R->Depth << " states "
            << StatesText(R->ButtonState) << "\n";
        if (R->MatrixOrNull()) Out << Indent << "  matrix " << MatrixText(*R->MatrixOrNull()) << "\n";
        if (R->HasColorTransform && R->ColorTransformOrNull())
            Out << Indent << "  color transform " << ColorTransformText(*R->ColorTransformOrNull()) << "\n";
    }
    if (auto* B1 = dynamic_cast<const TSWFDefineButton*>(&B)) {
        Out << Indent << "actions:" << (B1->Actions.Empty() ? " none" : "") << "\n";
        DumpActions(Out, B1->Actions, Indent + "  ");
    } else if (B2) {
        for (const auto& C : B2->Actions) {
            if (!C) continue;
            Out << Indent << "condition actions " << ConditionsText(*C) << ":" << (C->Empty() ? " none" : "") << "\n";
            DumpActions(Out, *C, Indent + "  ");
        }
    }
}


std::string EventsText(TSWFClipEvents Events) {
    static const char* const Names[19] = {"key up",      "key down",        "mouse up",   "mouse down", "mouse move",
                                          "unload",      "enter frame",     "load",       "drag over",  "roll out",
                                          "roll over",   "release outside", "release",    "press",      "initialize",
                                          "data",        "construct",       "key press",  "drag out"};
    std::vector<std::string> Parts;
    for (int Bit = 0; Bit < 19; ++Bit)
        if (Events & (1u << Bit)) Parts.push_back(Names[Bit]);
    return Parts.empty() ? std::string("none") : Join(Parts);
}

void DumpClipActions(std::ostream& Out, const TSWFClipActions& C, const std::string& Indent) {
    Out << Indent << "clip actions for " << EventsText(C.AllEventFlags) << "\n";
    for (const auto& R : C.ActionRecords) {
        if (!R) continue;
        Out << Indent << "  on " << EventsText(R->EventFlags);
        if (R->EventFlags & ceKeyPress) Out << " (key " << static_cast<int>(R->KeyCode()) << ")";
        Out << ":" << (R->Empty() ? " none" : "") << "\n";
        DumpActions(Out, *R, Indent + "    ");
    }
}

const char* SoundFormatName(std::uint8_t Format) {
    switch (Format) {
        case sfUncompressed: return "uncompressed";
        case sfADPCM: return "ADPCM";
        case sfMP3: return "MP3";
        case sfUncompressedLE: return "uncompressed little-endian";
        case 4: return "Nellymoser 16 kHz";
        case 5: return "Nellymoser 8 kHz";
        case sfNellymoser: return "Nellymoser";
        case 11: return "Speex";
        default: return "unknown";
    }
}

// Rate, sample size and channels: "44 kHz 16-bit stereo".
std::string SoundShape(std::uint8_t Rate, bool Size16, bool Stereo) {
    static const char* const Rates[4] = {"5.5 kHz", "11 kHz", "22 kHz", "44 kHz"};
    return std::string(Rates[Rate & 3]) + (Size16 ? " 16-bit " : " 8-bit ") + (Stereo ? "stereo" : "mono");
}

std::string SoundFormatText(std::uint8_t Format) {
    return "format " + std::to_string(Format) + " (" + SoundFormatName(Format) + ")";
}

// The sound info of a StartSound: "sound 1, stop, loops 3".
std::string SoundInfoText(const TSWFStartSound& S) {
    std::string T = "sound " + std::to_string(S.SoundId);
    if (S.SyncStop) T += ", stop";
    if (S.SyncNoMultiple) T += ", no multiple";
    if (S.HasInPoint) T += ", in point " + std::to_string(S.InPoint);
    if (S.HasOutPoint) T += ", out point " + std::to_string(S.OutPoint);
    if (S.HasLoops) T += ", loops " + std::to_string(S.LoopCount);
    if (S.HasEnvelope)
        T += ", envelope (" + std::to_string(S.SoundEnvelopes.size()) + (S.SoundEnvelopes.size() == 1 ? " point)" : " points)");
    return T;
}

void DumpEnvelope(std::ostream& Out, const TSWFStartSound& S, const std::string& Indent) {
    if (!S.HasEnvelope) return;
    for (const auto& E : S.SoundEnvelopes)
        Out << Indent << "at " << E->Pos44 << " left " << E->LeftLevel << " right " << E->RightLevel << "\n";
}

void DumpSprite(std::ostream& Out, const TSWFUnknownTag& Tag, const std::string& Indent, std::uint8_t Version) {
    TSWFSpriteReader Sprite;
    std::string Error;
    try {
        Sprite.LoadFromBody(Tag.Data, Version);
    } catch (const ESWFReadError& E) {
        Error = E.what();
    }
    if (Tag.Data.size() >= 4)
        Out << Indent << "id " << Sprite.SpriteId << " frames " << Sprite.FrameCount << ", " << Sprite.Tags.size()
            << " tags\n";
    for (const TSWFReadTag& T : Sprite.Tags) {
        Out << Indent << TagLine(T.Offset, T.TagID, T.BodySize, T.LongHeader) << "\n";
        // No sprite inside a sprite: a nested DefineSprite stays raw.
        if (T.Tag && T.TagID != tagDefineSprite) DumpTagFields(Out, *T.Tag, Indent + "          ", Version);
    }
    if (!Error.empty()) Out << Indent << "error: " << Error << "\n";
}

}  // namespace

std::string TagLine(std::int64_t Offset, std::uint16_t TagID, std::uint32_t BodySize, bool LongHeader) {
    char Line[128];
    std::snprintf(Line, sizeof Line, "%08llX  %-20s code %3u  length %u%s", static_cast<unsigned long long>(Offset),
                  TagName(TagID).c_str(), TagID, BodySize, LongHeader ? " (long header)" : "");
    return Line;
}

void DumpTagFields(std::ostream& Out, const TSWFObject& Tag, const std::string& Indent, std::uint8_t Version) {
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
        if (T->PlaceFlagHasClipActions && T->ClipActionsOrNull()) DumpClipActions(Out, *T->ClipActionsOrNull(), Indent);
    } else if (auto* T = dynamic_cast<const TSWFRemoveObject*>(&Tag)) {
        Out << Indent << "character " << T->CharacterID << " depth " << T->Depth << "\n";
    } else if (auto* T = dynamic_cast<const TSWFRemoveObject2*>(&Tag)) {
        Out << Indent << "depth " << T->Depth << "\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineBitsLossless*>(&Tag)) {
        Out << Indent << "id " << T->CharacterID << " format " << static_cast<int>(T->BitmapFormat) << " "
            << T->BitmapWidth << " x " << T->BitmapHeight;
        if (T->BitmapFormat == bfColorMapped8) Out << " colours " << T->BitmapColorTableSize + 1;
        Out << (Tag.TagID == tagDefineBitsLossless2 ? " with alpha" : "") << ", zlib data " << T->DataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineBitsJPEG3*>(&Tag)) {
        Out << Indent << "id " << T->CharacterID << " JPEG data " << T->DataSize << " bytes, alpha data "
            << T->AlphaDataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineBits*>(&Tag)) {
        Out << Indent << "id " << T->CharacterID << " JPEG data " << T->DataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFDefineShape*>(&Tag)) {
        DumpShape(Out, *T, Indent);
    } else if (auto* T = dynamic_cast<const TSWFDoAction*>(&Tag)) {
        if (auto* I = dynamic_cast<const TSWFDoInitAction*>(&Tag)) Out << Indent << "sprite " << I->SpriteID << "\n";
        Out << Indent << "actions:" << (T->Actions().Empty() ? " none" : "") << "\n";
        DumpActions(Out, T->Actions(), Indent + "  ");
    } else if (auto* T = dynamic_cast<const TSWFBasedButton*>(&Tag)) {
        DumpButton(Out, *T, Indent);
    } else if (auto* T = dynamic_cast<const TSWFDefineSound*>(&Tag)) {
        Out << Indent << "id " << T->SoundId << " " << SoundFormatText(T->SoundFormat) << " "
            << SoundShape(T->SoundRate, T->SoundSize, T->SoundType) << ", " << T->SoundSampleCount << " samples";
        if (T->SoundFormat == sfMP3) Out << ", seek " << T->SeekSamples;
        Out << ", data " << T->DataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFStartSound*>(&Tag)) {
        Out << Indent << SoundInfoText(*T) << "\n";
        DumpEnvelope(Out, *T, Indent + "  ");
    } else if (auto* T = dynamic_cast<const TSWFDefineButtonSound*>(&Tag)) {
        Out << Indent << "button " << T->ButtonId << "\n";
        const std::pair<const char*, const TSWFStartSound*> Sounds[4] = {
            {"over-up to idle", T->SoundOverUpToIdleOrNull()},
            {"idle to over-up", T->SoundIdleToOverUpOrNull()},
            {"over-up to over-down", T->SoundOverUpToOverDownOrNull()},
            {"over-down to over-up", T->SoundOverDownToOverUpOrNull()}};
        for (const auto& [Name, S] : Sounds) {
            Out << Indent << Name << ": " << (S && S->SoundId ? SoundInfoText(*S) : std::string("none")) << "\n";
            if (S && S->SoundId) DumpEnvelope(Out, *S, Indent + "  ");
        }
    } else if (auto* T = dynamic_cast<const TSWFSoundStreamHead*>(&Tag)) {
        Out << Indent << "playback " << SoundShape(T->PlaybackSoundRate, T->PlaybackSoundSize, T->PlaybackSoundType)
            << "\n";
        Out << Indent << "stream " << SoundFormatText(T->StreamSoundCompression) << " "
            << SoundShape(T->StreamSoundRate, T->StreamSoundSize, T->StreamSoundType) << ", "
            << T->StreamSoundSampleCount << " samples per frame";
        if (T->StreamSoundCompression == sfMP3) Out << ", latency seek " << T->LatencySeek;
        Out << "\n";
    } else if (auto* T = dynamic_cast<const TSWFVideoFrame*>(&Tag)) {
        Out << Indent << "stream " << T->StreamID << " frame " << T->FrameNum << ", data " << T->DataSize << " bytes\n";
    } else if (auto* T = dynamic_cast<const TSWFUnknownTag*>(&Tag); T && Tag.TagID == tagDefineSprite) {
        DumpSprite(Out, *T, Indent, Version);
    } else if (dynamic_cast<const TSWFUnknownTag*>(&Tag)) {
        Out << Indent << "raw body, " << Tag.BodySize << " bytes\n";
    }
}

}  // namespace anivert
