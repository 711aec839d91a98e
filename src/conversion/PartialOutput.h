#pragma once
// The file an item's encoder writes to, made by the program itself so that
// nobody else can choose what it is: created exclusively in the output
// folder under a name nobody can guess (hidden, marked unfinished, with the
// final extension, by which the encoder picks its format), mode 0600 while
// it is written. The encoder gets the open descriptor and writes through it;
// the check reads that same file; only then does it take its final name,
// relative to the folder it was made in, and the final name is checked to
// hold this very file.

#include <QString>

#include <sys/types.h>

class TPartialOutput {
public:
    TPartialOutput() = default;
    ~TPartialOutput(); // closes the descriptors; the file is left as it is
    TPartialOutput(const TPartialOutput &) = delete;
    TPartialOutput &operator=(const TPartialOutput &) = delete;

    // Creates the partial file for finalPath ("/out/clip.mp4" gives
    // "/out/.clip.mp4.part-<random>.mp4"). False, with the reason, when the
    // folder cannot be opened or no file can be made in it.
    bool Create(const QString &finalPath, QString &error);

    bool IsOpen() const { return m_fd >= 0; }
    // The open file, close-on-exec: whoever hands it to the encoder clears
    // that in the encoder alone.
    int Descriptor() const { return m_fd; }
    QString Path() const { return m_folder + m_name; }
    QString Folder() const { return m_folder; }
    dev_t Device() const { return m_device; }
    ino_t Inode() const { return m_inode; }
    // The file as another process of this user can open it while this
    // program holds it: "/proc/<pid>/fd/<n>", for the output check.
    QString ProcPath() const;
    qint64 Size() const;

    enum class Commit { Done, NameTaken, FolderChanged, Failed };
    // Gives the file its final name (a file name, in the folder it was made
    // in) and the mode a new file gets under the umask. With replace false a
    // file that has appeared under that name meanwhile is kept: NameTaken,
    // and the caller chooses another name. FolderChanged: the partial name
    // no longer held this file, or the final name does not hold it after the
    // rename (that entry is then removed). Failed: errno says why.
    Commit Rename(const QString &finalName, bool replace);
    // Removes the partial name, only while it still holds this file.
    void Remove();

private:
    // Whether name in the folder is this very file (not following a link).
    bool Holds(const QString &name) const;

    QString m_folder; // with a trailing "/"
    QString m_name;
    int m_folderFd = -1;
    int m_fd = -1;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    bool m_committed = false;
};

// The permission bits a new file gets under this process's umask (0666 less
// the umask).
mode_t NewFileMode();
