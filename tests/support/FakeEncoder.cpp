#include "FakeEncoder.h"

#include <QFile>

FakeEncoder::FakeEncoder(const QString &programDir)
{
    QString dir = programDir;
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    m_path = dir + QStringLiteral("vxenc.dll");
    QFile::remove(m_path);
    for (const char *suffix : {".script", ".args", ".child", ".child.tmp"})
        QFile::remove(m_path + QLatin1String(suffix));
    const QString source = QStringLiteral(VELVO_FAKES_DIR "fakeenc");
    m_valid = QFile::copy(source, m_path)
        && QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                             | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                             | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                             | QFileDevice::ExeOther);
}

void FakeEncoder::setScript(const QString &script)
{
    QFile file(m_path + QStringLiteral(".script"));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(script.toUtf8());
}

void FakeEncoder::clearScript()
{
    QFile::remove(m_path + QStringLiteral(".script"));
}

QList<QStringList> FakeEncoder::runs() const
{
    QList<QStringList> result;
    QFile file(m_path + QStringLiteral(".args"));
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray text = file.readAll();
    const QList<QByteArray> lines = text.split('\n');
    // The text ends with a line end, so the last piece is always empty.
    for (int i = 0; i + 1 < lines.size(); ++i) {
        QStringList args;
        if (!lines.at(i).isEmpty())
            for (const QByteArray &arg : lines.at(i).split('\x1f'))
                args.append(QString::fromUtf8(arg));
        result.append(args);
    }
    return result;
}

QList<QStringList> FakeEncoder::conversions() const
{
    QList<QStringList> result = runs();
    result.removeIf([](const QStringList &args) { return args.size() == 2 && args.first() == "-i"; });
    return result;
}

void FakeEncoder::clearRuns()
{
    QFile::remove(m_path + QStringLiteral(".args"));
}

qint64 FakeEncoder::childPid() const
{
    QFile file(m_path + QStringLiteral(".child"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().trimmed().toLongLong();
}

QString FakeEncoder::path() const
{
    return m_path;
}
