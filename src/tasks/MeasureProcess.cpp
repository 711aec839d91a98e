#include "tasks/MeasureProcess.h"

#include "conversion/EncoderProcess.h"
#include "tasks/MediaProbe.h"

#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <unistd.h>

TMeasureProcess::TMeasureProcess(QObject *parent)
    : QObject(parent)
    , m_process(new QProcess(this))
    , m_limit(new QTimer(this))
    , m_unstarted(new QTimer(this))
{
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    m_process->setStandardInputFile(QProcess::nullDevice());
    m_process->setChildProcessModifier(EncoderChildSetup());
    m_limit->setSingleShot(true);
    // A program that cannot be started is reported after the caller has
    // returned, like any other end; Cancel takes the report back.
    m_unstarted->setSingleShot(true);
    m_unstarted->setInterval(0);
    connect(m_unstarted, &QTimer::timeout, this, [this] { emit Finished(false, QByteArray()); });
    connect(m_limit, &QTimer::timeout, this, [this] { End(false); });
    connect(m_process, &QProcess::readyReadStandardOutput, this, &TMeasureProcess::Collect);
    connect(m_process, &QProcess::finished, this, [this] {
        Collect();
        End(true);
    });
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            End(false);
    });
}

TMeasureProcess::~TMeasureProcess()
{
    Cancel();
}

bool TMeasureProcess::Start(const QString &program, const QString &path, int timeoutMs)
{
    if (Running())
        return false;
    m_path = path;
    m_report.clear();
    m_pid = 0;
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        m_unstarted->start();
        return true;
    }
    m_process->start(program, MeasureCommand(path).args, QIODevice::ReadOnly);
    m_pid = m_process->processId();
    if (timeoutMs > 0)
        m_limit->start(timeoutMs);
    return true;
}

void TMeasureProcess::Cancel()
{
    m_limit->stop();
    m_unstarted->stop();
    if (m_process->state() == QProcess::NotRunning)
        return;
    const QSignalBlocker quiet(m_process);
    if (m_pid > 0)
        ::kill(-pid_t(m_pid), SIGKILL);
    m_process->kill();
    // A killed process ends at once; this reaps it so no zombie stays.
    m_process->waitForFinished(1000);
    m_pid = 0;
}

bool TMeasureProcess::Running() const
{
    return m_process->state() != QProcess::NotRunning || m_unstarted->isActive();
}

void TMeasureProcess::Collect()
{
    const QByteArray piece = m_process->readAll();
    // A runaway output is read and dropped beyond what a report can hold.
    if (m_report.size() < MaxMeasureReport)
        m_report += piece.left(MaxMeasureReport - m_report.size());
}

void TMeasureProcess::End(bool answered)
{
    m_limit->stop();
    if (!answered)
        Cancel();
    m_pid = 0;
    emit Finished(answered, answered ? m_report : QByteArray());
}
