// The profiles delivered in data/Profiles: each is well formed and loads in
// the main window, and each converts a real one-second clip with odd sides
// through the real vxenc.dll, at its loaded choices and once for every
// distinct combination of container, codec and switch its pick lists offer,
// into a file of the promised container and codecs, of the right length and
// with a correctly proportioned picture. A portrait clip converts with every
// profile whose loaded choices give a frame of their own.
#include "ProfileTestUtil.h"
#include "TestProgram.h"

#include "Clips.h"
#include "app/MainForm.h"
#include "conversion/EncoderProcess.h"
#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"
#include "tasks/ItemData.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {

const QString CustomSize = QStringLiteral("352x288"); // as typed in the size dialog
const QString Portrait = QStringLiteral("portrait");

// The parameters the editors start with keep their groups in every profile.
const QStringList VideoParameters = {"Video Codec", "Video Size", "Bit Rate",
                                     "Frame Rate", "Aspect", "Disable Video"};
const QStringList AudioParameters = {"Audio Codec", "Audio Bitrate", "Sample Rate",
                                     "Channels", "Volumn", "Disable Audio"};
const QStringList AdvancedParameters = {"Bit Exact Algorithms", "Deinterlace"};

QString ShippedFolder() { return QString(VELVO_SOURCE_DIR) + "data/Profiles/"; }

ProfileData ReadShipped(const QString &name)
{
    TNewInifile ini(ShippedFolder() + name + ".vpf");
    return ReadProfile(ini, name);
}

// The container name ffprobe reports for an output type.
QString ContainerOf(const QString &type)
{
    static const QHash<QString, QString> names = {
        {"mp4", "mov,mp4,m4a,3gp,3g2,mj2"}, {"mov", "mov,mp4,m4a,3gp,3g2,mj2"},
        {"3gp", "mov,mp4,m4a,3gp,3g2,mj2"}, {"3g2", "mov,mp4,m4a,3gp,3g2,mj2"},
        {"m4a", "mov,mp4,m4a,3gp,3g2,mj2"}, {"mpg", "mpeg"}, {"vob", "mpeg"},
        {"wmv", "asf"}, {"asf", "asf"}, {"mkv", "matroska,webm"}, {"webm", "matroska,webm"},
        {"opus", "ogg"}};
    return names.value(type, type); // avi, flv, mp3, flac, wav, gif
}

// The codec name ffprobe reports for what an encoder writes.
QString CodecOf(const QString &encoder)
{
    static const QHash<QString, QString> names = {
        {"libx264", "h264"}, {"libxvid", "mpeg4"}, {"libx265", "hevc"}, {"libvpx-vp9", "vp9"}, {"libsvtav1", "av1"},
        {"msmpeg4", "msmpeg4v3"}, {"flv", "flv1"}, {"libmp3lame", "mp3"}, {"libopus", "opus"},
        {"libvorbis", "vorbis"}};
    return names.value(encoder, encoder); // mpeg4, wmv2, mpeg2video, gif, aac, ac3, flac, ...
}

QString LoadedValue(const ProfileParameter &p)
{
    return p.isList ? p.values.value(p.index) : p.valueText;
}

// The encoder a profile uses by its loaded choices for a switch, "" without one.
QString LoadedEncoder(const ProfileData &p, const QString &cmd)
{
    for (const ProfileParameter &param : p.parameters)
        if (param.cmd == cmd)
            return LoadedValue(param).section(' ', 0, 0);
    return {};
}

// What a caption of a parameter tries, for running each only once: the codec
// choices per container; switches that depend on the container (none, no
// audio, bit-exact) per container and value; plain filters and maps per
// value; every other switch per encoder, once with a value and once without.
// The stream maps are tried per value: the clip has no subtitles.
QString Combination(const ProfileData &p, const ProfileParameter &param, const QString &value)
{
    const QString codec = LoadedEncoder(p, param.group == pgAudio ? "-c:a" : "-c:v");
    const QString &cmd = param.cmd;
    if (cmd == "-c:v" || cmd == "-c:a" || cmd == "-vn" || cmd == "-an" || cmd == "-flags")
        return p.type + "|" + cmd + "|" + value;
    if (cmd == "-af" || cmd == "-map" || (cmd == "-vf" && codec != "gif"))
        return cmd + "|" + value;
    return codec + "|" + cmd + "|" + (value.isEmpty() ? "none" : "set");
}

