#include "conversion/RunOutcome.h"

#include "common/TimeText.h"
#include "tasks/MediaProbe.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

QString PartialOutputPath(const QString &finalPath, const QString &mark)
{
    // The longest file name the file systems take, in bytes.
    constexpr int MaxNameBytes = 255;
    const int slash = finalPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = finalPath.left(slash + 1);
    QString name = finalPath.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    const QString tail = QStringLiteral(".part-") + mark + ext;
    while (!name.isEmpty() && QFile::encodeName(QLatin1Char('.') + name + tail).size() > MaxNameBytes)
        name.chop(name.size() > 1 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    return folder + QLatin1Char('.') + name + tail;
}

bool PipeAvailable()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return false;
    ::close(ends[0]);
    ::close(ends[1]);
    return true;
}

namespace {

QString Seconds(double seconds)
{
    return QString::number(seconds, 'f', 1);
}

} // namespace

void ReadOutputReport(const QByteArray &report, const QString &path, TOutputFacts &facts)
{
    facts.lengthText = ParseMeasureReport(report, path).LengthText;
    facts.hasVideo = HasVideoStream(report, path);
    facts.streams = 0;
    const QByteArray name = QFile::encodeName(path);
    const int at = name.isEmpty() ? -1 : report.indexOf(name);
    for (int from = at < 0 ? report.size() : at + name.size();
         (from = report.indexOf("Stream #", from)) >= 0; ++from)
        ++facts.streams;
}

TOutputVerdict JudgeOutput(const TOutputFacts &facts, const TOutputExpectation &expectation)
{
    TOutputVerdict verdict;
    if (!facts.exists) {
        verdict.failure = QStringLiteral("The encoder wrote no output file.");
        return verdict;
    }
    if (facts.size <= 0) {
        verdict.failure = QStringLiteral("The output file is empty.");
        return verdict;
    }
    if (!facts.measured) {
        verdict.note = QStringLiteral("The output could not be measured; it was kept unchecked.");
        return verdict;
    }
    if (facts.streams <= 0) {
        verdict.failure = QStringLiteral("The output holds no stream.");
        return verdict;
    }
    if (expectation.pictureExpected && !facts.hasVideo) {
        verdict.failure = QStringLiteral("The output has no picture.");
        return verdict;
    }
    const double length = facts.lengthText.isEmpty() ? -1 : TimeTextToSeconds(facts.lengthText);
    if (length <= 0) {
        verdict.failure = QStringLiteral("The output has no playable length.");
        return verdict;
    }
    const auto tolerance = [](double seconds) { return std::max(1.0, seconds * 0.02); };
    const double expected = expectation.expectedSeconds;
    // A time reported past the clip says nothing of the output's length.
    const double reached =
        expected > 0 ? std::min(expectation.reachedSeconds, expected) : expectation.reachedSeconds;
    if (reached > 0 && length < reached - tolerance(reached)) {
        verdict.failure = QStringLiteral("The output lasts %1 s; the encoder reached %2 s.")
                              .arg(Seconds(length), Seconds(reached));
        return verdict;
    }
    if (expected > 0 && length < expected - tolerance(expected)) {
        const double claimed = expectation.claimedSeconds;
        verdict.note = claimed > 0
            ? QStringLiteral("The source ends at %1 s although it claims %2 s.")
                  .arg(Seconds(expectation.clipStart + length), Seconds(claimed))
            : QStringLiteral("The output lasts %1 s; %2 s were expected.").arg(Seconds(length), Seconds(expected));
    }
    return verdict;
}

bool DisablesVideo(const QString &argumentText)
{
    return argumentText.split(QLatin1Char(' '), Qt::SkipEmptyParts).contains(QStringLiteral("-vn"));
}

namespace {

bool IsProgressLine(const QString &line)
{
    return line.startsWith(QLatin1String("frame=")) || line.startsWith(QLatin1String("size="))
        || line.startsWith(QLatin1String("time="));
}

bool Mentions(const QStringList &lines, std::initializer_list<const char *> needles)
{
    for (const QString &line : lines)
        for (const char *needle : needles)
            if (line.contains(QLatin1String(needle), Qt::CaseInsensitive))
                return true;
    return false;
}

// The signal that ended ffmpeg, as the encoder says it last ("vxenc:
// ffmpeg ended by signal 11"); 0 when it did not say so.
int EndingSignal(const QStringList &lines)
{
    static const QString said = QStringLiteral("vxenc: ffmpeg ended by signal ");
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        if (it->isEmpty())
            continue;
        bool ok = false;
        const int signal = it->startsWith(said) ? it->mid(said.size()).toInt(&ok) : 0;
        return ok && signal > 0 ? signal : 0;
    }
    return 0;
}

// The cause of a failure in words, from what the encoder said last.
QString Cause(const TEncoderEnd &end, const QStringList &lines)
{
    if (Mentions(lines, {"vxenc: the input is not a media file"}))
        return QStringLiteral("The input is not a media file.");
    if (end.outputFolderGone)
        return QStringLiteral("The output folder was removed during the conversion.");
    if (const int signal = EndingSignal(lines)) {
        if (signal == SIGXFSZ)
            return QStringLiteral("The output file reached this session's file size limit (ulimit -f).");
        return QStringLiteral("The encoder crashed (signal %1).").arg(signal);
    }
    if (Mentions(lines, {"No space left on device", "Disk quota exceeded"}))
        return QStringLiteral("The disk is full.");
    if (Mentions(lines, {"File too large"}))
        return QStringLiteral("The output file grew larger than the system allows.");
    if (Mentions(lines, {"not divisible by", "Invalid frame size", "frame size", "Picture size",
                         "width must be", "height must be", "dimensions not set"}))
        return QStringLiteral("The frame size does not suit the codec.");
    if (Mentions(lines, {"Invalid data found when processing input", "moov atom not found",
                         "could not find codec parameters", "does not contain any stream",
                         "Error opening input"}))
        return QStringLiteral("The input is not a readable video.");
    if (end.crashed)
        return QStringLiteral("The encoder crashed.");
    return QStringLiteral("The encoder ended with exit code %1.").arg(end.exitCode);
}

} // namespace

QString LastErrorLine(const QStringList &lines)
{
    for (auto it = lines.crbegin(); it != lines.crend(); ++it)
        if (!it->isEmpty() && !IsProgressLine(*it))
            return *it;
    return QString();
}

QString FailureText(const TEncoderEnd &end, const QStringList &lastLines)
{
    QString text = Cause(end, lastLines);
    const QString last = LastErrorLine(lastLines);
    if (!last.isEmpty())
        text += QLatin1Char('\n') + last;
    return text;
}

TCompletionMessage CompletionMessage(int failed, int count, const QString &logPath, const QStringList &warnings)
{
    TCompletionMessage message;
    if (failed == 0) {
        message = {QStringLiteral("The coversion is completed successfully."), QStringLiteral("Complete"), false, false};
    } else {
        message = {QStringLiteral("%1 of %2 files could not be converted.").arg(failed).arg(count),
                   QStringLiteral("Velvo"), true, !logPath.isEmpty()};
        if (message.namesLog)
            message.text += QStringLiteral("\nThe encoder messages are in %1").arg(logPath);
    }
    if (!warnings.isEmpty()) {
        message.text += QStringLiteral("\n\n") + warnings.join(QLatin1Char('\n'));
        message.warning = true;
    }
    return message;
}

QString ExitDescription(bool killedBySignal, int exitCode)
{
    return killedBySignal ? QStringLiteral("ended by a signal")
                          : QStringLiteral("exit status %1").arg(exitCode);
}
