#include "Convert.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <filesystem>
#include <mutex>
#include <random>
#include <stdexcept>

#include "Bitmap32.h"
#include "FlashObjects.h"
#include "FrameComposition.h"
#include "GIFImage.h"
#include "LoopActions.h"
#include "Streams.h"
#include "Threads.h"
#include "Types.h"

namespace anivert {

namespace fs = std::filesystem;

namespace {

// The deflater of compact movies' bitmaps.
constexpr TDeflateSettings CompactDeflate{TDeflater::Libdeflate, 5, true};
// The most frames a movie can place: two depths a frame below the link.
constexpr int MaxLinkedFrames = 32767;

// A number that keeps a conversion's temporary files (N-K.bmp) apart from
// every other conversion's, in this process and in others: N.job is made
// exclusively in the folder and stays until the conversion ends.
class TJobNumber {
public:
    explicit TJobNumber(const std::string& Folder) {
        std::random_device Seed;
        std::mt19937 Rng(Seed());
        std::uniform_int_distribution<int> Numbers(0, 999999);
        for (int Tries = 0;; ++Tries) {
            const int N = Numbers(Rng);
            // A folder crowded with pictures of other conversions: take
            // a number all the same rather than look for ever.
            if (Tries > 1000) {
                Number = N;
                return;
            }
            const std::string Claim = Folder + std::to_string(N) + ".job";
            std::error_code Ec;
            if (fs::exists(Folder + std::to_string(N) + "-0.bmp", Ec)) continue;
            const int Fd = ::open(Claim.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
            if (Fd >= 0) {
                ::close(Fd);
                Number = N;
                FClaim = Claim;
                return;
            }
            // A folder where nothing can be made: the pictures cannot be
            // made there either, and say so when they are written.
            if (errno != EEXIST) {
                Number = N;
                return;
            }
        }
    }
    ~TJobNumber() {
        std::error_code Ignored;
        if (!FClaim.empty()) fs::remove(FClaim, Ignored);
    }
    TJobNumber(const TJobNumber&) = delete;
    TJobNumber& operator=(const TJobNumber&) = delete;

    int Number = 0;

private:
    std::string FClaim;
};

std::string SystemTempFolder() {
    std::error_code Ec;
    fs::path P = fs::temp_directory_path(Ec);
    std::string S = Ec ? std::string("/tmp") : P.string();
    if (S.empty() || S.back() != '/') S += '/';
    return S;
}

}  // namespace

void AddMovieLink(TFlashMovie& Movie, const std::string& Url, int Width, int Height, int FrameCount) {
    if (FrameCount > MaxLinkedFrames)
        throw std::runtime_error("The GIF has more frames than a movie can place (32767)");
    TFlashButton* Button = Movie.AddButton(false, true);
    // The invisible rectangle covers the whole stage, the last row and
    // column of pixels included.
    TFlashShape* Shape = Movie.AddRectangle(0, 0, Width, Height);
    Shape->SetSolidFill(0, 0, 0, 0);
    Button->AddRecord(*Shape, bsUp | bsHitTest, 1);
    Button->AddRecord(*Shape, bsOver | bsHitTest, 1);
    Button->AddRecord(*Shape, bsDown | bsHitTest, 1);
    Button->OnReleaseActions().GetURL(Url, "_blank");
    Movie.PlaceObject(Button, static_cast<std::uint16_t>(2 * FrameCount));
}

std::int64_t TMovieOptions::PixelBudget(std::int64_t GifBytes) const {
    if (MaxPixelsPerByte <= 0 || GifBytes <= 0) return MaxPixels;
    if (GifBytes > UnlimitedPixels / MaxPixelsPerByte) return UnlimitedPixels;
    return std::max(MaxPixels, GifBytes * MaxPixelsPerByte);
}

TConvertResult ConvertGif(const TConvertRequest& Request) {
    const TMovieOptions& Options = Request.Options;
    TConvertObserver* Observer = Request.Observer;
    TConvertResult Result;
    const std::string Temp = Request.TempFolder.empty() ? SystemTempFolder() : Request.TempFolder;
    const TJobNumber Job(Temp);

    TGIFImage Gif;
    TGIFImage TrialGif;
    // Loading; any error is the reason. Compact movies are made on every
    // core, the decoding of the frames included.
    if (Options.Compact) Gif.DecodeThreads = HardwareThreads();
    Gif.Salvage = Options.Salvage;
    // Compact movies take a frame at a time: a long GIF is held a few
    // frames at a time (the code streams wait, compressed).
    Gif.DecodeOnDemand = Options.Compact && !Options.Salvage && Options.StreamFrames;
    // The observer hears of each frame of a long load, and may stop it:
    // what it raises is raised again, not taken for a damaged file.
    std::exception_ptr Raised;
    Gif.OnProgress = [Observer, &Raised](TGIFImage& Image, TProgressStage Stage, int, const std::string&) {
        if (!Observer || Stage != TProgressStage::psRunning) return;
        try {
            Observer->Progress(TConvertObserver::TStage::Loading, Image.Images.Count(), 0);
        } catch (...) {
            Raised = std::current_exception();
            throw;
        }
    };
    // Warnings may come from the decoding threads: they reach the observer
    // after the load, in order, on this thread.
    std::mutex WarningsLock;
    std::vector<std::string> Warnings;
    Gif.OnDecodeWarning = [&](TGIFImage&, const TGIFItem*, int, const std::string& Message) {
        const std::lock_guard<std::mutex> Hold(WarningsLock);
        Warnings.push_back(Message);
    };
    std::string& Reason = Result.Reason;
    std::error_code Ec;
    // The work the movie may ask for grows with the GIF's size.
    std::int64_t GifBytes = static_cast<std::int64_t>(Request.InputBytes.size());
    if (!Request.InputPath.empty()) {
        const auto Size = fs::file_size(Request.InputPath, Ec);
        GifBytes = Ec ? 0 : static_cast<std::int64_t>(Size);
    }
    const std::int64_t Budget = Options.PixelBudget(GifBytes);
    if (!Request.InputPath.empty() && !fs::is_regular_file(Request.InputPath, Ec)) {
        Reason = "no such file";
    } else {
        try {
            if (Request.InputPath.empty()) {
                TReadOnlyMemoryStream In(Request.InputBytes.data(), Request.InputBytes.size());
                Gif.LoadFromStream(In);
            } else {
                Gif.LoadFile(Request.InputPath);
            }
        } catch (const std::exception& E) {
            if (Raised) std::rethrow_exception(Raised);
            Reason = E.what();
        }
        // What a salvaging read kept is a movie if it holds a frame.
        if (Reason.empty() && Gif.Salvage && !Gif.SalvagedReason.empty() && Gif.Images.Count() == 0)
            Reason = Gif.SalvagedReason;
    }
    // Frames decoded on demand warn while they are composed.
    auto TellWarnings = [&] {
        std::vector<std::string> Told;
        {
            const std::lock_guard<std::mutex> Hold(WarningsLock);
            Told.swap(Warnings);
        }
        if (Observer)
            for (const std::string& W : Told) Observer->Warning(W);
    };
    TellWarnings();
    // The work the movie asks for is known before it is done.
    if (Reason.empty())
        Reason = TFrameComposition::Refusal(Gif, Options.Compact, Budget, Options.MaxPixelsRemedy);
    if (!Reason.empty()) return Result;

    // One map for all frames, when that loses no colour: frames with more
    // colours together keep their own maps, as every frame becomes a
    // picture of its own colours anyway. (Compact movies take every
    // frame's own colours.)
    if (!Options.Compact && Gif.Images.Count() > 1 && TFrameComposition::ColoursFitOneMap(Gif))
        Gif.OptimizeColorMaps();
    const int Width = Gif.Width(), Height = Gif.Height();
    Result.Width = Width;
    Result.Height = Height;
    TFlashMovie Movie(0, 0, Width * 20, Height * 20, 24.0f, false);
    Movie.SetPixelUnits(true);
    Movie.SetVersion(6);
    Movie.SetCompressed(false);
    Movie.Protect = false;
    // Frame pictures are packed on all cores while the next frames are
    // composed.
    Movie.PackImagesInBackground();
    if (Options.Compact) Movie.ImageDeflate = CompactDeflate;
    // The movie is made once: its pictures need not be held beside it.
    Movie.ReleasePicturesWhenWritten = true;
    // Without a global map there is no background colour; it only colours
    // pixels that are transparent anyway.
    const TColor Background = Gif.GlobalColorMap().Count() > 0 ? Gif.BackgroundColor() : 0;
    // The link, above every frame image.
    if (!Request.Url.empty()) AddMovieLink(Movie, Request.Url, Width, Height, Gif.Images.Count());
    // How often the movie plays (Loop as the GIF says), read before the
    // optimiser may drop loop extensions.
    const int Passes = Options.LoopAsGif ? GifPasses(Gif) : 0;
    TBitmap32 Surface;
    try {
        TFrameComposition Composition(Gif, TrialGif, Surface, Movie, Job.Number, RedOf(Background),
                                      GreenOf(Background), BlueOf(Background), Temp, Options.Compact);
        Composition.MaxPixels = Budget;
        Composition.BudgetRemedy = Options.MaxPixelsRemedy;
        Composition.OnFrame = [Observer](int K, int N) {
            if (Observer) Observer->Progress(TConvertObserver::TStage::Composing, K, N);
        };
        Composition.Run();
        // What the file reported after the last frame composed.
        if (Gif.DecodeOnDemand) Gif.DecodeFrames(0, Gif.Images.Count());
        Result.FirstFrameTransparent = Composition.FirstFrameTransparent;
        Result.Pixels = Composition.PixelsWritten;
        TellWarnings();
    } catch (const EWorkBudget& E) {
        Reason = E.what();
        return Result;
    } catch (const GIFException& E) {
        // A frame decoded on demand that does not decode: the load would
        // have failed with it.
        if (!Gif.DecodeOnDemand) throw;
        Reason = E.what();
        return Result;
    }
    AddLoopActions(Movie, Passes);
    // Writing the movie waits for the pictures still being packed: a stop
    // request is heard then too.
    Movie.OnProgress = [Observer, Told = -1](TBasedSWFStream&, int Percent, int) mutable {
        if (!Observer || Percent == Told) return;
        Told = Percent;
        Observer->Progress(TConvertObserver::TStage::Writing, Percent, 100);
    };
    if (Request.OutputPath.empty()) {
        TMemoryStream Out;
        Movie.SaveToStreamAsMade(Out);
        Result.Movie = Out.TakeBytes();
    } else {
        Movie.SaveFileAsMade(Request.OutputPath);
    }
    Result.SalvagedReason = Gif.SalvagedReason;
    Result.FrameCount = Gif.Images.Count();
    Result.Converted = true;
    return Result;
}

}  // namespace anivert
