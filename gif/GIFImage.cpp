// Reading a GIF file: the image, its header, the block sequence, the
// extensions and their registries.
#include "GIFImage.h"
#include "GIFStreamUtil.h"
#include "Threads.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace anivert {

using gifio::ReadByteOrZero;
using gifio::ReadExact;
using gifio::SkipBytes;

namespace {

void StepBack(TStream& Stream) { Stream.Seek(-1, TSeekOrigin::soCurrent); }

// Data sub-blocks as text: one string per sub-block, cut at a zero byte.
void ReadTextBlocks(TStream& Stream, std::vector<std::string>& Lines) {
    Lines.clear();
    std::uint8_t N;
    while (Stream.Read(&N, 1) == 1 && N != 0) {
        std::string S(N, '\0');
        ReadExact(Stream, S.data(), N);
        S.resize(std::strlen(S.c_str()));
        Lines.push_back(std::move(S));
    }
}

// ---------------------------------------------------------------- registries

struct TExtensionEntry {
    std::uint8_t Label;
    const TGIFExtensionClass* Class;
};

struct TAppExtensionEntry {
    std::array<std::uint8_t, 11> Identifier;
    const TGIFExtensionClass* Class;
};

std::array<std::uint8_t, 11> Identifier(const char* Text) {
    std::array<std::uint8_t, 11> Id{};
    std::memcpy(Id.data(), Text, 11);
    return Id;
}

struct TRegistries {
    std::mutex Lock;
    std::vector<TExtensionEntry> Extensions;
    std::vector<TAppExtensionEntry> AppExtensions;

    TRegistries() {
        Extensions = {{0x01, &TGIFTextExtension::Class},
                      {0xF9, &TGIFGraphicControlExtension::Class},
                      {0xFE, &TGIFCommentExtension::Class},
                      {0xFF, &TGIFApplicationExtension::Class}};
        AppExtensions = {{Identifier("NETSCAPE2.0"), &TGIFAppExtNSLoop::Class},
                         {Identifier("ANIMEXTS1.0"), &TGIFAppExtNSLoop::Class}};
    }
};

TRegistries& Registries() {
    static TRegistries R;
    return R;
}

template <class T>
std::unique_ptr<TGIFExtension> CreateExtension(TGIFSubImage& Frame) {
    return std::make_unique<T>(Frame);
}

const TGIFExtensionClass* ProbeSelf(const TGIFExtensionClass& Self, TStream&) { return &Self; }

// Finds the class of the extension whose label follows at the stream's
// position (just after the "!"); the position is kept.
const TGIFExtensionClass* ResolveExtensionClass(TStream& Stream) {
    const std::int64_t Pos = Stream.Position();
    std::uint8_t Label;
    if (Stream.Read(&Label, 1) != 1) return nullptr;
    const TGIFExtensionClass* Class = FindExtension(Label);
    while (Class) {
        const TGIFExtensionClass* Next = Class->ProbeSubclass(*Class, Stream);
        if (Next == Class) break;
        Class = Next;
    }
    Stream.SetPosition(Pos);
    return Class;
}

// The trailer, made only to read the last byte.
class TGIFTrailer : public TGIFItem {
public:
    using TGIFItem::TGIFItem;
    void SaveToStream(TStream& Stream) override {
        const std::uint8_t B = ';';
        Stream.WriteBuffer(&B, 1);
    }
    void LoadFromStream(TStream& Stream) override {
        std::uint8_t B;
        if (Stream.Read(&B, 1) == 1 && B != ';') ReportWarning(1, gifmsg::BadTrailer);
    }
};

}  // namespace

void RegisterExtension(std::uint8_t Label, const TGIFExtensionClass& Class) {
    TRegistries& R = Registries();
    std::lock_guard<std::mutex> Guard(R.Lock);
    R.Extensions.push_back({Label, &Class});
}

const TGIFExtensionClass* FindExtension(std::uint8_t Label) {
    TRegistries& R = Registries();
    std::lock_guard<std::mutex> Guard(R.Lock);
    for (auto It = R.Extensions.rbegin(); It != R.Extensions.rend(); ++It)
        if (It->Label == Label) return It->Class;
    return nullptr;
}

void RegisterAppExtension(const std::array<std::uint8_t, 11>& Identifier, const TGIFExtensionClass& Class) {
    TRegistries& R = Registries();
    std::lock_guard<std::mutex> Guard(R.Lock);
    R.AppExtensions.push_back({Identifier, &Class});
}

const TGIFExtensionClass* FindAppExtension(const std::uint8_t* Identifier) {
    TRegistries& R = Registries();
    std::lock_guard<std::mutex> Guard(R.Lock);
    for (auto It = R.AppExtensions.rbegin(); It != R.AppExtensions.rend(); ++It)
        if (std::memcmp(It->Identifier.data(), Identifier, 11) == 0) return It->Class;
    return nullptr;
}

