#include "settings/ProfileSaving.h"

#include "ini/NewInifiles.h"
#include "profiles/ProfileFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <climits>
#include <filesystem>
#include <unistd.h>
#include <system_error>

namespace {

int PickPosition(const QStringList &pickList, const QString &text)
{
    for (int i = 0; i < pickList.size(); ++i)
        if (QString::compare(pickList.at(i), text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool SameParameter(const ProfileParameter &a, const ProfileParameter &b)
{
    return a.name == b.name && a.sort == b.sort && a.group == b.group && a.readOnly == b.readOnly
           && a.isList == b.isList && a.captionText == b.captionText && a.valueText == b.valueText
           && a.index == b.index && a.cmd == b.cmd;
}

// Everything a reader of the file can see.
bool SameProfile(const ProfileData &a, const ProfileData &b)
{
    if (a.type != b.type || a.para != b.para || a.problem != b.problem
        || a.parameters.size() != b.parameters.size())
        return false;
    for (int i = 0; i < a.parameters.size(); ++i)
        if (!SameParameter(a.parameters.at(i), b.parameters.at(i)))
            return false;
    return true;
}

QString Refused(const QString &profileName, const QString &reason)
{
    return QStringLiteral("The profile \"%1\" was not saved. %2").arg(profileName, reason);
}

} // namespace

bool ValueFitsProfile(const QString &text)
{
    for (const QChar c : text)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
            return false;
    return true;
}

bool ApplyShownValues(TNewInifile &ini, const QString &profileName, const ShownValueLookup &lookup,
                      QString &problem)
{
    ProfileData expected = ReadProfile(ini, profileName);
    if (!expected.ok()) {
        // A malformed profile is never written back.
        problem = Refused(profileName, expected.problem);
        return false;
    }
    for (ProfileParameter &p : expected.parameters) {
        if (p.readOnly)
            continue;
        const TShownValue shown = lookup(p.group, p.name);
        if (!shown.Found) {
            problem = Refused(profileName,
                              QStringLiteral("The parameter \"%1\" is not shown in the editors.").arg(p.name));
            return false;
        }
        if (p.isList) {
            const int k = PickPosition(shown.PickList, shown.Text);
            if (k < 0) {
                problem = Refused(profileName,
                                  QStringLiteral("The value of \"%1\" is not one of its choices.").arg(p.name));
                return false;
            }
            ini.WriteInteger(p.name, "Index", k);
            p.index = k;
        } else {
            if (!ValueFitsProfile(shown.Text)) {
                problem = Refused(profileName, QStringLiteral("The value of \"%1\" holds a line break, "
                                                              "which a profile cannot store.")
                                                   .arg(p.name));
                return false;
            }
            ini.WriteString(p.name, "Caption", shown.Text);
            ini.WriteString(p.name, "Value", shown.Text);
            p.captionText = shown.Text;
            p.valueText = shown.Text;
        }
        // A text such as "Sort=2" above a key's own line would be found in
        // that key's place: the file must read back as exactly what was meant.
        if (!SameProfile(ReadProfile(ini, profileName), expected)) {
            problem = Refused(profileName, QStringLiteral("The value of \"%1\" would change how the "
                                                          "profile reads.")
                                               .arg(p.name));
            return false;
        }
    }
    return true;
}

bool SameFile(const QString &a, const QString &b)
{
    std::error_code error;
    const bool same = std::filesystem::equivalent(std::filesystem::path(QFile::encodeName(a).toStdString()),
                                                  std::filesystem::path(QFile::encodeName(b).toStdString()), error);
    return !error && same;
}

bool CopyProfileFile(const QString &source, const QString &target, QString &error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        error = in.errorString();
        return false;
    }
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError) {
        error = in.errorString();
        return false;
    }
    return WriteProfileFile(target, bytes, error);
}

bool WriteProfileFile(const QString &target, const QByteArray &bytes, QString &error)
{
    QSaveFile out(target);
    // Unbuffered, so that a short write (a full disk) shows at write() and
    // the half-written copy is never committed.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(bytes) != bytes.size() || !out.commit()) {
        error = out.errorString();
        out.cancelWriting();
        return false;
    }
    return true;
}

bool NameFitsFolder(const QString &path, QString &problem)
{
    const QFileInfo info(path);
    long limit = ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    if (limit <= 0)
        limit = NAME_MAX;
    // A file is saved through a temporary file named after it: name + ".XXXXXX".
    constexpr int TemporarySuffix = 7;
    if (QFile::encodeName(info.fileName()).size() + TemporarySuffix <= limit)
        return true;
    problem = QStringLiteral("The name \"%1\" is too long for the file system of its folder. Please choose a "
                             "shorter name.\nThe profile was not saved.")
                  .arg(info.fileName());
    return false;
}
