// The bit-level writer and reader of SWF records, the primitive records
// (rectangle, colours, colour transform, matrix) and the helpers for bit
// counts and fixed-point numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Streams.h"
#include "Types.h"

namespace anivert {

// Plain records passed by value.
struct TSWFRectRec {
    std::int32_t Xmin = 0;
    std::int32_t Xmax = 0;
    std::int32_t Ymin = 0;
    std::int32_t Ymax = 0;
    friend bool operator==(const TSWFRectRec&, const TSWFRectRec&) = default;
};

struct TSWFMatrixRec {
    bool HasScale = false;
    bool HasSkew = false;
    std::int32_t ScaleX = 0;
    std::int32_t ScaleY = 0;
    std::int32_t SkewX = 0;
    std::int32_t SkewY = 0;
    std::int32_t TranslateX = 0;
    std::int32_t TranslateY = 0;
    friend bool operator==(const TSWFMatrixRec&, const TSWFMatrixRec&) = default;
};

struct TSWFColorTransformRec {
    std::int16_t AddR = 0;
    std::int16_t AddG = 0;
    std::int16_t AddB = 0;
    std::int16_t AddA = 0;
    std::int16_t MultR = 0;
    std::int16_t MultG = 0;
    std::int16_t MultB = 0;
    std::int16_t MultA = 0;
    bool HasAdd = false;
    bool HasMult = false;
    bool HasAlpha = false;
    friend bool operator==(const TSWFColorTransformRec&, const TSWFColorTransformRec&) = default;
};

struct TSWFRGBRec {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    friend bool operator==(const TSWFRGBRec&, const TSWFRGBRec&) = default;
};

// Writes and reads SWF fields over a byte stream (not owned). Bit fields are
// most significant bit first; integers are little-endian.
class TBitsEngine {
public:
    explicit TBitsEngine(TStream& AStream) : Stream(AStream) {}
    TBitsEngine(const TBitsEngine&) = delete;
    TBitsEngine& operator=(const TBitsEngine&) = delete;

    TStream& Stream;

    // Writing.
    void WriteBits(std::uint32_t Value, unsigned Count);
    void WriteBit(bool Value) { WriteBits(Value ? 1u : 0u, 1); }
    void FlushLastByte(bool Pad = true);
    void WriteByte(std::uint8_t Value);
    void WriteWord(std::uint16_t Value);
    void WriteDWord(std::uint32_t Value);
    void WriteSDWord(std::int32_t Value) { WriteDWord(static_cast<std::uint32_t>(Value)); }
    void Write3Bytes(std::uint32_t Value);
    void Write4Bytes(std::uint32_t Value);
    void WriteString(const std::string& S, bool AddNull = true, bool UTF8 = false);
    void WriteRectRec(const TSWFRectRec& R);
    void WriteRect(const TRect& R);
    void WriteMatrix(const TSWFMatrixRec& M);
    void WriteColorTransform(const TSWFColorTransformRec& C);

    // Reading. A stream that ends early raises EReadError.
    std::uint32_t ReadBits(unsigned Count);
    std::int32_t ReadSBits(unsigned Count);
    std::uint8_t ReadByte();
    std::uint16_t ReadWord();
    std::uint32_t ReadDWord();
    std::uint32_t Read3Bytes();
    std::uint32_t Read4Bytes();
    TSWFRectRec ReadRect();
    TSWFMatrixRec ReadMatrix();
    TSWFColorTransformRec ReadColorTransform(bool HasAlpha);
    std::string ReadString();
    std::string ReadFixedString(std::uint8_t Len);

    std::uint8_t PendingBits() const { return FBitCount; }

private:
    void PutByte(std::uint8_t B);
    std::uint8_t GetByte();
    std::uint8_t FBitBuf = 0;
    std::uint8_t FBitCount = 0;
};

// Free functions.
std::uint8_t GetBitsCount(std::int64_t Value, std::uint8_t Extra = 0);
std::int64_t MaxAbs(std::int64_t A, std::int64_t B);
std::int64_t MaxAbs(std::int64_t A, std::int64_t B, std::int64_t C, std::int64_t D);
bool CheckBit(std::uint32_t Value, unsigned N);
std::int32_t SingleToFixed(float X);
std::uint16_t SingleToWord(float X);
float WordToSingle(std::uint16_t W);
std::string StringToUTF8(const std::string& S);
// Encodes UTF-16 code units as UTF-8 into Dest (DestLen bytes), stopping
// before a character that does not fit and always storing a terminating 0.
// Returns the bytes stored including the terminator; with Dest null, the
// size a full conversion needs including the terminator.
std::size_t EncodeUTF8(std::uint8_t* Dest, std::size_t DestLen, const char16_t* Source, std::size_t Count);
// Decodes the system code page (UTF-8 here) to UTF-16; invalid bytes become U+FFFD.
std::u16string CodePageToUTF16(const std::string& S);

// Record classes.
class TSWFRect {
public:
    std::int32_t Xmax = 0;
    std::int32_t Xmin = 0;
    std::int32_t Ymax = 0;
    std::int32_t Ymin = 0;

