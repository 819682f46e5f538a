// Whether this build has threads, and how many the machine runs at once.
// A WebAssembly build without thread support does all its work on the
// calling thread: the libraries then run their parallel work one piece
// after the other, with the same results.
#pragma once

#include <algorithm>
#include <thread>

namespace anivert {

#if defined(__EMSCRIPTEN__) && !defined(__EMSCRIPTEN_PTHREADS__)
inline constexpr bool HasThreads = false;
#else
inline constexpr bool HasThreads = true;
#endif

// The hardware threads to use (at least 1; 1 without threads).
inline unsigned HardwareThreads() {
    if constexpr (!HasThreads) return 1;
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace anivert
