#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <stdexcept>

#include "SWFBits.h"
#include "TestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

struct Writer {
    TMemoryStream M;
    TBitsEngine BE{M};
    Bytes Out() const { return M.Bytes(); }
};

}  // namespace

TEST(BitsEngine, PacksBitFieldsMostSignificantFirst) {
    {
        Writer W;
        W.BE.WriteBits(5, 3);
        W.BE.WriteBits(1, 5);
        EXPECT_EQ(W.Out(), B({0xA1}));
        EXPECT_EQ(W.BE.PendingBits(), 0);
    }
    {
        Writer W;
        W.BE.WriteBits(1023, 10);
        EXPECT_EQ(W.Out(), B({0xFF}));
        EXPECT_EQ(W.BE.PendingBits(), 2);
        W.BE.FlushLastByte(true);
        EXPECT_EQ(W.Out(), B({0xFF, 0xC0}));
    }
    {
        // Values are cut to the field: -1 in 4 bits is 1111.
        Writer W;
        W.BE.WriteBits(static_cast<std::uint32_t>(-1), 4);
        W.BE.WriteBits(0, 4);
        EXPECT_EQ(W.Out(), B({0xF0}));
    }
    {
        // 32-bit fields with bits pending combine up to 39 bits.
        Writer W;
        W.BE.WriteBits(0x7, 3);
        W.BE.WriteBits(0x89ABCDEF, 32);
        W.BE.FlushLastByte(true);
        // 111 + 10001001101010111100110111101111 + 00000 padding
        EXPECT_EQ(W.Out(), B({0xF1, 0x35, 0x79, 0xBD, 0xE0}));
    }
}

TEST(BitsEngine, BytesWordsAndAlignment) {
    {
        // A byte written with three bits pending straddles two output bytes.
        Writer W;
        W.BE.WriteBits(5, 3);
        W.BE.WriteByte(0xFF);
        EXPECT_EQ(W.Out(), B({0xBF}));
        W.BE.FlushLastByte(true);
        EXPECT_EQ(W.Out(), B({0xBF, 0xE0}));
    }
    {
        Writer W;
        W.BE.WriteBits(1, 1);
        W.BE.WriteWord(0x1234);
        W.BE.WriteBits(1, 2);
        W.BE.WriteDWord(0x89ABCDEF);
        EXPECT_EQ(W.Out(), B({0x80, 0x34, 0x12, 0x40, 0xEF, 0xCD, 0xAB, 0x89}));
    }
    {
        // Three and four colour bytes go straight to the stream.
        Writer W;
        W.BE.Write3Bytes(0x00332211);
        W.BE.Write4Bytes(0x44332211);
        EXPECT_EQ(W.Out(), B({0x11, 0x22, 0x33, 0x11, 0x22, 0x33, 0x44}));
    }
    {
        Writer W;
        W.BE.WriteString("ab", true, false);
        W.BE.WriteString("c", false, false);
        EXPECT_EQ(W.Out(), B({'a', 'b', 0, 'c'}));
    }
    {
        // Dropping pending bits (the reading side's flush) emits nothing.
        Writer W;
        W.BE.WriteBits(3, 2);
        W.BE.FlushLastByte(false);
        EXPECT_EQ(W.Out(), Bytes{});
    }
}

