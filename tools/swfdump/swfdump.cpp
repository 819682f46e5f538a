// swfdump: prints the header and every tag of an SWF movie.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "AnivertVersion.h"
#include "SWFStreams.h"
#include "TagDump.h"

using namespace anivert;

namespace {

void Usage(std::ostream& Out) {
    Out << "Usage: swfdump [--help] [--version] FILE.swf\n"
           "Prints the header of an SWF movie (plain FWS or compressed CWS) and every\n"
           "tag with its code, name, length and decoded fields.\n"
           "Exit status: 0 when the whole file was read, 1 when it is not a readable\n"
           "movie (the tags read before the fault are still listed), 2 on bad usage.\n";
}

void PrintHeader(const TSWFFileReader& R) {
    std::cout << "Signature:   " << R.Signature << (R.Signature == "CWS" ? " (compressed)" : "") << "\n";
    std::cout << "Version:     " << static_cast<int>(R.Version) << "\n";
    std::cout << "File length: " << R.FileLength << " bytes (uncompressed, header " << R.HeaderSize << " bytes)\n";
    std::cout << "Stage:       (" << R.FrameRect.Left << ", " << R.FrameRect.Top << ")-(" << R.FrameRect.Right << ", "
              << R.FrameRect.Bottom << ") twips, " << (R.FrameRect.Right - R.FrameRect.Left) / 20.0 << " x "
              << (R.FrameRect.Bottom - R.FrameRect.Top) / 20.0 << " px\n";
    char Rate[64];
    std::snprintf(Rate, sizeof Rate, "%.4g fps (0x%04X)", WordToSingle(R.FrameRate), R.FrameRate);
    std::cout << "Frame rate:  " << Rate << "\n";
    std::cout << "Frames:      " << R.FrameCount << "\n";
}

void PrintTags(const TSWFFileReader& R) {
    std::cout << "Tags:\n";
    for (const TSWFReadTag& T : R.Tags) {
        std::cout << "  " << TagLine(T.Offset, T.TagID, T.BodySize, T.LongHeader) << "\n";
        if (T.Tag) DumpTagFields(std::cout, *T.Tag, "            ", R.Version);
    }
    std::cout << R.Tags.size() << " tags\n";
}

}  // namespace

int main(int argc, char** argv) {
    std::string File;
    for (int I = 1; I < argc; ++I) {
        if (!std::strcmp(argv[I], "--help") || !std::strcmp(argv[I], "-h")) {
            Usage(std::cout);
            return 0;
        }
        if (!std::strcmp(argv[I], "--version")) {
            std::cout << "swfdump " << ANIVERT_VERSION << "\n";
            return 0;
        }
        if (argv[I][0] == '-' && argv[I][1] != '\0') {
            std::cerr << "swfdump: unknown option " << argv[I] << "\n";
            Usage(std::cerr);
            return 2;
        }
        if (!File.empty()) {
            Usage(std::cerr);
            return 2;
        }
        File = argv[I];
    }
    if (File.empty()) {
        Usage(std::cerr);
        return 2;
    }
    TSWFFileReader Reader;
    bool HeaderRead = false;
    try {
        Reader.LoadFile(File);
        HeaderRead = true;
    } catch (const ESWFReadError& E) {
        if (!Reader.Signature.empty() && Reader.HeaderSize) {
            PrintHeader(Reader);
            PrintTags(Reader);
        }
        std::cout.flush();
        std::cerr << "swfdump: " << File << ": " << E.what() << "\n";
        return 1;
    } catch (const std::exception& E) {
        std::cerr << "swfdump: " << File << ": " << E.what() << "\n";
        return 1;
    }
    if (HeaderRead) {
        PrintHeader(Reader);
        PrintTags(Reader);
    }
    return 0;
}
