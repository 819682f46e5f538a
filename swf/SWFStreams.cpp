#include "SWFStreams.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

namespace anivert {

namespace {

// Round half to even, as every rounding of this library does.
int RoundEven(double X) { return static_cast<int>(std::nearbyint(X)); }

std::string Hex(std::int64_t V) {
    char Buf[32];
    std::snprintf(Buf, sizeof Buf, "0x%llX", static_cast<unsigned long long>(V));
    return Buf;
}

}  // namespace

// ------------------------------------------------------------ TBasedSWFStream

TBasedSWFStream::TBasedSWFStream() : Body(std::make_unique<TMemoryStream>()) { SetPixelUnits(false); }

TBasedSWFStream::TBasedSWFStream(std::int32_t XMin, std::int32_t YMin, std::int32_t XMax, std::int32_t YMax,
                                 float FPS, bool PixelUnits) {
    SetPixelUnits(PixelUnits);
    Body = std::make_unique<TMemoryStream>();
    FVersion = 5;
    const std::int32_t M = FUnitMultiplier;
    FrameRect = TRect{XMin * M, YMin * M, XMax * M, YMax * M};
    SetFrameRate(FPS);
}

TBasedSWFStream::~TBasedSWFStream() = default;

void TBasedSWFStream::SetPixelUnits(bool Value) {
    FUnitMultiplier = Value ? 20 : 1;
    FPixelUnits = Value;
}

void TBasedSWFStream::SetCompressed(bool Value) {
    FCompressed = Value;
    if (Value && FVersion < 6) FVersion = 6;
}

void TBasedSWFStream::SetVersion(std::uint8_t Value) {
    if (FCompressed && Value < 6) FVersion = 6;
    else FVersion = Value;
}

std::uint32_t TBasedSWFStream::HeaderSize() const {
    const std::int64_t M = MaxAbs(FrameRect.Left, FrameRect.Top, FrameRect.Right, FrameRect.Bottom);
    const std::uint32_t NBits = GetBitsCount(M, 1);
    return (5 + 4 * NBits + 7) / 8 + 12;
}

void TBasedSWFStream::WriteHeader(TStream& Stream, int Part) const {
    TBitsEngine BE(Stream);
    if (Part == 0 || Part == 1) {
        Stream.WriteBuffer(FSignature.data(), 3);
        BE.WriteByte(FVersion);
        BE.WriteDWord(FileLength);
    }
    if (Part == 0 || Part == 2) {
        BE.WriteRect(FrameRect);
        BE.WriteWord(FrameRate);
        BE.WriteWord(FrameCount);
    }
}

void TBasedSWFStream::WriteBody(TStream&) { throw EAbstractError("Abstract Error"); }

void TBasedSWFStream::MakeStream() {
    Body->Clear();
    WriteBody(*Body);
}

void TBasedSWFStream::SaveToStream(TStream& Stream) {
    const std::int64_t BodyLen = Body->Size();
    FileLength = static_cast<std::uint32_t>(HeaderSize() + BodyLen);
    Body->SetPosition(0);
    if (!FCompressed) {
        FSignature = "FWS";
        WriteHeader(Stream, 0);
        Stream.CopyFrom(*Body, BodyLen);
        return;
    }
    FSignature = "CWS";
    if (FVersion < 6) FVersion = 6;
    WriteHeader(Stream, 1);
    TCompressionStream Z(Stream, -1);
    if (OnProgress) {
        // The percentage is measured against the body less the 22 bytes of
        // a typical header; it is kept within 0..100.
        const double Base = static_cast<double>(std::max<std::int64_t>(BodyLen - 22, 1));
        Z.OnBlock = [this, Base](std::int64_t Consumed) {
            const int Percent = std::clamp(RoundEven(100.0 * static_cast<double>(Consumed) / Base), 0, 100);
            OnProgress(*this, Percent, 2);
        };
    }
    WriteHeader(Z, 2);
    if (BodyLen > 0) Z.CopyFrom(*Body, BodyLen);
    Z.Finish();
}

void TBasedSWFStream::SaveFile(const std::string& FileName) {
    ReplaceFile(FileName, [this](TStream& F) { SaveToStream(F); });
}

void TBasedSWFStream::SaveToStreamAsMade(TStream& Stream) {
    if (FCompressed) {
        MakeStream();
        SaveToStream(Stream);
        return;
    }
    // The header's size depends on the stage alone: it is written again
    // over itself once the length, the frame count and the version are
    // known.
    const std::int64_t Start = Stream.Position();
    FSignature = "FWS";
    WriteHeader(Stream, 0);
    WriteBody(Stream);
    const std::int64_t End = Stream.Position();
    FileLength = static_cast<std::uint32_t>(End - Start);
    Stream.SetPosition(Start);
    WriteHeader(Stream, 0);
    Stream.SetPosition(End);
}

void TBasedSWFStream::SaveFileAsMade(const std::string& FileName) {
    ReplaceFile(FileName, [this](TStream& F) { SaveToStreamAsMade(F); });
}

void TBasedSWFStream::ReplaceFile(const std::string& FileName, const std::function<void(TStream&)>& Write) {
    namespace fs = std::filesystem;
    const std::string TempName = FileName + ".~part";
    try {
        {
            TFileStream F(TempName, TFileMode::fmCreate);
            Write(F);
            F.Close();
        }
        std::error_code EC;
        fs::rename(TempName, FileName, EC);
        if (EC) throw EFCreateError("Cannot create file \"" + FileName + "\". " + EC.message());
    } catch (...) {
        std::error_code Ignore;
        fs::remove(TempName, Ignore);
        throw;
    }
}

// ------------------------------------------------------------ TSWFFileReader

void TSWFFileReader::LoadFile(const std::string& FileName) {
    std::unique_ptr<TFileStream> F;
    try {
        F = std::make_unique<TFileStream>(FileName, TFileMode::fmOpenRead);
    } catch (const EStreamError& E) {
        throw ESWFReadError(E.what());
    }
    LoadFromStream(*F);
}

void TSWFFileReader::LoadFromStream(TStream& Stream) {
    Tags.clear();
    Data.clear();
    Signature.clear();
    Version = 0;
    FileLength = 0;
    FrameRect = TRect{};
    FrameRate = FrameCount = 0;
    HeaderSize = 0;
    std::vector<std::uint8_t> Raw;
    {
        std::uint8_t Buf[65536];
        for (;;) {
            const std::size_t N = Stream.Read(Buf, sizeof Buf);
            if (N == 0) break;
            if (Raw.size() + N > MaxMovieSize) throw ESWFReadError("The file is larger than any movie this program reads");
            Raw.insert(Raw.end(), Buf, Buf + N);
        }
    }
    if (Raw.size() < 3 || !((Raw[0] == 'F' || Raw[0] == 'C') && Raw[1] == 'W' && Raw[2] == 'S'))
        throw ESWFReadError("Not an SWF movie: the file does not start with \"FWS\" or \"CWS\"");
    if (Raw.size() < 8) throw ESWFReadError("The file ends inside its header");
    Signature.assign(reinterpret_cast<const char*>(Raw.data()), 3);
    Version = Raw[3];
    FileLength = Raw[4] | (Raw[5] << 8) | (Raw[6] << 16) | (static_cast<std::uint32_t>(Raw[7]) << 24);
    if (Signature == "CWS") {
        std::vector<std::uint8_t> Inflated;
        try {
            Inflated = ZInflate(Raw.data() + 8, Raw.size() - 8, MaxMovieSize);
        } catch (const EReadError& E) {
            throw ESWFReadError(std::string("The compressed movie cannot be inflated: ") + E.what());
        }
        Data.assign(Raw.begin(), Raw.begin() + 8);
        Data.insert(Data.end(), Inflated.begin(), Inflated.end());
    } else {
        Data = std::move(Raw);
    }

    TMemoryStream Head(std::vector<std::uint8_t>(Data.begin() + 8, Data.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(Data.size(), 8 + 40))));
    TBitsEngine BE(Head);
    try {
        const TSWFRectRec R = BE.ReadRect();
        FrameRect = TRect{R.Xmin, R.Ymin, R.Xmax, R.Ymax};
        FrameRate = BE.ReadWord();
        FrameCount = BE.ReadWord();
    } catch (const EReadError&) {
        throw ESWFReadError("The file ends inside its header");
    }
    HeaderSize = static_cast<std::uint32_t>(8 + Head.Position());
    ParseTags();
}

