#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <stdexcept>
#include <typeinfo>

#include "SWFStreams.h"
#include "SWFTestUtil.h"

using namespace anivert;
using namespace anivert::test;

namespace {

Bytes WriteList(TSWFActionList& List) {
    TMemoryStream M;
    TBitsEngine BE(M);
    List.WriteToStream(BE);
    return M.Bytes();
}

Bytes WriteOne(TSWFAction& A) {
    TMemoryStream M;
    TBitsEngine BE(M);
    A.WriteToStream(BE);
    return M.Bytes();
}

void ReadList(const Bytes& Data, TSWFActionList& List, bool Parse = true) {
    TMemoryStream M(Data);
    TBitsEngine BE(M);
    ReadActionList(BE, List, static_cast<std::int64_t>(Data.size()), Parse);
}

// The indexes of the labels of a list.
std::vector<std::size_t> LabelIndexes(const TSWFActionList& L) {
    std::vector<std::size_t> R;
    for (std::size_t I = 0; I < L.Count(); ++I)
        if (dynamic_cast<const TSWFOffsetMarker*>(&L[I])) R.push_back(I);
    return R;
}

// The index of the label a field of the action at Index points to.
std::ptrdiff_t Target(TSWFActionList& L, std::size_t Index, std::size_t Field = 0) {
    return L.IndexOf(L[Index].MarkerFields().at(Field)->Ptr());
}

}  // namespace

