#include "SWFBits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace anivert {

// ------------------------------------------------------------ free functions

std::uint8_t GetBitsCount(std::int64_t Value, std::uint8_t Extra) {
    if (Value == 0) return 0;
    const std::uint64_t Mag = Value < 0 ? static_cast<std::uint64_t>(-Value) : static_cast<std::uint64_t>(Value);
    if (Mag >= (std::uint64_t{1} << 31)) return Extra;
    std::uint8_t N = 1;
    std::uint64_t Limit = 2;
    while (Mag >= Limit) {
        Limit <<= 1;
        ++N;
    }
    return static_cast<std::uint8_t>(N + Extra);
}

std::int64_t MaxAbs(std::int64_t A, std::int64_t B) {
    A = std::llabs(A);
    B = std::llabs(B);
    return A > B ? A : B;
}

std::int64_t MaxAbs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D) {
    return MaxAbs(MaxAbs(A, B), MaxAbs(C, D));
}

bool CheckBit(std::uint32_t Value, unsigned N) {
    if (N < 1 || N > 16) return false;
    return ((Value & 0xFFFFu) >> (N - 1)) & 1u;
}

std::int32_t SingleToFixed(float X) {
    return static_cast<std::int32_t>(std::trunc(static_cast<double>(X) * 65536.0));
}

std::uint16_t SingleToWord(float X) {
    const double D = static_cast<double>(X);
    const double IntPart = std::trunc(D);
    const double Frac = std::nearbyint((D - IntPart) * 256.0);  // ties to even
    return static_cast<std::uint16_t>(static_cast<std::int32_t>(IntPart) * 256 + static_cast<std::int32_t>(Frac));
}

float WordToSingle(std::uint16_t W) {
    return static_cast<float>(W >> 8) + static_cast<float>(W & 255) / 256.0f;
}

std::u16string CodePageToUTF16(const std::string& S) {
    std::u16string Out;
    Out.reserve(S.size());
    const auto* P = reinterpret_cast<const unsigned char*>(S.data());
    const std::size_t N = S.size();
    std::size_t I = 0;
    while (I < N) {
        const unsigned C = P[I];
        std::uint32_t Cp = 0xFFFD;
        std::size_t Len = 1;
        if (C < 0x80) {
            Cp = C;
        } else {
            std::size_t Need = 0;
            std::uint32_t Min = 0;
            if (C >= 0xC2 && C <= 0xDF) { Need = 1; Cp = C & 0x1F; Min = 0x80; }
            else if (C >= 0xE0 && C <= 0xEF) { Need = 2; Cp = C & 0x0F; Min = 0x800; }
            else if (C >= 0xF0 && C <= 0xF4) { Need = 3; Cp = C & 0x07; Min = 0x10000; }
            bool Ok = Need > 0;
            for (std::size_t K = 1; Ok && K <= Need; ++K) {
                if (I + K >= N || (P[I + K] & 0xC0) != 0x80) Ok = false;
                else Cp = (Cp << 6) | (P[I + K] & 0x3F);
            }
            if (Ok && (Cp < Min || Cp > 0x10FFFF || (Cp >= 0xD800 && Cp <= 0xDFFF))) Ok = false;
            if (Ok) Len = Need + 1;
            else Cp = 0xFFFD;
        }
        if (Cp >= 0x10000) {
            Cp -= 0x10000;
            Out.push_back(static_cast<char16_t>(0xD800 + (Cp >> 10)));
            Out.push_back(static_cast<char16_t>(0xDC00 + (Cp & 0x3FF)));
        } else {
            Out.push_back(static_cast<char16_t>(Cp));
        }
        I += Len;
    }
    return Out;
}

