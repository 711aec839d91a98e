#pragma once
// One measure of one file by the encoder ("vxenc.dll -i <file>"), driven by
// its process's signals: nothing waits for it. The task list measures added
// files with it and the run checks its outputs with one of its own.

#include <QByteArray>
#include <QObject>
#include <QString>

class QProcess;
class QTimer;

class TMeasureProcess : public QObject {
    Q_OBJECT
public:
    explicit TMeasureProcess(QObject *parent = nullptr);
    ~TMeasureProcess() override;

    // Starts measuring path with the encoder program. timeoutMs <= 0 sets no
    // limit; otherwise an encoder that has not ended by then is ended and the
    // measure counts as unanswered. False when a measure is already running;
    // a program that cannot be started is reported through Finished.
    bool Start(const QString &program, const QString &path, int timeoutMs);
    // Ends a running measure without reporting it.
    void Cancel();
    bool Running() const;
    const QString &Path() const { return m_path; }

signals:
    // answered: the encoder ended by itself (whatever its exit status);
    // false when it could not be started or was ended for its time limit.
    // report: everything it printed, at most MaxMeasureReport bytes.
    void Finished(bool answered, const QByteArray &report);

private:
    void Collect();
    void End(bool answered);

    QProcess *m_process = nullptr;
    QTimer *m_limit = nullptr;
    QTimer *m_unstarted = nullptr;
    QString m_path;
    QByteArray m_report;
    qint64 m_pid = 0;
};
