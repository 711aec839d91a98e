#include "Measure.h"

#include "Format.h"
#include "MediaInput.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

namespace vxenc {

namespace {

// Texts placed between commas must not carry commas of their own, or the
// reader would count the wrong field.
std::string Field(const char *text, const char *fallback = "none")
{
    std::string s = (text && *text) ? text : fallback;
    for (char &c : s)
        if (c == ',' || c == '\r' || c == '\n')
            c = c == ',' ? '+' : ' ';
    return s;
}

// hh:mm:ss.ff, rounded to the nearest hundredth; "N/A" when unknown.
std::string DurationText(int64_t duration)
{
    if (duration == AV_NOPTS_VALUE || duration < 0)
        return "N/A";
    if (duration <= INT64_MAX - 5000)
        duration += 5000;
    int64_t secs = duration / AV_TIME_BASE;
    int64_t hundredths = (duration % AV_TIME_BASE) * 100 / AV_TIME_BASE;
    int64_t mins = secs / 60;
    secs %= 60;
    int64_t hours = mins / 60;
    mins %= 60;
    return Format("%02" PRId64 ":%02" PRId64 ":%02" PRId64 ".%02" PRId64, hours, mins, secs,
                  hundredths);
}

std::string StartText(int64_t start)
{
    if (start == AV_NOPTS_VALUE)
        return "N/A";
    const char *sign = start < 0 ? "-" : "";
    uint64_t magnitude = start < 0 ? -static_cast<uint64_t>(start) : static_cast<uint64_t>(start);
    return Format("%s%" PRIu64 ".%06" PRIu64, sign, magnitude / AV_TIME_BASE,
                  magnitude % AV_TIME_BASE);
}

std::string RateText(double fps)
{
    if (std::fabs(fps - std::round(fps)) < 0.005)
        return Format("%.0f", fps);
    return Format("%.2f", fps);
}

// Quarter turns of the display matrix (0 to 3), as ffmpeg rotates the picture.
int QuarterTurns(const AVStream *st)
{
    size_t size = 0;
    const uint8_t *matrix = av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!matrix || size < 9 * sizeof(int32_t))
        return 0;
    const double degrees = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
    if (!std::isfinite(degrees))
        return 0;
    return static_cast<int>(std::lround(degrees / 90)) & 3;
}

std::string StreamLine(const AVStream *st)
{
    const AVCodecParameters *par = st->codecpar;
    std::string line = Format("  Stream #0:%d: ", st->index);
    std::string codec = Field(avcodec_get_name(par->codec_id), "unknown");
    switch (par->codec_type) {
    case AVMEDIA_TYPE_VIDEO: {
        const bool cover = (st->disposition & AV_DISPOSITION_ATTACHED_PIC) != 0;
        // A cover picture is no video: it must not be taken for the frame size.
        line += cover ? "Cover: " : "Video: ";
        line += codec + ", ";
        line += Field(av_get_pix_fmt_name(static_cast<AVPixelFormat>(par->format)));
        // The picture as it is shown: a phone's portrait clip is stored
        // sideways with a rotation to apply.
        const bool sideways = QuarterTurns(st) % 2 != 0;
        line += Format(", %dx%d", sideways ? par->height : par->width, sideways ? par->width : par->height);
        if (!cover) {
            AVRational rate = st->avg_frame_rate;
            if (rate.num <= 0 || rate.den <= 0)
                rate = st->r_frame_rate;
            // A field always follows the size, so that a reader taking the
            // size up to the next comma stops within this line.
            line += ", " + (rate.num > 0 && rate.den > 0 ? RateText(av_q2d(rate)) : std::string("unknown")) + " fps";
        }
        break;
    }
    case AVMEDIA_TYPE_AUDIO: {
        line += "Audio: " + codec;
        if (par->sample_rate > 0)
            line += Format(", %d Hz", par->sample_rate);
        char layout[128] = "";
        if (par->ch_layout.nb_channels > 0
            && av_channel_layout_describe(&par->ch_layout, layout, sizeof layout) > 0)
            line += ", " + Field(layout);
        const char *sampleFmt = av_get_sample_fmt_name(static_cast<AVSampleFormat>(par->format));
        if (sampleFmt)
            line += ", " + Field(sampleFmt);
        break;
    }
    case AVMEDIA_TYPE_SUBTITLE:
        line += "Subtitle: " + codec;
        break;
    case AVMEDIA_TYPE_DATA:
        line += "Data: " + codec;
        break;
    case AVMEDIA_TYPE_ATTACHMENT:
        line += "Attachment: " + codec;
        break;
    default:
        line += "Unknown: " + codec;
        break;
    }
    return line + "\n";
}

} // namespace

int Measure(const char *path)
{
    // Library messages would land between the lines the caller parses.
    av_log_set_level(AV_LOG_QUIET);

    // The library's own probe limits (5 MB, 5 s) are kept, as ffmpeg keeps
    // them: smaller ones would miss the frame size of streams with long
    // key-frame gaps, and ordinary clips end long before them anyway.
    MediaInput input;
    const MediaInput::Outcome outcome = input.Open(path);
    if (outcome != MediaInput::Outcome::Opened) {
        const char *what = outcome == MediaInput::Outcome::NotMedia ? "not a media file: " : "";
        std::fprintf(stderr, "%s: %s%s\n", path, what, input.error().c_str());
        return 1;
    }
    const int infoRc = input.FindStreamInfo();
    const AVFormatContext *ctx = input.context();

    std::string report = Format("Input #0, %s, from '", ctx->iformat ? ctx->iformat->name : "unknown");
    report += path;
    report += "':\n";
    report += "  Duration: " + DurationText(ctx->duration) + ", start: " + StartText(ctx->start_time)
        + ", bitrate: ";
    report += ctx->bit_rate > 0 ? Format("%" PRId64 " kb/s", ctx->bit_rate / 1000) : "N/A";
    report += "\n";
    for (unsigned i = 0; i < ctx->nb_streams; ++i)
        report += StreamLine(ctx->streams[i]);
    std::fwrite(report.data(), 1, report.size(), stdout);
    std::fflush(stdout);
    if (infoRc < 0)
        std::fprintf(stderr, "%s: could not find all stream parameters: %s\n", path, input.error().c_str());
    return 0;
}

} // namespace vxenc
