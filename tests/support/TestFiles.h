#pragma once
// Whole-file reads and writes for tests that compare bytes on disk.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QDirIterator>
#include <QFileInfo>
#include <QMap>
#include <QTest>

// The file's bytes, or "<unreadable>" so a comparison fails visibly.
inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return file.readAll();
}

// Every file below folder (a trailing "/" expected) with its bytes, by path
// under folder: a folder that must stay untouched is compared before and after.
inline QMap<QString, QByteArray> FolderSnapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(path.mid(folder.size()), ReadBytes(path));
    }
    return files;
}

// Replaces the file (and makes its folder); fails the calling test on error.
inline void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}
