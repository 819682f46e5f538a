#include "GIFTestUtil.h"

#include <algorithm>
#include <filesystem>
#include <set>

#include <gtest/gtest.h>
#include <png.h>

#include <cctype>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace anivert::test {

Bytes PackCodes(const std::vector<std::pair<int, int>>& Codes) {
    Bytes Out;
    std::uint32_t Bucket = 0;
    int Bits = 0;
    for (auto [Code, Width] : Codes) {
        Bucket |= static_cast<std::uint32_t>(Code) << Bits;
        Bits += Width;
        while (Bits >= 8) {
            Out.push_back(static_cast<std::uint8_t>(Bucket));
            Bucket >>= 8;
            Bits -= 8;
        }
    }
    if (Bits > 0) Out.push_back(static_cast<std::uint8_t>(Bucket));
    return Out;
}

Bytes SubBlocks(const Bytes& Data, bool Terminator) {
    Bytes Out;
    for (std::size_t I = 0; I < Data.size(); I += 255) {
        const std::size_t N = std::min<std::size_t>(255, Data.size() - I);
        Out.push_back(static_cast<std::uint8_t>(N));
        Out.insert(Out.end(), Data.begin() + static_cast<std::ptrdiff_t>(I),
                   Data.begin() + static_cast<std::ptrdiff_t>(I + N));
    }
    if (Terminator) Out.push_back(0);
    return Out;
}

Bytes LZWLiteral(const std::vector<std::uint8_t>& Pixels, int CodeSize) {
    const int Clear = 1 << CodeSize;
    int Width = CodeSize + 1;
    int NextFree = Clear + 2;
    int Limit = 2 * Clear;
    std::vector<std::pair<int, int>> Codes{{Clear, Width}};
    bool First = true;
    for (std::uint8_t P : Pixels) {
        Codes.push_back({P, Width});
        if (!First && NextFree < 4096) {
            ++NextFree;
            if (NextFree >= Limit && Limit < 4096) {
                Limit *= 2;
                ++Width;
            }
        }
        First = false;
    }
    Codes.push_back({Clear + 1, Width});
    Bytes Out{static_cast<std::uint8_t>(CodeSize)};
    const Bytes Blocks = SubBlocks(PackCodes(Codes));
    Out.insert(Out.end(), Blocks.begin(), Blocks.end());
    return Out;
}

int TableCode(std::size_t N) {
    int Code = 0;
    while ((2u << Code) < N) ++Code;
    return Code;
}

Bytes ColorTable(const std::vector<TColor>& Colors) {
    Bytes Out;
    const std::size_t Padded = 2u << TableCode(Colors.size());
    for (std::size_t I = 0; I < Padded; ++I) {
        const TColor C = I < Colors.size() ? Colors[I] : 0;
        Out.push_back(static_cast<std::uint8_t>(C));
        Out.push_back(static_cast<std::uint8_t>(C >> 8));
        Out.push_back(static_cast<std::uint8_t>(C >> 16));
    }
    return Out;
}

GifBuilder& GifBuilder::Header(int Width, int Height, const std::vector<TColor>& Global, const char* Signature,
                               int Background) {
    Data.assign(Signature, Signature + std::strlen(Signature));
    const int Packed = Global.empty() ? 0 : (0x80 | 0x70 | TableCode(Global.size()));
    Raw({static_cast<std::uint8_t>(Width), static_cast<std::uint8_t>(Width >> 8), static_cast<std::uint8_t>(Height),
         static_cast<std::uint8_t>(Height >> 8), static_cast<std::uint8_t>(Packed),
         static_cast<std::uint8_t>(Background), 0});
    if (!Global.empty()) Raw(ColorTable(Global));
    return *this;
}

GifBuilder& GifBuilder::GCE(int Packed, int Delay, int TransparentIndex) {
    return Raw({0x21, 0xF9, 4, static_cast<std::uint8_t>(Packed), static_cast<std::uint8_t>(Delay),
                static_cast<std::uint8_t>(Delay >> 8), static_cast<std::uint8_t>(TransparentIndex), 0});
}

GifBuilder& GifBuilder::Descriptor(int Left, int Top, int Width, int Height, int Packed) {
    return Raw({0x2C, static_cast<std::uint8_t>(Left), static_cast<std::uint8_t>(Left >> 8),
                static_cast<std::uint8_t>(Top), static_cast<std::uint8_t>(Top >> 8), static_cast<std::uint8_t>(Width),
                static_cast<std::uint8_t>(Width >> 8), static_cast<std::uint8_t>(Height),
                static_cast<std::uint8_t>(Height >> 8), static_cast<std::uint8_t>(Packed)});
}

