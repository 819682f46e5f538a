// The conversion: one GIF becomes one movie. A file or bytes in memory go
// in, a file or bytes come out; the window, the command line and other
// programs call this and show what it reports in their own way. No
// toolkit, no window, no settings.
#pragma once

#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace anivert {

class TFlashMovie;

// Choices beyond the default movie. With every choice off the movie is the
// default one.
struct TMovieOptions {
    // The pixels of pictures a movie may take unless the user allows more:
    // the larger of a floor far above any short GIF's (the largest write
    // about 10^8) and a number per byte of the GIF far above any real GIF's,
    // so that a long recording converts while a small file asking for
    // hours of work or gigabytes (a decompression bomb) is refused.
    static constexpr std::int64_t DefaultMaxPixels = 500'000'000;
    static constexpr std::int64_t DefaultMaxPixelsPerByte = 4'000;
    // Very large movies allowed: only the decoder's own limits hold.
    static constexpr std::int64_t UnlimitedPixels = std::numeric_limits<std::int64_t>::max();

    // Colour-mapped bitmaps, in the flattened scheme only what changed,
    // and a faster deflater: the same pictures in far fewer bytes.
    bool Compact = false;
    // Damaged or cut-off GIFs become the movie a browser shows of them:
    // the frames up to the fault, what was not decoded transparent.
    bool Salvage = false;
    std::int64_t MaxPixels = DefaultMaxPixels;
    // 0 when MaxPixels alone is the budget (a budget the user chose).
    std::int64_t MaxPixelsPerByte = DefaultMaxPixelsPerByte;
    // How the user lifts the budget, named when a movie is refused.
    std::string MaxPixelsRemedy = "a larger MaxPixels";
    // The pixels of pictures the movie of a GIF of GifBytes bytes may take.
    std::int64_t PixelBudget(std::int64_t GifBytes) const;
    // Plays as often as the GIF says, then stops on the last frame.
    bool LoopAsGif = false;
    // A compact movie that salvages nothing holds the GIF a few frames at a
    // time; false decodes every frame as the GIF is read: the same movie,
    // with memory that grows with the GIF's length.
    bool StreamFrames = true;
};

// What a conversion tells while it works. Whatever a call raises passes
// through the conversion, which removes what it made: raising is how a
// caller stops it at once.
class TConvertObserver {
public:
    enum class TStage { Loading, Composing, Writing };
    virtual ~TConvertObserver() = default;
    // Frame Done of Total is being read or composed; or Done percent of the
    // movie is written (Total 100), which waits for the last pictures to be
    // packed.
    virtual void Progress(TStage Stage, int Done, int Total) {
        static_cast<void>(Stage);
        static_cast<void>(Done);
        static_cast<void>(Total);
    }
    // What the decoder noticed in a file it read all the same.
    virtual void Warning(const std::string& Text) { static_cast<void>(Text); }
};

struct TConvertRequest {
    // The GIF: a file, or (InputPath empty) these bytes, which must stay
    // until the call returns.
    std::string InputPath;
    std::span<const std::uint8_t> InputBytes;
    // The movie: a file, written beside its name and renamed over it when
    // complete; empty for the bytes in the result.
    std::string OutputPath;
    TMovieOptions Options;
    // A link: a click anywhere on the stage opens it in a new window. None
    // when empty.
    std::string Url;
    // Where the default movie's frame pictures pass (with its separator);
    // the system's temporary folder when empty.
    std::string TempFolder;
    TConvertObserver* Observer = nullptr;
};

struct TConvertResult {
    bool Converted = false;
    // Why there is no movie.
    std::string Reason;
    // A damaged file read as far as it goes (salvage): what was left out.
    std::string SalvagedReason;
    // The stage in pixels and the GIF frames shown.
    int Width = 0;
    int Height = 0;
    int FrameCount = 0;
    bool FirstFrameTransparent = false;
    // The pixels of the movie's pictures.
    std::int64_t Pixels = 0;
    // The movie when no output path was given.
    std::vector<std::uint8_t> Movie;
};

// Converts one GIF. A GIF that cannot be read or would make no movie gives
// a result with its reason; an output file that cannot be written raises
// (std::exception with the reason), as does whatever the observer raises.
TConvertResult ConvertGif(const TConvertRequest& Request);

// The link of a movie: an invisible button over the whole W x H stage,
// placed above the FrameCount frames' images, that opens Url in a new
// window on release.
void AddMovieLink(TFlashMovie& Movie, const std::string& Url, int Width, int Height, int FrameCount);

}  // namespace anivert
