// The converter as the browser page's worker calls it: one GIF's bytes in,
// the movie's bytes (or the reason there is none) out, through a result
// the caller reads field by field and then frees.
#include <emscripten.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <string>

#include "AnivertVersion.h"
#include "Convert.h"
#include "Runs.h"

// Progress goes to the worker's handler as it comes: the conversion holds
// the worker's thread until it ends.
EM_JS(void, anivert_tell_progress, (int Stage, int Done, int Total), {
    if (Module.onProgress) Module.onProgress(Stage, Done, Total);
});

namespace anivert {

namespace {

// The bits of anivert_convert's Flags.
enum TWebFlag : int { wfCompact = 1, wfSalvage = 2, wfLoopGif = 4, wfTestPage = 8 };

struct TWebResult {
    TConvertResult Result;
    std::string TestPage;
};

// How a user of the page lifts the budget: the page itself cannot.
constexpr const char* WebBudgetRemedy = "anivert-cli --max-pixels";
constexpr const char* OutOfMemory = "the conversion needs more memory than the browser gives this page";

class TWebObserver : public TConvertObserver {
public:
    void Progress(TStage Stage, int Done, int Total) override {
        anivert_tell_progress(static_cast<int>(Stage), Done, Total);
    }
};

}  // namespace

}  // namespace anivert

using anivert::TWebResult;

extern "C" {

// Converts Size bytes at Data. Url (may be empty) makes the movie a link;
// Name is the GIF's file name, for the test page. Never null: a failure,
// whatever its cause (running out of memory included), is a result with
// its reason.
EMSCRIPTEN_KEEPALIVE TWebResult* anivert_convert(const std::uint8_t* Data, std::size_t Size, int Flags,
                                                 const char* Url, const char* Name) {
    using namespace anivert;
    auto Web = std::make_unique<TWebResult>();
    TWebObserver Observer;
    TConvertRequest Request;
    Request.InputBytes = std::span<const std::uint8_t>(Data, Size);
    Request.Options.Compact = (Flags & wfCompact) != 0;
    Request.Options.Salvage = (Flags & wfSalvage) != 0;
    Request.Options.LoopAsGif = (Flags & wfLoopGif) != 0;
    Request.Options.MaxPixelsRemedy = WebBudgetRemedy;
    Request.Url = Url ? Url : "";
    Request.Observer = &Observer;
    try {
        Web->Result = ConvertGif(Request);
    } catch (const std::bad_alloc&) {
        Web->Result = TConvertResult();
        Web->Result.Reason = OutOfMemory;
    } catch (const std::exception& E) {
        Web->Result = TConvertResult();
        Web->Result.Reason = E.what();
    }
    // The reading of the GIF reports what stopped it as its reason.
    if (Web->Result.Reason == std::bad_alloc().what()) Web->Result.Reason = OutOfMemory;
    if (Web->Result.Converted && (Flags & wfTestPage)) {
        std::string SwfName = ChangeFileExt(ExtractFileName(Name ? Name : "movie.gif"), ".swf");
        Web->TestPage = BuildTestPage(SwfName, std::to_string(Web->Result.Width), std::to_string(Web->Result.Height),
                                      std::to_string(Web->Result.Movie.size()), Web->Result.FirstFrameTransparent) +
                        "\r\n";
    }
    return Web.release();
}

EMSCRIPTEN_KEEPALIVE int anivert_ok(const TWebResult* R) { return R->Result.Converted ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const std::uint8_t* anivert_movie(const TWebResult* R) { return R->Result.Movie.data(); }
EMSCRIPTEN_KEEPALIVE std::size_t anivert_movie_size(const TWebResult* R) { return R->Result.Movie.size(); }
EMSCRIPTEN_KEEPALIVE const char* anivert_reason(const TWebResult* R) { return R->Result.Reason.c_str(); }
EMSCRIPTEN_KEEPALIVE const char* anivert_salvaged(const TWebResult* R) { return R->Result.SalvagedReason.c_str(); }
EMSCRIPTEN_KEEPALIVE int anivert_width(const TWebResult* R) { return R->Result.Width; }
EMSCRIPTEN_KEEPALIVE int anivert_height(const TWebResult* R) { return R->Result.Height; }
EMSCRIPTEN_KEEPALIVE int anivert_frames(const TWebResult* R) { return R->Result.FrameCount; }
EMSCRIPTEN_KEEPALIVE const char* anivert_test_page(const TWebResult* R) { return R->TestPage.c_str(); }
EMSCRIPTEN_KEEPALIVE void anivert_free(TWebResult* R) { delete R; }
EMSCRIPTEN_KEEPALIVE const char* anivert_version() { return ANIVERT_VERSION; }

}  // extern "C"
