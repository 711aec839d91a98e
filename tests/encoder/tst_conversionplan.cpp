// The encoder's per-file decisions, from described sources: which tracks
// go out and in which codec, audio the codec can carry, the picture's depth
// and HDR colour, frame times, metadata and the processor share, and the
// notes that tell the user. Real media are converted in tst_vxenc and
// tst_shipped_profiles.
#include "Plan.h"

#include <QtTest>

using namespace vxenc;

namespace {

StreamFacts Video(int index, int depth = 8, HdrTransfer hdr = HdrTransfer::None)
{
    StreamFacts s;
    s.index = index;
    s.kind = StreamKind::Video;
    s.codec = "h264";
    s.bitDepth = depth;
    s.hdr = hdr;
    return s;
}

StreamFacts Audio(int index, int channels, int rate, const std::string &layout = "")
{
    StreamFacts s;
    s.index = index;
    s.kind = StreamKind::Audio;
    s.codec = "aac";
    s.channels = channels;
    s.sampleRate = rate;
    s.layout = layout;
    return s;
}

StreamFacts Subtitle(int index, const std::string &codec, bool text)
{
    StreamFacts s;
    s.index = index;
    s.kind = StreamKind::Subtitle;
    s.codec = codec;
    s.textSubtitle = text;
    s.bitmapSubtitle = !text;
    return s;
}

SourceFacts Source(std::initializer_list<StreamFacts> streams)
{
    SourceFacts src;
    src.demuxer = "mov";
    src.streams = streams;
    return src;
}

std::vector<std::string> Args(const QString &text)
{
    std::vector<std::string> args;
    for (const QString &a : text.split(' ', Qt::SkipEmptyParts))
        args.push_back(a.toStdString());
    return args;
}

QString Joined(const std::vector<std::string> &items, const char *sep = " ")
{
    QStringList list;
    for (const std::string &s : items)
        list << QString::fromStdString(s);
    return list.join(sep);
}

// Whether the options hold these arguments one after the other.
bool Holds(const ConversionPlan &plan, const QString &run)
{
    return (" " + Joined(plan.options) + " ").contains(" " + run + " ");
}

const char *const Tracks = "-map 0:V:0? -map 0:a? -map 0:s?";

} // namespace

class TestConversionPlan : public QObject {
    Q_OBJECT

private slots:
    void tracksWithoutMaps();
    void tracksOfTheProfilesMaps();
    void subtitleCodecsOfOldProfiles();
    void audioTheCodecCanCarry();
    void depthAndHdr();
    void frameTimesMetadataAndThreads();
};

