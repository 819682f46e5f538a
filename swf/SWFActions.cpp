#include "SWFActions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace anivert {

namespace {

// The number at the start of S as from_chars reads it (no leading blanks or
// plus sign), 0 when there is none. Where the C++ library cannot read
// floating-point numbers that way, a stream in the classic locale reads
// them, so that the program's locale never changes the decimal point.
double LeadingDouble(const std::string& S) {
    double V = 0;
#if defined(__cpp_lib_to_chars) && __cpp_lib_to_chars >= 201611L
    std::from_chars(S.data(), S.data() + S.size(), V);
#else
    if (S.empty() || S[0] == '+' || std::isspace(static_cast<unsigned char>(S[0]))) return 0;
    std::istringstream In(S);
    In.imbue(std::locale::classic());
    if (!(In >> V)) V = 0;
#endif
    return V;
}

constexpr std::int64_t MaxActionBody = 0xFFFF;

// "TSWFActionStop" -> "Stop", "TSWFOffsetMarker" -> "OffsetMarker".
const char* ShortName(const char* ClassName) {
    static constexpr char Prefix[] = "TSWFAction";
    if (std::strncmp(ClassName, Prefix, sizeof Prefix - 1) == 0) return ClassName + sizeof Prefix - 1;
    return ClassName + 4;
}

std::string CodeText(std::uint8_t Code) {
    char Buf[8];
    std::snprintf(Buf, sizeof Buf, "0x%02X", Code);
    return Buf;
}

// The source of CopyFrom as the class of the target, or EAssignError.
template <class T>
const T& ActionSource(const TSWFAction& Source, const TSWFAction& Target) {
    auto* S = dynamic_cast<const T*>(&Source);
    if (!S || Source.ActionCode != Target.ActionCode)
        throw EAssignError(std::string("Cannot assign action ") + ActionName(Source.ActionCode) + " to action " +
                           ActionName(Target.ActionCode));
    return *S;
}

// Whether an offset or size field is written through its label.
bool UsesLabel(bool StaticOffset, const TSWFMarkerField& Field) {
    return !StaticOffset && Field.Ptr() && Field.Ptr()->ManualSet;
}

// Writes the 16-bit offset or size field that comes next in the body of a
// record starting at RecordStart: through its label when the label is used,
// otherwise the number. Body is the engine of the record's body.
void WriteLabelField(TBitsEngine& Body, std::int64_t RecordStart, bool StaticOffset, const TSWFMarkerField& Field,
                     std::uint16_t Value) {
    Body.FlushLastByte(true);
    if (UsesLabel(StaticOffset, Field)) {
        TSWFOffsetMarker& M = *Field.Ptr();
        M.StartPosition = static_cast<std::int32_t>(RecordStart + 3 + Body.Stream.Position());
        M.WriteOffset(Body);
    } else {
        Body.WriteWord(Value);
    }
}

std::int32_t TruncToInt32(double D) {
    if (std::isnan(D)) return 0;
    if (D >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
    if (D <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(D);
}

std::string NumberText(double D, int Digits) {
    char Buf[40];
    std::snprintf(Buf, sizeof Buf, "%.*g", Digits, D);
    return Buf;
}

}  // namespace

const char* ActionName(std::uint8_t Code) {
    switch (Code) {
#define ANIVERT_ACTION_NAME(Name, Base, ActCode) \
    case ActCode: return ShortName(#Name);
        ANIVERT_SWF_ALL_ACTIONS(ANIVERT_ACTION_NAME)
#undef ANIVERT_ACTION_NAME
        default: return "Unknown";
    }
}

// ---------------------------------------------------------------- TSWFAction

void TSWFAction::CopyFrom(const TSWFAction& Source) {
    BodySize = ActionSource<TSWFAction>(Source, *this).BodySize;
}

void TSWFAction::ReadFromStream(TBitsEngine& BE) { BE.Stream.Seek(BodySize, TSeekOrigin::soCurrent); }

void TSWFAction::WriteToStream(TBitsEngine& BE) {
    if (ActionCode == actionByteCode || ActionCode == actionOffsetMarker) {
        WriteActionBody(BE);
        return;
    }
    BE.WriteByte(ActionCode);
    if (ActionCode < 0x80) return;
    TMemoryStream Body;
    {
        TBitsEngine Scratch(Body);
        WriteActionBody(Scratch);
        Scratch.FlushLastByte(true);
    }
    if (Body.Size() > MaxActionBody)
        throw std::length_error(std::string("The body of action ") + ActionName(ActionCode) + " (" +
                          std::to_string(Body.Size()) + " bytes) is too long for an action record");
    BodySize = static_cast<std::uint16_t>(Body.Size());
    BE.WriteWord(BodySize);
    if (BodySize > 0) BE.Stream.WriteBuffer(Body.Memory(), BodySize);
}

// ---------------------------------------------------------------- labels

void TSWFOffsetMarker::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFOffsetMarker>(Source, *this);
    TSWFAction::CopyFrom(S);
    JumpToBack = S.JumpToBack;
    ManualSet = S.ManualSet;
    MarkerName = S.MarkerName;
    StartPosition = S.StartPosition;
    SizeOffset = S.SizeOffset;
    MarkerPosition = S.MarkerPosition;
}

void TSWFOffsetMarker::ResetWriteState() {
    IsWritten = false;
    FPending.clear();
    FLabelPosition = -1;
}

std::int64_t TSWFOffsetMarker::BaseOf(const TPending& P) const {
    if (!P.BaseMarker) return P.BaseOffset;
    // A base label that has not come up yet cannot be measured from: the
    // distance is then taken from the end of the field.
    if (P.BaseMarker->FLabelPosition < 0) return P.Field + SizeOffset;
    return P.BaseMarker->FLabelPosition + P.BaseOffset;
}

void TSWFOffsetMarker::PutValue(TStream& Stream, std::int64_t Value) const {
    const unsigned N = SizeOffset;
    if (N < 8) {
        const std::int64_t Min = -(std::int64_t{1} << (8 * N - 1));
        const std::int64_t Max = (std::int64_t{1} << (8 * N)) - 1;
        if (Value < Min || Value > Max)
            throw std::length_error("The distance " + std::to_string(Value) + " to label \"" + MarkerName +
                              "\" does not fit its " + std::to_string(N) + "-byte field");
    }
    for (unsigned I = 0; I < N; ++I) {
        const std::uint8_t B = I < 8 ? static_cast<std::uint8_t>(Value >> (8 * I)) : (Value < 0 ? 0xFF : 0x00);
        Stream.WriteBuffer(&B, 1);
    }
}

void TSWFOffsetMarker::WriteOffset(TBitsEngine& BE) {
    WriteOffset(BE, nullptr, static_cast<std::int64_t>(StartPosition) + SizeOffset);
}

void TSWFOffsetMarker::WriteOffset(TBitsEngine& BE, const TSWFOffsetMarker* BaseMarker, std::int64_t BaseOffset) {
    if (!ManualSet) return;
    BE.FlushLastByte(true);
    const TPending P{StartPosition, BaseMarker, BaseOffset};
    if (JumpToBack && IsWritten) {
        PutValue(BE.Stream, MarkerPosition - BaseOf(P));
        return;
    }
    // Ahead: a placeholder that the label fills in when it comes up.
    MarkerPosition = StartPosition;
    FPending.push_back(P);
    PutValue(BE.Stream, 0);
}

void TSWFOffsetMarker::WriteActionBody(TBitsEngine& BE) {
    BE.FlushLastByte(true);
    const std::int64_t Pos = BE.Stream.Position();
    IsWritten = true;
    FLabelPosition = Pos;
    if (!ManualSet) return;
    if (!FPending.empty()) {
        for (const TPending& P : FPending) {
            BE.Stream.SetPosition(P.Field);
            PutValue(BE.Stream, Pos - BaseOf(P));
        }
        BE.Stream.SetPosition(Pos);
        FPending.clear();
    }
    if (JumpToBack) MarkerPosition = static_cast<std::int32_t>(Pos);
}

TSWFOffsetMarker& TSWFMarkerField::Get() {
    if (!FMarker) {
        FOwned = std::make_unique<TSWFOffsetMarker>();
        FMarker = FOwned.get();
    }
    return *FMarker;
}

void TSWFMarkerField::Set(TSWFOffsetMarker* Marker) {
    if (FOwned && FOwned.get() != Marker) FOwned.reset();
    FMarker = Marker;
}

// ---------------------------------------------------------------- TSWFActionList

void TSWFActionList::InsertItem(std::size_t Index, std::unique_ptr<TSWFAction> Item) {
    if (!Item) throw std::invalid_argument("No action to insert into the action list");
    if (Index > FItems.size()) throw std::out_of_range("Action list index out of range");
    FItems.insert(FItems.begin() + static_cast<std::ptrdiff_t>(Index), std::move(Item));
}

TSWFOffsetMarker* TSWFActionList::AddMarker(const std::string& Name) {
    auto M = std::make_unique<TSWFOffsetMarker>();
    M->MarkerName = Name;
    return Add(std::move(M));
}

void TSWFActionList::Delete(std::size_t Index) {
    const TSWFAction* Item = FItems.at(Index).get();
    for (auto& A : FItems)
        for (TSWFMarkerField* F : A->MarkerFields())
            if (F->Ptr() == Item) F->Set(nullptr);
    FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(Index));
}

std::ptrdiff_t TSWFActionList::IndexOf(const TSWFAction* Item) const {
    for (std::size_t I = 0; I < FItems.size(); ++I)
        if (FItems[I].get() == Item) return static_cast<std::ptrdiff_t>(I);
    return -1;
}

std::uint8_t TSWFActionList::MinVersion() const {
    std::uint8_t V = 0;
    for (const auto& A : FItems) V = std::max(V, A->MinVersion());
    return V;
}

void TSWFActionList::WriteToStream(TBitsEngine& BE) {
    for (auto& A : FItems) {
        if (auto* M = dynamic_cast<TSWFOffsetMarker*>(A.get())) M->ResetWriteState();
        for (TSWFMarkerField* F : A->MarkerFields())
            if (F->Ptr()) F->Ptr()->ResetWriteState();
    }
    for (auto& A : FItems) A->WriteToStream(BE);
}

// ---------------------------------------------------------------- TSWFVariant

TSWFVariant TSWFVariant::Null() {
    TSWFVariant V;
    V.FValue = TNullValue{};
    return V;
}

bool TSWFVariant::AsBoolean() const {
    switch (Kind()) {
        case TKind::Boolean: return std::get<bool>(FValue);
        case TKind::Integer: return std::get<std::int32_t>(FValue) != 0;
        case TKind::Single: return std::get<float>(FValue) != 0.0f && !std::isnan(std::get<float>(FValue));
        case TKind::Double: return std::get<double>(FValue) != 0.0 && !std::isnan(std::get<double>(FValue));
        case TKind::String: return !std::get<std::string>(FValue).empty();
        default: return false;
    }
}

std::int32_t TSWFVariant::AsInteger() const {
    switch (Kind()) {
        case TKind::Boolean: return std::get<bool>(FValue) ? 1 : 0;
        case TKind::Integer: return std::get<std::int32_t>(FValue);
        case TKind::Single: return TruncToInt32(std::get<float>(FValue));
        case TKind::Double: return TruncToInt32(std::get<double>(FValue));
        case TKind::String: {
            const std::string& S = std::get<std::string>(FValue);
            std::int32_t V = 0;
            std::from_chars(S.data(), S.data() + S.size(), V);
            return V;
        }
        default: return 0;
    }
}

float TSWFVariant::AsSingle() const {
    if (Kind() == TKind::Single) return std::get<float>(FValue);
    return static_cast<float>(AsDouble());
}

double TSWFVariant::AsDouble() const {
    switch (Kind()) {
        case TKind::Boolean: return std::get<bool>(FValue) ? 1.0 : 0.0;
        case TKind::Integer: return std::get<std::int32_t>(FValue);
        case TKind::Single: return std::get<float>(FValue);
        case TKind::Double: return std::get<double>(FValue);
        case TKind::String: {
            const std::string& S = std::get<std::string>(FValue);
            return LeadingDouble(S);
        }
        default: return 0.0;
    }
}

std::string TSWFVariant::AsString() const {
    switch (Kind()) {
        case TKind::Null: return "null";
        case TKind::Boolean: return std::get<bool>(FValue) ? "true" : "false";
        case TKind::Integer: return std::to_string(std::get<std::int32_t>(FValue));
        case TKind::Single: return NumberText(std::get<float>(FValue), 9);
        case TKind::Double: return NumberText(std::get<double>(FValue), 17);
        case TKind::String: return std::get<std::string>(FValue);
        default: return std::string();
    }
}

// ---------------------------------------------------------------- actions with a body

void TSWFActionGotoFrame::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionGotoFrame>(Source, *this);
    TSWFAction::CopyFrom(S);
    Frame = S.Frame;
}

