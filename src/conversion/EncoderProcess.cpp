#include "conversion/EncoderProcess.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

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

// How long one wait for output lasts before the loop looks again: short
// enough that window events keep flowing, long enough not to spin.
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
}

TEncoderProcess::~TEncoderProcess()
{
    KillEncoder();
}

bool TEncoderProcess::Start(const QString &program, const EncoderCommand &command)
{
    if (m_process->state() != QProcess::NotRunning || m_pid != 0)
        KillEncoder();
    m_timedOut = false;
    m_started = false;
    m_pid = 0;
    m_startedPid = 0;

    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable())
        return false;
    m_process->start(program, command.args, QIODevice::ReadOnly);
    if (!m_process->waitForStarted(-1)) {
        // The encoder was never started; nothing is left to end.
        return false;
    }
    m_pid = m_process->processId();
    m_startedPid = m_pid;
    m_started = true;
    m_clock.start();
    return true;
}

bool TEncoderProcess::ReadChunk(QByteArray &chunk, bool keepAlive, int timeoutMs)
{
    chunk.clear();
    const bool handleEvents = keepAlive && QCoreApplication::instance() != nullptr;
    for (;;) {
        if (m_process->bytesAvailable() > 0) {
            chunk = m_process->read(ChunkSize);
            emit OutputRead(chunk);
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

        if (handleEvents) {
            // Window events run here, a Stop click included; its KillEncoder
            // ends the process and the next round sees the end.
            QEventLoop loop;
            QTimer timer;
            timer.setSingleShot(true);
            connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
            connect(m_process, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
            connect(m_process, &QProcess::finished, &loop, &QEventLoop::quit);
            timer.start(slice);
            loop.exec();
        } else if (!m_process->waitForReadyRead(slice) && m_process->state() != QProcess::NotRunning
                   && m_process->bytesAvailable() == 0) {
            // Without data the wait can return at once (the output is
            // already closed while the process lingers): wait for its end.
            m_process->waitForFinished(slice);
        }
    }
}

void TEncoderProcess::KillEncoder()
{
    if (m_pid > 0) {
        // The whole group: the encoder and everything it started.
        ::kill(-pid_t(m_pid), SIGKILL);
        m_pid = 0;
    }
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        // Reaps it, so no zombie is left behind.
        m_process->waitForFinished(ReapWaitMs);
    }
}

bool TEncoderProcess::Running() const
{
    return m_process->state() != QProcess::NotRunning;
}

bool TEncoderProcess::ExitedNormally() const
{
    return Ended() && m_process->exitStatus() == QProcess::NormalExit && m_process->exitCode() == 0;
}

int TEncoderProcess::ExitCode() const
{
    if (Ended() && m_process->exitStatus() == QProcess::NormalExit)
        return m_process->exitCode();
    return -1;
}

bool TEncoderProcess::Killed() const
{
    return Ended() && m_process->exitStatus() == QProcess::CrashExit;
}

bool TEncoderProcess::Ended() const
{
    return m_started && m_process->state() == QProcess::NotRunning;
}
