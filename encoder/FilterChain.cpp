#include "FilterChain.h"

#include <cstdio>
#include <cstdlib>
#include <set>

namespace vxenc {

namespace {

// Codecs that take a frame of any size; every other one gets even sides.
const std::set<std::string> AnySizeCodecs = {"gif"};

// GIF holds 256 colours: one palette made for the whole clip, in one pass.
const char *const GifPalette = "split[a][b];[a]palettegen[p];[b][p]paletteuse";

bool IsOneOf(const std::string &arg, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (arg == name)
            return true;
    return false;
}

bool ParsePositive(const std::string &text, double &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && value > 0 && value < 1e6;
}

// "640x360": both sides whole and positive.
bool ParseSize(const std::string &text, int &w, int &h)
{
    const size_t x = text.find('x');
    if (x == std::string::npos || x == 0 || x + 1 == text.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != x && (text[i] < '0' || text[i] > '9'))
            return false;
    if (x > 5 || text.size() - x - 1 > 5)
        return false;
    w = std::atoi(text.substr(0, x).c_str());
    h = std::atoi(text.substr(x + 1).c_str());
    return w > 0 && h > 0;
}

// "16:9", "16/9" or "1.7778"; ratio holds it as a filter can read it.
bool ParseAspect(const std::string &text, double &value, std::string &ratio)
{
    const size_t sep = text.find_first_of(":/");
    if (sep == std::string::npos) {
        ratio = text;
        return ParsePositive(text, value);
    }
    double num = 0, den = 0;
    if (!ParsePositive(text.substr(0, sep), num) || !ParsePositive(text.substr(sep + 1), den))
        return false;
    value = num / den;
    ratio = text.substr(0, sep) + "/" + text.substr(sep + 1);
    return true;
}

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    return buf;
}

// An expression's value rounded to the nearest even whole number, at least 2.
std::string Even(const std::string &expr)
{
    return "max(2,2*trunc((" + expr + ")/2+0.5))";
}

std::string Join(const std::vector<std::string> &parts)
{
    std::string out;
    for (const std::string &p : parts)
        out += (out.empty() ? "" : ",") + p;
    return out;
}

} // namespace

std::vector<std::string> ShapeArguments(const std::vector<std::string> &args)
{
    // The options of the output stand between the input and the output.
    size_t first = args.size();
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "-i") {
            first = i + 2;
            break;
        }
    if (first >= args.size())
        return args;
    const size_t last = args.size() - 1;

    std::vector<std::string> out(args.begin(), args.begin() + static_cast<long>(first));
    std::vector<std::string> video, audio;
    std::string codec;
    int w = 0, h = 0;
    double aspect = 0;
    std::string aspectRatio;
    bool noVideo = false, noAudio = false;
    for (size_t i = first; i < last; ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < last;
        if (hasValue && IsOneOf(a, {"-vf", "-filter:v"})) {
            video.push_back(args[++i]);
        } else if (hasValue && IsOneOf(a, {"-af", "-filter:a"})) {
            audio.push_back(args[++i]);
        } else if (hasValue && a == "-s" && ParseSize(args[i + 1], w, h)) {
            ++i;
        } else if (hasValue && a == "-aspect" && ParseAspect(args[i + 1], aspect, aspectRatio)) {
            ++i;
        } else {
            if (a == "-vn")
                noVideo = true;
            else if (a == "-an")
                noAudio = true;
            else if (hasValue && IsOneOf(a, {"-c:v", "-vcodec", "-codec:v"}))
                codec = args[i + 1];
            out.push_back(a);
        }
    }

    if (!noVideo) {
        // Frame sides: the chosen ones (even, at least 2) or the source's.
        const std::string W = std::to_string(w > 1 ? w / 2 * 2 : 2);
        const std::string H = std::to_string(h > 1 ? h / 2 * 2 : 2);
        const std::string A = Number(aspect);
        if (w > 0 && aspect > 0) {
            // A fixed frame shown at A: fit the picture's own shape into it.
            video.push_back("scale=w='" + Even("min(" + W + "," + W + "*dar/" + A + ")") +
                            "':h='" + Even("min(" + H + "," + H + "*" + A + "/dar)") + "'");
            video.push_back("pad=" + W + ":" + H + ":(ow-iw)/2:(oh-ih)/2");
            video.push_back("setdar=" + aspectRatio);
        } else if (w > 0) {
            video.push_back("scale=w='" + Even("min(" + W + "," + H + "*dar)") + "':h='" +
                            Even("min(" + H + "," + W + "/dar)") + "'");
            video.push_back("setsar=1");
        } else if (aspect > 0) {
            video.push_back("scale=w='" + Even("ih*dar") + "':h='" + Even("ih") + "'");
            video.push_back("setsar=1");
            video.push_back("pad=w='" + Even("max(iw,ih*" + A + ")") + "':h='" +
                            Even("max(ih,iw/" + A + ")") + "':x=(ow-iw)/2:y=(oh-ih)/2");
        } else if (!AnySizeCodecs.count(codec)) {
            video.push_back("scale=w='max(2,2*trunc(iw/2))':h='max(2,2*trunc(ih/2))'");
        }
        if (codec == "gif")
            video.push_back(GifPalette);
        if (!video.empty()) {
            out.push_back("-vf");
            out.push_back(Join(video));
        }
    }
    if (!noAudio && !audio.empty()) {
        out.push_back("-af");
        out.push_back(Join(audio));
    }
    out.push_back(args[last]);
    return out;
}

} // namespace vxenc
