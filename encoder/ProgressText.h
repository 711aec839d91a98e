#pragma once
// FFmpeg reports progress as "time=HH:MM:SS.xx"; the program that starts us
// reads "time=<seconds> " (plain seconds, "." decimal point, then a blank).
#include <string>

namespace vxenc {

// Rewrites every "time=[-]H:MM:SS[.frac]" in one report line into
// "time=[-]<seconds>[.frac] ". Anything else (including "time=N/A") is kept.
std::string RewriteProgressTimes(const std::string &line);

} // namespace vxenc