void TSWFActionGotoFrame::ReadFromStream(TBitsEngine& BE) { Frame = BE.ReadWord(); }

void TSWFActionGotoFrame::WriteActionBody(TBitsEngine& BE) { BE.WriteWord(Frame); }

void TSWFActionGetUrl::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionGetUrl>(Source, *this);
    TSWFAction::CopyFrom(S);
    Target = S.Target;
    URL = S.URL;
}

void TSWFActionGetUrl::ReadFromStream(TBitsEngine& BE) {
    URL = BE.ReadString();
    Target = BE.ReadString();
}

void TSWFActionGetUrl::WriteActionBody(TBitsEngine& BE) {
    BE.WriteString(URL, true, true);
    BE.WriteString(Target, true, false);
}

void TSWFActionWaitForFrame::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionWaitForFrame>(Source, *this);
    TSWFAction::CopyFrom(S);
    Frame = S.Frame;
    SkipCount = S.SkipCount;
}

void TSWFActionWaitForFrame::ReadFromStream(TBitsEngine& BE) {
    Frame = BE.ReadWord();
    SkipCount = BE.ReadByte();
}

void TSWFActionWaitForFrame::WriteActionBody(TBitsEngine& BE) {
    BE.WriteWord(Frame);
    BE.WriteByte(SkipCount);
}

