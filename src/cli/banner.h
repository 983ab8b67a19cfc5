// The texts that name the program: the banner on the console, and the head
// of the INI report, which names the program as the banner does.
#pragma once

namespace partam {

inline constexpr const char* kBanner = " Partam - Version 3.0.46 beta ";
inline constexpr const char* kBannerSecondLine = "Partition tables at the sector level";
// The date this version goes by, as the INI report's head shows it.
inline constexpr const char* kVersionDateText = "  Feb 9, 2010";

#ifdef _WIN32
inline constexpr const char* kPlatformName = "Windows";
#else
inline constexpr const char* kPlatformName = "Linux";
#endif

}  // namespace partam
