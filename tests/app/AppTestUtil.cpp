#include "AppTestUtil.h"

#include <filesystem>

#include "FrameComposition.h"
#include "SWFConst.h"

namespace anivert::test {

namespace fs = std::filesystem;

TWindowFixture::TWindowFixture() { Form = std::make_unique<TfrmMain>(Platform); }

std::string TWindowFixture::PutFile(const std::string& Folder, const std::string& Name, const Bytes& Data) {
    const std::string Path = Platform.Folder(Folder) + Name;
    WriteFileBytes(Path, Data);
    return Path;
}

void TWindowFixture::ShowFolder(const std::string& Folder) {
    Form->FTree.SetSelectedFolder(Platform.Folder(Folder));
}

void TWindowFixture::SelectFile(int Row) {
    static_cast<TFileSystemFileList&>(Form->LV1).Select(Row);
    Form->LV1SelectItem(Row, true);
}

Bytes MakeGif(int Width, int Height, const std::vector<TFrameSpec>& Frames, const std::vector<TColor>& Global,
              int Loop) {
    GifBuilder G;
    G.Header(Width, Height, Global.empty() ? std::vector<TColor>{0x000000, 0xFFFFFF, 0x0000FF, 0x00FF00} : Global);
    if (Loop >= 0) G.Loop(Loop);
    for (const TFrameSpec& F : Frames) {
        if (F.Gce) G.GCE((F.Disposal << 2) | (F.Transparent ? 1 : 0), F.Delay, 3);
        std::vector<std::uint8_t> Pixels = F.Pixels;
        if (Pixels.empty()) Pixels.assign(static_cast<std::size_t>(F.Width) * F.Height, F.Colour);
        G.Frame(F.Left, F.Top, F.Width, F.Height, Pixels);
    }
    G.Trailer();
    return G.Data;
}

std::vector<std::string> CheckMovieAgainstGif(const std::string& GifPath, const std::string& SwfPath, bool Salvage) {
    std::vector<std::string> Problems;
    TGIFImage Gif;
    Gif.Salvage = Salvage;
    Gif.LoadFile(GifPath);
    TMovieRenderer R(SwfPath);
    for (const std::string& P : R.Movie.Problems) Problems.push_back(P);
    if (R.Movie.Signature != "FWS") Problems.push_back("signature " + R.Movie.Signature);
    if (R.Movie.Version != 6) Problems.push_back("version " + std::to_string(R.Movie.Version));
    if (R.Movie.Width != Gif.Width() || R.Movie.Height != Gif.Height()) Problems.push_back("stage size");
    for (std::uint16_t T : R.Movie.Tags)
        if (T == tagSetBackgroundColor) Problems.push_back("background colour tag");
    if (!Problems.empty()) return Problems;
    int First = 0;
    bool Ended = false;
    ComposeGif(Gif, [&](const TGifFrame& F) {
        const int Count = std::max(1, F.ShowCount);
        if (Ended) return;
        if (First + Count > static_cast<int>(R.Movie.DisplayLists.size())) {
            Problems.push_back("movie ends before GIF frame " + std::to_string(F.Index));
            Ended = true;
            return;
        }
        int Deepest = 0;
        const std::size_t Differ = CountDifferences(R.Render(First, &Deepest), F.Picture);
        if (Differ) Problems.push_back("GIF frame " + std::to_string(F.Index) + ": " + std::to_string(Differ) + " pixels differ");
        // No point of the stage lies under more images than the layered scheme allows.
        if (Deepest > TFrameComposition::MaxStack)
            Problems.push_back("GIF frame " + std::to_string(F.Index) + ": " + std::to_string(Deepest) + " images stacked");
        // The frame stays unchanged for its whole run.
        if (R.Movie.DisplayLists[static_cast<std::size_t>(First + Count - 1)].size() !=
            R.Movie.DisplayLists[static_cast<std::size_t>(First)].size())
            Problems.push_back("GIF frame " + std::to_string(F.Index) + " changes within its run");
        First += Count;
    });
    if (!Ended && First != static_cast<int>(R.Movie.DisplayLists.size()))
        Problems.push_back("movie has " + std::to_string(R.Movie.DisplayLists.size()) + " frames, the GIF's delays make " +
                           std::to_string(First));
    return Problems;
}

}  // namespace anivert::test
