#include "Plan.h"

#include "Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

namespace vxenc {

namespace {

// ---- What the output formats and codecs can hold -------------------------

enum class SubtitleHome { None, Mov, Matroska, WebM, Dvd };

struct Container {
    const char *ext;
    const char *name;       // as the notes name it
    SubtitleHome subtitles;
    int audioTracks;        // how many it holds: -1 for any number
    bool audioOnly;         // holds no picture
    bool frameTimes;        // keeps each frame's own time
    const char *audioCodec; // ffmpeg's default audio encoder for it
};

const Container Containers[] = {
    {"mp4", "MP4", SubtitleHome::Mov, -1, false, true, "aac"},
    {"m4v", "M4V", SubtitleHome::Mov, -1, false, true, "aac"},
    {"mov", "MOV", SubtitleHome::Mov, -1, false, true, "aac"},
    {"3gp", "3GP", SubtitleHome::Mov, -1, false, false, "aac"},
    {"3g2", "3G2", SubtitleHome::Mov, -1, false, false, "aac"},
    {"mkv", "MKV", SubtitleHome::Matroska, -1, false, true, "libvorbis"},
    {"webm", "WebM", SubtitleHome::WebM, -1, false, true, "libopus"},
    {"avi", "AVI", SubtitleHome::None, -1, false, false, "libmp3lame"},
    {"asf", "ASF", SubtitleHome::None, -1, false, false, "wmav2"},
    {"wmv", "WMV", SubtitleHome::None, -1, false, false, "wmav2"},
    {"flv", "FLV", SubtitleHome::None, 1, false, false, "libmp3lame"},
    {"mpg", "MPEG", SubtitleHome::None, -1, false, false, "mp2"},
    {"mpeg", "MPEG", SubtitleHome::None, -1, false, false, "mp2"},
    {"vob", "VOB", SubtitleHome::Dvd, -1, false, false, "mp2"},
    {"gif", "GIF", SubtitleHome::None, 0, false, false, ""},
    {"m4a", "M4A", SubtitleHome::None, 1, true, false, "aac"},
    {"mp3", "MP3", SubtitleHome::None, 1, true, false, "libmp3lame"},
    {"flac", "FLAC", SubtitleHome::None, 1, true, false, "flac"},
    {"wav", "WAV", SubtitleHome::None, 1, true, false, "pcm_s16le"},
    {"opus", "Opus", SubtitleHome::None, 1, true, false, "libopus"},
    {"ogg", "Ogg", SubtitleHome::None, 1, true, false, "libvorbis"},
    {"wma", "WMA", SubtitleHome::None, 1, true, false, "wmav2"},
};

const Container *ContainerOf(const std::string &outputPath)
{
    const size_t slash = outputPath.find_last_of('/');
    const size_t dot = outputPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return nullptr;
    std::string ext = outputPath.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const Container &c : Containers)
        if (ext == c.ext)
            return &c;
    return nullptr;
}

struct AudioCodec {
    const char *encoder;
    const char *name;
    int maxChannels;
    std::vector<int> rates; // the rates it takes; empty: any up to maxRate
    int maxRate;
    bool vorbisLayouts; // takes only the layouts of Vorbis' channel order
};

const std::vector<int> AacRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                   22050, 16000, 12000, 11025, 8000,  7350};
const std::vector<int> Mp3Rates = {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000};

const AudioCodec AudioCodecs[] = {
    {"aac", "AAC", 8, AacRates, 0, false},
    {"libfdk_aac", "AAC", 8, AacRates, 0, false},
    {"libmp3lame", "MP3", 2, Mp3Rates, 0, false},
    {"mp2", "MP2", 2, {48000, 44100, 32000, 24000, 22050, 16000}, 0, false},
    {"mp2fixed", "MP2", 2, {48000, 44100, 32000, 24000, 22050, 16000}, 0, false},
    {"ac3", "AC-3", 6, {48000, 44100, 32000}, 0, false},
    {"eac3", "E-AC-3", 6, {48000, 44100, 32000}, 0, false},
    {"libopus", "Opus", 8, {48000, 24000, 16000, 12000, 8000}, 0, true},
    {"libvorbis", "Vorbis", 8, {}, 0, false},
    {"flac", "FLAC", 8, {}, 655350, false},
    {"wmav1", "WMA", 2, {}, 48000, false},
    {"wmav2", "WMA", 2, {}, 48000, false},
};