void TestConversionPlan::tracksWithoutMaps()
{
    const SourceFacts film = Source({Video(0), Audio(1, 2, 48000, "stereo"), Audio(2, 6, 48000, "5.1"),
                                     Subtitle(3, "subrip", true), Subtitle(4, "hdmv_pgs_subtitle", false)});
    ConversionPlan p = PlanConversion(film, Args("-c:v libx264 -c:a aac"), "/o/film.mp4", 0);
    QVERIFY2(Joined(p.options).startsWith("-map 0:0 -map 0:1 -map 0:2 -map 0:3 -c:v"), qPrintable(Joined(p.options)));
    QVERIFY(Holds(p, "-c:s:0 mov_text"));
    QCOMPARE(Joined(p.notes, "|"), QString("1 subtitle track was not kept: MP4 cannot hold bitmap subtitles."));

    // Matroska holds both as they are, with the fonts of the subtitles.
    SourceFacts withFont = film;
    StreamFacts font;
    font.index = 5;
    font.kind = StreamKind::Attachment;
    withFont.streams.push_back(font);
    p = PlanConversion(withFont, Args("-c:v libx264"), "/o/film.mkv", 0);
    QVERIFY2(Joined(p.options).startsWith("-map 0:0 -map 0:1 -map 0:2 -map 0:3 -map 0:4 -map 0:5 "),
             qPrintable(Joined(p.options)));
    QVERIFY(Holds(p, "-c:s:0 copy -c:s:1 copy"));
    QVERIFY(p.notes.empty());

    // One audio track in FLV, no subtitles in AVI, none asked for in an audio file.
    p = PlanConversion(film, Args("-c:v flv"), "/o/film.flv", 0);
    QVERIFY(Joined(p.options).startsWith("-map 0:0 -map 0:1 -c:v"));
    QCOMPARE(Joined(p.notes, "|"), QString("1 audio track was not kept: FLV holds one audio track.|"
                                           "2 subtitle tracks were not kept: FLV cannot hold subtitles."));
    p = PlanConversion(film, Args("-c:v gif"), "/o/film.gif", 0);
    QVERIFY(Joined(p.options).startsWith("-map 0:0 -c:v"));
    QCOMPARE(Joined(p.notes, "|"), QString("2 subtitle tracks were not kept: GIF cannot hold subtitles."));
    p = PlanConversion(film, Args("-vn -c:a aac"), "/o/film.m4a", 0);
    QVERIFY(Joined(p.options).startsWith("-map 0:1 -vn"));
    QCOMPARE(Joined(p.notes, "|"), QString("1 audio track was not kept: M4A holds one audio track."));
    // An output type not known here is left to ffmpeg.
    p = PlanConversion(film, Args("-c:v libx264"), "/o/film.xyz", 0);
    QVERIFY(!Joined(p.options).contains("-map 0:"));
}

void TestConversionPlan::tracksOfTheProfilesMaps()
{
    const SourceFacts src = Source({Video(0), Subtitle(1, "dvd_subtitle", false), Audio(2, 2, 44100, "stereo"),
                                    Subtitle(3, "ass", true), Subtitle(4, "dvb_subtitle", false)});
    ConversionPlan p = PlanConversion(src, Args(QString("-c:v libx264 %1").arg(Tracks)), "/o/a.mp4", 0);
    // The maps stay as given; what MP4 cannot hold is taken out again.
    QVERIFY(Holds(p, Tracks));
    QVERIFY(Holds(p, "-map -0:1"));
    QVERIFY(Holds(p, "-map -0:4"));
    QVERIFY(Holds(p, "-c:s:0 mov_text"));
    QVERIFY(!Holds(p, "-c:s:1"));
    QCOMPARE(Joined(p.notes, "|"), QString("2 subtitle tracks were not kept: MP4 cannot hold bitmap subtitles."));

    p = PlanConversion(src, Args(QString("-c:v libvpx-vp9 %1").arg(Tracks)), "/o/a.webm", 0);
    QVERIFY(Holds(p, "-c:s:0 webvtt"));
    // A map negated later, -sn, and a single track by number.
    p = PlanConversion(src, Args("-map 0 -map -0:s:0 -sn -c:v libx264"), "/o/a.mkv", 0);
    QVERIFY(!Joined(p.options).contains("-c:s:"));
    p = PlanConversion(src, Args("-map 0:0 -map 0:4 -c:v libx264"), "/o/a.mkv", 0);
    QVERIFY(Holds(p, "-c:s:0 copy"));
    // A map form not followed here leaves the tracks to ffmpeg.
    p = PlanConversion(src, Args("-map 0:m:language:ger -c:s copy -c:v libx264"), "/o/a.mp4", 0);
    QVERIFY(Holds(p, "-c:s copy"));
    QVERIFY(p.notes.empty());
}

