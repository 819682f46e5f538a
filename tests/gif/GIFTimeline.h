// What an animation shows over time: its frames composed on the logical
// screen with the GIF disposal rules, as a list of pictures with the time
// each one stays.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "GIFImage.h"

namespace anivert::test {

// One picture of the timeline: a hash of the screen (RGBA, transparent
// pixels all 0), how long it stays (hundredths of a second, the delays of
// the frames that show it added up) and the first frame that shows it.
struct TimelinePicture {
    std::uint64_t Hash = 0;
    std::uint32_t Delay = 0;
    int Frame = 0;
    friend bool operator==(const TimelinePicture& A, const TimelinePicture& B) {
        return A.Hash == B.Hash && A.Delay == B.Delay;
    }
};

// Composes the frames that have pixels on a transparent screen: a
// frame's transparent pixels leave the screen as it is, an index past its
// map is opaque black, pixels beyond the screen are dropped; after the frame
// is shown, disposal 2 clears its rectangle to transparent, 3 restores the
// screen from before it, any other value keeps it. A frame shows for its
// graphic control extension's delay (0 without one); pictures that follow
// an equal one join it.
// Only the part Area of the screen is composed (the whole screen when Area
// is empty).
std::vector<TimelinePicture> Timeline(const TGIFImage& Image, TRect Area = {});

// The part of the screen that the frames with pixels cover (what lies
// outside stays transparent throughout).
TRect CoveredArea(const TGIFImage& Image);

// "" when both timelines are equal, else where they differ. A timeline of
// one picture equals another of the same picture whatever its delay.
std::string CompareTimelines(const std::vector<TimelinePicture>& Before,
                             const std::vector<TimelinePicture>& After);

// Calls Shown(screen, frame index) after each frame that has pixels is drawn
// on the whole logical screen (RGBA words 0xAABBGGRR).
void ComposeScreens(const TGIFImage& Image,
                    const std::function<void(const std::vector<std::uint32_t>&, int)>& Shown);

// The screen after each frame that has pixels is drawn (RGBA words
// 0xAABBGGRR), for small images.
std::vector<std::vector<std::uint32_t>> ComposedFrames(const TGIFImage& Image);

}  // namespace anivert::test
