#pragma once
// The task list kept on disk while the program runs, so that a crash or a
// lost session does not lose the batch. Each running program keeps its own
// file, $XDG_STATE_HOME/velvo/tasklist-<pid>.ini; a file whose process is gone
// is offered back at the next start. Plain logic: the file's text, the state
// folder, who owns a file, and the keeper that saves the rows of a list model.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QAbstractItemModel;

// One row per list row: the caption and the ten sub-item texts.
constexpr int TaskRowTexts = 11;

struct TTaskListSnapshot {
    qint64 Pid = 0;
    // The owner's start time in clock ticks since boot, so that a file is
    // not taken for a live program's when its process number was reused.
    qint64 ProcessStart = -1;
    QList<QStringList> Rows;
};

QByteArray TaskListText(const TTaskListSnapshot &snapshot);
// The same from any row source: rowText(row, k) is text k (0 to 10) of a row.
QByteArray TaskListText(qint64 pid, qint64 processStart, int rows,
                        const std::function<QString(int row, int text)> &rowText);
// False (with a reason) for anything but a complete, well-formed text.
bool ParseTaskList(const QByteArray &text, TTaskListSnapshot &snapshot, QString &error);

// $XDG_STATE_HOME/velvo, or ~/.local/state/velvo when the variable is unset,
// empty or not an absolute path.
QString TaskStateFolder();
// Creates the folder (and any missing parent) with mode 0700.
bool MakePrivateFolder(const QString &folder);
QString TaskListPath(const QString &folder, qint64 pid);

// The task-list files of the folder whose program is gone, oldest first.
QStringList OrphanedTaskLists(const QString &folder);
// Takes an orphaned file over by renaming it to a name of this process, so
// that two programs starting together never both restore it. Empty when
// another program was faster.
QString ClaimTaskList(const QString &orphan);

// Saves the rows of a list model (columns 0 to 10 of its top-level rows) to
// its file, at most once per interval after a change; removes the file when
// the list is empty and when the keeper is destroyed (a normal end) unless
// told to keep it.
class TTaskListKeeper : public QObject {
    Q_OBJECT
public:
    TTaskListKeeper(QAbstractItemModel *model, const QString &path, QObject *parent = nullptr);
    ~TTaskListKeeper() override;

    const QString &Path() const { return m_path; }
    // Writes a pending change at once; false when the file could not be
    // written.
    bool SaveNow();
    // Writes the list now, and leaves the file when the keeper goes: the
    // program ends without a normal close (a session's end during a run),
    // and the list is offered back at the next start.
    void KeepForNextStart();
    bool Pending() const { return m_timer.isActive(); }
    // Called once, for the first save that fails (later failures are silent).
    std::function<void(const QString &)> OnSaveError;
    int IntervalMs() const { return m_timer.interval(); }
    void SetIntervalMs(int ms) { m_timer.setInterval(ms); }

private:
    void Changed();
    // Follows the model's change signals, or stops following them.
    void Watch(bool on);

    QAbstractItemModel *m_model;
    QString m_path;
    qint64 m_processStart;
    QTimer m_timer;
    bool m_reported = false;
    bool m_keep = false;
    QList<QMetaObject::Connection> m_watches;
};