GifBuilder& GifBuilder::Frame(int Left, int Top, int Width, int Height, const std::vector<std::uint8_t>& Pixels,
                              const std::vector<TColor>& Local, bool Interlaced, int CodeSize) {
    int Packed = Interlaced ? 0x40 : 0;
    if (!Local.empty()) Packed |= 0x80 | TableCode(Local.size());
    Descriptor(Left, Top, Width, Height, Packed);
    if (!Local.empty()) Raw(ColorTable(Local));
    return Raw(LZWLiteral(Pixels, CodeSize ? CodeSize : 8));
}

GifBuilder& GifBuilder::Comment(const std::string& Text) {
    Raw({0x21, 0xFE});
    return Raw(SubBlocks(Bytes(Text.begin(), Text.end())));
}

GifBuilder& GifBuilder::Loop(int Count) {
    Raw({0x21, 0xFF, 11});
    const char* Id = "NETSCAPE2.0";
    Raw(Bytes(Id, Id + 11));
    return Raw({3, 1, static_cast<std::uint8_t>(Count), static_cast<std::uint8_t>(Count >> 8), 0});
}

GifBuilder& GifBuilder::Raw(const Bytes& More) {
    Data.insert(Data.end(), More.begin(), More.end());
    return *this;
}

GifBuilder& GifBuilder::Trailer() { return Raw({0x3B}); }

LoadResult LoadGif(TGIFImage& Image, const Bytes& Data) {
    LoadResult R;
    Image.OnDecodeWarning = [&R](TGIFImage&, const TGIFItem*, int Severity, const std::string& Message) {
        EXPECT_EQ(Severity, 1);
        R.Warnings.push_back(Message);
    };
    TMemoryStream In(Data);
    try {
        Image.LoadFromStream(In);
    } catch (const GIFException& E) {
        R.Error = E.what();
        if (R.Error.empty()) R.Error = "?";
    }
    R.EndPosition = In.Position();
    Image.OnDecodeWarning = nullptr;
    return R;
}

std::string CorpusDir() { return std::string(ANIVERT_SHARED_DIR) + "/corpus"; }

std::vector<std::string> AllCorpusFiles() {
    std::vector<std::string> Names;
    std::error_code EC;
    for (const auto& E : std::filesystem::directory_iterator(CorpusDir() + "/gifs", EC))
        if (E.path().extension() == ".gif") Names.push_back(E.path().filename().string());
    std::sort(Names.begin(), Names.end());
    return Names;
}

namespace {

std::vector<std::string> SplitAt(const std::string& Text, const std::string& Separators) {
    std::vector<std::string> Parts(1);
    for (char C : Text)
        if (Separators.find(C) != std::string::npos)
            Parts.emplace_back();
        else
            Parts.back() += C;
    return Parts;
}

std::string Trimmed(const std::string& Text) {
    const auto First = Text.find_first_not_of(" \t`");
    if (First == std::string::npos) return "";
    return Text.substr(First, Text.find_last_not_of(" \t`") - First + 1);
}

// A feature of the corpus list in a form that files share: numbers become
// N ("loop 256" and "loop 2" are one feature), but the version and the
// frame count's kind (none, one, several) stay.
std::string FeatureKind(std::string Token) {
    Token = Trimmed(Token);
    if (Token.empty() || Token.rfind("disposals", 0) == 0 ||
        std::all_of(Token.begin(), Token.end(), [](char C) { return std::isdigit(static_cast<unsigned char>(C)); }))
        return "";  // disposal values come from the manifest, one per value
    if (Token.rfind("GIF", 0) == 0) return Token;
    if (Token == "0 frames" || Token == "1 frame") return Token;
    std::string Kind;
    for (char C : Token) {
        if (!std::isdigit(static_cast<unsigned char>(C)))
            Kind += C;
        else if (Kind.empty() || Kind.back() != 'N')
            Kind += 'N';
    }
    return Kind == "NxN" ? "" : Kind;
}

// Every feature a corpus file shows, by file: the features of the corpus's
// list of sources and the disposal values of its manifest.
std::map<std::string, std::set<std::string>> CorpusFeatures(std::map<std::string, double>& Cost) {
    std::map<std::string, std::set<std::string>> Features;
    const Bytes Sources = ReadFileBytes(CorpusDir() + "/SOURCES.md");
    for (const std::string& Line : SplitAt(std::string(Sources.begin(), Sources.end()), "\n")) {
        const std::vector<std::string> Cells = SplitAt(Line, "|");
        if (Cells.size() < 5 || Trimmed(Cells[1]).size() < 5 || !Trimmed(Cells[1]).ends_with(".gif")) continue;
        for (const std::string& Token : SplitAt(Cells[4], ",;"))
            if (std::string Kind = FeatureKind(Token); !Kind.empty()) Features[Trimmed(Cells[1])].insert(Kind);
    }
    const Bytes Manifest = ReadFileBytes(CorpusDir() + "/manifest.tsv");
    for (const std::string& Line : SplitAt(std::string(Manifest.begin(), Manifest.end()), "\n")) {
        const std::vector<std::string> Cells = SplitAt(Line, "\t");
        if (Line.empty() || Line[0] == '#' || Cells.size() < 6) continue;
        const double Pixels = std::atof(Cells[1].c_str()) * std::atof(Cells[2].c_str());
        Cost[Cells[0]] = std::max(1.0, Pixels) * std::max(1.0, std::atof(Cells[3].c_str()));
        for (const std::string& D : SplitAt(Cells[5], ","))
            if (!Trimmed(D).empty()) Features[Cells[0]].insert("disposal " + Trimmed(D));
    }
    return Features;
}

}  // namespace

