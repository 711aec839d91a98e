#include "conversion/RunLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString TItemMessages::Text() const
{
    QString text;
    text += QStringLiteral("Input: ") + input + QLatin1Char('\n');
    text += QStringLiteral("Output: ") + output + QLatin1Char('\n');
    text += QStringLiteral("Command line: ") + commandLine + QLatin1Char('\n');
    text += QStringLiteral("Encoder: ") + exitText + QLatin1Char('\n');
    text += QStringLiteral("Output check: ") + verification + QLatin1Char('\n');
    text += QStringLiteral("Status: ") + status + QLatin1Char('\n');
    text += QStringLiteral("Encoder messages:\n");
    for (const QString &line : lines)
        text += QStringLiteral("  ") + line + QLatin1Char('\n');
    return text;
}

QString VelvoStateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/velvo");
}

bool TRunLog::Open(const QString &folder, const QDateTime &now, int keep)
{
    m_path.clear();
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString stem = folder + QStringLiteral("/velvo-") + now.toString(QStringLiteral("yyyyMMdd-hhmmss"));
    // Two runs within one second get two logs; "_02" sorts after ".log".
    for (int n = 1; n < 100 && m_path.isEmpty(); ++n) {
        const QString candidate =
            stem + (n == 1 ? QString() : QStringLiteral("_%1").arg(n, 2, 10, QLatin1Char('0'))) + QStringLiteral(".log");
        QFile file(candidate);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            m_path = candidate;
    }
    if (m_path.isEmpty())
        return false;
    // The newest first by name, which carries the time.
    QDir dir(folder);
    const QStringList logs =
        dir.entryList({QStringLiteral("velvo-*.log")}, QDir::Files, QDir::Name | QDir::Reversed);
    for (int i = keep; i < logs.size(); ++i)
        dir.remove(logs.at(i));
    return true;
}

bool TRunLog::Append(const TItemMessages &item)
{
    return AppendNote(item.Text());
}

bool TRunLog::AppendNote(const QString &text)
{
    if (m_path.isEmpty())
        return false;
    QFile file(m_path);
    const QByteArray bytes = text.toUtf8() + '\n';
    return file.open(QIODevice::WriteOnly | QIODevice::Append) && file.write(bytes) == bytes.size()
        && file.flush();
}
