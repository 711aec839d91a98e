#pragma once
// Where the program keeps its files, decided once at start-up.
//
// A program folder the user can write (the build tree, a portable copy) holds
// everything, as it always has: Preferences.ini, Profiles/, and it is the
// first output folder. An installed folder (one the user cannot write, or any
// folder under /usr, which belongs to the package manager even for root)
// leaves the user's files in the XDG folders:
// - Preferences.ini in $XDG_CONFIG_HOME/velvo/ (~/.config/velvo/); a
//   Preferences.ini in the program folder is the template of the first one;
// - profiles read from $XDG_DATA_HOME/velvo/Profiles/ first and from the
//   program folder's Profiles/ second, a user file winning by name;
// - every profile save goes to the user's folder;
// - the first output folder is the user's videos folder.

#include <QString>
#include <QStringList>

struct TFileLocations {
    bool PerUser = false;
    QString ProgramDir;          // with a trailing "/"
    QString PreferencesFile;
    QStringList ProfileFolders;  // each with a trailing "/", searched in order
    QString ProfileSaveFolder;   // with a trailing "/"
    QString DefaultOutputFolder; // with a trailing "/"
};

// The rule itself: programDir (with a trailing "/") and whether the user can
// write it. Reads XDG_CONFIG_HOME, XDG_DATA_HOME and the videos folder.
TFileLocations FileLocationsFor(const QString &programDir, bool programDirWritable);

// The rule applied to a real folder: writable as the file system says, or
// holding a Preferences.ini the user may write.
TFileLocations DecideFileLocations(const QString &programDir);

// Tests: treat every program folder as writable (true), as installed
// (false), or ask the file system again (unset, the default).
void SetProgramFolderWritableForTests(int writable); // 1, 0, or -1 for unset

// On a per-user start: creates the user's folders, copies the program
// folder's Preferences.ini as the user's first one, and creates the videos
// folder on that first start. Nothing in the program folder is touched, and
// nothing at all happens for a writable program folder. False, with the
// reason in error, when a folder or the first file cannot be made.
bool PrepareUserFiles(const TFileLocations &locations, QString &error);

// Where a save of the profile file profilePath goes: the file itself, or for
// per-user files one that is not in the user's folder yet, the file of the
// same name there (the save then starts from a copy of it).
QString ProfileSaveTarget(const TFileLocations &locations, const QString &profilePath);

// $XDG_STATE_HOME/velvo (by default ~/.local/state/velvo), cleaned ("/s//"
// gives "/s/velvo"), not created.
QString VelvoStateFolder();

// Makes folder (mode 0700) unless it exists, and tells whether it is a
// private folder of this user: a link, another user's folder or anything
// else of that name is refused before anything is changed; a folder of ours
// that others may enter is made private.
bool PrivateFolderOfOurs(const QString &folder);