const AudioCodec *AudioCodecOf(const std::string &encoder)
{
    for (const AudioCodec &c : AudioCodecs)
        if (encoder == c.encoder)
            return &c;
    return nullptr;
}

// A layout for a channel count, in the order every encoder here takes.
const char *DefaultLayout(int channels)
{
    static const char *const layouts[] = {"mono", "stereo", "3.0", "quad", "5.0", "5.1", "6.1", "7.1"};
    return channels >= 1 && channels <= 8 ? layouts[channels - 1] : nullptr;
}

// Encoders that write 10-bit pictures and get the source's depth when the
// profile names no pixel format.
const std::set<std::string> DepthFollowingEncoders = {"libx265", "libsvtav1", "libvpx-vp9", "libaom-av1",
                                                      "librav1e"};
// Encoders that choose a deeper format themselves for a deeper source.
const std::set<std::string> DeepEncoders = {"libx264", "ffv1", "prores", "prores_ks", "prores_aw", "dnxhd",
                                            "libx265", "libsvtav1", "libvpx-vp9", "libaom-av1", "librav1e"};

// Text subtitle codecs Matroska holds as they are; bitmap ones likewise.
const std::set<std::string> MatroskaText = {"subrip", "ass", "ssa", "webvtt", "text"};
const std::set<std::string> MatroskaBitmap = {"dvd_subtitle", "hdmv_pgs_subtitle", "dvb_subtitle"};

// ---- The given options ----------------------------------------------------

// Options that take no value; every other one takes the next argument.
const std::set<std::string> Flags = {"-vn", "-an", "-sn", "-dn", "-y", "-n", "-shortest", "-copyts",
                                     "-start_at_zero", "-stats", "-nostats", "-hide_banner", "-nostdin",
                                     "-re", "-accurate_seek", "-noaccurate_seek", "-autorotate",
                                     "-noautorotate", "-autoscale", "-noautoscale", "-ignore_unknown",
                                     "-copy_unknown", "-benchmark", "-benchmark_all", "-xerror"};

struct Option {
    std::string name;
    std::string value;
    bool hasValue = false;
    std::string base() const { return name.substr(0, name.find(':')); }
};

std::vector<Option> Parse(const std::vector<std::string> &args)
{
    std::vector<Option> options;
    for (size_t i = 0; i < args.size(); ++i) {
        Option o;
        o.name = args[i];
        if (o.name.size() > 1 && o.name[0] == '-' && !Flags.count(o.name) && i + 1 < args.size()) {
            o.value = args[++i];
            o.hasValue = true;
        }
        options.push_back(o);
    }
    return options;
}

class Given {
public:
    explicit Given(const std::vector<Option> &options) : m_options(options) {}
    bool Has(const std::string &flag) const
    {
        for (const Option &o : m_options)
            if (o.name == flag)
                return true;
        return false;
    }
    // Any option of that base name, whatever its stream specifier.
    bool HasBase(std::initializer_list<const char *> bases) const
    {
        for (const Option &o : m_options)
            for (const char *b : bases)
                if (o.hasValue && o.base() == b)
                    return true;
        return false;
    }
    // The value of the last of these exact names, "" without one.
    std::string Last(std::initializer_list<const char *> names) const
    {
        std::string value;
        for (const Option &o : m_options)
            for (const char *n : names)
                if (o.hasValue && o.name == n)
                    value = o.value;
        return value;
    }
    std::vector<std::string> Values(const std::string &name) const
    {
        std::vector<std::string> values;
        for (const Option &o : m_options)
            if (o.hasValue && o.name == name)
                values.push_back(o.value);
        return values;
    }

private:
    const std::vector<Option> &m_options;
};