TEST(BitsEngine, RecordsHaveTheirExactBytes) {
    {
        Writer W;
        W.BE.WriteRectRec(TSWFRectRec{0, 11000, 0, 8000});
        EXPECT_EQ(W.Out(), B({0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}));
    }
    {
        Writer W;
        W.BE.WriteRectRec(TSWFRectRec{});
        EXPECT_EQ(W.Out(), B({0x00}));
    }
    {
        // A Windows rectangle is normalised before writing.
        Writer W1, W2;
        W1.BE.WriteRect(TRect{11000, 8000, 0, 0});
        W2.BE.WriteRectRec(TSWFRectRec{0, 11000, 0, 8000});
        EXPECT_EQ(W1.Out(), W2.Out());
    }
    {
        Writer W;
        W.BE.WriteMatrix(TSWFMatrixRec{});
        EXPECT_EQ(W.Out(), B({0x00}));
    }
    {
        Writer W;
        TSWFMatrixRec M;
        M.TranslateX = 20;
        W.BE.WriteMatrix(M);
        EXPECT_EQ(W.Out(), B({0x0C, 0xA0, 0x00}));
    }
    {
        Writer W;
        W.BE.WriteColorTransform(TSWFColorTransformRec{});
        EXPECT_EQ(W.Out(), B({0x00}));
    }
    {
        // Skew terms go out as SkewY, then SkewX.
        Writer W;
        TSWFMatrixRec M;
        M.HasSkew = true;
        M.SkewX = 1;
        M.SkewY = -1;
        W.BE.WriteMatrix(M);
        // 0 | 1 | 00010 | 11 | 01 | 00000 | pad
        EXPECT_EQ(W.Out(), B({0x45, 0xA0}));
    }
    {
        // An add-only transform without alpha: 10, size 4 bits, R G B.
        Writer W;
        TSWFColorTransformRec C;
        C.HasAdd = true;
        C.AddR = 1;
        C.AddG = -1;
        C.AddB = 0;
        W.BE.WriteColorTransform(C);
        // 1 0 0010 01 11 00 + pad
        EXPECT_EQ(W.Out(), B({0x89, 0xC0}));
    }
}

TEST(BitsEngine, ReadsBackWhatItWrites) {
    std::mt19937 Rng(42);
    struct Field {
        std::uint32_t Value;
        unsigned Count;
        bool Signed;
    };
    std::vector<Field> Fields;
    Writer W;
    for (int I = 0; I < 2000; ++I) {
        const unsigned Count = 1 + Rng() % 32;
        const bool Signed = Rng() & 1;
        std::uint32_t V = Rng();
        if (Count < 32) V &= (1u << Count) - 1;
        Fields.push_back({V, Count, Signed});
        W.BE.WriteBits(V, Count);
    }
    W.BE.FlushLastByte(true);
    TMemoryStream R(W.Out());
    TBitsEngine RE(R);
    for (const Field& F : Fields) {
        if (F.Signed) {
            std::int32_t Expected = static_cast<std::int32_t>(F.Value);
            if (F.Count < 32 && (F.Value >> (F.Count - 1)) & 1) Expected = static_cast<std::int32_t>(F.Value | ~((1u << F.Count) - 1));
            ASSERT_EQ(RE.ReadSBits(F.Count), Expected);
        } else {
            ASSERT_EQ(RE.ReadBits(F.Count), F.Value);
        }
    }
    EXPECT_EQ(RE.ReadBits(0), 0u);
}

TEST(BitsEngine, CompositeRecordsRoundTrip) {
    Writer W;
    const TSWFRectRec Rect{-2000, 31000, -1, 7};
    TSWFMatrixRec M{true, true, 65536 * 3, -32768, 100, -200, -5, 123456};
    TSWFColorTransformRec C;
    C.HasAdd = C.HasMult = C.HasAlpha = true;
    C.AddR = -255;
    C.AddG = 17;
    C.AddB = 0;
    C.AddA = 255;
    C.MultR = 256;
    C.MultG = -256;
    C.MultB = 1;
    C.MultA = 128;
    W.BE.WriteRectRec(Rect);
    W.BE.WriteMatrix(M);
    W.BE.WriteColorTransform(C);
    W.BE.WriteString("xyz", true, false);
    W.BE.Write3Bytes(0xABCDEF);
    TMemoryStream R(W.Out());
    TBitsEngine RE(R);
    EXPECT_EQ(RE.ReadRect(), Rect);
    EXPECT_EQ(RE.ReadMatrix(), M);
    EXPECT_EQ(RE.ReadColorTransform(true), C);
    EXPECT_EQ(RE.ReadString(), "xyz");
    EXPECT_EQ(RE.Read3Bytes(), 0xABCDEFu);
    EXPECT_THROW(RE.ReadByte(), EReadError);
}

TEST(BitsEngine, ReadingPastTheEndRaises) {
    TMemoryStream R(B({0xFF}));
    TBitsEngine RE(R);
    EXPECT_THROW(RE.ReadBits(9), EReadError);
    TMemoryStream S(B({'a', 'b'}));
    TBitsEngine SE(S);
    EXPECT_THROW(SE.ReadString(), EReadError);
    TMemoryStream F(B({'a'}));
    TBitsEngine FE(F);
    EXPECT_THROW(FE.ReadFixedString(2), EReadError);
}

