#include "conversion/RunOutcome.h"

#include "common/TimeText.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

QString PartialOutputPath(const QString &finalPath, qint64 pid)
{
    // The longest file name the file systems take, in bytes.
    constexpr int MaxNameBytes = 255;
    const int slash = finalPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = finalPath.left(slash + 1);
    QString name = finalPath.mid(slash + 1);
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot > 0 ? name.mid(dot) : QString();
    const QString mark = QStringLiteral(".part-") + QString::number(pid) + ext;
    // A final name near the limit is shortened here, never the final one.
    while (!name.isEmpty() && QFile::encodeName(QLatin1Char('.') + name + mark).size() > MaxNameBytes)
        name.chop(name.size() > 1 && name.at(name.size() - 1).isLowSurrogate() ? 2 : 1);
    return folder + QLatin1Char('.') + name + mark;
}

bool CommitOutput(const QString &partial, const QString &finalPath, bool keepExisting)
{
    const unsigned flags = keepExisting ? RENAME_NOREPLACE : 0;
    return ::renameat2(AT_FDCWD, QFile::encodeName(partial).constData(), AT_FDCWD,
                       QFile::encodeName(finalPath).constData(), flags)
        == 0;
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

QString VerifyOutput(const TOutputFacts &facts, double clipSeconds, bool videoExpected)
{
    if (!facts.exists)
        return QStringLiteral("The encoder wrote no output file.");
    if (facts.size <= 0)
        return QStringLiteral("The output file is empty.");
    const double length = facts.lengthText.isEmpty() ? -1 : TimeTextToSeconds(facts.lengthText);
    if (length <= 0)
        return QStringLiteral("The output has no playable length.");
    if (videoExpected && !facts.hasVideo)
        return QStringLiteral("The output has no picture.");
    if (clipSeconds > 0) {
        const double tolerance = std::max(1.0, clipSeconds * 0.02);
        if (std::fabs(length - clipSeconds) > tolerance)
            return QStringLiteral("The output lasts %1 s; %2 s were expected.")
                .arg(Seconds(length), Seconds(clipSeconds));
    }
    return QString();
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

// The cause of a failure in words, from what the encoder said last.
QString Cause(const TEncoderEnd &end, const QStringList &lines)
{
    if (Mentions(lines, {"vxenc: the input is not a media file"}))
        return QStringLiteral("The input is not a media file.");
    if (end.outputFolderGone)
        return QStringLiteral("The output folder was removed during the conversion.");
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
