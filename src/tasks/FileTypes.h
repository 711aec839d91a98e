#pragma once
// The file types the task list takes and what follows from them: the open
// dialog's filter, the folder scan mask, the hidden output-type list, and
// the notice for dropped or named files of other types.

#include <QString>
#include <QStringList>

// The input types, lower-case with their dot: the eight of the first design
// in their order, then today's video types, then sound-only types.
QStringList InputExtensionList();
// The output types the hidden "Output Type:" list holds.
QStringList OutputTypeExtensionList();
// "*" + e + ";" for every extension e, in order.
QString ScanMaskOf(const QStringList &extensions);
// "All Support Files(<mask>)|<mask>|" + one "<EXT> Files (*<e>)|*<e>|" pair
// per extension + "All Files (*.*)|*.*".
QString OpenDialogFilterOf(const QStringList &extensions);

// Counts the names a drop or a command line skipped for their type and
// words one notice for all of them.
class TSkippedFiles {
public:
    void Add(const QString &name);
    int Count() const { return m_count; }
    // "" when nothing was skipped; otherwise one sentence naming how many
    // files and which types ("no extension" for names without one).
    QString Notice() const;

private:
    int m_count = 0;
    QStringList m_types;
};
