// End-to-end checks of the encoder program vxenc.dll: its measure report as
// the converter parses it, its conversion through ffmpeg with progress in
// seconds, and that nothing keeps running once it is killed.
#include "Clips.h"
#include "tasks/MediaProbe.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString Vxenc() { return QString(VELVO_PROGRAM_DIR) + "vxenc.dll"; }
QString FakeFfmpeg() { return QString(VELVO_FAKES_DIR) + "vxenc_fake_ffmpeg"; }

// The converter's reading of a measure report, step by step: 1-based
// positions, a missing marker is position 0.
struct Report {
    QString length;
    QString frameSize;
};

int Pos(const QString &what, const QString &s) { return s.indexOf(what) + 1; }
QString From(const QString &s, int k) { return s.mid(qMax(k, 1) - 1); }
QString Head(const QString &s, int count) { return count < 1 ? QString() : s.left(count); }

Report ParseReport(const QString &t, const QString &path)
{
    Report r;
    QString s = From(t, Pos(path, t) + path.length());
    s = From(s, Pos("Duration", s) + 1);
    s = From(s, Pos(":", s) + 2);
    const int k = Pos(",", s);
    r.length = Head(s, k - 1);
    s = From(s, k + 1);
    s = From(s, Pos("Video", s));
    s = From(s, Pos(",", s) + 1);
    s = From(s, Pos(",", s) + 1);
    r.frameSize = Head(s, Pos(",", s) - 1);
    return r;
}

// hh:mm:ss.ff back to seconds, -1 when it is no such text.
double LengthSeconds(const QString &text)
{
    static const QRegularExpression re("^(\\d{2,}):(\\d{2}):(\\d{2}\\.\\d{2})$");
    const auto m = re.match(text);
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toInt() * 3600.0 + m.captured(2).toInt() * 60.0 + m.captured(3).toDouble();
}

// Seconds as the report gives them: hh:mm:ss.ff, rounded to the hundredth.
QString LengthText(double seconds)
{
    const qint64 hundredths = (qRound64(seconds * 1e6) + 5000) / 10000;
    return QString("%1:%2:%3.%4")
        .arg(hundredths / 360000, 2, 10, QChar('0'))
        .arg(hundredths / 6000 % 60, 2, 10, QChar('0'))
        .arg(hundredths / 100 % 60, 2, 10, QChar('0'))
        .arg(hundredths % 100, 2, 10, QChar('0'));
}

// vxenc started in its own process group, the way the converter starts it.
class Encoder {
public:
    explicit Encoder(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setProcessEnvironment(env);
        m_process.setChildProcessModifier([] { setpgid(0, 0); });
        m_process.start(Vxenc(), args);
    }
    ~Encoder()
    {
        if (m_process.state() != QProcess::NotRunning) {
            ::kill(-static_cast<pid_t>(m_process.processId()), SIGKILL);
            m_process.waitForFinished(10000);
        }
    }
    QProcess &process() { return m_process; }
    qint64 pid() const { return m_process.processId(); }
    // Reads until the output holds needle; false when it ended or time ran out.
    bool WaitForOutput(const QString &needle, int timeoutMs = 120000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_output.contains(needle)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return false;
            m_process.waitForReadyRead(100);
            m_output += QString::fromUtf8(m_process.readAll());
        }
        return true;
    }
    bool Finish(int timeoutMs = 180000)
    {
        const bool done = m_process.waitForFinished(timeoutMs);
        m_output += QString::fromUtf8(m_process.readAll());
        return done;
    }
    QString output() const { return m_output; }

private:
    QProcess m_process;
    QString m_output;
};

// Waits until none of pids is a live process named name.
bool AllGone(const QString &name, const QList<qint64> &pids, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QList<qint64> live = ProcessesNamed(name);
        bool any = false;
        for (qint64 pid : pids)
            any = any || live.contains(pid);
        if (!any)
            return true;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
}

QList<qint64> ChildrenNamed(qint64 parent, const QString &name)
{
    QList<qint64> result;
    const QList<qint64> named = ProcessesNamed(name);
    for (qint64 child : ChildProcesses(parent))
        if (named.contains(child))
            result << child;
    return result;
}

// Every argument the fake ffmpeg got (its ARG[...] lines), vxenc's own first.
QStringList ArgumentsSeen(const QString &output)
{
    QStringList seen;
    for (const QString &line : output.split('\n'))
        if (line.startsWith("ARG[") && line.endsWith("]"))
            seen << line.mid(4, line.length() - 5);
    return seen;
}

QString ValueAfter(const QStringList &args, const QString &option)
{
    const int at = args.indexOf(option);
    return at >= 0 && at + 1 < args.size() ? args[at + 1] : QString();
}
QProcessEnvironment FakeEnvironment(const QString &mode)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VXENC_FFMPEG", FakeFfmpeg());
    env.insert("FAKE_FFMPEG_MODE", mode);
    return env;
}

} // namespace

