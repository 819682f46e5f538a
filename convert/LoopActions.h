// Movies that play as often as their GIF (Options > Loop as the GIF says,
// anivert-cli --loop gif). A player repeats a movie for ever unless an
// action stops it: the movie's last frame gets the actions that stop it
// there once the GIF's passes are played.
#pragma once

namespace anivert {

class TFlashMovie;
class TGIFImage;
class TSWFActionList;

// The movie variable that counts the passes. The movie's variables stay
// when the player goes from the last frame back to the first.
inline constexpr const char* PassCounter = "anivert_passes";

// The passes of the GIF: 1 without a loop extension, Count + 1 for a
// count, 0 (for ever) for a count of 0, and for a GIF of at most one frame
// with pixels, which shows the same on every pass.
int GifPasses(const TGIFImage& Gif);

// Appends the actions that stop the movie at the end of pass Passes: a
// Stop alone for one pass; for more, the counter goes up by one and the
// Stop is jumped over while the counter is below Passes (an unset counter
// counts as 0). Nothing for 0 passes. Every action is one of version 6 or
// before.
void MakeLoopActions(TSWFActionList& List, int Passes);

// The actions of Passes on the movie's last frame, before its last
// ShowFrame tag: called when every frame is added. Nothing for 0 passes.
void AddLoopActions(TFlashMovie& Movie, int Passes);

}  // namespace anivert
