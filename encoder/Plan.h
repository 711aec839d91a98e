#pragma once
// The decisions a conversion makes per input file, from what the measure
// found in it: which streams go into the output (every audio track, the
// subtitles the container can hold, in a codec it takes), audio channels
// and rates the codec can carry, the picture's depth and HDR colour or its
// tone-mapping to SDR, each frame's own time, the recording's metadata, and
// the encoder's share of the processors. The profile's options stay as the
// user chose them; what is added or replaced is said in the notes.
#include "SourceFacts.h"

#include <string>
#include <vector>

namespace vxenc {

struct ConversionPlan {
    std::vector<std::string> options; // the output options to give ffmpeg
    std::vector<std::string> notes;   // one sentence each, for the row's messages
};

// options: the output options as given (between the input and the output
// path); outputPath: the output, whose extension names the container;
// threads: processors the encoder may use, 0 for ffmpeg's default.
ConversionPlan PlanConversion(const SourceFacts &source, const std::vector<std::string> &options,
                              const std::string &outputPath, int threads);

} // namespace vxenc