class TestVxenc : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void measureReport_data();
    void measureReport();
    void measureMatchesFfprobe_data();
    void measureMatchesFfprobe();
    void measureAwkwardPaths_data();
    void measureAwkwardPaths();
    void measureShowsThePictureAsDisplayed();
    void measureAudioOnly_data();
    void measureAudioOnly();
    void measureUnopenable_data();
    void measureUnopenable();
    void usage_data();
    void usage();

    void convertPrintsSecondsProgress();
    void convertPassesClipRange();
    void convertBadOptionFails();
    void convertMissingFfmpeg();
    void convertReadsTheMeasuredFile();
    void convertTellsWhatItChose_data();
    void convertTellsWhatItChose();
    void refusesWhatIsNotAMediaFile_data();
    void refusesWhatIsNotAMediaFile();
    void convertJoinsFilters_data();
    void convertJoinsFilters();
    void convertKeepsProportions_data();
    void convertKeepsProportions();
    void convertRewritesEveryProgressForm();
    void convertStreamsProgressWhileRunning();
    void convertReportsChildSignal();
    void convertForwardsTerminate();

    void groupKillLeavesNothingRunning();
    void killingVxencAloneEndsFfmpeg();
    void killingVxencAloneEndsHeldChild();

private:
    QString Path(const QString &name) const { return m_dir.path() + "/" + name; }
    QTemporaryDir m_dir;
    QString m_clip;     // 2 s, 320x240, with audio
    QString m_longClip; // 20 s, 640x480, with audio
    QString m_tracks;   // video, two audio tracks, a text subtitle
};

void TestVxenc::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(QFile::exists(Vxenc()), qPrintable(Vxenc()));
    QVERIFY2(QFile::exists(FakeFfmpeg()), qPrintable(FakeFfmpeg()));
    m_clip = Path("clip.mp4");
    QVERIFY(MakeTestClip(m_clip, 2.0));
    m_longClip = Path("long.mp4");
    QVERIFY(MakeTestClip(m_longClip, 20.0, 640, 480));
    QVERIFY(MakeTestClip(Path("video-only.mkv"), 3.0, 640, 360, false, 30));
    QVERIFY(MakeTestClip(Path("small.avi"), 1.5, 176, 144));
    QVERIFY(MakeAudioClip(Path("tone.m4a"), 2.5));
    m_tracks = Path("tracks.mp4");
    QVERIFY(MakeTracksClip(m_tracks));
    // Odd sides (4:4:4, which allows them) and a portrait phone shape.
    QCOMPARE(RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                       "testsrc=size=321x241:rate=25:duration=1", "-pix_fmt", "yuv444p",
                                       "-c:v", "libx264", "-preset", "ultrafast", Path("odd.mkv")}),
             0);
    QVERIFY(MakeTestClip(Path("portrait.mp4"), 1.0, 108, 192, false));
    // Colour tags make a pixel format text with commas in other tools' reports.
    QCOMPARE(RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                       "testsrc2=size=352x288:rate=25:duration=1", "-pix_fmt", "yuv420p",
                                       "-color_range", "tv", "-colorspace", "bt709", "-color_primaries",
                                       "bt709", "-color_trc", "bt709", "-c:v", "libx264",
                                       Path("tagged.mp4")}),
             0);
    // A raw stream has no duration.
    QCOMPARE(RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                       "testsrc2=size=160x120:rate=25:duration=1", "-pix_fmt", "yuv420p",
                                       "-c:v", "libx264", "-f", "h264", Path("raw.h264")}),
             0);
    // An audio file with a cover picture.
    QCOMPARE(RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                       "testsrc2=size=64x64", "-frames:v", "1", Path("cover.png")}),
             0);
    QCOMPARE(RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                                       "sine=duration=2", "-i", Path("cover.png"), "-map", "0:a", "-map",
                                       "1:v", "-c:a", "libmp3lame", "-c:v", "png", "-disposition:v:0",
                                       "attached_pic", Path("cover.mp3")}),
             0);
}

void TestVxenc::measureReport_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("mp4 with audio") << "clip.mp4";
    QTest::newRow("mkv video only") << "video-only.mkv";
    QTest::newRow("avi") << "small.avi";
    QTest::newRow("colour-tagged") << "tagged.mp4";
    QTest::newRow("raw stream, no duration") << "raw.h264";
}

