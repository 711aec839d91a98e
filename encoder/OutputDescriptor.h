#pragma once
// VXENC_OUTPUT_FD=<n>: the program that starts us has made the output file
// itself and hands over its open descriptor. ffmpeg then writes through
// that very file ("/proc/self/fd/<n>", which names the open file, not a
// path anybody could change meanwhile); with no name to guess the format
// from, the muxer is chosen from the output path's extension, as ffmpeg
// would have chosen it. The output path itself is no longer opened.
#include <string>
#include <vector>

namespace vxenc {

// The muxer ffmpeg picks for a file name's extension (lower case or not),
// "" for an extension not in the table.
std::string MuxerForName(const std::string &path);

// Rewrites the conversion arguments (the last one is the output) to write
// to descriptor text instead: "-f <muxer>" (unless the arguments choose a
// format for the output already) and "/proc/self/fd/<n>". False, with the
// reason, for a descriptor that is no open regular file or an output
// extension without a known muxer.
bool WriteToDescriptor(std::vector<std::string> &args, const char *descriptor, std::string &error);

} // namespace vxenc
