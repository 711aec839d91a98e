#pragma once
// "vxenc.dll -i <path>": prints a short report of the file's container and
// streams, read by FFmpeg's own demuxers and parsers (linked in statically;
// the conversion path uses them only to decide its arguments). A video
// stream's size is the picture as it is shown, rotation applied.
namespace vxenc {

// Returns the process exit status: 0 with the report on stdout, 1 with one
// "<path>: <reason>" line on stderr when the file cannot be opened or is
// refused ("<path>: not a media file: <why>").
int Measure(const char *path);

} // namespace vxenc