void TestVxenc::measureReport()
{
    QFETCH(QString, file);
    const QString path = Path(file);
    QString out;
    QCOMPARE(RunProgram(Vxenc(), {"-i", path}, &out), 0);

    const QStringList lines = out.split('\n');
    QVERIFY2(lines.size() > 2, qPrintable(out));
    QVERIFY2(lines[0].startsWith("Input #0, ") && lines[0].endsWith(" from '" + path + "':"), qPrintable(out));
    QVERIFY2(lines[1].startsWith("  Duration: "), qPrintable(out));

    const Report r = ParseReport(out, path);
    const double probed = ProbeDuration(path);
    if (probed < 0) {
        QCOMPARE(r.length, QString("N/A"));
    } else {
        QVERIFY2(LengthSeconds(r.length) >= 0, qPrintable(r.length));
        QVERIFY2(qAbs(LengthSeconds(r.length) - probed) <= 0.011,
                 qPrintable(r.length + " vs " + QString::number(probed)));
    }
    QCOMPARE(r.frameSize, " " + ProbeFrameSize(path));
    QVERIFY(!ProbeFrameSize(path).isEmpty());
    // A field always follows the size on its line.
    for (const QString &line : lines)
        if (line.contains("Video: "))
            QVERIFY2(QRegularExpression(", \\d+x\\d+, [^,]+ fps$").match(line).hasMatch(), qPrintable(line));
}

// Every container the program accepts, as ffmpeg writes it by default or
// with the codecs such files usually hold: the measure must read the same
// duration and frame size as ffprobe, also where only the stream itself
// holds the frame size (program and transport streams, raw streams).
void TestVxenc::measureMatchesFfprobe_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("video");
    QTest::addColumn<QStringList>("options");
    const QStringList none;
    const QStringList cameraTs{"-c:v", "libx264", "-c:a", "ac3"};
    const QStringList mobile{"-c:a", "aac", "-ar", "8000", "-ac", "1"};
    QTest::newRow("avi") << "c.avi" << true << none;
    QTest::newRow("mpg (MPEG-1 program stream)") << "c.mpg" << true << none;
    QTest::newRow("mpeg") << "c.mpeg" << true << none;
    QTest::newRow("mp4") << "c.mp4" << true << none;
    QTest::newRow("wmv") << "c.wmv" << true << none;
    QTest::newRow("mov") << "c.mov" << true << none;
    QTest::newRow("vob (MPEG-2 program stream)") << "c.vob" << true << none;
    QTest::newRow("asf") << "c.asf" << true << none;
    QTest::newRow("mkv") << "c.mkv" << true << none;
    QTest::newRow("webm") << "c.webm" << true
                          << QStringList{"-c:v", "libvpx-vp9", "-deadline", "realtime", "-cpu-used", "8"};
    QTest::newRow("m4v") << "c.m4v" << true << none;
    QTest::newRow("m4v holding a raw MPEG-4 stream") << "raw.m4v" << true << QStringList{"-an", "-f", "m4v"};
    QTest::newRow("ts (MPEG-2 transport stream)") << "c.ts" << true << none;
    QTest::newRow("ts with HEVC") << "hevc.ts" << true
                                  << QStringList{"-c:v", "libx265", "-x265-params", "log-level=none"};
    QTest::newRow("mts (H.264, AC-3)") << "c.mts" << true << cameraTs;
    QTest::newRow("m2ts (H.264, AC-3)") << "c.m2ts" << true << cameraTs;
    QTest::newRow("3gp") << "c.3gp" << true << mobile;
    QTest::newRow("3g2") << "c.3g2" << true << mobile;
    QTest::newRow("ogv") << "c.ogv" << true << none;
    for (const char *audio : {"mp3", "m4a", "aac", "wav", "flac", "ogg", "opus", "wma"})
        QTest::newRow(audio) << QString("c.%1").arg(audio) << false << none;
}

void TestVxenc::measureMatchesFfprobe()
{
    QFETCH(QString, file);
    QFETCH(bool, video);
    QFETCH(QStringList, options);
    const QString path = Path("each container/" + file);
    QVERIFY(QDir().mkpath(Path("each container")));
    // Small and short: the reading, not the encoding, is under test.
    QVERIFY(video ? MakeTestClip(path, 1.0, 176, 144, true, 25, options)
                  : MakeAudioClip(path, 1.0, options));

    QString out;
    QCOMPARE(RunProgram(Vxenc(), {"-i", path}, &out), 0);
    const Report r = ParseReport(out, path);
    const double probed = ProbeDuration(path);
    QCOMPARE(r.length, probed < 0 ? QString("N/A") : LengthText(probed));
    if (video) {
        QVERIFY(!ProbeFrameSize(path).isEmpty());
        QCOMPARE(r.frameSize, " " + ProbeFrameSize(path));
    } else {
        QVERIFY2(out.contains("Audio: ") && !out.contains("Video"), qPrintable(out));
    }
}

void TestVxenc::measureAwkwardPaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("blanks") << "my holiday clip.mp4";
    QTest::newRow("quotes") << "it's \"quoted\".mp4";
    QTest::newRow("commas") << "one, two, three.mp4";
    QTest::newRow("non-ASCII") << "Überraschung café 日本.mp4";
    QTest::newRow("markers in the name") << "Duration: 9, Video: a, b, 1x1, c.mp4";
}

