#include "Clips.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

namespace {

QString Number(double v) { return QString::number(v, 'f', 3); }

QString FirstLine(const QString &out)
{
    const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
    return lines.isEmpty() ? QString() : lines.first().trimmed();
}

// One line of ffprobe's value-only output, "" on failure.
QString ProbeValue(const QStringList &selection, const QString &file)
{
    QString out;
    QStringList args{"-v", "error"};
    args << selection << "-of" << "default=noprint_wrappers=1:nokey=1" << file;
    if (RunProgram("ffprobe", args, &out) != 0)
        return {};
    return FirstLine(out);
}

// The fields of /proc/<pid>/stat after the process name: state first.
QStringList StatFields(const QString &pid)
{
    QFile f("/proc/" + pid + "/stat");
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = f.readAll();
    // The name is in parentheses and may itself hold blanks or parentheses.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    return QString::fromLatin1(stat.mid(close + 1)).split(' ', Qt::SkipEmptyParts);
}

bool IsLive(const QStringList &fields) { return !fields.isEmpty() && fields[0] != "Z" && fields[0] != "X"; }

QStringList ProcPids()
{
    QStringList pids;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool ok = false;
        e.toLongLong(&ok);
        if (ok)
            pids << e;
    }
    return pids;
}

} // namespace

QString FfmpegPath() { return QStringLiteral("ffmpeg"); }

bool MakeTestClip(const QString &path, double seconds, int width, int height, bool withAudio, int fps,
                  const QStringList &outputOptions)
{
    QStringList args{"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                     QString("testsrc2=size=%1x%2:rate=%3:duration=%4")
                         .arg(width).arg(height).arg(fps).arg(Number(seconds))};
    if (withAudio)
        args << "-f" << "lavfi" << "-i"
             << QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(Number(seconds));
    args << "-pix_fmt" << "yuv420p" << outputOptions << path;
    return RunProgram(FfmpegPath(), args, nullptr, 180000) == 0 && QFileInfo(path).size() > 0;
}

bool MakeAudioClip(const QString &path, double seconds, const QStringList &outputOptions)
{
    QStringList args{"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
                     QString("sine=frequency=440:sample_rate=44100:duration=%1").arg(Number(seconds))};
    args << outputOptions << path;
    return RunProgram(FfmpegPath(), args) == 0 && QFileInfo(path).size() > 0;
}

bool MakeTracksClip(const QString &path, double seconds)
{
    QFile words(path + ".srt"), chapters(path + ".meta");
    if (!words.open(QIODevice::WriteOnly) || !chapters.open(QIODevice::WriteOnly))
        return false;
    words.write("1\n00:00:00,000 --> 00:00:00,500\nHello\n\n");
    chapters.write(";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=Opening\n");
    words.close();
    chapters.close();
    const QString length = Number(seconds);
    const QStringList args{
        "-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
        "testsrc2=size=160x120:rate=25:duration=" + length, "-f", "lavfi", "-i",
        "sine=frequency=440:sample_rate=48000:duration=" + length, "-i", words.fileName(), "-i",
        chapters.fileName(), "-filter_complex",
        "[1:a]asplit[a][b];[a]pan=stereo|c0=c0|c1=c0[stereo];[b]pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0[six]",
        "-map", "0:v", "-map", "[stereo]", "-map", "[six]", "-map", "2:s", "-map_chapters", "3", "-pix_fmt",
        "yuv420p", "-c:v", "libx264", "-preset", "ultrafast", "-c:a", "aac", "-c:s", "mov_text", "-metadata",
        "creation_time=2020-05-06T07:08:09Z", "-metadata:s:a:1", "language=ger", "-metadata:s:s:0",
        "language=eng", path};
    return RunProgram(FfmpegPath(), args, nullptr, 180000) == 0 && QFileInfo(path).size() > 0;
}

QStringList ProbeEntries(const QString &file, const QString &entries, const QStringList &more)
{
    QString out;
    QStringList args{"-v", "error"};
    args << more << "-show_entries" << entries << "-of" << "csv=p=0" << file;
    if (RunProgram("ffprobe", args, &out) != 0)
        return {};
    return out.split('\n', Qt::SkipEmptyParts);
}

