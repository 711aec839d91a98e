#pragma once
// "vxenc.dll -i <path>": prints a short report of the file's container and
// streams. The media libraries are loaded only here, at run time, so the
// conversion path starts without them.
namespace vxenc {

// Returns the process exit status: 0 with the report on stdout, 1 with one
// "<path>: <reason>" line on stderr when the file cannot be opened.
int Measure(const char *path);

} // namespace vxenc
