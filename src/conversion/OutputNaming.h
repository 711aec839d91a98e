#pragma once
// Where a converted item goes and which of its own switches it adds: the
// output path with its renaming rule, and the " -ss " / " -t " pieces.

#include "tasks/ItemData.h"

#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

// Whether two paths name the same file: the same text, or both existing and
// the same file on disk (another spelling, a symbolic or a hard link).
bool SameFileOnDisk(const QString &a, const QString &b);

// A set of files known by their paths and by what they are on disk, each
// looked at once when added: a path belongs to the set when it is one of the
// paths given or names the same file (another spelling, a symbolic or a
// hard link). A run reads its inputs into one, so naming an item costs the
// same however long the list is.
class TFileSet {
public:
    TFileSet() = default;
    explicit TFileSet(const QStringList &paths);
    void Add(const QString &path);
    // One look at the disk at most.
    bool Contains(const QString &path) const;

private:
    QSet<QString> m_paths;
    QSet<QPair<quint64, quint64>> m_files; // device and inode
};

// Holds an output folder open while an item converts, to tell afterwards
// whether that very folder is still where it was. A folder removed (or
// removed and made again under the same name) takes the output file with it,
// yet the encoder, writing into its open file, still ends normally. Held
// open, the folder's inode cannot pass to a new folder of the same name.
class TFolderWatch {
public:
    explicit TFolderWatch(const QString &folder);
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch &) = delete;
    TFolderWatch &operator=(const TFolderWatch &) = delete;

    // False when the folder was missing at the start, or has been removed
    // or replaced since.
    bool StillThere() const;

private:
    QString m_folder;
    int m_fd = -1;
};

struct TOutputRequest {
    QString folder;           // output folder, ending with "/"
    QString outputName;       // the item's OutputName
    QString itemExt;          // the item's own OutputExt (may be empty)
    QString currentExt;       // the profile's CurrentOutputExt
    int position = 1;         // the item's 1-based position in the list
    bool renameExisting = false; // "Not overwrite" chosen
    const TFileSet *runInputs = nullptr;       // every input file of the run
    const QSet<QString> *runOutputs = nullptr; // names the run's items have taken
};

// The output path of one item. The plain name is folder + name + current
// extension. It is renamed to name + "_" + position + extension (the item's
// own, or the current one when the item has none) when it exists and
// renaming is chosen, or when it is an input of the run. In rename mode a
// numbered name that exists is numbered again (clip_2_2.mp4, ...) until it
// is free; in either mode a numbered name that is an input is numbered again.
// A name an earlier or running item of the same run has taken counts as
// taken in either mode, so a run never replaces what it has just made and
// two running items never share a name.
// Empty when no free name was found: the item must not be converted.
QString OutputPathFor(const TOutputRequest &request);

// The argument text of one item: the profile's text, then " -ss " + the
// stored ClipStart when the clip starts elsewhere than the file, then " -t "
// + the clip seconds rounded to the tenth (ties to even; "2.5", and "3" for
// whole seconds) when the clip is shorter or longer than the file.
QString ItemArguments(const QString &argumentText, const ltvItemData &item);

// Whether the item's clip is cut to less than a tenth of a second, which its
// " -t " piece would give as "0": there is nothing to convert, and some
// encoders never finish on an empty input.
bool ClipCutToNothing(const ltvItemData &item);