int RunProgram(const QString &program, const QStringList &args, QString *output, int timeoutMs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(timeoutMs))
        return -1;
    p.closeWriteChannel();
    const bool finished = p.waitForFinished(timeoutMs);
    if (!finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    if (output)
        *output = QString::fromUtf8(p.readAll());
    if (!finished || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

namespace {
QString CodecOf(const QStringList &codecs, const QString &type)
{
    for (const QString &c : codecs)
        if (c.startsWith(type + ":"))
            return c.mid(type.size() + 1);
    return {};
}
} // namespace

QString MediaReport::videoCodec() const { return CodecOf(codecs, "video"); }
QString MediaReport::audioCodec() const { return CodecOf(codecs, "audio"); }

MediaReport ProbeMedia(const QString &file)
{
    MediaReport r;
    QString out;
    const QStringList args{"-v", "error", "-show_entries",
                           "format=format_name,duration:stream=codec_type,codec_name,width,height,"
                           "sample_aspect_ratio",
                           "-of", "default=noprint_wrappers=1", file};
    if (RunProgram("ffprobe", args, &out) != 0)
        return r;
    r.ok = true;
    QString type, name;
    int width = 0;
    qsizetype sizedHere = -1; // the stream whose frame size was taken
    for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
        const QString key = line.section('=', 0, 0), value = line.section('=', 1).trimmed();
        if (key == "format_name")
            r.format = value;
        else if (key == "duration" && line.startsWith("duration"))
            r.duration = value.toDouble();
        else if (key == "codec_name")
            name = value;
        else if (key == "codec_type") {
            type = value;
            r.codecs << type + ":" + name;
        } else if (key == "width")
            width = value.toInt();
        else if (key == "height" && type == "video" && r.frameSize.isEmpty() && value.toInt() > 0) {
            r.frameSize = QString("%1x%2").arg(width).arg(value);
            r.displayAspect = double(width) / value.toInt();
            sizedHere = r.codecs.size();
        } else if (key == "sample_aspect_ratio" && sizedHere == r.codecs.size()) {
            const int num = value.section(':', 0, 0).toInt(), den = value.section(':', 1).toInt();
            if (num > 0 && den > 0)
                r.displayAspect *= double(num) / den;
        }
    }
    return r;
}

double ProbeDuration(const QString &file)
{
    bool ok = false;
    const double d = ProbeValue({"-show_entries", "format=duration"}, file).toDouble(&ok);
    return ok ? d : -1;
}

QString ProbeFrameSize(const QString &file)
{
    QString out;
    const QStringList args{"-v", "error", "-select_streams", "v:0", "-show_entries",
                           "stream=width,height", "-of", "csv=s=x:p=0", file};
    if (RunProgram("ffprobe", args, &out) != 0)
        return {};
    // Some containers add an empty side-data section, which csv prints as a trailing field.
    QString size = FirstLine(out);
    while (size.endsWith('x'))
        size.chop(1);
    return size;
}

QString ProbeFormatName(const QString &file)
{
    return ProbeValue({"-show_entries", "format=format_name"}, file);
}

bool DecodesCleanly(const QString &file)
{
    QString out;
    const int rc = RunProgram(FfmpegPath(), {"-v", "error", "-nostdin", "-i", file, "-f", "null", "-"},
                              &out, 180000);
    return rc == 0 && out.trimmed().isEmpty();
}

QList<qint64> ProcessesNamed(const QString &name)
{
    QList<qint64> found;
    const qint64 self = QCoreApplication::applicationPid();
    for (const QString &pid : ProcPids()) {
        if (pid.toLongLong() == self || !IsLive(StatFields(pid)))
            continue;
        const QString dir = "/proc/" + pid;
        bool match = QFileInfo(QFile::symLinkTarget(dir + "/exe")).fileName() == name;
        if (!match) {
            QFile cmd(dir + "/cmdline");
            if (cmd.open(QIODevice::ReadOnly)) {
                const QByteArray argv0 = cmd.readAll().split('\0').value(0);
                match = !argv0.isEmpty() && QFileInfo(QString::fromUtf8(argv0)).fileName() == name;
            }
        }
        if (!match) {
            // The kernel keeps only the first 15 bytes of the name.
            QFile comm(dir + "/comm");
            if (comm.open(QIODevice::ReadOnly))
                match = QString::fromUtf8(comm.readAll()).trimmed() == name.left(15);
        }
        if (match)
            found << pid.toLongLong();
    }
    return found;
}

QList<qint64> ProcessesRunning(const QString &program)
{
    QList<qint64> found;
    const QString target = QFileInfo(program).canonicalFilePath();
    for (const QString &pid : ProcPids())
        if (IsLive(StatFields(pid)) && QFile::symLinkTarget("/proc/" + pid + "/exe") == target)
            found << pid.toLongLong();
    return found;
}

QList<qint64> ChildProcesses(qint64 pid)
{
    QList<qint64> children;
    for (const QString &p : ProcPids()) {
        const QStringList fields = StatFields(p);
        // state, ppid, pgrp, ...
        if (IsLive(fields) && fields.size() > 1 && fields[1].toLongLong() == pid)
            children << p.toLongLong();
    }
    return children;
}

qint64 ProcessGroupOf(qint64 pid)
{
    const QStringList fields = StatFields(QString::number(pid));
    return fields.size() > 2 ? fields[2].toLongLong() : -1;
}

char ProcessState(qint64 pid)
{
    const QStringList fields = StatFields(QString::number(pid));
    return fields.isEmpty() || fields[0].isEmpty() ? '?' : fields[0].at(0).toLatin1();
}
