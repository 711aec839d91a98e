#include "conversion/PartialOutput.h"

#include "conversion/RunOutcome.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Enough that nobody guesses it: 60 bits in 12 letters and digits.
QString RandomMark()
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz234567";
    QString mark;
    quint64 bits = QRandomGenerator::system()->generate64();
    for (int i = 0; i < 12; ++i, bits >>= 5)
        mark += QLatin1Char(letters[bits & 31]);
    return mark;
}

QByteArray Name(const QString &name)
{
    return QFile::encodeName(name);
}

} // namespace

mode_t NewFileMode()
{
    // Read, not set: setting the umask to read it would race with any other
    // thread creating a file meanwhile.
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:"))
                continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok)
                return mode_t(0666 & ~mask);
        }
    }
    return 0644;
}

TPartialOutput::~TPartialOutput()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folderFd >= 0)
        ::close(m_folderFd);
}

bool TPartialOutput::Create(const QString &finalPath, QString &error)
{
    const int slash = finalPath.lastIndexOf(QLatin1Char('/'));
    m_folder = finalPath.left(slash + 1);
    const QString finalName = finalPath.mid(slash + 1);
    // O_PATH: the folder is only named through, never read.
    m_folderFd = ::open(m_folder.isEmpty() ? "." : Name(m_folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_folderFd < 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    for (int tries = 0; tries < 16 && m_fd < 0; ++tries) {
        const QString path = PartialOutputPath(finalName, RandomMark());
        // Never an existing entry, never through a link: a name planted in
        // a shared folder makes this try fail, not write elsewhere.
        m_fd = ::openat(m_folderFd, Name(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                        0600);
        if (m_fd >= 0)
            m_name = path;
        else if (errno != EEXIST)
            break;
    }
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0) {
        error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // Whatever the umask, the encoder must be able to open it again for
    // writing, and nobody else at all.
    ::fchmod(m_fd, 0600);
    m_device = info.st_dev;
    m_inode = info.st_ino;
    return true;
}

QString TPartialOutput::ProcPath() const
{
    return QStringLiteral("/proc/%1/fd/%2").arg(QCoreApplication::applicationPid()).arg(m_fd);
}

qint64 TPartialOutput::Size() const
{
    struct stat info {};
    return m_fd >= 0 && ::fstat(m_fd, &info) == 0 ? qint64(info.st_size) : 0;
}

bool TPartialOutput::Holds(const QString &name) const
{
    struct stat info {};
    return ::fstatat(m_folderFd, Name(name).constData(), &info, AT_SYMLINK_NOFOLLOW) == 0
        && S_ISREG(info.st_mode) && info.st_dev == m_device && info.st_ino == m_inode;
}

TPartialOutput::Commit TPartialOutput::Rename(const QString &finalName, bool replace)
{
    if (m_fd < 0 || m_committed) {
        errno = EBADF;
        return Commit::Failed;
    }
    if (!Holds(m_name))
        return Commit::FolderChanged;
    ::fchmod(m_fd, NewFileMode());
    const QByteArray from = Name(m_name);
    const QByteArray to = Name(finalName);
    int result = ::renameat2(m_folderFd, from.constData(), m_folderFd, to.constData(), replace ? 0 : RENAME_NOREPLACE);
    if (result != 0 && errno == EINVAL && !replace) {
        // A file system without the flag: the name is looked at first.
        struct stat info {};
        if (::fstatat(m_folderFd, to.constData(), &info, AT_SYMLINK_NOFOLLOW) == 0)
            errno = EEXIST;
        else
            result = ::renameat(m_folderFd, from.constData(), m_folderFd, to.constData());
    }
    if (result != 0) {
        const int error = errno;
        ::fchmod(m_fd, 0600);
        errno = error;
        return error == EEXIST ? Commit::NameTaken : error == ENOENT ? Commit::FolderChanged : Commit::Failed;
    }
    if (!Holds(finalName)) {
        // Whatever was moved onto the final name is not this file: it must
        // not pass for the output.
        ::unlinkat(m_folderFd, to.constData(), 0);
        return Commit::FolderChanged;
    }
    m_name = finalName;
    m_committed = true;
    return Commit::Done;
}

void TPartialOutput::Remove()
{
    if (m_fd >= 0 && !m_committed && Holds(m_name))
        ::unlinkat(m_folderFd, Name(m_name).constData(), 0);
}