// ---------------------------------------------------------------- items

void TGIFItem::ReportWarning(int Severity, const std::string& Message) {
    if (FImage) FImage->ReportWarning(this, Severity, Message);
}

void TGIFItem::LoadFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmOpenRead);
    LoadFromStream(F);
}

void TGIFHeader::Clear() {
    ColorTable.Clear();
    ScreenWidth = 0;
    ScreenHeight = 0;
    BackgroundColorIndex = 0;
    AspectRatio = 0;
    Version.clear();
    UpdatePackedFields();
}

void TGIFHeader::UpdatePackedFields() {
    const int Bits = ColorTable.BitsPerPixel();
    std::uint8_t P = 0;
    if (ColorTable.Count() > 0) {
        P |= 0x80;
        if (ColorTable.UseOrdered) P |= 0x08;
        P |= static_cast<std::uint8_t>(((Bits - 1) & 7) << 4);
        P |= static_cast<std::uint8_t>((Bits - 1) & 7);
    }
    PackedFields = P;
}

void TGIFHeader::LoadFromStream(TStream& Stream) {
    const std::int64_t Pos = Stream.Position();
    std::uint8_t Sig[6];
    auto IsGIF = [&Sig] {
        return std::toupper(Sig[0]) == 'G' && std::toupper(Sig[1]) == 'I' && std::toupper(Sig[2]) == 'F';
    };
    ReadExact(Stream, Sig, 6);
    if (!IsGIF()) {
        // A four-byte prefix before the signature is tolerated.
        Stream.SetPosition(Pos + 4);
        ReadExact(Stream, Sig, 6);
        if (!IsGIF()) throw GIFException(gifmsg::BadSignature);
    }
    Version.assign(reinterpret_cast<const char*>(Sig) + 3, 3);
    std::uint8_t D[7];
    ReadExact(Stream, D, 7);
    ScreenWidth = static_cast<std::uint16_t>(D[0] | (D[1] << 8));
    ScreenHeight = static_cast<std::uint16_t>(D[2] | (D[3] << 8));
    PackedFields = D[4];
    BackgroundColorIndex = D[5];
    AspectRatio = D[6];
    if (PackedFields & 0x80)
        ColorTable.LoadFromStream(Stream, 2 << (PackedFields & 7));
    else
        ColorTable.Clear();
}

// ---------------------------------------------------------------- extensions

TGIFExtension::TGIFExtension(TGIFSubImage& Frame) : TGIFItem(Frame.Image()), FSubImage(Frame) {}

void TGIFExtension::LoadFromStream(TStream& Stream) {
    std::uint8_t H[2];
    ReadExact(Stream, H, 2);
    if (H[0] != '!') throw GIFException(gifmsg::BadExtensionIntroducer);
    if (H[1] != LabelByte()) throw GIFException(gifmsg::ExtensionMismatch);
    LoadBody(Stream);
}

void TGIFExtension::Assign(const TGIFExtension&) {}

std::unique_ptr<TGIFExtension> TGIFExtension::Clone(TGIFSubImage& Frame) const {
    std::unique_ptr<TGIFExtension> E = ClassInfo().Create(Frame);
    E->Assign(*this);
    return E;
}

const TGIFExtensionClass TGIFGraphicControlExtension::Class = {
    "graphic control", &CreateExtension<TGIFGraphicControlExtension>, &ProbeSelf};

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage& Frame) : TGIFExtension(Frame) {
    if (!Frame.GraphicControlExtension) Frame.GraphicControlExtension = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
    TGIFSubImage& Frame = SubImage();
    if (Transparent()) Frame.Transparent = false;
    if (Frame.GraphicControlExtension == this) Frame.GraphicControlExtension = nullptr;
}

void TGIFGraphicControlExtension::SetTransparent(bool Value) {
    const std::uint8_t Old = Rec.PackedFields;
    Rec.PackedFields = Value ? (Rec.PackedFields | 0x01) : (Rec.PackedFields & ~0x01);
    SubImage().Transparent = Value;
    // The mask (and a dithered picture) depend on transparency.
    if (Rec.PackedFields != Old) SubImage().FreeBitmap();
}

void TGIFGraphicControlExtension::SetDisposal(std::uint8_t Value) {
    Rec.PackedFields = static_cast<std::uint8_t>((Rec.PackedFields & ~0x1C) | ((Value << 2) & 0x1C));
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int Value) {
    const int Count = SubImage().UsedColorMap().Count();
    if ((Value >= Count && Count > 0) || Value < 0 || Value > 255) {
        ReportWarning(1, gifmsg::InvalidColorIndex);
        Value = 0;
    }
    if (Rec.TransparentColorIndex != Value) {
        Rec.TransparentColorIndex = static_cast<std::uint8_t>(Value);
        SubImage().FreeBitmap();
    }
}

