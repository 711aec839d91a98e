#pragma once
// What the encoder said about each item of a run: kept for the task list's
// "Show Encoder Messages" window and written to a plain-text log per run in
// the user's state folder, so that a failure can still be read after the
// program has closed.

#include <QDateTime>
#include <QString>
#include <QStringList>

// How many of an encoder's last output lines are kept per item.
constexpr int KeptEncoderLines = 200;

struct TItemMessages {
    QString input;
    QString output;
    QString commandLine;
    QString exitText;      // "exit status 1", "ended by a signal", ...
    QString verification;  // "passed", or why the output was refused
    QString status;        // the row's final status
    QStringList lines;     // the encoder's last lines, oldest first

    // The text shown for one item, in the window and in the log.
    QString Text() const;
};

// $XDG_STATE_HOME/velvo (by default ~/.local/state/velvo), not created.
QString VelvoStateFolder();

// One run's log file: velvo-<yyyyMMdd-hhmmss>.log. Writing it never fails a
// run: a log that cannot be written is simply not there (Path() is empty).
class TRunLog {
public:
    // Creates the folder (mode 0700) and a new log in it, then removes the
    // oldest logs beyond keep.
    bool Open(const QString &folder, const QDateTime &now, int keep = 20);
    // False when the text could not be written.
    bool Append(const TItemMessages &item);
    bool AppendNote(const QString &text);
    QString Path() const { return m_path; }

private:
    QString m_path;
};