void TestVxenc::measureAwkwardPaths()
{
    QFETCH(QString, name);
    const QString folder = Path("odd, 'folder'");
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + "/" + name;
    QFile::remove(path);
    QVERIFY(QFile::copy(m_clip, path));

    QString out;
    QCOMPARE(RunProgram(Vxenc(), {"-i", path}, &out), 0);
    QVERIFY2(out.contains("from '" + path + "':"), qPrintable(out));
    const Report r = ParseReport(out, path);
    QCOMPARE(r.length, QString("00:00:02.00"));
    QCOMPARE(r.frameSize, QString(" 320x240"));
}

void TestVxenc::measureShowsThePictureAsDisplayed()
{
    // A phone's portrait clip: stored sideways, turned when shown.
    const QString path = Path("phone.mp4");
    QVERIFY(MakeTestClip(Path("sideways.mp4"), 0.5, 320, 180, false));
    QCOMPARE(RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-y", "-i", Path("sideways.mp4"), "-c", "copy",
                                       "-metadata:s:v:0", "rotate=90", path}),
             0);
    QString out;
    QCOMPARE(RunProgram(Vxenc(), {"-i", path}, &out), 0);
    QCOMPARE(ParseReport(out, path).frameSize, QString(" 180x320"));
}

void TestVxenc::measureAudioOnly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("seconds");
    QTest::newRow("aac") << "tone.m4a" << 2.5;
    QTest::newRow("mp3 with cover picture") << "cover.mp3" << 2.0;
}

void TestVxenc::measureAudioOnly()
{
    QFETCH(QString, file);
    QFETCH(double, seconds);
    const QString path = Path(file);
    QString out;
    QCOMPARE(RunProgram(Vxenc(), {"-i", path}, &out), 0);
    QVERIFY2(out.contains("Audio: "), qPrintable(out));
    QVERIFY2(!out.contains("Video"), qPrintable(out));
    const Report r = ParseReport(out, path);
    QVERIFY2(qAbs(LengthSeconds(r.length) - seconds) < 0.1, qPrintable(r.length));
}

void TestVxenc::measureUnopenable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // null: not created
    QTest::newRow("missing") << "missing.mp4" << QByteArray();
    QTest::newRow("text named mp4") << "notes, really.mp4" << QByteArray("This is not a video at all.\n");
    QTest::newRow("empty") << "empty.avi" << QByteArray("");
    QTest::newRow("folder") << "a folder.mkv" << QByteArray();
}

void TestVxenc::measureUnopenable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    const QString path = Path(name);
    if (name == "a folder.mkv") {
        QVERIFY(QDir().mkpath(path));
    } else if (!content.isNull()) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QString out;
    const int rc = RunProgram(Vxenc(), {"-i", path}, &out);
    QCOMPARE(rc, 1);
    QVERIFY2(out.startsWith(path + ": ") && out.trimmed().count('\n') == 0, qPrintable(out));
    QVERIFY(!out.contains("Duration"));
}

// Playlists and lists that name other files or addresses, and what is no
// regular file, are refused at once by the measure (which reports nothing
// usable) and by a conversion; a link to a media file is read.
void TestVxenc::refusesWhatIsNotAMediaFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("what"); // "" for a file that is read
    QTest::newRow("live HLS playlist") << "live.mp4"
                                       << QByteArray("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n"
                                                     "http://192.0.2.1/segment.ts\n")
                                       << "an HLS playlist";
    QTest::newRow("concat list") << "list.mkv" << QByteArray("ffconcat version 1.0\nfile clip.mp4\n") << "a concat list";
    QTest::newRow("named pipe") << "pipe.mp4" << QByteArray() << "a named pipe";
    QTest::newRow("link to a clip") << "link.mp4" << QByteArray() << "";
}

void TestVxenc::refusesWhatIsNotAMediaFile()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, what);
    const QString path = Path("hostile/" + name);
    QVERIFY(QDir().mkpath(Path("hostile")));
    QFile::remove(path);
    if (name == "pipe.mp4") {
        QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (name == "link.mp4") {
        QVERIFY(QFile::link(m_clip, path));
    } else {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QString out;
    const int measured = RunProgram(Vxenc(), {"-i", path}, &out, 5000);
    if (what.isEmpty()) {
        QCOMPARE(measured, 0);
        QCOMPARE(ParseReport(out, path).frameSize, QString(" 320x240"));
        return;
    }
    QCOMPARE(measured, 1);
    QCOMPARE(out.trimmed(), path + ": not a media file: " + what + (name == "pipe.mp4" ? "" : ", which names other files or addresses"));
    QCOMPARE(ParseMeasureReport(out.toUtf8(), path).LengthText, QString());

    const QString output = Path("hostile/never.mp4");
    QCOMPARE(RunProgram(Vxenc(), {"-y", "-i", path, "-c:v", "libx264", output}, &out, 5000), 1);
    QVERIFY2(out.startsWith("vxenc: the input is not a media file: " + path + " is " + what), qPrintable(out));
    QVERIFY(!QFile::exists(output));
}

void TestVxenc::usage_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("nothing") << QStringList();
    QTest::newRow("-i alone") << QStringList{"-i"};
    QTest::newRow("unknown switch") << QStringList{"--bogus"};
    QTest::newRow("no input") << QStringList{"-y", "out.mp4"};
}