void TSWFActionSetTarget::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionSetTarget>(Source, *this);
    TSWFAction::CopyFrom(S);
    TargetName = S.TargetName;
}

void TSWFActionSetTarget::ReadFromStream(TBitsEngine& BE) { TargetName = BE.ReadString(); }

void TSWFActionSetTarget::WriteActionBody(TBitsEngine& BE) { BE.WriteString(TargetName, true, false); }

void TSWFActionGoToLabel::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionGoToLabel>(Source, *this);
    TSWFAction::CopyFrom(S);
    Label = S.Label;
}

void TSWFActionGoToLabel::ReadFromStream(TBitsEngine& BE) { Label = BE.ReadString(); }

void TSWFActionGoToLabel::WriteActionBody(TBitsEngine& BE) { BE.WriteString(Label, true, false); }

void TSWFActionWaitForFrame2::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionWaitForFrame2>(Source, *this);
    TSWFAction::CopyFrom(S);
    SkipCount = S.SkipCount;
}

void TSWFActionWaitForFrame2::ReadFromStream(TBitsEngine& BE) { SkipCount = BE.ReadByte(); }

void TSWFActionWaitForFrame2::WriteActionBody(TBitsEngine& BE) { BE.WriteByte(SkipCount); }

// ---------------------------------------------------------------- Push

TPushValueInfo& TSWFActionPush::AddValue(const TSWFVariant& Value) {
    std::uint8_t Type = pvUndefined;
    switch (Value.Kind()) {
        case TSWFVariant::TKind::Empty: Type = pvUndefined; break;
        case TSWFVariant::TKind::Null: Type = pvNull; break;
        case TSWFVariant::TKind::Boolean: Type = pvBoolean; break;
        case TSWFVariant::TKind::Integer: Type = pvInteger; break;
        case TSWFVariant::TKind::Single: Type = pvFloat; break;
        case TSWFVariant::TKind::Double: Type = pvDouble; break;
        case TSWFVariant::TKind::String: {
            const std::string S = Value.AsString();
            Type = S == "FlashVar_undefined" ? pvUndefined : S == "FlashVar_null" ? pvNull : pvString;
            break;
        }
    }
    return AddValue(Value, Type);
}

TPushValueInfo& TSWFActionPush::AddValue(const TSWFVariant& Value, std::uint8_t ValueType) {
    TPushValueInfo Info;
    Info.Value = Value;
    Info.ValueType = ValueType;
    Info.IsValid = ValueType <= pvConstant16;
    FValues.push_back(std::move(Info));
    return FValues.back();
}

void TSWFActionPush::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionPush>(Source, *this);
    TSWFAction::CopyFrom(S);
    FValues = S.FValues;
}

std::uint8_t TSWFActionPush::MinVersion() const {
    for (const TPushValueInfo& V : FValues)
        if (V.IsValid && V.ValueType > pvFloat) return 5;
    return 4;
}

