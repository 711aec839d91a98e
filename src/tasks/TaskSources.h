#pragma once
// Where the task list's files come from besides the dialogs: the list file
// named on the command line and the scan of a folder.

#include <QString>
#include <QStringList>

// Whether the first command-line parameter names a list file: the extension
// of its file-name part, lower-cased, is ".tmp".
bool IsListFileName(const QString &name);

// The lines of a text file (ends of line CR, LF or CR LF; no empty last line
// for a final line end). Throws EFileError "Cannot open file "<name>". <reason>"
// when the file cannot be read.
QStringList ReadListFile(const QString &fileName);
// The same splitting for text already read.
QStringList SplitTextLines(const QString &text);

// The names (without folder) of the plain files of folder that match one of
// the ";"-separated patterns of scanMask, letter case ignored; hidden files
// (names beginning with ".") and subfolders left out; sorted without regard
// to case.
QStringList ScanFolder(const QString &folder, const QString &scanMask);
