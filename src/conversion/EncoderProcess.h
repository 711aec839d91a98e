#pragma once
// The process layer for the external encoder: one child process whose
// standard output and standard error arrive merged on one pipe, read in
// pieces of at most 4095 bytes. Everything runs on the GUI thread.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;

// A command line kept twice: as the text a log would show (paths in double
// quotes, exactly as the encoder contract writes it) and as the argument
// list actually passed, where each path is always one argument.
struct EncoderCommand {
    QString text;
    QStringList args;
};

// Relative paths are made full from the current folder first.
// " -i \"<path>\""
EncoderCommand MeasureCommand(const QString &inputPath);
// " -y -i \"<in>\"" + arguments + " \"<out>\""; arguments (profile text and the
// item's -ss/-t pieces) are split on blanks.
EncoderCommand ConvertCommand(const QString &inputPath, const QString &arguments,
                              const QString &outputPath);

// What an encoder process (a conversion or a measure) does before it runs the
// program: it takes a process group of its own, so that a kill reaches
// whatever it starts, and it ends with the program that started it, even one
// killed outright. For QProcess::setChildProcessModifier, made in the parent.
std::function<void()> EncoderChildSetup();

class TEncoderProcess : public QObject {
    Q_OBJECT
public:
    static constexpr int ChunkSize = 4095;

    explicit TEncoderProcess(QObject *parent = nullptr);
    ~TEncoderProcess() override;

    // Starts program with the command's argument list in its own process
    // group. False when it cannot be started (missing, not executable).
    bool Start(const QString &program, const EncoderCommand &command);

    // The next piece of output, at most ChunkSize bytes. False when the
    // output has ended (the encoder closed it or was killed).
    // keepAlive: while the pipe is empty, window events are handled (so the
    // window repaints and a Stop click is taken within 100 ms).
    // Without keepAlive the call blocks (the probe); timeoutMs < 0 waits
    // forever, otherwise the encoder is killed when no end came in time and
    // TimedOut() reports it. The time limit counts from Start, so a caller
    // that reads in a loop with the same timeoutMs limits the whole run.
    // False comes only once the process has ended (and been reaped) and all
    // of its output was handed out, so the exit state below is then known.
    // Window events are handled only while nothing is buffered; a caller
    // that reads steadily flowing output handles them between calls.
    bool ReadChunk(QByteArray &chunk, bool keepAlive, int timeoutMs = -1);

    // Ends the latest encoder and everything it started (its process group).
    // Harmless when it has already ended.
    void KillEncoder();

    bool Running() const;
    // Pid of the latest started encoder, kept after it ended; 0 before.
    qint64 ProcessId() const { return m_startedPid; }
    bool TimedOut() const { return m_timedOut; }
    // After the output ended: whether the encoder exited normally with 0.
    bool ExitedNormally() const;
    int ExitCode() const; // -1 unless it exited normally
    bool Killed() const; // ended by a signal (crash or kill)

signals:
    // Each piece as ReadChunk hands it out, for whoever keeps the messages.
    void OutputRead(const QByteArray &piece);

private:
    bool Ended() const; // started, and ended since

    QProcess *m_process = nullptr;
    qint64 m_pid = 0; // also the id of its process group; 0 once killed
    qint64 m_startedPid = 0;
    bool m_started = false;
    bool m_timedOut = false;
    QElapsedTimer m_clock; // since Start
};