void TSWFActionPush::ReadFromStream(TBitsEngine& BE) {
    FValues.clear();
    const std::int64_t End = BE.Stream.Position() + BodySize;
    while (BE.Stream.Position() < End) {
        const std::uint8_t Type = BE.ReadByte();
        TSWFVariant V;
        switch (Type) {
            case pvString: V = BE.ReadString(); break;
            case pvFloat: {
                const std::uint32_t Bits = BE.ReadDWord();
                float F;
                std::memcpy(&F, &Bits, sizeof F);
                V = F;
                break;
            }
            case pvNull: V = "FlashVar_null"; break;
            case pvUndefined: V = "FlashVar_undefined"; break;
            case pvRegister:
            case pvBoolean:
            case pvConstant8: V = static_cast<std::int32_t>(BE.ReadByte()); break;
            case pvDouble: {
                const std::uint64_t High = BE.ReadDWord();
                const std::uint64_t Low = BE.ReadDWord();
                const std::uint64_t Bits = (High << 32) | Low;
                double D;
                std::memcpy(&D, &Bits, sizeof D);
                V = D;
                break;
            }
            case pvInteger: V = static_cast<std::int32_t>(BE.ReadDWord()); break;
            case pvConstant16: V = static_cast<std::int32_t>(BE.ReadWord()); break;
            default: throw EReadError("Unknown push value type " + std::to_string(Type));
        }
        TPushValueInfo Info;
        Info.Value = std::move(V);
        Info.ValueType = Type;
        Info.IsValid = true;
        FValues.push_back(std::move(Info));
    }
}

void TSWFActionPush::WriteActionBody(TBitsEngine& BE) {
    for (const TPushValueInfo& P : FValues) {
        if (!P.IsValid || P.ValueType > pvConstant16) continue;
        BE.WriteByte(P.ValueType);
        switch (P.ValueType) {
            case pvString: BE.WriteString(P.Value.AsString(), true, false); break;
            case pvFloat: {
                const float F = P.Value.AsSingle();
                std::uint32_t Bits;
                std::memcpy(&Bits, &F, sizeof Bits);
                BE.WriteDWord(Bits);
                break;
            }
            case pvRegister:
            case pvBoolean:
            case pvConstant8: BE.WriteByte(static_cast<std::uint8_t>(P.Value.AsInteger())); break;
            case pvDouble: {
                const double D = P.Value.AsDouble();
                std::uint64_t Bits;
                std::memcpy(&Bits, &D, sizeof Bits);
                BE.WriteDWord(static_cast<std::uint32_t>(Bits >> 32));
                BE.WriteDWord(static_cast<std::uint32_t>(Bits));
                break;
            }
            case pvInteger: BE.WriteDWord(static_cast<std::uint32_t>(P.Value.AsInteger())); break;
            case pvConstant16: BE.WriteWord(static_cast<std::uint16_t>(P.Value.AsInteger())); break;
            default: break;  // null and undefined carry no data
        }
    }
}

// ---------------------------------------------------------------- branches

void TSWFActionJump::SetBranchOffset(std::int16_t Value) {
    FBranchOffset = Value;
    StaticOffset = true;
}

void TSWFActionJump::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionJump>(Source, *this);
    TSWFAction::CopyFrom(S);
    FBranchOffset = S.FBranchOffset;
    StaticOffset = S.StaticOffset;
}

void TSWFActionJump::ReadFromStream(TBitsEngine& BE) { SetBranchOffset(static_cast<std::int16_t>(BE.ReadWord())); }

void TSWFActionJump::WriteActionBody(TBitsEngine& BE) {
    WriteLabelField(BE, FRecordStart, StaticOffset, BranchOffsetMarker, static_cast<std::uint16_t>(FBranchOffset));
}

void TSWFActionJump::WriteToStream(TBitsEngine& BE) {
    FRecordStart = BE.Stream.Position();
    TSWFAction::WriteToStream(BE);
}

void TSWFActionGetURL2::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionGetURL2>(Source, *this);
    TSWFAction::CopyFrom(S);
    LoadTargetFlag = S.LoadTargetFlag;
    LoadVariablesFlag = S.LoadVariablesFlag;
    SendVarsMethod = S.SendVarsMethod;
}

void TSWFActionGetURL2::ReadFromStream(TBitsEngine& BE) {
    const std::uint8_t B = BE.ReadByte();
    SendVarsMethod = B >> 6;
    LoadTargetFlag = (B & 0x02) != 0;
    LoadVariablesFlag = (B & 0x01) != 0;
}

void TSWFActionGetURL2::WriteActionBody(TBitsEngine& BE) {
    BE.WriteBits(SendVarsMethod, 2);
    BE.WriteBits(0, 4);
    BE.WriteBit(LoadTargetFlag);
    BE.WriteBit(LoadVariablesFlag);
}

void TSWFActionGotoFrame2::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionGotoFrame2>(Source, *this);
    TSWFAction::CopyFrom(S);
    PlayFlag = S.PlayFlag;
    SceneBias = S.SceneBias;
    SceneBiasFlag = S.SceneBiasFlag;
}

void TSWFActionGotoFrame2::ReadFromStream(TBitsEngine& BE) {
    const std::uint8_t B = BE.ReadByte();
    SceneBiasFlag = (B & 0x02) != 0;
    PlayFlag = (B & 0x01) != 0;
    if (SceneBiasFlag) SceneBias = BE.ReadWord();
}

void TSWFActionGotoFrame2::WriteActionBody(TBitsEngine& BE) {
    BE.WriteBits(0, 6);
    BE.WriteBit(SceneBiasFlag);
    BE.WriteBit(PlayFlag);
    if (SceneBiasFlag) BE.WriteWord(SceneBias);
}

void TSWFActionByteCode::SetData(const void* Buffer, std::size_t Size) {
    const auto* P = static_cast<const std::uint8_t*>(Buffer);
    Data.assign(P, P + Size);
}