double AspectOf(const QString &text)
{
    const QStringList parts = text.split(':');
    return parts.size() == 2 && parts[1].toDouble() > 0 ? parts[0].toDouble() / parts[1].toDouble() : 0;
}

bool MakeOddClip(const QString &path, int width, int height)
{
    // 4:4:4 holds odd sides, as phones and screen recorders write them.
    return RunProgram(FfmpegPath(),
                      {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                       QString("testsrc=size=%1x%2:rate=25:duration=1").arg(width).arg(height), "-f",
                       "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=1", "-pix_fmt",
                       "yuv444p", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", path},
                      nullptr, 120000) == 0;
}

} // namespace

class TestShippedProfiles : public QObject {
    Q_OBJECT

    std::unique_ptr<TestProgram> m_prog;
    TMainForm *m_form = nullptr;
    QString m_clip, m_portrait;

    TValueListEditor *editorOf(int group) const
    {
        return group == pgVideo ? m_form->vleVideo
               : group == pgAudio ? m_form->vleAudio
                                  : m_form->vleAdvanced;
    }

    // The shown text of a parameter wherever its group put it.
    QString shown(const QString &name) const
    {
        for (TValueListEditor *vle : {m_form->vleVideo, m_form->vleAudio, m_form->vleAdvanced})
            if (vle->FindRow(name) >= 0)
                return vle->Values(name);
        return {};
    }

    void select(const QString &profile)
    {
        const int at = m_form->cmbProfile->findText(profile);
        // Selecting the profile again reloads it with its stored choices.
        if (m_form->cmbProfile->currentIndex() == at)
            m_form->cmbProfileChange();
        else
            m_form->cmbProfile->setCurrentIndex(at);
    }

private slots:
    void initTestCase()
    {
        m_prog = std::make_unique<TestProgram>();
        m_prog->copyShippedProfiles();
        QVERIFY(m_prog->useRealEncoder());
        m_form = m_prog->start();
        m_clip = m_prog->path("odd.mkv");
        QVERIFY(MakeOddClip(m_clip, 161, 121));
        m_portrait = m_prog->path("portrait.mkv");
        QVERIFY(MakeOddClip(m_portrait, 108, 192));
        QVERIFY(QDir().mkpath(m_prog->path("out")));
    }
    void cleanupTestCase() { m_prog.reset(); }

