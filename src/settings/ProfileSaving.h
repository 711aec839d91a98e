#pragma once
// Writing the settings dialog's profile editors back into a profile file,
// without widgets: the editors are reached through a lookup. Only what the
// user can change is written (Index of a list parameter, Caption and Value of
// a free-text one); every other line of the file stays as it was.

#include <QString>
#include <QStringList>
#include <functional>

class TNewInifile;

// What an editor row shows for a parameter.
struct TShownValue {
    bool Found = false;
    QString Text;
    QStringList PickList;
};
// (group, parameter name) -> the row of that group's editor.
using ShownValueLookup = std::function<TShownValue(int group, const QString &name)>;

// False for a text that would cut the profile's lines: a line break or a NUL
// byte.
bool ValueFitsProfile(const QString &text);

// Puts the shown values of every parameter that is not read-only into ini
// (in memory only). False, with a message for the user in problem, when the
// profile is malformed, a parameter has no row, or a value cannot be stored
// without changing what the file reads as; the caller then must not save.
// profileName is used in messages only.
bool ApplyShownValues(TNewInifile &ini, const QString &profileName, const ShownValueLookup &lookup,
                      QString &problem);

// True when both paths name the same existing file (links included).
bool SameFile(const QString &a, const QString &b);

// Copies source over target. The target is replaced in one step, so a failed
// copy leaves it (and the source) as it was. False with the reason in error.
bool CopyProfileFile(const QString &source, const QString &target, QString &error);
// Writes bytes as the whole of target, in one step as CopyProfileFile does.
bool WriteProfileFile(const QString &target, const QByteArray &bytes, QString &error);

// False, with a message for the user, when the file name of path is too long
// for its folder's file system, counting the room a later save of the file
// needs for its temporary name beside it.
bool NameFitsFolder(const QString &path, QString &problem);
