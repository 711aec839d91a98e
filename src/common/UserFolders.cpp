#include "common/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_writableForTests = -1;

QString WithSlash(QString folder)
{
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

// $name when it is an absolute path (the XDG rule), otherwise fallback under
// the home folder.
QString XdgFolder(const char *name, const QString &fallback)
{
    const QString value = qEnvironmentVariable(name);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return WithSlash(QDir::cleanPath(value));
    return WithSlash(QDir::homePath() + QLatin1Char('/') + fallback);
}

} // namespace

TFileLocations FileLocationsFor(const QString &programDir, bool programDirWritable)
{
    TFileLocations l;
    l.ProgramDir = WithSlash(programDir);
    const QString programProfiles = l.ProgramDir + QStringLiteral("Profiles/");
    l.PerUser = !programDirWritable || l.ProgramDir.startsWith(QStringLiteral("/usr/"));
    if (!l.PerUser) {
        l.PreferencesFile = l.ProgramDir + QStringLiteral("Preferences.ini");
        l.ProfileFolders = {programProfiles};
        l.ProfileSaveFolder = programProfiles;
        l.DefaultOutputFolder = l.ProgramDir;
        return l;
    }
    const QString config = XdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("velvo/");
    const QString data = XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share")) + QStringLiteral("velvo/");
    l.PreferencesFile = config + QStringLiteral("Preferences.ini");
    l.ProfileSaveFolder = data + QStringLiteral("Profiles/");
    l.ProfileFolders = {l.ProfileSaveFolder, programProfiles};
    QString videos = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (videos.isEmpty())
        videos = QDir::homePath();
    l.DefaultOutputFolder = WithSlash(videos);
    return l;
}

TFileLocations DecideFileLocations(const QString &programDir)
{
    // A portable copy whose folder is locked but whose Preferences.ini the
    // user may write keeps its files beside the program, written in place.
    const bool writable = g_writableForTests >= 0
        ? g_writableForTests == 1
        : QFileInfo(programDir).isWritable() || QFileInfo(WithSlash(programDir) + QStringLiteral("Preferences.ini")).isWritable();
    return FileLocationsFor(programDir, writable);
}

void SetProgramFolderWritableForTests(int writable)
{
    g_writableForTests = writable;
}

bool PrepareUserFiles(const TFileLocations &locations, QString &error)
{
    if (!locations.PerUser)
        return true;
    const QString configDir = QFileInfo(locations.PreferencesFile).absolutePath();
    for (const QString &folder : {configDir, locations.ProfileSaveFolder}) {
        if (!QDir().mkpath(folder)) {
            error = QStringLiteral("Cannot create the folder \"%1\".").arg(folder);
            return false;
        }
    }
    if (QFileInfo::exists(locations.PreferencesFile))
        return true;
    // The first start of this user.
    QDir().mkpath(locations.DefaultOutputFolder); // a missing videos folder would stop every batch
    QFile shipped(locations.ProgramDir + QStringLiteral("Preferences.ini"));
    if (!shipped.exists())
        return true; // the first save creates the file, as in the program folder
    if (!shipped.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("Cannot read \"%1\". %2").arg(shipped.fileName(), shipped.errorString());
        return false;
    }
    const QByteArray bytes = shipped.readAll();
    // The copy gets the user's own permissions, whatever the template has.
    QSaveFile copy(locations.PreferencesFile);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size() || !copy.commit()) {
        error = QStringLiteral("Cannot create file \"%1\". %2").arg(locations.PreferencesFile, copy.errorString());
        return false;
    }
    return true;
}

QString ProfileSaveTarget(const TFileLocations &locations, const QString &profilePath)
{
    if (!locations.PerUser || QFileInfo(profilePath).absolutePath() + QLatin1Char('/') == locations.ProfileSaveFolder)
        return profilePath;
    return locations.ProfileSaveFolder + QFileInfo(profilePath).fileName();
}

QString VelvoStateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return QDir::cleanPath(base + QStringLiteral("/velvo"));
}

bool PrivateFolderOfOurs(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // Opened without following a link, then checked and changed through
    // that descriptor: nothing else can be swapped in between.
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool ours = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
    if (ours && (info.st_mode & 07777) != 0700)
        ours = ::fchmod(fd, 0700) == 0;
    ::close(fd);
    return ours;
}
