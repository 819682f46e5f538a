// The program's name and version as shown to users.
#pragma once

#include <string>

namespace anivert {

// Title of the program's window and of every message box.
inline constexpr const char* ApplicationTitle = "Anivert";

std::string ApplicationVersion();

}  // namespace anivert