std::vector<std::string> CorpusSample() {
    std::map<std::string, double> Cost;
    const std::map<std::string, std::set<std::string>> Features = CorpusFeatures(Cost);
    std::map<std::string, int> Count;
    for (const auto& [Name, Set] : Features)
        for (const std::string& F : Set) ++Count[F];
    // The rarest features first, each by the cheapest file that has it;
    // a file taken covers all of its features.
    std::vector<std::string> Order;
    for (const auto& [F, N] : Count) Order.push_back(F);
    std::stable_sort(Order.begin(), Order.end(), [&](const auto& A, const auto& B) { return Count[A] < Count[B]; });
    std::set<std::string> Covered, Taken;
    const std::vector<std::string> All = AllCorpusFiles();
    const auto CostOf = [&Cost](const std::string& Name) {
        const auto It = Cost.find(Name);
        return It == Cost.end() ? 0.0 : It->second;
    };
    for (const std::string& F : Order) {
        if (Covered.count(F)) continue;
        const std::pair<const std::string, std::set<std::string>>* Best = nullptr;
        for (const auto& File : Features)
            if (File.second.count(F) && (!Best || CostOf(File.first) < CostOf(Best->first))) Best = &File;
        Taken.insert(Best->first);
        Covered.insert(Best->second.begin(), Best->second.end());
    }
    // The files the checks treat by a rule of their own.
    for (const auto* Rules : {&CorpusNotLoading(), &ChromiumExclusions()})
        for (const auto& [Name, Why] : *Rules) Taken.insert(Name);
    std::vector<std::string> Sample;
    for (const std::string& Name : All)
        if (Taken.count(Name)) Sample.push_back(Name);
    return Sample;
}

std::vector<std::string> CorpusFiles() {
#ifdef ANIVERT_CORPUS_SAMPLE
    return CorpusSample();
#else
    return AllCorpusFiles();
#endif
}

const std::map<std::string, std::string>& CorpusNotLoading() {
    static const std::map<std::string, std::string> Files = {
        {"nsgif_lzwof.gif", "its LZW codes build a self-referring table entry: circular decoder table entry"},
        {"nsgif_lzwoob.gif", "code size 12: refused as invalid GIF data"},
        {"pygif_overflow-codes.gif", "code size 12: refused as invalid GIF data"},
        {"pygif_unknown-extension.gif", "an extension label this decoder does not know fails the load"},
        {"its_2b5bc31d84703bfb9f371925f0e3e57d.gif", "code size 72 after a zero-width frame: invalid GIF data"},
        {"its_5f09a896c191db3fa7ea6bdd5ebe9485.gif", "code size 72 after a zero-width frame: invalid GIF data"},
        {"its_6d939393058de0579fca1bbf10ecff25.gif", "truncated inside the fourth frame's colour table"},
        {"its_9f8f6046eaf9ffa2d9c5d6db05c5f881.gif", "ends inside an extension label: unknown extension type"},
        {"its_55abb3cc464305dd554171c3d44cb61f.gif", "truncated inside the second frame's descriptor"},
        {"deb-nmap_pixel.gif", "ends inside the global colour table"},
        {"its_ce774930ac70449f38a18789c70095b8.gif", "the fifth frame has code size 255: invalid GIF data"},
        {"imggif_issue-101-infinite-empty-loop.gif",
         "a zero-sized frame takes the 6727 x 65351 logical screen: more pixels than the decoder accepts"},
    };
    return Files;
}

const std::map<std::string, std::string>& ChromiumExclusions() {
    static const std::map<std::string, std::string> Files = {
        {"imagers_issue_1455_oversized.gif", "frame beyond the logical screen: Chromium enlarges the canvas"},
        {"imagers_oob.gif", "frame beyond the logical screen: Chromium enlarges the canvas"},
        {"pygif_image-outside-bg.gif", "frame beyond the logical screen: Chromium enlarges the canvas"},
        {"wuffs_frame-out-of-bounds.gif", "frame beyond the logical screen: Chromium enlarges the canvas"},
        {"its_bc7af0616c4ae99144c8600e7b39beea.gif",
         "truncated last frame: its missing pixels keep the fill value (index 0, opaque), Chromium leaves them "
         "transparent"},
        {"its_adf6f850b13dff73ebb22862c6ab028b.gif",
         "invalid code in the last frame: Chromium stops decoding there, this decoder reads it as a code not yet "
         "in the table and goes on (one pixel differs)"},
        {"wuffs_zero-width-frame.gif",
         "zero-width frame: this decoder gives it the logical screen's size, Chromium draws nothing"},
    };
    return Files;
}

