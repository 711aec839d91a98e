// vxenc: the encoder program the converter starts for every file.
//   vxenc.dll -i <file>                      measure the file
//   vxenc.dll -y -i <in> <options...> <out>  convert it (through ffmpeg)
#include "Convert.h"
#include "Measure.h"

#include <cstdio>
#include <cstring>

namespace {

void PrintUsage(FILE *to)
{
    std::fputs("usage: vxenc.dll -i <input>                          print the file's duration and streams\n"
               "       vxenc.dll [-y] -i <input> [options...] <output>  convert the file with ffmpeg\n",
               to);
}

// A conversion names an input (-i with a value) and something after it.
bool LooksLikeConversion(int argc, char **argv)
{
    for (int i = 1; i + 2 < argc; ++i)
        if (std::strcmp(argv[i], "-i") == 0)
            return true;
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        PrintUsage(stdout);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "-i") == 0)
        return vxenc::Measure(argv[2]);
    if (LooksLikeConversion(argc, argv))
        return vxenc::Convert(argc - 1, argv + 1);
    PrintUsage(stderr);
    return 2;
}
