#pragma once
// Files and folders on their way into the task list. They are taken from a
// zero timer a slice at a time, so that a folder of thousands of files never
// holds the window: each slice adds rows for at most SliceMs milliseconds and
// then lets the event loop run.

#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QTimer;

class TAddQueue : public QObject {
    Q_OBJECT
public:
    explicit TAddQueue(QObject *parent = nullptr);

    // What the entries become: a file is added as one row; a folder is listed
    // (full paths, in the order they are to be added) and its files take its
    // place at the head of the queue.
    std::function<void(const QString &file)> AddFile;
    std::function<QStringList(const QString &folder)> ListFolder;

    void AppendFile(const QString &path);
    void AppendFolder(const QString &folder);
    // Forgets every entry not yet taken.
    void Clear();
    // Entries not yet taken, a folder not yet listed counting as one.
    int Pending() const { return int(m_entries.size()); }

    // The longest a slice goes on adding before the event loop runs again.
    int SliceMs = 10;

signals:
    // After each slice; Pending() tells whether more are to come.
    void SliceDone();

private:
    struct Entry {
        QString path;
        bool folder = false;
    };
    void Append(const QString &path, bool folder);
    void RunSlice();

    std::deque<Entry> m_entries;
    QTimer *m_timer = nullptr;
};