bool IsSubtitleCodecOption(const Option &o)
{
    return o.hasValue && (o.name == "-c:s" || o.name == "-codec:s" || o.name == "-scodec");
}

std::string FirstWord(const std::string &s) { return s.substr(0, s.find(' ')); }

// ---- Streams the maps name -------------------------------------------------

bool KindMatches(char type, const StreamFacts &s)
{
    switch (type) {
    case 'v': return s.kind == StreamKind::Video;
    case 'V': return s.kind == StreamKind::Video && !s.cover;
    case 'a': return s.kind == StreamKind::Audio;
    case 's': return s.kind == StreamKind::Subtitle;
    case 'd': return s.kind == StreamKind::Data;
    case 't': return s.kind == StreamKind::Attachment;
    default: return false;
    }
}

bool AllDigits(const std::string &s)
{
    return !s.empty() && s.size() < 6 && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

// The source streams one map names ("0", "0:a", "0:V:0?", "0:3"), in
// stream order; false for a form not understood here.
bool MapStreams(std::string specifier, const SourceFacts &src, std::vector<int> &streams)
{
    if (!specifier.empty() && specifier.back() == '?')
        specifier.pop_back();
    if (specifier.empty() || specifier[0] != '0'
        || (specifier.size() > 1 && (specifier[1] != ':' || specifier.size() == 2)))
        return false;
    const std::string rest = specifier.size() > 2 ? specifier.substr(2) : "";
    char type = 0;
    int nth = -1, index = -1;
    if (AllDigits(rest)) {
        index = std::atoi(rest.c_str());
    } else if (!rest.empty()) {
        type = rest[0];
        if (std::string("vVasdt").find(type) == std::string::npos)
            return false;
        if (rest.size() > 1) {
            if (rest[1] != ':' || !AllDigits(rest.substr(2)))
                return false;
            nth = std::atoi(rest.c_str() + 2);
        }
    }
    int ordinal = 0;
    for (const StreamFacts &s : src.streams) {
        bool match = true;
        if (index >= 0)
            match = s.index == index;
        else if (type)
            match = KindMatches(type, s) && (nth < 0 || ordinal++ == nth);
        if (match)
            streams.push_back(s.index);
    }
    return true;
}

const StreamFacts *StreamAt(const SourceFacts &src, int index)
{
    for (const StreamFacts &s : src.streams)
        if (s.index == index)
            return &s;
    return nullptr;
}

// 1-based position of a stream among the source's streams of its kind.
int Ordinal(const SourceFacts &src, const StreamFacts &stream)
{
    int n = 0;
    for (const StreamFacts &s : src.streams)
        if (s.kind == stream.kind && s.index <= stream.index)
            ++n;
    return n;
}

// ---- Texts ----------------------------------------------------------------

std::string Tracks(int n, const char *kind)
{
    return Format("%d %s %s %s", n, kind, n == 1 ? "track" : "tracks", n == 1 ? "was" : "were");
}

const char *HdrName(HdrTransfer t) { return t == HdrTransfer::Pq ? "PQ" : "HLG"; }

// ---- The planner ------------------------------------------------------------

class Planner {
public:
    Planner(const SourceFacts &src, const std::vector<std::string> &args, const std::string &outputPath, int threads)
        : m_src(src), m_options(Parse(args)), m_given(m_options), m_container(ContainerOf(outputPath)),
          m_threads(threads)
    {
    }

    ConversionPlan Make();

private:
    bool ChooseStreams();
    void PlanSubtitles();
    void WriteMaps();
    void PlanAudio();
    void PlanVideo();
    void PlanThreads();
    std::string SubtitleChoice(const StreamFacts &s, std::string &dropReason) const;
    bool Suits(const std::string &codec, const StreamFacts &s, const std::string &choice) const;
    void AddParam(const char *option, const std::string &param);
    void Drop(int index);

    const SourceFacts &m_src;
    std::vector<Option> m_options;
    Given m_given;
    const Container *m_container;
    int m_threads;

    bool m_explicitMaps = false;
    std::vector<int> m_outputs;            // source streams in output order
    std::vector<std::string> m_front;      // before the profile's options
    std::vector<std::string> m_back;       // after them
    std::vector<std::string> m_notes;
    std::map<std::string, std::string> m_params; // -x265-params / -svtav1-params additions
};

ConversionPlan Planner::Make()
{
    const bool tracks = ChooseStreams();
    if (tracks) {
        PlanSubtitles();
        PlanAudio();
        WriteMaps();
    }
    PlanVideo();
    PlanThreads();
    if (!m_given.HasBase({"-map_metadata"})) {
        // The recording date is left out of ffmpeg's default copy.
        m_back.insert(m_back.end(), {"-map_metadata", "0"});
    }

    // Additions to an encoder's parameter list join the last one given.
    for (auto it = m_options.rbegin(); it != m_options.rend(); ++it) {
        auto param = m_params.find(it->name);
        if (param != m_params.end() && it->hasValue) {
            it->value += (it->value.empty() ? "" : ":") + param->second;
            m_params.erase(param);
        }
    }
    ConversionPlan plan;
    plan.options = m_front;
    for (const Option &o : m_options) {
        if (tracks && IsSubtitleCodecOption(o))
            continue; // each subtitle track got its own codec
        plan.options.push_back(o.name);
        if (o.hasValue)
            plan.options.push_back(o.value);
    }
    for (const auto &param : m_params)
        plan.options.insert(plan.options.end(), {param.first, param.second});
    plan.options.insert(plan.options.end(), m_back.begin(), m_back.end());
    plan.notes = m_notes;
    return plan;
}

// Which source streams go out, in order: the profile's maps as ffmpeg reads
// them, or without maps the picture, every audio track (the first where the
// format holds one) and the subtitles. False when the maps cannot be
// followed here or the container is unknown: ffmpeg then decides alone.
bool Planner::ChooseStreams()
{
    if (!m_container)
        return false;
    const bool noVideo = m_given.Has("-vn") || m_container->audioOnly;
    const bool noAudio = m_given.Has("-an");
    const std::vector<std::string> maps = m_given.Values("-map");
    m_explicitMaps = !maps.empty();
    if (m_explicitMaps) {
        for (const std::string &map : maps) {
            const bool negative = map[0] == '-';
            std::vector<int> named;
            if (!MapStreams(negative ? map.substr(1) : map, m_src, named))
                return false;
            if (!negative) {
                m_outputs.insert(m_outputs.end(), named.begin(), named.end());
                continue;
            }
            m_outputs.erase(std::remove_if(m_outputs.begin(), m_outputs.end(),
                                           [&](int i) { return std::count(named.begin(), named.end(), i) > 0; }),
                            m_outputs.end());
        }
    } else {
        for (const StreamFacts &s : m_src.streams)
            if (s.kind == StreamKind::Video && !s.cover) {
                m_outputs.push_back(s.index);
                break;
            }
        for (const StreamFacts &s : m_src.streams)
            if (s.kind == StreamKind::Audio || s.kind == StreamKind::Subtitle)
                m_outputs.push_back(s.index);
    }
    // What the switches turn off is never written, mapped or not.
    m_outputs.erase(std::remove_if(m_outputs.begin(), m_outputs.end(),
                                   [&](int i) {
                                       const StreamFacts *s = StreamAt(m_src, i);
                                       return !s || (s->kind == StreamKind::Video && noVideo) ||
                                              (s->kind == StreamKind::Audio && noAudio) ||
                                              (s->kind == StreamKind::Subtitle && m_given.Has("-sn"));
                                   }),
                    m_outputs.end());

    // A format that holds one audio track keeps the first; GIF has no sound.
    int audio = 0;
    std::vector<int> extra;
    for (int i : m_outputs)
        if (StreamAt(m_src, i)->kind == StreamKind::Audio && m_container->audioTracks >= 0 &&
            audio++ >= m_container->audioTracks)
            extra.push_back(i);
    for (int i : extra)
        Drop(i);
    if (!extra.empty() && m_container->audioTracks > 0)
        m_notes.push_back(Tracks(int(extra.size()), "audio") + " not kept: " + m_container->name +
                          " holds one audio track.");

    if (!m_explicitMaps) {
        // An audio-only output leaves subtitles out without a word.
        const bool picture = std::any_of(m_outputs.begin(), m_outputs.end(), [&](int i) {
            return StreamAt(m_src, i)->kind == StreamKind::Video;
        });
        if (!picture)
            m_outputs.erase(std::remove_if(m_outputs.begin(), m_outputs.end(),
                                           [&](int i) { return StreamAt(m_src, i)->kind == StreamKind::Subtitle; }),
                            m_outputs.end());
    }
    return true;
}

// Takes a stream out of the output.
void Planner::Drop(int index)
{
    m_outputs.erase(std::remove(m_outputs.begin(), m_outputs.end(), index), m_outputs.end());
    if (m_explicitMaps)
        m_back.insert(m_back.end(), {"-map", "-0:" + std::to_string(index)});
}

// The codec a subtitle track gets in this container: "copy", an encoder,
// or "" when the container cannot hold it (dropReason says why).
std::string Planner::SubtitleChoice(const StreamFacts &s, std::string &dropReason) const
{
    const std::string name = m_container->name;
    switch (m_container->subtitles) {
    case SubtitleHome::Mov:
        if (s.textSubtitle)
            return s.codec == "mov_text" ? "copy" : "mov_text";
        break;
    case SubtitleHome::Matroska:
        if (s.textSubtitle)
            return MatroskaText.count(s.codec) ? "copy" : "srt";
        if (MatroskaBitmap.count(s.codec))
            return "copy";
        dropReason = name + " cannot hold " + s.codec + " subtitles.";
        return "";
    case SubtitleHome::WebM:
        if (s.textSubtitle)
            return s.codec == "webvtt" ? "copy" : "webvtt";
        break;
    case SubtitleHome::Dvd:
        if (s.codec == "dvd_subtitle")
            return "copy";
        break;
    case SubtitleHome::None:
        dropReason = name + " cannot hold subtitles.";
        return "";
    }
    dropReason = name + " cannot hold " + (s.bitmapSubtitle ? "bitmap" : s.textSubtitle ? "text" : s.codec) +
                 " subtitles.";
    return "";
}

// Whether the profile's subtitle codec can write this track here.
bool Planner::Suits(const std::string &codec, const StreamFacts &s, const std::string &choice) const
{
    static const std::set<std::string> textEncoders = {"mov_text", "srt", "subrip", "ass", "ssa", "webvtt", "text"};
    static const std::set<std::string> bitmapEncoders = {"dvdsub", "dvbsub"};
    if (codec == "copy")
        return choice == "copy";
    if (textEncoders.count(codec)) {
        if (!s.textSubtitle)
            return false;
        switch (m_container->subtitles) {
        case SubtitleHome::Mov: return codec == "mov_text";
        case SubtitleHome::Matroska: return codec != "mov_text";
        case SubtitleHome::WebM: return codec == "webvtt";
        default: return false;
        }
    }
    if (bitmapEncoders.count(codec))
        return s.bitmapSubtitle && (m_container->subtitles == SubtitleHome::Matroska ||
                                    (m_container->subtitles == SubtitleHome::Dvd && codec == "dvdsub"));
    return true; // an encoder not known here is the user's own choice
}

void Planner::PlanSubtitles()
{
    const std::string asked = m_given.Last({"-c:s", "-codec:s", "-scodec"});
    std::vector<std::string> reasons; // in the order first met
    std::map<std::string, int> dropped;
    std::vector<std::pair<int, std::string>> codecs; // output subtitle track, codec
    const std::vector<int> outputs = m_outputs;
    for (int i : outputs) {
        const StreamFacts &s = *StreamAt(m_src, i);
        if (s.kind == StreamKind::Subtitle) {
            std::string reason;
            const std::string choice = SubtitleChoice(s, reason);
            std::string codec = choice;
            if (!asked.empty() && Suits(asked, s, choice)) {
                codec = asked;
            } else if (!asked.empty() && !choice.empty()) {
                m_notes.push_back(Format("subtitle track %d (%s): %s cannot take \"-c:s %s\"; it is %s.", Ordinal(m_src, s),
                                      s.codec.c_str(), m_container->name, asked.c_str(),
                                      choice == "copy" ? "copied" : ("converted to " + choice).c_str()));
            }
            if (codec.empty()) {
                if (!dropped[reason]++)
                    reasons.push_back(reason);
                Drop(i);
                continue;
            }
            codecs.emplace_back(int(codecs.size()), codec);
        }
    }
    for (const auto &c : codecs)
        m_back.insert(m_back.end(), {"-c:s:" + std::to_string(c.first), c.second});
    for (const std::string &reason : reasons)
        m_notes.push_back(Tracks(dropped[reason], "subtitle") + " not kept: " + reason);
}

// Without maps of the profile's own, the chosen streams are named one by one.
void Planner::WriteMaps()
{
    if (m_explicitMaps)
        return;
    bool subtitles = false;
    for (int i : m_outputs) {
        m_front.insert(m_front.end(), {"-map", "0:" + std::to_string(i)});
        subtitles = subtitles || StreamAt(m_src, i)->kind == StreamKind::Subtitle;
    }
    // Fonts go with the subtitles that use them.
    if (subtitles && m_container->subtitles == SubtitleHome::Matroska)
        for (const StreamFacts &s : m_src.streams)
            if (s.kind == StreamKind::Attachment)
                m_front.insert(m_front.end(), {"-map", "0:" + std::to_string(s.index)});
}

int NearestRate(const AudioCodec &codec, int rate)
{
    if (codec.rates.empty())
        return codec.maxRate > 0 && rate > codec.maxRate ? codec.maxRate : rate;
    int best = codec.rates.front();
    for (int r : codec.rates)
        if (std::abs(r - rate) < std::abs(best - rate) || (std::abs(r - rate) == std::abs(best - rate) && r > best))
            best = r;
    return best;
}

void Planner::PlanAudio()
{
    std::string encoder = FirstWord(m_given.Last({"-c:a", "-codec:a", "-acodec"}));
    if (encoder.empty())
        encoder = m_container->audioCodec;
    const AudioCodec *codec = AudioCodecOf(encoder);
    if (!codec)
        return; // a copy, or an encoder whose limits are not known here
    const bool rateGiven = m_given.HasBase({"-ar"});
    const bool channelsGiven = m_given.HasBase({"-ac", "-ch_layout", "-channel_layout"});
    int k = 0;
    for (int i : m_outputs) {
        const StreamFacts &s = *StreamAt(m_src, i);
        if (s.kind != StreamKind::Audio)
            continue;
        const std::string stream = ":a:" + std::to_string(k++);
        const int track = Ordinal(m_src, s);
        if (!rateGiven && s.sampleRate > 0) {
            const int rate = NearestRate(*codec, s.sampleRate);
            if (rate != s.sampleRate) {
                m_back.insert(m_back.end(), {"-ar" + stream, std::to_string(rate)});
                m_notes.push_back(Format("audio track %d: %s cannot hold %d Hz; %d Hz is used.", track, codec->name,
                                      s.sampleRate, rate));
            }
        }
        if (channelsGiven || s.channels <= 0)
            continue;
        if (s.channels > codec->maxChannels) {
            m_back.insert(m_back.end(), {"-ac" + stream, std::to_string(codec->maxChannels)});
            m_notes.push_back(Format("audio track %d: %s holds at most %d channels; the %d channels are mixed down to %d.",
                                  track, codec->name, codec->maxChannels, s.channels, codec->maxChannels));
            continue;
        }
        // Up to two channels ffmpeg names the layout itself.
        const char *layout = DefaultLayout(s.channels);
        if (!layout || s.channels <= 2)
            continue;
        if (s.noLayout) {
            m_back.insert(m_back.end(), {"-ch_layout" + stream, layout});
            m_notes.push_back(Format("audio track %d: its %d channels have no layout; they are taken as %s.", track,
                                  s.channels, layout));
        } else if (codec->vorbisLayouts && s.layout != layout) {
            // Opus takes the channels in Vorbis' order only: 5.1(side) becomes 5.1.
            m_back.insert(m_back.end(), {"-ch_layout" + stream, layout});
        }
    }
}

int PixFmtDepth(const std::string &name)
{
    for (int depth : {16, 14, 12, 10, 9})
        if (name.find(std::to_string(depth)) != std::string::npos)
            return depth;
    return 8;
}

std::string Scaled(double v, double scale) { return std::to_string(std::lround(v * scale)); }

// x265's form: chromaticities in 0.00002, luminances in 0.0001 cd/m².
std::string X265MasterDisplay(const MasteringDisplay &m)
{
    auto xy = [](const double *c) { return "(" + Scaled(c[0], 50000) + "," + Scaled(c[1], 50000) + ")"; };
    return "G" + xy(m.green) + "B" + xy(m.blue) + "R" + xy(m.red) + "WP" + xy(m.white) + "L(" +
           Scaled(m.maxLuminance, 10000) + "," + Scaled(m.minLuminance, 10000) + ")";
}

// SVT-AV1's form: plain numbers.
std::string SvtMasterDisplay(const MasteringDisplay &m)
{
    auto xy = [](const double *c) { return Format("(%.4f,%.4f)", c[0], c[1]); };
    return "G" + xy(m.green) + "B" + xy(m.blue) + "R" + xy(m.red) + "WP" + xy(m.white) +
           Format("L(%.4f,%.4f)", m.maxLuminance, m.minLuminance);
}

// PQ or HLG down to BT.709 in 8 bits, through linear light.
std::string ToneMapChain(const StreamFacts &s)
{
    const std::string matrix = s.matrix == "bt709" || s.matrix == "bt2020c" ? s.matrix : "bt2020nc";
    const std::string primaries = s.primaries == "bt709" ? s.primaries : "bt2020";
    return std::string("zscale=tin=") + (s.hdr == HdrTransfer::Pq ? "smpte2084" : "arib-std-b67") +
           ":min=" + matrix + ":pin=" + primaries + ":rin=" + (s.fullRange ? "pc" : "tv") +
           ":t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=tonemap=hable:desat=0,"
           "zscale=t=bt709:m=bt709:r=tv,format=yuv420p";
}

void Planner::PlanVideo()
{
    const std::string encoder = FirstWord(m_given.Last({"-c:v", "-codec:v", "-vcodec"}));
    if (encoder.empty() || encoder == "copy" || m_given.Has("-vn") || m_given.HasBase({"-filter_complex"}))
        return;
    const StreamFacts *video = nullptr;
    if (m_container) {
        for (int i : m_outputs)
            if (StreamAt(m_src, i)->kind == StreamKind::Video) {
                video = StreamAt(m_src, i);
                break;
            }
    } else {
        for (const StreamFacts &s : m_src.streams)
            if (s.kind == StreamKind::Video && !s.cover && !video)
                video = &s;
    }
    if (!video)
        return;

    // The picture's depth: the profile's pixel format, or the source's.
    std::string pixFmt = m_given.Last({"-pix_fmt"});
    if (pixFmt.empty() && DepthFollowingEncoders.count(encoder)) {
        pixFmt = video->bitDepth > 8 ? "yuv420p10le" : "yuv420p";
        m_back.insert(m_back.end(), {"-pix_fmt", pixFmt});
    }
    const int depth = !pixFmt.empty() ? PixFmtDepth(pixFmt) : DeepEncoders.count(encoder) ? video->bitDepth : 8;
    if (video->hdr != HdrTransfer::None && depth <= 8) {
        m_back.insert(m_back.end(), {"-vf", ToneMapChain(*video)});
        for (const char *tag : {"-color_primaries", "-color_trc", "-colorspace"})
            if (!m_given.HasBase({tag}))
                m_back.insert(m_back.end(), {tag, "bt709"});
        m_notes.push_back(Format("the HDR (%s) picture is tone-mapped to SDR (BT.709): this format is written with 8 bits.",
                              HdrName(video->hdr)));
    } else if (depth > 8 && video->bitDepth > 8 && DepthFollowingEncoders.count(encoder) &&
               m_given.Last({"-pix_fmt"}).empty()) {
        m_notes.push_back(Format("the picture keeps %d bits per sample (%s)%s.", std::min(depth, video->bitDepth),
                              pixFmt.c_str(),
                              video->hdr == HdrTransfer::None ? ""
                              : video->hdr == HdrTransfer::Pq ? " and its HDR (PQ) colour"
                                                              : " and its HDR (HLG) colour"));
    }
    // ffmpeg re-encodes without the mastering and light-level data: hand
    // them to the encoders that write them.
    if (depth > 8 && video->hdr == HdrTransfer::Pq) {
        if (encoder == "libx265") {
            if (video->mastering.present)
                AddParam("-x265-params", "master-display=" + X265MasterDisplay(video->mastering));
            if (video->lightLevel.present)
                AddParam("-x265-params", Format("max-cll=%u,%u", video->lightLevel.maxCll, video->lightLevel.maxFall));
        } else if (encoder == "libsvtav1") {
            if (video->mastering.present)
                AddParam("-svtav1-params", "mastering-display=" + SvtMasterDisplay(video->mastering));
            if (video->lightLevel.present)
                AddParam("-svtav1-params",
                         Format("content-light=%u,%u", video->lightLevel.maxCll, video->lightLevel.maxFall));
        }
    }

    if (video->interlaced)
        for (const Option &o : m_options)
            if ((o.name == "-vf" || o.name == "-filter:v") && o.value.find("deint=interlaced") != std::string::npos) {
                m_notes.push_back("the source is interlaced; Deinterlace \"Auto\" deinterlaces it.");
                break;
            }

    // Each frame keeps its own time, not one snapped to a guessed rate.
    if (m_container && m_container->frameTimes && !m_given.HasBase({"-r", "-fps_mode", "-vsync"}))
        m_back.insert(m_back.end(), {"-fps_mode", "passthrough", "-enc_time_base", "-1"});
}

// The share of the processors the run gave this encoder, in its own switch.
void Planner::PlanThreads()
{
    if (m_threads <= 0)
        return;
    const std::string encoder = FirstWord(m_given.Last({"-c:v", "-codec:v", "-vcodec"}));
    const std::string n = std::to_string(m_threads);
    if (encoder == "libx265")
        AddParam("-x265-params", "pools=" + n);
    else if (encoder == "libsvtav1")
        AddParam("-svtav1-params", "lp=" + n);
    else if (!m_given.HasBase({"-threads"}))
        m_front.insert(m_front.end(), {"-threads", n});
}

// Adds key=value to an encoder's parameter list unless the profile's list
// already sets that key.
void Planner::AddParam(const char *option, const std::string &param)
{
    const std::string key = param.substr(0, param.find('=') + 1);
    for (const std::string &given : m_given.Values(option))
        if (given.compare(0, key.size(), key) == 0 || given.find(":" + key) != std::string::npos)
            return;
    std::string &list = m_params[option];
    list += (list.empty() ? "" : ":") + param;
}

} // namespace

ConversionPlan PlanConversion(const SourceFacts &source, const std::vector<std::string> &options,
                              const std::string &outputPath, int threads)
{
    return Planner(source, options, outputPath, threads).Make();
}

} // namespace vxenc
