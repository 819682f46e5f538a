#include "SWFTestUtil.h"

#include <gtest/gtest.h>

#include "SWFBits.h"

namespace anivert::test {

namespace {

struct TTagSplit {
    std::uint16_t Code = 0;
    Bytes Body;
};

TTagSplit Split(TBasedSWFObject& Obj) {
    const Bytes All = WriteTag(Obj);
    TTagSplit R;
    EXPECT_GE(All.size(), 2u);
    if (All.size() < 2) return R;
    const std::uint16_t Word = static_cast<std::uint16_t>(All[0] | (All[1] << 8));
    R.Code = static_cast<std::uint16_t>(Word >> 6);
    std::size_t Length = Word & 63, Start = 2;
    if (Length == 63) {
        EXPECT_GE(All.size(), 6u);
        if (All.size() < 6) return R;
        Length = All[2] | (All[3] << 8) | (All[4] << 16) | (static_cast<std::size_t>(All[5]) << 24);
        Start = 6;
    }
    EXPECT_EQ(All.size(), Start + Length);
    R.Body.assign(All.begin() + static_cast<std::ptrdiff_t>(Start), All.end());
    return R;
}

}  // namespace

Bytes WriteTag(TBasedSWFObject& Obj) {
    TMemoryStream M;
    TBitsEngine BE(M);
    Obj.WriteToStream(BE);
    return M.Bytes();
}

Bytes Body(TBasedSWFObject& Obj) { return Split(Obj).Body; }

Bytes BodyOf(TBasedSWFObject& Obj, std::uint16_t ExpectTag) {
    TTagSplit S = Split(Obj);
    EXPECT_EQ(S.Code, ExpectTag);
    return std::move(S.Body);
}

Bytes Cat(std::initializer_list<Bytes> Parts) {
    Bytes R;
    for (const Bytes& P : Parts) R.insert(R.end(), P.begin(), P.end());
    return R;
}

Bytes Str(const std::string& S) { return Bytes(S.begin(), S.end()); }

Bytes Text(const std::string& S) {
    Bytes R = Str(S);
    R.push_back(0);
    return R;
}

}  // namespace anivert::test
