#pragma once
// Writing the settings dialog's profile editors back into a profile file,
// without widgets: the editors are reached through a lookup. Only what the
// user can change is written (Index of a list parameter, Caption and Value of
// a free-text one); every other line of the file stays as it was.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TNewInifile;

// One parameter as the profile readers see it.
struct TProfileParameter {
    QString Name;
    int Sort = -1;
    int Group = 0; // editor it is shown in: 1 Video, 2 Audio, 3 Advanced
    bool ReadOnly = false;
    bool IsList = true;
    QString Caption;
    QString Value;
    int Index = 0;
    QString Cmd;

    bool operator==(const TProfileParameter &other) const;
};

struct TProfileContent {
    QString Type;
    int Para = 0;
    QList<TProfileParameter> Parameters;

    bool operator==(const TProfileContent &other) const;
};

// Reads a profile by the readers' rules. False, with problem set, for a
// profile that breaks the format's limits (a parameter without a name, a
// name with "[" or "]" or used twice, a first parameter without a group, a
// list Index outside the captions, fewer values than captions).
bool ReadProfileContent(const TNewInifile &ini, TProfileContent &content, QString &problem);

// What an editor row shows for a parameter.
struct TShownValue {
    bool Found = false;
    QString Text;
    QStringList PickList;
};
// (group, parameter name) -> the row of that group's editor.
using ShownValueLookup = std::function<TShownValue(int group, const QString &name)>;

// False for a text that would cut the profile's section or its lines: "[",
// a line break or a NUL byte.
bool ValueFitsProfile(const QString &text);

// Puts the shown values of every parameter that is not read-only into ini
// (in memory only). False, with a message for the user in problem, when the
// profile is malformed, a parameter has no row, or a value cannot be stored
// without changing what the file reads as; the caller then must not save.
bool ApplyShownValues(TNewInifile &ini, const ShownValueLookup &lookup, QString &problem);

// True when both paths name the same existing file (links included).
bool SameFile(const QString &a, const QString &b);

// Copies source over target. The target is replaced in one step, so a failed
// copy leaves it (and the source) as it was. False with the reason in error.
bool CopyProfileFile(const QString &source, const QString &target, QString &error);