std::size_t EncodeUTF8(std::uint8_t* Dest, std::size_t DestLen, const char16_t* Source, std::size_t Count) {
    std::uint8_t Seq[4];
    std::size_t Stored = 0;  // bytes of characters (the terminator not counted)
    const bool Measure = Dest == nullptr;
    if (!Measure && DestLen == 0) return 0;
    for (std::size_t I = 0; I < Count; ++I) {
        std::uint32_t C = Source[I];
        if (C >= 0xD800 && C <= 0xDBFF && I + 1 < Count && Source[I + 1] >= 0xDC00 && Source[I + 1] <= 0xDFFF) {
            C = 0x10000 + ((C - 0xD800) << 10) + (Source[I + 1] - 0xDC00);
            ++I;
        } else if (C >= 0xD800 && C <= 0xDFFF) {
            C = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        std::size_t L;
        if (C < 0x80) {
            Seq[0] = static_cast<std::uint8_t>(C);
            L = 1;
        } else if (C < 0x800) {
            Seq[0] = static_cast<std::uint8_t>(0xC0 | (C >> 6));
            Seq[1] = static_cast<std::uint8_t>(0x80 | (C & 0x3F));
            L = 2;
        } else if (C < 0x10000) {
            Seq[0] = static_cast<std::uint8_t>(0xE0 | (C >> 12));
            Seq[1] = static_cast<std::uint8_t>(0x80 | ((C >> 6) & 0x3F));
            Seq[2] = static_cast<std::uint8_t>(0x80 | (C & 0x3F));
            L = 3;
        } else {
            Seq[0] = static_cast<std::uint8_t>(0xF0 | (C >> 18));
            Seq[1] = static_cast<std::uint8_t>(0x80 | ((C >> 12) & 0x3F));
            Seq[2] = static_cast<std::uint8_t>(0x80 | ((C >> 6) & 0x3F));
            Seq[3] = static_cast<std::uint8_t>(0x80 | (C & 0x3F));
            L = 4;
        }
        if (!Measure) {
            if (Stored + L > DestLen - 1) break;
            for (std::size_t K = 0; K < L; ++K) Dest[Stored + K] = Seq[K];
        }
        Stored += L;
    }
    if (!Measure) Dest[Stored] = 0;
    return Stored + 1;
}

std::string StringToUTF8(const std::string& S) {
    if (S.empty()) return std::string();
    const std::u16string W = CodePageToUTF16(S);
    std::vector<std::uint8_t> Buf(3 * W.size() + 1);
    const std::size_t N = EncodeUTF8(Buf.data(), Buf.size(), W.data(), W.size());
    return std::string(reinterpret_cast<const char*>(Buf.data()), N - 1);
}

// ------------------------------------------------------------ writing

namespace {

// A bit count must fit the record's size field; a value whose count does
// not (for example -16384 in a colour transform, counted as 16 bits) is
// refused rather than written as a corrupt record.
std::uint8_t FieldBits(std::int64_t MaxValue, unsigned SizeBits, const char* Record) {
    const std::uint8_t N = GetBitsCount(MaxValue, 1);
    if (N >= (1u << SizeBits) || MaxValue >= (std::int64_t{1} << 31))
        throw std::length_error(std::string(Record) + " value " + std::to_string(MaxValue) + " needs " +
                                std::to_string(N) + " bits, more than its size field holds");
    return N;
}

}  // namespace

void TBitsEngine::PutByte(std::uint8_t B) { Stream.WriteBuffer(&B, 1); }

std::uint8_t TBitsEngine::GetByte() {
    std::uint8_t B;
    if (Stream.Read(&B, 1) != 1) throw EReadError("Unexpected end of data");
    return B;
}

void TBitsEngine::WriteBits(std::uint32_t Value, unsigned Count) {
    if (Count == 0) return;
    if (Count > 32) Count = 32;
    const std::uint64_t V = Count == 32 ? Value : (Value & ((std::uint32_t{1} << Count) - 1));
    const unsigned Total = FBitCount + Count;
    const unsigned NBytes = Total / 8;
    if (NBytes == 0) {
        FBitBuf = static_cast<std::uint8_t>((FBitBuf << Count) | V);
        FBitCount = static_cast<std::uint8_t>(Total);
        return;
    }
    const unsigned Rem = Total % 8;
    std::uint64_t Word;
    if (Rem == 0) {
        Word = (static_cast<std::uint64_t>(FBitBuf) << Count) + V;
        FBitBuf = 0;
        FBitCount = 0;
    } else {
        Word = (static_cast<std::uint64_t>(FBitBuf) << (Count - Rem)) + (V >> Rem);
        FBitCount = static_cast<std::uint8_t>(Rem);
        FBitBuf = static_cast<std::uint8_t>(Value & ((1u << Rem) - 1));
    }
    for (unsigned I = NBytes; I-- > 0;) PutByte(static_cast<std::uint8_t>(Word >> (8 * I)));
}

void TBitsEngine::FlushLastByte(bool Pad) {
    if (FBitCount == 0) return;
    if (Pad && FBitCount < 8) WriteBits(0, 8u - FBitCount);
    FBitBuf = 0;
    FBitCount = 0;
}

void TBitsEngine::WriteByte(std::uint8_t Value) {
    if (FBitCount > 0) WriteBits(Value, 8);
    else PutByte(Value);
}

void TBitsEngine::WriteWord(std::uint16_t Value) {
    FlushLastByte(true);
    const std::uint8_t B[2] = {static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8)};
    Stream.WriteBuffer(B, 2);
}