// ---------------------------------------------------------------- JSON

const Json& Json::operator[](const std::string& Key) const {
    static const Json None;
    auto It = O.find(Key);
    return It == O.end() ? None : It->second;
}

namespace {

struct JsonParser {
    const std::string& T;
    std::size_t P = 0;

    void Space() {
        while (P < T.size() && std::isspace(static_cast<unsigned char>(T[P]))) ++P;
    }
    [[noreturn]] void Fail() { throw std::runtime_error("bad JSON at " + std::to_string(P)); }
    void Expect(char C) {
        Space();
        if (P >= T.size() || T[P] != C) Fail();
        ++P;
    }
    std::string Str() {
        Expect('"');
        std::string S;
        while (P < T.size() && T[P] != '"') {
            char C = T[P++];
            if (C == '\\') {
                if (P >= T.size()) Fail();
                C = T[P++];
                switch (C) {
                    case 'n': S += '\n'; break;
                    case 't': S += '\t'; break;
                    case 'r': S += '\r'; break;
                    case 'b': S += '\b'; break;
                    case 'f': S += '\f'; break;
                    case 'u': {
                        const unsigned V = static_cast<unsigned>(std::stoul(T.substr(P, 4), nullptr, 16));
                        P += 4;
                        if (V < 0x80) {
                            S += static_cast<char>(V);
                        } else if (V < 0x800) {
                            S += static_cast<char>(0xC0 | (V >> 6));
                            S += static_cast<char>(0x80 | (V & 0x3F));
                        } else {
                            S += static_cast<char>(0xE0 | (V >> 12));
                            S += static_cast<char>(0x80 | ((V >> 6) & 0x3F));
                            S += static_cast<char>(0x80 | (V & 0x3F));
                        }
                        break;
                    }
                    default: S += C;
                }
            } else {
                S += C;
            }
        }
        Expect('"');
        return S;
    }
    Json Value() {
        Space();
        if (P >= T.size()) Fail();
        Json J;
        const char C = T[P];
        if (C == '{') {
            J.K = Json::Object;
            ++P;
            Space();
            if (T[P] == '}') {
                ++P;
                return J;
            }
            for (;;) {
                std::string Key = Str();
                Expect(':');
                J.O[Key] = Value();
                Space();
                if (T[P] == ',') {
                    ++P;
                    continue;
                }
                Expect('}');
                return J;
            }
        }
        if (C == '[') {
            J.K = Json::Array;
            ++P;
            Space();
            if (T[P] == ']') {
                ++P;
                return J;
            }
            for (;;) {
                J.A.push_back(Value());
                Space();
                if (T[P] == ',') {
                    ++P;
                    continue;
                }
                Expect(']');
                return J;
            }
        }
        if (C == '"') {
            J.K = Json::String;
            J.S = Str();
            return J;
        }
        if (T.compare(P, 4, "true") == 0) {
            P += 4;
            J.K = Json::Bool;
            J.B = true;
            return J;
        }
        if (T.compare(P, 5, "false") == 0) {
            P += 5;
            J.K = Json::Bool;
            return J;
        }
        if (T.compare(P, 4, "null") == 0) {
            P += 4;
            return J;
        }
        char* End = nullptr;
        J.N = std::strtod(T.c_str() + P, &End);
        if (End == T.c_str() + P) Fail();
        P = static_cast<std::size_t>(End - T.c_str());
        J.K = Json::Number;
        return J;
    }
};

}  // namespace

Json ParseJson(const std::string& Text) {
    JsonParser Parser{Text};
    return Parser.Value();
}

bool ReadPNG(const std::string& FileName, RGBAImage& Out) {
    png_image Img;
    std::memset(&Img, 0, sizeof Img);
    Img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&Img, FileName.c_str())) return false;
    Img.format = PNG_FORMAT_RGBA;
    Out.Width = static_cast<int>(Img.width);
    Out.Height = static_cast<int>(Img.height);
    Out.Pixels.assign(PNG_IMAGE_SIZE(Img), 0);
    if (!png_image_finish_read(&Img, nullptr, Out.Pixels.data(), 0, nullptr)) {
        png_image_free(&Img);
        return false;
    }
    return true;
}

}  // namespace anivert::test
