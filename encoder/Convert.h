#pragma once
// "vxenc.dll -y -i <in> <args...> <out>": measures the input (refusing what
// is not a local media file), decides what the file needs (Plan.h), runs the
// ffmpeg program and passes its messages on, progress times in seconds.
// Lines of its own start with "vxenc: ".
namespace vxenc {

// args: our own arguments after the program name. Returns the exit status:
// ffmpeg's own, 128 + signal when it was killed, 127 when it cannot be run,
// 1 when the input is refused or cannot be read.
int Convert(int argc, char **argv);

} // namespace vxenc