void TBitsEngine::WriteDWord(std::uint32_t Value) {
    FlushLastByte(true);
    const std::uint8_t B[4] = {static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8),
                               static_cast<std::uint8_t>(Value >> 16), static_cast<std::uint8_t>(Value >> 24)};
    Stream.WriteBuffer(B, 4);
}

void TBitsEngine::Write3Bytes(std::uint32_t Value) {
    const std::uint8_t B[3] = {static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8),
                               static_cast<std::uint8_t>(Value >> 16)};
    Stream.WriteBuffer(B, 3);
}

void TBitsEngine::Write4Bytes(std::uint32_t Value) {
    const std::uint8_t B[4] = {static_cast<std::uint8_t>(Value), static_cast<std::uint8_t>(Value >> 8),
                               static_cast<std::uint8_t>(Value >> 16), static_cast<std::uint8_t>(Value >> 24)};
    Stream.WriteBuffer(B, 4);
}

void TBitsEngine::WriteString(const std::string& S, bool AddNull, bool UTF8) {
    const std::string Bytes = UTF8 ? StringToUTF8(S) : S;
    if (FBitCount == 0) {
        Stream.WriteBuffer(Bytes.data(), Bytes.size());
    } else {
        for (char C : Bytes) WriteByte(static_cast<std::uint8_t>(C));
    }
    if (AddNull) WriteByte(0);
}

void TBitsEngine::WriteRectRec(const TSWFRectRec& R) {
    const std::uint8_t N = FieldBits(MaxAbs(R.Xmin, R.Xmax, R.Ymin, R.Ymax), 5, "Rectangle");
    WriteBits(N, 5);
    WriteBits(static_cast<std::uint32_t>(R.Xmin), N);
    WriteBits(static_cast<std::uint32_t>(R.Xmax), N);
    WriteBits(static_cast<std::uint32_t>(R.Ymin), N);
    WriteBits(static_cast<std::uint32_t>(R.Ymax), N);
    FlushLastByte(true);
}

void TBitsEngine::WriteRect(const TRect& R) {
    TSWFRectRec Rec;
    Rec.Xmin = std::min(R.Left, R.Right);
    Rec.Xmax = std::max(R.Left, R.Right);
    Rec.Ymin = std::min(R.Top, R.Bottom);
    Rec.Ymax = std::max(R.Top, R.Bottom);
    WriteRectRec(Rec);
}

