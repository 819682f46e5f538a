// gifdump: prints a GIF's logical screen, its frames with their extensions,
// and every warning the decoder gave; optionally optimises the GIF and saves
// it again.
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "AnivertVersion.h"
#include "GIFImage.h"

using namespace anivert;

namespace {

void Usage(std::ostream& Out) {
    Out << "Usage: gifdump [--help] [--version] [--salvage] [--optimize N] [--encoder lzw|rle] [--save OUT.gif] FILE.gif\n"
           "Prints the logical screen and global colour map of a GIF, one line per\n"
           "frame (bounds, local colour map, interlace, delay, disposal, transparency)\n"
           "followed by its extensions, and every warning the decoder gave.\n"
           "  --optimize N       first merge the colour maps into one global map, then\n"
           "                     optimise the frames with the option bits N (0 to 255):\n"
           "                     1 crop transparent borders and drop frames left blank,\n"
           "                     2 make pixels that repeat the previous frame transparent,\n"
           "                     4 remove extensions and frames without effect, unused\n"
           "                     transparency and pointless disposal, 8 order colour maps\n"
           "                     by use, 16 reduce colours (no effect); the converter\n"
           "                     uses 30 and 31.\n"
           "  --save OUT.gif     write the (optimised) GIF to OUT.gif, then list what was\n"
           "                     written and a line with both files' sizes; a file that\n"
           "                     does not load completely is not saved.\n"
           "  --encoder lzw|rle  how --save compresses the pixels: lzw (the default)\n"
           "                     or rle, a run-length code stream any GIF decoder reads.\n"
           "  --salvage          read a damaged or cut-off file as browsers show it (the\n"
           "                     frames up to the fault, undecoded pixels transparent)\n"
           "                     and print a line \"salvaged: REASON\" when something was\n"
           "                     left out.\n"
           "Exit status: 0 when the file loads (and is saved), 1 when it does not (the\n"
           "message names the fault; what was read before it is still listed), 2 on\n"
           "bad usage.\n";
}

std::string Quoted(const std::string& S) {
    std::string R = "\"";
    for (unsigned char C : S) {
        if (C == '"' || C == '\\') {
            R += '\\';
            R += static_cast<char>(C);
        } else if (C < 0x20 || C >= 0x7F) {
            char Buf[8];
            std::snprintf(Buf, sizeof Buf, "\\x%02X", C);
            R += Buf;
        } else {
            R += static_cast<char>(C);
        }
    }
    return R + "\"";
}

std::string MapSize(const TGIFColorMap& Map) { return Map.Count() ? std::to_string(Map.Count()) : "none"; }

void PrintExtension(std::ostream& Out, const TGIFExtension& E) {
    Out << "    extension: ";
    if (auto* G = dynamic_cast<const TGIFGraphicControlExtension*>(&E)) {
        Out << "graphic control (delay " << G->Delay() << ", disposal " << int(G->Disposal()) << ", transparent "
            << (G->Transparent() ? "yes" : "no") << ", index " << int(G->TransparentColorIndex()) << ", user input "
            << (G->WaitsForInput() ? "yes" : "no") << ")";
    } else if (auto* L = dynamic_cast<const TGIFAppExtNSLoop*>(&E)) {
        Out << "loop " << Quoted(L->IdentifierText()) << " (count " << L->LoopCount;
        if (L->BufferingSize) Out << ", buffering " << L->BufferingSize;
        Out << ")";
    } else if (auto* U = dynamic_cast<const TGIFUnknownAppExtension*>(&E)) {
        std::size_t Bytes = 0;
        for (const TGIFBlock& B : U->SubBlocks) Bytes += B.Size();
        Out << "application " << Quoted(U->IdentifierText()) << " (" << U->SubBlocks.size() << " sub-blocks, "
            << Bytes << " bytes)";
    } else if (auto* C = dynamic_cast<const TGIFCommentExtension*>(&E)) {
        Out << "comment";
        for (const std::string& S : C->Lines) Out << " " << Quoted(S);
    } else if (auto* T = dynamic_cast<const TGIFTextExtension*>(&E)) {
        Out << "plain text";
        for (const std::string& S : T->Lines) Out << " " << Quoted(S);
    } else {
        Out << E.ClassInfo().Name;
    }
    Out << "\n";
}

void PrintImage(std::ostream& Out, TGIFImage& Image) {
    const TGIFHeader& H = Image.ScreenHeader;
    Out << "screen: " << H.ScreenWidth << "x" << H.ScreenHeight << ", version " << Quoted(H.Version)
        << ", global colour map " << MapSize(Image.GlobalColorMap()) << ", background index "
        << int(H.BackgroundColorIndex) << ", aspect " << int(H.AspectRatio) << "\n";
    for (int I = 0; I < Image.Images.Count(); ++I) {
        TGIFSubImage& F = Image.Images[I];
        Out << "frame " << I << ": " << (F.Empty() ? "empty, " : "") << "bounds " << F.Left() << "," << F.Top() << " "
            << F.Width() << "x" << F.Height() << ", local map " << MapSize(F.ColorTable) << ", interlace "
            << (F.IsInterlaced() ? "yes" : "no");
        if (const TGIFGraphicControlExtension* G = F.GraphicControlExtension) {
            Out << ", delay " << G->Delay() << ", disposal " << int(G->Disposal()) << ", transparent ";
            if (F.Transparent)
                Out << "index " << int(G->TransparentColorIndex());
            else
                Out << "no";
        } else {
            Out << ", delay none, disposal none, transparent no";
        }
        Out << "\n";
        for (const auto& E : F.FrameExtensions) PrintExtension(Out, *E);
    }
    Out << Image.Images.Count() << " frames\n";
}

}  // namespace