TEST(BitHelpers, BitCountsAndMaxAbs) {
    EXPECT_EQ(GetBitsCount(0, 1), 0);
    EXPECT_EQ(GetBitsCount(-1, 1), 2);
    EXPECT_EQ(GetBitsCount(1, 0), 1);
    EXPECT_EQ(GetBitsCount(255, 0), 8);
    EXPECT_EQ(GetBitsCount(255, 1), 9);
    EXPECT_EQ(GetBitsCount(256, 0), 9);
    EXPECT_EQ(GetBitsCount(-4, 1), 4);
    EXPECT_EQ(GetBitsCount(11000, 1), 15);
    EXPECT_EQ(GetBitsCount(std::int64_t{1} << 31, 1), 1);
    EXPECT_EQ(GetBitsCount((std::int64_t{1} << 31) - 1, 0), 31);
    EXPECT_EQ(MaxAbs(-7, 3), 7);
    EXPECT_EQ(MaxAbs(1, -2, 3, -4), 4);
    EXPECT_TRUE(CheckBit(0x0001, 1));
    EXPECT_FALSE(CheckBit(0x0001, 2));
    EXPECT_TRUE(CheckBit(0x8000, 16));
    EXPECT_FALSE(CheckBit(0x10000, 17));
}

TEST(BitHelpers, FixedPointConversions) {
    EXPECT_EQ(SingleToFixed(1.0f), 65536);
    EXPECT_EQ(SingleToFixed(-0.5f), -32768);
    EXPECT_EQ(SingleToFixed(1.00001f), 65536);  // truncated towards zero
    EXPECT_EQ(SingleToWord(24.0f), 0x1800);
    EXPECT_EQ(SingleToWord(12.5f), 0x0C80);
    EXPECT_EQ(SingleToWord(29.97f), 0x1DF8);
    EXPECT_FLOAT_EQ(WordToSingle(0x1800), 24.0f);
    EXPECT_FLOAT_EQ(WordToSingle(0x0C80), 12.5f);
}