TEST(ActionRecords, SimpleRecordsAndTheirVersions) {
    TSWFActionStop Stop;
    EXPECT_EQ(WriteOne(Stop), B({0x07}));
    TSWFActionCall Call;
    EXPECT_EQ(WriteOne(Call), B({0x9E, 0x00, 0x00}));
    TSWFActionWaitForFrame2 W;
    W.SkipCount = 3;
    EXPECT_EQ(WriteOne(W), B({0x8D, 0x01, 0x00, 0x03}));
    TSWFActionGotoFrame G;
    G.Frame = 0x1234;
    EXPECT_EQ(WriteOne(G), B({0x81, 0x02, 0x00, 0x34, 0x12}));
    EXPECT_EQ(G.BodySize, 2);
    TSWFActionGetURL2 U;
    U.SendVarsMethod = 2;
    U.LoadTargetFlag = true;
    EXPECT_EQ(WriteOne(U), B({0x9A, 0x01, 0x00, 0x82}));
    TSWFActionGotoFrame2 G2;
    G2.PlayFlag = true;
    EXPECT_EQ(WriteOne(G2), B({0x9F, 0x01, 0x00, 0x01}));
    G2.SceneBiasFlag = true;
    G2.SceneBias = 7;
    EXPECT_EQ(WriteOne(G2), B({0x9F, 0x03, 0x00, 0x03, 0x07, 0x00}));

    // Every code of the table makes an object of its class, of the version
    // that introduced it.
    const std::map<std::string, int> BaseVersion = {
        {"TSWFAction", 3}, {"TSWFAction4", 4}, {"TSWFAction5", 5}, {"TSWFAction6", 6}, {"TSWFAction7", 7}};
    int Classes = 0;
#define CHECK_CLASS(Name, Base, Code)                                     \
    {                                                                     \
        auto A = CreateActionByCode(Code);                                \
        ASSERT_NE(A, nullptr) << #Name;                                   \
        const TSWFAction& Made = *A;                                      \
        EXPECT_EQ(typeid(Made), typeid(Name)) << #Name;                   \
        EXPECT_EQ(A->ActionCode, Code);                                   \
        EXPECT_EQ(A->MinVersion(), BaseVersion.at(#Base)) << #Name;       \
        EXPECT_EQ(std::string("TSWFAction") + ActionName(Code), #Name);   \
        ++Classes;                                                        \
    }
    ANIVERT_SWF_SIMPLE_ACTIONS(CHECK_CLASS)
#undef CHECK_CLASS
    EXPECT_EQ(Classes, 82);
    EXPECT_EQ(CreateActionByCode(0), nullptr);
    EXPECT_EQ(CreateActionByCode(0x01), nullptr);
    EXPECT_EQ(CreateActionByCode(0x80), nullptr);
    EXPECT_NE(dynamic_cast<TSWFActionByteCode*>(CreateActionByCode(0xFE).get()), nullptr);
    EXPECT_NE(dynamic_cast<TSWFOffsetMarker*>(CreateActionByCode(0xFF).get()), nullptr);
    EXPECT_NE(dynamic_cast<TSWFActionJump*>(CreateActionByCode(0x9D).get()), nullptr);  // If is a jump
    EXPECT_EQ(TSWFActionTry().MinVersion(), 7);
    EXPECT_EQ(TSWFActionDefineFunction2().MinVersion(), 7);
    EXPECT_EQ(TSWFActionWith().MinVersion(), 5);
    EXPECT_EQ(TSWFActionGetUrl().MinVersion(), 3);
    EXPECT_EQ(std::string(ActionName(0xFF)), "OffsetMarker");
}

TEST(ActionRecords, GetUrlAndDoActionBytes) {
    TSWFDoAction Empty;
    EXPECT_EQ(WriteTag(Empty), B({0x01, 0x03, 0x00}));
    EXPECT_EQ(Empty.MinVersion(), 3);

    TSWFDoAction D;
    D.Actions().Add(std::make_unique<TSWFActionGetUrl>("http://x/", "_blank"));
    const Bytes Record = Cat({B({0x83, 0x11, 0x00}), Str("http://x/"), B({0}), Str("_blank"), B({0})});
    ASSERT_EQ(Record.size(), 20u);
    EXPECT_EQ(WriteTag(D), Cat({B({0x15, 0x03}), Record, B({0x00})}));
    EXPECT_EQ(D.BodySize, 21u);

    // The URL goes out in UTF-8 (the code page here is UTF-8: a stray byte
    // becomes U+FFFD); the target is written as it is.
    TSWFActionGetUrl U("a\xE9", "b\xE9");
    EXPECT_EQ(WriteOne(U), B({0x83, 0x08, 0x00, 'a', 0xEF, 0xBF, 0xBD, 0x00, 'b', 0xE9, 0x00}));
    TSWFActionGetUrl V("\xC3\xA9", "");
    EXPECT_EQ(WriteOne(V), B({0x83, 0x04, 0x00, 0xC3, 0xA9, 0x00, 0x00}));

    // A DoAction over a caller's list neither copies nor frees it.
    TSWFActionList Mine;
    {
        TSWFDoAction Over(Mine);
        EXPECT_FALSE(Over.SelfDestroy());
        Over.Actions().Add(std::make_unique<TSWFActionStop>());
        EXPECT_EQ(WriteTag(Over), B({0x02, 0x03, 0x07, 0x00}));
    }
    EXPECT_EQ(Mine.Count(), 1u);
    EXPECT_TRUE(TSWFDoAction().SelfDestroy());

    TSWFDoInitAction I;
    I.SpriteID = 5;
    I.Actions().Add(std::make_unique<TSWFActionPlay>());
    EXPECT_EQ(WriteTag(I), B({0xC4, 0x0E, 0x05, 0x00, 0x06, 0x00}));
    EXPECT_EQ(I.MinVersion(), 6);
    I.Actions().Add(std::make_unique<TSWFActionThrow>());
    EXPECT_EQ(I.MinVersion(), 7);
    D.Actions().Add(std::make_unique<TSWFActionGreater>());
    EXPECT_EQ(D.MinVersion(), 6);
}

TEST(ActionRecords, PushEncodings) {
    TSWFActionPush P;
    P.AddValue(TSWFVariant(1));
    EXPECT_EQ(WriteOne(P), B({0x96, 0x05, 0x00, 0x07, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(P.MinVersion(), 5);

    TSWFActionPush S;
    S.AddValue(TSWFVariant("ab"));
    EXPECT_EQ(WriteOne(S), B({0x96, 0x04, 0x00, 0x00, 'a', 'b', 0x00}));
    EXPECT_EQ(S.MinVersion(), 4);
    S.AddValue(TSWFVariant(0.5f));
    EXPECT_EQ(S.MinVersion(), 4);  // string and float are version 4 types

    TSWFActionPush D;
    D.AddValue(TSWFVariant(1.5));
    EXPECT_EQ(WriteOne(D), B({0x96, 0x09, 0x00, 0x06, 0x00, 0x00, 0xF8, 0x3F, 0x00, 0x00, 0x00, 0x00}));

    // Every kind and every type.
    TSWFActionPush A;
    A.AddValue(TSWFVariant());                        // undefined
    A.AddValue(TSWFVariant::Null());                  // null
    A.AddValue(TSWFVariant(true));                    // boolean
    A.AddValue(TSWFVariant(1.0f));                    // float 0x3F800000
    A.AddValue(TSWFVariant("FlashVar_null"));         // null
    A.AddValue(TSWFVariant("FlashVar_undefined"));    // undefined
    A.AddValue(TSWFVariant(-2));                      // integer
    A.AddValue(TSWFVariant(3), pvRegister);
    A.AddValue(TSWFVariant(4), pvConstant8);
    A.AddValue(TSWFVariant(0x1234), pvConstant16);
    EXPECT_FALSE(A.AddValue(TSWFVariant(5), 10).IsValid);  // not written
    EXPECT_EQ(A.ValueCount(), 11u);
    EXPECT_EQ(A.ValueInfo(4).ValueType, pvNull);
    EXPECT_EQ(A.ValueInfo(5).ValueType, pvUndefined);
    EXPECT_EQ(WriteOne(A), B({0x96, 0x17, 0x00, 0x03, 0x02, 0x05, 0x01, 0x01, 0x00, 0x00, 0x80, 0x3F, 0x02, 0x03,
                              0x07, 0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x08, 0x04, 0x09, 0x34, 0x12}));

    // Read back: the same types, null and undefined as their marker strings.
    TSWFActionList L;
    ReadList(WriteOne(A), L);
    ASSERT_EQ(L.Count(), 1u);
    auto& R = dynamic_cast<TSWFActionPush&>(L[0]);
    ASSERT_EQ(R.ValueCount(), 10u);
    const std::uint8_t Types[] = {3, 2, 5, 1, 2, 3, 7, 4, 8, 9};
    for (std::size_t I = 0; I < 10; ++I) EXPECT_EQ(R.ValueInfo(I).ValueType, Types[I]) << I;
    EXPECT_EQ(R.ValueInfo(0).Value, TSWFVariant("FlashVar_undefined"));
    EXPECT_EQ(R.ValueInfo(1).Value, TSWFVariant("FlashVar_null"));
    EXPECT_EQ(R.ValueInfo(3).Value, TSWFVariant(1.0f));
    EXPECT_EQ(R.ValueInfo(6).Value.AsInteger(), -2);
    EXPECT_EQ(R.ValueInfo(9).Value.AsInteger(), 0x1234);
    EXPECT_EQ(WriteOne(R), WriteOne(A));

    // Float and double bits survive exactly, NaN payloads included.
    TSWFActionPush N;
    const std::uint32_t FBits = 0x7F800001;
    float F;
    std::memcpy(&F, &FBits, 4);
    N.AddValue(TSWFVariant(F));
    N.AddValue(TSWFVariant(-0.0));
    TSWFActionList NL;
    ReadList(WriteOne(N), NL);
    EXPECT_EQ(WriteOne(NL[0]), WriteOne(N));

    // A value of an unknown type is garbage.
    TSWFActionList Bad;
    EXPECT_THROW(ReadList(B({0x96, 0x02, 0x00, 0x0A, 0x00}), Bad), EReadError);
}

TEST(ActionLabels, ForwardAndBackwardJumps) {
    // Forward over a 1-byte action: placeholder, patched to 1.
    TSWFActionList F;
    auto* J = F.Add(std::make_unique<TSWFActionJump>());
    J->BranchOffsetMarker.Get().JumpToBack = false;
    F.Add(std::make_unique<TSWFActionStop>());
    F.Add(J->BranchOffsetMarker.Release());
    EXPECT_EQ(WriteList(F), B({0x99, 0x02, 0x00, 0x01, 0x00, 0x07}));

    // Backward to a label directly before: -5.
    TSWFActionList Bk;
    TSWFOffsetMarker* M = Bk.AddMarker("top");
    Bk.Add(std::make_unique<TSWFActionIf>())->BranchOffsetMarker.Set(M);
    EXPECT_EQ(WriteList(Bk), B({0x9D, 0x02, 0x00, 0xFB, 0xFF}));

    // Positions count in the receiving stream: the same in a DoAction body
    // after other actions, and a label left at JumpToBack ahead of its jump
    // still resolves forward. Two jumps may share one label.
    TSWFDoAction D;
    TSWFActionList& L = D.Actions();
    L.Add(std::make_unique<TSWFActionPlay>());
    auto* Back = L.AddMarker("back");
    auto* J1 = L.Add(std::make_unique<TSWFActionJump>());
    auto* J2 = L.Add(std::make_unique<TSWFActionIf>());
    L.Add(std::make_unique<TSWFActionStop>());
    auto* J3 = L.Add(std::make_unique<TSWFActionJump>());
    auto* End = L.AddMarker("end");
    J1->BranchOffsetMarker.Set(End);
    J2->BranchOffsetMarker.Set(End);
    J3->BranchOffsetMarker.Set(Back);
    const Bytes Body = B({0x06, 0x99, 0x02, 0x00, 0x0B, 0x00, 0x9D, 0x02, 0x00, 0x06, 0x00, 0x07, 0x99, 0x02, 0x00,
                          0xF0, 0xFF, 0x00});
    EXPECT_EQ(WriteTag(D), Cat({B({static_cast<int>(Body.size()), 0x03}), Body}));
    EXPECT_EQ(WriteTag(D), Cat({B({static_cast<int>(Body.size()), 0x03}), Body}));  // a second write is the same

    // A static offset is written as it is; a jump with neither writes 0.
    TSWFActionJump S;
    S.SetBranchOffset(-300);
    EXPECT_TRUE(S.StaticOffset);
    S.BranchOffsetMarker.Get();
    EXPECT_EQ(WriteOne(S), B({0x99, 0x02, 0x00, 0xD4, 0xFE}));
    TSWFActionJump Z;
    EXPECT_EQ(WriteOne(Z), B({0x99, 0x02, 0x00, 0x00, 0x00}));
}

TEST(ActionLabels, BlocksAndFunctionBodies) {
    TSWFActionList L;
    auto* F = L.Add(std::make_unique<TSWFActionDefineFunction>());
    F->FunctionName = "f";
    F->Params = {"a"};
    L.Add(std::make_unique<TSWFActionReturn>());
    F->CodeSizeMarker.Set(L.AddMarker());
    auto* W = L.Add(std::make_unique<TSWFActionWith>());
    L.Add(std::make_unique<TSWFActionPlay>());
    L.Add(std::make_unique<TSWFActionStop>());
    W->SizeMarker.Set(L.AddMarker());
    EXPECT_EQ(WriteList(L), B({0x9B, 0x08, 0x00, 'f', 0x00, 0x01, 0x00, 'a', 0x00, 0x01, 0x00, 0x3E, 0x94, 0x02, 0x00,
                               0x02, 0x00, 0x06, 0x07}));

    TSWFActionList L2;
    auto* F2 = L2.Add(std::make_unique<TSWFActionDefineFunction2>());
    F2->FunctionName = "g";
    F2->RegisterCount = 3;
    F2->PreloadParentFlag = true;
    F2->PreloadThisFlag = true;
    F2->SuppressSuperFlag = true;
    F2->PreloadGlobalFlag = true;
    F2->AddParam("x", 1);
    F2->AddParam("y", 0);
    L2.Add(std::make_unique<TSWFActionPushDuplicate>());
    L2.Add(std::make_unique<TSWFActionReturn>());
    F2->CodeSizeMarker.Set(L2.AddMarker());
    EXPECT_EQ(WriteList(L2), B({0x8E, 0x0F, 0x00, 'g', 0x00, 0x02, 0x00, 0x03, 0xA1, 0x01, 0x01, 'x', 0x00, 0x00, 'y',
                                0x00, 0x02, 0x00, 0x4C, 0x3E}));

    // A with or function without a size and without a label still writes
    // its size field.
    TSWFActionWith Bare;
    EXPECT_EQ(WriteOne(Bare), B({0x94, 0x02, 0x00, 0x00, 0x00}));
    TSWFActionDefineFunction BareF;
    EXPECT_EQ(WriteOne(BareF), B({0x9B, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
}

TEST(ActionLabels, TrySizesAreBlockLengths) {
    // try { push "a"; pop } catch (e) { trace; stop } finally { play }; stop
    TSWFActionList L;
    auto* T = L.Add(std::make_unique<TSWFActionTry>());
    T->CatchBlockFlag = true;
    T->FinallyBlockFlag = true;
    T->CatchName = "e";
    L.Add(std::make_unique<TSWFActionPush>())->AddValue(TSWFVariant("a"));
    L.Add(std::make_unique<TSWFActionPop>());
    T->TrySizeMarker.Get();
    L.Add(T->TrySizeMarker.Release());  // the label the try made, placed
    L.Add(std::make_unique<TSWFActionTrace>());
    L.Add(std::make_unique<TSWFActionStop>());
    T->CatchSizeMarker.Set(L.AddMarker());
    L.Add(std::make_unique<TSWFActionPlay>());
    T->FinallySizeMarker.Set(L.AddMarker());
    L.Add(std::make_unique<TSWFActionStop>());
    const Bytes Out = WriteList(L);
    EXPECT_EQ(Out, B({0x8F, 0x09, 0x00, 0x03, 0x07, 0x00, 0x02, 0x00, 0x01, 0x00, 'e', 0x00,  // sizes 7, 2, 1
                      0x96, 0x03, 0x00, 0x00, 'a', 0x00, 0x17,                               // try block
                      0x26, 0x07,                                                            // catch block
                      0x06,                                                                  // finally block
                      0x07}));

    // The reader finds the same blocks: its labels stand where ours stood.
    TSWFActionList R;
    ReadList(Out, R);
    EXPECT_EQ(LabelIndexes(R), LabelIndexes(L));
    EXPECT_EQ(Target(R, 0, 0), 3);
    EXPECT_EQ(Target(R, 0, 1), 6);
    EXPECT_EQ(Target(R, 0, 2), 8);
    EXPECT_EQ(WriteList(R), Out);

    // Without a catch block the finally block follows the try block; the
    // catch register replaces the name.
    TSWFActionList L2;
    auto* T2 = L2.Add(std::make_unique<TSWFActionTry>());
    T2->FinallyBlockFlag = true;
    T2->CatchInRegisterFlag = true;
    T2->CatchRegister = 2;
    T2->CatchSizeMarker.Get();  // ignored without a catch block
    L2.Add(std::make_unique<TSWFActionNot>());
    T2->TrySizeMarker.Set(L2.AddMarker());
    L2.Add(std::make_unique<TSWFActionPlay>());
    L2.Add(std::make_unique<TSWFActionStop>());
    T2->FinallySizeMarker.Set(L2.AddMarker());
    const Bytes Out2 = WriteList(L2);
    EXPECT_EQ(Out2, B({0x8F, 0x08, 0x00, 0x06, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x02, 0x12, 0x06, 0x07}));
    TSWFActionList R2;
    ReadList(Out2, R2);
    EXPECT_EQ(LabelIndexes(R2), LabelIndexes(L2));
    EXPECT_EQ(Target(R2, 0, 2), 5);

    // Mixed: a numeric try size with a labelled catch block.
    TSWFActionList L3;
    auto* T3 = L3.Add(std::make_unique<TSWFActionTry>());
    T3->CatchBlockFlag = true;
    L3.Add(std::make_unique<TSWFActionPlay>());
    L3.Add(std::make_unique<TSWFActionStop>());
    T3->CatchSizeMarker.Set(L3.AddMarker());
    T3->TrySizeMarker.Set(nullptr);
    // Static sizes leave the labels out.
    T3->SetTrySize(1);
    T3->SetCatchSize(1);
    EXPECT_EQ(WriteList(L3), B({0x8F, 0x08, 0x00, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x06, 0x07}));
    T3->StaticOffset = false;
    EXPECT_EQ(WriteList(L3), B({0x8F, 0x08, 0x00, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x06, 0x07}));
}

TEST(ActionLabels, ReaderPlacesLabelsWhereTheWriterHadThem) {
    // Every kind of labelled action, forward and backward.
    TSWFActionList L;
    auto* Top = L.AddMarker();
    auto* F = L.Add(std::make_unique<TSWFActionDefineFunction>());
    L.Add(std::make_unique<TSWFActionPush>())->AddValue(TSWFVariant(2));
    auto* W = L.Add(std::make_unique<TSWFActionWith>());
    auto* If = L.Add(std::make_unique<TSWFActionIf>());
    L.Add(std::make_unique<TSWFActionReturn>());
    W->SizeMarker.Set(L.AddMarker());
    F->CodeSizeMarker.Set(L.AddMarker());
    If->BranchOffsetMarker.Set(W->SizeMarker.Ptr());
    auto* F2 = L.Add(std::make_unique<TSWFActionDefineFunction2>());
    L.Add(std::make_unique<TSWFActionPop>());
    F2->CodeSizeMarker.Set(L.AddMarker());
    L.Add(std::make_unique<TSWFActionJump>())->BranchOffsetMarker.Set(Top);
    auto* Ahead = L.Add(std::make_unique<TSWFActionJump>());
    L.Add(std::make_unique<TSWFActionStop>());
    Ahead->BranchOffsetMarker.Set(L.AddMarker());
    const Bytes Out = WriteList(L);

    TSWFActionList R;
    ReadList(Out, R);
    ASSERT_EQ(R.Count(), L.Count() + 1);  // the shared label comes back as two
    // Labels: ours at 0, 6, 7, 10, 14; the reader's at 0, 6, 7, 8, 11, 15:
    // the function, the with and the if each get one at their common end.
    EXPECT_EQ(LabelIndexes(R), (std::vector<std::size_t>{0, 6, 7, 8, 11, 15}));
    EXPECT_EQ(Target(R, 1), 6);   // function body
    EXPECT_EQ(Target(R, 3), 7);   // with block
    EXPECT_EQ(Target(R, 4), 8);   // if
    EXPECT_EQ(Target(R, 9), 11);  // function2 body
    EXPECT_EQ(Target(R, 12), 0);  // backward jump
    EXPECT_EQ(Target(R, 13), 15);
    auto& Back = dynamic_cast<TSWFOffsetMarker&>(R[0]);
    EXPECT_TRUE(Back.JumpToBack);
    EXPECT_FALSE(Back.ManualSet);
    EXPECT_FALSE(dynamic_cast<TSWFOffsetMarker&>(R[15]).JumpToBack);
    // Names run in the order of the actions referring to them.
    EXPECT_EQ(dynamic_cast<TSWFOffsetMarker&>(R[6]).MarkerName, "label 1");
    EXPECT_EQ(dynamic_cast<TSWFOffsetMarker&>(R[0]).MarkerName, "label 5");
    // The read offsets are static: written again, the same bytes.
    EXPECT_TRUE(dynamic_cast<TSWFActionJump&>(R[12]).StaticOffset);
    EXPECT_EQ(WriteList(R), Out);

    // A copy links its actions to its own labels.
    TSWFActionList C;
    C.Add(std::make_unique<TSWFActionPlay>());
    CopyActionList(L, C);
    EXPECT_EQ(C.Count(), L.Count() + 1);
    EXPECT_EQ(Target(C, 12), 1);
    EXPECT_EQ(Target(C, 5), 7);
    const Bytes COut = WriteList(C);
    EXPECT_EQ(Bytes(COut.begin() + 1, COut.end()), Out);
    // A label outside the list is copied as the action's own.
    TSWFActionList Solo;
    Solo.Add(std::make_unique<TSWFActionJump>())->BranchOffsetMarker.Get().MarkerName = "away";
    TSWFActionList SoloCopy;
    CopyActionList(Solo, SoloCopy);
    auto& SJ = dynamic_cast<TSWFActionJump&>(SoloCopy[0]);
    EXPECT_TRUE(SJ.BranchOffsetMarker.Owns());
    EXPECT_EQ(SJ.BranchOffsetMarker.Ptr()->MarkerName, "away");
    EXPECT_NE(SJ.BranchOffsetMarker.Ptr(), dynamic_cast<TSWFActionJump&>(Solo[0]).BranchOffsetMarker.Ptr());

    // Deleting a label unlinks the actions that pointed to it.
    L.Delete(0);
    EXPECT_EQ(dynamic_cast<TSWFActionJump&>(L[10]).BranchOffsetMarker.Ptr(), nullptr);
    EXPECT_EQ(dynamic_cast<TSWFActionJump&>(L[11]).BranchOffsetMarker.Ptr(), &L[13]);
}

TEST(ActionLabels, TargetsOffABoundaryGetNoLabel) {
    TSWFActionList R;
    // A jump into the middle of the GotoFrame, a with past the end, and a
    // jump to the end of the list (a boundary).
    ReadList(B({0x81, 0x02, 0x00, 0x01, 0x00, 0x99, 0x02, 0x00, 0xFA, 0xFF, 0x94, 0x02, 0x00, 0x09, 0x00, 0x99, 0x02,
                0x00, 0x00, 0x00}),
             R);
    ASSERT_EQ(R.Count(), 5u);
    auto& J = dynamic_cast<TSWFActionJump&>(R[1]);
    ASSERT_NE(J.BranchOffsetMarker.Ptr(), nullptr);
    EXPECT_EQ(J.BranchOffsetMarker.Ptr()->MarkerName, "Error Size offset: -6");
    EXPECT_EQ(R.IndexOf(J.BranchOffsetMarker.Ptr()), -1);
    EXPECT_EQ(dynamic_cast<TSWFActionWith&>(R[2]).SizeMarker.Ptr()->MarkerName, "Error Size offset: 9");
    EXPECT_EQ(Target(R, 3), 4);
    EXPECT_EQ(dynamic_cast<TSWFOffsetMarker&>(R[4]).MarkerName, "label 1");
}

TEST(ActionLists, EveryClassRoundTrips) {
    TSWFActionList L;
#define ADD_CLASS(Name, Base, Code) L.Add(std::make_unique<Name>());
    ANIVERT_SWF_ALL_ACTIONS(ADD_CLASS)
#undef ADD_CLASS
    ASSERT_EQ(L.Count(), 101u);
    for (const auto& Item : L) {
        TSWFAction* A = Item.get();
        if (auto* P = dynamic_cast<TSWFActionGotoFrame*>(A)) P->Frame = 300;
        if (auto* P = dynamic_cast<TSWFActionGetUrl*>(A)) P->URL = "u", P->Target = "t";
        if (auto* P = dynamic_cast<TSWFActionWaitForFrame*>(A)) P->Frame = 2, P->SkipCount = 1;
        if (auto* P = dynamic_cast<TSWFActionSetTarget*>(A)) P->TargetName = "clip";
        if (auto* P = dynamic_cast<TSWFActionGoToLabel*>(A)) P->Label = "lbl";
        if (auto* P = dynamic_cast<TSWFActionWaitForFrame2*>(A)) P->SkipCount = 4;
        if (auto* P = dynamic_cast<TSWFActionPush*>(A)) P->AddValue(TSWFVariant("s")), P->AddValue(TSWFVariant(2.5));
        if (auto* P = dynamic_cast<TSWFActionJump*>(A)) P->SetBranchOffset(-3);
        if (auto* P = dynamic_cast<TSWFActionGetURL2*>(A)) P->SendVarsMethod = 1, P->LoadVariablesFlag = true;
        if (auto* P = dynamic_cast<TSWFActionGotoFrame2*>(A)) P->SceneBiasFlag = true, P->SceneBias = 9;
        if (auto* P = dynamic_cast<TSWFActionByteCode*>(A)) P->Data = {0x06};
        if (auto* P = dynamic_cast<TSWFActionStoreRegister*>(A)) P->RegisterNumber = 3;
        if (auto* P = dynamic_cast<TSWFActionConstantPool*>(A)) P->ConstantPool = {"a", "", "bc"};
        if (auto* P = dynamic_cast<TSWFActionWith*>(A)) P->SetSize(1);
        if (auto* P = dynamic_cast<TSWFActionDefineFunction*>(A)) P->FunctionName = "f", P->Params = {"p", "q"}, P->SetCodeSize(2);
        if (auto* P = dynamic_cast<TSWFActionDefineFunction2*>(A)) {
            P->FunctionName = "g";
            P->AddParam("r", 4);
            P->RegisterCount = 5;
            P->PreloadRootFlag = P->PreloadSuperFlag = P->SuppressArgumentsFlag = P->PreloadArgumentsFlag = true;
            P->SuppressThisFlag = P->PreloadGlobalFlag = true;
            P->SetCodeSize(1);
        }
        if (auto* P = dynamic_cast<TSWFActionTry*>(A)) {
            P->CatchBlockFlag = P->FinallyBlockFlag = true;
            P->CatchName = "err";
            P->SetTrySize(1), P->SetCatchSize(1), P->SetFinallySize(1);
        }
    }
    const Bytes Out = WriteList(L);
    TSWFActionList R;
    ReadList(Out, R);
    EXPECT_EQ(WriteList(R), Out);
    // The same classes in the same order (labels aside; the raw Play reads
    // as a Play).
    std::vector<std::uint8_t> Want, Got;
    for (const auto& A : L)
        if (A->ActionCode != actionOffsetMarker) Want.push_back(A->ActionCode == actionByteCode ? 0x06 : A->ActionCode);
    for (const auto& A : R)
        if (A->ActionCode != actionOffsetMarker) Got.push_back(A->ActionCode);
    EXPECT_EQ(Got, Want);
    for (std::size_t I = 0; I < R.Count(); ++I) {
        const TSWFAction& Read = R[I];
        const auto Made = CreateActionByCode(Read.ActionCode);
        const TSWFAction& Fresh = *Made;
        EXPECT_EQ(typeid(Read), typeid(Fresh));
    }

    // Copies by class and CopyFrom give the same bytes; lengths as read.
    TSWFActionList C;
    CopyActionList(R, C);
    EXPECT_EQ(WriteList(C), Out);
    std::int64_t Sum = 0;
    for (const auto& A : R) Sum += GetFullSize(*A);
    EXPECT_EQ(Sum, static_cast<std::int64_t>(Out.size()));
    EXPECT_THROW(TSWFActionPlay().CopyFrom(TSWFActionStop()), EAssignError);
    EXPECT_THROW(TSWFActionJump().CopyFrom(TSWFActionIf()), EAssignError);

    // Unparsed, the list is one raw action holding the same bytes.
    TSWFActionList Raw;
    ReadList(Cat({Out, B({0x00, 0x07})}), Raw, false);
    ASSERT_EQ(Raw.Count(), 1u);
    EXPECT_EQ(dynamic_cast<TSWFActionByteCode&>(Raw[0]).Data, Out);
    EXPECT_EQ(WriteList(Raw), Out);
}

TEST(ActionLists, UnknownCodesAreKeptAsRawBytes) {
    // 0x02 and 0x80 have no class, 0xFE and 0xFF are not actions of a file.
    const Bytes In = B({0x02, 0x80, 0x01, 0x00, 0x55, 0xFF, 0x00, 0x00, 0xFE, 0x01, 0x00, 0x09, 0x99, 0x02, 0x00,
                        0x01, 0x00, 0x07, 0x00});
    TSWFActionList R;
    ReadList(In, R);
    ASSERT_EQ(R.Count(), 7u);
    EXPECT_EQ(dynamic_cast<TSWFActionByteCode&>(R[1]).Data, B({0x80, 0x01, 0x00, 0x55}));
    EXPECT_EQ(GetFullSize(R[2]), 3);
    EXPECT_EQ(Target(R, 4), 6);  // the jump over the Stop still lands right
    EXPECT_EQ(Cat({WriteList(R), B({0x00})}), In);
}

TEST(ActionLists, DoActionTagsReadBack) {
    TSWFDoInitAction I;
    I.SpriteID = 9;
    auto* J = I.Actions().Add(std::make_unique<TSWFActionJump>());
    I.Actions().Add(std::make_unique<TSWFActionStop>());
    J->BranchOffsetMarker.Set(I.Actions().AddMarker());
    const Bytes Out = WriteTag(I);
    TMemoryStream M(Out);
    auto Tag = GenerateSWFObject(tagDoInitAction);
    auto& Back = dynamic_cast<TSWFDoInitAction&>(*Tag);
    TBitsEngine BE(M);
    BE.ReadWord();
    Back.BodySize = static_cast<std::uint32_t>(Out.size() - 2);
    Back.ReadFromStream(BE);
    EXPECT_EQ(Back.SpriteID, 9);
    EXPECT_EQ(LabelIndexes(Back.Actions()), (std::vector<std::size_t>{2}));
    EXPECT_EQ(WriteTag(Back), Out);

    TSWFDoInitAction Copy;
    Copy.CopyFrom(Back);
    EXPECT_EQ(WriteTag(Copy), Out);
    EXPECT_THROW(Copy.CopyFrom(TSWFDoAction()), EAssignError);

    // Unparsed: one raw action, written back the same.
    TSWFDoAction D;
    D.Actions().Add(std::make_unique<TSWFActionGetUrl>("a", "b"));
    const Bytes DOut = WriteTag(D);
    TSWFDoAction Raw;
    Raw.ParseActions = false;
    TMemoryStream DM(DOut);
    TBitsEngine DBE(DM);
    DBE.ReadWord();
    Raw.BodySize = static_cast<std::uint32_t>(DOut.size() - 2);
    Raw.ReadFromStream(DBE);
    ASSERT_EQ(Raw.Actions().Count(), 1u);
    EXPECT_EQ(Raw.Actions()[0].ActionCode, actionByteCode);
    EXPECT_EQ(WriteTag(Raw), DOut);
}

TEST(ActionLists, TruncatedAndGarbageInputFailsCleanly) {
    TSWFActionList L;
    L.Add(std::make_unique<TSWFActionPush>())->AddValue(TSWFVariant("abc"));
    L.Add(std::make_unique<TSWFActionGetUrl>("u", "t"));
    L.Add(std::make_unique<TSWFActionStop>());
    auto* T = L.Add(std::make_unique<TSWFActionTry>());
    T->CatchName = "x";
    T->SetTrySize(0);
    auto* F = L.Add(std::make_unique<TSWFActionDefineFunction2>());
    F->AddParam("p", 1);
    F->SetCodeSize(0);
    auto* C = L.Add(std::make_unique<TSWFActionConstantPool>());
    C->ConstantPool = {"k"};
    const Bytes Out = WriteList(L);
    std::vector<std::size_t> Boundaries{0};
    for (const auto& A : L) Boundaries.push_back(Boundaries.back() + static_cast<std::size_t>(GetFullSize(*A)));
    for (std::size_t Len = 0; Len < Out.size(); ++Len) {
        TSWFActionList R;
        const Bytes Cut(Out.begin(), Out.begin() + static_cast<std::ptrdiff_t>(Len));
        const bool AtBoundary = std::find(Boundaries.begin(), Boundaries.end(), Len) != Boundaries.end();
        if (AtBoundary) {
            ReadList(Cut, R);  // a list may end without its end byte
            EXPECT_EQ(WriteList(R), Cut);
        } else {
            EXPECT_THROW(ReadList(Cut, R), EReadError) << "length " << Len;
        }
    }
    // A body whose fields run past its length is reported with its place.
    try {
        TSWFActionList R;
        ReadList(B({0x07, 0x83, 0x02, 0x00, 'a', 'b', 0x00}), R);
        FAIL();
    } catch (const EReadError& E) {
        EXPECT_NE(std::string(E.what()).find("Action 0x83 (GetUrl) at byte 1"), std::string::npos) << E.what();
    }
    std::mt19937 Rng(77);
    for (int I = 0; I < 4000; ++I) {
        Bytes D = Out;
        if (I & 1) {
            D.resize(Rng() % 64);
            for (auto& V : D) V = static_cast<std::uint8_t>(Rng() % 3 == 0 ? 0x80 + Rng() % 32 : Rng());
        } else {
            for (int K = 0; K < 3; ++K) D[Rng() % D.size()] = static_cast<std::uint8_t>(Rng());
        }
        TSWFActionList R;
        try {
            ReadList(D, R);
            const Bytes W1 = WriteList(R);
            TSWFActionList R2;
            ReadList(W1, R2);
            EXPECT_EQ(WriteList(R2), W1);
        } catch (const EReadError&) {
        }
    }
}

TEST(ActionLists, WhatCannotBeFramedIsRefused) {
    TSWFActionPush P;
    P.AddValue(TSWFVariant(std::string(70000, 'x')));
    EXPECT_THROW(WriteOne(P), std::length_error);
    // A label farther than a 16-bit field can reach.
    TSWFActionList L;
    auto* W = L.Add(std::make_unique<TSWFActionWith>());
    for (int I = 0; I < 2; ++I) L.Add(std::make_unique<TSWFActionPush>())->AddValue(TSWFVariant(std::string(40000, 'y')));
    W->SizeMarker.Set(L.AddMarker("far"));
    EXPECT_THROW(WriteList(L), std::length_error);
}
