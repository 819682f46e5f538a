// The work budget's ratio: pixels of pictures per byte of GIF. Converts
// every given GIF (files, or every .gif of given folders) into both kinds of
// movie with no budget and prints, largest first, the pixels each movie's
// pictures take per byte of its GIF. The budget per byte is chosen well
// above the largest real file's.
//
//   bench_budget [--top N] FILE_OR_DIR...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "Convert.h"

namespace fs = std::filesystem;
using namespace anivert;

namespace {

struct TRow {
    std::string Name;
    std::int64_t Bytes = 0;
    std::int64_t Pixels[2] = {0, 0};  // default, compact
    double Ratio() const { return double(std::max(Pixels[0], Pixels[1])) / double(std::max<std::int64_t>(Bytes, 1)); }
};

}  // namespace

int main(int argc, char** argv) {
    std::vector<fs::path> Files;
    std::size_t Top = 15;
    for (int I = 1; I < argc; ++I) {
        const std::string A = argv[I];
        if (A == "--top" && I + 1 < argc) {
            Top = std::stoul(argv[++I]);
        } else if (fs::is_directory(A)) {
            for (const auto& E : fs::directory_iterator(A))
                if (E.path().extension() == ".gif") Files.push_back(E.path());
        } else {
            Files.emplace_back(A);
        }
    }
    if (Files.empty()) {
        std::cerr << "usage: bench_budget [--top N] FILE_OR_DIR...\n";
        return 2;
    }
    std::sort(Files.begin(), Files.end());
    std::vector<TRow> Rows;
    for (const fs::path& File : Files) {
        std::ifstream In(File, std::ios::binary);
        const std::vector<std::uint8_t> Bytes{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
        TRow Row;
        Row.Name = File.filename().string();
        Row.Bytes = static_cast<std::int64_t>(Bytes.size());
        bool Any = false;
        for (const bool Compact : {false, true}) {
            TConvertRequest Request;
            Request.InputBytes = Bytes;
            Request.Options.Compact = Compact;
            Request.Options.MaxPixels = TMovieOptions::UnlimitedPixels;
            const TConvertResult Result = ConvertGif(Request);
            if (!Result.Converted) continue;
            Any = true;
            Row.Pixels[Compact ? 1 : 0] = Result.Pixels;
        }
        if (Any) Rows.push_back(Row);
    }
    std::sort(Rows.begin(), Rows.end(), [](const TRow& A, const TRow& B) { return A.Ratio() > B.Ratio(); });
    std::printf("%zu GIFs convert, largest pixels of pictures per byte of GIF first\n\n", Rows.size());
    std::printf("| file | GIF bytes | default pixels | compact pixels | pixels per byte |\n|---|---:|---:|---:|---:|\n");
    for (std::size_t I = 0; I < Rows.size() && I < Top; ++I)
        std::printf("| %s | %lld | %lld | %lld | %.0f |\n", Rows[I].Name.c_str(), static_cast<long long>(Rows[I].Bytes),
                    static_cast<long long>(Rows[I].Pixels[0]), static_cast<long long>(Rows[I].Pixels[1]),
                    Rows[I].Ratio());
    return 0;
}
