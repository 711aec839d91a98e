#pragma once
// Profile files without widgets: finding them, splitting their comma lists,
// reading one into a plain structure with its integrity checked, and turning
// a profile plus the texts the user chose into the encoder's argument text.
//
// A profile is a .vpf file read through TNewInifile: section [Main] holds
// Type, Para and the parameter names 0..Para-1; every parameter has its own
// section with Sort, ReadOnly, List, Caption, Value, Index and cmd.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class TNewInifile;

// Names (without folder) of the files in folder whose extension (from the
// last ".", dot included) equals extension ignoring case. Only regular
// files and links to them are listed. Sorted ignoring case (exact spelling breaks ties) so that a
// remembered position names the same profile from one run to the next.
// A missing folder gives an empty list.
QStringList ListFilesWithExtension(const QString &folder, const QString &extension);

// Every item ends with a comma; whatever follows the last comma is dropped.
// Items are neither trimmed nor unescaped and may be empty.
QStringList SplitCommaList(const QString &text);

// The path of the profile named name in folder (which ends with "/"):
// folder + name + ".vpf" when that file exists; otherwise the first file of
// the folder (in catalogue order) whose name equals name + ".vpf" ignoring
// case (a profile saved as Fast.VPF); otherwise folder + name + ".vpf".
QString FindProfileFile(const QString &folder, const QString &name);

// The catalogue over several profile folders searched in order (a user's
// own folder before the program's): the .vpf file names of all of them as one
// list sorted as above, where a profile of an earlier folder hides one of the
// same name, ignoring case, in a later folder. With one folder this is
// ListFilesWithExtension(folder, ".vpf").
QStringList CatalogueFiles(const QStringList &folders);

// The file of the profile named name: FindProfileFile in the first folder
// that holds it; folders.first() + name + ".vpf" when none does.
QString FindProfileInFolders(const QStringList &folders, const QString &name);

// Profile groups, the value of Sort.
enum ProfileGroup { pgNone = 0, pgVideo = 1, pgAudio = 2, pgAdvanced = 3 };

struct ProfileParameter {
    QString name;
    int sort = -1;          // Sort as stored
    int group = pgNone;     // the group used: Sort, or the previous parameter's
    bool readOnly = false;
    bool isList = true;
    QString captionText;    // Caption as stored
    QString valueText;      // Value as stored
    QStringList captions;   // SplitCommaList(captionText)
    QStringList values;     // SplitCommaList(valueText)
    int index = 0;          // Index as stored (list parameters)
    QString cmd;
};

struct ProfileData {
    QString type = QStringLiteral("mp4"); // Type, "mp4" when absent
    int para = 0;                         // Para as stored
    QList<ProfileParameter> parameters;   // in the numbering of [Main]
    // Empty for a usable profile; otherwise one sentence naming the profile
    // and what is wrong. A profile with a problem must not be loaded, used
    // for arguments or written back.
    QString problem;
    bool ok() const { return problem.isEmpty(); }
};

// Reads the profile held by ini (opened on its file; nothing is written) and
// checks its integrity: the first parameter has a Sort of 1..3 (later ones
// keep the previous group), Para does not exceed the names listed in [Main],
// names are present, unique ignoring case and free of "[" and "]", a list
// parameter's Index lies within its captions and its Value list is at least
// as long as its Caption list. A file holding a NUL byte is refused too,
// since writing it back would drop everything after that byte.
// profileName is used in the problem text only.
ProfileData ReadProfile(const TNewInifile &ini, const QString &profileName);

// The text shown for a parameter: (group, name) -> the text of the row named
// name (ignoring case) in that group's editor, "" when there is none.
using ShownTextLookup = std::function<QString(int group, const QString &name)>;

// The argument text of a usable profile: for each parameter in order,
// " " + cmd + " " + value, where the value is the Value belonging to the
// shown caption (list), the shown text itself when it is no caption (a
// custom size), the stored Value (read-only free text) or the shown text
// (editable free text). Parameters with an empty cmd or an empty value add
// nothing; the value "\" adds the switch alone (with a trailing blank).
QString AssembleArguments(const ProfileData &profile, const ShownTextLookup &shown);
