#pragma once
// The process layer for the external encoder: one child process whose
// standard output and standard error arrive merged on one pipe, handed out
// in pieces of at most 4095 bytes. It is driven by its process's signals:
// nothing waits for it on the GUI thread.

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
// program (common/ChildProcess): it takes a process group of its own, so that
// a kill reaches whatever it starts, it ends with the program that started
// it, even one killed outright, and it keeps no descriptor of the program's.
// For QProcess::setChildProcessModifier, made in the parent.
std::function<void()> EncoderChildSetup();

// The environment variable that tells the encoder how many processors it may use.
inline const char *EncoderThreadsVariable() { return "VXENC_THREADS"; }

class TEncoderProcess : public QObject {
    Q_OBJECT
public:
    static constexpr int ChunkSize = 4095;

    explicit TEncoderProcess(QObject *parent = nullptr);
    ~TEncoderProcess() override;

    // Starts program with the command's argument list in its own process
    // group; threads > 0 is passed on as the encoder's processor share.
    // False when it cannot be started (missing, not executable); a start that
    // fails later is reported by Ended with StartFailed().
    bool Start(const QString &program, const EncoderCommand &command, int threads = 0);
    // The starts that follow hand the open output file fd to the encoder
    // alone, named in its environment as VXENC_OUTPUT_FD; -1 for none.
    void SetOutputDescriptor(int fd) { m_outputFd = fd; }

    // The blocking way to read, for a caller off the window that waits for
    // the whole output (tools and tests): the next piece, false once the
    // output has ended. timeoutMs < 0 waits forever, otherwise the encoder is
    // killed when no end came in time (counted from Start) and TimedOut()
    // reports it. A process read this way emits no OutputRead or Ended, and
    // output nothing is connected to OutputRead for waits for it.
    bool ReadChunk(QByteArray &chunk, int timeoutMs = -1);

    // Ends the latest encoder and everything it started (its process group),
    // continuing it first when paused. Harmless when it has already ended;
    // Ended follows once the end is seen.
    void KillEncoder();
    // Stops and continues the encoder's whole process group.
    void Pause();
    void Resume();
    bool Paused() const { return m_paused; }

    bool Running() const;
    // Pid of the latest started encoder, kept after it ended; 0 before.
    qint64 ProcessId() const { return m_startedPid; }
    bool TimedOut() const { return m_timedOut; }
    bool StartFailed() const { return m_startFailed; }
    // After the output ended: whether the encoder exited normally with 0.
    bool ExitedNormally() const;
    int ExitCode() const; // -1 unless it exited normally
    bool Killed() const; // ended by a signal (crash or kill)

signals:
    // Each piece of output as it arrives, at most ChunkSize bytes.
    void OutputRead(const QByteArray &piece);
    // Once, after the last piece: the encoder has ended (or never started).
    void Ended();

private:
    void HandOut();
    void Finish();
    bool HasEnded() const; // started, and ended since
    void SignalGroup(int signal);

    QProcess *m_process = nullptr;
    qint64 m_pid = 0; // also the id of its process group; 0 once killed
    qint64 m_startedPid = 0;
    bool m_started = false;
    bool m_blocking = false; // read through ReadChunk
    bool m_paused = false;
    bool m_timedOut = false;
    bool m_startFailed = false;
    bool m_endReported = false;
    int m_outputFd = -1;
    QElapsedTimer m_clock; // since Start
};