    void theSetIsComplete()
    {
        const QStringList files = ListFilesWithExtension(ShippedFolder(), ".vpf");
        QVERIFY2(files.size() >= 25, qPrintable(QString::number(files.size())));
        QCOMPARE(m_form->cmbProfile->count(), files.size());
        QStringList types;
        for (const QString &file : files) {
            const QString name = RemoveExtension(file);
            const ProfileData p = ReadShipped(name);
            QVERIFY2(p.ok(), qPrintable(p.problem));
            QVERIFY2(m_form->OutputTypeExtensions.contains("." + p.type), qPrintable(name));
            types << p.type;
            QStringList names;
            int rows[4] = {};
            for (int i = 0; i < p.parameters.size(); ++i) {
                const ProfileParameter &param = p.parameters[i];
                const QString what = name + ": " + param.name;
                QVERIFY2(!names.contains(param.name, Qt::CaseInsensitive), qPrintable(what));
                names << param.name;
                ++rows[param.group];
                const int fixedGroup = VideoParameters.contains(param.name)   ? pgVideo
                                       : AudioParameters.contains(param.name) ? pgAudio
                                       : AdvancedParameters.contains(param.name) ? pgAdvanced
                                                                                 : param.group;
                QVERIFY2(param.group == fixedGroup, qPrintable(what));
                QVERIFY2(!param.cmd.isEmpty(), qPrintable(what));
                if (param.isList)
                    QVERIFY2(param.values.size() == param.captions.size(), qPrintable(what));
                if (param.name == "Video Size") {
                    QVERIFY(param.captions.contains("Original Size"));
                    QVERIFY(param.captions.contains("Custom Size"));
                }
                if (param.name == "Quality") {
                    // Constant quality, loaded at "Good"; "Use bit rate" leaves it to the bit rate.
                    QCOMPARE(param.cmd, QString("-crf"));
                    QCOMPARE(param.captions, (QStringList{"High", "Good", "Small file", "Use bit rate"}));
                    QCOMPARE(param.index, 1);
                    QVERIFY2(param.values.last().isEmpty() && !param.values.first().isEmpty(), qPrintable(what));
                    QCOMPARE(p.parameters.value(i + 1).name, QString("Bit Rate"));
                }
                if (param.name == "Bit Rate" && param.isList && names.contains("Quality")) {
                    QCOMPARE(param.captions.first(), QString("Auto"));
                    QVERIFY(param.values.first().isEmpty());
                }
            }
            // A video profile offers the size; a sound-only one fixes the picture off.
            const bool soundOnly = names.contains("Disable Video") &&
                                   !p.parameters[names.indexOf("Disable Video")].isList;
            QVERIFY2(soundOnly || names.contains("Video Size") || p.type == "gif", qPrintable(name));
            if (soundOnly)
                QCOMPARE(p.parameters[names.indexOf("Disable Video")].valueText, QString("\\"));

            // Loaded in the main window without a word, the file unchanged.
            const QByteArray before = m_prog->readFile("Profiles/" + file);
            QVERIFY(before.endsWith("\r\n"));
            m_form->cmbProfile->setCurrentIndex(m_form->cmbProfile->findText(name));
            QCOMPARE(m_form->cmbProfile->currentText(), name);
            QVERIFY(m_prog->platform.messages.isEmpty());
            QCOMPARE(m_form->CurrentOutputExt, "." + p.type);
            QCOMPARE(m_form->vleVideo->RowCount(), rows[pgVideo]);
            QCOMPARE(m_form->vleAudio->RowCount(), rows[pgAudio]);
            QCOMPARE(m_form->vleAdvanced->RowCount(), rows[pgAdvanced]);
            QString arguments;
            QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath(name), arguments));
            QCOMPARE(m_prog->readFile("Profiles/" + file), before);
        }
        for (const char *type : {"mp4", "avi", "mpg", "vob", "wmv", "asf", "mov", "flv", "3gp", "3g2", "mkv",
                                 "webm", "mp3", "m4a", "flac", "opus", "wav", "gif"})
            QVERIFY2(types.contains(type), type);
    }

    void convertsARealClip_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("parameter"); // "" for the loaded choices
        QTest::addColumn<QString>("caption");   // "portrait" for the portrait clip at the loaded choices
        QSet<QString> tried;
        for (const QString &file : ListFilesWithExtension(ShippedFolder(), ".vpf")) {
            const QString name = RemoveExtension(file);
            const ProfileData p = ReadShipped(name);
            QTest::addRow("%s | loaded", qPrintable(name)) << name << 0 << QString() << QString();
            // Portrait into a chosen frame; the source's own size keeps the shape by
            // the same rounding the clip with odd sides goes through.
            bool shaped = p.type == "gif" || name == "MP4 - H.264 Video";
            for (const ProfileParameter &param : p.parameters)
                shaped = shaped || ((param.cmd == "-s" || param.cmd == "-aspect") && !LoadedValue(param).isEmpty());
            if (shaped)
                QTest::addRow("%s | portrait", qPrintable(name)) << name << 0 << QString() << Portrait;
            for (const ProfileParameter &param : p.parameters) {
                if (!param.isList)
                    continue;
                for (int i = 0; i < param.captions.size(); ++i) {
                    const QString value = param.captions[i] == "Custom Size" ? CustomSize : param.values[i];
                    if (value == LoadedValue(param) || tried.contains(Combination(p, param, value)))
                        continue; // converted already
                    tried.insert(Combination(p, param, value));
                    QTest::addRow("%s | %s = %s", qPrintable(name), qPrintable(param.name),
                                  qPrintable(param.captions[i]))
                        << name << param.group << param.name << param.captions[i];
                }
            }
        }
    }
    void convertsARealClip()
    {
        QFETCH(QString, profile);
        QFETCH(int, group);
        QFETCH(QString, parameter);
        QFETCH(QString, caption);

        m_prog->platform.messages.clear();
        select(profile);
        QCOMPARE(m_form->cmbProfile->currentText(), profile);
        if (!parameter.isEmpty()) {
            TValueListEditor *vle = editorOf(group);
            QVERIFY(vle->FindRow(parameter) >= 0);
            // Custom Size as the size dialog writes it.
            vle->SetValues(parameter, caption == "Custom Size" ? CustomSize : caption);
        }
        QString arguments;
        QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath(profile), arguments));
        QVERIFY(m_prog->platform.messages.isEmpty());

        const QString source = caption == Portrait ? m_portrait : m_clip;
        const QString output = m_prog->path("out/converted" + m_form->CurrentOutputExt);
        QString log;
        const bool converted = Convert(source, arguments, output, log);
        const QString context = log.left(arguments.size() + 1) + log.right(1500);
        QVERIFY2(converted, qPrintable(context));
        // Each profile's own choices decode without a single error; a varied
        // choice is read back by ffprobe below, which costs a third as much.
        if (parameter.isEmpty())
            QVERIFY2(DecodesCleanly(output), qPrintable(context));

        // The promised container and codecs, the whole second.
        const ProfileData p = ReadShipped(profile);
        const MediaReport r = ProbeMedia(output);
        QVERIFY2(r.ok, qPrintable(context));
        QCOMPARE(r.format, ContainerOf(p.type));
        QVERIFY2(qAbs(r.duration - 1.0) <= 0.2, qPrintable(QString::number(r.duration) + "\n" + context));
        const bool noVideo = shown("Disable Video") == "Yes";
        const bool noAudio = shown("Disable Audio") == "Yes";
        QCOMPARE(r.videoCodec(), noVideo ? QString() : CodecOf(shownEncoder(p, "-c:v")));
        QCOMPARE(r.audioCodec(), noAudio ? QString() : CodecOf(shownEncoder(p, "-c:a")));
        if (noVideo)
            return;

        // A picture of the right shape: the source's, or the chosen one padded.
        const int width = r.frameSize.section('x', 0, 0).toInt(), height = r.frameSize.section('x', 1).toInt();
        const double sourceAspect = caption == Portrait ? 108.0 / 192 : 161.0 / 121;
        const double chosenAspect = AspectOf(shown("Aspect"));
        const double aspect = chosenAspect > 0 ? chosenAspect : sourceAspect;
        QVERIFY2(qAbs(r.displayAspect / aspect - 1) < 0.02,
                 qPrintable(QString::number(r.displayAspect) + " " + r.frameSize + "\n" + context));
        if (p.type == "gif") {
            QCOMPARE(width, shown("Width").toInt());
            return;
        }
        QVERIFY2(width % 2 == 0 && height % 2 == 0, qPrintable(r.frameSize));
        const QString size = shown("Video Size");
        if (size.contains('x')) {
            const int w = size.section('x', 0, 0).toInt(), h = size.section('x', 1).toInt();
            if (chosenAspect > 0)
                QCOMPARE(r.frameSize, size); // the fixed frame, padded
            else
                QVERIFY2(width <= w && height <= h && (width >= w - 2 || height >= h - 2), qPrintable(r.frameSize));
        }
    }

    // Sources as people bring them, converted at the profiles' loaded
    // choices: what they carry is in the output.
    void keepsWhatTheSourceCarries_data()
    {
        QTest::addColumn<QString>("profile");
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("note"); // a line the encoder writes, "" for none
        QTest::newRow("two audio tracks, subtitles, date, chapter into MP4") << "MP4 - H.264 Video" << "tracks.mp4" << "";
        QTest::newRow("the same into MKV") << "MKV - H.264 Video" << "tracks.mp4" << "";
        QTest::newRow("screen recording's own frame times") << "MP4 - H.264 Video" << "screen.mkv" << "";
        QTest::newRow("interlaced TV recording")
            << "MP4 - H.264 Video" << "tv.ts" << "vxenc: the source is interlaced; Deinterlace \"Auto\" deinterlaces it.";
        QTest::newRow("HDR10 stays HDR10 in H.265")
            << "MP4 - H.265 Video" << "hdr10.mp4"
            << "vxenc: the picture keeps 10 bits per sample (yuv420p10le) and its HDR (PQ) colour.";
        QTest::newRow("HDR10 tone-mapped for H.264")
            << "MP4 - H.264 Video" << "hdr10.mp4"
            << "vxenc: the HDR (PQ) picture is tone-mapped to SDR (BT.709): this format is written with 8 bits.";
        QTest::newRow("phone clip upright") << "MP4 - H.264 Video" << "phone.mp4" << "";
    }
    void keepsWhatTheSourceCarries()
    {
        QFETCH(QString, profile);
        QFETCH(QString, source);
        QFETCH(QString, note);
        const QString input = m_prog->path(source);
        QVERIFY(MakeSource(source, input));
        select(profile);
        QString arguments;
        QVERIFY(m_form->AssembleProfileArguments(m_form->ProfilePath(profile), arguments));
        const QString output = m_prog->path("out/carried" + m_form->CurrentOutputExt);
        QString log;
        QVERIFY2(Convert(input, arguments, output, log), qPrintable(log.right(2000)));
        QVERIFY2(note.isEmpty() ? !log.contains("vxenc: ") : log.contains(note + "\n"), qPrintable(log.left(2000)));

        if (source == "tracks.mp4") {
            const QStringList streams =
                ProbeEntries(output, "stream=codec_type,channels,sample_rate:stream_tags=language");
            QCOMPARE(streams.filter(QRegularExpression("^audio,48000,")).size(), 2);
            QVERIFY2(streams.contains("audio,48000,6,ger"), qPrintable(streams.join(' ')));
            QCOMPARE(streams.filter(QRegularExpression("^subtitle,eng$")).size(), 1);
            QCOMPARE(ProbeEntries(output, "format_tags=creation_time"), QStringList{"2020-05-06T07:08:09.000000Z"});
            QCOMPARE(ProbeEntries(output, "chapter=start_time").size(), 1);
        } else if (source == "screen.mkv") {
            const QStringList before = FrameTimes(input), after = FrameTimes(output);
            QCOMPARE(before.size(), 32);
            QCOMPARE(after.size(), before.size());
            for (int i = 0; i < before.size(); ++i)
                QVERIFY2(qAbs(before[i].toDouble() - after[i].toDouble()) <= 0.002, qPrintable(after.join(' ')));
        } else if (source == "tv.ts") {
            QVERIFY(InterlacedShare(input) > 0.9);
            QVERIFY2(InterlacedShare(output) < 0.1, qPrintable(QString::number(InterlacedShare(output))));
        } else if (source == "hdr10.mp4") {
            const bool hevc = profile.contains("H.265");
            QCOMPARE(ProbeEntries(output, "stream=pix_fmt,color_transfer"),
                     QStringList{hevc ? "yuv420p10le,smpte2084" : "yuv420p,bt709"});
            QString frame;
            RunProgram("ffprobe", {"-v", "error", "-read_intervals", "%+#1", "-show_frames", output}, &frame);
            QCOMPARE(frame.contains("Mastering display metadata") && frame.contains("max_content=1000"), hevc);
        } else if (source == "phone.mp4") {
            const QString size = ProbeFrameSize(output);
            QVERIFY2(size.section('x', 1).toInt() > size.section('x', 0, 0).toInt(), qPrintable(size));
        }
    }