    void SetRect(std::int32_t Left, std::int32_t Top, std::int32_t Right, std::int32_t Bottom);
    void CompareXY(unsigned Flags);
    TRect GetRect() const { return TRect{Xmin, Ymin, Xmax, Ymax}; }
    TSWFRectRec GetRec() const { return TSWFRectRec{Xmin, Xmax, Ymin, Ymax}; }
    void SetRec(const TSWFRectRec& R) { SetRect(R.Xmin, R.Ymin, R.Xmax, R.Ymax); }
};

class TSWFRGB {
public:
    virtual ~TSWFRGB() = default;
    TSWFRGB() = default;
    TSWFRGB(const TSWFRGB&) = delete;
    TSWFRGB& operator=(const TSWFRGB&) = delete;

    std::uint8_t B = 0;
    std::uint8_t G = 0;
    std::uint8_t R = 0;

    virtual void SetRGB(std::uint32_t Color);
    virtual void CopyFrom(const TSWFRGB& Source);
    TSWFRGBRec GetRec() const { return TSWFRGBRec{R, G, B}; }
    std::uint32_t RGB() const { return R | (G << 8) | (static_cast<std::uint32_t>(B) << 16); }
};

class TSWFRGBA : public TSWFRGB {
public:
    explicit TSWFRGBA(bool AHasAlpha = false) { SetHasAlpha(AHasAlpha); }

    std::uint8_t A = 255;
    bool HasAlpha = false;

    void SetRGB(std::uint32_t Color) override;
    void CopyFrom(const TSWFRGB& Source) override;
    void SetA(std::uint8_t Value);
    void SetHasAlpha(bool Value);
    void SetRGBA(std::uint32_t Color);
    std::uint32_t RGBA() const { return RGB() | (static_cast<std::uint32_t>(A) << 24); }
};

class TSWFColorTransform {
public:
    std::int32_t AddA() const { return FAddA; }
    std::int32_t AddB() const { return FAddB; }
    std::int32_t AddG() const { return FAddG; }
    std::int32_t AddR() const { return FAddR; }
    std::int32_t MultA() const { return FMultA; }
    std::int32_t MultB() const { return FMultB; }
    std::int32_t MultG() const { return FMultG; }
    std::int32_t MultR() const { return FMultR; }
    bool HasAdd = false;
    bool HasAlpha = false;
    bool HasMult = false;

    void SetAddR(std::int32_t V) { FAddR = V; HasAdd = true; }
    void SetAddG(std::int32_t V) { FAddG = V; HasAdd = true; }
    void SetAddB(std::int32_t V) { FAddB = V; HasAdd = true; }
    void SetAddA(std::int32_t V) { FAddA = V; HasAdd = true; HasAlpha = true; }
    void SetMultR(std::int32_t V) { FMultR = V; HasMult = true; }
    void SetMultG(std::int32_t V) { FMultG = V; HasMult = true; }
    void SetMultB(std::int32_t V) { FMultB = V; HasMult = true; }
    void SetMultA(std::int32_t V) { FMultA = V; HasMult = true; HasAlpha = true; }

    TSWFColorTransformRec GetRec() const;
    void SetRec(const TSWFColorTransformRec& R);
    void CopyFrom(const TSWFColorTransform& Source) { SetRec(Source.GetRec()); }

private:
    std::int32_t FAddA = 0, FAddB = 0, FAddG = 0, FAddR = 0;
    std::int32_t FMultA = 0, FMultB = 0, FMultG = 0, FMultR = 0;
};

class TSWFMatrix {
public:
    bool HasScale = false;
    bool HasSkew = false;
    std::int32_t ScaleX = 0;
    std::int32_t ScaleY = 0;
    std::int32_t SkewX = 0;
    std::int32_t SkewY = 0;
    std::int32_t TranslateX = 0;
    std::int32_t TranslateY = 0;

    void SetScale(float AScaleX, float AScaleY);
    void SetScaleX(float Value);
    void SetScaleY(float Value);
    void SetTranslate(std::int32_t X, std::int32_t Y) { TranslateX = X; TranslateY = Y; }
    TSWFMatrixRec GetRec() const;
    void SetRec(const TSWFMatrixRec& R);
    void CopyFrom(const TSWFMatrix& Source) { SetRec(Source.GetRec()); }
};

}  // namespace anivert
