#pragma once
// Test support around real media: making clips with ffmpeg, running
// programs, checking outputs with ffprobe, and looking for processes.

#include <QList>
#include <QString>
#include <QStringList>

// The ffmpeg program used to make and check clips ("ffmpeg", found on PATH).
QString FfmpegPath();

// Generates a clip with ffmpeg -f lavfi (testsrc2 video, sine audio); the
// container and codecs follow the file extension, unless outputOptions (put
// before the output file) choose others. True on success.
bool MakeTestClip(const QString &path, double seconds, int width = 320, int height = 240,
                  bool withAudio = true, int fps = 25, const QStringList &outputOptions = {});

// Generates a clip with a sine tone and no video stream. True on success.
bool MakeAudioClip(const QString &path, double seconds, const QStringList &outputOptions = {});

// A film with what a conversion must keep: testsrc2 video (160x120), a
// stereo and a 5.1 AAC track at 48 kHz (the second German), an English
// mov_text subtitle, a recording date (2020-05-06T07:08:09Z) and one
// chapter. Its text files are written beside it. True on success.
bool MakeTracksClip(const QString &path, double seconds = 1.0);

// Runs program with args (no shell) and waits up to timeoutMs. Returns its
// exit code, or -1 when it could not start, crashed or timed out (it is then
// killed). The merged standard output and error go into *output when given.
int RunProgram(const QString &program, const QStringList &args, QString *output = nullptr,
               int timeoutMs = 60000);

// Duration in seconds from ffprobe, -1 on failure.
double ProbeDuration(const QString &file);
// "WxH" of the first video stream, "" when there is none or on failure.
QString ProbeFrameSize(const QString &file);
// The container's format name as ffprobe gives it ("mov,mp4,m4a,3gp,3g2,mj2").
QString ProbeFormatName(const QString &file);
// What one ffprobe run tells of a converted file.
struct MediaReport {
    bool ok = false;
    QString format;      // the container's format name
    QStringList codecs;  // "video:h264", "audio:aac", in stream order
    QString frameSize;   // "WxH" of the first video stream, "" without one
    double displayAspect = 0; // of the first video stream: width x pixel aspect / height
    double duration = -1;
    QString videoCodec() const;
    QString audioCodec() const;
};
MediaReport ProbeMedia(const QString &file);
// ffprobe's answer for the file: one line per section, the fields of
// entries ("stream=codec_type,channels") separated by commas.
QStringList ProbeEntries(const QString &file, const QString &entries, const QStringList &more = {});

// True when the whole file decodes without a single error message.
bool DecodesCleanly(const QString &file);

// Pids of live processes (zombies excluded, this process excluded) whose
// executable file name, first command-line word or process name is name.
QList<qint64> ProcessesNamed(const QString &name);
// Pids of live processes running the program file at program (a full path).
QList<qint64> ProcessesRunning(const QString &program);
// Pids of the live processes whose parent is pid.
QList<qint64> ChildProcesses(qint64 pid);
// The process group of pid, -1 when it does not exist.
qint64 ProcessGroupOf(qint64 pid);
// The state letter of pid in /proc ('S', 'R', 'T' when stopped, 'Z'), '?'
// when it does not exist.
char ProcessState(qint64 pid);
