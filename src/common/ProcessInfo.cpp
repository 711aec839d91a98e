#include "common/ProcessInfo.h"

#include <QByteArray>
#include <QFile>
#include <QList>

qint64 ProcessStartTicks(qint64 pid)
{
    if (pid <= 0)
        return -1;
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = file.readAll();
    // The command name may hold blanks and parentheses: count fields after the last ')'.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return -1;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // starttime is field 22 of the line; fields here start at field 3.
    constexpr int StartTimeIndex = 22 - 3;
    bool ok = false;
    const qint64 ticks = fields.size() > StartTimeIndex ? fields[StartTimeIndex].toLongLong(&ok) : -1;
    return ok ? ticks : -1;
}

bool RecordedOwnerRuns(qint64 pid, qint64 recordedStart)
{
    const qint64 liveStart = ProcessStartTicks(pid);
    return liveStart >= 0 && (recordedStart < 0 || recordedStart == liveStart);
}
