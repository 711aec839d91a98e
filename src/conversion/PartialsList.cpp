#include "conversion/PartialsList.h"

#include "common/ProcessInfo.h"
#include "tasks/TaskListState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray Heading = "[Velvo Partial Files]";

// "File=<device> <inode> <path, percent-encoded bytes>"
QByteArray EntryLine(const QString &path, quint64 device, quint64 inode)
{
    return "File=" + QByteArray::number(device) + ' ' + QByteArray::number(inode) + ' '
        + QFile::encodeName(path).toPercentEncoding("/") + '\n';
}

struct TLeftover {
    qint64 pid = 0;
    qint64 start = -1;
    QList<QByteArray> files; // entry lines without "File="
};

bool ReadLeftover(const QString &path, TLeftover &leftover)
{
    QFile file(path);
    // A list holds a few lines; anything far larger is not one of ours.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1024 * 1024)
        return false;
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.size() < 3 || lines.at(0) != Heading || !lines.at(1).startsWith("Pid=")
        || !lines.at(2).startsWith("ProcessStart="))
        return false;
    bool ok = false;
    leftover.pid = lines.at(1).mid(4).toLongLong(&ok);
    if (!ok)
        return false;
    leftover.start = lines.at(2).mid(13).toLongLong(&ok);
    if (!ok)
        leftover.start = -1;
    for (int i = 3; i < lines.size(); ++i)
        if (lines.at(i).startsWith("File="))
            leftover.files << lines.at(i).mid(5);
    return true;
}

// Removes one recorded file where its path still holds it.
bool RemoveRecorded(const QByteArray &entry)
{
    const QList<QByteArray> parts = entry.split(' ');
    bool deviceOk = false;
    bool inodeOk = false;
    if (parts.size() != 3)
        return false;
    const quint64 device = parts.at(0).toULongLong(&deviceOk);
    const quint64 inode = parts.at(1).toULongLong(&inodeOk);
    const QByteArray path = QByteArray::fromPercentEncoding(parts.at(2));
    const int slash = path.lastIndexOf('/');
    if (!deviceOk || !inodeOk || slash < 0 || slash + 1 == path.size())
        return false;
    const QByteArray folder = slash == 0 ? QByteArray("/") : path.left(slash);
    const QByteArray name = path.mid(slash + 1);
    const int folderFd = ::open(folder.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0)
        return false;
    struct stat info {};
    const bool same = ::fstatat(folderFd, name.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(info.st_mode) && quint64(info.st_dev) == device && quint64(info.st_ino) == inode;
    const bool removed = same && ::unlinkat(folderFd, name.constData(), 0) == 0;
    ::close(folderFd);
    return removed;
}

} // namespace

TPartialsList::TPartialsList(const QString &folder)
    : m_path(folder + QStringLiteral("/partials-%1.list").arg(::getpid()))
    , m_processStart(ProcessStartTicks(::getpid()))
{
}

TPartialsList::~TPartialsList()
{
    if (m_entries.isEmpty())
        QFile::remove(m_path);
}

bool TPartialsList::Add(const QString &path, dev_t device, ino_t inode)
{
    m_entries.append({path, quint64(device), quint64(inode)});
    return Save();
}

void TPartialsList::Remove(dev_t device, ino_t inode)
{
    const qsizetype before = m_entries.size();
    m_entries.removeIf([&](const Entry &e) { return e.device == quint64(device) && e.inode == quint64(inode); });
    if (m_entries.size() != before)
        Save();
}

bool TPartialsList::Save()
{
    if (m_entries.isEmpty())
        return QFile::remove(m_path) || !QFile::exists(m_path);
    QByteArray text = Heading + "\nPid=" + QByteArray::number(::getpid()) + "\nProcessStart="
        + QByteArray::number(m_processStart) + '\n';
    for (const Entry &e : std::as_const(m_entries))
        text += EntryLine(e.path, e.device, e.inode);
    // Whole or not at all, yet without waiting for the disk: only a crash of
    // this program, not of the machine, is what the list is for.
    const QString temporary = m_path + QStringLiteral(".new");
    QFile file(temporary);
    if (!MakePrivateFolder(QFileInfo(m_path).absolutePath()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(text) != text.size() || !file.flush())
        return false;
    file.close();
    return ::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_path).constData()) == 0;
}

int RemoveLeftoverPartials(const QString &folder)
{
    static const QRegularExpression name(QStringLiteral("^partials-([0-9]{1,18})\\.list$"));
    int removed = 0;
    const QDir dir(folder);
    for (const QString &fileName : dir.entryList({QStringLiteral("partials-*.list")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = name.match(fileName);
        TLeftover leftover;
        const QString path = dir.filePath(fileName);
        if (!m.hasMatch() || !ReadLeftover(path, leftover) || leftover.pid != m.captured(1).toLongLong()
            || RecordedOwnerRuns(leftover.pid, leftover.start))
            continue;
        for (const QByteArray &entry : std::as_const(leftover.files))
            removed += RemoveRecorded(entry) ? 1 : 0;
        QFile::remove(path);
    }
    return removed;
}