void TSWFActionByteCode::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionByteCode>(Source, *this);
    TSWFAction::CopyFrom(S);
    Data = S.Data;
}

void TSWFActionByteCode::ReadFromStream(TBitsEngine& BE) {
    Data.assign(BodySize, 0);
    if (BodySize) BE.Stream.ReadBuffer(Data.data(), Data.size());
}

void TSWFActionByteCode::WriteActionBody(TBitsEngine& BE) {
    BE.FlushLastByte(true);
    if (!Data.empty()) BE.Stream.WriteBuffer(Data.data(), Data.size());
}

void TSWFActionStoreRegister::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionStoreRegister>(Source, *this);
    TSWFAction::CopyFrom(S);
    RegisterNumber = S.RegisterNumber;
}

void TSWFActionStoreRegister::ReadFromStream(TBitsEngine& BE) { RegisterNumber = BE.ReadByte(); }

void TSWFActionStoreRegister::WriteActionBody(TBitsEngine& BE) { BE.WriteByte(RegisterNumber); }

void TSWFActionConstantPool::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionConstantPool>(Source, *this);
    TSWFAction::CopyFrom(S);
    ConstantPool = S.ConstantPool;
}

void TSWFActionConstantPool::ReadFromStream(TBitsEngine& BE) {
    ConstantPool.clear();
    const std::uint16_t Count = BE.ReadWord();
    for (std::uint16_t I = 0; I < Count; ++I) ConstantPool.push_back(BE.ReadString());
}

void TSWFActionConstantPool::WriteActionBody(TBitsEngine& BE) {
    BE.WriteWord(static_cast<std::uint16_t>(ConstantPool.size()));
    for (const std::string& S : ConstantPool) BE.WriteString(S, true, false);
}

// ---------------------------------------------------------------- blocks

void TSWFActionWith::SetSize(std::uint16_t Value) {
    FSize = Value;
    StaticOffset = true;
}

void TSWFActionWith::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionWith>(Source, *this);
    TSWFAction::CopyFrom(S);
    FSize = S.FSize;
    StaticOffset = S.StaticOffset;
}

void TSWFActionWith::ReadFromStream(TBitsEngine& BE) { SetSize(BE.ReadWord()); }

void TSWFActionWith::WriteActionBody(TBitsEngine& BE) {
    WriteLabelField(BE, FRecordStart, StaticOffset, SizeMarker, FSize);
}

void TSWFActionWith::WriteToStream(TBitsEngine& BE) {
    FRecordStart = BE.Stream.Position();
    TSWFAction::WriteToStream(BE);
}

void TSWFActionDefineFunction::SetCodeSize(std::uint16_t Value) {
    FCodeSize = Value;
    StaticOffset = true;
}

void TSWFActionDefineFunction::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionDefineFunction>(Source, *this);
    TSWFAction::CopyFrom(S);
    FCodeSize = S.FCodeSize;
    FunctionName = S.FunctionName;
    Params = S.Params;
    StaticOffset = S.StaticOffset;
}

void TSWFActionDefineFunction::ReadFromStream(TBitsEngine& BE) {
    FunctionName = BE.ReadString();
    const std::uint16_t Count = BE.ReadWord();
    Params.clear();
    for (std::uint16_t I = 0; I < Count; ++I) Params.push_back(BE.ReadString());
    SetCodeSize(BE.ReadWord());
}

void TSWFActionDefineFunction::WriteActionBody(TBitsEngine& BE) {
    BE.WriteString(FunctionName, true, false);
    BE.WriteWord(static_cast<std::uint16_t>(Params.size()));
    for (const std::string& P : Params) BE.WriteString(P, true, false);
    WriteLabelField(BE, FRecordStart, StaticOffset, CodeSizeMarker, FCodeSize);
}

void TSWFActionDefineFunction::WriteToStream(TBitsEngine& BE) {
    FRecordStart = BE.Stream.Position();
    TSWFAction::WriteToStream(BE);
}

void TSWFActionDefineFunction2::SetCodeSize(std::uint16_t Value) {
    FCodeSize = Value;
    StaticOffset = true;
}

void TSWFActionDefineFunction2::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionDefineFunction2>(Source, *this);
    TSWFAction::CopyFrom(S);
    FCodeSize = S.FCodeSize;
    FunctionName = S.FunctionName;
    Parameters = S.Parameters;
    PreloadArgumentsFlag = S.PreloadArgumentsFlag;
    PreloadGlobalFlag = S.PreloadGlobalFlag;
    PreloadParentFlag = S.PreloadParentFlag;
    PreloadRootFlag = S.PreloadRootFlag;
    PreloadSuperFlag = S.PreloadSuperFlag;
    PreloadThisFlag = S.PreloadThisFlag;
    RegisterCount = S.RegisterCount;
    StaticOffset = S.StaticOffset;
    SuppressArgumentsFlag = S.SuppressArgumentsFlag;
    SuppressSuperFlag = S.SuppressSuperFlag;
    SuppressThisFlag = S.SuppressThisFlag;
}

void TSWFActionDefineFunction2::ReadFromStream(TBitsEngine& BE) {
    FunctionName = BE.ReadString();
    const std::uint16_t Count = BE.ReadWord();
    RegisterCount = BE.ReadByte();
    const std::uint8_t F1 = BE.ReadByte();
    const std::uint8_t F2 = BE.ReadByte();
    PreloadParentFlag = F1 & 0x80;
    PreloadRootFlag = F1 & 0x40;
    SuppressSuperFlag = F1 & 0x20;
    PreloadSuperFlag = F1 & 0x10;
    SuppressArgumentsFlag = F1 & 0x08;
    PreloadArgumentsFlag = F1 & 0x04;
    SuppressThisFlag = F1 & 0x02;
    PreloadThisFlag = F1 & 0x01;
    PreloadGlobalFlag = F2 & 0x01;
    Parameters.clear();
    for (std::uint16_t I = 0; I < Count; ++I) {
        TSWFRegisterParam P;
        P.Register = BE.ReadByte();
        P.Name = BE.ReadString();
        Parameters.push_back(std::move(P));
    }
    SetCodeSize(BE.ReadWord());
}

