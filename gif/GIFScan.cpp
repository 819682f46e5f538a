#include "GIFScan.h"

#include <fstream>

namespace anivert {

namespace {

// Block introducers and the flags of a colour table.
constexpr int ExtensionIntroducer = 0x21;
constexpr int ImageSeparator = 0x2C;
constexpr int Trailer = 0x3B;
constexpr unsigned ColorTableFlag = 0x80;
constexpr unsigned ColorTableSizeMask = 0x07;

}  // namespace

TGIFScan ScanGIFFile(const std::string& FileName) {
    TGIFScan Scan;
    std::ifstream In(FileName, std::ios::binary);
    unsigned char Header[13];
    if (!In.read(reinterpret_cast<char*>(Header), sizeof Header)) return Scan;
    Scan.Width = Header[6] | (Header[7] << 8);
    Scan.Height = Header[8] | (Header[9] << 8);
    auto SkipTable = [&In](unsigned Flags) {
        if (Flags & ColorTableFlag) In.ignore(3 * (2 << (Flags & ColorTableSizeMask)));
    };
    auto SkipSubBlocks = [&In] {
        for (int N = In.get(); In && N > 0; N = In.get()) In.ignore(N);
    };
    SkipTable(Header[10]);
    for (int B = In.get(); In && B != Trailer; B = In.get()) {
        if (B == ExtensionIntroducer) {
            In.get();  // the label
            SkipSubBlocks();
        } else if (B == ImageSeparator) {
            unsigned char Descriptor[9];
            if (!In.read(reinterpret_cast<char*>(Descriptor), sizeof Descriptor)) break;
            SkipTable(Descriptor[8]);
            In.get();  // the LZW code size
            SkipSubBlocks();
            ++Scan.Frames;
        } else {
            break;
        }
    }
    return Scan;
}

}  // namespace anivert
