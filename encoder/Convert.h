#pragma once
// "vxenc.dll -y -i <in> <args...> <out>": runs the ffmpeg program with the
// same arguments and passes its messages on, progress times in seconds.
namespace vxenc {

// args: our own arguments after the program name. Returns the exit status:
// ffmpeg's own, 128 + signal when it was killed, 127 when it cannot be run.
int Convert(int argc, char **argv);

} // namespace vxenc