void TBitsEngine::WriteMatrix(const TSWFMatrixRec& M) {
    WriteBit(M.HasScale);
    if (M.HasScale) {
        const std::uint8_t N = FieldBits(MaxAbs(M.ScaleX, M.ScaleY), 5, "Matrix scale");
        WriteBits(N, 5);
        WriteBits(static_cast<std::uint32_t>(M.ScaleX), N);
        WriteBits(static_cast<std::uint32_t>(M.ScaleY), N);
    }
    WriteBit(M.HasSkew);
    if (M.HasSkew) {
        const std::uint8_t N = FieldBits(MaxAbs(M.SkewX, M.SkewY), 5, "Matrix skew");
        WriteBits(N, 5);
        WriteBits(static_cast<std::uint32_t>(M.SkewY), N);
        WriteBits(static_cast<std::uint32_t>(M.SkewX), N);
    }
    const std::uint8_t N = FieldBits(MaxAbs(M.TranslateX, M.TranslateY), 5, "Matrix translation");
    WriteBits(N, 5);
    if (N > 0) {
        WriteBits(static_cast<std::uint32_t>(M.TranslateX), N);
        WriteBits(static_cast<std::uint32_t>(M.TranslateY), N);
    }
    FlushLastByte(true);
}

void TBitsEngine::WriteColorTransform(const TSWFColorTransformRec& C) {
    std::uint8_t NA = 0, NM = 0;
    if (C.HasAdd) NA = FieldBits(MaxAbs(C.AddR, C.AddG, C.AddB, C.HasAlpha ? C.AddA : 0), 4, "Colour transform");
    if (C.HasMult) NM = FieldBits(MaxAbs(C.MultR, C.MultG, C.MultB, C.HasAlpha ? C.MultA : 0), 4, "Colour transform");
    const std::uint8_t N = std::max(NA, NM);
    WriteBit(C.HasAdd);
    WriteBit(C.HasMult);
    if (C.HasAdd || C.HasMult) {
        WriteBits(N, 4);
        if (C.HasMult) {
            WriteBits(static_cast<std::uint32_t>(C.MultR), N);
            WriteBits(static_cast<std::uint32_t>(C.MultG), N);
            WriteBits(static_cast<std::uint32_t>(C.MultB), N);
            if (C.HasAlpha) WriteBits(static_cast<std::uint32_t>(C.MultA), N);
        }
        if (C.HasAdd) {
            WriteBits(static_cast<std::uint32_t>(C.AddR), N);
            WriteBits(static_cast<std::uint32_t>(C.AddG), N);
            WriteBits(static_cast<std::uint32_t>(C.AddB), N);
            if (C.HasAlpha) WriteBits(static_cast<std::uint32_t>(C.AddA), N);
        }
    }
    FlushLastByte(true);
}

// ------------------------------------------------------------ reading

std::uint32_t TBitsEngine::ReadBits(unsigned Count) {
    if (Count < 1) return 0;
    if (Count > 32) Count = 32;
    std::uint64_t Result = 0;
    unsigned Wanted = Count;
    while (Wanted > FBitCount) {
        Result = (Result << FBitCount) | (FBitBuf & ((1u << FBitCount) - 1));
        Wanted -= FBitCount;
        FBitBuf = GetByte();
        FBitCount = 8;
    }
    const unsigned Shift = FBitCount - Wanted;
    Result = (Result << Wanted) | ((FBitBuf >> Shift) & ((1u << Wanted) - 1));
    FBitCount = static_cast<std::uint8_t>(Shift);
    FBitBuf = static_cast<std::uint8_t>(FBitBuf & ((1u << Shift) - 1));
    return static_cast<std::uint32_t>(Result);
}

std::int32_t TBitsEngine::ReadSBits(unsigned Count) {
    if (Count < 1) return 0;
    if (Count > 32) Count = 32;
    const std::uint32_t V = ReadBits(Count);
    if (Count == 32) return static_cast<std::int32_t>(V);
    if (V & (std::uint32_t{1} << (Count - 1))) return static_cast<std::int32_t>(V | ~((std::uint32_t{1} << Count) - 1));
    return static_cast<std::int32_t>(V);
}

std::uint8_t TBitsEngine::ReadByte() { return GetByte(); }

