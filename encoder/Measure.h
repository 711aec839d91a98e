#pragma once
// "vxenc.dll -i <path>": prints a short report of the file's container and
// streams, read by FFmpeg's own demuxers and parsers (linked in statically;
// the conversion path uses none of them).
namespace vxenc {

// Returns the process exit status: 0 with the report on stdout, 1 with one
// "<path>: <reason>" line on stderr when the file cannot be opened.
int Measure(const char *path);

} // namespace vxenc
