#pragma once
// The partial files a program has made, kept on disk while they exist, so
// that a program killed outright (SIGKILL, a crash, a power cut) leaves none
// of them in an output folder for good: $XDG_STATE_HOME/velvo/
// partials-<pid>.list names each by path, device and inode, with the
// owner's start time (the task list's liveness rule). The next start removes
// those of programs that no longer run, and only where the path still holds
// that very file.

#include <QList>
#include <QString>

#include <sys/types.h>

class TPartialsList {
public:
    // The list of this process in folder (created when the first entry
    // comes, mode 0700).
    explicit TPartialsList(const QString &folder);
    // Removes the file when no entry is left; otherwise it stays for the
    // next start.
    ~TPartialsList();
    TPartialsList(const TPartialsList &) = delete;
    TPartialsList &operator=(const TPartialsList &) = delete;

    // Records a file before anything writes to it; false when the list could
    // not be written (the file is then not protected against a crash).
    bool Add(const QString &path, dev_t device, ino_t inode);
    // The file was renamed or removed.
    void Remove(dev_t device, ino_t inode);
    QString Path() const { return m_path; }
    int Count() const { return int(m_entries.size()); }

private:
    bool Save();

    struct Entry {
        QString path;
        quint64 device = 0;
        quint64 inode = 0;
    };
    QString m_path;
    qint64 m_processStart = -1;
    QList<Entry> m_entries;
};

// Start-up: removes the partial files recorded by programs that no longer
// run (never following a link, only a regular file with the recorded device
// and inode), then their lists. Returns how many files were removed.
int RemoveLeftoverPartials(const QString &folder);
