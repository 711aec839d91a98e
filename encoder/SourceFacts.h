#pragma once
// What the measure found out about an input file that a conversion decides
// by: its demuxer and, per stream, what the output must keep or adapt.
// Plain data, so the decisions can be made (and tested) without the library.
#include <string>
#include <vector>

namespace vxenc {

enum class StreamKind { Video, Audio, Subtitle, Data, Attachment, Other };

enum class HdrTransfer { None, Pq, Hlg };

// Mastering-display colour volume: chromaticities (CIE 1931 x, y) and
// luminances in cd/m².
struct MasteringDisplay {
    bool present = false;
    double red[2] = {}, green[2] = {}, blue[2] = {}, white[2] = {};
    double maxLuminance = 0, minLuminance = 0;
};

struct LightLevel {
    bool present = false;
    unsigned maxCll = 0, maxFall = 0;
};

struct StreamFacts {
    int index = 0;
    StreamKind kind = StreamKind::Other;
    std::string codec; // FFmpeg's codec name: "h264", "mov_text", "aac"

    // Video
    bool cover = false; // an attached picture, not a moving one
    int bitDepth = 8;
    bool interlaced = false;
    HdrTransfer hdr = HdrTransfer::None;
    std::string primaries, matrix; // colour names as FFmpeg gives them, "" when unset
    bool fullRange = false;
    MasteringDisplay mastering;
    LightLevel lightLevel;

    // Audio
    int channels = 0;
    std::string layout; // "5.1(side)"; "" when the demuxer does not know it
    bool noLayout = false; // decoded, it has no layout at all (AAC's own, PCM)
    int sampleRate = 0;

    // Subtitles
    bool textSubtitle = false;
    bool bitmapSubtitle = false;
};

struct SourceFacts {
    std::string demuxer; // the first of its names: "mov", "matroska"
    std::vector<StreamFacts> streams;
};

} // namespace vxenc