void TSWFActionDefineFunction2::WriteActionBody(TBitsEngine& BE) {
    BE.WriteString(FunctionName, true, false);
    BE.WriteWord(static_cast<std::uint16_t>(Parameters.size()));
    BE.WriteByte(RegisterCount);
    BE.WriteBit(PreloadParentFlag);
    BE.WriteBit(PreloadRootFlag);
    BE.WriteBit(SuppressSuperFlag);
    BE.WriteBit(PreloadSuperFlag);
    BE.WriteBit(SuppressArgumentsFlag);
    BE.WriteBit(PreloadArgumentsFlag);
    BE.WriteBit(SuppressThisFlag);
    BE.WriteBit(PreloadThisFlag);
    BE.WriteBits(0, 7);
    BE.WriteBit(PreloadGlobalFlag);
    for (const TSWFRegisterParam& P : Parameters) {
        BE.WriteByte(P.Register);
        BE.WriteString(P.Name, true, false);
    }
    WriteLabelField(BE, FRecordStart, StaticOffset, CodeSizeMarker, FCodeSize);
}

void TSWFActionDefineFunction2::WriteToStream(TBitsEngine& BE) {
    FRecordStart = BE.Stream.Position();
    TSWFAction::WriteToStream(BE);
}

void TSWFActionTry::SetTrySize(std::uint16_t Value) {
    FTrySize = Value;
    StaticOffset = true;
}

void TSWFActionTry::SetCatchSize(std::uint16_t Value) {
    FCatchSize = Value;
    StaticOffset = true;
}

void TSWFActionTry::SetFinallySize(std::uint16_t Value) {
    FFinallySize = Value;
    StaticOffset = true;
}

void TSWFActionTry::CopyFrom(const TSWFAction& Source) {
    const auto& S = ActionSource<TSWFActionTry>(Source, *this);
    TSWFAction::CopyFrom(S);
    CatchBlockFlag = S.CatchBlockFlag;
    CatchInRegisterFlag = S.CatchInRegisterFlag;
    CatchName = S.CatchName;
    CatchRegister = S.CatchRegister;
    FinallyBlockFlag = S.FinallyBlockFlag;
    StaticOffset = S.StaticOffset;
    FTrySize = S.FTrySize;
    FCatchSize = S.FCatchSize;
    FFinallySize = S.FFinallySize;
}

void TSWFActionTry::ReadFromStream(TBitsEngine& BE) {
    const std::uint8_t Flags = BE.ReadByte();
    CatchInRegisterFlag = Flags & 0x04;
    FinallyBlockFlag = Flags & 0x02;
    CatchBlockFlag = Flags & 0x01;
    SetTrySize(BE.ReadWord());
    SetCatchSize(BE.ReadWord());
    SetFinallySize(BE.ReadWord());
    if (CatchInRegisterFlag) {
        CatchRegister = BE.ReadByte();
        CatchName.clear();
    } else {
        CatchName = BE.ReadString();
    }
}

void TSWFActionTry::WriteActionBody(TBitsEngine& BE) {
    BE.WriteBits(0, 5);
    BE.WriteBit(CatchInRegisterFlag);
    BE.WriteBit(FinallyBlockFlag);
    BE.WriteBit(CatchBlockFlag);
    const std::int64_t BodyStart = FRecordStart + 3;
    const std::int64_t BodyLength =
        7 + (CatchInRegisterFlag ? 1 : static_cast<std::int64_t>(CatchName.size()) + 1);
    // Where a block ends: at its label, or a number of bytes after the end
    // of the block before it (after the record for the try block).
    struct TBlockEnd {
        const TSWFOffsetMarker* Marker;
        std::int64_t Offset;
    };
    auto SizeField = [&](bool Present, TSWFMarkerField& Field, std::uint16_t Value, TBlockEnd Previous) {
        if (Present && UsesLabel(StaticOffset, Field)) {
            TSWFOffsetMarker& M = *Field.Ptr();
            M.StartPosition = static_cast<std::int32_t>(BodyStart + BE.Stream.Position());
            M.WriteOffset(BE, Previous.Marker, Previous.Offset);
            return TBlockEnd{&M, 0};
        }
        BE.WriteWord(Value);
        return TBlockEnd{Previous.Marker, Previous.Offset + (Present ? Value : 0)};
    };
    const TBlockEnd TryEnd = SizeField(true, TrySizeMarker, FTrySize, TBlockEnd{nullptr, BodyStart + BodyLength});
    const TBlockEnd CatchEnd = SizeField(CatchBlockFlag, CatchSizeMarker, FCatchSize, TryEnd);
    SizeField(FinallyBlockFlag, FinallySizeMarker, FFinallySize, CatchEnd);
    if (CatchInRegisterFlag) BE.WriteByte(CatchRegister);
    else BE.WriteString(CatchName, true, false);
}

void TSWFActionTry::WriteToStream(TBitsEngine& BE) {
    FRecordStart = BE.Stream.Position();
    TSWFAction::WriteToStream(BE);
}

// ---------------------------------------------------------------- list operations

std::unique_ptr<TSWFAction> CreateActionByCode(std::uint8_t Code) {
    switch (Code) {
#define ANIVERT_ACTION_CASE(Name, Base, ActCode) \
    case ActCode: return std::make_unique<Name>();
        ANIVERT_SWF_ALL_ACTIONS(ANIVERT_ACTION_CASE)
#undef ANIVERT_ACTION_CASE
        default: return nullptr;
    }
}

