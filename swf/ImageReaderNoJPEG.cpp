// JPEG pictures in a build without the JPEG codec (the browser build, whose
// movies are made of lossless pictures alone): a JPEG file is refused.
#include "ImageReader.h"

namespace anivert {

namespace {

[[noreturn]] void Refuse() { throw EImageError("JPEG pictures are not supported by this build"); }

}  // namespace

TJPEGInfo ReadJPEGInfo(const std::vector<std::uint8_t>&) { Refuse(); }

std::vector<std::uint8_t> ReencodeJPEGBaseline(const std::vector<std::uint8_t>&, int) { Refuse(); }

}  // namespace anivert