void TestVxenc::usage()
{
    QFETCH(QStringList, args);
    QString out;
    QCOMPARE(RunProgram(Vxenc(), args, &out), 2);
    QVERIFY2(out.contains("usage"), qPrintable(out));
}

void TestVxenc::convertPrintsSecondsProgress()
{
    const QString out = Path("converted.mkv");
    QString text;
    const int rc = RunProgram(Vxenc(), {"-y", "-i", m_clip, "-vcodec", "mpeg4", "-b:v", "500k", "-acodec",
                                        "libvorbis", "-ar", "22050", out},
                              &text, 180000);
    QCOMPARE(rc, 0);

    static const QRegularExpression progress("time=(\\d+(?:\\.\\d+)?) ");
    double highest = -1;
    int reports = 0;
    for (auto it = progress.globalMatch(text); it.hasNext();) {
        highest = qMax(highest, it.next().captured(1).toDouble());
        ++reports;
    }
    QVERIFY2(reports > 0, qPrintable(text));
    QVERIFY2(!text.contains(QRegularExpression("time=-?\\d+:")), qPrintable(text));
    // The last report stands at the end of the 2 s clip.
    QVERIFY2(highest > 1.8 && highest < 2.2, qPrintable(QString::number(highest)));

    QVERIFY(DecodesCleanly(out));
    QCOMPARE(ProbeFrameSize(out), QString("320x240"));
    QVERIFY(ProbeFormatName(out).contains("matroska"));
    QVERIFY(qAbs(ProbeDuration(out) - 2.0) < 0.2);
}

void TestVxenc::convertPassesClipRange()
{
    const QString out = Path("range out, 'x'.mp4");
    QString text;
    QCOMPARE(RunProgram(Vxenc(), {"-y", "-i", m_clip, "-s", "160x120", "-ss", "00:00:00.5", "-t", "1", out},
                        &text, 180000),
             0);
    QVERIFY(DecodesCleanly(out));
    QCOMPARE(ProbeFrameSize(out), QString("160x120"));
    QVERIFY2(qAbs(ProbeDuration(out) - 1.0) < 0.15, qPrintable(QString::number(ProbeDuration(out))));
}

void TestVxenc::convertBadOptionFails()
{
    const QString out = Path("bad.mp4");
    QString text;
    const int rc = RunProgram(Vxenc(), {"-y", "-i", m_clip, "-nosuchoption", "1", out}, &text);
    QVERIFY2(rc > 0, qPrintable(text));
    QVERIFY(text.contains("nosuchoption"));
    QVERIFY(!QFile::exists(out));
}

void TestVxenc::convertMissingFfmpeg()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VXENC_FFMPEG", "/nonexistent/ffmpeg");
    Encoder enc({"-y", "-i", m_clip, Path("never.mp4")}, env);
    QVERIFY(enc.Finish());
    QCOMPARE(enc.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(enc.process().exitCode(), 127);
    QVERIFY2(enc.output().startsWith("vxenc: cannot run ffmpeg: "), qPrintable(enc.output()));
    QCOMPARE(enc.output().trimmed().count('\n'), 0);
    QVERIFY(!QFile::exists(Path("never.mp4")));
}

void TestVxenc::convertReadsTheMeasuredFile()
{
    // Paths stay one argument whatever they hold; the profile's options pass
    // in their order among what the encoder adds.
    QVERIFY(QDir().mkpath(Path("in dir")));
    const QString input = Path("in dir/a \"b\", c.mp4");
    QFile::remove(input);
    QVERIFY(QFile::copy(m_clip, input));
    const QStringList options{"-vcodec", "libx264", "-vn", "-ss", "00:00:01.5", "-t", "10", ""};
    const QString output = "/out/x 'y' ü.mp4";
    Encoder enc(QStringList{"-y", "-i", input} + options + QStringList{output}, FakeEnvironment("args"));
    QVERIFY(enc.Finish());
    QCOMPARE(enc.process().exitCode(), 0);

    const QStringList seen = ArgumentsSeen(enc.output());
    QCOMPARE(seen.last(), output);
    QVERIFY(seen.mid(0, 3).contains("-nostdin"));
    // ffmpeg reads the file the measure vetted, by its descriptor, with the same demuxer.
    const int at = seen.indexOf("-i");
    QVERIFY2(at > 1 && seen[at - 2] == "-f" && seen[at - 1] == "mov", qPrintable(seen.join(' ')));
    QVERIFY2(QRegularExpression("^/proc/self/fd/\\d+$").match(seen.value(at + 1)).hasMatch(), qPrintable(seen.join(' ')));
    int next = at + 2;
    for (const QString &option : options) {
        next = seen.indexOf(option, next) + 1;
        QVERIFY2(next > 0, qPrintable(option + " in " + seen.join(' ')));
    }
    // Without a picture there is nothing to shape.
    QVERIFY(!seen.contains("-vf"));
    // ffmpeg never waits for the keyboard.
    QVERIFY2(enc.output().split('\n').contains("STDIN:EOF"), qPrintable(enc.output()));
}