void TGIFGraphicControlExtension::Assign(const TGIFExtension& Source) {
    TGIFExtension::Assign(Source);
    if (auto* S = dynamic_cast<const TGIFGraphicControlExtension*>(&Source)) Rec = S->Rec;
}

TColor TGIFGraphicControlExtension::TransparentColor() const {
    return SubImage().UsedColorMap().Colors(Rec.TransparentColorIndex);
}

void TGIFGraphicControlExtension::LoadBody(TStream& Stream) {
    std::uint8_t B[6] = {Rec.BlockSize,
                         Rec.PackedFields,
                         static_cast<std::uint8_t>(Rec.Delay),
                         static_cast<std::uint8_t>(Rec.Delay >> 8),
                         Rec.TransparentColorIndex,
                         Rec.Terminator};
    const std::size_t Got = Stream.Read(B, 6);
    Rec.BlockSize = B[0];
    Rec.PackedFields = B[1];
    Rec.Delay = static_cast<std::uint16_t>(B[2] | (B[3] << 8));
    Rec.TransparentColorIndex = B[4];
    Rec.Terminator = B[5];
    if (Got < 6)
        ReportWarning(1, gifmsg::PrematureEOF);
    else if (Transparent())
        SubImage().Transparent = true;
}

const TGIFExtensionClass TGIFTextExtension::Class = {"plain text", &CreateExtension<TGIFTextExtension>,
                                                     &ProbeSelf};

TGIFTextExtension::TGIFTextExtension(TGIFSubImage& Frame) : TGIFExtension(Frame) { TextGridHeader[0] = 12; }

void TGIFTextExtension::Assign(const TGIFExtension& Source) {
    TGIFExtension::Assign(Source);
    if (auto* S = dynamic_cast<const TGIFTextExtension*>(&Source)) {
        TextGridHeader = S->TextGridHeader;
        Lines = S->Lines;
    }
}

void TGIFTextExtension::LoadBody(TStream& Stream) {
    ReadExact(Stream, TextGridHeader.data(), TextGridHeader.size());
    ReadTextBlocks(Stream, Lines);
}

const TGIFExtensionClass TGIFCommentExtension::Class = {"comment", &CreateExtension<TGIFCommentExtension>,
                                                        &ProbeSelf};

void TGIFCommentExtension::LoadBody(TStream& Stream) { ReadTextBlocks(Stream, Lines); }

void TGIFCommentExtension::Assign(const TGIFExtension& Source) {
    TGIFExtension::Assign(Source);
    if (auto* S = dynamic_cast<const TGIFCommentExtension*>(&Source)) Lines = S->Lines;
}

const TGIFExtensionClass TGIFApplicationExtension::Class = {
    "application", &CreateExtension<TGIFApplicationExtension>, &TGIFApplicationExtension::Probe};

const TGIFExtensionClass* TGIFApplicationExtension::Probe(const TGIFExtensionClass& Self, TStream& Stream) {
    const std::int64_t Pos = Stream.Position();
    std::uint8_t Size;
    if (Stream.Read(&Size, 1) != 1) return nullptr;
    std::uint8_t Id[11];
    if (Size == 10) return Stream.Read(Id, 10) == 10 ? &TGIFUnknownAppExtension::Class : nullptr;
    if (Size == 11 && Stream.Read(Id, 11) == 11) {
        const TGIFExtensionClass* Found = FindAppExtension(Id);
        return Found ? Found : &TGIFUnknownAppExtension::Class;
    }
    Stream.SetPosition(Pos);
    // A longer identification block is kept as an unknown extension (its
    // extra bytes skipped); a shorter one is refused when it is read.
    return Size > 11 ? &TGIFUnknownAppExtension::Class : &Self;
}

void TGIFApplicationExtension::Assign(const TGIFExtension& Source) {
    TGIFExtension::Assign(Source);
    if (auto* S = dynamic_cast<const TGIFApplicationExtension*>(&Source)) AppIdentifier = S->AppIdentifier;
}

std::string TGIFApplicationExtension::IdentifierText() const {
    std::string S(reinterpret_cast<const char*>(AppIdentifier.data()), AppIdentifier.size());
    S.resize(std::strlen(S.c_str()));
    return S;
}

