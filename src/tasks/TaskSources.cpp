#include "tasks/TaskSources.h"

#include "ini/NewInifiles.h"
#include "tasks/ItemData.h"

#include <QDir>
#include <QFile>

#include <algorithm>

bool IsListFileName(const QString &name)
{
    QString ext = FileExtension(name);
    for (QChar &c : ext)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + 32);
    return ext == QLatin1String(".tmp");
}

QStringList SplitTextLines(const QString &text)
{
    QStringList lines;
    const int n = text.size();
    int start = 0;
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == '\r' || c == '\n') {
            lines.append(text.mid(start, i - start));
            if (c == '\r' && i + 1 < n && text.at(i + 1) == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

QStringList ReadListFile(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EFileError(QStringLiteral("Cannot open file \"%1\". %2").arg(fileName, file.errorString()));
    // A byte-order mark would become part of the first name.
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return SplitTextLines(QFile::decodeName(bytes));
}

QStringList ScanFolder(const QString &folder, const QString &scanMask)
{
    if (folder.isEmpty())
        return {};
    QDir dir(folder);
    dir.setNameFilters(scanMask.split(QLatin1Char(';'), Qt::SkipEmptyParts));
    // Plain files only: no folders, no hidden names, no devices or sockets.
    dir.setFilter(QDir::Files);
    QStringList names = dir.entryList(QDir::Files, QDir::Unsorted);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}
