#pragma once

#include <string>
#include <vector>

namespace vxenc {

// Rewrites a conversion's ffmpeg arguments (everything after the program
// name; the last one is the output) so that every picture keeps its shape:
// - repeated -vf / -filter:v options become one chain in their order, and
//   -af / -filter:a likewise, instead of the last one silently winning;
// - "-s WxH" scales the picture to fit inside WxH keeping its proportions
//   (square pixels), at the end of the chain;
// - "-aspect A" with a size makes WxH a fixed frame shown at A: the picture
//   is fitted into it and padded with black; without a size the picture is
//   padded to A;
// - without either the frame is rounded down to even sides, which every
//   4:2:0 codec needs (GIF takes any size and gets a palette made for the
//   clip instead);
// - with -vn (or -an) the video (audio) filters are dropped.
// Arguments before the input and anything not understood pass unchanged.
std::vector<std::string> ShapeArguments(const std::vector<std::string> &args);

} // namespace vxenc