void TestVxenc::convertTellsWhatItChose_data()
{
    QTest::addColumn<QString>("threads");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("expected"); // runs of arguments ffmpeg gets
    QTest::addColumn<QString>("note");         // the first line, "" for none
    const QStringList maps{"-map", "0:V:0?", "-map", "0:a?", "-map", "0:s?"};
    QTest::addRow("x264 share, a text subtitle copied into MKV")
        << "3" << QStringList{"-c:v", "libx264"} + maps + QStringList{"-c:s", "copy"} << "o.mkv"
        << QStringList{"-threads 3", "-c:s:0 srt"}
        << "vxenc: subtitle track 1 (mov_text): MKV cannot take \"-c:s copy\"; it is converted to srt.";
    QTest::addRow("x265 share joins its parameters")
        << "2" << QStringList{"-c:v", "libx265", "-x265-params", "log-level=none"} + maps << "o.mp4"
        << QStringList{"-x265-params log-level=none:pools=2", "-c:s:0 copy"} << "";
    QTest::addRow("SVT-AV1 share; WebM takes WebVTT")
        << "1" << QStringList{"-c:v", "libsvtav1"} + maps << "o.webm"
        << QStringList{"-svtav1-params lp=1", "-c:s:0 webvtt"} << "";
    QTest::addRow("no share: ffmpeg's own") << "" << QStringList{"-c:v", "libx264"} << "o.mp4"
                                            << QStringList{"-map 0:0 -map 0:1 -map 0:2 -map 0:3"} << "";
}

void TestVxenc::convertTellsWhatItChose()
{
    QFETCH(QString, threads);
    QFETCH(QStringList, options);
    QFETCH(QString, output);
    QFETCH(QStringList, expected);
    QFETCH(QString, note);
    QProcessEnvironment env = FakeEnvironment("args");
    env.insert("VXENC_THREADS", threads);
    Encoder enc(QStringList{"-y", "-i", m_tracks} + options + QStringList{output}, env);
    QVERIFY(enc.Finish());
    QCOMPARE(enc.process().exitCode(), 0);
    const QString seen = " " + ArgumentsSeen(enc.output()).join(' ') + " ";
    for (const QString &run : expected)
        QVERIFY2(seen.contains(" " + run + " "), qPrintable(run + " in" + seen));
    QCOMPARE(seen.contains("-threads"), threads.toInt() > 0 && options.contains("libx264"));
    // The encoder's own lines come first, before anything ffmpeg says.
    const QString first = enc.output().section('\n', 0, 0);
    QCOMPARE(first.startsWith("vxenc: "), !note.isEmpty());
    if (!note.isEmpty())
        QCOMPARE(first, note);
}

void TestVxenc::convertJoinsFilters_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("videoStart"); // the -vf chain begins so ("" for no -vf at all)
    QTest::addColumn<QString>("audio");      // the whole -af chain ("" for none)
    QTest::addRow("both kinds, in order, size last")
        << QStringList{"-vf", "yadif", "-af", "volume=0.5", "-s", "320x240", "-vf", "hflip", "-af", "volume=2"}
        << "yadif,hflip,scale=" << "volume=0.5,volume=2";
    QTest::addRow("filter:v and filter:a spellings")
        << QStringList{"-filter:v", "hflip", "-vf", "vflip", "-filter:a", "volume=2"} << "hflip,vflip,scale="
        << "volume=2";
    QTest::addRow("no video, no audio: both chains dropped")
        << QStringList{"-vf", "yadif", "-s", "320x240", "-aspect", "4:3", "-vn", "-af", "volume=2", "-an"}
        << "" << "";
    QTest::addRow("gif takes odd sizes, gets a palette") << QStringList{"-c:v", "gif"} << "split[a][b];" << "";
    QTest::addRow("gif keeps its own chain") << QStringList{"-c:v", "gif", "-vf", "fps=10"} << "fps=10,split" << "";
    QTest::addRow("even sides by default") << QStringList{"-c:v", "libx264"} << "scale=" << "";
}

