#include "conversion/OutputNaming.h"

#include "common/TimeText.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A numbered name that stays taken this often is given up on.
constexpr int MaxRenumbering = 1000;

// Seconds to the tenth with "." as the point, as the time texts carry them;
// whole seconds without a fraction ("3", "2.5").
QString TenthsText(double seconds)
{
    const qint64 tenths = RoundHalfEven(seconds * 10.0);
    const QString sign = tenths < 0 ? QStringLiteral("-") : QString();
    const quint64 magnitude = tenths < 0 ? 0 - quint64(tenths) : quint64(tenths);
    QString text = sign + QString::number(magnitude / 10);
    if (magnitude % 10 != 0)
        text += QLatin1Char('.') + QString::number(magnitude % 10);
    return text;
}

} // namespace

bool SameFileOnDisk(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    struct stat sa {};
    struct stat sb {};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0
        || ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {

bool FileIdentity(const QString &path, QPair<quint64, quint64> &identity)
{
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return false;
    identity = {quint64(st.st_dev), quint64(st.st_ino)};
    return true;
}

} // namespace

TFileSet::TFileSet(const QStringList &paths)
{
    for (const QString &path : paths)
        Add(path);
}

void TFileSet::Add(const QString &path)
{
    m_paths.insert(path);
    QPair<quint64, quint64> identity;
    if (FileIdentity(path, identity))
        m_files.insert(identity);
}

bool TFileSet::Contains(const QString &path) const
{
    if (m_paths.contains(path))
        return true;
    QPair<quint64, quint64> identity;
    return !m_files.isEmpty() && FileIdentity(path, identity) && m_files.contains(identity);
}

TFolderWatch::TFolderWatch(const QString &folder)
    : m_folder(folder)
{
    // O_PATH needs no permission on the folder itself.
    m_fd = ::open(QFile::encodeName(folder).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

TFolderWatch::~TFolderWatch()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool TFolderWatch::StillThere() const
{
    struct stat held {};
    struct stat now {};
    if (m_fd < 0 || ::fstat(m_fd, &held) != 0 || held.st_nlink == 0)
        return false;
    return ::stat(QFile::encodeName(m_folder).constData(), &now) == 0 && now.st_dev == held.st_dev
        && now.st_ino == held.st_ino;
}

QString OutputPathFor(const TOutputRequest &request)
{
    const auto isInput = [&request](const QString &path) {
        return request.runInputs && request.runInputs->Contains(path);
    };
    const auto isTaken = [&request](const QString &path) {
        return request.runOutputs && request.runOutputs->contains(path);
    };
    const QString plain = request.folder + request.outputName + request.currentExt;
    const bool exists = QFileInfo::exists(plain);
    if (!(exists && request.renameExisting) && !isInput(plain) && !isTaken(plain))
        return plain; // an existing file is overwritten (the encoder gets -y)

    // An item named before any profile loaded has no extension of its own.
    const QString ext = request.itemExt.isEmpty() ? request.currentExt : request.itemExt;
    const QString suffix = QLatin1Char('_') + QString::number(request.position);
    QString base = request.folder + request.outputName + suffix;
    for (int tries = 0; tries < MaxRenumbering; ++tries) {
        const QString candidate = base + ext;
        const bool taken = (request.renameExisting && QFileInfo::exists(candidate)) || isInput(candidate)
            || isTaken(candidate);
        if (!taken)
            return candidate;
        base += suffix;
    }
    return QString();
}

bool ClipCutToNothing(const ltvItemData &item)
{
    return item.ClipLengthSec != item.LengthSec && RoundHalfEven(item.ClipLengthSec * 10.0) == 0;
}

QString ItemArguments(const QString &argumentText, const ltvItemData &item)
{
    QString arguments = argumentText;
    if (item.ClipStartSec != item.SourceStartSec)
        arguments += QStringLiteral(" -ss ") + item.ClipStart;
    if (item.ClipLengthSec != item.LengthSec)
        arguments += QStringLiteral(" -t ") + TenthsText(item.ClipLengthSec);
    return arguments;
}