std::uint16_t TBitsEngine::ReadWord() {
    std::uint8_t B[2];
    Stream.ReadBuffer(B, 2);
    return static_cast<std::uint16_t>(B[0] | (B[1] << 8));
}

std::uint32_t TBitsEngine::ReadDWord() {
    std::uint8_t B[4];
    Stream.ReadBuffer(B, 4);
    return B[0] | (B[1] << 8) | (B[2] << 16) | (static_cast<std::uint32_t>(B[3]) << 24);
}

std::uint32_t TBitsEngine::Read3Bytes() {
    std::uint8_t B[3];
    Stream.ReadBuffer(B, 3);
    return B[0] | (B[1] << 8) | (B[2] << 16);
}

std::uint32_t TBitsEngine::Read4Bytes() { return ReadDWord(); }

TSWFRectRec TBitsEngine::ReadRect() {
    TSWFRectRec R;
    const unsigned N = ReadBits(5);
    R.Xmin = ReadSBits(N);
    R.Xmax = ReadSBits(N);
    R.Ymin = ReadSBits(N);
    R.Ymax = ReadSBits(N);
    FlushLastByte(false);
    return R;
}

TSWFMatrixRec TBitsEngine::ReadMatrix() {
    TSWFMatrixRec M;
    M.HasScale = ReadBits(1) != 0;
    if (M.HasScale) {
        const unsigned N = ReadBits(5);
        M.ScaleX = ReadSBits(N);
        M.ScaleY = ReadSBits(N);
    }
    M.HasSkew = ReadBits(1) != 0;
    if (M.HasSkew) {
        const unsigned N = ReadBits(5);
        M.SkewY = ReadSBits(N);
        M.SkewX = ReadSBits(N);
    }
    const unsigned N = ReadBits(5);
    M.TranslateX = ReadSBits(N);
    M.TranslateY = ReadSBits(N);
    FlushLastByte(false);
    return M;
}

TSWFColorTransformRec TBitsEngine::ReadColorTransform(bool HasAlpha) {
    TSWFColorTransformRec C;
    C.HasAlpha = HasAlpha;
    C.HasAdd = ReadBits(1) != 0;
    C.HasMult = ReadBits(1) != 0;
    if (C.HasAdd || C.HasMult) {
        const unsigned N = ReadBits(4);
        if (C.HasMult) {
            C.MultR = static_cast<std::int16_t>(ReadSBits(N));
            C.MultG = static_cast<std::int16_t>(ReadSBits(N));
            C.MultB = static_cast<std::int16_t>(ReadSBits(N));
            if (HasAlpha) C.MultA = static_cast<std::int16_t>(ReadSBits(N));
        }
        if (C.HasAdd) {
            C.AddR = static_cast<std::int16_t>(ReadSBits(N));
            C.AddG = static_cast<std::int16_t>(ReadSBits(N));
            C.AddB = static_cast<std::int16_t>(ReadSBits(N));
            if (HasAlpha) C.AddA = static_cast<std::int16_t>(ReadSBits(N));
        }
    }
    FlushLastByte(false);
    return C;
}

std::string TBitsEngine::ReadString() {
    std::string S;
    for (;;) {
        const std::uint8_t B = GetByte();
        if (B == 0) break;
        S.push_back(static_cast<char>(B));
    }
    return S;
}

std::string TBitsEngine::ReadFixedString(std::uint8_t Len) {
    std::string S(Len, '\0');
    if (Len) Stream.ReadBuffer(S.data(), Len);
    return S;
}

// ------------------------------------------------------------ records

void TSWFRect::SetRect(std::int32_t Left, std::int32_t Top, std::int32_t Right, std::int32_t Bottom) {
    Xmin = Left;
    Ymin = Top;
    Xmax = Right;
    Ymax = Bottom;
    CompareXY(3);
}

void TSWFRect::CompareXY(unsigned Flags) {
    if ((Flags & 1) && Xmin > Xmax) std::swap(Xmin, Xmax);
    if ((Flags & 2) && Ymin > Ymax) std::swap(Ymin, Ymax);
}

