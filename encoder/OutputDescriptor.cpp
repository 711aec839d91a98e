#include "OutputDescriptor.h"

#include <cctype>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vxenc {

std::string MuxerForName(const std::string &path)
{
    // The choices of ffmpeg 5.1 for these names.
    static const struct {
        const char *ext;
        const char *muxer;
    } table[] = {
        {"3g2", "3g2"},     {"3gp", "3gp"},       {"aac", "adts"},     {"ac3", "ac3"},
        {"asf", "asf"},     {"avi", "avi"},       {"dv", "dv"},        {"flac", "flac"},
        {"flv", "flv"},     {"gif", "gif"},       {"h264", "h264"},    {"hevc", "hevc"},
        {"m2ts", "mpegts"}, {"m4a", "ipod"},      {"m4v", "ipod"},     {"mka", "matroska"},
        {"mkv", "matroska"}, {"mov", "mov"},      {"mp2", "mp2"},      {"mp3", "mp3"},
        {"mp4", "mp4"},     {"mpeg", "mpeg"},     {"mpg", "mpeg"},     {"mts", "mpegts"},
        {"mxf", "mxf"},     {"oga", "oga"},       {"ogg", "ogg"},      {"ogv", "ogv"},
        {"opus", "opus"},   {"rm", "rm"},         {"swf", "swf"},      {"ts", "mpegts"},
        {"vob", "svcd"},    {"wav", "wav"},       {"webm", "webm"},    {"wma", "asf"},
        {"wmv", "asf"},     {"y4m", "yuv4mpegpipe"},
    };
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    std::string ext = path.substr(dot + 1);
    for (char &c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto &entry : table)
        if (ext == entry.ext)
            return entry.muxer;
    return std::string();
}

bool WriteToDescriptor(std::vector<std::string> &args, const char *descriptor, std::string &error)
{
    char *end = nullptr;
    const long fd = std::strtol(descriptor, &end, 10);
    struct stat info {};
    if (end == descriptor || *end != '\0' || fd < 3 || fd > 1 << 20 || fstat(int(fd), &info) != 0
        || !S_ISREG(info.st_mode)) {
        error = std::string("VXENC_OUTPUT_FD=") + descriptor + " is not an open file";
        return false;
    }
    if (args.size() < 2) {
        error = "no output is named";
        return false;
    }
    const std::string muxer = MuxerForName(args.back());
    if (muxer.empty()) {
        error = "no output format is known for \"" + args.back() + "\"";
        return false;
    }
    // ffmpeg inherits it: only this descriptor stays open across its exec.
    fcntl(int(fd), F_SETFD, 0);
    // A format the arguments choose for the output (after the input) stays.
    bool chosen = false;
    for (size_t i = 0; i + 1 < args.size(); ++i) {
        if (args[i] == "-i") {
            chosen = false; // a -f so far was the input's
            ++i;
        } else if (args[i] == "-f") {
            chosen = true;
        }
    }
    args.back() = "/proc/self/fd/" + std::to_string(fd);
    if (!chosen)
        args.insert(args.end() - 1, {"-f", muxer});
    return true;
}

} // namespace vxenc