void TSWFFileReader::ParseTags() { ReadTagRecords(Data, HeaderSize, Version, Tags, "file"); }

void ReadTagRecords(const std::vector<std::uint8_t>& Data, std::size_t Pos, std::uint8_t Version,
                    std::vector<TSWFReadTag>& Tags, const char* Container) {
    const std::size_t Size = Data.size();
    const std::string The = std::string("The ") + Container;
    for (;;) {
        if (Pos >= Size) throw ESWFReadError(The + " ends without an End tag");
        if (Size - Pos < 2) throw ESWFReadError(The + " ends inside a tag header at offset " + Hex(static_cast<std::int64_t>(Pos)));
        TSWFReadTag T;
        T.Offset = static_cast<std::int64_t>(Pos);
        const std::uint16_t W = static_cast<std::uint16_t>(Data[Pos] | (Data[Pos + 1] << 8));
        Pos += 2;
        T.TagID = W >> 6;
        T.BodySize = W & 63;
        if (T.BodySize == 63) {
            if (Size - Pos < 4)
                throw ESWFReadError(The + " ends inside the header of tag " + TagName(T.TagID) + " at offset " + Hex(T.Offset));
            T.BodySize = Data[Pos] | (Data[Pos + 1] << 8) | (Data[Pos + 2] << 16) |
                         (static_cast<std::uint32_t>(Data[Pos + 3]) << 24);
            T.LongHeader = true;
            Pos += 4;
        }
        const std::string Where = "tag " + TagName(T.TagID) + " (" + std::to_string(T.TagID) + ") at offset " + Hex(T.Offset);
        if (T.BodySize > Size - Pos)
            throw ESWFReadError("The length of " + Where + " (" + std::to_string(T.BodySize) + " bytes) runs past the end of the " +
                                Container + " (" + std::to_string(Size - Pos) + " bytes left)");
        T.Tag = GenerateSWFObject(T.TagID);
        if (!T.Tag) T.Tag = std::make_unique<TSWFUnknownTag>(T.TagID);
        T.Tag->BodySize = T.BodySize;
        if (auto* P = dynamic_cast<TSWFPlaceObject2*>(T.Tag.get())) {
            // Clip actions take the layout of the movie's version and are
            // decoded like the actions of DoAction and button tags.
            P->SWFVersion = Version;
            P->ParseActions = true;
        }
        TMemoryStream BodyStream(std::vector<std::uint8_t>(Data.begin() + static_cast<std::ptrdiff_t>(Pos),
                                                           Data.begin() + static_cast<std::ptrdiff_t>(Pos + T.BodySize)));
        TBitsEngine BE(BodyStream);
        try {
            T.Tag->ReadFromStream(BE);
        } catch (const EStreamError& E) {
            throw ESWFReadError("The body of " + Where + " is malformed: " + E.what());
        } catch (const std::length_error&) {
            throw ESWFReadError("The body of " + Where + " is malformed");
        } catch (const std::bad_alloc&) {
            throw ESWFReadError("The body of " + Where + " is malformed");
        }
        Pos += T.BodySize;
        const bool IsEnd = T.TagID == tagEnd;
        Tags.push_back(std::move(T));
        if (IsEnd) break;
    }
}

void TSWFSpriteReader::LoadFromBody(const std::vector<std::uint8_t>& Body, std::uint8_t Version) {
    Tags.clear();
    SpriteId = FrameCount = 0;
    if (Body.size() < 4) throw ESWFReadError("The sprite ends inside its header");
    SpriteId = static_cast<std::uint16_t>(Body[0] | (Body[1] << 8));
    FrameCount = static_cast<std::uint16_t>(Body[2] | (Body[3] << 8));
    ReadTagRecords(Body, 4, Version, Tags, "sprite");
}

}  // namespace anivert
