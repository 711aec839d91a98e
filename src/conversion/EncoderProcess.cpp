#include "conversion/EncoderProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMetaMethod>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>
#include <csignal>
#include <sys/prctl.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

QString Quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

// The encoder gets full paths only: it reads a relative "a:b.avi" as the
// protocol "a" and a relative "-y.mp4" as an option. A relative path (from
// the command line or a list file) is taken from the current folder, as the
// encoder, which shares it, would have taken it.
QString FullPath(const QString &path)
{
    if (path.isEmpty() || !QDir::isRelativePath(path))
        return path;
    return QDir::current().absoluteFilePath(path);
}

// How long one blocking wait for output lasts before the time limit is
// looked at again.
constexpr int WaitSliceMs = 25;
// A killed encoder is gone at once; this only bounds the wait for its end.
constexpr int ReapWaitMs = 5000;

} // namespace

std::function<void()> EncoderChildSetup()
{
    const pid_t parentPid = ::getpid();
    return [parentPid] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The program may have ended before the line above.
        if (::getppid() != parentPid)
            ::_exit(127);
    };
}

EncoderCommand MeasureCommand(const QString &givenInput)
{
    const QString inputPath = FullPath(givenInput);
    EncoderCommand command;
    command.text = QStringLiteral(" -i ") + Quoted(inputPath);
    command.args = QStringList{QStringLiteral("-i"), inputPath};
    return command;
}

EncoderCommand ConvertCommand(const QString &givenInput, const QString &arguments,
                              const QString &givenOutput)
{
    const QString inputPath = FullPath(givenInput);
    const QString outputPath = FullPath(givenOutput);
    EncoderCommand command;
    command.text = QStringLiteral(" -y -i ") + Quoted(inputPath) + arguments + QLatin1Char(' ')
        + Quoted(outputPath);
    // Each path stays one argument whatever it holds; only the option text
    // is split.
    command.args = QStringList{QStringLiteral("-y"), QStringLiteral("-i"), inputPath};
    command.args += arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    command.args += outputPath;
    return command;
}

TEncoderProcess::TEncoderProcess(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
{
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // The encoder reads nothing; an ended input keeps it from waiting for any.
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setChildProcessModifier(EncoderChildSetup());
    connect(m_process, &QProcess::readyReadStandardOutput, this, &TEncoderProcess::HandOut);
    connect(m_process, &QProcess::finished, this, &TEncoderProcess::Finish);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        m_startFailed = true;
        m_pid = 0;
        Finish();
    });
}

TEncoderProcess::~TEncoderProcess()
{
    const QSignalBlocker quiet(this);
    KillEncoder();
    if (m_process->state() != QProcess::NotRunning) {
        const QSignalBlocker quietProcess(m_process);
        // Reaps it, so no zombie is left behind.
        m_process->waitForFinished(ReapWaitMs);
    }
}

bool TEncoderProcess::Start(const QString &program, const EncoderCommand &command, int threads)
{
    if (m_process->state() != QProcess::NotRunning || m_pid != 0) {
        const QSignalBlocker quiet(m_process);
        KillEncoder();
        m_process->waitForFinished(ReapWaitMs);
    }
    m_timedOut = false;
    m_startFailed = false;
    m_started = false;
    m_blocking = false;
    m_paused = false;
    m_endReported = false;
    m_pid = 0;
    m_startedPid = 0;

    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable())
        return false;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (threads > 0)
        environment.insert(QString::fromLatin1(EncoderThreadsVariable()), QString::number(threads));
    m_process->setProcessEnvironment(environment);
    m_process->start(program, command.args, QIODevice::ReadOnly);
    if (m_process->state() == QProcess::NotRunning)
        return false; // never started; nothing is left to end
    m_pid = m_process->processId();
    m_startedPid = m_pid;
    m_started = true;
    m_clock.start();
    return true;
}

void TEncoderProcess::HandOut()
{
    // Output nobody listens for stays for ReadChunk.
    if (m_blocking || !isSignalConnected(QMetaMethod::fromSignal(&TEncoderProcess::OutputRead)))
        return;
    while (m_process->bytesAvailable() > 0)
        emit OutputRead(m_process->read(ChunkSize));
}

void TEncoderProcess::Finish()
{
    if (m_blocking || m_endReported)
        return;
    HandOut();
    m_endReported = true;
    m_paused = false;
    emit Ended();
}

bool TEncoderProcess::ReadChunk(QByteArray &chunk, int timeoutMs)
{
    chunk.clear();
    m_blocking = true;
    for (;;) {
        if (m_process->bytesAvailable() > 0) {
            chunk = m_process->read(ChunkSize);
            return true;
        }
        if (m_process->state() == QProcess::NotRunning)
            return false;

        int slice = WaitSliceMs;
        if (timeoutMs >= 0) {
            const qint64 left = timeoutMs - m_clock.elapsed();
            if (left <= 0 && !m_timedOut) {
                m_timedOut = true;
                KillEncoder();
                continue; // hands out what was still buffered, then ends
            }
            // Once killed, the loop only waits for the end to be seen.
            if (left > 0)
                slice = int(std::min<qint64>(slice, left));
        }
        if (!m_process->waitForReadyRead(slice) && m_process->state() != QProcess::NotRunning
            && m_process->bytesAvailable() == 0) {
            // Without data the wait can return at once (the output is
            // already closed while the process lingers): wait for its end.
            m_process->waitForFinished(slice);
        }
    }
}

void TEncoderProcess::SignalGroup(int signal)
{
    if (m_pid > 0)
        ::kill(-pid_t(m_pid), signal);
}

void TEncoderProcess::KillEncoder()
{
    if (m_pid > 0) {
        // The whole group: the encoder and everything it started. A stopped
        // group is continued first, so that it can end at once.
        if (m_paused)
            SignalGroup(SIGCONT);
        SignalGroup(SIGKILL);
        m_pid = 0;
    }
    m_paused = false;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        if (m_blocking)
            m_process->waitForFinished(ReapWaitMs);
    }
}

void TEncoderProcess::Pause()
{
    if (m_paused || m_pid <= 0 || m_process->state() == QProcess::NotRunning)
        return;
    SignalGroup(SIGSTOP);
    m_paused = true;
}

void TEncoderProcess::Resume()
{
    if (!m_paused)
        return;
    SignalGroup(SIGCONT);
    m_paused = false;
}

bool TEncoderProcess::Running() const
{
    return m_process->state() != QProcess::NotRunning;
}

bool TEncoderProcess::ExitedNormally() const
{
    return HasEnded() && m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

int TEncoderProcess::ExitCode() const
{
    if (HasEnded() && m_process->exitStatus() == QProcess::NormalExit)
        return m_process->exitCode();
    return -1;
}

bool TEncoderProcess::Killed() const
{
    return HasEnded() && m_process->exitStatus() == QProcess::CrashExit;
}

bool TEncoderProcess::HasEnded() const
{
    return m_started && !m_startFailed && m_process->state() == QProcess::NotRunning;
}
