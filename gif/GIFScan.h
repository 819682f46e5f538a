// A cheap look at a GIF file: its logical screen and how many frames it
// holds, from a walk over its blocks that decodes nothing. For planning
// work (the largest files first), not for trusting: a file that is not a
// GIF, or is cut short, gives what was seen up to there.
#pragma once

#include <cstdint>
#include <string>

namespace anivert {

struct TGIFScan {
    int Width = 0;
    int Height = 0;
    // Image descriptors seen.
    std::uint64_t Frames = 0;
};

TGIFScan ScanGIFFile(const std::string& FileName);

}  // namespace anivert