private:
    // Runs the real encoder: true when it succeeded. log: the arguments and
    // everything the encoder said.
    bool Convert(const QString &source, const QString &arguments, const QString &output, QString &log)
    {
        QFile::remove(output);
        TEncoderProcess encoder;
        if (!encoder.Start(m_prog->path("vxenc.dll"), ConvertCommand(source, arguments, output)))
            return false;
        QByteArray all, chunk;
        while (encoder.ReadChunk(chunk, 120000))
            all += chunk;
        log = arguments + "\n" + QString::fromLocal8Bit(all);
        return !encoder.TimedOut() && encoder.ExitedNormally() && encoder.ExitCode() == 0;
    }

    // The sources of keepsWhatTheSourceCarries, each made once.
    bool MakeSource(const QString &name, const QString &path)
    {
        if (QFile::exists(path))
            return true;
        const QStringList make{"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i"};
        if (name == "tracks.mp4")
            return MakeTracksClip(path);
        if (name == "screen.mkv") // 32 frames over 4 s, none on a regular beat
            return RunProgram(FfmpegPath(), make + QStringList{"testsrc2=size=160x120:rate=8:duration=4", "-vf",
                                                              "settb=1/1000,setpts=N*125+13*mod(N\\,3)", "-fps_mode",
                                                              "passthrough", "-enc_time_base", "1:1000", "-c:v",
                                                              "libx264", "-preset", "ultrafast", path}) == 0;
        if (name == "tv.ts") // 576i, top field first, as broadcast
            return RunProgram(FfmpegPath(), make + QStringList{"testsrc2=size=720x576:rate=50:duration=3", "-vf",
                                                              "tinterlace=mode=interleave_top,setfield=tff", "-flags",
                                                              "+ilme+ildct", "-top", "1", "-c:v", "mpeg2video", "-b:v",
                                                              "5M", path}) == 0;
        if (name == "hdr10.mp4")
            return RunProgram(FfmpegPath(),
                              make + QStringList{"testsrc2=size=320x180:rate=25:duration=0.5", "-pix_fmt", "yuv420p10le",
                                                 "-c:v", "libx265", "-x265-params",
                                                 "log-level=none:master-display=G(13250,34500)B(7500,3000)"
                                                 "R(34000,16000)WP(15635,16450)L(10000000,1):max-cll=1000,400",
                                                 "-color_primaries", "bt2020", "-color_trc", "smpte2084",
                                                 "-colorspace", "bt2020nc", "-tag:v", "hvc1", path}) == 0;
        if (name == "phone.mp4") // stored sideways, shown upright
            return MakeTestClip(path + ".mp4", 0.5, 320, 180) &&
                   RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-i", path + ".mp4", "-c", "copy",
                                             "-metadata:s:v:0", "rotate=90", path}) == 0;
        return false;
    }

    // Presentation times of the video frames, in order.
    static QStringList FrameTimes(const QString &file)
    {
        QStringList times = ProbeEntries(file, "packet=pts_time", {"-select_streams", "v"});
        std::sort(times.begin(), times.end(), [](const QString &a, const QString &b) { return a.toDouble() < b.toDouble(); });
        return times;
    }

    // The share of frames idet finds interlaced, over several frames each.
    static double InterlacedShare(const QString &file)
    {
        QString out;
        RunProgram(FfmpegPath(), {"-nostdin", "-hide_banner", "-i", file, "-vf", "idet", "-an", "-f", "null", "-"}, &out);
        const QRegularExpressionMatch m =
            QRegularExpression("Multi frame detection: TFF: *(\\d+) BFF: *(\\d+) Progressive: *(\\d+)").match(out);
        const double interlaced = m.captured(1).toDouble() + m.captured(2).toDouble();
        const double all = interlaced + m.captured(3).toDouble();
        return all > 0 ? interlaced / all : -1;
    }

    // The encoder the editors now choose for a switch.
    QString shownEncoder(const ProfileData &p, const QString &cmd) const
    {
        for (const ProfileParameter &param : p.parameters) {
            if (param.cmd != cmd)
                continue;
            if (!param.isList)
                return param.valueText.section(' ', 0, 0);
            const int at = param.captions.indexOf(shown(param.name));
            return param.values.value(at).section(' ', 0, 0);
        }
        return {};
    }
};

QTEST_MAIN(TestShippedProfiles)
#include "tst_shipped_profiles.moc"