void TestConversionPlan::subtitleCodecsOfOldProfiles()
{
    const SourceFacts phone = Source({Video(0), Audio(1, 2, 48000, "stereo"), Subtitle(2, "mov_text", true),
                                      Subtitle(3, "hdmv_pgs_subtitle", false)});
    // MKV's former "-c:s copy" cannot put mov_text into Matroska.
    ConversionPlan p = PlanConversion(phone, Args(QString("-c:v libx264 %1 -c:s copy").arg(Tracks)), "/o/p.mkv", 0);
    QVERIFY(!Holds(p, "-c:s copy"));
    QVERIFY(Holds(p, "-c:s:0 srt -c:s:1 copy"));
    QCOMPARE(Joined(p.notes, "|"),
             QString("subtitle track 1 (mov_text): MKV cannot take \"-c:s copy\"; it is converted to srt."));
    // Its "-c:s ass" cannot draw pictures into text.
    p = PlanConversion(phone, Args(QString("-c:v libx264 %1 -c:s ass").arg(Tracks)), "/o/p.mkv", 0);
    QVERIFY(Holds(p, "-c:s:0 ass -c:s:1 copy"));
    QCOMPARE(Joined(p.notes, "|"),
             QString("subtitle track 2 (hdmv_pgs_subtitle): MKV cannot take \"-c:s ass\"; it is copied."));
}

void TestConversionPlan::audioTheCodecCanCarry()
{
    StreamFacts aacNoLayout = Audio(2, 6, 48000);
    aacNoLayout.noLayout = true;
    const SourceFacts src = Source({Video(0), Audio(1, 6, 96000, "5.1(side)"), aacNoLayout});

    ConversionPlan p = PlanConversion(src, Args("-c:v mpeg4 -c:a libmp3lame"), "/o/a.avi", 0);
    QVERIFY(Holds(p, "-ar:a:0 48000"));
    QVERIFY(Holds(p, "-ac:a:0 2"));
    QVERIFY(Holds(p, "-ac:a:1 2"));
    QCOMPARE(Joined(p.notes, "|"), QString("audio track 1: MP3 cannot hold 96000 Hz; 48000 Hz is used.|"
                                           "audio track 1: MP3 holds at most 2 channels; the 6 channels are mixed "
                                           "down to 2.|"
                                           "audio track 2: MP3 holds at most 2 channels; the 6 channels are mixed "
                                           "down to 2."));
    // AAC carries both as recorded; the track without a layout gets one.
    p = PlanConversion(src, Args("-c:v libx264 -c:a aac"), "/o/a.mp4", 0);
    QVERIFY(!Holds(p, "-ar:a:0 48000") && !Joined(p.options).contains("-ac:"));
    QVERIFY(Holds(p, "-ch_layout:a:1 5.1"));
    QVERIFY(!Joined(p.options).contains("-ch_layout:a:0"));
    QCOMPARE(Joined(p.notes, "|"), QString("audio track 2: its 6 channels have no layout; they are taken as 5.1."));
    // Opus takes 5.1 in its own order; the user's own choices stand.
    p = PlanConversion(src, Args("-c:v libvpx-vp9 -c:a libopus"), "/o/a.webm", 0);
    QVERIFY(Holds(p, "-ch_layout:a:0 5.1"));
    p = PlanConversion(src, Args("-c:v wmv2 -c:a wmav2 -ar 44100 -ac 1"), "/o/a.wmv", 0);
    QVERIFY(!Joined(p.options).contains("-ar:") && !Joined(p.options).contains("-ac:"));
    QVERIFY(p.notes.empty());
}