std::int64_t GetFullSize(const TSWFAction& Action) {
    if (dynamic_cast<const TSWFOffsetMarker*>(&Action)) return 0;
    if (auto* B = dynamic_cast<const TSWFActionByteCode*>(&Action)) return B->DataSize();
    if (Action.ActionCode < 0x80) return 1;
    return static_cast<std::int64_t>(Action.BodySize) + 3;
}

namespace {

std::string Where(std::uint8_t Code, std::int64_t At) {
    return std::string("Action ") + CodeText(Code) + " (" + ActionName(Code) + ") at byte " + std::to_string(At) +
           " of its list";
}

// A label request of the reader: the field of an action and the place in
// the list it points to.
struct TLabelRequest {
    std::int64_t Target;
    TSWFOffsetMarker* Marker;
};

}  // namespace

void ReadActionList(TBitsEngine& BE, TSWFActionList& List, std::int64_t Size, bool Parse) {
    std::vector<std::uint8_t> Raw;  // the bytes of an unparsed list
    const std::size_t First = List.Count();
    std::int64_t Used = 0;
    while (Used < Size) {
        const std::int64_t At = Used;
        const std::uint8_t Code = BE.ReadByte();
        ++Used;
        if (Code == 0) break;
        std::uint16_t Length = 0;
        std::vector<std::uint8_t> Body;
        if (Code >= 0x80) {
            if (Size - Used < 2) throw EReadError(Where(Code, At) + " ends inside its length");
            Length = BE.ReadWord();
            Used += 2;
            if (Length > Size - Used)
                throw EReadError(Where(Code, At) + " has a length of " + std::to_string(Length) +
                                 " bytes, past the end of the list (" + std::to_string(Size - Used) + " bytes left)");
            Body.resize(Length);
            if (Length) BE.Stream.ReadBuffer(Body.data(), Length);
            Used += Length;
        }
        auto KeepRaw = [&](std::vector<std::uint8_t>& Into) {
            Into.push_back(Code);
            if (Code >= 0x80) {
                Into.push_back(static_cast<std::uint8_t>(Length));
                Into.push_back(static_cast<std::uint8_t>(Length >> 8));
                Into.insert(Into.end(), Body.begin(), Body.end());
            }
        };
        if (!Parse) {
            KeepRaw(Raw);
            continue;
        }
        // The pseudo codes are no actions of a file: kept raw like any code
        // without a class, so that nothing read is lost.
        std::unique_ptr<TSWFAction> A;
        if (Code != actionByteCode && Code != actionOffsetMarker) A = CreateActionByCode(Code);
        if (!A) {
            auto B = std::make_unique<TSWFActionByteCode>();
            KeepRaw(B->Data);
            List.FItems.push_back(std::move(B));
            continue;
        }
        A->BodySize = Length;
        if (Code >= 0x80) {
            TMemoryStream S(std::move(Body));
            TBitsEngine SB(S);
            try {
                A->ReadFromStream(SB);
            } catch (const EReadError& E) {
                throw EReadError(Where(Code, At) + " is malformed: " + E.what());
            }
        }
        List.FItems.push_back(std::move(A));
    }
    if (!Parse) {
        if (!Raw.empty()) {
            auto B = std::make_unique<TSWFActionByteCode>();
            B->Data = std::move(Raw);
            List.FItems.push_back(std::move(B));
        }
        return;
    }

    // Labels: the start of every item read, and of the end of the list.
    auto& Items = List.FItems;
    const std::size_t N = Items.size() - First;
    std::vector<std::int64_t> Start(N + 1, 0);
    for (std::size_t I = 0; I < N; ++I) Start[I + 1] = Start[I] + GetFullSize(*Items[First + I]);
    std::vector<std::unique_ptr<TSWFOffsetMarker>> Labels;
    std::vector<TLabelRequest> Requests;
    int Number = 0;
    for (std::size_t I = 0; I < N; ++I) {
        TSWFAction& A = *Items[First + I];
        const std::int64_t End = Start[I + 1];
        auto Place = [&](TSWFMarkerField& Field, std::int64_t Target, std::int64_t Offset) {
            const bool OnBoundary = Target >= 0 && Target <= Start[N] && std::binary_search(Start.begin(), Start.end(), Target);
            if (!OnBoundary) {
                Field.Set(nullptr);
                TSWFOffsetMarker& M = Field.Get();  // kept by the action, never placed
                M.ManualSet = false;
                M.MarkerName = "Error Size offset: " + std::to_string(Offset);
                return;
            }
            auto M = std::make_unique<TSWFOffsetMarker>();
            M->ManualSet = false;
            M->JumpToBack = Target < End;
            M->MarkerName = "label " + std::to_string(++Number);
            Field.Set(M.get());
            Requests.push_back(TLabelRequest{Target, M.get()});
            Labels.push_back(std::move(M));
        };
        if (auto* J = dynamic_cast<TSWFActionJump*>(&A)) {
            Place(J->BranchOffsetMarker, End + J->BranchOffset(), J->BranchOffset());
        } else if (auto* W = dynamic_cast<TSWFActionWith*>(&A)) {
            Place(W->SizeMarker, End + W->Size(), W->Size());
        } else if (auto* F = dynamic_cast<TSWFActionDefineFunction*>(&A)) {
            Place(F->CodeSizeMarker, End + F->CodeSize(), F->CodeSize());
        } else if (auto* F2 = dynamic_cast<TSWFActionDefineFunction2*>(&A)) {
            Place(F2->CodeSizeMarker, End + F2->CodeSize(), F2->CodeSize());
        } else if (auto* T = dynamic_cast<TSWFActionTry*>(&A)) {
            const std::int64_t TryEnd = End + T->TrySize();
            Place(T->TrySizeMarker, TryEnd, T->TrySize());
            std::int64_t CatchEnd = TryEnd;
            if (T->CatchBlockFlag) {
                CatchEnd += T->CatchSize();
                Place(T->CatchSizeMarker, CatchEnd, T->CatchSize());
            }
            if (T->FinallyBlockFlag) Place(T->FinallySizeMarker, CatchEnd + T->FinallySize(), T->FinallySize());
        }
    }
    if (Labels.empty()) return;
    // Merge the labels in by position, those at one place in the order of
    // the actions referring to them.
    std::unordered_map<const TSWFOffsetMarker*, std::unique_ptr<TSWFOffsetMarker>*> Own;
    for (auto& L : Labels) Own[L.get()] = &L;
    std::stable_sort(Requests.begin(), Requests.end(),
                     [](const TLabelRequest& A, const TLabelRequest& B) { return A.Target < B.Target; });
    std::vector<std::unique_ptr<TSWFAction>> Merged;
    Merged.reserve(Items.size() + Requests.size());
    for (std::size_t I = 0; I < First; ++I) Merged.push_back(std::move(Items[I]));
    std::size_t R = 0;
    for (std::size_t I = 0; I <= N; ++I) {
        while (R < Requests.size() && Requests[R].Target == Start[I]) Merged.push_back(std::move(*Own[Requests[R++].Marker]));
        if (I < N) Merged.push_back(std::move(Items[First + I]));
    }
    Items = std::move(Merged);
}

