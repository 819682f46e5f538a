#include "AppInfo.h"
#include "AnivertVersion.h"

namespace anivert {

std::string ApplicationVersion() { return ANIVERT_VERSION; }

}  // namespace anivert