void TestConversionPlan::depthAndHdr()
{
    StreamFacts hdr10 = Video(0, 10, HdrTransfer::Pq);
    hdr10.mastering = {true, {0.68, 0.32}, {0.265, 0.69}, {0.15, 0.06}, {0.3127, 0.329}, 1000, 0.0001};
    hdr10.lightLevel = {true, 1000, 400};
    const SourceFacts src = Source({hdr10});

    // 10 bits and the HDR data kept by the encoders that write them.
    ConversionPlan p = PlanConversion(src, Args("-c:v libx265 -tag:v hvc1 -x265-params log-level=error"), "/o/h.mp4", 2);
    QVERIFY(Holds(p, "-pix_fmt yuv420p10le"));
    QVERIFY2(Holds(p, "-x265-params log-level=error:master-display=G(13250,34500)B(7500,3000)R(34000,16000)"
                      "WP(15635,16450)L(10000000,1):max-cll=1000,400:pools=2"),
             qPrintable(Joined(p.options)));
    QVERIFY(!Joined(p.options).contains("zscale"));
    QCOMPARE(Joined(p.notes, "|"), QString("the picture keeps 10 bits per sample (yuv420p10le) and its HDR (PQ) colour."));
    p = PlanConversion(src, Args("-c:v libsvtav1"), "/o/h.webm", 3);
    QVERIFY2(Holds(p, "-svtav1-params mastering-display=G(0.2650,0.6900)B(0.1500,0.0600)R(0.6800,0.3200)"
                      "WP(0.3127,0.3290)L(1000.0000,0.0001):content-light=1000,400:lp=3"),
             qPrintable(Joined(p.options)));

    // 8-bit formats get SDR: tone-mapped after the profile's filters, tagged BT.709.
    for (const char *profile : {"-c:v libx264 -pix_fmt yuv420p -vf yadif", "-c:v libx265 -pix_fmt yuv420p",
                                "-c:v mpeg4"}) {
        p = PlanConversion(src, Args(profile), "/o/s.mp4", 0);
        const QString options = Joined(p.options);
        QVERIFY2(options.indexOf("-vf zscale=tin=smpte2084:min=bt2020nc:pin=bt2020") > options.indexOf("yadif"),
                 qPrintable(options));
        QVERIFY(Holds(p, "-color_primaries bt709 -color_trc bt709 -colorspace bt709"));
        QVERIFY(!options.contains("master-display"));
        QCOMPARE(p.notes.size(), size_t(1));
    }
    const SourceFacts hlg = Source({Video(0, 10, HdrTransfer::Hlg)});
    QVERIFY(Joined(PlanConversion(hlg, Args("-c:v libx264 -pix_fmt yuv420p"), "/o/s.mp4", 0).options)
                .contains("zscale=tin=arib-std-b67"));
    // An 8-bit SDR source: 8 bits, untouched, nothing to say.
    p = PlanConversion(Source({Video(0)}), Args("-c:v libvpx-vp9"), "/o/s.webm", 0);
    QVERIFY(Holds(p, "-pix_fmt yuv420p"));
    QVERIFY(p.notes.empty() && !Joined(p.options).contains("zscale"));
}

void TestConversionPlan::frameTimesMetadataAndThreads()
{
    StreamFacts interlaced = Video(0);
    interlaced.interlaced = true;
    const SourceFacts src = Source({interlaced, Audio(1, 2, 48000, "stereo")});
    ConversionPlan p = PlanConversion(src, Args("-c:v libx264 -vf yadif=mode=send_frame:deint=interlaced"), "/o/a.mov", 2);
    QVERIFY(Holds(p, "-fps_mode passthrough -enc_time_base -1"));
    QVERIFY(Holds(p, "-map_metadata 0"));
    QVERIFY(Joined(p.options).startsWith("-map 0:0 -map 0:1 -threads 2 "));
    QCOMPARE(Joined(p.notes, "|"), QString("the source is interlaced; Deinterlace \"Auto\" deinterlaces it."));

    // A chosen rate, a constant-rate format, the profile's own switches.
    for (const char *profile : {"-c:v libx264 -r 25", "-c:v libx264 -vsync cfr"})
        QVERIFY(!Joined(PlanConversion(src, Args(profile), "/o/a.mp4", 0).options).contains("-fps_mode passthrough"));
    p = PlanConversion(src, Args("-c:v mpeg2video -threads 1 -map_metadata -1"), "/o/a.mpg", 4);
    QVERIFY(!Joined(p.options).contains("passthrough"));
    QVERIFY(!Holds(p, "-threads 4") && !Holds(p, "-map_metadata 0"));
    QVERIFY(p.notes.empty());
}

QTEST_APPLESS_MAIN(TestConversionPlan)
#include "tst_conversionplan.moc"