// A decimal number 0..255, or -1.
int OptionBits(const char* Text) {
    int V = 0;
    if (!*Text) return -1;
    for (const char* P = Text; *P; ++P) {
        if (*P < '0' || *P > '9') return -1;
        V = V * 10 + (*P - '0');
        if (V > 255) return -1;
    }
    return V;
}

int main(int argc, char** argv) {
    std::string File;
    std::string SaveTo;
    int Optimize = -1;
    int Encoder = -1;
    bool Salvage = false;
    for (int I = 1; I < argc; ++I) {
        if (!std::strcmp(argv[I], "--help") || !std::strcmp(argv[I], "-h")) {
            Usage(std::cout);
            return 0;
        }
        if (!std::strcmp(argv[I], "--version")) {
            std::cout << "gifdump " << ANIVERT_VERSION << "\n";
            return 0;
        }
        if (!std::strcmp(argv[I], "--salvage")) {
            Salvage = true;
            continue;
        }
        if (!std::strcmp(argv[I], "--optimize")) {
            Optimize = I + 1 < argc ? OptionBits(argv[I + 1]) : -1;
            if (Optimize < 0) {
                Usage(std::cerr);
                return 2;
            }
            ++I;
            continue;
        }
        if (!std::strcmp(argv[I], "--save") || !std::strcmp(argv[I], "--encoder")) {
            const bool Save = argv[I][2] == 's';
            const char* Value = I + 1 < argc ? argv[I + 1] : "";
            if (Save && *Value) {
                SaveTo = Value;
            } else if (!Save && !std::strcmp(Value, "lzw")) {
                Encoder = gcLZW;
            } else if (!Save && !std::strcmp(Value, "rle")) {
                Encoder = gcRLE;
            } else {
                Usage(std::cerr);
                return 2;
            }
            ++I;
            continue;
        }
        if ((argv[I][0] == '-' && argv[I][1] != '\0') || !File.empty()) {
            Usage(std::cerr);
            return 2;
        }
        File = argv[I];
    }
    if (File.empty() || (Encoder >= 0 && SaveTo.empty())) {
        Usage(std::cerr);
        return 2;
    }
    TGIFImage Image;
    Image.Salvage = Salvage;
    std::vector<std::string> Warnings;
    Image.OnDecodeWarning = [&](TGIFImage&, const TGIFItem*, int, const std::string& Message) {
        Warnings.push_back(Message);
    };
    std::string Error;
    bool Read = false;
    try {
        Image.LoadFile(File);
        Read = true;
    } catch (const GIFException& E) {
        Error = E.what();
        Read = Image.ScreenHeader.ScreenWidth || Image.ScreenHeader.ScreenHeight || Image.Images.Count();
    } catch (const std::exception& E) {
        Error = E.what();
    }
    if (Read && Optimize >= 0) {
        // What was read before a load error is optimised too.
        try {
            Image.OptimizeColorMaps();
            Image.Optimize(static_cast<std::uint8_t>(Optimize), 0, 0, 8);
        } catch (const std::exception& E) {
            if (Error.empty()) Error = E.what();
        }
    }
    std::string Saved;
    if (Error.empty() && !SaveTo.empty()) {
        // Written to memory first: a failed save leaves no partial file.
        try {
            Image.Compression = static_cast<std::uint8_t>(Encoder >= 0 ? Encoder : gcLZW);
            TMemoryStream Out;
            Image.SaveToStream(Out);
            Out.SaveToFile(SaveTo);
            TFileStream In(File, TFileMode::fmOpenRead);
            Saved = "saved " + SaveTo + ": " + std::to_string(Out.Size()) + " bytes (" + File + ": " +
                    std::to_string(In.Size()) + " bytes)\n";
        } catch (const std::exception& E) {
            Error = E.what();
        }
    }
    if (Read) PrintImage(std::cout, Image);
    if (Read && Salvage && Image.Images.Count() == 0 && Error.empty()) Error = Image.SalvagedReason;
    if (Read && !Image.SalvagedReason.empty()) std::cout << "salvaged: " << Image.SalvagedReason << "\n";
    std::cout << Saved;
    for (const std::string& W : Warnings) std::cout << "warning: " << W << "\n";
    if (!Error.empty()) {
        std::cout.flush();
        std::cerr << "gifdump: " << File << ": " << Error << "\n";
        return 1;
    }
    return 0;
}
