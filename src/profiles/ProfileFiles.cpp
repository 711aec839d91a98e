#include "profiles/ProfileFiles.h"

#include "ini/NewInifiles.h"
#include "tasks/ItemData.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <algorithm>

namespace {

// Ignoring case first; the exact spelling breaks ties.
bool CatalogueOrder(const QString &a, const QString &b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

} // namespace

QStringList ListFilesWithExtension(const QString &folder, const QString &extension)
{
    const QString wanted = extension.toLower();
    QDir dir(folder);
    if (!dir.exists())
        return {};
    // Hidden and system entries count as well; folders never do.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList names;
    for (const QFileInfo &entry : entries) {
        // Regular files, or links to them: a FIFO would block the read and
        // a dangling link names no profile.
        if (!entry.isFile())
            continue;
        const QString name = entry.fileName();
        const int dot = name.lastIndexOf('.');
        const QString ext = dot < 0 ? QString() : name.mid(dot).toLower();
        if (ext == wanted)
            names.append(name);
    }
    std::sort(names.begin(), names.end(), CatalogueOrder);
    return names;
}

QStringList CatalogueFiles(const QStringList &folders)
{
    QStringList files;
    QSet<QString> taken; // profile names, folded
    for (const QString &folder : folders) {
        QStringList fromHere;
        for (const QString &file : ListFilesWithExtension(folder, QStringLiteral(".vpf"))) {
            const QString name = RemoveExtension(file).toCaseFolded();
            if (!taken.contains(name))
                fromHere.append(file);
        }
        for (const QString &file : fromHere)
            taken.insert(RemoveExtension(file).toCaseFolded());
        files += fromHere;
    }
    std::sort(files.begin(), files.end(), CatalogueOrder);
    return files;
}

QString FindProfileInFolders(const QStringList &folders, const QString &name)
{
    for (const QString &folder : folders) {
        const QString path = FindProfileFile(folder, name);
        if (QFileInfo(path).isFile())
            return path;
    }
    return folders.isEmpty() ? QString() : folders.first() + name + QStringLiteral(".vpf");
}

QStringList SplitCommaList(const QString &text)
{
    QStringList items = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
    // The piece after the last comma (the whole text when there is none) is
    // no item.
    items.removeLast();
    return items;
}

QString FindProfileFile(const QString &folder, const QString &name)
{
    const QString exact = folder + name + QStringLiteral(".vpf");
    if (QFileInfo(exact).isFile())
        return exact;
    const QString wanted = name + QStringLiteral(".vpf");
    const QStringList files = ListFilesWithExtension(folder, QStringLiteral(".vpf"));
    for (const QString &file : files)
        if (QString::compare(file, wanted, Qt::CaseInsensitive) == 0)
            return folder + file;
    return exact;
}

namespace {

QString Quoted(const QString &text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

bool HasNulByte(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.readAll().contains('\0');
}

} // namespace

ProfileData ReadProfile(const TNewInifile &ini, const QString &profileName)
{
    const QString main = QStringLiteral("Main");
    ProfileData profile;
    const QString lead = QStringLiteral("The profile %1 cannot be used: ").arg(Quoted(profileName));
    auto fail = [&](const QString &what) {
        if (profile.problem.isEmpty())
            profile.problem = lead + what;
    };

    if (HasNulByte(ini.FileName()))
        fail(QStringLiteral("the file contains a NUL byte, and the text after it would be lost."));

    profile.type = ini.ReadString(main, QStringLiteral("Type"), QStringLiteral("mp4"));
    profile.para = ini.ReadInteger(main, QStringLiteral("Para"), 0);

    QSet<QString> seen;
    int previousGroup = pgNone;
    // Stops at the first missing name, so a huge Para costs nothing.
    for (int i = 0; i < profile.para; ++i) {
        const QString key = QString::number(i);
        if (ini.FindKey(main, key) < 0) {
            fail(QStringLiteral("Para is %1, but [Main] lists only %2 parameter names.")
                     .arg(profile.para)
                     .arg(i));
            break;
        }
        ProfileParameter p;
        p.name = ini.ReadString(main, key, QString());
        const QString label = QStringLiteral("the parameter %1 (%2)").arg(i).arg(Quoted(p.name));
        if (p.name.isEmpty())
            fail(QStringLiteral("the parameter %1 has an empty name.").arg(i));
        else if (p.name.contains(QLatin1Char('[')) || p.name.contains(QLatin1Char(']')))
            fail(label + QStringLiteral(" has a name containing \"[\" or \"]\"."));
        else if (seen.contains(p.name.toLower()))
            fail(label + QStringLiteral(" has the same name as an earlier parameter."));
        seen.insert(p.name.toLower());

        p.sort = ini.ReadInteger(p.name, QStringLiteral("Sort"), -1);
        if (p.sort >= pgVideo && p.sort <= pgAdvanced)
            previousGroup = p.sort;
        else if (previousGroup == pgNone)
            fail(label + QStringLiteral(" is the first parameter and has no Sort of 1, 2 or 3."));
        p.group = previousGroup;

        p.readOnly = ini.ReadBool(p.name, QStringLiteral("ReadOnly"), false);
        p.isList = ini.ReadBool(p.name, QStringLiteral("List"), true);
        p.captionText = ini.ReadString(p.name, QStringLiteral("Caption"), QString());
        p.valueText = ini.ReadString(p.name, QStringLiteral("Value"), QString());
        p.cmd = ini.ReadString(p.name, QStringLiteral("cmd"), QString());
        p.index = ini.ReadInteger(p.name, QStringLiteral("Index"), 0);
        if (p.isList) {
            p.captions = SplitCommaList(p.captionText);
            p.values = SplitCommaList(p.valueText);
            if (p.index < 0 || p.index >= p.captions.size())
                fail(label + QStringLiteral(" has Index %1, but only %2 captions.")
                                 .arg(p.index)
                                 .arg(p.captions.size()));
            else if (p.values.size() < p.captions.size())
                fail(label + QStringLiteral(" has %1 captions, but only %2 values.")
                                 .arg(p.captions.size())
                                 .arg(p.values.size()));
        }
        profile.parameters.append(p);
    }
    return profile;
}

QString AssembleArguments(const ProfileData &profile, const ShownTextLookup &shown)
{
    QString arguments;
    for (const ProfileParameter &p : profile.parameters) {
        const QString text = shown(p.group, p.name);
        QString value;
        if (p.isList) {
            int k = -1;
            for (int i = 0; i < p.captions.size(); ++i) {
                if (QString::compare(p.captions.at(i), text, Qt::CaseInsensitive) == 0) {
                    k = i;
                    break;
                }
            }
            // A text that is no caption (a custom size) is the value itself.
            value = k < 0 ? text : p.values.value(k);
        } else {
            value = p.readOnly ? p.valueText : text;
        }
        if (p.cmd.isEmpty() || value.isEmpty())
            continue;
        if (value == QLatin1String("\\"))
            value.clear();
        arguments += QLatin1Char(' ') + p.cmd + QLatin1Char(' ') + value;
    }
    return arguments;
}