TEST(BitHelpers, UTF8Conversion) {
    EXPECT_EQ(StringToUTF8(""), "");
    EXPECT_EQ(StringToUTF8("abc"), "abc");
    // The system code page is UTF-8: é arrives as C3 A9 and leaves unchanged.
    EXPECT_EQ(StringToUTF8("\xC3\xA9"), "\xC3\xA9");
    EXPECT_EQ(StringToUTF8("\xE2\x82\xAC"), "\xE2\x82\xAC");
    // Characters beyond the basic plane become one 4-byte sequence.
    EXPECT_EQ(StringToUTF8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    // Bytes that are not UTF-8 become U+FFFD.
    EXPECT_EQ(StringToUTF8("a\xFF"), "a\xEF\xBF\xBD");

    const std::u16string S = u"\u00E9\u20AC\U0001F600x";
    EXPECT_EQ(EncodeUTF8(nullptr, 0, S.data(), S.size()), 2u + 3 + 4 + 1 + 1);
    std::uint8_t Buf[8];
    // Stops before the 4-byte character that would not fit; always terminated.
    EXPECT_EQ(EncodeUTF8(Buf, sizeof Buf, S.data(), S.size()), 6u);
    EXPECT_EQ(Bytes(Buf, Buf + 6), B({0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0}));
    EXPECT_EQ(EncodeUTF8(Buf, 1, S.data(), S.size()), 1u);
    EXPECT_EQ(Buf[0], 0);
    // A lone surrogate has no UTF-8 form.
    const char16_t Lone[] = {0xD800, u'a'};
    EXPECT_EQ(EncodeUTF8(Buf, sizeof Buf, Lone, 2), 5u);
    EXPECT_EQ(Bytes(Buf, Buf + 5), B({0xEF, 0xBF, 0xBD, 'a', 0}));
}

TEST(Records, RectAndColours) {
    TSWFRect R;
    R.SetRect(10, 20, -5, 3);
    EXPECT_EQ(R.Xmin, -5);
    EXPECT_EQ(R.Xmax, 10);
    EXPECT_EQ(R.Ymin, 3);
    EXPECT_EQ(R.Ymax, 20);
    EXPECT_EQ(R.GetRect(), (TRect{-5, 3, 10, 20}));
    R.Xmin = 50;
    R.CompareXY(2);
    EXPECT_EQ(R.Xmin, 50);
    R.CompareXY(1);
    EXPECT_EQ(R.Xmin, 10);

    TSWFRGBA C(false);
    C.SetRGBA(0x80332211);
    EXPECT_EQ(C.R, 0x11);
    EXPECT_EQ(C.G, 0x22);
    EXPECT_EQ(C.B, 0x33);
    EXPECT_EQ(C.A, 0x80);
    EXPECT_TRUE(C.HasAlpha);
    C.SetRGB(0x00FFFFFF);
    EXPECT_EQ(C.A, 255);
    EXPECT_TRUE(C.HasAlpha);  // never cleared by a colour
    C.SetHasAlpha(false);
    EXPECT_EQ(C.A, 255);
    C.SetA(255);
    EXPECT_FALSE(C.HasAlpha);

    TSWFRGBA D(true);
    TSWFRGBA Src(true);
    Src.SetRGBA(0x10203040);
    D.CopyFrom(Src);
    EXPECT_EQ(D.RGBA(), 0x10203040u);
    TSWFRGB Plain;
    Plain.SetRGB(0x00ABCDEF);
    D.CopyFrom(Plain);
    EXPECT_EQ(D.RGBA(), 0xFFABCDEFu);
}

TEST(Records, ColorTransformFlagsAndMatrix) {
    TSWFColorTransform T;
    EXPECT_FALSE(T.HasAdd || T.HasMult || T.HasAlpha);
    T.SetAddR(5);
    EXPECT_TRUE(T.HasAdd);
    EXPECT_FALSE(T.HasAlpha);
    T.SetMultA(7);
    EXPECT_TRUE(T.HasMult);
    EXPECT_TRUE(T.HasAlpha);
    const TSWFColorTransformRec Rec = T.GetRec();
    EXPECT_EQ(Rec.AddR, 5);
    EXPECT_EQ(Rec.MultA, 7);
    TSWFColorTransform U;
    U.CopyFrom(T);
    EXPECT_EQ(U.GetRec(), Rec);
    TSWFColorTransformRec Clear;
    U.SetRec(Clear);
    EXPECT_FALSE(U.HasAdd || U.HasMult || U.HasAlpha);

    TSWFMatrix M;
    M.SetTranslate(3, 4);
    EXPECT_FALSE(M.HasScale);
    M.SetScale(2.0f, 0.5f);
    EXPECT_TRUE(M.HasScale);
    EXPECT_EQ(M.ScaleX, 131072);
    EXPECT_EQ(M.ScaleY, 32768);
    TSWFMatrix N;
    N.CopyFrom(M);
    EXPECT_EQ(N.GetRec(), M.GetRec());
}

TEST(BitsEngine, RefusesValuesTheSizeFieldsCannotCount) {
    // -16384 is counted as 16 bits, one more than a colour transform's
    // 4-bit size field holds; 16383 still fits.
    TSWFColorTransformRec C;
    C.HasMult = true;
    C.MultR = -16384;
    Writer W;
    EXPECT_THROW(W.BE.WriteColorTransform(C), std::length_error);
    C.MultR = 16383;
    EXPECT_NO_THROW(W.BE.WriteColorTransform(C));
    TSWFMatrixRec M;
    M.TranslateX = -(1 << 30);
    EXPECT_THROW(W.BE.WriteMatrix(M), std::length_error);
    M.TranslateX = INT32_MIN;
    EXPECT_THROW(W.BE.WriteMatrix(M), std::length_error);
    M.TranslateX = (1 << 30) - 1;
    EXPECT_NO_THROW(W.BE.WriteMatrix(M));
    EXPECT_THROW(W.BE.WriteRectRec(TSWFRectRec{INT32_MIN, 0, 0, 0}), std::length_error);
}