void TGIFApplicationExtension::LoadBody(TStream& Stream) {
    const std::uint8_t Size = ReadByteOrZero(Stream);
    if (Size == 10) {
        AppIdentifier.fill(0);
        ReadExact(Stream, AppIdentifier.data(), 10);
    } else if (Size < 10) {
        throw GIFException(gifmsg::BadAppExtensionSize);
    } else {
        ReadExact(Stream, AppIdentifier.data(), 11);
        SkipBytes(Stream, Size - 11);
    }
    LoadData(Stream);
}

void TGIFApplicationExtension::LoadData(TStream& Stream) {
    std::uint8_t N;
    while ((N = ReadByteOrZero(Stream)) != 0) SkipBytes(Stream, N);
}

const TGIFExtensionClass TGIFUnknownAppExtension::Class = {
    "unknown application", &CreateExtension<TGIFUnknownAppExtension>, &TGIFApplicationExtension::Probe};

void TGIFUnknownAppExtension::Assign(const TGIFExtension& Source) {
    TGIFApplicationExtension::Assign(Source);
    if (auto* S = dynamic_cast<const TGIFUnknownAppExtension*>(&Source)) SubBlocks = S->SubBlocks;
}

void TGIFUnknownAppExtension::LoadData(TStream& Stream) {
    SubBlocks.clear();
    std::uint8_t N;
    while (Stream.Read(&N, 1) == 1 && N != 0) {
        TGIFBlock Block(N);
        ReadExact(Stream, Block.Data.data(), N);
        SubBlocks.push_back(std::move(Block));
    }
}

