#include "settings/ProfileSaving.h"

#include "ini/NewInifiles.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>

#include <filesystem>
#include <system_error>

namespace {

const QString MainSection = QStringLiteral("Main");

// Every item ends with a comma; whatever follows the last comma is dropped.
QStringList CommaItems(const QString &text)
{
    QStringList items = text.split(QLatin1Char(','));
    items.removeLast();
    return items;
}

int PickPosition(const QStringList &pickList, const QString &text)
{
    for (int i = 0; i < pickList.size(); ++i)
        if (QString::compare(pickList.at(i), text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString NotSaved(const QString &reason)
{
    return reason + QStringLiteral(" The profile was not saved.");
}

} // namespace

bool TProfileParameter::operator==(const TProfileParameter &o) const
{
    return Name == o.Name && Sort == o.Sort && Group == o.Group && ReadOnly == o.ReadOnly
           && IsList == o.IsList && Caption == o.Caption && Value == o.Value && Index == o.Index
           && Cmd == o.Cmd;
}

bool TProfileContent::operator==(const TProfileContent &o) const
{
    return Type == o.Type && Para == o.Para && Parameters == o.Parameters;
}

bool ReadProfileContent(const TNewInifile &ini, TProfileContent &content, QString &problem)
{
    content = TProfileContent();
    content.Type = ini.ReadString(MainSection, "Type", "mp4");
    content.Para = ini.ReadInteger(MainSection, "Para", 0);
    QSet<QString> seen;
    int group = 0;
    for (int i = 0; i < content.Para; ++i) {
        TProfileParameter p;
        p.Name = ini.ReadString(MainSection, QString::number(i), QString());
        if (p.Name.isEmpty()) {
            problem = QStringLiteral("Parameter %1 has no name.").arg(i);
            return false;
        }
        if (p.Name.contains(QLatin1Char('[')) || p.Name.contains(QLatin1Char(']'))) {
            problem = QStringLiteral("The parameter name \"%1\" holds a bracket.").arg(p.Name);
            return false;
        }
        const QString folded = p.Name.toLower();
        if (seen.contains(folded)) {
            problem = QStringLiteral("The parameter \"%1\" is listed twice.").arg(p.Name);
            return false;
        }
        seen.insert(folded);
        p.Sort = ini.ReadInteger(p.Name, "Sort", -1);
        // An unknown group keeps the group of the parameter before it.
        if (p.Sort >= 1 && p.Sort <= 3)
            group = p.Sort;
        if (group == 0) {
            problem = QStringLiteral("The parameter \"%1\" has no group.").arg(p.Name);
            return false;
        }
        p.Group = group;
        p.ReadOnly = ini.ReadBool(p.Name, "ReadOnly", false);
        p.IsList = ini.ReadBool(p.Name, "List", true);
        p.Caption = ini.ReadString(p.Name, "Caption", QString());
        p.Value = ini.ReadString(p.Name, "Value", QString());
        p.Index = ini.ReadInteger(p.Name, "Index", 0);
        p.Cmd = ini.ReadString(p.Name, "cmd", QString());
        if (p.IsList) {
            const int captions = CommaItems(p.Caption).size();
            if (p.Index < 0 || p.Index >= captions) {
                problem = QStringLiteral("The Index of \"%1\" is outside its captions.").arg(p.Name);
                return false;
            }
            if (CommaItems(p.Value).size() < captions) {
                problem = QStringLiteral("\"%1\" has fewer values than captions.").arg(p.Name);
                return false;
            }
        }
        content.Parameters.append(p);
    }
    return true;
}

bool ValueFitsProfile(const QString &text)
{
    for (const QChar c : text)
        if (c == QLatin1Char('[') || c == QLatin1Char('\r') || c == QLatin1Char('\n') || c.unicode() == 0)
            return false;
    return true;
}

bool ApplyShownValues(TNewInifile &ini, const ShownValueLookup &lookup, QString &problem)
{
    TProfileContent expected;
    QString why;
    if (!ReadProfileContent(ini, expected, why)) {
        problem = NotSaved(QStringLiteral("The profile is malformed: %1").arg(why));
        return false;
    }
    for (TProfileParameter &p : expected.Parameters) {
        if (p.ReadOnly)
            continue;
        const TShownValue shown = lookup(p.Group, p.Name);
        if (!shown.Found) {
            problem = NotSaved(
                QStringLiteral("The parameter \"%1\" is not shown in the editors.").arg(p.Name));
            return false;
        }
        if (p.IsList) {
            const int k = PickPosition(shown.PickList, shown.Text);
            if (k < 0) {
                problem = NotSaved(QStringLiteral("The value of \"%1\" is not one of its choices.")
                                       .arg(p.Name));
                return false;
            }
            ini.WriteInteger(p.Name, "Index", k);
            p.Index = k;
        } else {
            if (!ValueFitsProfile(shown.Text)) {
                problem = NotSaved(QStringLiteral("The value of \"%1\" cannot be saved: it holds \"[\" "
                                                  "or a line break.")
                                       .arg(p.Name));
                return false;
            }
            ini.WriteString(p.Name, "Caption", shown.Text);
            ini.WriteString(p.Name, "Value", shown.Text);
            p.Caption = shown.Text;
            p.Value = shown.Text;
        }
        // A text such as "Sort=2" above a key's own line would be found in
        // its place; the file must read back as exactly what was meant.
        TProfileContent now;
        if (!ReadProfileContent(ini, now, why) || !(now == expected)) {
            problem = NotSaved(QStringLiteral("The value of \"%1\" cannot be saved: the profile "
                                              "would no longer read correctly.")
                                   .arg(p.Name));
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
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        error = out.errorString();
        out.cancelWriting();
        return false;
    }
    return true;
}