void CopyActionList(const TSWFActionList& Source, TSWFActionList& Dest) {
    const std::size_t N = Source.Count();
    const std::size_t Base = Dest.Count();
    std::unordered_map<const TSWFAction*, std::size_t> Index;
    for (std::size_t I = 0; I < N; ++I) Index[&Source[I]] = I;
    for (std::size_t I = 0; I < N; ++I) {
        const TSWFAction& S = Source[I];
        std::unique_ptr<TSWFAction> C = CreateActionByCode(S.ActionCode);
        if (!C) throw EAssignError("Cannot copy action with code " + CodeText(S.ActionCode));
        C->CopyFrom(S);
        Dest.Add(std::move(C));
    }
    for (std::size_t I = 0; I < N; ++I) {
        const std::vector<TSWFMarkerField*> From = const_cast<TSWFAction&>(Source[I]).MarkerFields();
        const std::vector<TSWFMarkerField*> To = Dest[Base + I].MarkerFields();
        for (std::size_t K = 0; K < From.size() && K < To.size(); ++K) {
            const TSWFOffsetMarker* M = From[K]->Ptr();
            if (!M) continue;
            const auto It = Index.find(M);
            if (It != Index.end()) To[K]->Set(static_cast<TSWFOffsetMarker*>(&Dest[Base + It->second]));
            else To[K]->Get().CopyFrom(*M);
        }
    }
}

// ---------------------------------------------------------------- tags

TSWFDoAction::TSWFDoAction() : TSWFDoAction(tagDoAction, nullptr) {}

TSWFDoAction::TSWFDoAction(TSWFActionList& List) : TSWFDoAction(tagDoAction, &List) {}

TSWFDoAction::TSWFDoAction(std::uint16_t ATagID, TSWFActionList* List) : TSWFObject(ATagID), FActions(List) {
    if (!FActions) {
        FOwnedActions = std::make_unique<TSWFActionList>();
        FActions = FOwnedActions.get();
    }
}

TSWFDoAction::~TSWFDoAction() = default;

void TSWFDoAction::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDoAction>(Source, "DoAction tag");
    TSWFObject::CopyFrom(S);
    ParseActions = S.ParseActions;
    if (&S.Actions() != &Actions()) {
        Actions().Clear();
        CopyActionList(S.Actions(), Actions());
    }
}

std::uint8_t TSWFDoAction::MinVersion() const { return std::max<std::uint8_t>(3, Actions().MinVersion()); }

void TSWFDoAction::ReadActions(TBitsEngine& BE, std::int64_t Size) {
    Actions().Clear();
    if (ParseActions) {
        ReadActionList(BE, Actions(), Size, true);
        return;
    }
    // Unparsed: the body up to its final end byte, as it is.
    auto B = std::make_unique<TSWFActionByteCode>();
    B->Data.resize(static_cast<std::size_t>(std::max<std::int64_t>(Size, 0)));
    if (!B->Data.empty()) BE.Stream.ReadBuffer(B->Data.data(), B->Data.size());
    if (!B->Data.empty() && B->Data.back() == 0) B->Data.pop_back();
    if (!B->Data.empty()) Actions().Add(std::move(B));
}

void TSWFDoAction::ReadFromStream(TBitsEngine& BE) { ReadActions(BE, BodySize); }

void TSWFDoAction::WriteTagBody(TBitsEngine& BE) {
    Actions().WriteToStream(BE);
    BE.WriteByte(0);
}

TSWFDoInitAction::TSWFDoInitAction() : TSWFDoAction(tagDoInitAction, nullptr) {}

TSWFDoInitAction::TSWFDoInitAction(TSWFActionList& List) : TSWFDoAction(tagDoInitAction, &List) {}

void TSWFDoInitAction::CopyFrom(const TBasedSWFObject& Source) {
    const auto& S = AssignSource<TSWFDoInitAction>(Source, "DoInitAction tag");
    TSWFDoAction::CopyFrom(S);
    SpriteID = S.SpriteID;
}

std::uint8_t TSWFDoInitAction::MinVersion() const { return std::max<std::uint8_t>(6, Actions().MinVersion()); }

void TSWFDoInitAction::ReadFromStream(TBitsEngine& BE) {
    SpriteID = BE.ReadWord();
    ReadActions(BE, static_cast<std::int64_t>(BodySize) - 2);
}

void TSWFDoInitAction::WriteTagBody(TBitsEngine& BE) {
    BE.WriteWord(SpriteID);
    TSWFDoAction::WriteTagBody(BE);
}

}  // namespace anivert