const TGIFExtensionClass TGIFAppExtNSLoop::Class = {"loop", &CreateExtension<TGIFAppExtNSLoop>,
                                                    &TGIFApplicationExtension::Probe};

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage& Frame) : TGIFApplicationExtension(Frame) {
    AppIdentifier = Identifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::Assign(const TGIFExtension& Source) {
    TGIFApplicationExtension::Assign(Source);
    if (auto* S = dynamic_cast<const TGIFAppExtNSLoop*>(&Source)) {
        LoopCount = S->LoopCount;
        BufferingSize = S->BufferingSize;
    }
}

void TGIFAppExtNSLoop::LoadData(TStream& Stream) {
    std::uint8_t Size;
    while ((Size = ReadByteOrZero(Stream)) != 0) {
        const std::uint8_t Id = ReadByteOrZero(Stream);
        if ((Id & 7) == 1) {
            if (Size < 3) throw GIFException(gifmsg::InvalidData);
            std::uint8_t B[2];
            ReadExact(Stream, B, 2);
            LoopCount = static_cast<std::uint16_t>(B[0] | (B[1] << 8));
            SkipBytes(Stream, Size - 3);
        } else if ((Id & 7) == 2) {
            if (Size < 5) throw GIFException(gifmsg::InvalidData);
            std::uint8_t B[4];
            ReadExact(Stream, B, 4);
            BufferingSize = std::uint32_t(B[0]) | (std::uint32_t(B[1]) << 8) | (std::uint32_t(B[2]) << 16) |
                            (std::uint32_t(B[3]) << 24);
            SkipBytes(Stream, Size - 5);
        } else {
            SkipBytes(Stream, Size - 1);
        }
    }
}

void TGIFExtensionList::ReportWarning(int Severity, const std::string& Message) {
    if (FImage) FImage->ReportWarning(nullptr, Severity, Message);
}

namespace {

// The block size a graphic control extension has.
constexpr std::uint8_t GraphicControlBlockSize = 4;

// At a graphic control extension's label: browsers end the image at one of
// another size, showing the frames before it.
void EndAtOddGraphicControl(TStream& Stream) {
    std::uint8_t LabelAndSize[2];
    const std::size_t Got = Stream.Read(LabelAndSize, 2);
    Stream.Seek(-static_cast<std::int64_t>(Got), TSeekOrigin::soCurrent);
    if (Got == 2 && LabelAndSize[1] != GraphicControlBlockSize)
        throw GIFImageEnds("graphic control extension of " + std::to_string(LabelAndSize[1]) + " bytes");
}

}  // namespace

void TGIFExtensionList::LoadFromStream(TStream& Stream, TGIFSubImage& Frame) {
    std::uint8_t B;
    if (Stream.Read(&B, 1) != 1) return;
    while (B != ',' && B != ';') {
        if (B != '!') {
            ReportWarning(1, gifmsg::BadExtensionIntroducer);
            StepBack(Stream);
            return;
        }
        const TGIFExtensionClass* Class = ResolveExtensionClass(Stream);
        if (!Class && Frame.Image() && Frame.Image()->Salvage) {
            // Browsers step over an extension they do not know: its label
            // and its sub-blocks.
            ReportWarning(1, gifmsg::UnknownExtension);
            if (Frame.Image()->SalvagedReason.empty())
                Frame.Image()->SalvagedReason = "an extension of an unknown type was skipped";
            std::uint8_t N;
            if (Stream.Read(&N, 1) != 1) return;
            while (Stream.Read(&N, 1) == 1 && N != 0) SkipBytes(Stream, N);
            if (Stream.Read(&B, 1) != 1) return;
            continue;
        }
        if (!Class) throw GIFException(gifmsg::UnknownExtension);
        if (Class == &TGIFGraphicControlExtension::Class && Frame.Image() && Frame.Image()->Salvage)
            EndAtOddGraphicControl(Stream);
        StepBack(Stream);
        std::unique_ptr<TGIFExtension> E = Class->Create(Frame);
        E->LoadFromStream(Stream);
        Add(std::move(E));
        if (Stream.Read(&B, 1) != 1) return;
    }
    StepBack(Stream);
}

// ---------------------------------------------------------------- frame list

void TGIFImageList::ReportWarning(int Severity, const std::string& Message) {
    if (FImage) FImage->ReportWarning(nullptr, Severity, Message);
}

void TGIFImageList::LoadFromStream(TStream& Stream) {
    std::uint8_t B;
    // The next byte that is not 0 (zero bytes between blocks are skipped,
    // and counted).
    int Zeros = 0;
    auto NextBlock = [&] {
        for (Zeros = 0; Stream.Read(&B, 1) == 1; ++Zeros)
            if (B != 0) return true;
        return false;
    };
    if (!NextBlock()) return;
    while (B != ';') {
        StepBack(Stream);
        if (B != '!' && B != ',') {
            ReportWarning(1, gifmsg::UnknownBlockType);
            return;
        }
        if (Zeros > 0 && FImage && FImage->Salvage) {
            // A browser takes a zero byte where a block should begin for
            // the end of the image: a frame cut short and padded shows as
            // far as it goes, and nothing after it.
            int Shown = 0;
            for (int K = 0; K < Count(); ++K) Shown += (*this)[K].Empty() ? 0 : 1;
            const std::string Short = FImage->ShortFrameReason();
            FImage->SalvagedReason = !Short.empty() ? Short
                                     : Shown == 0   ? "zero bytes before the first frame"
                                                    : "frame " + std::to_string(Shown) + " is followed by zero bytes";
            return;
        }
        auto Frame = std::make_unique<TGIFSubImage>(FImage);
        try {
            Frame->LoadFromStream(Stream);
        } catch (const GIFImageEnds& E) {
            // Only a salvaging read ends so: the frames before are the image.
            if (FImage) FImage->SalvagedReason = E.what();
            return;
        } catch (const GIFException& E) {
            // A salvaging read keeps a frame whose bounds were read, with
            // what it decoded, and reads no further.
            if (FImage && FImage->Salvage) {
                FImage->SalvagedReason = std::string(E.what()) + " in frame " + std::to_string(Count() + 1);
                if (Frame->KeepCutShort()) Add(std::move(Frame));
                return;
            }
            if (FImage) FImage->KeepFailedFrame(std::move(Frame));
            throw;
        } catch (...) {
            // What it reported is reported later: it lives until then.
            if (FImage) FImage->KeepFailedFrame(std::move(Frame));
            throw;
        }
        Add(std::move(Frame));
        if (FImage) {
            const std::int64_t Size = Stream.Size();
            const int Percent = Size > 0 ? static_cast<int>(Stream.Position() * 100 / Size) : 100;
            FImage->Progress(TProgressStage::psRunning, Percent, gifmsg::Loading);
        }
        if (!NextBlock()) return;
    }
    StepBack(Stream);
}

// ---------------------------------------------------------------- image

TGIFImage::TGIFImage() : ScreenHeader(this), Images(this) {}

TGIFImage::~TGIFImage() {
    try {
        StopAllPainters();
    } catch (...) {
        // What a painter's last event raised has nobody to go to now.
    }
    // Painters still busy (the image is destroyed from one of their events)
    // must not reach back into it.
    for (const std::shared_ptr<TGIFPainter>& P : FPainters) P->Detach();
    FPainters.clear();
    Images.Clear();
}

void TGIFImage::LoadFile(const std::string& FileName) {
    TFileStream F(FileName, TFileMode::fmOpenRead);
    LoadFromStream(F);
}

struct TGIFImage::TDeferredLoad {
    struct TEvent {
        int Frames;  // frames read when it was reported
        std::function<void()> Report;
    };
    std::vector<TEvent> Events;
    // The frame whose reading failed, which senders of events may be.
    std::unique_ptr<TGIFSubImage> Failed;
};

std::string TGIFImage::ShortFrameReason() const {
    for (int K = 0; K < Images.Count(); ++K) {
        const TGIFSubImage& F = Images[K];
        const std::size_t N = F.PixelData.size();
        if (N == 0 || F.DecodedPixels >= N) continue;
        return F.DecodedPixels == 0 && F.FNoSize ? "frame " + std::to_string(K + 1) + " has no size"
                                                 : "frame " + std::to_string(K + 1) + " ends early";
    }
    return std::string();
}

void TGIFImage::FinishSalvage() {
    if (SalvagedReason.empty()) SalvagedReason = ShortFrameReason();
    for (int K = 0; K < Images.Count(); ++K) {
        TGIFSubImage& F = Images[K];
        const std::size_t N = F.PixelData.size();
        if (N > 0 && F.DecodedPixels < N) F.MakeUndecodedTransparent();
    }
    if (SalvagedReason.empty()) return;
    // What a browser shows nothing of is refused.
    if (Width() <= 0 || Height() <= 0) throw GIFException("the logical screen has no size");
}

void TGIFImage::KeepFailedFrame(std::unique_ptr<TGIFSubImage> Frame) {
    if (FDeferred) FDeferred->Failed = std::move(Frame);
}

TGIFImage::TDecoded TGIFImage::DecodeTogether(const std::vector<int>& Waiting, bool WholeBound) {
    // Frames read on demand get their pixels here, on this thread.
    for (int K : Waiting)
        if (Images[K].FOnDemand && Images[K].PixelData.empty()) GIFAllocatePixels(Images[K], WholeBound);
    TDecoded D;
    D.Warnings.resize(Waiting.size());
    D.Errors.resize(Waiting.size());
    std::atomic<std::size_t> Next{0};
    auto Work = [&] {
        for (std::size_t W = Next++; W < Waiting.size(); W = Next++) {
            TGIFSubImage& F = Images[Waiting[W]];
            try {
                GIFDecompressCodes(F, std::move(F.FPendingCodes), D.Warnings[W]);
            } catch (...) {
                D.Errors[W] = std::current_exception();
            }
        }
    };
    // Helpers share the frames with this thread; each is joined however
    // this ends (a thread that cannot start leaves its share to the others).
    struct TJoined {
        std::vector<std::thread> Threads;
        ~TJoined() {
            for (std::thread& T : Threads) T.join();
        }
    } Helpers;
    const unsigned Wanted = HasThreads ? std::max(1u, DecodeThreads) : 1u;
    const std::size_t Count = std::min<std::size_t>(Wanted, Waiting.size());
    try {
        for (std::size_t T = 1; T < Count; ++T) Helpers.Threads.emplace_back(Work);
    } catch (const std::system_error&) {
    }
    Work();
    return D;
}

void TGIFImage::ReportDecoded(int K, TDecoded& D, std::size_t W) {
    TGIFSubImage& F = Images[K];
    F.FDecodePending = false;
    for (const auto& [Severity, Message] : D.Warnings[W]) F.ReportWarning(Severity, Message);
    if (D.Errors[W]) {
        while (Images.Count() > K) Images.RemoveAt(Images.Count() - 1);
        std::rethrow_exception(D.Errors[W]);
    }
    if (RenderOnLoad) F.Bitmap();
}

void TGIFImage::FinishDeferredLoad(std::exception_ptr Pending) {
    // Decode every frame whose decoding waits, on up to DecodeThreads
    // threads, each keeping its warnings and its error; then report, in the
    // order of decoding one frame after the other: what came before each
    // frame was decoded, its decoding's warnings, and its error, which ends
    // the load as it would have there.
    const int N = Images.Count();
    std::vector<int> Waiting;
    for (int I = 0; I < N; ++I)
        if (Images[I].FDecodePending) Waiting.push_back(I);
    TDecoded Decoded = DecodeTogether(Waiting, true);
    std::unique_ptr<TDeferredLoad> D = std::move(FDeferred);
    std::size_t E = 0;
    auto ReportUpTo = [&](int Frames) {
        for (; E < D->Events.size() && D->Events[E].Frames <= Frames; ++E) D->Events[E].Report();
    };
    for (std::size_t W = 0; W < Waiting.size(); ++W) {
        ReportUpTo(Waiting[W]);
        ReportDecoded(Waiting[W], Decoded, W);
    }
    ReportUpTo(N);
    if (Pending) std::rethrow_exception(Pending);
}

void TGIFImage::KeepReadEvents() {
    FReadEvents = std::move(FDeferred);
    FReadEventsTold = 0;
}

void TGIFImage::TellReadEvents(int Frames) {
    if (!FReadEvents) return;
    auto& Events = FReadEvents->Events;
    while (FReadEventsTold < Events.size() && Events[FReadEventsTold].Frames <= Frames) Events[FReadEventsTold++].Report();
}

void TGIFImage::DecodeFrames(int First, int Count) {
    const int N = Images.Count();
    const int End = static_cast<int>(std::min<std::int64_t>(N, std::int64_t(std::max(First, 0)) + std::max(Count, 0)));
    std::vector<int> Waiting;
    for (int K = std::max(First, 0); K < End; ++K)
        if (Images[K].FDecodePending) Waiting.push_back(K);
    // What the reading reported comes before each frame's decoding, as in
    // a load.
    TDecoded Decoded = DecodeTogether(Waiting, false);
    for (std::size_t W = 0; W < Waiting.size(); ++W) {
        TellReadEvents(Waiting[W]);
        ReportDecoded(Waiting[W], Decoded, W);
    }
    TellReadEvents(End >= N ? N : End - 1);
}

void TGIFImage::ReleaseFrame(int K) {
    TGIFSubImage& F = Images[K];
    if (!F.FOnDemand) return;
    F.FreeBitmap();
    F.PixelData.clear();
    F.PixelData.shrink_to_fit();
    F.FPendingCodes.clear();
    F.FPendingCodes.shrink_to_fit();
    F.FDecodePending = false;
}

void TGIFImage::LoadFromStream(TStream& Stream) {
    Progress(TProgressStage::psStarting, 0, gifmsg::Loading);
    try {
        Clear();
        FReadEvents.reset();
        const std::int64_t Pos = Stream.Position();
        SalvagedReason.clear();
        try {
            if ((DecodeThreads > 1 || DecodeOnDemand) && !Salvage) {
                // Read everything first, decode the frames together, then
                // report as reading and decoding one by one would have.
                struct TReset {
                    std::unique_ptr<TDeferredLoad>& Deferred;
                    ~TReset() { Deferred.reset(); }
                } Reset{FDeferred};
                FDeferred = std::make_unique<TDeferredLoad>();
                TGIFTrailer Trailer(this);
                std::exception_ptr Pending;
                try {
                    ScreenHeader.LoadFromStream(Stream);
                    Images.LoadFromStream(Stream);
                    Trailer.LoadFromStream(Stream);
                } catch (...) {
                    Pending = std::current_exception();
                }
                // On demand, a file read to its end is decoded later; a
                // fault is raised after what the frames before it report.
                if (DecodeOnDemand && !Pending) KeepReadEvents();
                else FinishDeferredLoad(Pending);
            } else {
                ScreenHeader.LoadFromStream(Stream);
                Images.LoadFromStream(Stream);
                TGIFTrailer Trailer(this);
                if (SalvagedReason.empty()) Trailer.LoadFromStream(Stream);
                if (Salvage) FinishSalvage();
            }
        } catch (...) {
            Stream.SetPosition(Pos);
            throw;
        }
    } catch (...) {
        Progress(TProgressStage::psEnding, 0, gifmsg::Loading);
        throw;
    }
    Progress(TProgressStage::psEnding, 100, gifmsg::Loading);
}

void TGIFImage::CopyFrom(const TGIFImage* Source) {
    if (Source)
        CopyFrom(*Source);
    else
        Clear();
}

void TGIFImage::CopyFrom(const TGIFImage& Source) {
    if (&Source == this) return;
    Clear();
    // Source's events report for the copy while it runs.
    struct TBorrowedEvents {
        TGIFImage& Image;
        TWarningEvent Warning;
        TProgressEvent Progress;
        TBorrowedEvents(TGIFImage& AImage, const TGIFImage& From)
            : Image(AImage), Warning(std::move(AImage.OnDecodeWarning)), Progress(std::move(AImage.OnProgress)) {
            Image.OnDecodeWarning = From.OnDecodeWarning;
            Image.OnProgress = From.OnProgress;
        }
        ~TBorrowedEvents() {
            Image.OnDecodeWarning = std::move(Warning);
            Image.OnProgress = std::move(Progress);
        }
        TBorrowedEvents(const TBorrowedEvents&) = delete;
        TBorrowedEvents& operator=(const TBorrowedEvents&) = delete;
    } Borrowed(*this, Source);

    Progress(TProgressStage::psStarting, 0, gifmsg::Copying);
    try {
        const TGIFHeader& H = Source.ScreenHeader;
        ScreenHeader.ScreenWidth = H.ScreenWidth;
        ScreenHeader.ScreenHeight = H.ScreenHeight;
        ScreenHeader.PackedFields = H.PackedFields;
        ScreenHeader.BackgroundColorIndex = H.BackgroundColorIndex;
        ScreenHeader.AspectRatio = H.AspectRatio;
        ScreenHeader.Version = H.Version;
        ScreenHeader.ColorTable.CopyFrom(H.ColorTable);
        PainterPriority = Source.PainterPriority;
        PaintBackgroundColor = Source.PaintBackgroundColor;
        PaintOptions = Source.PaintOptions;
        ReductionMethod = Source.ReductionMethod;
        DitherMethod = Source.DitherMethod;
        MaxFramePixels = Source.MaxFramePixels;
        MaxImagePixels = Source.MaxImagePixels;
        const int N = Source.Images.Count();
        for (int I = 0; I < N; ++I) {
            auto Frame = std::make_unique<TGIFSubImage>(this);
            Frame->CopyFrom(Source.Images[I]);
            Images.Add(std::move(Frame));
            FPalette.reset();
            StopDrawPainter();
            Changed();
            Progress(TProgressStage::psRunning, static_cast<int>(std::int64_t(I + 1) * 100 / N), gifmsg::Copying);
        }
    } catch (...) {
        Progress(TProgressStage::psEnding, 0, gifmsg::Copying);
        throw;
    }
    Progress(TProgressStage::psEnding, 100, gifmsg::Copying);
}

void TGIFImage::ReportWarning(const TGIFItem* Sender, int Severity, const std::string& Message) {
    if (FDeferred) {
        FDeferred->Events.push_back({Images.Count(), [this, Sender, Severity, Message] {
                                         ReportWarning(Sender, Severity, Message);
                                     }});
        return;
    }
    if (OnDecodeWarning) OnDecodeWarning(*this, Sender, Severity, Message);
}

void TGIFImage::Progress(TProgressStage Stage, int Percent, const std::string& Message) {
    if (FDeferred && Stage == TProgressStage::psRunning) {
        FDeferred->Events.push_back({Images.Count(), [this, Stage, Percent, Message] { Progress(Stage, Percent, Message); }});
        return;
    }
    if (OnProgress) OnProgress(*this, Stage, Percent, Message);
}

void TGIFImage::SetWidth(int Value) {
    if (Value < 0 || Value > 0xFFFF) throw GIFException(gifmsg::InvalidImageDimensions);
    for (const auto& F : Images)
        if (F->Left() + F->Width() > Value) throw GIFException(gifmsg::WidthTooSmall);
    ScreenHeader.ScreenWidth = static_cast<std::uint16_t>(Value);
}

void TGIFImage::SetHeight(int Value) {
    if (Value < 0 || Value > 0xFFFF) throw GIFException(gifmsg::InvalidImageDimensions);
    for (const auto& F : Images)
        if (F->Top() + F->Height() > Value) throw GIFException(gifmsg::HeightTooSmall);
    ScreenHeader.ScreenHeight = static_cast<std::uint16_t>(Value);
}

TColor TGIFImage::BackgroundColor() { return GlobalColorMap().Colors(ScreenHeader.BackgroundColorIndex); }

void TGIFImage::Clear() {
    StopAllPainters();
    Images.Clear();
    ScreenHeader.Clear();
    FPalette.reset();
}

const TGIFPalette* TGIFImage::Palette() {
    if (FPalette) return FPalette.get();
    if (DitheringCondition()) {
        FPalette = std::make_unique<TGIFPalette>(GIFCubePalette());
    } else if (GlobalColorMap().Count() == 0) {
        // The first frame's local map stands in for the missing global one.
        if (Images.Count() == 0 || Images[0].ColorTable.Count() == 0) return nullptr;
        return Images[0].Palette();
    } else {
        FPalette = std::make_unique<TGIFPalette>(GlobalColorMap().MakePalette());
    }
    return FPalette.get();
}

bool TGIFImage::DitheringCondition() const {
    // There is no display here to ask for its depth: pictures are made for
    // a true-colour target, so "only on palette displays" never dithers.
    constexpr bool PaletteDisplay = false;
    return (PaintOptions & 0x0200) && (!(PaintOptions & 0x0400) || PaletteDisplay);
}

void TGIFImage::GlobalColorMapChanged() {
    FPalette.reset();
    for (const auto& F : Images) F->GlobalColorMapChanged();
}

void TGIFImage::ReservePixels(const TGIFSubImage* Frame, std::uint64_t Count) {
    if (Count > MaxFramePixels) throw GIFException(gifmsg::FrameTooLarge);
    std::uint64_t Total = Count;
    for (const auto& F : Images)
        if (F.get() != Frame) Total += F->PixelDataSize();
    if (Total > MaxImagePixels) throw GIFException(gifmsg::FrameTooLarge);
}

TGIFPalette GIFCubePalette() {
    TGIFPalette P;
    P.reserve(216);
    for (int R = 0; R < 6; ++R)
        for (int G = 0; G < 6; ++G)
            for (int B = 0; B < 6; ++B) P.push_back(TColor(R * 51) | (TColor(G * 51) << 8) | (TColor(B * 51) << 16));
    return P;
}

}  // namespace anivert
