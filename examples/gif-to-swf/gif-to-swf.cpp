// gif-to-swf: converts one GIF into one SWF movie with Anivert's
// conversion, in memory: the GIF's bytes in, the movie's bytes out.
//
//   gif-to-swf [--compact] [--salvage] [--loop gif] [--url URL] IN.gif OUT.swf
//
// Exit status 0 when the movie was written, 1 when the GIF made none (the
// reason goes to stderr), 2 on bad usage.
#include <anivert/Convert.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Usage() {
    std::cerr << "usage: gif-to-swf [--compact] [--salvage] [--loop gif] [--url URL] IN.gif OUT.swf\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    anivert::TConvertRequest Request;
    std::vector<std::string> Files;
    for (int I = 1; I < argc; ++I) {
        const std::string A = argv[I];
        if (A == "--compact") {
            Request.Options.Compact = true;
        } else if (A == "--salvage") {
            Request.Options.Salvage = true;
        } else if (A == "--loop" && I + 1 < argc && std::string(argv[I + 1]) == "gif") {
            Request.Options.LoopAsGif = true;
            ++I;
        } else if (A == "--url" && I + 1 < argc) {
            Request.Url = argv[++I];
        } else if (A.size() > 1 && A[0] == '-') {
            return Usage();
        } else {
            Files.push_back(A);
        }
    }
    if (Files.size() != 2) return Usage();

    std::ifstream In(Files[0], std::ios::binary);
    if (!In) {
        std::cerr << Files[0] << ": cannot be read\n";
        return 1;
    }
    const std::vector<std::uint8_t> Gif((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    Request.InputBytes = Gif;
    anivert::TConvertResult Result;
    try {
        Result = anivert::ConvertGif(Request);
    } catch (const std::exception& E) {
        Result.Reason = E.what();
    }
    if (!Result.Converted) {
        std::cerr << Files[0] << ": " << Result.Reason << "\n";
        return 1;
    }
    if (!Result.SalvagedReason.empty()) std::cerr << Files[0] << ": salvaged: " << Result.SalvagedReason << "\n";

    std::ofstream Out(Files[1], std::ios::binary | std::ios::trunc);
    Out.write(reinterpret_cast<const char*>(Result.Movie.data()), static_cast<std::streamsize>(Result.Movie.size()));
    Out.close();
    if (!Out) {
        std::remove(Files[1].c_str());
        std::cerr << Files[1] << ": cannot be written\n";
        return 1;
    }
    std::cout << Files[1] << ": " << Result.Width << " x " << Result.Height << ", " << Result.FrameCount
              << " frames, " << Result.Movie.size() << " bytes\n";
    return 0;
}
