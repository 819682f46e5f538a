// Fuzz target: the whole road from a GIF file to a movie, through the main
// window's conversion job: loading (plain or salvaging), the work budget,
// composing in either scheme, default or compact pictures, the link, and
// saving. The first byte chooses the options, the rest is the GIF file.
// Every input must either make a movie that reads back or fail cleanly,
// and no temporary file or unfinished movie may be left either way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "SWFStreams.h"
#include "SystemPlatform.h"
#include "untMain.h"

using namespace anivert;
namespace fs = std::filesystem;

namespace {

// A terminal that never shows anything, with a temporary folder of its own.
class TQuietPlatform : public TSystemPlatform {
public:
    explicit TQuietPlatform(std::string ATemp) : Temp(std::move(ATemp)) {}
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons Buttons) override {
        return Buttons == TMsgButtons::YesNo ? TMsgResult::Yes : TMsgResult::OK;
    }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    std::optional<std::string> BrowseForFolder(const std::string&) override { return std::nullopt; }
    void ShowHelp(const std::string&, int) override {}
    void OpenDocument(const std::string&) override {}
    std::string TempFolder() override { return Temp; }

private:
    std::string Temp;
};

const fs::path& Root() {
    static const fs::path R = [] {
        std::string Pattern = (fs::temp_directory_path() / "anivert-fuzz-XXXXXX").string();
        if (!mkdtemp(Pattern.data())) std::abort();
        fs::create_directories(fs::path(Pattern) / "temp");
        fs::create_directories(fs::path(Pattern) / "out");
        return fs::path(Pattern);
    }();
    return R;
}

bool Empty(const fs::path& Dir) { return fs::is_empty(Dir); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1) return 0;
    const std::uint8_t Choice = Data[0];
    const fs::path Gif = Root() / "in.gif";
    {
        std::ofstream Out(Gif, std::ios::binary | std::ios::trunc);
        Out.write(reinterpret_cast<const char*>(Data + 1), static_cast<std::streamsize>(Size - 1));
    }
    const fs::path OutDir = Root() / "out";
    {
        TQuietPlatform Platform((Root() / "temp").string() + "/");
        TfrmMain Form(Platform);
        Form.RBSingle.SetChecked(false);
        Form.RBFolder.SetChecked(true);
        Form.OutputFolder = OutDir.string() + "/";
        Form.Options.Compact = Choice & 1;
        Form.Options.Salvage = Choice & 2;
        // A small budget keeps every run short; the budget is the same
        // code at any figure.
        Form.Options.MaxPixels = std::int64_t(1) << 22;
        if (Choice & 4) {
            Form.RBSingle.SetChecked(true);
            Form.RBFolder.SetChecked(false);
            Form.CommandLineMode = true;
            Form.EURL.SetText("http://example.org/");
        }
        bool Made = false;
        try {
            Made = Form.ConvertNow(Gif.string(), std::string());
        } catch (const std::exception&) {
            // A job may fail with an error (a picture too large to make).
        }
        const fs::path Movie = OutDir / "in.swf";
        if (Made != fs::exists(Movie)) std::abort();
        if (Made) {
            TSWFFileReader Reader;
            Reader.LoadFile(Movie.string());  // must read back: an error here is a finding
        }
    }
    // Nothing left behind: no temporary picture, no unfinished movie.
    if (!Empty(Root() / "temp")) std::abort();
    for (const auto& E : fs::directory_iterator(OutDir))
        if (E.path().filename() != "in.swf" && E.path().filename() != "in.html") std::abort();
    std::error_code Ignore;
    for (const auto& E : fs::directory_iterator(OutDir)) fs::remove(E.path(), Ignore);
    return 0;
}