void TSWFRGB::SetRGB(std::uint32_t Color) {
    R = static_cast<std::uint8_t>(Color);
    G = static_cast<std::uint8_t>(Color >> 8);
    B = static_cast<std::uint8_t>(Color >> 16);
}

void TSWFRGB::CopyFrom(const TSWFRGB& Source) { TSWFRGB::SetRGB(Source.RGB()); }

void TSWFRGBA::SetRGB(std::uint32_t Color) {
    TSWFRGB::SetRGB(Color);
    A = 255;
}

void TSWFRGBA::CopyFrom(const TSWFRGB& Source) {
    if (auto* S = dynamic_cast<const TSWFRGBA*>(&Source)) SetRGBA(S->RGBA());
    else SetRGB(Source.RGB());
}

void TSWFRGBA::SetA(std::uint8_t Value) {
    A = Value;
    if (Value != 255) HasAlpha = true;
}

void TSWFRGBA::SetHasAlpha(bool Value) {
    HasAlpha = Value;
    if (!Value) A = 255;
}

void TSWFRGBA::SetRGBA(std::uint32_t Color) {
    TSWFRGB::SetRGB(Color);
    SetA(static_cast<std::uint8_t>(Color >> 24));
}

TSWFColorTransformRec TSWFColorTransform::GetRec() const {
    TSWFColorTransformRec R;
    R.HasAlpha = HasAlpha;
    R.HasAdd = HasAdd;
    R.HasMult = HasMult;
    if (HasAdd) {
        R.AddR = static_cast<std::int16_t>(FAddR);
        R.AddG = static_cast<std::int16_t>(FAddG);
        R.AddB = static_cast<std::int16_t>(FAddB);
        if (HasAlpha) R.AddA = static_cast<std::int16_t>(FAddA);
    }
    if (HasMult) {
        R.MultR = static_cast<std::int16_t>(FMultR);
        R.MultG = static_cast<std::int16_t>(FMultG);
        R.MultB = static_cast<std::int16_t>(FMultB);
        if (HasAlpha) R.MultA = static_cast<std::int16_t>(FMultA);
    }
    return R;
}

void TSWFColorTransform::SetRec(const TSWFColorTransformRec& R) {
    HasAlpha = R.HasAlpha;
    if (R.HasAdd) {
        SetAddR(R.AddR);
        SetAddG(R.AddG);
        SetAddB(R.AddB);
        if (HasAlpha) SetAddA(R.AddA);
    } else {
        HasAdd = false;
    }
    if (R.HasMult) {
        SetMultR(R.MultR);
        SetMultG(R.MultG);
        SetMultB(R.MultB);
        if (HasAlpha) SetMultA(R.MultA);
    } else {
        HasMult = false;
    }
}

void TSWFMatrix::SetScale(float AScaleX, float AScaleY) {
    ScaleX = SingleToFixed(AScaleX);
    ScaleY = SingleToFixed(AScaleY);
    HasScale = true;
}

void TSWFMatrix::SetScaleX(float Value) {
    ScaleX = SingleToFixed(Value);
    HasScale = true;
}

void TSWFMatrix::SetScaleY(float Value) {
    ScaleY = SingleToFixed(Value);
    HasScale = true;
}

TSWFMatrixRec TSWFMatrix::GetRec() const {
    return TSWFMatrixRec{HasScale, HasSkew, ScaleX, ScaleY, SkewX, SkewY, TranslateX, TranslateY};
}

void TSWFMatrix::SetRec(const TSWFMatrixRec& R) {
    HasScale = R.HasScale;
    HasSkew = R.HasSkew;
    ScaleX = R.ScaleX;
    ScaleY = R.ScaleY;
    SkewX = R.SkewX;
    SkewY = R.SkewY;
    TranslateX = R.TranslateX;
    TranslateY = R.TranslateY;
}

}  // namespace anivert
