#include "AppInfo.h"

namespace anivert {

std::string ApplicationVersion() { return ANIVERT_VERSION; }

}  // namespace anivert