void TestVxenc::convertJoinsFilters()
{
    QFETCH(QStringList, options);
    QFETCH(QString, videoStart);
    QFETCH(QString, audio);
    Encoder enc(QStringList{"-y", "-i", m_clip} + options + QStringList{"out.mp4"}, FakeEnvironment("args"));
    QVERIFY(enc.Finish());
    const QStringList seen = ArgumentsSeen(enc.output()).mid(3); // after -nostdin -hide_banner -stats
    QVERIFY2(seen.size() >= 4 && seen.last() == "out.mp4", qPrintable(enc.output()));
    QCOMPARE(seen.mid(0, 6), (QStringList{"-y", "-protocol_whitelist", "file", "-f", "mov", "-i"}));
    QCOMPARE(seen.count("-vf"), videoStart.isEmpty() ? 0 : 1);
    QCOMPARE(seen.count("-af"), audio.isEmpty() ? 0 : 1);
    QVERIFY(!seen.contains("-filter:v") && !seen.contains("-filter:a"));
    QVERIFY(!seen.contains("-s") && !seen.contains("-aspect"));
    if (!videoStart.isEmpty())
        QVERIFY2(ValueAfter(seen, "-vf").startsWith(videoStart), qPrintable(ValueAfter(seen, "-vf")));
    QCOMPARE(ValueAfter(seen, "-af"), audio);
    // Everything else passes as it came.
    for (const QString &kept : {"-vn", "-an", "-c:v", "gif"})
        QCOMPARE(seen.contains(kept), options.contains(kept));
}

void TestVxenc::convertKeepsProportions_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("frameSize");
    QTest::addColumn<double>("aspect"); // the display aspect the result must show, within 2 %
    const double odd = 321.0 / 241, portrait = 108.0 / 192;
    QTest::addRow("odd sides, original size") << "odd.mkv" << QStringList{} << "320x240" << odd;
    QTest::addRow("odd sides into 640x360") << "odd.mkv" << QStringList{"-s", "640x360"} << "480x360" << odd;
    QTest::addRow("portrait into 640x360") << "portrait.mp4" << QStringList{"-s", "640x360"} << "202x360" << portrait;
    QTest::addRow("portrait into a 4:3 DVD frame")
        << "portrait.mp4" << QStringList{"-s", "720x576", "-aspect", "4:3"} << "720x576" << 4.0 / 3;
    QTest::addRow("odd sides padded to 16:9") << "odd.mkv" << QStringList{"-aspect", "16:9"} << "430x242" << 16.0 / 9;
    QTest::addRow("deinterlace, size, mirror in one chain")
        << "portrait.mp4" << QStringList{"-vf", "yadif", "-s", "320x240", "-vf", "hflip"} << "136x240" << portrait;
}

void TestVxenc::convertKeepsProportions()
{
    QFETCH(QString, source);
    QFETCH(QStringList, options);
    QFETCH(QString, frameSize);
    QFETCH(double, aspect);
    const QString out = Path("shaped.mp4");
    QString text;
    const QStringList args = QStringList{"-y", "-i", Path(source), "-c:v", "libx264", "-preset", "ultrafast"} +
                             options + QStringList{out};
    QCOMPARE(RunProgram(Vxenc(), args, &text, 180000), 0);
    const MediaReport r = ProbeMedia(out);
    QVERIFY2(r.ok, qPrintable(text));
    QCOMPARE(r.frameSize, frameSize);
    QVERIFY2(qAbs(r.displayAspect / aspect - 1) < 0.02, qPrintable(QString::number(r.displayAspect)));
}

void TestVxenc::convertRewritesEveryProgressForm()
{
    QProcessEnvironment env = FakeEnvironment("progress");
    env.insert("FAKE_FFMPEG_EXIT", "3");
    Encoder enc({"-y", "-i", m_clip, "out.mp4"}, env);
    QVERIFY(enc.Finish());
    QCOMPARE(enc.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(enc.process().exitCode(), 3);

    const QString t = enc.output();
    QVERIFY2(t.contains("time=1.50 bitrate=   8.3kbits/s speed=9.98x    \r"), qPrintable(t));
    QVERIFY(t.contains("size=N/A time=N/A bitrate=N/A"));
    QVERIFY(t.contains("time=3723.04 bitrate=1k\r"));
    QVERIFY(t.contains("time=-0.02 bitrate=1k\r"));
    QVERIFY(t.contains("time=442800.00 \r"));          // a blank follows even at the end
    QVERIFY(t.contains("frame=    6 size=1kB time=7.25 bitrate=1k\r")); // arrived in two pieces
    QVERIFY(t.contains("time=9 bitrate=1k\n"));
    QVERIFY(t.contains("creation_time   : 2020-01-01T00:00:00.000000Z\n"));
    QVERIFY(t.contains("  Duration: N/A, start: 0.000000, bitrate: N/A\n"));
    QVERIFY(t.endsWith("last words without an end"));
    QVERIFY(!t.contains(QRegularExpression("time=-?\\d+:")));
}

void TestVxenc::convertStreamsProgressWhileRunning()
{
    const QString release = Path("release-stream");
    QProcessEnvironment env = FakeEnvironment("hold");
    env.insert("FAKE_FFMPEG_RELEASE", release);
    Encoder enc({"-y", "-i", m_clip, "out.mp4"}, env);
    QVERIFY2(enc.WaitForOutput("time=1.50 "), qPrintable(enc.output()));
    QVERIFY(enc.WaitForOutput("HOLDING\n"));
    // The report came while the child still runs, and it is in our group.
    QCOMPARE(enc.process().state(), QProcess::Running);
    const QList<qint64> children = ChildrenNamed(enc.pid(), "vxenc_fake_ffmpeg");
    QCOMPARE(children.size(), 1);
    QCOMPARE(ProcessGroupOf(children.first()), enc.pid());

    QFile f(release);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    QVERIFY(enc.Finish());
    QCOMPARE(enc.process().exitCode(), 0);
    QVERIFY(enc.output().contains("RELEASED"));
}

void TestVxenc::convertReportsChildSignal()
{
    Encoder enc({"-y", "-i", m_clip, "out.mp4"}, FakeEnvironment("signal"));
    QVERIFY(enc.Finish());
    QCOMPARE(enc.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(enc.process().exitCode(), 128 + SIGUSR1);
}

void TestVxenc::convertForwardsTerminate()
{
    QProcessEnvironment env = FakeEnvironment("hold");
    env.insert("FAKE_FFMPEG_RELEASE", Path("never-released"));
    Encoder enc({"-y", "-i", m_clip, "out.mp4"}, env);
    QVERIFY(enc.WaitForOutput("HOLDING\n"));
    enc.process().terminate();
    QVERIFY(enc.Finish(30000));
    QVERIFY2(enc.output().contains("GOT SIGTERM"), qPrintable(enc.output()));
    QCOMPARE(enc.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(enc.process().exitCode(), 255);
}

void TestVxenc::groupKillLeavesNothingRunning()
{
    Encoder enc({"-y", "-i", m_longClip, "-vcodec", "libx264", "-preset", "veryslow", "-acodec", "aac",
                 Path("killed.mp4")});
    QVERIFY2(enc.WaitForOutput("frame="), qPrintable(enc.output()));
    const QList<qint64> ffmpeg = ChildrenNamed(enc.pid(), "ffmpeg");
    QCOMPARE(ffmpeg.size(), 1);
    QCOMPARE(ProcessGroupOf(ffmpeg.first()), enc.pid());
    const qint64 vxenc = enc.pid();

    QCOMPARE(::kill(-static_cast<pid_t>(vxenc), SIGKILL), 0);
    QVERIFY(enc.Finish(30000));
    QCOMPARE(enc.process().exitStatus(), QProcess::CrashExit);
    QVERIFY(AllGone("vxenc.dll", {vxenc}));
    QVERIFY(AllGone("ffmpeg", ffmpeg));
}

void TestVxenc::killingVxencAloneEndsFfmpeg()
{
    Encoder enc({"-y", "-i", m_longClip, "-vcodec", "libx264", "-preset", "veryslow", "-acodec", "aac",
                 Path("orphan.mp4")});
    QVERIFY2(enc.WaitForOutput("frame="), qPrintable(enc.output()));
    const QList<qint64> ffmpeg = ChildrenNamed(enc.pid(), "ffmpeg");
    QCOMPARE(ffmpeg.size(), 1);

    QCOMPARE(::kill(static_cast<pid_t>(enc.pid()), SIGKILL), 0);
    QVERIFY(enc.Finish(30000));
    QVERIFY(AllGone("ffmpeg", ffmpeg));
}

void TestVxenc::killingVxencAloneEndsHeldChild()
{
    // A child that writes nothing cannot notice a closed pipe: only the
    // parent-death signal ends it.
    QProcessEnvironment env = FakeEnvironment("hold");
    env.insert("FAKE_FFMPEG_RELEASE", Path("never-released-2"));
    Encoder enc({"-y", "-i", m_clip, "out.mp4"}, env);
    QVERIFY(enc.WaitForOutput("HOLDING\n"));
    const QList<qint64> child = ChildrenNamed(enc.pid(), "vxenc_fake_ffmpeg");
    QCOMPARE(child.size(), 1);

    QCOMPARE(::kill(static_cast<pid_t>(enc.pid()), SIGKILL), 0);
    QVERIFY(enc.Finish(30000));
    QVERIFY(AllGone("vxenc_fake_ffmpeg", child));
}

QTEST_MAIN(TestVxenc)
#include "tst_vxenc.moc"
